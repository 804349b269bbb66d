// SPDX-License-Identifier: GPL-3.0-or-later
// Ray casts: an object's own test (a sphere by default) and the scene's walk for the
// nearest hit.
#include "scene/GLScene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/GLObjects.h"

namespace orr {

bool TGLBaseSceneObject::RayCastIntersect(const TVector& rayStart, const TVector& rayVector,
                                          TVector* intersectPoint, TVector* intersectNormal) {
  return SphereRayCast(rayStart, rayVector, intersectPoint, intersectNormal);
}

bool TGLBaseSceneObject::SphereRayCast(const TVector& rayStart, const TVector& rayVector,
                                       TVector* intersectPoint, TVector* intersectNormal) {
  TVector centre = AbsolutePosition();
  TVector half{0.5f * Scale.v_.X, 0.5f * Scale.v_.Y, 0.5f * Scale.v_.Z, 0};
  float radius = VectorLength(half);
  // |s + t d - c|^2 = r^2, measured along d as given.
  TVector sc = VectorSubtract(rayStart, centre);
  float a = VectorDot(rayVector, rayVector);
  if (a == 0) return false;
  float b = VectorDot(sc, rayVector);
  float c = VectorDot(sc, sc) - radius * radius;
  float disc = b * b - a * c;
  if (disc < 0) return false;
  float root = std::sqrt(disc);
  float t = (-b - root) / a;
  if (t < 0) t = (-b + root) / a;  // the start lies inside: the exit point
  if (t < 0) return false;
  TVector p{rayStart.X + t * rayVector.X, rayStart.Y + t * rayVector.Y, rayStart.Z + t * rayVector.Z, 1};
  if (intersectPoint) *intersectPoint = p;
  if (intersectNormal) {
    TVector n = VectorNormalize(VectorSubtract(p, centre));
    n.W = 0;
    *intersectNormal = n;
  }
  return true;
}

namespace {

// Cheap rejection by the object's bounding sphere (with a margin for rounding): the ray
// misses the sphere, the sphere lies behind the start, or even its nearest point is
// farther than the best hit so far. Never rejects an object its own test would report.
bool SphereMayHit(const TVector& centre, float radius, const TRayCastState& state) {
  if (radius < 0) return false;
  if (std::isinf(radius) || state.VectorLength2 == 0) return true;
  TVector sc = VectorSubtract(centre, state.Start);
  float dist2 = VectorDot(sc, sc);
  float r2 = radius * radius;
  if (dist2 <= r2) return true;  // the start lies inside the sphere
  float along = VectorDot(sc, state.Vector);
  if (along <= 0) return false;  // the sphere lies behind the start
  float closest2 = dist2 - along * along / state.VectorLength2;
  if (closest2 > r2) return false;
  float nearest = std::sqrt(dist2) - radius;
  return nearest * nearest <= state.BestDist2 * 1.0001f;
}

void VisitChildren(TGLBaseSceneObject& obj, TRayCastState& state);

void Visit(TGLBaseSceneObject& object, TRayCastState& state) {
  if (!object.Visible()) return;
  TVector centre;
  float radius;
  object.SubtreeBounds(centre, radius);
  if (!SphereMayHit(centre, radius, state)) return;  // nothing below can win
  TVector point, normal;
  if (SphereMayHit(object.AbsolutePosition(), object.RayCastRadius(), state) &&
      object.RayCastIntersect(state.Start, state.Vector, &point, &normal)) {
    float d2 = VectorDistance2(state.Start, point);
    if (d2 < state.BestDist2 ||
        (d2 == state.BestDist2 && state.Best != nullptr && state.Order < state.BestOrder)) {
      state.BestDist2 = d2;
      state.Best = &object;
      state.BestPoint = point;
      state.BestNormal = normal;
      state.BestOrder = state.Order;
    }
  }
  VisitChildren(object, state);
}

void VisitChildren(TGLBaseSceneObject& obj, TRayCastState& state) {
  for (const auto& owned : obj.ChildList()) Visit(*owned, state);
}

}  // namespace

void RayCastTopLevel(TGLBaseSceneObject& object, TRayCastState& state) { Visit(object, state); }

TGLBaseSceneObject* TGLScene::RayCastIntersect(const TVector& rayStart, const TVector& rayVector,
                                               TVector* intersectPoint, TVector* intersectNormal) {
  TRayCastState state;
  state.Start = {rayStart.X, rayStart.Y, rayStart.Z, 1};
  state.Vector = {rayVector.X, rayVector.Y, rayVector.Z, 0};
  state.VectorLength2 = VectorDot(state.Vector, state.Vector);
  VisitChildren(*root_, state);
  if (state.Best != nullptr) {
    if (intersectPoint) *intersectPoint = state.BestPoint;
    if (intersectNormal) *intersectNormal = state.BestNormal;
  }
  return state.Best;
}

TGLBaseSceneObject* TGLScene::RayCastIntersectIndexed(const TVector& rayStart, const TVector& rayVector,
                                                      TVector* intersectPoint, TVector* intersectNormal,
                                                      float maxDistance) {
  TRayCastState state;
  state.Start = {rayStart.X, rayStart.Y, rayStart.Z, 1};
  state.Vector = {rayVector.X, rayVector.Y, rayVector.Z, 0};
  state.VectorLength2 = VectorDot(state.Vector, state.Vector);
  if (maxDistance * maxDistance < state.BestDist2) state.BestDist2 = maxDistance * maxDistance;
  rayIndex_.Cast(*root_, state);
  if (state.Best != nullptr) {
    if (intersectPoint) *intersectPoint = state.BestPoint;
    if (intersectNormal) *intersectNormal = state.BestNormal;
  }
  return state.Best;
}

}  // namespace orr
