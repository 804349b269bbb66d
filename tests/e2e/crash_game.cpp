// SPDX-License-Identifier: GPL-3.0-or-later
// The game with one addition for the crash tests: with ORR_CRASH set to SEGV, ABRT, BUS,
// ILL or FPE it fails for real in that way a moment after its message loop starts; with
// THROW an exception reaches the game's exception hook there instead. With ORR_CRASH_STEP=N
// too, it fails in the N-th game step instead (its replay re-runs to that step). Built
// with the tests only, into build/bin: never installed, never in the game folder, so no
// player can reach it (the game itself reads no environment).
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/UProgram.h"
#include "core/GameSteps.h"

namespace {

void Crash(const std::string& how) {
  if (how == "SEGV") {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  } else if (how == "ABRT") {
    std::abort();
  } else if (how == "BUS") {
#ifdef _WIN32
    // What a mapped file's page that cannot be read raises.
    RaiseException(EXCEPTION_IN_PAGE_ERROR, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
    // A mapping past the end of its (empty) file: reading it is a bus error.
    const int fd = ::memfd_create("orr-crash", 0);
    auto* page = static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    if (page != MAP_FAILED) (void)page[0];
#endif
  } else if (how == "ILL") {
    __builtin_trap();
  } else if (how == "FPE") {
    // Both from memory: a compiler turns 1 / x into comparisons, without a division.
    volatile int numerator = 7, zero = 0;
    volatile int quotient = numerator / zero;
    (void)quotient;
  } else if (how == "THROW") {
    throw std::runtime_error("test exception from the crash test build");
  }
}

}  // namespace

// Fails in the step its count reaches; registered after the session's own handlers, so the
// step has run all of them when it fails.
struct TStepCrash {
  std::string How;
  unsigned long At = 0, Steps = 0;
  void Step() {
    if (++Steps == At) Crash(How);
  }
};
TStepCrash StepCrash;

int main() {
  auto steps = orr::GameCreationSteps();
  steps.push_back([](orr::TApplication& app) {
    const char* how = std::getenv("ORR_CRASH");
    if (how == nullptr) return;
    if (const char* at = std::getenv("ORR_CRASH_STEP")) {
      StepCrash = {how, std::strtoul(at, nullptr, 10), 0};
      orr::AddStepHandler(orr::StepHandlerOf<&TStepCrash::Step>(&StepCrash));
      return;
    }
    std::thread([&app, what = std::string(how)] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      app.Queue([what] { Crash(what); });
    }).detach();
  });
  return orr::RunProgram(orr::CreateSdlBackend(), steps);
}
