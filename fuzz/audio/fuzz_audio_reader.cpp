// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the audio file reader through a real file: opening either fails
// with EAudioReadError or gives a reader whose blocks, seeks and times stay consistent.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/mwAudioFileRead.h"
#include "../ScratchFile.h"

namespace {

// Reads at most `blocks` blocks; every block fits the buffer and is whole frames.
void ReadSome(orr::TAudioFileReader& reader, std::vector<std::uint8_t>& buffer, int blocks) {
  const unsigned align = reader.WaveFormat.BlockAlign == 0 ? 1 : reader.WaveFormat.BlockAlign;
  for (int i = 0; i < blocks; ++i) {
    std::uint32_t got = orr::ReadBlock(reader, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (got > buffer.size()) std::abort();
    if (got % align != 0) std::abort();
    if (got == 0) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const orr::fuzz::TScratchFile scratch("audio");
  const std::string& path = scratch.Path();
  scratch.Write(data, size);

  try {
    auto reader = orr::OpenAudioFileReader(path);
    if (!reader) return 0;
    if (reader->Duration < 0) std::abort();
    std::vector<std::uint8_t> buffer(4096);
    ReadSome(*reader, buffer, 16);
    orr::SeekTo(*reader, reader->Duration / 2);
    if (reader->CurrentPosition < 0 || reader->CurrentPosition > reader->Duration) std::abort();
    ReadSome(*reader, buffer, 4);
    orr::SeekTo(*reader, 0);
    ReadSome(*reader, buffer, 4);
  } catch (const orr::EAudioReadError&) {
    // Refused with the reader's own error: fine.
  }
  return 0;
}
