// SPDX-License-Identifier: GPL-3.0-or-later
// What `orx check` and `orx info` say about a loaded map (GameMap).
#pragma once

#include <string>
#include <vector>

#include "map/UMapModule.h"

namespace orr {

enum class TCheckSeverity {
  Warning,  // the game runs, but something on the map misbehaves
  Error,    // the game's set-up raises an error, hangs or reads outside its own tables
};

struct TCheckFinding {
  TCheckSeverity Severity = TCheckSeverity::Warning;
  std::string Text;  // one line: "entity 3 (Patroller at 4.5, 7.5): ..."
};

struct TCheckReport {
  std::vector<TCheckFinding> Findings;
  int Errors() const;
  int Warnings() const;
};

// How findings name places when the map came from elsewhere (an imported Tiled map):
// each entity by what it was there, and cells with Tiled's column and row too (Tiled counts
// rows from the north edge, the map's y from the south).
struct TCheckNames {
  std::vector<std::string> Entities;  // in the map's order, e.g. "object 12 "Guard" (layer entities)"
  bool TiledRows = false;
};

// Judges GameMap the way the game will use it: creature and item records, patrol routes,
// placement, and room for the player. `names`, when given, names the places.
TCheckReport CheckGameMap(const TCheckNames* names = nullptr);

// Loads the map file `path` into GameMap and judges it as `orx check` does, naming it
// `shownName` in the messages, in orx's words. Returns why it cannot be played, empty when
// it can: the loader's message for a file missing or unreadable, else the check's errors,
// one a line, with the count. The check's warnings (the map plays) go to `warnings`.
std::string RefusalOfMapFile(const std::string& path, const std::string& shownName,
                             std::vector<std::string>& warnings);

// A short summary of GameMap: name, id, version, size, entity counts by kind and index.
std::string DescribeGameMap();

}  // namespace orr
