#include "platform/Keyboard.h"

#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {

std::int32_t WheelCounter = 0;

bool KeyPressed(std::int32_t key) {
  if (key == VK_F23 || key == VK_F24) {
    bool pressed = key == VK_F23 ? WheelCounter > 0 : WheelCounter < 0;
    if (pressed) WheelCounter = 0;
    return pressed;
  }
  return Application != nullptr && Application->Backend().IsKeyDown(key);
}

void AddWheelSteps(int steps) { WheelCounter += steps; }

}  // namespace orr
