#include "platform/Keyboard.h"

#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {

std::int32_t WheelCounter = 0;

namespace {
TKeyStates KeySnapshot;
}  // namespace

void TakeKeySnapshot() {
  KeySnapshot = Application != nullptr ? Application->Backend().KeyStates() : TKeyStates();
}

bool KeyPressed(std::int32_t key) {
  if (key == VK_F23 || key == VK_F24) {
    bool pressed = key == VK_F23 ? WheelCounter > 0 : WheelCounter < 0;
    if (pressed) WheelCounter = 0;
    return pressed;
  }
  return key >= 0 && static_cast<std::size_t>(key) < KeySnapshot.size() &&
         KeySnapshot[static_cast<std::size_t>(key)];
}

void AddWheelSteps(int steps) { WheelCounter += steps; }

void ResetKeyboard() {
  KeySnapshot.reset();
  WheelCounter = 0;
}

}  // namespace orr
