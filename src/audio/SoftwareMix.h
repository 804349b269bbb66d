// SPDX-License-Identifier: GPL-3.0-or-later
// The software mix behind the SDL device: sums the playing secondary buffers into the
// output format, with volume, pan and rate conversion, advancing each play position by
// what it consumed. Allocates nothing while mixing.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/SoundDevice.h"

namespace orr {

// One secondary buffer as the mix sees it: a ring of PCM frames.
struct TMixSource {
  const uint8_t* Data = nullptr;
  uint32_t Bytes = 0;  // a whole number of frames
  TWaveFormat Format;
  uint32_t Position = 0;  // byte offset of the next frame to play
  uint32_t Fraction = 0;  // part of a source frame already consumed, in 1/2^32
  bool Playing = false;
  bool Looping = false;
  int32_t GainLeft = 65536;  // 1.0 = 65536
  int32_t GainRight = 65536;
};

// Gains for a volume in hundredths of a decibel and a pan (-10000 left .. 10000 right):
// 0 dB and centre give exactly 65536 on both sides, so the samples pass unchanged; the
// side away from the pan is attenuated by |pan| hundredths of a decibel; -10000 is silent.
void VolumePanToGains(int32_t volume, int32_t pan, int32_t* gainLeft, int32_t* gainRight);

class TSoftwareMix {
 public:
  // Output format (8 or 16-bit, 1 or 2 channels, any rate) and the most frames one Mix
  // call produces; allocates the accumulator.
  void SetOutput(const TWaveFormat& format, uint32_t maxFrames);
  const TWaveFormat& Output() const { return output_; }

  // Writes `frames` frames of the sum of the playing sources into `out` (silence when
  // none plays). A one-shot source stops at its end and rests at position 0.
  void Mix(TMixSource* const* sources, size_t count, uint8_t* out, uint32_t frames);

 private:
  void MixChunk(TMixSource* const* sources, size_t count, uint8_t* out, uint32_t frames);
  TWaveFormat output_;
  std::vector<int32_t> accumulator_;  // stereo pairs
};

}  // namespace orr
