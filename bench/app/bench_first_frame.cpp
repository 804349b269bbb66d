// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to first frame of game executables given by path, run in turns in the same
// session, so an installed game can be set against the build tree's (run it under
// `xvfb-run -a` on a machine without a display):
//
//   bench_first_frame [--runs N] GAME...
//
// Each run starts the executable as a fresh process with first_frame_probe preloaded,
// which reports the moment its first frame was presented and ends the process there (the
// game writes no log). The figure is that moment less the moment before the process was
// started: loading the program, the seven modules, the episode, the world and the first
// picture. The first GAME is the baseline the others are compared with.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Milliseconds from fork to the first frame; negative when the run failed.
double RunOnce(const std::string& game, const std::string& probe) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const std::int64_t started = NowNs();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 3);
    setenv("LD_PRELOAD", probe.c_str(), 1);
    execl(game.c_str(), game.c_str(), nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::int64_t presented = 0;
  const bool ok = read(fds[0], &presented, sizeof presented) == static_cast<ssize_t>(sizeof presented);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!ok || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return (presented - started) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  std::vector<std::string> games;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: bench_first_frame [--runs N] GAME...\n");
      return 2;
    } else {
      games.push_back(argv[i]);
    }
  }
  if (games.empty()) {
    std::fprintf(stderr, "usage: bench_first_frame [--runs N] GAME...\n");
    return 2;
  }
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  std::string probe(self, static_cast<size_t>(n));
  probe = probe.substr(0, probe.rfind('/') + 1) + "first_frame_probe.so";

  // Taken in turns, so a machine that slows down during the session affects all alike.
  std::vector<std::vector<double>> times(games.size());
  for (int r = 0; r < runs; ++r)
    for (size_t g = 0; g < games.size(); ++g) {
      const double ms = RunOnce(games[g], probe);
      if (ms < 0) {
        std::fprintf(stderr, "bench_first_frame: %s showed no frame (is there a display?)\n",
                     games[g].c_str());
        return 1;
      }
      times[g].push_back(ms);
    }
  double baseline = 0;
  for (size_t g = 0; g < games.size(); ++g) {
    std::vector<double>& t = times[g];
    std::sort(t.begin(), t.end());
    const double median = t[t.size() / 2];
    if (g == 0) baseline = median;
    std::printf("%-48s median %7.1f ms  min %7.1f  max %7.1f  (n=%zu)", games[g].c_str(), median, t.front(),
                t.back(), t.size());
    if (g == 0) std::printf("  baseline\n");
    else std::printf("  %+.1f %% against the baseline\n", (median / baseline - 1) * 100);
  }
  return 0;
}
