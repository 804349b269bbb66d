// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/mwDSMixer.h"

#include <algorithm>
#include <mutex>

namespace orr {

namespace {

struct TDeviceList {
  std::vector<std::string> Descriptions;
  std::vector<std::string> Guids;
};

const TDeviceList& DeviceList() {
  static TDeviceList list;
  static std::once_flag filled;
  std::call_once(filled, [] {
    TSoundDriverRef driver = DefaultSoundDriver();
    TDeviceResult result = driver->Enumerate([](const std::string& description, const std::string& id) {
      list.Descriptions.push_back(description);
      list.Guids.push_back(id);
      return true;
    });
    CheckDeviceResult(result);
  });
  return list;
}

}  // namespace

const std::vector<std::string>& SoundDeviceDescriptions() { return DeviceList().Descriptions; }
const std::vector<std::string>& SoundDeviceGuids() { return DeviceList().Guids; }

// ---------------------------------------------------------------------------------------
// TmwDSMixer

TmwDSMixer::TmwDSMixer(TComponent* owner) : TComponent(owner), Driver(DefaultSoundDriver()) {}

TmwDSMixer::~TmwDSMixer() {
  try {
    CloseDevice();
  } catch (...) {
    // Releasing never reports failures; nothing is left to undo.
  }
  while (!channels_.empty()) delete channels_.back();  // unregisters itself
}

TBitsPerSample TmwDSMixer::BitsPerSample() const {
  return ReadLocked(deviceMutex_, [&] { return bitsPerSample_; });
}
void TmwDSMixer::SetBitsPerSample(TBitsPerSample value) {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  bitsPerSample_ = value;
}
bool TmwDSMixer::Stereo() const {
  return ReadLocked(deviceMutex_, [&] { return stereo_; });
}
void TmwDSMixer::SetStereo(bool value) {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  stereo_ = value;
}
int TmwDSMixer::Frequency() const {
  return ReadLocked(deviceMutex_, [&] { return frequency_; });
}
void TmwDSMixer::SetFrequency(int value) {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  frequency_ = std::clamp(value, 100, 100000);
}
TCooperativeLevel TmwDSMixer::Level() const {
  return ReadLocked(deviceMutex_, [&] { return level_; });
}
void TmwDSMixer::SetLevel(TCooperativeLevel value) {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  level_ = value;
}
uint32_t TmwDSMixer::SpeakerConfig() const {
  return ReadLocked(deviceMutex_, [&] { return speakerConfig_; });
}
void TmwDSMixer::SetSpeakerConfig(uint32_t value) {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  speakerConfig_ = value;
  if (device_) CheckDeviceResult(device_->SetSpeakerConfig(value));
}

void TmwDSMixer::OpenDevice() {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  if (!Enabled || device_) return;
  if (!Driver) throw EDirectXError("DirectSoundCreate pointer not assigned.", 0);
  std::string id;
  if (DeviceIndex > 0) {
    const auto& guids = SoundDeviceGuids();
    if (DeviceIndex < static_cast<int>(guids.size())) id = guids[DeviceIndex];
  }
  try {
    CheckDeviceResult(Driver->Create(id, &device_));
    DeviceNotification();
    CheckDeviceResult(device_->SetCooperativeLevel(OwnerWindow, static_cast<int>(level_) + 1));
    TSoundBufferDesc desc;
    desc.Size = 36;
    desc.Flags = DSBCAPS_PRIMARYBUFFER;
    CheckDeviceResult(device_->CreateSoundBuffer(desc, &primary_));
    if (level_ != lNormal) {
      TWaveFormat format;
      CheckDeviceResult(primary_->GetFormat(&format));
      format.Channels = stereo_ ? 2 : 1;
      format.BitsPerSample = static_cast<uint16_t>(8 << static_cast<int>(bitsPerSample_));
      format.SamplesPerSec = static_cast<uint32_t>(frequency_);
      format.BlockAlign = static_cast<uint16_t>(format.BitsPerSample * format.Channels / 8);
      format.AvgBytesPerSec = format.BlockAlign * format.SamplesPerSec;
      CheckDeviceResult(primary_->SetFormat(format));
      CheckDeviceResult(primary_->GetFormat(&format));
      stereo_ = format.Channels == 2;
      bitsPerSample_ = static_cast<TBitsPerSample>(format.BitsPerSample / 16);
      frequency_ = static_cast<int>(format.SamplesPerSec);
    }
    CheckDeviceResult(device_->SetSpeakerConfig(speakerConfig_));
    CheckDeviceResult(primary_->Play(true));
  } catch (...) {
    // A half-opened device is dropped, so the next attempt starts afresh.
    bool hadDevice = device_ != nullptr;
    primary_.reset();
    device_.reset();
    if (hadDevice) DeviceNotification();
    throw;
  }
}

TSoundDeviceRef TmwDSMixer::GetDevice() {
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  OpenDevice();
  return device_;
}

void TmwDSMixer::CloseDevice() {
  for (TmwDSMixerChannel* channel : channels_) channel->ReleaseBuffer();
  std::lock_guard<std::recursive_mutex> lock(deviceMutex_);
  primary_.reset();
  if (device_) {
    device_.reset();
    DeviceNotification();
  }
}

bool TmwDSMixer::DeviceOpen() const {
  return ReadLocked(deviceMutex_, [&] { return device_ != nullptr; });
}

TSoundBufferRef TmwDSMixer::PrimaryBuffer() const {
  return ReadLocked(deviceMutex_, [&] { return primary_; });
}

void TmwDSMixer::RegisterChannel(TmwDSMixerChannel* channel) {
  if (std::find(channels_.begin(), channels_.end(), channel) == channels_.end()) channels_.push_back(channel);
}

void TmwDSMixer::UnregisterChannel(TmwDSMixerChannel* channel) {
  channels_.erase(std::remove(channels_.begin(), channels_.end(), channel), channels_.end());
}

}  // namespace orr
