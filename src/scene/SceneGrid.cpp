// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/SceneGrid.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "scene/GLScene.h"

namespace orr {

namespace {

// Squares are widened by this much so that a point on a cell edge is listed in every cell
// that touches it, whichever of them a question takes (the walk along a ray enters one).
constexpr double EdgeMargin = 0.01;
// Coordinates beyond this are not gridded (such an object goes to the always list).
constexpr double FarCoordinate = 1e6;
constexpr std::int64_t MaxGridCells = std::int64_t{1} << 22;

}  // namespace

void TSceneGrid::Added(TGLBaseSceneObject* object) {
  std::int32_t slot;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    slot = static_cast<std::int32_t>(entries_.size());
    entries_.emplace_back();
    changes_.emplace_back();
  }
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  e = TEntry{};
  changes_[static_cast<std::size_t>(slot)] = TChangeState{};
  e.Object = object;
  e.Order = nextOrder_++;
  SlotOf(object) = slot;
  NoteDirty(slot);
}

// An object's slot is set when it is added and cleared when it is freed, so the slot of an
// object passed here is the object's own.
void TSceneGrid::Changed(TGLBaseSceneObject* object, bool rigid, bool turned) {
  const std::int32_t slot = SlotOf(object);
  if (slot < 0 || static_cast<std::size_t>(slot) >= changes_.size()) return;
  assert(entries_[static_cast<std::size_t>(slot)].Object == object && "grid slot of another object");
  TChangeState& c = changes_[static_cast<std::size_t>(slot)];
  // A sphere about the origin holds the subtree however it turns about that origin: the
  // listing stands (items spin and creatures turn in place every step).
  if (rigid && turned && c.ByReach && !c.Dirty) return;
  if (c.Dirty) {
    c.Rigid = c.Rigid && rigid;
    return;
  }
  c.Dirty = true;
  c.Rigid = rigid;
  NoteDirty(slot);
}

// Notes a slot to re-list. Until the first question builds the grid nothing is noted (the
// build lists every entry), and a grid nobody asks about (the draw index of a scene that is
// never drawn: the simulator's) would otherwise note every object ever added. Once the
// notes outnumber the slots twice they are thinned to the first note of each slot still to
// be listed; the notes dropped would be passed over, and the order objects are listed in
// decides nothing (questions sort or break ties by the objects' order of adding).
void TSceneGrid::NoteDirty(std::int32_t slot) {
  if (!built_) return;
  dirty_.push_back(slot);
  if (dirty_.size() <= 2 * entries_.size() + 64) return;
  std::vector<bool> noted(entries_.size(), false);
  std::size_t kept = 0;
  for (const std::int32_t s : dirty_) {
    const auto i = static_cast<std::size_t>(s);
    if (entries_[i].Object == nullptr || !changes_[i].Dirty || noted[i]) continue;
    noted[i] = true;
    dirty_[kept++] = s;
  }
  dirty_.resize(kept);
}

void TSceneGrid::Freed(TGLBaseSceneObject* object) {
  const std::int32_t slot = SlotOf(object);
  if (slot < 0 || static_cast<std::size_t>(slot) >= entries_.size()) return;
  if (entries_[static_cast<std::size_t>(slot)].Object != object) return;
  Unplace(slot);
  entries_[static_cast<std::size_t>(slot)] = TEntry{};
  changes_[static_cast<std::size_t>(slot)] = TChangeState{false, false, false};
  SlotOf(object) = -1;
  freeSlots_.push_back(slot);
}

std::size_t TSceneGrid::CellEntries() const {
  std::size_t n = 0;
  for (const auto& cell : cells_) n += cell.size();
  return n;
}

void TSceneGrid::Unplace(std::int32_t slot) {
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
      for (std::int32_t y = e.Y0; y <= e.Y1; ++y) drop(CellAt(x, y));
  }
  e.Where = TEntry::None;
  e.X0 = e.Y0 = 0;
  e.X1 = e.Y1 = -1;
}

// Lists a dirty entry by its subtree's bounds: after a rigid move (an entity walking or
// turning, the common case) a sphere of the known reach about the object's new origin,
// which costs no walk of its subtree; otherwise the subtree's bounds computed afresh.
void TSceneGrid::Place(std::int32_t slot) {
  TEntry& e = entries_[static_cast<std::size_t>(slot)];
  // Rolls made now notify the grid: before its flags are read, not while it is listed.
  e.Object->MakeOwedRollsBelow();
  TChangeState& c = changes_[static_cast<std::size_t>(slot)];
  const bool rigid = c.Rigid && e.Reach >= 0;
  c.Dirty = false;
  c.Rigid = false;
  TVector centre;
  float radius;
  c.ByReach = rigid;
  if (rigid) {
    centre = e.Object->AbsolutePosition();
    radius = e.Reach;
  } else {
    Bounds(*e.Object, centre, radius);
    if (radius >= 0 && std::isfinite(radius)) {
      // Rounding in the turned frames may move a point by a few units in the last place.
      e.Reach = (VectorDistance(centre, e.Object->AbsolutePosition()) + radius) * 1.001f + 1e-3f;
      if (!std::isfinite(e.Reach)) e.Reach = -1;
    } else {
      e.Reach = -1;
    }
  }
  e.Centre = centre;
  e.Radius = radius;
  auto where = TEntry::Always;
  std::int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool outside = false;
  if (radius < 0) {
    where = TEntry::None;  // nothing below is ever hit or drawn
  } else if (std::isfinite(radius) && std::isfinite(centre.X) && std::isfinite(centre.Y) &&
             std::isfinite(centre.Z) && radius <= BigSide * CellSide / 2) {
    const double r = static_cast<double>(radius) + EdgeMargin;
    const double fx0 = std::floor((centre.X - r - originX_) / CellSide);
    const double fy0 = std::floor((centre.Y - r - originY_) / CellSide);
    const double fx1 = std::floor((centre.X + r - originX_) / CellSide);
    const double fy1 = std::floor((centre.Y + r - originY_) / CellSide);
    if (fx0 >= 0 && fy0 >= 0 && fx1 < columns_ && fy1 < rows_) {
      where = TEntry::Grid;
      x0 = static_cast<std::int32_t>(fx0), y0 = static_cast<std::int32_t>(fy0);
      x1 = static_cast<std::int32_t>(fx1), y1 = static_cast<std::int32_t>(fy1);
      const float low = static_cast<float>(centre.Z - r), high = static_cast<float>(centre.Z + r);
      if (!zKnown_ || low < lowZ_) lowZ_ = low;
      if (!zKnown_ || high > highZ_) highZ_ = high;
      zKnown_ = true;
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
      for (std::int32_t y = y0; y <= y1; ++y) CellAt(x, y).push_back(slot);
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
void TSceneGrid::Rebuild(TGLBaseSceneObject& root) {
  double minX = std::numeric_limits<double>::infinity(), minY = minX;
  double maxX = -minX, maxY = -minX;
  for (const auto& owned : root.ChildList()) {
    TVector c;
    float r;
    Bounds(*owned, c, r);
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
  zKnown_ = false;
  lowZ_ = highZ_ = 0;
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

void TSceneGrid::Refresh(TGLBaseSceneObject& root) {
  if (!built_) return Rebuild(root);
  for (std::size_t i = 0; i < dirty_.size(); ++i) {
    const std::int32_t slot = dirty_[i];
    if (entries_[static_cast<std::size_t>(slot)].Object != nullptr &&
        changes_[static_cast<std::size_t>(slot)].Dirty)
      Place(slot);
  }
  dirty_.clear();
  if (outside_ > MaxOutside) Rebuild(root);
}

std::int32_t& TSceneGrid::SlotOf(TGLBaseSceneObject* object) const {
  return object->gridSlots_[static_cast<int>(bounds_)];
}

void TSceneGrid::Bounds(TGLBaseSceneObject& object, TVector& centre, float& radius) const {
  if (bounds_ == TBounds::RayHits) object.SubtreeBounds(centre, radius);
  else object.SubtreeDrawBounds(centre, radius);
}

void TSceneGrid::NewStamp() {
  if (++stamp_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0u);
    stamp_ = 1;
  }
  seen_.resize(entries_.size(), 0u);
}

bool TSceneGrid::FirstMeeting(const TEntry& entry) {
  const auto slot = static_cast<std::size_t>(&entry - entries_.data());
  if (seen_[slot] == stamp_) return false;
  seen_[slot] = stamp_;
  return true;
}

}  // namespace orr
