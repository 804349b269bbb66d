// SPDX-License-Identifier: GPL-3.0-or-later
// The page's entry. The browser owns the loop: start-up runs here, then the browser calls
// one frame of the message loop per animation frame, and the shutdown runs after the frame
// that ends the game. The page (index.html) mounts the game's folder at /game; for
// index.html?map=URL it fetches the map first and passes "--map FILE --map-name URL".
// The game's replay goes beside its log (/game/last-run.replay) at shutdown, as in the
// native game; orr_save_replay writes it as it stands while the game runs, for the page's
// download link.
#ifdef __EMSCRIPTEN__

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "OrxCheck.h"
#include "app/UProgram.h"
#include "core/Replay.h"
#include "core/UMainModule.h"
#include "session/UGameModule.h"

namespace {

using namespace orr;

// Every log line, as the page shows it: the browser's console, line by line.
// JavaScript for the page, not C++: the formatter would break its operators (=== into == =).
// clang-format off
EM_JS(void, PageLogLine, (const char* line), {
  const text = UTF8ToString(line);
  if (Module.orrLogLine) Module.orrLogLine(text); else console.log(text);
});
EM_JS(void, PageGameEnded, (int exitCode), {
  if (Module.orrGameEnded) Module.orrGameEnded(exitCode);
});
EM_JS(void, PageMapRefused, (const char* text), {
  if (Module.orrMapRefused) Module.orrMapRefused(UTF8ToString(text));
});
EM_JS(void, PageMapWarning, (const char* text), {
  console.warn(UTF8ToString(text));
});
// clang-format on

std::unique_ptr<TProgramRun> Program;

void EchoLogLine(const std::string& line) { PageLogLine(line.c_str()); }

void EndProgram() {
  const int exitCode = Program->Finish();
  PageGameEnded(exitCode);
}

void RunFrame() {
  if (Program->Frame()) return;
  emscripten_cancel_main_loop();
  EndProgram();
}

}  // namespace

// The page's "last-run.replay" link while the game runs: the replay so far, ending with a
// digest of the state now, written where the shutdown writes it. The page calls it between
// two frames, never inside a step. 1 when written; 0 when nothing is being recorded (before
// the session, or after the game ended and left its replay).
extern "C" EMSCRIPTEN_KEEPALIVE int orr_save_replay() { return SaveReplay(TReplayEnd::Shutdown) ? 1 : 0; }

int main(int argc, char** argv) {
  std::string mapFile, mapName, seed;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--map") mapFile = argv[i + 1];
    if (option == "--map-name") mapName = argv[i + 1];
    if (option == "--seed") seed = argv[i + 1];
  }
  if (!mapFile.empty()) {
    // Judged before the game starts, as `orx check` judges it: a map the game cannot play
    // is refused with the reason, and the game does not start.
    std::vector<std::string> warnings;
    const std::string refusal = RefusalOfMapFile(mapFile, mapName.empty() ? mapFile : mapName, warnings);
    for (const auto& warning : warnings) PageMapWarning(warning.c_str());
    ResetEventLog();  // the check's loading lines are not the game's log
    if (!refusal.empty()) {
      PageMapRefused(refusal.c_str());
      return 0;
    }
    EpisodeMapOverride = mapFile;
  }
  EventLogEcho = EchoLogLine;
  Program = std::make_unique<TProgramRun>(CreateWebBackend());
  // index.html?seed=N: the start the simulator and the draw check make for seed N (the
  // page's picture compared with the native game's), silent.
  TCreationExtras extras;
  if (!seed.empty())
    extras = ReproducibleStart(static_cast<std::uint32_t>(std::strtoul(seed.c_str(), nullptr, 10)));
  if (!Program->Start(GameCreationSteps(extras))) {
    EndProgram();
    return 0;
  }
  // 0: at the browser's frame rate (requestAnimationFrame); main returns, the page lives on.
  emscripten_set_main_loop(RunFrame, 0, 0);
  return 0;
}

#endif  // __EMSCRIPTEN__
