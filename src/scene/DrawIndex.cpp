// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/DrawIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orr {

namespace {

// Cells are taken with this much to spare, so that rounding never drops a cell that holds
// a point of the volume.
constexpr float Slack = 0.01f;

// The rectangle on the ground (X, Y) covered by the part of the volume between the heights
// low and high: the corners inside that slab and the points where the volume's twelve
// edges cross its two faces. False when the volume misses the slab; `whole` when the
// corners are not finite (the rectangle is then unknown).
bool SlabFootprint(const TViewVolume& volume, float low, float high, float& x0, float& y0, float& x1,
                   float& y1, bool& whole) {
  whole = false;
  x0 = y0 = std::numeric_limits<float>::infinity();
  x1 = y1 = -x0;
  auto take = [&](float x, float y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y);
    x1 = std::max(x1, x), y1 = std::max(y1, y);
  };
  for (const TVector& c : volume.Corners) {
    if (!std::isfinite(c.X) || !std::isfinite(c.Y) || !std::isfinite(c.Z)) {
      whole = true;
      return true;
    }
    if (c.Z >= low && c.Z <= high) take(c.X, c.Y);
  }
  for (int i = 0; i < 8; ++i)
    for (int bit = 1; bit < 8; bit <<= 1) {
      if (i & bit) continue;
      const TVector& a = volume.Corners[i];
      const TVector& b = volume.Corners[i | bit];
      for (float z : {low, high}) {
        if ((a.Z - z) * (b.Z - z) >= 0) continue;  // the edge does not cross this face
        const float t = (z - a.Z) / (b.Z - a.Z);
        take(a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y));
      }
    }
  return x0 <= x1;
}

}  // namespace

TViewVolume ViewVolumeOf(const TMatrix& vp) {
  TViewVolume volume;
  // Clip planes from the columns of the matrix: w +- x, w +- y, w +- z.
  for (int k = 0; k < 6; ++k) {
    const int axis = k / 2;
    const float sign = (k % 2 == 0) ? 1.0f : -1.0f;
    TVector plane;
    for (int i = 0; i < 4; ++i) plane[i] = vp.Row[i][3] + sign * vp.Row[i][axis];
    const float length = VectorLength(plane);
    if (length > 0) plane = VectorScale(plane, 1 / length);
    volume.Planes[k] = plane;
  }
  // Corners: the corners of the cube of clip space taken back into the world.
  const TMatrix inverse = MatrixInvert(vp);
  for (int i = 0; i < 8; ++i) {
    const TVector c =
        VectorTransform({i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f, 1}, inverse);
    volume.Corners[i] = VectorScale(c, 1 / c.W);
  }
  return volume;
}

// Takes a listed object unless the sphere it is listed by lies wholly outside one plane.
void TDrawIndex::Take(const TEntry& entry, const TViewVolume& volume) {
  if (!FirstMeeting(entry)) return;
  if (std::isfinite(entry.Radius))
    for (const TVector& p : volume.Planes)
      if (p.X * entry.Centre.X + p.Y * entry.Centre.Y + p.Z * entry.Centre.Z + p.W < -entry.Radius - Slack)
        return;
  found_.emplace_back(entry.Order, entry.Object);
}

void TDrawIndex::Collect(TGLBaseSceneObject& root, const TViewVolume& volume,
                         std::vector<TGLBaseSceneObject*>& objects) {
  Refresh(root);
  NewStamp();
  found_.clear();
  for (std::int32_t slot : always_) Take(entries_[static_cast<std::size_t>(slot)], volume);
  float fx0, fy0, fx1, fy1;
  bool whole;
  if (zKnown_ && columns_ > 0 && rows_ > 0 &&
      SlabFootprint(volume, lowZ_, highZ_, fx0, fy0, fx1, fy1, whole)) {
    std::int32_t cx0 = 0, cy0 = 0, cx1 = columns_ - 1, cy1 = rows_ - 1;
    if (!whole) {
      auto cell = [](float p, float origin, std::int32_t count) {
        const double c = std::floor((double(p) - origin) / CellSide);
        return static_cast<std::int32_t>(std::clamp(c, -1.0, double(count)));
      };
      cx0 = std::max(cell(fx0 - Slack, originX_, columns_), 0);
      cy0 = std::max(cell(fy0 - Slack, originY_, rows_), 0);
      cx1 = std::min(cell(fx1 + Slack, originX_, columns_), columns_ - 1);
      cy1 = std::min(cell(fy1 + Slack, originY_, rows_), rows_ - 1);
    }
    for (std::int32_t cx = cx0; cx <= cx1; ++cx)
      for (std::int32_t cy = cy0; cy <= cy1; ++cy)
        for (std::int32_t slot : CellAt(cx, cy)) Take(entries_[static_cast<std::size_t>(slot)], volume);
  }
  std::sort(found_.begin(), found_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  objects.clear();
  for (const auto& f : found_) objects.push_back(f.second);
}

}  // namespace orr
