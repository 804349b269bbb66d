// SPDX-License-Identifier: GPL-3.0-or-later
// The page's backend: SDL2 on a canvas that fills the page, with a WebGL 2 (OpenGL ES 3.0)
// context; SDL's event queue as the message queue, the page's own dialogs as message
// boxes. The browser owns the loop: nothing here ever waits (see TProgramRun).
#ifdef __EMSCRIPTEN__

#include <GLES3/gl3.h>
#include <SDL.h>
#include <emscripten.h>

#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Fonts.h"
#include "platform/Gamepad.h"
#include "platform/Keys.h"
#include "platform/SdlKeys.h"

namespace orr {
namespace {

// The page's size in CSS pixels: the canvas fills it, as the game's window fills a screen.
EM_JS(int, PageWidth, (), { return Math.max(1, Math.floor(window.innerWidth)); });
EM_JS(int, PageHeight, (), { return Math.max(1, Math.floor(window.innerHeight)); });

// The page's message box (index.html: Module.orrMessageBox, a modal dialog of the browser,
// which holds the program as a modal box does). 1: OK, 2: Cancel.
EM_JS(int, PageMessageBox, (const char* caption, const char* text, int okCancel), {
  const c = UTF8ToString(caption);
  const t = UTF8ToString(text);
  if (Module.orrMessageBox) return Module.orrMessageBox(c, t, okCancel !== 0);
  if (okCancel) return window.confirm(c + "\n\n" + t) ? 1 : 2;
  window.alert(c + "\n\n" + t);
  return 1;
});

// The overlay's pictures as one textured quad each: WebGL has no pixel drawing of its own.
const char* const OverlayVertexShader = R"(#version 300 es
in vec2 Corner;            // 0..1, (0,0) the top-left corner of the picture
uniform vec4 Place;        // left, top, width, height in window pixels
uniform vec2 Window;       // window width, height
out vec2 TexturePoint;
void main() {
  vec2 pixel = Place.xy + Corner * Place.zw;
  gl_Position = vec4(pixel.x / Window.x * 2.0 - 1.0, 1.0 - pixel.y / Window.y * 2.0, 0.0, 1.0);
  TexturePoint = Corner;
}
)";

const char* const OverlayFragmentShader = R"(#version 300 es
precision mediump float;
in vec2 TexturePoint;
uniform sampler2D Picture;
out vec4 Colour;
void main() {
  // The pixels come as 0xAARRGGBB words: little-endian bytes B, G, R, A.
  Colour = texture(Picture, TexturePoint).bgra;
}
)";

GLuint CompileShader(GLenum kind, const char* source) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == 0) {
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    SDL_Log("overlay shader: %s", log);
  }
  return shader;
}

class TOverlayQuads {
 public:
  bool Ready() {
    if (program_ != 0) return true;
    program_ = glCreateProgram();
    glAttachShader(program_, CompileShader(GL_VERTEX_SHADER, OverlayVertexShader));
    glAttachShader(program_, CompileShader(GL_FRAGMENT_SHADER, OverlayFragmentShader));
    glBindAttribLocation(program_, 0, "Corner");
    glLinkProgram(program_);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (ok == 0) return false;
    place_ = glGetUniformLocation(program_, "Place");
    window_ = glGetUniformLocation(program_, "Window");
    static const float corners[] = {0, 0, 1, 0, 0, 1, 1, 1};
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &corners_);
    glBindBuffer(GL_ARRAY_BUFFER, corners_);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindVertexArray(0);
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return true;
  }

  void Draw(int windowWidth, int windowHeight, int left, int top, int width, int height, const unsigned* pixels) {
    if (!Ready()) return;
    glUseProgram(program_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glUniform4f(place_, static_cast<float>(left), static_cast<float>(top), static_cast<float>(width),
                static_cast<float>(height));
    glUniform2f(window_, static_cast<float>(windowWidth), static_cast<float>(windowHeight));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindVertexArray(vertexArray_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    glDisable(GL_BLEND);
    glUseProgram(0);
  }

 private:
  GLuint program_ = 0, vertexArray_ = 0, corners_ = 0, texture_ = 0;
  GLint place_ = -1, window_ = -1;
};

class TWebPaintContext : public TPaintContext {
 public:
  TWebPaintContext(int width, int height, TOverlayQuads& quads) : width_(width), height_(height), quads_(quads) {
    ResetViewport();
  }
  int WindowWidth() const override { return width_; }
  int WindowHeight() const override { return height_; }

  void FillRect(int left, int top, int width, int height, unsigned rgb) override {
    if (width <= 0 || height <= 0) return;
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, height_ - top - height, width, height);
    glClearColor(((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }

  void DrawImage(int left, int top, int width, int height, const unsigned* pixels) override {
    if (width <= 0 || height <= 0 || pixels == nullptr) return;
    quads_.Draw(width_, height_, left, top, width, height, pixels);
  }

  void SetViewport(int left, int top, int width, int height) override {
    glViewport(left, height_ - top - height, width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, height_ - top - height, width, height);
  }

  void ResetViewport() override {
    glViewport(0, 0, width_, height_);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
  }

 private:
  int width_, height_;
  TOverlayQuads& quads_;
};

class TWebBackend : public TPlatformBackend {
 public:
  ~TWebBackend() override {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    pads_.Stop();
    if (initialized_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  bool Initialize(std::string& error) override {
    // Keys reach SDL from the whole page, not only from a focused canvas, as a full-screen
    // window gets every key.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_KEYBOARD_ELEMENT, "#window");
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
      if (Translate(e, event)) return true;
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

  TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgBoxKind kind) override {
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
    return true;
  }

  // The canvas stays the page's size; the page's style keeps it filling the page.
  void SetWindowBounds(int, int, int, int) override {}
  void ShowMainWindow() override {}

  bool PaintFrame(const std::function<void(TPaintContext&)>& paint) override {
    if (window_ == nullptr || context_ == nullptr) return false;
    SDL_GL_MakeCurrent(window_, context_);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    TWebPaintContext ctx(w, h, quads_);
    paint(ctx);
    // The browser shows the canvas when the frame's callback returns.
    return true;
  }

 private:
  bool Translate(const SDL_Event& e, TPlatformEvent& out) {
    using K = TPlatformEvent::TKind;
    out = TPlatformEvent{};
    if (e.type == wakeEvent_) {
      out.Kind = K::Wake;
      return true;
    }
    switch (e.type) {
      case SDL_QUIT:
        out.Kind = K::Quit;
        return true;
      case SDL_KEYDOWN:
        out.Kind = K::KeyDown;
        out.Key = VirtualKeyOf(e.key.keysym.scancode);
        return out.Key != 0;
      case SDL_CONTROLLERDEVICEADDED:
      case SDL_CONTROLLERDEVICEREMOVED:
      case SDL_CONTROLLERBUTTONDOWN:
        out.Kind = K::KeyDown;
        out.Key = pads_.HandleEvent(e);
        return out.Key != 0;
      case SDL_MOUSEWHEEL:
        out.Kind = K::MouseWheel;
        out.Wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        return out.Wheel != 0;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            e.window.event == SDL_WINDOWEVENT_SHOWN) {
          out.Kind = K::Expose;
          return true;
        }
        return false;
      default:
        return false;
    }
  }

  bool initialized_ = false;
  Uint32 wakeEvent_ = 0;
  int screenWidth_ = 0, screenHeight_ = 0;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  TOverlayQuads quads_;
  TGamepads pads_;
};

}  // namespace

std::unique_ptr<TPlatformBackend> CreateWebBackend() { return std::make_unique<TWebBackend>(); }

}  // namespace orr

#endif  // __EMSCRIPTEN__
