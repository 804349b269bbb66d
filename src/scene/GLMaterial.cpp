// SPDX-License-Identifier: GPL-3.0-or-later
// Materials, textures and libraries: everything but the OpenGL side (GLMaterialRender.cpp).
#include "scene/GLMaterial.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "raster/TBitmap32.h"
#include "platform/Paths.h"

namespace orr {

// ---------------------------------------------------------------------------------------
// Texels

TColor32 TTexels::At(int x, int y) const {
  const std::uint8_t* p = &Rgba[(static_cast<size_t>(y) * Width + x) * 4];
  return Color32(p[0], p[1], p[2], p[3]);
}

namespace {

// sqrt(i / 255) * 255, the luminance-to-alpha table of the square-root modes.
std::uint8_t SqrtAlpha(unsigned lum) {
  return static_cast<std::uint8_t>(std::lround(std::sqrt(lum / 255.0) * 255.0));
}

}  // namespace

TTexels PrepareTexels(const TPicture& picture, TGLTextureImageAlpha imageAlpha) {
  TTexels t;
  if (picture.Width <= 0 || picture.Height <= 0 ||
      picture.Pixels.size() < static_cast<size_t>(picture.Width) * picture.Height)
    return t;
  t.Width = picture.Width;
  t.Height = picture.Height;
  t.Rgba.resize(static_cast<size_t>(t.Width) * t.Height * 4);
  // Row 0 of the texture is the bottom row of the picture.
  for (int y = 0; y < t.Height; ++y) {
    const TColor32* src = &picture.Pixels[static_cast<size_t>(t.Height - 1 - y) * t.Width];
    std::uint8_t* dst = &t.Rgba[static_cast<size_t>(y) * t.Width * 4];
    for (int x = 0; x < t.Width; ++x, dst += 4) {
      TColor32 c = src[x];
      dst[0] = RedComponent(c);
      dst[1] = GreenComponent(c);
      dst[2] = BlueComponent(c);
      dst[3] = AlphaComponent(c);
    }
  }
  const size_t count = static_cast<size_t>(t.Width) * t.Height;
  std::uint8_t* px = t.Rgba.data();
  // The key colour of tiaTopLeftPointColorTransparent is texel 0 of the stored image:
  // the picture's bottom-left pixel.
  const std::uint8_t keyR = px[0], keyG = px[1], keyB = px[2];
  for (size_t i = 0; i < count; ++i, px += 4) {
    unsigned lum = (unsigned(px[0]) + px[1] + px[2]) / 3;
    switch (imageAlpha) {
      case tiaDefault: break;
      case tiaAlphaFromIntensity:
      case tiaLuminance: px[3] = static_cast<std::uint8_t>(lum); break;
      case tiaSuperBlackTransparent:
        if (px[0] == 0 && px[1] == 0 && px[2] == 0) px[3] = 0;
        break;
      case tiaLuminanceSqrt: px[3] = SqrtAlpha(lum); break;
      case tiaOpaque: px[3] = 255; break;
      case tiaTopLeftPointColorTransparent:
        px[3] = (px[0] == keyR && px[1] == keyG && px[2] == keyB) ? 0 : 255;
        break;
      case tiaInverseLuminance: px[3] = static_cast<std::uint8_t>(255 - lum); break;
      case tiaInverseLuminanceSqrt: px[3] = static_cast<std::uint8_t>(255 - SqrtAlpha(lum)); break;
    }
  }
  return t;
}

int TexturePowerOfTwo(int size, int maxSize) {
  if (size <= 0) return 0;
  int p = 1;
  while (p < size && p < maxSize) p *= 2;
  return std::min(p, std::max(maxSize, 1));
}

bool MinFilterNeedsMipmaps(TGLMinFilter filter) { return filter != miNearest && filter != miLinear; }

// ---------------------------------------------------------------------------------------
// Texture

TGLTexture::TGLTexture(TGLMaterial* owner) : owner_(owner) {}

void TGLTexture::Changed(bool imageChanged) {
  if (imageChanged) texelsValid_ = false;
  uploadValid_ = false;
  if (owner_ != nullptr) owner_->NotifyStructureChanged();
}

void TGLTexture::SetImage(TPicture picture) {
  image_ = std::move(picture);
  Changed(true);
}

void TGLTexture::AssignFromBitmap(const TBitmap32& bitmap) { SetImage(bitmap.ToPicture()); }

void TGLTexture::LoadFromFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::string found;
  bool relative = !(path.size() >= 2 && path[1] == ':') && !path.starts_with('\\') && !path.starts_with('/');
  if (relative && owner_ != nullptr && owner_->OwnerLibMaterial != nullptr &&
      owner_->OwnerLibMaterial->Library() != nullptr) {
    for (const std::string& folder : owner_->OwnerLibMaterial->Library()->TexturePaths) {
      const fs::path candidate = PathFromUtf8(folder) / PathFromUtf8(path);
      std::error_code ec;
      if (fs::is_regular_file(candidate, ec)) {
        found = Utf8FromPath(candidate);
        break;
      }
    }
  }
  if (found.empty()) {
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(path), ec)) {
      SetImage({});
      throw ETexture("Could not open file: " + path);
    }
    found = path;
  }
  SetImage(LoadPictureFromFile(found));
}

void TGLTexture::SetImageAlpha(TGLTextureImageAlpha value) {
  if (value == imageAlpha_) return;
  imageAlpha_ = value;
  Changed(true);
}

void TGLTexture::SetMinFilter(TGLMinFilter value) {
  if (value == minFilter_) return;
  minFilter_ = value;
  Changed(false);
}

void TGLTexture::SetMagFilter(TGLMagFilter value) {
  if (value == magFilter_) return;
  magFilter_ = value;
  Changed(false);
}

void TGLTexture::SetTextureMode(TGLTextureMode value) {
  if (value == textureMode_) return;
  textureMode_ = value;
  if (owner_ != nullptr) owner_->NotifyStructureChanged();
}

void TGLTexture::SetDisabled(bool value) {
  if (value == disabled_) return;
  disabled_ = value;
  if (owner_ != nullptr) owner_->NotifyStructureChanged();
}

const TTexels& TGLTexture::Texels() {
  if (!texelsValid_) {
    texels_ = PrepareTexels(image_, imageAlpha_);
    texelsValid_ = true;
  }
  return texels_;
}

// ---------------------------------------------------------------------------------------
// Material

std::uint32_t MaterialNameHashKey(const std::string& name) {
  std::uint32_t h = static_cast<std::uint32_t>(name.size());
  for (unsigned char c : name) h = 2 * h + c;
  return h;
}

TGLMaterial::TGLMaterial(std::function<void()> onStructureChanged)
    : onStructureChanged_(std::move(onStructureChanged)) {}

TGLMaterial::~TGLMaterial() {
  DropBinding();
  if (library_ != nullptr) {
    auto& refs = library_->referrers_;
    refs.erase(std::remove(refs.begin(), refs.end(), this), refs.end());
  }
}

void TGLMaterial::NotifyStructureChanged() {
  if (onStructureChanged_) onStructureChanged_();
}

void TGLMaterial::SetMaterialLibrary(TGLMaterialLibrary* library) {
  if (library != library_) {
    if (library_ != nullptr) {
      auto& refs = library_->referrers_;
      refs.erase(std::remove(refs.begin(), refs.end(), this), refs.end());
    }
    library_ = library;
    if (library_ != nullptr) library_->referrers_.push_back(this);
  }
  Rebind();
}

void TGLMaterial::SetLibMaterialName(const std::string& name) {
  libMaterialName_ = name;
  Rebind();
}

void TGLMaterial::Rebind() {
  TGLLibMaterial* found = library_ != nullptr ? library_->LibMaterialByName(libMaterialName_) : nullptr;
  if (found == bound_) return;
  DropBinding();
  bound_ = found;
  if (bound_ != nullptr) bound_->users_.push_back(this);
  NotifyStructureChanged();
}

void TGLMaterial::DropBinding() {
  if (bound_ == nullptr) return;
  auto& users = bound_->users_;
  users.erase(std::remove(users.begin(), users.end(), this), users.end());
  bound_ = nullptr;
}

const TGLMaterial& TGLMaterial::Effective() const { return bound_ != nullptr ? bound_->Material : *this; }

TGLMaterial& TGLMaterial::Effective() { return bound_ != nullptr ? bound_->Material : *this; }

bool TGLMaterial::Blended() const {
  TGLBlendingMode mode = Effective().BlendingMode;
  return mode != bmOpaque && mode != bmAlphaTest50 && mode != bmAlphaTest100;
}

// ---------------------------------------------------------------------------------------
// Library material and library

TGLLibMaterial::TGLLibMaterial(TGLMaterialLibrary* library)
    : Material([this] { NotifyUsers(); }), library_(library) {
  Material.OwnerLibMaterial = this;
}

TGLLibMaterial::~TGLLibMaterial() {
  // Bound materials fall back to their own settings.
  std::vector<TGLMaterial*> users = std::move(users_);
  for (TGLMaterial* m : users) {
    m->bound_ = nullptr;
    m->NotifyStructureChanged();
  }
}

void TGLLibMaterial::NotifyUsers() {
  for (TGLMaterial* m : users_) m->NotifyStructureChanged();
}

int TGLLibMaterial::Index() const {
  for (int i = 0; i < library_->Materials.Count(); ++i)
    if (library_->Materials[i] == this) return i;
  return -1;
}

void TGLLibMaterial::SetName(const std::string& name) {
  if (name == name_) return;
  TGLLibMaterial* holder = library_->LibMaterialByName(name);
  name_ = (holder == nullptr || holder == this) ? name : library_->Materials.FirstFreeName(name, false);
  hashKey_ = MaterialNameHashKey(name_);
}

TGLMaterialLibrary::~TGLMaterialLibrary() {
  Materials.Clear();
  for (TGLMaterial* m : referrers_) m->library_ = nullptr;
}

std::string TGLLibMaterials::FirstFreeName(const std::string& base, bool tryPlain) const {
  if (tryPlain && GetLibMaterialByName(base) == nullptr) return base;
  for (unsigned n = 1;; ++n) {
    std::string candidate = base + std::to_string(n);
    if (GetLibMaterialByName(candidate) == nullptr) return candidate;
  }
}

TGLLibMaterial* TGLLibMaterials::Add() {
  std::unique_ptr<TGLLibMaterial> made(new TGLLibMaterial(library_));
  made->name_ = FirstFreeName("LibMaterial", true);
  made->hashKey_ = MaterialNameHashKey(made->name_);
  items_.push_back(std::move(made));
  return items_.back().get();
}

TGLLibMaterial* TGLLibMaterials::GetLibMaterialByName(const std::string& name) const {
  std::uint32_t key = MaterialNameHashKey(name);
  for (const auto& m : items_)
    if (m->hashKey_ == key && m->name_ == name) return m.get();
  return nullptr;
}

void TGLLibMaterials::Clear() {
  while (!items_.empty()) items_.pop_back();
}

}  // namespace orr
