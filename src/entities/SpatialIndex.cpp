// SPDX-License-Identifier: GPL-3.0-or-later
#include "entities/SpatialIndex.h"

#include <algorithm>
#include <cmath>

#include "entities/UEntityStructures.h"

namespace orr {

namespace {

// Two units a side: a body's neighbours (0.8 apart at most) lie in the 3 x 3 cells around
// it, and a cell holds a handful of entities on a crowded map.
constexpr double CellSide = 2;

enum class TSlotKind : std::uint8_t { Other, Body, Item };

// One grid of slots over the map; positions off the map fall into the border cells, and a
// position that is not a number goes to `Stray`, which every query reads.
//
// Each cell keeps the first of its slots in `Heads` and the rest follow as a chain through
// `Next` (one entry per slot). The heads lie in tiles of 4 x 4 cells, one tile to a cache
// line, so the 3 x 3 cells of a query mostly lie in one or two lines: on a big map the heads
// are far too many for the caches, and a query reads nothing else of the grid.
//
//   cell (x, y) -> tile (x / 4, y / 4), place (x % 4) * 4 + y % 4 in the tile
struct TGrid {
  static constexpr std::int32_t TileSide = 4;
  std::int32_t Columns = 0, Rows = 0, TileRows = 0;
  std::vector<std::int32_t> Heads;  // first slot of each cell, -1 for none
  std::vector<std::int32_t> Next;   // next slot in the same cell, by slot; -1 ends the chain
  std::vector<std::int32_t> Stray;
  float MaxRadius = 0;

  void Reset(std::int32_t mapWidth, std::int32_t mapHeight) {
    // A map without cells (no rows or no columns: the loader takes 2147483647 x 0 from a
    // few bytes) gets one cell for everything, not a row of cells as long as its other side.
    if (mapWidth <= 0 || mapHeight <= 0) mapWidth = mapHeight = 1;
    Columns = std::max(1, static_cast<std::int32_t>(std::ceil(std::max(mapWidth, 1) / CellSide)));
    Rows = std::max(1, static_cast<std::int32_t>(std::ceil(std::max(mapHeight, 1) / CellSide)));
    TileRows = (Rows + TileSide - 1) / TileSide;
    const std::int32_t tileColumns = (Columns + TileSide - 1) / TileSide;
    Heads.assign(
        static_cast<std::size_t>(tileColumns) * static_cast<std::size_t>(TileRows) * TileSide * TileSide, -1);
    Next.clear();
    Stray.clear();
    MaxRadius = 0;
  }
  std::int32_t Column(double x) const {
    return static_cast<std::int32_t>(
        std::clamp(std::floor(x / CellSide), 0.0, static_cast<double>(Columns - 1)));
  }
  std::int32_t Row(double y) const {
    return static_cast<std::int32_t>(
        std::clamp(std::floor(y / CellSide), 0.0, static_cast<double>(Rows - 1)));
  }
  std::int32_t Cell(std::int32_t x, std::int32_t y) const {
    return ((x / TileSide) * TileRows + y / TileSide) * TileSide * TileSide + (x % TileSide) * TileSide +
           y % TileSide;
  }
  // The cell of a position, -1 for one that is not a number.
  std::int32_t CellOf(const TVector& p) const {
    if (std::isnan(p.X) || std::isnan(p.Y)) return -1;
    return Cell(Column(p.X), Row(p.Y));
  }
  void Insert(std::int32_t cell, std::int32_t slot) {
    if (cell < 0) {
      Stray.push_back(slot);
      return;
    }
    if (static_cast<std::size_t>(slot) >= Next.size()) Next.resize(static_cast<std::size_t>(slot) + 1, -1);
    std::int32_t& head = Heads[static_cast<std::size_t>(cell)];
    Next[static_cast<std::size_t>(slot)] = head;
    head = slot;
  }
  void Remove(std::int32_t cell, std::int32_t slot) {
    if (cell < 0) {
      auto it = std::find(Stray.begin(), Stray.end(), slot);
      if (it != Stray.end()) {
        *it = Stray.back();
        Stray.pop_back();
      }
      return;
    }
    std::int32_t* link = &Heads[static_cast<std::size_t>(cell)];
    while (*link >= 0 && *link != slot) link = &Next[static_cast<std::size_t>(*link)];
    if (*link == slot) *link = Next[static_cast<std::size_t>(slot)];
  }
  // Calls `visit` with the slots of the cells within reach (and the stray ones) until it
  // returns true.
  template <class TVisit>
  bool AnyNear(const TVector& p, float reach, const TVisit& visit) const {
    const double r = static_cast<double>(reach) + MaxRadius + 0.01 + 1e-6 * (std::fabs(p.X) + std::fabs(p.Y));
    const std::int32_t x0 = Column(p.X - r), x1 = Column(p.X + r), y0 = Row(p.Y - r), y1 = Row(p.Y + r);
    for (std::int32_t x = x0; x <= x1; ++x)
      for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t slot = Heads[static_cast<std::size_t>(Cell(x, y))]; slot >= 0;
             slot = Next[static_cast<std::size_t>(slot)])
          if (visit(slot)) return true;
    for (std::int32_t slot : Stray)
      if (visit(slot)) return true;
    return false;
  }
  void Near(const TVector& p, float reach, std::vector<std::int32_t>& out) const {
    AnyNear(p, reach, [&out](std::int32_t slot) {
      out.push_back(slot);
      return false;
    });
  }
  std::size_t Bytes() const {
    return (Heads.capacity() + Next.capacity() + Stray.capacity()) * sizeof(std::int32_t);
  }
};

struct TIndex {
  std::vector<TMapEntity*> Slots;  // MapEntities as last read
  std::vector<TSlotKind> Kinds;
  std::vector<std::int32_t> CellOfSlot;
  TGrid Bodies, Items;
  std::int32_t MapWidth = -1, MapHeight = -1;
  bool Dirty = true;  // an entity was made: MapEntities may have grown
  bool Stale = true;  // an entity was freed or the map changed: read everything again

  TGrid* GridOf(std::int32_t slot) {
    switch (Kinds[static_cast<std::size_t>(slot)]) {
      case TSlotKind::Body: return &Bodies;
      case TSlotKind::Item: return &Items;
      default: return nullptr;
    }
  }

  void Clear() {
    Slots.clear();
    Kinds.clear();
    CellOfSlot.clear();
    MapWidth = GameMap.MapSize.X;
    MapHeight = GameMap.MapSize.Y;
    Bodies.Reset(MapWidth, MapHeight);
    Items.Reset(MapWidth, MapHeight);
    Stale = false;
  }

  void Append(std::size_t i) {
    TMapEntity* e = MapEntities[i].get();
    const auto slot = static_cast<std::int32_t>(i);
    TSlotKind kind = TSlotKind::Other;
    if (dynamic_cast<TPhysEntity*>(e) != nullptr) kind = TSlotKind::Body;
    else if (dynamic_cast<TItem*>(e) != nullptr) kind = TSlotKind::Item;
    Slots.push_back(e);
    Kinds.push_back(kind);
    CellOfSlot.push_back(-1);
    if (e == nullptr) return;
    e->SpatialSlot = slot;
    if (TGrid* grid = GridOf(slot)) {
      const std::int32_t cell = grid->CellOf(e->GetPosition());
      CellOfSlot.back() = cell;
      grid->Insert(cell, slot);
      grid->MaxRadius = std::max(grid->MaxRadius, e->Radius);
    }
  }

  // Brings the grids in line with MapEntities: appended entities are listed; anything
  // else (an entity freed, a list reordered, another map) reads the whole list again.
  void Sync() {
    if (MapWidth != GameMap.MapSize.X || MapHeight != GameMap.MapSize.Y) Stale = true;
    if (Stale) {
      Clear();
      Dirty = true;
    }
    if (!Dirty && MapEntities.size() == Slots.size()) return;
    bool prefix = MapEntities.size() >= Slots.size();
    for (std::size_t i = 0; prefix && i < Slots.size(); ++i) prefix = MapEntities[i].get() == Slots[i];
    if (!prefix) Clear();
    for (std::size_t i = Slots.size(); i < MapEntities.size(); ++i) Append(i);
    Dirty = false;
  }

  bool Tracks(const TMapEntity* e) const {
    const std::int32_t slot = e->SpatialSlot;
    return !Stale && slot >= 0 && static_cast<std::size_t>(slot) < Slots.size() &&
           Slots[static_cast<std::size_t>(slot)] == e;
  }

  void Moved(TMapEntity* e) {
    if (!Tracks(e)) return;  // not listed yet: read when the list is synced
    const std::int32_t slot = e->SpatialSlot;
    TGrid* grid = GridOf(slot);
    if (grid == nullptr) return;
    grid->MaxRadius = std::max(grid->MaxRadius, e->Radius);
    const std::int32_t cell = grid->CellOf(e->GetPosition());
    std::int32_t& old = CellOfSlot[static_cast<std::size_t>(slot)];
    if (cell == old) return;
    grid->Remove(old, slot);
    grid->Insert(cell, slot);
    old = cell;
  }

  // A point that is not finite: every slot of the kind, so the caller's test decides.
  void All(TSlotKind kind, std::vector<std::int32_t>& out) const {
    for (std::size_t i = 0; i < Kinds.size(); ++i)
      if (Kinds[i] == kind) out.push_back(static_cast<std::int32_t>(i));
  }
};

TIndex& Index() {
  static TIndex index;
  return index;
}

bool Finite(const TVector& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

}  // namespace

void ResetSpatialIndex() {
  TIndex& index = Index();
  index = TIndex{};
}

namespace {
std::uint64_t Changes = 0;
}  // namespace

std::uint64_t SpatialIndexChanges() { return Changes; }

void SpatialIndexEntityMade(TMapEntity*) {
  ++Changes;
  Index().Dirty = true;
}

void SpatialIndexEntityMoved(TMapEntity* entity) {
  ++Changes;
  Index().Moved(entity);
}

void SpatialIndexEntityFreed(TMapEntity* entity) {
  ++Changes;
  TIndex& index = Index();
  if (index.Tracks(entity)) index.Stale = true;
}

bool AnyBodyNear(const TVector& point, float reach, bool (*test)(std::int32_t slot, const void* context),
                 const void* context) {
  TIndex& index = Index();
  index.Sync();
  if (Finite(point))
    return index.Bodies.AnyNear(point, reach, [&](std::int32_t slot) { return test(slot, context); });
  static std::vector<std::int32_t> all;  // a point that is not finite: rare
  all.clear();
  index.All(TSlotKind::Body, all);
  for (std::int32_t slot : all)
    if (test(slot, context)) return true;
  return false;
}

void ItemsNear(const TVector& point, float reach, std::vector<std::int32_t>& out) {
  out.clear();
  TIndex& index = Index();
  index.Sync();
  if (!Finite(point)) {
    index.All(TSlotKind::Item, out);
    return;
  }
  index.Items.Near(point, reach, out);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::size_t SpatialIndexBytes() {
  const TIndex& index = Index();
  return index.Slots.capacity() * (sizeof(TMapEntity*) + sizeof(TSlotKind) + sizeof(std::int32_t)) +
         index.Bodies.Bytes() + index.Items.Bytes();
}

}  // namespace orr
