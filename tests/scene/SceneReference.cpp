// SPDX-License-Identifier: GPL-3.0-or-later
// Paints a small scene through the viewer in a real window (run under Xvfb) and compares
// it with tests/data/scene/reference.bmp. The scene shows what the game relies on: a
// colour-keyed texture, an additive glow, the alpha test, blended sorting, lit geometry
// and flat text drawn without depth test on top of everything.
//
// With --lights it paints a second scene instead, made of what the renderer backends must
// light alike though the game itself does not use it: a spot light with linear and
// quadratic attenuation over a fine floor, a directional light, a light's ambient, two-sided
// lighting of a plane seen from behind, a non-uniformly scaled cube, smooth cylinders, the
// decal and blend texture modes, the modulate and full-alpha-test blending modes, lines
// with their nodes and an object's axes. Its reference is the other backend's picture, held
// to the frame comparison's limits (at most 0.5 % of the pixels differ, one in 10,000 by
// more than 8 levels).
//
//   scene_reference [--renderer gl1|es3] [--lights] <reference.bmp>          compare
//   scene_reference [--renderer gl1|es3] [--lights] --write <reference.bmp>  paint and write

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "../support/GlSnapshot.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "raster/TBitmap32.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLViewer.h"
#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

const int ViewWidth = 320, ViewHeight = 240;

using TSnapshot = test::TGlSnapshot;

TBitmap32 Checker() {
  TBitmap32 b(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      b.SetPixel(x, y, ((x / 16 + y / 16) % 2) ? Color32(90, 110, 80) : Color32(150, 160, 130));
  return b;
}

// A 32 x 32 tile: magenta background (the key, also in the bottom-left corner) with a
// green diamond; the top-left pixel is deliberately another colour.
TBitmap32 KeyedTile() {
  TBitmap32 b(32, 32);
  b.Clear(Color32(255, 0, 255));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (std::abs(x - 16) + std::abs(y - 16) < 12) b.SetPixel(x, y, Color32(40, 200, 60));
  b.SetPixel(0, 0, Color32(255, 255, 0));
  return b;
}

// White with alpha falling off from the centre.
TBitmap32 Glow() {
  TBitmap32 b(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      float d = std::hypot(x - 15.5f, y - 15.5f) / 16;
      b.SetPixel(x, y, Color32(255, 255, 255, unsigned(std::max(0.0f, 1 - d) * 255)));
    }
  return b;
}

// Alpha rising from left (0) to right (255).
TBitmap32 Ramp() {
  TBitmap32 b(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) b.SetPixel(x, y, Color32(230, 120, 40, x * 255 / 31));
  return b;
}

TGLPlane* AddPlane(TGLScene& scene, float x, float y, float z, float size) {
  auto* p = NewChildObject<TGLPlane>(scene.Objects());
  p->Position.SetPoint(x, y, z);
  p->SetWidth(size);
  p->SetHeight(size);
  return p;
}

void BuildScene(TGLScene& scene, TGLMaterialLibrary& lib, TGLWindowsBitmapFont& font) {
  scene.VisibilityCulling = vcObjectBased;
  auto* light = NewChildObject<TGLLightSource>(scene.Objects());
  light->LightStyle = lsOmni;
  light->Position.SetPoint(-3, -3, 12);
  light->ConstAttenuation = 0.9f;

  TGLLibMaterial* floor = lib.Materials.Add();
  floor->SetName("floor");
  floor->Material.Texture.AssignFromBitmap(Checker());
  floor->Material.Texture.SetEnabled(true);
  floor->Material.Texture.SetTextureMode(tmModulate);
  floor->Material.FrontProperties.Diffuse = {1, 1, 1, 1};
  TGLPlane* ground = AddPlane(scene, 0, 0, 0, 8);
  ground->SetHeight(6);
  ground->SetXTiles(2);
  ground->SetYTiles(1.5f);
  ground->Material.SetMaterialLibrary(&lib);
  ground->Material.SetLibMaterialName("floor");

  TGLPlane* keyed = AddPlane(scene, -2.5f, 1.2f, 0.01f, 2);
  keyed->Material.Texture.AssignFromBitmap(KeyedTile());
  keyed->Material.Texture.SetEnabled(true);
  keyed->Material.Texture.SetImageAlpha(tiaTopLeftPointColorTransparent);
  keyed->Material.Texture.SetMagFilter(maNearest);
  keyed->Material.Texture.SetTextureMode(tmModulate);
  keyed->Material.BlendingMode = bmTransparency;
  keyed->Material.MaterialOptions = {moNoLighting};
  keyed->Material.FrontProperties.Diffuse = {1, 1, 1, 1};

  TGLPlane* glow = AddPlane(scene, 0, 1.2f, 0.02f, 2.2f);
  glow->Material.Texture.AssignFromBitmap(Glow());
  glow->Material.Texture.SetEnabled(true);
  glow->Material.Texture.SetTextureMode(tmModulate);
  glow->Material.BlendingMode = bmAdditive;
  glow->Material.MaterialOptions = {moNoLighting};
  glow->Material.FrontProperties.Diffuse = {1, 0.6f, 0.2f, 1};

  TGLPlane* cut = AddPlane(scene, 2.5f, 1.2f, 0.01f, 2);
  cut->Material.Texture.AssignFromBitmap(Ramp());
  cut->Material.Texture.SetEnabled(true);
  cut->Material.Texture.SetTextureMode(tmReplace);
  cut->Material.BlendingMode = bmAlphaTest50;

  // Added nearest first: only the blended-last sorting draws the far one underneath.
  TGLPlane* nearPane = AddPlane(scene, -1.4f, -1.4f, 1.0f, 1.6f);
  nearPane->Material.BlendingMode = bmTransparency;
  nearPane->Material.MaterialOptions = {moNoLighting};
  nearPane->Material.FrontProperties.Diffuse = {1, 0.1f, 0.1f, 0.5f};
  TGLPlane* farPane = AddPlane(scene, -0.6f, -1.0f, 0.5f, 1.6f);
  farPane->Material.BlendingMode = bmTransparency;
  farPane->Material.MaterialOptions = {moNoLighting};
  farPane->Material.FrontProperties.Diffuse = {0.1f, 0.2f, 1, 0.5f};

  auto* cube = NewChildObject<TGLCube>(scene.Objects());
  cube->Position.SetPoint(2.2f, -1.3f, 0.5f);
  cube->SetTurnAngle(30);
  cube->Material.FrontProperties.Diffuse = {0.8f, 0.8f, 0.9f, 1};
  auto* cyl = NewChildObject<TGLCylinder>(scene.Objects());
  cyl->Position.SetPoint(3.3f, -1.9f, 0.4f);
  cyl->PitchBy(270);
  cyl->SetHeight(0.8f);
  cyl->SetTopRadius(0.35f);
  cyl->SetBottomRadius(0.35f);
  cyl->Material.FrontProperties.Diffuse = {0.9f, 0.7f, 0.2f, 1};

  auto* laser = NewChildObject<TGLLines>(scene.Objects());
  laser->AddNode(-3.5f, -2.6f, 0.2f);
  laser->AddNode(3.5f, -2.6f, 0.2f);
  laser->LineColor = {1, 0, 0, 1};
  laser->NodesAspect = lnaInvisible;
  laser->SetDivision(1);

  // Below the floor, yet on top: no depth test.
  auto* text = NewChildObject<TGLFlatText>(scene.Objects());
  text->SetBitmapFont(&font);
  text->SetText("Orrindel");
  text->SetAlignment(taCenter);
  text->Position.SetPoint(0, -0.1f, -1);
  text->Scale.SetVector({0.02f, 0.02f, 0.02f, 0});
  text->ObjectStyle.NoDepthTest = true;
  text->ModulateColor = {1, 1, 0.3f, 1};
}

TBitmap32 Bands() {
  TBitmap32 b(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) b.SetPixel(x, y, Color32(x * 8, 255 - y * 8, 128, (x / 8) % 2 ? 255 : 96));
  return b;
}

void BuildLightsScene(TGLScene& scene, TGLMaterialLibrary& lib) {
  auto* spot = NewChildObject<TGLLightSource>(scene.Objects());
  spot->LightStyle = lsSpot;
  spot->Position.SetPoint(-1, 0.5f, 4);
  spot->Direction.SetVector({0.25f, -0.1f, -1, 0});
  spot->SpotCutOff = 35;
  spot->SpotExponent = 6;
  spot->ConstAttenuation = 0.2f;
  spot->LinearAttenuation = 0.15f;
  spot->QuadraticAttenuation = 0.05f;
  spot->Diffuse = {1, 0.9f, 0.7f, 1};
  auto* sun = NewChildObject<TGLLightSource>(scene.Objects());
  sun->LightStyle = lsParallel;
  sun->Direction.SetVector({0.6f, 0.5f, -0.6f, 0});
  sun->Diffuse = {0.25f, 0.3f, 0.45f, 1};
  auto* lamp = NewChildObject<TGLLightSource>(scene.Objects());
  lamp->LightStyle = lsOmni;
  lamp->Position.SetPoint(3, -2, 1.5f);
  lamp->Ambient = {0.3f, 0.1f, 0.1f, 1};
  lamp->Diffuse = {0.6f, 0.2f, 0.9f, 1};
  lamp->QuadraticAttenuation = 0.4f;

  // A fine floor: lighting is per vertex, so the spot's circle needs vertices to show.
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 24; ++x) {
      TGLPlane* tile = AddPlane(scene, -4 + (x + 0.5f) / 3, -3 + (y + 0.5f) / 3, 0, 1 / 3.0f);
      tile->Material.FrontProperties.Diffuse = {0.85f, 0.85f, 0.8f, 1};
    }
  TGLLibMaterial* decal = lib.Materials.Add();
  decal->SetName("decal");
  decal->Material.Texture.AssignFromBitmap(Bands());
  decal->Material.Texture.SetEnabled(true);
  decal->Material.Texture.SetTextureMode(tmDecal);
  decal->Material.FrontProperties.Diffuse = {0.2f, 0.6f, 0.9f, 1};
  TGLPlane* decalPlane = AddPlane(scene, -2.8f, 1.8f, 0.3f, 1.6f);
  decalPlane->Material.SetMaterialLibrary(&lib);
  decalPlane->Material.SetLibMaterialName("decal");
  TGLPlane* blendPlane = AddPlane(scene, -0.9f, 1.8f, 0.3f, 1.6f);
  blendPlane->Material.Texture.AssignFromBitmap(Bands());
  blendPlane->Material.Texture.SetEnabled(true);
  blendPlane->Material.Texture.SetTextureMode(tmBlend);
  blendPlane->Material.BlendingMode = bmTransparency;
  blendPlane->Material.FrontProperties.Diffuse = {1, 0.8f, 0.3f, 0.9f};
  TGLPlane* shade = AddPlane(scene, 1.0f, 1.8f, 0.4f, 1.4f);
  shade->Material.BlendingMode = bmModulate;
  shade->Material.FrontProperties.Diffuse = {0.9f, 0.5f, 0.5f, 1};
  TGLPlane* solid = AddPlane(scene, 2.8f, 1.8f, 0.3f, 1.4f);
  solid->Material.Texture.AssignFromBitmap(Bands());
  solid->Material.Texture.SetEnabled(true);
  solid->Material.Texture.SetTextureMode(tmModulate);
  solid->Material.BlendingMode = bmAlphaTest100;
  // Seen from behind: lit on its back only with two-sided lighting.
  TGLPlane* back = AddPlane(scene, -2.5f, -1.6f, 0.8f, 1.5f);
  back->PitchBy(160);
  back->Material.FrontProperties.Diffuse = {0.3f, 0.9f, 0.4f, 1};

  auto* cube = NewChildObject<TGLCube>(scene.Objects());
  cube->Position.SetPoint(0.2f, -1.2f, 0.6f);
  cube->Scale.SetVector({1.6f, 0.7f, 1.1f, 0});
  cube->SetTurnAngle(25);
  cube->PitchBy(20);
  cube->Material.FrontProperties.Diffuse = {0.9f, 0.9f, 0.9f, 1};
  cube->SetShowAxes(true);
  for (int i = 0; i < 2; ++i) {
    auto* cyl = NewChildObject<TGLCylinder>(scene.Objects());
    cyl->Position.SetPoint(2.0f + 1.3f * i, -1.6f + 0.4f * i, 0.6f);
    cyl->PitchBy(i == 0 ? 270 : 200);
    cyl->SetHeight(1.2f);
    cyl->SetTopRadius(0.2f + 0.2f * i);
    cyl->SetBottomRadius(0.5f);
    cyl->SetSlices(16);
    cyl->SetStacks(3);
    cyl->SetParts({cySides, cyTop, cyBottom});
    cyl->Material.FrontProperties.Diffuse = {0.95f, 0.75f, 0.3f, 1};
  }
  auto* lines = NewChildObject<TGLLines>(scene.Objects());
  lines->AddNode(-3.5f, -2.7f, 0.2f);
  lines->AddNode(-1.0f, -2.2f, 0.5f);
  lines->AddNode(1.5f, -2.7f, 0.2f);
  lines->LineColor = {0.2f, 1, 1, 1};
  lines->LineWidth = 3;
  lines->NodesAspect = lnaAxes;
  lines->SetDivision(4);
}

// How many pixels differ at all and by more than 8 levels.
void CountDifferences(const TBitmap32& a, const TBitmap32& b, int& differing, int& farOff) {
  differing = farOff = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      TColor32 p = a.Pixel(x, y), q = b.Pixel(x, y);
      int d = std::max({std::abs(int(RedComponent(p)) - int(RedComponent(q))),
                        std::abs(int(GreenComponent(p)) - int(GreenComponent(q))),
                        std::abs(int(BlueComponent(p)) - int(BlueComponent(q)))});
      differing += d > 0;
      farOff += d > 8;
    }
}

int Run(int argc, char** argv) {
  bool write = false, lights = false;
  int at = 1;
  TRendererKind renderer = RequestedRenderer();
  for (; at + 1 < argc; ++at) {
    if (std::strcmp(argv[at], "--write") == 0) write = true;
    else if (std::strcmp(argv[at], "--lights") == 0) lights = true;
    else if (std::strcmp(argv[at], "--renderer") == 0 && at + 2 < argc &&
             ParseRendererKind(argv[at + 1], renderer))
      ++at;
    else break;
  }
  if (at + 1 != argc) {
    std::fprintf(stderr,
                 "usage: scene_reference [--renderer gl1|es3] [--lights] [--write] <reference.bmp>\n");
    return 2;
  }
  RequestRenderer(renderer);
  std::string refPath = argv[argc - 1];
  TApplication app(CreateSdlBackend());
  std::string error;
  if (!app.Initialize(error)) {
    std::fprintf(stderr, "no display: %s\n", error.c_str());
    return 2;
  }
  TForm* form = nullptr;
  app.CreateForm(form);
  form->PlaceWindow(0, 0, ViewWidth, ViewHeight);
  auto* viewer = TComponent::Create<TGLSceneViewer>(form);
  viewer->SetParent(form);
  viewer->SetBounds(0, 0, ViewWidth, ViewHeight);
  viewer->Buffer.BackgroundColor = 0x202040;
  auto* snapshot = TComponent::Create<TSnapshot>(form, ViewWidth, ViewHeight);
  snapshot->SetParent(form);
  if (LiveRenderer() == nullptr || LiveRenderer()->Kind() != renderer) {
    std::fprintf(stderr, "the window did not get the %s renderer\n", RendererKindName(renderer));
    return 1;
  }

  TGLScene scene;
  TGLMaterialLibrary lib;
  TGLWindowsBitmapFont font;
  TGLFont f;
  f.Name = "Courier New";
  f.SetSize(24);
  f.Style = {fsBold};
  font.SetFont(f);
  font.SetMinFilter(miNearest);
  if (lights) {
    viewer->Buffer.ContextOptions.Include(roTwoSideLighting);
    BuildLightsScene(scene, lib);
  } else {
    BuildScene(scene, lib, font);
  }
  auto* camera = NewChildObject<TGLCamera>(scene.Objects());
  camera->Position.SetPoint(0, 0, 10);
  camera->SetFocalLength(50);
  viewer->SetCamera(camera);

  form->Show();
  form->PaintAll();
  if (viewer->Buffer.FrameCount() != 1) {
    std::fprintf(stderr, "the viewer did not count its frame\n");
    return 1;
  }
  TBitmap32& got = snapshot->Picture;
  if (write) {
    got.SaveToFile(refPath);
    std::printf("wrote %s\n", refPath.c_str());
    return 0;
  }
  TBitmap32 ref;
  ref.LoadFromFile(refPath);
  if (ref.Width() != got.Width() || ref.Height() != got.Height()) {
    std::fprintf(stderr, "size differs from the reference\n");
    return 1;
  }
  if (lights) {
    int differing = 0, farOff = 0;
    CountDifferences(ref, got, differing, farOff);
    const int pixels = ref.Width() * ref.Height();
    std::printf("%d of %d pixels differ, %d by more than 8 levels\n", differing, pixels, farOff);
    if (differing * 200 > pixels || farOff * 10000 > pixels) {
      std::fprintf(stderr, "the lights scene differs from the other backend's\n");
      return 1;
    }
    return 0;
  }
  // Tolerance: rasterisation and font hinting may move a few edge pixels.
  int bad = 0;
  double sum = 0;
  for (int y = 0; y < ref.Height(); ++y)
    for (int x = 0; x < ref.Width(); ++x) {
      TColor32 a = ref.Pixel(x, y), b = got.Pixel(x, y);
      int d = std::max({std::abs(int(RedComponent(a)) - int(RedComponent(b))),
                        std::abs(int(GreenComponent(a)) - int(GreenComponent(b))),
                        std::abs(int(BlueComponent(a)) - int(BlueComponent(b)))});
      sum += d;
      if (d > 24) ++bad;
    }
  double mean = sum / (ref.Width() * ref.Height());
  int allowed = ref.Width() * ref.Height() / 200;  // 0.5 %
  std::printf("pixels off by more than 24: %d (allowed %d), mean difference %.3f\n", bad, allowed, mean);
  if (bad > allowed || mean > 2.0) {
    std::string out = refPath + ".actual.bmp";
    if (const char* tmp = std::getenv("TMPDIR")) out = std::string(tmp) + "/scene_actual.bmp";
    got.SaveToFile(out);
    std::fprintf(stderr, "picture differs from the reference; actual written to %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace orr

int main(int argc, char** argv) {
  try {
    return orr::Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
}
