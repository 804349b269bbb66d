// SPDX-License-Identifier: GPL-3.0-or-later
// The SDL2 backend: one borderless full-screen window with an OpenGL context (OpenGL ES 3.0
// or OpenGL 1.x, as the renderer backend needs), SDL's event queue as the message queue,
// SDL message boxes. (The page has its own, WebBackend.)
#ifndef __EMSCRIPTEN__
#ifdef _WIN32
#include <windows.h>
#endif
#include <SDL.h>

#include <signal.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/Backend.h"
#include "platform/DisplayLoss.h"
#include "platform/Fonts.h"
#include "platform/Gamepad.h"
#include "platform/Keys.h"
#include "platform/RendererPaintContext.h"
#include "platform/SdlKeys.h"
#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

#ifdef _WIN32

// Console control events (Ctrl+C, Ctrl+Break, the console closed, logoff, shutdown) come on
// a thread of the system's: noted, so the application can take a message box down, and
// turned into a quit as SDL does with SIGTERM elsewhere. For the last three the process
// ends when the handler returns: the handler waits a moment for the game to end itself.
std::atomic<int> TerminationSignal{0};

BOOL WINAPI OnConsoleControl(DWORD event) {
  TerminationSignal.store(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4000);
  return TRUE;
}

void WatchTerminationSignals() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

// SDL shows a message box as a dialog window of this process: asked to close, it closes as
// its Cancel button would, and SDL's call returns.
BOOL CALLBACK CloseIfOurDialog(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[16] = {};
  if (process == GetCurrentProcessId() && GetClassNameW(window, name, 16) > 0 &&
      std::wstring(name) == L"#32770")
    PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void EndChildProcesses() { EnumWindows(CloseIfOurDialog, 0); }

#else

// SIGTERM and SIGINT: SDL turns them into a quit event at its next look at the event
// queue, which never comes while the main thread waits for a message box. The signal is
// noted here too, so the application can take the box down; SDL's own handler still runs.
std::atomic<int> TerminationSignal{0};
struct sigaction SdlSignalActions[2];
constexpr int TerminationSignals[2] = {SIGTERM, SIGINT};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnTerminationSignal(int signal) {
  TerminationSignal.store(signal);
  SdlSignalActions[signal == SIGTERM ? 0 : 1].sa_handler(signal);
}

// Only where SDL handles the signal: one that was ignored when the game started (SIGINT for
// a job started in the background) stays ignored, one SDL was told to leave alone stays
// with its default.
void WatchTerminationSignals() {
  for (int i = 0; i < 2; ++i) {
    struct sigaction current {};
    if (sigaction(TerminationSignals[i], nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler == SIG_DFL ||
        current.sa_handler == SIG_IGN || current.sa_handler == OnTerminationSignal)
      continue;
    SdlSignalActions[i] = current;
    struct sigaction ours {};
    ours.sa_handler = OnTerminationSignal;
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = SA_RESTART;
    sigaction(TerminationSignals[i], &ours, nullptr);
  }
}

// SDL shows a message box from a child process of its own (Xlib is not thread-safe):
// ending the box means ending that child, after which SDL reports the box as failed.
void EndChildProcesses() {
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream children(task.path() / "children");
    for (pid_t child = 0; children >> child;) {
      // The child carries our signal handlers: only SIGKILL ends it for sure.
      if (child > 0) ::kill(child, SIGKILL);
    }
  }
}

#endif

class TSdlBackend : public TPlatformBackend {
 public:
  ~TSdlBackend() override {
    ForgetDisplayLoss(&OnDisplayLost);
    if (renderer_ != nullptr) {
      SetLiveRenderer(nullptr);
      SDL_GL_MakeCurrent(window_, context_);
      renderer_.reset();
    }
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    pads_.Stop();
    if (initialized_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  bool Initialize(std::string& error) override {
    // The game's window is an X11 window; on a Wayland desktop it goes through the
    // desktop's X server (XWayland, which sets DISPLAY). SDL's own Wayland driver is not
    // asked for: with only WAYLAND_DISPLAY set it crashed inside SDL's start-up on Weston's
    // headless compositor, where X11 alone ends with a clear "cannot open a display".
    // Windows has its own driver, SDL's choice there.
#ifndef _WIN32
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
#endif
    // A busy X server can refuse a single connection attempt; a display that is named
    // gets two seconds of attempts before the game gives up on it.
    const bool displayNamed = SDL_getenv("DISPLAY") != nullptr && *SDL_getenv("DISPLAY") != 0;
    int attempts = displayNamed ? 20 : 1;
    while (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      if (--attempts == 0) {
        error = std::string("cannot open a display: ") + SDL_GetError();
        return false;
      }
      SDL_Delay(100);
    }
    initialized_ = true;
    pads_.Start();  // without pads (or without their subsystem) the keyboard alone plays
    WatchTerminationSignals();
    WatchDisplayLoss(&OnDisplayLost);
    // SDL falls back to drivers that draw nowhere; a game window needs a real display.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::string(driver) == "offscreen" || std::string(driver) == "dummy") {
      error = "cannot open a display: no display server found (is DISPLAY set?)";
      return false;
    }
    wakeEvent_ = SDL_RegisterEvents(1);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
      error = std::string("cannot read the screen size: ") + SDL_GetError();
      return false;
    }
    screenWidth_ = mode.w;
    screenHeight_ = mode.h;
    return true;
  }

  bool PollEvent(TPlatformEvent& event) override {
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
      if (TranslateSdlEvent(e, wakeEvent_, pads_, event)) return true;
    }
    return false;
  }

  void WaitEvent(int timeoutMs) override {
    // With no event structure SDL only waits and leaves the event queued for PollEvent.
    if (timeoutMs < 0) {
      SDL_WaitEvent(nullptr);
    } else {
      SDL_WaitEventTimeout(nullptr, timeoutMs);
    }
  }

  void Wake() override {
    SDL_Event e{};
    e.type = wakeEvent_;
    SDL_PushEvent(&e);
  }

  void PostQuit() override {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
  }

  int ScreenWidth() override { return screenWidth_; }
  int ScreenHeight() override { return screenHeight_; }
  std::vector<std::string> FontFamilies() override { return InstalledFontFamilies(); }

  TModalResult ShowMessageBox(const std::string& caption, const std::string& text,
                              TMsgBoxKind kind) override {
    PresentFrame();  // the game's window shows its last picture behind the box
    SDL_MessageBoxButtonData buttons[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "Cancel"},
    };
    SDL_MessageBoxData data{};
    data.flags = kind == TMsgBoxKind::WarningOkCancel ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = kind == TMsgBoxKind::WarningOkCancel ? 2 : 1;
    if (kind == TMsgBoxKind::Plain) buttons[0].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.buttons = buttons;
    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
      SDL_Log("message box failed (%s): %s", SDL_GetError(), text.c_str());
      return kind == TMsgBoxKind::Plain ? TModalResult::Ok : TModalResult::Cancel;
    }
    if (pressed == 1) return TModalResult::Ok;
    if (pressed == 2) return TModalResult::Cancel;
    return kind == TMsgBoxKind::Plain ? TModalResult::Ok : TModalResult::Cancel;
  }

  bool TerminationRequested() override { return TerminationSignal.load() != 0; }
  void CloseMessageBoxes() override { EndChildProcesses(); }

  TKeyStates KeyStates() override {
    SDL_PumpEvents();
    return SdlKeyStates() | pads_.HeldKeys();
  }

  bool CreateMainWindow(std::string& error) override {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window_ = SDL_CreateWindow("Orrindel", 0, 0, screenWidth_, screenHeight_,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (window_ == nullptr) {
      error = SDL_GetError();
      return false;
    }
    // The shader renderer on an OpenGL ES 3.0 context; where the driver gives none (or the
    // context cannot carry the renderer) the fixed-function one on an ordinary context.
    if (RequestedRenderer() == TRendererKind::Es3 && CreateContext(TRendererKind::Es3, error)) return true;
    return CreateContext(TRendererKind::Gl1, error);
  }

  bool CreateContext(TRendererKind kind, std::string& error) {
    if (kind == TRendererKind::Es3) {
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    } else {
      // SDL's defaults: a compatibility context.
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
      error = std::string("no OpenGL context: ") + SDL_GetError();
      return false;
    }
    SDL_GL_SetSwapInterval(0);  // never wait for the vertical retrace
    renderer_ = CreateRenderBackend(kind, error);
    if (renderer_ == nullptr) {
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
      return false;
    }
    SetLiveRenderer(renderer_.get());
    return true;
  }

  void SetWindowBounds(int left, int top, int width, int height) override {
    if (window_ == nullptr) return;
    SDL_SetWindowPosition(window_, left, top);
    SDL_SetWindowSize(window_, width, height);
  }

  void ShowMainWindow() override {
    if (window_ == nullptr) return;
    // A borderless window the size of the screen, as the game window is laid out. SDL's
    // full-screen modes are not used: they wait up to 100 ms for a window manager's answer,
    // which doubled the time to the first frame where no window manager runs.
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
  }

  bool PaintFrame(const std::function<void(TPaintContext&)>& paint) override {
    if (window_ == nullptr || context_ == nullptr) return false;
    PresentFrame();
    SDL_GL_MakeCurrent(window_, context_);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    TRendererPaintContext ctx(*renderer_, w, h);
    paint(ctx);
    // Starts the rasteriser's threads on the frame; the swap waits for them. Whatever the
    // caller does before PresentFrame overlaps with the drawing.
    renderer_->Flush();
    framePending_ = true;
    return true;
  }

  void PresentFrame() override {
    if (!framePending_) return;
    framePending_ = false;
    if (window_ == nullptr || context_ == nullptr) return;
    SDL_GL_MakeCurrent(window_, context_);
    SDL_GL_SwapWindow(window_);
  }

 private:
  bool initialized_ = false;
  Uint32 wakeEvent_ = 0;
  int screenWidth_ = 0, screenHeight_ = 0;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  std::unique_ptr<TRenderBackend> renderer_;  // drawing with context_
  bool framePending_ = false;                 // painted and flushed, not yet swapped to the screen
  TGamepads pads_;
};

}  // namespace

std::unique_ptr<TPlatformBackend> CreateSdlBackend() { return std::make_unique<TSdlBackend>(); }

}  // namespace orr

#endif  // !__EMSCRIPTEN__
