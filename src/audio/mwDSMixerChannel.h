// SPDX-License-Identifier: GPL-3.0-or-later
// One channel of the streaming mixer: an audio file streamed into a sound buffer of its own
// (mwDSMixer.h tells the whole story).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/PositionTimes.h"
#include "audio/SoundDevice.h"
#include "audio/mwAudioFileRead.h"
#include "audio/mwUpdateChannelThread.h"
#include "platform/NamedMutex.h"

namespace orr {

class TmwDSMixer;

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
