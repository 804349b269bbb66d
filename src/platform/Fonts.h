// SPDX-License-Identifier: GPL-3.0-or-later
// System fonts: the installed family list and one glyph rasteriser (FreeType on the file
// fontconfig matches for a family name), used by static text and by the 3D bitmap font.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orr {

// Installed font family names (fontconfig), every name a family is known by, sorted.
std::vector<std::string> InstalledFontFamilies();

// An 8-bit coverage image, top row first.
struct TGrayImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;
};

class TFontFace {
 public:
  // Opens the font fontconfig matches best for `family` at `pixelHeight` (cell height in
  // pixels). nullptr with `error` set when no font file can be opened at all.
  static std::unique_ptr<TFontFace> Open(const std::string& family, int pixelHeight, bool bold,
                                         std::string& error);
  ~TFontFace();

  // File the family name resolved to.
  const std::string& FileName() const;
  // Line height in pixels (ascent + descent).
  int Height() const;
  int Ascent() const;
  // Advance width of the text in pixels (sum of the advances of its bytes, Latin-1).
  int TextWidth(const std::string& text) const;
  // Draws the text with its top-left at (x, y) into `target`, combining coverage by max.
  void DrawString(TGrayImage& target, int x, int y, const std::string& text) const;

 private:
  struct TImpl;
  explicit TFontFace(std::unique_ptr<TImpl> impl);
  std::unique_ptr<TImpl> impl_;
};

}  // namespace orr
