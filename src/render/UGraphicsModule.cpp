// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/UGraphicsModule.h"

#include <set>
#include <utility>

#include "core/UMainModule.h"
#include "platform/Application.h"
#include "render/PixelCombines.h"

namespace orr {

TDMGraphicsModule* DMGraphicsModule = nullptr;

TStringList BitmapNames;
std::vector<TBitmap32> LoadedBitmaps;
TStringList AniFolderNames;
std::vector<TGLMaterialLibrary*> AniSpriteLibs;
TStringList StaticSpriteNames;
TGLMaterialLibrary* StaticSpriteLib = nullptr;

namespace {

const char* const BitmapsFolder = "Graphics/Bitmaps/";
const char* const AniSpritesFolder = "Graphics/AniSprites/";
const char* const StaticSpritesFolder = "Graphics/StaticSprites/";
// A folder part of an animated sprite path is cut to this many characters, separator
// included.
constexpr size_t MaxAniFolderPart = 255;

// The kinds of asset a lookup can miss; each kind reports a name once.
enum class TAssetKind { AniSpriteFolder, Bitmap, StaticSprite };
const char* AssetKindName(TAssetKind kind) {
  switch (kind) {
    case TAssetKind::AniSpriteFolder: return "Animated sprite folder";
    case TAssetKind::Bitmap: return "Bitmap";
    case TAssetKind::StaticSprite: return "Static sprite";
  }
  return "Asset";
}

std::set<std::pair<TAssetKind, std::string>> MissingReported;

bool registered = [] {
  AddFinalization([] { ResetGraphicsAssets(); });
  return true;
}();

// Logs once per kind and name (names compared as given).
void ReportMissing(TAssetKind kind, const std::string& name) {
  if (!MissingReported.insert({kind, name}).second) return;
  LogEvent(std::string("WARNING! ") + AssetKindName(kind) + " not found: " + name);
}

// Logs the failure lines of a loader: its own line, then the name being loaded.
void LogLoadFailure(const char* line, const TStringList& names, size_t progress) {
  LogEvent(line);
  LogEvent("Failed to load file: " + (progress < names.size() ? names[progress] : std::string()));
}

}  // namespace

void ResetGraphicsAssets() {
  BitmapNames.clear();
  LoadedBitmaps.clear();
  AniFolderNames.clear();
  AniSpriteLibs.clear();
  StaticSpriteNames.clear();
  StaticSpriteLib = nullptr;
  MissingReported.clear();
}

TGLMaterialLibrary* AniSpriteLibByName(const std::string& folder) {
  const int i = IndexOfName(AniFolderNames, folder);
  if (i >= 0 && i < static_cast<int>(AniSpriteLibs.size()) && AniSpriteLibs[i] != nullptr)
    return AniSpriteLibs[i];
  ReportMissing(TAssetKind::AniSpriteFolder, folder);
  return nullptr;
}

TBitmap32* LoadedBitmapByName(const std::string& fileName) {
  const int i = IndexOfName(BitmapNames, fileName);
  if (i >= 0 && i < static_cast<int>(LoadedBitmaps.size())) return &LoadedBitmaps[i];
  ReportMissing(TAssetKind::Bitmap, fileName);
  return nullptr;
}

TGLLibMaterial* StaticSpriteByName(const std::string& fileName) {
  const int i = IndexOfName(StaticSpriteNames, fileName);
  if (i >= 0 && StaticSpriteLib != nullptr && i < StaticSpriteLib->Materials.Count())
    return StaticSpriteLib->Materials[i];
  ReportMissing(TAssetKind::StaticSprite, fileName);
  return nullptr;
}

void TDMGraphicsModule::DataModuleCreate() {
  LogEvent("Graphics module initialization begin");
  LoadBitmaps();
  LoadAniSprites();
  LoadStaticSprites();
  LogEvent("Graphics module initialization end");
}

void TDMGraphicsModule::LoadBitmaps() {
  BitmapNames.clear();
  size_t progress = 0;
  LogEvent("Loading 2D graphics...");
  try {
    FindFiles(WorkFolder + BitmapsFolder + "*.bmp", BitmapNames, false);
    if (BitmapNames.empty()) {
      LogEvent("No bitmaps to load!");
      return;
    }
    LoadedBitmaps.assign(BitmapNames.size(), TBitmap32());
    LogEvent(std::to_string(BitmapNames.size()) + " Files indexed...");
    for (size_t i = 0; i < BitmapNames.size(); ++i) {
      TBitmap32& bitmap = LoadedBitmaps[i];
      bitmap.LoadFromFile(WorkFolder + BitmapsFolder + BitmapNames[i]);
      bitmap.DrawMode = dmCustom;
      bitmap.OnPixelCombine = ColorKeyCombine;
      progress = i + 1;
    }
    LogEvent("2D graphics loaded");
  } catch (const std::exception&) {
    LogLoadFailure("Exception while loading 2D graphics!", BitmapNames, progress);
  }
}

void TDMGraphicsModule::LoadAniFolder(TGLMaterialLibrary& library, const std::string& folder) {
  TStringList frames;
  FindFiles(WorkFolder + AniSpritesFolder + folder + "*.bmp", frames, false);
  for (size_t j = 0; j < frames.size(); ++j) {
    TGLLibMaterial* frame = library.Materials.Add();
    TGLMaterial& material = frame->Material;
    material.Texture.LoadFromFile(WorkFolder + AniSpritesFolder + folder + frames[j]);
    frame->SetName(std::to_string(j));
    material.Texture.SetEnabled(true);
    material.Texture.SetMagFilter(maNearest);
    material.Texture.SetMinFilter(miNearest);
    material.Texture.SetTextureMode(tmModulate);
    material.Texture.SetImageAlpha(tiaTopLeftPointColorTransparent);
    material.BlendingMode = bmTransparency;
  }
}

void TDMGraphicsModule::LoadAniSprites() {
  AniFolderNames.clear();
  size_t progress = 0;
  LogEvent("Loading animated sprites...");
  try {
    FindFiles(WorkFolder + AniSpritesFolder + "*.*", AniFolderNames, true);
    if (AniFolderNames.empty()) {
      LogEvent("No animated sprites to load!");
      return;
    }
    // Every entry gets its (empty) library up front, so a failure leaves no entry missing.
    aniLibs_.clear();
    AniSpriteLibs.clear();
    for (size_t i = 0; i < AniFolderNames.size(); ++i) {
      aniLibs_.push_back(std::make_unique<TGLMaterialLibrary>());
      AniSpriteLibs.push_back(aniLibs_.back().get());
    }
    LogEvent(std::to_string(AniFolderNames.size()) + " AniSprites indexed...");
    for (size_t i = 0; i < AniFolderNames.size(); ++i) {
      std::string folder = AniFolderNames[i].substr(0, MaxAniFolderPart - 1) + "/";
      LoadAniFolder(*AniSpriteLibs[i], folder);
      progress = i + 1;
    }
    LogEvent("Animated Sprites loaded");
  } catch (const std::exception&) {
    LogLoadFailure("Exception while loading animated sprites!", AniFolderNames, progress);
  }
}

void TDMGraphicsModule::LoadStaticSprites() {
  StaticSpriteNames.clear();
  size_t progress = 0;
  LogEvent("Loading static sprites...");
  try {
    FindFiles(WorkFolder + StaticSpritesFolder + "*.bmp", StaticSpriteNames, false);
    if (StaticSpriteNames.empty()) {
      LogEvent("No static sprites to load!");
      return;
    }
    // The same words as the animated sprite loader, as the log has always read.
    LogEvent(std::to_string(StaticSpriteNames.size()) + " AniSprites indexed...");
    staticLib_ = std::make_unique<TGLMaterialLibrary>();
    StaticSpriteLib = staticLib_.get();
    for (size_t i = 0; i < StaticSpriteNames.size(); ++i) {
      const std::string& name = StaticSpriteNames[i];
      TGLLibMaterial* sprite = StaticSpriteLib->Materials.Add();
      TGLMaterial& material = sprite->Material;
      material.Texture.LoadFromFile(WorkFolder + StaticSpritesFolder + name);
      material.Texture.SetTextureMode(tmModulate);
      material.Texture.SetEnabled(true);
      material.Texture.SetMagFilter(maNearest);
      material.Texture.SetMinFilter(miNearest);
      // A glow: its brightness is its opacity, tinted orange, added to what lies behind.
      if (name.size() >= 2 && name[0] == 'A' && name[1] == '_') {
        material.Texture.SetImageAlpha(tiaAlphaFromIntensity);
        material.FrontProperties.Diffuse = {1.0f, 127.0f / 255.0f, 0.0f, 1.0f};
        material.FrontProperties.Diffuse.W = 0.2f;
        material.BlendingMode = bmAdditive;
      } else {
        material.Texture.SetImageAlpha(tiaTopLeftPointColorTransparent);
        material.BlendingMode = bmTransparency;
      }
      sprite->SetName(name);
      progress = i + 1;
    }
    LogEvent("Static sprites loaded");
  } catch (const std::exception&) {
    LogLoadFailure("Exception while loading static sprites!", StaticSpriteNames, progress);
  }
}

void TDMGraphicsModule::DataModuleDestroy() {
  LogEvent("Graphics module destruction begin");
  LoadedBitmaps.clear();
  BitmapNames.clear();
  LogEvent("Graphics module destruction end");
}

TDMGraphicsModule::~TDMGraphicsModule() {
  AniSpriteLibs.clear();
  StaticSpriteLib = nullptr;
}

}  // namespace orr
