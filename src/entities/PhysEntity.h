// SPDX-License-Identifier: GPL-3.0-or-later
// An entity with a body: velocity, collisions with walls and bodies, a hit cylinder, rays.
#pragma once

#include <cstdint>

#include "entities/MapEntity.h"
#include "scene/GLObjects.h"

namespace orr {

// The nearest scene object hit by a ray (or none), the hit point and the normal there.
struct RayHit {
  TGLBaseSceneObject* Object = nullptr;
  TVector Point;
  TVector Normal;
};

class TPhysEntity : public TVisualMapEntity {
 public:
  TPhysEntity();
  ~TPhysEntity() override;

  TVector Velocity;                    // world units per step
  float Countdown = 0;                 // seconds; counted down while positive
  TGLCylinder* HitCylinder = nullptr;  // invisible target of ray casts
  std::uint8_t BouncePercent = 0;      // speed kept when bouncing off a wall; 0 no bounce
  std::uint8_t SlidePercent = 100;     // speed kept when sliding along a wall

  void SetHidden(bool value) override;
  void Progress() override;
  void SetHeight(float height) override;
  virtual void ApplyFriction();
  virtual void TickCountdown();

  TVector Accelerate(const TVector& a) const;
  TVector NextPosition(const TVector& v) const;
  bool IsBlocked(const TVector& v) const;
  TVector ResolveMotion(const TVector& v) const;
  std::int32_t FreeMotionPercent(const TVector& a) const;
  RayHit CastForwardRay();
  // Hits farther than `reach` from the start may be left out: a caller that only asks
  // whether the nearest hit is the target lets the walk stop just behind it.
  RayHit CastRayToward(const TVector& target, float reach = 1e10f);

 protected:
  // A motion ResolveMotion worked out: `Kept` for `Wanted` at `Position`, while the bodies
  // stood as SpatialIndexChanges() counted them.
  struct TResolvedMotion {
    TVector Position, Wanted, Kept;
    std::uint64_t Changes = 0;
    bool Known = false;
  };
  // FreeMotionPercent, also telling the motion it resolved (when it resolved one).
  std::int32_t FreeMotionPercent(const TVector& a, TResolvedMotion* resolved) const;
  // How the step resolves Velocity; a kind that already has the answer may give it.
  virtual TVector StepMotion(const TVector& v) const { return ResolveMotion(v); }
};

}  // namespace orr
