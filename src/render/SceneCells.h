// SPDX-License-Identifier: GPL-3.0-or-later
// The scene cells: the floor, decoration and walls of every map cell, built from GameMap
// into the render module's scene.
//
// World frame: map cell (x, y) covers world X from x to x+1 and Y from y to y+1; Z is
// height and points towards the top-down camera. Everything here runs on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "map/UMapModule.h"
#include "scene/GLObjects.h"

namespace orr {

// One-shot: scene windows rebuild their visible cells while it is raised. A step that
// starts with it raised lowers it at its end (however the steps fall into frames).
extern bool SceneRefreshPending;

// The scene objects of one map cell; each pointer is empty or a plane owned by the scene.
struct SceneCell {
  TGLPlane* Terrain = nullptr;     // floor, child of the scene root, lifted to the height
  TGLPlane* Decoration = nullptr;  // child of Terrain, a thousandth above it
  // Children of Terrain on its own +Y, +X, -Y, -X sides, so they turn with the floor: wall k
  // stands on the cell's edge (k + QuarterTurns) mod 4. A side is built only where the
  // neighbour across that edge is lower or not built (a side inside a raised block never
  // shows, and nothing passes through it).
  std::array<TGLPlane*, 4> Walls{};
};

// [x][y] over the prepared map size; empty until the first PrepareScene.
extern std::vector<std::vector<SceneCell>> SceneCells;

// Frees every cell, sizes the grid to W x H, raises SceneRefreshPending, and places the
// second light and the border planes for the map.
void PrepareScene(const TMapSize& mapSize);
// Creates the cell's missing objects and brings them in line with GameMap. A cell outside
// the grid does nothing; grid data the map does not hold reads as 0. everySide builds the
// sides a raised neighbour hides too (the picture must not change: checked by the tests).
void UpdateCell(std::int32_t x, std::int32_t y, bool everySide = false);
// Every update builds every side, as with everySide (the reference run of orrindel-sim
// --no-index; false in the game).
extern bool EveryRaisedSide;
// Frees the cell's objects, children first; a cell outside the grid does nothing.
void FreeCell(std::int32_t x, std::int32_t y);
void FreeAllCells();
// Used by UpdateCell. CreateFloor builds the cell's Terrain unless it is there (outside the
// grid nothing); the others require it. CreateWall builds side 0-3 (the order of
// SceneCell::Walls) unless it is there; UpdateCell sizes it.
void CreateFloor(std::int32_t x, std::int32_t y);
void CreateWall(std::int32_t x, std::int32_t y, int side);
void CreateDecoration(std::int32_t x, std::int32_t y);

}  // namespace orr
