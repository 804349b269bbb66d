// SPDX-License-Identifier: GPL-3.0-or-later
// Names and tile ids the export writes and the import reads; kept in one place so the two
// cannot drift apart.
#pragma once

#include <cstdint>
#include <string>

#include "map/UMapModule.h"

namespace orr::tiled {

constexpr const char* TerrainName = "terrain";
constexpr const char* DecorationName = "decoration";
constexpr const char* HeightName = "height";
constexpr const char* EntitiesName = "entities";
constexpr const char* RoutesName = "routes";

constexpr const char* NameProperty = "name";
constexpr const char* IdCodeProperty = "id code";
constexpr const char* VersionProperty = "version";
constexpr const char* KeptCellsProperty = "kept cells";
constexpr const char* AtlasTilesProperty = "atlas tiles";
constexpr const char* ViewOnlyProperty = "view only";
constexpr const char* KindProperty = "kind";
constexpr const char* IndexProperty = "index";
constexpr const char* PositionProperty = "position";
constexpr const char* Param1Property = "param1";
constexpr const char* Param2Property = "param2";

// The decorations' see-through colour (the game keys on it too).
constexpr const char* KeyColour = "ff0080";

// Tiled's flags in the top bits of a gid.
constexpr std::uint32_t FlippedHorizontally = 0x80000000u;
constexpr std::uint32_t FlippedVertically = 0x40000000u;
constexpr std::uint32_t FlippedDiagonally = 0x20000000u;
constexpr std::uint32_t RotatedHexagonal = 0x10000000u;
constexpr std::uint32_t FlagBits =
    FlippedHorizontally | FlippedVertically | FlippedDiagonally | RotatedHexagonal;

// The flags that turn a tile clockwise by `turns` (0..3) quarter turns, as the editor's
// "rotate clockwise" sets them.
constexpr std::uint32_t TurnFlags[4] = {0, FlippedDiagonally | FlippedHorizontally,
                                        FlippedHorizontally | FlippedVertically,
                                        FlippedDiagonally | FlippedVertically};

// The gid a cell is drawn with: its tile, or the placeholder (the tile after the atlas)
// for a tile number beyond it, turned by its quarter turns modulo 4. With `emptyZero`, a
// tile 0 that is not turned is an empty cell (no decoration).
inline std::uint32_t ShownGid(MapCell cell, int firstGid, int atlasTiles, bool emptyZero) {
  const int tile = cell.TileNumber < atlasTiles ? cell.TileNumber : atlasTiles;
  const int turns = cell.QuarterTurns % 4;
  if (emptyZero && tile == 0 && turns == 0) return 0;
  return static_cast<std::uint32_t>(firstGid + tile) | TurnFlags[turns];
}

// What Param1 and Param2 are called on an object of this kind (Param2 null: no name of
// its own, written as param2 when not empty).
struct TParamNames {
  const char* Param1;
  const char* Param2;
};
inline TParamNames ParamNames(std::uint16_t kind) {
  if (kind == 0) return {"mode", "route"};
  if (kind >= 3 && kind <= 6) return {"amount", nullptr};
  return {Param1Property, Param2Property};
}

// The object's class in the editor.
inline const char* KindName(std::uint16_t kind) {
  static const char* const names[] = {"creature", "effect", "marker",    "health",
                                      "armour",   "weapon", "ammunition"};
  return kind < 7 ? names[kind] : "nothing";
}

// The object's name in the editor: the game's name for it, or its kind and index.
inline std::string DisplayName(const TPackedEntity& e) {
  std::string name = EntityName(e);
  return name.empty() ? "kind " + std::to_string(e.Kind) + " index " + std::to_string(e.Index) : name;
}

}  // namespace orr::tiled
