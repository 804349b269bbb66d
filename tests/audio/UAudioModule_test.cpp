// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/UAudioModule.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "AudioTestFiles.h"
#include "core/UMainModule.h"
#include "platform/Application.h"
#include "platform/Backend.h"

namespace orr {
namespace {

// The log lines after the "[HH:MM:SS]" stamp.
std::vector<std::string> LogMessages() {
  std::vector<std::string> messages;
  for (const auto& line : EventLog) messages.push_back(line.substr(line.find(']') + 1));
  return messages;
}

class AudioModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEventLog(); }
  void TearDown() override {
    app.Shutdown();
    ResetEventLog();
  }
  TApplication app{std::make_unique<THeadlessBackend>()};
};

TEST_F(AudioModuleTest, CreatesElevenIdleChannelsAndFreesThemWithTheLogLines) {
  for (auto* channel : AudioChannels) EXPECT_EQ(channel, nullptr);
  app.CreateForm(DMAudioModule);
  ASSERT_NE(DMAudioModule, nullptr);
  TmwDSMixer* mixer = DMAudioModule->AudioPlayer;
  EXPECT_EQ(mixer->Owner(), DMAudioModule);
  EXPECT_EQ(mixer->BitsPerSample(), bs16Bit);
  EXPECT_TRUE(mixer->Stereo());
  EXPECT_EQ(mixer->Frequency(), 44100);
  EXPECT_EQ(mixer->Level(), lPriority);
  EXPECT_EQ(mixer->SpeakerConfig(), 4u);

  std::set<TmwDSMixerChannel*> distinct(AudioChannels.begin(), AudioChannels.end());
  EXPECT_EQ(distinct.size(), 11u);
  EXPECT_EQ(distinct.count(nullptr), 0u);
  EXPECT_EQ(mixer->Channels().size(), 11u);
  for (auto* channel : AudioChannels) {
    EXPECT_EQ(channel->PlayingState(), 0);
    EXPECT_FALSE(channel->UpdateThread()->Active());
  }
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"10 audio channels created", "Music channel created"}));

  // Start-up opened no device: not even SDL's audio subsystem is up.
  EXPECT_FALSE(mixer->DeviceOpen());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

  app.FreeComponent(DMAudioModule);
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{"10 audio channels created", "Music channel created",
                                      "10 audio channels destroyed", "Music channel destroyed"}));
  for (auto* channel : AudioChannels) EXPECT_EQ(channel, nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(AudioModuleTest, AChannelPlaysAFileOnTheDefaultDeviceWithOneCallEach) {
  test::TScratchFolder folder;
  const std::string path = folder.File("effect.wav");
  ASSERT_TRUE(test::WriteAudioFile(path, test::TestSamples(44100, 2), 44100, 2));
  app.CreateForm(DMAudioModule);
  TmwDSMixerChannel* effect = AudioChannels[0];
  effect->OpenFile(path);
  effect->Play();
  EXPECT_EQ(effect->PlayingState(), 1);
  EXPECT_TRUE(DMAudioModule->AudioPlayer->DeviceOpen());
  // Whatever device opened (SDL's, or the null one when none can), it plays on.
  uint32_t before = 0, after = 0;
  effect->SoundBuffer()->GetCurrentPosition(&before);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  effect->SoundBuffer()->GetCurrentPosition(&after);
  EXPECT_GT(after, before);
  app.FreeComponent(DMAudioModule);  // stops, frees and closes with a channel playing
  EXPECT_EQ(AudioChannels[0], nullptr);
}

}  // namespace
}  // namespace orr
