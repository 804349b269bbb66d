// The weapon, ammunition, animation and creature tables.
#include "entities/UEntityStructures.h"

namespace orr {

// Weapons by number: 0 Fists, 1 Suppressor, 2 Shotgun, 3 M4 Carbine, 4 Flamer,
// 5 Gatling Gun, 6 Auto-Shotgun, 7 Grenade Launcher, 8 C4-Detonator.
const std::array<std::uint8_t, WeaponCount> WeaponCapacity{1, 1, 1, 1, 1, 1, 1, 1, 1};
const std::array<float, WeaponCount> FireRate{3, 3, 1, 11, 10, 15, 3, 0.5f, 0.2f};
const std::array<float, WeaponCount> WeaponMinDistance{-1.0f, 0.6f, 0.8f, 0.4f, 1.0f,
                                                        0.5f, 1.2f, 0, 0};
const std::array<std::int32_t, WeaponCount> WeaponRange{5, 70, 50, 100, 50, 70, 50, 0, 0};
// Ammunition types: 0 Small Bullets, 1 Large Bullets, 2 Shotgun Shells, 3 Gas, 4 Grenades,
// 5 C4 Explosives.
const std::array<std::int8_t, WeaponCount> WeaponAmmoType{-1, 0, 2, 1, 3, 1, 2, 4, 5};
const std::array<std::uint16_t, AmmoTypeCount> AmmoCapacity{999, 300, 150, 99, 30, 15};
// Animation rows: 0 idle, 1 walking, 2 aiming, 3 firing.
const std::array<std::uint8_t, 4> AnimFirstFrame{0, 1, 9, 10};
const std::array<std::uint8_t, 4> AnimFrameCount{1, 8, 1, 1};
// NPC kinds: 0 Civilian, 1 Patroller, 2 Reaver, 3 Black Angel, 4 Fire Tank, 5 Pulsar Unit,
// 6 Punisher.
const std::array<float, NpcKindCount> NpcSpeed{3, 3, 2, 4, 1, 3, 1};
const std::array<std::uint8_t, NpcKindCount> NpcWeapon{0, 1, 2, 3, 4, 5, 6};
const std::array<bool, NpcKindCount> NpcLaser{false, false, false, true, false, false, false};

}  // namespace orr
