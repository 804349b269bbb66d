// SPDX-License-Identifier: GPL-3.0-or-later
// The thread that refills one mixer channel's sound buffer every update period.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/NamedMutex.h"
#include "platform/ThreadedTimer.h"
#include "platform/Threads.h"

namespace orr {

class TmwDSMixerChannel;

#ifdef ORR_NO_THREADS

// Without threads (the page) the refill is a frame task of the application with the same
// rules: a full period after each activation and after each tick, nothing while inactive,
// the tick under the channel's mutex.
class TmwUpdateChannelThread {
 public:
  TmwUpdateChannelThread(TmwDSMixerChannel* channel, const std::string& mutexName);
  ~TmwUpdateChannelThread();

  // Registers the frame task; once only.
  void Start();
  void Activate();
  void Deactivate() { active_ = false; }
  bool Active() const { return active_; }
  void Shutdown();

  std::atomic<uint32_t> UpdatePeriod{400};  // milliseconds
  static constexpr int MutexWaitMs = 250;

 private:
  void RunTask(std::uint64_t nowMs);
  TmwDSMixerChannel* channel_;
  TNamedMutexHandle mutex_;
  std::atomic<bool> active_{false};
  TTimerSchedule schedule_;
  int taskId_ = 0;
};

#else

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

#endif

}  // namespace orr
