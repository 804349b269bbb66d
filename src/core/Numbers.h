// SPDX-License-Identifier: GPL-3.0-or-later
// Number helpers every layer shares: folds into a range, the number texts of map files and
// the log, clamps, and rectangle and point tests.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/Forms.h"  // TRect

namespace orr {

// Text that is not a number where one is needed.
struct EConvertError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Folds v into [low, high]: low when low == high, else low + ((v - low) mod (high - low + 1))
// with a non-negative remainder. Throws std::invalid_argument when low > high (an empty range
// has no value to fold into).
std::int32_t WrapInRange(std::int64_t v, std::int32_t low, std::int32_t high);

// Folds an angle into lo..hi; values strictly between hi and hi + 1 are reflected
// (359.5 gives 0.5 for 0..359).
float WrapAngle(float v, float lo, float hi);

// The map file's number formats. An integer: optional sign and decimal digits, within the
// signed 32-bit range. A decimal number: optional sign, digits with an optional '.' part and
// an optional exponent (e or E, optional sign, digits), stored in 32 bits (a value beyond
// the 32-bit float range is refused). Both throw EConvertError for anything else.
std::int32_t StrToInt(std::string_view text);
float StrToSingle(std::string_view text);
// The general number format with up to 15 significant digits used in the log
// (1.1 stored in 32 bits prints as 1.10000002384186; 1e20 as 1E20).
std::string FloatToStr(double value);

// lo if v < lo, otherwise hi if v > hi, otherwise v (the lower bound is tested first).
std::int32_t ClampInt(std::int32_t v, std::int32_t lo, std::int32_t hi);
long double ClampFloat(long double v, long double lo, long double hi);

// (left, top, left + width, top + height).
TRect RectFromSize(int left, int top, int width, int height);

struct TPoint {
  int X = 0, Y = 0;
};
// Inclusive: Left <= X <= Right and Top <= Y <= Bottom; exclusive: strict on every side.
bool PointInRect(const TPoint& point, const TRect& rect, bool inclusive);
bool PointsEqual(const TPoint& a, const TPoint& b);

}  // namespace orr
