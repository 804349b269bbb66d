// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepads, through SDL's game-controller API, mapped onto the game's own keys: the D-pad
// and the left stick walk and turn like the arrow keys, the south face button and the right
// trigger fire like Space, Back (Select) ends the game like Escape. Pads may come and go
// while the game runs; without one nothing changes.
#pragma once

#include <vector>

#include "platform/Keys.h"

typedef union SDL_Event SDL_Event;
typedef struct _SDL_GameController SDL_GameController;

namespace orr {

// One look at a pad: what the mapping reads. Axes as SDL gives them: sticks -32768..32767
// with y growing downwards, triggers 0..32767.
struct TPadState {
  bool DpadUp = false, DpadDown = false, DpadLeft = false, DpadRight = false;
  bool South = false;  // A on most pads, cross on others
  bool Back = false;   // Back, Select or View
  int LeftX = 0, LeftY = 0;
  int RightTrigger = 0;
};

// A stick leans towards a side once it is past this (about a quarter of its travel): worn
// sticks rest a little off their centre and must not walk the player.
constexpr int kPadStickDeadZone = 8000;
// A trigger fires once it is pressed past this (about a quarter of its travel).
constexpr int kPadTriggerPoint = 8000;

// The keys a pad in that state holds, by virtual-key code.
TKeyStates PadKeys(const TPadState& pad);

// The pads plugged in, kept up to date from SDL's events. Used by the SDL backend only.
class TGamepads {
 public:
  TGamepads() = default;
  TGamepads(const TGamepads&) = delete;
  TGamepads& operator=(const TGamepads&) = delete;
  ~TGamepads() { Stop(); }

  // Starts SDL's game-controller subsystem; the pads already plugged in arrive as events
  // like the ones plugged in later. False (and the game goes on without pads) when SDL
  // cannot start it.
  bool Start();
  void Stop();

  // Follows a pad plugged in or pulled out. Returns the key to report as pressed for the
  // event (Escape for Back), or 0.
  int HandleEvent(const SDL_Event& event);

  // The keys the pads hold now, all pads together.
  TKeyStates HeldKeys() const;
  int Count() const { return static_cast<int>(pads_.size()); }

 private:
  bool started_ = false;
  std::vector<SDL_GameController*> pads_;
};

}  // namespace orr
