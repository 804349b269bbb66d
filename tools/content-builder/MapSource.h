// SPDX-License-Identifier: GPL-3.0-or-later
// The readable episode source (content/maps/*.map): an ASCII layout with a legend, and
// lists of decorations, creatures, items and markers. See the head of Promo4.map for the
// notation. The builder turns it into the map tool's JSON, which `orx encode` stores.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orr::content {

struct TMapEntity {
  float X = 0, Y = 0;  // cell centre
  int Kind = 0, Index = 0;
  std::string Param1, Param2;
  int Line = 0;  // source line, for messages
};

struct TMapSource {
  std::string Name, IdCode, Version;
  int Width = 0, Height = 0;
  // Indexed [y][x], y = 0 the southern (last) layout line.
  std::vector<std::vector<int>> Tile, Turns, Height_, Deco, DecoTurns;
  std::vector<TMapEntity> Entities;
};

// Parses the source. Tile and decoration names are looked up in the given lists (their
// position is their number). Throws std::runtime_error "<file>:<line>: <what>" for any
// mistake: unknown names, ragged layout, entities or routes on blocked cells, routes
// whose legs cross a blocked cell, amounts that are not whole numbers.
TMapSource ParseMapSource(const std::string& text, const std::string& fileName,
                          const std::vector<std::string>& tileNames,
                          const std::vector<std::string>& decorationNames);

// The map tool's JSON form of the map.
nlohmann::json MapToJson(const TMapSource& map);

// Names of the creature types by index, as the game knows them.
const std::vector<std::string>& CreatureNames();

}  // namespace orr::content
