// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/GameSteps.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {
namespace {

struct TCounter {
  int Steps = 0;
  std::vector<int>* Order = nullptr;
  int Id = 0;
  std::function<void()> During;
  void Step() {
    ++Steps;
    if (Order) Order->push_back(Id);
    if (During) During();
  }
};

TStepHandler HandlerOf(TCounter& c) { return StepHandlerOf<&TCounter::Step>(&c); }

class GameSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStepHandlers();
    GameHalted = false;
  }
  void TearDown() override { ResetStepHandlers(); }
  static void Progress(double seconds) { AdvanceSteps(seconds); }
  // Just over a hundredth: exactly one step, whatever the rounding.
  static constexpr double OneStep = 0.0101;
};

TEST_F(GameSteps, RunsOneStepPerWholeHundredthAndCarriesTheRest) {
  TCounter counter;
  AddStepHandler(HandlerOf(counter));
  Progress(0.025);
  EXPECT_EQ(counter.Steps, 2);
  EXPECT_NEAR(StepAccumulator, 0.005f, 1e-6);
  Progress(0.004);
  EXPECT_EQ(counter.Steps, 2);
  EXPECT_NEAR(StepAccumulator, 0.009f, 1e-6);
  Progress(1.0);
  EXPECT_GE(counter.Steps, 101);  // 2 + about 100
  EXPECT_LE(counter.Steps, 103);
}

TEST_F(GameSteps, AWholeStepIsAnExactHundredthOfTheSinglePrecisionAccumulator) {
  // The accumulator holds single precision; a float of 0.01 s lies just below 0.01 and is
  // not yet a whole step. What is left after each step is rounded to single precision.
  struct TCase {
    std::vector<double> Events;
    int Steps;
    float Left;
  };
  const TCase cases[] = {
      {{0.01}, 0, 0.01f}, {{0.01, 0.01}, 1, 0.01f},     {{0.02}, 1, 0.01f},
      {{0.03}, 2, 0.01f}, {{0.0100001}, 1, 0.0000001f}, {{0.5}, 50, 0.0f},
  };
  for (const auto& c : cases) {
    ResetStepHandlers();
    TCounter counter;
    AddStepHandler(HandlerOf(counter));
    for (double seconds : c.Events) Progress(seconds);
    EXPECT_EQ(counter.Steps, c.Steps) << c.Events.size() << " x " << c.Events[0];
    EXPECT_NEAR(StepAccumulator, c.Left, 1e-6) << c.Events.size() << " x " << c.Events[0];
  }
}

TEST_F(GameSteps, NothingRunsOrAccumulatesWhileHalted) {
  TCounter counter;
  AddStepHandler(HandlerOf(counter));
  Progress(0.003);
  GameHalted = true;
  for (int i = 0; i < 50; ++i) Progress(1.0);
  EXPECT_EQ(counter.Steps, 0);
  EXPECT_NEAR(StepAccumulator, 0.003f, 1e-7);
}

TEST_F(GameSteps, HandlersRunInRegistrationOrderAndRemoveTheFirstEqualEntry) {
  std::vector<int> order;
  TCounter a{0, &order, 1, {}}, b{0, &order, 2, {}};
  AddStepHandler(HandlerOf(a));
  AddStepHandler(HandlerOf(b));
  AddStepHandler(HandlerOf(a));
  AddStepHandler({});  // no function: skipped
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));
  RemoveStepHandler(HandlerOf(a));
  ASSERT_EQ(StepHandlers.size(), 3u);
  EXPECT_EQ(StepHandlers[0], HandlerOf(b));
  EXPECT_EQ(StepHandlers[1], HandlerOf(a));
  TCounter stranger;
  RemoveStepHandler(HandlerOf(stranger));
  EXPECT_EQ(StepHandlers.size(), 3u);
  order.clear();
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST_F(GameSteps, RemovalDuringAStepNeverCallsARemovedHandlerNorSkipsOne) {
  struct TCase {
    const char* What;
    int Remover, Removed;  // indexes among four handlers 0..3
    std::vector<int> FirstStep, SecondStep;
    bool AddsOne = false;    // the remover then adds handler 4
    bool AddsFirst = false;  // the remover adds handler 4 before it removes
  };
  const TCase cases[] = {
      {"an earlier one", 2, 0, {0, 1, 2, 3}, {1, 2, 3}},
      {"itself", 1, 1, {0, 1, 2, 3}, {0, 2, 3}},
      {"a later one", 1, 2, {0, 1, 3}, {0, 1, 3}},
      {"the last one", 0, 3, {0, 1, 2}, {0, 1, 2}},
      {"the last one, adding one", 0, 3, {0, 1, 2}, {0, 1, 2, 4}, true},
      {"one added in the same step", 0, 4, {0, 1, 2, 3}, {0, 1, 2, 3}, false, true},
  };
  for (const auto& c : cases) {
    ResetStepHandlers();
    std::vector<int> order;
    std::vector<TCounter> counters(5);
    for (int i = 0; i < 5; ++i) {
      counters[i].Order = &order;
      counters[i].Id = i;
    }
    bool done = false;
    counters[c.Remover].During = [&] {
      if (!done && c.AddsFirst) AddStepHandler(HandlerOf(counters[4]));
      if (!done) RemoveStepHandler(HandlerOf(counters[c.Removed]));
      if (!done && c.AddsOne) AddStepHandler(HandlerOf(counters[4]));
      done = true;
    };
    for (int i = 0; i < 4; ++i) AddStepHandler(HandlerOf(counters[i]));
    Progress(OneStep);
    EXPECT_EQ(order, c.FirstStep) << c.What;
    order.clear();
    Progress(OneStep);
    EXPECT_EQ(order, c.SecondStep) << c.What;
  }
}

TEST_F(GameSteps, AHandlerAddedDuringAStepRunsFromTheNextStep) {
  std::vector<int> order;
  TCounter late{0, &order, 9, {}};
  TCounter adder{0, &order, 1, {}};
  adder.During = [&] {
    if (adder.Steps == 1) AddStepHandler(HandlerOf(late));
  };
  AddStepHandler(HandlerOf(adder));
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1}));
  Progress(OneStep);
  EXPECT_EQ(order, (std::vector<int>{1, 1, 9}));
}

TEST_F(GameSteps, EveryHandlerOfAStepIsHandedTheKeysHeldWhenTheStepBegan) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* keyboard = backend.get();
  TApplication app(std::move(backend));
  struct TReader {
    THeadlessBackend* Keyboard;
    std::vector<bool> Saw;
    void Step(const TKeySnapshot& keys) {
      Saw.push_back(keys.Pressed(VK_UP));
      Keyboard->SetKeyDown(VK_UP, false);  // let go in the middle of the step
    }
  } first{keyboard, {}}, second{keyboard, {}};
  AddStepHandler(StepHandlerOf<&TReader::Step>(&first));
  AddStepHandler(StepHandlerOf<&TReader::Step>(&second));
  keyboard->SetKeyDown(VK_UP, true);
  RunStep();
  RunStep();
  EXPECT_EQ(first.Saw, (std::vector<bool>{true, false}));
  EXPECT_EQ(second.Saw, (std::vector<bool>{true, false})) << "the same keys for the whole step";
}

}  // namespace
}  // namespace orr
