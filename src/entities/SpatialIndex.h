// SPDX-License-Identifier: GPL-3.0-or-later
// Where the map's entities stand, kept in uniform grids, so that collision, spacing and
// pick-ups look only at the entities near a point instead of scanning MapEntities.
//
// Every answer equals the plain scan's: a query visits a superset of the entities the
// scan's distance test can accept, and the same test decides. SpatialIndexEnabled false
// (UEntityStructures.h) switches all of it off: the scans, the whole-scene ray casts and
// the repeated look-ahead rays run as written, the reference the indexes are checked against.
//
// Bookkeeping: the grids follow MapEntities by its order (an entity's place in the list is
// its slot). Entities report when they are made, moved and freed; the list may grow at its
// end at any time and may be emptied, which a query notices and answers by re-reading the
// list. An entity's Radius is read when it is listed or moved.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/VectorGeometry.h"

namespace orr {

class TMapEntity;

// Forgets every grid (tests; unit finalization).
void ResetSpatialIndex();

// Notifications from the entities (MapEntity.cpp).
void SpatialIndexEntityMade(TMapEntity* entity);
void SpatialIndexEntityMoved(TMapEntity* entity);
void SpatialIndexEntityFreed(TMapEntity* entity);

// Whether `test` accepts the slot (place in MapEntities) of one of the physical entities
// whose position may lie within `reach` of `point` plus their own Radius; the caller's test
// is the exact one. Slots come in no set order, and the first accepted ends the search.
bool AnyBodyNear(const TVector& point, float reach, bool (*test)(std::int32_t slot, const void* context),
                 const void* context);
template <class TTest>
bool AnyBodyNear(const TVector& point, float reach, const TTest& test) {
  return AnyBodyNear(
      point, reach,
      [](std::int32_t slot, const void* context) { return (*static_cast<const TTest*>(context))(slot); },
      &test);
}
// Slots of the items that may lie within `reach` of `point` plus their own Radius, in
// MapEntities order.
void ItemsNear(const TVector& point, float reach, std::vector<std::int32_t>& out);

// Counts the notifications above (entities made, moved, freed): while it stands, every
// entity stands where it stood.
std::uint64_t SpatialIndexChanges();

// Memory the grids hold now, in bytes.
std::size_t SpatialIndexBytes();

}  // namespace orr
