// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UProgram.h"

#include <cstdio>

#include "app/UGameInterface.h"
#include "audio/NullSoundDevice.h"
#include "audio/UAudioModule.h"
#include "core/Random.h"
#include "core/UMainModule.h"
#include "session/UGameModule.h"
#include "map/UMapModule.h"
#include "render/UGameRender.h"
#include "render/UGraphicsModule.h"

namespace orr {

std::vector<TCreationStep> GameCreationSteps(const TCreationExtras& extras) {
  const std::pair<TCreated, TCreationStep> game[] = {
      {TCreated::MainModule, [](TApplication& app) { app.CreateForm(DMMainModule); }},
      {TCreated::AudioModule, [](TApplication& app) { app.CreateForm(DMAudioModule); }},
      {TCreated::GraphicsModule, [](TApplication& app) { app.CreateForm(DMGraphicsModule); }},
      {TCreated::MapModule, [](TApplication& app) { app.CreateForm(DMMapModule); }},
      {TCreated::GameRender, [](TApplication& app) { app.CreateForm(DMGameRender); }},
      {TCreated::GameInterface, [](TApplication& app) { app.CreateForm(FGameInterface); }},
      // The session gets the window's panel offer; the window gets the session's viewer.
      {TCreated::GameModule,
       [](TApplication& app) {
         app.CreateForm(DMGameModule, static_cast<TGamePanelHost*>(FGameInterface));
         if (FGameInterface != nullptr) FGameInterface->LocalViewers = DMGameModule;
       }},
  };
  std::vector<TCreationStep> steps;
  for (const auto& [made, step] : game) {
    steps.push_back(step);
    if (auto extra = extras.find(made); extra != extras.end()) steps.push_back(extra->second);
  }
  return steps;
}

TCreationExtras ReproducibleStart(std::uint32_t seed) {
  return {
      {TCreated::MainModule, [seed](TApplication&) { RandSeed = seed; }},
      {TCreated::AudioModule,
       [](TApplication&) {
         if (DMAudioModule != nullptr)
           DMAudioModule->AudioPlayer->Driver = std::make_shared<TNullSoundDriver>();
       }},
  };
}

TProgramRun::TProgramRun(std::unique_ptr<TPlatformBackend> backend)
    : app_(std::make_unique<TApplication>(std::move(backend))) {}

TProgramRun::~TProgramRun() { Finish(); }

template <class F>
bool TProgramRun::Guarded(const F& part) {
  try {
    part();
    return true;
  } catch (const EApplicationHalt& halt) {
    exitCode_ = halt.ExitCode;
  } catch (const std::exception& e) {
    // Only a constructor can get here (creation handlers are caught by the application).
    std::fprintf(stderr, "orrindel: start-up failed: %s\n", e.what());
    exitCode_ = 1;
  }
  ended_ = true;
  return false;
}

bool TProgramRun::Start(const std::vector<TCreationStep>& steps) {
  std::string error;
  if (!app_->Initialize(error)) {
    std::fprintf(stderr, "orrindel: %s\n", error.c_str());
    exitCode_ = 1;
    ended_ = true;
    return false;
  }
  initialized_ = true;
  return Guarded([&] {
    for (const auto& step : steps) step(*app_);
  });
}

void TProgramRun::RunBody(const TProgramBody& body) {
  if (ended_) return;
  Guarded([&] {
    if (body) {
      body(*app_);
    } else {
      app_->Run();
    }
  });
  ended_ = true;
}

bool TProgramRun::Frame() {
  if (ended_) return false;
  Guarded([&] {
    if (!app_->RunFrame()) ended_ = true;
  });
  return !ended_;
}

int TProgramRun::Finish() {
  if (finished_) return exitCode_;
  finished_ = true;
  ended_ = true;
  if (initialized_) {
    app_->Shutdown();
    RunFinalizations();
  }
  return exitCode_;
}

int RunProgram(std::unique_ptr<TPlatformBackend> backend, const std::vector<TCreationStep>& steps,
               const TProgramBody& body) {
  TProgramRun run(std::move(backend));
  if (run.Start(steps)) run.RunBody(body);
  return run.Finish();
}

}  // namespace orr
