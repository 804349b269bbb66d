// SPDX-License-Identifier: GPL-3.0-or-later
// The fatal signals the crash log names, and the last line it writes for each: one table
// for both sides of the crash log (CrashLog.cpp on POSIX, CrashLogWindows.cpp on Windows).
// Read from inside a signal handler or an exception filter: constants only, nothing to
// allocate.
#pragma once

#include <csignal>

namespace orr {

#ifdef _WIN32
// Windows has no bus error signal; its number on Linux stands for it.
inline constexpr int SignalBus = 7;
#else
inline constexpr int SignalBus = SIGBUS;
#endif

struct TFatalSignal {
  int Signal;
  const char* Text;
};

// In the order the POSIX side installs its handlers.
inline constexpr TFatalSignal FatalSignals[] = {
    {SIGSEGV, "Fatal signal SIGSEGV (segmentation fault): the game ended"},
    {SIGABRT, "Fatal signal SIGABRT (abort): the game ended"},
    {SignalBus, "Fatal signal SIGBUS (bus error): the game ended"},
    {SIGILL, "Fatal signal SIGILL (illegal instruction): the game ended"},
    {SIGFPE, "Fatal signal SIGFPE (floating-point exception): the game ended"},
};

// The last line's text for `signal` (without the time).
constexpr const char* FatalSignalText(int signal) {
  for (const TFatalSignal& s : FatalSignals)
    if (s.Signal == signal) return s.Text;
  return "Fatal signal: the game ended";
}

}  // namespace orr
