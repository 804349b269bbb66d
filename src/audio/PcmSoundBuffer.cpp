// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/PcmSoundBuffer.h"

namespace orr {

TPcmSoundBuffer::TPcmSoundBuffer(const TSoundBufferDesc& desc)
    : primary_((desc.Flags & DSBCAPS_PRIMARYBUFFER) != 0) {
  if (!primary_) data_.assign(desc.BufferBytes, desc.Format->BitsPerSample == 8 ? 128 : 0);
}

TDeviceResult TPcmSoundBuffer::Lock(uint32_t offset, uint32_t size, uint8_t** region, uint32_t* regionBytes) {
  if (primary_) return DSERR_INVALIDCALL;
  if (Lost()) return DSERR_BUFFERLOST;
  if (size == 0 || offset >= data_.size() || size > data_.size() - offset) return DSERR_INVALIDPARAM;
  LockBytes();  // held until Unlock: one copy, then the device may read again
  *region = data_.data() + offset;
  *regionBytes = size;
  return DS_OK;
}

TDeviceResult TPcmSoundBuffer::Unlock(uint8_t* region, uint32_t regionBytes) {
  if (region == nullptr || region < data_.data() || region + regionBytes > data_.data() + data_.size())
    return DSERR_INVALIDPARAM;
  UnlockBytes();
  return DS_OK;
}

TDeviceResult TPcmSoundBuffer::CheckPosition(uint32_t position) const {
  if (primary_) return DSERR_INVALIDCALL;
  return position < data_.size() ? DS_OK : DSERR_INVALIDPARAM;
}

TDeviceResult TPcmSoundBuffer::CheckVolume(int32_t volume) {
  return volume >= VolumeMin && volume <= VolumeMax ? DS_OK : DSERR_INVALIDPARAM;
}

TDeviceResult TPcmSoundBuffer::CheckPan(int32_t pan) {
  return pan >= PanLeft && pan <= PanRight ? DS_OK : DSERR_INVALIDPARAM;
}

TDeviceResult TPcmSoundBuffer::CheckOutputFormat(const TWaveFormat& format) const {
  if (!primary_) return DSERR_INVALIDCALL;
  // Any whole number of frames will do: four bytes are a whole number of frames of every
  // format a device takes.
  TSoundBufferDesc check;
  check.BufferBytes = 4;
  check.Format = &format;
  return CheckBufferDesc(check);
}

}  // namespace orr
