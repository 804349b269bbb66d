// SPDX-License-Identifier: GPL-3.0-or-later
#include "entities/EntitySpawn.h"

namespace orr {

void SpawnEntities() {
  for (std::size_t i = 0; i < GameMap.EntityCount && i < GameMap.EntitySpawns.size(); ++i)
    SpawnEntity(GameMap.EntitySpawns[i]);
}

void SpawnEntity(const TPackedEntity& record) {
  std::unique_ptr<TMapEntity> made;
  switch (record.EntityKind()) {
    case TEntityKind::Creature: made = std::make_unique<TNPC>(); break;
    case TEntityKind::HealthItem:
    case TEntityKind::ArmourItem:
    case TEntityKind::Weapon:
    case TEntityKind::Ammunition: made = std::make_unique<TItem>(); break;
    default: return;
  }
  MapEntities.push_back(std::move(made));
  MapEntities.back()->SetSpawn(record);
}

void AddPlayerRecord() { PlayerRecords.push_back(std::make_unique<TPlayerRecord>()); }

void FreeMapEntities() {
  for (auto& entity : MapEntities) entity.reset();
  MapEntities.clear();
}

}  // namespace orr
