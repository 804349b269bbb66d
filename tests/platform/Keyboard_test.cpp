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

TEST(KeyPressed, AnswersFromTheLastSnapshotWithoutConsumingIt) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* keys = backend.get();
  TApplication app(std::move(backend));
  ResetKeyboard();
  keys->SetKeyDown(VK_UP, true);
  EXPECT_FALSE(KeyPressed(VK_UP)) << "a key held after the snapshot waits for the next one";
  TakeKeySnapshot();
  EXPECT_TRUE(KeyPressed(VK_UP));
  EXPECT_TRUE(KeyPressed(VK_UP));
  EXPECT_FALSE(KeyPressed(VK_SPACE));
  EXPECT_FALSE(KeyPressed(-1));
  EXPECT_FALSE(KeyPressed(256));
  keys->SetKeyDown(VK_UP, false);
  EXPECT_TRUE(KeyPressed(VK_UP));
  TakeKeySnapshot();
  EXPECT_FALSE(KeyPressed(VK_UP));
  ResetKeyboard();
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
