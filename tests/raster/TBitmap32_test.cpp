// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "raster/TBitmap32.h"

namespace orr {
namespace {

// A bitmap whose every pixel is different: opaque, value 1 + index.
TBitmap32 Numbered(int width, int height) {
  TBitmap32 bitmap(width, height);
  for (int i = 0; i < width * height; ++i) bitmap.Bits()[i] = 0xFF000000u | TColor32(i + 1);
  return bitmap;
}

std::vector<TColor32> PixelsOf(const TBitmap32& bitmap) {
  return {bitmap.Bits(), bitmap.Bits() + size_t(bitmap.Width()) * bitmap.Height()};
}

TEST(TBitmap32, SetSizeClearsEveryPixelAndZeroSidesEmptyIt) {
  TBitmap32 bitmap(3, 2);
  bitmap.Clear(0xFFFF0080);
  bitmap.SetSize(3, 2);
  EXPECT_EQ(PixelsOf(bitmap), std::vector<TColor32>(6, 0));
  const std::pair<int, int> empties[] = {{0, 5}, {5, 0}, {-1, 4}, {4, -3}};
  for (auto [w, h] : empties) {
    bitmap.SetSize(w, h);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
  }
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {  // a picture of no pixels empties it too
    bitmap.SetSize(2, 2);
    bitmap.Assign(TPicture{w, h, {}});
    EXPECT_TRUE(bitmap.Empty()) << w << " x " << h;
  }
  EXPECT_THROW(bitmap.SetSize(32769, 1), EPictureError);
  EXPECT_THROW(bitmap.SetSize(20000, 20000), EPictureError);
  EXPECT_NO_THROW(bitmap.SetSize(32768, 1));
  EXPECT_NO_THROW(bitmap.SetSize(1, 32768));
  EXPECT_THROW(bitmap.SetSize(1, 32769), EPictureError);
}

TEST(TBitmap32, PixelsOutsideTheBitmapReadZeroAndIgnoreWrites) {
  TBitmap32 bitmap = Numbered(2, 2);
  bitmap.SetPixel(-1, 0, 7);
  bitmap.SetPixel(2, 1, 7);
  bitmap.SetPixel(1, 1, 0x12345678);
  EXPECT_EQ(bitmap.Pixel(1, 1), 0x12345678u);
  EXPECT_EQ(bitmap.Pixel(0, 1), 0xFF000003u);
  EXPECT_EQ(bitmap.Pixel(2, 0), 0u);
  EXPECT_EQ(bitmap.Pixel(0, -1), 0u);
}

TEST(TBitmap32, FillRectIsClippedToTheBitmap) {
  TBitmap32 bitmap(4, 3);
  bitmap.FillRect({-2, 1, 2, 9}, 5);
  bitmap.FillRect({3, 0, 1, 3}, 9);  // inverted: nothing
  EXPECT_EQ(PixelsOf(bitmap), (std::vector<TColor32>{0, 0, 0, 0, 5, 5, 0, 0, 5, 5, 0, 0}));
}

// Unscaled draws: destination pixel (x, y) of dstRect gets source pixel
// (srcRect.Left + x - dstRect.Left, srcRect.Top + y - dstRect.Top) when both lie inside
// their bitmaps; every other destination pixel stays as it was.
TEST(TBitmap32, PlainCopyMovesExactlyTheOverlappingPixels) {
  const TBitmap32 source = Numbered(5, 4);
  struct TCase {
    TRect Dst, Src;
  };
  const TCase cases[] = {
      {{0, 0, 5, 4}, {0, 0, 5, 4}},   {{1, 2, 4, 4}, {2, 1, 5, 3}},   {{-2, -1, 3, 3}, {0, 0, 5, 4}},
      {{4, 3, 9, 7}, {0, 0, 5, 4}},   {{0, 0, 4, 4}, {-2, -3, 2, 1}}, {{2, 1, 6, 5}, {3, 2, 7, 6}},
      {{6, 0, 8, 2}, {0, 0, 2, 2}},   {{0, 0, 3, 3}, {5, 0, 8, 3}},   {{-9, -9, -4, -5}, {0, 0, 5, 4}},
      {{0, 0, 6, 5}, {-1, -1, 5, 4}},
  };
  for (const TCase& c : cases)
    for (auto [w, h] : {std::pair{6, 5}, std::pair{4, 6}}) {  // wider than high, and higher
      TBitmap32 dst(w, h);
      dst.Clear(0x11111111);
      dst.Draw(c.Dst, c.Src, source);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int sx = c.Src.Left + x - c.Dst.Left, sy = c.Src.Top + y - c.Dst.Top;
          const bool inDst = x >= c.Dst.Left && x < c.Dst.Right && y >= c.Dst.Top && y < c.Dst.Bottom;
          const bool inSrc = sx >= 0 && sx < 5 && sy >= 0 && sy < 4;
          EXPECT_EQ(dst.Pixel(x, y), inDst && inSrc ? source.Pixel(sx, sy) : 0x11111111u)
              << "dst (" << c.Dst.Left << "," << c.Dst.Top << ") src (" << c.Src.Left << "," << c.Src.Top
              << ") at " << x << "," << y;
        }
      if (c.Dst.Width() == c.Src.Width() && c.Dst.Height() == c.Src.Height()) {
        TBitmap32 at(w, h);  // drawn at a point: the same rectangle, sized by the source's
        at.Clear(0x11111111);
        at.Draw(c.Dst.Left, c.Dst.Top, c.Src, source);
        EXPECT_EQ(PixelsOf(at), PixelsOf(dst)) << "at (" << c.Dst.Left << "," << c.Dst.Top << ")";
      }
    }
}

TEST(TBitmap32, RectanglesFarOutsideDrawNothing) {
  const TBitmap32 source = Numbered(2, 2);
  TBitmap32 dst(2, 2);
  dst.Draw({-2000000000, 0, 2, 2}, {0, 0, 2000000002, 2}, source);
  dst.Draw({0, 0, 2, 2}, {-2147483647 - 1, 0, 2147483647, 2}, source);
  EXPECT_EQ(PixelsOf(dst), std::vector<TColor32>(4, 0));
  // 2^29 out is the farthest taken: a rectangle from there still draws its visible part.
  dst.Draw({-(1 << 29), 0, 2, 2}, {-(1 << 29), 0, 2, 2}, source);
  EXPECT_EQ(PixelsOf(dst), PixelsOf(source));
  // One further is refused whole.
  TBitmap32 beyond(2, 2);
  beyond.Draw({-(1 << 29) - 1, 0, 2, 2}, {-(1 << 29) - 1, 0, 2, 2}, source);
  EXPECT_EQ(PixelsOf(beyond), std::vector<TColor32>(4, 0));
  // An empty rectangle on either side draws nothing, plain or stretched.
  const std::pair<TRect, TRect> empties[] = {{{0, 0, 2, 2}, {0, 0, 2, 0}},
                                             {{0, 0, 2, 2}, {0, 0, 0, 2}},
                                             {{0, 0, 2, 0}, {0, 0, 2, 2}},
                                             {{0, 0, 0, 2}, {0, 0, 2, 2}},
                                             {{0, 0, 2, 2}, {0, 1, 1, 1}}};
  for (const auto& [to, from] : empties) {
    TBitmap32 untouched(2, 2);
    untouched.Draw(to, from, source);
    EXPECT_EQ(PixelsOf(untouched), std::vector<TColor32>(4, 0)) << from.Right << "," << from.Bottom;
  }
}

TEST(TBitmap32, AtlasRowsCutIntoTilesKeepTheirOwnPixels) {
  // A 64 x 100 atlas: tile n's floor at x 0..31, its wall at x 32..63, rows 32n..32n+31.
  const TBitmap32 atlas = Numbered(64, 100);
  TBitmap32 scratch(32, 32);
  for (int n = 0; n < atlas.Height() / 32; ++n)
    for (int column : {0, 32}) {
      scratch.Draw({0, 0, 32, 32}, {column, 32 * n, column + 32, 32 * n + 32}, atlas);
      for (int y : {0, 17, 31})
        for (int x : {0, 9, 31}) ASSERT_EQ(scratch.Pixel(x, y), atlas.Pixel(column + x, 32 * n + y));
    }
  // A decoration atlas narrower than a tile leaves the fill colour on the right.
  const TBitmap32 narrow = Numbered(20, 64);
  scratch.Clear(0xFFFF0080);
  scratch.Draw({0, 0, 32, 32}, {0, 32, 32, 64}, narrow);
  EXPECT_EQ(scratch.Pixel(19, 5), narrow.Pixel(19, 37));
  EXPECT_EQ(scratch.Pixel(20, 5), 0xFFFF0080u);
  EXPECT_EQ(scratch.Pixel(31, 31), 0xFFFF0080u);
}

TEST(TBitmap32, StretchedDrawsTakeTheNearestSourcePixel) {
  const TBitmap32 source = Numbered(2, 2);  // 1 2 / 3 4
  TBitmap32 big(4, 4);
  big.Draw(big.BoundsRect(), source.BoundsRect(), source);
  const std::vector<TColor32> doubled = {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(big.Bits()[i], 0xFF000000u | doubled[i]) << i;

  const TBitmap32 row = Numbered(4, 1);  // 1 2 3 4
  TBitmap32 half(2, 1);
  half.Draw(half.BoundsRect(), row.BoundsRect(), row);
  EXPECT_EQ(half.Pixel(0, 0), 0xFF000002u);
  EXPECT_EQ(half.Pixel(1, 0), 0xFF000004u);

  // Stretched onto a destination partly off the bitmap: the visible part is right.
  TBitmap32 clipped(3, 3);
  clipped.Draw({-1, -1, 3, 3}, source.BoundsRect(), source);
  EXPECT_EQ(clipped.Pixel(0, 0), 0xFF000001u);
  EXPECT_EQ(clipped.Pixel(1, 0), 0xFF000002u);
  EXPECT_EQ(clipped.Pixel(2, 2), 0xFF000004u);

  // A tile of an atlas stretched into a part of the bitmap: nothing beyond the part's right
  // or bottom edge, though the atlas goes on there.
  const TBitmap32 atlas = Numbered(4, 4);
  TBitmap32 inside(4, 4);
  inside.Draw({0, 0, 3, 3}, {0, 0, 2, 2}, atlas);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(inside.Pixel(3, i), 0u) << i;
    EXPECT_EQ(inside.Pixel(i, 3), 0u) << i;
  }
  EXPECT_EQ(inside.Pixel(2, 2), atlas.Pixel(1, 1));
}

TEST(TBitmap32, CustomCombineSeesSourceDestinationAndMasterAlpha) {
  TBitmap32 source(2, 1);
  source.SetPixel(0, 0, 0xAA000001);
  source.SetPixel(1, 0, 0xAA000002);
  source.DrawMode = dmCustom;
  source.MasterAlpha = 77;
  struct TCall {
    TColor32 F, B, M;
  };
  std::vector<TCall> calls;
  source.OnPixelCombine = [&](TColor32 f, TColor32& b, TColor32 m) {
    calls.push_back({f, b, m});
    b = f ^ b;
  };
  TBitmap32 dst(3, 1);
  dst.Clear(0x0000FF00);
  dst.Draw(1, 0, source);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].F, 0xAA000001u);
  EXPECT_EQ(calls[0].B, 0x0000FF00u);
  EXPECT_EQ(calls[0].M, 77u);
  EXPECT_EQ(calls[1].F, 0xAA000002u);
  EXPECT_EQ(PixelsOf(dst), (std::vector<TColor32>{0x0000FF00, 0xAA00FF01, 0xAA00FF02}));

  source.MasterAlpha = 1000;  // the combine sees at most 255
  dst.Draw(1, 0, source);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[3].M, 255u);

  source.OnPixelCombine = nullptr;  // dmCustom without a handler draws nothing
  dst.Draw(0, 0, source);
  EXPECT_EQ(dst.Pixel(0, 0), 0x0000FF00u);
}

TEST(TBitmap32, ColourKeyCombineLeavesKeyPixelsOfTheDestinationAlone) {
  constexpr TColor32 Key = 0xFFFF0080;
  TBitmap32 sprite(3, 1);
  sprite.SetPixel(0, 0, Key);
  sprite.SetPixel(1, 0, 0x00FF0080);  // the key's colour with alpha 0 is not the key
  sprite.SetPixel(2, 0, 0xFF123456);
  sprite.DrawMode = dmCustom;
  sprite.OnPixelCombine = [](TColor32 f, TColor32& b, TColor32) {
    if (f != Key) b = f;
  };
  TBitmap32 copy = sprite;  // a copy draws the same way
  TBitmap32 dst(3, 1);
  dst.Clear(0xFF000000);
  dst.Draw(0, 0, copy);
  EXPECT_EQ(PixelsOf(dst), (std::vector<TColor32>{0xFF000000, 0x00FF0080, 0xFF123456}));
}

TEST(TBitmap32, BlendMixesBySourceAlphaTimesMasterAlpha) {
  struct TCase {
    TColor32 Source, Destination;
    unsigned Master;
    TColor32 Result;
  };
  const TCase cases[] = {
      {0x80FF0000, 0xFF0000FF, 255, 0xFF80007F},   // half red over opaque blue
      {0xFF00FF00, 0xFF000000, 128, 0xFF008000},   // opaque green at master 128
      {0xFF00FF00, 0xFF000000, 0, 0xFF000000},     // master 0 draws nothing
      {0x00FFFFFF, 0xFF123456, 255, 0xFF123456},   // transparent source
      {0xFF102030, 0x80FFFFFF, 255, 0xFF102030},   // opaque source replaces
      {0x80FF0000, 0x00000000, 255, 0x80FF0000},   // over nothing: colour kept, alpha a
      {0x80FF0000, 0xFF0000FF, 1000, 0xFF80007F},  // master above 255 counts as 255
      {0x0AFFFFFF, 0xFF000000, 13, 0xFF010101},    // alpha 10 x 13 / 255 = 0.51 rounds to 1
      {0x80204060, 0xFFC06020, 255, 0xFF705040},   // each channel its own mean, 128 : 127
  };
  for (const TCase& c : cases)
    EXPECT_EQ(BlendOver(c.Source, c.Destination, c.Master), c.Result)
        << std::hex << c.Source << " over " << c.Destination << " at " << std::dec << c.Master;

  TBitmap32 source(1, 1), dst(1, 1);
  source.Clear(0x80FF0000);
  source.DrawMode = dmBlend;
  dst.Clear(0xFF0000FF);
  dst.Draw(0, 0, source);
  EXPECT_EQ(dst.Pixel(0, 0), 0xFF80007Fu);
}

// Against the blend worked out in real numbers, each result rounded to the nearest: the
// source's weight a = alpha x master / 255, the result's alpha a + d x (255 - a) / 255, and
// each colour the mean of the two weighed by a x 255 and d x (255 - a).
TEST(TBitmap32, BlendAgreesWithTheRealNumberMeanRounded) {
  std::mt19937 random(20261210);
  auto round = [](double v) { return static_cast<unsigned>(std::floor(v + 0.5)); };
  for (int i = 0; i < 20000; ++i) {
    const TColor32 source = random(), destination = random();
    const unsigned master = i % 3 == 0 ? 255 : random() % 256;
    const unsigned a = round((source >> 24) * master / 255.0), d = destination >> 24;
    TColor32 want = destination;
    if (a == 255) {
      want = source;
    } else if (a > 0) {
      const double wf = a * 255.0, wb = d * (255.0 - a);
      want = round((wf + wb) / 255) << 24;
      for (int shift : {0, 8, 16})
        want |= round((((source >> shift) & 255) * wf + ((destination >> shift) & 255) * wb) / (wf + wb))
                << shift;
    }
    ASSERT_EQ(BlendOver(source, destination, master), want)
        << std::hex << source << " over " << destination << " at " << std::dec << master;
  }
}

TEST(TBitmap32, DrawingOntoItselfReadsTheSourceFirst) {
  TBitmap32 bitmap = Numbered(5, 1);
  bitmap.Draw(1, 0, TRect{0, 0, 4, 1}, bitmap);
  EXPECT_EQ(PixelsOf(bitmap),
            (std::vector<TColor32>{0xFF000001, 0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004}));
  TBitmap32 stretched = Numbered(8, 1);
  stretched.Draw({2, 0, 8, 1}, {0, 0, 3, 1}, stretched);  // each of 1 2 3 twice, from x = 2
  EXPECT_EQ(PixelsOf(stretched), (std::vector<TColor32>{0xFF000001, 0xFF000002, 0xFF000001, 0xFF000001,
                                                        0xFF000002, 0xFF000002, 0xFF000003, 0xFF000003}));
}

TEST(TBitmap32, SavedBitmapLoadsBackAndAFailedLoadKeepsThePixels) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("orr_raster_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  TBitmap32 saved = Numbered(7, 3);
  saved.SetPixel(2, 1, 0x00ABCDEF);
  saved.SetPixel(3, 1, 0x7F000000);
  const std::string path = (folder / "Saved.BMP").string();
  saved.SaveToFile(path);

  TBitmap32 loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.Width(), 7);
  EXPECT_EQ(PixelsOf(loaded), PixelsOf(saved));

  EXPECT_THROW(loaded.LoadFromFile((folder / "missing.bmp").string()), EPictureError);
  EXPECT_THROW(loaded.LoadFromFile(std::string(ORR_TEST_DATA) + "/codecs/g_no_table.gif"), EPictureError);
  EXPECT_EQ(PixelsOf(loaded), PixelsOf(saved));

  loaded.LoadFromFile(std::string(ORR_TEST_DATA) + "/codecs/g_transparent.gif");
  EXPECT_EQ(loaded.Width(), 4);
  EXPECT_EQ(loaded.Pixel(2, 0), 0u);
  EXPECT_EQ(loaded.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_THROW(TBitmap32().SaveToFile((folder / "empty.bmp").string()), EPictureError);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orr
