// SPDX-License-Identifier: GPL-3.0-or-later
// Physical entities: velocity, collision against the height grid and other bodies, the
// hit cylinder and the two ray casts creatures see and aim with.
#include <algorithm>
#include <cmath>

#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"

namespace orr {

TPhysEntity::TPhysEntity() {
  HitCylinder = NewChildObject<TGLCylinder>(Anchor);
  BouncePercent = 0;
  SlidePercent = 100;
  HitCylinder->SetParts({cySides, cyTop});
  HitCylinder->SetHeight(Height);
  HitCylinder->SetTopRadius(static_cast<float>(BodyRadius));
  HitCylinder->SetBottomRadius(static_cast<float>(BodyRadius));
  HitCylinder->SetNormals(nsFlat);
  HitCylinder->SetSlices(6);
  HitCylinder->Position.SetZ(HitCylinder->Height() / 2 + Anchor->Position.Z());
  HitCylinder->PitchBy(270);  // the cylinder's axis (local Y) stands up
  HitCylinder->Material.FrontProperties.Diffuse.W = 0;
  HitCylinder->Material.BlendingMode = bmTransparency;
  SetHeight(0.5f);
}

TPhysEntity::~TPhysEntity() = default;

void TPhysEntity::SetHeight(float height) {
  TVisualMapEntity::SetHeight(height);
  if (HitCylinder != nullptr) {
    HitCylinder->SetHeight(Height);
    HitCylinder->Position.SetZ(HitCylinder->Height() / 2 + Anchor->Position.Z());
  }
}

void TPhysEntity::SetHidden(bool value) {
  TVisualMapEntity::SetHidden(value);
  HitCylinder->SetVisible(!Hidden);
}

void TPhysEntity::Progress() {
  TVisualMapEntity::Progress();
  if (Hidden) return;
  Velocity = StepMotion(Velocity);
  SetPosition(NextPosition(Velocity));
  ApplyFriction();
  if (Countdown > 0) TickCountdown();
}

void TPhysEntity::ApplyFriction() { Velocity = {Velocity.X / 2, Velocity.Y / 2, Velocity.Z / 2, 0}; }

void TPhysEntity::TickCountdown() { Countdown -= StepSecondsF; }

TVector TPhysEntity::Accelerate(const TVector& a) const {
  auto axis = [](float v, float a) { return std::clamp(v + StepSecondsF * a, -1.0f, 1.0f); };
  return {axis(Velocity.X, a.X), axis(Velocity.Y, a.Y), axis(Velocity.Z, a.Z), 0};
}

TVector TPhysEntity::NextPosition(const TVector& v) const { return VectorAdd(GetPosition(), v); }

bool TPhysEntity::IsBlocked(const TVector& v) const {
  const TVector p = NextPosition(v);
  const int fx = TruncFloor(p.X), fy = TruncFloor(p.Y);
  // A blocked cell keeps a body's centre BodyRadius away from each of its sides. The bounds are
  // taken in double precision: in singles, 10 - 0.4f rounds to the single nearest 9.6,
  // which lies above 9.6 and so would let a centre there stand within the margin.
  // (The margin is tested before the cell: most of the nine lie beyond it.)
  for (int cx = fx - 1; cx <= fx + 1; ++cx)
    for (int cy = fy - 1; cy <= fy + 1; ++cy)
      if (cx - BodyRadius < p.X && p.X < cx + (1 + BodyRadius) && cy - BodyRadius < p.Y &&
          p.Y < cy + (1 + BodyRadius) && IsCellBlocked(cx, cy))
        return true;
  const TVector here = GetPosition();
  ++RuleCounters.CollisionScans;
  auto blocks = [&](const TMapEntity& body) {
    const TVector there = body.GetPosition();
    return VectorDistance(there, here) > 0 && VectorDistance(p, there) < Radius + body.Radius;
  };
  if (!SpatialIndexEnabled) {
    for (const auto& entity : MapEntities)
      if (dynamic_cast<const TPhysEntity*>(entity.get()) != nullptr && blocks(*entity)) return true;
    return false;
  }
  return AnyBodyNear(p, Radius,
                     [&](std::int32_t slot) { return blocks(*MapEntities[static_cast<std::size_t>(slot)]); });
}

TVector TPhysEntity::ResolveMotion(const TVector& v) const {
  // Standing still (every part +0) comes out as it went in whatever blocks: a free stand
  // keeps v, and without bounce a blocked one only scales and zeroes parts of +0 and ends
  // in {0, 0, 0, 0}. Most creatures stand most of the time.
  if (SpatialIndexEnabled && BouncePercent == 0 && VectorEquals(v, TVector{0, 0, 0, 0})) return v;
  const TVector orig = v;
  TVector cur = v;
  for (int pass = 0; pass < 3; ++pass) {
    if (!IsBlocked(cur)) return cur;
    if (BouncePercent > 0) {
      const float f = BouncePercent / 100.0f;
      const TVector s{cur.X * f, cur.Y * f, cur.Z * f, 0};
      if (!IsBlocked({cur.X, 0, cur.Z, 0})) cur = {s.X, -s.Y, s.Z, 0};
      else if (!IsBlocked({0, cur.Y, cur.Z, 0})) cur = {-s.X, s.Y, s.Z, 0};
    } else if (SlidePercent > 0) {
      const float f = SlidePercent / 100.0f;
      const TVector s{cur.X * f, cur.Y * f, cur.Z * f, 0};
      if (!IsBlocked({s.X, 0, s.Z, 0})) cur = {s.X, 0, s.Z, 0};
      else if (!IsBlocked({0, s.Y, s.Z, 0})) cur = {0, s.Y, s.Z, 0};
    } else {
      return {0, 0, 0, 0};
    }
  }
  if (VectorEquals(cur, orig)) return {0, 0, 0, 0};
  return cur;
}

std::int32_t TPhysEntity::FreeMotionPercent(const TVector& a) const { return FreeMotionPercent(a, nullptr); }

std::int32_t TPhysEntity::FreeMotionPercent(const TVector& a, TResolvedMotion* resolved) const {
  const TVector tentative = Accelerate(a);
  const float wanted = VectorLength(tentative);
  if (wanted == 0) return 100;  // nothing asked, nothing refused
  const TVector kept = ResolveMotion(tentative);
  if (resolved != nullptr) *resolved = {GetPosition(), tentative, kept, SpatialIndexChanges(), true};
  const float percent = VectorLength(kept) / wanted * 100;
  // The percentage is kept in seven bits, as the rule has always stored it (0..100 fits).
  constexpr std::int32_t PercentBits = 0x7F;
  return static_cast<std::int32_t>(std::nearbyint(percent)) & PercentBits;
}

namespace {

// The caster's own objects (its hit cylinder, its laser sight) are out of the ray's way:
// the anchor is hidden for the cast. Otherwise a creature looking at a player behind it
// would see its own body, and a shown laser sight (hit as a sphere around its origin)
// would stop every ray the creature casts a few tenths of a unit ahead.
// Hits farther than `reach` from the start may be left out (indexed casts only).
RayHit CastSceneRay(TGLDummyCube* anchor, const TVector& start, const TVector& direction,
                    float reach = 1e10f) {
  RayHit hit;
  TGLScene* scene = anchor->Scene();
  if (scene == nullptr) return hit;
  // Shown again however the cast ends: an exception must not leave the body invisible.
  struct THiddenForCast {
    TGLDummyCube* Anchor;
    bool Shown;
    ~THiddenForCast() {
      if (Shown) Anchor->SetVisible(true);
    }
  } hidden{anchor, anchor->Visible()};
  if (hidden.Shown) anchor->SetVisible(false);
  ++RuleCounters.RayCasts;
  hit.Object = !SpatialIndexEnabled
                   ? scene->RayCastIntersect(start, direction, &hit.Point, &hit.Normal)
                   : scene->RayCastIntersectIndexed(start, direction, &hit.Point, &hit.Normal, reach);
  return hit;
}

}  // namespace

RayHit TPhysEntity::CastForwardRay() {
  const TVector direction = Anchor->LocalToAbsolute({0, 5, 0, 0});
  const TVector start = VectorAdd(GetPosition(), Anchor->LocalToAbsolute({0, 0.41f, Height / 2, 0}));
  return CastSceneRay(Anchor, start, direction);
}

RayHit TPhysEntity::CastRayToward(const TVector& target, float reach) {
  const TVector o = VectorAdd(GetPosition(), Anchor->LocalToAbsolute({0, Radius + 0.05f, Height / 2, 0}));
  const TVector start{o.X, o.Y, target.Z, 1};
  TVector direction = VectorSubtract(target, start);
  direction.W = 0;
  return CastSceneRay(Anchor, start, direction, reach);
}

}  // namespace orr
