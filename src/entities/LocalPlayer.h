// SPDX-License-Identifier: GPL-3.0-or-later
// The player at this machine: steered by the step's keys, seen through its view.
#pragma once

#include <cstdint>
#include <memory>

#include "entities/BasicPlayer.h"
#include "entities/EntityServices.h"

namespace orr {

class TImage32;

// The keys a local player answers to, by virtual-key code; 0 answers to none.
struct TKeyBinding {
  std::uint8_t Forward = 0, Back = 0, TurnLeft = 0, TurnRight = 0, Fire = 0, Use = 0;
};

class TLocalPlayer : public TBasicPlayer {
 public:
  // `view` (may be empty) was made before the player, so its step handler runs before the
  // player's: each step glides the camera toward where the player stood at the end of the
  // previous one. TPlayerRecord::CreateLocalPlayer builds the two in that order.
  TLocalPlayer(TPlayerRecord* record, std::unique_ptr<TPlayerView> view);
  ~TLocalPlayer() override;

  std::unique_ptr<TPlayerView> View;
  TImage32* Hud = nullptr;  // owned by the view's viewer control
  TKeyBinding Keys;         // bound by the session

  void SetPosition(const TVector& position) override;
  // Steers by the bound keys held in `keys` (turn, walk, fire), then runs the player's
  // Progress; a hidden player does neither.
  void Step(const TKeySnapshot& keys) override;
  void Steer(const TKeySnapshot& keys);
  void WeaponChanged() override;
};

}  // namespace orr
