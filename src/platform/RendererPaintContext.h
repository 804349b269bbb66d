// SPDX-License-Identifier: GPL-3.0-or-later
// The window's 2D drawing, all through the renderer: the paint context of both SDL
// backends (the window's and the page's).
#pragma once

#include "platform/Backend.h"
#include "scene/backend/RenderBackend.h"

namespace orr {

class TRendererPaintContext : public TPaintContext {
 public:
  TRendererPaintContext(TRenderBackend& renderer, int width, int height)
      : renderer_(renderer), width_(width), height_(height) {
    renderer_.BeginPaint(width, height);
  }
  int WindowWidth() const override { return width_; }
  int WindowHeight() const override { return height_; }
  void FillRect(int left, int top, int width, int height, unsigned rgb) override {
    renderer_.FillRect(left, top, width, height, rgb);
  }
  void DrawImage(int left, int top, int width, int height, const unsigned* pixels) override {
    renderer_.DrawImage(left, top, width, height, pixels);
  }
  void SetViewport(int left, int top, int width, int height) override {
    renderer_.SetViewport(left, top, width, height);
  }
  void ResetViewport() override { renderer_.ResetViewport(); }
  TRenderBackend* Renderer() override { return &renderer_; }

 private:
  TRenderBackend& renderer_;
  int width_, height_;
};

}  // namespace orr
