// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and idle figures of the game shell, measured on a real display (run it under
// `xvfb-run -a` on a machine without one).
//
//   bench_startup [RUNS]
//
// Each run starts a fresh process from a scratch folder that holds a copy of this program
// and links to the game's data in build/game, so the game finds its episode and pictures
// beside the executable as it does when installed. The game run goes through the game's own entry with
// its seven modules and reports the moment its first frame was presented, then idles for
// three seconds and reports the CPU time it used meanwhile. The baseline run in the same
// session is the least a program can do to show a frame: open an OpenGL window, clear,
// swap.
#include <SDL.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/UGameInterface.h"
#include "app/UProgram.h"

namespace {

constexpr double IdleSeconds = 3.0;

double NowSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double CpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

struct TReport {
  double FirstFrame = 0;  // CLOCK_MONOTONIC seconds
  double IdleCpu = -1;    // CPU seconds used while idling
};

// Sits on the window and notices the first presented frame.
class TFirstFrameProbe : public orr::TControl {
 public:
  TFirstFrameProbe(orr::TComponent* owner, TReport* report) : TControl(owner), report_(report) {}
  void FramePresented() override {
    if (seen_) return;
    seen_ = true;
    report_->FirstFrame = NowSeconds();
    double cpuAtStart = CpuSeconds();
    watcher_ = std::thread([this, cpuAtStart] {
      std::this_thread::sleep_for(std::chrono::duration<double>(IdleSeconds));
      report_->IdleCpu = CpuSeconds() - cpuAtStart;
      orr::Application->Queue([] { orr::Application->Terminate(); });
    });
  }
  ~TFirstFrameProbe() override {
    if (watcher_.joinable()) watcher_.join();
  }

 private:
  TReport* report_;
  bool seen_ = false;
  std::thread watcher_;
};

TReport RunGameChild() {
  TReport report;
  auto steps = orr::GameCreationSteps();
  steps.push_back([&report](orr::TApplication& app) {
    auto* probe = orr::TComponent::Create<TFirstFrameProbe>(&app, &report);
    probe->SetParent(orr::FGameInterface);
  });
  orr::RunProgram(orr::CreateSdlBackend(), steps);
  return report;
}

TReport RunBaselineChild() {
  TReport report;
  SDL_Init(SDL_INIT_VIDEO);
  SDL_DisplayMode mode;
  SDL_GetDesktopDisplayMode(0, &mode);
  SDL_Window* window =
      SDL_CreateWindow("baseline", 0, 0, mode.w, mode.h, SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  report.FirstFrame = NowSeconds();
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return report;
}

// Starts this program again in a child mode and returns its report and start time.
bool RunChild(const char* self, const char* mode, double& started, TReport& report) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  started = NowSeconds();
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 3);
    execl(self, self, mode, nullptr);
    _exit(127);
  }
  close(fds[1]);
  bool ok = read(fds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return ok && WIFEXITED(status);
}

void PrintStats(const char* name, std::vector<double> values, const char* unit, double scale) {
  std::sort(values.begin(), values.end());
  double sum = 0;
  for (double v : values) sum += v;
  std::printf("%-32s median %8.1f %s  min %8.1f  max %8.1f  mean %8.1f  (n=%zu)\n", name,
              values[values.size() / 2] * scale, unit, values.front() * scale, values.back() * scale,
              sum / values.size() * scale, values.size());
}

// A scratch game folder with a copy of this program; returns the copy's path.
std::string PrepareGameFolder() {
  namespace fs = std::filesystem;
  const fs::path self = fs::canonical("/proc/self/exe");
  const fs::path game = self.parent_path().parent_path() / "game";
  if (!fs::exists(game / "Episodes")) {
    std::fprintf(stderr, "bench_startup: no game data in %s (build the content first)\n", game.c_str());
    std::exit(1);
  }
  const fs::path folder = fs::temp_directory_path() / ("orr_bench_startup_" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(game)) {
    const std::string name = entry.path().filename();
    if (name != "orrindel" && name != "log.txt") fs::create_symlink(entry.path(), folder / name);
  }
  fs::copy_file(self, folder / "bench_startup");
  return folder / "bench_startup";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 &&
      (std::strcmp(argv[1], "--child-game") == 0 || std::strcmp(argv[1], "--child-baseline") == 0)) {
    TReport report = std::strcmp(argv[1], "--child-game") == 0 ? RunGameChild() : RunBaselineChild();
    return write(3, &report, sizeof report) == static_cast<ssize_t>(sizeof report) ? 0 : 1;
  }
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string child = PrepareGameFolder();
  std::vector<double> game, baseline, idle;
  for (int i = 0; i < runs; ++i) {
    double started = 0;
    TReport report;
    if (!RunChild(child.c_str(), "--child-baseline", started, report)) {
      std::fprintf(stderr, "bench_startup: the baseline run failed (is there a display?)\n");
      return 1;
    }
    baseline.push_back(report.FirstFrame - started);
    if (!RunChild(child.c_str(), "--child-game", started, report) || report.FirstFrame <= 0 ||
        report.IdleCpu < 0) {
      std::fprintf(stderr, "bench_startup: the game painted no frame (see %s)\n",
                   (std::filesystem::path(child).parent_path() / "log.txt").c_str());
      return 1;
    }
    game.push_back(report.FirstFrame - started);
    idle.push_back(report.IdleCpu / IdleSeconds);
  }
  PrintStats("process start -> first frame, game", game, "ms", 1000);
  PrintStats("  baseline (window + one swap)", baseline, "ms", 1000);
  PrintStats("idle loop CPU, game", idle, "%", 100);
  std::filesystem::remove_all(std::filesystem::path(child).parent_path());
  return 0;
}
