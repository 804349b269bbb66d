// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the shipped episode through a scene window in a real window (run under Xvfb):
// the graphics and render modules load the real game folder, the window follows the
// player's start, the fixed steps run, and the painted view is checked and saved.
//
//   render_episode_view <game folder> <picture.bmp>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../support/GlSnapshot.h"
#include "core/UMainModule.h"
#include "map/UMapModule.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "raster/TBitmap32.h"
#include "render/UGameRender.h"
#include "render/UGraphicsModule.h"

namespace orr {
namespace {

const int ViewWidth = 640, ViewHeight = 480;

using TSnapshot = test::TGlSnapshot;

TVector PlayerStart() {
  for (const auto& spawn : GameMap.EntitySpawns)
    if (spawn.Kind == 2 && spawn.Index == 0 && spawn.Position.X >= 0 && spawn.Position.Y >= 0)
      return {spawn.Position.X + 0.5f, spawn.Position.Y + 0.5f, 15, 0};
  return {GameMap.MapSize.X / 2.0f, GameMap.MapSize.Y / 2.0f, 15, 0};
}

int Fail(const char* what) {
  std::fprintf(stderr, "FAIL: %s\n", what);
  return 1;
}

int Run(const std::string& gameFolder, const std::string& picturePath) {
  TApplication app(CreateSdlBackend());
  std::string error;
  if (!app.Initialize(error)) {
    std::fprintf(stderr, "no display: %s\n", error.c_str());
    return 2;
  }
  WorkFolder = gameFolder + "/";
  app.CreateForm(DMGraphicsModule);
  if (LoadMap(WorkFolder + "Episodes/Test/Promo4.orx") != TMapLoadResult::Loaded)
    return Fail("the episode does not load");
  app.CreateForm(DMGameRender);
  TForm* form = nullptr;
  app.CreateForm(form);
  form->PlaceWindow(0, 0, ViewWidth, ViewHeight);
  auto* panel = TComponent::Create<TPanel>(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, ViewWidth, ViewHeight);
  auto* snapshot = TComponent::Create<TSnapshot>(form, ViewWidth, ViewHeight);
  snapshot->SetParent(form);

  TGLSceneWindow window(panel);
  window.SetCameraTarget(PlayerStart());
  window.RefreshVisibleCells();
  GameHalted = false;
  TDMGameRender::SceneProgressorProgress(nullptr, 0.5, 0);  // 50 steps

  form->Show();
  form->PaintAll();
  if (window.Viewer->Buffer.FrameCount() != 1) return Fail("the viewer did not count its frame");
  const TBitmap32& got = snapshot->Picture;
  got.SaveToFile(picturePath);
  std::printf("wrote %s; %d objects drawn; cells %d..%d x %d..%d\n", picturePath.c_str(),
              window.Viewer->Buffer.ObjectsDrawn(), window.VisibleCells.Left, window.VisibleCells.Right,
              window.VisibleCells.Top, window.VisibleCells.Bottom);

  // The view lies inside the map: the black border planes and the black background
  // may show only a little, and the tiles' textures show many colours.
  int black = 0;
  std::set<TColor32> colours;
  for (int y = 0; y < ViewHeight; ++y)
    for (int x = 0; x < ViewWidth; ++x) {
      const TColor32 c = got.Pixel(x, y);
      if ((c & 0xFFFFFF) == 0) ++black;
      colours.insert(c);
    }
  std::printf("black pixels: %d of %d; distinct colours: %zu\n", black, ViewWidth * ViewHeight,
              colours.size());
  if (black > ViewWidth * ViewHeight / 10) return Fail("more than a tenth of the view is black");
  if (colours.size() < 200) return Fail("the view shows too few colours for textured tiles");
  if (window.Viewer->Buffer.ObjectsDrawn() < 100) return Fail("too few scene objects drawn");
  return 0;
}

}  // namespace
}  // namespace orr

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_episode_view <game folder> <picture.bmp>\n");
    return 2;
  }
  try {
    return orr::Run(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
}
