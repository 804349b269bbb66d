// SPDX-License-Identifier: GPL-3.0-or-later
// The audio file reader: decoded PCM blocks for a mixer channel, with stream times in
// 100-ns units, a play start and a play length that cut the data to a window of the file.
//
// The reader sits on a media stream (TAudioMediaStream): the decoding service that fills
// a bound buffer with the next block on every update. OpenAudioFileReader builds one on
// libsndfile (WAV, FLAC, Ogg/Vorbis and whatever else the library reads), decoding to
// 16-bit PCM at the file's own rate and channel count.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "audio/SoundDevice.h"

namespace orr {

using TStreamResult = uint32_t;

// Result codes of the media stream.
constexpr TStreamResult MS_S_PENDING = 0x00040001;
constexpr TStreamResult MS_S_NOUPDATE = 0x00040002;
constexpr TStreamResult MS_S_ENDOFSTREAM = 0x00040003;
constexpr TStreamResult AudioReadInvalidBufferSize = 0x08000001;
constexpr TStreamResult E_POINTER_RESULT = 0x80004003;
constexpr TStreamResult E_FAIL_RESULT = 0x80004005;
constexpr TStreamResult MS_E_NOSTREAM = 0x80040403;
constexpr TStreamResult MS_E_NOTINIT = 0x80040407;
constexpr TStreamResult MS_E_NOTRUNNING = 0x8004040A;
constexpr TStreamResult E_INVALIDARG_RESULT = 0x80070057;

// 100-ns units per second.
constexpr int64_t StreamTimeUnitsPerSecond = 10000000;

// Raised for every failing stream result.
class EAudioReadError : public ECodedError {
 public:
  using ECodedError::ECodedError;
};

// The message for a stream result ("Unrecognized error value." for unlisted codes).
std::string StreamResultMessage(TStreamResult code);
// Returns when `code` is 0; otherwise raises EAudioReadError with its message and code.
void CheckStreamResult(TStreamResult code);

// The decoding service behind a reader. One block per Update into the bound buffer; a
// block fills the buffer unless the data ends first. Times in 100-ns units.
class TAudioMediaStream {
 public:
  virtual ~TAudioMediaStream() = default;
  // Binds the buffer the next updates fill.
  virtual TStreamResult SetBuffer(uint32_t size, uint8_t* data, uint32_t flags) = 0;
  // Decodes the next block; MS_S_ENDOFSTREAM when no data is left.
  virtual TStreamResult Update(uint32_t flags) = 0;
  // Bytes the last update delivered.
  virtual TStreamResult GetActualDataLength(uint32_t* length) = 0;
  // Stream times of the last block.
  virtual TStreamResult GetSampleTimes(int64_t* start, int64_t* end) = 0;
  virtual TStreamResult Stop() = 0;
  virtual TStreamResult Run() = 0;
  // Waits until the state settles; 2 = running.
  virtual TStreamResult GetState(int* state) = 0;
  // Absolute positioning of the next block.
  virtual TStreamResult SetCurrentPosition(int64_t position) = 0;
};

// A reader: the decoded format, the stream, and where reading stands.
struct TAudioFileReader {
  TWaveFormat WaveFormat;                     // PCM format of the decoded data
  std::unique_ptr<TAudioMediaStream> Stream;  // seeking, control, sample and data in one
  uint8_t* BoundBuffer = nullptr;             // last buffer bound to the stream
  uint32_t BoundSize = 0;
  int64_t Duration = 0;         // latest allowed position, 100 ns
  int64_t CurrentPosition = 0;  // end of the last block read or the last seek target
  int64_t PlayStart = 0;        // earliest allowed position
  int64_t PlayLength = 0;       // 0: to the end; else data past PlayStart + PlayLength is cut
  int64_t SampleStart = 0;      // stream times of the last block
  int64_t SampleEnd = 0;
};

// Reads the next block into `buffer` (at most `size` bytes); the number of bytes written,
// 0 at the end of the data. Raises EAudioReadError for a size of 0 and stream failures.
uint32_t ReadBlock(TAudioFileReader& reader, uint8_t* buffer, uint32_t size);
// Moves to `position` (100 ns), clamped to the play window and the duration.
void SeekTo(TAudioFileReader& reader, int64_t position);

// Opens `fileName` for reading as 16-bit PCM: WaveFormat, Duration filled, play start and
// play length 0, the stream running. Raises EAudioReadError when the file cannot be read.
std::unique_ptr<TAudioFileReader> OpenAudioFileReader(const std::string& fileName);

}  // namespace orr
