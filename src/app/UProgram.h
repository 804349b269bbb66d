// The program's entry: creates the seven objects in their fixed order, runs the message
// loop, and shuts everything down in the reverse order.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Application.h"

namespace orr {

// One creation step: creates an object owned by the application (CreateForm).
using TCreationStep = std::function<void(TApplication&)>;

// The game's seven creation steps, in order.
std::vector<TCreationStep> GameCreationSteps();

// What runs between start-up and shutdown: the message loop in the game; the simulator
// steps the game itself.
using TProgramBody = std::function<void(TApplication&)>;

// Runs a program made of `steps` on `backend` and returns the process exit code: the
// creation steps, then `body` (without one, the message loop), then the shutdown. Without
// a display: one line on stderr and exit code 1.
int RunProgram(std::unique_ptr<TPlatformBackend> backend, const std::vector<TCreationStep>& steps,
               const TProgramBody& body = {});

}  // namespace orr
