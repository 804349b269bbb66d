// SPDX-License-Identifier: GPL-3.0-or-later
// The high-resolution time reference of the cadencer and the frame counter. Production
// reads the performance counter; tests inject a fake clock.
#pragma once

#include <cstdint>

namespace orr {

class TTimeSource {
 public:
  virtual ~TTimeSource() = default;
  virtual std::uint64_t Counter() const = 0;
  virtual std::uint64_t Frequency() const = 0;  // counts per second
  double Seconds() const { return double(Counter()) / double(Frequency()); }
};

// The performance counter (SDL_GetPerformanceCounter).
TTimeSource& SystemTimeSource();

// A clock that moves only when told to (tests, deterministic runs). Counts microseconds.
class TManualTimeSource : public TTimeSource {
 public:
  std::uint64_t Counter() const override { return counter_; }
  std::uint64_t Frequency() const override { return 1000000; }
  void Advance(double seconds) { counter_ += static_cast<std::uint64_t>(seconds * 1e6 + 0.5); }

 private:
  std::uint64_t counter_ = 1000000;
};

}  // namespace orr
