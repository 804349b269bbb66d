// SPDX-License-Identifier: GPL-3.0-or-later
// What the null and the SDL sound buffers share: the PCM bytes of a secondary buffer (a
// primary buffer holds none: it stands for the device's output), locking them, and the
// argument checks of the buffer calls, so that both devices answer a call alike.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/SoundDevice.h"

namespace orr {

class TPcmSoundBuffer : public TSoundBuffer {
 public:
  // DSERR_INVALIDCALL on a primary buffer, DSERR_BUFFERLOST once the device is lost,
  // DSERR_INVALIDPARAM unless [offset, offset + size) is a non-empty part of the bytes.
  // Otherwise the bytes stay locked against the device until Unlock.
  TDeviceResult Lock(uint32_t offset, uint32_t size, uint8_t** region, uint32_t* regionBytes) final;
  // DSERR_INVALIDPARAM for a region outside the bytes (nothing is unlocked then).
  TDeviceResult Unlock(uint8_t* region, uint32_t regionBytes) final;

  bool Primary() const { return primary_; }
  uint32_t Bytes() const { return static_cast<uint32_t>(data_.size()); }

 protected:
  // A secondary buffer starts silent: 128 for 8-bit samples, 0 for 16-bit ones.
  explicit TPcmSoundBuffer(const TSoundBufferDesc& desc);

  // True once the device can no longer play the buffer.
  virtual bool Lost() const = 0;
  // The lock the device's player takes to read the bytes.
  virtual void LockBytes() = 0;
  virtual void UnlockBytes() = 0;

  // SetCurrentPosition: DSERR_INVALIDCALL on a primary buffer, DSERR_INVALIDPARAM at or
  // beyond the end.
  TDeviceResult CheckPosition(uint32_t position) const;
  // Volume in hundredths of a decibel (VolumeMin..VolumeMax), pan PanLeft..PanRight.
  static TDeviceResult CheckVolume(int32_t volume);
  static TDeviceResult CheckPan(int32_t pan);
  // SetFormat, which only a primary buffer takes: DSERR_INVALIDCALL on a secondary buffer,
  // else what CheckBufferDesc says of the format.
  TDeviceResult CheckOutputFormat(const TWaveFormat& format) const;

  const bool primary_;
  std::vector<uint8_t> data_;  // fixed size from construction on
};

}  // namespace orr
