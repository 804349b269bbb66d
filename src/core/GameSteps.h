// SPDX-License-Identifier: GPL-3.0-or-later
// The game clock: the list of step handlers and the loop that runs them, one 0.01 s step at
// a time. Whoever has time to give feeds it (the render module's cadencer in the game, the
// simulator one step at a time); every game rule is a handler on this list.
//
// Each step takes one key snapshot and hands it to every handler of the step, so every rule
// of a step sees the same keys. Everything here runs on the main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "core/GameTime.h"

namespace orr {

// While true no game step runs. Set by the render module's creation and by Escape,
// cleared as the last step of the game session's set-up.
extern bool GameHalted;

// Registered handlers in registration order; every one runs once per 0.01 s step.
extern std::vector<TStepHandler> StepHandlers;
// Seconds received and not yet consumed by steps.
extern float StepAccumulator;
// Steps run since the program started (the frame statistics compare it with the clock).
extern std::uint64_t StepsRun;

// Appends the handler (the same handler may be added more than once). A handler added
// during a step runs from the next step on.
void AddStepHandler(const TStepHandler& handler);
// Removes the first entry equal to the handler; later entries keep their order. Safe
// during a step: a removed handler is never called, and every handler that stays runs
// once in that step.
void RemoveStepHandler(const TStepHandler& handler);
// Runs one step: takes the key snapshot, then runs every handler registered when the step
// starts, once, in order, handing each the snapshot.
void RunStep();
// Adds `seconds` to StepAccumulator and runs one step per whole StepSeconds it holds,
// keeping the rest; does nothing while GameHalted. `step` runs each step (RunStep, or a
// layer's own wrapper around it).
void AdvanceSteps(double seconds, void (*step)() = RunStep);

// Watches every handler a step runs (timing tools); the game sets none.
class TStepObserver {
 public:
  virtual ~TStepObserver() = default;
  virtual void BeforeHandler(const TStepHandler& handler) = 0;
  virtual void AfterHandler(const TStepHandler& handler) = 0;
};
extern TStepObserver* StepObserver;
// Empties StepHandlers, StepAccumulator := 0, no StepObserver (tests).
void ResetStepHandlers();

}  // namespace orr
