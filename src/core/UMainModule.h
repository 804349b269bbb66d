// SPDX-License-Identifier: GPL-3.0-or-later
// The main module: the event log, the work folder, the random seed and the exception hook.
// It is created first and destroyed last, so every other module can log.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/Classes.h"

namespace orr {

// One time-stamped line per entry, in the order written; main thread only.
extern std::vector<std::string> EventLog;
// The executable's folder with exactly one trailing separator; every data file is named
// relative to it.
extern std::string WorkFolder;

// The file SaveLog rewrites; empty: WorkFolder + "log.txt", the game's own. A tool that
// runs the game names a file of its own here, or turns saving off with LogSaveEnabled.
extern std::string LogFileName;
extern bool LogSaveEnabled;

// Appends "[HH:MM:SS]message" to EventLog (no file access).
void LogEvent(const std::string& message);
// Called with every line as it is added to the event log, exactly as log.txt will hold it
// (the page prints each to the browser's console). None by default; a host sets it once,
// before the main module is created.
extern void (*EventLogEcho)(const std::string& line);
// The folder of the game's log.txt: WorkFolder, unless the system refuses the user to write
// there (a game installed into a system folder); then the user's state folder,
// $XDG_STATE_HOME/orrindel/ or ~/.local/state/orrindel/ (see UserStateFolder), made here
// when missing.
std::string LogFolder();
// Rewrites the log file (LogFileName, else LogFolder() + "log.txt") with every line of
// EventLog, each ended by CR LF.
// Never throws: a failure shows a plain message box and returns false.
bool SaveLog();
// Logs "WARNING: " + message the first time that message is met (missing assets, records
// outside the tables), so a broken map or asset folder does not flood the log.
void LogWarningOnce(const std::string& message);
// Empties EventLog and WorkFolder, forgets which warnings were logged; the log file is
// the game's again (tests).
void ResetEventLog();

// Folder of a file path with one trailing '/', for WorkFolder ("/" for the root).
std::string FolderWithSeparator(const std::string& filePath);

class TDMMainModule : public TDataModule {
 public:
  using TDataModule::TDataModule;
  // The application's exception hook.
  void UnknownException(TComponent* sender, const std::exception& e);

  static constexpr const char* ErrorCaption = "Orrindel: ERROR";
  static constexpr const char* ErrorText =
      "WARNING: Error encountered. View log filelog.txtfor more details. This application may "
      "have become unstable. Would you like to terminate the application?";

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMMainModule* DMMainModule;

}  // namespace orr
