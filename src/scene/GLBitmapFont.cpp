// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLBitmapFont.h"

#include <algorithm>
#include <cmath>

#include "platform/Fonts.h"
#include "scene/GLRenderContext.h"

namespace orr {

namespace {

const int SheetSides[] = {64, 128, 256, 512};

// Packs the glyphs left to right in rows of `charHeight`, `interval` pixels apart.
// Calls place(i, x, y) for every glyph; false when they do not fit the sheet.
template <class TPlace>
bool PackGlyphs(const std::vector<int>& widths, int charHeight, int interval, int sheetW, int sheetH,
                TPlace place) {
  int x = 0, y = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    int w = widths[i];
    if (w > sheetW) return false;
    if (x + w > sheetW) {
      x = 0;
      y += charHeight + interval;
    }
    if (y + charHeight > sheetH) return false;
    place(i, x, y);
    x += w + interval;
  }
  return true;
}

}  // namespace

bool ChooseFontSheetSize(const std::vector<int>& glyphWidths, int charHeight, int& width, int& height,
                         int interval) {
  int bestArea = 0;
  bool found = false;
  for (int w : SheetSides)
    for (int h : SheetSides) {
      if (!PackGlyphs(glyphWidths, charHeight, interval, w, h, [](size_t, int, int) {})) continue;
      int area = w * h;
      if (!found || area < bestArea || (area == bestArea && std::abs(w - h) < std::abs(width - height))) {
        found = true;
        bestArea = area;
        width = w;
        height = h;
      }
    }
  return found;
}

// ---------------------------------------------------------------------------------------
// Bitmap font

TGLWindowsBitmapFont::TGLWindowsBitmapFont() {
  Texture.SetEnabled(true);
  Texture.SetMinFilter(miLinear);
  Texture.SetImageAlpha(glyphsAlpha_);
  Texture.SetTextureMode(tmModulate);
}

TGLWindowsBitmapFont::~TGLWindowsBitmapFont() {
  for (TGLFlatText* text : texts_) text->font_ = nullptr;  // they draw nothing from now on
}

void TGLWindowsBitmapFont::SetFont(const TGLFont& font) {
  font_ = font;
  GlyphsChanged();
}

void TGLWindowsBitmapFont::SetRanges(std::vector<TCharRange> ranges) {
  ranges_ = std::move(ranges);
  GlyphsChanged();
}

// The texts are laid out again (with the sheet rebuilt on demand), and their extents change.
void TGLWindowsBitmapFont::GlyphsChanged() {
  built_ = false;
  for (TGLFlatText* text : texts_) {
    text->quadsValid_ = false;
    text->StructureChanged();
  }
}

void TGLWindowsBitmapFont::SetGlyphsAlpha(TGLTextureImageAlpha value) {
  glyphsAlpha_ = value;
  Texture.SetImageAlpha(value);
}

void TGLWindowsBitmapFont::EnsureBuilt() {
  if (!built_) Build();
}

const TGLWindowsBitmapFont::TGlyph* TGLWindowsBitmapFont::Glyph(unsigned char c) {
  EnsureBuilt();
  return hasGlyph_[c] ? &glyphs_[c] : nullptr;
}

int TGLWindowsBitmapFont::CharWidth() {
  EnsureBuilt();
  return charWidth_;
}

int TGLWindowsBitmapFont::CharHeight() {
  EnsureBuilt();
  return charHeight_;
}

void TGLWindowsBitmapFont::Build() {
  built_ = true;  // a failed build is not retried until the font changes
  ++version_;
  std::fill(std::begin(hasGlyph_), std::end(hasGlyph_), false);
  charWidth_ = charHeight_ = sheetWidth_ = sheetHeight_ = 0;
  Texture.SetImage({});

  std::string error;
  auto face = TFontFace::Open(font_.Name, font_.PixelHeight(), font_.Style.Contains(fsBold), error);
  if (!face) throw EBitmapFontError(error);
  charWidth_ = std::max({face->TextWidth("M"), face->TextWidth("W"), face->TextWidth("_")}) + 2;
  // The height of a text is the font's cell height (ascent + descent), whatever the
  // characters: the sample "_pI|, of the rule measures exactly that.
  charHeight_ = face->Height() + 2;

  std::vector<int> codes, widths;
  for (const TCharRange& r : ranges_)
    for (int c = std::max(r.StartASCII, 0); c <= std::min(r.StopASCII, 255); ++c) {
      codes.push_back(c);
      widths.push_back(face->TextWidth(std::string(1, char(c))));
    }
  int w = 0, h = 0;
  if (!ChooseFontSheetSize(widths, charHeight_, w, h, GlyphsIntervalX)) {
    font_.SetSize(6);
    throw EBitmapFontError("Characters are too large or too many. Unable to create font texture.");
  }
  sheetWidth_ = w;
  sheetHeight_ = h;
  TGrayImage coverage{w, h, std::vector<std::uint8_t>(size_t(w) * h, 0)};
  PackGlyphs(widths, charHeight_, GlyphsIntervalX, w, h, [&](size_t i, int x, int y) {
    int c = codes[i];
    glyphs_[c] = {x, y, widths[i]};
    hasGlyph_[c] = true;
    face->DrawString(coverage, x, y + 1, std::string(1, char(c)));
  });
  // Black sheet, white glyphs; GlyphsAlpha turns the intensity into alpha.
  TPicture sheet{w, h, std::vector<TColor32>(size_t(w) * h)};
  for (size_t i = 0; i < sheet.Pixels.size(); ++i) {
    unsigned v = coverage.Pixels[i];
    sheet.Pixels[i] = 0xFF000000u | (v << 16) | (v << 8) | v;
  }
  Texture.SetImage(std::move(sheet));
}

// ---------------------------------------------------------------------------------------
// Layout

std::vector<TGlyphQuad> LayoutFlatText(TGLWindowsBitmapFont& font, const std::string& text,
                                       TAlignment alignment, TTextLayout layout) {
  std::vector<TGlyphQuad> quads;
  font.EnsureBuilt();
  const int charHeight = font.CharHeight();
  const float sw = float(std::max(font.SheetWidth(), 1));
  const float sh = float(std::max(font.SheetHeight(), 1));
  const int lineStep = charHeight + font.VSpace;

  // Split into lines at carriage returns.
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') lines.emplace_back();
    else lines.back() += c;
  }
  const int totalHeight = int(lines.size()) * lineStep - font.VSpace;
  float top = 0;
  if (layout == tlCenter) top = std::round(totalHeight / 2.0f);
  else if (layout == tlBottom) top = float(totalHeight);

  const TGLWindowsBitmapFont::TGlyph* space = font.Glyph(' ');
  for (const std::string& line : lines) {
    int width = 0;
    for (unsigned char c : line) {
      const TGLWindowsBitmapFont::TGlyph* g = c == ' ' ? space : font.Glyph(c);
      if (g != nullptr) width += g->Width + font.HSpace;
    }
    if (width > 0) width -= font.HSpace;
    float pen = 0;
    // Halves go to the even neighbour, like every other rounding in the game.
    if (alignment == taCenter) pen = -float(RoundInt(width / 2.0f));
    else if (alignment == taRightJustify) pen = -float(width);
    for (unsigned char c : line) {
      const TGLWindowsBitmapFont::TGlyph* g = c == ' ' ? space : font.Glyph(c);
      if (g == nullptr) continue;  // no glyph: skipped without advance
      if (c != ' ') {
        TGlyphQuad q;
        q.Left = pen;
        q.Right = pen + g->Width;
        q.Top = top;
        q.Bottom = top - charHeight;
        q.U0 = g->X / sw;
        q.U1 = (g->X + g->Width) / sw;
        // Texture rows are stored bottom-up: sheet row y is texture row (h - 1 - y).
        q.V1 = 1 - g->Y / sh;
        q.V0 = 1 - (g->Y + charHeight) / sh;
        quads.push_back(q);
      }
      pen += g->Width + font.HSpace;
    }
    top -= lineStep;
  }
  return quads;
}

// ---------------------------------------------------------------------------------------
// Flat text

void TGLFlatText::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  quadsValid_ = false;
  StructureChanged();
}

TGLFlatText::~TGLFlatText() {
  if (font_ != nullptr) std::erase(font_->texts_, this);
}

void TGLFlatText::SetBitmapFont(TGLWindowsBitmapFont* font) {
  if (font == font_) return;
  if (font_ != nullptr) std::erase(font_->texts_, this);
  if (font != nullptr) font->texts_.push_back(this);
  font_ = font;
  quadsValid_ = false;
  StructureChanged();
}

void TGLFlatText::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  quadsValid_ = false;
  StructureChanged();
}

void TGLFlatText::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  quadsValid_ = false;
  StructureChanged();
}

const std::vector<TGlyphQuad>& TGLFlatText::Quads() {
  if (font_ == nullptr) {
    quads_.clear();
    radius_ = 0;
    return quads_;
  }
  if (!quadsValid_ || quadsFontVersion_ != font_->Version()) {
    quadsValid_ = true;
    try {
      quads_ = LayoutFlatText(*font_, text_, alignment_, layout_);
    } catch (const EBitmapFontError&) {
      quads_.clear();
    }
    quadsFontVersion_ = font_->Version();
    radius_ = 0;
    for (const TGlyphQuad& q : quads_)
      radius_ = std::max({radius_, std::hypot(q.Left, q.Top), std::hypot(q.Right, q.Top),
                          std::hypot(q.Left, q.Bottom), std::hypot(q.Right, q.Bottom)});
  }
  return quads_;
}

float TGLFlatText::BoundingRadius() const {
  return const_cast<TGLFlatText*>(this)->Quads().empty() ? 0 : radius_;
}

void TGLFlatText::BuildList(TGLRenderContext& context) {
  const std::vector<TGlyphQuad>& quads = Quads();
  if (quads.empty()) return;
  context.SetLighting(false);
  context.SetTransparency();
  context.SetColor(ModulateColor);
  font_->Texture.Apply(context);
  context.BindTexture(font_->Texture.Handle(), tmModulate);
  TRenderVertex* v = context.Vertices(int(quads.size()) * 4);
  TRenderVertex* out = v;
  for (const TGlyphQuad& q : quads) {
    *out++ = {{q.Left, q.Bottom, 0}, {0, 0, 1}, {q.U0, q.V0}, {1, 1, 1, 1}};
    *out++ = {{q.Right, q.Bottom, 0}, {0, 0, 1}, {q.U1, q.V0}, {1, 1, 1, 1}};
    *out++ = {{q.Right, q.Top, 0}, {0, 0, 1}, {q.U1, q.V1}, {1, 1, 1, 1}};
    *out++ = {{q.Left, q.Top, 0}, {0, 0, 1}, {q.U0, q.V1}, {1, 1, 1, 1}};
  }
  context.Renderer->Draw(TPrimitive::Quads, v, int(quads.size()) * 4, false);
}

}  // namespace orr
