// SPDX-License-Identifier: GPL-3.0-or-later
// The game's icon: the player seen from above, firing, on a floor tile inside a raised
// rounded frame.
#include <algorithm>
#include <stdexcept>

#include "Art.h"

namespace orr::content {

namespace {

constexpr int Master = 256;

// The smallest rectangle holding every pixel of `c` that is at least half opaque.
struct TBounds {
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // [X0, X1) x [Y0, Y1)
};
TBounds OpaqueBounds(const TCanvas& c) {
  TBounds b{c.Width(), c.Height(), 0, 0};
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      if (c.At(x, y).A >= 0.5f) {
        b.X0 = std::min(b.X0, x), b.Y0 = std::min(b.Y0, y);
        b.X1 = std::max(b.X1, x + 1), b.Y1 = std::max(b.Y1, y + 1);
      }
  if (b.X1 <= b.X0) throw std::runtime_error("the icon's figure is empty");
  return b;
}

}  // namespace

TCanvas DrawIcon(const TCanvas& floor, const TCanvas& figure, int size) {
  TCanvas c(Master, Master);
  const TVec centre{Master / 2.0f, Master / 2.0f};
  c.FillShape(
      0, 0, Master, Master, [=](TVec p) { return Box(p, centre, 122, 122, 0, 40, 10); },
      TPaint(Hex(0x3a4048), 1.0f, 0.25f, 0.4f));
  // The floor at twice its size, so its pattern still reads at 48 pixels.
  constexpr float Inner = 106;
  c.FillShapeWith(
      0, 0, Master, Master, [=](TVec p) { return Box(p, centre, Inner, Inner, 0, 28, 0); },
      [&](TVec p) {
        return floor.At(static_cast<int>(p.X / 2) % floor.Width(),
                        static_cast<int>(p.Y / 2) % floor.Height());
      });

  // The figure cut to what it covers, scaled to fill the floor's height, with a soft
  // shadow to the lower right.
  const TBounds b = OpaqueBounds(figure);
  TCanvas cut(b.X1 - b.X0, b.Y1 - b.Y0);
  for (int y = 0; y < cut.Height(); ++y)
    for (int x = 0; x < cut.Width(); ++x) cut.At(x, y) = figure.At(b.X0 + x, b.Y0 + y);
  const float scale = std::min(2 * Inner * 0.92f / cut.Height(), 2 * Inner * 0.92f / cut.Width());
  const int w = std::max(1, static_cast<int>(cut.Width() * scale)),
            h = std::max(1, static_cast<int>(cut.Height() * scale));
  const TCanvas big = Resampled(cut, w, h);
  const int left = (Master - w) / 2, top = (Master - h) / 2;
  TCanvas shadow = big;
  for (int y = 0; y < shadow.Height(); ++y)
    for (int x = 0; x < shadow.Width(); ++x) shadow.At(x, y) = {0, 0, 0, shadow.At(x, y).A * 0.45f};
  c.Paste(shadow, left + 6, top + 8);
  c.Paste(big, left, top);
  return size == Master ? c : Resampled(c, size, size);
}

}  // namespace orr::content
