// SPDX-License-Identifier: GPL-3.0-or-later
// `orx generate`: playable episode maps of any size, for test maps and for measuring the
// game at scale. The same options give the same map, byte for byte, on any machine.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "map/UMapModule.h"

namespace orr {

struct TGenerateOptions {
  std::int32_t Width = 64;  // cells; at least MinSide
  std::int32_t Height = 64;
  std::int32_t Npcs = 20;   // creature records
  std::int32_t Items = 20;  // item records
  std::uint32_t Seed = 1;
  // Spreads everything the map format can hold over the map, for the checks that a speed
  // build draws, casts and plays like the plain rules (see EveryFeature in OrxGenerate.cpp).
  // Sides may then be 1..4096.
  bool EveryFeature = false;

  static constexpr std::int32_t MinSide = 5;
  static constexpr std::int32_t MaxSide = 4096;
};

// Options that cannot make a map (a side out of range, more creatures and items than open
// cells). The message says what to change.
struct EGenerateError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A walled episode of rooms joined by corridors: walls of every height 1..4 and every
// terrain tile, decorations on the floors, creatures of every kind in every mode (look
// around, roam, patrol; patrol routes run between open cells of the creature's own room,
// so every walk is straight and clear of walls), and items of every kind and index. Each
// creature and item has a cell of its own; a few of each ask for a random cell. `orx check`
// finds nothing in a generated map.
TOrrindelMap GenerateMap(const TGenerateOptions& options);

// Parses "WxH" (e.g. 256x256); false when it is not two whole numbers.
bool ParseMapSize(const std::string& text, std::int32_t& width, std::int32_t& height);

// The `orx generate` command: OUT.orx --size WxH --npcs N --items M [--seed S]
// [--every-feature]. Returns
// the exit code: 0 written, 1 refused or not written (why on stderr), 2 a usage error.
int GenerateCommand(const std::vector<std::string>& args);

}  // namespace orr
