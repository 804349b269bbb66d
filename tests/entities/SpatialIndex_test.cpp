// SPDX-License-Identifier: GPL-3.0-or-later
// The spatial indexes must change no result: whole sessions on generated maps, run with
// the plain scans and with the indexes, agree on every field after every step.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "OrxGenerate.h"
#include "entities/SpatialIndex.h"
#include "../support/GeneratedWorld.h"

namespace orr {
namespace {

using test::TGeneratedWorld;

std::uint64_t Fnv(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

struct TRun {
  std::vector<std::uint64_t> StepHashes;  // the dump after set-up and after each step
  std::string LastDump;
};

TRun RunSession(const TGenerateOptions& options, bool plain, int steps) {
  TGeneratedWorld world(GenerateMap(options), options.Seed * 7919u, plain);
  TRun run;
  run.StepHashes.push_back(Fnv(world.Dump()));
  for (int step = 1; step <= steps; ++step) {
    world.Step(test::WanderingKeys(step));
    run.LastDump = world.Dump();
    run.StepHashes.push_back(Fnv(run.LastDump));
  }
  return run;
}

// Crowded maps (creatures bump into each other and into the player, who walks, turns,
// fires and picks items up), a narrow one, a wide one and one of every feature (turned
// raised cells, bodies on the grids' cell edges); 600 steps each (a first difference shows
// within a few hundred).
TEST(SpatialIndex, SessionsWithAndWithoutIndexesAgreeAfterEveryStep) {
  TGenerateOptions everyFeature{40, 32, 50, 50, 4};
  everyFeature.EveryFeature = true;  // turned raised cells: the plain session builds every side
  for (const TGenerateOptions& options :
       {TGenerateOptions{40, 32, 50, 50, 1}, TGenerateOptions{24, 64, 60, 30, 2},
        TGenerateOptions{80, 20, 40, 60, 3}, everyFeature}) {
    SCOPED_TRACE(std::to_string(options.Width) + "x" + std::to_string(options.Height));
    const TRun plain = RunSession(options, true, 600);
    const TRun indexed = RunSession(options, false, 600);
    ASSERT_EQ(plain.StepHashes.size(), indexed.StepHashes.size());
    for (std::size_t step = 0; step < plain.StepHashes.size(); ++step)
      ASSERT_EQ(plain.StepHashes[step], indexed.StepHashes[step]) << "first difference after step " << step;
    EXPECT_EQ(plain.LastDump, indexed.LastDump);
  }
}

// A header may declare 2147483647 x 0 cells in a few bytes, and the loader takes it (the map
// holds nothing). The grids must not be sized by its long side: 3.2 GB they were at that
// size, 64 MB at the 4,000,000 tried here.
TEST(SpatialIndex, AMapWithoutCellsCostsOneCell) {
  for (const TMapSize size : {TMapSize{4000000, 0}, TMapSize{0, 4000000}}) {
    TOrrindelMap map;
    map.MapSize = size;
    map.MapIdCode = "NOCELLS";
    for (const float x : {-1.5f, 3.5f, 3.9f}) {
      TPackedEntity creature;
      creature.Position = {x, 2.5f, 0, 0};
      creature.Param1 = "3";
      map.EntitySpawns.push_back(creature);
    }
    map.EntityCount = static_cast<std::uint16_t>(map.EntitySpawns.size());
    std::string dumps[2];
    for (const bool plain : {true, false}) {
      TGeneratedWorld world(map, 5, plain, false);
      for (int step = 1; step <= 200; ++step) world.Step(test::WanderingKeys(step));
      dumps[plain] = world.Dump();
      if (!plain) {
        EXPECT_LT(SpatialIndexBytes(), std::size_t{1} << 20) << size.X << " x " << size.Y;
        // A point that is not finite goes through every body: the caller's test decides.
        const TVector nowhere{std::nanf(""), 2.5f, 0, 0};
        int asked = 0;
        EXPECT_FALSE(AnyBodyNear(nowhere, 1, [&](std::int32_t) { return ++asked < 0; }));
        EXPECT_GE(asked, 3);
        EXPECT_TRUE(AnyBodyNear(nowhere, 1, [&](std::int32_t slot) { return slot == 2; }));
      }
    }
    EXPECT_EQ(dumps[0], dumps[1]);
  }
}

}  // namespace
}  // namespace orr
