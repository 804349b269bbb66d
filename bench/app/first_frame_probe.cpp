// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a game process by bench_first_frame: at the process's first buffer swap
// it writes the time (CLOCK_MONOTONIC, nanoseconds) to file descriptor 3 and ends the
// process at once. It measures any build of the game, installed and stripped ones too,
// without changing it.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>

struct SDL_Window;

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  using TSwap = void (*)(SDL_Window*);
  static TSwap next = reinterpret_cast<TSwap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  next(window);
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  const std::int64_t ns = static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  if (write(3, &ns, sizeof ns) != static_cast<ssize_t>(sizeof ns)) _exit(3);
  _exit(0);
}
