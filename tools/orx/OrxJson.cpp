// SPDX-License-Identifier: GPL-3.0-or-later
#include "OrxJson.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "core/FloatText.h"
#include "map/MapFileWriter.h"

namespace orr {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// The value a 32-bit float prints as: its shortest decimal form read back as a double, so
// that 1.1 stored in 32 bits prints as 1.1 and not 1.100000023841858.
double Printable(float value) {
  const std::string text = SingleToText(value);
  double result = 0;
  FloatFromChars(text.data(), text.data() + text.size(), result);
  return result;
}

ordered_json CellRows(const TMapDataBlockArray& grid) {
  ordered_json rows = ordered_json::array();
  for (std::int32_t y = 0; y < grid.Height(); ++y) {
    ordered_json row = ordered_json::array();
    for (std::int32_t x = 0; x < grid.Width(); ++x) {
      const MapCell& cell = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      row.push_back(ordered_json::array({cell.TileNumber, cell.QuarterTurns}));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

[[noreturn]] void Refuse(const std::string& field, const std::string& why) {
  throw EMapEncodeError(field + ": " + why);
}

const json& Member(const json& object, const char* key, const std::string& where) {
  auto found = object.find(key);
  if (found == object.end()) Refuse(where + key, "missing");
  return *found;
}

void RefuseUnknownKeys(const json& object, const std::set<std::string>& known, const std::string& where) {
  for (auto it = object.begin(); it != object.end(); ++it)
    if (known.count(it.key()) == 0) Refuse(where + it.key(), "unknown key");
}

std::int64_t Integer(const json& value, const std::string& field, std::int64_t low, std::int64_t high) {
  std::int64_t result = 0;
  if (value.is_number_integer()) {
    result = value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)
                 ? high + 1
                 : value.get<std::int64_t>();
  } else if (value.is_number_float() && std::nearbyint(value.get<double>()) == value.get<double>() &&
             std::fabs(value.get<double>()) < 9e18) {
    result = static_cast<std::int64_t>(value.get<double>());
  } else {
    Refuse(field, "an integer is needed, found " + value.dump());
  }
  if (result < low || result > high)
    Refuse(field,
           std::to_string(result) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
  return result;
}

float Single(const json& value, const std::string& field) {
  if (!value.is_number()) Refuse(field, "a number is needed, found " + value.dump());
  const double d = value.get<double>();
  const float f = static_cast<float>(d);
  if (!std::isfinite(d) || !std::isfinite(f)) Refuse(field, value.dump() + " does not fit in 32 bits");
  return f;
}

std::string Text(const json& value, const std::string& field) {
  if (!value.is_string()) Refuse(field, "a string is needed, found " + value.dump());
  return value.get<std::string>();
}

const json& Array(const json& value, const std::string& field, std::size_t length) {
  if (!value.is_array()) Refuse(field, "an array is needed");
  if (value.size() != length)
    Refuse(field, std::to_string(value.size()) + " entries where MapSize asks for " + std::to_string(length));
  return value;
}

void ReadCellRows(const json& source, const char* name, TMapDataBlockArray& grid) {
  const json& rows = Array(source, name, static_cast<std::size_t>(grid.Height()));
  for (std::int32_t y = 0; y < grid.Height(); ++y) {
    const std::string rowName = std::string(name) + "[" + std::to_string(y) + "]";
    const json& row =
        Array(rows[static_cast<std::size_t>(y)], rowName, static_cast<std::size_t>(grid.Width()));
    for (std::int32_t x = 0; x < grid.Width(); ++x) {
      const std::string cellName = rowName + "[" + std::to_string(x) + "]";
      const json& cell = row[static_cast<std::size_t>(x)];
      if (!cell.is_array() || cell.size() != 2) Refuse(cellName, "[TileNumber, QuarterTurns] is needed");
      MapCell& target = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      target.TileNumber = static_cast<std::uint16_t>(Integer(cell[0], cellName + " TileNumber", 0, 65535));
      target.QuarterTurns = static_cast<std::uint8_t>(Integer(cell[1], cellName + " QuarterTurns", 0, 9));
    }
  }
}

}  // namespace

ordered_json MapToJson(const TOrrindelMap& map) {
  ordered_json out;
  out["MapVersion"] = Printable(map.MapVersion);
  out["MapName"] = map.MapName;
  out["MapIdCode"] = map.MapIdCode;
  out["MapSize"] = ordered_json::array({map.MapSize.X, map.MapSize.Y});
  out["EntityCount"] = map.EntityCount;
  out["TerrainGrid"] = CellRows(map.TerrainGrid);
  out["DecorationGrid"] = CellRows(map.DecorationGrid);
  ordered_json heights = ordered_json::array();
  for (std::int32_t y = 0; y < map.HeightMap.Height(); ++y) {
    ordered_json row = ordered_json::array();
    for (std::int32_t x = 0; x < map.HeightMap.Width(); ++x)
      row.push_back(map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]);
    heights.push_back(std::move(row));
  }
  out["HeightMap"] = std::move(heights);
  ordered_json spawns = ordered_json::array();
  for (const TPackedEntity& e : map.EntitySpawns) {
    ordered_json record;
    record["x"] = Printable(e.Position.X);
    record["y"] = Printable(e.Position.Y);
    record["Kind"] = e.Kind;
    record["Index"] = e.Index;
    record["Param1"] = e.Param1;
    record["Param2"] = e.Param2;
    spawns.push_back(std::move(record));
  }
  out["EntitySpawns"] = std::move(spawns);
  return out;
}

TMapSource MapFromJson(const json& source) {
  if (!source.is_object()) Refuse("source", "a JSON object is needed");
  RefuseUnknownKeys(source,
                    {"MapVersion", "MapName", "MapIdCode", "MapSize", "EntityCount", "TerrainGrid",
                     "DecorationGrid", "HeightMap", "EntitySpawns"},
                    "");
  TMapSource result;
  TOrrindelMap& map = result.Map;
  map.MapVersion = Single(Member(source, "MapVersion", ""), "MapVersion");
  map.MapName = Text(Member(source, "MapName", ""), "MapName");
  map.MapIdCode = Text(Member(source, "MapIdCode", ""), "MapIdCode");
  const json& size = Member(source, "MapSize", "");
  if (!size.is_array() || size.size() != 2) Refuse("MapSize", "[W, H] is needed");
  const auto maxSize = std::numeric_limits<std::int32_t>::max();
  map.MapSize.X = static_cast<std::int32_t>(Integer(size[0], "MapSize W", 0, maxSize));
  map.MapSize.Y = static_cast<std::int32_t>(Integer(size[1], "MapSize H", 0, maxSize));
  if (source.contains("EntityCount"))
    result.EntityCount = Integer(source["EntityCount"], "EntityCount", 0, maxSize);

  const std::int32_t width = map.MapSize.X, height = map.MapSize.Y;
  // A source grid holds one JSON value per cell; check the row count before sizing.
  const json& terrain =
      Array(Member(source, "TerrainGrid", ""), "TerrainGrid", static_cast<std::size_t>(height));
  if (height > 0) Array(terrain[0], "TerrainGrid[0]", static_cast<std::size_t>(width));
  map.TerrainGrid.SetSize(width, height);
  map.DecorationGrid.SetSize(width, height);
  map.HeightMap.SetSize(width, height);
  ReadCellRows(source["TerrainGrid"], "TerrainGrid", map.TerrainGrid);
  ReadCellRows(Member(source, "DecorationGrid", ""), "DecorationGrid", map.DecorationGrid);
  const json& heights = Array(Member(source, "HeightMap", ""), "HeightMap", static_cast<std::size_t>(height));
  for (std::int32_t y = 0; y < height; ++y) {
    const std::string rowName = "HeightMap[" + std::to_string(y) + "]";
    const json& row = Array(heights[static_cast<std::size_t>(y)], rowName, static_cast<std::size_t>(width));
    for (std::int32_t x = 0; x < width; ++x)
      map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = static_cast<THeightMapCell>(
          Integer(row[static_cast<std::size_t>(x)], rowName + "[" + std::to_string(x) + "]", 0, 9));
  }

  const json& spawns = Member(source, "EntitySpawns", "");
  if (!spawns.is_array()) Refuse("EntitySpawns", "an array is needed");
  if (spawns.size() > 65535) Refuse("EntitySpawns", "more than 65535 records");
  for (std::size_t i = 0; i < spawns.size(); ++i) {
    const std::string where = "EntitySpawns[" + std::to_string(i) + "].";
    const json& record = spawns[i];
    if (!record.is_object()) Refuse(where.substr(0, where.size() - 1), "an object is needed");
    RefuseUnknownKeys(record, {"x", "y", "Kind", "Index", "Param1", "Param2"}, where);
    TPackedEntity e;
    e.Position.X = Single(Member(record, "x", where), where + "x");
    e.Position.Y = Single(Member(record, "y", where), where + "y");
    e.Kind = static_cast<std::uint16_t>(Integer(Member(record, "Kind", where), where + "Kind", 0, 65535));
    e.Index = static_cast<std::uint16_t>(Integer(Member(record, "Index", where), where + "Index", 0, 65535));
    if (record.contains("Param1")) e.Param1 = Text(record["Param1"], where + "Param1");
    if (record.contains("Param2")) e.Param2 = Text(record["Param2"], where + "Param2");
    map.EntitySpawns.push_back(std::move(e));
  }
  map.EntityCount = static_cast<std::uint16_t>(map.EntitySpawns.size());
  return result;
}

}  // namespace orr
