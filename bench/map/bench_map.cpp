// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a large episode map against reading the same file line by line.
//
// The map: 2048 x 2048 cells, 20,000 entity records, written by the map writer with a line
// break every 1024 bytes (BM_*/1024) or as one line (BM_*/0). The baseline reads the file into
// one buffer line by line, as the loader's reading step does, and nothing else. Both report
// bytes of file per second; the program ends with the ratio of the two and the loader's peak
// heap use, measured by counting every allocation while one load runs.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <random>
#include <string>

#include "core/UMainModule.h"
#include "map/MapFileWriter.h"
#include "map/UMapModule.h"

// ---- Heap accounting: every operator new/delete of the process -------------------------------
namespace {
std::atomic<std::size_t> HeapInUse{0};
std::atomic<std::size_t> HeapPeak{0};

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const std::size_t now = HeapInUse += malloc_usable_size(p);
  std::size_t peak = HeapPeak.load();
  while (now > peak && !HeapPeak.compare_exchange_weak(peak, now)) {
  }
  return p;
}
void Release(void* p) {
  if (p == nullptr) return;
  HeapInUse -= malloc_usable_size(p);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

using namespace orr;

constexpr std::int32_t Side = 2048;
constexpr std::size_t Entities = 20000;

orr::TOrrindelMap GenerateMap() {
  std::mt19937 random(2048);
  TOrrindelMap map;
  map.MapVersion = 1.1f;
  map.MapName = "Benchmark_Yard";
  map.MapIdCode = "BENCH-2048";
  map.MapSize = {Side, Side};
  map.TerrainGrid.SetSize(Side, Side);
  map.DecorationGrid.SetSize(Side, Side);
  map.HeightMap.SetSize(Side, Side);
  for (std::size_t x = 0; x < Side; ++x)
    for (std::size_t y = 0; y < Side; ++y) {
      map.TerrainGrid[x][y] = {static_cast<std::uint16_t>(random() % 1000),
                               static_cast<std::uint8_t>(random() % 4)};
      map.DecorationGrid[x][y] = {static_cast<std::uint16_t>(random() % 8 ? 0 : random() % 1000),
                                  static_cast<std::uint8_t>(random() % 4)};
      map.HeightMap[x][y] = static_cast<THeightMapCell>(random() % 5 ? 0 : 1 + random() % 4);
    }
  map.EntitySpawns.resize(Entities);
  map.EntityCount = static_cast<std::uint16_t>(Entities);
  for (auto& e : map.EntitySpawns) {
    e.Position.X = static_cast<float>(random() % Side) + 0.5f;
    e.Position.Y = static_cast<float>(random() % Side) + 0.5f;
    e.Kind = static_cast<std::uint16_t>(random() % 7);
    e.Index = static_cast<std::uint16_t>(random() % 3);
    e.Param1 = std::to_string(random() % 100);
    char route[64];
    auto draw = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    std::snprintf(route, sizeof route, "%02u%03u%03u%02u%03u%03u", draw(6), draw(1000), draw(1000), draw(6),
                  draw(1000), draw(1000));
    e.Param2 = e.Kind == 0 ? route : "";
  }
  return map;
}

struct TBenchFile {
  std::string Path;
  std::size_t Bytes = 0;
};

// Where the map file of a wrap width goes: the temporary folder the system names (TMPDIR
// on Linux, TEMP on Windows), one file per process and width.
std::string MapFilePath(int wrap) {
  const std::string name =
      "orr_bench_map_" + std::to_string(::getpid()) + "_" + std::to_string(wrap) + ".orx";
  return (std::filesystem::temp_directory_path() / name).string();
}

// The map file for a wrap width, written once per process.
const TBenchFile& MapFile(int wrap) {
  static std::map<int, TBenchFile> files;
  auto found = files.find(wrap);
  if (found != files.end()) return found->second;
  static const TOrrindelMap map = GenerateMap();
  TBenchFile file;
  file.Path = MapFilePath(wrap);
  TMapWriteOptions options;
  options.Wrap = wrap;
  options.Seed = 7;
  const std::string content = EncodeMapFile(map, options);
  std::ofstream(file.Path, std::ios::binary) << content;
  file.Bytes = content.size();
  return files.emplace(wrap, file).first->second;
}

// Reads the file into one buffer line by line, dropping the line ends: the straightforward
// text reading the loader's first step stands for.
void BM_ReadLinesBaseline(benchmark::State& state) {
  const TBenchFile& file = MapFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::ifstream in(file.Path, std::ios::binary);
    std::string buffer, line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      buffer += line;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Bytes));
}

void BM_LoadMap(benchmark::State& state) {
  const TBenchFile& file = MapFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ResetEventLog();
    if (LoadMap(file.Path) != TMapLoadResult::Loaded) state.SkipWithError("the map did not load");
    benchmark::DoNotOptimize(GameMap.HeightMap.Width());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Bytes));
}

// One load with the heap counted: peak bytes in use above what was in use before it.
void BM_LoadMapPeakMemory(benchmark::State& state) {
  const TBenchFile& file = MapFile(static_cast<int>(state.range(0)));
  double peakMb = 0;
  for (auto _ : state) {
    ResetGameMap();
    ResetEventLog();
    const std::size_t before = HeapInUse.load();
    HeapPeak = before;
    if (LoadMap(file.Path) != TMapLoadResult::Loaded) state.SkipWithError("the map did not load");
    peakMb = static_cast<double>(HeapPeak.load() - before) / 1e6;
  }
  const double cells = static_cast<double>(Side) * Side;
  const double gridsMb = cells * (2 * sizeof(MapCell) + sizeof(THeightMapCell)) / 1e6;
  const double fileMb = static_cast<double>(file.Bytes) / 1e6;
  state.counters["peak_MB"] = peakMb;
  state.counters["file_MB"] = fileMb;
  state.counters["grids_MB"] = gridsMb;
  state.counters["goal_MB"] = fileMb + 2 * gridsMb;
}

BENCHMARK(BM_ReadLinesBaseline)->Arg(1024)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LoadMap)->Arg(1024)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LoadMapPeakMemory)->Arg(1024)->Iterations(1)->Unit(benchmark::kMillisecond);

// Keeps the real time of every run, to print the ratio of load to baseline at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        Seconds[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> Seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int wrap : {1024, 0}) {
    const std::string suffix = "/" + std::to_string(wrap);
    auto load = reporter.Seconds.find("BM_LoadMap" + suffix);
    auto base = reporter.Seconds.find("BM_ReadLinesBaseline" + suffix);
    if (load != reporter.Seconds.end() && base != reporter.Seconds.end())
      std::printf("load / line-reading baseline, wrap %d: %.2fx (goal: 3x or less)\n", wrap,
                  load->second / base->second);
  }
  for (int wrap : {1024, 0}) {
    std::remove(MapFilePath(wrap).c_str());
  }
  benchmark::Shutdown();
  return 0;
}
