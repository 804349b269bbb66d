// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimeSource.h"

#include <SDL.h>

namespace orr {

namespace {
class TPerformanceCounter : public TTimeSource {
 public:
  std::uint64_t Counter() const override { return SDL_GetPerformanceCounter(); }
  std::uint64_t Frequency() const override { return SDL_GetPerformanceFrequency(); }
};
}  // namespace

TTimeSource& SystemTimeSource() {
  static TPerformanceCounter counter;
  return counter;
}

}  // namespace orr
