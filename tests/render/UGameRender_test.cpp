// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/UGameRender.h"

#include <gtest/gtest.h>

#include <cmath>

#include "RenderHarness.h"

namespace orr::test {
namespace {

// Terrain atlas pixel: red = tile row, green = 0 for the floor column, 255 for the wall.
TColor32 TerrainPixel(int x, int y) { return Color32(y / 32, x < 32 ? 0 : 255, 7); }

class GameRender : public ::testing::Test {
 protected:
  void TearDown() override {
    if (DMGameRender != nullptr) host_.Free(DMGameRender);
    ResetStepHandlers();
    GameHalted = false;
  }
  TModuleHost host_;
};

TEST_F(GameRender, CutsOneFloorAndOneWallMaterialPerAtlasRow) {
  for (int height : {96, 100}) {
    TScratchGame game("tiles" + std::to_string(height));
    game.Picture("Graphics/Tiles/TerrainTiles.bmp", 70, height, TerrainPixel);
    game.Plain("Graphics/Tiles/DecorationTiles.bmp", 32, 64, 0xFF00FF00);
    host_.Create(DMGameRender);
    ASSERT_EQ(DMGameRender->TerrainLib->Materials.Count(), 3) << height;
    ASSERT_EQ(DMGameRender->WallLib->Materials.Count(), 3);
    ASSERT_EQ(DMGameRender->DecoLib->Materials.Count(), 2);
    for (int n = 0; n < 3; ++n) {
      const TGLLibMaterial* floor = DMGameRender->TerrainLib->LibMaterialByName(std::to_string(n));
      const TGLLibMaterial* wall = DMGameRender->WallLib->LibMaterialByName(std::to_string(n));
      ASSERT_NE(floor, nullptr);
      ASSERT_NE(wall, nullptr);
      const TPicture& floorImage = floor->Material.Texture.Image();
      const TPicture& wallImage = wall->Material.Texture.Image();
      ASSERT_EQ(floorImage.Width, 32);
      ASSERT_EQ(floorImage.Height, 32);
      ASSERT_EQ(wallImage.Width, 32);
      EXPECT_EQ(floorImage.Pixels.front(), Color32(n, 0, 7));
      EXPECT_EQ(floorImage.Pixels.back(), Color32(n, 0, 7));
      EXPECT_EQ(wallImage.Pixels.back(), Color32(n, 255, 7));
      EXPECT_TRUE(floor->Material.Texture.Enabled());
      EXPECT_EQ(floor->Material.Texture.TextureMode(), tmModulate);
      EXPECT_EQ(wall->Material.Texture.TextureMode(), tmModulate);
      EXPECT_EQ(floor->Material.Texture.MagFilter(), maLinear);  // engine default kept
    }
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "Main Render Module Initialization Begin", "Creating tile texture database...",
                              "Tile texture database created", "Main Render Module Initialization End"}));
    EventLog.clear();
    host_.Free(DMGameRender);
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"Main Render Module Destruction Begin", "Tile bitmaps destroyed",
                                        "Main Render Module Destruction End"}));
  }
}

TEST_F(GameRender, DecorationTilesAreKeyedOnTheirOwnBottomLeftPixel) {
  TScratchGame game("deco");
  game.Plain("Graphics/Tiles/TerrainTiles.bmp", 64, 32, 0xFF808080);
  // Tile 0: green background with a red dot; tile 1: blue background, green top-left.
  game.Picture("Graphics/Tiles/DecorationTiles.bmp", 32, 64, [](int x, int y) -> TColor32 {
    if (y < 32) return (x == 5 && y == 5) ? 0xFFFF0000 : 0xFF00FF00;
    return (x == 0 && y == 32) ? 0xFF00FF00 : 0xFF0000FF;
  });
  host_.Create(DMGameRender);
  ASSERT_EQ(DMGameRender->DecoLib->Materials.Count(), 2);
  TGLLibMaterial* first = DMGameRender->DecoLib->Materials[0];
  TGLLibMaterial* second = DMGameRender->DecoLib->Materials[1];
  EXPECT_EQ(first->Material.BlendingMode, bmTransparency);
  EXPECT_EQ(first->Material.Texture.MagFilter(), maNearest);
  EXPECT_EQ(first->Material.Texture.ImageAlpha(), tiaTopLeftPointColorTransparent);
  // Texels are bottom-up: (5, 26) is the picture's (5, 5).
  const TTexels& a = first->Material.Texture.Texels();
  EXPECT_EQ(a.At(0, 0) >> 24, 0u);
  EXPECT_EQ(a.At(5, 26) >> 24, 255u);
  const TTexels& b = second->Material.Texture.Texels();
  EXPECT_EQ(b.At(0, 0) >> 24, 0u);     // blue: the key of this tile
  EXPECT_EQ(b.At(0, 31) >> 24, 255u);  // its green top-left corner stays
}

TEST_F(GameRender, NarrowDecorationAtlasLeavesTheKeyFillVisible) {
  TScratchGame game("deco_narrow");
  game.Plain("Graphics/Tiles/TerrainTiles.bmp", 64, 32, 0xFF808080);
  game.Plain("Graphics/Tiles/DecorationTiles.bmp", 16, 32, 0xFF00FF00);
  host_.Create(DMGameRender);
  const TPicture& image = DMGameRender->DecoLib->Materials[0]->Material.Texture.Image();
  ASSERT_EQ(image.Width, 32);
  EXPECT_EQ(image.Pixels[0], 0xFF00FF00u);
  EXPECT_EQ(image.Pixels[31], 0xFFFF0080u);
}

TEST_F(GameRender, AMissingTerrainAtlasLeavesEveryLibraryEmpty) {
  TScratchGame game("no_tiles");
  game.Plain("Graphics/Tiles/DecorationTiles.bmp", 32, 64, 0xFF00FF00);
  host_.Create(DMGameRender);
  EXPECT_EQ(DMGameRender->TerrainLib->Materials.Count(), 0);
  EXPECT_EQ(DMGameRender->WallLib->Materials.Count(), 0);
  EXPECT_EQ(DMGameRender->DecoLib->Materials.Count(), 0);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "Main Render Module Initialization Begin", "FATAL: Error while loading tiles!",
                            "Creating tile texture database...", "Tile texture database created",
                            "Main Render Module Initialization End"}));
}

TEST_F(GameRender, CreationHaltsTheGameAndSetsUpTheComponents) {
  TScratchGame game("components");
  GameHalted = false;
  StepAccumulator = 0.5f;
  host_.Create(DMGameRender);
  EXPECT_TRUE(GameHalted);
  EXPECT_EQ(StepAccumulator, 0.0f);
  EXPECT_EQ(DMGameRender->MainScene->VisibilityCulling, vcObjectBased);
  EXPECT_EQ(DMGameRender->SceneProgressor->Mode(), cmApplicationIdle);
  EXPECT_EQ(DMGameRender->SceneProgressor->MaxDeltaTime, 1.0);
  EXPECT_EQ(DMGameRender->SceneProgressor->Scene, DMGameRender->MainScene.get());
  const TGLFont& font = DMGameRender->WindowsBitmapFontLib->Font();
  EXPECT_EQ(font.Name, "Courier New");
  EXPECT_EQ(font.Size(), 24);
  EXPECT_TRUE(font.Style.Contains(fsBold));
  EXPECT_EQ(font.Color, 0xFFFFFFu);
  EXPECT_EQ(DMGameRender->WindowsBitmapFontLib->MinFilter(), miNearest);
  EXPECT_EQ(DMGameRender->GLLightSource1->LightStyle, lsOmni);
  EXPECT_FLOAT_EQ(DMGameRender->GLLightSource2->Diffuse.Y, 0.847059f);
  EXPECT_FLOAT_EQ(DMGameRender->GLLightSource2->Position.Z(), -10);
}

TEST_F(GameRender, BorderPlanesStandUprightFacingIntoTheMap) {
  TScratchGame game("borders");
  host_.Create(DMGameRender);
  struct TCase {
    float Turn, FaceX, FaceY;
  };
  const TCase cases[] = {{-180, 0, -1}, {-270, -1, 0}, {0, 0, 1}, {-90, 1, 0}};
  for (int i = 0; i < 4; ++i) {
    TGLPlane* plane = DMGameRender->BorderPlanes[i];
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->Height(), 100);
    EXPECT_EQ(plane->TurnAngle(), NormalizeDegAngle(cases[i].Turn)) << i;
    const TVector facing = plane->AbsoluteDirection();
    EXPECT_NEAR(facing.X, cases[i].FaceX, 1e-5) << i;
    EXPECT_NEAR(facing.Y, cases[i].FaceY, 1e-5) << i;
    EXPECT_NEAR(plane->AbsoluteUp().Z, 1, 1e-5) << i;
    EXPECT_TRUE(plane->Material.MaterialOptions.Contains(moNoLighting));
    EXPECT_EQ(plane->Material.FrontProperties.Diffuse.X, 0);
    EXPECT_EQ(plane->Material.FrontProperties.Diffuse.W, 1);
  }
  host_.Free(DMGameRender);
}

// ---- Frame progress ----------------------------------------------------------------------
// The game clock itself is tested in tests/core/GameSteps_test.cpp; the render module adds
// the frame's one-shot scene refresh.

struct TRaiser {
  int Steps = 0;
  std::function<void()> During;
  void Step() {
    ++Steps;
    During();
  }
};

class FrameProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStepHandlers();
    SceneRefreshPending = false;
    GameHalted = false;
  }
  void TearDown() override {
    ResetStepHandlers();
    SceneRefreshPending = false;
  }
  static void Progress(double seconds) { TDMGameRender::SceneProgressorProgress(nullptr, seconds, 0); }
};

// A request raised during a step is seen by the rest of that step and by the next step,
// then lowered; one raised between steps by the next step only. The same steps give the
// same sightings in one frame or in many, and a frame too short for a step lowers nothing.
TEST_F(FrameProgress, ARefreshRequestLastsThroughTheNextStepHoweverTheStepsFallIntoFrames) {
  for (const std::vector<double>& frames :
       {std::vector<double>{0.0601}, std::vector<double>{0.004, 0.0061, 0.0301, 0.0201},
        std::vector<double>{0.0101, 0.0101, 0.0101, 0.0101, 0.0101, 0.0101}}) {
    SetUp();
    std::vector<int> saw;
    TRaiser raiser;
    raiser.During = [&] {
      if (raiser.Steps == 2) SceneRefreshPending = true;
      if (SceneRefreshPending) saw.push_back(raiser.Steps);
    };
    AddStepHandler(StepHandlerOf<&TRaiser::Step>(&raiser));
    for (double frame : frames) Progress(frame);
    EXPECT_EQ(raiser.Steps, 6);
    EXPECT_EQ(saw, (std::vector<int>{2, 3})) << frames.size() << " frames";
    EXPECT_FALSE(SceneRefreshPending);
    TearDown();
  }
  SceneRefreshPending = true;
  Progress(0.001);  // no step runs: still pending for the first step that does
  EXPECT_TRUE(SceneRefreshPending);
  RunFrameSteps(1);
  EXPECT_FALSE(SceneRefreshPending);
}

}  // namespace
}  // namespace orr::test
