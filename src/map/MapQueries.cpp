// SPDX-License-Identifier: GPL-3.0-or-later
// Queries over the loaded map: its bounds, blocked cells, routes and entity names.
#include "map/UMapModule.h"

namespace orr {

// W - 1 and H - 1 wrap around in 32 bits: a failed load can leave a size of -2147483648.
TMapRect MapRect() {
  const auto lastOf = [](std::int32_t count) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(count) - 1u);
  };
  return {0, 0, lastOf(GameMap.MapSize.X), lastOf(GameMap.MapSize.Y)};
}

bool IsCellBlocked(std::int32_t x, std::int32_t y) {
  const TMapRect bounds = MapRect();
  if (x < bounds.Left || x > bounds.Right || y < bounds.Top || y > bounds.Bottom) return true;
  if (!GameMap.HeightMap.Contains(x, y)) return true;
  return GameMap.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] != 0;
}

int EdgeOfSide(int side, std::uint8_t quarterTurns) { return (side + quarterTurns) % 4; }

bool RaisedSideShows(const TOrrindelMap& map, std::int32_t x, std::int32_t y, int side) {
  auto heightAt = [&](std::int64_t cx, std::int64_t cy) -> int {
    if (!map.HeightMap.Contains(cx, cy)) return 0;
    return map.HeightMap[static_cast<std::size_t>(cx)][static_cast<std::size_t>(cy)];
  };
  const std::uint8_t turns =
      map.TerrainGrid.Contains(x, y)
          ? map.TerrainGrid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)].QuarterTurns
          : std::uint8_t{0};
  static constexpr std::int64_t EdgeX[4] = {0, 1, 0, -1}, EdgeY[4] = {1, 0, -1, 0};
  const int edge = EdgeOfSide(side, turns);
  return heightAt(x + EdgeX[edge], y + EdgeY[edge]) < heightAt(x, y);
}

void ParseRoute(TRoute& route, std::string_view text) {
  route.Steps.clear();
  constexpr std::size_t GroupLength = 8;
  for (std::size_t at = 0; text.size() - at >= GroupLength; at += GroupLength) {
    RouteStep& step = route.Steps.emplace_back();
    step.Wait = static_cast<std::uint16_t>(StrToInt(text.substr(at, 2)));
    step.CellX = StrToInt(text.substr(at + 2, 3));
    step.CellY = StrToInt(text.substr(at + 5, 3));
  }
}

const std::vector<std::vector<std::string>> EntityNameTables = {
    {"Civilian", "Patroller", "Reaver", "Black Angel", "Fire Tank", "Pulsar Unit", "Punisher"},
    {"Spotlight", "Steam"},
    {"Player start"},
    {"First Aid Patch", "Medkit", "Surgery Playset"},
    {"Armor Pad", "Kevlar Vest", "Polythene Vest"},
    {"Fists", "Suppressor", "Shotgun", "M4 Carbine", "Flamer", "Gatling Gun", "Auto-Shotgun",
     "Grenade Launcher", "C4-Detonator"},
    {"Small Bullets", "Large Bullets", "Shotgun Shells", "Gas", "Grenades", "C4 Explosives"},
};

std::string EntityName(const TPackedEntity& record) {
  if (record.Kind >= EntityNameTables.size()) return {};
  const auto& table = EntityNameTables[record.Kind];
  return record.Index < table.size() ? table[record.Index] : std::string();
}

}  // namespace orr
