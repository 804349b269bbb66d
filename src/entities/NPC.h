// SPDX-License-Identifier: GPL-3.0-or-later
// A computer-controlled creature (the rules are in NPC.cpp).
#pragma once

#include <cstdint>

#include "entities/Creature.h"
#include "map/UMapModule.h"

namespace orr {

// An NPC's idle behaviour, read from its record's Param1; any other number stands still.
enum class TNpcMode : std::uint8_t { LookAround = 0, Roam = 1, Patrol = 2 };
// What an NPC is doing about the players.
enum class TNpcState : std::uint8_t { Idle = 0, Engage = 1, Pursue = 2, Search = 3 };

class TNPC : public TCreature {
 public:
  TNPC();

  TRoute Route;
  std::uint16_t RouteIndex = 0;  // step to walk to next
  float RouteWait = 0;           // seconds at the step just reached
  TNpcMode Mode = TNpcMode::LookAround;
  TNpcState State = TNpcState::Idle;
  TVector RouteTarget;
  TVector LookTarget;
  TVector LastSeen;
  float Pause = -1;  // seconds; a new look target once negative
  bool LookingAround = false;
  float SearchTimer = 0;
  // The player the last SeekTarget saw (not owned); nullptr when it saw none, and cleared
  // when that player is freed, so it never points at a freed player.
  TMapEntity* Target = nullptr;

  void SetSpawn(const TPackedEntity& record) override;
  void Progress() override;

  void PickLookTarget();
  void PickRoamTarget();
  void NextRouteStep();
  bool SeekTarget();
  bool CanSee(const TMapEntity* entity);
  bool WalkTowards(const TVector& target, std::uint8_t percent);
  bool TurnTowards(const TVector& target);

 private:
  void IdleStep();
  void EngageStep();
  std::uint16_t NpcIndex() const;
  TVector StepMotion(const TVector& v) const override;
  // What the walk's look ahead resolved for the velocity it then set: the step's own motion
  // is the same search on the same inputs. Known only within one Progress, indexes on.
  TResolvedMotion walkMotion_;
};

}  // namespace orr
