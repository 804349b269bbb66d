// SPDX-License-Identifier: GPL-3.0-or-later
// Named mutexes shared by everything in the process: recursive (the holder may lock again)
// and lockable with a time-out. Creating a name that exists opens the existing mutex; the
// mutex lives as long as any handle to it, like a system object.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orr {

// A recursive mutex with timed waits, built on a plain mutex and a condition variable so
// that thread checkers see every acquisition (timed pthread locks escape some of them).
class TRecursiveTimedMutex {
 public:
  void lock() {
    std::unique_lock<std::mutex> guard(state_);
    Acquire(guard, [&] {
      free_.wait(guard, [&] { return count_ == 0; });
      return true;
    });
  }
  bool try_lock() {
    std::unique_lock<std::mutex> guard(state_);
    return Acquire(guard, [&] { return count_ == 0; });
  }
  template <class Rep, class Period>
  bool try_lock_for(const std::chrono::duration<Rep, Period>& timeout) {
    std::unique_lock<std::mutex> guard(state_);
    return Acquire(guard, [&] { return free_.wait_for(guard, timeout, [&] { return count_ == 0; }); });
  }
  void unlock() {
    std::unique_lock<std::mutex> guard(state_);
    if (count_ == 0 || owner_ != std::this_thread::get_id()) return;  // not held here
    if (--count_ == 0) {
      owner_ = std::thread::id();
      guard.unlock();
      free_.notify_one();
    }
  }

 private:
  template <class TWait>
  bool Acquire(std::unique_lock<std::mutex>&, TWait wait) {
    if (count_ > 0 && owner_ == std::this_thread::get_id()) {
      ++count_;
      return true;
    }
    if (!wait()) return false;
    owner_ = std::this_thread::get_id();
    count_ = 1;
    return true;
  }

  std::mutex state_;
  std::condition_variable free_;
  std::thread::id owner_;
  unsigned count_ = 0;
};

using TNamedMutexHandle = std::shared_ptr<TRecursiveTimedMutex>;

// Creates the mutex called `name`, or opens it when it exists. Never empty.
TNamedMutexHandle CreateNamedMutex(const std::string& name);
// Opens an existing mutex; empty when no handle to `name` is alive.
TNamedMutexHandle OpenNamedMutex(const std::string& name);

}  // namespace orr
