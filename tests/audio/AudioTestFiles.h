// SPDX-License-Identifier: GPL-3.0-or-later
// Audio files for the tests, written with libsndfile into a scratch folder.
#pragma once

#include <sndfile.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orr::test {

// A folder under the system's temporary folder, removed with the object.
class TScratchFolder {
 public:
  TScratchFolder() {
#ifdef _WIN32
    // No mkdtemp in Windows' runtime: a name of our own, taken when creating it succeeds.
    for (unsigned n = static_cast<unsigned>(_getpid()) * 7919u;; ++n) {
      std::filesystem::path p = std::filesystem::temp_directory_path() / ("orr-audio-" + std::to_string(n));
      if (std::filesystem::create_directory(p)) {
        Path = p.string();
        break;
      }
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "orr-audio-XXXXXX").string();
    Path = mkdtemp(pattern.data());
#endif
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string File(const std::string& name) const { return Path + "/" + name; }
  std::string Path;
};

// Interleaved 16-bit frames whose every sample differs from its neighbours, so a shifted,
// repeated or swapped block shows up: channel c of frame i.
inline std::vector<int16_t> TestSamples(int frames, int channels, int seed = 1) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      samples[static_cast<size_t>(i) * channels + c] =
          static_cast<int16_t>(((i * 37 + c * 11000 + seed * 7919) % 60000) - 30000);
    }
  }
  return samples;
}

// Writes `samples` (interleaved) as a file of the given major format (SF_FORMAT_WAV, ...).
inline bool WriteAudioFile(const std::string& path, const std::vector<int16_t>& samples, int rate,
                           int channels, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
  bool ok = sf_writef_short(file, samples.data(), frames) == frames;
  sf_close(file);
  return ok;
}

inline std::vector<uint8_t> AsBytes(const std::vector<int16_t>& samples) {
  const auto* p = reinterpret_cast<const uint8_t*>(samples.data());
  return std::vector<uint8_t>(p, p + samples.size() * sizeof(int16_t));
}

}  // namespace orr::test
