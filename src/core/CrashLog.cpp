// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX side of the crash log: signal handlers (CrashLogWindows.cpp holds the Windows one).
#ifndef _WIN32
#include "core/CrashLog.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <ctime>

#include "core/CrashLogSignals.h"
#include "core/Replay.h"
#include "core/UMainModule.h"

namespace orr {
namespace {

// Everything the handler needs is ready before a signal can come: the file name, the
// local time's offset from UTC, the texts and a stack of its own (a stack overflow is a
// segmentation fault too).
char LogFile[4096];
long UtcOffsetSeconds = 0;
#ifndef __EMSCRIPTEN__
alignas(16) char HandlerStack[64 * 1024];
#endif

// What handled each signal before (a sanitizer's report, say): it still runs, after the save.
struct sigaction Previous[std::size(FatalSignals)];

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// "[HH:MM:SS]" of the local time, from the clock alone (localtime is not safe here).
void WriteTimeStamp(int fd) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  long seconds = static_cast<long>((now.tv_sec + UtcOffsetSeconds) % 86400);
  if (seconds < 0) seconds += 86400;
  const long parts[3] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
  char text[10] = "[00:00:00";
  for (int i = 0; i < 3; ++i) {
    text[1 + 3 * i] = static_cast<char>('0' + parts[i] / 10);
    text[2 + 3 * i] = static_cast<char>('0' + parts[i] % 10);
  }
  WriteAll(fd, text, 9);
  WriteAll(fd, "]", 1);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context);

void RunPrevious(int signal, siginfo_t* info, void* context) {
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
    if (FatalSignals[i].Signal != signal) continue;
    const struct sigaction& before = Previous[i];
    if ((before.sa_flags & SA_SIGINFO) != 0) {
      if (before.sa_sigaction != nullptr && before.sa_sigaction != OnFatalSignal)
        before.sa_sigaction(signal, info, context);
    } else if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
      before.sa_handler(signal);
    }
  }
}

// Only async-signal-safe calls: open, write, close, clock_gettime, raise. EventLog is
// read as it stands; nothing is allocated.
void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  int fd = ::open(LogFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    WriteCrashLog(
        EventLog, signal, [fd](const char* data, std::size_t size) { WriteAll(fd, data, size); },
        [fd] { WriteTimeStamp(fd); });
    ::close(fd);
  }
  // The replay so far, beside the log: its bytes are in place, only its tail is made here.
  TCrashReplay replay{};
  if (CrashReplay(replay)) {
    fd = ::open(replay.FileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
      for (int i = 0; i < 2; ++i)
        WriteAll(fd, reinterpret_cast<const char*>(replay.Parts[i]), replay.Sizes[i]);
      ::close(fd);
    }
  }
  errno = savedErrno;
  RunPrevious(signal, info, context);
  // The handler was reset to the default on entry: a fault happens again when the
  // instruction is retried, a raised signal is delivered as soon as this returns.
  ::raise(signal);
}

}  // namespace

void InstallCrashLogSave(const std::string& logFile) {
  const std::size_t length = std::min(logFile.size(), sizeof LogFile - 1);
  std::memcpy(LogFile, logFile.data(), length);
  LogFile[length] = 0;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  UtcOffsetSeconds = local.tm_gmtoff;

#ifndef __EMSCRIPTEN__
  // The web has no alternate signal stack, and raises no signal for a fault: a trap there
  // ends the program through the page's own handler.
  stack_t stack{};
  stack.ss_sp = HandlerStack;
  stack.ss_size = sizeof HandlerStack;
  ::sigaltstack(&stack, nullptr);
#endif
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_ONSTACK | SA_SIGINFO;
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
    struct sigaction before {};
    ::sigaction(FatalSignals[i].Signal, &action, &before);
    if (!((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction == OnFatalSignal)) Previous[i] = before;
  }
}

std::string CrashLogLine(int signal) { return FatalSignalText(signal); }

}  // namespace orr

#endif  // !_WIN32
