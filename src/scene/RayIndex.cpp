#include "scene/RayIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/GLScene.h"

namespace orr {

namespace {

// Squares are widened by this much so that a point on a cell edge is listed in every cell
// that touches it, whichever of them the walk along the ray enters.
constexpr double EdgeMargin = 0.01;
// Coordinates beyond this are not gridded (such an object goes to the always list).
constexpr double FarCoordinate = 1e6;
constexpr std::int64_t MaxGridCells = std::int64_t{1} << 22;

}  // namespace

void TRayIndex::Added(TGLBaseSceneObject* object) {
  std::int32_t slot;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    slot = static_cast<std::int32_t>(entries_.size());
    entries_.emplace_back();
  }
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  e = TEntry{};
  e.Object = object;
  e.Order = nextOrder_++;
  object->rayIndexSlot_ = slot;
  dirty_.push_back(slot);
}

void TRayIndex::Changed(TGLBaseSceneObject* object, bool rigid, bool turned) {
  const std::int32_t slot = object->rayIndexSlot_;
  if (slot < 0 || static_cast<std::size_t>(slot) >= entries_.size()) return;
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  if (e.Object != object) return;
  // A sphere about the origin holds the subtree however it turns about that origin: the
  // listing stands (items spin and creatures turn in place every step).
  if (rigid && turned && e.ByReach && !e.Dirty) return;
  if (e.Dirty) {
    e.Rigid = e.Rigid && rigid;
    return;
  }
  e.Dirty = true;
  e.Rigid = rigid;
  dirty_.push_back(slot);
}

void TRayIndex::Freed(TGLBaseSceneObject* object) {
  const std::int32_t slot = object->rayIndexSlot_;
  if (slot < 0 || static_cast<std::size_t>(slot) >= entries_.size()) return;
  if (entries_[static_cast<std::size_t>(slot)].Object != object) return;
  Unplace(slot);
  entries_[static_cast<std::size_t>(slot)] = TEntry{};
  entries_[static_cast<std::size_t>(slot)].Dirty = false;
  object->rayIndexSlot_ = -1;
  freeSlots_.push_back(slot);
}

std::size_t TRayIndex::CellEntries() const {
  std::size_t n = 0;
  for (const auto& cell : cells_) n += cell.size();
  return n;
}

void TRayIndex::Unplace(std::int32_t slot) {
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  auto drop = [slot](std::vector<std::int32_t>& list) {
    auto it = std::find(list.begin(), list.end(), slot);
    if (it != list.end()) {
      *it = list.back();
      list.pop_back();
    }
  };
  if (e.Where == TEntry::Always) {
    drop(always_);
    if (e.X1 >= e.X0 && outside_ > 0) --outside_;  // it was listed as lying outside
  } else if (e.Where == TEntry::Grid) {
    for (std::int32_t x = e.X0; x <= e.X1; ++x)
      for (std::int32_t y = e.Y0; y <= e.Y1; ++y) drop(cells_[static_cast<std::size_t>(x) * rows_ + y]);
  }
  e.Where = TEntry::None;
  e.X0 = e.Y0 = 0;
  e.X1 = e.Y1 = -1;
}

// Lists a dirty entry by its subtree's bounds: after a rigid move (an entity walking or
// turning, the common case) a sphere of the known reach about the object's new origin,
// which costs no walk of its subtree; otherwise the subtree's bounds computed afresh.
void TRayIndex::Place(std::int32_t slot) {
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  const bool rigid = e.Rigid && e.Reach >= 0;
  e.Dirty = false;
  e.Rigid = false;
  TVector centre;
  float radius;
  e.ByReach = rigid;
  if (rigid) {
    centre = e.Object->AbsolutePosition();
    radius = e.Reach;
  } else {
    e.Object->SubtreeBounds(centre, radius);
    if (radius >= 0 && std::isfinite(radius)) {
      // Rounding in the turned frames may move a point by a few units in the last place.
      e.Reach = (VectorDistance(centre, e.Object->AbsolutePosition()) + radius) * 1.001f + 1e-3f;
      if (!std::isfinite(e.Reach)) e.Reach = -1;
    } else {
      e.Reach = -1;
    }
  }
  auto where = TEntry::Always;
  std::int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool outside = false;
  if (radius < 0) {
    where = TEntry::None;  // nothing below ever hits
  } else if (std::isfinite(radius) && std::isfinite(centre.X) && std::isfinite(centre.Y) &&
             radius <= BigSide * CellSide / 2) {
    const double r = static_cast<double>(radius) + EdgeMargin;
    const double fx0 = std::floor((centre.X - r - originX_) / CellSide);
    const double fy0 = std::floor((centre.Y - r - originY_) / CellSide);
    const double fx1 = std::floor((centre.X + r - originX_) / CellSide);
    const double fy1 = std::floor((centre.Y + r - originY_) / CellSide);
    if (fx0 >= 0 && fy0 >= 0 && fx1 < columns_ && fy1 < rows_) {
      where = TEntry::Grid;
      x0 = static_cast<std::int32_t>(fx0), y0 = static_cast<std::int32_t>(fy0);
      x1 = static_cast<std::int32_t>(fx1), y1 = static_cast<std::int32_t>(fy1);
    } else {
      outside = true;
    }
  }
  if (where == e.Where && x0 == e.X0 && y0 == e.Y0 && x1 == e.X1 && y1 == e.Y1 && where != TEntry::Always)
    return;  // still in the same cells
  Unplace(slot);
  e.Where = where;
  if (where == TEntry::Grid) {
    e.X0 = x0, e.Y0 = y0, e.X1 = x1, e.Y1 = y1;
    for (std::int32_t x = x0; x <= x1; ++x)
      for (std::int32_t y = y0; y <= y1; ++y) cells_[static_cast<std::size_t>(x) * rows_ + y].push_back(slot);
  } else if (where == TEntry::Always) {
    always_.push_back(slot);
    if (outside) {
      e.X0 = e.Y0 = e.X1 = e.Y1 = 0;  // marks "outside" for Unplace
      ++outside_;
    }
  }
}

// Sizes the grid to what the top-level objects cover now, with room around, and lists
// every object afresh.
void TRayIndex::Rebuild(TGLBaseSceneObject& root) {
  double minX = std::numeric_limits<double>::infinity(), minY = minX;
  double maxX = -minX, maxY = -minX;
  for (const auto& owned : root.ChildList()) {
    TVector c;
    float r;
    owned->SubtreeBounds(c, r);
    if (r < 0 || !std::isfinite(r) || r > BigSide * CellSide / 2) continue;
    if (!(std::fabs(c.X) < FarCoordinate && std::fabs(c.Y) < FarCoordinate)) continue;
    minX = std::min(minX, c.X - static_cast<double>(r));
    minY = std::min(minY, c.Y - static_cast<double>(r));
    maxX = std::max(maxX, c.X + static_cast<double>(r));
    maxY = std::max(maxY, c.Y + static_cast<double>(r));
  }
  if (minX > maxX) minX = minY = maxX = maxY = 0;
  const double pad = 4 * CellSide;
  originX_ = static_cast<float>(std::floor((minX - pad) / CellSide) * CellSide);
  originY_ = static_cast<float>(std::floor((minY - pad) / CellSide) * CellSide);
  std::int64_t columns = static_cast<std::int64_t>(std::ceil((maxX + pad - originX_) / CellSide)) + 1;
  std::int64_t rows = static_cast<std::int64_t>(std::ceil((maxY + pad - originY_) / CellSide)) + 1;
  while (columns * rows > MaxGridCells) {  // far-flung objects: keep the grid bounded
    columns = std::max<std::int64_t>(1, columns / 2);
    rows = std::max<std::int64_t>(1, rows / 2);
  }
  columns_ = static_cast<std::int32_t>(columns);
  rows_ = static_cast<std::int32_t>(rows);
  cells_.assign(static_cast<std::size_t>(columns * rows), {});
  always_.clear();
  outside_ = 0;
  dirty_.clear();
  for (std::size_t slot = 0; slot < entries_.size(); ++slot) {
    TEntry& e = entries_[slot];
    e.Where = TEntry::None;
    e.X0 = e.Y0 = 0;
    e.X1 = e.Y1 = -1;
    if (e.Object == nullptr) continue;
    Place(static_cast<std::int32_t>(slot));
  }
  built_ = true;
}

void TRayIndex::Refresh(TGLBaseSceneObject& root) {
  if (!built_) return Rebuild(root);
  for (std::size_t i = 0; i < dirty_.size(); ++i) {
    const std::int32_t slot = dirty_[i];
    TEntry& e = entries_[static_cast<std::size_t>(slot)];
    if (e.Object != nullptr && e.Dirty) Place(slot);
  }
  dirty_.clear();
  if (outside_ > MaxOutside) Rebuild(root);
}

void TRayIndex::CastEntry(TEntry& entry, TRayCastState& state) {
  const auto slot = static_cast<std::size_t>(&entry - entries_.data());
  if (seen_[slot] == stamp_) return;
  seen_[slot] = stamp_;
  state.Order = entry.Order;
  RayCastTopLevel(*entry.Object, state);
}

void TRayIndex::CastCell(std::int32_t cx, std::int32_t cy, TRayCastState& state) {
  for (std::int32_t slot : cells_[static_cast<std::size_t>(cx) * rows_ + cy])
    CastEntry(entries_[static_cast<std::size_t>(slot)], state);
}

// The always list first (it holds the big objects, which often give a near hit early), then
// the cells along the ray's track on the ground, nearest first, until a cell starts farther
// than the best hit so far: an object's hit lies in a cell it is listed in, and that cell is
// entered no later than the hit.
void TRayIndex::Cast(TGLBaseSceneObject& root, TRayCastState& state) {
  Refresh(root);
  if (++stamp_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0u);
    stamp_ = 1;
  }
  seen_.resize(entries_.size(), 0u);
  for (std::size_t i = 0; i < always_.size(); ++i) CastEntry(entries_[static_cast<std::size_t>(always_[i])], state);
  if (columns_ <= 0 || rows_ <= 0) return;

  const double sx = state.Start.X, sy = state.Start.Y, vx = state.Vector.X, vy = state.Vector.Y;
  const double length = std::sqrt(static_cast<double>(state.VectorLength2));
  if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(vx) || !std::isfinite(vy) || !std::isfinite(length)) {
    // A ray the walk cannot follow: test every listed object.
    for (std::int32_t x = 0; x < columns_; ++x)
      for (std::int32_t y = 0; y < rows_; ++y) CastCell(x, y, state);
    return;
  }
  // Clip the ray (t >= 0) to the grid's rectangle.
  const double gx0 = originX_, gy0 = originY_;
  const double gx1 = gx0 + static_cast<double>(columns_) * CellSide, gy1 = gy0 + static_cast<double>(rows_) * CellSide;
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
