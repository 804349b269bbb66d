#include "core/Random.h"

namespace orr {
std::uint32_t RandSeed = 0;
}
