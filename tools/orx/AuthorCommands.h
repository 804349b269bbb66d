// SPDX-License-Identifier: GPL-3.0-or-later
// The map tool's commands for map authors: export-tiled, import-tiled and render
// (docs/mapping.md).
#pragma once

#include <string>
#include <vector>

namespace orr {

// Loads a map file into GameMap the way every orx command does (reasons on stderr);
// returns the loader's result.
using TOrxLoad = int (*)(const std::string& path, bool printLog);

int ExportTiledCommand(const std::vector<std::string>& args, TOrxLoad load);
int ImportTiledCommand(const std::vector<std::string>& args, TOrxLoad load);
int RenderCommand(const std::vector<std::string>& args, TOrxLoad load);

// A command line orx cannot use: MESSAGE and where help is, on stderr; returns exit code 2.
int UsageError(const std::string& message);

// Lines for `orx --help`.
extern const char* const TiledUsage;

}  // namespace orr
