// SPDX-License-Identifier: GPL-3.0-or-later
// Which stream times a mixer channel wrote into which bytes of its sound buffer.
#pragma once

#include <array>
#include <cstdint>

namespace orr {

// One record of which stream times went into which bytes of a sound buffer.
struct TPositionTime {
  uint32_t StartOffset = 0;
  uint32_t EndOffset = 0;
  int64_t StartTime = 0;  // 100 ns
  int64_t EndTime = 0;
};

// A ring of the last 50 records.
class TPositionTimes {
 public:
  static constexpr int Count = 50;
  // Raises std::logic_error for endTime < startTime or startOffset >= endOffset.
  void Record(uint32_t startOffset, uint32_t endOffset, int64_t startTime, int64_t endTime);
  const TPositionTime& Entry(int index) const { return entries_.at(index); }
  int NextIndex() const { return next_; }

 private:
  std::array<TPositionTime, Count> entries_{};
  int next_ = 0;
};

}  // namespace orr
