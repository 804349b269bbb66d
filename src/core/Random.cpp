// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Random.h"

namespace orr {
std::uint32_t RandSeed = 0;
}
