// The render module: the 3D scene, the tile material libraries, the scene cells built from
// the map, the scene windows that follow a player, and the frame progress that feeds the
// game clock.
//
// World frame: map cell (x, y) covers world X from x to x+1 and Y from y to y+1; Z is
// height and points towards the top-down camera. Everything here runs on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GameSteps.h"
#include "map/UMapModule.h"
#include "platform/Classes.h"
#include "platform/Forms.h"
#include "platform/TimeSource.h"
#include "raster/TBitmap32.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLCadencer.h"
#include "scene/GLMaterial.h"
#include "scene/GLObjects.h"
#include "scene/GLScene.h"
#include "scene/GLViewer.h"

namespace orr {

// One-shot: scene windows rebuild their visible cells while it is raised. A frame of
// progress that starts with it raised lowers it at its end.
extern bool SceneRefreshPending;

// ---- Frame progress ------------------------------------------------------------------------
// The render module feeds the game clock (core/GameSteps.h) with the time its cadencer
// measures; a frame is the steps one progress event runs.

// Runs `count` steps as one frame of progress does (without the clock): a scene refresh
// pending when the frame starts ends with it. The simulator runs one step per frame.
void RunFrameSteps(int count);

// ---- Scene cells ---------------------------------------------------------------------------

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

// ---- The module ----------------------------------------------------------------------------

// Pixel size of one atlas tile, width then height.
struct TTileSize {
  std::int32_t X, Y;
};
extern const TTileSize TileSize;

class TDMGameRender : public TDataModule {
 public:
  // The cadencer measures `timeSource` (the performance counter in the game).
  explicit TDMGameRender(TComponent* owner, TTimeSource& timeSource = SystemTimeSource());
  ~TDMGameRender() override;

  // Components, released with the module after its destruction handler.
  std::unique_ptr<TGLScene> MainScene;
  TGLLightSource* GLLightSource1 = nullptr;  // children of MainScene
  TGLLightSource* GLLightSource2 = nullptr;  // moved for each map by PrepareScene
  std::unique_ptr<TGLMaterialLibrary> TerrainLib;
  std::unique_ptr<TGLMaterialLibrary> WallLib;
  std::unique_ptr<TGLMaterialLibrary> DecoLib;
  std::unique_ptr<TGLCadencer> SceneProgressor;
  std::unique_ptr<TGLWindowsBitmapFont> WindowsBitmapFontLib;

  // The tile atlases as loaded (empty when a load failed).
  TBitmap32 TerrainAtlas;
  TBitmap32 DecorationAtlas;
  // Black unlit planes framing the map: far, right, near and left edge. Owned by the scene.
  std::array<TGLPlane*, 4> BorderPlanes{};

  // The cadencer's progress event: hands the time to the game clock, which runs one step
  // per whole 0.01 s received.
  static void SceneProgressorProgress(TGLCadencer* sender, double deltaTime, double newTime);

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;

 private:
  void BuildTileLibraries();
  void CreateBorderPlanes();
};

extern TDMGameRender* DMGameRender;

// ---- Scene window --------------------------------------------------------------------------

// Inclusive cell rectangle; (0, 0, -1, -1) is empty.
struct TCellRect {
  std::int32_t Left = 0, Top = 0, Right = -1, Bottom = -1;
  bool Contains(std::int32_t x, std::int32_t y) const {
    return Left <= x && x <= Right && Top <= y && y <= Bottom;
  }
  bool operator==(const TCellRect&) const = default;
};

// The cells under a view whose ground corners are `low` (smallest X and Y) and `high`,
// widened by two cells on every side and cut to a W x H map. Empty on a map without cells.
TCellRect CellsUnderView(const TVector& low, const TVector& high, const TMapSize& mapSize);

// One player's view: a camera looking straight down, following a target point, and a
// viewer on a panel of the game window. Registers its step handler on creation and
// unregisters it when destroyed. The viewer belongs to the panel, the camera to the scene.
class TGLSceneWindow {
 public:
  explicit TGLSceneWindow(TControl* panel);
  ~TGLSceneWindow();
  TGLSceneWindow(const TGLSceneWindow&) = delete;
  TGLSceneWindow& operator=(const TGLSceneWindow&) = delete;

  TCellRect VisibleCells;   // kept built for this window
  TCellRect PreviousCells;  // VisibleCells of the previous refresh
  std::string LastMapIdCode;
  TVector CameraTarget{-1, -1, -1, 0};  // (-1, -1, -1, 0): no target yet
  TVector CameraPosition{0, 0, 0, 0};
  TGLSceneViewer* Viewer = nullptr;
  TGLCamera* Camera = nullptr;

  // The first target puts the camera on it at once; later ones are glided to.
  void SetCameraTarget(const TVector& point);
  void RefreshVisibleCells();
  TCellRect ComputeVisibleCells();
  // The registered step handler: glide, rebuild cells on a new cell or a refresh, repaint.
  void StepView();
};

}  // namespace orr
