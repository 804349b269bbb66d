// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/TImage32.h"

#include <algorithm>

namespace orr {

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

}  // namespace

TImage32::TImage32(TComponent* owner) : TControl(owner) {}

void TImage32::SetBitmap(const TBitmap32& bitmap) {
  bitmap_ = bitmap;
  Invalidate();
}

const TBitmap32& TImage32::RenderedImage() {
  if (buffer_.Width() == Width && buffer_.Height() == Height) buffer_.Clear(0);
  else buffer_.SetSize(Width, Height);
  if (ScaleMode == smStretch) buffer_.Draw(buffer_.BoundsRect(), bitmap_.BoundsRect(), bitmap_);
  else buffer_.Draw(0, 0, bitmap_);
  return buffer_;
}

void TImage32::Paint(TPaintContext& context) {
  if (Width <= 0 || Height <= 0) return;
  const TRect own = ScreenRect();
  // Only what lies inside every parent control and the window shows.
  TRect visible = Intersect(own, {0, 0, context.WindowWidth(), context.WindowHeight()});
  for (const TControl* p = Parent(); p != nullptr && p->Parent() != nullptr; p = p->Parent())
    visible = Intersect(visible, p->ScreenRect());
  if (visible.Width() <= 0 || visible.Height() <= 0) return;

  const TBitmap32& image = RenderedImage();
  if (visible.Left == own.Left && visible.Top == own.Top && visible.Width() == Width &&
      visible.Height() == Height) {
    context.DrawImage(own.Left, own.Top, Width, Height, image.Bits());
    return;
  }
  clipped_.resize(static_cast<size_t>(visible.Width()) * visible.Height());
  for (int y = 0; y < visible.Height(); ++y) {
    const TColor32* row = image.ScanLine(visible.Top - own.Top + y) + (visible.Left - own.Left);
    std::copy(row, row + visible.Width(), clipped_.begin() + static_cast<size_t>(y) * visible.Width());
  }
  context.DrawImage(visible.Left, visible.Top, visible.Width(), visible.Height(), clipped_.data());
}

}  // namespace orr
