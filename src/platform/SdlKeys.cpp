// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SdlKeys.h"

#include <array>

namespace orr {

// Virtual-key code -> scancode for the keys the game and its tools may poll.
SDL_Scancode ScancodeOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - 'A'));
  if (vk >= '1' && vk <= '9') return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - '1'));
  if (vk == '0') return SDL_SCANCODE_0;
  if (vk >= VK_F1 && vk < VK_F1 + 12) return static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1));
  if (vk >= VK_F1 + 12 && vk <= VK_F24)
    return static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + (vk - VK_F1 - 12));
  switch (vk) {
    case 8: return SDL_SCANCODE_BACKSPACE;
    case 9: return SDL_SCANCODE_TAB;
    case VK_RETURN: return SDL_SCANCODE_RETURN;
    case 16: return SDL_SCANCODE_LSHIFT;
    case 17: return SDL_SCANCODE_LCTRL;
    case 18: return SDL_SCANCODE_LALT;
    case VK_ESCAPE: return SDL_SCANCODE_ESCAPE;
    case VK_SPACE: return SDL_SCANCODE_SPACE;
    case VK_LEFT: return SDL_SCANCODE_LEFT;
    case VK_UP: return SDL_SCANCODE_UP;
    case VK_RIGHT: return SDL_SCANCODE_RIGHT;
    case VK_DOWN: return SDL_SCANCODE_DOWN;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

// The right-hand twin of a key that the system reports for either hand (Shift, Ctrl, Alt)
// and the keypad's Enter; SDL_SCANCODE_UNKNOWN for every other key.
SDL_Scancode TwinScancodeOf(int vk) {
  switch (vk) {
    case VK_RETURN: return SDL_SCANCODE_KP_ENTER;
    case 16: return SDL_SCANCODE_RSHIFT;
    case 17: return SDL_SCANCODE_RCTRL;
    case 18: return SDL_SCANCODE_RALT;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

int VirtualKeyOf(SDL_Scancode code) {
  static const std::array<int, SDL_NUM_SCANCODES> table = [] {
    std::array<int, SDL_NUM_SCANCODES> t{};
    for (int vk = 1; vk < 256; ++vk) {
      SDL_Scancode s = ScancodeOf(vk);
      if (s != SDL_SCANCODE_UNKNOWN && t[s] == 0) t[s] = vk;
    }
    for (int vk : {VK_RETURN, 16, 17, 18}) t[TwinScancodeOf(vk)] = vk;
    return t;
  }();
  return code >= 0 && code < SDL_NUM_SCANCODES ? table[code] : 0;
}

TKeyStates SdlKeyStates() {
  TKeyStates keys;
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  if (state == nullptr) return keys;
  for (std::size_t vk = 0; vk < keys.size(); ++vk) {
    const SDL_Scancode code = ScancodeOf(static_cast<int>(vk));
    if (code == SDL_SCANCODE_UNKNOWN) continue;
    const SDL_Scancode twin = TwinScancodeOf(static_cast<int>(vk));
    keys[vk] = state[code] != 0 || (twin != SDL_SCANCODE_UNKNOWN && state[twin] != 0);
  }
  return keys;
}

bool TranslateSdlEvent(const SDL_Event& e, Uint32 wakeEvent, TGamepads& pads, TPlatformEvent& out) {
  using K = TPlatformEvent::TKind;
  out = TPlatformEvent{};
  if (e.type == wakeEvent) {
    out.Kind = K::Wake;
    return true;
  }
  switch (e.type) {
    case SDL_QUIT: out.Kind = K::Quit; return true;
    case SDL_KEYDOWN:
      out.Kind = K::KeyDown;
      out.Key = VirtualKeyOf(e.key.keysym.scancode);
      return out.Key != 0;
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
      out.Kind = K::KeyDown;
      out.Key = pads.HandleEvent(e);
      return out.Key != 0;
    case SDL_MOUSEWHEEL:
      out.Kind = K::MouseWheel;
      out.Wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      return out.Wheel != 0;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          e.window.event == SDL_WINDOWEVENT_SHOWN) {
        out.Kind = K::Expose;
        return true;
      }
      return false;
    default: return false;
  }
}

}  // namespace orr
