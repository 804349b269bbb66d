// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the Tiled import, read as TMX when they start with '<' and as the
// editor's JSON otherwise. Every input is imported or refused with its problems, one line
// each and at most 50 spelled out plus a count of the rest, never a crash or an allocation
// beyond what the input holds; an imported map can always be stored, and
// exported and imported again it stays the same map.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TiledMap.h"
#include "map/MapFileWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  orr::TOrrindelMap map;
  try {
    map = orr::ImportTiled(text, "/nonexistent-orrindel-fuzz");
  } catch (const orr::ETiledRefusal& e) {
    if (e.Problems.empty() || e.Problems.size() > 51) std::abort();
    for (const std::string& line : e.Problems)
      if (line.empty() || line.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  if (map.TerrainGrid.Width() != map.MapSize.X || map.HeightMap.Height() != map.MapSize.Y ||
      map.EntitySpawns.size() != map.EntityCount)
    std::abort();
  std::string stored;
  try {
    stored = orr::EncodeMapFile(map);
  } catch (const orr::EMapEncodeError&) {
    std::abort();  // the import let through a value the map file cannot hold
  }
  orr::TTiledTilesets sets;
  sets.TerrainTiles = 14;
  sets.DecorationTiles = 17;
  const orr::TOrrindelMap again =
      orr::ImportTiled(orr::ExportTiled(map, sets, orr::TTiledEncoding::Zlib), ".");
  if (orr::EncodeMapFile(again) != stored) std::abort();
  return 0;
}
