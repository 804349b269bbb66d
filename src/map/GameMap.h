// SPDX-License-Identifier: GPL-3.0-or-later
// The loaded map, GameMap: its header fields, grid layers and entity records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map/MapGrid.h"

namespace orr {

// A position as the map stores it: x and y come from the file, z and w are always 0.
struct TMapVector {
  float X = 0, Y = 0, Z = 0, W = 0;
};

// The entity kinds of the map's records; a record may hold any other number too.
enum class TEntityKind : std::uint16_t {
  Creature = 0,
  SceneryEffect = 1,
  Marker = 2,
  HealthItem = 3,
  ArmourItem = 4,
  Weapon = 5,
  Ammunition = 6,
};

// One entity record of the map.
struct TPackedEntity {
  // Position on the map in cells; a negative x together with a negative y asks for a random
  // placement.
  TMapVector Position;
  // 0 creature, 1 scenery effect, 2 marker, 3 health item, 4 armour item, 5 weapon,
  // 6 ammunition; anything else makes nothing. The number as the file stores it; the game
  // reads it as EntityKind().
  std::uint16_t Kind = 0;
  // Row of the kind's name table (see EntityName).
  std::uint16_t Index = 0;
  // Creatures: the behaviour number; items: the amount.
  std::string Param1;
  // Creatures: the patrol route (see ParseRoute).
  std::string Param2;

  TEntityKind EntityKind() const { return static_cast<TEntityKind>(Kind); }
};

// Number of cells horizontally (X, the map's width W) and vertically (Y, its height H).
struct TMapSize {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

struct TOrrindelMap {
  static constexpr std::size_t MaxNameLength = 255;

  std::string MapName;    // at most MaxNameLength characters; only logged
  float MapVersion = 0;   // format version of the file; only logged
  std::string MapIdCode;  // a new code makes the scene window rebuild its scene
  TMapSize MapSize;
  std::uint16_t EntityCount = 0;
  TMapDataBlockArray TerrainGrid;           // [x][y]
  TMapDataBlockArray DecorationGrid;        // [x][y]
  THeightMap HeightMap;                     // [x][y]
  std::vector<TPackedEntity> EntitySpawns;  // EntityCount records, in file order
};

// The loaded map. Owned by this unit; released after every module is destroyed.
extern TOrrindelMap GameMap;
// Empties GameMap and frees its storage (unit finalization; tests).
void ResetGameMap();

}  // namespace orr
