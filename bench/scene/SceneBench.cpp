// SPDX-License-Identifier: GPL-3.0-or-later
// Ray casts and frames through a scene shaped like the game's view: 40 x 30 cells of
// floor planes, a third of them raised with four wall planes, 200 entities each with an
// anchor, a sprite plane and an invisible hit cylinder; camera 15 above, focal length 100.
//
// BM_Frame_GameScene paints it through the viewer, with the fixed-function renderer backend
// (gl1) and the shader one (es3); BM_Frame_IdealBaseline draws the same textured triangles
// (those the viewer's culling keeps) from prebuilt world-space vertex arrays, one draw call
// per texture and state, as few calls as OpenGL 1.x allows, in the gl1 window. Each runs in
// a 1024 x 768 window (run under Xvfb with Mesa) of its backend and ends with Finish.
//
// The LargeMap cases do the same for a scene shaped like the game on a generated 256 x 256
// map with 1,000 creatures and 1,000 items: the cells around the camera built (as the
// scene window builds them), the entities spread over the whole map, each creature also
// with its hidden laser and hidden top-level marker. BM_Frame_LargeMapWholeWalk paints it
// walking every object, without the scene's draw index.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "platform/Application.h"
#include "platform/Forms.h"
#include "raster/TBitmap32.h"
#include "scene/GLViewer.h"
#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

const int TileKinds = 8;

// What a benchmark scene holds: the map, its entities, and the cells built around the
// camera (at the map's centre).
struct TShape {
  int MapW, MapH, Entities;
  int CellsW, CellsH;
  bool Creatures;  // every other entity with a hidden laser and a hidden marker
};
const TShape GameShape{40, 30, 200, 40, 30, false};
const TShape LargeShape{256, 256, 2000, 28, 22, true};
const int WindowW = 1024, WindowH = 768;

// A fixed sequence of placements (same every run).
std::uint32_t benchSeed = 12345;
int RandomInt(int n) {
  benchSeed = benchSeed * 134775813u + 1u;
  return int((std::uint64_t(benchSeed) * std::uint32_t(n)) >> 32);
}

struct TGameScene {
  TGLScene Scene;
  TGLMaterialLibrary TerrainLib, WallLib, SpriteLib;
  TGLCamera* Camera = nullptr;
  std::vector<TGLDummyCube*> Anchors;
  std::vector<TGLCylinder*> HitCylinders;
};

TBitmap32 TileBitmap(int n, bool keyed) {
  TBitmap32 b(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      unsigned v = (x * (n + 3) + y * (7 - n % 5)) & 255;
      b.SetPixel(x, y, Color32(v, 255 - v, (v * n) & 255));
    }
  if (keyed) {
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        if (std::abs(x - 16) + std::abs(y - 16) > 12) b.SetPixel(x, y, Color32(255, 0, 255));
  }
  return b;
}

void FillLibrary(TGLMaterialLibrary& lib, bool keyed) {
  for (int n = 0; n < TileKinds; ++n) {
    TGLLibMaterial* m = lib.Materials.Add();
    m->SetName(std::to_string(n));
    m->Material.Texture.AssignFromBitmap(TileBitmap(n, keyed));
    m->Material.Texture.SetEnabled(true);
    m->Material.Texture.SetTextureMode(tmModulate);
    if (keyed) {
      m->Material.Texture.SetImageAlpha(tiaTopLeftPointColorTransparent);
      m->Material.Texture.SetMagFilter(maNearest);
      m->Material.Texture.SetMinFilter(miNearest);
      m->Material.BlendingMode = bmTransparency;
    }
  }
}

std::unique_ptr<TGameScene> BuildGameScene(const TShape& shape) {
  auto g = std::make_unique<TGameScene>();
  TGLScene& scene = g->Scene;
  scene.VisibilityCulling = vcObjectBased;
  const TVector lightPos[2] = {{-15, -15, 50, 1}, {100, 100, -10, 1}};
  const TVector lightDiffuse[2] = {{0.92f, 0.78f, 0.62f, 1}, {0.749f, 0.847f, 0.847f, 1}};
  for (int i = 0; i < 2; ++i) {
    auto* light = NewChildObject<TGLLightSource>(scene.Objects());
    light->LightStyle = lsOmni;
    light->ConstAttenuation = 0.03f;
    light->SpotCutOff = 180;
    light->Diffuse = lightDiffuse[i];
    light->Position.SetVector(lightPos[i]);
  }
  FillLibrary(g->TerrainLib, false);
  FillLibrary(g->WallLib, false);
  FillLibrary(g->SpriteLib, true);
  const int cellX0 = (shape.MapW - shape.CellsW) / 2, cellY0 = (shape.MapH - shape.CellsH) / 2;
  for (int y = cellY0; y < cellY0 + shape.CellsH; ++y)
    for (int x = cellX0; x < cellX0 + shape.CellsW; ++x) {
      auto* floor = NewChildObject<TGLPlane>(scene.Objects());
      floor->Material.SetMaterialLibrary(&g->TerrainLib);
      floor->Scale.SetVector({1.001f, 1.001f, 1, 0});
      floor->Position.SetPoint(x + 0.5f, y + 0.5f, 0);
      std::string tile = std::to_string((x * 7 + y * 3) % TileKinds);
      floor->Material.SetLibMaterialName(tile);
      if ((x * 5 + y * 11) % 3 != 0) continue;
      float h = float(1 + (x + y) % 4);
      floor->Position.SetZ(h);
      for (int k = 0; k < 4; ++k) {
        auto* wall = NewChildObject<TGLPlane>(floor);
        wall->Material.SetMaterialLibrary(&g->WallLib);
        wall->Direction.SetY(1);
        wall->Direction.SetZ(0);
        wall->RollBy(180);
        const float px[4] = {0, 0.5f, 0, -0.5f}, py[4] = {0.5f, 0, -0.5f, 0};
        wall->Position.SetPoint(px[k], py[k], -h / 2);
        wall->SetTurnAngle(-90.0f * k);
        wall->SetHeight(h);
        wall->SetYTiles(h);
        wall->Material.SetLibMaterialName(tile);
      }
    }
  benchSeed = 12345;
  for (int i = 0; i < shape.Entities; ++i) {
    auto* anchor = NewChildObject<TGLDummyCube>(scene.Objects());
    anchor->Position.SetPoint(float(RandomInt(shape.MapW)) + 0.5f, float(RandomInt(shape.MapH)) + 0.5f, 0);
    anchor->SetRollAngle(float(RandomInt(360)));
    auto* sprite = NewChildObject<TGLPlane>(anchor);
    sprite->Position.SetZ(0.5f);
    sprite->Material.SetMaterialLibrary(&g->SpriteLib);
    sprite->Material.SetLibMaterialName(std::to_string(i % TileKinds));
    auto* cyl = NewChildObject<TGLCylinder>(anchor);
    cyl->SetParts({cySides, cyTop});
    cyl->SetHeight(0.5f);
    cyl->SetTopRadius(0.4f);
    cyl->SetBottomRadius(0.4f);
    cyl->SetNormals(nsFlat);
    cyl->SetSlices(6);
    cyl->Position.SetZ(0.25f);
    cyl->PitchBy(270);
    cyl->Material.FrontProperties.Diffuse.W = 0;
    cyl->Material.BlendingMode = bmTransparency;
    g->Anchors.push_back(anchor);
    g->HitCylinders.push_back(cyl);
    if (shape.Creatures && i % 2 == 0) {
      auto* laser = NewChildObject<TGLLines>(anchor);
      laser->AddNode(0, 0.4f, 0);
      laser->AddNode(0, 5, 0);
      laser->NodesAspect = lnaInvisible;
      laser->Position.SetZ(0.9f);
      laser->SetVisible(false);
      auto* marker = NewChildObject<TGLCube>(scene.Objects());
      marker->Position.SetVector(anchor->Position.AsVector());
      marker->Scale.SetPoint(0.3f, 0.3f, 0.1f);
      marker->SetVisible(false);
    }
  }
  g->Camera = NewChildObject<TGLCamera>(scene.Objects());
  g->Camera->SetFocalLength(100);
  g->Camera->Position.SetPoint(shape.MapW / 2.0f, shape.MapH / 2.0f, 15);
  return g;
}

// The entities' forward rays: from the front of the body at half height, 5 units ahead.
void BM_CastRay_GameScene(benchmark::State& state) {
  auto g = BuildGameScene(GameShape);
  std::vector<std::pair<TVector, TVector>> rays;
  for (TGLDummyCube* a : g->Anchors) {
    TVector start = VectorAdd(a->AbsolutePosition(), a->LocalToAbsolute({0, 0.41f, 0.25f, 0}));
    start.W = 1;
    rays.push_back({start, a->LocalToAbsolute({0, 5, 0, 0})});
  }
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    const auto& r = rays[i++ % rays.size()];
    TVector p;
    hits += g->Scene.RayCastIntersect(r.first, r.second, &p) != nullptr;
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["hit_share"] = double(hits) / double(std::max<size_t>(i, 1));
}
BENCHMARK(BM_CastRay_GameScene);

// --- frames -----------------------------------------------------------------------------

// Draws prebuilt batches: world-space triangles grouped by texture and blending.
class TIdealBaseline : public TControl {
 public:
  TIdealBaseline(TComponent* owner, TGameScene& game) : TControl(owner), game_(game) {}

  struct TBatch {
    TGLTexture* Texture = nullptr;  // nullptr: untextured
    TGLBlendingMode Blending = bmOpaque;
    TVector Color{1, 1, 1, 1};
    std::vector<float> Vertices, TexCoords, Normals;
  };
  std::vector<TBatch> Batches;
  int Triangles = 0;

  void Build(int width, int height) {
    TFrustumSize f = PerspectiveFor(*game_.Camera, width, height);
    TMatrix vp = MatrixMultiply(CameraViewMatrix(*game_.Camera), ProjectionMatrix(f));
    const TViewVolume volume = ViewVolumeOf(vp);
    const TVector* planes = volume.Planes;
    std::map<std::pair<TGLTexture*, int>, size_t> index;
    auto batchFor = [&](TGLMaterial& m) -> TBatch& {
      TGLMaterial& e = m.Effective();
      TGLTexture* t = e.Texture.Enabled() ? &e.Texture : nullptr;
      auto key = std::make_pair(t, int(e.BlendingMode));
      auto it = index.find(key);
      if (it == index.end()) {
        it = index.emplace(key, Batches.size()).first;
        Batches.push_back({t, e.BlendingMode, e.FrontProperties.Diffuse, {}, {}, {}});
      }
      return Batches[it->second];
    };
    auto visible = [&](TGLBaseSceneObject& o) {
      const TMatrix& m = o.AbsoluteMatrix();
      float s = std::max({VectorLength(m.Row[0]), VectorLength(m.Row[1]), VectorLength(m.Row[2])});
      for (int k = 0; k < 6; ++k)
        if (VectorDot(planes[k], m.Row[3]) + planes[k].W < -o.BoundingRadius() * s) return false;
      return true;
    };
    auto emit = [&](TBatch& b, TGLBaseSceneObject& o, TVector p, float u, float v, TVector n) {
      p.W = 1;
      TVector w = o.LocalToAbsolute(p);
      TVector wn = VectorNormalize(o.LocalToAbsolute(n));
      b.Vertices.insert(b.Vertices.end(), {w.X, w.Y, w.Z});
      b.TexCoords.insert(b.TexCoords.end(), {u, v});
      b.Normals.insert(b.Normals.end(), {wn.X, wn.Y, wn.Z});
    };
    std::vector<TGLBaseSceneObject*> stack{game_.Scene.Objects()};
    while (!stack.empty()) {
      TGLBaseSceneObject* o = stack.back();
      stack.pop_back();
      for (int i = o->Count() - 1; i >= 0; --i) stack.push_back(o->Children(i));
      if (!o->Visible() || !visible(*o)) continue;
      if (auto* plane = dynamic_cast<TGLPlane*>(o)) {
        TBatch& b = batchFor(plane->Material);
        float hw = plane->Width() / 2, hh = plane->Height() / 2;
        float xt = plane->XTiles(), yt = plane->YTiles();
        TVector n{0, 0, 1, 0};
        TVector c[4] = {{-hw, -hh, 0, 1}, {hw, -hh, 0, 1}, {hw, hh, 0, 1}, {-hw, hh, 0, 1}};
        float uv[4][2] = {{0, 0}, {xt, 0}, {xt, yt}, {0, yt}};
        for (int k : {0, 1, 2, 0, 2, 3}) emit(b, *o, c[k], uv[k][0], uv[k][1], n);
        Triangles += 2;
      } else if (auto* cyl = dynamic_cast<TGLCylinder*>(o)) {
        TBatch& b = batchFor(cyl->Material);
        int s = cyl->Slices();
        float h = cyl->Height() / 2, r = cyl->TopRadius();
        for (int i = 0; i < s; ++i) {
          float a0 = 2 * float(M_PI) * i / s, a1 = 2 * float(M_PI) * (i + 1) / s;
          for (int st = 0; st < cyl->Stacks(); ++st) {
            float y0 = -h + 2 * h * st / cyl->Stacks(), y1 = -h + 2 * h * (st + 1) / cyl->Stacks();
            TVector q[4] = {{r * std::cos(a0), y0, -r * std::sin(a0), 1},
                            {r * std::cos(a1), y0, -r * std::sin(a1), 1},
                            {r * std::cos(a1), y1, -r * std::sin(a1), 1},
                            {r * std::cos(a0), y1, -r * std::sin(a0), 1}};
            TVector n{std::cos(a0), 0, -std::sin(a0), 0};
            for (int k : {0, 1, 2, 0, 2, 3}) emit(b, *o, q[k], 0, 0, n);
            Triangles += 2;
          }
          TVector t[3] = {{0, h, 0, 1},
                          {r * std::cos(a0), h, -r * std::sin(a0), 1},
                          {r * std::cos(a1), h, -r * std::sin(a1), 1}};
          for (int k = 0; k < 3; ++k) emit(b, *o, t[k], 0, 0, {0, 1, 0, 0});
          Triangles += 1;
        }
      }
    }
    // Opaque batches first, blended afterwards.
    std::stable_sort(Batches.begin(), Batches.end(), [](const TBatch& a, const TBatch& b) {
      return a.Blending == bmOpaque && b.Blending != bmOpaque;
    });
  }

  void Paint(TPaintContext& context) override {
    TRect r = ScreenRect();
    context.SetViewport(r.Left, r.Top, r.Width(), r.Height());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    TFrustumSize f = PerspectiveFor(*game_.Camera, r.Width(), r.Height());
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(ProjectionMatrix(f).Data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(CameraViewMatrix(*game_.Camera).Data());
    int light = 0;
    for (TGLLightSource* l : game_.Scene.Lights()) {
      TVector p = l->AbsolutePosition();
      glLightfv(GL_LIGHT0 + light, GL_POSITION, &p.X);
      glLightfv(GL_LIGHT0 + light, GL_DIFFUSE, &l->Diffuse.X);
      glLightf(GL_LIGHT0 + light, GL_CONSTANT_ATTENUATION, l->ConstAttenuation);
      glEnable(GL_LIGHT0 + light++);
    }
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    TGLRenderContext scratch;  // only to upload textures through the engine
    scratch.Renderer = context.Renderer();
    for (TBatch& b : Batches) {
      if (b.Texture != nullptr) {
        if (b.Texture->Handle() == 0) b.Texture->Apply(scratch);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, b.Texture->Handle());
      } else {
        glDisable(GL_TEXTURE_2D);
      }
      if (b.Blending == bmOpaque) {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
      } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0);
      }
      glColor4fv(&b.Color.X);
      glVertexPointer(3, GL_FLOAT, 0, b.Vertices.data());
      glNormalPointer(GL_FLOAT, 0, b.Normals.data());
      glTexCoordPointer(2, GL_FLOAT, 0, b.TexCoords.data());
      glDrawArrays(GL_TRIANGLES, 0, GLsizei(b.Vertices.size() / 3));
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_COLOR_MATERIAL);
    for (int i = 0; i < light; ++i) glDisable(GL_LIGHT0 + i);
    context.ResetViewport();
  }

 private:
  TGameScene& game_;
};

// One scene with its viewer and its ideal baseline, both covering the window.
struct TCase {
  std::unique_ptr<TGameScene> Game;
  TGLSceneViewer* Viewer = nullptr;
  TIdealBaseline* Baseline = nullptr;
};

struct TWindow {
  std::unique_ptr<TApplication> App;
  TForm* Form = nullptr;
  TCase Game, Large;
  std::string Error;
};

void AddCase(TForm* form, TCase& c, const TShape& shape) {
  c.Game = BuildGameScene(shape);
  c.Viewer = TComponent::Create<TGLSceneViewer>(form);
  c.Viewer->SetParent(form);
  c.Viewer->SetBounds(0, 0, WindowW, WindowH);
  c.Viewer->Buffer.ContextOptions.Include(roStencilBuffer);
  c.Viewer->SetCamera(c.Game->Camera);
  c.Baseline = TComponent::Create<TIdealBaseline>(form, *c.Game);
  c.Baseline->SetParent(form);
  c.Baseline->SetBounds(0, 0, WindowW, WindowH);
  c.Baseline->Build(WindowW, WindowH);
}

// The window of one renderer backend; asking for the other closes it first (one window,
// one context at a time).
TWindow& Window(TRendererKind kind) {
  static std::unique_ptr<TWindow> current;
  static TRendererKind currentKind = TRendererKind::Gl1;
  if (current != nullptr && currentKind == kind) return *current;
  current.reset();
  RequestRenderer(kind);
  currentKind = kind;
  current = std::make_unique<TWindow>();
  TWindow& win = *current;
  win.App = std::make_unique<TApplication>(CreateSdlBackend());
  if (!win.App->Initialize(win.Error)) {
    win.Form = nullptr;
    return win;
  }
  win.App->CreateForm(win.Form);
  win.Form->PlaceWindow(0, 0, WindowW, WindowH);
  AddCase(win.Form, win.Game, GameShape);
  AddCase(win.Form, win.Large, LargeShape);
  win.Form->Show();
  if (LiveRenderer() == nullptr || LiveRenderer()->Kind() != kind) {
    win.Error = std::string("the window did not get the ") + RendererKindName(kind) + " renderer";
    win.Form = nullptr;
  }
  return win;
}

enum class TPainter { Viewer, WholeWalk, Baseline };

void PaintFrames(benchmark::State& state, TCase TWindow::*which, TPainter painter, TRendererKind kind) {
  TWindow& w = Window(kind);
  if (w.Form == nullptr) {
    state.SkipWithError(("no window: " + w.Error).c_str());
    return;
  }
  TRenderBackend& renderer = *LiveRenderer();
  TCase& c = w.*which;
  for (TCase* each : {&w.Game, &w.Large}) {
    each->Viewer->Visible = each == &c && painter != TPainter::Baseline;
    each->Baseline->Visible = each == &c && painter == TPainter::Baseline;
  }
  c.Game->Scene.IndexedDrawing = painter != TPainter::WholeWalk;
  w.Form->PaintAll();  // warm-up: texture uploads
  renderer.Finish();
  for (auto _ : state) {
    w.Form->PaintAll();
    renderer.Finish();
  }
  c.Game->Scene.IndexedDrawing = true;
  state.SetItemsProcessed(state.iterations());
  if (painter == TPainter::Baseline) {
    state.counters["triangles"] = c.Baseline->Triangles;
  } else {
    state.counters["objects_drawn"] = c.Viewer->Buffer.ObjectsDrawn();
    state.counters["top_level_taken"] = c.Viewer->Buffer.TopLevelTaken();
  }
}

constexpr TRendererKind Gl1 = TRendererKind::Gl1, Es3 = TRendererKind::Es3;
void BM_Frame_GameScene_gl1(benchmark::State& state) {
  PaintFrames(state, &TWindow::Game, TPainter::Viewer, Gl1);
}
void BM_Frame_IdealBaseline(benchmark::State& state) {
  PaintFrames(state, &TWindow::Game, TPainter::Baseline, Gl1);
}
void BM_Frame_LargeMap_gl1(benchmark::State& state) {
  PaintFrames(state, &TWindow::Large, TPainter::Viewer, Gl1);
}
void BM_Frame_LargeMapWholeWalk_gl1(benchmark::State& state) {
  PaintFrames(state, &TWindow::Large, TPainter::WholeWalk, Gl1);
}
void BM_Frame_LargeMapIdealBaseline(benchmark::State& state) {
  PaintFrames(state, &TWindow::Large, TPainter::Baseline, Gl1);
}
void BM_Frame_GameScene_es3(benchmark::State& state) {
  PaintFrames(state, &TWindow::Game, TPainter::Viewer, Es3);
}
void BM_Frame_LargeMap_es3(benchmark::State& state) {
  PaintFrames(state, &TWindow::Large, TPainter::Viewer, Es3);
}
void BM_Frame_LargeMapWholeWalk_es3(benchmark::State& state) {
  PaintFrames(state, &TWindow::Large, TPainter::WholeWalk, Es3);
}
// The gl1 window's cases first, then the es3 window's: each window is opened once.
BENCHMARK(BM_Frame_GameScene_gl1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_IdealBaseline)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_LargeMap_gl1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_LargeMapWholeWalk_gl1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_LargeMapIdealBaseline)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_GameScene_es3)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_LargeMap_es3)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_Frame_LargeMapWholeWalk_es3)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
