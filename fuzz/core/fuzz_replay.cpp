// SPDX-License-Identifier: GPL-3.0-or-later
// Replay files: any bytes are either refused with a reason or give a replay whose counts
// agree with each other; such a replay written again reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr;
  TReplay replay;
  std::string error;
  if (!DecodeReplay(data, size, replay, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::uint64_t steps = 0;
  for (const TReplayRun& run : replay.Runs) {
    if (run.Count == 0) std::abort();
    steps += run.Count;
  }
  if (steps != replay.StepCount || steps > ReplayMaxSteps) std::abort();
  for (std::size_t i = 0; i < replay.Digests.size(); ++i)
    if (replay.Digests[i].Step > steps || (i > 0 && replay.Digests[i].Step <= replay.Digests[i - 1].Step))
      std::abort();
  // Written again (the writer goes step by step: only for replays of a sensible length).
  if (steps > 200000) return 0;
  const std::vector<std::uint8_t> again = EncodeReplay(replay);
  TReplay back;
  if (!DecodeReplay(again.data(), again.size(), back, error)) std::abort();
  if (back.StepCount != replay.StepCount || back.Digests.size() != replay.Digests.size() ||
      back.HasEndDigest != replay.HasEndDigest || back.End != replay.End ||
      back.Header.MapName != replay.Header.MapName || back.Header.Seed != replay.Header.Seed)
    std::abort();
  // Step by step through both.
  TReplaySource a{&replay}, b{&back};
  TKeySnapshot ka, kb;
  while (a.Next(ka)) {
    if (!b.Next(kb) || ka.Held != kb.Held || ka.Wheel != kb.Wheel) std::abort();
  }
  if (b.Next(kb)) std::abort();
  return 0;
}
