// SPDX-License-Identifier: GPL-3.0-or-later
// The retained-mode scene: a tree of scene objects with transforms, owned by a TGLScene.
//
// Ownership: every object is owned by its parent (the scene's root object at the top);
// freeing an object frees its whole subtree. Everyone else holds plain pointers, valid
// until the object is freed or the scene destroyed.
//
// Nothing here touches OpenGL except the Render* functions, which the viewer calls while
// painting; a scene can be built, transformed and ray-cast without any window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/DrawIndex.h"
#include "scene/RayIndex.h"
#include "scene/VectorGeometry.h"

namespace orr {

class TGLBaseSceneObject;
class TGLScene;
struct TGLRenderContext;

// Rolls an object owes (TGLBaseSceneObject::OweRolls): its owner counts them in its own
// memory, and the object makes them, one RollBy(Degrees) after the other, before anything
// reads or changes its frame. A part that spins every step is then not touched every step;
// on a big map most of them are far from anything that looks at them. Owned by the owner.
struct TOwedRolls {
  float Degrees = 0;
  std::uint32_t Count = 0;
};

// One of Position, Direction, Up or Scale of a scene object. Writing the whole vector or
// one component notifies the object, which re-couples Direction and Up and marks its
// transform changed.
class TGLCoordinates {
 public:
  enum class TRole { Position, Direction, Up, Scale };

  float X() const { return Read().X; }
  float Y() const { return Read().Y; }
  float Z() const { return Read().Z; }
  const TVector& AsVector() const { return Read(); }
  void SetX(float x);
  void SetY(float y);
  void SetZ(float z);
  // Stores all four components as given (Direction and Up come out of the coupling
  // with w = 0); the matrices use x, y and z only.
  void SetVector(const TVector& v);
  // x, y, z with w = 1 for Position, 0 otherwise.
  void SetPoint(float x, float y, float z);

 private:
  friend class TGLBaseSceneObject;
  TGLCoordinates(TGLBaseSceneObject* owner, TRole role, TVector v) : owner_(owner), role_(role), v_(v) {}
  void Changed();
  // The vector, after the owner made the rolls it owes (Direction and Up).
  const TVector& Read() const;
  TGLBaseSceneObject* owner_;
  TRole role_;
  TVector v_;
};

// Object style flags the game uses.
struct TGLObjectStyle {
  // The object and its children are drawn with depth testing off.
  bool NoDepthTest = false;
};

class TGLBaseSceneObject {
 public:
  virtual ~TGLBaseSceneObject();
  TGLBaseSceneObject(const TGLBaseSceneObject&) = delete;
  TGLBaseSceneObject& operator=(const TGLBaseSceneObject&) = delete;

  TGLScene* Scene() const { return scene_; }
  TGLBaseSceneObject* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(children_.size()); }
  TGLBaseSceneObject* Children(int index) const { return children_.at(index).get(); }
  // Index among the parent's children, -1 for the root.
  int Index() const;

  // Frees this object with all its children, after removing it from its parent. The
  // root object cannot be freed (the scene owns it).
  void Free();

  TGLCoordinates Position;
  TGLCoordinates Direction;
  TGLCoordinates Up;
  TGLCoordinates Scale;

  // Absolute rotations in degrees, stored reduced to -180..180.
  float TurnAngle() const { return turnAngle_; }
  float RollAngle() const {
    MakeOwedRolls();
    return rollAngle_;
  }
  float PitchAngle() const { return pitchAngle_; }
  // From now on the object owes the rolls `owed` counts (see TOwedRolls), until it is
  // given another count or nullptr; the rolls owed so far are made first. `owed` must
  // outlive the object or be taken back.
  void OweRolls(TOwedRolls* owed);
  // Makes the rolls owed by this object and by the objects below it.
  void MakeOwedRollsBelow() {
    if (owesBelow_) MakeOwedRollsInSubtree();
  }
  void SetTurnAngle(float degrees);
  void SetRollAngle(float degrees);
  void SetPitchAngle(float degrees);
  // Relative rotations: about Direction, resp. by -degrees about Direction x Up.
  void RollBy(float degrees);
  void PitchBy(float degrees);
  void TurnBy(float degrees);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Draws the local axes (drawn even when the object has no geometry of its own).
  bool ShowAxes() const { return showAxes_; }
  void SetShowAxes(bool show);
  TGLObjectStyle ObjectStyle;

  // Row-vector matrices: local -> parent, local -> world, world -> local.
  const TMatrix& LocalMatrix();
  const TMatrix& AbsoluteMatrix();
  const TMatrix& InvAbsoluteMatrix();
  TVector AbsolutePosition();
  TVector AbsoluteDirection();
  TVector AbsoluteUp();
  // Affine transforms of a vector (its own w decides point or direction).
  TVector LocalToAbsolute(const TVector& v);
  TVector AbsoluteToLocal(const TVector& v);

  // Tells the scene that something drawn changed (the viewers repaint).
  void NotifyChange();
  // The structure changed (geometry, material binding): same effect as NotifyChange.
  virtual void StructureChanged() {
    rayRadiusValid_ = false;
    // A leaf that is never hit and never drawn adds nothing to any bounds.
    if (!(children_.empty() && RayCastBounds() == TRayBounds::None && BoundingRadius() < 0 && !showAxes_))
      InvalidateSubtreeBounds();
    NotifyChange();
  }

  // --- per-kind behaviour ---
  // Tests the ray (world coordinates; direction expected of unit length for the default
  // sphere test); on a hit fills point and normal in world coordinates.
  virtual bool RayCastIntersect(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                                TVector* intersectNormal);
  // Where the hits of RayCastIntersect can lie, so that the scene's ray cast can skip
  // objects (and whole subtrees) whose sphere the ray misses. A kind that overrides
  // RayCastIntersect must override this too.
  enum class TRayBounds {
    None,         // never hit
    Geometry,     // within BoundingRadius scaled by the absolute matrix
    ScaleSphere,  // the default sphere test: within |0.5 Scale| of the absolute position
    Unbounded     // anywhere
  };
  virtual TRayBounds RayCastBounds() const { return TRayBounds::ScaleSphere; }
  // The largest axis scale of the absolute matrix.
  float AbsoluteMaxScale();
  // World radius about the absolute position that holds every ray hit (with a margin):
  // negative when the object is never hit, infinite when it is unbounded. Cached.
  float RayCastRadius();
  // A world sphere holding every ray hit of this object and its descendants (radius
  // negative: none, infinite: unbounded). Cached until something in the subtree changes.
  void SubtreeBounds(TVector& centre, float& radius);
  // A world sphere holding the culling sphere of every object in this subtree that draws
  // (radius negative: nothing draws; infinite: axes shown without geometry). Walks the
  // subtree; the scene's draw index keeps the result.
  void SubtreeDrawBounds(TVector& centre, float& radius);
  const std::vector<std::unique_ptr<TGLBaseSceneObject>>& ChildList() const { return children_; }
  // Counts for the blended-last render order.
  virtual bool Blended() const { return false; }
  // Radius of a sphere about the local origin holding the geometry, in local units;
  // negative when the object draws nothing of its own (never culled, never drawn).
  virtual float BoundingRadius() const { return 0.5f; }
  // Draws the object's own geometry with its local frame loaded (GL context current).
  virtual void BuildList(TGLRenderContext& /*context*/) {}
  // True when BuildList sends eye-space vertices itself, from the context's ModelView,
  // with no matrix loaded: loading one per object ends the driver's batch every time,
  // while objects sharing a texture one after the other then go out in one draw.
  virtual bool DrawsInEyeSpace() const { return false; }
  // Called on every cadencer progress with the step in seconds, for the objects that asked
  // for it with WantProgress (a kind that overrides this asks in its constructor).
  virtual void DoProgress(double /*deltaTime*/, double /*newTime*/) {}
  bool WantsProgress() const { return wantsProgress_; }
  // Start loading what a step reads and writes of this object: the frame (position,
  // direction, angles, flags), or only whether it is shown. An entity asks for its parts
  // at once, so that their loads overlap instead of coming one after the other on a map
  // too big for the caches. They change nothing.
  void PrefetchFrame() const {
    __builtin_prefetch(&Position.v_);
    __builtin_prefetch(&Direction.v_);
    __builtin_prefetch(&rollAngle_);
    __builtin_prefetch(&visible_);
    __builtin_prefetch(&stillTurn_.Known);
  }
  void PrefetchVisibility() const { __builtin_prefetch(&visible_); }

 protected:
  explicit TGLBaseSceneObject(TGLScene* scene);
  // From now on the scene's progress reaches this object's DoProgress.
  void WantProgress();
  // Sphere test shared by the kinds without a test of their own.
  bool SphereRayCast(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                     TVector* intersectNormal);

 private:
  friend class TGLCoordinates;
  friend class TGLScene;
  friend class TSceneGrid;
  template <class T>
  friend T* NewChildObject(TGLBaseSceneObject* parent);

  // A child of the scene's root object (listed in the scene's ray index).
  bool IsTopLevel() const { return parent_ != nullptr && parent_->parent_ == nullptr; }
  void CoordinatesChanged(TGLCoordinates::TRole role);
  void CoupleDirectionUp(bool directionChanged);
  void RotateFrame(const TVector& axis, float degrees);
  // The frame RotateFrame leaves; false when its bits stayed as they were.
  bool TurnFrame(const TVector& axis, float degrees);
  // Owed rolls are made lazily, so reading the frame may make them ("logically const").
  void MakeOwedRolls() const {
    if (owed_ != nullptr && owed_->Count > 0) const_cast<TGLBaseSceneObject*>(this)->MakeRolls();
  }
  void MakeRolls();
  void MakeOwedRollsInSubtree();
  // How a transform changed, for the scene's ray index: Shape (scale, or anything else),
  // Moved (Position), Turned (Direction or Up), Carried (an ancestor moved or turned).
  enum class TChange : std::uint8_t { Shape, Moved, Turned, Carried };
  void TransformationChanged(TChange change = TChange::Shape);
  // The invalidation part of TransformationChanged, for this object and what it carries.
  void InvalidateTransform(TChange change);
  void AddChild(std::unique_ptr<TGLBaseSceneObject> child);
  void InvalidateSubtreeBounds(TChange change = TChange::Shape);
  // True when the change leaves every point of the top-level subtree at the same distance
  // from the top-level object's origin.
  bool KeepsTopLevelReach(TChange change) const;

  TGLScene* scene_;
  TGLBaseSceneObject* parent_ = nullptr;
  std::vector<std::unique_ptr<TGLBaseSceneObject>> children_;
  float turnAngle_ = 0, rollAngle_ = 0, pitchAngle_ = 0;
  bool visible_ = true;
  bool localValid_ = false, absoluteValid_ = false, inverseValid_ = false;
  float absMaxScale_ = 1;
  float rayRadius_ = -1;
  bool rayRadiusValid_ = false;
  bool subtreeValid_ = false;
  float subtreeRadius_ = -1;
  bool showAxes_ = false;
  bool wantsProgress_ = false;
  bool owesBelow_ = false;  // this object or one below it was given rolls to owe
  TOwedRolls* owed_ = nullptr;
  // Places in the scene's ray and draw indexes (top-level objects), by TSceneGrid::TBounds.
  std::int32_t gridSlots_[2] = {-1, -1};
  // The last turn that left Direction and Up as they were (RotateFrame); forgotten when
  // either changes.
  struct TStillTurn {
    TVector Axis;
    float Degrees = 0;
    bool Known = false;
  } stillTurn_;
  // Last, after the fields a step reads and writes (those above share a few cache lines):
  // the cached matrices and sphere, which a step seldom needs.
  TMatrix local_, absolute_, inverse_;
  TVector subtreeCentre_;
};

inline const TVector& TGLCoordinates::Read() const {
  if (role_ == TRole::Direction || role_ == TRole::Up) owner_->MakeOwedRolls();
  return v_;
}

// Reduces an angle in degrees to -180..180 the way stored angles are kept.
float NormalizeDegAngle(float degrees);

enum TGLObjectsSorting {
  osInherited,
  osNone,
  osRenderFarthestFirst,
  osRenderBlendedLast,
  osRenderNearestFirst
};
enum TGLVisibilityCulling { vcInherited, vcNone, vcObjectBased, vcHierarchical };

// Receives the scene's change notifications (the viewers' render buffers).
class TGLSceneChangeListener {
 public:
  virtual ~TGLSceneChangeListener() = default;
  virtual void SceneChanged() = 0;
  // An object of the scene is being freed (drop any pointer to it).
  virtual void ObjectFreed(TGLBaseSceneObject* /*object*/) {}
  // The scene is being destroyed.
  virtual void SceneDestroyed(TGLScene* /*scene*/) {}
};

class TGLLightSource;

class TGLScene {
 public:
  TGLScene();
  ~TGLScene();
  TGLScene(const TGLScene&) = delete;
  TGLScene& operator=(const TGLScene&) = delete;

  // The root object: top-level objects are its children.
  TGLBaseSceneObject* Objects() const { return root_.get(); }

  TGLObjectsSorting ObjectsSorting = osRenderBlendedLast;
  TGLVisibilityCulling VisibilityCulling = vcNone;
  // With culling, the viewers take the top-level objects from the draw index; false: they
  // walk every object (the reference the index must draw the same picture as).
  bool IndexedDrawing = true;

  // The nearest object hit by the ray, or nullptr; point and normal (optional) in world
  // coordinates. Depth-first in child order, parents before children; on equal distances
  // the object found first wins; invisible subtrees are skipped.
  TGLBaseSceneObject* RayCastIntersect(const TVector& rayStart, const TVector& rayVector,
                                       TVector* intersectPoint = nullptr, TVector* intersectNormal = nullptr);
  // The same result through the ray index: only the top-level objects whose bounds the ray
  // meets are walked, nearest first. Hits farther than `maxDistance` from the start are
  // left out (a caller that only asks whether a given object is the nearest hit can stop
  // the walk behind it).
  TGLBaseSceneObject* RayCastIntersectIndexed(const TVector& rayStart, const TVector& rayVector,
                                              TVector* intersectPoint = nullptr,
                                              TVector* intersectNormal = nullptr, float maxDistance = 1e10f);
  const TRayIndex& RayIndex() const { return rayIndex_; }
  // The top-level objects the viewers draw, found by where they are (render walk).
  TDrawIndex& DrawIndex() { return drawIndex_; }
  // Runs DoProgress on every object of the tree that wants it, in tree order (nothing to
  // walk while no object wants it).
  void Progress(double deltaTime, double newTime);
  bool InProgress() const { return progressing_ > 0; }

  void AddListener(TGLSceneChangeListener* listener);
  void RemoveListener(TGLSceneChangeListener* listener);
  void NotifyChange();
  void NotifyFreed(TGLBaseSceneObject* object);

  // The light sources living in the tree, in creation order.
  const std::vector<TGLLightSource*>& Lights() const { return lights_; }
  void RegisterLight(TGLLightSource* light);
  void UnregisterLight(TGLLightSource* light);

 private:
  friend class TGLBaseSceneObject;
  // Declared before the root so that it outlives every object (they notify it when freed).
  TRayIndex rayIndex_;
  TDrawIndex drawIndex_;
  std::unique_ptr<TGLBaseSceneObject> root_;
  std::vector<TGLSceneChangeListener*> listeners_;
  std::vector<TGLLightSource*> lights_;
  int progressing_ = 0;
  int progressObjects_ = 0;  // objects that want DoProgress
};

// Same as the scene's RayCastIntersect.
inline TGLBaseSceneObject* CastRay(TGLScene& scene, const TVector& start, const TVector& direction,
                                   TVector* point, TVector* normal) {
  return scene.RayCastIntersect(start, direction, point, normal);
}

// Creates an object of kind T owned by the scene and appends it as the last child of
// `parent` (the scene's root object or any object of it).
template <class T>
T* NewChildObject(TGLBaseSceneObject* parent) {
  auto made = std::unique_ptr<T>(new T(parent->Scene()));
  T* raw = made.get();
  parent->AddChild(std::move(made));
  return raw;
}

// The render order of `parent`'s visible children under `sorting` (osRenderBlendedLast:
// non-blended in list order, then blended farthest from `cameraPosition` first).
void OrderChildrenForRender(TGLBaseSceneObject& parent, TGLObjectsSorting sorting,
                            const TVector& cameraPosition, std::vector<TGLBaseSceneObject*>& order);
// The same order for some of a parent's children, given in list order (the ones the draw
// index found): their order among themselves is the one they have among all children.
void OrderSiblingsForRender(const std::vector<TGLBaseSceneObject*>& siblings, TGLObjectsSorting sorting,
                            const TVector& cameraPosition, std::vector<TGLBaseSceneObject*>& order);

}  // namespace orr
