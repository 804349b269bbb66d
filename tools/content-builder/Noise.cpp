// SPDX-License-Identifier: GPL-3.0-or-later
#include "Noise.h"

#include <cmath>

namespace orr::content {

std::uint32_t Hash(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B9u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

float Hash01(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  return static_cast<float>(Hash(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float TileNoise(float x, float y, int cell, int period, std::uint32_t seed) {
  int cells = period / cell;
  float fx = x / cell, fy = y / cell;
  int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  float tx = fx - ix, ty = fy - iy;
  auto wrap = [cells](int v) { return ((v % cells) + cells) % cells; };
  auto at = [&](int cx, int cy) { return Hash01(wrap(cx), wrap(cy), seed); };
  float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  float a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

float TileFbm(float x, float y, int cell, int period, int octaves, std::uint32_t seed) {
  float sum = 0, weight = 0, amp = 1;
  for (int i = 0; i < octaves && cell >= 1; ++i) {
    sum += TileNoise(x, y, cell, period, seed + 101u * i) * amp;
    weight += amp;
    amp *= 0.5f;
    cell /= 2;
  }
  return weight > 0 ? sum / weight : 0.5f;
}

float TDice::Real() {
  FState = FState * 1664525u + 1013904223u;
  std::uint32_t h = FState ^ (FState >> 15);
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

float TDice::Range(float lo, float hi) { return lo + (hi - lo) * Real(); }

int TDice::Int(int n) {
  int v = static_cast<int>(Real() * n);
  return v >= n ? n - 1 : v;
}

}  // namespace orr::content
