// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "EntityHarness.h"
#include "core/Random.h"
#include "entities/UEntityStructures.h"

namespace orr {
namespace {

using NpcTest = EntityWorld;

TEST_F(NpcTest, TurnsByItsSpeedUntilWithinTenDegreesThenSnaps) {
  MakeRoom(20, 20);
  auto* npc = Spawn<TNPC>(Record(0, 1, 10, 10));  // speed 3: 2.7 degrees a step
  // Angle 5 lies 5 degrees left of straight ahead (+y): the point (10 - sin 5, 10 + cos 5).
  const TVector target{10 - 5 * std::sin(5 * 3.14159265f / 180), 10 + 5 * std::cos(5 * 3.14159265f / 180), 0,
                       0};
  npc->SetHeading(350);
  EXPECT_FALSE(npc->TurnTowards(target));
  EXPECT_NEAR(npc->Heading, 352.7f, 1e-3);
  EXPECT_FALSE(npc->TurnTowards(target));  // 12.3 to go
  EXPECT_TRUE(npc->TurnTowards(target));   // 9.6 to go: snaps
  EXPECT_NEAR(npc->Heading, 5, 1e-3);
  npc->SetHeading(0);
  EXPECT_FALSE(npc->TurnTowards({10, 5, 0, 0}));  // straight behind: a tie turns down
  EXPECT_NEAR(npc->Heading, 357.3f, 1e-3);
}

TEST_F(NpcTest, WalkingCountsHalfAUnitAsArrived) {
  MakeRoom(20, 20);
  auto* npc = Spawn<TNPC>(Record(0, 1, 10, 10));
  const std::pair<float, bool> cases[] = {{0.49f, true}, {0.5f, true}, {0.51f, false}, {1.5f, false}};
  for (auto [dist, arrived] : cases) {
    npc->SetPosition({10, 10, 0, 0});
    npc->SetHeading(0);
    EXPECT_EQ(npc->WalkTowards({10, 10 + dist, 0, 0}, 50), arrived) << dist;
  }
}

TEST_F(NpcTest, SeesPlayersWithinEightUnitsByRayOrAtArmsLength) {
  MakeMap({"..........", "..........", "..........", "..........", ".........."});
  TPlayerRecord record;
  auto* npc = Spawn<TNPC>(Record(0, 3, 1.5f, 2.5f));
  TBasicPlayer* none = nullptr;
  EXPECT_FALSE(npc->CanSee(none));
  record.CreateLocalPlayer(nullptr);
  PlayerRecords.push_back(nullptr);  // a slot without a record is skipped
  TLocalPlayer* player = record.Player;
  const std::pair<float, bool> cases[] = {
      {9.6f, false}, {10.0f, false}, {9.5f, true}, {8.5f, true}, {3.0f, true}};
  for (auto [x, seen] : cases) {
    player->SetPosition({x, 2.5f, 0, 0});
    EXPECT_EQ(npc->CanSee(player), seen) << x;
  }
  // A wall between them hides the player beyond arm's length but not within it.
  TGLCube* wall = NewChildObject<TGLCube>(Scene.Objects());
  wall->Position.SetPoint(4, 2.5f, 0.5f);
  player->SetPosition({6, 2.5f, 0, 0});
  EXPECT_FALSE(npc->CanSee(player));
  player->SetPosition({3.0f, 2.5f, 0, 0});
  wall->Position.SetPoint(2.3f, 2.5f, 0.5f);
  wall->Scale.SetPoint(0.2f, 1, 1);
  EXPECT_TRUE(npc->CanSee(player));
  // Arm's length is strict: exactly at it the wall hides the player.
  npc->SetPosition({1, 2.5f, 0, 0});
  player->Radius = npc->Radius = 0.55f;  // 0.55 + 0.9 + 0.55 is 2 exactly in singles
  player->SetPosition({3, 2.5f, 0, 0});
  EXPECT_FALSE(npc->CanSee(player));
  player->SetPosition({std::nextafter(3.0f, 0.0f), 2.5f, 0, 0});
  EXPECT_TRUE(npc->CanSee(player));
  PlayerRecords.clear();
}

TEST_F(NpcTest, ItsOwnBodyAndLaserSightNeverBlockItsRays) {
  MakeRoom(20, 20);
  auto* npc = Spawn<TNPC>(Record(0, 3, 10.5f, 5.5f, "7"));  // Black Angel: shows its laser
  auto record = std::make_unique<TPlayerRecord>();
  record->CreateLocalPlayer(nullptr);
  TLocalPlayer* player = record->Player;
  PlayerRecords.push_back(std::move(record));
  // A player behind or beside it, beyond arm's length, is seen all the same.
  player->SetPosition({10.5f, 9.5f, 0, 0});
  for (float heading : {0.0f, 90.0f, 180.0f, 225.0f, 270.0f}) {
    npc->SetHeading(heading);
    EXPECT_TRUE(npc->CanSee(player)) << heading;
  }
  // Engaged with its laser shown, it keeps the player in sight step after step, and the
  // laser reaches the player's body 3.6 units ahead.
  npc->SetHeading(0);
  for (int i = 0; i < 12; ++i) {
    Step();
    ASSERT_EQ(npc->State, TNpcState::Engage) << "step " << i + 1;
    ASSERT_TRUE(npc->LaserOn) << "step " << i + 1;
  }
  EXPECT_NEAR(npc->Laser->Node(1).Y + (npc->GetPosition().Y - 5.5f), 3.6f, 0.05f);
  EXPECT_TRUE(npc->Laser->Visible());
  EXPECT_GE(npc->Laser->LineColor.W, 0.1f);
  EXPECT_LE(npc->Laser->LineColor.W, 0.8f);
  // The forward ray is not stopped by the shown laser either.
  const RayHit ahead = npc->CastForwardRay();
  EXPECT_EQ(ahead.Object, player->HitCylinder);
  // Freeing the player it engages leaves no pointer to it behind.
  ASSERT_EQ(npc->Target, player);
  PlayerRecords.clear();
  EXPECT_EQ(npc->Target, nullptr);
}

TEST_F(NpcTest, EngagesAtRangeFiresAndStepsBackWhenTooClose) {
  MakeRoom(30, 12);
  auto* npc = Spawn<TNPC>(Record(0, 1, 5.5f, 5.5f, "0"));  // Patroller: closes to 5.83, fires below 7
  auto record = std::make_unique<TPlayerRecord>();
  record->CreateLocalPlayer(nullptr);
  TLocalPlayer* player = record->Player;
  PlayerRecords.push_back(std::move(record));
  player->SetPosition({5.5f, 12.3f, 0, 0});  // 6 units edge to edge, straight ahead
  npc->SetHeading(0);
  Step();
  EXPECT_EQ(npc->State, TNpcState::Engage);
  EXPECT_EQ(npc->Target, player);
  Step();
  EXPECT_GT(npc->GetPosition().Y, 5.5f);  // walks closer
  for (int i = 0; i < 20 && npc->ActionState != TCreatureAction::Fire; ++i) Step();
  EXPECT_EQ(npc->ActionState, TCreatureAction::Fire);
  const float stoodAt = npc->GetPosition().Y;
  EXPECT_LT(12.3f - stoodAt - 0.8f, 5.84f);
  player->SetPosition({5.5f, stoodAt + 1.3f, 0, 0});  // 0.5 edge to edge
  Step();
  EXPECT_LT(npc->GetPosition().Y, stoodAt);  // steps back
  // Out of sight: pursue to the last seen place, then search and give up.
  player->SetPosition({28, 10.5f, 0, 0});
  player->SetHidden(true);
  player->HitCylinder->SetVisible(false);
  Step();
  EXPECT_EQ(npc->State, TNpcState::Pursue);
  EXPECT_EQ(npc->Target, nullptr);
  EXPECT_FALSE(npc->LaserOn);
  for (int i = 0; i < 300 && npc->State == TNpcState::Pursue; ++i) Step();
  EXPECT_EQ(npc->State, TNpcState::Search);
  Step(1000);
  EXPECT_EQ(npc->State, TNpcState::Idle);
}

TEST_F(NpcTest, PatrolsItsRouteWaitingAtEachStep) {
  MakeRoom(12, 12);
  // Steps: wait 1 s at (2, 2), wait 1 s at (6, 2).
  auto* npc = Spawn<TNPC>(Record(0, 1, 2.5f, 2.5f, "2",
                                 "01002002"
                                 "01006002"));
  EXPECT_EQ(npc->Mode, TNpcMode::Patrol);
  EXPECT_EQ(npc->RouteIndex, 1);
  EXPECT_FLOAT_EQ(npc->RouteTarget.X, 2.5f);
  Step(50);
  EXPECT_NEAR(npc->GetPosition().X, 2.5f, 1e-4);  // waiting
  EXPECT_FLOAT_EQ(npc->RouteTarget.X, 2.5f);
  Step(60);
  EXPECT_FLOAT_EQ(npc->RouteTarget.X, 6.5f);
  Step(140);  // 3.5 units at 3 per second: arrived within half a unit, waiting
  EXPECT_NEAR(npc->GetPosition().X, 6.0f, 0.05f);
  EXPECT_FLOAT_EQ(npc->RouteTarget.X, 6.5f);
  Step(70);
  EXPECT_FLOAT_EQ(npc->RouteTarget.X, 2.5f);  // loops back to the first step
  // A new record for the same creature brings its route, not one added to the old.
  npc->SetSpawn(Record(0, 1, 2.5f, 2.5f, "2", "01006002"));
  EXPECT_EQ(npc->Route.Steps.size(), 1u);
}

TEST_F(NpcTest, IdleModesFallBackWhenTheyHaveNothingToDo) {
  MakeRoom(12, 12);
  auto* emptyRoute = Spawn<TNPC>(Record(0, 1, 5.5f, 5.5f, "2", ""));
  EXPECT_EQ(emptyRoute->Mode, TNpcMode::Roam);
  EXPECT_TRUE(VectorEquals(emptyRoute->RouteTarget, {0, 0, 0, 0}));  // no roam target yet
  const TVector origin{0, 0, 0, 0};
  float nearest = VectorDistance(emptyRoute->GetPosition(), origin);  // 7.78
  for (int i = 0; i < 300; ++i) {
    Step();
    nearest = std::min(nearest, VectorDistance(emptyRoute->GetPosition(), origin));
  }
  EXPECT_LT(nearest, 2.5f);  // so it heads for (0, 0) first, into the corner
  MakeMap({"#####", "#####", "#####"});
  auto* walled = Spawn<TNPC>(Record(0, 1, 1.5f, 1.5f, "1"));
  EXPECT_EQ(walled->Mode, TNpcMode::LookAround);
  auto* odd = Spawn<TNPC>(Record(0, 9, 1.5f, 1.5f, "7"));
  EXPECT_EQ(odd->Mode, static_cast<TNpcMode>(7));
  EXPECT_FLOAT_EQ(odd->Speed, NpcSpeed[0]);
  Step(10);  // an unknown mode idles without moving
  EXPECT_FLOAT_EQ(odd->GetPosition().X, 1.5f);
}

TEST_F(NpcTest, RoamingWalksToNearbyFreeCells) {
  MakeRoom(20, 20);
  RandSeed = 99;
  auto* npc = Spawn<TNPC>(Record(0, 0, 10.5f, 10.5f, "1"));
  const TVector start = npc->GetPosition();
  EXPECT_LE(std::fabs(npc->RouteTarget.X - 10.5f), 5.0f);
  EXPECT_FALSE(IsCellBlocked(int(npc->RouteTarget.X), int(npc->RouteTarget.Y)));
  Step(400);
  EXPECT_GT(VectorDistance(start, npc->GetPosition()), 0.5f);
}

TEST_F(NpcTest, LookTargetsDrawXThenYAndRoamTargetsDrawYThenX) {
  MakeRoom(20, 20);
  auto* npc = Spawn<TNPC>(Record(0, 0, 10.5f, 10.5f, "0"));
  npc->SetHeading(0);  // open floor ahead: the first look draw is kept
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    RandSeed = seed;
    const int first = Random(9), second = Random(9);
    RandSeed = seed;
    npc->PickRoamTarget();
    EXPECT_FLOAT_EQ(npc->RouteTarget.Y, 7.5f + first) << seed;  // cells 7 .. 15 from 10
    EXPECT_FLOAT_EQ(npc->RouteTarget.X, 7.5f + second) << seed;

    RandSeed = seed;
    const int dx = Random(5) - 2, dy = Random(5) - 2, pause = Random(5);
    RandSeed = seed;
    npc->PickLookTarget();
    EXPECT_FLOAT_EQ(npc->LookTarget.X, 10.5f + dx) << seed;
    EXPECT_FLOAT_EQ(npc->LookTarget.Y, 10.5f + dy) << seed;
    EXPECT_FLOAT_EQ(npc->Pause, pause + 0.5f) << seed;
  }
}

}  // namespace
}  // namespace orr
