// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "codecs/Codecs.h"
#include "TestPictures.h"

namespace orr {
namespace {

using test::Compare;
using test::DecodePrefix;
using test::ReadBytes;
using test::ReadReference;

TPicture DecodeFile(const std::string& name, const TDecodeLimits& limits = {}) {
  std::vector<std::uint8_t> bytes = ReadBytes("codecs/" + name);
  return DecodeGif(bytes.data(), bytes.size(), limits);
}

TEST(GifCodec, FirstFrameDecodesToTheReferencePixels) {
  for (const char* name : {"g_transparent", "g_two_frames", "g_interlaced", "g_offset_frame",
                           "g_frame_past_screen", "g_index_past_table", "g_zero_screen"}) {
    SCOPED_TRACE(name);
    TPicture want = ReadReference(std::string("codecs/") + name + ".txt");
    EXPECT_EQ(Compare(DecodeFile(std::string(name) + ".gif"), want, 0), "");
  }
}

TEST(GifCodec, ImageMagicksTransparentColourBecomesAlphaZero) {
  TPicture picture = DecodeFile("im_quadrants.gif");
  ASSERT_EQ(picture.Width, 32);
  ASSERT_EQ(picture.Height, 32);
  EXPECT_EQ(picture.Pixels[8 * 32 + 8], 0xFFFF0000u);
  EXPECT_EQ(picture.Pixels[8 * 32 + 24], 0xFF00FF00u);
  EXPECT_EQ(picture.Pixels[24 * 32 + 8] >> 24, 0u);
  EXPECT_EQ(picture.Pixels[24 * 32 + 24], 0xFFFFFFFFu);
}

TEST(GifCodec, TruncatedFilesAreRefusedUntilTheFirstFrameIsComplete) {
  for (const char* name : {"g_transparent.gif", "g_interlaced.gif", "im_quadrants.gif"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes = ReadBytes(std::string("codecs/") + name);
    TPicture full = DecodeFile(name);
    bool decodedOnce = false;
    for (size_t length = 0; length < bytes.size(); ++length) {
      try {
        TPicture part = DecodePrefix(&DecodeGif, bytes, length);
        EXPECT_EQ(Compare(part, full, 0), "") << "length " << length;
        decodedOnce = true;
      } catch (const EPictureError&) {
        EXPECT_FALSE(decodedOnce) << "a longer prefix failed after a shorter one decoded";
      }
    }
  }
}

TEST(GifCodec, MalformedFilesAreRefusedWithAClearMessage) {
  struct TCase {
    std::vector<std::uint8_t> Bytes;
    TDecodeLimits Limits;
    const char* Message;
  };
  std::vector<std::uint8_t> wrongSignature = ReadBytes("codecs/g_transparent.gif");
  wrongSignature[4] = '8';
  std::vector<std::uint8_t> noFrames = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  const TCase cases[] = {
      {ReadBytes("codecs/g_no_table.gif"), {}, "GIF: picture has no colour table"},
      {wrongSignature, {}, "GIF: not a GIF file (no GIF87a or GIF89a signature)"},
      {noFrames, {}, "GIF: file holds no picture"},
      {ReadBytes("codecs/g_transparent.gif"),
       {3, 100},
       "GIF: picture size 4x3 exceeds the limit of 3 pixels per side"},
      {ReadBytes("codecs/g_zero_screen.gif"),
       {100, 3},
       "GIF: picture size 2x2 exceeds the limit of 3 pixels"},
  };
  for (const TCase& c : cases) {
    try {
      DecodeGif(c.Bytes.data(), c.Bytes.size(), c.Limits);
      ADD_FAILURE() << "no exception; expected \"" << c.Message << "\"";
    } catch (const EPictureError& error) {
      EXPECT_STREQ(error.what(), c.Message);
    }
  }
}

}  // namespace
}  // namespace orr
