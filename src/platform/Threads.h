// SPDX-License-Identifier: GPL-3.0-or-later
// Worker threads of the framework: start, terminate request, and a wait for the end that
// keeps serving hand-overs to the main thread, so a worker blocked in Synchronize can
// never deadlock with the main thread waiting for it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace orr {

enum class TThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

class TThread {
 public:
  TThread();
  // The thread must have ended (WaitFor) before destruction; the destructor waits if not.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts Execute on a new thread; once only.
  void Start();
  bool Started() const { return thread_.joinable() || finished_; }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // Blocks until Execute returned. On the main thread it serves hand-overs while waiting.
  void WaitFor();

  TThreadPriority Priority() const { return priority_; }
  // Applied at start and whenever set while running (a nice value on this platform).
  void SetPriority(TThreadPriority priority);

 protected:
  virtual void Execute() = 0;
  // Runs `call` on the main thread and waits until it ran.
  void Synchronize(const std::function<void()>& call);

 private:
  void ApplyPriority();
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> nativeId_{0};
  TThreadPriority priority_ = TThreadPriority::Normal;
};

}  // namespace orr
