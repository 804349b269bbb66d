#include "app/UProgram.h"

#include <cstdio>

#include "app/UGameInterface.h"
#include "audio/UAudioModule.h"
#include "core/UMainModule.h"
#include "entities/UGameModule.h"
#include "map/UMapModule.h"
#include "render/UGameRender.h"
#include "render/UGraphicsModule.h"

namespace orr {

std::vector<TCreationStep> GameCreationSteps() {
  return {
      [](TApplication& app) { app.CreateForm(DMMainModule); },
      [](TApplication& app) { app.CreateForm(DMAudioModule); },
      [](TApplication& app) { app.CreateForm(DMGraphicsModule); },
      [](TApplication& app) { app.CreateForm(DMMapModule); },
      [](TApplication& app) { app.CreateForm(DMGameRender); },
      [](TApplication& app) { app.CreateForm(FGameInterface); },
      // The session gets the window's panel offer; the window gets the session's viewer.
      [](TApplication& app) {
        app.CreateForm(DMGameModule, static_cast<TGamePanelHost*>(FGameInterface));
        if (FGameInterface != nullptr) FGameInterface->LocalViewers = DMGameModule;
      },
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
