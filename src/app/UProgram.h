// SPDX-License-Identifier: GPL-3.0-or-later
// The program's entry: creates the seven objects in their fixed order, runs the message
// loop, and shuts everything down in the reverse order.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/Application.h"

namespace orr {

// One creation step: creates an object owned by the application (CreateForm).
using TCreationStep = std::function<void(TApplication&)>;

// What each of the game's seven creation steps makes, in their order.
enum class TCreated {
  MainModule,
  AudioModule,
  GraphicsModule,
  MapModule,
  GameRender,
  GameInterface,
  GameModule
};

// Steps a program adds to the game's, each run right after the creation step that makes
// the object it is filed under.
using TCreationExtras = std::map<TCreated, TCreationStep>;

// The game's seven creation steps, in order, with `extras` in their places.
std::vector<TCreationStep> GameCreationSteps(const TCreationExtras& extras = {});

// The extras of a run that must come out the same every time (the simulator, the draw
// check): the main module's seed from the clock replaced by `seed`, and the audio module's
// sound device by a silent one.
TCreationExtras ReproducibleStart(std::uint32_t seed);

// What runs between start-up and shutdown: the message loop in the game; the simulator
// steps the game itself.
using TProgramBody = std::function<void(TApplication&)>;

// Runs a program made of `steps` on `backend` and returns the process exit code: the
// creation steps, then `body` (without one, the message loop), then the shutdown. Without
// a display: one line on stderr and exit code 1.
int RunProgram(std::unique_ptr<TPlatformBackend> backend, const std::vector<TCreationStep>& steps,
               const TProgramBody& body = {});

// The same program in three parts, for a host that owns the loop and calls back once per
// frame (the page: a browser never lets a program wait). Start runs the creation steps,
// each Frame one turn of the loop (TApplication::RunFrame), Finish the shutdown; the exit
// code and the start-up failure line are RunProgram's.
class TProgramRun {
 public:
  explicit TProgramRun(std::unique_ptr<TPlatformBackend> backend);
  ~TProgramRun();
  // Opens the backend and runs the steps; false when the program ended already (no
  // display, a halt, a constructor that failed): Finish then gives the code.
  bool Start(const std::vector<TCreationStep>& steps);
  // Runs `body` (without one, the message loop) to its end instead of frames.
  void RunBody(const TProgramBody& body);
  // One frame; false once the program has ended (the terminate request, a halt).
  bool Frame();
  // Shuts down once (every owned object, last created first, then the units' global
  // state) and returns the exit code.
  int Finish();
  bool Ended() const { return ended_; }
  TApplication& App() { return *app_; }

 private:
  template <class F>
  bool Guarded(const F& part);
  std::unique_ptr<TApplication> app_;
  bool initialized_ = false;
  bool ended_ = false;
  bool finished_ = false;
  int exitCode_ = 0;
};

}  // namespace orr
