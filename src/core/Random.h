// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide random generator: a 32-bit linear congruential generator,
// seed := seed * 134775813 + 1 (mod 2^32), seeded once at start-up by the main module.
#pragma once

#include <cstdint>

namespace orr {

extern std::uint32_t RandSeed;

// An integer in [0, n): the high 32 bits of the 64-bit product of the new seed and n.
inline std::int32_t Random(std::int32_t n) {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(RandSeed) * static_cast<std::uint32_t>(n)) >>
                                   32);
}

// A real in [0, 1): the new seed times 2^-32.
inline double RandomReal() {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<double>(RandSeed) * (1.0 / 4294967296.0);
}

}  // namespace orr
