// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/NullSoundDevice.h"

#include <algorithm>
#include <cstring>

namespace orr {

TNullSoundBuffer::TNullSoundBuffer(std::shared_ptr<TNullSoundDevice> device, const TSoundBufferDesc& desc)
    : TPcmSoundBuffer(desc), device_(std::move(device)) {
  if (!primary_) format_ = *desc.Format;
}

TNullSoundBuffer::~TNullSoundBuffer() {
  if (primary_) return;
  std::lock_guard<std::mutex> lock(device_->buffersMutex_);
  auto& list = device_->buffers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

uint32_t TNullSoundBuffer::PositionNow() {
  if (!playing_ || data_.empty()) return basePosition_;
  uint64_t elapsedMs = device_->Clock() - startTime_;
  uint64_t frames = elapsedMs * format_.SamplesPerSec / 1000;
  uint64_t position = basePosition_ + frames * format_.BlockAlign;
  if (looping_) return static_cast<uint32_t>(position % data_.size());
  if (position >= data_.size()) {
    // A one-shot buffer stops at its end and rests at the start.
    playing_ = false;
    basePosition_ = 0;
    return 0;
  }
  return static_cast<uint32_t>(position);
}

bool TNullSoundBuffer::Lost() const { return device_->buffersLost_; }

TDeviceResult TNullSoundBuffer::GetCurrentPosition(uint32_t* playPosition) {
  std::lock_guard<std::mutex> lock(mutex_);
  *playPosition = PositionNow();
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::SetCurrentPosition(uint32_t playPosition) {
  if (TDeviceResult result = CheckPosition(playPosition); result != DS_OK) return result;
  std::lock_guard<std::mutex> lock(mutex_);
  basePosition_ = playPosition - playPosition % format_.BlockAlign;
  startTime_ = device_->Clock();
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::SetVolume(int32_t volume) {
  if (TDeviceResult result = CheckVolume(volume); result != DS_OK) return result;
  std::lock_guard<std::mutex> lock(mutex_);
  volume_ = volume;
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::SetPan(int32_t pan) {
  if (TDeviceResult result = CheckPan(pan); result != DS_OK) return result;
  std::lock_guard<std::mutex> lock(mutex_);
  pan_ = pan;
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::Play(bool looping) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (primary_) {
    playing_ = true;
    return DS_OK;
  }
  basePosition_ = PositionNow();
  startTime_ = device_->Clock();
  playing_ = true;
  looping_ = looping;
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  basePosition_ = PositionNow();
  playing_ = false;
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::GetFormat(TWaveFormat* format) {
  std::lock_guard<std::mutex> lock(mutex_);
  *format = format_;
  return DS_OK;
}

TDeviceResult TNullSoundBuffer::SetFormat(const TWaveFormat& format) {
  if (TDeviceResult result = CheckOutputFormat(format); result != DS_OK) return result;
  std::lock_guard<std::mutex> lock(mutex_);
  format_ = format;
  return DS_OK;
}

std::vector<uint8_t> TNullSoundBuffer::Contents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return data_;
}

int32_t TNullSoundBuffer::Volume() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return volume_;
}

int32_t TNullSoundBuffer::Pan() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pan_;
}

bool TNullSoundBuffer::Playing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playing_;
}

TDeviceResult TNullSoundDevice::SetCooperativeLevel(void*, int level) {
  if (level < 1 || level > 3) return DSERR_INVALIDPARAM;
  level_ = level;
  return DS_OK;
}

TDeviceResult TNullSoundDevice::CreateSoundBuffer(const TSoundBufferDesc& desc, TSoundBufferRef* buffer) {
  if (buffer == nullptr) return DSERR_INVALIDPARAM;
  if ((desc.Flags & DSBCAPS_PRIMARYBUFFER) == 0) {
    if (TDeviceResult result = CheckBufferDesc(desc); result != DS_OK) return result;
  }
  auto made = std::make_shared<TNullSoundBuffer>(shared_from_this(), desc);
  if (!made->Primary()) {
    std::lock_guard<std::mutex> lock(buffersMutex_);
    buffers_.push_back(made.get());
  }
  *buffer = std::move(made);
  return DS_OK;
}

TDeviceResult TNullSoundDevice::SetSpeakerConfig(uint32_t config) {
  speakerConfig_ = config;
  return DS_OK;
}

std::vector<TNullSoundBuffer*> TNullSoundDevice::Buffers() const {
  std::lock_guard<std::mutex> lock(buffersMutex_);
  return buffers_;
}

TDeviceResult TNullSoundDriver::Enumerate(
    const std::function<bool(const std::string&, const std::string&)>& found) {
  found("Null sound device", "");
  return DS_OK;
}

TDeviceResult TNullSoundDriver::Create(const std::string&, TSoundDeviceRef* device) {
  auto made = std::make_shared<TNullSoundDevice>(clock_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = made;
  }
  ++created_;
  *device = std::move(made);
  return DS_OK;
}

std::shared_ptr<TNullSoundDevice> TNullSoundDriver::LastDevice() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_.lock();
}

}  // namespace orr
