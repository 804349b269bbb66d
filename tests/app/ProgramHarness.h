// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the program's start-up, loop and shutdown headless, with probe modules that record
// their handlers, and reads back the saved log.
#pragma once

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/UProgram.h"
#include "core/UMainModule.h"
#include "platform/Application.h"

namespace orr::test {

// Handler calls of every probe, in order ("create 3", "destroy 3", ...).
inline std::vector<std::string> Trace;

// A module that records its handlers; throws from the handler named in ThrowIn.
struct TProbeSettings {
  int ThrowOnCreate = -1;
  int ThrowOnDestroy = -1;
  int TerminateOnCreate = -1;
};
inline TProbeSettings Probe;

template <int N>
class TProbeModule : public TDataModule {
 public:
  using TDataModule::TDataModule;
  static inline TProbeModule* Instance = nullptr;

 protected:
  void DataModuleCreate() override {
    Trace.push_back("create " + std::to_string(N));
    LogEvent("probe " + std::to_string(N) + " created");
    if (Probe.TerminateOnCreate == N) Application->Terminate();
    if (Probe.ThrowOnCreate == N) throw std::runtime_error("probe " + std::to_string(N) + " failed");
  }
  void DataModuleDestroy() override {
    Trace.push_back("destroy " + std::to_string(N));
    LogEvent("probe " + std::to_string(N) + " destroyed");
    if (Probe.ThrowOnDestroy == N) throw std::runtime_error("probe " + std::to_string(N) + " destroy failed");
  }
};

template <int N>
TCreationStep ProbeStep() {
  return [](TApplication& app) { app.CreateForm(TProbeModule<N>::Instance); };
}

inline TCreationStep MainModuleStep() {
  return [](TApplication& app) { app.CreateForm(DMMainModule); };
}

// The folder the main module will choose: the test executable's own.
inline std::string ExpectedWorkFolder() { return FolderWithSeparator(ExecutableFileName()); }

inline std::vector<std::string> ReadLogFile() {
  std::ifstream file(ExpectedWorkFolder() + "log.txt", std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The message of a log line: the text after "[HH:MM:SS]".
inline std::string MessageOf(const std::string& line) {
  auto close = line.find(']');
  return close == std::string::npos ? line : line.substr(close + 1);
}

inline std::vector<std::string> LogMessages() {
  std::vector<std::string> messages;
  for (const auto& line : ReadLogFile()) messages.push_back(MessageOf(line));
  return messages;
}

inline void ResetProbes() {
  Trace.clear();
  Probe = {};
  std::remove((ExpectedWorkFolder() + "log.txt").c_str());
}

}  // namespace orr::test
