// SPDX-License-Identifier: GPL-3.0-or-later
// One game step of the entity rules (every NPC's behaviour, motion and collision, the
// player's pick-ups) on an open 48 x 40 map with walls round it, the episode's size.
//
//   BM_Step/N:          N roaming NPCs and one player; collision scans every body, so the
//                       cost per step grows with the square of N. N = 10 is the baseline.
//   BM_Step_Items/N:    N items and one player: no collision, pick-up scans only.
// Items are steps.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "../../tests/support/EntityWorld.h"
#include "core/Random.h"

namespace orr {
namespace {

// The entity tests' world on the episode's size, seeded for repeatable runs.
struct TWorld : test::TEntityWorld {
  TWorld() {
    const int w = 48, h = 40;
    GameMap.MapSize = {w, h};
    GameMap.HeightMap.SetSize(w, h);
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        GameMap.HeightMap[x][y] = (x == 0 || y == 0 || x == w - 1 || y == h - 1) ? 1 : 0;
    RandSeed = 2024;
  }
  void Add(std::uint16_t kind, std::uint16_t index, std::string param1) {
    if (kind == 0) Spawn<TNPC>(Record(kind, index, -1, -1, std::move(param1)));
    else Spawn<TItem>(Record(kind, index, -1, -1, std::move(param1)));
  }
};

void BM_Step(benchmark::State& state) {
  TWorld world;
  for (int i = 0; i < state.range(0); ++i) world.Add(0, static_cast<std::uint16_t>(i % 7), "1");
  world.AddPlayer();
  for (auto _ : state) world.Step();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Step)->Arg(10)->Arg(20)->Arg(40)->Arg(80);

void BM_Step_Items(benchmark::State& state) {
  TWorld world;
  for (int i = 0; i < state.range(0); ++i) world.Add(6, 0, "50");
  world.AddPlayer();
  for (auto _ : state) world.Step();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Step_Items)->Arg(10)->Arg(40);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
