// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/mwAudioFileRead.h"

#ifdef _WIN32
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#ifndef __EMSCRIPTEN__
#include <sndfile.h>
#endif

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Paths.h"

namespace orr {

namespace {

struct TStreamMessage {
  TStreamResult Code;
  const char* Text;
};

constexpr TStreamMessage StreamMessages[] = {
    {0x00040001, "The asynchronous update is pending."},
    {0x00040002, "Sample was not updated after forced completion."},
    {0x00040003, "Reached the end of the stream; the sample wasn't updated."},
    {0x08000001, "Invalid buffer size."},
    {0x80004002, "No interface."},
    {0x80004003, "This method tried to access an invalid pointer."},
    {0x80004004, "The update aborted."},
    {0x80040110, "This class cannot be created as part of an aggregate."},
    {0x80040154, "A specified class is not registered in the registration database."},
    {0x80040401,
     "An IMediaStream object could not be removed from an IMultiMediaStream object because it "
     "still contains at least one allocated sample."},
    {0x80040402, "The specified purpose ID can't be used for the call."},
    {0x80040403, "No stream can be found with the specified attributes."},
    {0x80040404, "One or more media streams don't support seeking."},
    {0x80040405, "The stream formats are not compatible."},
    {0x80040406, "This sample already has a pending update."},
    {0x80040407,
     "The object can't accept the call because its initialize function or equivalent has not "
     "been called."},
    {0x80040408, "Source already defined."},
    {0x80040409, "The stream type is not valid for this operation."},
    {0x8004040A, "The IMultiMediaStream object is not in running state."},
    {0x80070057, "One of the parameters is invalid."},
};

#ifndef __EMSCRIPTEN__
constexpr int StateStopped = 0;
constexpr int StateRunning = 2;

// frames * 10^7 / rate without overflow, saturating at the largest time.
int64_t FramesToTime(int64_t frames, int rate) {
  __int128 t = static_cast<__int128>(frames) * StreamTimeUnitsPerSecond / rate;
  return t > INT64_MAX ? INT64_MAX : static_cast<int64_t>(t);
}

// The libsndfile stream: decodes to 16-bit native-endian PCM, one block per update.
class TSndFileStream : public TAudioMediaStream {
 public:
  TSndFileStream(SNDFILE* file, const SF_INFO& info) : file_(file), info_(info) {}
  ~TSndFileStream() override { sf_close(file_); }

  TStreamResult SetBuffer(uint32_t size, uint8_t* data, uint32_t) override {
    if (data == nullptr && size > 0) return E_POINTER_RESULT;
    if (reinterpret_cast<uintptr_t>(data) % alignof(short) != 0) return E_POINTER_RESULT;
    buffer_ = data;
    size_ = size;
    return 0;
  }

  TStreamResult Update(uint32_t) override {
    if (state_ != StateRunning) return MS_E_NOTRUNNING;
    const uint32_t frameBytes = FrameBytes();
    sf_count_t frames = size_ / frameBytes;
    if (buffer_ == nullptr || frames == 0) return E_INVALIDARG_RESULT;
    sf_count_t got = sf_readf_short(file_, reinterpret_cast<short*>(buffer_), frames);
    if (got <= 0) {
      actual_ = 0;
      return MS_S_ENDOFSTREAM;
    }
    actual_ = static_cast<uint32_t>(got) * frameBytes;
    start_ = FramesToTime(frame_, info_.samplerate);
    frame_ += got;
    end_ = FramesToTime(frame_, info_.samplerate);
    return 0;
  }

  TStreamResult GetActualDataLength(uint32_t* length) override {
    *length = actual_;
    return 0;
  }

  TStreamResult GetSampleTimes(int64_t* start, int64_t* end) override {
    *start = start_;
    *end = end_;
    return 0;
  }

  TStreamResult Stop() override {
    state_ = StateStopped;
    return 0;
  }
  TStreamResult Run() override {
    state_ = StateRunning;
    return 0;
  }
  TStreamResult GetState(int* state) override {
    *state = state_;
    return 0;
  }

  TStreamResult SetCurrentPosition(int64_t position) override {
    if (position < 0) return E_INVALIDARG_RESULT;
    __int128 frame = static_cast<__int128>(position) * info_.samplerate / StreamTimeUnitsPerSecond;
    frame = std::min<__int128>(frame, info_.frames);
    sf_count_t at = sf_seek(file_, static_cast<sf_count_t>(frame), SEEK_SET);
    if (at < 0) return 0x80040404;  // the format does not seek
    frame_ = at;
    return 0;
  }

 private:
  uint32_t FrameBytes() const { return static_cast<uint32_t>(info_.channels) * 2; }

  SNDFILE* file_;
  SF_INFO info_;
  uint8_t* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t actual_ = 0;
  sf_count_t frame_ = 0;
  int64_t start_ = 0;
  int64_t end_ = 0;
  int state_ = StateStopped;
};
#endif  // __EMSCRIPTEN__

}  // namespace

std::string StreamResultMessage(TStreamResult code) {
  for (const auto& m : StreamMessages) {
    if (m.Code == code) return m.Text;
  }
  // This platform has no error-text service for other codes.
  return "Unrecognized error value.";
}

void CheckStreamResult(TStreamResult code) {
  if (code != 0) throw EAudioReadError(StreamResultMessage(code), code);
}

uint32_t ReadBlock(TAudioFileReader& reader, uint8_t* buffer, uint32_t size) {
  if (size == 0) throw EAudioReadError("Invalid buffer size.", AudioReadInvalidBufferSize);
  if (!reader.Stream) CheckStreamResult(MS_E_NOTINIT);
  const int64_t limit = reader.PlayStart + reader.PlayLength;
  if (reader.PlayLength != 0 && reader.CurrentPosition >= limit) return 0;
  if (buffer != reader.BoundBuffer || size != reader.BoundSize) {
    reader.BoundBuffer = buffer;
    reader.BoundSize = size;
    CheckStreamResult(reader.Stream->SetBuffer(size, buffer, 0));
  }
  TStreamResult updated = reader.Stream->Update(0);
  if (updated == MS_S_ENDOFSTREAM || updated == MS_E_NOSTREAM) return 0;
  CheckStreamResult(updated);

  uint32_t delivered = 0;
  int64_t start = 0, end = 0;
  CheckStreamResult(reader.Stream->GetActualDataLength(&delivered));
  CheckStreamResult(reader.Stream->GetSampleTimes(&start, &end));
  // A stream never hands out more than was bound.
  delivered = std::min(delivered, size);
  if (end < start) start = end;
  reader.SampleStart = start;
  reader.SampleEnd = end;

  if (reader.PlayLength != 0 && end > limit && end > start) {
    __int128 cut = static_cast<__int128>(delivered) * (static_cast<__int128>(limit) - start) /
                   (static_cast<__int128>(end) - start);
    cut = std::clamp<__int128>(cut, 0, delivered);
    uint32_t bytes = static_cast<uint32_t>(cut);
    const uint32_t align = reader.WaveFormat.BlockAlign;
    if (align > 0) bytes -= bytes % align;
    delivered = bytes;
    end = limit;
    reader.SampleEnd = end;
  }
  reader.CurrentPosition = end;
  return delivered;
}

void SeekTo(TAudioFileReader& reader, int64_t position) {
  // The target is clamped before it is compared with the current position, so that a
  // rewind of a fresh reader (position 0) still lands on a later play start.
  int64_t target = position;
  if (target < reader.PlayStart) {
    target = reader.PlayStart;
  } else if (target > reader.Duration) {
    target = reader.Duration;
  } else if (reader.PlayLength != 0 && target > reader.PlayStart + reader.PlayLength) {
    target = reader.PlayStart + reader.PlayLength;
  }
  if (target == reader.CurrentPosition) return;
  if (!reader.Stream) CheckStreamResult(MS_E_NOTINIT);
  CheckStreamResult(reader.Stream->Stop());
  CheckStreamResult(reader.Stream->SetCurrentPosition(target));
  CheckStreamResult(reader.Stream->Run());
  int state = 0;
  CheckStreamResult(reader.Stream->GetState(&state));
  reader.CurrentPosition = target;
}

#ifdef __EMSCRIPTEN__
// The web build decodes no audio files (the game plays none): opening one is an error of
// its own, as a file the decoder cannot read is.
std::unique_ptr<TAudioFileReader> OpenAudioFileReader(const std::string& fileName) {
  throw EAudioReadError("Cannot read the audio file \"" + fileName + "\": this build decodes no audio files",
                        E_FAIL_RESULT);
}
#else
std::unique_ptr<TAudioFileReader> OpenAudioFileReader(const std::string& fileName) {
  SF_INFO info{};
#ifdef _WIN32
  SNDFILE* file = sf_wchar_open(WideFromUtf8(fileName).c_str(), SFM_READ, &info);
#else
  SNDFILE* file = sf_open(fileName.c_str(), SFM_READ, &info);
#endif
  if (file == nullptr) {
    throw EAudioReadError("Cannot read the audio file \"" + fileName + "\": " + sf_strerror(nullptr),
                          E_FAIL_RESULT);
  }
  // 16-bit output caps the rate and channel count so that the byte rate fits 32 bits.
  if (info.channels < 1 || info.channels > 16 || info.samplerate < 1 || info.samplerate > 1000000 ||
      info.frames < 0) {
    sf_close(file);
    throw EAudioReadError("The audio file \"" + fileName + "\" has an unusable format.", 0x80040405);
  }
  // Float files are scaled to the full 16-bit range instead of being clipped.
  sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

  auto reader = std::make_unique<TAudioFileReader>();
  TWaveFormat& f = reader->WaveFormat;
  f.FormatTag = 1;
  f.Channels = static_cast<uint16_t>(info.channels);
  f.SamplesPerSec = static_cast<uint32_t>(info.samplerate);
  f.BitsPerSample = 16;
  f.BlockAlign = static_cast<uint16_t>(f.Channels * 2);
  f.AvgBytesPerSec = f.SamplesPerSec * f.BlockAlign;
  f.ExtraSize = 0;
  reader->Duration = FramesToTime(info.frames, info.samplerate);
  reader->Stream = std::make_unique<TSndFileStream>(file, info);
  CheckStreamResult(reader->Stream->Run());
  int state = 0;
  CheckStreamResult(reader->Stream->GetState(&state));
  return reader;
}
#endif  // __EMSCRIPTEN__

}  // namespace orr
