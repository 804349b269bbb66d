#include "platform/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>
#include <set>

namespace orr {

std::vector<std::string> InstalledFontFamilies() {
  std::set<std::string> names;
  // The process-wide configuration: loaded once, shared with font matching.
  if (FcInit() == FcFalse) return {};
  FcConfig* config = FcConfigGetCurrent();
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(config, pattern, objects);
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n)
        names.insert(reinterpret_cast<const char*>(family));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return {names.begin(), names.end()};
}

namespace {

std::string MatchFontFile(const std::string& family, bool bold) {
  std::string file;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pattern == nullptr) return file;
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match != nullptr) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
      file = reinterpret_cast<const char*>(path);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

}  // namespace

struct TFontFace::TImpl {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  std::string File;
  int Ascent = 0;
  int Descent = 0;
  ~TImpl() {
    if (Face != nullptr) FT_Done_Face(Face);
    if (Library != nullptr) FT_Done_FreeType(Library);
  }
};

TFontFace::TFontFace(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TFontFace::~TFontFace() = default;

std::unique_ptr<TFontFace> TFontFace::Open(const std::string& family, int pixelHeight,
                                           bool bold, std::string& error) {
  auto impl = std::make_unique<TImpl>();
  impl->File = MatchFontFile(family, bold);
  if (impl->File.empty()) {
    error = "no font file matches \"" + family + "\"";
    return nullptr;
  }
  if (FT_Init_FreeType(&impl->Library) != 0 ||
      FT_New_Face(impl->Library, impl->File.c_str(), 0, &impl->Face) != 0) {
    error = "cannot open font file " + impl->File;
    return nullptr;
  }
  // The cell height (ascent + descent) is what the caller asks for, as a system font
  // request by character cell height does.
  int height = std::max(1, pixelHeight);
  FT_Set_Pixel_Sizes(impl->Face, 0, static_cast<FT_UInt>(height));
  const FT_Size_Metrics& m = impl->Face->size->metrics;
  int cell = static_cast<int>((m.ascender - m.descender) >> 6);
  if (cell > height && cell > 0) {
    FT_Set_Pixel_Sizes(impl->Face, 0, static_cast<FT_UInt>(std::max(1, height * height / cell)));
  }
  impl->Ascent = static_cast<int>((impl->Face->size->metrics.ascender + 63) >> 6);
  impl->Descent = static_cast<int>((-impl->Face->size->metrics.descender + 63) >> 6);
  return std::unique_ptr<TFontFace>(new TFontFace(std::move(impl)));
}

const std::string& TFontFace::FileName() const { return impl_->File; }
int TFontFace::Height() const { return impl_->Ascent + impl_->Descent; }
int TFontFace::Ascent() const { return impl_->Ascent; }

int TFontFace::TextWidth(const std::string& text) const {
  int width = 0;
  for (unsigned char c : text) {
    if (FT_Load_Char(impl_->Face, c, FT_LOAD_DEFAULT) != 0) continue;
    width += static_cast<int>((impl_->Face->glyph->advance.x + 32) >> 6);
  }
  return width;
}

void TFontFace::DrawText(TGrayImage& target, int x, int y, const std::string& text) const {
  int penX = x;
  int baseline = y + impl_->Ascent;
  for (unsigned char c : text) {
    if (FT_Load_Char(impl_->Face, c, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = impl_->Face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
      int ty = baseline - g->bitmap_top + static_cast<int>(row);
      if (ty < 0 || ty >= target.Height) continue;
      for (unsigned col = 0; col < bm.width; ++col) {
        int tx = penX + g->bitmap_left + static_cast<int>(col);
        if (tx < 0 || tx >= target.Width) continue;
        std::uint8_t v = bm.buffer[row * bm.pitch + col];
        std::uint8_t& dst = target.Pixels[static_cast<size_t>(ty) * target.Width + tx];
        dst = std::max(dst, v);
      }
    }
    penX += static_cast<int>((g->advance.x + 32) >> 6);
  }
}

}  // namespace orr
