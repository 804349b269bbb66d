// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UProgram.h"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "ProgramHarness.h"
#include "core/Random.h"

namespace orr::test {
namespace {

using ::testing::ElementsAre;

struct TBoxLog {
  std::vector<std::string> Captions;
  std::vector<std::string> Texts;
};

// A headless backend whose warning boxes answer `answer`; the loop ends at once because a
// quit is queued before the program runs.
std::unique_ptr<THeadlessBackend> MakeBackend(TModalResult answer, TBoxLog* boxes, bool quitAtStart = true) {
  auto backend = std::make_unique<THeadlessBackend>();
  backend->MessageBoxResponder = [answer, boxes](const std::string& caption, const std::string& text,
                                                 TMsgBoxKind kind) {
    if (boxes != nullptr) {
      boxes->Captions.push_back(caption);
      boxes->Texts.push_back(text);
    }
    return kind == TMsgBoxKind::Plain ? TModalResult::Ok : answer;
  };
  if (quitAtStart) backend->PostQuit();
  return backend;
}

std::vector<TCreationStep> MainAndFourProbes() {
  return {MainModuleStep(), ProbeStep<2>(), ProbeStep<3>(), ProbeStep<4>(), ProbeStep<5>()};
}

TEST(Program, CreatesInOrderAndDestroysInReverseWithTheMainModuleLast) {
  ResetProbes();
  EXPECT_EQ(RunProgram(MakeBackend(TModalResult::Cancel, nullptr), MainAndFourProbes()), 0);
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "create 4", "create 5", "destroy 5", "destroy 4",
                                 "destroy 3", "destroy 2"));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 7u);
  EXPECT_EQ(log[log.size() - 4], "probe 3 destroyed");
  EXPECT_EQ(log[log.size() - 3], "probe 2 destroyed");
  EXPECT_EQ(log[log.size() - 2], "Main module destruction end");
  EXPECT_EQ(log.back(), "--End of Log--");
  // The units' global state is released after the modules.
  EXPECT_TRUE(EventLog.empty());
  EXPECT_TRUE(WorkFolder.empty());
}

TEST(Program, LogStartsWithTheFiveMainModuleLinesInTheirFormat) {
  ResetProbes();
  RunProgram(MakeBackend(TModalResult::Cancel, nullptr), MainAndFourProbes());
  auto lines = ReadLogFile();
  ASSERT_GE(lines.size(), 5u);
  for (const auto& line : lines)
    EXPECT_THAT(line, ::testing::MatchesRegex("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\].*"));
  EXPECT_THAT(MessageOf(lines[0]),
              ::testing::MatchesRegex("Main module initialization begin, date [0-9]{4}-[0-9]{2}-[0-9]{2}"));
  EXPECT_EQ(MessageOf(lines[1]),
            "Application: " + ExecutableFileName().substr(ExecutableFileName().rfind('/') + 1));
  EXPECT_EQ(MessageOf(lines[2]), "Work folder set to " + ExpectedWorkFolder());
  EXPECT_EQ(MessageOf(lines[3]), "Exception hook set");
  EXPECT_EQ(MessageOf(lines[4]), "Main module initialized");
}

std::uint32_t MillisecondsSinceMidnightUtc() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(ms % (24LL * 60 * 60 * 1000));
}

TEST(Program, SeedsTheGeneratorFromTheUtcClockWhateverTheLocalZone) {
  // A zone 5:30 ahead of UTC: a seed taken from the local time would be far off.
  const char* oldZone = std::getenv("TZ");
  std::string saved = oldZone != nullptr ? oldZone : "";
  setenv("TZ", "ORR-5:30", 1);
  tzset();
  ResetProbes();
  RandSeed = 0;
  std::uint32_t before = MillisecondsSinceMidnightUtc();
  RunProgram(MakeBackend(TModalResult::Cancel, nullptr), MainAndFourProbes());
  std::uint32_t after = MillisecondsSinceMidnightUtc();
  if (oldZone != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  if (after < before) GTEST_SKIP() << "ran across midnight UTC";
  EXPECT_GE(RandSeed, before);
  EXPECT_LE(RandSeed, after);
}

TEST(Program, FailingCreationHandlerIsReportedAndCancelLetsStartUpGoOn) {
  ResetProbes();
  Probe.ThrowOnCreate = 3;
  TBoxLog boxes;
  EXPECT_EQ(RunProgram(MakeBackend(TModalResult::Cancel, &boxes), MainAndFourProbes()), 0);
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "create 4", "create 5", "destroy 5", "destroy 4",
                                 "destroy 3", "destroy 2"));
  ASSERT_EQ(boxes.Captions.size(), 1u);
  EXPECT_EQ(boxes.Captions[0], "Orrindel: ERROR");
  EXPECT_EQ(boxes.Texts[0], TDMMainModule::ErrorText);
  auto log = LogMessages();
  auto at = std::find(log.begin(), log.end(), "Program exception!");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(*(at - 1), "probe 3 created");
  EXPECT_EQ(*(at + 1), "Exception message: probe 3 failed");
  EXPECT_EQ(*(at + 2), "probe 4 created");
}

TEST(Program, OkInTheDialogHaltsAndStillRunsEveryDestructionHandlerMainModuleLast) {
  ResetProbes();
  Probe.ThrowOnCreate = 3;
  EXPECT_EQ(RunProgram(MakeBackend(TModalResult::Ok, nullptr, false), MainAndFourProbes()), 0);
  // Creation stops at the failing module; the loop never starts (no quit was queued, so
  // reaching it would hang the test).
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "destroy 3", "destroy 2"));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Main module destruction end");
  EXPECT_EQ(log.back(), "--End of Log--");
}

TEST(Program, TwoReportsAnsweredCancelSaveTheLogTwiceEachWithEverythingSoFar) {
  ResetProbes();
  Probe.ThrowOnCreate = 2;
  Probe.ThrowOnDestroy = 4;
  std::vector<std::vector<std::string>> savedAtBox;
  auto backend = MakeBackend(TModalResult::Cancel, nullptr);
  backend->MessageBoxResponder = [&](const std::string&, const std::string&, TMsgBoxKind kind) {
    savedAtBox.push_back(LogMessages());
    return kind == TMsgBoxKind::Plain ? TModalResult::Ok : TModalResult::Cancel;
  };
  RunProgram(std::move(backend), MainAndFourProbes());
  ASSERT_EQ(savedAtBox.size(), 2u);
  EXPECT_EQ(savedAtBox[0].back(), "Exception message: probe 2 failed");
  EXPECT_EQ(savedAtBox[1].back(), "Exception message: probe 4 destroy failed");
  // The second save still holds the first report.
  EXPECT_NE(std::find(savedAtBox[1].begin(), savedAtBox[1].end(), "Exception message: probe 2 failed"),
            savedAtBox[1].end());
  // A failing destruction handler does not stop the shutdown.
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "create 4", "create 5", "destroy 5", "destroy 4",
                                 "destroy 3", "destroy 2"));
}

TEST(Program, TerminateDuringCreationTakesEffectWhenTheLoopStarts) {
  ResetProbes();
  Probe.TerminateOnCreate = 3;
  // No quit queued by the test: only the module's request can end the loop.
  EXPECT_EQ(RunProgram(MakeBackend(TModalResult::Cancel, nullptr, false), MainAndFourProbes()), 0);
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "create 4", "create 5", "destroy 5", "destroy 4",
                                 "destroy 3", "destroy 2"));
}

// A module whose stored description cannot be read: its constructor fails.
class TUnreadableModule : public TDataModule {
 public:
  explicit TUnreadableModule(TComponent* owner) : TDataModule(owner) {
    throw std::runtime_error("stored description unreadable");
  }
};
TUnreadableModule* UnreadableModule = nullptr;

TEST(Program, AFailingConstructorEndsStartUpButEverythingMadeSoFarIsShutDown) {
  ResetProbes();
  // A stale reference that the failed creation must clear.
  UnreadableModule = reinterpret_cast<TUnreadableModule*>(&Probe);
  std::vector<TCreationStep> steps = {MainModuleStep(), ProbeStep<2>(),
                                      [](TApplication& app) { app.CreateForm(UnreadableModule); },
                                      ProbeStep<4>()};
  testing::internal::CaptureStderr();
  int code = RunProgram(MakeBackend(TModalResult::Cancel, nullptr, false), steps);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err, "orrindel: start-up failed: stored description unreadable\n");
  EXPECT_EQ(UnreadableModule, nullptr);
  EXPECT_THAT(Trace, ElementsAre("create 2", "destroy 2"));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Main module destruction end");
  EXPECT_EQ(log.back(), "--End of Log--");
}

TEST(Program, WithoutADisplayItFailsWithExitCodeOne) {
  class TNoDisplay : public THeadlessBackend {
   public:
    bool Initialize(std::string& error) override {
      error = "cannot open a display";
      return false;
    }
  };
  ResetProbes();
  testing::internal::CaptureStderr();
  int code = RunProgram(std::make_unique<TNoDisplay>(), MainAndFourProbes());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err, "orrindel: cannot open a display\n");
  EXPECT_TRUE(Trace.empty());
}

TEST(Program, GameStartsAndShutsDownInTheFixedOrder) {
  ResetProbes();
  auto backend = std::make_unique<THeadlessBackend>(1024, 768);
  TPlatformEvent escape;
  escape.Kind = TPlatformEvent::TKind::KeyDown;
  escape.Key = 27;
  backend->PushEvent(escape);
  EXPECT_EQ(RunProgram(std::move(backend), GameCreationSteps()), 0);
  auto log = LogMessages();
  ASSERT_GE(log.size(), 9u);
  EXPECT_EQ(log[4], "Main module initialized");
  EXPECT_NE(std::find(log.begin(), log.end(), "Initializing MDI"), log.end());
  auto mdiEnd = std::find(log.begin(), log.end(), "MDI destroy procedure end");
  ASSERT_NE(mdiEnd, log.end());
  EXPECT_EQ(*(mdiEnd - 1), "MDI destroy procedure begin");
  EXPECT_EQ(log[log.size() - 2], "Main module destruction end");
  EXPECT_EQ(log.back(), "--End of Log--");
}

TEST(Program, AnExtraStepRunsRightAfterTheStepThatMakesItsObject) {
  for (TCreated made : {TCreated::MainModule, TCreated::AudioModule, TCreated::GameModule}) {
    int ran = 0;
    const std::vector<TCreationStep> steps = GameCreationSteps({{made, [&](TApplication&) { ++ran; }}});
    ASSERT_EQ(steps.size(), 8u);
    TApplication app(std::make_unique<THeadlessBackend>());
    steps[static_cast<std::size_t>(made) + 1](app);
    EXPECT_EQ(ran, 1) << "after step " << static_cast<int>(made);
    app.Shutdown();
  }
}

// The page runs start-up, the loop and shutdown one browser frame at a time: the same
// handlers in the same order, so the same log as the message loop's.
TEST(Program, RunFrameByFrameItLogsWhatTheMessageLoopLogs) {
  auto escape = [] {
    TPlatformEvent e;
    e.Kind = TPlatformEvent::TKind::KeyDown;
    e.Key = 27;
    return e;
  };
  ResetProbes();
  auto loopBackend = std::make_unique<THeadlessBackend>(1024, 768);
  loopBackend->PushEvent(escape());
  ASSERT_EQ(RunProgram(std::move(loopBackend), GameCreationSteps()), 0);
  const auto loopLog = LogMessages();

  ResetProbes();
  auto frameBackend = std::make_unique<THeadlessBackend>(1024, 768);
  THeadlessBackend* headless = frameBackend.get();
  TProgramRun run(std::move(frameBackend));
  ASSERT_TRUE(run.Start(GameCreationSteps()));
  int frames = 0;
  while (run.Frame()) {
    if (++frames == 5) headless->PushEvent(escape());
    ASSERT_LT(frames, 1000) << "Escape did not end the frames";
  }
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_EQ(run.Finish(), 0) << "a second Finish shuts nothing down twice";
  EXPECT_EQ(LogMessages(), loopLog);
  ASSERT_FALSE(loopLog.empty());
  EXPECT_EQ(loopLog.back(), "--End of Log--");
}

// A halt in a frame (OK in the exception dialog) ends the frames with the halt's code.
TEST(Program, AHaltInAFrameEndsTheFramesWithItsCode) {
  ResetProbes();
  auto backend = MakeBackend(TModalResult::Ok, nullptr, false);
  THeadlessBackend* headless = backend.get();
  TProgramRun run(std::move(backend));
  ASSERT_TRUE(run.Start(MainAndFourProbes()));
  run.App().Queue([] { throw std::runtime_error("broken in a frame"); });
  EXPECT_FALSE(run.Frame());
  (void)headless;
  EXPECT_EQ(run.Finish(), 0);
  auto log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Exception message: broken in a frame"), log.end());
  EXPECT_EQ(log.back(), "--End of Log--");
  EXPECT_THAT(Trace, ElementsAre("create 2", "create 3", "create 4", "create 5", "destroy 5", "destroy 4",
                                 "destroy 3", "destroy 2"));
}

}  // namespace
}  // namespace orr::test
