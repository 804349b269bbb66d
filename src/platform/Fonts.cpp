// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Fonts.h"

#ifdef _WIN32
#include <windows.h>
#elif !defined(__EMSCRIPTEN__)
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "platform/Application.h"
#include "platform/Paths.h"

namespace orr {

#if defined(_WIN32) || defined(__EMSCRIPTEN__)
#define ORR_FONTS_BY_FREETYPE 1

// Windows: the fonts in the Windows Fonts folder, read by FreeType. A name no font there
// carries falls back as fontconfig falls back on Linux: a monospaced family to Liberation
// Mono, any other to DejaVu Sans, both shipped in the game's own Fonts folder (Wine's
// Fonts folder is empty). The web has no fonts of its own: only the shipped ones.
namespace {

struct TFontFile {
  std::string Family;
  bool Bold = false;
  std::string File;
  long Index = 0;
};

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The faces of every font file in `folder`, in file-name order.
std::vector<TFontFile> ScanFonts(const std::string& folder) {
  std::vector<TFontFile> fonts;
  if (folder.empty()) return fonts;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return fonts;
  std::vector<std::string> files;
  std::error_code error;
  for (std::filesystem::directory_iterator entries(PathFromUtf8(folder), error), end;
       !error && entries != end; entries.increment(error)) {
    const std::string ext = Lowered(Utf8FromPath(entries->path().extension()));
    if (ext == ".ttf" || ext == ".ttc" || ext == ".otf") files.push_back(Utf8FromPath(entries->path()));
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    std::ifstream in(PathFromUtf8(file), std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    long faces = 1;
    for (long index = 0; index < faces; ++index) {
      FT_Face face = nullptr;
      if (FT_New_Memory_Face(library, data.data(), static_cast<FT_Long>(data.size()), index, &face) != 0)
        break;
      faces = face->num_faces;
      if (face->family_name != nullptr && FT_IS_SCALABLE(face))
        fonts.push_back({face->family_name, (face->style_flags & FT_STYLE_FLAG_BOLD) != 0, file, index});
      FT_Done_Face(face);
    }
  }
  FT_Done_FreeType(library);
  return fonts;
}

std::string WindowsFontsFolder() {
#ifdef __EMSCRIPTEN__
  return {};
#else
  wchar_t windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return Utf8FromWide(std::wstring(windows, n)) + "\\Fonts";
#endif
}

const std::vector<TFontFile>& SystemFonts() {
  static const std::vector<TFontFile> fonts = ScanFonts(WindowsFontsFolder());
  return fonts;
}

const std::vector<TFontFile>& ShippedFonts() {
  static const std::vector<TFontFile> fonts = [] {
    const std::string exe = ExecutableFileName();
    const std::size_t cut = LastPathSeparator(exe);
#ifdef _WIN32
    return ScanFonts((cut == std::string::npos ? std::string(".") : exe.substr(0, cut)) + "\\Fonts");
#else
    return ScanFonts((cut == std::string::npos ? std::string(".") : exe.substr(0, cut)) + "/Fonts");
#endif
  }();
  return fonts;
}

const TFontFile* Find(const std::vector<TFontFile>& fonts, const std::string& family, bool bold) {
  const TFontFile* any = nullptr;
  for (const TFontFile& font : fonts) {
    if (Lowered(font.Family) != Lowered(family)) continue;
    if (font.Bold == bold) return &font;
    if (any == nullptr) any = &font;
  }
  return any;
}

TFontFile MatchFont(const std::string& family, bool bold) {
  // The names Windows itself substitutes for its old bitmap fonts.
  static const std::pair<const char*, const char*> substitutes[] = {{"MS Sans Serif", "Microsoft Sans Serif"},
                                                                    {"MS Shell Dlg", "Microsoft Sans Serif"},
                                                                    {"MS Shell Dlg 2", "Tahoma"},
                                                                    {"Helv", "Microsoft Sans Serif"},
                                                                    {"Courier", "Courier New"}};
  std::vector<std::string> names = {family};
  for (const auto& [from, to] : substitutes)
    if (Lowered(family) == Lowered(from)) names.push_back(to);
  for (const std::string& name : names)
    if (const TFontFile* font = Find(SystemFonts(), name, bold)) return *font;
  static const char* const monospaced[] = {"courier new", "courier", "consolas", "lucida console",
                                           "monospace"};
  const bool mono =
      std::find(std::begin(monospaced), std::end(monospaced), Lowered(family)) != std::end(monospaced);
  if (const TFontFile* font = Find(ShippedFonts(), mono ? "Liberation Mono" : "DejaVu Sans", bold))
    return *font;
  if (!SystemFonts().empty()) return SystemFonts().front();
  return {};
}

}  // namespace

std::vector<std::string> InstalledFontFamilies() {
  std::set<std::string> names;
  for (const TFontFile& font : SystemFonts()) names.insert(font.Family);
  return {names.begin(), names.end()};
}

#else

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

#endif

struct TFontFace::TImpl {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  std::string File;
  std::vector<unsigned char> Data;  // the font file, on Windows (FreeType opens no wide names) and the web
  int Ascent = 0;
  int Descent = 0;
  ~TImpl() {
    if (Face != nullptr) FT_Done_Face(Face);
    if (Library != nullptr) FT_Done_FreeType(Library);
  }
};

TFontFace::TFontFace(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TFontFace::~TFontFace() = default;

std::unique_ptr<TFontFace> TFontFace::Open(const std::string& family, int pixelHeight, bool bold,
                                           std::string& error) {
  auto impl = std::make_unique<TImpl>();
#ifdef ORR_FONTS_BY_FREETYPE
  const TFontFile match = MatchFont(family, bold);
  impl->File = match.File;
#else
  impl->File = MatchFontFile(family, bold);
#endif
  if (impl->File.empty()) {
    error = "no font file matches \"" + family + "\"";
    return nullptr;
  }
#ifdef ORR_FONTS_BY_FREETYPE
  std::ifstream in(PathFromUtf8(impl->File), std::ios::binary);
  impl->Data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const bool opened =
      FT_Init_FreeType(&impl->Library) == 0 &&
      FT_New_Memory_Face(impl->Library, impl->Data.data(), static_cast<FT_Long>(impl->Data.size()),
                         match.Index, &impl->Face) == 0;
#else
  const bool opened = FT_Init_FreeType(&impl->Library) == 0 &&
                      FT_New_Face(impl->Library, impl->File.c_str(), 0, &impl->Face) == 0;
#endif
  if (!opened) {
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

void TFontFace::DrawString(TGrayImage& target, int x, int y, const std::string& text) const {
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
