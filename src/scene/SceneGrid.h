// SPDX-License-Identifier: GPL-3.0-or-later
// A uniform grid over the top-level objects of a scene, so that a question about a region
// (the cells a ray crosses, the cells the camera sees) looks only at the objects listed
// there instead of at every object.
//
//   cell size CellSide world units, in X and Y only (Z is not cut: the game's world is flat)
//
//   +----+----+----+----+      each top-level subtree is listed in every cell its bounding
//   |    | a  | a  |    |      sphere's square touches; a subtree larger than BigSide
//   +----+----+----+----+      cells across, unbounded, or lying outside the grid is kept
//   |  b | ab | a  |    |      in a list every question includes ("always")
//   +----+----+----+----+
//
// Which sphere lists a subtree depends on the question: where rays can hit it (TRayIndex)
// or where it can draw (TDrawIndex). The grid follows the scene through notifications from
// the objects: a top-level object added, freed, or whose subtree changed (moved, resized,
// child added). Those are re-listed lazily before the next question.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/VectorGeometry.h"

namespace orr {

class TGLBaseSceneObject;

class TSceneGrid {
 public:
  static constexpr float CellSide = 4;           // world units
  static constexpr int BigSide = 8;              // cells; larger subtrees go to the always list
  static constexpr std::size_t MaxOutside = 64;  // objects outside the grid before it grows

  // The sphere a subtree is listed by: where rays can hit it, or where it can draw.
  enum class TBounds : std::uint8_t { RayHits, Drawing };
  explicit TSceneGrid(TBounds bounds) : bounds_(bounds) {}

  // Notifications from the scene.
  void Added(TGLBaseSceneObject* object);
  // rigid: only the object itself moved or turned; its subtree is still the shape it was.
  // turned: and its origin stayed where it was (a part of it turned in place).
  void Changed(TGLBaseSceneObject* object, bool rigid, bool turned = false);
  void Freed(TGLBaseSceneObject* object);

  // Entries kept, for memory figures.
  std::size_t CellEntries() const;
  std::size_t Cells() const { return cells_.size(); }
  std::size_t PendingNotes() const { return dirty_.size(); }

 protected:
  struct TEntry {
    TGLBaseSceneObject* Object = nullptr;
    std::uint64_t Order = 0;  // the object's place among the root's children (grows)
    // Cell range the object is listed in (inclusive); Always when in the always list, None
    // when it has no bounds (never hit, never drawn).
    std::int32_t X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
    enum : std::uint8_t { None, Grid, Always } Where = None;
    // Distance from the object's origin within which its whole subtree lay when its bounds
    // were last computed in full; negative: not known. A rigid move keeps it true.
    float Reach = -1;
    // The sphere it was last listed by (radius infinite or not a number: unbounded).
    TVector Centre;
    float Radius = -1;
  };

  // Re-lists what changed since the last question (root: the scene's root object).
  void Refresh(TGLBaseSceneObject& root);
  // Starts a question: every entry may be taken once until the next one.
  void NewStamp();
  // True the first time an entry is met since NewStamp.
  bool FirstMeeting(const TEntry& entry);
  std::vector<std::int32_t>& CellAt(std::int32_t cx, std::int32_t cy) {
    return cells_[static_cast<std::size_t>(cx) * rows_ + cy];
  }

  std::vector<TEntry> entries_;       // by slot; freed slots are reused
  std::vector<std::int32_t> always_;  // slots every question includes
  std::int32_t columns_ = 0, rows_ = 0;
  float originX_ = 0, originY_ = 0;
  // Heights the spheres of the gridded entries reach (grown as they are listed); known
  // once an entry is gridded.
  float lowZ_ = 0, highZ_ = 0;
  bool zKnown_ = false;

 private:
  std::int32_t& SlotOf(TGLBaseSceneObject* object) const;
  void Bounds(TGLBaseSceneObject& object, TVector& centre, float& radius) const;
  void Rebuild(TGLBaseSceneObject& root);
  void Place(std::int32_t slot);
  void Unplace(std::int32_t slot);
  void NoteDirty(std::int32_t slot);

  // What a change notification reads and writes, by slot beside entries_: kept apart so
  // that the notifications (every turn and spin of every entity, each step) stay within a
  // few cache lines instead of reaching into the entries.
  struct TChangeState {
    bool Dirty = true;
    bool Rigid = false;    // every change since the last listing was a rigid move
    bool ByReach = false;  // listed by the sphere of Reach about the object's origin
  };

  TBounds bounds_;
  std::vector<TChangeState> changes_;
  std::vector<std::int32_t> freeSlots_;
  std::vector<std::int32_t> dirty_;               // slots to re-list before the next question (NoteDirty)
  std::vector<std::vector<std::int32_t>> cells_;  // slots per cell, [cx * rows + cy]
  std::size_t outside_ = 0;                       // grid-sized objects in `always_` for lying outside
  bool built_ = false;
  std::uint64_t nextOrder_ = 1;
  std::vector<std::uint32_t> seen_;  // stamp per slot: each object taken once
  std::uint32_t stamp_ = 0;
};

}  // namespace orr
