// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ThreadedTimer.h"

#include <chrono>

#include "platform/Application.h"

namespace orr {

void TTimerSchedule::Restart(std::uint64_t nowMs) {
  start_ = nowMs;
  if (suspended_) suspendedAt_ = nowMs;
}

void TTimerSchedule::Suspend(std::uint64_t nowMs) {
  if (suspended_) return;
  suspended_ = true;
  suspendedAt_ = nowMs;
}

void TTimerSchedule::Resume(std::uint64_t nowMs) {
  if (!suspended_) return;
  suspended_ = false;
  start_ += nowMs - suspendedAt_;  // the time parked does not count
}

bool TTimerSchedule::Due(std::uint64_t nowMs, int intervalMs) {
  if (suspended_ || intervalMs < 0) return false;
  if (nowMs - start_ < static_cast<std::uint64_t>(intervalMs)) return false;
  start_ = nowMs;
  return true;
}

TTimerThread::TTimerThread(TThreadedTimer* owner) : Owner(owner) {}

void TTimerThread::SignalWakeUp() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void TTimerThread::Suspend() {
  std::lock_guard<std::mutex> lock(mutex_);
  suspended_ = true;
}

void TTimerThread::Resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    suspended_ = false;
  }
  changed_.notify_all();
  Start();  // the first resume starts the thread; later ones only wake it
}

bool TTimerThread::Suspended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return suspended_;
}

TTimerThread::TWaitResult TTimerThread::WaitForWakeUp(int intervalMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A suspended worker stops where it is; it goes on only when resumed (or terminated).
  auto parked = [&] { return suspended_ && !Terminated(); };
  changed_.wait(lock, [&] { return !parked(); });
  // A negative period never runs out (as an unsigned time-out it would be days or
  // forever): such a timer waits for a wake-up and never ticks, instead of ticking back to
  // back as if it were 0 with AllowZero.
  const bool endless = intervalMs < 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(endless ? 0 : intervalMs);
  for (;;) {
    if (Terminated()) return TWaitResult::Terminated;
    if (signalled_) {
      signalled_ = false;  // auto-reset
      return TWaitResult::Signalled;
    }
    if (suspended_) {
      // Suspended mid-wait: the remaining time does not run out while parked.
      auto left = deadline - std::chrono::steady_clock::now();
      changed_.wait(lock, [&] { return !parked(); });
      deadline = std::chrono::steady_clock::now() + left;
      continue;
    }
    if (endless) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !signalled_ && !suspended_ &&
        !Terminated())
      return TWaitResult::TimedOut;
  }
}

void TTimerThread::Execute() {
  while (!Terminated()) {
    TWaitResult result = WaitForWakeUp(Interval);
    if (result == TWaitResult::Terminated) break;
    if (result == TWaitResult::TimedOut) Synchronize([this] { Owner->Tick(); });
  }
}

#ifdef ORR_NO_THREADS

namespace {
std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}
}  // namespace

TThreadedTimer::TThreadedTimer(TComponent* owner) : TComponent(owner) {
  if (Application != nullptr)
    taskId_ = Application->AddFrameTask([this](std::uint64_t nowMs) { RunTask(nowMs); });
}

TThreadedTimer::~TThreadedTimer() {
  enabled_ = false;
  if (Application != nullptr && taskId_ != 0) Application->RemoveFrameTask(taskId_);
}

void TThreadedTimer::RunTask(std::uint64_t nowMs) {
  if (schedule_.Due(nowMs, interval_)) Tick();
}

void TThreadedTimer::UpdateTimer() {
  const std::uint64_t now = SteadyMs();
  if (enabled_) {
    if (interval_ != 0 || AllowZero) {
      schedule_.Restart(now);
      schedule_.Resume(now);
    }
  } else {
    schedule_.Suspend(now);
  }
}

void TThreadedTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TThreadedTimer::SetInterval(int value) {
  if (value == interval_) return;
  bool wasEnabled = enabled_;
  SetEnabled(false);
  interval_ = value;
  SetEnabled(wasEnabled);
}

#else

TThreadedTimer::TThreadedTimer(TComponent* owner)
    : TComponent(owner), thread_(std::make_unique<TTimerThread>(this)) {
  thread_->Interval = 1000;
  thread_->SetPriority(TThreadPriority::Normal);
}

TThreadedTimer::~TThreadedTimer() {
  enabled_ = false;
  thread_->Terminate();
  thread_->SignalWakeUp();
  thread_->Resume();
  // Serves pending hand-overs while waiting, so a worker blocked in one can finish.
  thread_->WaitFor();
  thread_.reset();
}

void TThreadedTimer::UpdateTimer() {
  if (enabled_) {
    if (thread_->Interval != 0 || AllowZero) {
      thread_->SignalWakeUp();
      thread_->Resume();
    }
  } else {
    thread_->Suspend();
  }
}

void TThreadedTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TThreadedTimer::SetInterval(int value) {
  if (value == thread_->Interval) return;
  bool wasEnabled = enabled_;
  SetEnabled(false);
  thread_->Interval = value;
  SetEnabled(wasEnabled);
}

#endif

void TThreadedTimer::Tick() {
  if (!enabled_ || !OnTimer || IsDestroying()) return;
  try {
    OnTimer(this);
  } catch (const EApplicationHalt&) {
    throw;
  } catch (...) {
    // Tick handler failures are dropped on purpose: the next tick still comes.
  }
}

}  // namespace orr
