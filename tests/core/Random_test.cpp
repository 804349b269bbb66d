// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Random.h"

#include <gtest/gtest.h>

namespace orr {
namespace {

TEST(Random, FollowsTheLinearCongruentialFormulas) {
  // seed' = seed * 134775813 + 1 (mod 2^32); draw below n = (seed' * n) >> 32.
  RandSeed = 0;
  EXPECT_EQ(Random(100), 0);  // seed' = 1: 100 >> 32 = 0
  EXPECT_EQ(RandSeed, 1u);
  EXPECT_EQ(Random(1000), 31);  // seed' = 134775814: 134775814000 / 2^32 = 31.38
  EXPECT_EQ(RandSeed, 134775814u);
  // 134775814 * 134775813 + 1 = 18164519904586783 -> mod 2^32 = 3698175007
  EXPECT_EQ(Random(10), 8);  // 36981750070 / 2^32 = 8.61
  EXPECT_EQ(RandSeed, 3698175007u);

  RandSeed = 0xFFFFFFFFu;  // wraps: 0xFFFFFFFF * 134775813 + 1 = -134775812 mod 2^32
  double r = RandomReal();
  EXPECT_EQ(RandSeed, 4160191484u);
  EXPECT_DOUBLE_EQ(r, 4160191484.0 / 4294967296.0);
}

TEST(Random, DrawsStayInRange) {
  RandSeed = 12345;
  for (int i = 0; i < 10000; ++i) {
    int v = Random(7);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 7);
    double r = RandomReal();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

}  // namespace
}  // namespace orr
