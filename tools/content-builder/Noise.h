// SPDX-License-Identifier: GPL-3.0-or-later
// Deterministic noise for the content builder: every picture is made from fixed seeds,
// so two builds produce the same bytes.
#pragma once

#include <cstdint>

namespace orr::content {

// A well-mixed 32-bit hash of three integers.
std::uint32_t Hash(std::int32_t x, std::int32_t y, std::uint32_t seed);
// Hash mapped to [0, 1).
float Hash01(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Smooth value noise in [0, 1) that repeats every `period` pixels in x and y (period
// must be a multiple of `cell`), so tiles made from it join without seams.
float TileNoise(float x, float y, int cell, int period, std::uint32_t seed);
// Sum of octaves of TileNoise, cells cell, cell/2, ... (at least 1 pixel), in [0, 1).
float TileFbm(float x, float y, int cell, int period, int octaves, std::uint32_t seed);

// A small sequence of random numbers for placing things (stains, rivets, debris).
class TDice {
 public:
  explicit TDice(std::uint32_t seed) : FState(seed * 2654435761u + 12345u) {}
  float Real();                     // [0, 1)
  float Range(float lo, float hi);  // [lo, hi)
  int Int(int n);                   // [0, n)

 private:
  std::uint32_t FState;
};

}  // namespace orr::content
