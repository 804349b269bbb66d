// SPDX-License-Identifier: GPL-3.0-or-later
// The built game data (build/game/Graphics and Episodes), read back through the game's
// own loaders: TBitmap32 for every picture, LoadMap and the map checks for the episode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "OrxCheck.h"
#include "core/UMainModule.h"
#include "map/UMapModule.h"
#include "raster/TBitmap32.h"
#include "scene/GLMaterial.h"

namespace fs = std::filesystem;
using namespace orr;

namespace {

const fs::path Game = ORR_GAME_DIR;
constexpr TColor32 Key = 0xFFFF0080;

TBitmap32 Load(const fs::path& path) {
  TBitmap32 b;
  b.LoadFromFile(path.string());
  return b;
}

// Pixels are compared as opaque colours: the game keys on red, green and blue.
bool IsKey(TColor32 c) { return (c | 0xFF000000u) == Key; }
TColor32 BottomLeft(const TBitmap32& b, int top = 0, int height = -1) {
  return b.Pixel(0, (height < 0 ? b.Height() : top + height) - 1);
}

float Diff(TColor32 a, TColor32 b) {
  return std::abs(int(RedComponent(a)) - int(RedComponent(b))) +
         std::abs(int(GreenComponent(a)) - int(GreenComponent(b))) +
         std::abs(int(BlueComponent(a)) - int(BlueComponent(b)));
}

// How strongly a 32 x 32 tile at (left, top) jumps across its own wrap-around seam,
// compared with the largest jump between neighbouring columns (or rows) inside it. A
// picture that repeats without a seam scores at most about 1.
float SeamScore(const TBitmap32& b, int left, int top, bool across) {
  auto at = [&](int i, int j) { return across ? b.Pixel(left + i, top + j) : b.Pixel(left + j, top + i); };
  auto lineDiff = [&](int i, int k) {
    float sum = 0;
    for (int j = 0; j < 32; ++j) sum += Diff(at(i, j), at(k, j));
    return sum / 32;
  };
  float inside = 0;
  for (int i = 0; i < 31; ++i) inside = std::max(inside, lineDiff(i, i + 1));
  return lineDiff(31, 0) / std::max(inside, 1.0f);
}

std::vector<bool> Mask(const TBitmap32& b) {
  std::vector<bool> m(static_cast<size_t>(b.Width()) * b.Height());
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) m[static_cast<size_t>(y) * b.Width() + x] = !IsKey(b.Pixel(x, y));
  return m;
}

int Count(const std::vector<bool>& m) { return static_cast<int>(std::count(m.begin(), m.end(), true)); }

// Overlap of two silhouettes: shared pixels over pixels in either.
float Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
  int both = 0, either = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    both += a[i] && b[i];
    either += a[i] || b[i];
  }
  return either ? static_cast<float>(both) / either : 1.0f;
}

std::vector<std::string> BmpFiles(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".bmp") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(ContentFiles, TerrainAtlasHoldsAtLeastTwelveSeamlessTileTypes) {
  TBitmap32 atlas = Load(Game / "Graphics/Tiles/TerrainTiles.bmp");
  ASSERT_EQ(atlas.Width(), 64);
  ASSERT_EQ(atlas.Height() % 32, 0);
  int rows = atlas.Height() / 32;
  EXPECT_GE(rows, 12);
  for (int n = 0; n < rows; ++n) {
    SCOPED_TRACE("tile " + std::to_string(n));
    for (int part : {0, 32}) {
      EXPECT_LE(SeamScore(atlas, part, n * 32, true), 1.15f) << (part ? "wall" : "floor") << " left/right";
      EXPECT_LE(SeamScore(atlas, part, n * 32, false), 1.15f) << (part ? "wall" : "floor") << " top/bottom";
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(AlphaComponent(atlas.Pixel(part + x, n * 32 + y)), 255u);
    }
    // Floor and wall are different pictures.
    float d = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) d += Diff(atlas.Pixel(x, n * 32 + y), atlas.Pixel(32 + x, n * 32 + y));
    EXPECT_GT(d / 1024, 10.0f);
  }
}

TEST(ContentFiles, DecorationsAreKeyedOnTheirBottomLeftPixel) {
  TBitmap32 atlas = Load(Game / "Graphics/Tiles/DecorationTiles.bmp");
  ASSERT_EQ(atlas.Width(), 32);
  ASSERT_EQ(atlas.Height() % 32, 0);
  int rows = atlas.Height() / 32;
  EXPECT_GE(rows, 13) << "decoration 0 and at least twelve more";
  for (int n = 0; n < rows; ++n) {
    SCOPED_TRACE("decoration " + std::to_string(n));
    TColor32 key = BottomLeft(atlas, n * 32, 32);
    EXPECT_TRUE(IsKey(key));
    int seeThrough = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        seeThrough += (atlas.Pixel(x, n * 32 + y) | 0xFF000000u) == (key | 0xFF000000u);
    if (n == 0) {
      EXPECT_EQ(seeThrough, 1024) << "decoration 0 means none and stays empty";
    } else {
      EXPECT_GE(seeThrough, 1) << "nothing to see through";
      EXPECT_GE(1024 - seeThrough, 40) << "almost nothing drawn";
    }
  }
}

TEST(ContentFiles, StatusImageIsHundredFiftyByFiftyWithSeeThroughParts) {
  TBitmap32 hud = Load(Game / "Graphics/Bitmaps/Hud Sketch #1.bmp");
  EXPECT_EQ(hud.Width(), 150);
  EXPECT_EQ(hud.Height(), 50);
  int key = 0;
  for (int y = 0; y < hud.Height(); ++y)
    for (int x = 0; x < hud.Width(); ++x) key += hud.Pixel(x, y) == Key;
  EXPECT_GT(key, 0);
  EXPECT_LT(key, 150 * 50 / 4);
}

TEST(ContentFiles, StaticSpritesAreCutOutAndTheGlowFadesToBlack) {
  const fs::path dir = Game / "Graphics/StaticSprites";
  const std::vector<std::string> expected = {"A_Glow.bmp",  "AmmoPack.bmp", "Armor_0.bmp",
                                             "Armor_1.bmp", "Armor_2.bmp",  "Med_0.bmp",
                                             "Med_1.bmp",   "Med_2.bmp",    "WeaponCrate.bmp"};
  EXPECT_EQ(BmpFiles(dir), expected);
  for (const std::string& name : expected) {
    SCOPED_TRACE(name);
    TBitmap32 b = Load(dir / name);
    ASSERT_GT(b.Width(), 0);
    if (name.rfind("A_", 0) == 0) {
      TColor32 centre = b.Pixel(b.Width() / 2, b.Height() / 2);
      EXPECT_GT(RedComponent(centre) + GreenComponent(centre) + BlueComponent(centre), 600u);
      EXPECT_EQ(b.Pixel(0, 0) & 0xFFFFFF, 0u);
      EXPECT_EQ(BottomLeft(b) & 0xFFFFFF, 0u);
    } else {
      EXPECT_TRUE(IsKey(BottomLeft(b)));
      int shown = Count(Mask(b));
      EXPECT_GT(shown, b.Width() * b.Height() / 8);
      EXPECT_LT(shown, b.Width() * b.Height());
    }
  }
}

TEST(ContentFiles, EveryAnimationFolderHoldsElevenFramesInPlayOrder) {
  const fs::path dir = Game / "Graphics/AniSprites";
  std::vector<std::string> folders;
  for (const auto& e : fs::directory_iterator(dir)) folders.push_back(e.path().filename().string());
  std::sort(folders.begin(), folders.end());
  std::vector<std::string> expected;
  for (int i = 0; i <= 6; ++i) expected.push_back("NPC" + std::to_string(i));
  for (int w = 0; w <= 8; ++w) expected.push_back("PL00" + std::to_string(w));
  EXPECT_EQ(folders, expected);

  const std::vector<std::string> kinds = {"idle", "walk", "walk", "walk", "walk", "walk",
                                          "walk", "walk", "walk", "aim",  "fire"};
  for (const std::string& folder : expected) {
    SCOPED_TRACE(folder);
    std::vector<std::string> frames = BmpFiles(dir / folder);
    ASSERT_EQ(frames.size(), 11u);
    std::vector<std::vector<bool>> masks;
    for (size_t f = 0; f < frames.size(); ++f) {
      EXPECT_NE(frames[f].find(kinds[f]), std::string::npos) << frames[f];
      TBitmap32 b = Load(dir / folder / frames[f]);
      ASSERT_EQ(b.Width(), 96);
      ASSERT_EQ(b.Height(), 128);
      EXPECT_TRUE(IsKey(BottomLeft(b)));
      EXPECT_FALSE(IsKey(b.Pixel(48, 64))) << "the body stands in the middle of the frame";
      // Room around the figure: the frame's border rows and columns are background.
      for (int x = 0; x < 96; ++x) EXPECT_TRUE(IsKey(b.Pixel(x, 127)));
      for (int y = 0; y < 128; ++y) EXPECT_TRUE(IsKey(b.Pixel(0, y)) && IsKey(b.Pixel(95, y)));
      masks.push_back(Mask(b));
    }
    // The walking frames are a cycle of different pictures; firing shows a flash.
    for (int a = 1; a <= 8; ++a)
      for (int c = a + 1; c <= 8; ++c) EXPECT_LT(Overlap(masks[a], masks[c]), 1.0f) << a << " and " << c;
    EXPECT_GT(Count(masks[10]), Count(masks[9]) + 10) << "no muzzle flash";
    // The body is about a third of the frame wide, not the whole frame.
    int left = 96, right = -1;
    for (int x = 0; x < 96; ++x)
      if (masks[0][64 * 96 + x]) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GE(right - left + 1, 20);
    EXPECT_LE(right - left + 1, 64);
  }
}

TEST(ContentFiles, CreatureTypesDifferInSilhouetteNotOnlyInColour) {
  const fs::path dir = Game / "Graphics/AniSprites";
  std::vector<std::vector<bool>> idle;
  for (int i = 0; i <= 6; ++i) {
    std::string folder = "NPC" + std::to_string(i);
    idle.push_back(Mask(Load(dir / folder / BmpFiles(dir / folder).front())));
  }
  for (int a = 0; a < 7; ++a)
    for (int b = a + 1; b < 7; ++b)
      EXPECT_LT(Overlap(idle[a], idle[b]), 0.85f) << "NPC" << a << " and NPC" << b << " look alike";
}

TEST(ContentFiles, PlayerFoldersShowNineDifferentWeapons) {
  const fs::path dir = Game / "Graphics/AniSprites";
  std::vector<std::vector<bool>> aim;
  for (int w = 0; w <= 8; ++w) {
    std::string folder = "PL00" + std::to_string(w);
    aim.push_back(Mask(Load(dir / folder / BmpFiles(dir / folder)[9])));
  }
  for (int a = 0; a < 9; ++a)
    for (int b = a + 1; b < 9; ++b) EXPECT_LT(Overlap(aim[a], aim[b]), 0.97f) << a << " and " << b;
}

// What the renderer makes of the files: cut-outs keyed on their first stored texel (the
// bottom-left pixel), the glow's brightness turned into opacity.
TEST(ContentFiles, TheEngineCutsSpritesAndDecorationsAlongTheirBackground) {
  auto check = [](const fs::path& path) {
    SCOPED_TRACE(path.string());
    TBitmap32 b = Load(path);
    TTexels t = PrepareTexels(b.ToPicture(), tiaTopLeftPointColorTransparent);
    int clear = 0, solid = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) {
        unsigned alpha = AlphaComponent(t.At(x, b.Height() - 1 - y));
        EXPECT_EQ(alpha, IsKey(b.Pixel(x, y)) ? 0u : 255u);
        (alpha ? solid : clear)++;
      }
    EXPECT_GT(clear, 0);
    EXPECT_GT(solid, 0);
  };
  check(Game / "Graphics/AniSprites/NPC3/09_aim.bmp");
  check(Game / "Graphics/AniSprites/PL004/10_fire.bmp");
  check(Game / "Graphics/StaticSprites/WeaponCrate.bmp");

  TBitmap32 glow = Load(Game / "Graphics/StaticSprites/A_Glow.bmp");
  TTexels t = PrepareTexels(glow.ToPicture(), tiaAlphaFromIntensity);
  EXPECT_EQ(AlphaComponent(t.At(0, 0)), 0u);
  EXPECT_GT(AlphaComponent(t.At(glow.Width() / 2, glow.Height() / 2)), 200u);
}

class Episode : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEventLog();
    ResetGameMap();
    std::string failure;
    ASSERT_EQ(LoadMap((Game / "Episodes/Test/Promo4.orx").string(), &failure), TMapLoadResult::Loaded)
        << failure;
  }
  void TearDown() override {
    ResetGameMap();
    ResetEventLog();
  }
};

TEST_F(Episode, IsACompoundOfAboutFortyEightByFortyCellsWithWallsOfEveryHeight) {
  EXPECT_GE(GameMap.MapSize.X, 40);
  EXPECT_LE(GameMap.MapSize.X, 56);
  EXPECT_GE(GameMap.MapSize.Y, 32);
  EXPECT_LE(GameMap.MapSize.Y, 48);
  std::set<int> heights;
  int open = 0;
  for (int x = 0; x < GameMap.MapSize.X; ++x)
    for (int y = 0; y < GameMap.MapSize.Y; ++y) {
      heights.insert(GameMap.HeightMap[x][y]);
      open += GameMap.HeightMap[x][y] == 0;
    }
  EXPECT_EQ(heights, (std::set<int>{0, 1, 2, 3, 4}));
  // Enclosed: the outermost ring of cells is all wall.
  for (int x = 0; x < GameMap.MapSize.X; ++x)
    EXPECT_TRUE(GameMap.HeightMap[x][0] && GameMap.HeightMap[x][GameMap.MapSize.Y - 1]);
  for (int y = 0; y < GameMap.MapSize.Y; ++y)
    EXPECT_TRUE(GameMap.HeightMap[0][y] && GameMap.HeightMap[GameMap.MapSize.X - 1][y]);
  EXPECT_GT(open, GameMap.MapSize.X * GameMap.MapSize.Y / 2);
}

TEST_F(Episode, NamesOnlyTilesAndDecorationsTheAtlasesHold) {
  int terrain = Load(Game / "Graphics/Tiles/TerrainTiles.bmp").Height() / 32;
  int decorations = Load(Game / "Graphics/Tiles/DecorationTiles.bmp").Height() / 32;
  int decorated = 0, turned = 0;
  for (int x = 0; x < GameMap.MapSize.X; ++x)
    for (int y = 0; y < GameMap.MapSize.Y; ++y) {
      EXPECT_LT(GameMap.TerrainGrid[x][y].TileNumber, terrain);
      EXPECT_LE(GameMap.TerrainGrid[x][y].QuarterTurns, 3);
      const MapCell& d = GameMap.DecorationGrid[x][y];
      EXPECT_LT(d.TileNumber, decorations);
      EXPECT_LE(d.QuarterTurns, 3);
      decorated += d.TileNumber > 0;
      turned += d.TileNumber > 0 && d.QuarterTurns > 0;
    }
  EXPECT_GE(decorated, 20);
  EXPECT_GE(turned, 5) << "decorations with rotations";
}

TEST_F(Episode, HoldsEveryCreatureTypeModeAndItem) {
  std::set<int> creatures, modes;
  std::set<std::pair<int, int>> items;
  int markers = 0, effects = 0, patrols = 0;
  for (const TPackedEntity& e : GameMap.EntitySpawns) {
    int cx = static_cast<int>(std::floor(e.Position.X)), cy = static_cast<int>(std::floor(e.Position.Y));
    EXPECT_FALSE(IsCellBlocked(cx, cy)) << EntityName(e) << " at " << cx << "," << cy;
    switch (e.Kind) {
      case 0: {
        creatures.insert(e.Index);
        int mode = std::stoi(e.Param1);
        modes.insert(mode);
        TRoute route;
        ParseRoute(route, e.Param2);
        if (mode == 2) {
          ++patrols;
          EXPECT_GE(route.Steps.size(), 2u) << "a real route for " << EntityName(e);
          for (const RouteStep& s : route.Steps) {
            EXPECT_FALSE(IsCellBlocked(s.CellX, s.CellY));
            EXPECT_LE(s.Wait, 5);
          }
        } else {
          EXPECT_TRUE(route.Steps.empty());
        }
        break;
      }
      case 1: ++effects; break;
      case 2: ++markers; break;
      default:
        items.insert({e.Kind, e.Index});
        EXPECT_GT(std::stoi(e.Param1), 0) << EntityName(e);
        EXPECT_EQ(std::to_string(std::stoi(e.Param1)), e.Param1);
    }
  }
  EXPECT_EQ(creatures, (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(modes, (std::set<int>{0, 1, 2}));
  EXPECT_GE(patrols, 3);
  std::set<std::pair<int, int>> every;
  for (int i = 0; i <= 2; ++i) every.insert({3, i}), every.insert({4, i});
  for (int i = 1; i <= 8; ++i) every.insert({5, i});
  for (int i = 0; i <= 5; ++i) every.insert({6, i});
  EXPECT_EQ(items, every);
  EXPECT_EQ(markers, 1);
  EXPECT_GE(effects, 2);
}

TEST_F(Episode, MapCheckFindsNothing) {
  TCheckReport report = CheckGameMap();
  std::string all;
  for (const TCheckFinding& f : report.Findings) all += f.Text + "\n";
  EXPECT_TRUE(report.Findings.empty()) << all;
}
