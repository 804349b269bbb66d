// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PixelCombines.h"

#include <gtest/gtest.h>

namespace orr {
namespace {

TEST(ColorKeyCombine, KeepsTheDestinationOnlyForTheExactKey) {
  struct TCase {
    TColor32 Source, Expected;
  };
  const TCase cases[] = {
      {0xFFFF0080, 0x12345678}, {0x00FF0080, 0x00FF0080}, {0xFFFF0081, 0xFFFF0081}, {0xFF000000, 0xFF000000}};
  for (const auto& c : cases) {
    TColor32 destination = 0x12345678;
    ColorKeyCombine(c.Source, destination, 255);
    EXPECT_EQ(destination, c.Expected) << std::hex << c.Source;
  }
  EXPECT_EQ(ColorKey, 0xFFFF0080u);
}

}  // namespace
}  // namespace orr
