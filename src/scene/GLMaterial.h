// SPDX-License-Identifier: GPL-3.0-or-later
// Materials, textures and named material libraries.
//
// A TGLMaterial belongs to a scene object (or to a library material). When its
// MaterialLibrary and LibMaterialName resolve to a library material, that library
// material's own material is what gets drawn and what decides the blended test.
//
// Ownership: a TGLMaterialLibrary owns its TGLLibMaterial items. Materials that bind to a
// library material, or refer to a library, are unhooked when that library (material) is
// destroyed, so either side may go first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codecs/Codecs.h"
#include "scene/SetOf.h"
#include "scene/VectorGeometry.h"

namespace orr {

class TBitmap32;
class TGLMaterial;
class TGLMaterialLibrary;
class TGLLibMaterial;
struct TGLRenderContext;
class TRenderBackend;

class ETexture : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TGLTextureImageAlpha {
  tiaDefault,
  tiaAlphaFromIntensity,
  tiaSuperBlackTransparent,
  tiaLuminance,
  tiaLuminanceSqrt,
  tiaOpaque,
  tiaTopLeftPointColorTransparent,
  tiaInverseLuminance,
  tiaInverseLuminanceSqrt
};
enum TGLTextureMode { tmDecal, tmModulate, tmBlend, tmReplace };
enum TGLMinFilter {
  miNearest,
  miLinear,
  miNearestMipmapNearest,
  miLinearMipmapNearest,
  miNearestMipmapLinear,
  miLinearMipmapLinear
};
enum TGLMagFilter { maNearest, maLinear };
enum TGLBlendingMode { bmOpaque, bmTransparency, bmAdditive, bmAlphaTest50, bmAlphaTest100, bmModulate };
enum TGLMaterialOption { moIgnoreFog, moNoLighting };

// Texels as uploaded: RGBA bytes, row 0 is the BOTTOM row of the picture.
struct TTexels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgba;
  // Texel (x, y) with y counted from the bottom, as 0xAARRGGBB.
  TColor32 At(int x, int y) const;
};

// Converts a picture (top row first) to bottom-up RGBA and rewrites its alpha.
TTexels PrepareTexels(const TPicture& picture, TGLTextureImageAlpha imageAlpha);
// Smallest power of two >= size, capped at maxSize (itself a power of two); 0 stays 0.
int TexturePowerOfTwo(int size, int maxSize);
// True when the filter samples mipmaps.
bool MinFilterNeedsMipmaps(TGLMinFilter filter);

class TGLTexture {
 public:
  explicit TGLTexture(TGLMaterial* owner = nullptr);
  ~TGLTexture();
  TGLTexture(const TGLTexture&) = delete;
  TGLTexture& operator=(const TGLTexture&) = delete;

  // The picture, top row first.
  const TPicture& Image() const { return image_; }
  void SetImage(TPicture picture);
  // Copies the pixels, channels and alpha included.
  void AssignFromBitmap(const TBitmap32& bitmap);
  // Loads a picture by its extension. A relative path of a library material's texture
  // is tried in the library's TexturePaths first. A missing file empties the picture and
  // throws ETexture "Could not open file: <path>"; a malformed one throws EPictureError.
  void LoadFromFile(const std::string& path);

  TGLTextureImageAlpha ImageAlpha() const { return imageAlpha_; }
  void SetImageAlpha(TGLTextureImageAlpha value);
  TGLMinFilter MinFilter() const { return minFilter_; }
  void SetMinFilter(TGLMinFilter value);
  TGLMagFilter MagFilter() const { return magFilter_; }
  void SetMagFilter(TGLMagFilter value);
  TGLTextureMode TextureMode() const { return textureMode_; }
  void SetTextureMode(TGLTextureMode value);
  bool Disabled() const { return disabled_; }
  void SetDisabled(bool value);
  bool Enabled() const { return !disabled_; }
  void SetEnabled(bool value) { SetDisabled(!value); }

  // The texels the next upload will use (prepared on demand, cached until the image or
  // the alpha mode changes).
  const TTexels& Texels();

  // Render time: binds (uploading first when needed) and sets the texture mode. A texture
  // whose image is empty is never uploaded and leaves texturing off.
  void Apply(TGLRenderContext& context);
  // The renderer's name of the texture, 0 before the first upload.
  unsigned Handle() const { return handle_; }

 private:
  void Changed(bool imageChanged);
  void Upload(TRenderBackend& renderer);

  TGLMaterial* owner_;
  TPicture image_;
  TGLTextureImageAlpha imageAlpha_ = tiaDefault;
  TGLMinFilter minFilter_ = miLinearMipmapLinear;
  TGLMagFilter magFilter_ = maLinear;
  TGLTextureMode textureMode_ = tmDecal;
  bool disabled_ = true;
  TTexels texels_;
  bool texelsValid_ = false;
  bool uploadValid_ = false;
  unsigned handle_ = 0;
  TRenderBackend* renderer_ = nullptr;  // the backend handle_ belongs to
  unsigned rendererSerial_ = 0;         // and its serial
};

struct TGLFaceProperties {
  TVector Ambient{0.2f, 0.2f, 0.2f, 1};
  TVector Diffuse{0.8f, 0.8f, 0.8f, 1};  // alpha is component 3
  TVector Emission{0, 0, 0, 1};
  TVector Specular{0, 0, 0, 1};
  float Shininess = 0;
};

class TGLMaterial {
 public:
  // `onStructureChanged` is told when the material's binding changes (the owning object
  // or library material uses it to ask for a repaint).
  explicit TGLMaterial(std::function<void()> onStructureChanged = {});
  ~TGLMaterial();
  TGLMaterial(const TGLMaterial&) = delete;
  TGLMaterial& operator=(const TGLMaterial&) = delete;

  TGLFaceProperties FrontProperties;
  TGLBlendingMode BlendingMode = bmOpaque;
  TSetOf<TGLMaterialOption> MaterialOptions;
  TGLTexture Texture{this};

  TGLMaterialLibrary* MaterialLibrary() const { return library_; }
  // Stores the library and re-resolves LibMaterialName against it.
  void SetMaterialLibrary(TGLMaterialLibrary* library);
  const std::string& LibMaterialName() const { return libMaterialName_; }
  // Stores the name and binds to the library material of that name, or to none.
  void SetLibMaterialName(const std::string& name);
  // The bound library material, or nullptr.
  TGLLibMaterial* LibMaterial() const { return bound_; }

  // What is drawn: the bound library material's material, else this one.
  const TGLMaterial& Effective() const;
  TGLMaterial& Effective();
  // Neither opaque nor one of the alpha-test modes (decided by the effective material).
  bool Blended() const;

  // The library material holding this material, if any (texture search paths).
  TGLLibMaterial* OwnerLibMaterial = nullptr;

  // Render time: sets lighting, blending, alpha test, colour and texture.
  void Apply(TGLRenderContext& context);

  void NotifyStructureChanged();

 private:
  friend class TGLLibMaterial;
  friend class TGLMaterialLibrary;
  void Rebind();
  void DropBinding();

  std::function<void()> onStructureChanged_;
  TGLMaterialLibrary* library_ = nullptr;
  std::string libMaterialName_;
  TGLLibMaterial* bound_ = nullptr;
};

// Hash key of a material name: the length, then h = 2h + byte for every byte (32-bit).
std::uint32_t MaterialNameHashKey(const std::string& name);

class TGLLibMaterial {
 public:
  ~TGLLibMaterial();
  TGLLibMaterial(const TGLLibMaterial&) = delete;
  TGLLibMaterial& operator=(const TGLLibMaterial&) = delete;

  const std::string& Name() const { return name_; }
  // Same name: nothing. Taken by another material of the library: the first free
  // name + "1", "2", ... is used instead.
  void SetName(const std::string& name);
  std::uint32_t HashKey() const { return hashKey_; }
  TGLMaterialLibrary* Library() const { return library_; }
  int Index() const;

  TGLMaterial Material;

  // Materials bound to this library material.
  const std::vector<TGLMaterial*>& Users() const { return users_; }

 private:
  friend class TGLLibMaterials;
  friend class TGLMaterial;
  explicit TGLLibMaterial(TGLMaterialLibrary* library);
  void NotifyUsers();

  TGLMaterialLibrary* library_;
  std::string name_;
  std::uint32_t hashKey_ = 0;
  std::vector<TGLMaterial*> users_;
};

// The ordered collection of a library's materials.
class TGLLibMaterials {
 public:
  // Appends a library material named "LibMaterial" or "LibMaterial" + first free number.
  TGLLibMaterial* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // Library material at a 0-based index.
  TGLLibMaterial* Items(int index) const { return items_.at(index).get(); }
  TGLLibMaterial* operator[](int index) const { return Items(index); }
  // First material in index order with the same hash key and the same name
  // (case-sensitive), or nullptr.
  TGLLibMaterial* GetLibMaterialByName(const std::string& name) const;
  // Frees every library material (bound materials fall back to their own settings).
  void Clear();

 private:
  friend class TGLMaterialLibrary;
  friend class TGLLibMaterial;
  explicit TGLLibMaterials(TGLMaterialLibrary* library) : library_(library) {}
  std::string FirstFreeName(const std::string& base, bool tryPlain) const;

  TGLMaterialLibrary* library_;
  std::vector<std::unique_ptr<TGLLibMaterial>> items_;
};

class TGLMaterialLibrary {
 public:
  TGLMaterialLibrary() = default;
  ~TGLMaterialLibrary();
  TGLMaterialLibrary(const TGLMaterialLibrary&) = delete;
  TGLMaterialLibrary& operator=(const TGLMaterialLibrary&) = delete;

  TGLLibMaterials Materials{this};
  // Same as Materials.GetLibMaterialByName.
  TGLLibMaterial* LibMaterialByName(const std::string& name) const {
    return Materials.GetLibMaterialByName(name);
  }

  // Folders tried first for relative texture paths of this library's materials.
  std::vector<std::string> TexturePaths;

 private:
  friend class TGLMaterial;
  std::vector<TGLMaterial*> referrers_;  // materials whose MaterialLibrary is this
};

}  // namespace orr
