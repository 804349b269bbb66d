// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "scene/GLBitmapFont.h"
#include "scene/GLObjects.h"

namespace orr {
namespace {

void ExpectVec(const TVector& v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.X, x, eps) << "x";
  EXPECT_NEAR(v.Y, y, eps) << "y";
  EXPECT_NEAR(v.Z, z, eps) << "z";
}

TEST(VectorGeometry, FloorLikeConversionGoesOneDownForWholeNegatives) {
  struct {
    float In;
    int Out;
  } cases[] = {{0.0f, 0}, {0.9f, 0}, {2.0f, 2}, {-0.5f, -1}, {-1.0f, -2}, {-2.0f, -3}, {-2.5f, -3}};
  for (auto c : cases) EXPECT_EQ(TruncFloor(c.In), c.Out) << c.In;
}

TEST(VectorGeometry, RoundingTiesGoToEven) {
  struct {
    float In;
    int Out;
  } cases[] = {{2.5f, 2}, {3.5f, 4}, {-2.5f, -2}, {2.6f, 3}, {-0.4f, 0}};
  for (auto c : cases) EXPECT_EQ(RoundInt(c.In), c.Out) << c.In;
}

TEST(VectorGeometry, EqualityIsBitwiseOnAllFourComponents) {
  EXPECT_TRUE(VectorEquals({-1, -1, -1, 0}, {-1, -1, -1, 0}));
  EXPECT_FALSE(VectorEquals({-1, -1, -1, 0}, {-1, -1, -1, 1}));
  EXPECT_FALSE(VectorEquals({0, 0, 0, 0}, {-0.0f, 0, 0, 0}));
  EXPECT_FLOAT_EQ(VectorDistance({1, 2, 3, 1}, {4, 6, 3, 0}), 5);  // w ignored
}

TEST(SceneTransforms, DirectionComponentsCoupleUpOneWriteAtATime) {
  TGLScene scene;
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());
  plane->Direction.SetY(1);
  ExpectVec(plane->Direction.AsVector(), 0, std::sqrt(0.5f), std::sqrt(0.5f));
  ExpectVec(plane->Up.AsVector(), 0, std::sqrt(0.5f), -std::sqrt(0.5f));
  plane->Direction.SetZ(0);
  ExpectVec(plane->Direction.AsVector(), 0, 1, 0);
  ExpectVec(plane->Up.AsVector(), 0, 0, -1);
  plane->RollBy(180);
  ExpectVec(plane->Up.AsVector(), 0, 0, 1);
  ExpectVec(plane->Direction.AsVector(), 0, 1, 0);
}

TEST(SceneTransforms, ZeroLengthVectorsFallBackToTheirDefaults) {
  TGLScene scene;
  auto* obj = NewChildObject<TGLDummyCube>(scene.Objects());
  obj->Direction.SetVector({0, 0, 0, 0});
  ExpectVec(obj->Direction.AsVector(), 0, 0, 1);
  obj->Up.SetVector({0, 0, 0, 0});
  ExpectVec(obj->Up.AsVector(), 0, 1, 0);
  // Up parallel to Direction: right falls back to Z x Up, then X x Up.
  obj->Up.SetVector({0, 0, 1, 0});
  ExpectVec(obj->Up.AsVector(), 0, 0, 1);
  EXPECT_NEAR(VectorDot(obj->Up.AsVector(), obj->Direction.AsVector()), 0, 1e-5f);
}

TEST(SceneTransforms, AnglesAreStoredReducedAndRepeatedValuesChangeNothing) {
  TGLScene scene;
  auto* obj = NewChildObject<TGLPlane>(scene.Objects());
  obj->SetTurnAngle(-270);
  EXPECT_FLOAT_EQ(obj->TurnAngle(), 90);
  TVector dir = obj->Direction.AsVector(), up = obj->Up.AsVector();
  obj->SetTurnAngle(-270);
  EXPECT_FLOAT_EQ(obj->TurnAngle(), 90);
  ExpectVec(obj->Direction.AsVector(), dir.X, dir.Y, dir.Z, 1e-4f);
  ExpectVec(obj->Up.AsVector(), up.X, up.Y, up.Z, 1e-4f);
  struct {
    float In, Stored;
  } cases[] = {{540, 180}, {-540, -180}, {181, -179}, {-181, 179}, {725, 5}, {0, 0}};
  for (auto c : cases) EXPECT_FLOAT_EQ(NormalizeDegAngle(c.In), c.Stored) << c.In;
}

// A turn that left the frame's bits as they were is skipped when it comes again, but only
// while the frame stays: after Up is set anew the same whole turn must work on the new frame,
// exactly as it does on an object with no such history.
TEST(SceneTransforms, AWholeTurnAfterANewUpTurnsTheNewFrame) {
  TGLScene scene;
  auto* settled = NewChildObject<TGLDummyCube>(scene.Objects());
  auto* fresh = NewChildObject<TGLDummyCube>(scene.Objects());
  settled->RollBy(200);  // a heading over 180: the game turns such a frame whole every step
  bool still = false;
  for (int i = 0; i < 20 && !still; ++i) {
    const TVector before = settled->Up.AsVector();
    settled->RollBy(360);
    still = VectorEquals(before, settled->Up.AsVector());
  }
  ASSERT_TRUE(still) << "whole turns should settle on a frame they leave as it is";
  for (auto* o : {settled, fresh}) {
    o->Up.SetVector({1, 0, 0, 0});  // Direction stays (0, 0, 1) to the bit
    o->RollBy(360);
  }
  EXPECT_NE(fresh->Up.Y(), 0) << "a whole turn must move (1, 0, 0) by a rounding for this test to bite";
  EXPECT_TRUE(VectorEquals(settled->Up.AsVector(), fresh->Up.AsVector()));
  EXPECT_TRUE(VectorEquals(settled->Direction.AsVector(), fresh->Direction.AsVector()));
}

// Each absolute angle turns the frame counter-clockwise seen from the tip of its axis:
// Turn about Up, Roll about Direction, Pitch about the right axis Up x Direction.
TEST(SceneTransforms, AbsoluteAnglesTurnAboutTheirOwnAxes) {
  struct {
    void (TGLBaseSceneObject::*Set)(float);
    float Dx, Dy, Dz, Ux, Uy, Uz;
  } cases[] = {
      {&TGLBaseSceneObject::SetTurnAngle, 1, 0, 0, 0, 1, 0},
      {&TGLBaseSceneObject::SetRollAngle, 0, 0, 1, -1, 0, 0},
      {&TGLBaseSceneObject::SetPitchAngle, 0, -1, 0, 0, 0, 1},
  };
  for (auto& c : cases) {
    TGLScene scene;
    auto* obj = NewChildObject<TGLDummyCube>(scene.Objects());
    (obj->*c.Set)(90);
    ExpectVec(obj->Direction.AsVector(), c.Dx, c.Dy, c.Dz);
    ExpectVec(obj->Up.AsVector(), c.Ux, c.Uy, c.Uz);
  }
}

// The border planes and the walls rely on this: an upright plane facing +Y turns to face
// +X with TurnAngle -90 (and -X with -270, -Y with -180).
TEST(SceneTransforms, UprightPlaneTurnsByTurnAngleAboutWorldZ) {
  struct {
    float Turn;
    float X, Y;
  } cases[] = {{0, 0, 1}, {-90, 1, 0}, {-180, 0, -1}, {-270, -1, 0}};
  for (auto c : cases) {
    TGLScene scene;
    auto* plane = NewChildObject<TGLPlane>(scene.Objects());
    plane->Direction.SetY(1);
    plane->Direction.SetZ(0);
    plane->RollBy(180);
    plane->SetTurnAngle(c.Turn);
    ExpectVec(plane->AbsoluteDirection(), c.X, c.Y, 0, 1e-5f);
    ExpectVec(plane->AbsoluteUp(), 0, 0, 1, 1e-5f);
  }
}

TEST(SceneTransforms, PitchBy270MakesTheCylinderAxisPointDown) {
  TGLScene scene;
  auto* cyl = NewChildObject<TGLCylinder>(scene.Objects());
  cyl->PitchBy(270);
  ExpectVec(cyl->Up.AsVector(), 0, 0, -1);
  ExpectVec(cyl->Direction.AsVector(), 0, 1, 0);
}

TEST(SceneTransforms, AbsoluteMatrixChainsParentsAndFollowsLaterChanges) {
  TGLScene scene;
  auto* anchor = NewChildObject<TGLDummyCube>(scene.Objects());
  auto* sprite = NewChildObject<TGLPlane>(anchor);
  sprite->Position.SetPoint(0, 1, 0);
  anchor->Position.SetPoint(10, 20, 0);
  ExpectVec(sprite->AbsolutePosition(), 10, 21, 0);
  anchor->SetRollAngle(90);  // local +Y turns to -X
  ExpectVec(sprite->AbsolutePosition(), 9, 20, 0);
  ExpectVec(anchor->LocalToAbsolute({0, 5, 0, 0}), -5, 0, 0);
  ExpectVec(anchor->AbsoluteToLocal({9, 20, 0, 1}), 0, 1, 0);
  sprite->Scale.SetVector({2, 3, 4, 0});
  const TMatrix& m = sprite->LocalMatrix();
  ExpectVec(m.Row[0], 2, 0, 0);
  ExpectVec(m.Row[1], 0, 3, 0);
  ExpectVec(m.Row[2], 0, 0, 4);
}

// Entities set their anchors' positions from map records, which carry w = 0.
TEST(SceneTransforms, PositionKeepsTheGivenWAndTheMatrixIgnoresIt) {
  TGLScene scene;
  auto* anchor = NewChildObject<TGLDummyCube>(scene.Objects());
  anchor->Position.SetVector({3, 4, 0, 0});
  EXPECT_TRUE(VectorEquals(anchor->Position.AsVector(), {3, 4, 0, 0}));
  EXPECT_TRUE(VectorEquals(anchor->AbsolutePosition(), {3, 4, 0, 1}));
  anchor->Position.SetPoint(1, 2, 3);
  EXPECT_EQ(anchor->Position.AsVector().W, 1);
  anchor->Direction.SetVector({0, 0, 2, 1});
  EXPECT_TRUE(VectorEquals(anchor->Direction.AsVector(), {0, 0, 1, 0}));
}

// A spinning part that owes its rolls must look, through every way of reading it, exactly
// like one rolled at once, however many rolls it owes and whatever read comes first.
TEST(SceneTransforms, OwedRollsReadExactlyAsRollsMadeAtOnce) {
  struct TWorld {
    TGLScene Scene;
    TGLDummyCube* Anchor = NewChildObject<TGLDummyCube>(Scene.Objects());
    TGLPlane* Sprite = NewChildObject<TGLPlane>(Anchor);
    TWorld() {
      Anchor->Position.SetPoint(2, 3, 0);
      Anchor->SetRollAngle(200);
      Sprite->Position.SetZ(0.1f);
      Sprite->Scale.SetVector({1.5f, 1.5f, 1.5f, 0});
    }
  } eager, lazy;
  TOwedRolls owed{0.45f, 0};
  lazy.Sprite->OweRolls(&owed);
  auto same = [](const TVector& a, const TVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  // A ray slanting down onto the sprite, off its centre: where it lands depends on the roll.
  const TVector start{2.6f, 3.1f, 2, 1}, down{0.05f, -0.2f, -1, 0};
  using TRead = std::function<void(TWorld&, std::vector<TVector>&)>;
  const std::vector<std::pair<const char*, TRead>> reads = {
      {"roll angle",
       [](TWorld& w, auto& out) {
         out.push_back({w.Sprite->RollAngle(), 0, 0, 0});
       }},
      {"frame",
       [](TWorld& w, auto& out) {
         out.push_back(w.Sprite->Up.AsVector());
         out.push_back({w.Sprite->Direction.Z(), 0, 0, 0});
       }},
      {"absolute matrix",
       [](TWorld& w, auto& out) {
         for (const TVector& row : w.Sprite->AbsoluteMatrix().Row) out.push_back(row);
       }},
      {"subtree bounds",
       [](TWorld& w, auto& out) {
         TVector c;
         float r;
         w.Anchor->SubtreeBounds(c, r);
         out.push_back(c);
         out.push_back({r, 0, 0, 0});
       }},
      {"indexed ray",
       [&](TWorld& w, auto& out) {
         TVector p, n;
         const bool hit = w.Scene.RayCastIntersectIndexed(start, down, &p, &n) == w.Sprite;
         out.insert(out.end(), {{hit ? 1.0f : 0.0f, 0, 0, 0}, p, n});
       }},
      {"plain ray",
       [&](TWorld& w, auto& out) {
         TVector p, n;
         const bool hit = w.Scene.RayCastIntersect(start, down, &p, &n) == w.Sprite;
         out.insert(out.end(), {{hit ? 1.0f : 0.0f, 0, 0, 0}, p, n});
       }},
      {"write over",
       [](TWorld& w, auto& out) {
         w.Sprite->Direction.SetY(0.001f);
         out.push_back(w.Sprite->Up.AsVector());
       }},
      {"roll on top",
       [](TWorld& w, auto& out) {
         w.Sprite->RollBy(30);
         out.push_back(w.Sprite->Direction.AsVector());
       }},
  };
  // Reads after 1, 2, 3, ... rolls apart, so the owed counts run from 1 to over a thousand.
  int step = 0, hits = 0;
  for (int gap = 1; gap < 50; ++gap)
    for (const auto& [name, read] : reads) {
      for (int i = 0; i < gap; ++i, ++step) {
        eager.Sprite->RollBy(0.45f);
        ++owed.Count;
      }
      std::vector<TVector> a, b;
      read(eager, a);
      read(lazy, b);
      ASSERT_EQ(a.size(), b.size());
      for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_TRUE(same(a[i], b[i])) << name << " after " << gap << " owed rolls, step " << step;
      hits += (std::string(name).find("ray") != std::string::npos) && a[0].X == 1;
    }
  EXPECT_GT(hits, 20);
}

TEST(SceneTree, FreeingAnObjectRemovesItAndItsSubtree) {
  TGLScene scene;
  auto* a = NewChildObject<TGLDummyCube>(scene.Objects());
  auto* b = NewChildObject<TGLPlane>(scene.Objects());
  NewChildObject<TGLPlane>(a);
  NewChildObject<TGLLightSource>(a);
  EXPECT_EQ(scene.Lights().size(), 1u);
  EXPECT_EQ(b->Index(), 1);
  a->Free();
  ASSERT_EQ(scene.Objects()->Count(), 1);
  EXPECT_EQ(scene.Objects()->Children(0), b);
  EXPECT_EQ(b->Index(), 0);
  EXPECT_TRUE(scene.Lights().empty());
  EXPECT_THROW(scene.Objects()->Free(), std::logic_error);
}

// A part that counts its progress; it asks for progress if Asks.
template <bool Asks>
class TTicking : public TGLDummyCube {
 public:
  explicit TTicking(TGLScene* scene) : TGLDummyCube(scene) {
    if (Asks) WantProgress();
  }
  void DoProgress(double deltaTime, double) override { Seconds += deltaTime; }
  double Seconds = 0;
};

TEST(SceneTree, ProgressReachesTheObjectsThatAskForItWhereverTheyAre) {
  TGLScene scene;
  auto* group = NewChildObject<TGLDummyCube>(scene.Objects());
  auto* silent = NewChildObject<TTicking<false>>(group);
  auto* deep = NewChildObject<TTicking<true>>(group);
  scene.Progress(0.25, 0);
  EXPECT_EQ(deep->Seconds, 0.25);
  EXPECT_EQ(silent->Seconds, 0);
}

// --- ray casting --------------------------------------------------------------------

struct TRay {
  TVector Start, Dir;
};

TEST(SceneRayCast, EachKindReportsItsHitPointAndNormal) {
  TGLScene scene;
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());
  plane->Position.SetPoint(0, 0, 0);
  auto* cube = NewChildObject<TGLCube>(scene.Objects());
  cube->Position.SetPoint(10, 0, 0);
  auto* cyl = NewChildObject<TGLCylinder>(scene.Objects());
  cyl->Position.SetPoint(20, 0, 0);
  auto* text = NewChildObject<TGLFlatText>(scene.Objects());
  text->Position.SetPoint(30, 0, 0);
  auto* dummy = NewChildObject<TGLDummyCube>(scene.Objects());
  dummy->Position.SetPoint(40, 0, 0);
  struct {
    TRay Ray;
    TGLBaseSceneObject* Hit;
    float Px, Py, Pz, Nx, Ny, Nz;
  } cases[] = {
      // plane from the front, from behind, outside its extent
      {{{0.2f, 0.3f, 5, 1}, {0, 0, -1, 0}}, plane, 0.2f, 0.3f, 0, 0, 0, 1},
      {{{0.2f, 0.3f, -5, 1}, {0, 0, 1, 0}}, plane, 0.2f, 0.3f, 0, 0, 0, -1},
      {{{0.6f, 0, 5, 1}, {0, 0, -1, 0}}, nullptr, 0, 0, 0, 0, 0, 0},
      // plane: pointing away from it
      {{{0, 0, 5, 1}, {0, 0, 1, 0}}, nullptr, 0, 0, 0, 0, 0, 0},
      // cube from -X and from +Z
      {{{5, 0.1f, 0, 1}, {1, 0, 0, 0}}, cube, 9.5f, 0.1f, 0, -1, 0, 0},
      {{{10, 0, 5, 1}, {0, 0, -1, 0}}, cube, 10, 0, 0.5f, 0, 0, 1},
      // cube: within a ten-thousandth of an edge still hits (rounding), beyond it misses
      {{{10.50004f, 0, 5, 1}, {0, 0, -1, 0}}, cube, 10.50004f, 0, 0.5f, 0, 0, 1},
      {{{10.5002f, 0, 5, 1}, {0, 0, -1, 0}}, nullptr, 0, 0, 0, 0, 0, 0},
      // cylinder side (axis along Y) and top cap
      {{{15, 0, 0, 1}, {1, 0, 0, 0}}, cyl, 19.5f, 0, 0, -1, 0, 0},
      {{{20, 5, 0, 1}, {0, -1, 0, 0}}, cyl, 20, 0.5f, 0, 0, 1, 0},
      // flat text: bounding sphere of radius |0.5 scale|
      {{{30, 0, 5, 1}, {0, 0, -1, 0}}, text, 30, 0, std::sqrt(0.75f), 0, 0, 1},
      // dummy cubes are never hit
      {{{40, 0, 5, 1}, {0, 0, -1, 0}}, nullptr, 0, 0, 0, 0, 0, 0},
  };
  for (auto& c : cases) {
    TVector p, n;
    TGLBaseSceneObject* hit = scene.RayCastIntersect(c.Ray.Start, c.Ray.Dir, &p, &n);
    EXPECT_EQ(hit, c.Hit) << c.Ray.Start.X << "," << c.Ray.Start.Y << "," << c.Ray.Start.Z;
    if (hit != nullptr && hit == c.Hit) {
      ExpectVec(p, c.Px, c.Py, c.Pz, 1e-4f);
      ExpectVec(n, c.Nx, c.Ny, c.Nz, 1e-4f);
    }
  }
}

TEST(SceneRayCast, ARayStartingInsideACubeNeverHitsIt) {
  TGLScene scene;
  auto* cube = NewChildObject<TGLCube>(scene.Objects());
  cube->Scale.SetVector({4, 4, 4, 0});
  for (TVector dir : {TVector{1, 0, 0, 0}, TVector{0, -1, 0, 0}, TVector{0.6f, 0.8f, 0, 0}})
    EXPECT_EQ(scene.RayCastIntersect({0.5f, 0.5f, 0.5f, 1}, dir), nullptr);
  EXPECT_EQ(scene.RayCastIntersect({-5, 0, 0, 1}, {1, 0, 0, 0}), cube);
}

TEST(SceneRayCast, TheNearestHitWinsAndEqualDistancesKeepTheFirstFound) {
  TGLScene scene;
  auto* far = NewChildObject<TGLPlane>(scene.Objects());
  far->Position.SetZ(0);
  auto* parent = NewChildObject<TGLPlane>(scene.Objects());
  parent->Position.SetZ(1);
  auto* child = NewChildObject<TGLPlane>(parent);  // same place as its parent
  auto* sibling = NewChildObject<TGLPlane>(scene.Objects());
  sibling->Position.SetZ(1);
  TVector p;
  EXPECT_EQ(scene.RayCastIntersect({0, 0, 5, 1}, {0, 0, -1, 0}, &p), parent);
  EXPECT_FLOAT_EQ(p.Z, 1);
  // Hidden subtrees are skipped whole: the child goes with its parent.
  parent->SetVisible(false);
  EXPECT_EQ(scene.RayCastIntersect({0, 0, 5, 1}, {0, 0, -1, 0}), sibling);
  sibling->SetVisible(false);
  EXPECT_EQ(scene.RayCastIntersect({0, 0, 5, 1}, {0, 0, -1, 0}), far);
  parent->SetVisible(true);
  EXPECT_EQ(scene.RayCastIntersect({0, 0, 5, 1}, {0, 0, -1, 0}), parent);
  (void)child;
}

// The game's hit cylinders stand upright (PitchBy 270) and are cast at horizontally.
TEST(SceneRayCast, UprightHitCylinderIsHitFromTheSideAndThroughItsCap) {
  TGLScene scene;
  auto* anchor = NewChildObject<TGLDummyCube>(scene.Objects());
  anchor->Position.SetPoint(5, 5, 0);
  auto* cyl = NewChildObject<TGLCylinder>(anchor);
  cyl->SetParts({cySides, cyTop});
  cyl->SetTopRadius(0.4f);
  cyl->SetBottomRadius(0.4f);
  cyl->SetHeight(0.5f);
  cyl->Position.SetZ(0.25f);
  cyl->PitchBy(270);
  TVector p, n;
  ASSERT_EQ(scene.RayCastIntersect({5, 0, 0.25f, 1}, {0, 1, 0, 0}, &p, &n), cyl);
  ExpectVec(p, 5, 4.6f, 0.25f, 1e-4f);
  ExpectVec(n, 0, -1, 0, 1e-4f);
  // Above the cylinder: misses. The "top" part sits at local +Y, which PitchBy 270 turned
  // to world -Z: the game's cylinders are open at their upper end, so a ray from above
  // passes through the opening and meets the closed lower end from inside.
  EXPECT_EQ(scene.RayCastIntersect({5, 0, 1, 1}, {0, 1, 0, 0}), nullptr);
  ASSERT_EQ(scene.RayCastIntersect({5.1f, 5, 3, 1}, {0, 0, -1, 0}, &p, &n), cyl);
  ExpectVec(p, 5.1f, 5, 0, 1e-4f);
  ExpectVec(n, 0, 0, -1, 1e-4f);
  cyl->SetParts({cySides, cyTop, cyBottom});
  ASSERT_EQ(scene.RayCastIntersect({5.1f, 5, 3, 1}, {0, 0, -1, 0}, &p, &n), cyl);
  ExpectVec(p, 5.1f, 5, 0.5f, 1e-4f);
  ExpectVec(n, 0, 0, 1, 1e-4f);
  // Without the cap at the lower end, a ray from below enters there and meets the upper
  // end's cap from inside.
  cyl->SetParts({cySides, cyBottom});
  ASSERT_EQ(scene.RayCastIntersect({5.1f, 5, -3, 1}, {0, 0, 1, 0}, &p, &n), cyl);
  ExpectVec(p, 5.1f, 5, 0.5f, 1e-4f);
}

// A ray that enters through a cap and leaves through the side reports the cap, where it
// entered, not the farther side crossing.
TEST(SceneRayCast, CylinderReportsTheNearerOfCapAndSide) {
  TGLScene scene;
  auto* cyl = NewChildObject<TGLCylinder>(scene.Objects());
  TVector p, n;
  TVector dir = VectorNormalize({0.5f, -1, 0, 0});
  ASSERT_EQ(scene.RayCastIntersect({0, 1.5f, 0, 1}, dir, &p, &n), cyl);
  EXPECT_NEAR(p.Y, 0.5f, 1e-4f);
  ExpectVec(n, 0, 1, 0, 1e-4f);
}

// The scene's cast skips objects by their bounding spheres; it must report exactly what
// asking every object in depth-first order would.
void BruteForce(TGLBaseSceneObject& obj, const TVector& s, const TVector& d, float& best,
                TGLBaseSceneObject*& found) {
  for (int i = 0; i < obj.Count(); ++i) {
    TGLBaseSceneObject* c = obj.Children(i);
    if (!c->Visible()) continue;
    TVector p, n;
    if (c->RayCastIntersect(s, d, &p, &n) && VectorDistance2(s, p) < best) {
      best = VectorDistance2(s, p);
      found = c;
    }
    BruteForce(*c, s, d, best, found);
  }
}

TEST(SceneRayCast, BoundingSphereShortcutsNeverChangeTheResult) {
  TGLScene scene;
  std::uint32_t seed = 7;
  auto rnd = [&](float lo, float hi) {
    seed = seed * 134775813u + 1u;
    return lo + (hi - lo) * float(seed) / 4294967296.0f;
  };
  for (int i = 0; i < 60; ++i) {
    auto* anchor = NewChildObject<TGLDummyCube>(scene.Objects());
    anchor->Position.SetPoint(rnd(-5, 5), rnd(-5, 5), rnd(-1, 1));
    anchor->SetRollAngle(rnd(-180, 180));
    TGLBaseSceneObject* o;
    switch (i % 4) {
      case 0: o = NewChildObject<TGLPlane>(anchor); break;
      case 1: o = NewChildObject<TGLCube>(anchor); break;
      case 2: o = NewChildObject<TGLCylinder>(anchor); break;
      default: o = NewChildObject<TGLLines>(anchor); break;
    }
    o->Scale.SetVector({rnd(0.2f, 2), rnd(0.2f, 2), rnd(0.2f, 2), 0});
    o->PitchBy(rnd(-180, 180));
    if (i % 5 == 0) {  // a child reaching well beyond its parent
      auto* far = NewChildObject<TGLCube>(o);
      far->Position.SetPoint(rnd(-4, 4), 3, rnd(-4, 4));
    }
  }
  // Moves after the first casts must reach the cached spheres of every ancestor.
  for (int i = 0; i < scene.Objects()->Count(); i += 3) {
    scene.RayCastIntersect({0, 0, 0, 1}, {1, 0, 0, 0});
    scene.Objects()->Children(i)->Position.SetX(rnd(-5, 5));
  }
  int hits = 0;
  for (int r = 0; r < 2000; ++r) {
    TVector s{rnd(-7, 7), rnd(-7, 7), rnd(-3, 3), 1};
    TVector d = VectorNormalize({rnd(-1, 1), rnd(-1, 1), rnd(-1, 1), 0});
    float best = 1e20f;
    TGLBaseSceneObject* expected = nullptr;
    BruteForce(*scene.Objects(), s, d, best, expected);
    ASSERT_EQ(scene.RayCastIntersect(s, d), expected) << "ray " << r;
    hits += expected != nullptr;
  }
  EXPECT_GT(hits, 500);
}

// --- render order -----------------------------------------------------------------

TEST(SceneRenderOrder, BlendedChildrenComeLastFarthestFirst) {
  TGLScene scene;
  TGLMaterialLibrary lib;
  lib.Materials.Add()->Material.BlendingMode = bmAdditive;
  auto* opaque1 = NewChildObject<TGLPlane>(scene.Objects());
  auto* nearBlend = NewChildObject<TGLPlane>(scene.Objects());
  nearBlend->Material.BlendingMode = bmTransparency;
  nearBlend->Position.SetZ(8);
  auto* alphaTest = NewChildObject<TGLPlane>(scene.Objects());
  alphaTest->Material.BlendingMode = bmAlphaTest50;
  auto* farBlend = NewChildObject<TGLPlane>(scene.Objects());
  farBlend->Material.BlendingMode = bmModulate;
  farBlend->Position.SetZ(1);
  auto* bound = NewChildObject<TGLPlane>(scene.Objects());  // blended through its library
  bound->Material.SetMaterialLibrary(&lib);
  bound->Material.SetLibMaterialName("LibMaterial");
  bound->Position.SetZ(5);
  auto* hidden = NewChildObject<TGLPlane>(scene.Objects());
  hidden->SetVisible(false);
  std::vector<TGLBaseSceneObject*> order;
  OrderChildrenForRender(*scene.Objects(), osRenderBlendedLast, {0, 0, 10, 1}, order);
  std::vector<TGLBaseSceneObject*> expected{opaque1, alphaTest, farBlend, bound, nearBlend};
  EXPECT_EQ(order, expected);
  OrderChildrenForRender(*scene.Objects(), osNone, {0, 0, 10, 1}, order);
  EXPECT_EQ(order.size(), 5u);
  EXPECT_EQ(order[1], nearBlend);
  // Every child by its distance, the two at 10 in list order either way.
  OrderChildrenForRender(*scene.Objects(), osRenderNearestFirst, {0, 0, 10, 1}, order);
  EXPECT_EQ(order, (std::vector<TGLBaseSceneObject*>{nearBlend, bound, farBlend, opaque1, alphaTest}));
  OrderChildrenForRender(*scene.Objects(), osRenderFarthestFirst, {0, 0, 10, 1}, order);
  EXPECT_EQ(order, (std::vector<TGLBaseSceneObject*>{opaque1, alphaTest, farBlend, bound, nearBlend}));
}

}  // namespace
}  // namespace orr
