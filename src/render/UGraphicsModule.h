// SPDX-License-Identifier: GPL-3.0-or-later
// The graphics module: 2D bitmaps, static and animated sprite materials.
//
// Everything is found by listing folders beside the executable, so adding a picture file
// adds an asset. Lists and arrays are parallel: position i of a name list is index i of
// its array. Loaded once at start-up and read-only afterwards.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/FindFiles.h"
#include "raster/TBitmap32.h"
#include "scene/GLMaterial.h"

namespace orr {

// File names (name and extension) found in Graphics/Bitmaps/, in listing order.
extern TStringList BitmapNames;
// Entry i holds the picture of BitmapNames[i] drawn through ColorKeyCombine; entries not
// loaded (after a failure) are empty bitmaps.
extern std::vector<TBitmap32> LoadedBitmaps;
// Sub-folders of Graphics/AniSprites/, in listing order.
extern TStringList AniFolderNames;
// Entry i holds the frames "0", "1", ... of folder AniFolderNames[i]. The libraries are
// owned by the graphics module (these are plain pointers, cleared when it goes).
extern std::vector<TGLMaterialLibrary*> AniSpriteLibs;
// File names found in Graphics/StaticSprites/, in listing order.
extern TStringList StaticSpriteNames;
// Material i holds StaticSpriteNames[i] under its file name; nullptr when there are no
// static sprites. Owned by the graphics module.
extern TGLMaterialLibrary* StaticSpriteLib;

// Look-ups by name without regard to letter case. A name that is not there gives nullptr
// and logs one warning per name and kind, so a missing asset shows as an untextured object
// and play goes on.
TGLMaterialLibrary* AniSpriteLibByName(const std::string& folder);
TBitmap32* LoadedBitmapByName(const std::string& fileName);
TGLLibMaterial* StaticSpriteByName(const std::string& fileName);

// Empties every list and array (unit finalization; tests).
void ResetGraphicsAssets();

class TDMGraphicsModule : public TDataModule {
 public:
  using TDataModule::TDataModule;
  // Frees the sprite libraries and clears the pointers to them.
  ~TDMGraphicsModule() override;

  void LoadBitmaps();
  void LoadAniSprites();
  void LoadStaticSprites();
  // Adds one material per picture of WorkFolder + "Graphics/AniSprites/" + folder, where
  // `folder` ends with a separator.
  static void LoadAniFolder(TGLMaterialLibrary& library, const std::string& folder);

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;

 private:
  std::vector<std::unique_ptr<TGLMaterialLibrary>> aniLibs_;
  std::unique_ptr<TGLMaterialLibrary> staticLib_;
};

extern TDMGraphicsModule* DMGraphicsModule;

}  // namespace orr
