// SPDX-License-Identifier: GPL-3.0-or-later
// What the application needs from the machine: events, a window, message boxes, the
// screen, the keyboard. Two implementations: SDL2 (the game) and headless (tests, tools).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Keys.h"

namespace orr {

class TRenderBackend;

struct TPlatformEvent {
  enum class TKind { None, Quit, KeyDown, MouseWheel, Expose, Wake };
  TKind Kind = TKind::None;
  int Key = 0;    // virtual-key code for KeyDown
  int Wheel = 0;  // steps up (positive) or down (negative) for MouseWheel
};

enum class TMsgBoxKind { Plain, WarningOkCancel };
enum class TModalResult { None, Ok, Cancel };

// 2D drawing inside the one window; coordinates are window pixels, y grows downwards.
class TPaintContext {
 public:
  virtual ~TPaintContext() = default;
  virtual int WindowWidth() const = 0;
  virtual int WindowHeight() const = 0;
  virtual void FillRect(int left, int top, int width, int height, unsigned rgb) = 0;
  // `pixels` holds width*height 0xAARRGGBB values, top row first; drawn with alpha blending.
  virtual void DrawImage(int left, int top, int width, int height, const unsigned* pixels) = 0;
  // Restricts 3D drawing to a rectangle of the window (OpenGL viewport and scissor).
  virtual void SetViewport(int left, int top, int width, int height) = 0;
  // Restores the whole-window 2D state after a 3D draw.
  virtual void ResetViewport() = 0;
  // The renderer 3D drawing goes through (scene/backend/RenderBackend.h); nullptr where
  // nothing is drawn.
  virtual TRenderBackend* Renderer() { return nullptr; }
};

class TPlatformBackend {
 public:
  virtual ~TPlatformBackend() = default;
  // Opens what the backend needs; false with a reason when that cannot be done.
  virtual bool Initialize(std::string& error) = 0;
  virtual bool PollEvent(TPlatformEvent& event) = 0;
  // Waits until an event may be pending, at most `timeoutMs` (negative: no limit).
  virtual void WaitEvent(int timeoutMs) = 0;
  // Thread-safe: makes a pending or future WaitEvent return.
  virtual void Wake() = 0;
  // Thread-safe: queues a quit event (the terminate request).
  virtual void PostQuit() = 0;
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
  virtual std::vector<std::string> FontFamilies() = 0;
  // Blocking; called on a thread of its own so the main thread can keep serving hand-overs.
  virtual TModalResult ShowMessageBox(const std::string& caption, const std::string& text,
                                      TMsgBoxKind kind) = 0;
  // Thread-safe: true once the process was asked to end from outside (SIGTERM, SIGINT); the
  // quit event for it is on its way to the message loop.
  virtual bool TerminationRequested() { return false; }
  // Takes down the message boxes on screen; each then answers as if it had been closed.
  virtual void CloseMessageBoxes() {}
  // The keys held now, by virtual-key code: one look at the keyboard.
  virtual TKeyStates KeyStates() = 0;
  // Called on the main thread when the display goes away under the game (the X server
  // ends); the process ends with exit code 1 as soon as it returns.
  std::function<void()> OnDisplayLost;
  // The main window: created hidden, shown when the message loop starts.
  virtual bool CreateMainWindow(std::string& error) = 0;
  virtual void SetWindowBounds(int left, int top, int width, int height) = 0;
  virtual void ShowMainWindow() = 0;
  // Paints one frame: `paint` draws through the context and the drawing is handed to the
  // renderer, which goes on finishing it on its own threads; the frame reaches the screen at
  // the next PresentFrame (or the next PaintFrame, which presents the one before first).
  // Returns false when nothing can be painted (no window, headless).
  virtual bool PaintFrame(const std::function<void(TPaintContext&)>& paint) = 0;
  // Puts the last painted frame on the screen if it is not there yet, waiting for the
  // renderer to finish it. The message loop calls it once the idle work after a paint is
  // done, so that on a software renderer the game's steps run while the picture is drawn.
  virtual void PresentFrame() {}
};

// Headless backend: no window, no display. Tests script it.
class THeadlessBackend : public TPlatformBackend {
 public:
  THeadlessBackend(int screenWidth = 1024, int screenHeight = 768);
  ~THeadlessBackend() override;

  bool Initialize(std::string& error) override;
  bool PollEvent(TPlatformEvent& event) override;
  void WaitEvent(int timeoutMs) override;
  void Wake() override;
  void PostQuit() override;
  int ScreenWidth() override { return screenWidth_; }
  int ScreenHeight() override { return screenHeight_; }
  std::vector<std::string> FontFamilies() override;
  TModalResult ShowMessageBox(const std::string& caption, const std::string& text, TMsgBoxKind kind) override;
  TKeyStates KeyStates() override;
  bool TerminationRequested() override { return Terminating.load(); }
  void CloseMessageBoxes() override {
    if (OnCloseMessageBoxes) OnCloseMessageBoxes();
  }
  bool CreateMainWindow(std::string&) override { return true; }
  void SetWindowBounds(int, int, int, int) override {}
  void ShowMainWindow() override { windowShown_ = true; }
  bool PaintFrame(const std::function<void(TPaintContext&)>&) override { return false; }

  // Scripting.
  void PushEvent(const TPlatformEvent& event);
  // Holds or releases a key (virtual-key code 0..255; others are ignored). The game reads
  // keys from the snapshot the step registry takes at the start of every step (RunStep calls
  // TakeKeySnapshot), so a step run after this call sees the key, whether the message loop
  // runs it or a caller steps the registry directly; a step already running does not.
  void SetKeyDown(int vk, bool down);
  // Answers message boxes; without a responder every box answers Cancel.
  std::function<TModalResult(const std::string& caption, const std::string& text, TMsgBoxKind kind)>
      MessageBoxResponder;
  // What TerminationRequested reports (a test's stand-in for SIGTERM), and what is called
  // when the application takes its boxes down.
  std::atomic<bool> Terminating{false};
  std::function<void()> OnCloseMessageBoxes;
  // Families reported by FontFamilies; empty means the machine's real list.
  std::vector<std::string> Fonts;
  bool WindowShown() const { return windowShown_; }

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  int screenWidth_, screenHeight_;
  bool windowShown_ = false;
};

// The SDL2 backend: one borderless full-screen window with an OpenGL context, drawn through
// the renderer backend RequestedRenderer() names (the fixed-function one where the driver
// has no OpenGL ES 3.0).
std::unique_ptr<TPlatformBackend> CreateSdlBackend();
// The page's backend (built for the browser only): SDL2 on a canvas that fills the page,
// a WebGL 2 context, the page's dialogs as message boxes; it never waits.
std::unique_ptr<TPlatformBackend> CreateWebBackend();

}  // namespace orr
