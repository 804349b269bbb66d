// SPDX-License-Identifier: GPL-3.0-or-later
// A player's view: the top-down camera gliding after its target and the viewer on a panel.
#include <stdexcept>

#include "core/Numbers.h"
#include "core/UMainModule.h"
#include "render/UGameRender.h"

namespace orr {

namespace {

const TVector NoTarget{-1, -1, -1, 0};
// How far the camera keeps from the map's edges: never more than this many cells of the
// outside show beyond an edge.
constexpr float EdgeMargin = 7;
// Cells built beyond the view on every side.
constexpr std::int32_t CellMargin = 2;

TStepHandler StepViewHandler(TGLSceneWindow* window) {
  return StepHandlerOf<&TGLSceneWindow::StepView>(window);
}

// Keeps the camera EdgeMargin cells inside the map along one axis of `size` cells. A map
// narrower than two margins holds the camera at its centre: clamping to the empty range
// [7, size - 7] would throw it between the two bounds at every step.
float ClampCameraAxis(float v, float size) {
  if (size < 2 * EdgeMargin) return size / 2;
  return static_cast<float>(ClampFloat(v, EdgeMargin, size - EdgeMargin));
}

bool MapChanged(const std::string& lastMapIdCode) { return GameMap.MapIdCode != lastMapIdCode; }

}  // namespace

TCellRect CellsUnderView(const TVector& low, const TVector& high, const TMapSize& mapSize) {
  const std::int32_t w = mapSize.X, h = mapSize.Y;
  // A map without cells has nothing to build (the clamps below would give cell 0).
  if (w <= 0 || h <= 0) return {};
  TCellRect cells;
  cells.Left = ClampInt(RoundInt(low.X - 0.5f) - CellMargin, 0, w - 1);
  cells.Top = ClampInt(RoundInt(low.Y - 0.5f) - CellMargin, 0, h - 1);
  cells.Bottom = ClampInt(RoundInt(high.Y - 0.5f) + CellMargin, 0, h - 1);
  cells.Right = ClampInt(RoundInt(high.X - 0.5f) + CellMargin, 0, w - 1);
  return cells;
}

TGLSceneWindow::TGLSceneWindow(TControl* panel) {
  if (DMGameRender == nullptr || panel == nullptr)
    throw std::logic_error("A scene window needs the render module and a panel");
  LogEvent("New OpenGL window spawn requested");
  Camera = NewChildObject<TGLCamera>(DMGameRender->MainScene->Objects());
  Camera->Direction.SetVector({0, 0, -1, 0});  // straight down
  Camera->SetFocalLength(100);

  Viewer = TComponent::Create<TGLSceneViewer>(panel);
  Viewer->SetParent(panel);
  Viewer->SetBounds(0, 0, panel->Width, panel->Height);
  Viewer->SendToBack();  // the panel's other controls (the status image) stay in front
  Viewer->Buffer.ContextOptions.Include(roStencilBuffer);
  Viewer->Buffer.ColorDepth = cd16bits;
  Viewer->Buffer.DepthPrecision = dp16bits;
  Viewer->Buffer.BackgroundColor = 0x000000;
  Viewer->SetCamera(Camera);

  PreviousCells = {};
  CameraTarget = NoTarget;
  LastMapIdCode.clear();
  VisibleCells = {};
  AddStepHandler(StepViewHandler(this));
  LogEvent("New OpenGL window spawned");
}

TGLSceneWindow::~TGLSceneWindow() { RemoveStepHandler(StepViewHandler(this)); }

void TGLSceneWindow::SetCameraTarget(const TVector& point) {
  if (VectorEquals(CameraTarget, NoTarget)) {
    Camera->Position.SetPoint(point.X, point.Y, point.Z);
    CameraPosition = point;
  }
  CameraTarget = point;
}

TCellRect TGLSceneWindow::ComputeVisibleCells() {
  TVector low, high;
  // With the camera looking down, screen corner (0, 0) lies over the smallest X and Y.
  if (!ScreenPointToPlaneZ(*Viewer, 0, 0, 0, low) ||
      !ScreenPointToPlaneZ(*Viewer, static_cast<float>(Viewer->Width), static_cast<float>(Viewer->Height), 0,
                           high))
    return {};  // the camera does not see the ground: nothing to build
  return CellsUnderView(low, high, GameMap.MapSize);
}

void TGLSceneWindow::RefreshVisibleCells() {
  if (MapChanged(LastMapIdCode)) {
    PrepareScene(GameMap.MapSize);
    LastMapIdCode = GameMap.MapIdCode;
  }
  VisibleCells = ComputeVisibleCells();
  // A cell's side is left out where its raised neighbour is built: the cells leaving go
  // first and every floor in view stands before any cell is brought in line, so that each
  // sees its neighbours as they will be.
  for (std::int32_t y = PreviousCells.Top; y <= PreviousCells.Bottom; ++y)
    for (std::int32_t x = PreviousCells.Left; x <= PreviousCells.Right; ++x)
      if (!VisibleCells.Contains(x, y)) FreeCell(x, y);
  for (std::int32_t y = VisibleCells.Top; y <= VisibleCells.Bottom; ++y)
    for (std::int32_t x = VisibleCells.Left; x <= VisibleCells.Right; ++x) CreateFloor(x, y);
  for (std::int32_t y = VisibleCells.Top; y <= VisibleCells.Bottom; ++y)
    for (std::int32_t x = VisibleCells.Left; x <= VisibleCells.Right; ++x) UpdateCell(x, y);
  PreviousCells = VisibleCells;
}

void TGLSceneWindow::StepView() {
  Viewer->Buffer.HoldNotifications();
  if (MapChanged(LastMapIdCode)) {
    PrepareScene(GameMap.MapSize);
    LastMapIdCode = GameMap.MapIdCode;
  }
  // Each step the camera covers this share of the way left to its target.
  constexpr float GlideDivisor = 20;
  TVector p;
  p.X = CameraPosition.X + (CameraTarget.X - CameraPosition.X) / GlideDivisor;
  p.Y = CameraPosition.Y + (CameraTarget.Y - CameraPosition.Y) / GlideDivisor;
  p.Z = CameraPosition.Z + (CameraTarget.Z - CameraPosition.Z) / GlideDivisor;
  p.W = 0;
  const float w = static_cast<float>(GameMap.MapSize.X), h = static_cast<float>(GameMap.MapSize.Y);
  p.X = ClampCameraAxis(p.X, w);
  p.Y = ClampCameraAxis(p.Y, h);

  // A new cell under the camera: rebuild while the camera still stands where it was.
  if (RoundInt(p.X) != RoundInt(CameraPosition.X) || RoundInt(p.Y) != RoundInt(CameraPosition.Y))
    RefreshVisibleCells();
  CameraPosition = p;
  Camera->Position.SetPoint(p.X, p.Y, p.Z);
  if (SceneRefreshPending) RefreshVisibleCells();
  Viewer->Buffer.ReleaseNotifications();
  Viewer->Invalidate();
}

}  // namespace orr
