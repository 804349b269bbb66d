#include "scene/GLScene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/GLObjects.h"

namespace orr {

namespace {

// The scene's root: groups the top-level objects, draws and hits nothing.
class TGLSceneRootObject : public TGLBaseSceneObject {
 public:
  explicit TGLSceneRootObject(TGLScene* scene) : TGLBaseSceneObject(scene) {}
  bool RayCastIntersect(const TVector&, const TVector&, TVector*, TVector*) override {
    return false;
  }
  TRayBounds RayCastBounds() const override { return TRayBounds::None; }
  float BoundingRadius() const override { return -1; }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Coordinates

// Direction and Up are written over the frame the owed rolls leave (Read makes them).
void TGLCoordinates::SetX(float x) { Read(); v_.X = x; Changed(); }
void TGLCoordinates::SetY(float y) { Read(); v_.Y = y; Changed(); }
void TGLCoordinates::SetZ(float z) { Read(); v_.Z = z; Changed(); }

void TGLCoordinates::SetVector(const TVector& v) {
  // A position or scale written with the bits it has changes nothing (Direction and Up are
  // coupled again even then, which may round them).
  if ((role_ == TRole::Position || role_ == TRole::Scale) && VectorEquals(v, v_)) return;
  Read();
  v_ = v;
  Changed();
}

void TGLCoordinates::SetPoint(float x, float y, float z) {
  SetVector({x, y, z, role_ == TRole::Position ? 1.0f : 0.0f});
}

void TGLCoordinates::Changed() { owner_->CoordinatesChanged(role_); }

// ---------------------------------------------------------------------------------------
// Base scene object

float NormalizeDegAngle(float degrees) {
  float r = degrees - 360.0f * std::trunc(degrees / 360.0f);
  if (r > 180) r -= 360;
  else if (r < -180) r += 360;
  return r;
}

TGLBaseSceneObject::TGLBaseSceneObject(TGLScene* scene)
    : Position(this, TGLCoordinates::TRole::Position, {0, 0, 0, 1}),
      Direction(this, TGLCoordinates::TRole::Direction, {0, 0, 1, 0}),
      Up(this, TGLCoordinates::TRole::Up, {0, 1, 0, 0}),
      Scale(this, TGLCoordinates::TRole::Scale, {1, 1, 1, 0}),
      scene_(scene) {}

TGLBaseSceneObject::~TGLBaseSceneObject() {
  // Children go first, last child first, while this object still exists.
  while (!children_.empty()) children_.pop_back();
  if (IsTopLevel() && scene_ != nullptr) {
    scene_->rayIndex_.Freed(this);
    scene_->drawIndex_.Freed(this);
  }
  if (scene_ != nullptr) {
    if (wantsProgress_) --scene_->progressObjects_;
    scene_->NotifyFreed(this);
  }
}

void TGLBaseSceneObject::WantProgress() {
  if (wantsProgress_ || scene_ == nullptr) return;
  wantsProgress_ = true;
  ++scene_->progressObjects_;
}

int TGLBaseSceneObject::Index() const {
  if (parent_ == nullptr) return -1;
  const auto& list = parent_->children_;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == this) return static_cast<int>(i);
  return -1;
}

void TGLBaseSceneObject::AddChild(std::unique_ptr<TGLBaseSceneObject> child) {
  // Its children's cached matrices would not hear of the rolls it makes late.
  if (owed_ != nullptr) throw std::logic_error("An object that owes rolls cannot carry children");
  child->parent_ = this;
  child->TransformationChanged();
  children_.push_back(std::move(child));
  if (parent_ == nullptr && scene_ != nullptr) {
    scene_->rayIndex_.Added(children_.back().get());
    scene_->drawIndex_.Added(children_.back().get());
  }
  InvalidateSubtreeBounds();
  NotifyChange();
}

void TGLBaseSceneObject::Free() {
  if (parent_ == nullptr) throw std::logic_error("The scene's root object cannot be freed");
  TGLBaseSceneObject* parent = parent_;
  auto& list = parent->children_;
  auto it = std::find_if(list.begin(), list.end(),
                         [this](const auto& c) { return c.get() == this; });
  assert(it != list.end() && "scene object missing from its parent's children");
  std::unique_ptr<TGLBaseSceneObject> self = std::move(*it);
  list.erase(it);
  parent->InvalidateSubtreeBounds();
  parent->NotifyChange();
  self.reset();  // frees this object and its subtree
}

void TGLBaseSceneObject::NotifyChange() {
  if (scene_ != nullptr) scene_->NotifyChange();
}

void TGLBaseSceneObject::SetShowAxes(bool show) {
  if (showAxes_ == show) return;
  showAxes_ = show;
  StructureChanged();
}

void TGLBaseSceneObject::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  NotifyChange();
}

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
  if (VectorLength(changed) == 0)
    changed = directionChanged ? TVector{0, 0, 1, 0} : TVector{0, 1, 0, 0};
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
    for (auto& child : children_) child->InvalidateTransform(change == TChange::Shape ? TChange::Shape : TChange::Carried);
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
    absolute_ = parent_ != nullptr ? MatrixMultiply(LocalMatrix(), parent_->AbsoluteMatrix())
                                   : LocalMatrix();
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

float TGLBaseSceneObject::RayCastRadius() {
  MakeOwedRolls();
  if (!rayRadiusValid_) {
    switch (RayCastBounds()) {
      case TRayBounds::None: rayRadius_ = -1; break;
      case TRayBounds::Unbounded: rayRadius_ = std::numeric_limits<float>::infinity(); break;
      case TRayBounds::Geometry:
        rayRadius_ = BoundingRadius() * AbsoluteMaxScale() * 1.01f + 1e-4f;
        break;
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

TVector TGLBaseSceneObject::AbsoluteDirection() {
  return VectorNormalize(LocalToAbsolute({0, 0, 1, 0}));
}

TVector TGLBaseSceneObject::AbsoluteUp() {
  return VectorNormalize(LocalToAbsolute({0, 1, 0, 0}));
}

TVector TGLBaseSceneObject::LocalToAbsolute(const TVector& v) {
  return VectorTransform(v, AbsoluteMatrix());
}

TVector TGLBaseSceneObject::AbsoluteToLocal(const TVector& v) {
  return VectorTransform(v, InvAbsoluteMatrix());
}

bool TGLBaseSceneObject::RayCastIntersect(const TVector& rayStart, const TVector& rayVector,
                                          TVector* intersectPoint,
                                          TVector* intersectNormal) {
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
  TVector p{rayStart.X + t * rayVector.X, rayStart.Y + t * rayVector.Y,
            rayStart.Z + t * rayVector.Z, 1};
  if (intersectPoint) *intersectPoint = p;
  if (intersectNormal) {
    TVector n = VectorNormalize(VectorSubtract(p, centre));
    n.W = 0;
    *intersectNormal = n;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Scene

TGLScene::TGLScene() : root_(new TGLSceneRootObject(this)) {}

TGLScene::~TGLScene() {
  std::vector<TGLSceneChangeListener*> listeners = std::move(listeners_);
  listeners_.clear();
  for (TGLSceneChangeListener* l : listeners) l->SceneDestroyed(this);
  root_.reset();
}

void TGLScene::NotifyFreed(TGLBaseSceneObject* object) {
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->ObjectFreed(object);
}

void TGLScene::AddListener(TGLSceneChangeListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void TGLScene::RemoveListener(TGLSceneChangeListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener),
                   listeners_.end());
}

void TGLScene::NotifyChange() {
  for (TGLSceneChangeListener* l : listeners_) l->SceneChanged();
}

void TGLScene::RegisterLight(TGLLightSource* light) { lights_.push_back(light); }

void TGLScene::UnregisterLight(TGLLightSource* light) {
  lights_.erase(std::remove(lights_.begin(), lights_.end(), light), lights_.end());
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

TGLBaseSceneObject* TGLScene::RayCastIntersect(const TVector& rayStart,
                                               const TVector& rayVector,
                                               TVector* intersectPoint,
                                               TVector* intersectNormal) {
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

TGLBaseSceneObject* TGLScene::RayCastIntersectIndexed(const TVector& rayStart,
                                                      const TVector& rayVector,
                                                      TVector* intersectPoint,
                                                      TVector* intersectNormal,
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

namespace {
void ProgressVisit(TGLBaseSceneObject& obj, double deltaTime, double newTime) {
  if (obj.WantsProgress()) obj.DoProgress(deltaTime, newTime);
  for (int i = 0; i < obj.Count(); ++i) ProgressVisit(*obj.Children(i), deltaTime, newTime);
}
}  // namespace

void TGLScene::Progress(double deltaTime, double newTime) {
  if (progressObjects_ == 0) return;
  ++progressing_;
  try {
    ProgressVisit(*root_, deltaTime, newTime);
  } catch (...) {
    --progressing_;
    throw;
  }
  --progressing_;
}

namespace {

// The render order of `count` siblings, child(i) being the i-th in list order.
template <class TChild>
void OrderForRender(int count, TChild child, TGLObjectsSorting sorting,
                    const TVector& cameraPosition, std::vector<TGLBaseSceneObject*>& order) {
  order.clear();
  if (sorting != osRenderBlendedLast && sorting != osRenderFarthestFirst &&
      sorting != osRenderNearestFirst) {
    for (int i = 0; i < count; ++i)
      if (child(i)->Visible()) order.push_back(child(i));
    return;
  }
  struct TEntry {
    float Dist2;
    TGLBaseSceneObject* Object;
  };
  // Reused between calls: the render walk calls this for every parent of every frame.
  static thread_local std::vector<TEntry> sorted;
  sorted.clear();
  for (int i = 0; i < count; ++i) {
    TGLBaseSceneObject* c = child(i);
    if (!c->Visible()) continue;
    if (sorting == osRenderBlendedLast && !c->Blended()) {
      order.push_back(c);
      continue;
    }
    sorted.push_back({VectorDistance2(c->AbsolutePosition(), cameraPosition), c});
  }
  if (sorting == osRenderNearestFirst)
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Dist2 < b.Dist2; });
  else
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Dist2 > b.Dist2; });
  for (const TEntry& e : sorted) order.push_back(e.Object);
}

}  // namespace

void OrderChildrenForRender(TGLBaseSceneObject& parent, TGLObjectsSorting sorting,
                            const TVector& cameraPosition,
                            std::vector<TGLBaseSceneObject*>& order) {
  OrderForRender(parent.Count(), [&parent](int i) { return parent.Children(i); }, sorting,
                 cameraPosition, order);
}

void OrderSiblingsForRender(const std::vector<TGLBaseSceneObject*>& siblings,
                            TGLObjectsSorting sorting, const TVector& cameraPosition,
                            std::vector<TGLBaseSceneObject*>& order) {
  OrderForRender(static_cast<int>(siblings.size()), [&siblings](int i) { return siblings[i]; },
                 sorting, cameraPosition, order);
}

}  // namespace orr
