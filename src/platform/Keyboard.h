// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard polling by virtual-key code, independent of window focus.
//
// The game reads the keys once per step: whoever runs the steps takes one snapshot at the
// start of the step (the SDL backend pumps its event queue once) and hands it, as a value,
// to every handler of that step, so every rule of a step sees the same keys.
// THeadlessBackend::SetKeyDown before a step is seen by that step.
#pragma once

#include <cstdint>

#include "platform/Keys.h"

namespace orr {

// The keys as they were at one moment.
struct TKeySnapshot {
  TKeyStates Held;         // by virtual-key code
  std::int32_t Wheel = 0;  // mouse-wheel steps since the snapshot before: + up, - down

  // True while the key was held. F23 (134) and F24 (135) are pseudo-keys for the wheel
  // having turned up (Wheel > 0) or down (Wheel < 0). Any other code outside 0..255: false.
  bool Pressed(std::int32_t key) const {
    if (key == VK_F23) return Wheel > 0;
    if (key == VK_F24) return Wheel < 0;
    return key >= 0 && static_cast<std::size_t>(key) < Held.size() && Held[static_cast<std::size_t>(key)];
  }
};

// Mouse-wheel steps not yet taken by a snapshot: positive up, negative down.
extern std::int32_t WheelCounter;

// Looks at the keyboard once: the application's backend's key states (every key up without
// an application), and the wheel steps counted since the last snapshot, which it takes
// (WheelCounter := 0), so a turn of the wheel shows in exactly one snapshot.
TKeySnapshot TakeKeySnapshot();

// Feeds the counter from the window's wheel events: +1 per step up, -1 per step down.
void AddWheelSteps(int steps);

// WheelCounter := 0 (tests).
void ResetKeyboard();

}  // namespace orr
