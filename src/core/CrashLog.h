// SPDX-License-Identifier: GPL-3.0-or-later
// The log survives a crash: a fatal signal (segmentation fault, abort, bus error, illegal
// instruction, floating-point exception) writes EventLog to log.txt with a last line
// naming the signal, then ends the process with that signal as before. On Windows an
// unhandled exception does the same, with the line of the signal POSIX raises for it
// (CrashLogWindows.cpp).
#pragma once

#include <string>

namespace orr {

// Installs the handlers for the fatal signals; the log goes to `logFile` (copied now: the
// handler allocates nothing). Called again, it only changes the file.
void InstallCrashLogSave(const std::string& logFile);

// The last line written for `signal`, without the time: "Fatal signal SIGSEGV
// (segmentation fault): the game ended".
std::string CrashLogLine(int signal);

}  // namespace orr
