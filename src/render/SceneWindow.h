// SPDX-License-Identifier: GPL-3.0-or-later
// The scene window: one player's view, a camera looking straight down that follows a
// target point, and a viewer on a panel of the game window.
//
// World frame: map cell (x, y) covers world X from x to x+1 and Y from y to y+1; Z is
// height and points towards the top-down camera. Everything here runs on the main thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/Numbers.h"
#include "map/UMapModule.h"
#include "platform/Forms.h"
#include "scene/GLScene.h"
#include "scene/GLViewer.h"

namespace orr {

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
