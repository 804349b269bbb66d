// SPDX-License-Identifier: GPL-3.0-or-later
// The map from above: north at the top, tiles turned clockwise, higher blocks lighter with
// a shadow to the south-east, placeholders for tiles without a picture, entities and routes
// only when asked.
#include <gtest/gtest.h>

#include "Art.h"
#include "MapPicture.h"
#include "MapRender.h"

namespace orr::content {
namespace {

// Tile 0 plain grey; tile 1 black with a white top-left quarter (shows the turn).
TMapPictureArt Art() {
  TMapPictureArt art;
  art.Floors.push_back(TCanvas(32, 32, Hex(0x808080)));
  TCanvas marked(32, 32, Hex(0x000000));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) marked.At(x, y) = Hex(0xffffff);
  art.Floors.push_back(marked);
  art.Items.assign(4, {TCanvas(64, 64, Hex(0x00ff00))});
  return art;
}

// 3 x 2 cells: the north row (y = 1) holds tile 1 turned by the cell's x; the south row
// holds tile 0 at heights 0 and 2 and a tile without a picture.
TMapPictureInput Map() {
  TMapPictureInput m;
  m.Width = 3;
  m.Height = 2;
  m.Cell = [](int x, int y) {
    TMapPictureCell c;
    if (y == 1) c.Tile = 1, c.Turns = x;
    if (y == 0) c.Tile = x == 2 ? 7 : 0, c.Height = x == 1 ? 2 : 0;
    return c;
  };
  m.Entities.push_back({2.5f, 1.5f, 3, 0, {}});
  m.Entities.push_back({0.5f, 0.5f, 0, 0, {{0, 0}, {2, 0}}});
  return m;
}

std::uint32_t Rgb(const TCanvas& c, int x, int y) { return ToArgb(c.At(x, y)) & 0xFFFFFF; }

TEST(MapPicture, NorthIsAtTheTopAndTilesTurnClockwise) {
  const TCanvas c = DrawMapFromAbove(Map(), Art(), {16, false, false});
  ASSERT_EQ(c.Width(), 48);
  ASSERT_EQ(c.Height(), 32);
  // The white quarter of tile 1 in the north row: top-left, turned once top-right, twice
  // bottom-right (picture rows grow southwards).
  const struct { int X, Y; } white[] = {{4, 4}, {16 + 12, 4}, {32 + 12, 12}};
  for (const auto& w : white) EXPECT_EQ(Rgb(c, w.X, w.Y), 0xFFFFFFu) << w.X << "," << w.Y;
  EXPECT_EQ(Rgb(c, 16 + 4, 4), 0u);
  EXPECT_EQ(Rgb(c, 32 + 4, 4), 0u);
  // South row: open floor, a raised block drawn lighter, a tile without a picture magenta.
  const std::uint32_t floor = Rgb(c, 8, 24), block = Rgb(c, 24, 24);
  EXPECT_EQ(floor, 0x808080u);
  EXPECT_GT(block & 0xFF, floor & 0xFF);
  EXPECT_EQ(Rgb(c, 44, 24), 0xFF00FFu);
  // The block's shadow falls on its eastern neighbour only.
  EXPECT_NE(Rgb(c, 33, 28), 0xFF00FFu);
  EXPECT_EQ(Rgb(c, 46, 28), 0xFF00FFu);
}

TEST(MapPicture, EntitiesAndRoutesAreDrawnOnlyWhenAsked) {
  const struct {
    bool Entities, Routes;
    bool ItemShown, RouteShown;
  } cases[] = {{false, false, false, false}, {true, false, true, false}, {false, true, false, true}};
  for (const auto& k : cases) {
    const TCanvas c = DrawMapFromAbove(Map(), Art(), {16, k.Entities, k.Routes});
    EXPECT_EQ(Rgb(c, 40, 8) == 0x00FF00u, k.ItemShown);                             // the item's centre
    EXPECT_EQ(Rgb(c, 40, 24) == (ToArgb(Hex(0xffe070)) & 0xFFFFFF), k.RouteShown);  // a step
  }
}

}  // namespace
}  // namespace orr::content

namespace orr {
namespace {

// `orx render` reads the built game's pictures cut out the way the game cuts them: no key
// colour is left to show as pink.
TEST(GameArt, PicturesAreReadFromTheGameFolderAndCutOut) {
  const content::TMapPictureArt art = LoadGameArt(ORR_GAME_DIR);
  ASSERT_GE(art.Floors.size(), 14u);
  ASSERT_GE(art.Decorations.size(), 2u);
  ASSERT_EQ(art.Creatures.size(), 7u);
  auto keyed = [](const content::TCanvas& c) {
    int pink = 0;
    for (int y = 0; y < c.Height(); ++y)
      for (int x = 0; x < c.Width(); ++x)
        if (c.At(x, y).A > 0 && (content::ToArgb(c.At(x, y)) & 0xFFFFFF) == 0xFF0080) ++pink;
    return pink;
  };
  for (const auto& d : art.Decorations) EXPECT_EQ(keyed(d), 0);
  for (const auto& c : art.Creatures) {
    ASSERT_EQ(c.Width(), content::FrameWidth);
    EXPECT_EQ(c.At(0, c.Height() - 1).A, 0.0f);
    EXPECT_EQ(keyed(c), 0);
  }
  EXPECT_EQ(art.Decorations[0].At(16, 16).A, 0.0f);  // decoration 0 is nothing
  for (const auto& kind : art.Items)
    for (const auto& item : kind) EXPECT_EQ(item.Width(), 64);
}

}  // namespace
}  // namespace orr
