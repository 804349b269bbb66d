// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing surface of the content builder: what reaches the files must be exact.
#include <gtest/gtest.h>

#include "Art.h"
#include "Canvas.h"
#include "Noise.h"

using namespace orr::content;

TEST(Canvas, KeyedPicturesHaveOnlyBackgroundOrOpaqueColoursAndNeverTheKeyByChance) {
  TCanvas c(4, 1);
  c.At(0, 0) = TRgba{};                         // background
  c.At(1, 0) = Hex(KeyRgb);                     // drawn, but exactly the key colour
  c.At(2, 0) = TRgba{0.2f, 0.4f, 0.6f, 0.49f};  // mostly transparent edge: background
  c.At(3, 0) = TRgba{0.2f, 0.4f, 0.6f, 0.51f};  // mostly covered: opaque
  std::vector<std::uint32_t> p = c.ToKeyed(KeyRgb);
  EXPECT_EQ(p[0], 0xFFFF0080u);
  EXPECT_NE(p[1], 0xFFFF0080u);
  EXPECT_EQ(p[1] & 0xFFFFFF00u, 0xFFFF0000u);
  EXPECT_EQ(p[2], 0xFFFF0080u);
  EXPECT_EQ(p[3], 0xFF336699u);
}

TEST(Canvas, TileNoiseRepeatsEveryPeriod) {
  for (float y : {0.0f, 3.5f, 17.25f})
    for (float x : {0.0f, 5.5f, 31.0f}) {
      EXPECT_FLOAT_EQ(TileNoise(x, y, 8, 32, 7), TileNoise(x + 32, y, 8, 32, 7));
      EXPECT_FLOAT_EQ(TileNoise(x, y, 8, 32, 7), TileNoise(x, y - 32, 8, 32, 7));
      EXPECT_FLOAT_EQ(TileFbm(x, y, 16, 32, 4, 3), TileFbm(x + 64, y + 32, 16, 32, 4, 3));
    }
}

TEST(Canvas, WrappedShapesContinueOnTheOppositeEdge) {
  TCanvas c(32, 32);
  c.FillShape(
      28, 10, 36, 18,
      [](TVec p) {
        return Circle(p, {32, 14}, 3);
      },
      TPaint(Hex(0xffffff)), true);
  EXPECT_GT(c.At(0, 14).A, 0.9f);  // the right half of the circle lands on the left edge
  EXPECT_GT(c.At(31, 14).A, 0.9f);
  EXPECT_EQ(c.At(16, 14).A, 0.0f);
}

TEST(Canvas, DrawingIsRepeatable) {
  TStyle body, weapon;
  body.Kind = "robot";
  body.Seed = 5;
  weapon.Kind = "gatling";
  TCanvas a = DrawCreatureFrame(body, weapon, 10), b = DrawCreatureFrame(body, weapon, 10);
  EXPECT_EQ(a.ToKeyed(KeyRgb), b.ToKeyed(KeyRgb));
  weapon.Kind = "spoon";
  EXPECT_THROW(DrawCreatureFrame(body, weapon, 0), std::runtime_error);
  EXPECT_THROW(DrawCreatureFrame(body, TStyle{}, 11), std::runtime_error);
}

TEST(Canvas, ResamplingWeighsSourcePixelsByCoveredAreaAndOpacity) {
  auto row = [](std::vector<TRgba> pixels) {
    TCanvas c(static_cast<int>(pixels.size()), 1);
    for (size_t i = 0; i < pixels.size(); ++i) c.At(static_cast<int>(i), 0) = pixels[i];
    return c;
  };
  const TRgba red{1, 0, 0, 1}, clear{0, 0, 1, 0}, grey0{0, 0, 0, 1}, grey5{0.5f, 0, 0, 1};
  struct TCase {
    const char* What;
    TCanvas From;
    int Width;
    std::vector<TRgba> Want;
  } cases[] = {
      {"a transparent neighbour does not darken", row({red, clear}), 1, {{1, 0, 0, 0.5f}}},
      {"a third of the way: halves of the middle pixel",
       row({grey0, grey5, red}),
       2,
       {{1.0f / 6, 0, 0, 1}, {5.0f / 6, 0, 0, 1}}},
      {"twice as wide repeats pixels", row({red, grey5}), 4, {red, red, grey5, grey5}},
  };
  for (const TCase& c : cases) {
    TCanvas out = Resampled(c.From, c.Width, 1);
    ASSERT_EQ(out.Width(), c.Width) << c.What;
    for (int x = 0; x < c.Width; ++x) {
      EXPECT_NEAR(out.At(x, 0).R, c.Want[x].R, 1e-5f) << c.What << " x=" << x;
      EXPECT_NEAR(out.At(x, 0).A, c.Want[x].A, 1e-5f) << c.What << " x=" << x;
    }
  }
}
