// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/mwDSMixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "AudioTestFiles.h"
#include "ScriptedStream.h"
#include "audio/NullSoundDevice.h"
#include "platform/Application.h"
#include "platform/Backend.h"

namespace orr {
namespace {

using namespace std::chrono_literals;
using test::AsBytes;
using test::TestSamples;

// 44100 Hz, 16-bit stereo.
constexpr uint32_t BytesPerSecond = 176400;

struct TManualClock {
  std::atomic<uint64_t> Now{100000};
  TMillisecondClock Function() {
    return [this] { return Now.load(); };
  }
};

class TFailingDriver : public TSoundDriver {
 public:
  TDeviceResult Enumerate(const std::function<bool(const std::string&, const std::string&)>&) override {
    return DS_OK;
  }
  TDeviceResult Create(const std::string&, TSoundDeviceRef*) override { return DSERR_NODRIVER; }
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixer = std::make_unique<TmwDSMixer>(nullptr);
    mixer->Driver = driver;
    mixer->Clock = clock.Function();
  }
  void TearDown() override { mixer.reset(); }

  std::string WriteWav(const std::string& name, const std::vector<int16_t>& samples, int rate = 44100,
                       int channels = 2) {
    std::string path = folder.File(name);
    EXPECT_TRUE(test::WriteAudioFile(path, samples, rate, channels));
    return path;
  }

  // A channel playing `path` with its update thread held still, so tests run the ticks.
  TmwDSMixerChannel* PlayStill(const std::string& path, bool looping) {
    auto* channel = new TmwDSMixerChannel(mixer.get());
    channel->OpenFile(path);
    channel->SetLooping(looping);
    channel->Play();
    channel->UpdateThread()->Deactivate();
    return channel;
  }

  TNullSoundBuffer* DeviceBuffer(size_t index = 0) {
    auto device = driver->LastDevice();
    if (!device || device->Buffers().size() <= index) return nullptr;
    return device->Buffers()[index];
  }

  void Advance(uint64_t ms) { clock.Now += ms; }

  TApplication app{std::make_unique<THeadlessBackend>()};
  TManualClock clock;
  std::shared_ptr<TNullSoundDriver> driver = std::make_shared<TNullSoundDriver>(clock.Function());
  std::unique_ptr<TmwDSMixer> mixer;
  test::TScratchFolder folder;
};

TEST(DeviceResults, EachCodeHasItsMessageAndUnknownCodesAGenericOne) {
  struct TCase {
    uint32_t Code;
    const char* Message;
  };
  const TCase cases[] = {
      {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
      {0x8007000E,
       "The DirectSound subsystem could not allocate sufficient memory to complete the caller\xB4s "
       "request."},
      {0x88780064, "The specified wave format is not supported."},
      {0x88780096, "The buffer memory has been lost and must be restored."},
      {0x88781161, "The object requested was not found (numerically equal to DMUS_E_NOT_FOUND)."},
      {0x88780001, "Unrecognized Error"},
  };
  for (const auto& c : cases) {
    try {
      CheckDeviceResult(c.Code);
      ADD_FAILURE() << std::hex << c.Code;
    } catch (const EDirectXError& e) {
      EXPECT_STREQ(e.what(), c.Message);
      EXPECT_EQ(e.ErrorCode, c.Code);
    }
  }
  EXPECT_NO_THROW(CheckDeviceResult(0));
  EXPECT_EQ(DeviceResultMessage(0), "The request completed successfully.");
}

TEST(PositionTimes, RingOfFiftyAndItsInternalErrors) {
  TPositionTimes times;
  for (uint32_t i = 0; i < 51; ++i) times.Record(i, i + 1, i * 10, i * 10 + 5);
  EXPECT_EQ(times.NextIndex(), 1);
  EXPECT_EQ(times.Entry(0).StartOffset, 50u);
  EXPECT_EQ(times.Entry(1).StartOffset, 1u);
  try {
    times.Record(0, 4, 10, 9);
    FAIL();
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "Internal Error: Time Start higher then Time End");
  }
  try {
    times.Record(4, 4, 0, 0);
    FAIL();
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "Internal Error: Position Start not inferior to Position End");
  }
  EXPECT_EQ(times.NextIndex(), 1);
}

TEST_F(MixerTest, PropertiesHaveTheirDefaultsAndFrequencyIsClamped) {
  EXPECT_EQ(mixer->BitsPerSample(), bs16Bit);
  EXPECT_TRUE(mixer->Stereo());
  EXPECT_EQ(mixer->Level(), lPriority);
  EXPECT_EQ(mixer->SpeakerConfig(), 4u);
  const std::pair<int, int> cases[] = {
      {50, 100}, {200000, 100000}, {100, 100}, {100000, 100000}, {44100, 44100}};
  for (auto [set, stored] : cases) {
    mixer->SetFrequency(set);
    EXPECT_EQ(mixer->Frequency(), stored) << set;
  }
}

TEST_F(MixerTest, OpeningNegotiatesThePrimaryFormatUnlessTheLevelIsNormal) {
  mixer->SetFrequency(22050);
  mixer->SetStereo(false);
  mixer->SetBitsPerSample(bs8Bit);
  mixer->OpenDevice();
  auto device = driver->LastDevice();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->CooperativeLevel(), 2);
  EXPECT_EQ(device->SpeakerConfig(), 4u);
  TWaveFormat primary;
  mixer->PrimaryBuffer()->GetFormat(&primary);
  EXPECT_EQ(primary.SamplesPerSec, 22050u);
  EXPECT_EQ(primary.Channels, 1);
  EXPECT_EQ(primary.BitsPerSample, 8);
  EXPECT_EQ(primary.BlockAlign, 1);
  EXPECT_EQ(primary.AvgBytesPerSec, 22050u);
  mixer->SetSpeakerConfig(5);
  EXPECT_EQ(device->SpeakerConfig(), 5u);
  mixer->OpenDevice();  // already open: nothing
  EXPECT_EQ(driver->DevicesCreated(), 1);
  mixer->CloseDevice();
  EXPECT_FALSE(mixer->DeviceOpen());
  mixer->SetStereo(true);
  mixer->SetBitsPerSample(bs16Bit);
  mixer->SetFrequency(44100);
  mixer->OpenDevice();
  mixer->PrimaryBuffer()->GetFormat(&primary);
  EXPECT_EQ(primary.BlockAlign, 4);
  EXPECT_EQ(primary.AvgBytesPerSec, 176400u);
  EXPECT_EQ(mixer->BitsPerSample(), bs16Bit);
  EXPECT_TRUE(mixer->Stereo());
  mixer->CloseDevice();

  mixer->SetLevel(lNormal);
  mixer->SetFrequency(8000);
  mixer->OpenDevice();
  EXPECT_EQ(driver->LastDevice()->CooperativeLevel(), 1);
  mixer->PrimaryBuffer()->GetFormat(&primary);
  EXPECT_NE(primary.SamplesPerSec, 8000u);
  EXPECT_EQ(mixer->Frequency(), 8000);
}

TEST_F(MixerTest, DeviceFailuresRaiseAndLeaveNoDeviceOpen) {
  mixer->Enabled = false;
  EXPECT_EQ(mixer->GetDevice(), nullptr);
  EXPECT_EQ(driver->DevicesCreated(), 0);
  mixer->Enabled = true;

  mixer->Driver = nullptr;
  try {
    mixer->OpenDevice();
    FAIL();
  } catch (const EDirectXError& e) {
    EXPECT_STREQ(e.what(), "DirectSoundCreate pointer not assigned.");
    EXPECT_EQ(e.ErrorCode, 0u);
  }
  mixer->Driver = std::make_shared<TFailingDriver>();
  try {
    mixer->OpenDevice();
    FAIL();
  } catch (const EDirectXError& e) {
    EXPECT_STREQ(e.what(), "No sound driver is available for use.");
    EXPECT_EQ(e.ErrorCode, 0x88780078u);
  }
  EXPECT_FALSE(mixer->DeviceOpen());

  // A channel of a disabled mixer gets no device: its first refill raises.
  mixer->Driver = driver;
  mixer->Enabled = false;
  TmwDSMixerChannel channel(mixer.get());
  channel.OpenFile(WriteWav("disabled.wav", TestSamples(4410, 2)));
  try {
    channel.Play();
    FAIL();
  } catch (const EDirectXError& e) {
    EXPECT_EQ(e.ErrorCode, 0x88780078u);
  }
  EXPECT_FALSE(channel.HasSoundBuffer());
  EXPECT_EQ(channel.PlayingState(), 0);
  EXPECT_EQ(driver->DevicesCreated(), 0);
}

TEST_F(MixerTest, GeometryFollowsTheFileFormat) {
  struct TCase {
    int Rate, Channels;
    uint32_t Buffer, NearEnd, Silence;
  };
  const TCase cases[] = {
      {44100, 2, 705600, 282240, 141120},
      {22050, 1, 176400, 70560, 35280},
      {8000, 2, 128000, 51200, 25600},
      {22051, 2, 352816, 141126, 70560},  // 0.8 s is 70563.2 bytes: whole frames only
  };
  for (const auto& c : cases) {
    auto path =
        WriteWav("g" + std::to_string(c.Rate) + ".wav", TestSamples(c.Rate, c.Channels), c.Rate, c.Channels);
    TmwDSMixerChannel channel(mixer.get());
    channel.OpenFile(path);
    channel.EnsureBuffer();
    EXPECT_EQ(channel.BufferLength(), 4000u);
    EXPECT_EQ(channel.UpdateThread()->UpdatePeriod, 400u);
    EXPECT_EQ(channel.BufferBytes(), c.Buffer);
    EXPECT_EQ(channel.NearEndDistance(), c.NearEnd);
    EXPECT_EQ(channel.SilenceChunk(), c.Silence);
    EXPECT_EQ(channel.Staging().size(), c.Buffer);
  }
}

TEST_F(MixerTest, ShortFileEndsWithSilenceAndPostsPlayEndOnceOnTheMainThread) {
  const auto samples = TestSamples(44100, 2);  // one second
  TmwDSMixerChannel* channel = PlayStill(WriteWav("short.wav", samples), false);
  int ends = 0;
  channel->OnPlayEnd = [&](TmwDSMixerChannel* sender) {
    EXPECT_EQ(sender, channel);
    EXPECT_TRUE(app.IsMainThread());
    ++ends;
  };
  EXPECT_EQ(channel->EndMark(), BytesPerSecond);
  EXPECT_EQ(channel->PlayingState(), 1);
  auto staging = channel->Staging();
  ASSERT_EQ(staging.size(), 705600u);
  EXPECT_EQ(0, std::memcmp(staging.data(), AsBytes(samples).data(), BytesPerSecond));
  EXPECT_TRUE(std::all_of(staging.begin() + BytesPerSecond, staging.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(DeviceBuffer()->Contents(), staging);
  EXPECT_TRUE(DeviceBuffer()->Playing());

  // 0.4 s and 0.8 s: the mark is ahead (near the end from the first tick on).
  for (int tick = 1; tick <= 2; ++tick) {
    Advance(400);
    channel->UpdateTick();
    app.CheckSynchronize();
    EXPECT_TRUE(channel->NearEnd());
    EXPECT_EQ(channel->PlayingState(), 1) << tick;
    EXPECT_EQ(ends, 0);
  }
  // 1.2 s: the play position has passed the mark.
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->PlayingState(), 0);
  EXPECT_EQ(ends, 0);  // posted, not yet delivered
  app.CheckSynchronize();
  EXPECT_EQ(ends, 1);
  for (int tick = 0; tick < 3; ++tick) {
    Advance(400);
    channel->UpdateTick();
  }
  app.CheckSynchronize();
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(DeviceBuffer()->Playing());
  EXPECT_FALSE(channel->UpdateThread()->Active());
}

TEST_F(MixerTest, DataEndingWithinTheFirstUpdatePeriodEndsAtTheFirstTick) {
  struct TCase {
    const char* Name;
    int Frames;
    bool Looping;
  };
  const TCase cases[] = {
      {"blip.wav", 44100 * 3 / 10, false},
      {"nothing.wav", 0, false},
      {"nothing-looped.wav", 0, true},             // gives nothing even after a rewind
      {"to-the-tick.wav", 44100 * 4 / 10, false},  // the tick falls on the end itself
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TmwDSMixerChannel* channel = PlayStill(WriteWav(c.Name, TestSamples(c.Frames, 2)), c.Looping);
    EXPECT_EQ(channel->EndMark(), c.Frames * 4);
    auto staging = channel->Staging();
    EXPECT_TRUE(std::all_of(staging.begin() + c.Frames * 4, staging.end(), [](uint8_t b) { return b == 0; }));
    int ends = 0;
    channel->OnPlayEnd = [&](TmwDSMixerChannel*) { ++ends; };
    Advance(400);
    channel->UpdateTick();
    app.CheckSynchronize();
    EXPECT_EQ(channel->PlayingState(), 0);
    EXPECT_EQ(ends, 1);
    delete channel;
  }
}

TEST_F(MixerTest, MessagesForAFreedChannelAreDropped) {
  TmwDSMixerChannel* channel = PlayStill(WriteWav("gone.wav", TestSamples(4410, 2)), false);
  int ends = 0;
  channel->OnPlayEnd = [&](TmwDSMixerChannel*) { ++ends; };
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->PlayingState(), 0);  // the end is posted
  delete channel;
  app.CheckSynchronize();
  EXPECT_EQ(ends, 0);
}

TEST_F(MixerTest, RefillsRewriteExactlyThePlayedBytes) {
  const auto samples = TestSamples(44100 * 10, 2);  // longer than the buffer
  const auto bytes = AsBytes(samples);
  TmwDSMixerChannel* channel = PlayStill(WriteWav("long.wav", samples), false);
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->WritePosition(), 70560u);
  auto staging = channel->Staging();
  // The bytes played in the first 0.4 s now hold the data 4 s further on.
  EXPECT_EQ(0, std::memcmp(staging.data(), bytes.data() + 705600, 70560));
  EXPECT_EQ(0, std::memcmp(staging.data() + 70560, bytes.data() + 70560, 705600 - 70560));
  EXPECT_EQ(channel->EndMark(), -1);
  // 2.4 s played: the bytes from 0.4 s to 2.4 s are rewritten.
  Advance(2000);
  channel->UpdateTick();
  EXPECT_EQ(channel->WritePosition(), 423360u);
  staging = channel->Staging();
  EXPECT_EQ(0, std::memcmp(staging.data() + 70560, bytes.data() + 705600 + 70560, 352800));
  // 4.4 s played: the refill goes round the end of the buffer.
  Advance(2000);
  channel->UpdateTick();
  EXPECT_EQ(channel->WritePosition(), 70560u);
  staging = channel->Staging();
  EXPECT_EQ(0, std::memcmp(staging.data() + 423360, bytes.data() + 705600 + 423360, 282240));
  EXPECT_EQ(0, std::memcmp(staging.data(), bytes.data() + 2 * 705600, 70560));
  EXPECT_EQ(DeviceBuffer()->Contents(), staging);
  // The device stalls with the play position at the write position: nothing was played,
  // so nothing is rewritten (the whole buffer still waits to be heard).
  DeviceBuffer()->Stop();
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->WritePosition(), 70560u);
  EXPECT_EQ(channel->Staging(), staging);
}

TEST_F(MixerTest, AnEndWrittenLessThanATickAheadEndsAtTheNextTick) {
  // The update thread held up for 3.9 s: the late refill goes round the ring and writes the
  // end of the 4.5 s file at 0.5 s, 0.2 s ahead of the play position (0.3 s).
  TmwDSMixerChannel* channel = PlayStill(WriteWav("late.wav", TestSamples(44100 * 45 / 10, 2)), false);
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->EndMark(), -1);
  Advance(3900);
  channel->UpdateTick();
  EXPECT_EQ(channel->WritePosition(), 52920u);
  EXPECT_EQ(channel->EndMark(), 88200);
  EXPECT_TRUE(channel->NearEnd());
  Advance(400);
  channel->UpdateTick();
  EXPECT_EQ(channel->PlayingState(), 0);
}

TEST_F(MixerTest, SilenceModeQueuesChunksOfSilenceAheadOfThePlayPosition) {
  const auto samples = TestSamples(44100 * 10, 2);
  TmwDSMixerChannel* channel = PlayStill(WriteWav("quiet.wav", samples), false);
  Advance(400);
  channel->UpdateTick();  // data up to 0.4 s into the ring
  channel->SetSilenceMode(true);
  // Written once less than a chunk (0.8 s) is queued: from 0.4 s, a chunk at a time.
  const std::pair<int, uint32_t> ticks[] = {{3200, 70560}, {400, 211680}, {800, 352800}, {800, 493920},
                                            {800, 635040}, {800, 70560}};  // the last one goes round
  for (auto [ms, written] : ticks) {
    Advance(ms);
    channel->UpdateTick();
    EXPECT_EQ(channel->WritePosition(), written) << ms;
  }
  const auto staging = channel->Staging();
  EXPECT_TRUE(std::all_of(staging.begin(), staging.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(DeviceBuffer()->Contents(), staging);
}

TEST_F(MixerTest, LoopingFileRewindsWithinTheSameFill) {
  const auto samples = TestSamples(44100, 2);
  const auto bytes = AsBytes(samples);
  TmwDSMixerChannel* channel = PlayStill(WriteWav("loop.wav", samples), true);
  EXPECT_EQ(channel->EndMark(), -1);
  auto staging = channel->Staging();
  for (int copy = 0; copy < 4; ++copy)
    EXPECT_EQ(0, std::memcmp(staging.data() + copy * BytesPerSecond, bytes.data(), BytesPerSecond)) << copy;
  auto times = channel->PositionTimesCopy();
  ASSERT_EQ(times.NextIndex(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(times.Entry(i).StartOffset, i * BytesPerSecond);
    EXPECT_EQ(times.Entry(i).StartTime, 0);
    EXPECT_EQ(times.Entry(i).EndTime, StreamTimeUnitsPerSecond);
  }
  // Many seconds later it still plays and never meets an end.
  for (int tick = 0; tick < 30; ++tick) {
    Advance(400);
    channel->UpdateTick();
  }
  EXPECT_EQ(channel->PlayingState(), 1);
  EXPECT_EQ(channel->EndMark(), -1);
}

TEST_F(MixerTest, FadeReachesItsTargetAndPostsFadeEnd) {
  TmwDSMixerChannel* channel = PlayStill(WriteWav("fade.wav", TestSamples(44100, 2)), true);
  int fadeEnds = 0;
  channel->OnFadeEnd = [&](TmwDSMixerChannel*) { ++fadeEnds; };
  channel->StartFade(-10000, 0, 1000);
  EXPECT_EQ(DeviceBuffer()->Volume(), -10000);
  const std::pair<uint64_t, int32_t> expected[] = {{400, -6000}, {400, -2000}, {200, 0}};
  for (auto [ms, volume] : expected) {
    Advance(ms);
    channel->UpdateTick();
    EXPECT_EQ(channel->Volume(), volume);
    EXPECT_EQ(DeviceBuffer()->Volume(), volume);
  }
  EXPECT_FALSE(channel->Fading());  // ended on the update at its end time, not one later
  app.CheckSynchronize();
  EXPECT_EQ(fadeEnds, 1);
  Advance(400);
  channel->UpdateTick();
  app.CheckSynchronize();
  EXPECT_EQ(fadeEnds, 1);
  // A fade of no length ends on an update in the same millisecond.
  channel->StartFade(-500, -100, 0);
  channel->UpdateTick();
  EXPECT_FALSE(channel->Fading());
  EXPECT_EQ(channel->Volume(), -100);
  app.CheckSynchronize();
  EXPECT_EQ(fadeEnds, 2);
}

TEST_F(MixerTest, LongFadesStepWithoutOverflow) {
  TmwDSMixerChannel* channel = PlayStill(WriteWav("slow.wav", TestSamples(44100, 2)), true);
  channel->StartFade(-10000, 0, 600000);  // ten minutes
  // (target - start) x elapsed passes 2^31 after 3.6 minutes.
  const std::pair<uint64_t, int32_t> steps[] = {{300000, -5000}, {299999, -1}};
  for (auto [ms, volume] : steps) {
    Advance(ms);
    channel->UpdateTick();
    EXPECT_EQ(channel->Volume(), volume) << ms;
    EXPECT_TRUE(channel->Fading());
  }
}

TEST_F(MixerTest, VolumeAndPanReachTheDeviceAndSurviveBufferCreation) {
  auto* channel = new TmwDSMixerChannel(mixer.get());
  channel->OpenFile(WriteWav("vp.wav", TestSamples(4410, 2)));
  channel->SetVolume(-1500);
  channel->SetPan(2500);
  channel->Play();
  EXPECT_EQ(DeviceBuffer()->Volume(), -1500);
  EXPECT_EQ(DeviceBuffer()->Pan(), 2500);
  channel->SetPan(-300);
  EXPECT_EQ(DeviceBuffer()->Pan(), -300);
  // Closing the file forgets them: the next file starts in the middle at full volume.
  channel->CloseReader();
  EXPECT_EQ(channel->Pan(), 0);
  EXPECT_EQ(channel->Volume(), 0);
}

TEST_F(MixerTest, StopIsSkippedWhileAnotherThreadHoldsTheMutexTooLong) {
  TmwDSMixerChannel* channel = PlayStill(WriteWav("held.wav", TestSamples(44100, 2)), true);
  std::atomic<bool> held{false};
  std::thread holder([&] {
    auto mutex = OpenNamedMutex(channel->MutexName());
    mutex->lock();
    held = true;
    std::this_thread::sleep_for(700ms);
    mutex->unlock();
  });
  while (!held) std::this_thread::sleep_for(1ms);
  auto before = std::chrono::steady_clock::now();
  channel->Stop();
  auto waited = std::chrono::steady_clock::now() - before;
  holder.join();
  EXPECT_GE(waited, 240ms);
  EXPECT_LT(waited, 650ms);
  EXPECT_EQ(channel->PlayingState(), 1);
  EXPECT_TRUE(DeviceBuffer()->Playing());
  channel->Stop();  // free again: stops
  EXPECT_EQ(channel->PlayingState(), 0);
  EXPECT_FALSE(DeviceBuffer()->Playing());
}

TEST_F(MixerTest, ChannelsShareTheUpdateMutexNumberZero) {
  TmwDSMixerChannel first(mixer.get());
  TmwDSMixerChannel second(mixer.get());
  EXPECT_EQ(first.MutexName(), "mwDSMCUpd0");
  EXPECT_EQ(second.MutexName(), "mwDSMCUpd0");
  EXPECT_EQ(OpenNamedMutex("mwDSMCUpd0"), OpenNamedMutex(second.MutexName()));
  EXPECT_EQ(mixer->Channels().size(), 2u);
}

TEST_F(MixerTest, LostBufferStopsTheChannelAndReportsIt) {
  TmwDSMixerChannel* channel = PlayStill(WriteWav("lost.wav", TestSamples(44100 * 6, 2)), false);
  int lost = 0;
  channel->OnBufferLost = [&](TmwDSMixerChannel* sender) {
    EXPECT_EQ(sender, channel);
    ++lost;
  };
  driver->LastDevice()->LoseBuffers();
  Advance(400);
  EXPECT_NO_THROW(channel->UpdateTick());
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(channel->HasSoundBuffer());
  EXPECT_TRUE(channel->Staging().empty());
  EXPECT_EQ(channel->PlayingState(), 0);
  EXPECT_EQ(channel->EndMark(), -1);
  EXPECT_FALSE(channel->UpdateThread()->Active());
  EXPECT_TRUE(channel->HasReader());
  channel->Stop();  // no buffer: nothing
}

TEST_F(MixerTest, StopRewindsSoPlayStartsFromTheBeginningAgain) {
  // Stopped mid-fade after a tick; the short file's end is known and near by then.
  const std::pair<int, int64_t> cases[] = {{44100 * 6, -1}, {44100, BytesPerSecond}};
  for (auto [frames, endMark] : cases) {
    SCOPED_TRACE(frames);
    const auto samples = TestSamples(frames, 2);
    TmwDSMixerChannel* channel =
        PlayStill(WriteWav("again" + std::to_string(frames) + ".wav", samples), false);
    const auto first = channel->Staging();
    channel->StartFade(-1000, 0, 10000);
    Advance(400);
    channel->UpdateTick();
    channel->Stop();
    EXPECT_FALSE(channel->Primed());
    EXPECT_EQ(channel->WritePosition(), 0u);
    EXPECT_EQ(channel->EndMark(), -1);
    EXPECT_FALSE(channel->NearEnd());
    EXPECT_FALSE(channel->Fading());
    channel->Play();
    channel->UpdateThread()->Deactivate();
    EXPECT_EQ(0, std::memcmp(channel->Staging().data(), AsBytes(samples).data(),
                             std::min<size_t>(705600, frames * 4)));
    EXPECT_EQ(channel->Staging(), first);
    EXPECT_EQ(channel->EndMark(), endMark);
  }
}

TEST_F(MixerTest, PlayWithoutAFileRaisesAndStopWithoutABufferDoesNothing) {
  TmwDSMixerChannel channel(mixer.get());
  channel.Stop();
  try {
    channel.Play();
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "No file opened");
  }
  EXPECT_FALSE(mixer->DeviceOpen());
}

TEST_F(MixerTest, CloseReaderResetsTheSettingsAndCloseDeviceDropsBuffers) {
  auto* channel = new TmwDSMixerChannel(mixer.get());
  const std::string path = WriteWav("close.wav", TestSamples(44100, 2));
  channel->OpenFile(path);
  channel->SetLooping(true);
  channel->SetVolume(-100);
  channel->Play();
  EXPECT_EQ(channel->FileName(), path);
  ASSERT_NE(channel->AudioFileReader(), nullptr);
  EXPECT_EQ(channel->AudioFileReader()->WaveFormat.AvgBytesPerSec, BytesPerSecond);
  mixer->CloseDevice();
  EXPECT_FALSE(channel->HasSoundBuffer());
  EXPECT_EQ(channel->PlayingState(), 0);
  EXPECT_FALSE(mixer->DeviceOpen());
  channel->CloseReader();
  EXPECT_FALSE(channel->HasReader());
  EXPECT_EQ(channel->AudioFileReader(), nullptr);
  EXPECT_FALSE(channel->Looping());
  EXPECT_EQ(channel->Volume(), 0);
  EXPECT_EQ(channel->FileName(), "");
}

// With the update thread running on real time: the channel ends by itself.
class MixerThreadTest : public MixerTest {
 protected:
  void SetUp() override {
    MixerTest::SetUp();
    driver = std::make_shared<TNullSoundDriver>();
    mixer->Driver = driver;
    mixer->Clock = SystemMilliseconds;
  }
  template <class TDone>
  bool PumpUntil(TDone done, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < until) {
      app.CheckSynchronize();
      app.WaitForSynchronize(10);
    }
    return done();
  }
};

TEST_F(MixerThreadTest, UpdateThreadEndsAShortFileAndHandsTheEndToTheMainThread) {
  auto* channel = new TmwDSMixerChannel(mixer.get());
  channel->OpenFile(WriteWav("thread.wav", TestSamples(44100 * 3 / 10, 2)));
  std::atomic<int> ends{0};
  channel->OnPlayEnd = [&](TmwDSMixerChannel*) {
    EXPECT_TRUE(app.IsMainThread());
    ++ends;
  };
  auto started = std::chrono::steady_clock::now();
  channel->Play();
  EXPECT_TRUE(channel->UpdateThread()->Active());
  ASSERT_TRUE(PumpUntil([&] { return ends > 0; }, 5000ms));
  // Found at the first tick after the end (one update period, plus the mutex wait).
  EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
  EXPECT_EQ(channel->PlayingState(), 0);
  PumpUntil([] { return false; }, 500ms);
  EXPECT_EQ(ends, 1);
}

TEST_F(MixerThreadTest, AFailingRefillStopsTheChannelAndKeepsTheThreadForTheNextPlay) {
  auto* channel = new TmwDSMixerChannel(mixer.get());
  auto reader = std::make_unique<TAudioFileReader>();
  reader->Duration = 100 * StreamTimeUnitsPerSecond;
  // One block of four seconds, then the stream fails.
  auto stream = std::make_unique<test::TScriptedStream>();
  stream->Blocks = {{0, 4 * BytesPerSecond, 0, 4 * StreamTimeUnitsPerSecond}, {0x80004004}};
  reader->Stream = std::move(stream);
  channel->SetReader(std::move(reader));
  channel->Play();
  ASSERT_TRUE(PumpUntil([&] { return channel->PlayingState() == 0; }, 3000ms));
  EXPECT_EQ(channel->LastError(), "The update aborted.");
  EXPECT_FALSE(channel->UpdateThread()->Active());
  EXPECT_FALSE(channel->UpdateThread()->Finished());
  EXPECT_FALSE(DeviceBuffer()->Playing());
}

TEST_F(MixerThreadTest, ElevenChannelsPlayAndStopTogether) {
  const std::string path = WriteWav("many.wav", TestSamples(44100, 2));
  std::vector<TmwDSMixerChannel*> channels;
  for (int i = 0; i < 11; ++i) {
    channels.push_back(new TmwDSMixerChannel(mixer.get()));
    channels.back()->OpenFile(path);
    channels.back()->SetLooping(i % 2 == 0);
    channels.back()->Play();
  }
  PumpUntil([] { return false; }, 900ms);
  for (auto* channel : channels) {
    channel->SetVolume(-300);
    channel->Stop();
    EXPECT_EQ(channel->PlayingState(), 0);
  }
  mixer.reset();  // frees the channels, joining their threads
}

}  // namespace
}  // namespace orr
