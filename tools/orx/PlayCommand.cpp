// SPDX-License-Identifier: GPL-3.0-or-later
// `orx play MAP.orx`: plays a map in the game the tool belongs to (the installed one, or
// the build tree's), without building anything. The game reads no command line; what it
// plays is its folder, so the map gets a folder of its own: a copy of the game's program
// (which finds its data beside its own file), the game's pictures, and the map as the
// episode Episodes/Test/Promo4.orx. The game writes its log there.
//
// On Linux the pictures are a link to the game's. With a display the game simply runs
// there. Without one it runs on a virtual 1024x768 screen (Xvfb): five seconds after the
// game's window shows, a screenshot is saved into the folder, Escape is pressed, and the
// screenshot, the log and the game's exit code are printed.
//
// On Windows a link needs rights an ordinary user lacks: the pictures and the fallback
// fonts (Fonts\) are copied instead, and on a replay only what changed since. There is
// always a desktop there; orx waits for the game and prints the log and its exit code.
#include "PlayCommand.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "OrxCheck.h"
#include "core/Replay.h"
#include "platform/Application.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32

const char* const GameProgram = "orrindel.exe";
const char* const WatchProgram = "orrindel-watch.exe";
const char* const StateVariables = "LOCALAPPDATA";

// The game's data folders beside its program: copied, since links need rights on Windows.
// Fonts\ holds the fonts the game falls back to (Wine's Fonts folder is empty); a game
// without one does without.
bool LayOutData(const fs::path& game, const fs::path& folder, std::error_code& error) {
  for (const char* data : {"Graphics", "Fonts"}) {
    if (!fs::is_directory(game / data, error)) {
      if (std::strcmp(data, "Graphics") == 0) {
        if (!error) error = std::make_error_code(std::errc::no_such_file_or_directory);
        return false;
      }
      error.clear();
      continue;
    }
    fs::copy(game / data, folder / data, fs::copy_options::recursive | fs::copy_options::update_existing,
             error);
    if (error) return false;
  }
  return true;
}

std::string LastErrorText() {
  wchar_t* text = nullptr;
  const DWORD code = GetLastError();
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? Utf8FromWide(text) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message;
}

// Starts the game (or `program` with `argument`) in `folder` and waits for it to end; its
// exit code (an exception's code when it crashed), or 1 when it does not start.
int RunGame(const fs::path& folder, const char* programName = GameProgram, const std::string& argument = {}) {
  const std::wstring program = (folder / programName).wstring();
  std::wstring commandLine = L"\"" + program + L"\"";  // CreateProcessW may write into it
  if (!argument.empty()) commandLine += L" \"" + WideFromUtf8(argument) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.wstring().c_str(), &startup, &process)) {
    std::fprintf(stderr, "orx: play: cannot start %s: %s\n", Utf8FromPath(folder / programName).c_str(),
                 LastErrorText().c_str());
    return 1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  // A game folder that takes no writes sends the log to the user's state folder.
  std::error_code error;
  fs::path log = folder / "log.txt";
  const fs::path fallback = PathFromUtf8(UserStateFolder("orrindel")) / "log.txt";
  if (!fs::exists(log, error) && fs::exists(fallback, error)) log = fallback;
  std::printf("Log:        %s\n", Utf8FromPath(log).c_str());
  if (code >= 0x80000000u)  // an exception's code, as the crash log's filter ends the game
    std::printf("Game exit code: 0x%08lX (it crashed)\n", static_cast<unsigned long>(code));
  else std::printf("Game exit code: %lu\n", static_cast<unsigned long>(code));
  return static_cast<int>(code);
}

}  // namespace

const char* const PlayUsage =
    "  play MAP.orx [--folder DIR]\n"
    "                           play the map in this tool's game: checked first (a map\n"
    "                           with errors is not started), then played from a folder of\n"
    "                           its own, by default %LOCALAPPDATA%\\Orrindel\\play-map\\NAME\\,\n"
    "                           with a copy of the game; the game's log goes there\n"
    "  play --replay FILE [MAP.orx] [--folder DIR]\n"
    "                           show a replay (last-run.replay beside the game's log) in the\n"
    "                           game's window at its own speed; MAP.orx is the map it was\n"
    "                           played on (default: the episode); Escape ends it\n";

#else

const char* const GameProgram = "orrindel";
const char* const WatchProgram = "orrindel-watch";
const char* const StateVariables = "HOME or XDG_STATE_HOME";

// The pictures: a link to the game's, made anew.
bool LayOutData(const fs::path& game, const fs::path& folder, std::error_code& error) {
  fs::remove(folder / "Graphics", error);
  fs::create_directory_symlink(fs::canonical(game / "Graphics", error), folder / "Graphics", error);
  return !error;
}

// Starts `argv` with standard output into `out` (when given) and standard error
// silenced when `quiet`; returns its process id, or -1.
pid_t Start(const std::vector<std::string>& argv, int outFd = -1, bool quiet = true, int keepFd = -1) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 0);
  ::dup2(outFd >= 0 ? outFd : null, 1);
  if (quiet) ::dup2(null, 2);
  if (keepFd >= 0 && keepFd != 3) {
    ::dup2(keepFd, 3);
  }
  ::execvp(args[0], args.data());
  ::_exit(127);
}

// Waits up to `seconds` for the process; its exit code, 128 + signal, or -1 when it still
// runs.
int WaitFor(pid_t pid, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// Runs `argv` to its end (at most `seconds`); its standard output.
std::string Output(const std::vector<std::string>& argv, double seconds, int* code = nullptr) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  const pid_t pid = Start(argv, pipeFds[1]);
  ::close(pipeFds[1]);
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int result = pid > 0 ? WaitFor(pid, seconds) : -1;
  if (result < 0 && pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
  if (code != nullptr) *code = result;
  return out;
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string list = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t end = std::min(list.find(':', at), list.size());
    const fs::path candidate = fs::path(list.substr(at, end - at)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

// The game on a virtual screen: screenshot, Escape, exit code (-1: it had to be stopped).
// With a replay to watch: the watcher runs it to its end (at most `seconds`), printing its
// verdict; the screenshot is taken five seconds in.
int RunOnVirtualScreen(const fs::path& folder, const std::string& replay = {}, double seconds = 0) {
  for (const char* tool : {"Xvfb", "xdotool", "import"})
    if (!OnPath(tool)) {
      std::fprintf(stderr,
                   "orx: no display, and %s is missing for the virtual screen "
                   "(sudo apt install xvfb xdotool imagemagick)\n",
                   tool);
      return 1;
    }
  std::printf("No display found: running the game on a virtual 1024x768 screen.\n");
  std::fflush(stdout);
  int displayPipe[2];
  if (::pipe(displayPipe) != 0) return 1;
  const pid_t xvfb = Start({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, -1,
                           true, displayPipe[1]);
  ::close(displayPipe[1]);
  std::string number;
  pollfd wait{displayPipe[0], POLLIN, 0};
  char c = 0;
  while (::poll(&wait, 1, 15000) > 0 && ::read(displayPipe[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(displayPipe[0]);
  if (xvfb < 0 || number.empty()) {
    std::fprintf(stderr, "orx: Xvfb did not start\n");
    if (xvfb > 0) ::kill(xvfb, SIGTERM), ::waitpid(xvfb, nullptr, 0);
    return 1;
  }
  ::setenv("DISPLAY", (":" + number).c_str(), 1);

  const fs::path screenshot = folder / "screenshot.png";
  const pid_t game = replay.empty() ? Start({(folder / GameProgram).string()}, -1, false)
                                    : Start({(folder / WatchProgram).string(), replay}, 1, false);
  // The picture is taken five seconds after the game's window shows (a first start on a
  // busy machine, with the driver's caches still empty, takes longer than that to show
  // it at all), or after 30 s without a window.
  std::string window;
  int ended = -1;  // the game's exit code when it ended before showing its window
  for (int tries = 0; tries < 60 && window.empty(); ++tries) {
    if ((ended = WaitFor(game, 0)) >= 0) break;
    window = Output({"xdotool", "search", "--onlyvisible", "--name", "^Orrindel$"}, 10);
    window = window.substr(0, window.find('\n'));
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  std::this_thread::sleep_for(std::chrono::seconds(5));
  Output({"import", "-window", "root", screenshot.string()}, 30);
  int code = ended;
  if (!replay.empty() && code < 0) code = WaitFor(game, seconds);  // the replay ends by itself
  if (code < 0) {
    if (!window.empty()) Output({"xdotool", "windowfocus", "--sync", window}, 10);
    Output({"xdotool", "key", "Escape"}, 10);
    code = WaitFor(game, 10);
  }
  if (code < 0) {
    std::fprintf(stderr, "orx: the game did not end after Escape; stopping it\n");
    ::kill(game, SIGKILL);
    ::waitpid(game, nullptr, 0);
    code = 1;
  }
  ::kill(xvfb, SIGTERM);
  ::waitpid(xvfb, nullptr, 0);
  std::error_code error;
  std::printf("Screenshot: %s\n", fs::exists(screenshot, error) ? screenshot.c_str() : "(none taken)");
  std::printf("Log:        %s\n", (folder / "log.txt").c_str());
  std::printf("Game exit code: %d\n", code);
  return code;
}

// With a display the game replaces this program; without one it runs on a virtual screen.
// 1 when it does not start. With `replay`, the watcher shows it instead (`seconds`: how long
// the replay lasts, with room to spare).
int RunGame(const fs::path& folder, const std::string& replay = {}, double seconds = 0) {
  const char* display = std::getenv("DISPLAY");  // the game's window is an X11 one
  if (display != nullptr && *display != 0) {
    const std::string path = (folder / (replay.empty() ? GameProgram : WatchProgram)).string();
    char* const argv[] = {const_cast<char*>(path.c_str()),
                          replay.empty() ? nullptr : const_cast<char*>(replay.c_str()), nullptr};
    ::execv(argv[0], argv);
    std::fprintf(stderr, "orx: play: cannot start %s: %s\n", argv[0], std::strerror(errno));
    return 1;
  }
  return RunOnVirtualScreen(folder, replay, seconds);
}

}  // namespace

const char* const PlayUsage =
    "  play MAP.orx [--folder DIR]\n"
    "                           play the map in this tool's game (installed or built):\n"
    "                           checked first (a map with errors is not started), then\n"
    "                           played from a folder of its own, by default\n"
    "                           ~/.local/state/orrindel/play-map/NAME/, where the game's\n"
    "                           log goes. Without a display: on a virtual screen, with a\n"
    "                           screenshot in that folder 5 s after the window shows,\n"
    "                           then Escape\n"
    "  play --replay FILE [MAP.orx] [--folder DIR]\n"
    "                           show a replay (last-run.replay beside the game's log) in the\n"
    "                           game's window at its own speed; MAP.orx is the map it was\n"
    "                           played on (default: the episode); Escape ends it. The last\n"
    "                           line says whether the game came to the recorded states\n";

#endif  // _WIN32

int PlayCommand(const std::vector<std::string>& args, TOrxLoad load) {
  std::string map, folderArg, replayArg;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--replay") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "orx: play: --replay needs a file\n(orx --help shows how to use it)\n");
        return 2;
      }
      replayArg = args[++i];
    } else if (args[i] == "--folder") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "orx: play: --folder needs a folder\n(orx --help shows how to use it)\n");
        return 2;
      }
      folderArg = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      std::fprintf(stderr, "orx: play: unknown option %s\n(orx --help shows how to use it)\n",
                   args[i].c_str());
      return 2;
    } else if (map.empty()) {
      map = args[i];
    } else {
      std::fprintf(stderr, "orx: play: one MAP.orx only\n(orx --help shows how to use it)\n");
      return 2;
    }
  }
  const fs::path game = PathFromUtf8(GameFolderBeside(ExecutableFileName()));
  std::error_code error;
  TReplay replay;
  if (!replayArg.empty()) {
    std::string why;
    if (!ReadReplayFile(replayArg, replay, why)) {
      std::fprintf(stderr, "orx: play: %s: %s\n", replayArg.c_str(), why.c_str());
      return 2;
    }
    if (map.empty()) map = Utf8FromPath(game / "Episodes" / "Test" / "Promo4.orx");
    std::uint64_t digest = 0, bytes = 0;
    if (!FileDigest(map, digest, bytes) || digest != replay.Header.MapDigest ||
        bytes != replay.Header.MapBytes) {
      std::fprintf(stderr,
                   "orx: play: %s was recorded on map %s, not on %s; name that map after the replay\n",
                   replayArg.c_str(), replay.Header.MapName.c_str(), map.c_str());
      return 2;
    }
  }
  if (map.empty()) {
    std::fprintf(stderr, "orx: play: MAP.orx missing\n(orx --help shows how to use it)\n");
    return 2;
  }

  if (load(map, false) != 0) return 1;
  const TCheckReport report = CheckGameMap();
  for (const auto& finding : report.Findings)
    std::printf("%s: %s: %s\n", map.c_str(), finding.Severity == TCheckSeverity::Error ? "error" : "warning",
                finding.Text.c_str());
  // A replay was played on its map already: what the check finds is shown, not a reason to stop.
  if (report.Errors() > 0 && replayArg.empty()) {
    std::fprintf(stderr, "orx: %s: the game would trip over this map; not started\n", map.c_str());
    return 1;
  }

  if (game.empty() || !fs::is_regular_file(game / GameProgram, error)) {
    std::fprintf(stderr, "orx: play: no game beside this program (build it, or install the package)\n");
    return 1;
  }
  // The watcher is installed with the tools, beside this program.
  const fs::path watcher = PathFromUtf8(ExecutableFileName()).parent_path() / WatchProgram;
  if (!replayArg.empty() && !fs::is_regular_file(watcher, error)) {
    std::fprintf(stderr, "orx: play: no %s beside this program to show the replay with\n", WatchProgram);
    return 1;
  }
  const std::string name = Utf8FromPath(PathFromUtf8(map).stem());
  fs::path folder;
  if (!folderArg.empty()) {
    folder = fs::absolute(PathFromUtf8(folderArg), error);
    fs::create_directories(folder, error);
  } else {
    const std::string state = UserStateFolder("orrindel");
    if (state.empty()) {
      std::fprintf(stderr, "orx: play: no %s to put the game's folder in; use --folder DIR\n",
                   StateVariables);
      return 1;
    }
    folder = PathFromUtf8(state) / "play-map" / PathFromUtf8(name);
    CreateUserFolder(Utf8FromPath(folder));
  }
  // Only what this command lays out is replaced: --folder may name a folder with other files.
  const fs::path program = folder / GameProgram, episode = folder / "Episodes" / "Test";
  for (const fs::path& old : {program, episode / "Promo4.orx", folder / "log.txt", folder / "screenshot.png"})
    fs::remove(old, error);
  fs::create_directories(episode, error);
  bool laidOut = !error;
  laidOut = laidOut && fs::copy_file(game / GameProgram, program, error);
  laidOut = laidOut && LayOutData(game, folder, error);
  laidOut = laidOut && fs::copy_file(PathFromUtf8(map), episode / "Promo4.orx", error);
  if (!laidOut) {
    std::fprintf(stderr, "orx: play: cannot lay out %s: %s\n", Utf8FromPath(folder).c_str(),
                 error.message().c_str());
    return 1;
  }
  if (!replayArg.empty()) {
    const fs::path watched = folder / "watch.replay";
    fs::remove(folder / WatchProgram, error);
    if (!fs::copy_file(watcher, folder / WatchProgram, error) ||
        !fs::copy_file(PathFromUtf8(replayArg), watched, fs::copy_options::overwrite_existing, error)) {
      std::fprintf(stderr, "orx: play: cannot lay out %s: %s\n", Utf8FromPath(folder).c_str(),
                   error.message().c_str());
      return 1;
    }
    std::printf("orx: showing %s (%llu steps, %.1f s) on %s in %s\n", replayArg.c_str(),
                static_cast<unsigned long long>(replay.StepCount),
                static_cast<double>(replay.StepCount) / 100, map.c_str(), Utf8FromPath(folder).c_str());
    std::fflush(stdout);
#ifdef _WIN32
    return RunGame(folder, WatchProgram, Utf8FromPath(watched));
#else
    return RunGame(folder, Utf8FromPath(watched), static_cast<double>(replay.StepCount) / 100 * 3 + 60);
#endif
  }
  std::printf("orx: playing %s in %s\n", map.c_str(), Utf8FromPath(folder).c_str());
  std::fflush(stdout);
  return RunGame(folder);
}

}  // namespace orr
