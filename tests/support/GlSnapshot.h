// SPDX-License-Identifier: GPL-3.0-or-later
// A control that reads back the top-left `Width` x `Height` pixels of the window when it
// is painted, i.e. right after the controls painted before it and before the swap. Put
// it last on the form to capture what the viewer drew.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Forms.h"
#include "raster/TBitmap32.h"
#include "scene/backend/RenderBackend.h"

namespace orr::test {

class TGlSnapshot : public TControl {
 public:
  TGlSnapshot(TComponent* owner, int width, int height) : TControl(owner), width_(width), height_(height) {}
  TBitmap32 Picture;

  void Paint(TPaintContext& context) override {
    TRenderBackend* renderer = context.Renderer();
    if (renderer == nullptr) return;
    renderer->Finish();
    std::vector<std::uint8_t> rgba(size_t(width_) * height_ * 4);
    renderer->ReadPixels(0, context.WindowHeight() - height_, width_, height_, rgba.data());
    Picture.SetSize(width_, height_);
    // Rows come bottom first; the picture's top row first.
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const std::uint8_t* p = &rgba[(size_t(height_ - 1 - y) * width_ + x) * 4];
        Picture.SetPixel(x, y, Color32(p[0], p[1], p[2]));
      }
  }

 private:
  int width_, height_;
};

}  // namespace orr::test
