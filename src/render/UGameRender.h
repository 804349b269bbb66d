// SPDX-License-Identifier: GPL-3.0-or-later
// The render module: the 3D scene, the tile material libraries and the frame progress that
// feeds the game clock. The scene cells built from the map (SceneCells.h) and the scene
// windows that follow a player (SceneWindow.h) are included with it.
//
// World frame: map cell (x, y) covers world X from x to x+1 and Y from y to y+1; Z is
// height and points towards the top-down camera. Everything here runs on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/GameSteps.h"
#include "platform/Classes.h"
#include "platform/TimeSource.h"
#include "raster/TBitmap32.h"
#include "render/SceneCells.h"
#include "render/SceneWindow.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLCadencer.h"
#include "scene/GLMaterial.h"
#include "scene/GLObjects.h"
#include "scene/GLScene.h"

namespace orr {

// ---- Frame progress ------------------------------------------------------------------------
// The render module feeds the game clock (core/GameSteps.h) with the time its cadencer
// measures; a frame is the steps one progress event runs.

// Runs `count` steps as a frame of progress does (without the clock). A scene refresh
// pending when a step starts ends with that step; one raised during a step lasts through
// the next: the steps, not the frames, decide which steps see it.
void RunFrameSteps(int count);

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

}  // namespace orr
