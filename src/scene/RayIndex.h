// SPDX-License-Identifier: GPL-3.0-or-later
// Ray casts through the scene's grid of top-level objects (SceneGrid.h): a cast tests only
// the objects whose bounds the ray can meet, nearest cells first, instead of every object.
//
// Results are those of the plain traversal exactly: every object whose hit could be the
// nearest is tested, hits are compared by squared distance, and on equal distances the one
// the plain depth-first walk meets first wins (top-level objects keep the order they were
// added in; within one object's subtree the walk is the plain one).
#pragma once

#include <cstdint>

#include "scene/SceneGrid.h"
#include "scene/VectorGeometry.h"

namespace orr {

class TGLBaseSceneObject;

// One ray cast in progress (GLScene.cpp). On equal distances the hit of the lower Order
// wins; the plain walk keeps Order 0 throughout, so there the first hit found wins.
struct TRayCastState {
  TVector Start, Vector;
  float VectorLength2 = 0;
  float BestDist2 = 1e20f;
  TGLBaseSceneObject* Best = nullptr;
  TVector BestPoint, BestNormal;
  std::uint64_t Order = 0;      // of the top-level object being walked
  std::uint64_t BestOrder = 0;  // of the top-level object holding Best
};

// Walks one top-level object and its subtree the way the plain cast does (GLScene.cpp).
void RayCastTopLevel(TGLBaseSceneObject& object, TRayCastState& state);

// Top-level objects listed by where rays can hit their subtrees.
class TRayIndex : public TSceneGrid {
 public:
  TRayIndex() : TSceneGrid(TBounds::RayHits) {}

  // Runs the cast over the objects below `root` (the scene's root) that the ray can meet.
  void Cast(TGLBaseSceneObject& root, TRayCastState& state);

 private:
  void CastCell(std::int32_t cx, std::int32_t cy, TRayCastState& state);
  void CastEntry(TEntry& entry, TRayCastState& state);
};

}  // namespace orr
