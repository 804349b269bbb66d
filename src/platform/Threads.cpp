// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Threads.h"

#ifdef _WIN32
#include <windows.h>
#elif !defined(__EMSCRIPTEN__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <stdexcept>

#include "platform/Application.h"

namespace orr {

TThread::TThread() = default;

TThread::~TThread() {
  if (thread_.joinable()) {
    terminated_ = true;
    WaitFor();
  }
}

void TThread::Start() {
  if (thread_.joinable() || finished_) return;
#ifdef ORR_NO_THREADS
  // The page has no threads: its workers are frame tasks (see ThreadedTimer.h).
  throw std::logic_error("a worker thread was started where there are no threads");
#endif
  thread_ = std::thread([this] {
#ifdef _WIN32
    nativeId_ = static_cast<int>(GetCurrentThreadId());
#elif defined(__EMSCRIPTEN__)
    nativeId_ = 0;  // the web has no per-thread priorities to apply
#else
    nativeId_ = static_cast<int>(syscall(SYS_gettid));
#endif
    ApplyPriority();
    try {
      Execute();
    } catch (...) {
      // A worker has nobody to report to; its owner sees it finished.
    }
    finished_ = true;
    if (Application != nullptr) Application->Backend().Wake();
  });
}

void TThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (Application != nullptr && Application->IsMainThread()) {
    while (!finished_) {
      Application->CheckSynchronize();
      Application->WaitForSynchronize(5);
    }
  }
  thread_.join();
}

void TThread::SetPriority(TThreadPriority priority) {
  priority_ = priority;
  ApplyPriority();
}

void TThread::ApplyPriority() {
  int tid = nativeId_;
  if (tid == 0) return;
#ifdef _WIN32
  static const int levelOf[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                THREAD_PRIORITY_TIME_CRITICAL};
  if (HANDLE thread = OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(tid))) {
    SetThreadPriority(thread, levelOf[static_cast<int>(priority_)]);
    CloseHandle(thread);
  }
#elif !defined(__EMSCRIPTEN__)
  static const int niceOf[] = {19, 10, 5, 0, -5, -10, -15};
  // Raising a priority needs privileges; a refusal keeps the thread at its current level.
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceOf[static_cast<int>(priority_)]);
#endif
}

void TThread::Synchronize(const std::function<void()>& call) {
  if (Application != nullptr) {
    Application->Synchronize(call);
  } else {
    call();
  }
}

}  // namespace orr
