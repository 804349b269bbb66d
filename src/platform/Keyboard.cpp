// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Keyboard.h"

#include "platform/Application.h"

namespace orr {

std::int32_t WheelCounter = 0;

TKeySnapshot TakeKeySnapshot() {
  TKeySnapshot snapshot;
  if (Application != nullptr) snapshot.Held = Application->Backend().KeyStates();
  snapshot.Wheel = WheelCounter;
  WheelCounter = 0;
  return snapshot;
}

void AddWheelSteps(int steps) { WheelCounter += steps; }

void ResetKeyboard() { WheelCounter = 0; }

}  // namespace orr
