// SPDX-License-Identifier: GPL-3.0-or-later
// The map as JSON, the readable form map authors write and `orx decode` prints:
//
// {"MapVersion": number, "MapName": string, "MapIdCode": string, "MapSize": [W, H],
//  "EntityCount": n,
//  "TerrainGrid":    [row y = 0 .. H-1: [W cells, each [TileNumber, QuarterTurns]]],
//  "DecorationGrid": same as TerrainGrid,
//  "HeightMap":      [row y = 0 .. H-1: [W numbers]],
//  "EntitySpawns":   [{"x": number, "y": number, "Kind": n, "Index": n,
//                      "Param1": string, "Param2": string}, ...]}
#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "map/UMapModule.h"

namespace orr {

// The map in the order above. Numbers stored in 32 bits print in their shortest form.
nlohmann::ordered_json MapToJson(const TOrrindelMap& map);

struct TMapSource {
  TOrrindelMap Map;
  std::optional<std::int64_t> EntityCount;  // as written in the source, when given
};

// Reads a map source. Throws EMapEncodeError naming the field for anything missing, of the
// wrong type or out of range, and for unknown keys (a misspelt key is never ignored).
// "EntityCount" may be left out; Param1 and Param2 default to "".
TMapSource MapFromJson(const nlohmann::json& source);

}  // namespace orr
