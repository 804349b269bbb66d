// SPDX-License-Identifier: GPL-3.0-or-later
// A scene object's frame: direction and up kept square, turns, rolls and pitches (owed
// rolls made when next looked at), and the local, absolute and inverse matrices.
#include "scene/GLScene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/GLObjects.h"

namespace orr {

void TGLBaseSceneObject::CoordinatesChanged(TGLCoordinates::TRole role) {
  using R = TGLCoordinates::TRole;
  if (role == R::Direction || role == R::Up) stillTurn_.Known = false;
  if (role == R::Direction) CoupleDirectionUp(true);
  else if (role == R::Up) CoupleDirectionUp(false);
  TransformationChanged(role == R::Scale      ? TChange::Shape
                        : role == R::Position ? TChange::Moved
                                              : TChange::Turned);
}

// Restores an orthonormal Direction/Up pair after one of them changed.
void TGLBaseSceneObject::CoupleDirectionUp(bool directionChanged) {
  TVector& dir = Direction.v_;
  TVector& up = Up.v_;
  TVector& changed = directionChanged ? dir : up;
  if (VectorLength(changed) == 0) changed = directionChanged ? TVector{0, 0, 1, 0} : TVector{0, 1, 0, 0};
  changed = VectorNormalize(changed);
  changed.W = 0;
  TVector right = VectorCross(dir, up);
  if (VectorLength(right) < 1e-5f) {
    right = VectorCross({0, 0, 1, 0}, up);
    if (VectorLength(right) < 1e-5f) right = VectorCross({1, 0, 0, 0}, up);
  }
  if (directionChanged) up = VectorNormalize(VectorCross(right, dir));
  else dir = VectorNormalize(VectorCross(up, right));
  up.W = 0;
  dir.W = 0;
}

void TGLBaseSceneObject::RotateFrame(const TVector& axis, float degrees) {
  if (TurnFrame(axis, degrees)) TransformationChanged(TChange::Turned);
}

// The new frame depends on nothing but the old one, the axis and the angle: a turn found to
// leave the frame's bits as they were (a whole turn often does) is not worked out again
// while the frame stays as it is.
bool TGLBaseSceneObject::TurnFrame(const TVector& axis, float degrees) {
  if (stillTurn_.Known && VectorEquals(axis, stillTurn_.Axis) &&
      std::memcmp(&degrees, &stillTurn_.Degrees, sizeof degrees) == 0)
    return false;
  const TVector a = VectorNormalize(axis);
  TVector up = VectorNormalize(RotateVector(Up.v_, a, degrees));
  TVector direction = VectorNormalize(RotateVector(Direction.v_, a, degrees));
  up.W = 0;
  direction.W = 0;
  if (VectorEquals(up, Up.v_) && VectorEquals(direction, Direction.v_)) {
    stillTurn_ = {axis, degrees, true};
    return false;
  }
  Up.v_ = up;
  Direction.v_ = direction;
  stillTurn_.Known = false;
  return true;
}

void TGLBaseSceneObject::OweRolls(TOwedRolls* owed) {
  MakeOwedRolls();
  if (owed != nullptr && !children_.empty())
    throw std::logic_error("An object that carries children cannot owe rolls");
  owed_ = owed;
  if (owed == nullptr) return;
  for (TGLBaseSceneObject* o = this; o != nullptr && !o->owesBelow_; o = o->parent_) o->owesBelow_ = true;
}

// The rolls one after the other, as RollBy makes them; what they invalidate is invalidated
// once (the scene was notified of them when they were owed).
void TGLBaseSceneObject::MakeRolls() {
  const std::uint32_t count = owed_->Count;
  const float degrees = owed_->Degrees;
  owed_->Count = 0;
  bool turned = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (TurnFrame(Direction.v_, degrees)) turned = true;
    rollAngle_ = NormalizeDegAngle(rollAngle_ + degrees);
  }
  if (turned) InvalidateTransform(TChange::Turned);
}

void TGLBaseSceneObject::MakeOwedRollsInSubtree() {
  MakeOwedRolls();
  for (auto& child : children_) child->MakeOwedRollsBelow();
}

void TGLBaseSceneObject::SetTurnAngle(float degrees) {
  MakeOwedRolls();
  if (degrees == turnAngle_) return;
  RotateFrame(Up.v_, degrees - turnAngle_);
  turnAngle_ = NormalizeDegAngle(degrees);
}

void TGLBaseSceneObject::SetRollAngle(float degrees) {
  MakeOwedRolls();
  if (degrees == rollAngle_) return;
  RotateFrame(Direction.v_, degrees - rollAngle_);
  rollAngle_ = NormalizeDegAngle(degrees);
}

void TGLBaseSceneObject::SetPitchAngle(float degrees) {
  MakeOwedRolls();
  if (degrees == pitchAngle_) return;
  RotateFrame(VectorCross(Up.v_, Direction.v_), degrees - pitchAngle_);
  pitchAngle_ = NormalizeDegAngle(degrees);
}

// The stored angle follows the relative rotation, so a later absolute setting turns from
// where the object now stands.
void TGLBaseSceneObject::RollBy(float degrees) {
  MakeOwedRolls();
  RotateFrame(Direction.v_, degrees);
  rollAngle_ = NormalizeDegAngle(rollAngle_ + degrees);
}

void TGLBaseSceneObject::PitchBy(float degrees) {
  MakeOwedRolls();
  RotateFrame(VectorCross(Direction.v_, Up.v_), -degrees);
  pitchAngle_ = NormalizeDegAngle(pitchAngle_ + degrees);
}

void TGLBaseSceneObject::TurnBy(float degrees) {
  MakeOwedRolls();
  RotateFrame(Up.v_, degrees);
  turnAngle_ = NormalizeDegAngle(turnAngle_ + degrees);
}

// Moving or turning the top-level object, anything carried along with it, or turning a
// childless object in place under ancestors of even scale (its sphere stays as it was).
bool TGLBaseSceneObject::KeepsTopLevelReach(TChange change) const {
  if (change == TChange::Shape) return false;
  if (change == TChange::Carried || IsTopLevel()) return true;
  if (change != TChange::Turned || !children_.empty()) return false;
  for (const TGLBaseSceneObject* a = parent_; a != nullptr && a->parent_ != nullptr; a = a->parent_) {
    const TVector& s = a->Scale.v_;
    if (!(s.X == s.Y && s.Y == s.Z)) return false;
  }
  return true;
}

// A valid subtree sphere implies valid spheres below it, so the walk up stops at the first
// ancestor already invalid. The scene's ray index still hears of every change below a
// top-level object, and whether the change kept the subtree's reach from the object's origin.
void TGLBaseSceneObject::InvalidateSubtreeBounds(TChange change) {
  TGLBaseSceneObject* o = this;
  for (; o != nullptr && o->subtreeValid_; o = o->parent_) {
    o->subtreeValid_ = false;
    if (o->IsTopLevel()) break;
  }
  // A part carried along has nothing to add: the change that carried it told the index
  // first (and a carried part keeps its distance from the top-level origin).
  if (change == TChange::Carried) return;
  while (o != nullptr && !o->IsTopLevel()) o = o->parent_;
  if (o != nullptr && scene_ != nullptr) {
    const bool rigid = KeepsTopLevelReach(change), turned = change == TChange::Turned;
    scene_->rayIndex_.Changed(o, rigid, turned);
    scene_->drawIndex_.Changed(o, rigid, turned);
  }
}

void TGLBaseSceneObject::TransformationChanged(TChange change) {
  InvalidateTransform(change);
  NotifyChange();  // once for the whole subtree
}

void TGLBaseSceneObject::InvalidateTransform(TChange change) {
  localValid_ = false;
  rayRadiusValid_ = false;
  InvalidateSubtreeBounds(change);
  // Every absolute matrix below depends on this one.
  if (absoluteValid_ || inverseValid_) {
    absoluteValid_ = inverseValid_ = false;
    for (auto& child : children_)
      child->InvalidateTransform(change == TChange::Shape ? TChange::Shape : TChange::Carried);
  }
}

const TMatrix& TGLBaseSceneObject::LocalMatrix() {
  MakeOwedRolls();
  if (!localValid_) {
    const TVector& d = Direction.v_;
    const TVector& u = Up.v_;
    const TVector& s = Scale.v_;
    TVector right = VectorCross(u, d);
    local_.Row[0] = {right.X * s.X, right.Y * s.X, right.Z * s.X, 0};
    local_.Row[1] = {u.X * s.Y, u.Y * s.Y, u.Z * s.Y, 0};
    local_.Row[2] = {d.X * s.Z, d.Y * s.Z, d.Z * s.Z, 0};
    local_.Row[3] = {Position.v_.X, Position.v_.Y, Position.v_.Z, 1};
    localValid_ = true;
  }
  return local_;
}

const TMatrix& TGLBaseSceneObject::AbsoluteMatrix() {
  MakeOwedRolls();
  if (!absoluteValid_) {
    absolute_ = parent_ != nullptr ? MatrixMultiply(LocalMatrix(), parent_->AbsoluteMatrix()) : LocalMatrix();
    float s2 = 0;
    for (int i = 0; i < 3; ++i) s2 = std::max(s2, VectorDot(absolute_.Row[i], absolute_.Row[i]));
    absMaxScale_ = std::sqrt(s2);
    absoluteValid_ = true;
  }
  return absolute_;
}

const TMatrix& TGLBaseSceneObject::InvAbsoluteMatrix() {
  MakeOwedRolls();
  if (!inverseValid_) {
    inverse_ = MatrixInvert(AbsoluteMatrix());
    inverseValid_ = true;
  }
  return inverse_;
}

float TGLBaseSceneObject::AbsoluteMaxScale() {
  AbsoluteMatrix();
  return absMaxScale_;
}

// The origin row of AbsoluteMatrix, worked out as AbsoluteMatrix works it out (the same
// products summed in the same order) but without validating the whole matrix: an object
// whose matrix stays invalid does not walk its children when it next turns or moves.
TVector TGLBaseSceneObject::AbsolutePosition() {
  if (absoluteValid_) return absolute_.Row[3];
  const TVector origin{Position.v_.X, Position.v_.Y, Position.v_.Z, 1};  // LocalMatrix's Row[3]
  if (parent_ == nullptr) return origin;
  return VectorTransform(origin, parent_->AbsoluteMatrix());
}

TVector TGLBaseSceneObject::AbsoluteDirection() { return VectorNormalize(LocalToAbsolute({0, 0, 1, 0})); }

TVector TGLBaseSceneObject::AbsoluteUp() { return VectorNormalize(LocalToAbsolute({0, 1, 0, 0})); }

TVector TGLBaseSceneObject::LocalToAbsolute(const TVector& v) { return VectorTransform(v, AbsoluteMatrix()); }

TVector TGLBaseSceneObject::AbsoluteToLocal(const TVector& v) {
  return VectorTransform(v, InvAbsoluteMatrix());
}

}  // namespace orr
