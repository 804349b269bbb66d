// SPDX-License-Identifier: GPL-3.0-or-later
// The audio module: owner of the game's sound output. It holds the mixer and creates the
// game's fixed channels, ten for sound effects and one for music. The game plays nothing
// yet; opening a file on a channel and calling Play is all a sound effect needs.
#pragma once

#include <array>

#include "audio/mwDSMixer.h"
#include "platform/Classes.h"

namespace orr {

constexpr int SoundEffectChannelCount = 10;
constexpr int MusicChannel = 10;

class TDMAudioModule : public TDataModule {
 public:
  explicit TDMAudioModule(TComponent* owner);

  // The mixer, owned by the module (16-bit stereo 44100 Hz, priority level, speakers 4).
  TmwDSMixer* AudioPlayer;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMAudioModule* DMAudioModule;

// Entries 0 to 9: the sound-effect channels; entry 10: the music channel. Empty outside
// the audio module's lifetime. The channels belong to the module, which frees them.
extern std::array<TmwDSMixerChannel*, SoundEffectChannelCount + 1> AudioChannels;

}  // namespace orr
