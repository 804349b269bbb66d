// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "codecs/Codecs.h"
#include "TestPictures.h"

namespace orr {
namespace {

using test::Compare;
using test::DecodePrefix;
using test::ReadBytes;
using test::ReadReference;

TPicture DecodeFile(const std::string& name) {
  std::vector<std::uint8_t> bytes = ReadBytes("bmp/" + name);
  return DecodeBmp(bytes.data(), bytes.size());
}

TEST(BmpCodec, EveryVariantDecodesToTheReferencePixels) {
  struct TCase {
    const char* File;
    const char* Reference;
    int Tolerance;  // per channel: 16-bit colours lose their low bits
  };
  const TCase cases[] = {
      {"pal1.bmp", "reference_mono.txt", 0},
      {"pal4.bmp", "reference.txt", 0},
      {"pal4_rle4.bmp", "reference.txt", 0},
      {"pal8.bmp", "reference.txt", 0},
      {"pal8_rle8.bmp", "reference.txt", 0},
      {"pal8_topdown.bmp", "reference.txt", 0},
      {"pal8_core.bmp", "reference.txt", 0},
      {"pal8_used16.bmp", "reference.txt", 0},
      {"rgb16_555.bmp", "reference.txt", 4},
      {"rgb16_565.bmp", "reference.txt", 4},
      {"rgb24.bmp", "reference.txt", 0},
      {"rgb24_topdown.bmp", "reference.txt", 0},
      {"rgb24_core.bmp", "reference.txt", 0},
      {"rgb32_unused_alpha.bmp", "reference.txt", 0},
      {"argb32_plain.bmp", "reference_alpha.txt", 0},
      {"argb32_v5.bmp", "reference_alpha.txt", 0},
      {"argb16_4444.bmp", "reference_alpha.txt", 8},
      {"rle8_delta.bmp", "rle8_delta.txt", 0},
      // Written by ImageMagick, whose palette reduction moves some colours by up to 3.
      {"im_rgb24.bmp", "reference.txt", 0},
      {"im_pal8.bmp", "reference.txt", 3},
      {"im_pal8_rle8.bmp", "reference.txt", 3},
      {"im_os2.bmp", "reference.txt", 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TPicture want = ReadReference(std::string("bmp/") + c.Reference);
    EXPECT_EQ(Compare(DecodeFile(c.File), want, c.Tolerance), "");
  }
}

TEST(BmpCodec, EncodedPicturesDecodeUnchangedAlphaIncluded) {
  const TPicture pictures[] = {
      ReadReference("bmp/reference_alpha.txt"),
      {2, 1, {0x00000000, 0x00000000}},  // all transparent stays transparent
      {1, 3, {0x80FF0000, 0x0000FF00, 0xFF0000FF}},
  };
  for (const TPicture& picture : pictures) {
    std::vector<std::uint8_t> bytes = EncodeBmp32(picture);
    TPicture back = DecodeBmp(bytes.data(), bytes.size());
    EXPECT_EQ(Compare(back, picture, 0), "");
  }
  EXPECT_THROW(EncodeBmp32(TPicture{}), EPictureError);
  EXPECT_THROW(EncodeBmp32(TPicture{2, 2, {1, 2, 3}}), EPictureError);
}

TEST(BmpCodec, EveryTruncationIsRefusedWithoutReadingPastTheData) {
  // Plain files: anything shorter than the file minus the last row's padding is refused.
  for (const char* name : {"pal1.bmp", "pal4.bmp", "pal8.bmp", "rgb16_565.bmp", "rgb24.bmp", "argb32_v5.bmp",
                           "pal8_core.bmp", "argb16_4444.bmp"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes = ReadBytes(std::string("bmp/") + name);
    for (size_t length = 0; length + 3 < bytes.size(); ++length)
      EXPECT_THROW(DecodePrefix(&DecodeBmp, bytes, length), EPictureError) << "length " << length;
  }
  // RLE data that stops between codes ends the picture there; inside a code it is refused.
  for (const char* name : {"pal4_rle4.bmp", "pal8_rle8.bmp", "rle8_delta.bmp"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes = ReadBytes(std::string("bmp/") + name);
    TPicture full = DecodeBmp(bytes.data(), bytes.size());
    for (size_t length = 0; length < bytes.size(); ++length) {
      try {
        TPicture part = DecodePrefix(&DecodeBmp, bytes, length);
        EXPECT_EQ(part.Width, full.Width);
        EXPECT_EQ(part.Pixels.size(), full.Pixels.size());
      } catch (const EPictureError&) {
      }
    }
  }
}

void Put32(std::vector<std::uint8_t>& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

TEST(BmpCodec, MalformedHeadersAreRefusedWithAClearMessage) {
  // Offsets: 10 pixel data offset, 14 header size, 18 width, 22 height, 28 bit depth,
  // 30 compression, 46 colours used, 54 first mask after a 40-byte header.
  using TEdit = std::function<void(std::vector<std::uint8_t>&)>;
  struct TCase {
    const char* File;
    TEdit Edit;
    const char* Message;
  };
  const TCase cases[] = {
      {"rgb24.bmp", [](auto& b) { b[1] = 'X'; }, "BMP: not a bitmap file (no \"BM\" signature)"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 18, 0); }, "BMP: invalid width 0"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 18, std::uint32_t(-5)); }, "BMP: invalid width -5"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 22, 0); }, "BMP: invalid height 0"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 18, 40000); },
       "BMP: picture size 40000x7 exceeds the limit of 32768 pixels per side"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 18, 20000), Put32(b, 22, 20000); },
       "BMP: picture size 20000x20000 exceeds the limit of 268435456 pixels"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 22, 0x80000000u); },
       "BMP: picture size 13x2147483648 exceeds the limit of 32768 pixels per side"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 18, 8000), Put32(b, 22, 8000); },
       "BMP: pixel data is truncated (needs 192000000 bytes, has 280)"},
      {"rgb24.bmp", [](auto& b) { Put16(b, 28, 7); }, "BMP: unsupported bit depth 7"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 30, 4); }, "BMP: unsupported compression 4"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 30, 1); },
       "BMP: compression 1 does not go with 24 bits per pixel"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 14, 8); }, "BMP: unknown header size 8"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 14, 5000); },
       "BMP: header is truncated (5000 bytes declared, 320 present)"},
      {"rgb24.bmp", [](auto& b) { Put32(b, 10, 100000); },
       "BMP: pixel data offset 100000 lies past the end of the file (334 bytes)"},
      {"rgb16_565.bmp", [](auto& b) { Put32(b, 54, 0xF0F0); },
       "BMP: red mask 0x0000F0F0 is not one run of bits"},
      {"rgb16_565.bmp", [](auto& b) { Put32(b, 58, 0x1F0000); },
       "BMP: green mask 0x001F0000 does not fit in 16 bits"},
      {"pal8_used16.bmp", [](auto& b) { Put32(b, 46, 256), Put32(b, 10, 0); },
       "BMP: palette is truncated (256 colours declared)"},
      {"rgb24.bmp", [](auto& b) { b.resize(17); }, "BMP: file is too short for a bitmap header"},
  };
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes = ReadBytes(std::string("bmp/") + c.File);
    c.Edit(bytes);
    try {
      DecodeBmp(bytes.data(), bytes.size());
      ADD_FAILURE() << "no exception; expected \"" << c.Message << "\"";
    } catch (const EPictureError& error) {
      EXPECT_STREQ(error.what(), c.Message);
    }
  }
}

TEST(BmpCodec, IndicesBeyondTheDeclaredPaletteAreOpaqueBlack) {
  std::vector<std::uint8_t> bytes = ReadBytes("bmp/pal8_used16.bmp");
  Put32(bytes, 46, 2);  // only colours 0 and 1 count now
  TPicture got = DecodeBmp(bytes.data(), bytes.size());
  TPicture want = ReadReference("bmp/reference.txt");
  TPicture full = DecodeFile("pal8_used16.bmp");
  ASSERT_EQ(got.Pixels.size(), want.Pixels.size());
  int black = 0;
  for (size_t i = 0; i < want.Pixels.size(); ++i) {
    const bool inPalette = want.Pixels[i] == 0xFF000000u || want.Pixels[i] == 0xFFFF0000u;
    EXPECT_EQ(got.Pixels[i], inPalette ? full.Pixels[i] : 0xFF000000u) << i;
    black += !inPalette;
  }
  EXPECT_GT(black, 20);
  // No count given: the palette is what fits before the pixels (16 colours here).
  Put32(bytes, 46, 0);
  EXPECT_EQ(Compare(DecodeBmp(bytes.data(), bytes.size()), want, 0), "");
}

TEST(BmpCodec, FiveBitChannelsScaleToTheNearestByte) {
  // Every pixel against round(v x 255 / 31) of its own bits, no tolerance.
  const std::vector<std::uint8_t> bytes = ReadBytes("bmp/rgb16_555.bmp");
  const TPicture got = DecodeFile("rgb16_555.bmp");
  const int w = 13, h = 7, stride = (w * 2 + 3) / 4 * 4;
  ASSERT_EQ(got.Width, w);
  auto scale = [](unsigned v) { return static_cast<TColor32>(std::lround(v * 255.0 / 31)); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t at = 54 + static_cast<size_t>(h - 1 - y) * stride + 2 * x;
      const unsigned p = bytes[at] | (bytes[at + 1] << 8);
      const TColor32 want = 0xFF000000u | scale(p >> 10 & 31) << 16 | scale(p >> 5 & 31) << 8 | scale(p & 31);
      EXPECT_EQ(got.Pixels[static_cast<size_t>(y * w + x)], want) << x << "," << y;
    }
}

TEST(BmpCodec, RunsOfFourBitsAlternateHighNibbleFirst) {
  // One row of 8 from the codes: a run of 5 of "1 2", 3 literal pixels "3 4 5", the end.
  const std::vector<std::uint8_t> codes = {0x05, 0x12, 0x00, 0x03, 0x34, 0x50, 0x00, 0x01};
  std::vector<std::uint8_t> b(118, 0);
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size() + codes.size()));
  Put32(b, 10, 118), Put32(b, 14, 40), Put32(b, 18, 8), Put32(b, 22, 1);
  Put16(b, 26, 1), Put16(b, 28, 4), Put32(b, 30, 2);
  for (int i = 0; i < 16; ++i) b[54 + 4 * i] = static_cast<std::uint8_t>(i);  // colour i: blue i
  b.insert(b.end(), codes.begin(), codes.end());
  const TPicture got = DecodeBmp(b.data(), b.size());
  const std::vector<TColor32> blues = {1, 2, 1, 2, 1, 3, 4, 5};
  ASSERT_EQ(got.Pixels.size(), blues.size());
  for (size_t x = 0; x < blues.size(); ++x) EXPECT_EQ(got.Pixels[x], 0xFF000000u | blues[x]) << x;
}

TEST(BmpCodec, LimitsCanBeLoweredByTheCaller) {
  std::vector<std::uint8_t> bytes = ReadBytes("bmp/pal8_rle8.bmp");
  EXPECT_THROW(DecodeBmp(bytes.data(), bytes.size(), TDecodeLimits{12, 1000}), EPictureError);
  EXPECT_THROW(DecodeBmp(bytes.data(), bytes.size(), TDecodeLimits{100, 90}), EPictureError);
  EXPECT_EQ(DecodeBmp(bytes.data(), bytes.size(), TDecodeLimits{13, 91}).Width, 13);
}

}  // namespace
}  // namespace orr
