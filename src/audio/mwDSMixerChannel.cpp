// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer's channels: each streams one file into a sound buffer of its own, which its
// update thread refills (see mwDSMixer.h).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "audio/mwDSMixer.h"
#include "platform/Application.h"

namespace orr {

namespace {

constexpr uint32_t SecondaryBufferFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                          DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;

using TUpdateLock = std::unique_lock<TRecursiveTimedMutex>;

}  // namespace

// ---------------------------------------------------------------------------------------
// TPositionTimes

void TPositionTimes::Record(uint32_t startOffset, uint32_t endOffset, int64_t startTime, int64_t endTime) {
  if (endTime < startTime) throw std::logic_error("Internal Error: Time Start higher then Time End");
  if (startOffset >= endOffset)
    throw std::logic_error("Internal Error: Position Start not inferior to Position End");
  entries_[next_] = {startOffset, endOffset, startTime, endTime};
  next_ = (next_ + 1) % Count;
}

// ---------------------------------------------------------------------------------------
// TmwUpdateChannelThread

#ifdef ORR_NO_THREADS

namespace {
std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}
}  // namespace

TmwUpdateChannelThread::TmwUpdateChannelThread(TmwDSMixerChannel* channel, const std::string& mutexName)
    : channel_(channel), mutex_(OpenNamedMutex(mutexName)) {}

TmwUpdateChannelThread::~TmwUpdateChannelThread() { Shutdown(); }

void TmwUpdateChannelThread::Start() {
  if (taskId_ != 0 || Application == nullptr) return;
  taskId_ = Application->AddFrameTask([this](std::uint64_t nowMs) { RunTask(nowMs); });
}

void TmwUpdateChannelThread::Shutdown() {
  active_ = false;
  if (taskId_ != 0 && Application != nullptr) Application->RemoveFrameTask(taskId_);
  taskId_ = 0;
  mutex_.reset();
}

void TmwUpdateChannelThread::Activate() {
  active_ = true;
  const std::uint64_t now = SteadyMs();
  schedule_.Restart(now);
  schedule_.Resume(now);
}

void TmwUpdateChannelThread::RunTask(std::uint64_t nowMs) {
  if (!active_ || !schedule_.Due(nowMs, static_cast<int>(UpdatePeriod.load()))) return;
  if (!mutex_ || !mutex_->try_lock()) return;
  try {
    channel_->UpdateTick();
  } catch (const std::exception& e) {
    channel_->TickFailed(e.what());
  } catch (...) {
    channel_->TickFailed("Unknown failure");
  }
  mutex_->unlock();
}

#else

TmwUpdateChannelThread::TmwUpdateChannelThread(TmwDSMixerChannel* channel, const std::string& mutexName)
    : channel_(channel), mutex_(OpenNamedMutex(mutexName)) {}

TmwUpdateChannelThread::~TmwUpdateChannelThread() { Shutdown(); }

void TmwUpdateChannelThread::Shutdown() {
  Terminate();
  SignalEvent();
  WaitFor();
  mutex_.reset();
}

void TmwUpdateChannelThread::Activate() {
  active_ = true;
  SignalEvent();
}

void TmwUpdateChannelThread::SignalEvent() {
  {
    std::lock_guard<std::mutex> lock(eventMutex_);
    signalled_ = true;
  }
  eventChanged_.notify_all();
}

bool TmwUpdateChannelThread::WaitEvent(int timeoutMs) {
  std::unique_lock<std::mutex> lock(eventMutex_);
  if (timeoutMs < 0) {
    eventChanged_.wait(lock, [this] { return signalled_; });
  } else if (!eventChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [this] { return signalled_; })) {
    return false;
  }
  signalled_ = false;
  return true;
}

void TmwUpdateChannelThread::Execute() {
  while (!Terminated()) {
    if (!active_) {
      WaitEvent(-1);
      continue;
    }
    if (WaitEvent(static_cast<int>(UpdatePeriod.load()))) continue;
    if (!mutex_ || !mutex_->try_lock_for(std::chrono::milliseconds(MutexWaitMs))) continue;
    try {
      if (active_ && !Terminated()) channel_->UpdateTick();
    } catch (const std::exception& e) {
      channel_->TickFailed(e.what());
    } catch (...) {
      channel_->TickFailed("Unknown failure");
    }
    mutex_->unlock();
  }
}

#endif

// ---------------------------------------------------------------------------------------
// TmwDSMixerChannel

TmwDSMixerChannel::TmwDSMixerChannel(TmwDSMixer* mixer) : mixer_(mixer) {
  ResetStreamState();
  ResetSettings();
  window_ = std::make_shared<TMessageWindow>(TMessageWindow{this});
  // Creating a name that exists opens it, so every channel ends up on number 0.
  for (int number = 0; !mutex_; ++number) {
    mutexName_ = "mwDSMCUpd" + std::to_string(number);
    mutex_ = CreateNamedMutex(mutexName_);
  }
  thread_ = std::make_unique<TmwUpdateChannelThread>(this, mutexName_);
  thread_->Start();
  thread_->Deactivate();
  bufferLength_ = 4000;
  thread_->UpdatePeriod = bufferLength_ / 10;
  mixer_->RegisterChannel(this);
}

TmwDSMixerChannel::~TmwDSMixerChannel() {
  // Messages still on their way find no channel: joining the thread below serves the main
  // thread's hand-overs, and none of them may reach a channel being destroyed.
  window_->Channel = nullptr;
  mixer_->UnregisterChannel(this);
  thread_->Deactivate();
  // The thread ends before the buffers go, so no tick can be running while they are freed.
  thread_->Shutdown();
  try {
    ReleaseBuffer();
    CloseReader();
  } catch (...) {
    // Freeing goes on whatever the device says.
  }
  thread_.reset();
  mutex_.reset();
}

bool TmwDSMixerChannel::TryLockUpdate() {
  return mutex_->try_lock_for(std::chrono::milliseconds(TmwUpdateChannelThread::MutexWaitMs));
}

void TmwDSMixerChannel::ResetStreamState() {
  staging_.clear();
  staging_.shrink_to_fit();
  nearEndDistance_ = 0;
  silenceChunk_ = 0;
  writePosition_ = 0;
  playing_ = 0;
  primed_ = false;
  endMark_ = -1;
  nearEnd_ = false;
  silenceMode_ = false;
}

void TmwDSMixerChannel::ResetSettings() {
  volume_ = 0;
  pan_ = 0;
  looping_ = false;
  fileName_.clear();
}

void TmwDSMixerChannel::SetVolume(int32_t value) {
  if (!TryLockUpdate()) return;
  TUpdateLock lock(*mutex_, std::adopt_lock);
  volume_ = value;
  if (soundBuffer_) CheckDeviceResult(soundBuffer_->SetVolume(value));
}

void TmwDSMixerChannel::SetPan(int32_t value) {
  if (!TryLockUpdate()) return;
  TUpdateLock lock(*mutex_, std::adopt_lock);
  pan_ = value;
  if (soundBuffer_) CheckDeviceResult(soundBuffer_->SetPan(value));
}

void TmwDSMixerChannel::Stop() {
  if (!TryLockUpdate()) return;
  TUpdateLock lock(*mutex_, std::adopt_lock);
  if (!soundBuffer_) return;
  thread_->Deactivate();
  CheckDeviceResult(soundBuffer_->Stop());
  playing_ = 0;
  fading_ = false;
  CheckDeviceResult(soundBuffer_->SetCurrentPosition(0));
  writePosition_ = 0;
  if (reader_) SeekTo(*reader_, 0);
  primed_ = false;
  endMark_ = -1;
  nearEnd_ = false;
}

void TmwDSMixerChannel::ReleaseBuffer() {
  // Frees what a tick works on, so it waits for the mutex as long as it takes.
  TUpdateLock lock(*mutex_);
  if (soundBuffer_) {
    try {
      Stop();
    } catch (...) {
      // A buffer that cannot stop is released all the same.
    }
    soundBuffer_.reset();
  }
  ResetStreamState();
}

void TmwDSMixerChannel::CloseReader() {
  TUpdateLock lock(*mutex_);
  ReleaseBuffer();
  reader_.reset();
  ResetSettings();
}

void TmwDSMixerChannel::OpenFile(const std::string& fileName) {
  auto reader = OpenAudioFileReader(fileName);
  SetReader(std::move(reader), fileName);
}

void TmwDSMixerChannel::SetReader(std::unique_ptr<TAudioFileReader> reader, const std::string& fileName) {
  TUpdateLock lock(*mutex_);
  CloseReader();
  reader_ = std::move(reader);
  fileName_ = fileName;
}

void TmwDSMixerChannel::Play() {
  TUpdateLock lock(*mutex_);
  if (!reader_) throw std::runtime_error("No file opened");
  if (playing_ == 1) return;
  lastError_.clear();
  Refill();
  if (!soundBuffer_) return;  // lost while priming; OnBufferLost has been reported
  CheckDeviceResult(soundBuffer_->Play(true));
  playing_ = 1;
  lastRefill_ = mixer_->Clock();
  thread_->Activate();
}

void TmwDSMixerChannel::StartFade(int32_t startVolume, int32_t targetVolume, uint32_t durationMs) {
  if (!TryLockUpdate()) return;
  TUpdateLock lock(*mutex_, std::adopt_lock);
  fadeStartVolume_ = startVolume;
  fadeTargetVolume_ = targetVolume;
  fadeStart_ = mixer_->Clock();
  fadeEnd_ = fadeStart_ + durationMs;
  fading_ = true;
  SetVolume(startVolume);
}

void TmwDSMixerChannel::SetLooping(bool value) {
  TUpdateLock lock(*mutex_);
  looping_ = value;
}

void TmwDSMixerChannel::SetSilenceMode(bool value) {
  TUpdateLock lock(*mutex_);
  silenceMode_ = value;
}

uint32_t TmwDSMixerChannel::PlayPosition() {
  uint32_t position = 0;
  CheckDeviceResult(soundBuffer_->GetCurrentPosition(&position));
  return position;
}

int64_t TmwDSMixerChannel::DistanceToEnd(uint32_t playPosition) const {
  int64_t distance = endMark_ - static_cast<int64_t>(playPosition);
  if (distance <= 0) distance += bufferBytes_;
  return distance;
}

void TmwDSMixerChannel::UpdateTick() {
  TUpdateLock lock(*mutex_);
  if (nearEnd_ && soundBuffer_) {
    if (DistanceToEnd(PlayPosition()) > nearEndDistance_) {
      // The play position has passed the end of the data.
      Stop();
      PostChannelMessage(WM_MWDSM_PLAYEND);
      return;
    }
  }
  const uint64_t now = mixer_->Clock();
  if (now - lastRefill_ >= thread_->UpdatePeriod) {
    lastRefill_ = now;
    if (endMark_ >= 0 && soundBuffer_ && DistanceToEnd(PlayPosition()) <= nearEndDistance_) nearEnd_ = true;
    Refill();
  }
  if (fading_ && playing_ == 1 && soundBuffer_) {
    if (now < fadeEnd_) {
      int64_t span = static_cast<int64_t>(fadeEnd_ - fadeStart_);
      int64_t done = static_cast<int64_t>(now - fadeStart_);
      SetVolume(static_cast<int32_t>(
          fadeStartVolume_ + (static_cast<int64_t>(fadeTargetVolume_) - fadeStartVolume_) * done / span));
    } else {
      fading_ = false;
      SetVolume(fadeTargetVolume_);
      PostChannelMessage(WM_MWDSM_FADEEND);
    }
  }
}

void TmwDSMixerChannel::EnsureBuffer() {
  TUpdateLock lock(*mutex_);
  if (soundBuffer_) return;
  if (!reader_) throw std::runtime_error("No file opened");
  const TWaveFormat& format = reader_->WaveFormat;
  const uint64_t rate = format.AvgBytesPerSec;
  const uint32_t period = thread_->UpdatePeriod;
  bufferBytes_ = static_cast<uint32_t>(rate * bufferLength_ / 1000);
  nearEndDistance_ = static_cast<uint32_t>(static_cast<uint64_t>(bufferBytes_) * 40 / 100);
  silenceChunk_ = static_cast<uint32_t>(rate * period * 2 / 1000);
  // Whole frames only, so that silence never shifts the channels of later data.
  if (format.BlockAlign > 0) silenceChunk_ -= silenceChunk_ % format.BlockAlign;
  TSoundDeviceRef device = mixer_->GetDevice();
  if (!device) CheckDeviceResult(DSERR_NODRIVER);  // the mixer is disabled
  TSoundBufferDesc desc;
  desc.Size = 36;
  desc.Flags = SecondaryBufferFlags;
  desc.BufferBytes = bufferBytes_;
  desc.Format = &format;
  TSoundBufferRef buffer;
  CheckDeviceResult(device->CreateSoundBuffer(desc, &buffer));
  staging_.assign(bufferBytes_, SilenceByte());
  soundBuffer_ = std::move(buffer);
  SetVolume(volume_);
  SetPan(pan_);
}

void TmwDSMixerChannel::Refill() {
  TUpdateLock lock(*mutex_);
  EnsureBuffer();
  if (!primed_) {
    FillFromReader(0, bufferBytes_);
    if (!soundBuffer_) return;
    primed_ = true;
    // The buffer plays from 0 now, so an end mark at 0 (no data at all) lies right here,
    // not a whole buffer ahead as the ring distance would have it.
    if (endMark_ >= 0 && endMark_ <= nearEndDistance_) nearEnd_ = true;
    return;
  }
  const uint32_t p = PlayPosition();
  uint32_t w = writePosition_;
  if (!silenceMode_) {
    if (p < w) {
      FillFromReader(w, bufferBytes_ - w);
      if (!soundBuffer_) return;
      w = 0;
    }
    FillFromReader(w, p - w);
    if (!soundBuffer_) return;
    writePosition_ = p;
    NoteEndAhead(p);
    return;
  }
  int64_t queued = static_cast<int64_t>(w) - p;
  if (queued <= 0) queued += bufferBytes_;
  if (queued >= silenceChunk_ || silenceChunk_ == 0) return;
  uint32_t first = std::min(silenceChunk_, bufferBytes_ - w);
  FillSilence(w, first);
  if (!soundBuffer_) return;
  if (first < silenceChunk_) FillSilence(0, silenceChunk_ - first);
  if (!soundBuffer_) return;
  writePosition_ = static_cast<uint32_t>((static_cast<uint64_t>(w) + silenceChunk_) % bufferBytes_);
}

void TmwDSMixerChannel::NoteEndAhead(uint32_t playPosition) {
  // Ticks see the end coming only while it is at most the near-end distance ahead; an end
  // written closer than one update period ahead would otherwise be missed until the
  // buffer had gone round once more, ending a short sound about 4 s late.
  if (endMark_ >= 0 && !nearEnd_ && DistanceToEnd(playPosition) <= nearEndDistance_) nearEnd_ = true;
}

void TmwDSMixerChannel::FillFromReader(uint32_t offset, uint32_t length) {
  TUpdateLock lock(*mutex_);
  if (length == 0 || !soundBuffer_) return;
  const uint32_t spanOffset = offset;
  const uint32_t spanLength = length;
  bool rewoundEmpty = false;  // the last pass rewound without reading anything
  while (length > 0) {
    if (endMark_ < 0) {
      uint32_t n = ReadBlock(*reader_, staging_.data() + offset, length);
      n = std::min(n, length);
      if (n > 0) {
        positionTimes_.Record(offset, offset + n, reader_->SampleStart, reader_->SampleEnd);
        length -= n;
      }
      if (length > 0) {
        // A short read is the end of the data. A looping file that gives nothing even
        // right after a rewind has no data at all: it ends like a one-shot file.
        if (!looping_ || (n == 0 && rewoundEmpty)) endMark_ = offset + n;
        rewoundEmpty = n == 0;
        SeekTo(*reader_, 0);
      }
      offset += n;
    } else {
      std::memset(staging_.data() + offset, SilenceByte(), length);
      positionTimes_.Record(offset, offset + length, reader_->SampleEnd, reader_->SampleEnd);
      break;
    }
  }
  CopyToBuffer(spanOffset, spanLength);
}

void TmwDSMixerChannel::FillSilence(uint32_t offset, uint32_t length) {
  TUpdateLock lock(*mutex_);
  if (length == 0 || !soundBuffer_) return;
  std::memset(staging_.data() + offset, SilenceByte(), length);
  if (!CopyToBuffer(offset, length)) return;
  int64_t time = reader_ ? reader_->SampleEnd : 0;
  positionTimes_.Record(offset, offset + length, time, time);
}

bool TmwDSMixerChannel::CopyToBuffer(uint32_t offset, uint32_t length) {
  uint8_t* region = nullptr;
  uint32_t regionBytes = 0;
  TDeviceResult locked = soundBuffer_->Lock(offset, length, &region, &regionBytes);
  if (locked == DSERR_BUFFERLOST) {
    BufferLost();
    return false;
  }
  CheckDeviceResult(locked);
  std::memcpy(region, staging_.data() + offset, std::min(regionBytes, length));
  CheckDeviceResult(soundBuffer_->Unlock(region, regionBytes));
  return true;
}

void TmwDSMixerChannel::BufferLost() {
  thread_->Deactivate();
  ReleaseBuffer();
  if (OnBufferLost) OnBufferLost(this);
}

uint8_t TmwDSMixerChannel::SilenceByte() const {
  return reader_ && reader_->WaveFormat.BitsPerSample == 8 ? 128 : 0;
}

void TmwDSMixerChannel::TickFailed(const std::string& message) {
  // A tick that fails would leave the buffer looping its last 4 s for ever: the channel
  // stops instead, and the thread stays ready for the next Play.
  TUpdateLock lock(*mutex_);
  lastError_ = message;
  thread_->Deactivate();
  try {
    Stop();
  } catch (...) {
    playing_ = 0;
  }
}

void TmwDSMixerChannel::PostChannelMessage(int message) {
  if (Application == nullptr) return;  // no main loop to deliver to
  std::shared_ptr<TMessageWindow> window = window_;
  Application->Queue([window, message] {
    if (window->Channel != nullptr) window->Channel->WindowProc(message);
  });
}

void TmwDSMixerChannel::WindowProc(int message) {
  if (message == WM_MWDSM_PLAYEND) {
    if (OnPlayEnd) OnPlayEnd(this);
  } else if (message == WM_MWDSM_FADEEND) {
    if (OnFadeEnd) OnFadeEnd(this);
  }
}

int TmwDSMixerChannel::PlayingState() const {
  return ReadLocked(*mutex_, [&] { return playing_; });
}
bool TmwDSMixerChannel::Looping() const {
  return ReadLocked(*mutex_, [&] { return looping_; });
}
int32_t TmwDSMixerChannel::Volume() const {
  return ReadLocked(*mutex_, [&] { return volume_; });
}
int32_t TmwDSMixerChannel::Pan() const {
  return ReadLocked(*mutex_, [&] { return pan_; });
}
bool TmwDSMixerChannel::Fading() const {
  return ReadLocked(*mutex_, [&] { return fading_; });
}
bool TmwDSMixerChannel::Primed() const {
  return ReadLocked(*mutex_, [&] { return primed_; });
}
bool TmwDSMixerChannel::NearEnd() const {
  return ReadLocked(*mutex_, [&] { return nearEnd_; });
}
bool TmwDSMixerChannel::SilenceMode() const {
  return ReadLocked(*mutex_, [&] { return silenceMode_; });
}
int64_t TmwDSMixerChannel::EndMark() const {
  return ReadLocked(*mutex_, [&] { return endMark_; });
}
uint32_t TmwDSMixerChannel::WritePosition() const {
  return ReadLocked(*mutex_, [&] { return writePosition_; });
}
uint32_t TmwDSMixerChannel::BufferBytes() const {
  return ReadLocked(*mutex_, [&] { return bufferBytes_; });
}
uint32_t TmwDSMixerChannel::NearEndDistance() const {
  return ReadLocked(*mutex_, [&] { return nearEndDistance_; });
}
uint32_t TmwDSMixerChannel::SilenceChunk() const {
  return ReadLocked(*mutex_, [&] { return silenceChunk_; });
}
std::vector<uint8_t> TmwDSMixerChannel::Staging() const {
  return ReadLocked(*mutex_, [&] { return staging_; });
}
TPositionTimes TmwDSMixerChannel::PositionTimesCopy() const {
  return ReadLocked(*mutex_, [&] { return positionTimes_; });
}
std::string TmwDSMixerChannel::FileName() const {
  return ReadLocked(*mutex_, [&] { return fileName_; });
}
bool TmwDSMixerChannel::HasSoundBuffer() const {
  return ReadLocked(*mutex_, [&] { return soundBuffer_ != nullptr; });
}
bool TmwDSMixerChannel::HasReader() const {
  return ReadLocked(*mutex_, [&] { return reader_ != nullptr; });
}
TAudioFileReader* TmwDSMixerChannel::AudioFileReader() const {
  return ReadLocked(*mutex_, [&] { return reader_.get(); });
}
std::string TmwDSMixerChannel::LastError() const {
  return ReadLocked(*mutex_, [&] { return lastError_; });
}
TSoundBufferRef TmwDSMixerChannel::SoundBuffer() const {
  return ReadLocked(*mutex_, [&] { return soundBuffer_; });
}

}  // namespace orr
