// SPDX-License-Identifier: GPL-3.0-or-later
// The map tool's work for authors, against baselines measured in the same run:
//   export-tiled and import-tiled of a generated 1024 x 1024 map (TMX with CSV, zlib and
//   zstd layers) against storing and loading the same map in the game's own format;
//   render of the episode against a plain copy of one tile picture per cell.
// Results in docs/mapping.md.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "MapRender.h"
#include "OrxGenerate.h"
#include "TiledMap.h"
#include "map/MapFileWriter.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

const TOrrindelMap& BigMap() {
  static const TOrrindelMap map = [] {
    TGenerateOptions options;
    options.Width = options.Height = 1024;
    options.Npcs = options.Items = 2000;
    return GenerateMap(options);
  }();
  return map;
}

TTiledTilesets Sets() {
  TTiledTilesets sets;
  sets.TerrainTiles = 14;
  sets.DecorationTiles = 17;
  return sets;
}

constexpr TTiledEncoding Encodings[] = {TTiledEncoding::Csv, TTiledEncoding::Zlib, TTiledEncoding::Zstd};

void BM_StoreOrxBaseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(EncodeMapFile(BigMap()));
}
BENCHMARK(BM_StoreOrxBaseline)->Unit(benchmark::kMillisecond);

void BM_ExportTiled(benchmark::State& state) {
  const TTiledEncoding encoding = Encodings[state.range(0)];
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string tmx = ExportTiled(BigMap(), Sets(), encoding);
    bytes = tmx.size();
    benchmark::DoNotOptimize(tmx);
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_ExportTiled)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_LoadOrxBaseline(benchmark::State& state) {
  const fs::path path = fs::temp_directory_path() / "orr_bench_tiled.orx";
  WriteMapFile(path.string(), BigMap());
  for (auto _ : state) {
    if (LoadMap(path.string()) != TMapLoadResult::Loaded) state.SkipWithError("the map does not load");
  }
  fs::remove(path);
  ResetGameMap();
}
BENCHMARK(BM_LoadOrxBaseline)->Unit(benchmark::kMillisecond);

void BM_ImportTiled(benchmark::State& state) {
  const std::string tmx = ExportTiled(BigMap(), Sets(), Encodings[state.range(0)]);
  for (auto _ : state) benchmark::DoNotOptimize(ImportTiled(tmx, "."));
}
BENCHMARK(BM_ImportTiled)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The episode as `orx render --entities --routes` draws it, 16 pixels a cell.
struct TEpisode {
  TOrrindelMap Map;
  content::TMapPictureArt Art;
};
const TEpisode& Episode() {
  static const TEpisode episode = [] {
    TEpisode e;
    if (LoadMap(std::string(ORR_GAME_DIR) + "/Episodes/Test/Promo4.orx") != TMapLoadResult::Loaded)
      std::abort();
    e.Map = GameMap;
    e.Art = LoadGameArt(ORR_GAME_DIR);
    return e;
  }();
  return episode;
}

void BM_LoadGameArt(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoadGameArt(ORR_GAME_DIR));
}
BENCHMARK(BM_LoadGameArt)->Unit(benchmark::kMillisecond);

void BM_DrawTilesBaseline(benchmark::State& state) {
  const TEpisode& e = Episode();
  const content::TCanvas tile = content::Shrink(e.Art.Floors[0], 2);
  for (auto _ : state) {
    content::TCanvas c(e.Map.MapSize.X * 16, e.Map.MapSize.Y * 16);
    for (int y = 0; y < e.Map.MapSize.Y; ++y)
      for (int x = 0; x < e.Map.MapSize.X; ++x)
        for (int v = 0; v < 16; ++v)
          for (int u = 0; u < 16; ++u) c.At(x * 16 + u, y * 16 + v) = tile.At(u, v);
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_DrawTilesBaseline)->Unit(benchmark::kMillisecond);

void BM_RenderEpisode(benchmark::State& state) {
  const TEpisode& e = Episode();
  for (auto _ : state)
    benchmark::DoNotOptimize(content::DrawMapFromAbove(MapPictureInput(e.Map), e.Art, {16, true, true}));
}
BENCHMARK(BM_RenderEpisode)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
