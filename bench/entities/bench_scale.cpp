// SPDX-License-Identifier: GPL-3.0-or-later
// Steps of the entity rules at scale, indexed and plain: generated maps (orx generate) of
// rooms and corridors holding N creatures and N items, about 20 cells per entity, the
// player walking and turning through them. The same map and steps with SpatialIndexEnabled
// false are the baseline (the plain scans the indexes replace).
//
//   BM_ScaleStep/N/1   indexed;   BM_ScaleStep/N/0   plain scans
// Items are steps (items_per_second = steps per second). The scene holds the entities
// only, no wall planes: this measures the rules; orrindel-sim --timedemo measures the
// whole game on a map (docs/performance.md).
#include <benchmark/benchmark.h>

#include <cmath>

#include "OrxGenerate.h"
#include "../../tests/support/GeneratedWorld.h"

namespace orr {
namespace {

TGenerateOptions MapFor(std::int32_t creatures) {
  const auto side = static_cast<std::int32_t>(std::max(24.0, std::round(128 * std::sqrt(creatures / 400.0))));
  return {side, side, creatures, creatures, 1};
}

void BM_ScaleStep(benchmark::State& state) {
  const auto creatures = static_cast<std::int32_t>(state.range(0));
  test::TGeneratedWorld world(GenerateMap(MapFor(creatures)), 1, state.range(1) == 0, false);
  int step = 0;
  for (int i = 0; i < 50; ++i) world.Step(test::WanderingKeys(++step));  // settle into motion
  for (auto _ : state) world.Step(test::WanderingKeys(++step));
  state.SetItemsProcessed(state.iterations());
  state.counters["creatures"] = creatures;
  state.counters["indexed"] = static_cast<double>(state.range(1));
}
BENCHMARK(BM_ScaleStep)
    ->ArgsProduct({{25, 50, 100, 200, 400, 800, 1600}, {1}})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5);
// The plain scans grow with the square of the count: 800 creatures already take a tenth
// of a second per step.
BENCHMARK(BM_ScaleStep)
    ->ArgsProduct({{25, 50, 100, 200, 400, 800}, {0}})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
