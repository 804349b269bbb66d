// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UGameInterface.h"

#include <gtest/gtest.h>

#include "ProgramHarness.h"
#include "platform/Keys.h"
#include "entities/UEntityStructures.h"
#include "render/UGameRender.h"

namespace orr::test {
namespace {

// Runs the main module and the window on a headless screen of the given size; `during`
// runs inside the loop's first turn (as a queued call) before the queued quit.
std::vector<std::string> RunWindow(int width, int height, std::vector<std::string> fonts = {},
                                   std::function<void()> during = nullptr, bool postQuit = true) {
  ResetProbes();
  auto backend = std::make_unique<THeadlessBackend>(width, height);
  backend->Fonts = fonts.empty() ? std::vector<std::string>{"DejaVu Sans"} : fonts;
  THeadlessBackend* raw = backend.get();
  std::vector<TCreationStep> steps = {MainModuleStep(),
                                      [](TApplication& app) { app.CreateForm(FGameInterface); }};
  steps.push_back([raw, during, postQuit](TApplication& app) {
    if (during) app.Queue(during);
    if (postQuit) raw->PostQuit();
  });
  RunProgram(std::move(backend), steps);
  return LogMessages();
}

TEST(GameInterface, PanelIsFourToThreeCentredOnEveryScreen) {
  struct TCase {
    int Width, Height;
    const char* Line;
  };
  const TCase cases[] = {
      {800, 600, "Content Component aligned to rectangle 0x0-800x600"},
      {1024, 768, "Content Component aligned to rectangle 0x0-1024x768"},
      {1280, 1024, "Content Component aligned to rectangle -42x0-1323x1024"},
      {1366, 768, "Content Component aligned to rectangle 171x0-1195x768"},
      {1920, 1080, "Content Component aligned to rectangle 240x0-1680x1080"},
  };
  for (const auto& c : cases) {
    auto log = RunWindow(c.Width, c.Height);
    auto at = std::find(log.begin(), log.end(), "Initializing MDI");
    ASSERT_NE(at, log.end());
    ASSERT_LT(at + 4, log.end());
    EXPECT_EQ(*(at + 1), "Screen resolution is " + std::to_string(c.Width) + "x" + std::to_string(c.Height));
    EXPECT_EQ(*(at + 2), c.Line);
    EXPECT_EQ(*(at + 3), "WARNING! Default font not found: Courier New");
    EXPECT_EQ(*(at + 4), "MDI initialized");
  }
}

TEST(GameInterface, PanelWidthRoundsHalvesToEven) {
  EXPECT_EQ(TFGameInterface::PanelWidthFor(768), 1024);
  EXPECT_EQ(TFGameInterface::PanelWidthFor(1024), 1365);
  EXPECT_EQ(TFGameInterface::PanelWidthFor(1080), 1440);
  EXPECT_EQ(TFGameInterface::PanelWidthFor(600), 800);
  EXPECT_EQ(TFGameInterface::PanelWidthFor(800), 1067);  // 1066.67: rounded, not cut
  EXPECT_EQ(TFGameInterface::PanelWidthFor(3), 4);
  EXPECT_EQ(TFGameInterface::PanelWidthFor(9), 12);
  // 1.5 / 0.75 = 2 exactly; 4.5 / 0.75 = 6; 0.375 would be 0.5 -> 0 (not reachable with ints).
  EXPECT_EQ(TFGameInterface::PanelWidthFor(0), 0);
}

TEST(GameInterface, FontCheckIsCaseSensitiveAndExact) {
  auto found = RunWindow(1024, 768, {"Arial", "Courier New", "Courier New Bold"});
  EXPECT_NE(std::find(found.begin(), found.end(), "Default font found in the system: Courier New"),
            found.end());
  auto wrongCase = RunWindow(1024, 768, {"courier new", "Courier New Bold"});
  EXPECT_NE(std::find(wrongCase.begin(), wrongCase.end(), "WARNING! Default font not found: Courier New"),
            wrongCase.end());
}

TEST(GameInterface, LayoutAndTimerMatchTheStoredSettings) {
  bool checked = false;
  RunWindow(1280, 1024, {}, [&] {
    checked = true;
    EXPECT_EQ(FGameInterface->ContentPanel->Left, -42);
    EXPECT_EQ(FGameInterface->ContentPanel->Width, 1365);
    EXPECT_EQ(FGameInterface->Panel1->Left, 0);
    EXPECT_EQ(FGameInterface->Panel1->Width, 1365);
    EXPECT_EQ(FGameInterface->Panel1->Height, 1024);
    EXPECT_EQ(FGameInterface->StaticText1->Caption(), "StaticText1");
    EXPECT_EQ(FGameInterface->StaticText1->Width, 58);
    EXPECT_EQ(FGameInterface->StaticText1->Height, 17);
    EXPECT_TRUE(FGameInterface->FPSTimer->Enabled());
    EXPECT_EQ(FGameInterface->FPSTimer->Interval(), 5000);
    EXPECT_EQ(Application->MainForm, FGameInterface);
  });
  EXPECT_TRUE(checked);
}

TEST(GameInterface, FrameRateTickNeedsALocalPlayersViewer) {
  // A viewer source that has no viewer yet (a session before its player is made).
  struct TNoViewer : TLocalViewerSource {
    TGLSceneViewer* LocalPlayerViewer() override { return nullptr; }
  } noViewer;
  std::vector<std::string> captions;
  // Only the window: no viewer source, then one without a viewer.
  RunWindow(1024, 768, {}, [&] {
    EXPECT_EQ(FGameInterface->GamePanel(), FGameInterface->Panel1);
    FGameInterface->FPSTimerTimer(FGameInterface->FPSTimer);
    captions.push_back(FGameInterface->StaticText1->Caption());
    FGameInterface->LocalViewers = &noViewer;
    FGameInterface->FPSTimerTimer(FGameInterface->FPSTimer);
    captions.push_back(FGameInterface->StaticText1->Caption());
  });
  EXPECT_EQ(captions, (std::vector<std::string>{"StaticText1", "StaticText1"}));

  // With a viewer, each tick shows its rate and starts the count again.
  struct TOneViewer : TLocalViewerSource {
    TGLSceneViewer Viewer{nullptr};
    TGLSceneViewer* LocalPlayerViewer() override { return &Viewer; }
  } oneViewer;
  std::uint32_t framesAfterTick = 1;
  RunWindow(1024, 768, {}, [&] {
    for (int i = 0; i < 3; ++i) {
      oneViewer.Viewer.Buffer.BeginFrame();
      oneViewer.Viewer.Buffer.FrameDone();
    }
    FGameInterface->LocalViewers = &oneViewer;
    FGameInterface->FPSTimerTimer(FGameInterface->FPSTimer);
    framesAfterTick = oneViewer.Viewer.Buffer.FrameCount();
    FGameInterface->LocalViewers = nullptr;
  });
  EXPECT_EQ(framesAfterTick, 0u);
}

TEST(GameInterface, EscapeHaltsTheGameAndEndsTheLoopOtherKeysDoNothing) {
  GameHalted = false;
  bool sawOtherKey = false;
  // No quit is queued: only Escape can end this loop.
  RunWindow(
      1024, 768, {},
      [&] {
        int key = VK_SPACE;
        FGameInterface->KeyDown(key);
        sawOtherKey = !GameHalted && key == VK_SPACE;
        key = VK_ESCAPE;
        FGameInterface->KeyDown(key);
      },
      false);
  EXPECT_TRUE(sawOtherKey);
  EXPECT_TRUE(GameHalted);
  GameHalted = false;
}

}  // namespace
}  // namespace orr::test
