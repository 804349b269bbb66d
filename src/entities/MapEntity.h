// SPDX-License-Identifier: GPL-3.0-or-later
// The root entity classes: TMapEntity (on the map, respawns) and TVisualMapEntity (a
// sprite, registered on the game clock while it lives).
#pragma once

#include <cstdint>

#include "core/GameSteps.h"
#include "core/Numbers.h"
#include "entities/EntityTables.h"
#include "map/UMapModule.h"
#include "scene/GLObjects.h"

namespace orr {

class TMapEntity {
 public:
  TMapEntity();
  virtual ~TMapEntity();
  TMapEntity(const TMapEntity&) = delete;
  TMapEntity& operator=(const TMapEntity&) = delete;

  bool Hidden = false;                            // out of play: not drawn, not picked up
  float RespawnTimer = 0;                         // seconds counted while hidden
  std::uint8_t RespawnDelay = 0;                  // seconds until a hidden entity reappears; 0 never
  TPackedEntity Spawn;                            // the map record the entity was made from
  TGLDummyCube* Anchor = nullptr;                 // position = the entity's position, roll = heading
  float Radius = static_cast<float>(BodyRadius);  // collision and pick-up radius
  std::int32_t SpatialSlot = -1;                  // place in MapEntities as the spatial index last read it

  virtual void SetHidden(bool value);
  virtual void SetSpawn(const TPackedEntity& record);
  virtual void SetPosition(const TVector& position);
  virtual void SetRespawnDelay(int seconds);
  virtual void Progress();

  TVector GetPosition() const;
  // Places the entity at the centre of a random free cell. Bounded: after 64 x W x H draws
  // every cell is tried in order; with no free cell a warning is logged and the entity
  // stays where it is. Returns false then.
  bool PlaceRandomly();
  bool IsSpotOccupied(std::int32_t x, std::int32_t y) const;

 protected:
  // Runs the respawn count-down (shared by the subclasses that keep it).
  void CountDownRespawn();
};

class TVisualMapEntity : public TMapEntity {
 public:
  TVisualMapEntity();
  ~TVisualMapEntity() override;

  TGLPlane* Sprite = nullptr;
  float Heading = 0;       // degrees, 0..359; 0 faces +y
  std::uint8_t Frame = 0;  // animation frame number
  float Height = 0.5f;     // sprite Z above the anchor; hit cylinder height

  void SetHidden(bool value) override;
  void SetPosition(const TVector& position) override;
  void Progress() override;
  virtual void SetHeight(float height);
  void SetHeading(float angle);
  // The step handler every visual entity registers: Progress, for all but the local
  // player, which also steers by the step's keys.
  virtual void Step(const TKeySnapshot& keys);
};

}  // namespace orr
