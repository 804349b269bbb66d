// SPDX-License-Identifier: GPL-3.0-or-later
// The output device the software mixer works against: a device that owns a primary
// buffer (the format it outputs) and secondary buffers (one per mixer channel) that it
// plays, each a ring of PCM bytes with its own play position, volume and pan.
//
// Every operation returns a 32-bit result code: 0 for success, else one of the codes
// below (the mixer turns them into EDirectXError through CheckDeviceResult). Two drivers
// implement it: SDL audio output (SdlSoundDevice.cpp) and the null device, which plays
// nothing and advances play positions by a clock (NullSoundDevice.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace orr {

using TDeviceResult = uint32_t;

// Result codes of the device operations.
constexpr TDeviceResult DS_OK = 0;
constexpr TDeviceResult DSERR_UNSUPPORTED = 0x80004001;
constexpr TDeviceResult DSERR_GENERIC = 0x80004005;
constexpr TDeviceResult DSERR_OUTOFMEMORY = 0x8007000E;
constexpr TDeviceResult DSERR_INVALIDPARAM = 0x80070057;
constexpr TDeviceResult DSERR_CONTROLUNAVAIL = 0x8878001E;
constexpr TDeviceResult DSERR_INVALIDCALL = 0x88780032;
constexpr TDeviceResult DSERR_BADFORMAT = 0x88780064;
constexpr TDeviceResult DSERR_NODRIVER = 0x88780078;
constexpr TDeviceResult DSERR_BUFFERLOST = 0x88780096;

// A failing platform result: a fixed English message and the 32-bit code.
class ECodedError : public std::runtime_error {
 public:
  ECodedError(const std::string& message, uint32_t errorCode)
      : std::runtime_error(message), ErrorCode(errorCode) {}
  uint32_t ErrorCode;
};

// Raised for every failing device result.
class EDirectXError : public ECodedError {
 public:
  using ECodedError::ECodedError;
};

// The message for a device result code ("Unrecognized Error" for unknown codes).
std::string DeviceResultMessage(TDeviceResult code);
// Returns when `code` is 0, else raises EDirectXError with its message and code.
void CheckDeviceResult(TDeviceResult code);

// PCM format record; field meanings as in a WAV file's format chunk.
struct TWaveFormat {
  uint16_t FormatTag = 1;  // 1 = PCM
  uint16_t Channels = 2;
  uint32_t SamplesPerSec = 44100;
  uint32_t AvgBytesPerSec = 176400;
  uint16_t BlockAlign = 4;
  uint16_t BitsPerSample = 16;
  uint16_t ExtraSize = 0;
};

// Capability flags of a buffer description.
constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr uint32_t DSBCAPS_CTRLPAN = 0x00000040;
constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;
constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x00008000;

struct TSoundBufferDesc {
  uint32_t Size = 36;  // size of the description record the original interface expects
  uint32_t Flags = 0;
  uint32_t BufferBytes = 0;             // 0 for the primary buffer
  const TWaveFormat* Format = nullptr;  // none for the primary buffer
};

// Volume in hundredths of a decibel: 0 is full level, -10000 silence.
constexpr int32_t VolumeMin = -10000;
constexpr int32_t VolumeMax = 0;
// Pan: -10000 full left, 0 centre, 10000 full right.
constexpr int32_t PanLeft = -10000;
constexpr int32_t PanRight = 10000;

class TSoundBuffer {
 public:
  virtual ~TSoundBuffer() = default;
  // Makes [offset, offset + size) writable. The region never wraps here: callers split
  // at the end. Unlock must follow on the same thread, soon.
  virtual TDeviceResult Lock(uint32_t offset, uint32_t size, uint8_t** region, uint32_t* regionBytes) = 0;
  virtual TDeviceResult Unlock(uint8_t* region, uint32_t regionBytes) = 0;
  // Byte offset the device reads next (always a whole frame).
  virtual TDeviceResult GetCurrentPosition(uint32_t* playPosition) = 0;
  virtual TDeviceResult SetCurrentPosition(uint32_t playPosition) = 0;
  virtual TDeviceResult SetVolume(int32_t volume) = 0;
  virtual TDeviceResult SetPan(int32_t pan) = 0;
  virtual TDeviceResult Play(bool looping) = 0;
  virtual TDeviceResult Stop() = 0;
  virtual TDeviceResult GetFormat(TWaveFormat* format) = 0;
  virtual TDeviceResult SetFormat(const TWaveFormat& format) = 0;
};

using TSoundBufferRef = std::shared_ptr<TSoundBuffer>;

// What every device accepts for a buffer: DS_OK, DSERR_INVALIDPARAM for a bad size or
// missing format, DSERR_BADFORMAT for a format other than 8/16-bit PCM, 1 or 2 channels,
// 100 to 200000 Hz with consistent block alignment and byte rate.
TDeviceResult CheckBufferDesc(const TSoundBufferDesc& desc);

class TSoundDevice {
 public:
  virtual ~TSoundDevice() = default;
  // 1 normal, 2 priority, 3 exclusive; `window` is unused on this platform.
  virtual TDeviceResult SetCooperativeLevel(void* window, int level) = 0;
  virtual TDeviceResult CreateSoundBuffer(const TSoundBufferDesc& desc, TSoundBufferRef* buffer) = 0;
  virtual TDeviceResult SetSpeakerConfig(uint32_t config) = 0;
  // What the device is, for people ("SDL: <name>", "null device").
  virtual std::string Description() const = 0;
};

using TSoundDeviceRef = std::shared_ptr<TSoundDevice>;

class TSoundDriver {
 public:
  virtual ~TSoundDriver() = default;
  // Calls `found` for each output device (description, id text; "" is the default device)
  // until it returns false.
  virtual TDeviceResult Enumerate(
      const std::function<bool(const std::string& description, const std::string& id)>& found) = 0;
  // Opens the device with id text `id` ("" for the default device).
  virtual TDeviceResult Create(const std::string& id, TSoundDeviceRef* device) = 0;
};

using TSoundDriverRef = std::shared_ptr<TSoundDriver>;

// Milliseconds from an arbitrary origin; mixers and the null device read time through it.
using TMillisecondClock = std::function<uint64_t()>;
// The steady clock of the machine.
uint64_t SystemMilliseconds();

// SDL audio output: the devices SDL lists; fails with DSERR_NODRIVER when SDL cannot open one.
TSoundDriverRef SdlSoundDriver();
// SDL audio output when a device opens, else a null device running on the system clock.
TSoundDriverRef DefaultSoundDriver();

}  // namespace orr
