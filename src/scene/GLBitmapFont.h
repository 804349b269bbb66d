// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap fonts rasterised from a system font into one glyph texture, and flat text: a
// string laid out with such a font in an object's local XY plane.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "scene/GLMaterial.h"
#include "scene/GLObjects.h"
#include "scene/SetOf.h"

namespace orr {

class EBitmapFontError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A system font by name. Height < 0 is the character height in pixels (negated), as set
// through Size in points at 96 dots per inch.
struct TGLFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  TSetOf<TFontStyle> Style;
  unsigned Color = 0xFFFFFF;  // 0xRRGGBB
  int Size() const { return (-Height * 72 + 48) / 96; }
  void SetSize(int points) { Height = -((points * 96 + 36) / 72); }
  int PixelHeight() const { return Height < 0 ? -Height : Height; }
};

struct TCharRange {
  int StartASCII, StopASCII;  // inclusive
};

// Chooses the glyph sheet among 64, 128, 256 and 512 pixels per side: the smallest area
// that holds every glyph, packed `interval` pixels apart, among equal areas the one whose
// sides differ least. False when none holds them.
bool ChooseFontSheetSize(const std::vector<int>& glyphWidths, int charHeight, int& width, int& height,
                         int interval = 2);

class TGLFlatText;

class TGLWindowsBitmapFont {
 public:
  TGLWindowsBitmapFont();
  ~TGLWindowsBitmapFont();
  TGLWindowsBitmapFont(const TGLWindowsBitmapFont&) = delete;
  TGLWindowsBitmapFont& operator=(const TGLWindowsBitmapFont&) = delete;

  const TGLFont& Font() const { return font_; }
  void SetFont(const TGLFont& font);
  const std::vector<TCharRange>& Ranges() const { return ranges_; }
  void SetRanges(std::vector<TCharRange> ranges);
  TGLTextureImageAlpha GlyphsAlpha() const { return glyphsAlpha_; }
  void SetGlyphsAlpha(TGLTextureImageAlpha value);
  TGLMinFilter MinFilter() const { return Texture.MinFilter(); }
  void SetMinFilter(TGLMinFilter value) { Texture.SetMinFilter(value); }
  TGLMagFilter MagFilter() const { return Texture.MagFilter(); }
  void SetMagFilter(TGLMagFilter value) { Texture.SetMagFilter(value); }
  int GlyphsIntervalX = 2;  // pixels between packed glyphs and between rows
  int HSpace = 1;           // pen spacing after each glyph of a laid-out text
  int VSpace = 1;           // spacing between laid-out lines

  // Builds the glyph sheet now if the font or ranges changed since the last build.
  // Throws EBitmapFontError (and sets the font size to 6) when the glyphs fit no sheet.
  void EnsureBuilt();
  // Changes every time the sheet is rebuilt.
  int Version() const { return version_; }

  struct TGlyph {
    int X = 0, Y = 0;  // top-left on the sheet, y counted from the top
    int Width = 0;     // glyph width (its text width in the font)
  };
  // The glyph of a character, or nullptr when it has none (built on demand).
  const TGlyph* Glyph(unsigned char c);
  int CharWidth();   // nominal: widest of "M", "W", "_" plus 2
  int CharHeight();  // height of the sample "_pI|, plus 2
  int SheetWidth() const { return sheetWidth_; }
  int SheetHeight() const { return sheetHeight_; }
  // The sheet, top row first: black with the glyphs in white.
  const TPicture& Sheet() const { return Texture.Image(); }

  // Holds the sheet; its alpha comes from GlyphsAlpha.
  TGLTexture Texture;

 private:
  friend class TGLFlatText;
  void Build();
  void GlyphsChanged();
  std::vector<TGLFlatText*> texts_;  // the texts set in this font (told when it is rebuilt)

  TGLFont font_;
  std::vector<TCharRange> ranges_{{32, 125}};
  TGLTextureImageAlpha glyphsAlpha_ = tiaAlphaFromIntensity;
  bool built_ = false;
  int version_ = 0;
  int charWidth_ = 0, charHeight_ = 0;
  int sheetWidth_ = 0, sheetHeight_ = 0;
  TGlyph glyphs_[256];
  bool hasGlyph_[256] = {};
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// One textured quad of laid-out text, in font pixels of the object's local XY plane.
struct TGlyphQuad {
  float Left, Top, Right, Bottom;  // Top > Bottom: +Y is up
  float U0, V0, U1, V1;            // texture coordinates of (Left, Bottom) and (Right, Top)
};

// Lays out `text` from the origin: taCenter shifts each line left by round(width / 2),
// halves to even; tlTop puts the top of the first line at Y = 0 with lines growing
// toward -Y.
std::vector<TGlyphQuad> LayoutFlatText(TGLWindowsBitmapFont& font, const std::string& text,
                                       TAlignment alignment, TTextLayout layout);

class TGLFlatText : public TGLBaseSceneObject {
 public:
  explicit TGLFlatText(TGLScene* scene) : TGLBaseSceneObject(scene) {}
  ~TGLFlatText() override;
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  TGLWindowsBitmapFont* BitmapFont() const { return font_; }
  void SetBitmapFont(TGLWindowsBitmapFont* font);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  TColorVector ModulateColor{1, 1, 1, 1};

  // Drawn with source-alpha blending, so it is rendered after the opaque objects.
  bool Blended() const override { return true; }
  float BoundingRadius() const override;
  void BuildList(TGLRenderContext& context) override;
  // The quads of the current text (laid out on demand).
  const std::vector<TGlyphQuad>& Quads();

 private:
  friend class TGLWindowsBitmapFont;
  std::string text_;
  TGLWindowsBitmapFont* font_ = nullptr;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  std::vector<TGlyphQuad> quads_;
  bool quadsValid_ = false;
  int quadsFontVersion_ = -1;
  float radius_ = 0;
};

}  // namespace orr
