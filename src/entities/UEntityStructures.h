// SPDX-License-Identifier: GPL-3.0-or-later
// The entities of the game: everything that lives on the map (items, creatures, the player)
// and the player record, with their per-step rules. This header gathers the entity headers,
// one per class, and the tables, the services and the lists.
//
// Class tree (single inheritance, virtual operations in fixed order):
//
//   TMapEntity
//     TVisualMapEntity           sprite, heading, animation frame
//       TItem                    pick-up: health, armour, weapon crate, ammunition
//       TPhysEntity              velocity, collision, hit cylinder, ray casts
//         TCreature              health, armour, weapon cycle, animation rows, laser
//                                (its hidden marker comes first: base TCreatureMarker)
//           TBasicPlayer         bound to a TPlayerRecord, picks items up
//             TLocalPlayer       keyboard, scene window, status image
//           TNPC                 computer-controlled behaviour (NPC.cpp)
//
// Ownership: MapEntities owns the map's entities, PlayerRecords owns the records, a record
// owns its player entity, the local player owns its view. Scene objects belong to the scene;
// an entity frees the ones it made when it is freed (unless the scene went first).
// Every visual entity registers its Progress as a step handler when built and removes it
// when freed, so a step never reaches a freed entity.
//
// Units: positions in world units (one per map cell), angles in degrees, timers in seconds
// of game time; one step is StepSeconds (0.01 s).
#pragma once

#include "entities/BasicPlayer.h"
#include "entities/Creature.h"
#include "entities/EntityLists.h"
#include "entities/EntityServices.h"
#include "entities/EntityTables.h"
#include "entities/FlyText.h"
#include "entities/Item.h"
#include "entities/LocalPlayer.h"
#include "entities/MapEntity.h"
#include "entities/NPC.h"
#include "entities/PhysEntity.h"
#include "entities/PlayerRecord.h"
