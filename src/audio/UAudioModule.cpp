// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/UAudioModule.h"

#include <string>

#include "core/UMainModule.h"

namespace orr {

TDMAudioModule* DMAudioModule = nullptr;
std::array<TmwDSMixerChannel*, SoundEffectChannelCount + 1> AudioChannels{};

TDMAudioModule::TDMAudioModule(TComponent* owner) : TDataModule(owner) {
  AudioPlayer = TComponent::Create<TmwDSMixer>(this);
  AudioPlayer->Name = "AudioPlayer";
  AudioPlayer->SetBitsPerSample(bs16Bit);
  AudioPlayer->SetStereo(true);
  AudioPlayer->SetFrequency(44100);
  AudioPlayer->SetLevel(lPriority);
  AudioPlayer->SetSpeakerConfig(4);
}

void TDMAudioModule::DataModuleCreate() {
  for (int i = 0; i < SoundEffectChannelCount; ++i) AudioChannels[i] = new TmwDSMixerChannel(AudioPlayer);
  LogEvent(std::to_string(SoundEffectChannelCount) + " audio channels created");
  AudioChannels[MusicChannel] = new TmwDSMixerChannel(AudioPlayer);
  LogEvent("Music channel created");
}

void TDMAudioModule::DataModuleDestroy() {
  // Freed references are cleared, so nothing can reach a channel after its end.
  for (int i = 0; i < SoundEffectChannelCount; ++i) {
    if (AudioChannels[i] == nullptr) continue;
    AudioChannels[i]->Stop();
    delete AudioChannels[i];
    AudioChannels[i] = nullptr;
  }
  LogEvent(std::to_string(SoundEffectChannelCount) + " audio channels destroyed");
  if (AudioChannels[MusicChannel] != nullptr) {
    AudioChannels[MusicChannel]->Stop();
    delete AudioChannels[MusicChannel];
    AudioChannels[MusicChannel] = nullptr;
  }
  LogEvent("Music channel destroyed");
}

}  // namespace orr
