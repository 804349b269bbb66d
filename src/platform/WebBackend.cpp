// SPDX-License-Identifier: GPL-3.0-or-later
// The page's backend: SDL2 on a canvas that fills the page, with a WebGL 2 (OpenGL ES 3.0)
// context drawn through the shader renderer; SDL's event queue as the message queue, the page's own dialogs
// as message boxes. The browser owns the loop: nothing here ever waits (see TProgramRun).
#ifdef __EMSCRIPTEN__

#include <SDL.h>
#include <emscripten.h>

#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Fonts.h"
#include "platform/Gamepad.h"
#include "platform/Keys.h"
#include "platform/RendererPaintContext.h"
#include "platform/SdlKeys.h"
#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

// The page's size in CSS pixels: the canvas fills it, as the game's window fills a screen.
// JavaScript for the page, not C++: the formatter would break its operators (=== into == =).
// clang-format off
EM_JS(int, PageWidth, (), { return Math.max(1, Math.floor(window.innerWidth)); });
EM_JS(int, PageHeight, (), { return Math.max(1, Math.floor(window.innerHeight)); });
// clang-format on

// The page's message box (index.html: Module.orrMessageBox, a modal dialog of the browser,
// which holds the program as a modal box does). 1: OK, 2: Cancel.
// JavaScript for the page, not C++: the formatter would break its operators (=== into == =).
// clang-format off
EM_JS(int, PageMessageBox, (const char* caption, const char* text, int okCancel), {
  const c = UTF8ToString(caption);
  const t = UTF8ToString(text);
  if (Module.orrMessageBox) return Module.orrMessageBox(c, t, okCancel !== 0);
  if (okCancel) return window.confirm(c + "\n\n" + t) ? 1 : 2;
  window.alert(c + "\n\n" + t);
  return 1;
});
// clang-format on

class TWebBackend : public TPlatformBackend {
 public:
  ~TWebBackend() override {
    if (renderer_ != nullptr) {
      SetLiveRenderer(nullptr);
      renderer_.reset();
    }
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    pads_.Stop();
    if (initialized_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  bool Initialize(std::string& error) override {
    // Without SDL_HINT_EMSCRIPTEN_KEYBOARD_ELEMENT keys reach SDL from the whole page, not
    // only from a focused canvas, as a full-screen window gets every key.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      error = std::string("cannot start the page's video: ") + SDL_GetError();
      return false;
    }
    initialized_ = true;
    pads_.Start();  // pads through the browser's gamepad interface, as SDL's joysticks
    wakeEvent_ = SDL_RegisterEvents(1);
    screenWidth_ = PageWidth();
    screenHeight_ = PageHeight();
    return true;
  }

  bool PollEvent(TPlatformEvent& event) override {
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
      if (TranslateSdlEvent(e, wakeEvent_, pads_, event)) return true;
    }
    return false;
  }

  // The browser calls the loop back each frame; a wait would hang the page.
  void WaitEvent(int) override {}

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
    const bool okCancel = kind == TMsgBoxKind::WarningOkCancel;
    const int pressed = PageMessageBox(caption.c_str(), text.c_str(), okCancel ? 1 : 0);
    if (pressed == 1) return TModalResult::Ok;
    return okCancel ? TModalResult::Cancel : TModalResult::Ok;
  }

  TKeyStates KeyStates() override { return SdlKeyStates() | pads_.HeldKeys(); }

  bool CreateMainWindow(std::string& error) override {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window_ = SDL_CreateWindow("Orrindel", 0, 0, screenWidth_, screenHeight_, SDL_WINDOW_OPENGL);
    if (window_ == nullptr) {
      error = SDL_GetError();
      return false;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
      error = std::string("no WebGL 2 context: ") + SDL_GetError();
      return false;
    }
    // WebGL 2 is OpenGL ES 3.0: the shader renderer, whatever a tool may have asked for.
    renderer_ = CreateRenderBackend(TRendererKind::Es3, error);
    if (renderer_ == nullptr) return false;
    SetLiveRenderer(renderer_.get());
    return true;
  }

  // The canvas stays the page's size; the page's style keeps it filling the page.
  void SetWindowBounds(int, int, int, int) override {}
  void ShowMainWindow() override {}

  bool PaintFrame(const std::function<void(TPaintContext&)>& paint) override {
    if (window_ == nullptr || context_ == nullptr || renderer_ == nullptr) return false;
    SDL_GL_MakeCurrent(window_, context_);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    TRendererPaintContext ctx(*renderer_, w, h);
    paint(ctx);
    renderer_->Flush();
    // The browser shows the canvas when the frame's callback returns.
    return true;
  }

 private:
  bool initialized_ = false;
  Uint32 wakeEvent_ = 0;
  int screenWidth_ = 0, screenHeight_ = 0;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  std::unique_ptr<TRenderBackend> renderer_;  // drawing with context_
  TGamepads pads_;
};

}  // namespace

std::unique_ptr<TPlatformBackend> CreateWebBackend() { return std::make_unique<TWebBackend>(); }

}  // namespace orr

#endif  // __EMSCRIPTEN__
