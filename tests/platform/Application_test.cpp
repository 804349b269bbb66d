// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Forms.h"
#include "platform/Threads.h"

namespace orr {
namespace {

using namespace std::chrono_literals;

TEST(Application, SynchronizeRunsTheCallOnTheMainThreadAndBlocksUntilDone) {
  TApplication app(std::make_unique<THeadlessBackend>());
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    app.Synchronize([&] { ranOnMain = app.IsMainThread(); });
    returned = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(returned);  // nobody served it yet
  while (!returned) {
    app.CheckSynchronize();
    app.WaitForSynchronize(1);
  }
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(Application, SynchronizeRethrowsTheCallsExceptionInTheWorker) {
  TApplication app(std::make_unique<THeadlessBackend>());
  std::string caught;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      app.Synchronize([] { throw std::runtime_error("inside"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
    done = true;
  });
  while (!done) {
    app.CheckSynchronize();
    app.WaitForSynchronize(1);
  }
  worker.join();
  EXPECT_EQ(caught, "inside");
}

TEST(Application, ModalBoxKeepsServingHandOvers) {
  auto backend = std::make_unique<THeadlessBackend>();
  std::atomic<bool> handedOver{false};
  // The box stays open until a worker's hand-over has run on the main thread.
  backend->MessageBoxResponder = [&](const std::string&, const std::string&, TMsgBoxKind) {
    while (!handedOver) std::this_thread::sleep_for(1ms);
    return TModalResult::Ok;
  };
  TApplication app(std::move(backend));
  std::thread worker([&] { app.Synchronize([&] { handedOver = app.IsMainThread(); }); });
  EXPECT_EQ(app.MessageBox("text", "caption", TMsgBoxKind::WarningOkCancel), TModalResult::Ok);
  worker.join();
  EXPECT_TRUE(handedOver);
}

// A box open when the process is asked to end is taken down (answering as closed), and no
// further box waits for an answer nobody will give.
TEST(Application, AnEndRequestTakesTheOpenBoxDownAndSkipsLaterOnes) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* raw = backend.get();
  std::atomic<bool> closed{false};
  std::atomic<int> shown{0};
  raw->OnCloseMessageBoxes = [&] { closed = true; };
  raw->MessageBoxResponder = [&](const std::string&, const std::string&, TMsgBoxKind) {
    ++shown;
    while (!closed) std::this_thread::sleep_for(1ms);
    return TModalResult::Cancel;
  };
  TApplication app(std::move(backend));
  std::thread signal([&] {
    std::this_thread::sleep_for(20ms);
    raw->Terminating = true;
  });
  EXPECT_EQ(app.MessageBox("text", "caption", TMsgBoxKind::WarningOkCancel), TModalResult::Cancel);
  signal.join();
  EXPECT_EQ(app.MessageBox("text", "caption", TMsgBoxKind::Plain), TModalResult::Ok);
  EXPECT_EQ(shown, 1);
}

TEST(Application, TerminateIsQueuedAndEndsTheLoopWhenReached) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* raw = backend.get();
  TApplication app(std::move(backend));
  app.Terminate();
  EXPECT_FALSE(app.Terminated());
  int idles = 0;
  app.OnIdle = [&](bool& done) {
    ++idles;
    done = true;
  };
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(idles, 0);  // the quit was waiting: no idle turn before it
  EXPECT_TRUE(raw->WindowShown() || app.MainForm == nullptr);
}

TEST(Application, IdleRunsUntilDoneAndAfterAnExceptionWaitsForTheNextMessage) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* raw = backend.get();
  TApplication app(std::move(backend));
  std::vector<std::string> reported;
  app.OnException = [&](TComponent*, const std::exception& e) { reported.push_back(e.what()); };
  int idles = 0;
  std::chrono::steady_clock::time_point failedAt, resumedAt;
  app.OnIdle = [&](bool& done) {
    ++idles;
    done = false;  // keep calling, as a render loop does
    if (idles == 3) {
      failedAt = std::chrono::steady_clock::now();
      throw std::runtime_error("idle failed");
    }
    if (idles == 4) {
      resumedAt = std::chrono::steady_clock::now();
      done = true;
    }
  };
  std::thread poster([&] {
    std::this_thread::sleep_for(80ms);
    TPlatformEvent wake;
    wake.Kind = TPlatformEvent::TKind::Wake;
    raw->PushEvent(wake);
    std::this_thread::sleep_for(20ms);
    raw->PostQuit();
  });
  app.Run();
  poster.join();
  EXPECT_THAT(reported, ::testing::ElementsAre("idle failed"));
  EXPECT_EQ(idles, 4);
  EXPECT_GE(resumedAt - failedAt, 50ms);  // no idling until the message came
}

TEST(Application, AbortIsDroppedSilently) {
  TApplication app(std::make_unique<THeadlessBackend>());
  bool hooked = false;
  app.OnException = [&](TComponent*, const std::exception&) { hooked = true; };
  try {
    throw EAbort();
  } catch (...) {
    app.HandleCurrentException(&app);
  }
  EXPECT_FALSE(hooked);
}

TEST(Application, KeyPreviewSendsKeysToTheMainForm) {
  class TKeyForm : public TForm {
   public:
    using TForm::TForm;
    std::vector<int> Keys;

   protected:
    void FormKeyDown(int& key) override { Keys.push_back(key); }
  };
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* raw = backend.get();
  TApplication app(std::move(backend));
  TKeyForm* form = nullptr;
  app.CreateForm(form);
  EXPECT_EQ(app.MainForm, form);
  TPlatformEvent key;
  key.Kind = TPlatformEvent::TKind::KeyDown;
  key.Key = 38;
  raw->PushEvent(key);
  raw->PostQuit();
  app.Run();
  EXPECT_THAT(form->Keys, ::testing::ElementsAre(38));
  EXPECT_TRUE(raw->WindowShown());
}

// The idle work after a paint (the game's steps) runs while the renderer finishes the
// picture; the picture must still reach the screen before the loop sleeps, or a game
// that stops changing would show a frame behind for as long as it waits.
TEST(Application, APaintedFrameIsPresentedAfterTheIdleWorkAndBeforeTheLoopWaits) {
  struct TNoPaint : TPaintContext {
    int WindowWidth() const override { return 1; }
    int WindowHeight() const override { return 1; }
    void FillRect(int, int, int, int, unsigned) override {}
    void DrawImage(int, int, int, int, const unsigned*) override {}
    void SetViewport(int, int, int, int) override {}
    void ResetViewport() override {}
  };
  class TFrameBackend : public THeadlessBackend {
   public:
    std::vector<std::string>& Calls;
    explicit TFrameBackend(std::vector<std::string>& calls) : Calls(calls) {}
    bool PaintFrame(const std::function<void(TPaintContext&)>& paint) override {
      PresentFrame();
      TNoPaint context;
      paint(context);
      Calls.push_back("paint");
      pending_ = true;
      return true;
    }
    void PresentFrame() override {
      if (pending_) Calls.push_back("present");
      pending_ = false;
    }
    void WaitEvent(int timeoutMs) override {
      Calls.push_back("wait");
      THeadlessBackend::WaitEvent(timeoutMs);
    }

   private:
    bool pending_ = false;
  };
  std::vector<std::string> calls;
  auto backend = std::make_unique<TFrameBackend>(calls);
  TFrameBackend* raw = backend.get();
  TApplication app(std::move(backend));
  TForm* form = nullptr;
  app.CreateForm(form);
  int idles = 0;
  app.OnIdle = [&](bool& done) {
    calls.push_back("idle");
    if (++idles == 1) form->Invalidate();  // a step changed the picture: paint again
    done = idles >= 2;
    if (done) raw->PostQuit();
  };
  app.Run();
  EXPECT_THAT(calls, ::testing::ElementsAre("paint", "idle", "present", "paint", "idle", "present", "wait"));
}

TEST(Threads, WaitForServesHandOversSoABlockedWorkerCanFinish) {
  class TWorker : public TThread {
   public:
    std::atomic<int> Ran{0};

   protected:
    void Execute() override {
      std::this_thread::sleep_for(20ms);
      Synchronize([this] { ++Ran; });
    }
  };
  TApplication app(std::make_unique<THeadlessBackend>());
  TWorker worker;
  worker.Start();
  worker.WaitFor();  // would deadlock if it did not serve the hand-over
  EXPECT_TRUE(worker.Finished());
  EXPECT_EQ(worker.Ran, 1);
}

}  // namespace
}  // namespace orr

namespace orr {
namespace {

TEST(Controls, ZOrderFollowsAttachmentAndCanBeChanged) {
  TApplication app(std::make_unique<THeadlessBackend>());
  auto* panel = TComponent::Create<TPanel>(&app);
  auto* a = TComponent::Create<TPanel>(&app);
  auto* b = TComponent::Create<TPanel>(&app);
  auto* c = TComponent::Create<TPanel>(&app);
  for (TControl* child : {a, b, c}) child->SetParent(panel);
  EXPECT_THAT(panel->Controls(), ::testing::ElementsAre(a, b, c));
  c->SendToBack();
  EXPECT_THAT(panel->Controls(), ::testing::ElementsAre(c, a, b));
  c->BringToFront();
  EXPECT_THAT(panel->Controls(), ::testing::ElementsAre(a, b, c));
  app.FreeComponent(b);  // a destroyed control leaves its parent's list
  EXPECT_THAT(panel->Controls(), ::testing::ElementsAre(a, c));
  b = nullptr;
  panel->SetBounds(10, 20, 100, 100);
  a->SetBounds(5, 6, 10, 10);
  TRect r = a->ScreenRect();
  EXPECT_EQ(r.Left, 15);
  EXPECT_EQ(r.Top, 26);
  EXPECT_EQ(r.Right, 25);
}

// What the page's frame loop runs in place of worker threads.
TEST(FrameTasks, RunInOrderEachFrameAndMayRemoveThemselvesOrOthers) {
  TApplication app(std::make_unique<THeadlessBackend>());
  std::vector<std::string> ran;
  int second = 0;
  const int first = app.AddFrameTask([&](std::uint64_t) {
    ran.push_back("first");
    app.RemoveFrameTask(first);
  });
  second = app.AddFrameTask([&](std::uint64_t) {
    ran.push_back("second");
    if (ran.size() > 3) app.RemoveFrameTask(second);
  });
  app.AddFrameTask([&](std::uint64_t) { throw std::runtime_error("task failed"); });
  std::vector<std::string> reported;
  app.OnException = [&](TComponent*, const std::exception& e) { reported.push_back(e.what()); };
  for (int frame = 0; frame < 4; ++frame) app.RunFrameTasks();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "second", "second"}));
  EXPECT_EQ(reported.size(), 4u) << "a failing task is reported each frame and the others go on";
}

// One frame: the pending messages, the paint, one idle turn, and no wait; false once the
// terminate request was handled.
TEST(RunFrame, HandlesEveryPendingMessageIdlesOnceAndNeverWaits) {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* headless = backend.get();
  TApplication app(std::move(backend));
  int idles = 0;
  app.OnIdle = [&](bool& done) {
    ++idles;
    done = true;  // the loop of Run would wait here for ever
  };
  std::vector<std::string> order;
  app.Queue([&] { order.push_back("hand-over"); });
  EXPECT_TRUE(app.RunFrame());
  EXPECT_TRUE(app.RunFrame());
  EXPECT_EQ(idles, 2);
  EXPECT_EQ(order, (std::vector<std::string>{"hand-over"}));
  // Every message waiting is handled in the frame: input never lags behind by frames.
  TPlatformEvent wake;
  wake.Kind = TPlatformEvent::TKind::Wake;
  headless->PushEvent(wake);
  headless->PushEvent(wake);
  headless->PostQuit();
  EXPECT_FALSE(app.RunFrame());
  EXPECT_EQ(idles, 2) << "no idle turn once the loop ends";
  EXPECT_TRUE(app.Terminated());
}

}  // namespace
}  // namespace orr
