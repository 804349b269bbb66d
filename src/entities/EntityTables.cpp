// SPDX-License-Identifier: GPL-3.0-or-later
// The weapon, ammunition, animation and creature tables.
#include "entities/UEntityStructures.h"

namespace orr {

// Ammunition types: 0 Small Bullets, 1 Large Bullets, 2 Shotgun Shells, 3 Gas, 4 Grenades,
// 5 C4 Explosives.
const std::array<TWeaponRow, WeaponCount> WeaponTable{{
    //                capacity  fire rate  min distance  range  ammunition
    /* Fists */ {1, 3, -1.0f, 5, -1},
    /* Suppressor */ {1, 3, 0.6f, 70, 0},
    /* Shotgun */ {1, 1, 0.8f, 50, 2},
    /* M4 Carbine */ {1, 11, 0.4f, 100, 1},
    /* Flamer */ {1, 10, 1.0f, 50, 3},
    /* Gatling Gun */ {1, 15, 0.5f, 70, 1},
    /* Auto-Shotgun */ {1, 3, 1.2f, 50, 2},
    /* Grenade Launcher */ {1, 0.5f, 0, 0, 4},
    /* C4-Detonator */ {1, 0.2f, 0, 0, 5},
}};
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
