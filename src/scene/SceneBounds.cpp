// SPDX-License-Identifier: GPL-3.0-or-later
// Bounding spheres of scene objects and their subtrees, for ray casts and culling.
#include "scene/GLScene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/GLObjects.h"

namespace orr {

float TGLBaseSceneObject::RayCastRadius() {
  MakeOwedRolls();
  if (!rayRadiusValid_) {
    switch (RayCastBounds()) {
      case TRayBounds::None: rayRadius_ = -1; break;
      case TRayBounds::Unbounded: rayRadius_ = std::numeric_limits<float>::infinity(); break;
      case TRayBounds::Geometry: rayRadius_ = BoundingRadius() * AbsoluteMaxScale() * 1.01f + 1e-4f; break;
      case TRayBounds::ScaleSphere:
        rayRadius_ = VectorLength(VectorScale(Scale.v_, 0.5f)) * 1.01f + 1e-4f;
        break;
    }
    rayRadiusValid_ = true;
  }
  return rayRadius_;
}

namespace {
// The smallest sphere found by merging two (radius < 0: empty; infinite: everything).
void MergeSphere(TVector& centre, float& radius, const TVector& c2, float r2) {
  if (r2 < 0 || std::isinf(radius)) return;
  if (radius < 0 || std::isinf(r2)) {
    centre = c2;
    radius = r2;
    return;
  }
  float d = VectorDistance(centre, c2);
  if (d + r2 <= radius) return;
  if (d + radius <= r2) {
    centre = c2;
    radius = r2;
    return;
  }
  float r = (d + radius + r2) * 0.5f;
  TVector towards = VectorSubtract(c2, centre);
  centre = VectorAdd(centre, VectorScale(towards, (r - radius) / d));
  centre.W = 1;
  radius = r * 1.0001f + 1e-5f;  // rounding margin
}
}  // namespace

void TGLBaseSceneObject::SubtreeBounds(TVector& centre, float& radius) {
  MakeOwedRollsBelow();
  if (!subtreeValid_) {
    subtreeRadius_ = RayCastRadius();
    subtreeCentre_ = AbsolutePosition();
    for (auto& child : children_) {
      TVector c;
      float r;
      child->SubtreeBounds(c, r);
      MergeSphere(subtreeCentre_, subtreeRadius_, c, r);
    }
    subtreeValid_ = true;
  }
  centre = subtreeCentre_;
  radius = subtreeRadius_;
}

void TGLBaseSceneObject::SubtreeDrawBounds(TVector& centre, float& radius) {
  MakeOwedRollsBelow();
  centre = AbsolutePosition();
  const float own = BoundingRadius();
  if (own >= 0) radius = own * AbsoluteMaxScale() * 1.001f + 1e-4f;  // rounding margin
  else radius = showAxes_ ? std::numeric_limits<float>::infinity() : -1;
  for (auto& child : children_) {
    TVector c;
    float r;
    child->SubtreeDrawBounds(c, r);
    MergeSphere(centre, radius, c, r);
  }
}

}  // namespace orr
