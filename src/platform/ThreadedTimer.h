// SPDX-License-Identifier: GPL-3.0-or-later
// A timer whose period is measured on a worker thread of its own; the tick is handed to
// the main thread and runs there. Ticks never overlap and never queue up: the worker
// blocks until the main thread has run the tick, then starts a new full period.
#pragma once

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Classes.h"
#include "platform/Threads.h"

namespace orr {

class TThreadedTimer;

// When a timer without a thread of its own ticks (the page has no threads: its timers are
// frame tasks). The same rules as the worker's: a period starts in full when the timer is
// (re)enabled or woken and after each tick; time spent suspended does not count; a
// negative period never runs out. Times are milliseconds of a steady clock.
class TTimerSchedule {
 public:
  // Starts a new full period at `nowMs` (enable, wake-up).
  void Restart(std::uint64_t nowMs);
  void Suspend(std::uint64_t nowMs);
  void Resume(std::uint64_t nowMs);
  bool Suspended() const { return suspended_; }
  // True once when the period has run out; the next period starts at `nowMs`.
  bool Due(std::uint64_t nowMs, int intervalMs);

 private:
  std::uint64_t start_ = 0;
  std::uint64_t suspendedAt_ = 0;
  bool suspended_ = true;
};

class TTimerThread : public TThread {
 public:
  explicit TTimerThread(TThreadedTimer* owner);

  TThreadedTimer* Owner;
  std::atomic<int> Interval{1000};  // milliseconds; read at the start of every wait

  // The wake-up event: auto-reset, initially unsignalled.
  void SignalWakeUp();
  // The worker parks while suspended; created suspended.
  void Suspend();
  void Resume();
  bool Suspended() const;

 protected:
  void Execute() override;

 private:
  enum class TWaitResult { TimedOut, Signalled, Terminated };
  TWaitResult WaitForWakeUp(int intervalMs);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
  bool suspended_ = true;
};

#ifdef ORR_NO_THREADS

// Without threads the period is measured by a frame task of the application.
class TThreadedTimer : public TComponent {
 public:
  explicit TThreadedTimer(TComponent* owner);
  ~TThreadedTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Interval() const { return interval_; }
  void SetInterval(int value);
  bool AllowZero = false;
  TThreadPriority ThreadPriority() const { return priority_; }
  void SetThreadPriority(TThreadPriority priority) { priority_ = priority; }
  std::function<void(TThreadedTimer* sender)> OnTimer;

  void Tick();

 private:
  void UpdateTimer();
  void RunTask(std::uint64_t nowMs);
  bool enabled_ = false;
  int interval_ = 1000;
  TThreadPriority priority_ = TThreadPriority::Normal;
  TTimerSchedule schedule_;
  int taskId_ = 0;
};

#else

class TThreadedTimer : public TComponent {
 public:
  explicit TThreadedTimer(TComponent* owner);
  ~TThreadedTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Interval() const { return thread_->Interval; }
  void SetInterval(int value);
  bool AllowZero = false;
  TThreadPriority ThreadPriority() const { return thread_->Priority(); }
  void SetThreadPriority(TThreadPriority priority) { thread_->SetPriority(priority); }
  // The tick handler; the timer is the sender.
  std::function<void(TThreadedTimer* sender)> OnTimer;

  // Main thread: what a handed-over tick does.
  void Tick();

 private:
  void UpdateTimer();
  bool enabled_ = false;
  std::unique_ptr<TTimerThread> thread_;
};

#endif

}  // namespace orr
