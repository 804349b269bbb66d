// SPDX-License-Identifier: GPL-3.0-or-later
// Builds a small map and a key script from the input, runs the session with the plain scans
// and with the spatial indexes, and aborts at the first step after which the two differ.
// Both build the raised cells as the game does, turned and with only the sides that show
// (bodies placed inside raised cells see through the sides their block hides, as they do in
// the game; every side is compared with these on maps without such bodies, in the tests).
// Maps are odd on purpose: entities off the map, on walls, on top of each other, at random
// cells, of unknown kinds and modes, with routes anywhere.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../tests/support/GeneratedWorld.h"

namespace {

using namespace orr;

class TBytes {
 public:
  TBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  bool Empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
};

constexpr int Steps = 150;

TOrrindelMap MakeMap(TBytes& in) {
  TOrrindelMap map;
  const std::int32_t w = 3 + in.Next() % 22, h = 3 + in.Next() % 22;
  map.MapSize = {w, h};
  map.MapIdCode = "FUZZ";
  map.TerrainGrid.SetSize(w, h);
  map.DecorationGrid.SetSize(w, h);
  map.HeightMap.SetSize(w, h);
  const std::uint8_t density = in.Next() % 5;
  for (std::int32_t x = 0; x < w; ++x)
    for (std::int32_t y = 0; y < h; ++y) {
      const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      map.HeightMap[x][y] = border || in.Next() % 8 < density ? 1 + in.Next() % 4 : 0;
      // Turned terrain: the sides turn with their floor.
      if (map.HeightMap[x][y] > 0) map.TerrainGrid[x][y].QuarterTurns = in.Next() % 10;
    }
  const int count = in.Next() % 40;
  for (int i = 0; i < count; ++i) {
    TPackedEntity e;
    const std::uint8_t kind = in.Next();
    e.Kind = kind < 120 ? 0 : static_cast<std::uint16_t>(kind % 8);  // mostly creatures
    e.Index = static_cast<std::uint16_t>(in.Next() % 10);
    if (in.Next() % 6 == 0) {
      e.Position = {-1, -1, 0, 0};
    } else {
      e.Position.X = static_cast<float>(static_cast<int>(in.Next()) - 16) * 0.25f;
      e.Position.Y = static_cast<float>(static_cast<int>(in.Next()) - 16) * 0.25f;
    }
    e.Param1 = std::to_string(e.Kind == 0 ? in.Next() % 4 : in.Next() % 120);
    for (int s = in.Next() % 4; s > 0; --s) {
      char step[16];
      std::snprintf(step, sizeof step, "%02d%03d%03d", in.Next() % 4, in.Next() % (w + 2),
                    in.Next() % (h + 2));
      e.Param2 += step;
    }
    map.EntitySpawns.push_back(e);
  }
  map.EntityCount = static_cast<std::uint16_t>(map.EntitySpawns.size());
  return map;
}

std::vector<std::uint64_t> Run(const TOrrindelMap& map, std::uint32_t seed,
                               const std::vector<std::uint8_t>& keys, bool plain) {
  test::TGeneratedWorld world(map, seed, plain, true, true);
  std::vector<std::uint64_t> hashes;
  for (int step = 1; step <= Steps; ++step) {
    world.Step(keys[static_cast<std::size_t>(step - 1) / 5 % keys.size()]);
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : world.Dump()) h = (h ^ c) * 1099511628211ull;
    hashes.push_back(h);
  }
  return hashes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBytes in(data, size);
  const TOrrindelMap map = MakeMap(in);
  const std::uint32_t seed = in.Next() | (in.Next() << 8);
  std::vector<std::uint8_t> keys;  // one key set per 5 steps
  while (!in.Empty() && keys.size() < Steps / 5) keys.push_back(in.Next() & 0x1F);
  if (keys.empty()) keys.push_back(1);
  const auto plain = Run(map, seed, keys, true);
  const auto indexed = Run(map, seed, keys, false);
  for (std::size_t i = 0; i < plain.size(); ++i)
    if (plain[i] != indexed[i]) {
      std::fprintf(stderr, "plain scans and indexes differ after step %zu\n", i + 1);
      std::abort();
    }
  return 0;
}
