// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/UGraphicsModule.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "RenderHarness.h"
#include "render/PixelCombines.h"

namespace orr::test {
namespace {

constexpr TColor32 Red = 0xFFFF0000, Blue = 0xFF0000FF;

class GraphicsModule : public ::testing::Test {
 protected:
  void TearDown() override {
    if (DMGraphicsModule != nullptr) host_.Free(DMGraphicsModule);
    ResetGraphicsAssets();
  }
  void Load() { host_.Create(DMGraphicsModule); }
  void Unload() { host_.Free(DMGraphicsModule); }
  TModuleHost host_;
};

TEST_F(GraphicsModule, LoadsEveryKindOfAssetAndLogsEachStage) {
  TScratchGame game("gfx_all");
  game.Plain("Graphics/Bitmaps/Hud Sketch #1.bmp", 4, 2, Red);
  game.Plain("Graphics/Bitmaps/Logo.bmp", 2, 2, Blue);
  game.Text("Graphics/Bitmaps/readme.txt", "not a picture");
  game.Plain("Graphics/AniSprites/PL1/walk_b.bmp", 8, 8, Blue);
  game.Plain("Graphics/AniSprites/PL1/walk_a.bmp", 8, 8, Red);
  game.Plain("Graphics/AniSprites/NPC1/stand.bmp", 8, 8, Red);
  game.Text("Graphics/AniSprites/notes.txt", "ignored: has a dot");
  game.Text("Graphics/AniSprites/README", "taken for a folder");
  game.Plain("Graphics/StaticSprites/A_Glow.bmp", 4, 4, Red);
  game.Plain("Graphics/StaticSprites/a_glow2.bmp", 4, 4, Red);
  game.Plain("Graphics/StaticSprites/WeaponCrate.bmp", 4, 4, Blue);
  Load();

  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "Graphics module initialization begin",
                            "Loading 2D graphics...",
                            "2 Files indexed...",
                            "2D graphics loaded",
                            "Loading animated sprites...",
                            "3 AniSprites indexed...",
                            "Animated Sprites loaded",
                            "Loading static sprites...",
                            "3 AniSprites indexed...",
                            "Static sprites loaded",
                            "Graphics module initialization end",
                        }));

  ASSERT_EQ(BitmapNames, (TStringList{"Hud Sketch #1.bmp", "Logo.bmp"}));
  ASSERT_EQ(LoadedBitmaps.size(), 2u);
  EXPECT_EQ(LoadedBitmaps[0].Width(), 4);
  EXPECT_EQ(LoadedBitmaps[0].DrawMode, dmCustom);

  ASSERT_EQ(AniFolderNames, (TStringList{"NPC1", "PL1", "README"}));
  ASSERT_EQ(AniSpriteLibs.size(), 3u);
  EXPECT_EQ(AniSpriteLibs[0]->Materials.Count(), 1);
  EXPECT_EQ(AniSpriteLibs[2]->Materials.Count(), 0);
  TGLMaterialLibrary& player = *AniSpriteLibs[1];
  ASSERT_EQ(player.Materials.Count(), 2);
  // Frames are numbered in listing order: walk_a is "0".
  EXPECT_EQ(player.Materials[0]->Name(), "0");
  EXPECT_EQ(player.Materials[1]->Name(), "1");
  EXPECT_EQ(player.Materials[0]->Material.Texture.Image().Pixels[0], Red);
  const TGLMaterial& frame = player.Materials[1]->Material;
  EXPECT_TRUE(frame.Texture.Enabled());
  EXPECT_EQ(frame.Texture.MagFilter(), maNearest);
  EXPECT_EQ(frame.Texture.MinFilter(), miNearest);
  EXPECT_EQ(frame.Texture.TextureMode(), tmModulate);
  EXPECT_EQ(frame.Texture.ImageAlpha(), tiaTopLeftPointColorTransparent);
  EXPECT_EQ(frame.BlendingMode, bmTransparency);

  ASSERT_NE(StaticSpriteLib, nullptr);
  ASSERT_EQ(StaticSpriteLib->Materials.Count(), 3);
  const TGLLibMaterial* glow = StaticSpriteLib->LibMaterialByName("A_Glow.bmp");
  const TGLLibMaterial* cutOut = StaticSpriteLib->LibMaterialByName("a_glow2.bmp");
  ASSERT_NE(glow, nullptr);
  ASSERT_NE(cutOut, nullptr);
  EXPECT_EQ(glow->Material.BlendingMode, bmAdditive);
  EXPECT_EQ(glow->Material.Texture.ImageAlpha(), tiaAlphaFromIntensity);
  EXPECT_FLOAT_EQ(glow->Material.FrontProperties.Diffuse.X, 1.0f);
  EXPECT_NEAR(glow->Material.FrontProperties.Diffuse.Y, 0.498039f, 1e-6);
  EXPECT_FLOAT_EQ(glow->Material.FrontProperties.Diffuse.Z, 0.0f);
  EXPECT_FLOAT_EQ(glow->Material.FrontProperties.Diffuse.W, 0.2f);
  EXPECT_EQ(cutOut->Material.BlendingMode, bmTransparency);
  EXPECT_EQ(cutOut->Material.Texture.ImageAlpha(), tiaTopLeftPointColorTransparent);
  EXPECT_EQ(cutOut->Material.Texture.MinFilter(), miNearest);
  EXPECT_TRUE(cutOut->Material.Texture.Enabled());

  EventLog.clear();
  Unload();
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Graphics module destruction begin",
                                                  "Graphics module destruction end"}));
  EXPECT_TRUE(LoadedBitmaps.empty());
  EXPECT_TRUE(AniSpriteLibs.empty());
  EXPECT_EQ(StaticSpriteLib, nullptr);
}

TEST_F(GraphicsModule, LoadedBitmapsDrawAroundTheKeyColour) {
  TScratchGame game("gfx_key");
  game.Picture("Graphics/Bitmaps/Hud Sketch #1.bmp", 2, 1,
               [](int x, int) { return x == 0 ? ColorKey : Red; });
  Load();
  TBitmap32 screen(2, 1);
  screen.Clear(Blue);
  TBitmap32* hud = LoadedBitmapByName("hud sketch #1.BMP");
  ASSERT_NE(hud, nullptr);
  screen.Draw(0, 0, *hud);
  EXPECT_EQ(screen.Pixel(0, 0), Blue);
  EXPECT_EQ(screen.Pixel(1, 0), Red);
}

TEST_F(GraphicsModule, ACorruptPictureStopsItsLoaderButNotTheOthers) {
  TScratchGame game("gfx_corrupt");
  game.Plain("Graphics/Bitmaps/a.bmp", 2, 2, Red);
  game.Plain("Graphics/Bitmaps/b.bmp", 2, 2, Red);
  game.Text("Graphics/Bitmaps/c.bmp", "BM not really");
  game.Plain("Graphics/Bitmaps/d.bmp", 2, 2, Red);
  game.Plain("Graphics/AniSprites/NPC1/0.bmp", 2, 2, Red);
  game.Text("Graphics/AniSprites/NPC2/0.bmp", "broken");
  game.Plain("Graphics/AniSprites/NPC3/0.bmp", 2, 2, Red);
  game.Plain("Graphics/StaticSprites/Ammo.bmp", 2, 2, Red);
  game.Text("Graphics/StaticSprites/Broken.bmp", "");
  Load();
  const auto lines = LogLines();
  const std::vector<std::string> expected = {
      "Graphics module initialization begin",
      "Loading 2D graphics...",
      "4 Files indexed...",
      "Exception while loading 2D graphics!",
      "Failed to load file: c.bmp",
      "Loading animated sprites...",
      "3 AniSprites indexed...",
      "Exception while loading animated sprites!",
      "Failed to load file: NPC2",
      "Loading static sprites...",
      "2 AniSprites indexed...",
      "Exception while loading static sprites!",
      "Failed to load file: Broken.bmp",
      "Graphics module initialization end",
  };
  EXPECT_EQ(lines, expected);
  ASSERT_EQ(LoadedBitmaps.size(), 4u);
  EXPECT_EQ(LoadedBitmaps[1].Width(), 2);
  EXPECT_TRUE(LoadedBitmaps[2].Empty());
  EXPECT_TRUE(LoadedBitmaps[3].Empty());
  // Every folder keeps a library, so look-ups never meet a missing entry.
  ASSERT_EQ(AniSpriteLibs.size(), 3u);
  EXPECT_EQ(AniSpriteLibs[0]->Materials.Count(), 1);
  EXPECT_EQ(AniSpriteLibs[2]->Materials.Count(), 0);
  EXPECT_EQ(StaticSpriteLib->Materials.Count(), 2);
  EXPECT_EQ(StaticSpriteLib->Materials[0]->Name(), "Ammo.bmp");
}

TEST_F(GraphicsModule, MissingFoldersAreNotErrors) {
  TScratchGame game("gfx_empty");
  Load();
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "Graphics module initialization begin",
                            "Loading 2D graphics...",
                            "No bitmaps to load!",
                            "Loading animated sprites...",
                            "No animated sprites to load!",
                            "Loading static sprites...",
                            "No static sprites to load!",
                            "Graphics module initialization end",
                        }));
  EXPECT_EQ(StaticSpriteLib, nullptr);
  EXPECT_TRUE(AniSpriteLibs.empty());
}

TEST_F(GraphicsModule, MissingAssetsAreReportedOncePerName) {
  TScratchGame game("gfx_missing");
  game.Plain("Graphics/AniSprites/PL1/0.bmp", 2, 2, Red);
  game.Plain("Graphics/StaticSprites/Med_1.bmp", 2, 2, Red);
  Load();
  EXPECT_EQ(AniSpriteLibByName("pl1"), AniSpriteLibs[0]);
  EXPECT_EQ(StaticSpriteByName("MED_1.bmp"), StaticSpriteLib->Materials[0]);
  EventLog.clear();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(AniSpriteLibByName("NPC9"), nullptr);
    EXPECT_EQ(StaticSpriteByName("Armor_7.bmp"), nullptr);
    EXPECT_EQ(LoadedBitmapByName("Hud Sketch #1.bmp"), nullptr);
  }
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "WARNING! Animated sprite folder not found: NPC9",
                            "WARNING! Static sprite not found: Armor_7.bmp",
                            "WARNING! Bitmap not found: Hud Sketch #1.bmp",
                        }));
}

}  // namespace
}  // namespace orr::test
