// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ThreadedTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Application.h"

namespace orr {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class ThreadedTimerTest : public ::testing::Test {
 protected:
  ThreadedTimerTest() : app_(std::make_unique<THeadlessBackend>()) {
    timer_ = TComponent::Create<TThreadedTimer>(&app_);
    timer_->OnTimer = [this](TThreadedTimer* sender) {
      EXPECT_EQ(sender, timer_);
      EXPECT_TRUE(app_.IsMainThread());
      ticks_.push_back(Clock::now());
    };
  }
  ~ThreadedTimerTest() override { app_.Shutdown(); }

  // Serves hand-overs on this (the main) thread for a while.
  void Pump(milliseconds span) {
    auto end = Clock::now() + span;
    while (Clock::now() < end) {
      app_.CheckSynchronize();
      app_.WaitForSynchronize(1);
    }
  }
  // Serves hand-overs until `count` ticks arrived or `limit` passed.
  void PumpUntilTicks(size_t count, milliseconds limit = milliseconds(5000)) {
    auto end = Clock::now() + limit;
    while (ticks_.size() < count && Clock::now() < end) {
      app_.CheckSynchronize();
      app_.WaitForSynchronize(1);
    }
  }

  TApplication app_;
  TThreadedTimer* timer_;
  std::vector<Clock::time_point> ticks_;
};

TEST_F(ThreadedTimerTest, StartsDisabledWithTheStoredDefaults) {
  EXPECT_FALSE(timer_->Enabled());
  EXPECT_EQ(timer_->Interval(), 1000);
  EXPECT_FALSE(timer_->AllowZero);
  EXPECT_EQ(timer_->ThreadPriority(), TThreadPriority::Normal);
  Pump(milliseconds(50));
  EXPECT_TRUE(ticks_.empty());
}

TEST_F(ThreadedTimerTest, TicksOncePerIntervalOnTheMainThread) {
  timer_->SetInterval(40);
  auto start = Clock::now();
  timer_->SetEnabled(true);
  PumpUntilTicks(3);
  ASSERT_EQ(ticks_.size(), 3u);
  EXPECT_GE(ticks_[0] - start, milliseconds(38));
  EXPECT_GE(ticks_[1] - ticks_[0], milliseconds(38));
  EXPECT_GE(ticks_[2] - ticks_[1], milliseconds(38));
}

TEST_F(ThreadedTimerTest, IntervalZeroRunsOnlyWithAllowZero) {
  timer_->SetInterval(0);
  timer_->SetEnabled(true);
  EXPECT_TRUE(timer_->Enabled());
  Pump(milliseconds(100));
  EXPECT_TRUE(ticks_.empty());

  timer_->SetEnabled(false);
  timer_->AllowZero = true;
  timer_->SetEnabled(true);
  PumpUntilTicks(20, milliseconds(2000));
  EXPECT_GE(ticks_.size(), 20u);  // back to back, as fast as the main thread takes them
}

TEST_F(ThreadedTimerTest, ANegativeIntervalNeverTicksUntilAUsableOneIsSet) {
  timer_->SetInterval(-1);
  timer_->SetEnabled(true);
  Pump(milliseconds(100));
  EXPECT_TRUE(ticks_.empty());
  timer_->SetInterval(20);  // the new period starts at once
  PumpUntilTicks(1, milliseconds(2000));
  EXPECT_EQ(ticks_.size(), 1u);
}

TEST_F(ThreadedTimerTest, DisablingMidPeriodAndReenablingStartsAFullPeriod) {
  timer_->SetInterval(120);
  timer_->SetEnabled(true);
  Pump(milliseconds(60));
  timer_->SetEnabled(false);
  Pump(milliseconds(200));
  EXPECT_TRUE(ticks_.empty());
  auto reenabled = Clock::now();
  timer_->SetEnabled(true);
  PumpUntilTicks(1);
  ASSERT_EQ(ticks_.size(), 1u);
  EXPECT_GE(ticks_[0] - reenabled, milliseconds(115));
}

TEST_F(ThreadedTimerTest, ChangingTheIntervalRestartsThePeriod) {
  timer_->SetInterval(100);
  timer_->SetEnabled(true);
  Pump(milliseconds(70));
  auto changed = Clock::now();
  timer_->SetInterval(101);
  EXPECT_TRUE(timer_->Enabled());
  PumpUntilTicks(1);
  ASSERT_EQ(ticks_.size(), 1u);
  EXPECT_GE(ticks_[0] - changed, milliseconds(96));
}

TEST_F(ThreadedTimerTest, AThrowingHandlerIsSilencedAndTheNextTickStillComes) {
  int calls = 0;
  bool hookCalled = false;
  app_.OnException = [&](TComponent*, const std::exception&) { hookCalled = true; };
  timer_->OnTimer = [&](TThreadedTimer*) {
    ++calls;
    ticks_.push_back(Clock::now());
    throw std::runtime_error("tick failed");
  };
  timer_->SetInterval(30);
  timer_->SetEnabled(true);
  PumpUntilTicks(2);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(hookCalled);
}

TEST_F(ThreadedTimerTest, TicksNeverQueueUpWhileTheMainThreadIsBusy) {
  timer_->SetInterval(5);
  timer_->SetEnabled(true);
  std::this_thread::sleep_for(milliseconds(150));  // many periods pass without serving
  app_.CheckSynchronize();
  EXPECT_EQ(ticks_.size(), 1u);  // only the one pending hand-over ran
}

TEST_F(ThreadedTimerTest, DestructionWhileATickWaitsForTheMainThreadEndsWithoutRunningIt) {
  timer_->SetInterval(5);
  timer_->SetEnabled(true);
  std::this_thread::sleep_for(milliseconds(60));  // the worker now blocks in its hand-over
  app_.FreeComponent(timer_);                     // returns only after the worker ended
  EXPECT_TRUE(ticks_.empty());
  app_.CheckSynchronize();
  EXPECT_TRUE(ticks_.empty());
}

TEST_F(ThreadedTimerTest, ATickHandedOverBeforeDisablingDoesNotRun) {
  timer_->SetInterval(5);
  timer_->SetEnabled(true);
  std::this_thread::sleep_for(milliseconds(30));  // the worker now waits in its hand-over
  timer_->SetEnabled(false);
  Pump(milliseconds(50));
  EXPECT_TRUE(ticks_.empty());
}

TEST_F(ThreadedTimerTest, NoTickRunsOnceTheOwnerIsBeingDestroyed) {
  timer_->SetInterval(5);
  timer_->SetEnabled(true);
  std::this_thread::sleep_for(milliseconds(30));
  app_.MarkDestroying();
  Pump(milliseconds(50));
  EXPECT_TRUE(ticks_.empty());
}

// The page's timers have no thread: a frame task asks the schedule each frame. The same
// rules as the worker's, on a clock the test sets: a full period after every (re)start and
// every tick, no ticks while suspended, suspended time not counted, a negative period never.
TEST(TimerSchedule, TicksLikeTheWorkerOnAFrameClock) {
  TTimerSchedule s;
  EXPECT_FALSE(s.Due(5000, 100)) << "created suspended";
  s.Restart(1000);
  s.Resume(1000);
  EXPECT_FALSE(s.Due(1099, 100));
  EXPECT_TRUE(s.Due(1100, 100));
  EXPECT_FALSE(s.Due(1100, 100)) << "once per period";
  EXPECT_FALSE(s.Due(1199, 100));
  EXPECT_TRUE(s.Due(1250, 100)) << "a late frame ticks once";
  EXPECT_FALSE(s.Due(1349, 100)) << "and the next period starts at that tick";
  s.Suspend(1300);
  EXPECT_FALSE(s.Due(9000, 100));
  s.Resume(9000);
  EXPECT_FALSE(s.Due(9049, 100)) << "50 ms were left when suspended";
  EXPECT_TRUE(s.Due(9050, 100));
  s.Restart(9060);
  EXPECT_FALSE(s.Due(9150, 100)) << "a restart starts a full period";
  EXPECT_TRUE(s.Due(9160, 100));
  EXPECT_FALSE(s.Due(99999, -1)) << "a negative period never runs out";
  EXPECT_TRUE(s.Due(9160, 0)) << "a zero period is due every frame";
}

}  // namespace
}  // namespace orr
