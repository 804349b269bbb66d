// Feeds arbitrary bytes to the map loader through a real file, the way the game loads maps:
// every input must give result 0 or 2, never a crash, an out-of-bounds read or an unbounded
// allocation, and a loaded map must be consistent with its header.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/UMainModule.h"
#include "map/UMapModule.h"

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/orr_fuzz_map_" + std::to_string(::getpid()) + ".orx";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr;
  const std::string& path = ScratchFile();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  ResetGameMap();
  ResetEventLog();
  const int result = LoadMap(path);
  if (result != 0 && result != 2) std::abort();
  if (result == 0) {
    const TOrrindelMap& map = GameMap;
    if (map.MapName.size() > 255) std::abort();
    if (map.TerrainGrid.Width() != map.MapSize.X || map.HeightMap.Height() != map.MapSize.Y) std::abort();
    if (map.EntitySpawns.size() != map.EntityCount) std::abort();
    // Every query over the loaded map stays inside it.
    for (std::int32_t x = -1; x <= map.MapSize.X && x < 64; ++x)
      for (std::int32_t y = -1; y <= map.MapSize.Y && y < 64; ++y) (void)IsCellBlocked(x, y);
    for (const auto& e : map.EntitySpawns) {
      (void)EntityName(e);
      TRoute route;
      try {
        ParseRoute(route, e.Param2);
      } catch (const EConvertError&) {
      }
    }
  }
  ::unlink(path.c_str());
  return 0;
}
