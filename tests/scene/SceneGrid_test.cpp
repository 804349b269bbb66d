// SPDX-License-Identifier: GPL-3.0-or-later
// The scene's grids against the plain walks, on random scenes that change between questions:
// the indexed ray cast must give the plain cast's answer (same object, same point, same
// normal, with exact ties among copies), and the draw index must take every top-level
// object with something the culling would draw, in the order of the root's children.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "scene/GLBitmapFont.h"
#include "scene/GLObjects.h"
#include "scene/GLScene.h"
#include "scene/GLViewer.h"

namespace orr {
namespace {

class TRandomScene {
 public:
  explicit TRandomScene(std::uint32_t seed) : random_(seed) {}

  float Real(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random_); }
  int Below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

  // A top-level group like an entity (a dummy with a plane, a cylinder, a cube) or a floor
  // with walls, or a lone object; sometimes two exact copies, which tie on every ray.
  void AddSomething() {
    TGLBaseSceneObject* root = Scene.Objects();
    const float x = Real(-20, 60), y = Real(-20, 60);
    switch (Below(4)) {
      case 0: {
        auto* anchor = NewChildObject<TGLDummyCube>(root);
        anchor->Position.SetPoint(x, y, 0);
        anchor->SetRollAngle(Real(0, 360));
        NewChildObject<TGLPlane>(anchor)->Scale.SetPoint(3, 4, 1);
        auto* body = NewChildObject<TGLCylinder>(anchor);
        body->SetTopRadius(0.4f);
        body->SetBottomRadius(0.4f);
        body->Position.SetZ(0.45f);
        body->PitchBy(270);
        auto* arm = NewChildObject<TGLDummyCube>(anchor);  // a part with parts of its own
        arm->Position.SetX(1);
        NewChildObject<TGLCube>(arm)->Position.SetY(6);
        break;
      }
      case 1: {
        const int copies = 1 + Below(2);
        for (int c = 0; c < copies; ++c) {
          auto* top = NewChildObject<TGLPlane>(root);
          top->Position.SetPoint(x, y, 1 + Below(3));
          for (int k = 0; k < 4; ++k) {
            auto* wall = NewChildObject<TGLPlane>(top);
            wall->Direction.SetY(1);
            wall->Direction.SetZ(0);
            wall->Position.SetPoint(k == 1   ? 0.5f
                                    : k == 3 ? -0.5f
                                             : 0,
                                    k == 0   ? 0.5f
                                    : k == 2 ? -0.5f
                                             : 0,
                                    -1);
            wall->SetTurnAngle(-90.0f * k);
            wall->SetHeight(2);
          }
        }
        break;
      }
      case 2: {
        auto* cube = NewChildObject<TGLCube>(root);
        cube->Position.SetPoint(x, y, Real(0, 2));
        cube->Scale.SetPoint(Real(0.2f, 3), Real(0.2f, 3), Real(0.2f, 3));
        break;
      }
      default: {
        auto* text = NewChildObject<TGLFlatText>(root);  // hit as a sphere
        text->Position.SetPoint(x, y, Real(0, 3));
        text->Scale.SetPoint(Real(0.5f, 2), Real(0.5f, 2), Real(0.5f, 2));
        break;
      }
    }
  }

  // Moves, turns, hides, shows, rescales or frees a top-level object or one of its parts
  // (or rescales a part and moves the whole), or adds a new one.
  void Change() {
    TGLBaseSceneObject* root = Scene.Objects();
    if (root->Count() == 0 || Below(5) == 0) return AddSomething();
    TGLBaseSceneObject* o = root->Children(Below(root->Count()));
    TGLBaseSceneObject* part = o->Count() > 0 ? o->Children(Below(o->Count())) : o;
    switch (Below(9)) {
      case 0: o->Position.SetPoint(Real(-20, 60), Real(-20, 60), o->Position.Z()); break;
      case 1: o->SetVisible(!o->Visible()); break;
      case 2: o->Free(); break;
      case 3: o->Scale.SetX(Real(0.5f, 2)); break;
      case 4: o->RollBy(Real(0, 360)); break;
      case 5: part->RollBy(Real(0, 360)); break;
      case 6: part->Position.SetX(Real(-3, 3)); break;
      case 7:  // reshaped and moved before the next question
        part->Scale.SetY(Real(0.5f, 4));
        o->Position.SetPoint(Real(-20, 60), Real(-20, 60), o->Position.Z());
        break;
      default: part->Scale.SetY(Real(0.5f, 4)); break;
    }
  }

  TGLScene Scene;

 private:
  std::mt19937 random_;
};

bool SameBits(const TVector& a, const TVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(RayIndex, IndexedCastsAgreeWithThePlainWalk) {
  TRandomScene world(7);
  for (int i = 0; i < 300; ++i) world.AddSomething();
  int hits = 0;
  for (int cast = 0; cast < 6000; ++cast) {
    if (cast % 5 == 0) world.Change();
    // Mostly level rays from entity height, as the game casts; some steep or odd ones.
    const TVector start{world.Real(-25, 65), world.Real(-25, 65), world.Real(0, 2), 1};
    TVector along{world.Real(-5, 5), world.Real(-5, 5), cast % 7 == 0 ? world.Real(-3, 3) : 0, 0};
    if (cast % 97 == 0) along = {0, 0, -1, 0};
    if (cast % 89 == 0) along = {0, 3, 0, 0};
    TVector plainPoint{}, plainNormal{}, point{}, normal{};
    TGLBaseSceneObject* plain = world.Scene.RayCastIntersect(start, along, &plainPoint, &plainNormal);
    TGLBaseSceneObject* indexed = world.Scene.RayCastIntersectIndexed(start, along, &point, &normal);
    ASSERT_EQ(plain, indexed) << "cast " << cast;
    if (plain == nullptr) continue;
    ++hits;
    ASSERT_TRUE(SameBits(plainPoint, point) && SameBits(plainNormal, normal)) << "cast " << cast;
    // A limit beyond the hit keeps it; one short of it finds nothing nearer.
    const float d = VectorDistance(start, point);
    EXPECT_EQ(world.Scene.RayCastIntersectIndexed(start, along, nullptr, nullptr, d * 1.01f + 0.01f), plain);
    EXPECT_EQ(world.Scene.RayCastIntersectIndexed(start, along, nullptr, nullptr, d * 0.99f), nullptr);
  }
  EXPECT_GT(hits, 1000) << "the rays must meet something often enough to test";
}

// The scene notes every object added or changed for the grids to list before their next
// question. A grid nobody asks (the draw index of a scene that is never drawn, as in the
// simulator) must not keep those notes for ever: the simulator's hour on a 256 x 256 map
// grew by 200 KB of them.
TEST(RayIndex, NotesStayFewWhileNobodyAsks) {
  TRandomScene world(3);
  for (int i = 0; i < 200; ++i) world.AddSomething();
  const TVector start{20, 20, 1, 1}, along{1, 0.3f, 0, 0};
  world.Scene.RayCastIntersectIndexed(start, along, nullptr, nullptr);  // the ray index is built
  for (int i = 0; i < 20000; ++i) {
    world.AddSomething();
    TGLBaseSceneObject* root = world.Scene.Objects();
    while (root->Count() > 200) root->Children(world.Below(root->Count()))->Free();
  }
  EXPECT_EQ(world.Scene.DrawIndex().PendingNotes(), 0u) << "never asked, never built";
  EXPECT_LT(world.Scene.RayIndex().PendingNotes(), 1000u);
  for (int cast = 0; cast < 300; ++cast) {
    const TVector from{world.Real(-25, 65), world.Real(-25, 65), world.Real(0, 2), 1};
    const TVector to{world.Real(-5, 5), world.Real(-5, 5), 0, 0};
    ASSERT_EQ(world.Scene.RayCastIntersect(from, to, nullptr, nullptr),
              world.Scene.RayCastIntersectIndexed(from, to, nullptr, nullptr))
        << "cast " << cast;
  }
}

// Whether the object (or, with its axes shown, its origin) passes the culling's test.
bool CullingDraws(TGLBaseSceneObject& o, const TViewVolume& volume) {
  const float radius = o.BoundingRadius();
  if (radius < 0) return o.ShowAxes();
  const TVector& c = o.AbsoluteMatrix().Row[3];
  for (const TVector& p : volume.Planes)
    if (p.X * c.X + p.Y * c.Y + p.Z * c.Z + p.W < -radius * o.AbsoluteMaxScale()) return false;
  return true;
}

bool SubtreeDraws(TGLBaseSceneObject& o, const TViewVolume& volume) {
  if (CullingDraws(o, volume)) return true;
  for (const auto& child : o.ChildList())
    if (SubtreeDraws(*child, volume)) return true;
  return false;
}

TEST(DrawIndex, TakesEveryTopLevelObjectThatDrawsInViewInListOrder) {
  TRandomScene world(11);
  for (int i = 0; i < 300; ++i) world.AddSomething();
  TGLWindowsBitmapFont font;  // texts grow with it
  TGLFont face;
  face.Name = "Courier New";
  face.SetSize(12);
  font.SetFont(face);
  for (int i = 0; i < 40; ++i) {
    auto* text = NewChildObject<TGLFlatText>(world.Scene.Objects());
    text->Position.SetPoint(world.Real(-20, 60), world.Real(-20, 60), 1);
    text->Scale.SetPoint(0.03f, 0.03f, 0.03f);
    text->SetBitmapFont(&font);
    text->SetText("Armour");
  }
  TGLScene cameraScene;  // out of reach of the changes
  auto* camera = NewChildObject<TGLCamera>(cameraScene.Objects());
  camera->SetFocalLength(100);
  std::vector<TGLBaseSceneObject*> inView;
  int taken = 0, drawing = 0;
  for (int view = 0; view < 400; ++view) {
    world.Change();
    if (view % 50 == 0) {  // axes on an object without geometry draw wherever it stands
      TGLBaseSceneObject* root = world.Scene.Objects();
      TGLBaseSceneObject* o = root->Children(world.Below(root->Count()));
      o->SetShowAxes(!o->ShowAxes());
    }
    if (view % 100 == 60) {
      face.SetSize(face.Size() * 2);
      font.SetFont(face);
    }
    // Mostly the game's camera, straight down from 15 above; sometimes tilted or far up.
    camera->Position.SetPoint(world.Real(-25, 65), world.Real(-25, 65), view % 9 == 0 ? 60 : 15);
    TVector look{0, 0, -1, 0};
    if (view % 4 == 0) look = {world.Real(-1, 1), world.Real(-1, 1), -world.Real(0.2f, 1), 0};
    camera->Direction.SetVector(look);
    const TMatrix vp =
        MatrixMultiply(CameraViewMatrix(*camera), ProjectionMatrix(PerspectiveFor(*camera, 1024, 768)));
    const TViewVolume volume = ViewVolumeOf(vp);
    world.Scene.DrawIndex().Collect(*world.Scene.Objects(), volume, inView);
    std::size_t next = 0;  // the taken objects in list order
    for (const auto& owned : world.Scene.Objects()->ChildList()) {
      const bool isTaken = next < inView.size() && inView[next] == owned.get();
      if (isTaken) ++next;
      if (!SubtreeDraws(*owned, volume)) continue;
      ++drawing;
      ASSERT_TRUE(isTaken) << "view " << view << ": a top-level object that draws was left out";
    }
    ASSERT_EQ(next, inView.size()) << "view " << view << ": taken out of list order";
    taken += static_cast<int>(inView.size());
  }
  EXPECT_GT(drawing, 4000) << "the views must show enough to test";
  EXPECT_LT(taken, drawing * 2) << "the index must leave out most of what lies outside";
}

}  // namespace
}  // namespace orr
