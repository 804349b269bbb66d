// Keyboard polling by virtual-key code, independent of window focus.
//
// The game reads the keys once per step: TakeKeySnapshot looks at the keyboard once (the SDL
// backend pumps its event queue once) and KeyPressed answers from that snapshot, so every
// rule of a step sees the same keys. The step registry takes the snapshot at the start of
// every step (RunStep); THeadlessBackend::SetKeyDown before a step is seen by that step.
#pragma once

#include <cstdint>

namespace orr {

// Mouse-wheel steps not yet reported: positive up (F23), negative down (F24).
extern std::int32_t WheelCounter;

// Takes the snapshot KeyPressed answers from: the application's backend's key states, or
// every key up without an application.
void TakeKeySnapshot();

// True while the key was held at the last snapshot. F23 (134) and F24 (135) are pseudo-keys
// reading WheelCounter (> 0, < 0) at the moment of the call; a pseudo-key that reports true
// resets the counter to 0.
bool KeyPressed(std::int32_t key);

// Feeds the counter from the window's wheel events: +1 per step up, -1 per step down.
void AddWheelSteps(int steps);

// Every key up in the snapshot and WheelCounter := 0 (tests).
void ResetKeyboard();

}  // namespace orr
