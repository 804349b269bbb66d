// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>

#include "RenderHarness.h"
#include "render/UGameRender.h"
#include "render/UGraphicsModule.h"

namespace orr::test {
namespace {

class SceneWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStepHandlers();
    game_.Plain("Graphics/Tiles/TerrainTiles.bmp", 64, 64, 0xFF808080);
    host_.Create(DMGameRender);
    panel_ = TComponent::Create<TPanel>(&host_.Root());
    panel_->SetBounds(0, 0, 800, 600);
    GameHalted = false;
  }
  void TearDown() override {
    window_.reset();
    host_.Free(DMGameRender);
    ResetGameMap();
    ResetStepHandlers();
    SceneCells.clear();
    GameHalted = false;
  }
  static void MakeMap(int w, int h, const std::string& id = "map-1") {
    ResetGameMap();
    GameMap.MapIdCode = id;
    GameMap.MapSize = {w, h};
    GameMap.TerrainGrid.SetSize(w, h);
    GameMap.DecorationGrid.SetSize(w, h);
    GameMap.HeightMap.SetSize(w, h);
  }
  TGLSceneWindow& Open() {
    window_ = std::make_unique<TGLSceneWindow>(panel_);
    return *window_;
  }
  static void Step(int steps = 1) {
    TDMGameRender::SceneProgressorProgress(nullptr, 0.01 * steps + 0.0001, 0);
  }
  static int BuiltCells() {
    int built = 0;
    for (auto& column : SceneCells)
      for (auto& cell : column) built += cell.Terrain != nullptr;
    return built;
  }

  TScratchGame game_{"window"};
  TModuleHost host_;
  TPanel* panel_ = nullptr;
  std::unique_ptr<TGLSceneWindow> window_;
};

TEST_F(SceneWindowTest, CreationPutsATopDownViewerBehindThePanelsControls) {
  auto* hud = TComponent::Create<TPanel>(&host_.Root());
  hud->SetParent(panel_);
  EventLog.clear();
  TGLSceneWindow& window = Open();
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"New OpenGL window spawn requested", "New OpenGL window spawned"}));
  ASSERT_NE(window.Viewer, nullptr);
  EXPECT_EQ(window.Viewer->Owner(), panel_);
  EXPECT_EQ(window.Viewer->Parent(), panel_);
  EXPECT_EQ(panel_->Controls().front(), window.Viewer);
  EXPECT_EQ(window.Viewer->Width, 800);
  EXPECT_EQ(window.Viewer->Height, 600);
  EXPECT_TRUE(window.Viewer->Buffer.ContextOptions.Contains(roStencilBuffer));
  EXPECT_EQ(window.Viewer->Buffer.ColorDepth, cd16bits);
  EXPECT_EQ(window.Viewer->Buffer.DepthPrecision, dp16bits);
  EXPECT_EQ(window.Viewer->Camera(), window.Camera);
  EXPECT_EQ(window.Camera->Parent(), DMGameRender->MainScene->Objects());
  EXPECT_EQ(window.Camera->FocalLength(), 100);
  EXPECT_EQ(window.Camera->Direction.Z(), -1);
  EXPECT_EQ(window.VisibleCells, TCellRect{});
  ASSERT_EQ(StepHandlers.size(), 1u);
  EXPECT_EQ(StepHandlers[0], StepHandlerOf<&TGLSceneWindow::StepView>(&window));
  window_.reset();
  EXPECT_TRUE(StepHandlers.empty());
}

TEST_F(SceneWindowTest, TheCameraJumpsToTheFirstTargetAndGlidesAfterwards) {
  MakeMap(100, 100);
  TGLSceneWindow& window = Open();
  window.SetCameraTarget({50, 50, 15, 0});
  EXPECT_EQ(window.Camera->Position.X(), 50);
  EXPECT_EQ(window.CameraPosition.Z, 15);
  window.SetCameraTarget({70, 50, 15, 0});
  EXPECT_EQ(window.Camera->Position.X(), 50);
  Step();
  EXPECT_FLOAT_EQ(window.CameraPosition.X, 51);
  EXPECT_FLOAT_EQ(window.Camera->Position.X(), 51);
  EXPECT_FLOAT_EQ(window.CameraPosition.Y, 50);
  Step(10);  // 1 - (19/20)^11 of the way after 11 steps in all
  EXPECT_NEAR(window.CameraPosition.X, 50 + 20 * (1 - std::pow(0.95, 11)), 1e-3);
  EXPECT_FLOAT_EQ(window.CameraPosition.Y, 50);  // each axis glides after its own target
}

TEST_F(SceneWindowTest, TheCameraKeepsSevenCellsFromTheEdges) {
  struct TCase {
    int Size;
    float Start, Target, Expected;
  };
  const TCase cases[] = {
      {30, 15, 2, 7},    // wide map, target near the left edge
      {30, 15, 40, 23},  // beyond the right edge: W - 7
      {14, 2, 2, 7},     // exactly 14 wide: 7 is both bounds
      {10, 2, 2, 5},     // narrower than 14: held at the centre, never jumping
      {10, 9, 9, 5},
  };
  for (const auto& c : cases) {
    MakeMap(c.Size, c.Size);
    TGLSceneWindow& window = Open();
    window.SetCameraTarget({c.Start, c.Start, 15, 0});
    window.SetCameraTarget({c.Target, c.Target, 15, 0});
    for (int parity = 0; parity < 2; ++parity) {  // the same after an odd and an even count
      Step(299 + parity);
      EXPECT_FLOAT_EQ(window.CameraPosition.X, c.Expected) << c.Size << " " << c.Target;
      EXPECT_FLOAT_EQ(window.CameraPosition.Y, c.Expected);
    }
  }
}

TEST_F(SceneWindowTest, VisibleCellsAreTheGroundUnderTheViewWidenedByTwo) {
  struct TCase {
    TVector Low, High;
    TMapSize Size;
    TCellRect Expected;
  };
  const TCase cases[] = {
      {{10.2f, 5.7f, 0, 1}, {25.8f, 19.4f, 0, 1}, {40, 40}, {8, 3, 27, 21}},
      {{-3, -3, 0, 1}, {50, 50, 0, 1}, {40, 30}, {0, 0, 39, 29}},
      {{3, 4, 0, 1}, {5, 6, 0, 1}, {40, 40}, {0, 2, 6, 8}},  // 2.5, 3.5, 4.5, 5.5: halves to even
      {{1, 1, 0, 1}, {5, 5, 0, 1}, {0, 10}, {}},             // no cells: empty
      {{1, 1, 0, 1}, {5, 5, 0, 1}, {10, 0}, {}},
  };
  for (const auto& c : cases) {
    const TCellRect r = CellsUnderView(c.Low, c.High, c.Size);
    EXPECT_EQ(r, c.Expected) << r.Left << " " << r.Top << " " << r.Right << " " << r.Bottom;
  }
}

TEST_F(SceneWindowTest, RefreshBuildsTheCellsInViewAndFreesThoseThatLeft) {
  MakeMap(60, 60);
  TGLSceneWindow& window = Open();
  window.SetCameraTarget({20, 20, 15, 0});
  window.RefreshVisibleCells();
  EXPECT_EQ(window.LastMapIdCode, "map-1");
  const TCellRect first = window.VisibleCells;
  EXPECT_LT(first.Left, 20);
  EXPECT_GT(first.Right, 20);
  EXPECT_LT(first.Top, 20);
  EXPECT_GT(first.Bottom, 20);
  const int area = (first.Right - first.Left + 1) * (first.Bottom - first.Top + 1);
  EXPECT_EQ(BuiltCells(), area);
  EXPECT_LT(area, 60 * 60 / 2);

  window.SetCameraTarget({40, 40, 15, 0});
  Step(300);
  const TCellRect moved = window.VisibleCells;
  EXPECT_GT(moved.Left, first.Left);
  EXPECT_EQ(BuiltCells(), (moved.Right - moved.Left + 1) * (moved.Bottom - moved.Top + 1));
  EXPECT_EQ(SceneCells[first.Left][first.Top].Terrain, nullptr);
  EXPECT_NE(SceneCells[40][40].Terrain, nullptr);
}

TEST_F(SceneWindowTest, EnteringANewCellRebuildsFromTheViewBeforeTheMove) {
  // Glides along X only, along Y only, and back along both; every step checked.
  const std::pair<TVector, TVector> glides[] = {{{20, 20, 15, 0}, {40, 20, 15, 0}},
                                                {{20, 20, 15, 0}, {20, 40, 15, 0}},
                                                {{40, 40, 15, 0}, {22, 27, 15, 0}}};
  int glide = 0;
  for (auto [from, to] : glides) {
    MakeMap(60, 60, "glide-" + std::to_string(++glide));
    TGLSceneWindow& window = Open();
    window.SetCameraTarget(from);
    window.RefreshVisibleCells();
    window.SetCameraTarget(to);
    Step();  // the refresh the new map asked for
    int refreshes = 0;
    for (int i = 0; i < 150; ++i) {
      const TVector before = window.CameraPosition;
      const TCellRect seenBefore = window.ComputeVisibleCells(), keptBefore = window.VisibleCells;
      Step();
      const TVector after = window.CameraPosition;
      const bool newCell = RoundInt(before.X) != RoundInt(after.X) || RoundInt(before.Y) != RoundInt(after.Y);
      refreshes += newCell;
      EXPECT_EQ(window.VisibleCells, newCell ? seenBefore : keptBefore) << glide << " step " << i;
      const TCellRect& v = window.VisibleCells;
      EXPECT_EQ(BuiltCells(), (v.Right - v.Left + 1) * (v.Bottom - v.Top + 1)) << glide << " step " << i;
    }
    EXPECT_GE(refreshes, 10) << glide;
  }
}

TEST_F(SceneWindowTest, SidesBetweenRaisedCellsInViewAreLeftOut) {
  // A 2 x 2 block of height 2 in view: each cell shows its two outer sides only, whichever
  // of the four is brought in line first.
  MakeMap(60, 60);
  for (int x : {19, 20})
    for (int y : {19, 20}) GameMap.HeightMap[x][y] = 2;
  TGLSceneWindow& window = Open();
  window.SetCameraTarget({20, 20, 15, 0});
  window.RefreshVisibleCells();
  for (int x : {19, 20})
    for (int y : {19, 20}) {
      int walls = 0;
      for (TGLPlane* wall : SceneCells[x][y].Walls) walls += wall != nullptr;
      EXPECT_EQ(walls, 2) << x << "," << y;
    }
}

TEST_F(SceneWindowTest, ANewMapIsPreparedAtTheNextStep) {
  MakeMap(30, 30, "first");
  TGLSceneWindow& window = Open();
  window.SetCameraTarget({15, 15, 15, 0});
  window.RefreshVisibleCells();
  GameMap.HeightMap[15][15] = 2;
  MakeMap(20, 20, "second");
  GameMap.HeightMap[15][15] = 1;
  Step();
  EXPECT_EQ(window.LastMapIdCode, "second");
  ASSERT_EQ(SceneCells.size(), 20u);
  ASSERT_NE(SceneCells[13][13].Terrain, nullptr);  // the camera was held to 13 (W - 7)
  EXPECT_EQ(SceneCells[15][15].Terrain->Position.Z(), 1);
  Step();
  EXPECT_FALSE(SceneRefreshPending);  // lowered at the end of the step after the one that raised it
  // Another map of the same size: the camera stays in its cell, the refresh still comes.
  MakeMap(20, 20, "third");
  GameMap.HeightMap[13][13] = 3;
  Step();
  ASSERT_NE(SceneCells[13][13].Terrain, nullptr);
  EXPECT_EQ(SceneCells[13][13].Terrain->Position.Z(), 3);
}

TEST_F(SceneWindowTest, AMapWithoutCellsBuildsNothing) {
  for (TMapSize size : {TMapSize{0, 0}, TMapSize{0, 12}, TMapSize{12, 0}}) {
    MakeMap(size.X, size.Y, "empty" + std::to_string(size.X));
    TGLSceneWindow& window = Open();
    window.SetCameraTarget({5, 5, 15, 0});
    window.RefreshVisibleCells();
    Step(20);
    EXPECT_EQ(window.VisibleCells, TCellRect{});
    EXPECT_EQ(BuiltCells(), 0);
  }
}

// The real game data from the content build: the episode, the atlases and the sprites.
TEST(SceneWindowGameData, TheEpisodeBuildsAroundTheViewWithKnownMaterials) {
  const std::string gameDir = ORR_GAME_DIR;
  if (!fs::exists(gameDir + "/Graphics/Tiles/TerrainTiles.bmp")) GTEST_SKIP() << "content not built";
  ResetEventLog();
  WorkFolder = gameDir + "/";
  TModuleHost host;
  host.Create(DMGraphicsModule);
  ASSERT_EQ(LoadMap(WorkFolder + "Episodes/Test/Promo4.orx"), TMapLoadResult::Loaded);
  host.Create(DMGameRender);
  for (const auto& line : LogLines()) {
    EXPECT_EQ(line.find("Exception"), std::string::npos) << line;
    EXPECT_EQ(line.find("FATAL"), std::string::npos) << line;
  }
  EXPECT_FALSE(BitmapNames.empty());
  EXPECT_FALSE(AniSpriteLibs.empty());
  ASSERT_NE(StaticSpriteLib, nullptr);
  EXPECT_GT(DMGameRender->TerrainLib->Materials.Count(), 0);

  auto* panel = TComponent::Create<TPanel>(&host.Root());
  panel->SetBounds(0, 0, 1024, 768);
  {
    TGLSceneWindow window(panel);
    PrepareScene(GameMap.MapSize);
    const TMapSize size = GameMap.MapSize;
    window.SetCameraTarget({size.X / 2.0f, size.Y / 2.0f, 15, 0});
    window.RefreshVisibleCells();
    GameHalted = false;
    TDMGameRender::SceneProgressorProgress(nullptr, 0.5, 0);
    const TCellRect cells = window.VisibleCells;
    ASSERT_LE(cells.Left, cells.Right);
    int built = 0, walls = 0;
    for (int x = 0; x < size.X; ++x)
      for (int y = 0; y < size.Y; ++y) {
        const SceneCell& cell = SceneCells[x][y];
        if (cell.Terrain == nullptr) continue;
        ++built;
        EXPECT_TRUE(cells.Contains(x, y));
        // Every tile number of the episode names a material of the atlases.
        EXPECT_NE(cell.Terrain->Material.LibMaterial(), nullptr) << x << "," << y;
        if (cell.Decoration != nullptr) {
          EXPECT_NE(cell.Decoration->Material.LibMaterial(), nullptr) << x << "," << y;
        }
        if (cell.Walls[0] != nullptr) {
          ++walls;
          EXPECT_NE(cell.Walls[0]->Material.LibMaterial(), nullptr);
        }
      }
    EXPECT_EQ(built, (cells.Right - cells.Left + 1) * (cells.Bottom - cells.Top + 1));
    EXPECT_GT(walls, 0);
  }
  EXPECT_TRUE(StepHandlers.empty());
  host.Free(DMGameRender);
  host.Free(DMGraphicsModule);
  ResetGraphicsAssets();
  ResetGameMap();
  ResetStepHandlers();
  SceneCells.clear();
  GameHalted = false;
  ResetEventLog();
}

// The cells a view keeps built follow from its steps alone, however the steps fall into
// frames: the game's frames (a first one too short for a step, then several steps at once)
// build what one step per frame builds (the simulator). The camera starts at a target by
// the map's edge and is held inside at the first step, so the first step moves it.
TEST_F(SceneWindowTest, TheCellsFollowTheStepsHoweverTheyFallIntoFrames) {
  TCellRect cells[2];
  std::uint64_t walls[2] = {0, 0};
  for (int run = 0; run < 2; ++run) {
    MakeMap(40, 40);
    for (int i = 0; i < 40; i += 3) GameMap.HeightMap[i][(i * 7) % 40] = 2;
    TGLSceneWindow& window = Open();
    window.SetCameraTarget({2, 20, 15, 0});
    PrepareScene(GameMap.MapSize);  // as the session's set-up: the refresh is pending
    window.RefreshVisibleCells();
    if (run == 0) {
      for (int i = 0; i < 6; ++i) TDMGameRender::SceneProgressorProgress(nullptr, 0.0100001, 0);
    } else {
      TDMGameRender::SceneProgressorProgress(nullptr, 0.004, 0);  // no step yet
      TDMGameRender::SceneProgressorProgress(nullptr, 0.0560001, 0);
    }
    cells[run] = window.VisibleCells;
    for (int x = 0; x < 40; ++x)
      for (int y = 0; y < 40; ++y) {
        const SceneCell& c = SceneCells[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
        walls[run] = walls[run] * 31 + (c.Terrain != nullptr) + 2 * (c.Walls[0] != nullptr) +
                     4 * (c.Walls[2] != nullptr);
      }
    window_.reset();
    FreeAllCells();
    SceneRefreshPending = false;
    StepAccumulator = 0;
  }
  EXPECT_EQ(cells[0], cells[1]) << cells[0].Left << " vs " << cells[1].Left;
  EXPECT_EQ(walls[0], walls[1]);
}

}  // namespace
}  // namespace orr::test
