// SPDX-License-Identifier: GPL-3.0-or-later
// The game's virtual-key codes on SDL's keyboard, and SDL's events as the platform's: shared by the SDL
// backends (the window's and the page's).
#pragma once

#include <SDL.h>

#include "platform/Backend.h"
#include "platform/Gamepad.h"
#include "platform/Keys.h"

namespace orr {

// Virtual-key code -> scancode for the keys the game and its tools may poll.
SDL_Scancode ScancodeOf(int vk);
// The right-hand twin of a key that the system reports for either hand (Shift, Ctrl, Alt)
// and the keypad's Enter; SDL_SCANCODE_UNKNOWN for every other key.
SDL_Scancode TwinScancodeOf(int vk);
// The virtual-key code of a scancode, 0 for a key the game does not know.
int VirtualKeyOf(SDL_Scancode code);
// The keys held now by SDL's keyboard state (call SDL_PumpEvents first where it applies).
TKeyStates SdlKeyStates();
// One SDL event as the platform's event: `wakeEvent` is the backend's registered wake-up
// type, `pads` turns controller events into the keys they stand for. False for an event
// the game does not take (then `out` says nothing).
bool TranslateSdlEvent(const SDL_Event& e, Uint32 wakeEvent, TGamepads& pads, TPlatformEvent& out);

}  // namespace orr
