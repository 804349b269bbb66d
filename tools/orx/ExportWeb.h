// SPDX-License-Identifier: GPL-3.0-or-later
// `orx export-web`: a web site whose episode is the author's map, made from the built
// game's site (scripts/web-site), for any static host.
#pragma once

#include <string>
#include <vector>

namespace orr {

// Exit codes: 0 written, 1 refused (the map, the site or DIR; nothing written), 2 usage.
int ExportWebCommand(const std::vector<std::string>& args);

// Lines for `orx --help`.
extern const char* const ExportWebUsage;

}  // namespace orr
