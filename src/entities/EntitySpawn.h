// SPDX-License-Identifier: GPL-3.0-or-later
// Making the map's entities from its records, and the player records.
#pragma once

#include "entities/UEntityStructures.h"

namespace orr {

// One entity per entity record of GameMap, in file order.
void SpawnEntities();
// Kind 0 makes an NPC, kinds 3 to 6 an item; other kinds make nothing.
void SpawnEntity(const TPackedEntity& record);
// Frees every map entity, in map order, and empties MapEntities.
void FreeMapEntities();
// Appends a new player record to PlayerRecords.
void AddPlayerRecord();

}  // namespace orr
