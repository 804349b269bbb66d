// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Keyboard.h"

#include <gtest/gtest.h>

#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {
namespace {

TEST(KeySnapshot, WheelPseudoKeysReportTheStepsTakenOnce) {
  struct TCase {
    int Counter;
    bool Up, Down;
  };
  const TCase cases[] = {{0, false, false}, {3, true, false}, {-2, false, true}};
  for (const auto& c : cases) {
    WheelCounter = c.Counter;
    const TKeySnapshot keys = TakeKeySnapshot();
    EXPECT_EQ(keys.Pressed(VK_F23), c.Up) << "counter " << c.Counter;
    EXPECT_EQ(keys.Pressed(VK_F24), c.Down) << "counter " << c.Counter;
    EXPECT_EQ(WheelCounter, 0) << "the snapshot takes the steps";
    EXPECT_FALSE(TakeKeySnapshot().Pressed(VK_F23)) << "a turn shows in one snapshot only";
  }
}

TEST(KeySnapshot, HoldsTheKeysAsTheyWereWhenTaken) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* keys = backend.get();
  TApplication app(std::move(backend));
  ResetKeyboard();
  keys->SetKeyDown(VK_UP, true);
  const TKeySnapshot held = TakeKeySnapshot();
  keys->SetKeyDown(VK_UP, false);
  EXPECT_TRUE(held.Pressed(VK_UP)) << "a key let go after the snapshot still reads held in it";
  EXPECT_FALSE(held.Pressed(VK_SPACE));
  EXPECT_FALSE(held.Pressed(-1));
  EXPECT_FALSE(held.Pressed(256));
  EXPECT_FALSE(TakeKeySnapshot().Pressed(VK_UP));
}

TEST(KeySnapshot, WheelEventsFeedTheCounter) {
  ResetKeyboard();
  AddWheelSteps(2);
  AddWheelSteps(-5);
  EXPECT_EQ(WheelCounter, -3);
  EXPECT_TRUE(TakeKeySnapshot().Pressed(VK_F24));
}

}  // namespace
}  // namespace orr
