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
         if (DMAudioModule != nullptr) DMAudioModule->AudioPlayer->Driver = std::make_shared<TNullSoundDriver>();
       }},
  };
}

int RunProgram(std::unique_ptr<TPlatformBackend> backend, const std::vector<TCreationStep>& steps,
               const TProgramBody& body) {
  TApplication app(std::move(backend));
  std::string error;
  if (!app.Initialize(error)) {
    std::fprintf(stderr, "orrindel: %s\n", error.c_str());
    return 1;
  }
  int exitCode = 0;
  try {
    for (const auto& step : steps) step(app);
    if (body) {
      body(app);
    } else {
      app.Run();
    }
  } catch (const EApplicationHalt& halt) {
    exitCode = halt.ExitCode;
  } catch (const std::exception& e) {
    // Only a constructor can get here (creation handlers are caught by the application).
    std::fprintf(stderr, "orrindel: start-up failed: %s\n", e.what());
    exitCode = 1;
  }
  // Shutdown: every owned object, last created first, then the units' global state.
  app.Shutdown();
  RunFinalizations();
  return exitCode;
}

}  // namespace orr
