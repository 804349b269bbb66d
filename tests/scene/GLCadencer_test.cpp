// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLCadencer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Application.h"
#include "scene/GLScene.h"

namespace orr {
namespace {

struct TCall {
  double Delta, NewTime;
};

struct CadencerTest : ::testing::Test {
  TManualTimeSource Clock;
  std::vector<TCall> Calls;
  void Record(TGLCadencer& c) {
    c.OnProgress = [this](TGLCadencer*, double d, double t) { Calls.push_back({d, t}); };
  }
};

TEST_F(CadencerTest, FirstProgressAfterALongLoadReportsTheOneSecondCap) {
  TGLCadencer cad(Clock);
  cad.SetMode(cmManual);
  cad.MaxDeltaTime = 1;
  Record(cad);
  Clock.Advance(3);
  cad.Progress();
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_DOUBLE_EQ(Calls[0].Delta, 1);
  EXPECT_DOUBLE_EQ(Calls[0].NewTime, 1);
  // The dropped two seconds are gone for good: the origin moved.
  Clock.Advance(0.25);
  cad.Progress();
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_NEAR(Calls[1].Delta, 0.25, 1e-9);
  EXPECT_NEAR(Calls[1].NewTime, 1.25, 1e-9);
}

TEST_F(CadencerTest, APauseIsNotCountedAsElapsedTime) {
  TGLCadencer cad(Clock);
  cad.SetMode(cmManual);
  Record(cad);
  Clock.Advance(0.5);
  cad.Progress();
  cad.SetEnabled(false);
  Clock.Advance(10);
  cad.Progress();  // disabled: nothing
  EXPECT_EQ(Calls.size(), 1u);
  cad.SetEnabled(true);
  Clock.Advance(0.1);
  cad.Progress();
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_NEAR(Calls[1].Delta, 0.1, 1e-9);
  EXPECT_NEAR(Calls[1].NewTime, 0.6, 1e-9);
}

TEST_F(CadencerTest, FixedStepsMinimumAndMultiplier) {
  TGLCadencer cad(Clock);
  cad.SetMode(cmManual);
  cad.FixedDeltaTime = 0.1;
  Record(cad);
  Clock.Advance(0.05);
  cad.Progress();  // below the fixed step: waits
  EXPECT_TRUE(Calls.empty());
  Clock.Advance(0.3);
  cad.Progress();  // 0.35 s: three steps of 0.1, the rest carries over
  ASSERT_EQ(Calls.size(), 3u);
  for (auto& c : Calls) EXPECT_DOUBLE_EQ(c.Delta, 0.1);
  EXPECT_NEAR(cad.CurrentTime(), 0.3, 1e-9);

  TGLCadencer fast(Clock);
  fast.SetMode(cmManual);
  fast.TimeMultiplier = 2;
  fast.MinDeltaTime = 0.5;
  Calls.clear();
  Record(fast);
  Clock.Advance(0.2);
  fast.Progress();  // 0.4 s of cadencer time: below the minimum
  EXPECT_TRUE(Calls.empty());
  Clock.Advance(0.1);
  fast.Progress();
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_NEAR(Calls[0].Delta, 0.6, 1e-9);
}

TEST_F(CadencerTest, SceneProgressesBeforeTheEventAndReentryIsSkipped) {
  TGLScene scene;
  TGLCadencer cad(Clock);
  cad.SetMode(cmManual);
  cad.Scene = &scene;
  int inner = 0;
  cad.OnProgress = [&](TGLCadencer* sender, double, double) {
    ++inner;
    Clock.Advance(1);
    sender->Progress();  // re-entry: skipped
  };
  Clock.Advance(0.1);
  cad.Progress();
  EXPECT_EQ(inner, 1);
}

TEST_F(CadencerTest, IdleModeKeepsTheLoopIdlingAndExceptionsReachTheApplication) {
  TApplication app(std::make_unique<THeadlessBackend>());
  std::vector<std::string> handled;
  app.OnException = [&](TComponent*, const std::exception& e) { handled.push_back(e.what()); };
  {
    TGLCadencer cad(Clock);
    cad.SetMode(cmApplicationIdle);
    ASSERT_TRUE(app.OnIdle);
    Record(cad);
    Clock.Advance(0.2);
    bool done = true;
    app.OnIdle(done);
    EXPECT_FALSE(done) << "asks to be called again";
    EXPECT_EQ(Calls.size(), 1u);
    // Idle mode: the exception propagates to the idle processing; still enabled.
    cad.OnProgress = [](TGLCadencer*, double, double) { throw std::runtime_error("boom"); };
    Clock.Advance(0.2);
    EXPECT_THROW(app.OnIdle(done), std::runtime_error);
    EXPECT_TRUE(cad.Enabled());
    // ASAP mode: handled by the application, the cadencer is disabled.
    cad.SetMode(cmASAP);
    Clock.Advance(0.2);
    app.OnIdle(done);
    EXPECT_FALSE(cad.Enabled());
    EXPECT_EQ(handled, std::vector<std::string>{"boom"});
    cad.SetMode(cmManual);
    EXPECT_FALSE(app.OnIdle);
  }
}

}  // namespace
}  // namespace orr
