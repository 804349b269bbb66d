// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>

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

// A file that declares the largest picture the limits allow and ends after its headers is
// refused without the memory of that picture (a gigabyte) ever being taken.
TEST(JpegCodec, AHugeDeclaredPictureWithoutDataTakesNoMemoryForIt) {
  std::vector<std::uint8_t> bytes = ReadBytes("codecs/q_baseline.jpg");
  const std::uint8_t sof[] = {0xFF, 0xC0}, sos[] = {0xFF, 0xDA};
  const auto frame = std::search(bytes.begin(), bytes.end(), std::begin(sof), std::end(sof));
  const auto scan = std::search(bytes.begin(), bytes.end(), std::begin(sos), std::end(sos));
  ASSERT_TRUE(frame != bytes.end() && scan != bytes.end());
  for (int at : {5, 7}) {  // height, then width: 16384 each, 2^28 pixels
    frame[at] = 0x40;
    frame[at + 1] = 0x00;
  }
  bytes.erase(scan + 2 + (scan[2] << 8 | scan[3]) + 4, bytes.end());  // four bytes of data
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_THROW(DecodeJpeg(bytes.data(), bytes.size()), EPictureError);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 128 * 1024) << "kB more at the peak";
}

}  // namespace
}  // namespace orr
