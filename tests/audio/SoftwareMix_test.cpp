// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SoftwareMix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "AudioTestFiles.h"

namespace orr {
namespace {

TWaveFormat Format(uint32_t rate, uint16_t channels, uint16_t bits) {
  TWaveFormat f;
  f.SamplesPerSec = rate;
  f.Channels = channels;
  f.BitsPerSample = bits;
  f.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.AvgBytesPerSec = f.BlockAlign * rate;
  return f;
}

TMixSource Source(const std::vector<uint8_t>& data, const TWaveFormat& format, bool looping = true) {
  TMixSource s;
  s.Data = data.data();
  s.Bytes = static_cast<uint32_t>(data.size());
  s.Format = format;
  s.Playing = true;
  s.Looping = looping;
  return s;
}

std::vector<int16_t> Mix16(TSoftwareMix& mix, std::vector<TMixSource*> sources, uint32_t frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * mix.Output().Channels);
  mix.Mix(sources.data(), sources.size(), reinterpret_cast<uint8_t*>(out.data()), frames);
  return out;
}

TEST(SoftwareMix, FullVolumeCentreAtTheOutputRatePassesSamplesUnchangedAcrossChunksAndWraps) {
  const auto samples = test::TestSamples(1000, 2);
  const auto bytes = test::AsBytes(samples);
  TSoftwareMix mix;
  mix.SetOutput(Format(44100, 2, 16), 256);  // 1500 frames take several chunks
  TMixSource source = Source(bytes, Format(44100, 2, 16));
  auto out = Mix16(mix, {&source}, 1500);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], samples[i % samples.size()]) << i;
  EXPECT_EQ(source.Position, 500u * 4);
  EXPECT_TRUE(source.Playing);
}

TEST(SoftwareMix, OneShotSourceStopsAtItsEndAndRestsAtTheStart) {
  const auto samples = test::TestSamples(100, 2);
  const auto bytes = test::AsBytes(samples);
  TSoftwareMix mix;
  mix.SetOutput(Format(44100, 2, 16), 1024);
  TMixSource source = Source(bytes, Format(44100, 2, 16), false);
  auto out = Mix16(mix, {&source}, 150);
  for (size_t i = 0; i < 200; ++i) ASSERT_EQ(out[i], samples[i]);
  for (size_t i = 200; i < 300; ++i) ASSERT_EQ(out[i], 0);
  EXPECT_FALSE(source.Playing);
  EXPECT_EQ(source.Position, 0u);
}

TEST(SoftwareMix, VolumeAndPanScaleEachSide) {
  struct TCase {
    int32_t Volume, Pan;
    int ExpectedLeft, ExpectedRight;  // for a constant input of 20000 on both sides
  };
  const TCase cases[] = {
      {0, 0, 20000, 20000},    {-600, 0, 10024, 10024},  // -6 dB is about one half
      {0, 10000, 0, 20000},                              // full right
      {0, -2000, 20000, 2000},                           // right side 20 dB down
      {-10000, 0, 0, 0},                                 // silent
  };
  std::vector<int16_t> constant(64, 20000);
  const auto bytes = test::AsBytes(constant);
  for (const auto& c : cases) {
    TSoftwareMix mix;
    mix.SetOutput(Format(44100, 2, 16), 64);
    TMixSource source = Source(bytes, Format(44100, 2, 16));
    VolumePanToGains(c.Volume, c.Pan, &source.GainLeft, &source.GainRight);
    auto out = Mix16(mix, {&source}, 8);
    EXPECT_NEAR(out[0], c.ExpectedLeft, 2) << c.Volume << "/" << c.Pan;
    EXPECT_NEAR(out[1], c.ExpectedRight, 2) << c.Volume << "/" << c.Pan;
  }
}

TEST(SoftwareMix, SourcesAreSummedAndClampedAndStoppedOnesIgnored) {
  std::vector<int16_t> loud(64, 30000), quiet(64, -1000), other(64, 5);
  auto a = test::AsBytes(loud), b = test::AsBytes(quiet), c = test::AsBytes(other);
  TSoftwareMix mix;
  mix.SetOutput(Format(44100, 2, 16), 64);
  TMixSource s1 = Source(a, Format(44100, 2, 16)), s2 = Source(a, Format(44100, 2, 16));
  TMixSource s3 = Source(b, Format(44100, 2, 16)), s4 = Source(c, Format(44100, 2, 16));
  s4.Playing = false;
  auto out = Mix16(mix, {&s1, &s3, &s4}, 4);
  EXPECT_EQ(out[0], 29000);
  out = Mix16(mix, {&s1, &s2, &s4}, 4);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(s4.Position, 0u);
}

TEST(SoftwareMix, ConvertsRateChannelsAndSampleWidth) {
  // 8-bit mono at half the output rate: every source frame twice, on both sides.
  std::vector<uint8_t> mono8 = {128, 192, 64, 255};
  TSoftwareMix mix;
  mix.SetOutput(Format(44100, 2, 16), 64);
  TMixSource source = Source(mono8, Format(22050, 1, 8));
  auto out = Mix16(mix, {&source}, 8);
  const int16_t expected[] = {0,      0,      0,      0,      16384, 16384, 16384, 16384,
                              -16384, -16384, -16384, -16384, 32512, 32512, 32512, 32512};
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(out[i], expected[i]) << i;
  EXPECT_EQ(source.Position, 0u);  // 4 frames consumed, wrapped

  // Stereo 16-bit into an 8-bit mono output: the average of both sides, offset by 128.
  std::vector<int16_t> pair = {25600, -25600, 12800, 12800};
  auto bytes = test::AsBytes(pair);
  TSoftwareMix mono;
  mono.SetOutput(Format(44100, 1, 8), 16);
  TMixSource stereo = Source(bytes, Format(44100, 2, 16));
  uint8_t out8[2];
  TMixSource* list[] = {&stereo};
  mono.Mix(list, 1, out8, 2);
  EXPECT_EQ(out8[0], 128);
  EXPECT_EQ(out8[1], 128 + 50);

  // The same into a 16-bit mono output: the average, not the left side.
  TSoftwareMix mono16;
  mono16.SetOutput(Format(44100, 1, 16), 16);
  stereo.Position = 0;
  EXPECT_EQ(Mix16(mono16, {&stereo}, 2), (std::vector<int16_t>{0, 12800}));
}

}  // namespace
}  // namespace orr
