// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/mwAudioFileRead.h"

#include <gtest/gtest.h>

#include <cstring>

#include "AudioTestFiles.h"
#include "ScriptedStream.h"

namespace orr {
namespace {

using test::AsBytes;
using test::TestSamples;
using test::TScriptedStream;
using test::WriteAudioFile;

constexpr int64_t Second = StreamTimeUnitsPerSecond;

TAudioFileReader ScriptedReader(TScriptedStream*& stream, int64_t duration = 10 * Second) {
  TAudioFileReader reader;
  reader.WaveFormat.BlockAlign = 4;
  reader.Duration = duration;
  auto made = std::make_unique<TScriptedStream>();
  stream = made.get();
  reader.Stream = std::move(made);
  return reader;
}

TEST(StreamResults, EachCodeHasItsMessageAndUnlistedCodesAGenericOne) {
  struct TCase {
    TStreamResult Code;
    const char* Message;
  };
  const TCase cases[] = {
      {0x00040001, "The asynchronous update is pending."},
      {0x00040003, "Reached the end of the stream; the sample wasn't updated."},
      {0x08000001, "Invalid buffer size."},
      {0x80040403, "No stream can be found with the specified attributes."},
      {0x8004040A, "The IMultiMediaStream object is not in running state."},
      {0x80070057, "One of the parameters is invalid."},
      {0x12345678, "Unrecognized error value."},
      {0x80004005, "Unrecognized error value."},
  };
  for (const auto& c : cases) {
    try {
      CheckStreamResult(c.Code);
      ADD_FAILURE() << std::hex << c.Code << " did not raise";
    } catch (const EAudioReadError& e) {
      EXPECT_STREQ(e.what(), c.Message);
      EXPECT_EQ(e.ErrorCode, c.Code);
    }
  }
  EXPECT_NO_THROW(CheckStreamResult(0));
}

TEST(ReadBlock, SizeZeroRaisesInvalidBufferSizeAndChangesNothing) {
  TScriptedStream* stream;
  TAudioFileReader reader = ScriptedReader(stream);
  reader.CurrentPosition = 123;
  uint8_t buffer[16];
  try {
    ReadBlock(reader, buffer, 0);
    FAIL() << "no exception";
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "Invalid buffer size.");
    EXPECT_EQ(e.ErrorCode, 0x08000001u);
  }
  EXPECT_EQ(reader.CurrentPosition, 123);
  EXPECT_EQ(reader.BoundBuffer, nullptr);
  EXPECT_EQ(stream->UpdateCalls, 0);
}

TEST(ReadBlock, EndOfStreamAndMissingStreamGiveZeroBytesWithoutError) {
  for (TStreamResult end : {MS_S_ENDOFSTREAM, MS_E_NOSTREAM}) {
    TScriptedStream* stream;
    TAudioFileReader reader = ScriptedReader(stream);
    stream->Blocks = {{end, 0, 0, 0}};
    uint8_t buffer[16];
    EXPECT_EQ(ReadBlock(reader, buffer, sizeof buffer), 0u);
    EXPECT_EQ(reader.CurrentPosition, 0);
  }
}

TEST(ReadBlock, FailingUpdateRaisesAndKeepsThePosition) {
  TScriptedStream* stream;
  TAudioFileReader reader = ScriptedReader(stream);
  stream->Blocks = {{0x80004004, 0, 0, 0}};
  reader.CurrentPosition = 5;
  uint8_t buffer[16];
  try {
    ReadBlock(reader, buffer, sizeof buffer);
    FAIL() << "no exception";
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "The update aborted.");
    EXPECT_EQ(e.ErrorCode, 0x80004004u);
  }
  EXPECT_EQ(reader.CurrentPosition, 5);
}

TEST(ReadBlock, RebindsOnlyWhenBufferOrSizeChange) {
  TScriptedStream* stream;
  TAudioFileReader reader = ScriptedReader(stream);
  stream->Blocks = {{0, 8, 0, 10}, {0, 8, 10, 20}, {0, 4, 20, 30}, {0, 8, 30, 40}};
  uint8_t a[8], b[8];
  ReadBlock(reader, a, 8);
  ReadBlock(reader, a, 8);
  EXPECT_EQ(stream->SetBufferCalls, 1);
  ReadBlock(reader, a, 4);
  ReadBlock(reader, b, 4);
  EXPECT_EQ(stream->SetBufferCalls, 3);
}

TEST(ReadBlock, EndBeforeStartMovesStartToEnd) {
  TScriptedStream* stream;
  TAudioFileReader reader = ScriptedReader(stream);
  stream->Blocks = {{0, 8, 50, 40}};
  uint8_t buffer[8];
  EXPECT_EQ(ReadBlock(reader, buffer, 8), 8u);
  EXPECT_EQ(reader.SampleStart, 40);
  EXPECT_EQ(reader.SampleEnd, 40);
  EXPECT_EQ(reader.CurrentPosition, 40);
}

TEST(ReadBlock, BlockCrossingThePlayLengthIsCutToWholeFramesAndNextReadGivesZero) {
  test::TScratchFolder folder;
  const std::string path = folder.File("one-second.wav");
  const auto samples = TestSamples(44100, 2);
  ASSERT_TRUE(WriteAudioFile(path, samples, 44100, 2));
  auto reader = OpenAudioFileReader(path);
  reader->PlayLength = 1234567;  // 0.1234567 s
  std::vector<uint8_t> buffer(176400);
  uint32_t n = ReadBlock(*reader, buffer.data(), static_cast<uint32_t>(buffer.size()));
  // trunc(176400 * 1234567 / 10000000) = 21777, down to a multiple of 4.
  EXPECT_EQ(n, 21776u);
  EXPECT_EQ(reader->CurrentPosition, 1234567);
  EXPECT_EQ(reader->SampleEnd, 1234567);
  EXPECT_EQ(0, std::memcmp(buffer.data(), AsBytes(samples).data(), n));
  EXPECT_EQ(ReadBlock(*reader, buffer.data(), static_cast<uint32_t>(buffer.size())), 0u);
}

TEST(ReadBlock, ReadsTheFileInOrderWithStreamTimesThenEnds) {
  test::TScratchFolder folder;
  const std::string path = folder.File("short.wav");
  const auto samples = TestSamples(4410, 2);  // 0.1 s
  ASSERT_TRUE(WriteAudioFile(path, samples, 44100, 2));
  auto reader = OpenAudioFileReader(path);
  std::vector<uint8_t> all, block(4000);
  int64_t lastEnd = 0;
  while (uint32_t n = ReadBlock(*reader, block.data(), static_cast<uint32_t>(block.size()))) {
    EXPECT_EQ(reader->SampleStart, lastEnd);
    lastEnd = reader->SampleEnd;
    all.insert(all.end(), block.begin(), block.begin() + n);
  }
  EXPECT_EQ(all, AsBytes(samples));
  EXPECT_EQ(lastEnd, Second / 10);
  EXPECT_EQ(ReadBlock(*reader, block.data(), 4000), 0u);  // still nothing, still no error
}

TEST(SeekTo, RewindLandsOnThePlayStartAndReadsFromThere) {
  test::TScratchFolder folder;
  const std::string path = folder.File("three-seconds.wav");
  const auto samples = TestSamples(3 * 8000, 1);
  ASSERT_TRUE(WriteAudioFile(path, samples, 8000, 1));
  // A fresh reader (at 0) and one that has read a block both go to 2 s.
  for (bool readFirst : {false, true}) {
    auto reader = OpenAudioFileReader(path);
    std::vector<uint8_t> block(1600);
    if (readFirst) ReadBlock(*reader, block.data(), 1600);
    reader->PlayStart = 2 * Second;
    SeekTo(*reader, 0);
    EXPECT_EQ(reader->CurrentPosition, 2 * Second);
    ASSERT_EQ(ReadBlock(*reader, block.data(), 1600), 1600u);
    EXPECT_EQ(reader->SampleStart, 2 * Second);
    EXPECT_EQ(0, std::memcmp(block.data(), AsBytes(samples).data() + 2 * 16000, 1600));
  }
}

TEST(SeekTo, TargetsAreClampedToThePlayWindowAndTheDuration) {
  struct TCase {
    int64_t PlayStart, PlayLength, Target, Expected;
  };
  const TCase cases[] = {
      {0, 0, 20 * Second, 10 * Second},              // past the duration
      {Second, 2 * Second, 5 * Second, 3 * Second},  // past the play window
      {Second, 0, Second / 2, Second},               // before the play start
      {0, 0, 4 * Second, 4 * Second},
  };
  for (const auto& c : cases) {
    TScriptedStream* stream;
    TAudioFileReader reader = ScriptedReader(stream, 10 * Second);
    reader.CurrentPosition = 7;
    reader.PlayStart = c.PlayStart;
    reader.PlayLength = c.PlayLength;
    SeekTo(reader, c.Target);
    EXPECT_EQ(reader.CurrentPosition, c.Expected);
    EXPECT_EQ(stream->LastSeek, c.Expected);
  }
}

TEST(SeekTo, SameTargetDoesNothingAndFailureKeepsThePosition) {
  TScriptedStream* stream;
  TAudioFileReader reader = ScriptedReader(stream);
  reader.CurrentPosition = Second;
  SeekTo(reader, Second);
  EXPECT_EQ(stream->SeekCalls, 0);
  stream->SeekResult = 0x80040404;
  EXPECT_THROW(SeekTo(reader, 0), EAudioReadError);
  EXPECT_EQ(reader.CurrentPosition, Second);
}

TEST(OpenAudioFileReader, DecodesWavFlacAndOggTo16BitAtTheFileRateAndChannels) {
  test::TScratchFolder folder;
  struct TCase {
    const char* Name;
    int Format, Rate, Channels;
    bool Lossless;
  };
  const TCase cases[] = {
      {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, true},
      {"b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, false},
      {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1, true},
      {"d.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const int frames = c.Rate / 2;
    const auto samples = TestSamples(frames, c.Channels);
    ASSERT_TRUE(WriteAudioFile(folder.File(c.Name), samples, c.Rate, c.Channels, c.Format));
    auto reader = OpenAudioFileReader(folder.File(c.Name));
    const TWaveFormat& f = reader->WaveFormat;
    EXPECT_EQ(f.FormatTag, 1);
    EXPECT_EQ(f.Channels, c.Channels);
    EXPECT_EQ(f.SamplesPerSec, static_cast<uint32_t>(c.Rate));
    EXPECT_EQ(f.BitsPerSample, 16);
    EXPECT_EQ(f.BlockAlign, 2 * c.Channels);
    EXPECT_EQ(f.AvgBytesPerSec, static_cast<uint32_t>(2 * c.Channels * c.Rate));
    EXPECT_EQ(f.ExtraSize, 0);
    EXPECT_EQ(reader->Duration, Second / 2);
    EXPECT_EQ(reader->PlayStart, 0);
    EXPECT_EQ(reader->PlayLength, 0);
    std::vector<uint8_t> all(samples.size() * 2 + 64);
    uint32_t n = ReadBlock(*reader, all.data(), static_cast<uint32_t>(all.size()));
    EXPECT_EQ(n, samples.size() * 2);
    if (c.Lossless) {
      EXPECT_EQ(0, std::memcmp(all.data(), AsBytes(samples).data(), n));
    }
  }
}

TEST(OpenAudioFileReader, MissingOrGarbageFilesRaise) {
  test::TScratchFolder folder;
  const std::string garbage = folder.File("noise.wav");
  FILE* f = std::fopen(garbage.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("RIFF\x10\0\0\0WAVEjunkjunkjunk", f);
  std::fclose(f);
  for (const std::string& path : {folder.File("missing.wav"), garbage}) {
    try {
      OpenAudioFileReader(path);
      ADD_FAILURE() << path << " opened";
    } catch (const EAudioReadError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  // The highest rate taken is a million samples a second; one more is an unusable format.
  for (const int rate : {1000000, 1000001}) {
    const std::string path = folder.File("fast" + std::to_string(rate) + ".wav");
    ASSERT_TRUE(WriteAudioFile(path, TestSamples(64, 1), rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    if (rate == 1000000) {
      EXPECT_EQ(OpenAudioFileReader(path)->WaveFormat.SamplesPerSec, 1000000u);
    } else {
      EXPECT_THROW(OpenAudioFileReader(path), EAudioReadError);
    }
  }
}

}  // namespace
}  // namespace orr
