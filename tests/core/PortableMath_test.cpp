#include "core/PortableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace orr {
namespace {

// Distance in units of the last place between two doubles of the same sign.
std::int64_t UlpsApart(double a, double b) {
  std::int64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x > y ? x - y : y - x;
}

// The C library's double functions are the oracle: within one unit in the last place of
// them, and the float forms rounded exactly as the oracle's double rounds (the C library's own
// float functions are not: glibc's atan2f differs from the rounded true value in about one
// case in six).
TEST(PortableMath, AgreesWithTheLibraryToTheLastBitOrOneUnitOnAnglesTheRulesMeet) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> degrees(-1080, 1080), coordinate(-300, 300);
  for (int i = 0; i < 200000; ++i) {
    const double a = degrees(random) * 3.14159265358979323846 / 180;
    ASSERT_LE(UlpsApart(Sin(a), std::sin(a)), 1) << a;
    ASSERT_LE(UlpsApart(Cos(a), std::cos(a)), 1) << a;
    const float f = static_cast<float>(a);
    ASSERT_EQ(SinF(f), static_cast<float>(std::sin(double{f}))) << f;
    ASSERT_EQ(CosF(f), static_cast<float>(std::cos(double{f}))) << f;
    const float y = static_cast<float>(coordinate(random)), x = static_cast<float>(coordinate(random));
    ASSERT_LE(UlpsApart(ArcTan2(y, x), std::atan2(double{y}, double{x})), 1) << y << ", " << x;
    ASSERT_EQ(ArcTan2F(y, x), static_cast<float>(std::atan2(double{y}, double{x}))) << y << ", " << x;
  }
}

TEST(PortableMath, EdgesKeepTheLibrarysSignsAndSpecialValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double pi = 3.14159265358979323846;
  struct TCase {
    double Y, X, Expected;
  };
  const TCase cases[] = {
      {0.0, 1.0, 0.0},        {-0.0, 1.0, -0.0},       {0.0, -1.0, pi},   {-0.0, -1.0, -pi},
      {0.0, -0.0, pi},        {1.0, 0.0, pi / 2},      {-1.0, 0.0, -pi / 2}, {1.0, -inf, pi},
      {1.0, inf, 0.0},        {inf, inf, pi / 4},      {-inf, -inf, -3 * pi / 4}, {1e300, 1e-300, pi / 2},
      {1e-300, 1e300, 0.0}, {1.0, 1.0, pi / 4},     {-1.0, -1.0, -3 * pi / 4},
  };
  for (const TCase& c : cases) {
    const double got = ArcTan2(c.Y, c.X);
    EXPECT_EQ(got, std::atan2(c.Y, c.X)) << c.Y << ", " << c.X;
    EXPECT_EQ(std::signbit(got), std::signbit(c.Expected)) << c.Y << ", " << c.X;
  }
  EXPECT_TRUE(std::isnan(ArcTan2(std::nan(""), 1.0)));
  EXPECT_TRUE(std::isnan(Sin(inf)));
  EXPECT_TRUE(std::isnan(Cos(-inf)));
  EXPECT_TRUE(std::signbit(Sin(-0.0)));
  EXPECT_EQ(Cos(0.0), 1.0);
  EXPECT_EQ(SinF(0.0f), 0.0f);
  // Whole quarter turns: the zeros are within a unit of zero at that scale, the ones exact.
  EXPECT_EQ(Sin(pi / 2), 1.0);
  EXPECT_EQ(Cos(pi), -1.0);
  EXPECT_EQ(Sin(-pi / 2), -1.0);
}

}  // namespace
}  // namespace orr
