// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/RayIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/GLScene.h"

namespace orr {

void TRayIndex::CastEntry(TEntry& entry, TRayCastState& state) {
  if (!FirstMeeting(entry)) return;
  state.Order = entry.Order;
  RayCastTopLevel(*entry.Object, state);
}

void TRayIndex::CastCell(std::int32_t cx, std::int32_t cy, TRayCastState& state) {
  for (std::int32_t slot : CellAt(cx, cy)) CastEntry(entries_[static_cast<std::size_t>(slot)], state);
}

// The always list first (it holds the big objects, which often give a near hit early), then
// the cells along the ray's track on the ground, nearest first, until a cell starts farther
// than the best hit so far: an object's hit lies in a cell it is listed in, and that cell is
// entered no later than the hit.
void TRayIndex::Cast(TGLBaseSceneObject& root, TRayCastState& state) {
  Refresh(root);
  NewStamp();
  for (std::size_t i = 0; i < always_.size(); ++i)
    CastEntry(entries_[static_cast<std::size_t>(always_[i])], state);
  if (columns_ <= 0 || rows_ <= 0) return;

  const double sx = state.Start.X, sy = state.Start.Y, vx = state.Vector.X, vy = state.Vector.Y;
  const double length = std::sqrt(static_cast<double>(state.VectorLength2));
  if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(vx) || !std::isfinite(vy) ||
      !std::isfinite(length)) {
    // A ray the walk cannot follow: test every listed object.
    for (std::int32_t x = 0; x < columns_; ++x)
      for (std::int32_t y = 0; y < rows_; ++y) CastCell(x, y, state);
    return;
  }
  // Clip the ray (t >= 0) to the grid's rectangle.
  const double gx0 = originX_, gy0 = originY_;
  const double gx1 = gx0 + static_cast<double>(columns_) * CellSide,
               gy1 = gy0 + static_cast<double>(rows_) * CellSide;
  double tIn = 0, tOut = std::numeric_limits<double>::infinity();
  auto slab = [&](double s, double v, double lo, double hi) {
    if (v == 0) return s >= lo && s <= hi;
    double a = (lo - s) / v, b = (hi - s) / v;
    if (a > b) std::swap(a, b);
    tIn = std::max(tIn, a);
    tOut = std::min(tOut, b);
    return tIn <= tOut;
  };
  if (!slab(sx, vx, gx0, gx1) || !slab(sy, vy, gy0, gy1)) return;

  auto cellOf = [](double p, double origin, std::int32_t count) {
    const double c = std::floor((p - origin) / CellSide);
    return static_cast<std::int32_t>(std::clamp(c, 0.0, static_cast<double>(count - 1)));
  };
  std::int32_t cx = cellOf(sx + vx * tIn, gx0, columns_), cy = cellOf(sy + vy * tIn, gy0, rows_);
  const std::int32_t stepX = vx > 0 ? 1 : -1, stepY = vy > 0 ? 1 : -1;
  const double inf = std::numeric_limits<double>::infinity();
  const double deltaX = vx != 0 ? CellSide / std::fabs(vx) : inf;
  const double deltaY = vy != 0 ? CellSide / std::fabs(vy) : inf;
  double nextX = vx != 0 ? (gx0 + (cx + (vx > 0 ? 1 : 0)) * static_cast<double>(CellSide) - sx) / vx : inf;
  double nextY = vy != 0 ? (gy0 + (cy + (vy > 0 ? 1 : 0)) * static_cast<double>(CellSide) - sy) / vy : inf;
  double entered = tIn;
  for (;;) {
    // Stop once this cell begins beyond the best hit (with a margin for rounding).
    if (state.Best != nullptr || state.BestDist2 < 1e20f) {
      const double reach = std::sqrt(static_cast<double>(state.BestDist2)) * 1.001 + 0.01;
      if (entered * length > reach) return;
    }
    CastCell(cx, cy, state);
    if (nextX < nextY) {
      entered = nextX;
      nextX += deltaX;
      cx += stepX;
      if (cx < 0 || cx >= columns_) return;
    } else {
      if (nextY == inf) return;  // a vertical ray stays in its cell
      entered = nextY;
      nextY += deltaY;
      cy += stepY;
      if (cy < 0 || cy >= rows_) return;
    }
    if (entered > tOut) return;
  }
}

}  // namespace orr
