// SPDX-License-Identifier: GPL-3.0-or-later
// orrindel-sim: runs a game session without a window, step by step, and prints its state.
#include <chrono>
#include <iostream>

#include "SimOptions.h"
#include "Simulator.h"
#include "platform/Application.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
  orr::UseUtf8Arguments(argc, argv);
  orr::UseBinaryStandardStreams();
  using namespace orr::sim;
  const auto started = std::chrono::steady_clock::now();
  std::ios::sync_with_stdio(false);
  TSimOptions options;
  std::string error;
  if (!ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::cerr << "orrindel-sim: " << error << "\n";
    return 2;
  }
  if (options.Help) {
    std::cout << SimUsage;
    return 0;
  }
  if (options.GameFolder.empty()) options.GameFolder = orr::GameFolderBeside(orr::ExecutableFileName());
  return RunSimulation(options, std::cout, std::cerr, started);
}
