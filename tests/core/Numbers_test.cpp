// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace orr {
namespace {

TEST(WrapInRange, FoldsLikeTheStepwiseRule) {
  // The rule as written: step by step until v lies in [low, high].
  auto stepwise = [](std::int64_t v, std::int64_t low, std::int64_t high) {
    if (low == high) return low;
    while (v < low || v > high) {
      if (v < low) v = high - std::llabs(low - v - 1);
      else if (v > high) v = v - high - 1 + low;
    }
    return v;
  };
  for (auto [low, high] :
       {std::pair{33, 126}, std::pair{0, 359}, std::pair{1, 8}, std::pair{-5, 5}, std::pair{0, 0}})
    for (std::int64_t v = -1000; v <= 1000; v += 7)
      ASSERT_EQ(WrapInRange(v, low, high), stepwise(v, low, high)) << v << " into " << low << ".." << high;
  EXPECT_EQ(WrapInRange(-11, 33, 126), 83);
  EXPECT_EQ(WrapInRange(203, 33, 126), 109);
  EXPECT_EQ(WrapInRange(std::numeric_limits<std::int32_t>::min(), 33, 126),
            stepwise(std::numeric_limits<std::int32_t>::min() % 94 - 94 * 3, 33, 126));
  EXPECT_THROW(WrapInRange(0, 0, -1), std::invalid_argument) << "an empty range must not hang";
}

TEST(WrapAngle, FoldsIntoTheRangeAndReflectsTheGapAboveTheTop) {
  const std::pair<float, float> cases[] = {{361, 1},  {-1, 359},       {359.5f, 0.5f},
                                           {-3, 357}, {-0.5f, 358.5f}, {720, 0},
                                           {90, 90},  {INFINITY, 0},   {-INFINITY, 0}};
  for (auto [in, out] : cases) EXPECT_FLOAT_EQ(WrapAngle(in, 0, 359), out) << in;
  // Angles too large for a single to step down by 360 still end, in the range: 2^40 is
  // 16 above a multiple of 360 and -2^40 344 above one.
  EXPECT_FLOAT_EQ(WrapAngle(1099511627776.0f, 0, 359), 16);
  EXPECT_FLOAT_EQ(WrapAngle(-1099511627776.0f, 0, 359), 344);
  // 2^28 is 16 above a multiple of 360; stepping down by 360 there rounds at every step.
  EXPECT_FLOAT_EQ(WrapAngle(268435456.0f, 0, 359), 16);
  EXPECT_EQ(WrapAngle(77, 5, 5), 5);
}

TEST(NumberTexts, Integers) {
  const std::vector<std::pair<std::string, std::int32_t>> good = {
      {"0", 0}, {"007", 7}, {"-01", -1}, {"+12", 12}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToInt(text), value) << text;
  for (const std::string text :
       {"", "-", "+", "1.0", "2147483648", "-2147483649", "12a", "$1F", "0x1", "1e3"})
    EXPECT_THROW(StrToInt(text), EConvertError) << text;
}

TEST(NumberTexts, DecimalNumbersAreStoredIn32Bits) {
  const std::vector<std::pair<std::string, float>> good = {
      {"1.1", 1.1f},   {"-2.5e3", -2500.0f}, {".5", 0.5f},        {"5.", 5.0f}, {"+3", 3.0f},
      {"1E-2", 0.01f}, {"1e-50", 0.0f},      {"3.4e38", 3.4e38f}, {"0", 0.0f},  {"00012.50", 12.5f}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToSingle(text), value) << text;
  for (const std::string text :
       {"", ".", "-", "1e", "1e+", "abc", "1.2.3", "inf", "nan", "1e39", "-1e40", "1,5", "1 "})
    EXPECT_THROW(StrToSingle(text), EConvertError) << text;
}

TEST(NumberTexts, LogFormatHasFifteenSignificantDigits) {
  const std::vector<std::pair<double, std::string>> cases = {{1.1f, "1.10000002384186"},
                                                             {1.0, "1"},
                                                             {-2.0, "-2"},
                                                             {123.5, "123.5"},
                                                             {1e20, "1E20"},
                                                             {1.5e-7, "1.5E-7"},
                                                             {0.0001, "0.0001"},
                                                             {0.00001, "1E-5"},
                                                             {1e14, "100000000000000"},
                                                             {1e15, "1E15"},
                                                             {0.0, "0"},
                                                             {0.25f, "0.25"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FloatToStr(value), text) << value;
}

TEST(Clamps, ClampsTestTheLowerBoundFirst) {
  EXPECT_EQ(ClampInt(-5, 0, 9), 0);
  EXPECT_EQ(ClampInt(12, 0, 9), 9);
  EXPECT_EQ(ClampInt(4, 0, 9), 4);
  EXPECT_EQ(ClampInt(5, 7, 3), 7);  // an empty range: below lo wins
  EXPECT_EQ(ClampInt(8, 7, 3), 3);  // otherwise above hi gives hi
  EXPECT_EQ(ClampFloat(5.0L, 7, 3), 7);
  EXPECT_EQ(ClampFloat(8.0L, 7, 3), 3);
  EXPECT_EQ(ClampFloat(7.25L, 7, 23), 7.25L);
}

TEST(Rectangles, PointsInsideAndOnTheEdges) {
  const TRect r = RectFromSize(2, 3, 10, 20);
  EXPECT_EQ(r.Left, 2);
  EXPECT_EQ(r.Top, 3);
  EXPECT_EQ(r.Right, 12);
  EXPECT_EQ(r.Bottom, 23);
  struct TCase {
    TPoint P;
    bool Inclusive, Expected;
  };
  const TCase cases[] = {{{2, 3}, true, true},     {{2, 3}, false, false}, {{12, 23}, true, true},
                         {{12, 23}, false, false}, {{5, 5}, false, true},  {{13, 5}, true, false},
                         {{5, 2}, true, false}};
  for (const auto& c : cases)
    EXPECT_EQ(PointInRect(c.P, r, c.Inclusive), c.Expected) << c.P.X << "," << c.P.Y << " " << c.Inclusive;
  EXPECT_TRUE(PointsEqual({1, 2}, {1, 2}));
  EXPECT_FALSE(PointsEqual({1, 2}, {2, 1}));
}

}  // namespace
}  // namespace orr
