// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/UMainModule.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <set>

#include "core/CrashLog.h"
#include "core/Random.h"
#include "core/Replay.h"
#include "platform/Application.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace orr {

std::vector<std::string> EventLog;
std::string WorkFolder;
std::string LogFileName;
bool LogSaveEnabled = true;
TDMMainModule* DMMainModule = nullptr;

namespace {

std::string LogFilePath() { return LogFileName.empty() ? LogFolder() + "log.txt" : LogFileName; }

// Messages LogWarningOnce has logged.
std::set<std::string> WarnedOnce;

std::string FormatNow(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string BaseName(const std::string& path) {
  auto slash = LastPathSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Milliseconds since midnight, UTC.
std::uint32_t MillisecondsSinceMidnightUtc() {
  using namespace std::chrono;
  auto now = system_clock::now().time_since_epoch();
  auto ms = duration_cast<milliseconds>(now).count();
  return static_cast<std::uint32_t>(ms % (24LL * 60 * 60 * 1000));
}

}  // namespace

void (*EventLogEcho)(const std::string& line) = nullptr;

void LogEvent(const std::string& message) {
  EventLog.push_back("[" + FormatNow("%H:%M:%S") + "]" + message);
  if (EventLogEcho != nullptr) EventLogEcho(EventLog.back());
}

std::string LogFolder() {
  if (!FolderRefusesWrites(WorkFolder)) return WorkFolder;
  const std::string state = UserStateFolder("orrindel");
  if (state.empty()) return WorkFolder;
  CreateUserFolder(state);  // a folder that cannot be made shows when the log is written
  return state;
}

void LogWarningOnce(const std::string& message) {
  if (WarnedOnce.insert(message).second) LogEvent("WARNING: " + message);
}

bool SaveLog() {
  if (!LogSaveEnabled) return true;
  const std::string fileName = LogFilePath();
  bool written = false;
  {
    std::ofstream file(PathFromUtf8(fileName), std::ios::binary | std::ios::trunc);
    if (file) {
      for (const auto& line : EventLog) file << line << "\r\n";
      file.flush();
      written = static_cast<bool>(file);
    }
  }
  if (!written) {
    // Built whole: a fixed buffer would cut the text short for a deep work folder.
    const std::string text = "Error when saving file " + fileName +
                             ". The drive/folder is possibly protected or in read-only mode.";
    if (Application != nullptr) Application->ShowMessage(text);
  }
  return written;
}

void ResetEventLog() {
  EventLog.clear();
  WorkFolder.clear();
  LogFileName.clear();
  LogSaveEnabled = true;
  WarnedOnce.clear();
}

std::string FolderWithSeparator(const std::string& filePath) {
  auto slash = LastPathSeparator(filePath);
  if (slash == std::string::npos) return std::string(".") + PathSeparator;
  std::string folder = filePath.substr(0, slash);
  while (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  return folder + PathSeparator;
}

void TDMMainModule::DataModuleCreate() {
  EventLog.clear();
  LogEvent("Main module initialization begin, date " + FormatNow("%Y-%m-%d"));
  const std::string exe = ExecutableFileName();
  LogEvent("Application: " + BaseName(exe));
  WorkFolder = FolderWithSeparator(exe);
  LogEvent("Work folder set to " + WorkFolder);
  // A tool that keeps no log keeps none after a crash either.
  if (LogSaveEnabled) InstallCrashLogSave(LogFilePath());
  RandSeed = MillisecondsSinceMidnightUtc();
  if (Application != nullptr) {
    Application->Backend().OnDisplayLost = [] {
      LogEvent("The display connection was lost");
      SaveLog();
      SaveReplay(TReplayEnd::Shutdown);  // the process ends at once: no shutdown follows
    };
    Application->OnException = [this](TComponent* sender, const std::exception& e) {
      UnknownException(sender, e);
    };
  }
  LogEvent("Exception hook set");
  LogEvent("Main module initialized");
  // The global state this module owns outlives every module; release it last.
  AddFinalization([] { ResetEventLog(); });
}

void TDMMainModule::DataModuleDestroy() {
  LogEvent("Main module destruction end");
  LogEvent("--End of Log--");
  SaveLog();
}

void TDMMainModule::UnknownException(TComponent*, const std::exception& e) {
  LogEvent("Program exception!");
  LogEvent(std::string("Exception message: ") + e.what());
  SaveLog();
  SaveReplay(TReplayEnd::Exception);  // the replay so far goes with the log
  if (Application == nullptr) return;
  TModalResult answer = Application->MessageBox(ErrorText, ErrorCaption, TMsgBoxKind::WarningOkCancel);
  if (answer == TModalResult::Ok) Application->Halt(0);
}

}  // namespace orr
