// SPDX-License-Identifier: GPL-3.0-or-later
// What the entities use of the render module, filled in by the game session (or a test).
#pragma once

#include <cstdint>

#include <functional>
#include <memory>
#include <string>

#include "core/Numbers.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLMaterial.h"
#include "scene/GLScene.h"

namespace orr {

class TPanel;
class TGLSceneViewer;
class TBitmap32;

// One player's view of the map: the scene window the local player moves its camera with.
class TPlayerView {
 public:
  virtual ~TPlayerView() = default;
  // Point the camera glides to (the first one is taken at once).
  virtual void SetCameraTarget(const TVector& point) = 0;
  virtual void RefreshVisibleCells() = 0;
  // The viewer control (parent of the status image; its frame counter feeds the frame-rate
  // text); nullptr when the view has none.
  virtual TGLSceneViewer* Viewer() = 0;
  // A hash of the scene cells the view keeps built (its cell range, and which floors,
  // decorations and walls stand there): replays check it, since rays meet those walls.
  virtual std::uint32_t BuiltCellsDigest() { return 0; }
};

// What the entities use of the render module. The game session fills it from the render
// module's globals; tests fill it with a plain scene. (Entities put their step handlers on
// the game clock, core/GameSteps.h, themselves.)
struct TEntityServices {
  TGLScene* Scene = nullptr;                    // the world's scene (MainScene)
  TGLMaterialLibrary* StaticSprites = nullptr;  // item sprites by file name
  TGLWindowsBitmapFont* Font = nullptr;         // font of the pick-up texts
  // Animated sprite library of a folder name (case-insensitive), nullptr when missing.
  std::function<TGLMaterialLibrary*(const std::string& folder)> AniSprites;
  // A loaded 2D bitmap by file name, nullptr when missing.
  std::function<const TBitmap32*(const std::string& name)> Bitmap;
  // Makes the scene window of a local player on a panel.
  std::function<std::unique_ptr<TPlayerView>(TPanel* panel)> MakeView;
};
extern TEntityServices EntityServices;

}  // namespace orr
