// SPDX-License-Identifier: GPL-3.0-or-later
// What the camera can see, found through the scene's grid of top-level objects
// (SceneGrid.h): each top-level subtree is listed by a sphere holding the culling sphere of
// every object in it, and a frame takes only the subtrees listed in the cells inside the
// view volume, so objects far outside the view cost nothing per frame.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "scene/SceneGrid.h"
#include "scene/VectorGeometry.h"

namespace orr {

class TGLBaseSceneObject;

// The view volume: six planes (inside: a x + b y + c z + d >= 0, normalised) and its eight
// corners, corner i at (i & 1 ? right : left, i & 2 ? top : bottom, i & 4 ? far : near).
struct TViewVolume {
  TVector Planes[6];
  TVector Corners[8];
};
// The volume a view x projection matrix (row-vector convention) shows.
TViewVolume ViewVolumeOf(const TMatrix& viewProjection);

class TDrawIndex : public TSceneGrid {
 public:
  TDrawIndex() : TSceneGrid(TBounds::Drawing) {}

  // The top-level objects below `root` (the scene's root) whose subtrees can draw inside
  // the volume, in the order of the root's children. Every object left out lies wholly
  // outside the volume: culled or clipped, it would draw nothing.
  void Collect(TGLBaseSceneObject& root, const TViewVolume& volume,
               std::vector<TGLBaseSceneObject*>& objects);

 private:
  void Take(const TEntry& entry, const TViewVolume& volume);

  std::vector<std::pair<std::uint64_t, TGLBaseSceneObject*>> found_;  // order, object
};

}  // namespace orr
