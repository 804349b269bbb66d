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
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Main Render Module Initialization Begin",
                                                    "Creating tile texture database...",
                                                    "Tile texture database created",
                                                    "Main Render Module Initialization End"}));
    EventLog.clear();
    host_.Free(DMGameRender);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Main Render Module Destruction Begin",
                                                    "Tile bitmaps destroyed",
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
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Main Render Module Initialization Begin",
                                                  "FATAL: Error while loading tiles!",
                                                  "Creating tile texture database...",
                                                  "Tile texture database created",
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

struct TCounter {
  int Steps = 0;
  std::vector<int>* Order = nullptr;
  int Id = 0;
  std::function<void()> During;
  void Step() {
    ++Steps;
    if (Order) Order->push_back(Id);
    if (During) During();
  }
};

TStepHandler HandlerOf(TCounter& c) { return StepHandlerOf<&TCounter::Step>(&c); }

class FrameProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStepHandlers();
    GameHalted = false;
  }
  void TearDown() override { ResetStepHandlers(); }
  static void Progress(double seconds) { TDMGameRender::SceneProgressorProgress(nullptr, seconds, 0); }
  // Just over a hundredth: exactly one step, whatever the rounding.
  static constexpr double OneStep = 0.0101;
};

TEST_F(FrameProgress, RunsOneStepPerWholeHundredthAndCarriesTheRest) {
  TCounter counter;
  AddStepHandler(HandlerOf(counter));
  Progress(0.025);
  EXPECT_EQ(counter.Steps, 2);
  EXPECT_NEAR(StepAccumulator, 0.005f, 1e-6);
  Progress(0.004);
  EXPECT_EQ(counter.Steps, 2);
  EXPECT_NEAR(StepAccumulator, 0.009f, 1e-6);
  Progress(1.0);
  EXPECT_GE(counter.Steps, 101);  // 2 + about 100
  EXPECT_LE(counter.Steps, 103);
}

TEST_F(FrameProgress, AWholeStepIsAnExactHundredthOfTheSinglePrecisionAccumulator) {
  // The accumulator holds single precision; a float of 0.01 s lies just below 0.01 and is
  // not yet a whole step. What is left after each step is rounded to single precision.
  struct TCase {
    std::vector<double> Events;
    int Steps;
    float Left;
  };
  const TCase cases[] = {
      {{0.01}, 0, 0.01f},
      {{0.01, 0.01}, 1, 0.01f},
      {{0.02}, 1, 0.01f},
      {{0.03}, 2, 0.01f},
      {{0.0100001}, 1, 0.0000001f},
      {{0.5}, 50, 0.0f},
  };
  for (const auto& c : cases) {
    ResetStepHandlers();
    TCounter counter;
    AddStepHandler(HandlerOf(counter));
    for (double seconds : c.Events) Progress(seconds);
    EXPECT_EQ(counter.Steps, c.Steps) << c.Events.size() << " x " << c.Events[0];
    EXPECT_NEAR(StepAccumulator, c.Left, 1e-6) << c.Events.size() << " x " << c.Events[0];
  }
}

TEST_F(FrameProgress, NothingRunsOrAccumulatesWhileHalted) {
  TCounter counter;
  AddStepHandler(HandlerOf(counter));
  Progress(0.003);
  GameHalted = true;
  for (int i = 0; i < 50; ++i) Progress(1.0);
  EXPECT_EQ(counter.Steps, 0);
  EXPECT_NEAR(StepAccumulator, 0.003f, 1e-7);
}

TEST_F(FrameProgress, HandlersRunInRegistrationOrderAndRemoveTheFirstEqualEntry) {
  std::vector<int> order;
  TCounter a{0, &order, 1, {}}, b{0, &order, 2, {}};
  AddStepHandler(HandlerOf(a));
  AddStepHandler(HandlerOf(b));
  AddStepHandler(HandlerOf(a));
  AddStepHandler({});  // no function: skipped
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));
  RemoveStepHandler(HandlerOf(a));
  ASSERT_EQ(StepHandlers.size(), 3u);
  EXPECT_EQ(StepHandlers[0], HandlerOf(b));
  EXPECT_EQ(StepHandlers[1], HandlerOf(a));
  TCounter stranger;
  RemoveStepHandler(HandlerOf(stranger));
  EXPECT_EQ(StepHandlers.size(), 3u);
  order.clear();
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST_F(FrameProgress, RemovalDuringAStepNeverCallsARemovedHandlerNorSkipsOne) {
  struct TCase {
    const char* What;
    int Remover, Removed;  // indexes among four handlers 0..3
    std::vector<int> FirstStep, SecondStep;
  };
  const TCase cases[] = {
      {"an earlier one", 2, 0, {0, 1, 2, 3}, {1, 2, 3}},
      {"itself", 1, 1, {0, 1, 2, 3}, {0, 2, 3}},
      {"a later one", 1, 2, {0, 1, 3}, {0, 1, 3}},
      {"the last one", 0, 3, {0, 1, 2}, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    ResetStepHandlers();
    std::vector<int> order;
    std::vector<TCounter> counters(4);
    for (int i = 0; i < 4; ++i) {
      counters[i].Order = &order;
      counters[i].Id = i;
    }
    bool done = false;
    counters[c.Remover].During = [&] {
      if (!done) RemoveStepHandler(HandlerOf(counters[c.Removed]));
      done = true;
    };
    for (auto& counter : counters) AddStepHandler(HandlerOf(counter));
    Progress(OneStep);
    EXPECT_EQ(order, c.FirstStep) << c.What;
    order.clear();
    Progress(OneStep);
    EXPECT_EQ(order, c.SecondStep) << c.What;
  }
}

TEST_F(FrameProgress, AHandlerAddedDuringAStepRunsFromTheNextStep) {
  std::vector<int> order;
  TCounter late{0, &order, 9, {}};
  TCounter adder{0, &order, 1, {}};
  adder.During = [&] {
    if (adder.Steps == 1) AddStepHandler(HandlerOf(late));
  };
  AddStepHandler(HandlerOf(adder));
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1}));
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1, 1, 9}));
}

TEST_F(FrameProgress, ARefreshRequestLastsUntilTheEndOfTheNextProgress) {
  int sawPending = 0;
  TCounter raiser;
  raiser.During = [&] {
    if (raiser.Steps == 2) SceneRefreshPending = true;
    if (SceneRefreshPending) ++sawPending;
  };
  AddStepHandler(HandlerOf(raiser));
  Progress(0.0401);  // raised at the 2nd of 4 steps: seen in steps 2..4
  EXPECT_TRUE(SceneRefreshPending);
  EXPECT_EQ(sawPending, 3);
  Progress(0.0201);  // found raised: seen in both steps, lowered at the end
  EXPECT_FALSE(SceneRefreshPending);
  EXPECT_EQ(sawPending, 5);
  SceneRefreshPending = true;
  Progress(0.001);  // no step runs, still lowered at the end
  EXPECT_FALSE(SceneRefreshPending);
}

}  // namespace
}  // namespace orr::test
