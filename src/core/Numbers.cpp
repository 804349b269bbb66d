// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "core/FloatText.h"

namespace orr {

namespace {

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

[[noreturn]] void ThrowNotFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) ThrowNotInteger(text);
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) ThrowNotInteger(text);
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) ThrowNotInteger(text);
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) ThrowNotInteger(text);
  return static_cast<std::int32_t>(value);
}

float StrToSingle(std::string_view text) {
  // Grammar: [+-] (digits [. digits*] | . digits) [(e|E) [+-] digits]
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t mantissaStart = i;
  std::size_t intDigits = 0, fracDigits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++intDigits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) ThrowNotFloat(text);
  const std::size_t mantissaEnd = i;
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size()) ThrowNotFloat(text);
    for (; i < text.size(); ++i) {
      if (!IsDigit(text[i])) ThrowNotFloat(text);
      if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) ThrowNotFloat(text);

  float value = 0;
  const char* first = text.data() + mantissaStart;
  auto [end, error] = FloatFromChars(first, text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for 32 bits: find the decimal magnitude of the leading digit.
    std::int64_t magnitude = exponent;
    std::string_view mantissa = text.substr(mantissaStart, mantissaEnd - mantissaStart);
    std::size_t lead = mantissa.find_first_not_of("0.");
    std::size_t point = mantissa.find('.');
    if (point == std::string_view::npos) point = mantissa.size();
    if (lead == std::string_view::npos) {
      value = 0;  // all zeros never overflow
    } else if (lead < point) {
      magnitude += static_cast<std::int64_t>(point - lead) - 1;
    } else {
      magnitude -= static_cast<std::int64_t>(lead - point);
    }
    if (lead != std::string_view::npos && magnitude > 0) ThrowNotFloat(text);  // overflow
    value = 0;  // underflow: the value rounds to zero
  } else if (error != std::errc() || end != text.data() + text.size()) {
    ThrowNotFloat(text);
  }
  if (std::isinf(value)) ThrowNotFloat(text);
  return negative ? -value : value;
}

std::string FloatToStr(double value) {
  if (value == 0 || !std::isfinite(value)) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    return "0";
  }
  char scientific[40];
  std::snprintf(scientific, sizeof scientific, "%.14e", std::fabs(value));
  // "d.dddddddddddddde+XX": 15 significant digits and a decimal exponent.
  std::string digits;
  const char* p = scientific;
  for (; *p != 'e'; ++p)
    if (IsDigit(*p)) digits += *p;
  int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = value < 0 ? "-" : "";
  if (exponent >= -5 + 1 && exponent <= 14) {
    if (exponent >= 0) {
      std::size_t integerLength = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() < integerLength) digits.append(integerLength - digits.size(), '0');
      text += digits.substr(0, integerLength);
      if (digits.size() > integerLength) text += "." + digits.substr(integerLength);
    } else {
      text += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
  } else {
    text += digits.substr(0, 1);
    if (digits.size() > 1) text += "." + digits.substr(1);
    text += "E" + std::to_string(exponent);
  }
  return text;
}

std::int32_t WrapInRange(std::int64_t v, std::int32_t low, std::int32_t high) {
  if (low == high) return low;
  if (low > high) throw std::invalid_argument("WrapInRange: empty range");
  const std::int64_t span = static_cast<std::int64_t>(high) - low + 1;
  std::int64_t r = (v - low) % span;
  if (r < 0) r += span;
  return static_cast<std::int32_t>(low + r);
}

float WrapAngle(float v, float lo, float hi) {
  if (lo == hi) return lo;
  // An infinite angle never folds; treat it as the start of the range.
  if (std::isinf(v)) return lo;
  // Far out, one fold no longer changes a single (1e12 - 360 rounds back to 1e12): bring the
  // value within one period first. The fold repeats with the period, so the result is the same.
  const double period = static_cast<double>(hi) - lo + 1;
  if (std::fabs(v) >= 16777216.0f && period > 0)
    v = static_cast<float>(lo + std::fmod(static_cast<double>(v) - lo, period));
  while (v < lo || v > hi) {
    if (v < lo) v = hi - std::fabs(lo - v - 1);
    if (v > hi) v = lo + std::fabs(hi - v + 1);
  }
  return v;
}

std::int32_t ClampInt(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

long double ClampFloat(long double v, long double lo, long double hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

TRect RectFromSize(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

bool PointInRect(const TPoint& point, const TRect& rect, bool inclusive) {
  if (inclusive)
    return rect.Left <= point.X && point.X <= rect.Right && rect.Top <= point.Y && point.Y <= rect.Bottom;
  return rect.Left < point.X && point.X < rect.Right && rect.Top < point.Y && point.Y < rect.Bottom;
}

bool PointsEqual(const TPoint& a, const TPoint& b) { return a.X == b.X && a.Y == b.Y; }

}  // namespace orr
