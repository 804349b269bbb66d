// SPDX-License-Identifier: GPL-3.0-or-later
#include <vector>

#include <gtest/gtest.h>

#include "raster/TImage32.h"

namespace orr {
namespace {

struct TDrawn {
  int Left, Top, Width, Height;
  std::vector<TColor32> Pixels;
};

class TRecordingContext : public TPaintContext {
 public:
  int WindowWidth() const override { return 100; }
  int WindowHeight() const override { return 80; }
  void FillRect(int, int, int, int, unsigned) override {}
  void DrawImage(int left, int top, int width, int height, const unsigned* pixels) override {
    Drawn.push_back({left, top, width, height, {pixels, pixels + size_t(width) * height}});
  }
  void SetViewport(int, int, int, int) override {}
  void ResetViewport() override {}
  std::vector<TDrawn> Drawn;
};

constexpr TColor32 Key = 0xFFFF0080;

// 3 x 2: key, red, key / green, blue, white; drawn with the colour-key combine.
TBitmap32 KeyedHud() {
  TBitmap32 bitmap(3, 2);
  const TColor32 pixels[] = {Key, 0xFFFF0000, Key, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  std::copy(std::begin(pixels), std::end(pixels), bitmap.Bits());
  bitmap.DrawMode = dmCustom;
  bitmap.OnPixelCombine = [](TColor32 f, TColor32& b, TColor32) {
    if (f != Key) b = f;
  };
  return bitmap;
}

TEST(TImage32, KeyPixelsAndTheAreaBeyondTheBitmapAreTransparent) {
  TPanel parent(nullptr);
  TImage32* image = TComponent::Create<TImage32>(&parent);
  image->SetParent(&parent);
  image->SetBounds(0, 0, 4, 2);
  TBitmap32 hud = KeyedHud();
  image->SetBitmap(hud);
  hud.Clear(0);  // the control holds its own copy
  const TBitmap32& shown = image->RenderedImage();
  const std::vector<TColor32> want = {0, 0xFFFF0000, 0, 0, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0};
  EXPECT_EQ(std::vector<TColor32>(shown.Bits(), shown.Bits() + 8), want);

  image->ScaleMode = smStretch;
  image->SetBounds(0, 0, 6, 4);
  const TBitmap32& stretched = image->RenderedImage();
  EXPECT_EQ(stretched.Pixel(0, 0), 0u);
  EXPECT_EQ(stretched.Pixel(2, 1), 0xFFFF0000u);
  EXPECT_EQ(stretched.Pixel(5, 3), 0xFFFFFFFFu);

  // A new picture at the same size: nothing of the last render is left beyond it.
  image->ScaleMode = smNormal;
  image->SetBitmap(TBitmap32(1, 1));
  const TBitmap32& again = image->RenderedImage();
  EXPECT_EQ(std::vector<TColor32>(again.Bits(), again.Bits() + 24), std::vector<TColor32>(24, 0));
}

TEST(TImage32, PaintsAtItsPlaceInsideTheParentClippedToParentAndWindow) {
  struct TCase {
    int ParentLeft, ParentTop, ParentWidth, ParentHeight;
    int Left, Top;
    TDrawn Expected;  // Width 0: nothing painted
    int ImageWidth = 3;
  };
  // The image is 3 x 2 (or ImageWidth x 2): pixels 1, 2, ... (opaque), row by row.
  const TCase cases[] = {
      {10, 20, 50, 40, 5, 6, {15, 26, 3, 2, {1, 2, 3, 4, 5, 6}}},
      {10, 20, 50, 40, -1, -1, {10, 20, 2, 1, {5, 6}}},   // over the parent's top-left
      {10, 20, 50, 40, 48, 39, {58, 59, 2, 1, {1, 2}}},   // over its bottom-right
      {10, 20, 50, 40, 50, 0, {0, 0, 0, 0, {}}},          // just beyond its right edge
      {90, 70, 50, 40, 8, 9, {98, 79, 2, 1, {1, 2}}},     // cut by the window
      {-5, 0, 50, 40, 3, 0, {0, 0, 1, 2, {3, 6}}},        // parent partly off screen
      {10, 20, 50, 40, 5, 6, {15, 26, 1, 2, {1, 2}}, 1},  // a picture one pixel wide
  };
  for (const TCase& c : cases) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 80);
    TPanel* panel = TComponent::Create<TPanel>(&form);
    panel->SetParent(&form);
    panel->SetBounds(c.ParentLeft, c.ParentTop, c.ParentWidth, c.ParentHeight);
    TImage32* image = TComponent::Create<TImage32>(panel);
    image->SetParent(panel);
    image->SetBounds(c.Left, c.Top, c.ImageWidth, 2);
    image->Bitmap().SetSize(c.ImageWidth, 2);
    for (int i = 0; i < 2 * c.ImageWidth; ++i) image->Bitmap().Bits()[i] = 0xFF000000u | TColor32(i + 1);
    TRecordingContext context;
    image->Paint(context);
    SCOPED_TRACE("image at " + std::to_string(c.Left) + "," + std::to_string(c.Top));
    if (c.Expected.Width == 0) {
      EXPECT_TRUE(context.Drawn.empty());
      continue;
    }
    ASSERT_EQ(context.Drawn.size(), 1u);
    const TDrawn& d = context.Drawn[0];
    EXPECT_EQ(d.Left, c.Expected.Left);
    EXPECT_EQ(d.Top, c.Expected.Top);
    EXPECT_EQ(d.Width, c.Expected.Width);
    EXPECT_EQ(d.Height, c.Expected.Height);
    std::vector<TColor32> want;
    for (TColor32 v : c.Expected.Pixels) want.push_back(0xFF000000u | v);
    EXPECT_EQ(d.Pixels, want);
  }
}

}  // namespace
}  // namespace orr
