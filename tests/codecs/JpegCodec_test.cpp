#include <gtest/gtest.h>

#include "codecs/Codecs.h"
#include "TestPictures.h"

namespace orr {
namespace {

using test::DecodePrefix;
using test::ReadBytes;

TPicture DecodeFile(const std::string& name, const TDecodeLimits& limits = {}) {
  std::vector<std::uint8_t> bytes = ReadBytes("codecs/" + name);
  return DecodeJpeg(bytes.data(), bytes.size(), limits);
}

void ExpectNear(TColor32 got, TColor32 want, int tolerance, const std::string& where) {
  for (int shift = 0; shift < 32; shift += 8)
    EXPECT_NEAR(int((got >> shift) & 255), int((want >> shift) & 255), tolerance)
        << where << std::hex << ": got " << got << ", want " << want;
}

TEST(JpegCodec, QuadrantsDecodeToTheirColoursInEveryColourSpace) {
  struct TCase {
    const char* File;
    TColor32 Quadrants[4];  // top left, top right, bottom left, bottom right
    int Tolerance;
  };
  const TCase cases[] = {
      {"q_baseline.jpg", {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}, 4},
      {"q_progressive.jpg", {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}, 4},
      // Grey levels of red, green, blue and white (Rec. 601 weights).
      {"q_gray.jpg", {0xFF363636, 0xFFB6B6B6, 0xFF121212, 0xFFFFFFFF}, 30},
      {"q_cmyk.jpg", {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}, 6},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TPicture picture = DecodeFile(c.File);
    ASSERT_EQ(picture.Width, 32);
    ASSERT_EQ(picture.Height, 32);
    for (int q = 0; q < 4; ++q) {
      const int x = (q % 2) * 16 + 8, y = (q / 2) * 16 + 8;
      ExpectNear(picture.Pixels[y * 32 + x], c.Quadrants[q], c.Tolerance, "quadrant " + std::to_string(q));
    }
  }
}

TEST(JpegCodec, GreyPicturesHaveEqualChannels) {
  TPicture picture = DecodeFile("q_gray.jpg");
  for (TColor32 p : picture.Pixels) {
    EXPECT_EQ((p >> 16) & 255, p & 255);
    EXPECT_EQ((p >> 8) & 255, p & 255);
  }
}

TEST(JpegCodec, EveryTruncationIsRefusedWithoutEndingTheProgram) {
  for (const char* name : {"q_baseline.jpg", "q_progressive.jpg"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes = ReadBytes(std::string("codecs/") + name);
    for (size_t length = 0; length < bytes.size(); ++length)
      EXPECT_THROW(DecodePrefix(&DecodeJpeg, bytes, length), EPictureError) << "length " << length;
  }
}

TEST(JpegCodec, DamagedBytesNeverCrashTheDecoder) {
  std::vector<std::uint8_t> bytes = ReadBytes("codecs/q_progressive.jpg");
  int refused = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::vector<std::uint8_t> damaged = bytes;
    damaged[i] ^= 0x5A;
    try {
      TPicture picture = DecodePrefix(&DecodeJpeg, damaged, damaged.size());
      EXPECT_EQ(picture.Pixels.size(), size_t(picture.Width) * picture.Height);
    } catch (const EPictureError&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(JpegCodec, ErrorsCarryLibjpegsReasonAndTheLimits) {
  const std::uint8_t garbage[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  try {
    DecodeJpeg(garbage, sizeof garbage);
    ADD_FAILURE() << "no exception";
  } catch (const EPictureError& error) {
    EXPECT_STREQ(error.what(), "JPEG: Not a JPEG file: starts with 0x47 0x49");
  }
  try {
    DecodeFile("q_baseline.jpg", TDecodeLimits{16, 1 << 20});
    ADD_FAILURE() << "no exception";
  } catch (const EPictureError& error) {
    EXPECT_STREQ(error.what(), "JPEG: picture size 32x32 exceeds the limit of 16 pixels per side");
  }
  EXPECT_THROW(DecodeJpeg(garbage, 2), EPictureError);
}

}  // namespace
}  // namespace orr
