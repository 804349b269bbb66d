// SPDX-License-Identifier: GPL-3.0-or-later
// The per-cell scene objects built from the map, created lazily around the scene windows.
//
// One raised cell of height h, seen from the side (walls are children of the floor):
//
//        floor (Z = h, faces +Z)
//      +-------------------+
//      |                   |  wall k: upright, Height h, centred at Z = -h/2 in the floor's
//      |  wall (YTiles h)  |  frame, so it reaches from the ground up to the floor
//      |                   |
//   ---+-------------------+---  Z = 0
#include <string>

#include "render/UGameRender.h"

namespace orr {

std::vector<std::vector<SceneCell>> SceneCells;
bool EveryRaisedSide = false;

namespace {

// The sides of a cell in the order of SceneCell::Walls: +Y, +X, -Y, -X.
constexpr std::int32_t SideX[4] = {0, 1, 0, -1};
constexpr std::int32_t SideY[4] = {1, 0, -1, 0};

SceneCell* CellAt(std::int32_t x, std::int32_t y) {
  if (x < 0 || y < 0 || static_cast<size_t>(x) >= SceneCells.size()) return nullptr;
  auto& column = SceneCells[static_cast<size_t>(x)];
  if (static_cast<size_t>(y) >= column.size()) return nullptr;
  return &column[static_cast<size_t>(y)];
}

void FreePlane(TGLPlane*& plane) {
  if (plane == nullptr) return;
  plane->Free();
  plane = nullptr;
}

// Map data of a cell; a cell the grid does not hold (after a failed load) reads as 0.
MapCell TerrainAt(std::int32_t x, std::int32_t y) {
  return GameMap.TerrainGrid.Contains(x, y) ? GameMap.TerrainGrid[x][y] : MapCell{};
}
MapCell DecorationAt(std::int32_t x, std::int32_t y) {
  return GameMap.DecorationGrid.Contains(x, y) ? GameMap.DecorationGrid[x][y] : MapCell{};
}
THeightMapCell HeightAt(std::int32_t x, std::int32_t y) {
  return GameMap.HeightMap.Contains(x, y) ? GameMap.HeightMap[x][y] : 0;
}

// Whether the cell across edge 0..3 has its objects (beyond the map nothing is built).
bool NeighbourBuilt(std::int32_t x, std::int32_t y, int edge) {
  const SceneCell* neighbour = CellAt(x + SideX[edge], y + SideY[edge]);
  return neighbour != nullptr && neighbour->Terrain != nullptr;
}

// Sets the roll only when the stored (reduced) angle differs.
void SetRollIfChanged(TGLPlane& plane, float degrees) {
  if (plane.RollAngle() != NormalizeDegAngle(degrees)) plane.SetRollAngle(degrees);
}

void SetMaterialNameIfChanged(TGLPlane& plane, const std::string& name) {
  if (plane.Material.LibMaterialName() != name) plane.Material.SetLibMaterialName(name);
}

}  // namespace

void PrepareScene(const TMapSize& mapSize) {
  FreeAllCells();
  // A map without rows has no cells, and no empty columns either (a header of 2147483647 x 0
  // would cost 50 GB of them).
  const std::int32_t h = mapSize.Y > 0 ? mapSize.Y : 0;
  const std::int32_t w = mapSize.X > 0 && h > 0 ? mapSize.X : 0;
  SceneCells.assign(static_cast<size_t>(w), std::vector<SceneCell>(static_cast<size_t>(h)));
  SceneRefreshPending = true;
  if (DMGameRender == nullptr) return;

  const float width = static_cast<float>(mapSize.X), height = static_cast<float>(mapSize.Y);
  if (DMGameRender->GLLightSource2 != nullptr)
    DMGameRender->GLLightSource2->Position.SetPoint(width + 10, height + 10, -20);
  auto& planes = DMGameRender->BorderPlanes;
  if (planes[0] == nullptr) return;
  planes[0]->Position.SetY(height);
  planes[0]->Position.SetX(width / 2);
  planes[0]->SetWidth(width);
  planes[1]->Position.SetY(height / 2);
  planes[1]->Position.SetX(width);
  planes[1]->SetWidth(height);
  planes[2]->Position.SetY(0);
  planes[2]->Position.SetX(width / 2);
  planes[2]->SetWidth(width);
  planes[3]->Position.SetY(height / 2);
  planes[3]->Position.SetX(0);
  planes[3]->SetWidth(height);
}

void CreateWall(std::int32_t x, std::int32_t y, int side) {
  SceneCell* cell = CellAt(x, y);
  if (cell == nullptr || cell->Terrain == nullptr || side < 0 || side > 3) return;
  TGLPlane*& wall = cell->Walls[static_cast<size_t>(side)];
  if (wall != nullptr) return;
  wall = NewChildObject<TGLPlane>(cell->Terrain);
  wall->Material.SetMaterialLibrary(DMGameRender->WallLib.get());
  wall->Direction.SetY(1);
  wall->Direction.SetZ(0);
  wall->RollBy(180);  // up axis to +Z
  wall->Position.SetX(0.5f * SideX[side]);
  wall->Position.SetY(0.5f * SideY[side]);
  wall->SetTurnAngle(static_cast<float>(-90 * side));  // faces +Y, +X, -Y, -X
}

void CreateDecoration(std::int32_t x, std::int32_t y) {
  SceneCell* cell = CellAt(x, y);
  if (cell == nullptr || cell->Terrain == nullptr) return;
  cell->Decoration = NewChildObject<TGLPlane>(cell->Terrain);
  cell->Decoration->Material.SetMaterialLibrary(DMGameRender->DecoLib.get());
  cell->Decoration->Position.SetZ(0.001f);
  cell->Decoration->Scale.SetPoint(1.001f, 1.001f, 1.0f);
}

void CreateFloor(std::int32_t x, std::int32_t y) {
  SceneCell* cell = CellAt(x, y);
  if (cell == nullptr || DMGameRender == nullptr || cell->Terrain != nullptr) return;
  cell->Terrain = NewChildObject<TGLPlane>(DMGameRender->MainScene->Objects());
  cell->Terrain->Material.SetMaterialLibrary(DMGameRender->TerrainLib.get());
  cell->Terrain->Scale.SetPoint(1.001f, 1.001f, 1.0f);
  cell->Terrain->Position.SetX(static_cast<float>(x) + 0.5f);
  cell->Terrain->Position.SetY(static_cast<float>(y) + 0.5f);
}

void UpdateCell(std::int32_t x, std::int32_t y, bool everySide) {
  SceneCell* cell = CellAt(x, y);
  if (cell == nullptr || DMGameRender == nullptr) return;
  CreateFloor(x, y);
  TGLPlane& floor = *cell->Terrain;

  const THeightMapCell height = HeightAt(x, y);
  const float h = height;
  if (h != floor.Position.Z()) floor.Position.SetZ(h);
  const MapCell terrain = TerrainAt(x, y);
  everySide = everySide || EveryRaisedSide;
  // Sides follow the neighbours and the turn too, so they are brought in line at every
  // update. A side is left out only where the neighbour across the edge it stands on is at
  // least as high and built: a neighbour outside the scene window has no block to hide it,
  // and a ray cast from out there would pass into this cell through the gap.
  for (int side = 0; side < 4; ++side) {
    TGLPlane*& wall = cell->Walls[static_cast<size_t>(side)];
    if (height == 0 || (!everySide && !RaisedSideShows(GameMap, x, y, side) &&
                        NeighbourBuilt(x, y, EdgeOfSide(side, terrain.QuarterTurns)))) {
      FreePlane(wall);
      continue;
    }
    const bool built = wall == nullptr;
    CreateWall(x, y, side);
    if (built || wall->Height() != h) {
      wall->SetHeight(h);
      wall->Position.SetZ(-h / 2);
      wall->SetYTiles(h);
    }
  }

  const std::string terrainName = std::to_string(terrain.TileNumber);
  for (TGLPlane* wall : cell->Walls)
    if (wall != nullptr) SetMaterialNameIfChanged(*wall, terrainName);
  SetMaterialNameIfChanged(floor, terrainName);
  SetRollIfChanged(floor, -90.0f * terrain.QuarterTurns);

  const MapCell decoration = DecorationAt(x, y);
  if (decoration.TileNumber > 0) {
    if (cell->Decoration == nullptr) CreateDecoration(x, y);
    SetMaterialNameIfChanged(*cell->Decoration, std::to_string(decoration.TileNumber));
    SetRollIfChanged(*cell->Decoration, 90.0f * (static_cast<int>(terrain.QuarterTurns) -
                                                 static_cast<int>(decoration.QuarterTurns)));
  } else {
    FreePlane(cell->Decoration);
  }
}

void FreeCell(std::int32_t x, std::int32_t y) {
  SceneCell* cell = CellAt(x, y);
  if (cell == nullptr) return;
  for (TGLPlane*& wall : cell->Walls) FreePlane(wall);
  FreePlane(cell->Decoration);
  FreePlane(cell->Terrain);
}

void FreeAllCells() {
  for (size_t x = 0; x < SceneCells.size(); ++x)
    for (size_t y = 0; y < SceneCells[x].size(); ++y)
      FreeCell(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

}  // namespace orr
