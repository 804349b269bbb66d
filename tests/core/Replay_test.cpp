// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Replay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "core/GameSteps.h"
#include "core/UMainModule.h"

namespace orr {
namespace {

// The steps of a replay one by one: the oracle the runs are checked against.
std::vector<TKeySnapshot> Expand(const TReplay& replay) {
  std::vector<TKeySnapshot> steps;
  for (const TReplayRun& run : replay.Runs)
    for (std::uint64_t i = 0; i < run.Count; ++i) {
      TKeySnapshot keys;
      keys.Held = run.Held;
      keys.Wheel = i == 0 ? run.Wheel : 0;
      steps.push_back(keys);
    }
  return steps;
}

void ExpectSameSteps(const std::vector<TKeySnapshot>& a, const std::vector<TKeySnapshot>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].Held, b[i].Held) << "step " << i + 1;
    EXPECT_EQ(a[i].Wheel, b[i].Wheel) << "step " << i + 1;
  }
}

TStateDigest DigestFor(std::uint64_t step) {
  TStateDigest d{};
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint32_t>(step * 2654435761u + i);
  return d;
}

// A game's worth of steps: keys held for a while, sometimes several at once, now and then
// any code at all, the wheel turned either way (to its limits too).
TReplay RandomReplay(std::uint32_t seed, std::uint64_t steps, bool crash) {
  std::mt19937 random(seed);
  TReplay r;
  r.Header = {"0.1", seed, 1366, 768, "Episodes/Test/Promo4.orx", 0x0123456789ABCDEFull, 12345};
  TKeyStates held;
  for (std::uint64_t step = 1; step <= steps; ++step) {
    if (random() % 20 == 0) held.flip(random() % 8 == 0 ? random() % 256 : 37 + random() % 4);
    std::int32_t wheel = 0;
    if (random() % 300 == 0) {
      const std::int32_t wheels[] = {1, -1, 7, INT32_MIN, INT32_MAX};
      wheel = wheels[random() % 5];
    }
    r.Runs.push_back({held, wheel, 1});
    if (step % ReplayDigestSteps == 0) r.Digests.push_back({step, DigestFor(step)});
  }
  r.StepCount = steps;
  r.End = crash ? TReplayEnd::Crash : TReplayEnd::Shutdown;
  r.HasEndDigest = !crash;
  r.EndDigest = DigestFor(steps + 1);
  return r;
}

TEST(Replay, ReadsBackEveryStepHeaderAndDigest) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    for (std::uint64_t steps :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{100}, std::uint64_t{2345}}) {
      const TReplay original = RandomReplay(seed, steps, seed == 2);
      const std::vector<std::uint8_t> bytes = EncodeReplay(original);
      TReplay back;
      std::string error;
      ASSERT_TRUE(DecodeReplay(bytes.data(), bytes.size(), back, error)) << error;
      EXPECT_EQ(back.Header.GameVersion, "0.1");
      EXPECT_EQ(back.Header.Seed, seed);
      EXPECT_EQ(back.Header.ScreenWidth, 1366);
      EXPECT_EQ(back.Header.ScreenHeight, 768);
      EXPECT_EQ(back.Header.MapName, "Episodes/Test/Promo4.orx");
      EXPECT_EQ(back.Header.MapDigest, 0x0123456789ABCDEFull);
      EXPECT_EQ(back.Header.MapBytes, 12345u);
      EXPECT_EQ(back.StepCount, steps);
      ExpectSameSteps(Expand(back), Expand(original));
      ASSERT_EQ(back.Digests.size(), original.Digests.size());
      for (std::size_t i = 0; i < back.Digests.size(); ++i) {
        EXPECT_EQ(back.Digests[i].Step, original.Digests[i].Step);
        EXPECT_EQ(back.Digests[i].Digest, original.Digests[i].Digest);
      }
      EXPECT_EQ(back.End, original.End);
      EXPECT_EQ(back.HasEndDigest, original.HasEndDigest);
      if (back.HasEndDigest) EXPECT_EQ(back.EndDigest, original.EndDigest);
    }
  }
}

TEST(Replay, RefusesEveryCutAndEveryChangedByte) {
  const std::vector<std::uint8_t> bytes = EncodeReplay(RandomReplay(9, 450, false));
  TReplay back;
  std::string error;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(DecodeReplay(bytes.data(), size, back, error)) << "cut to " << size << " bytes";
    EXPECT_FALSE(error.empty());
  }
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    std::vector<std::uint8_t> changed = bytes;
    changed[at] ^= 0x24;
    EXPECT_FALSE(DecodeReplay(changed.data(), changed.size(), back, error)) << "byte " << at << " changed";
  }
  std::vector<std::uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeReplay(longer.data(), longer.size(), back, error));
}

TEST(Replay, NamesTheReasonsItRefuses) {
  std::vector<std::uint8_t> bytes = EncodeReplay(RandomReplay(4, 300, false));
  TReplay back;
  std::string error;
  EXPECT_FALSE(DecodeReplay(bytes.data(), bytes.size() - 10, back, error));
  EXPECT_NE(error.find("cut short"), std::string::npos) << error;
  std::vector<std::uint8_t> other = bytes;
  other[8] = 7;  // the format version
  EXPECT_FALSE(DecodeReplay(other.data(), other.size(), back, error));
  EXPECT_EQ(error, "the replay is of format version 7; this program reads version 1");
  other = bytes;
  other[0] = 'X';
  EXPECT_FALSE(DecodeReplay(other.data(), other.size(), back, error));
  EXPECT_EQ(error, "not a replay file");
  other = bytes;
  other[bytes.size() / 2] ^= 1;
  EXPECT_FALSE(DecodeReplay(other.data(), other.size(), back, error));
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

// Ten minutes of busy play: a key pressed or let go three times a second on average.
TEST(Replay, TenMinutesOfPlayTakeFarLessThan100KB) {
  std::mt19937 random(5);
  TReplay r;
  r.Header = {"0.1", 1, 1024, 768, "Episodes/Test/Promo4.orx", 1, 1};
  TKeyStates held;
  const std::uint64_t steps = 10 * 60 * 100;
  for (std::uint64_t step = 1; step <= steps; ++step) {
    if (random() % 33 == 0) held.flip(37 + random() % 4);
    if (random() % 100 == 0) held.flip(32);
    r.Runs.push_back({held, 0, 1});
    if (step % ReplayDigestSteps == 0) r.Digests.push_back({step, DigestFor(step)});
  }
  r.StepCount = steps;
  const std::size_t size = EncodeReplay(r).size();
  EXPECT_LT(size, 50u * 1024u) << size;
}

class ReplayRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStepHandlers();
    ResetReplay();
    GameHalted = false;
    file_ = (std::filesystem::temp_directory_path() /
             ("orr-replay-test-" + std::to_string(std::random_device{}()) + ".replay"))
                .string();
  }
  void TearDown() override {
    ResetReplay();
    ResetStepHandlers();
    std::filesystem::remove(file_);
  }
  std::string file_;
};

std::uint64_t DigestsTaken = 0;
TStateDigest CountingDigest() { return DigestFor(++DigestsTaken); }

// The recorder sees each step's keys as the step does: keys fed to the steps by a replay
// come out of the recorder as the same replay, with a digest after every 100th step.
TEST_F(ReplayRecording, RecordsTheKeysEachStepUsed) {
  const TReplay source = RandomReplay(11, 1234, false);
  TReplaySource feed{&source};
  ReplaySource = &feed;
  DigestsTaken = 0;
  StateDigestOf = &CountingDigest;
  TKeySnapshot seen;
  struct TSeen {
    std::vector<TKeySnapshot> Steps;
    void Step(const TKeySnapshot& keys) { Steps.push_back(keys); }
  } handler;
  AddStepHandler(StepHandlerOf<&TSeen::Step>(&handler));
  StartRecording(source.Header, file_);
  for (int i = 0; i < 1234; ++i) RunStep();
  StopRecording();
  ExpectSameSteps(handler.Steps, Expand(source));

  TReplay back;
  std::string error;
  ASSERT_TRUE(ReadReplayFile(file_, back, error)) << error;
  ExpectSameSteps(Expand(back), Expand(source));
  ASSERT_EQ(back.Digests.size(), 12u);
  for (std::size_t i = 0; i < back.Digests.size(); ++i) {
    EXPECT_EQ(back.Digests[i].Step, (i + 1) * 100);
    EXPECT_EQ(back.Digests[i].Digest, DigestFor(i + 1));
  }
  EXPECT_TRUE(back.HasEndDigest);
  EXPECT_EQ(back.EndDigest, DigestFor(13));
  EXPECT_EQ(back.End, TReplayEnd::Shutdown);
}

// What the crash handlers write (the recorded bytes and a tail made without allocating)
// is a whole replay up to the step that crashed, ending in a crash.
TEST_F(ReplayRecording, TheCrashPathLeavesAWholeReplay) {
  const TReplay source = RandomReplay(12, 20777, false);
  TReplaySource feed{&source};
  ReplaySource = &feed;
  StartRecording(source.Header, file_);
  for (int i = 0; i < 345; ++i) RunStep();
  TCrashReplay crash{};
  ASSERT_TRUE(CrashReplay(crash));
  EXPECT_EQ(std::string(crash.FileName), file_);
  std::vector<std::uint8_t> bytes(crash.Parts[0], crash.Parts[0] + crash.Sizes[0]);
  bytes.insert(bytes.end(), crash.Parts[1], crash.Parts[1] + crash.Sizes[1]);
  TReplay back;
  std::string error;
  ASSERT_TRUE(DecodeReplay(bytes.data(), bytes.size(), back, error)) << error;
  EXPECT_EQ(back.StepCount, 345u);
  EXPECT_EQ(back.End, TReplayEnd::Crash);
  EXPECT_FALSE(back.HasEndDigest);
  std::vector<TKeySnapshot> want = Expand(source);
  want.resize(345);
  ExpectSameSteps(Expand(back), want);
  // The bytes are reserved ahead: they never move while a game records, so a crash handler
  // never meets them half copied.
  for (int i = 0; i < 20000; ++i) RunStep();
  TCrashReplay later{};
  ASSERT_TRUE(CrashReplay(later));
  EXPECT_GT(later.Sizes[0], 4 * crash.Sizes[0]);
  EXPECT_EQ(later.Parts[0], crash.Parts[0]);
}

// The exception hook saves the replay so far beside the log, ended by the exception, and
// recording goes on.
TEST_F(ReplayRecording, TheExceptionHookSavesTheReplaySoFar) {
  const TReplay source = RandomReplay(13, 300, false);
  TReplaySource feed{&source};
  ReplaySource = &feed;
  StartRecording(source.Header, file_);
  for (int i = 0; i < 123; ++i) RunStep();
  LogSaveEnabled = false;  // the log is another test's
  TDMMainModule module(nullptr);
  module.UnknownException(nullptr, std::runtime_error("a step failed"));
  LogSaveEnabled = true;
  TReplay back;
  std::string error;
  ASSERT_TRUE(ReadReplayFile(file_, back, error)) << error;
  EXPECT_EQ(back.StepCount, 123u);
  EXPECT_EQ(back.End, TReplayEnd::Exception);
  EXPECT_TRUE(Recording());
}

TEST_F(ReplayRecording, NothingIsRecordedOrReplacedWhenOff) {
  TCrashReplay crash{};
  EXPECT_FALSE(CrashReplay(crash));
  StartRecording(TReplayHeader{}, "");  // nowhere to write: no crash path either
  EXPECT_FALSE(CrashReplay(crash));
  StopRecording();
  RunStep();
  EXPECT_FALSE(Recording());
  EXPECT_FALSE(SaveReplay(TReplayEnd::Exception));
  EXPECT_FALSE(std::filesystem::exists(file_));
}

}  // namespace
}  // namespace orr
