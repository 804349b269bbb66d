// SPDX-License-Identifier: GPL-3.0-or-later
// SDL audio output for the mixer: one SDL audio device per sound device; its callback
// mixes every playing secondary buffer in software (TSoftwareMix). The callback takes
// only the device's mix lock, which everyone else holds for a copy or a field update.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "audio/PcmSoundBuffer.h"
#include "audio/SoftwareMix.h"
#include "audio/SoundDevice.h"

namespace orr {

namespace {

class TSdlSoundDevice;

// Keeps SDL's audio subsystem initialised while any device or enumeration needs it.
struct TSdlAudioUse {
  bool Ok;
  TSdlAudioUse() : Ok(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
  ~TSdlAudioUse() {
    if (Ok) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
};

class TSdlSoundBuffer : public TPcmSoundBuffer {
 public:
  TSdlSoundBuffer(std::shared_ptr<TSdlSoundDevice> device, const TSoundBufferDesc& desc);
  ~TSdlSoundBuffer() override;

  TDeviceResult GetCurrentPosition(uint32_t* playPosition) override;
  TDeviceResult SetCurrentPosition(uint32_t playPosition) override;
  TDeviceResult SetVolume(int32_t volume) override;
  TDeviceResult SetPan(int32_t pan) override;
  TDeviceResult Play(bool looping) override;
  TDeviceResult Stop() override;
  TDeviceResult GetFormat(TWaveFormat* format) override;
  TDeviceResult SetFormat(const TWaveFormat& format) override;

 protected:
  bool Lost() const override;
  void LockBytes() override;  // the device's mix lock: the callback waits for the copy
  void UnlockBytes() override;

 private:
  void ApplyGains();  // caller holds the mix lock
  std::shared_ptr<TSdlSoundDevice> device_;
  TMixSource source_;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
};

class TSdlSoundDevice : public TSoundDevice, public std::enable_shared_from_this<TSdlSoundDevice> {
 public:
  explicit TSdlSoundDevice(std::string name) : name_(std::move(name)) {}
  ~TSdlSoundDevice() override { Close(); }

  // Opens the SDL device for `format` (paused). False when SDL refuses.
  bool Open(const TWaveFormat& format) {
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(format.SamplesPerSec);
    want.format = format.BitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.Channels);
    want.samples = 1024;
    want.callback = &TSdlSoundDevice::Callback;
    want.userdata = this;
    // No changes allowed: SDL converts to what the hardware takes, so the mix always
    // produces exactly `format`.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(name_.empty() ? nullptr : name_.c_str(), 0, &want, &have, 0);
    if (id == 0) return false;
    {
      std::lock_guard<std::mutex> lock(MixLock);
      output_ = format;
      Mix.SetOutput(format, have.samples > 0 ? have.samples : 1024);
    }
    id_ = id;
    if (playing_) SDL_PauseAudioDevice(id_, 0);
    return true;
  }

  void Close() {
    // Not under the mix lock: closing waits for a running callback, which takes it.
    if (id_ != 0) SDL_CloseAudioDevice(id_);
    id_ = 0;
  }

  bool Lost() const { return id_ == 0 || SDL_GetAudioDeviceStatus(id_) == SDL_AUDIO_STOPPED; }

  TDeviceResult SetCooperativeLevel(void*, int level) override {
    return level >= 1 && level <= 3 ? DS_OK : DSERR_INVALIDPARAM;
  }

  TDeviceResult CreateSoundBuffer(const TSoundBufferDesc& desc, TSoundBufferRef* buffer) override {
    if (buffer == nullptr) return DSERR_INVALIDPARAM;
    bool primary = (desc.Flags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (!primary) {
      if (TDeviceResult result = CheckBufferDesc(desc); result != DS_OK) return result;
    }
    *buffer = std::make_shared<TSdlSoundBuffer>(shared_from_this(), desc);
    return DS_OK;
  }

  TDeviceResult SetSpeakerConfig(uint32_t) override { return DS_OK; }

  std::string Description() const override {
    const char* driver = SDL_GetCurrentAudioDriver();
    return std::string("SDL ") + (driver != nullptr ? driver : "?") + ": " +
           (name_.empty() ? "default output" : name_);
  }

  TWaveFormat OutputFormat() {
    std::lock_guard<std::mutex> lock(MixLock);
    return output_;
  }

  TDeviceResult Reopen(const TWaveFormat& format) {
    TWaveFormat before = OutputFormat();
    Close();
    if (Open(format)) return DS_OK;
    Open(before);
    return DSERR_BADFORMAT;
  }

  void SetPlaying(bool playing) {
    playing_ = playing;
    if (id_ != 0) SDL_PauseAudioDevice(id_, playing ? 0 : 1);
  }

  void AddSource(TMixSource* source) {
    std::lock_guard<std::mutex> lock(MixLock);
    sources_.push_back(source);
  }
  void RemoveSource(TMixSource* source) {
    std::lock_guard<std::mutex> lock(MixLock);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
  }

  std::mutex MixLock;
  TSoftwareMix Mix;

 private:
  static void SDLCALL Callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<TSdlSoundDevice*>(user);
    std::lock_guard<std::mutex> lock(self->MixLock);
    uint32_t frames = static_cast<uint32_t>(len) / self->output_.BlockAlign;
    self->Mix.Mix(self->sources_.data(), self->sources_.size(), stream, frames);
  }

  TSdlAudioUse sdl_;
  std::string name_;
  std::atomic<SDL_AudioDeviceID> id_{0};
  std::atomic<bool> playing_{false};
  TWaveFormat output_;
  std::vector<TMixSource*> sources_;
};

TSdlSoundBuffer::TSdlSoundBuffer(std::shared_ptr<TSdlSoundDevice> device, const TSoundBufferDesc& desc)
    : TPcmSoundBuffer(desc), device_(std::move(device)) {
  if (primary_) return;
  source_.Format = *desc.Format;
  source_.Data = data_.data();
  source_.Bytes = desc.BufferBytes;
  device_->AddSource(&source_);
}

TSdlSoundBuffer::~TSdlSoundBuffer() {
  if (!primary_) device_->RemoveSource(&source_);
}

bool TSdlSoundBuffer::Lost() const { return device_->Lost(); }
void TSdlSoundBuffer::LockBytes() { device_->MixLock.lock(); }
void TSdlSoundBuffer::UnlockBytes() { device_->MixLock.unlock(); }

TDeviceResult TSdlSoundBuffer::GetCurrentPosition(uint32_t* playPosition) {
  std::lock_guard<std::mutex> lock(device_->MixLock);
  *playPosition = source_.Position;
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::SetCurrentPosition(uint32_t playPosition) {
  if (TDeviceResult result = CheckPosition(playPosition); result != DS_OK) return result;
  std::lock_guard<std::mutex> lock(device_->MixLock);
  source_.Position = playPosition - playPosition % source_.Format.BlockAlign;
  source_.Fraction = 0;
  return DS_OK;
}

void TSdlSoundBuffer::ApplyGains() { VolumePanToGains(volume_, pan_, &source_.GainLeft, &source_.GainRight); }

TDeviceResult TSdlSoundBuffer::SetVolume(int32_t volume) {
  if (TDeviceResult result = CheckVolume(volume); result != DS_OK) return result;
  if (primary_) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> lock(device_->MixLock);
  volume_ = volume;
  ApplyGains();
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::SetPan(int32_t pan) {
  if (TDeviceResult result = CheckPan(pan); result != DS_OK) return result;
  if (primary_) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> lock(device_->MixLock);
  pan_ = pan;
  ApplyGains();
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::Play(bool looping) {
  if (primary_) {
    device_->SetPlaying(true);
    return DS_OK;
  }
  std::lock_guard<std::mutex> lock(device_->MixLock);
  source_.Looping = looping;
  source_.Playing = true;
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::Stop() {
  if (primary_) {
    device_->SetPlaying(false);
    return DS_OK;
  }
  std::lock_guard<std::mutex> lock(device_->MixLock);
  source_.Playing = false;
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::GetFormat(TWaveFormat* format) {
  if (primary_) {
    *format = device_->OutputFormat();
  } else {
    std::lock_guard<std::mutex> lock(device_->MixLock);
    *format = source_.Format;
  }
  return DS_OK;
}

TDeviceResult TSdlSoundBuffer::SetFormat(const TWaveFormat& format) {
  if (TDeviceResult result = CheckOutputFormat(format); result != DS_OK) return result;
  TWaveFormat current = device_->OutputFormat();
  if (current.SamplesPerSec == format.SamplesPerSec && current.Channels == format.Channels &&
      current.BitsPerSample == format.BitsPerSample)
    return DS_OK;
  return device_->Reopen(format);
}

class TSdlSoundDriver : public TSoundDriver {
 public:
  TDeviceResult Enumerate(const std::function<bool(const std::string&, const std::string&)>& found) override {
    if (!found("Default output device", "")) return DS_OK;
    TSdlAudioUse sdl;
    if (!sdl.Ok) return DS_OK;
    int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
      const char* name = SDL_GetAudioDeviceName(i, 0);
      if (name == nullptr) continue;
      if (!found(name, name)) break;
    }
    return DS_OK;
  }

  TDeviceResult Create(const std::string& id, TSoundDeviceRef* device) override {
    auto made = std::make_shared<TSdlSoundDevice>(id);
    TWaveFormat standard;  // 44100 Hz, 16-bit stereo until the primary format is set
    if (!made->Open(standard)) return DSERR_NODRIVER;
    *device = std::move(made);
    return DS_OK;
  }
};

}  // namespace

TSoundDriverRef SdlSoundDriver() { return std::make_shared<TSdlSoundDriver>(); }

}  // namespace orr
