// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the map loader through a real file, the way the game loads maps:
// every input must load or be refused as unreadable, never a crash, an out-of-bounds read or an unbounded
// allocation, a loaded map must be consistent with its header, and the queries must stay
// inside whatever a load left, failed or not.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/UMainModule.h"
#include "map/UMapModule.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr;
  static const fuzz::TScratchFile scratch("map.orx");
  const std::string& path = scratch.Path();
  ResetGameMap();
  ResetEventLog();
  // First the input's first half, so that the full load resizes whatever that one left.
  scratch.Write(data, size / 2);
  if (const TMapLoadResult first = LoadMap(path); first == TMapLoadResult::Missing) std::abort();
  scratch.Write(data, size);
  ResetEventLog();
  const TMapLoadResult result = LoadMap(path);
  if (result == TMapLoadResult::Missing) std::abort();
  const TOrrindelMap& map = GameMap;
  if (result == TMapLoadResult::Loaded) {
    if (map.MapName.size() > 255) std::abort();
    if (map.TerrainGrid.Width() != map.MapSize.X || map.HeightMap.Height() != map.MapSize.Y) std::abort();
    if (map.EntitySpawns.size() != map.EntityCount) std::abort();
  }
  // Every query stays inside the map, also over what a failed load left.
  (void)MapRect();
  for (std::int32_t x = -1; x <= map.MapSize.X && x < 64; ++x)
    for (std::int32_t y = -1; y <= map.MapSize.Y && y < 64; ++y) (void)IsCellBlocked(x, y);
  // The first entities only: a count read from the file may give tens of thousands of
  // records the load never reached, all alike.
  for (std::size_t i = 0; i < map.EntitySpawns.size() && i < 64; ++i) {
    const TPackedEntity& e = map.EntitySpawns[i];
    (void)EntityName(e);
    TRoute route;
    try {
      ParseRoute(route, e.Param2);
    } catch (const EConvertError&) {
    }
  }
  // Nothing this input allocated outlives it: memory kept from one input to the next makes
  // the fuzzer suspect a leak and run a leak check after every input.
  ResetGameMap();
  ResetEventLog();
  std::vector<std::string>().swap(EventLog);
  return 0;
}
