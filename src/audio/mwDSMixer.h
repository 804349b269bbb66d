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

// One record of which stream times went into which bytes of a sound buffer.
struct TPositionTime {
  uint32_t StartOffset = 0;
  uint32_t EndOffset = 0;
  int64_t StartTime = 0;  // 100 ns
  int64_t EndTime = 0;
};

// A ring of the last 50 records.
class TPositionTimes {
 public:
  static constexpr int Count = 50;
  // Raises std::logic_error for endTime < startTime or startOffset >= endOffset.
  void Record(uint32_t startOffset, uint32_t endOffset, int64_t startTime, int64_t endTime);
  const TPositionTime& Entry(int index) const { return entries_.at(index); }
  int NextIndex() const { return next_; }

 private:
  std::array<TPositionTime, Count> entries_{};
  int next_ = 0;
};

// Wakes every update period while active and runs the channel's tick under the mutex.
class TmwUpdateChannelThread : public TThread {
 public:
  TmwUpdateChannelThread(TmwDSMixerChannel* channel, const std::string& mutexName);
  // Marks terminated, signals, waits for the end, closes the handles.
  ~TmwUpdateChannelThread() override;

  // Sets the flag and signals the event.
  void Activate();
  // Only clears the flag.
  void Deactivate() { active_ = false; }
  bool Active() const { return active_; }
  void Shutdown();

  std::atomic<uint32_t> UpdatePeriod{400};  // milliseconds
  static constexpr int MutexWaitMs = 250;

 protected:
  void Execute() override;

 private:
  // Auto-reset event: true when signalled, false on time-out (negative: no time-out).
  bool WaitEvent(int timeoutMs);
  void SignalEvent();

  TmwDSMixerChannel* channel_;
  TNamedMutexHandle mutex_;
  std::atomic<bool> active_{false};
  std::mutex eventMutex_;
  std::condition_variable eventChanged_;
  bool signalled_ = false;
};

class TmwDSMixerChannel {
 public:
  using TChannelEvent = std::function<void(TmwDSMixerChannel* sender)>;

  // Registers with `mixer`; the mixer frees channels still registered when it goes.
  explicit TmwDSMixerChannel(TmwDSMixer* mixer);
  ~TmwDSMixerChannel();
  TmwDSMixerChannel(const TmwDSMixerChannel&) = delete;
  TmwDSMixerChannel& operator=(const TmwDSMixerChannel&) = delete;

  // Control calls: each waits up to 250 ms for the update mutex and does nothing on
  // time-out. Volume in hundredths of a decibel (0 full, -10000 silent), pan -10000..10000.
  void SetVolume(int32_t value);
  void SetPan(int32_t value);
  // Stops playback and rewinds to the start of the file; nothing without a sound buffer.
  void Stop();
  // Stops and drops the sound buffer and the staging mirror.
  void ReleaseBuffer();
  // ReleaseBuffer, then drops the reader and resets volume, pan, looping and file name.
  void CloseReader();

  // Playing: open a file (or bind a reader), set looping, volume, pan, then Play.
  // Opening closes the previous reader and so resets the settings. Raises EAudioReadError.
  void OpenFile(const std::string& fileName);
  void SetReader(std::unique_ptr<TAudioFileReader> reader, const std::string& fileName = "");
  // First refill, the buffer playing (looped: the end of the data is detected by the
  // refills), playing state 1, thread active. Nothing when already playing. Raises
  // "No file opened" without a reader, EDirectXError / EAudioReadError on failures.
  void Play();
  // Moves the volume from `startVolume` to `targetVolume` over `durationMs`, in steps at
  // each refill tick; OnFadeEnd fires when it arrives.
  void StartFade(int32_t startVolume, int32_t targetVolume, uint32_t durationMs);
  void SetLooping(bool value);
  // In silence mode refills queue silence instead of reading the file.
  void SetSilenceMode(bool value);

  // The refill machinery, run by the update thread (each takes the mutex, re-entrantly).
  void UpdateTick();
  void EnsureBuffer();
  void Refill();
  void FillFromReader(uint32_t offset, uint32_t length);
  void FillSilence(uint32_t offset, uint32_t length);

  TChannelEvent OnPlayEnd;
  TChannelEvent OnBufferLost;
  TChannelEvent OnFadeEnd;

  // State, read under the mutex (tests, tools).
  int PlayingState() const;
  bool Looping() const;
  int32_t Volume() const;
  int32_t Pan() const;
  bool Fading() const;
  bool Primed() const;
  bool NearEnd() const;
  bool SilenceMode() const;
  int64_t EndMark() const;
  uint32_t WritePosition() const;
  uint32_t BufferBytes() const;
  uint32_t NearEndDistance() const;
  uint32_t SilenceChunk() const;
  std::vector<uint8_t> Staging() const;
  TPositionTimes PositionTimesCopy() const;
  std::string FileName() const;
  bool HasSoundBuffer() const;
  bool HasReader() const;
  // The reader the channel streams from (owned by the channel), or none.
  TAudioFileReader* AudioFileReader() const;
  // Message of the failure that stopped the last tick ("" when none).
  std::string LastError() const;
  TSoundBufferRef SoundBuffer() const;

  uint32_t BufferLength() const { return bufferLength_; }  // milliseconds
  const std::string& MutexName() const { return mutexName_; }
  TmwUpdateChannelThread* UpdateThread() const { return thread_.get(); }
  TmwDSMixer* Mixer() const { return mixer_; }

 private:
  friend class TmwUpdateChannelThread;
  // The hidden message window: lives on while posted messages may still reach it.
  struct TMessageWindow {
    TmwDSMixerChannel* Channel;  // none once the channel is gone; main thread only
  };

  bool TryLockUpdate();  // 250 ms
  void ResetStreamState();
  void ResetSettings();
  void PostChannelMessage(int message);
  void WindowProc(int message);
  void TickFailed(const std::string& message);
  uint32_t PlayPosition();
  int64_t DistanceToEnd(uint32_t playPosition) const;
  void NoteEndAhead(uint32_t playPosition);
  // Locks [offset, offset + length) and copies the staging bytes there; false when the
  // buffer was lost (the channel then released it and reported OnBufferLost).
  bool CopyToBuffer(uint32_t offset, uint32_t length);
  void BufferLost();
  uint8_t SilenceByte() const;

  TmwDSMixer* mixer_;
  std::unique_ptr<TAudioFileReader> reader_;
  TSoundBufferRef soundBuffer_;
  TPositionTimes positionTimes_;
  std::shared_ptr<TMessageWindow> window_;
  TNamedMutexHandle mutex_;
  std::string mutexName_;
  std::unique_ptr<TmwUpdateChannelThread> thread_;

  // geometry
  uint32_t bufferLength_ = 4000;
  uint32_t bufferBytes_ = 0;
  uint32_t nearEndDistance_ = 0;
  uint32_t silenceChunk_ = 0;
  std::vector<uint8_t> staging_;

  // stream state
  uint32_t writePosition_ = 0;
  bool primed_ = false;
  int64_t endMark_ = -1;
  bool nearEnd_ = false;
  bool silenceMode_ = false;
  int playing_ = 0;
  uint64_t lastRefill_ = 0;

  // settings
  bool looping_ = false;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  std::string fileName_;

  // fade
  bool fading_ = false;
  uint64_t fadeStart_ = 0;
  uint64_t fadeEnd_ = 0;
  int32_t fadeStartVolume_ = 0;
  int32_t fadeTargetVolume_ = 0;

  std::string lastError_;
};

}  // namespace orr
