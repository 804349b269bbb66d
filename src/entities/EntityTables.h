// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the rules: weapons, ammunition, animation rows, NPC kinds, body sizes.
#pragma once

#include <array>
#include <cstdint>

namespace orr {

// The weapons by the numbers the player record, the NPC table and the crates count them.
enum class TWeapon : std::uint8_t {
  Fists,
  Suppressor,
  Shotgun,
  M4Carbine,
  Flamer,
  GatlingGun,
  AutoShotgun,
  GrenadeLauncher,
  C4Detonator
};
constexpr int WeaponCount = static_cast<int>(TWeapon::C4Detonator) + 1;
constexpr int AmmoTypeCount = 6;
constexpr int NpcKindCount = 7;

// One weapon's numbers.
struct TWeaponRow {
  std::uint8_t Capacity;  // how many a player carries
  float FireRate;         // shots per second
  float MinDistance;      // world units: with a wall nearer than this ahead it does not fire
  std::int32_t Range;     // tenths of a unit
  std::int8_t AmmoType;   // ammunition type it uses, -1 for none (fists)
};
// By weapon number (TWeapon).
extern const std::array<TWeaponRow, WeaponCount> WeaponTable;
extern const std::array<std::uint16_t, AmmoTypeCount> AmmoCapacity;

// Every body's radius (collision, pick-up, hit cylinder), and so the margin a body's centre
// keeps from a blocked cell. A double: the wall test compares in double precision.
constexpr double BodyRadius = 0.4;
// How high above the local player its camera flies (world units); a pick-up text rises
// until it reaches that height and vanishes.
constexpr float CameraHeight = 15;
extern const std::array<std::uint8_t, 4> AnimFirstFrame;
extern const std::array<std::uint8_t, 4> AnimFrameCount;
extern const std::array<float, NpcKindCount> NpcSpeed;  // units per second
extern const std::array<std::uint8_t, NpcKindCount> NpcWeapon;
extern const std::array<bool, NpcKindCount> NpcLaser;

}  // namespace orr
