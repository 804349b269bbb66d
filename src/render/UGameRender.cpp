// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/UGameRender.h"

#include "core/Numbers.h"
#include "core/UMainModule.h"
#include "platform/Application.h"

namespace orr {

bool SceneRefreshPending = false;
TDMGameRender* DMGameRender = nullptr;
const TTileSize TileSize{32, 32};

namespace {

const char* const TilesFolder = "Graphics/Tiles/";
// Background of a decoration tile where the atlas does not cover the scratch.
constexpr TColor32 DecorationFill = 0xFFFF0080;

bool registered = [] {
  AddFinalization([] { SceneCells = {}; });
  return true;
}();

// Copies one tile of an atlas into the scratch as a plain pixel copy and hands a copy of
// the scratch to the material's texture.
// (The atlases keep the default plain draw mode, so the copy replaces pixels.)
void CutTile(const TBitmap32& atlas, int left, int top, TBitmap32& scratch, TGLMaterial& material) {
  scratch.Draw(0, 0, RectFromSize(left, top, TileSize.X, TileSize.Y), atlas);
  material.Texture.AssignFromBitmap(scratch);
}

}  // namespace

// ---- Frame progress ------------------------------------------------------------------------

namespace {

// One step with the scene refresh rule: a refresh pending when the step starts ends with
// it; one raised during the step stays for the next. So every scene window sees a request
// in the next step it runs, and how many steps see it does not depend on how the steps
// fall into frames (a frame too short for a step no longer lowers it unseen): the window's
// game and the simulator build the same cells.
void RunSceneStep() {
  const bool refreshWasPending = SceneRefreshPending;
  RunStep();
  if (refreshWasPending && SceneRefreshPending) SceneRefreshPending = false;
}

}  // namespace

void RunFrameSteps(int count) {
  for (int i = 0; i < count; ++i) RunSceneStep();
}

void TDMGameRender::SceneProgressorProgress(TGLCadencer*, double deltaTime, double) {
  AdvanceSteps(deltaTime, RunSceneStep);
}

// ---- The module ----------------------------------------------------------------------------

TDMGameRender::TDMGameRender(TComponent* owner, TTimeSource& timeSource) : TDataModule(owner) {
  // The stored components, in place before the creation handler runs.
  MainScene = std::make_unique<TGLScene>();
  MainScene->VisibilityCulling = vcObjectBased;

  GLLightSource1 = NewChildObject<TGLLightSource>(MainScene->Objects());
  GLLightSource1->LightStyle = lsOmni;
  GLLightSource1->ConstAttenuation = 0.03f;
  GLLightSource1->SpotCutOff = 180;
  GLLightSource1->Diffuse = {0.92f, 0.78f, 0.62f, 1.0f};
  GLLightSource1->Position.SetPoint(-15, -15, 50);

  GLLightSource2 = NewChildObject<TGLLightSource>(MainScene->Objects());
  GLLightSource2->LightStyle = lsOmni;
  GLLightSource2->ConstAttenuation = 0.03f;
  GLLightSource2->SpotCutOff = 180;
  GLLightSource2->Diffuse = {191.0f / 255.0f, 216.0f / 255.0f, 216.0f / 255.0f, 1.0f};
  GLLightSource2->Position.SetPoint(100, 100, -10);

  TerrainLib = std::make_unique<TGLMaterialLibrary>();
  WallLib = std::make_unique<TGLMaterialLibrary>();
  DecoLib = std::make_unique<TGLMaterialLibrary>();

  SceneProgressor = std::make_unique<TGLCadencer>(timeSource);
  SceneProgressor->Scene = MainScene.get();
  SceneProgressor->MaxDeltaTime = 1;
  SceneProgressor->OnProgress = &TDMGameRender::SceneProgressorProgress;
  SceneProgressor->SetMode(cmApplicationIdle);

  WindowsBitmapFontLib = std::make_unique<TGLWindowsBitmapFont>();
  TGLFont font;
  font.Color = 0xFFFFFF;
  font.Height = -11;
  font.Name = "MS Sans Serif";
  WindowsBitmapFontLib->SetFont(font);
  WindowsBitmapFontLib->SetMinFilter(miNearest);
}

TDMGameRender::~TDMGameRender() {
  // The cadencer goes first so that no progress reaches a half-destroyed module.
  SceneProgressor.reset();
  // Cells not freed by the destruction handler go with the scene: forget them.
  SceneCells.clear();
  for (TGLPlane*& plane : BorderPlanes) plane = nullptr;
  if (DMGameRender == this) DMGameRender = nullptr;
}

void TDMGameRender::DataModuleCreate() {
  LogEvent("Main Render Module Initialization Begin");
  TerrainAtlas = TBitmap32();
  DecorationAtlas = TBitmap32();

  TGLFont font = WindowsBitmapFontLib->Font();
  font.Name = "Courier New";
  font.SetSize(24);
  font.Style = {fsBold};
  WindowsBitmapFontLib->SetFont(font);

  GameHalted = true;
  StepAccumulator = 0;

  try {
    TerrainAtlas.LoadFromFile(WorkFolder + TilesFolder + "TerrainTiles.bmp");
    DecorationAtlas.LoadFromFile(WorkFolder + TilesFolder + "DecorationTiles.bmp");
  } catch (const std::exception&) {
    LogEvent("FATAL: Error while loading tiles!");
  }

  LogEvent("Creating tile texture database...");
  BuildTileLibraries();
  LogEvent("Tile texture database created");

  CreateBorderPlanes();
  LogEvent("Main Render Module Initialization End");
}

void TDMGameRender::BuildTileLibraries() {
  TBitmap32 scratch(TileSize.X, TileSize.Y);
  const int terrainTiles = TerrainAtlas.Height() / TileSize.Y;
  for (int n = 0; n < terrainTiles; ++n) {
    TGLLibMaterial* terrain = TerrainLib->Materials.Add();
    TGLLibMaterial* wall = WallLib->Materials.Add();
    const std::string name = std::to_string(n);

    terrain->SetName(name);
    CutTile(TerrainAtlas, 0, n * TileSize.Y, scratch, terrain->Material);
    terrain->Material.Texture.SetEnabled(true);
    terrain->Material.Texture.SetTextureMode(tmModulate);

    wall->SetName(name);
    CutTile(TerrainAtlas, TileSize.X, n * TileSize.Y, scratch, wall->Material);
    wall->Material.Texture.SetEnabled(true);
    wall->Material.Texture.SetTextureMode(tmModulate);
  }

  const int decorationTiles = DecorationAtlas.Height() / TileSize.Y;
  for (int n = 0; n < decorationTiles; ++n) {
    TGLLibMaterial* decoration = DecoLib->Materials.Add();
    decoration->SetName(std::to_string(n));
    scratch.Clear(DecorationFill);
    CutTile(DecorationAtlas, 0, n * TileSize.Y, scratch, decoration->Material);
    TGLTexture& texture = decoration->Material.Texture;
    texture.SetEnabled(true);
    texture.SetMagFilter(maNearest);
    texture.SetTextureMode(tmModulate);
    texture.SetImageAlpha(tiaTopLeftPointColorTransparent);
    decoration->Material.BlendingMode = bmTransparency;
  }
}

void TDMGameRender::CreateBorderPlanes() {
  for (TGLPlane*& plane : BorderPlanes) {
    plane = NewChildObject<TGLPlane>(MainScene->Objects());
    plane->SetHeight(100);
    plane->Direction.SetY(1);
    plane->Direction.SetZ(0);
    plane->RollBy(180);  // up axis to +Z: the plane stands upright
    plane->Material.FrontProperties.Diffuse = {0, 0, 0, 1};
    plane->Material.MaterialOptions = {moNoLighting};
  }
  BorderPlanes[0]->SetTurnAngle(-180);
  BorderPlanes[1]->SetTurnAngle(-270);
  BorderPlanes[2]->SetTurnAngle(0);
  BorderPlanes[3]->SetTurnAngle(-90);
}

void TDMGameRender::DataModuleDestroy() {
  LogEvent("Main Render Module Destruction Begin");
  for (TGLPlane*& plane : BorderPlanes) {
    if (plane != nullptr) plane->Free();
    plane = nullptr;
  }
  FreeAllCells();
  TerrainAtlas = TBitmap32();
  DecorationAtlas = TBitmap32();
  LogEvent("Tile bitmaps destroyed");
  LogEvent("Main Render Module Destruction End");
}

}  // namespace orr
