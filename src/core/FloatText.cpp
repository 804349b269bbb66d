// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/FloatText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

// Both directions lean on the C library's printf("%.*e") and strtod/strtof, which glibc,
// musl (the web build) and mingw-w64's own (selected by __USE_MINGW_ANSI_STDIO, which
// libstdc++ turns on) round correctly: the nearest decimal of a given length, the nearest
// float of a decimal. Neither text they see or write depends on the locale: we read only
// the digits and the exponent of printf's output, and hand strtod digits and an exponent
// without a decimal point.

namespace orr {

namespace {

template <class T>
struct TFloatKind;

template <>
struct TFloatKind<float> {
  static constexpr int MaxDigits = 9;  // enough for every float to read back
  static float Read(const char* text) { return std::strtof(text, nullptr); }
};

template <>
struct TFloatKind<double> {
  static constexpr int MaxDigits = 17;
  static double Read(const char* text) { return std::strtod(text, nullptr); }
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsNanSequenceChar(char c) { return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'z') || c == '_'; }

// True when [p, last) begins with word (lower case), ignoring case.
bool StartsWith(const char* p, const char* last, const char* word) {
  for (; *word; ++word, ++p)
    if (p == last || Lower(*p) != *word) return false;
  return true;
}

std::uint64_t PowerOfTen(int n) {
  std::uint64_t power = 1;
  while (n-- > 0) power *= 10;
  return power;
}

// Digits x 10^Exponent; Digits below 10^18.
struct TDecimal {
  std::uint64_t Digits = 0;
  int Exponent = 0;
};

// The significant digits of printf("%.*e", precision - 1, magnitude) and the decimal
// exponent of the first one; magnitude positive and finite.
int PrintedDigits(double magnitude, int precision, char* digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", precision - 1, magnitude);
  // "d.ddde+XX", the point in the locale's spelling: take the digits up to the 'e'.
  const char* p = text;
  for (int count = 0; *p != 'e'; ++p)
    if (IsDigit(*p)) digits[count++] = *p;
  ++p;
  const bool negative = *p++ == '-';
  int exponent = 0;
  for (; IsDigit(*p); ++p) exponent = exponent * 10 + (*p - '0');
  return negative ? -exponent : exponent;
}

// The nearest decimals to a magnitude of any number of digits up to `most`, from one printf
// of `most` digits. Rounding those digits again gives the nearest decimal of fewer digits,
// except where they end in 5 and zeros: then the magnitude itself may lie on either side of
// that midpoint (or on it, to be rounded to even), and printf is asked again. (A midpoint
// strictly between the magnitude and its rounded digits would itself be a decimal of `most`
// digits nearer than those, which cannot be.)
class TNearestDecimals {
 public:
  TNearestDecimals(double magnitude, int most)
      : magnitude_(magnitude), most_(most), exponent_(PrintedDigits(magnitude, most, digits_)) {}

  TDecimal Nearest(int precision) const {
    char again[24];
    const char* digits = digits_;
    int exponent = exponent_;
    bool roundUp = false;
    if (precision < most_) {
      roundUp = digits_[precision] >= '5';
      if (digits_[precision] == '5') {
        bool restZero = true;
        for (int i = precision + 1; i < most_; ++i) restZero = restZero && digits_[i] == '0';
        if (restZero) {
          exponent = PrintedDigits(magnitude_, precision, again);
          digits = again;
          roundUp = false;
        }
      }
    }
    TDecimal decimal;
    for (int i = 0; i < precision; ++i)
      decimal.Digits = decimal.Digits * 10 + static_cast<std::uint64_t>(digits[i] - '0');
    if (roundUp && ++decimal.Digits == PowerOfTen(precision)) {
      decimal.Digits /= 10;
      ++exponent;
    }
    decimal.Exponent = exponent - (precision - 1);
    return decimal;
  }

  // The printed digits as one number, in units of their last digit; magnitude lies within
  // half a unit of it.
  std::uint64_t Units() const {
    std::uint64_t units = 0;
    for (int i = 0; i < most_; ++i) units = units * 10 + static_cast<std::uint64_t>(digits_[i] - '0');
    return units;
  }
  // The decimal exponent of that unit.
  int UnitExponent() const { return exponent_ - (most_ - 1); }

 private:
  double magnitude_;
  int most_;
  char digits_[24];
  int exponent_;
};

// Most decimals are plainly nearer to magnitude than half the gap to the next float, or
// plainly further: that is decided from the printed digits, and strtod is asked only
// within a millionth of the boundary (where a tie may also need its rounding to even).
// Distances are in units of the printed last digit; the printed digits stand within half a
// unit of magnitude, and the gaps are estimated to a relative 1e-8 at worst.
template <class T>
class TReadBackJudge {
 public:
  TReadBackJudge(T magnitude, const TNearestDecimals& nearest)
      : units_(nearest.Units()), unitExponent_(nearest.UnitExponent()) {
    const T up = std::nextafter(magnitude, std::numeric_limits<T>::infinity());
    const T down = std::nextafter(magnitude, T(0));
    // gap / magnitude first: units / magnitude overflows near the smallest doubles.
    const double halfUnits = static_cast<double>(units_) / 2;
    const double value = static_cast<double>(magnitude);
    // Above the largest float, decimals still round down to it up to a bound not estimated here.
    halfGapUp_ = std::isinf(up) ? -1 : static_cast<double>(up - magnitude) / value * halfUnits;
    halfGapDown_ = static_cast<double>(magnitude - down) / value * halfUnits;
  }

  enum EVerdict { ReadsBack, ReadsOther, Unsure };

  // side: +1 when the decimal lies above magnitude, -1 below, 0 when not known.
  EVerdict Judge(const TDecimal& decimal, int& side) const {
    side = 0;
    const int shift = decimal.Exponent - unitExponent_;
    if (shift < 0 || shift > 18) return Unsure;
    const std::uint64_t power = PowerOfTen(shift);
    if (decimal.Digits > std::numeric_limits<std::int64_t>::max() / power) return Unsure;
    const std::int64_t difference =
        static_cast<std::int64_t>(decimal.Digits * power) - static_cast<std::int64_t>(units_);
    constexpr double Margin = 1e-6;
    if (difference == 0) {
      const double nearer = std::min(halfGapUp_, halfGapDown_);
      return 0.5 < nearer * (1 - Margin) ? ReadsBack : Unsure;
    }
    side = difference > 0 ? 1 : -1;
    const double halfGap = difference > 0 ? halfGapUp_ : halfGapDown_;
    if (halfGap < 0) return Unsure;
    const double distance = std::fabs(static_cast<double>(difference));
    if (distance + 0.5 < halfGap * (1 - Margin)) return ReadsBack;
    if (distance - 0.5 > halfGap * (1 + Margin)) return ReadsOther;
    return Unsure;
  }

 private:
  std::uint64_t units_;
  int unitExponent_;
  double halfGapUp_, halfGapDown_;
};

template <class T>
T ReadBack(const TDecimal& decimal) {
  char text[48];
  char* end = std::to_chars(text, text + 40, decimal.Digits).ptr;
  *end++ = 'e';
  end = std::to_chars(end, text + 47, decimal.Exponent).ptr;
  *end = '\0';
  return TFloatKind<T>::Read(text);
}

// Finds a decimal of `precision` significant digits that reads back as magnitude, if there
// is one: the nearest, or when that one falls outside the values that round to magnitude,
// its neighbour on magnitude's other side. (Below a power of two the floats lie twice as
// close as above it, so the nearest decimal can miss on the narrow side where the next one
// on the wide side hits; any further decimal is further from magnitude on either side.)
// Whether decimal reads back as magnitude; side as TReadBackJudge's, known when it does not.
template <class T>
bool ReadsBack(T magnitude, const TReadBackJudge<T>& judge, const TDecimal& decimal, int& side) {
  const auto verdict = judge.Judge(decimal, side);
  if (verdict != TReadBackJudge<T>::Unsure) return verdict == TReadBackJudge<T>::ReadsBack;
  const T back = ReadBack<T>(decimal);
  side = back < magnitude ? -1 : 1;
  return back == magnitude;
}

template <class T>
bool ReadsBackAt(T magnitude, const TNearestDecimals& nearest, const TReadBackJudge<T>& judge, int precision,
                 TDecimal& found) {
  TDecimal decimal = nearest.Nearest(precision);
  int side = 0;
  if (ReadsBack(magnitude, judge, decimal, side)) {
    found = decimal;
    return true;
  }
  const std::uint64_t low = PowerOfTen(precision - 1), high = PowerOfTen(precision);
  if (side < 0) {
    if (++decimal.Digits == high) decimal = {low, decimal.Exponent + 1};
  } else {
    if (decimal.Digits == low) decimal = {high - 1, decimal.Exponent - 1};
    else --decimal.Digits;
  }
  if (!ReadsBack(magnitude, judge, decimal, side)) return false;
  found = decimal;
  return true;
}

// The fewest significant digits that read back as magnitude (positive, finite). Having a
// decimal of p digits means having one of p + 1, so the length can be bisected.
template <class T>
TDecimal Shortest(T magnitude) {
  int fewest = 1, most = TFloatKind<T>::MaxDigits;
  const TNearestDecimals nearest(magnitude, most);
  const TReadBackJudge<T> judge(magnitude, nearest);
  TDecimal best;
  ReadsBackAt(magnitude, nearest, judge, most, best);
  while (fewest < most) {
    const int middle = (fewest + most) / 2;
    TDecimal decimal;
    if (ReadsBackAt(magnitude, nearest, judge, middle, decimal)) {
      most = middle;
      best = decimal;
    } else {
      fewest = middle + 1;
    }
  }
  while (best.Digits != 0 && best.Digits % 10 == 0) {
    best.Digits /= 10;
    ++best.Exponent;
  }
  return best;
}

std::to_chars_result Put(char* first, char* last, const char* text, std::size_t length) {
  if (static_cast<std::size_t>(last - first) < length) return {last, std::errc::value_too_large};
  std::memcpy(first, text, length);
  return {first + length, std::errc()};
}

template <class T>
std::to_chars_result Write(char* first, char* last, T value) {
  if (std::isnan(value))
    return std::signbit(value) ? Put(first, last, "-nan", 4) : Put(first, last, "nan", 3);
  if (std::isinf(value)) return value < 0 ? Put(first, last, "-inf", 4) : Put(first, last, "inf", 3);
  if (value == 0) return std::signbit(value) ? Put(first, last, "-0", 2) : Put(first, last, "0", 1);

  const T magnitude = std::fabs(value);
  const TDecimal decimal = Shortest(magnitude);
  char digits[24];
  const int count =
      static_cast<int>(std::to_chars(digits, digits + sizeof digits, decimal.Digits).ptr - digits);
  const int exponent = decimal.Exponent;  // value = digits x 10^exponent
  const int scientificExponent = exponent + count - 1;
  const int scientificLength =
      count + (count > 1 ? 1 : 0) + 2 + (std::abs(scientificExponent) >= 100 ? 3 : 2);
  const int plainLength = exponent >= 0 ? count + exponent : (-exponent < count ? count + 1 : 2 - exponent);

  char text[64];
  int length = 0;
  if (value < 0) text[length++] = '-';
  if (plainLength <= scientificLength) {
    if (exponent >= 0) {
      // A whole number: its exact digits, which may differ from the shortest ones padded
      // with zeros (12345677824, not 12345678000).
      length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "%.0f",
                              static_cast<double>(magnitude));
    } else if (-exponent < count) {
      const int whole = count + exponent;
      std::memcpy(text + length, digits, static_cast<std::size_t>(whole));
      length += whole;
      text[length++] = '.';
      std::memcpy(text + length, digits + whole, static_cast<std::size_t>(count - whole));
      length += count - whole;
    } else {
      text[length++] = '0';
      text[length++] = '.';
      for (int zeros = -exponent - count; zeros > 0; --zeros) text[length++] = '0';
      std::memcpy(text + length, digits, static_cast<std::size_t>(count));
      length += count;
    }
  } else {
    text[length++] = digits[0];
    if (count > 1) {
      text[length++] = '.';
      std::memcpy(text + length, digits + 1, static_cast<std::size_t>(count - 1));
      length += count - 1;
    }
    text[length++] = 'e';
    text[length++] = scientificExponent < 0 ? '-' : '+';
    const int e = std::abs(scientificExponent);
    if (e >= 100) text[length++] = static_cast<char>('0' + e / 100);
    text[length++] = static_cast<char>('0' + e / 10 % 10);
    text[length++] = static_cast<char>('0' + e % 10);
  }
  return Put(first, last, text, static_cast<std::size_t>(length));
}

// Digits kept from a long mantissa. A value halfway between two doubles has at most 767
// significant digits, so past 800 only whether any further digit is nonzero can change the
// rounding: that is kept as one more digit 1.
constexpr int KeptDigits = 800;
// Exponents are clamped here: with at most 801 digits, anything beyond over- or underflows
// both types all the same.
constexpr std::int64_t ExponentLimit = 100000;

template <class T>
std::from_chars_result Read(const char* first, const char* last, T& value) {
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (negative) ++p;

  if (StartsWith(p, last, "inf")) {
    p += 3;
    if (StartsWith(p, last, "inity")) p += 5;
    value = negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
    return {p, std::errc()};
  }
  if (StartsWith(p, last, "nan")) {
    p += 3;
    if (p != last && *p == '(') {
      const char* q = p + 1;
      while (q != last && IsNanSequenceChar(*q)) ++q;
      if (q != last && *q == ')') p = q + 1;
    }
    value = std::copysign(std::numeric_limits<T>::quiet_NaN(), negative ? T(-1) : T(1));
    return {p, std::errc()};
  }

  const char* const wholeFirst = p;
  while (p != last && IsDigit(*p)) ++p;
  const char* const wholeLast = p;
  const char* fractionFirst = p;
  const char* fractionLast = p;
  if (p != last && *p == '.') {
    fractionFirst = ++p;
    while (p != last && IsDigit(*p)) ++p;
    fractionLast = p;
  }
  if (wholeFirst == wholeLast && fractionFirst == fractionLast) return {first, std::errc::invalid_argument};

  std::int64_t exponent = 0;
  if (p != last && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool negativeExponent = false;
    if (q != last && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
    if (q != last && IsDigit(*q)) {
      for (; q != last && IsDigit(*q); ++q)
        if (exponent < ExponentLimit) exponent = exponent * 10 + (*q - '0');
      if (negativeExponent) exponent = -exponent;
      p = q;
    }
  }
  const char* const end = p;

  // value = kept digits x 10^shift, the digits from the first nonzero one on.
  char text[KeptDigits + 32];
  int kept = 0;
  bool restNonzero = false;
  std::int64_t shift = exponent;
  auto take = [&](const char* from, const char* to, bool fraction) {
    for (const char* d = from; d != to; ++d) {
      if (kept == 0 && *d == '0') {
        if (fraction) --shift;  // a leading zero after the point
      } else if (kept < KeptDigits) {
        text[kept++] = *d;
        if (fraction) --shift;
      } else {
        restNonzero = restNonzero || *d != '0';
        if (!fraction) ++shift;
      }
    }
  };
  take(wholeFirst, wholeLast, false);
  take(fractionFirst, fractionLast, true);
  if (kept == 0) {
    value = negative ? -T(0) : T(0);
    return {end, std::errc()};
  }
  if (restNonzero) {
    text[kept++] = '1';
    --shift;
  }
  if (shift > ExponentLimit) shift = ExponentLimit;
  if (shift < -ExponentLimit) shift = -ExponentLimit;
  char* tail = text + kept;
  *tail++ = 'e';
  tail = std::to_chars(tail, text + sizeof text - 1, shift).ptr;
  *tail = '\0';

  const int savedErrno = errno;  // strtod reports ranges through errno; we do not
  const T magnitude = TFloatKind<T>::Read(text);
  errno = savedErrno;
  if (magnitude == 0 || std::isinf(magnitude)) return {end, std::errc::result_out_of_range};
  value = negative ? -magnitude : magnitude;
  return {end, std::errc()};
}

}  // namespace

#ifdef _WIN32
// mingw-w64's strtod misreads some long decimals (seen at 3.839223843572815e-239, a
// neighbour of a power of two), which our shortest search leans on. Its C++ library has
// the floating-point conversions, whose texts the standard fixes to the ones ours give:
// Windows uses those.
std::to_chars_result FloatToChars(char* first, char* last, float value) {
  return std::to_chars(first, last, value);
}
std::to_chars_result FloatToChars(char* first, char* last, double value) {
  return std::to_chars(first, last, value);
}

std::from_chars_result FloatFromChars(const char* first, const char* last, float& value) {
  return std::from_chars(first, last, value);
}
std::from_chars_result FloatFromChars(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}
#else
std::to_chars_result FloatToChars(char* first, char* last, float value) { return Write(first, last, value); }
std::to_chars_result FloatToChars(char* first, char* last, double value) { return Write(first, last, value); }

std::from_chars_result FloatFromChars(const char* first, const char* last, float& value) {
  return Read(first, last, value);
}
std::from_chars_result FloatFromChars(const char* first, const char* last, double& value) {
  return Read(first, last, value);
}
#endif

}  // namespace orr
