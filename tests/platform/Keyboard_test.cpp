#include "platform/Keyboard.h"

#include <gtest/gtest.h>

#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {
namespace {

TEST(KeyPressed, WheelPseudoKeysReportAPendingCountOnce) {
  struct TCase {
    int Counter;
    int Key;
    bool Pressed;
    int CounterAfter;
  };
  const TCase cases[] = {
      {0, VK_F23, false, 0}, {3, VK_F23, true, 0},  {-2, VK_F23, false, -2},
      {0, VK_F24, false, 0}, {-2, VK_F24, true, 0}, {3, VK_F24, false, 3},
  };
  for (const auto& c : cases) {
    WheelCounter = c.Counter;
    EXPECT_EQ(KeyPressed(c.Key), c.Pressed) << "counter " << c.Counter << " key " << c.Key;
    EXPECT_EQ(WheelCounter, c.CounterAfter);
  }
  WheelCounter = 3;
  EXPECT_TRUE(KeyPressed(VK_F23));
  EXPECT_FALSE(KeyPressed(VK_F23));
  WheelCounter = 0;
}

TEST(KeyPressed, ReadsTheKeyStateWithoutConsumingIt) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* keys = backend.get();
  TApplication app(std::move(backend));
  EXPECT_FALSE(KeyPressed(VK_UP));
  keys->SetKeyDown(VK_UP, true);
  EXPECT_TRUE(KeyPressed(VK_UP));
  EXPECT_TRUE(KeyPressed(VK_UP));
  EXPECT_FALSE(KeyPressed(VK_SPACE));
  keys->SetKeyDown(VK_UP, false);
  EXPECT_FALSE(KeyPressed(VK_UP));
}

TEST(KeyPressed, WheelEventsFeedTheCounter) {
  WheelCounter = 0;
  AddWheelSteps(2);
  AddWheelSteps(-5);
  EXPECT_EQ(WheelCounter, -3);
  EXPECT_TRUE(KeyPressed(VK_F24));
  EXPECT_EQ(WheelCounter, 0);
}

}  // namespace
}  // namespace orr
