// SPDX-License-Identifier: GPL-3.0-or-later
// The fatal signals the crash log names, the last line it writes for each, and the log it
// leaves: shared by both sides of the crash log (CrashLog.cpp on POSIX, CrashLogWindows.cpp
// on Windows). Used from inside a signal handler or an exception filter: nothing here
// allocates.
#pragma once

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

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

// Writes the log a crash leaves: every line so far, then the crash's own line after its
// time. `write(data, size)` writes bytes to the open file, `stamp()` the "[HH:MM:SS]" time.
template <typename Write, typename Stamp>
void WriteCrashLog(const std::vector<std::string>& lines, int signal, Write write, Stamp stamp) {
  for (const std::string& line : lines) {
    write(line.data(), line.size());
    write("\r\n", 2);
  }
  stamp();
  const char* text = FatalSignalText(signal);
  write(text, std::strlen(text));
  write("\r\n", 2);
}

}  // namespace orr
