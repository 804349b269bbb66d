// SPDX-License-Identifier: GPL-3.0-or-later
// The thread that refills one mixer channel's sound buffer every update period.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/NamedMutex.h"
#include "platform/Threads.h"

namespace orr {

class TmwDSMixerChannel;

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

}  // namespace orr
