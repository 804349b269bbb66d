// SPDX-License-Identifier: GPL-3.0-or-later
// What recording a replay costs a step: the same generated map and the same walk, stepped
// with the recorder off (the baseline) and on (each step's keys compared and run-length
// coded, the state digest taken after every 100th step).
//
//   BM_Step/N/0   recorder off;   BM_Step/N/1   recorder on
//   BM_RecordKeys      the recorder alone, per step
//   BM_StateDigest/N   one state digest (what every 100th step adds)
// N creatures and N items on a map of rooms and corridors (orx generate).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "OrxGenerate.h"
#include "../../tests/support/GeneratedWorld.h"
#include "core/Replay.h"
#include "session/StateDigest.h"

namespace orr {
namespace {

TGenerateOptions MapFor(std::int32_t creatures) {
  const auto side = static_cast<std::int32_t>(std::max(24.0, std::round(128 * std::sqrt(creatures / 400.0))));
  return {side, side, creatures, creatures, 1};
}

void BM_Step(benchmark::State& state) {
  const auto creatures = static_cast<std::int32_t>(state.range(0));
  const bool recording = state.range(1) != 0;
  test::TGeneratedWorld world(GenerateMap(MapFor(creatures)), 1, false, false);
  const std::string file = (std::filesystem::temp_directory_path() / "orr-bench.replay").string();
  ResetReplay();
  if (recording) {
    StateDigestOf = &GameStateDigest;
    StartRecording({GameVersion, 1, 1024, 768, "bench.orx", 0, 0}, file);
  }
  int step = 0;
  for (int i = 0; i < 50; ++i) world.Step(test::WanderingKeys(++step));
  for (auto _ : state) world.Step(test::WanderingKeys(++step));
  state.SetItemsProcessed(state.iterations());
  state.counters["creatures"] = creatures;
  state.counters["recording"] = recording ? 1 : 0;
  state.counters["replay_bytes_per_minute"] =
      recording ? static_cast<double>(EncodedReplayBytes()) * 6000.0 / static_cast<double>(step) : 0;
  ResetReplay();
  std::filesystem::remove(file);
}
BENCHMARK(BM_Step)->ArgsProduct({{50, 1500}, {0, 1}})->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The recorder's own work in a step, without the digests: the keys compared with the step
// before's, a run counted up or a change written.
void BM_RecordKeys(benchmark::State& state) {
  const std::string file = (std::filesystem::temp_directory_path() / "orr-bench.replay").string();
  ResetReplay();
  StartRecording({GameVersion, 1, 1024, 768, "bench.orx", 0, 0}, file);
  std::uint64_t step = 0;
  for (auto _ : state) {
    TKeySnapshot keys;
    keys.Held.set(38, test::WanderingKeys(static_cast<int>(++step)) & 1);
    keys.Held.set(37, (step / 37) % 3 == 0);
    StepKeys(keys);
    StepDone();
    benchmark::DoNotOptimize(keys);
  }
  ResetReplay();
  std::filesystem::remove(file);
}
BENCHMARK(BM_RecordKeys);

void BM_StateDigest(benchmark::State& state) {
  const auto creatures = static_cast<std::int32_t>(state.range(0));
  test::TGeneratedWorld world(GenerateMap(MapFor(creatures)), 1, false, false);
  for (int i = 1; i <= 50; ++i) world.Step(test::WanderingKeys(i));
  for (auto _ : state) benchmark::DoNotOptimize(GameStateDigest());
  state.counters["creatures"] = creatures;
}
BENCHMARK(BM_StateDigest)->Arg(50)->Arg(1500)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
