// SPDX-License-Identifier: GPL-3.0-or-later
// Limits for fuzzing: small enough that a lying header cannot make an allocation the
// fuzzer counts as a leak of memory, large enough for every seed.
#pragma once

#include "codecs/Codecs.h"

namespace orr::fuzz {
inline const TDecodeLimits Limits{4096, 1 << 22};
}
