// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SoftwareMix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orr {

namespace {

int32_t AttenuationToGain(int32_t hundredthsOfDb) {
  if (hundredthsOfDb <= VolumeMin) return 0;
  if (hundredthsOfDb >= 0) return 65536;
  return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, hundredthsOfDb / 2000.0)));
}

// Adds one source into the stereo accumulator. Format-specific so the inner loop has no
// branches on the format.
template <int Bits, int Channels>
void AddSource(TMixSource& source, int32_t* accumulator, uint32_t frames, uint32_t outputRate) {
  constexpr uint32_t frameBytes = Bits / 8 * Channels;
  const uint64_t step = (static_cast<uint64_t>(source.Format.SamplesPerSec) << 32) / outputRate;
  const uint8_t* data = source.Data;
  const uint32_t bytes = source.Bytes;
  const int32_t gainLeft = source.GainLeft;
  const int32_t gainRight = source.GainRight;
  uint32_t position = source.Position;
  uint64_t fraction = source.Fraction;
  for (uint32_t i = 0; i < frames; ++i) {
    int32_t left, right;
    const uint8_t* frame = data + position;
    if constexpr (Bits == 16) {
      int16_t s[Channels];
      std::memcpy(s, frame, sizeof s);
      left = s[0];
      right = s[Channels - 1];
    } else {
      left = (frame[0] - 128) * 256;
      right = (frame[Channels - 1] - 128) * 256;
    }
    accumulator[2 * i] += static_cast<int32_t>((static_cast<int64_t>(left) * gainLeft) >> 16);
    accumulator[2 * i + 1] += static_cast<int32_t>((static_cast<int64_t>(right) * gainRight) >> 16);
    fraction += step;
    position += static_cast<uint32_t>(fraction >> 32) * frameBytes;
    fraction &= 0xFFFFFFFFu;
    if (position >= bytes) {
      if (!source.Looping) {
        source.Playing = false;
        position = 0;
        fraction = 0;
        break;
      }
      position %= bytes;
    }
  }
  source.Position = position;
  source.Fraction = static_cast<uint32_t>(fraction);
}

int16_t Clamp16(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

}  // namespace

void VolumePanToGains(int32_t volume, int32_t pan, int32_t* gainLeft, int32_t* gainRight) {
  int32_t gain = AttenuationToGain(volume);
  int32_t panLeft = pan > 0 ? AttenuationToGain(-pan) : 65536;
  int32_t panRight = pan < 0 ? AttenuationToGain(pan) : 65536;
  *gainLeft = static_cast<int32_t>((static_cast<int64_t>(gain) * panLeft) >> 16);
  *gainRight = static_cast<int32_t>((static_cast<int64_t>(gain) * panRight) >> 16);
}

void TSoftwareMix::SetOutput(const TWaveFormat& format, uint32_t maxFrames) {
  output_ = format;
  accumulator_.assign(static_cast<size_t>(std::max<uint32_t>(maxFrames, 1)) * 2, 0);
}

void TSoftwareMix::Mix(TMixSource* const* sources, size_t count, uint8_t* out, uint32_t frames) {
  const uint32_t chunk = static_cast<uint32_t>(accumulator_.size() / 2);
  if (chunk == 0) return;
  while (frames > 0) {
    uint32_t n = std::min(frames, chunk);
    MixChunk(sources, count, out, n);
    out += static_cast<size_t>(n) * output_.BlockAlign;
    frames -= n;
  }
}

void TSoftwareMix::MixChunk(TMixSource* const* sources, size_t count, uint8_t* out, uint32_t frames) {
  int32_t* acc = accumulator_.data();
  std::fill(acc, acc + 2 * static_cast<size_t>(frames), 0);
  const uint32_t rate = output_.SamplesPerSec;
  for (size_t s = 0; s < count; ++s) {
    TMixSource& source = *sources[s];
    if (!source.Playing || source.Data == nullptr || source.Bytes == 0) continue;
    const TWaveFormat& f = source.Format;
    if (f.BitsPerSample == 16) {
      if (f.Channels == 2) AddSource<16, 2>(source, acc, frames, rate);
      else AddSource<16, 1>(source, acc, frames, rate);
    } else {
      if (f.Channels == 2) AddSource<8, 2>(source, acc, frames, rate);
      else AddSource<8, 1>(source, acc, frames, rate);
    }
  }
  const bool stereo = output_.Channels == 2;
  if (output_.BitsPerSample == 16) {
    for (uint32_t i = 0; i < frames; ++i) {
      if (stereo) {
        int16_t pair[2] = {Clamp16(acc[2 * i]), Clamp16(acc[2 * i + 1])};
        std::memcpy(out + 4 * i, pair, 4);
      } else {
        int16_t mono = Clamp16((acc[2 * i] + acc[2 * i + 1]) / 2);
        std::memcpy(out + 2 * i, &mono, 2);
      }
    }
  } else {
    for (uint32_t i = 0; i < frames; ++i) {
      if (stereo) {
        out[2 * i] = static_cast<uint8_t>((Clamp16(acc[2 * i]) >> 8) + 128);
        out[2 * i + 1] = static_cast<uint8_t>((Clamp16(acc[2 * i + 1]) >> 8) + 128);
      } else {
        out[i] = static_cast<uint8_t>((Clamp16((acc[2 * i] + acc[2 * i + 1]) / 2) >> 8) + 128);
      }
    }
  }
}

}  // namespace orr
