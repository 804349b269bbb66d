// A uniform grid over the top-level objects of a scene, so that a ray cast tests only the
// objects whose bounds the ray can meet, nearest cells first, instead of every object.
//
// Results are those of the plain traversal exactly: every object whose hit could be the
// nearest is tested, hits are compared by squared distance, and on equal distances the one
// the plain depth-first walk meets first wins (top-level objects keep the order they were
// added in; within one object's subtree the walk is the plain one).
//
//   cell size CellSide world units, in X and Y only (Z is not cut: the game's world is flat)
//
//   +----+----+----+----+      each top-level subtree is listed in every cell its bounding
//   |    | a  | a  |    |      sphere's square touches; a subtree larger than BigSide
//   +----+----+----+----+      cells across, unbounded, or lying outside the grid is kept
//   |  b | ab | a  |    |      in a list every cast tests first ("always")
//   +----+----+----+----+
//
// The index follows the scene through notifications from the objects: a top-level object
// added, freed, or whose subtree bounds became invalid (moved, resized, child added).
// Those are re-listed lazily at the next cast.
#pragma once

#include <cstdint>
#include <vector>

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

class TRayIndex {
 public:
  static constexpr float CellSide = 4;   // world units
  static constexpr int BigSide = 8;      // cells; larger subtrees go to the always list
  static constexpr std::size_t MaxOutside = 64;  // objects outside the grid before it grows

  // Notifications from the scene (root: the scene's root object).
  void Added(TGLBaseSceneObject* object);
  // rigid: only the object itself moved or turned; its subtree is still the shape it was.
  // turned: and its origin stayed where it was (a part of it turned in place).
  void Changed(TGLBaseSceneObject* object, bool rigid, bool turned = false);
  void Freed(TGLBaseSceneObject* object);

  // Runs the cast over the objects below `root` (the scene's root) that the ray can meet.
  void Cast(TGLBaseSceneObject& root, TRayCastState& state);

  // Entries kept, for memory figures.
  std::size_t CellEntries() const;
  std::size_t Cells() const { return cells_.size(); }

 private:
  struct TEntry {
    TGLBaseSceneObject* Object = nullptr;
    std::uint64_t Order = 0;  // the object's place among the root's children (grows)
    // Cell range the object is listed in (inclusive); Always when in the always list, None
    // when never hit (negative radius).
    std::int32_t X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
    enum : std::uint8_t { None, Grid, Always } Where = None;
    bool Dirty = true;
    bool Rigid = false;  // every change since the last listing was a rigid move
    bool ByReach = false;  // listed by the sphere of Reach about the object's origin
    // Distance from the object's origin within which its whole subtree lay when its bounds
    // were last computed in full; negative: not known. A rigid move keeps it true.
    float Reach = -1;
  };

  void Refresh(TGLBaseSceneObject& root);
  void Rebuild(TGLBaseSceneObject& root);
  void Place(std::int32_t slot);
  void Unplace(std::int32_t slot);
  void CastCell(std::int32_t cx, std::int32_t cy, TRayCastState& state);
  void CastEntry(TEntry& entry, TRayCastState& state);

  std::vector<TEntry> entries_;          // by slot; freed slots are reused
  std::vector<std::int32_t> freeSlots_;
  std::vector<std::int32_t> dirty_;      // slots to re-list before the next cast
  std::vector<std::int32_t> always_;     // slots tested by every cast
  std::vector<std::vector<std::int32_t>> cells_;  // slots per cell, [cx * rows + cy]
  std::int32_t columns_ = 0, rows_ = 0;
  float originX_ = 0, originY_ = 0;
  std::size_t outside_ = 0;              // grid-sized objects in `always_` for lying outside
  bool built_ = false;
  std::uint64_t nextOrder_ = 1;
  std::vector<std::uint32_t> seen_;      // cast stamp per slot: each object tested once
  std::uint32_t stamp_ = 0;
};

}  // namespace orr
