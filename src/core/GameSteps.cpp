// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/GameSteps.h"

#include <cstddef>

#include "core/Replay.h"
#include "platform/Application.h"

namespace orr {

bool GameHalted = false;
std::vector<TStepHandler> StepHandlers;
float StepAccumulator = 0;
std::uint64_t StepsRun = 0;
TStepObserver* StepObserver = nullptr;

namespace {

// The step being run: index of the handler running now and the number of handlers the
// step runs, both adjusted by removals so that nothing is skipped or called twice.
int RunningIndex = -1;
int RunningCount = 0;

bool registered = [] {
  AddFinalization([] { StepHandlers = {}; });
  return true;
}();

}  // namespace

void AddStepHandler(const TStepHandler& handler) { StepHandlers.push_back(handler); }

void RemoveStepHandler(const TStepHandler& handler) {
  for (size_t i = 0; i < StepHandlers.size(); ++i) {
    if (!(StepHandlers[i] == handler)) continue;
    StepHandlers.erase(StepHandlers.begin() + static_cast<std::ptrdiff_t>(i));
    const int removed = static_cast<int>(i);
    if (RunningIndex >= 0) {
      if (removed <= RunningIndex) --RunningIndex;
      if (removed < RunningCount) --RunningCount;
    }
    return;
  }
}

void RunStep() {
  ++StepsRun;
  TKeySnapshot keys = TakeKeySnapshot();  // every handler of the step sees the same keys
  StepKeys(keys);                         // recorded, or replaced by a replay's
  struct TLeave {
    int SavedIndex, SavedCount;
    ~TLeave() {
      RunningIndex = SavedIndex;
      RunningCount = SavedCount;
    }
  } leave{RunningIndex, RunningCount};
  RunningCount = static_cast<int>(StepHandlers.size());
  // Read once a step: a handler cannot set an observer, and the plain loop stays as lean
  // as it was before there were observers.
  TStepObserver* const observer = StepObserver;
  for (RunningIndex = 0; RunningIndex < RunningCount; ++RunningIndex) {
    if (RunningIndex >= static_cast<int>(StepHandlers.size())) break;
    const TStepHandler handler = StepHandlers[RunningIndex];
    // The objects of the handlers two places on (entities, on a big map far apart in
    // memory) load while this one runs; a prefetch changes nothing.
    if (RunningIndex + 2 < static_cast<int>(StepHandlers.size())) {
      const char* next =
          static_cast<const char*>(StepHandlers[static_cast<std::size_t>(RunningIndex) + 2].Data);
      if (next != nullptr)
        for (int line = 0; line < 4; ++line) __builtin_prefetch(next + 64 * line);
    }
    if (handler.Code == nullptr) continue;
    if (observer == nullptr) {
      handler(keys);
      continue;
    }
    observer->BeforeHandler(handler);
    handler(keys);
    observer->AfterHandler(handler);
  }
  StepDone();
}

void AdvanceSteps(double seconds, void (*step)()) {
  if (GameHalted) return;
  StepAccumulator = static_cast<float>(StepAccumulator + seconds);
  while (StepAccumulator >= StepSeconds) {
    step();
    StepAccumulator = static_cast<float>(StepAccumulator - StepSeconds);
  }
}

void ResetStepHandlers() {
  StepHandlers.clear();
  StepAccumulator = 0;
  RunningIndex = -1;
  RunningCount = 0;
  StepObserver = nullptr;
}

}  // namespace orr
