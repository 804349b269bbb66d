// SPDX-License-Identifier: GPL-3.0-or-later
// The object kinds the game builds its world from.
#pragma once

#include <string>
#include <vector>

#include "scene/GLMaterial.h"
#include "scene/GLScene.h"
#include "scene/SetOf.h"

namespace orr {

using TColorVector = TVector;  // r, g, b, a in 0..1

// A scene object with a material.
class TGLCustomSceneObject : public TGLBaseSceneObject {
 public:
  explicit TGLCustomSceneObject(TGLScene* scene);
  TGLMaterial Material;
  bool Blended() const override { return Material.Blended(); }
};

// A grouping node: no geometry; children move with it. Never hit by rays.
class TGLDummyCube : public TGLBaseSceneObject {
 public:
  explicit TGLDummyCube(TGLScene* scene) : TGLBaseSceneObject(scene) {}
  float CubeSize = 1;  // design-time outline only, nothing is drawn at run time
  bool RayCastIntersect(const TVector&, const TVector&, TVector*, TVector*) override { return false; }
  TRayBounds RayCastBounds() const override { return TRayBounds::None; }
  float BoundingRadius() const override { return -1; }
};

// One quad in the local XY plane, normal +Z, centred on the origin.
class TGLPlane : public TGLCustomSceneObject {
 public:
  explicit TGLPlane(TGLScene* scene) : TGLCustomSceneObject(scene) {}
  float Width() const { return width_; }
  float Height() const { return height_; }
  float XTiles() const { return xTiles_; }
  float YTiles() const { return yTiles_; }
  void SetWidth(float v);
  void SetHeight(float v);
  void SetXTiles(float v);
  void SetYTiles(float v);

  bool RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                        TVector* intersectNormal) override;
  TRayBounds RayCastBounds() const override { return TRayBounds::Geometry; }
  float BoundingRadius() const override;
  void BuildList(TGLRenderContext& context) override;
  bool DrawsInEyeSpace() const override { return true; }

 private:
  float width_ = 1, height_ = 1, xTiles_ = 1, yTiles_ = 1;
};

// A box centred on the origin with all six faces, normals outward.
class TGLCube : public TGLCustomSceneObject {
 public:
  explicit TGLCube(TGLScene* scene) : TGLCustomSceneObject(scene) {}
  float CubeWidth() const { return width_; }
  float CubeHeight() const { return height_; }
  float CubeDepth() const { return depth_; }
  void SetCubeWidth(float v);
  void SetCubeHeight(float v);
  void SetCubeDepth(float v);

  bool RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                        TVector* intersectNormal) override;
  TRayBounds RayCastBounds() const override { return TRayBounds::Geometry; }
  float BoundingRadius() const override;
  void BuildList(TGLRenderContext& context) override;

 private:
  float width_ = 1, height_ = 1, depth_ = 1;
};

enum TCylinderPart { cySides, cyBottom, cyTop };
enum TNormalSmoothing { nsFlat, nsSmooth, nsNone };

// A cylinder along the local Y axis centred on the origin: bottom disc at -Height/2,
// top disc at +Height/2.
class TGLCylinder : public TGLCustomSceneObject {
 public:
  explicit TGLCylinder(TGLScene* scene) : TGLCustomSceneObject(scene) {}
  float Height() const { return height_; }
  float TopRadius() const { return topRadius_; }
  float BottomRadius() const { return bottomRadius_; }
  int Slices() const { return slices_; }
  int Stacks() const { return stacks_; }
  TSetOf<TCylinderPart> Parts() const { return parts_; }
  TNormalSmoothing Normals() const { return normals_; }
  void SetHeight(float v);
  void SetTopRadius(float v);
  void SetBottomRadius(float v);
  void SetSlices(int v);  // at least 3
  void SetStacks(int v);  // at least 1
  void SetParts(TSetOf<TCylinderPart> v);
  void SetNormals(TNormalSmoothing v);

  bool RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                        TVector* intersectNormal) override;
  TRayBounds RayCastBounds() const override { return TRayBounds::Geometry; }
  float BoundingRadius() const override;
  void BuildList(TGLRenderContext& context) override;

 private:
  float height_ = 1, topRadius_ = 0.5f, bottomRadius_ = 0.5f;
  int slices_ = 16, stacks_ = 4;
  TSetOf<TCylinderPart> parts_{cySides, cyBottom, cyTop};
  TNormalSmoothing normals_ = nsSmooth;
};

enum TLineNodesAspect { lnaInvisible, lnaAxes, lnaCube };

// A polyline through its nodes. Hit by rays only through the bounding-sphere test.
class TGLLines : public TGLBaseSceneObject {
 public:
  explicit TGLLines(TGLScene* scene) : TGLBaseSceneObject(scene) {}
  TColorVector LineColor{1, 1, 1, 1};
  float LineWidth = 2;
  int Division() const { return division_; }
  void SetDivision(int v);  // sub-segments per span, at least 1
  TLineNodesAspect NodesAspect = lnaAxes;
  float NodeSize() const { return nodeSize_; }
  void SetNodeSize(float v);

  // The points the polyline runs through, in local coordinates (w = 1).
  const std::vector<TVector>& Nodes() const { return nodes_; }
  int NodeCount() const { return static_cast<int>(nodes_.size()); }
  const TVector& Node(int index) const { return nodes_.at(index); }
  void AddNode(float x, float y, float z);
  void SetNode(int index, const TVector& point);
  void ClearNodes();

  float BoundingRadius() const override;
  void BuildList(TGLRenderContext& context) override;

 private:
  std::vector<TVector> nodes_;
  int division_ = 10;
  float nodeSize_ = 1;
};

enum TGLCameraStyle { csPerspective };

// A viewpoint looking along its Direction (default (0, 0, -1)) with Up.
class TGLCamera : public TGLBaseSceneObject {
 public:
  explicit TGLCamera(TGLScene* scene);
  float FocalLength() const { return focalLength_; }
  // A focal length of 0 or below is stored as 1.
  void SetFocalLength(float v);
  float DepthOfView() const { return depthOfView_; }
  void SetDepthOfView(float v);
  float NearPlaneBias() const { return nearPlaneBias_; }
  void SetNearPlaneBias(float v);
  TGLCameraStyle CameraStyle = csPerspective;

  bool RayCastIntersect(const TVector&, const TVector&, TVector*, TVector*) override { return false; }
  TRayBounds RayCastBounds() const override { return TRayBounds::None; }
  float BoundingRadius() const override { return -1; }

 private:
  float focalLength_ = 50, depthOfView_ = 100, nearPlaneBias_ = 1;
};

enum TLightStyle { lsSpot, lsOmni, lsParallel };

// An OpenGL light placed at its absolute position.
class TGLLightSource : public TGLBaseSceneObject {
 public:
  explicit TGLLightSource(TGLScene* scene);
  ~TGLLightSource() override;
  TLightStyle LightStyle = lsSpot;
  bool Shining = true;
  TColorVector Ambient{0, 0, 0, 1};
  TColorVector Diffuse{1, 1, 1, 1};
  TColorVector Specular{1, 1, 1, 1};
  float ConstAttenuation = 1;
  float LinearAttenuation = 0;
  float QuadraticAttenuation = 0;
  float SpotCutOff = 180;
  float SpotExponent = 0;

  bool RayCastIntersect(const TVector&, const TVector&, TVector*, TVector*) override { return false; }
  TRayBounds RayCastBounds() const override { return TRayBounds::None; }
  float BoundingRadius() const override { return -1; }
};

}  // namespace orr
