// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLBitmapFont.h"

#include <gtest/gtest.h>

#include <cmath>

#include "raster/TBitmap32.h"

namespace orr {
namespace {

TEST(FontSheet, SmallestAreaWinsThenTheSquarestShape) {
  struct {
    std::vector<int> Widths;
    int CharHeight;
    int W, H;
  } cases[] = {
      {std::vector<int>(10, 10), 10, 64, 64},    // 5 per row, 2 rows
      {std::vector<int>(30, 10), 10, 64, 128},   // 5 per row x 6 rows: 72 high
      {std::vector<int>(20, 30), 20, 128, 128},  // 64: 2 per row (30+2+30 = 62) x 10 rows
      {std::vector<int>(1, 100), 10, 128, 64},   // 128 x 64 beats 64 x 128? width needs 128
      {std::vector<int>(94, 19), 39, 256, 512},
  };
  for (auto& c : cases) {
    int w = 0, h = 0;
    ASSERT_TRUE(ChooseFontSheetSize(c.Widths, c.CharHeight, w, h));
    EXPECT_EQ(w, c.W) << c.Widths.size() << " glyphs of " << c.Widths[0];
    EXPECT_EQ(h, c.H) << c.Widths.size() << " glyphs of " << c.Widths[0];
  }
  int w = 0, h = 0;
  EXPECT_FALSE(ChooseFontSheetSize(std::vector<int>(1, 513), 10, w, h));
  EXPECT_FALSE(ChooseFontSheetSize(std::vector<int>(400, 40), 40, w, h));
}

TEST(BitmapFont, BuildsTheGameFontIntoOneSheetWithoutOverlaps) {
  TGLWindowsBitmapFont font;
  TGLFont f;
  f.Name = "Courier New";
  f.SetSize(24);
  f.Style = {fsBold};
  font.SetFont(f);
  font.EnsureBuilt();
  EXPECT_GT(font.CharHeight(), 24);
  EXPECT_GT(font.CharWidth(), 10);
  int w = font.SheetWidth(), h = font.SheetHeight();
  ASSERT_GT(w, 0);
  EXPECT_EQ(font.Sheet().Width, w);
  EXPECT_EQ(font.Glyph(31), nullptr);
  EXPECT_EQ(font.Glyph(126), nullptr);
  std::vector<int> owner(size_t(w) * h, -1);
  for (int c = 32; c <= 125; ++c) {
    const auto* g = font.Glyph(c);
    ASSERT_NE(g, nullptr) << c;
    ASSERT_LE(g->X + g->Width, w);
    ASSERT_LE(g->Y + font.CharHeight(), h);
    for (int y = g->Y; y < g->Y + font.CharHeight(); ++y)
      for (int x = g->X; x < g->X + g->Width; ++x) {
        ASSERT_EQ(owner[size_t(y) * w + x], -1) << "glyphs " << c << " overlap";
        owner[size_t(y) * w + x] = c;
      }
  }
  // White glyphs on black, alpha from intensity: 'W' has opaque texels, the corner none.
  const TTexels& t = font.Texture.Texels();
  const auto* g = font.Glyph('W');
  unsigned maxAlpha = 0;
  for (int y = g->Y; y < g->Y + font.CharHeight(); ++y)
    for (int x = g->X; x < g->X + g->Width; ++x)
      maxAlpha = std::max(maxAlpha, AlphaComponent(t.At(x, h - 1 - y)));
  EXPECT_GT(maxAlpha, 200u);
  EXPECT_EQ(AlphaComponent(t.At(w - 1, 0)), 0u);
}

// The sheet is chosen for the spacing the glyphs are packed with: a wider spacing must
// not leave characters off the sheet.
TEST(BitmapFont, WiderGlyphSpacingStillPlacesEveryGlyph) {
  TGLWindowsBitmapFont font;
  font.GlyphsIntervalX = 12;
  font.EnsureBuilt();
  int w = font.SheetWidth(), h = font.SheetHeight();
  for (int c = 32; c <= 125; ++c) {
    const auto* g = font.Glyph(c);
    ASSERT_NE(g, nullptr) << c;
    EXPECT_LE(g->X + g->Width, w) << c;
    EXPECT_LE(g->Y + font.CharHeight(), h) << c;
  }
}

TEST(BitmapFont, TooLargeGlyphsFailWithTheFixedTextAndSize6) {
  TGLWindowsBitmapFont font;
  TGLFont f;
  f.Name = "Courier New";
  f.Height = -300;
  font.SetFont(f);
  try {
    font.EnsureBuilt();
    FAIL() << "no exception";
  } catch (const EBitmapFontError& e) {
    EXPECT_STREQ(e.what(), "Characters are too large or too many. Unable to create font texture.");
  }
  EXPECT_EQ(font.Font().Size(), 6);
}

TEST(FlatTextLayout, CentredLinesTopLayoutSpacesAndMissingGlyphs) {
  TGLWindowsBitmapFont font;
  font.SetRanges({{32, 125}});
  font.EnsureBuilt();
  const int ch = font.CharHeight();
  const int a = font.Glyph('A')->Width, b = font.Glyph('B')->Width, sp = font.Glyph(' ')->Width;
  auto quads = LayoutFlatText(font, "AB", taLeftJustify, tlTop);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[0].Left, 0);
  EXPECT_FLOAT_EQ(quads[0].Top, 0);
  EXPECT_FLOAT_EQ(quads[0].Bottom, float(-ch));
  EXPECT_FLOAT_EQ(quads[1].Left, float(a + 1));
  // A space advances; a character without a glyph (here '~', 126) does not.
  quads = LayoutFlatText(font, "A ~B", taLeftJustify, tlTop);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[1].Left, float(a + 1 + sp + 1));
  // Centred: each line shifted left by round(width / 2); a carriage return starts a
  // new line one character height plus one pixel lower.
  quads = LayoutFlatText(font, "AB\rA", taCenter, tlTop);
  ASSERT_EQ(quads.size(), 3u);
  EXPECT_FLOAT_EQ(quads[0].Left, -float(RoundInt((a + 1 + b) / 2.0f)));
  EXPECT_FLOAT_EQ(quads[2].Left, -float(RoundInt(a / 2.0f)));
  EXPECT_FLOAT_EQ(quads[2].Top, float(-(ch + 1)));
  // Texture coordinates cover the glyph's cell of the bottom-up sheet.
  const auto* g = font.Glyph('A');
  EXPECT_FLOAT_EQ(quads[2].U0, g->X / float(font.SheetWidth()));
  EXPECT_FLOAT_EQ(quads[2].V1, 1 - g->Y / float(font.SheetHeight()));
}

// A line 4k + 1 pixels wide has its half at 2k + 0.5: the shift goes to the even 2k.
TEST(FlatTextLayout, CentringRoundsAHalfPixelToEven) {
  TGLWindowsBitmapFont font;
  font.EnsureBuilt();
  std::string line;
  int width = 0;
  for (int c1 = 33; c1 <= 125 && line.empty(); ++c1) {
    int w1 = font.Glyph(c1)->Width;
    if (w1 % 4 == 1) {
      line = std::string(1, char(c1));
      width = w1;
    }
    for (int c2 = 33; c2 <= 125 && line.empty(); ++c2) {
      int w = w1 + 1 + font.Glyph(c2)->Width;
      if (w % 4 == 1) {
        line = {char(c1), char(c2)};
        width = w;
      }
    }
  }
  ASSERT_FALSE(line.empty()) << "no line of width 4k + 1 in this font";
  auto quads = LayoutFlatText(font, line, taCenter, tlTop);
  ASSERT_FALSE(quads.empty());
  EXPECT_FLOAT_EQ(quads[0].Left, -float((width - 1) / 2)) << line;
}

TEST(FlatText, CountsAsBlendedAndIsHitThroughItsScaledSphere) {
  TGLScene scene;
  TGLWindowsBitmapFont font;
  auto* text = NewChildObject<TGLFlatText>(scene.Objects());
  text->SetBitmapFont(&font);
  text->SetText("+10");
  text->Scale.SetVector({0.01f, 0.01f, 0.01f, 0});
  text->ObjectStyle.NoDepthTest = true;
  EXPECT_TRUE(text->Blended());
  EXPECT_GT(text->BoundingRadius(), 10);  // font pixels
  TVector p;
  EXPECT_EQ(scene.RayCastIntersect({0, 0, 1, 1}, {0, 0, -1, 0}, &p), text);
  EXPECT_NEAR(p.Z, std::sqrt(3 * 0.005f * 0.005f), 1e-5f);
  EXPECT_EQ(scene.RayCastIntersect({0.1f, 0, 1, 1}, {0, 0, -1, 0}), nullptr);
}

TEST(FlatText, AFontGoneBeforeItsTextLeavesTheTextWithoutAFont) {
  TGLScene scene;
  auto* text = NewChildObject<TGLFlatText>(scene.Objects());
  text->SetText("+10");
  {
    TGLWindowsBitmapFont font;
    text->SetBitmapFont(&font);
    EXPECT_GT(text->BoundingRadius(), 10);
  }
  EXPECT_EQ(text->BitmapFont(), nullptr);
  EXPECT_TRUE(text->Quads().empty());
}

}  // namespace
}  // namespace orr
