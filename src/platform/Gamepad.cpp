// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Gamepad.h"

#include <SDL.h>

#include <algorithm>

namespace orr {

TKeyStates PadKeys(const TPadState& pad) {
  TKeyStates keys;
  keys[VK_UP] = pad.DpadUp || pad.LeftY < -kPadStickDeadZone;
  keys[VK_DOWN] = pad.DpadDown || pad.LeftY > kPadStickDeadZone;
  keys[VK_LEFT] = pad.DpadLeft || pad.LeftX < -kPadStickDeadZone;
  keys[VK_RIGHT] = pad.DpadRight || pad.LeftX > kPadStickDeadZone;
  keys[VK_SPACE] = pad.South || pad.RightTrigger > kPadTriggerPoint;
  keys[VK_ESCAPE] = pad.Back;
  return keys;
}

bool TGamepads::Start() {
  if (started_) return true;
  started_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  return started_;
}

void TGamepads::Stop() {
  for (SDL_GameController* pad : pads_) SDL_GameControllerClose(pad);
  pads_.clear();
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started_ = false;
}

int TGamepads::HandleEvent(const SDL_Event& event) {
  if (!started_) return 0;
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      // A pad present at start-up may be announced twice (by the subsystem's start and by
      // the device list): open each once.
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(event.cdevice.which);
      const bool known = std::any_of(pads_.begin(), pads_.end(), [id](SDL_GameController* pad) {
        return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id;
      });
      if (known) return 0;
      if (SDL_GameController* pad = SDL_GameControllerOpen(event.cdevice.which)) pads_.push_back(pad);
      return 0;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      auto gone = std::find_if(pads_.begin(), pads_.end(), [&event](SDL_GameController* pad) {
        return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == event.cdevice.which;
      });
      if (gone != pads_.end()) {
        SDL_GameControllerClose(*gone);
        pads_.erase(gone);
      }
      return 0;
    }
    case SDL_CONTROLLERBUTTONDOWN: return event.cbutton.button == SDL_CONTROLLER_BUTTON_BACK ? VK_ESCAPE : 0;
    default: return 0;
  }
}

TKeyStates TGamepads::HeldKeys() const {
  TKeyStates keys;
  for (SDL_GameController* pad : pads_) {
    TPadState s;
    s.DpadUp = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0;
    s.DpadDown = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0;
    s.DpadLeft = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0;
    s.DpadRight = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0;
    s.South = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_A) != 0;
    s.Back = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_BACK) != 0;
    s.LeftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    s.LeftY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    s.RightTrigger = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    keys |= PadKeys(s);
  }
  return keys;
}

}  // namespace orr
