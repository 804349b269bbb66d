// SPDX-License-Identifier: GPL-3.0-or-later
// The null sound device: plays nothing, but keeps real buffers and moves their play
// positions by a clock, exactly as far as a device running at the buffer's rate would.
// Used when no output device opens, and by tests and benchmarks (with a manual clock).
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "audio/PcmSoundBuffer.h"
#include "audio/SoundDevice.h"

namespace orr {

class TNullSoundDevice;

class TNullSoundBuffer : public TPcmSoundBuffer {
 public:
  TNullSoundBuffer(std::shared_ptr<TNullSoundDevice> device, const TSoundBufferDesc& desc);
  ~TNullSoundBuffer() override;

  TDeviceResult GetCurrentPosition(uint32_t* playPosition) override;
  TDeviceResult SetCurrentPosition(uint32_t playPosition) override;
  TDeviceResult SetVolume(int32_t volume) override;
  TDeviceResult SetPan(int32_t pan) override;
  TDeviceResult Play(bool looping) override;
  TDeviceResult Stop() override;
  TDeviceResult GetFormat(TWaveFormat* format) override;
  TDeviceResult SetFormat(const TWaveFormat& format) override;

  // For tests: a copy of the buffer's bytes, and its settings.
  std::vector<uint8_t> Contents() const;
  int32_t Volume() const;
  int32_t Pan() const;
  bool Playing() const;

 protected:
  bool Lost() const override;
  void LockBytes() override { mutex_.lock(); }  // positions and contents change together
  void UnlockBytes() override { mutex_.unlock(); }

 private:
  uint32_t PositionNow();  // caller holds mutex_

  std::shared_ptr<TNullSoundDevice> device_;
  TWaveFormat format_;
  mutable std::mutex mutex_;
  bool playing_ = false;
  bool looping_ = false;
  uint32_t basePosition_ = 0;  // play position at startTime_
  uint64_t startTime_ = 0;     // clock reading when playing began or the position was set
  int32_t volume_ = 0;
  int32_t pan_ = 0;
};

class TNullSoundDevice : public TSoundDevice, public std::enable_shared_from_this<TNullSoundDevice> {
 public:
  explicit TNullSoundDevice(TMillisecondClock clock) : Clock(std::move(clock)) {}

  TDeviceResult SetCooperativeLevel(void* window, int level) override;
  TDeviceResult CreateSoundBuffer(const TSoundBufferDesc& desc, TSoundBufferRef* buffer) override;
  TDeviceResult SetSpeakerConfig(uint32_t config) override;
  std::string Description() const override { return "null device"; }

  // From now on every Lock fails with DSERR_BUFFERLOST, as when another program takes the
  // device away.
  void LoseBuffers() { buffersLost_ = true; }
  bool BuffersLost() const { return buffersLost_; }
  uint32_t SpeakerConfig() const { return speakerConfig_; }
  int CooperativeLevel() const { return level_; }
  // The secondary buffers alive now, oldest first.
  std::vector<TNullSoundBuffer*> Buffers() const;

  const TMillisecondClock Clock;

 private:
  friend class TNullSoundBuffer;
  std::atomic<bool> buffersLost_{false};
  std::atomic<uint32_t> speakerConfig_{0};
  std::atomic<int> level_{0};
  mutable std::mutex buffersMutex_;
  std::vector<TNullSoundBuffer*> buffers_;
};

class TNullSoundDriver : public TSoundDriver {
 public:
  explicit TNullSoundDriver(TMillisecondClock clock = SystemMilliseconds) : clock_(std::move(clock)) {}
  TDeviceResult Enumerate(const std::function<bool(const std::string&, const std::string&)>& found) override;
  TDeviceResult Create(const std::string& id, TSoundDeviceRef* device) override;
  // The device the last Create made (tests look into it).
  std::shared_ptr<TNullSoundDevice> LastDevice() const;
  int DevicesCreated() const { return created_; }

 private:
  TMillisecondClock clock_;
  mutable std::mutex mutex_;
  std::weak_ptr<TNullSoundDevice> last_;
  std::atomic<int> created_{0};
};

}  // namespace orr
