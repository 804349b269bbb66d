// SPDX-License-Identifier: GPL-3.0-or-later
// The streaming software mixer. TmwDSMixer owns the output device (opened on first need)
// and the list of channels; every TmwDSMixerChannel streams one audio file through an
// TAudioFileReader into a sound buffer of its own holding 4 s of audio, which its
// TmwUpdateChannelThread refills every 400 ms with what has been played since.
//
//   sound buffer (4 s ring)     play position p              write position w
//   |==== played, refill ====== p ------- queued audio ------ w ==== played =====|
//
// Refills first assemble the data in a staging mirror of the buffer, then lock the device
// buffer once per span for a single copy. All channels serialise refills and control calls
// on one named update mutex ("mwDSMCUpd0"); waits for it are bounded by 250 ms.
//
// End of play (message 1025) and end of fade (1026) are handed to the main thread through
// Application->Queue and fire OnPlayEnd / OnFadeEnd there; OnBufferLost fires on the thread
// that found the buffer lost.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/SoundDevice.h"
#include "audio/mwDSMixerChannel.h"
#include "audio/mwAudioFileRead.h"
#include "platform/Classes.h"
#include "platform/NamedMutex.h"
#include "platform/Threads.h"

namespace orr {

// What `read` returns, read while `mutex` is held: the one way the mixer's and the
// channels' getters read what their update threads write.
template <class TMutex, class TRead>
auto ReadLocked(TMutex& mutex, TRead read) {
  std::lock_guard<TMutex> lock(mutex);
  return read();
}

enum TBitsPerSample { bs8Bit, bs16Bit };
enum TCooperativeLevel { lNormal, lPriority, lExclusive };

// Window messages of a channel.
constexpr int WM_MWDSM_PLAYEND = 1025;
constexpr int WM_MWDSM_FADEEND = 1026;

class TmwDSMixerChannel;

// The unit's device list, filled on first use from the default driver: descriptions and
// id texts in parallel; entry 0 is the default device with the id "".
const std::vector<std::string>& SoundDeviceDescriptions();
const std::vector<std::string>& SoundDeviceGuids();

class TmwDSMixer : public TComponent {
 public:
  explicit TmwDSMixer(TComponent* owner);
  // Closes the device, then frees every channel still registered.
  ~TmwDSMixer() override;

  // Published properties: sample width, channel count and rate asked of the device when
  // it opens (unless Level is lNormal), cooperative level and speaker configuration.
  TBitsPerSample BitsPerSample() const;
  void SetBitsPerSample(TBitsPerSample value);
  bool Stereo() const;
  void SetStereo(bool value);
  int Frequency() const;
  void SetFrequency(int value);  // clamped to 100 .. 100000
  TCooperativeLevel Level() const;
  void SetLevel(TCooperativeLevel value);
  uint32_t SpeakerConfig() const;
  void SetSpeakerConfig(uint32_t value);  // applied at once when the device is open

  bool Enabled = true;
  int DeviceIndex = 0;  // into SoundDeviceGuids(); outside the list means the default device
  void* OwnerWindow = nullptr;
  // Where devices come from: SDL with the null device as fallback unless replaced (tests).
  TSoundDriverRef Driver;
  // Tick count in milliseconds for refills and fades; set before any channel plays.
  TMillisecondClock Clock = SystemMilliseconds;

  // Opens the device unless disabled or already open; raises EDirectXError on failure.
  void OpenDevice();
  // OpenDevice, then the device.
  TSoundDeviceRef GetDevice();
  // Releases every channel's sound buffer, the primary buffer and the device.
  void CloseDevice();
  bool DeviceOpen() const;
  // The primary buffer while the device is open (tests).
  TSoundBufferRef PrimaryBuffer() const;

  void RegisterChannel(TmwDSMixerChannel* channel);
  void UnregisterChannel(TmwDSMixerChannel* channel);
  const std::vector<TmwDSMixerChannel*>& Channels() const { return channels_; }

 protected:
  // Called right after the device is created and right after it is released.
  virtual void DeviceNotification() {}

 private:
  mutable std::recursive_mutex deviceMutex_;  // device, primary buffer and the properties
  TBitsPerSample bitsPerSample_ = bs16Bit;
  bool stereo_ = true;
  int frequency_ = 44100;
  TCooperativeLevel level_ = lPriority;
  uint32_t speakerConfig_ = 4;
  TSoundDeviceRef device_;
  TSoundBufferRef primary_;
  std::vector<TmwDSMixerChannel*> channels_;  // main thread only
};

}  // namespace orr
