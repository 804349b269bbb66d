// SPDX-License-Identifier: GPL-3.0-or-later
// The lists of the map's live entities and the player records, and the switches and
// counters of the rules that run over them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace orr {

class TMapEntity;
class TPlayerRecord;

// Whether collision and sight queries may use spatial indexes (true) or must scan
// MapEntities plainly (false: the reference the indexes are checked against, set by the
// simulator's --no-index). ResetEntities sets it back to true.
extern bool SpatialIndexEnabled;

// Work done by the step rules, counted for timing tools; the game never reads them.
struct TRuleCounters {
  std::uint64_t RayCasts = 0;        // scene ray casts by physical entities
  std::uint64_t CollisionScans = 0;  // searches of MapEntities for a body in the way
};
extern TRuleCounters RuleCounters;

// The map's live entities in map order; owns them.
extern std::vector<std::unique_ptr<TMapEntity>> MapEntities;
// The player records; owns them.
extern std::vector<std::unique_ptr<TPlayerRecord>> PlayerRecords;

// Frees every record, then every map entity; clears RuleCounters and sets
// SpatialIndexEnabled (tests; unit finalization).
void ResetEntities();

}  // namespace orr
