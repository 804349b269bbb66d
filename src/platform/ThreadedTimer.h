// SPDX-License-Identifier: GPL-3.0-or-later
// A timer whose period is measured on a worker thread of its own; the tick is handed to
// the main thread and runs there. Ticks never overlap and never queue up: the worker
// blocks until the main thread has run the tick, then starts a new full period.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Classes.h"
#include "platform/Threads.h"

namespace orr {

class TThreadedTimer;

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

}  // namespace orr
