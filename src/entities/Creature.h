// SPDX-License-Identifier: GPL-3.0-or-later
// A creature: health, armour, the weapon cycle, animation rows, the laser sight.
#pragma once

#include <cstdint>

#include "entities/PhysEntity.h"

namespace orr {

// What a creature does, and so the row of its animation: 0 idle, 1 walking, 2 aiming,
// 3 firing. Requests of a step are kept as bits numbered by these values.
enum class TCreatureAction : std::uint8_t { Idle = 0, Walk = 1, Aim = 2, Fire = 3 };
// The bits of TCreature::ActionRequests: an action numbered beyond them cannot be requested.
constexpr unsigned ActionRequestBits = 8;
// Where a creature's weapon is in its cycle: reloading until the next shot, then showing
// the shot for a tenth of a second.
enum class TWeaponPhase : std::uint8_t { Reloading = 0, ShotShown = 2 };
// Walking directions relative to the heading.
enum class TMoveDirection { Forward = 0, Right = 1, Back = 2, Left = 3 };
// The flat box under a creature, kept hidden. It is a child of the scene root made before
// anything else of the creature, so that it precedes the anchor among the root's children:
// TCreature lists this base first, and bases are built in the order they are listed.
class TCreatureMarker {
 public:
  TGLCube* Marker = nullptr;

 protected:
  TCreatureMarker();
  ~TCreatureMarker();
  TCreatureMarker(const TCreatureMarker&) = delete;
  TCreatureMarker& operator=(const TCreatureMarker&) = delete;
};

class TCreature : public TCreatureMarker, public TPhysEntity {
 public:
  TCreature();
  ~TCreature() override;

  std::uint8_t Health = 0;                            // 0..100
  std::uint8_t Armour = 0;                            // 0..100
  std::uint8_t Weapon = 0;                            // weapon number in use
  float AnimTimer = 0;                                // seconds since the last frame change
  TCreatureAction AnimState = TCreatureAction::Idle;  // animation row
  TCreatureAction ActionState = TCreatureAction::Idle;
  float WeaponTimer = 0;  // seconds in the current weapon phase
  TWeaponPhase WeaponPhase = TWeaponPhase::Reloading;
  std::uint8_t ActionRequests = 0;  // bit set of actions requested this step (bit n: action n)
  float Speed = 3;                  // units per second
  float LaserLength = 5;
  bool LaserOn = false;
  TGLLines* Laser = nullptr;

  void Progress() override;
  void SetHeight(float height) override;
  void ApplyFriction() override;
  virtual void SetHealth(std::int32_t value);
  virtual void SetArmour(std::int32_t value);
  // Requests an action for this step; a number with no bit in ActionRequests is ignored.
  virtual void RequestAction(TCreatureAction action);

  // The walking vector for a direction; false for a number that names none (the output is
  // left untouched).
  bool MoveVector(TMoveDirection direction, TVector& out) const;
  void Move(TMoveDirection direction);

  bool Requested(TCreatureAction action) const {
    return (ActionRequests >> static_cast<unsigned>(action)) & 1u;
  }
  // Aiming or firing: the weapon cycle runs.
  bool Attacking() const {
    return ActionState == TCreatureAction::Aim || ActionState == TCreatureAction::Fire;
  }

 protected:
  void CreatureProgress();
};

}  // namespace orr
