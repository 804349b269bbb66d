// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-step frame progress with as many step handlers as the game registers
// (the episode's 40 entities, their floating texts and the scene window: 64), against
// baselines that run the same handlers without the registry.
//
// Every figure is one progress event of one second, i.e. 100 steps; items are steps.
//   BM_Progress_Registry:         SceneProgressorProgress over StepHandlers
//   BM_Progress_DirectCalls:      the ideal: a loop calling each object's step directly
//   BM_Progress_StdFunction:      the usual registry: a vector of std::function
//   BM_Progress_WithSceneWindow:  the registry with 63 handlers plus a real scene window
//                                 following a target round a 48 x 40 map (cells rebuilt)
#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "core/UMainModule.h"
#include "render/UGameRender.h"

namespace orr {
namespace {

constexpr int GameHandlers = 64;
constexpr int StepsPerEvent = 100;

// A handler with a little state, like an entity's step timer.
struct TStepper {
  float Timer = 0;
  int Steps = 0;
  void Step() {
    Timer += 0.01f;
    if (Timer >= 1) Timer -= 1;
    ++Steps;
  }
};

void BM_Progress_Registry(benchmark::State& state) {
  ResetStepHandlers();
  GameHalted = false;
  std::vector<TStepper> steppers(GameHandlers);
  for (auto& s : steppers) AddStepHandler(StepHandlerOf<&TStepper::Step>(&s));
  for (auto _ : state) {
    TDMGameRender::SceneProgressorProgress(nullptr, 1.0, 0);
    benchmark::DoNotOptimize(steppers.data());
  }
  state.SetItemsProcessed(state.iterations() * StepsPerEvent);
  ResetStepHandlers();
}

void BM_Progress_DirectCalls(benchmark::State& state) {
  std::vector<TStepper> steppers(GameHandlers);
  std::vector<TStepper*> list;
  for (auto& s : steppers) list.push_back(&s);
  float accumulator = 0;
  for (auto _ : state) {
    accumulator = static_cast<float>(accumulator + 1.0);
    while (accumulator >= 0.01f) {
      for (TStepper* s : list) s->Step();
      benchmark::ClobberMemory();
      accumulator = accumulator - 0.01f;
    }
    benchmark::DoNotOptimize(steppers.data());
  }
  state.SetItemsProcessed(state.iterations() * StepsPerEvent);
}

void BM_Progress_StdFunction(benchmark::State& state) {
  std::vector<TStepper> steppers(GameHandlers);
  std::vector<std::function<void()>> handlers;
  for (auto& s : steppers) handlers.push_back([&s] { s.Step(); });
  float accumulator = 0;
  for (auto _ : state) {
    accumulator = static_cast<float>(accumulator + 1.0);
    while (accumulator >= 0.01f) {
      const size_t count = handlers.size();
      for (size_t i = 0; i < count; ++i)
        if (handlers[i]) handlers[i]();
      accumulator = accumulator - 0.01f;
    }
    benchmark::DoNotOptimize(steppers.data());
  }
  state.SetItemsProcessed(state.iterations() * StepsPerEvent);
}

// The window's target walks round the map, so the camera keeps crossing cells.
struct TTargetMover {
  TGLSceneWindow* Window = nullptr;
  float Angle = 0;
  void Step() {
    Angle += 0.02f;
    Window->SetCameraTarget({24 + 14 * std::cos(Angle), 20 + 10 * std::sin(Angle), 15, 0});
  }
};

void BM_Progress_WithSceneWindow(benchmark::State& state) {
  ResetStepHandlers();
  ResetEventLog();
  WorkFolder = "/nonexistent/";  // no atlases: planes name materials the libraries lack
  TComponent root(nullptr);
  DMGameRender = TComponent::Create<TDMGameRender>(&root);
  DMGameRender->AfterConstruction();
  ResetGameMap();
  GameMap.MapIdCode = "bench";
  GameMap.MapSize = {48, 40};
  GameMap.TerrainGrid.SetSize(48, 40);
  GameMap.DecorationGrid.SetSize(48, 40);
  GameMap.HeightMap.SetSize(48, 40);
  for (int x = 0; x < 48; ++x)
    for (int y = 0; y < 40; ++y) {
      GameMap.TerrainGrid[x][y] = {static_cast<std::uint16_t>((x + y) % 8), static_cast<std::uint8_t>(x % 4)};
      GameMap.HeightMap[x][y] = static_cast<std::uint8_t>((x * 7 + y * 3) % 3 == 0 ? 1 + (x % 4) : 0);
      GameMap.DecorationGrid[x][y] = {static_cast<std::uint16_t>((x * y) % 5 == 0 ? 3 : 0), 0};
    }
  TPanel panel(nullptr);
  panel.SetBounds(0, 0, 1024, 768);
  {
    TGLSceneWindow window(&panel);
    TTargetMover mover{&window};
    AddStepHandler(StepHandlerOf<&TTargetMover::Step>(&mover));
    std::vector<TStepper> steppers(GameHandlers - 2);
    for (auto& s : steppers) AddStepHandler(StepHandlerOf<&TStepper::Step>(&s));
    window.SetCameraTarget({24, 20, 15, 0});
    window.RefreshVisibleCells();
    GameHalted = false;
    for (auto _ : state) TDMGameRender::SceneProgressorProgress(nullptr, 1.0, 0);
    state.SetItemsProcessed(state.iterations() * StepsPerEvent);
    root.FreeComponent(DMGameRender);
    DMGameRender = nullptr;
  }
  ResetStepHandlers();
  ResetGameMap();
}

BENCHMARK(BM_Progress_Registry);
BENCHMARK(BM_Progress_DirectCalls);
BENCHMARK(BM_Progress_StdFunction);
BENCHMARK(BM_Progress_WithSceneWindow);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
