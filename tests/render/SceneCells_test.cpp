// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "render/UGameRender.h"

namespace orr::test {
namespace {

// A render module over a scratch game with 12 terrain and 12 decoration tiles, and a map
// of the given size whose cells are all floor tile 0.
class SceneCellsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game_.Plain("Graphics/Tiles/TerrainTiles.bmp", 64, 32 * 12, 0xFF808080);
    game_.Plain("Graphics/Tiles/DecorationTiles.bmp", 32, 32 * 12, 0xFF00FF00);
    host_.Create(DMGameRender);
    baseline_ = DMGameRender->MainScene->Objects()->Count();
  }
  void TearDown() override {
    host_.Free(DMGameRender);
    ResetGameMap();
    ResetStepHandlers();
    SceneCells.clear();
    GameHalted = false;
  }
  static void MakeMap(int w, int h) {
    ResetGameMap();
    GameMap.MapSize = {w, h};
    GameMap.TerrainGrid.SetSize(w, h);
    GameMap.DecorationGrid.SetSize(w, h);
    GameMap.HeightMap.SetSize(w, h);
  }
  int TopLevelCells() const { return DMGameRender->MainScene->Objects()->Count() - baseline_; }

  TScratchGame game_{"cells"};
  TModuleHost host_;
  int baseline_ = 0;
};

TEST_F(SceneCellsTest, ARaisedCellIsAFloorOnFourOutwardWalls) {
  MakeMap(10, 10);
  GameMap.HeightMap[4][7] = 3;
  GameMap.TerrainGrid[4][7] = {5, 0};
  PrepareScene(GameMap.MapSize);
  UpdateCell(4, 7);
  const SceneCell& cell = SceneCells[4][7];
  ASSERT_NE(cell.Terrain, nullptr);
  EXPECT_EQ(cell.Decoration, nullptr);
  const TVector floor = cell.Terrain->AbsolutePosition();
  EXPECT_FLOAT_EQ(floor.X, 4.5f);
  EXPECT_FLOAT_EQ(floor.Y, 7.5f);
  EXPECT_FLOAT_EQ(floor.Z, 3.0f);
  EXPECT_EQ(cell.Terrain->Material.MaterialLibrary(), DMGameRender->TerrainLib.get());
  EXPECT_EQ(cell.Terrain->Material.LibMaterialName(), "5");
  EXPECT_NE(cell.Terrain->Material.LibMaterial(), nullptr);
  EXPECT_FLOAT_EQ(cell.Terrain->Scale.X(), 1.001f);
  // Outward normals +Y, +X, -Y, -X; each wall's centre half a cell out (times the floor's
  // 1.001 overlap scale), half its height up.
  const float faces[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
  for (int k = 0; k < 4; ++k) {
    TGLPlane* wall = cell.Walls[k];
    ASSERT_NE(wall, nullptr) << k;
    EXPECT_EQ(wall->Parent(), cell.Terrain);
    EXPECT_EQ(wall->Material.MaterialLibrary(), DMGameRender->WallLib.get());
    EXPECT_EQ(wall->Material.LibMaterialName(), "5");
    EXPECT_EQ(wall->Height(), 3);
    EXPECT_EQ(wall->YTiles(), 3);
    EXPECT_FLOAT_EQ(wall->Position.Z(), -1.5f);
    const TVector centre = wall->AbsolutePosition();
    EXPECT_NEAR(centre.X, 4.5f + 0.5005f * faces[k][0], 1e-5) << k;
    EXPECT_NEAR(centre.Y, 7.5f + 0.5005f * faces[k][1], 1e-5) << k;
    EXPECT_NEAR(centre.Z, 1.5f, 1e-5) << k;
    const TVector normal = wall->AbsoluteDirection();
    EXPECT_NEAR(normal.X, faces[k][0], 1e-5) << k;
    EXPECT_NEAR(normal.Y, faces[k][1], 1e-5) << k;
    EXPECT_NEAR(wall->AbsoluteUp().Z, 1, 1e-5) << k;
  }
}

TEST_F(SceneCellsTest, ASideIsBuiltOnlyWhereTheNeighbourIsLower) {
  MakeMap(5, 5);
  GameMap.HeightMap[2][2] = 3;
  GameMap.HeightMap[2][3] = 3;  // +Y: as high, hidden
  GameMap.HeightMap[3][2] = 5;  // +X: higher, hidden
  GameMap.HeightMap[2][1] = 2;  // -Y: lower, shown
  GameMap.HeightMap[0][0] = 1;  // a corner: the map's edge is ground
  GameMap.TerrainGrid[2][2] = {4, 0};
  PrepareScene(GameMap.MapSize);
  // Before its neighbours are built nothing hides a side: a ray from beyond them would
  // meet it, as with every side built.
  UpdateCell(2, 2);
  const SceneCell& cell = SceneCells[2][2];
  for (TGLPlane* wall : cell.Walls) EXPECT_NE(wall, nullptr);
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 5; ++y) CreateFloor(x, y);
  UpdateCell(2, 2);
  UpdateCell(0, 0);
  EXPECT_EQ(cell.Walls[0], nullptr);
  EXPECT_EQ(cell.Walls[1], nullptr);
  ASSERT_NE(cell.Walls[2], nullptr);
  ASSERT_NE(cell.Walls[3], nullptr);
  EXPECT_EQ(cell.Terrain->Count(), 2);
  const SceneCell& corner = SceneCells[0][0];
  for (TGLPlane* wall : corner.Walls) {
    ASSERT_NE(wall, nullptr);
    EXPECT_FLOAT_EQ(wall->Position.Z(), -0.5f);  // a plane's own height is 1 already
  }

  // The neighbours move; the sides follow at the next update.
  GameMap.HeightMap[2][3] = 2;
  GameMap.HeightMap[2][1] = 3;
  UpdateCell(2, 2);
  ASSERT_NE(cell.Walls[0], nullptr);
  EXPECT_EQ(cell.Walls[0]->Height(), 3);
  EXPECT_EQ(cell.Walls[0]->YTiles(), 3);
  EXPECT_FLOAT_EQ(cell.Walls[0]->Position.Z(), -1.5f);
  EXPECT_EQ(cell.Walls[0]->Material.LibMaterialName(), "4");
  EXPECT_NEAR(cell.Walls[0]->AbsoluteDirection().Y, 1, 1e-5);
  EXPECT_EQ(cell.Walls[1], nullptr);
  EXPECT_EQ(cell.Walls[2], nullptr);
  EXPECT_EQ(cell.Terrain->Count(), 2);

  // The higher neighbour leaves the scene window: the side toward it comes back.
  FreeCell(3, 2);
  UpdateCell(2, 2);
  ASSERT_NE(cell.Walls[1], nullptr);
  EXPECT_NEAR(cell.Walls[1]->AbsoluteDirection().X, 1, 1e-5);
  EXPECT_EQ(cell.Walls[2], nullptr);
  CreateFloor(3, 2);

  // Every side, as the picture tests ask for.
  UpdateCell(2, 2, true);
  for (TGLPlane* wall : cell.Walls) ASSERT_NE(wall, nullptr);
  EXPECT_EQ(cell.Walls[1]->Height(), 3);
  EXPECT_NEAR(cell.Walls[1]->AbsoluteDirection().X, 1, 1e-5);
}

// The sides are children of the floor, which turns with its terrain tile: whatever the turn,
// the cell shows a side on exactly the edges whose neighbour is lower, and that side is the
// very plane the four-wall build shows there (same place, facing, up and texture).
TEST_F(SceneCellsTest, ATurnedFloorShowsItsSidesOnTheLowerEdges) {
  const float faces[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};  // world edges +Y, +X, -Y, -X
  struct Pose {
    TVector centre, normal, up;
  };
  // The neighbours on the world's +Y, +X, -Y, -X edges of the cell at height 3.
  const struct {
    THeightMapCell around[4];
  } cases[] = {{{0, 5, 3, 1}}, {{4, 2, 3, 3}}, {{0, 0, 0, 0}}, {{3, 4, 2, 9}}};
  for (const auto& c : cases)
    for (int turns = 0; turns <= 9; ++turns) {  // the format holds one digit
      SCOPED_TRACE(::testing::Message() << "turns " << turns << " around " << +c.around[0] << ","
                                        << +c.around[1] << "," << +c.around[2] << "," << +c.around[3]);
      MakeMap(5, 5);
      GameMap.HeightMap[2][2] = 3;
      for (int e = 0; e < 4; ++e)
        GameMap.HeightMap[2 + static_cast<int>(faces[e][0])][2 + static_cast<int>(faces[e][1])] = c.around[e];
      GameMap.TerrainGrid[2][2] = {6, static_cast<std::uint8_t>(turns)};
      PrepareScene(GameMap.MapSize);
      UpdateCell(2, 2, true);
      // Which world edge each wall of the four-wall build stands on.
      Pose reference[4];
      for (TGLPlane* wall : SceneCells[2][2].Walls) {
        ASSERT_NE(wall, nullptr);
        const TVector n = wall->AbsoluteDirection();
        int edge = -1;
        for (int e = 0; e < 4; ++e)
          if (std::abs(n.X - faces[e][0]) < 1e-4 && std::abs(n.Y - faces[e][1]) < 1e-4) edge = e;
        ASSERT_GE(edge, 0);
        reference[edge] = {wall->AbsolutePosition(), n, wall->AbsoluteUp()};
      }
      PrepareScene(GameMap.MapSize);  // the speed build, from scratch, among built neighbours
      for (int e = 0; e < 4; ++e)
        CreateFloor(2 + static_cast<int>(faces[e][0]), 2 + static_cast<int>(faces[e][1]));
      UpdateCell(2, 2);
      bool seen[4] = {};
      for (TGLPlane* wall : SceneCells[2][2].Walls) {
        if (wall == nullptr) continue;
        const TVector n = wall->AbsoluteDirection();
        for (int e = 0; e < 4; ++e) {
          if (std::abs(n.X - faces[e][0]) > 1e-4 || std::abs(n.Y - faces[e][1]) > 1e-4) continue;
          EXPECT_FALSE(seen[e]) << "edge " << e;
          seen[e] = true;
          const Pose& r = reference[e];
          EXPECT_EQ(wall->AbsolutePosition().X, r.centre.X) << "edge " << e;
          EXPECT_EQ(wall->AbsolutePosition().Y, r.centre.Y) << "edge " << e;
          EXPECT_EQ(wall->AbsolutePosition().Z, r.centre.Z) << "edge " << e;
          EXPECT_EQ(wall->AbsoluteUp().X, r.up.X) << "edge " << e;
          EXPECT_EQ(wall->AbsoluteUp().Y, r.up.Y) << "edge " << e;
          EXPECT_EQ(wall->AbsoluteUp().Z, r.up.Z) << "edge " << e;
          EXPECT_EQ(wall->Material.LibMaterialName(), "6");
        }
      }
      for (int e = 0; e < 4; ++e) EXPECT_EQ(seen[e], c.around[e] < 3) << "edge " << e;
    }
}

TEST_F(SceneCellsTest, UpdatesFollowHeightDecorationAndTurnChanges) {
  MakeMap(6, 6);
  PrepareScene(GameMap.MapSize);
  GameMap.HeightMap[2][3] = 2;
  UpdateCell(2, 3);
  SceneCell& cell = SceneCells[2][3];
  ASSERT_NE(cell.Walls[0], nullptr);
  TGLPlane* firstWall = cell.Walls[0];

  GameMap.HeightMap[2][3] = 4;  // kept and resized
  UpdateCell(2, 3);
  EXPECT_EQ(cell.Walls[0], firstWall);
  EXPECT_EQ(cell.Walls[3]->Height(), 4);
  EXPECT_FLOAT_EQ(cell.Walls[3]->Position.Z(), -2.0f);

  GameMap.HeightMap[2][3] = 0;  // freed
  UpdateCell(2, 3);
  for (TGLPlane* wall : cell.Walls) EXPECT_EQ(wall, nullptr);
  EXPECT_EQ(cell.Terrain->Count(), 0);

  GameMap.DecorationGrid[2][3] = {9, 3};
  GameMap.TerrainGrid[2][3] = {7, 1};
  UpdateCell(2, 3);
  ASSERT_NE(cell.Decoration, nullptr);
  EXPECT_EQ(cell.Decoration->Material.LibMaterialName(), "9");
  EXPECT_EQ(cell.Decoration->Material.MaterialLibrary(), DMGameRender->DecoLib.get());
  EXPECT_FLOAT_EQ(cell.Decoration->Position.Z(), 0.001f);
  EXPECT_EQ(cell.Terrain->RollAngle(), -90);
  EXPECT_EQ(cell.Decoration->RollAngle(), NormalizeDegAngle(-180));
  EXPECT_EQ(cell.Terrain->Material.LibMaterialName(), "7");

  GameMap.DecorationGrid[2][3] = {0, 0};
  UpdateCell(2, 3);
  EXPECT_EQ(cell.Decoration, nullptr);
  EXPECT_EQ(cell.Terrain->Count(), 0);
}

TEST_F(SceneCellsTest, PrepareScenePlacesTheLightAndTheBorderPlanes) {
  MakeMap(15, 10);
  PrepareScene(GameMap.MapSize);
  const auto& planes = DMGameRender->BorderPlanes;
  EXPECT_FLOAT_EQ(planes[0]->Position.X(), 7.5f);
  EXPECT_FLOAT_EQ(planes[0]->Position.Y(), 10);
  EXPECT_FLOAT_EQ(planes[0]->Width(), 15);
  EXPECT_FLOAT_EQ(planes[1]->Position.X(), 15);
  EXPECT_FLOAT_EQ(planes[1]->Position.Y(), 5);
  EXPECT_FLOAT_EQ(planes[1]->Width(), 10);
  EXPECT_FLOAT_EQ(planes[2]->Position.Y(), 0);
  EXPECT_FLOAT_EQ(planes[2]->Width(), 15);
  EXPECT_FLOAT_EQ(planes[3]->Position.X(), 0);
  EXPECT_FLOAT_EQ(planes[3]->Width(), 10);
  const TVector light = DMGameRender->GLLightSource2->Position.AsVector();
  EXPECT_EQ(light.X, 25);
  EXPECT_EQ(light.Y, 20);
  EXPECT_EQ(light.Z, -20);
}

TEST_F(SceneCellsTest, PreparingAgainFreesEveryCellAndRaisesTheRefresh) {
  MakeMap(5, 4);
  PrepareScene(GameMap.MapSize);
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 4; ++y) UpdateCell(x, y);
  EXPECT_EQ(TopLevelCells(), 20);
  SceneRefreshPending = false;
  PrepareScene(GameMap.MapSize);
  EXPECT_TRUE(SceneRefreshPending);
  EXPECT_EQ(TopLevelCells(), 0);
  ASSERT_EQ(SceneCells.size(), 5u);
  ASSERT_EQ(SceneCells[4].size(), 4u);
  EXPECT_EQ(SceneCells[4][3].Terrain, nullptr);
}

// A header may declare 2147483647 x 0 cells; as many empty columns would take 50 GB.
TEST_F(SceneCellsTest, AMapWithoutRowsHasNoColumns) {
  PrepareScene({4000000, 0});
  EXPECT_TRUE(SceneCells.empty());
  UpdateCell(5, 0);
  FreeCell(5, 0);
  EXPECT_EQ(TopLevelCells(), 0);
}

TEST_F(SceneCellsTest, FreeCellOutsideTheGridDoesNothing) {
  FreeCell(0, 0);  // never prepared
  MakeMap(3, 3);
  PrepareScene(GameMap.MapSize);
  UpdateCell(2, 0);
  FreeCell(3, 0);
  FreeCell(0, 3);
  UpdateCell(3, 0);
  EXPECT_EQ(TopLevelCells(), 1);
  FreeCell(2, 0);
  EXPECT_EQ(TopLevelCells(), 0);
  EXPECT_EQ(SceneCells[2][0].Terrain, nullptr);
}

TEST_F(SceneCellsTest, ACellTheMapGridsDoNotHoldReadsAsFloor) {
  // A load that failed after the size was read leaves grids smaller than MapSize.
  ResetGameMap();
  GameMap.MapSize = {4, 4};
  GameMap.TerrainGrid.SetSize(4, 4);
  GameMap.TerrainGrid[3][3] = {2, 0};
  PrepareScene(GameMap.MapSize);
  UpdateCell(3, 3);
  const SceneCell& cell = SceneCells[3][3];
  ASSERT_NE(cell.Terrain, nullptr);
  EXPECT_EQ(cell.Terrain->Position.Z(), 0);
  EXPECT_EQ(cell.Walls[0], nullptr);
  EXPECT_EQ(cell.Decoration, nullptr);
  EXPECT_EQ(cell.Terrain->Material.LibMaterialName(), "2");
}

TEST_F(SceneCellsTest, TheDestructionHandlerFreesTheCellsAndTheBorderPlanes) {
  MakeMap(3, 3);
  PrepareScene(GameMap.MapSize);
  UpdateCell(1, 1);
  GameMap.HeightMap[2][2] = 2;
  UpdateCell(2, 2);
  EXPECT_EQ(TopLevelCells(), 2);
  DMGameRender->BeforeDestruction();  // what shutdown runs before the components go
  EXPECT_EQ(SceneCells[1][1].Terrain, nullptr);
  EXPECT_EQ(SceneCells[2][2].Walls[0], nullptr);
  EXPECT_EQ(TopLevelCells(), -4);  // the four border planes went too
  for (TGLPlane* plane : DMGameRender->BorderPlanes) EXPECT_EQ(plane, nullptr);
  host_.Free(DMGameRender);
  EXPECT_TRUE(SceneCells.empty());
  host_.Create(DMGameRender);  // for TearDown
}

}  // namespace
}  // namespace orr::test
