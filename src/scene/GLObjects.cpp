// SPDX-License-Identifier: GPL-3.0-or-later
// Object kinds: properties and ray tests. Their drawing is in GLObjectsRender.cpp.
#include "scene/GLObjects.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orr {

namespace {

// The ray in the object's local frame.
struct TLocalRay {
  TVector Start, Vector;
};

TLocalRay ToLocal(TGLBaseSceneObject& obj, const TVector& start, const TVector& vec) {
  return {obj.AbsoluteToLocal({start.X, start.Y, start.Z, 1}), obj.AbsoluteToLocal({vec.X, vec.Y, vec.Z, 0})};
}

TVector At(const TLocalRay& ray, float t) {
  return {ray.Start.X + t * ray.Vector.X, ray.Start.Y + t * ray.Vector.Y, ray.Start.Z + t * ray.Vector.Z, 1};
}

void ReportHit(TGLBaseSceneObject& obj, const TVector& localPoint, const TVector& localNormal, TVector* point,
               TVector* normal) {
  if (point) *point = obj.LocalToAbsolute({localPoint.X, localPoint.Y, localPoint.Z, 1});
  if (normal) {
    TVector n = VectorNormalize(obj.LocalToAbsolute({localNormal.X, localNormal.Y, localNormal.Z, 0}));
    n.W = 0;
    *normal = n;
  }
}

}  // namespace

TGLCustomSceneObject::TGLCustomSceneObject(TGLScene* scene)
    : TGLBaseSceneObject(scene), Material([this] { NotifyChange(); }) {}  // bounds stay

// ---------------------------------------------------------------------------------------
// Plane

void TGLPlane::SetWidth(float v) {
  if (v != width_) {
    width_ = v;
    StructureChanged();
  }
}
void TGLPlane::SetHeight(float v) {
  if (v != height_) {
    height_ = v;
    StructureChanged();
  }
}
void TGLPlane::SetXTiles(float v) {
  if (v != xTiles_) {
    xTiles_ = v;
    StructureChanged();
  }
}
void TGLPlane::SetYTiles(float v) {
  if (v != yTiles_) {
    yTiles_ = v;
    StructureChanged();
  }
}

float TGLPlane::BoundingRadius() const { return 0.5f * std::sqrt(width_ * width_ + height_ * height_); }

bool TGLPlane::RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                                TVector* intersectNormal) {
  TLocalRay ray = ToLocal(*this, rayStart, rayVector);
  bool fromFront = ray.Start.Z >= 0 && ray.Vector.Z < 0;
  bool fromBehind = ray.Start.Z < 0 && ray.Vector.Z > 0;
  if (!fromFront && !fromBehind) return false;
  float t = -ray.Start.Z / ray.Vector.Z;
  TVector p = At(ray, t);
  if (std::fabs(p.X) > width_ * 0.5f || std::fabs(p.Y) > height_ * 0.5f) return false;
  p.Z = 0;
  if (intersectPoint) *intersectPoint = LocalToAbsolute(p);
  if (intersectNormal) {
    TVector n = AbsoluteDirection();
    if (fromBehind) n = VectorScale(n, -1);
    n.W = 0;
    *intersectNormal = n;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Cube

void TGLCube::SetCubeWidth(float v) {
  if (v != width_) {
    width_ = v;
    StructureChanged();
  }
}
void TGLCube::SetCubeHeight(float v) {
  if (v != height_) {
    height_ = v;
    StructureChanged();
  }
}
void TGLCube::SetCubeDepth(float v) {
  if (v != depth_) {
    depth_ = v;
    StructureChanged();
  }
}

float TGLCube::BoundingRadius() const {
  return 0.5f * std::sqrt(width_ * width_ + height_ * height_ + depth_ * depth_);
}

bool TGLCube::RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                               TVector* intersectNormal) {
  TLocalRay ray = ToLocal(*this, rayStart, rayVector);
  const float size[3] = {width_, height_, depth_};
  // Face normals in the order +X, +Y, +Z, -X, -Y, -Z; a ray running along a normal
  // enters through the opposite face.
  for (int k = 0; k < 6; ++k) {
    int axis = k % 3;
    float sign = k < 3 ? 1.0f : -1.0f;
    if (sign * ray.Vector[axis] <= 0) continue;
    float face = -sign * size[axis] * 0.5f;
    float t = (face - ray.Start[axis]) / ray.Vector[axis];
    if (t < 0) continue;  // behind the start
    TVector p = At(ray, t);
    bool inside = true;
    for (int other = 0; other < 3; ++other)
      if (other != axis && std::fabs(p[other]) > size[other] * 0.5001f) inside = false;
    if (!inside) continue;
    p[axis] = face;
    TVector n{0, 0, 0, 0};
    n[axis] = -sign;
    ReportHit(*this, p, n, intersectPoint, intersectNormal);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Cylinder

void TGLCylinder::SetHeight(float v) {
  if (v != height_) {
    height_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetTopRadius(float v) {
  if (v != topRadius_) {
    topRadius_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetBottomRadius(float v) {
  if (v != bottomRadius_) {
    bottomRadius_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetSlices(int v) {
  v = std::max(3, v);
  if (v != slices_) {
    slices_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetStacks(int v) {
  v = std::max(1, v);
  if (v != stacks_) {
    stacks_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetParts(TSetOf<TCylinderPart> v) {
  if (!(v == parts_)) {
    parts_ = v;
    StructureChanged();
  }
}
void TGLCylinder::SetNormals(TNormalSmoothing v) {
  if (v != normals_) {
    normals_ = v;
    StructureChanged();
  }
}

float TGLCylinder::BoundingRadius() const {
  float r = std::max(topRadius_, bottomRadius_);
  return std::sqrt(r * r + 0.25f * height_ * height_);
}

bool TGLCylinder::RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                                   TVector* intersectNormal) {
  TLocalRay ray = ToLocal(*this, rayStart, rayVector);
  const TVector& s = ray.Start;
  const TVector& d = ray.Vector;
  float half = height_ * 0.5f;
  bool hit = false;
  float hitT = 0;
  TVector hitNormal{0, 0, 0, 0};
  float spanMin = -std::numeric_limits<float>::infinity();
  float spanMax = std::numeric_limits<float>::infinity();
  auto withinRadius = [&](float t, float radius) {
    TVector p = At(ray, t);
    return p.X * p.X + p.Z * p.Z <= radius * radius;
  };
  if (d.Y != 0) {
    float tTop = (half - s.Y) / d.Y;
    float tBottom = (-half - s.Y) / d.Y;
    bool topOn = parts_.Contains(cyTop);
    if (tTop > 0 && topOn && withinRadius(tTop, topRadius_)) {
      hit = true;
      hitT = tTop;
      hitNormal = {0, 1, 0, 0};
    }
    if (tBottom > 0 && parts_.Contains(cyBottom) && (tBottom < tTop || !topOn) &&
        withinRadius(tBottom, bottomRadius_)) {
      hit = true;
      hitT = tBottom;
      hitNormal = {0, -1, 0, 0};
    }
    spanMin = std::min(tTop, tBottom);
    spanMax = std::max(tTop, tBottom);
  } else if (s.Y < -half || s.Y > half) {
    return false;
  }
  if (parts_.Contains(cySides)) {
    float a = d.X * d.X + d.Z * d.Z;
    float b = s.X * d.X + s.Z * d.Z;
    float c = s.X * s.X + s.Z * s.Z - topRadius_ * topRadius_;
    if (a > 0) {
      float disc = b * b - a * c;
      if (disc >= 0) {
        float root = std::sqrt(disc);
        float roots[2] = {(-b - root) / a, (-b + root) / a};
        for (float t : roots) {
          if (t <= 0 || t < spanMin || t > spanMax) continue;
          // The nearer of a cap hit and a side hit wins (a ray entering through a cap
          // and leaving through the side reports where it entered).
          if (!hit || t < hitT) {
            TVector p = At(ray, t);
            hit = true;
            hitT = t;
            hitNormal = {p.X, 0, p.Z, 0};
          }
          break;
        }
      }
    }
  }
  if (!hit) return false;
  ReportHit(*this, At(ray, hitT), hitNormal, intersectPoint, intersectNormal);
  return true;
}

// ---------------------------------------------------------------------------------------
// Lines

void TGLLines::SetDivision(int v) {
  v = std::max(1, v);
  if (v != division_) {
    division_ = v;
    StructureChanged();
  }
}

void TGLLines::AddNode(float x, float y, float z) {
  nodes_.push_back({x, y, z, 1});
  StructureChanged();
}

void TGLLines::SetNode(int index, const TVector& point) {
  nodes_.at(index) = {point.X, point.Y, point.Z, 1};
  StructureChanged();
}

void TGLLines::ClearNodes() {
  nodes_.clear();
  StructureChanged();
}

void TGLLines::SetNodeSize(float v) {
  if (v != nodeSize_) {
    nodeSize_ = v;
    StructureChanged();
  }
}

float TGLLines::BoundingRadius() const {
  float r = 0;
  for (const TVector& n : nodes_) r = std::max(r, VectorLength(n));
  return r + nodeSize_ * 0.5f;
}

// ---------------------------------------------------------------------------------------
// Camera and light

TGLCamera::TGLCamera(TGLScene* scene) : TGLBaseSceneObject(scene) { Direction.SetVector({0, 0, -1, 0}); }

void TGLCamera::SetFocalLength(float v) {
  if (v <= 0) v = 1;
  if (v != focalLength_) {
    focalLength_ = v;
    NotifyChange();
  }
}

void TGLCamera::SetDepthOfView(float v) {
  if (v != depthOfView_) {
    depthOfView_ = v;
    NotifyChange();
  }
}

void TGLCamera::SetNearPlaneBias(float v) {
  if (v <= 0) v = 1;
  if (v != nearPlaneBias_) {
    nearPlaneBias_ = v;
    NotifyChange();
  }
}

TGLLightSource::TGLLightSource(TGLScene* scene) : TGLBaseSceneObject(scene) {
  if (scene != nullptr) scene->RegisterLight(this);
}

TGLLightSource::~TGLLightSource() {
  if (Scene() != nullptr) Scene()->UnregisterLight(this);
}

}  // namespace orr
