// SPDX-License-Identifier: GPL-3.0-or-later
// The root entity classes: TMapEntity and TVisualMapEntity, and the list of the map's entities.
#include <cmath>
#include <stdexcept>

#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/EntitiesLocal.h"
#include "entities/SpatialIndex.h"

namespace orr {

TEntityServices EntityServices;
std::vector<std::unique_ptr<TMapEntity>> MapEntities;
bool SpatialIndexEnabled = true;
TRuleCounters RuleCounters;

TGLBaseSceneObject* SceneRoot() {
  if (EntityServices.Scene == nullptr)
    throw std::logic_error("entities need a scene: EntityServices.Scene is not set");
  return EntityServices.Scene->Objects();
}

namespace {

bool IsPhysical(const TMapEntity* entity) { return dynamic_cast<const TPhysEntity*>(entity) != nullptr; }

TStepHandler ProgressHandler(TVisualMapEntity* entity) {
  return StepHandlerOf<&TVisualMapEntity::Step>(entity);
}

}  // namespace

// ---- TMapEntity ----------------------------------------------------------------------------

TMapEntity::TMapEntity() {
  Anchor = NewChildObject<TGLDummyCube>(SceneRoot());
  Anchor->Position.SetVector({0, 0, 0, 0});
  SpatialIndexEntityMade(this);
}

TMapEntity::~TMapEntity() {
  SpatialIndexEntityFreed(this);
  if (Anchor != nullptr) Anchor->Free();
}

void TMapEntity::SetHidden(bool value) { Hidden = value; }

void TMapEntity::SetSpawn(const TPackedEntity& record) {
  Spawn = record;
  const TMapVector& p = record.Position;
  if (p.X < 0 && p.Y < 0) PlaceRandomly();
  else SetPosition({p.X, p.Y, p.Z, p.W});
}

void TMapEntity::SetPosition(const TVector& position) {
  Anchor->Position.SetVector(position);
  SpatialIndexEntityMoved(this);
}

void TMapEntity::SetRespawnDelay(int seconds) {
  RespawnDelay = static_cast<std::uint8_t>(seconds < 0 ? 0 : seconds > 255 ? 255 : seconds);
}

void TMapEntity::CountDownRespawn() {
  if (RespawnDelay > 0 && Hidden) {
    RespawnTimer += StepSecondsF;
    if (RespawnTimer >= RespawnDelay) {
      RespawnTimer = 0;
      SetHidden(false);
    }
  }
}

void TMapEntity::Progress() { CountDownRespawn(); }

TVector TMapEntity::GetPosition() const { return Anchor->Position.AsVector(); }

bool TMapEntity::PlaceRandomly() {
  const std::int32_t w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  auto isFree = [this](std::int32_t x, std::int32_t y) {
    return !IsCellBlocked(x, y) && !IsSpotOccupied(x, y);
  };
  auto placeAt = [this](std::int32_t x, std::int32_t y) {
    SetPosition({static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, 0, 0});
    return true;
  };
  if (w > 0 && h > 0) {
    const std::int64_t draws = 64 * static_cast<std::int64_t>(w) * h;
    for (std::int64_t i = 0; i < draws; ++i) {
      const std::int32_t y = Random(h);
      const std::int32_t x = Random(w);
      if (isFree(x, y)) return placeAt(x, y);
    }
    for (std::int32_t y = 0; y < h; ++y)
      for (std::int32_t x = 0; x < w; ++x)
        if (isFree(x, y)) return placeAt(x, y);
  }
  LogEvent("WARNING: No free cell on the map to place " + EntityName(Spawn) + "; it stays where it is");
  return false;
}

bool TMapEntity::IsSpotOccupied(std::int32_t x, std::int32_t y) const {
  const TVector spot{static_cast<float>(x), static_cast<float>(y), 0, 0};
  auto occupies = [&](const TMapEntity& other) {
    return VectorDistance(spot, other.GetPosition()) < Radius + other.Radius;
  };
  if (!SpatialIndexEnabled) {
    for (const auto& other : MapEntities)
      if (IsPhysical(other.get()) && occupies(*other)) return true;
    return false;
  }
  return AnyBodyNear(spot, Radius, [&](std::int32_t slot) {
    return occupies(*MapEntities[static_cast<std::size_t>(slot)]);
  });
}

// ---- TVisualMapEntity ----------------------------------------------------------------------

TVisualMapEntity::TVisualMapEntity() {
  Sprite = NewChildObject<TGLPlane>(Anchor);
  AddStepHandler(ProgressHandler(this));
  Sprite->Material.Texture.SetMagFilter(maNearest);
  Sprite->Material.Texture.SetMinFilter(miNearest);
  SetHeading(0);
  SetHeight(0.5f);
}

TVisualMapEntity::~TVisualMapEntity() { RemoveStepHandler(ProgressHandler(this)); }

void TVisualMapEntity::SetHidden(bool value) {
  TMapEntity::SetHidden(value);
  Sprite->SetVisible(!Hidden);
}

void TVisualMapEntity::SetPosition(const TVector& position) { TMapEntity::SetPosition(position); }

void TVisualMapEntity::Progress() { CountDownRespawn(); }

void TVisualMapEntity::Step(const TKeySnapshot&) { Progress(); }

void TVisualMapEntity::SetHeight(float height) {
  Sprite->Position.SetZ(height);
  Height = height;
}

void TVisualMapEntity::SetHeading(float angle) {
  Heading = WrapAngle(angle, 0, 359);
  Anchor->SetRollAngle(Heading);
}

void ResetEntities() {
  for (auto& record : PlayerRecords) record.reset();
  PlayerRecords.clear();
  for (auto& entity : MapEntities) entity.reset();
  MapEntities.clear();
  RuleCounters = {};
  SpatialIndexEnabled = true;
}

}  // namespace orr
