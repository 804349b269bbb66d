// SPDX-License-Identifier: GPL-3.0-or-later
// The game's view drawn through the scene's draw index must be the picture the whole walk
// draws. Runs the game's own start-up on a map in a real window (under Xvfb), then, with
// the player put in several places (the middle, near the edges, onto an item so that a
// pick-up text rises), runs steps so that the camera glides there, cells are rebuilt and
// creatures walk in and out of view, and paints the view twice: from the index and walking
// every object. The two pictures must be equal to the pixel and made of the same objects
// (many draw nothing that shows: the creatures' hit cylinders are clear), and the index
// must leave most of a large map's objects out. A third picture, with the sides of raised
// cells that their neighbours hide built too, may differ only in lines (seams), never in
// an area, and on a large map must draw more objects. Maps narrower than the view (one
// cell wide or high) are checked too: there the index may take most objects and a view
// may hold no hidden side.
//
//   orrindel-drawcheck GAME_FOLDER MAP.orx [gl1|es3]
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "../support/GlSnapshot.h"
#include "app/UProgram.h"
#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "session/UGameModule.h"
#include "render/UGameRender.h"
#include "scene/backend/RenderBackend.h"
#include "scene/GLViewer.h"

namespace orr {
namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  ++failures;
}

struct TDrawing {
  TBitmap32 Picture;
  int Drawn = 0, TopLevel = 0;
};

TDrawing Paint(TForm& form, test::TGlSnapshot& snapshot, TGLSceneViewer& viewer, bool indexed) {
  DMGameRender->MainScene->IndexedDrawing = indexed;
  form.PaintAll();
  TDrawing d;
  d.Picture = snapshot.Picture;
  d.Drawn = viewer.Buffer.ObjectsDrawn();
  d.TopLevel = viewer.Buffer.TopLevelTaken();
  DMGameRender->MainScene->IndexedDrawing = true;
  return d;
}

// Every built cell again, with (or without) the sides its raised neighbours hide.
void UpdateBuiltCells(bool everySide) {
  for (std::size_t x = 0; x < SceneCells.size(); ++x)
    for (std::size_t y = 0; y < SceneCells[x].size(); ++y)
      if (SceneCells[x][y].Terrain != nullptr)
        UpdateCell(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), everySide);
}

int Differing(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
  int n = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) n += a.Pixel(x, y) != b.Pixel(x, y);
  return n;
}

// Pixels that differ together with all eight around them: an area, not a line. Sides a
// raised neighbour hides can still win a line of pixels along a seam between two floors
// (with the 16-bit depth buffer their top edge and the floor's edge get the same depth);
// a side left out that shows would leave whole faces.
int DifferingAreas(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
  auto differs = [&](int x, int y) { return a.Pixel(x, y) != b.Pixel(x, y); };
  int n = 0;
  for (int y = 1; y + 1 < a.Height(); ++y)
    for (int x = 1; x + 1 < a.Width(); ++x) {
      bool all = true;
      for (int dy = -1; dy <= 1 && all; ++dy)
        for (int dx = -1; dx <= 1 && all; ++dx) all = differs(x + dx, y + dy);
      n += all;
    }
  return n;
}

void Play(TApplication& app) {
  app.ProcessMessages();
  if (app.Terminated() || PlayerRecords.empty() || PlayerRecords.front()->Player == nullptr) {
    Check(false, "the session did not start");
    return;
  }
  if (LiveRenderer() == nullptr || LiveRenderer()->Kind() != RequestedRenderer()) {
    Check(false,
          std::string("the window did not get the ") + RendererKindName(RequestedRenderer()) + " renderer");
    return;
  }
  TForm& form = *app.MainForm;
  form.Show();
  auto* snapshot = TComponent::Create<test::TGlSnapshot>(&form, form.Width, form.Height);
  snapshot->SetParent(&form);  // painted last: reads what the view drew
  TGLSceneViewer* viewer = DMGameModule->LocalPlayerViewer();
  TBasicPlayer* player = PlayerRecords.front()->Player;
  const int w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  const bool large = w >= 32 && h >= 32;
  const int topLevel = DMGameRender->MainScene->Objects()->Count();
  auto within = [](float v, int side) { return std::clamp(v, 0.5f, side - 0.5f); };

  std::vector<std::pair<std::string, TVector>> places = {
      {"middle", {w / 2.0f, h / 2.0f, 0, 0}},
      {"near the left edge", {within(3.5f, w), h / 3.0f, 0, 0}},
      {"near the top right corner", {within(w - 4.5f, w), within(h - 4.5f, h), 0, 0}}};
  for (const auto& e : MapEntities)
    if (dynamic_cast<TItem*>(e.get()) != nullptr) {
      places.push_back({"on an item", e->GetPosition()});
      break;
    }
  for (const auto& [where, at] : places) {
    TVector p = player->GetPosition();
    p.X = at.X;
    p.Y = at.Y;
    player->SetPosition(p);
    for (int steps : {3, 150}) {  // gliding there, then there
      RunFrameSteps(steps);
      const TDrawing indexed = Paint(form, *snapshot, *viewer, true);
      const TDrawing plain = Paint(form, *snapshot, *viewer, false);
      UpdateBuiltCells(true);
      const TDrawing everySide = Paint(form, *snapshot, *viewer, true);
      UpdateBuiltCells(false);
      const std::string at = where + " after " + std::to_string(steps) + " steps";
      Check(DifferingAreas(indexed.Picture, everySide.Picture) == 0,
            at + ": " + std::to_string(DifferingAreas(indexed.Picture, everySide.Picture)) +
                " pixels in areas differ from the picture with the hidden sides built");
      Check(!large || indexed.Drawn < everySide.Drawn, at + ": no hidden side was left out");
      Check(Differing(indexed.Picture, plain.Picture) == 0,
            at + ": " + std::to_string(Differing(indexed.Picture, plain.Picture)) + " pixels differ");
      Check(indexed.Drawn > 0 && indexed.Drawn == plain.Drawn,
            at + ": drew " + std::to_string(indexed.Drawn) + " objects, the whole walk " +
                std::to_string(plain.Drawn));
      Check(!large || indexed.TopLevel * 2 < topLevel, at + ": took " + std::to_string(indexed.TopLevel) +
                                                           " of " + std::to_string(topLevel) +
                                                           " top-level objects");
      std::printf(
          "%s: %d objects drawn (whole walk %d; %d with the hidden sides, %d pixels apart), "
          "%d of %d top-level objects taken\n",
          at.c_str(), indexed.Drawn, plain.Drawn, everySide.Drawn,
          Differing(indexed.Picture, everySide.Picture), indexed.TopLevel, plain.TopLevel);
    }
  }
}

}  // namespace
}  // namespace orr

int main(int argc, char** argv) {
  using namespace orr;
  TRendererKind renderer = RequestedRenderer();
  if ((argc != 3 && argc != 4) || (argc == 4 && !ParseRendererKind(argv[3], renderer))) {
    std::fprintf(stderr, "usage: orrindel-drawcheck GAME_FOLDER MAP.orx [gl1|es3]\n");
    return 2;
  }
  RequestRenderer(renderer);
  SetExecutableFileName(std::string(argv[1]) + "/orrindel");
  LogSaveEnabled = false;
  EpisodeMapOverride = argv[2];
  // The game's creation steps with a fixed seed and a silent sound device.
  const std::vector<TCreationStep> steps = GameCreationSteps(ReproducibleStart(7));
  const int code = RunProgram(CreateSdlBackend(), steps, Play);
  if (code != 0) return code;
  return failures == 0 ? 0 : 1;
}
