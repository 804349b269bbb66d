// SPDX-License-Identifier: GPL-3.0-or-later
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
  bool RayCastIntersect(const TVector&, const TVector&, TVector*, TVector*) override { return false; }
  TRayBounds RayCastBounds() const override { return TRayBounds::None; }
  float BoundingRadius() const override { return -1; }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Coordinates

// Direction and Up are written over the frame the owed rolls leave (Read makes them).
void TGLCoordinates::SetX(float x) {
  Read();
  v_.X = x;
  Changed();
}
void TGLCoordinates::SetY(float y) {
  Read();
  v_.Y = y;
  Changed();
}
void TGLCoordinates::SetZ(float z) {
  Read();
  v_.Z = z;
  Changed();
}

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
  auto it = std::find_if(list.begin(), list.end(), [this](const auto& c) { return c.get() == this; });
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
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void TGLScene::NotifyChange() {
  for (TGLSceneChangeListener* l : listeners_) l->SceneChanged();
}

void TGLScene::RegisterLight(TGLLightSource* light) { lights_.push_back(light); }

void TGLScene::UnregisterLight(TGLLightSource* light) {
  lights_.erase(std::remove(lights_.begin(), lights_.end(), light), lights_.end());
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

}  // namespace orr
