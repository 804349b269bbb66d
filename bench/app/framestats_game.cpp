// SPDX-License-Identifier: GPL-3.0-or-later
// The game with frame statistics for measuring it as it is played (scripts/frame-rate):
// every time the frame-rate text is refreshed (5 s), one line goes to the standard error
// with the frames of that interval, the longest frame, and the game steps run against the
// clock (100 steps per second: game time keeps up with real time). Nothing on screen
// changes. Built into build/bin with the benchmarks: never installed, never in the game
// folder (the game itself reads no environment and writes no statistics).
//
//   orrindel-framestats [--whole-walk]   (--whole-walk: draw walking every scene object,
//                                         without the draw index, for comparison)
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/UGameInterface.h"
#include "app/UProgram.h"
#include "session/UGameModule.h"
#include "render/UGameRender.h"
#include "scene/GLScene.h"
#include "scene/GLViewer.h"

namespace {

struct TStatistics {
  double Seconds = 0;       // clock at the previous report
  std::uint64_t Steps = 0;  // steps run at the previous report

  void Report(const orr::TGLSceneViewer& viewer) {
    const double now = orr::SystemTimeSource().Seconds();
    const double seconds = now - Seconds;
    const std::uint64_t steps = orr::StepsRun - Steps;
    Seconds = now;
    Steps = orr::StepsRun;
    std::fprintf(stderr,
                 "frame statistics: %.2f s, %u frames, %.1f FPS, longest frame %.1f ms, "
                 "%llu steps, %.1f steps per second\n",
                 seconds, static_cast<unsigned>(viewer.Buffer.FrameCount()), double(viewer.FramesPerSecond()),
                 viewer.Buffer.LongestFrameSeconds() * 1000, static_cast<unsigned long long>(steps),
                 seconds > 0 ? double(steps) / seconds : 0.0);
    std::fflush(stderr);
  }
};

}  // namespace

int main(int argc, char** argv) {
  static TStatistics statistics;
  static bool wholeWalk = argc > 1 && std::strcmp(argv[1], "--whole-walk") == 0;
  auto steps = orr::GameCreationSteps();
  // After the window exists: report first, then let the window show and reset the count.
  steps.push_back([](orr::TApplication&) {
    if (wholeWalk && orr::DMGameRender != nullptr) orr::DMGameRender->MainScene->IndexedDrawing = false;
    statistics.Seconds = orr::SystemTimeSource().Seconds();
    orr::TFGameInterface* window = orr::FGameInterface;
    if (window == nullptr) return;
    auto show = window->FPSTimer->OnTimer;
    window->FPSTimer->OnTimer = [window, show](orr::TThreadedTimer* sender) {
      orr::TGLSceneViewer* viewer =
          window->LocalViewers != nullptr ? window->LocalViewers->LocalPlayerViewer() : nullptr;
      if (viewer != nullptr) statistics.Report(*viewer);
      if (show) show(sender);
    };
  });
  return orr::RunProgram(orr::CreateSdlBackend(), steps);
}
