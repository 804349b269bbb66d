// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/CrashLog.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/GameSteps.h"
#include "core/Replay.h"
#include "core/UMainModule.h"

namespace orr {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each fatal signal, in a child process: the file holds the whole log, then a time-stamped
// line naming the signal, the replay so far lies beside it, ended by the crash, and the child
// still ends by that signal (under a sanitizer the sanitizer's own report ends it instead,
// after the save).
TEST(CrashLog, EachFatalSignalSavesTheLogWithALastLineNamingIt) {
  const auto folder = std::filesystem::temp_directory_path() / ("orr_crashlog_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto file = folder / "log.txt", replay = folder / "last-run.replay";
  for (int signal : {SIGSEGV, SIGABRT, SIGBUS, SIGILL, SIGFPE}) {
    std::filesystem::remove(file);
    std::filesystem::remove(replay);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ResetEventLog();
      EventLog = {"[01:02:03]first", "[01:02:04]second"};
      InstallCrashLogSave(file.string());
      StartRecording({"0.1", 7, 1024, 768, "Episodes/Test/Promo4.orx", 1, 1}, replay.string());
      for (int i = 0; i < 42; ++i) RunStep();
      ::raise(signal);
      ::_exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
        << strsignal(signal) << " status " << status;
#endif
    const std::string text = ReadFile(file);
    const std::string head = "[01:02:03]first\r\n[01:02:04]second\r\n[";
    ASSERT_EQ(text.substr(0, head.size()), head) << strsignal(signal);
    const std::string tail = text.substr(head.size());
    EXPECT_EQ(tail.substr(8), "]" + CrashLogLine(signal) + "\r\n") << "a time of eight characters, then";
    EXPECT_NE(CrashLogLine(signal).find(sigabbrev_np(signal)), std::string::npos) << CrashLogLine(signal);
    // A text file like the one the game writes when it ends: readable, never executable.
    const auto perms = std::filesystem::status(file).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::owner_read, std::filesystem::perms::owner_read);
    EXPECT_EQ(perms & (std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                       std::filesystem::perms::others_exec),
              std::filesystem::perms::none);
    TReplay back;
    std::string error;
    ASSERT_TRUE(ReadReplayFile(replay.string(), back, error)) << strsignal(signal) << ": " << error;
    EXPECT_EQ(back.StepCount, 42u);
    EXPECT_EQ(back.End, TReplayEnd::Crash);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orr
