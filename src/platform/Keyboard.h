// Keyboard polling by virtual-key code, independent of window focus.
#pragma once

#include <cstdint>

namespace orr {

// Mouse-wheel steps not yet reported: positive up (F23), negative down (F24).
extern std::int32_t WheelCounter;

// True while the key is held. F23 (134) and F24 (135) are pseudo-keys reading
// WheelCounter (> 0, < 0); a pseudo-key that reports true resets the counter to 0.
bool KeyPressed(std::int32_t key);

// Feeds the counter from the window's wheel events: +1 per step up, -1 per step down.
void AddWheelSteps(int steps);

}  // namespace orr
