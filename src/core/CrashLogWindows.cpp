// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows side of the crash log: an unhandled-exception filter writes EventLog the way
// the POSIX signal handler does, with the same last lines (an access violation is the
// segmentation fault's line, and so on), and abort() is caught as SIGABRT. Then the
// process ends with the exception's code, without the system's crash dialog.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iterator>

#include "core/CrashLog.h"
#include "core/CrashLogSignals.h"
#include "core/Replay.h"
#include "core/UMainModule.h"
#include "platform/Paths.h"

namespace orr {
namespace {

// Everything the filter needs is ready before a fault can come; it allocates nothing.
wchar_t LogFile[32768];
LPTOP_LEVEL_EXCEPTION_FILTER Previous = nullptr;
bool Installed = false;

// The signal a POSIX system raises for the same fault.
int SignalOf(DWORD code) {
  switch (code) {
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION: return SIGILL;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK: return SIGFPE;
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT: return SignalBus;
    default: return SIGSEGV;
  }
}

void WriteAll(HANDLE file, const char* data, std::size_t size) {
  DWORD written = 0;
  WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
}

void WriteTimeStamp(HANDLE file) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const int parts[3] = {now.wHour, now.wMinute, now.wSecond};
  char text[11] = "[00:00:00]";
  for (int i = 0; i < 3; ++i) {
    text[1 + 3 * i] = static_cast<char>('0' + parts[i] / 10);
    text[2 + 3 * i] = static_cast<char>('0' + parts[i] % 10);
  }
  WriteAll(file, text, 10);
}

void SaveLog(int signal) {
  HANDLE file = CreateFileW(LogFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteCrashLog(
      EventLog, signal, [file](const char* data, std::size_t size) { WriteAll(file, data, size); },
      [file] { WriteTimeStamp(file); });
  CloseHandle(file);
  // The replay so far, beside the log: its bytes are in place, only its tail is made here.
  TCrashReplay replay{};
  if (!CrashReplay(replay) || CrashReplayFileWide() == nullptr) return;
  file = CreateFileW(CrashReplayFileWide(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  for (int i = 0; i < 2; ++i) WriteAll(file, reinterpret_cast<const char*>(replay.Parts[i]), replay.Sizes[i]);
  CloseHandle(file);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  SaveLog(SignalOf(code));
  if (Previous != nullptr && Previous(info) == EXCEPTION_CONTINUE_EXECUTION)
    return EXCEPTION_CONTINUE_EXECUTION;
  // Ends the process with the exception's code as its exit code, no crash dialog.
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int) {
  SaveLog(SIGABRT);
  TerminateProcess(GetCurrentProcess(), 3);  // abort()'s exit code
}

}  // namespace

void InstallCrashLogSave(const std::string& logFile) {
  const std::wstring wide = WideFromUtf8(logFile);
  const std::size_t length = std::min(wide.size(), std::size(LogFile) - 1);
  std::memcpy(LogFile, wide.data(), length * sizeof(wchar_t));
  LogFile[length] = 0;
  if (Installed) return;
  Installed = true;
  Previous = SetUnhandledExceptionFilter(OnUnhandledException);
  std::signal(SIGABRT, OnAbort);
  // No system error box waits for a person; abort()'s own message never comes: the
  // handler ends the process first.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

std::string CrashLogLine(int signal) { return FatalSignalText(signal); }

}  // namespace orr

#endif  // _WIN32
