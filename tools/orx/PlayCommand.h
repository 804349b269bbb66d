// SPDX-License-Identifier: GPL-3.0-or-later
// `orx play`: plays a map in the game this tool belongs to, from a folder of its own.
#pragma once

#include <string>
#include <vector>

#include "AuthorCommands.h"

namespace orr {

int PlayCommand(const std::vector<std::string>& args, TOrxLoad load);

// Lines for `orx --help`.
extern const char* const PlayUsage;

}  // namespace orr
