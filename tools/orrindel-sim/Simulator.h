// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator: the game's own start-up on the headless platform, exactly N steps of
// 0.01 s driven from a key script, the game's own shutdown.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "SimOptions.h"

namespace orr::sim {

// Runs the session `options` describe: JSON lines to `out`, problems to `err` (one line
// each). Returns the exit code: 0 done, 1 the game refused to run (its message on `err`),
// 2 bad input. `started` is when the process started (for the timedemo's start-up time).
int RunSimulation(const TSimOptions& options, std::ostream& out, std::ostream& err,
                  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now());

}  // namespace orr::sim
