// SPDX-License-Identifier: GPL-3.0-or-later
#include "entities/UEntityStructures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>

#include "EntityHarness.h"
#include "core/Random.h"
#include "platform/Application.h"
#include "platform/Keys.h"

namespace orr {
namespace {

using MapEntityTest = EntityWorld;

TEST_F(MapEntityTest, ARecordWithBothCoordinatesNegativeIsPlacedOnAFreeCellCentre) {
  MakeRoom(6, 5);
  RandSeed = 12345;
  TItem* random = Spawn<TItem>(Record(3, 0, -1, -1, "5"));
  const TVector p = random->GetPosition();
  EXPECT_FLOAT_EQ(p.X - std::floor(p.X), 0.5f);
  EXPECT_FLOAT_EQ(p.Y - std::floor(p.Y), 0.5f);
  EXPECT_FALSE(IsCellBlocked(static_cast<int>(p.X), static_cast<int>(p.Y)));
  TItem* given = Spawn<TItem>(Record(3, 0, -1, 4, "5"));
  EXPECT_FLOAT_EQ(given->GetPosition().X, -1);
  EXPECT_FLOAT_EQ(given->GetPosition().Y, 4);
}

TEST_F(MapEntityTest, RandomPlacementOnAMapWithoutAFreeCellGivesUpAndSaysSo) {
  MakeMap({"###", "###"});
  MapEntities.push_back(std::make_unique<TItem>());
  TMapEntity* item = MapEntities.back().get();
  item->SetPosition({7, 8, 0, 0});
  EXPECT_FALSE(item->PlaceRandomly());
  EXPECT_FLOAT_EQ(item->GetPosition().X, 7);
  ASSERT_FALSE(EventLog.empty());
  EXPECT_NE(EventLog.back().find("No free cell"), std::string::npos);
}

TEST_F(MapEntityTest, RandomPlacementAvoidsCellsWhoseCornerABodyCovers) {
  MakeMap({"...", "..."});
  // A body on every corner but (2, 1)'s: only cell (2, 1) is free.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      if (!(x == 2 && y == 1)) Spawn<TCreature>(Record(0, 0, x, y))->SetPosition({float(x), float(y), 0, 0});
  MapEntities.push_back(std::make_unique<TItem>());
  ASSERT_TRUE(MapEntities.back()->PlaceRandomly());
  EXPECT_FLOAT_EQ(MapEntities.back()->GetPosition().X, 2.5f);
  EXPECT_FLOAT_EQ(MapEntities.back()->GetPosition().Y, 1.5f);
}

TEST_F(MapEntityTest, TakingGivesWhatTheItemHoldsAndHidesItWhenEmpty) {
  MakeRoom(5, 5);
  struct TCase {
    const char* Amount;
    int Wanted;
    int Taken;
    int Left;
    bool Hidden;
  };
  const TCase cases[] = {{"10", 10, 10, 10, true},
                         {"10", 15, 10, 10, true},
                         {"10", 3, 3, 7, false},
                         {"0", 5, 0, 0, true},
                         {"10", -4, 0, 10, false},
                         // The amount is kept in 16 bits.
                         {"65546", 15, 10, 10, true},
                         {"-1", 3, 3, 65532, false}};
  for (const auto& c : cases) {
    TItem* item = Spawn<TItem>(Record(6, 0, 2, 2, c.Amount));
    EXPECT_EQ(item->Take(c.Wanted), c.Taken) << c.Amount << " " << c.Wanted;
    EXPECT_EQ(item->Amount, c.Left);
    EXPECT_EQ(item->Hidden, c.Hidden);
    EXPECT_EQ(item->Sprite->Visible(), !c.Hidden);
  }
}

TEST_F(MapEntityTest, PickUpTextsNameWhatWasTaken) {
  MakeRoom(5, 5);
  struct TCase {
    std::uint16_t Kind, Index;
    const char* Amount;
    int Wanted;
    const char* Text;
  };
  const TCase cases[] = {{3, 1, "25", 10, "Medkit, Health +10%"},
                         {4, 0, "0", 10, "Armor Pad, Armor +0%"},
                         {5, 2, "1", 1, "1x Shotgun"},
                         {6, 0, "50", 60, "50x Small Bullets"}};
  for (const auto& c : cases) {
    TItem* item = Spawn<TItem>(Record(c.Kind, c.Index, 2, 2, c.Amount));
    item->Take(c.Wanted);
    ASSERT_NE(item->FlyText, nullptr);
    EXPECT_EQ(item->FlyText->Label->Text(), c.Text);
  }
}

TEST_F(MapEntityTest, ItemSpritesComeFromTheStaticLibraryByKind) {
  MakeRoom(5, 5);
  TGLMaterialLibrary library;
  library.Materials.Add()->SetName("Med_1.bmp");
  library.Materials.Add()->SetName("AmmoPack.bmp");
  EntityServices.StaticSprites = &library;
  EXPECT_EQ(Spawn<TItem>(Record(3, 1, 2, 2, "1"))->Sprite->Material.LibMaterialName(), "Med_1.bmp");
  EXPECT_EQ(Spawn<TItem>(Record(6, 3, 2, 2, "1"))->Sprite->Material.LibMaterialName(), "AmmoPack.bmp");
  EXPECT_NE(Spawn<TItem>(Record(6, 3, 2, 2, "1"))->Sprite->Material.LibMaterial(), nullptr);
  EXPECT_EQ(Spawn<TItem>(Record(4, 2, 2, 2, "1"))->Sprite->Material.LibMaterial(), nullptr);
  EXPECT_EQ(Spawn<TItem>(Record(5, 7, 2, 2, "1"))->Sprite->Material.LibMaterialName(), "WeaponCrate.bmp");
  ResetEntities();
}

TEST_F(MapEntityTest, AnItemAmountThatIsNotANumberFailsTheSpawn) {
  MakeRoom(5, 5);
  MapEntities.push_back(std::make_unique<TItem>());
  EXPECT_THROW(MapEntities.back()->SetSpawn(Record(3, 0, 2, 2, "lots")), EConvertError);
}

TEST_F(MapEntityTest, ASecondPickUpReplacesTheFirstTextAndAHiddenItemShowsNone) {
  MakeRoom(5, 5);
  TItem* item = Spawn<TItem>(Record(6, 0, 2, 2, "10"));
  item->Take(3);
  EXPECT_TRUE(Registered(item->FlyText));
  EXPECT_EQ(Steps.size(), 2u);
  item->Take(30);
  EXPECT_EQ(Steps.size(), 2u);  // the old text left the step list
  ASSERT_NE(item->FlyText, nullptr);
  EXPECT_EQ(item->FlyText->Label->Text(), "7x Small Bullets");
  TFlyText* second = item->FlyText;
  EXPECT_EQ(item->Take(5), 0);
  EXPECT_EQ(item->FlyText, second);
}

TEST_F(MapEntityTest, AFlyTextRisesForOneHundredFiftyStepsThenHides) {
  TFlyText text("50x Small Bullets", {1, 1, 0, 0});
  Step(150);
  EXPECT_TRUE(text.Label->Visible());
  EXPECT_NEAR(text.Label->Position.Z(), 15.0, 0.001);
  Step(1);
  EXPECT_FALSE(text.Label->Visible());
  EXPECT_TRUE(text.Label->ObjectStyle.NoDepthTest);
  EXPECT_EQ(text.Label->Alignment(), taCenter);
}

TEST_F(MapEntityTest, FreedEntitiesLeaveTheStepListAndTheScene) {
  MakeRoom(5, 5);
  TItem* item = Spawn<TItem>(Record(6, 0, 2, 2, "10"));
  item->Take(1);
  TNPC* npc = Spawn<TNPC>(Record(0, 1, 3, 3));
  EXPECT_EQ(Steps.size(), 3u);
  const int objects = Scene.Objects()->Count();
  ASSERT_EQ(objects, 4);  // item anchor, fly text, then the NPC's marker before its anchor
  EXPECT_EQ(Scene.Objects()->Children(2), npc->Marker);
  EXPECT_EQ(Scene.Objects()->Children(3), npc->Anchor);
  ResetEntities();
  EXPECT_TRUE(Steps.empty());
  EXPECT_EQ(Scene.Objects()->Count(), 0);
}

TEST_F(MapEntityTest, ItemsSpinAndDoNotCountDownARespawn) {
  MakeRoom(5, 5);
  TItem* item = Spawn<TItem>(Record(6, 0, 2, 2, "10"));
  EXPECT_FLOAT_EQ(item->Sprite->Position.Z(), 0.1f);
  item->SetRespawnDelay(1);
  item->Take(4);
  item->Take(10);
  Step(200);
  EXPECT_TRUE(item->Hidden);
  item->SetHidden(false);
  EXPECT_EQ(item->Amount, 10);  // full again, not the 6 it held when last taken
  Step(100);
  EXPECT_NEAR(std::fabs(item->Sprite->RollAngle()), 45, 0.1);
}

TEST_F(MapEntityTest, AHiddenBodyKeepsStillAndComesBackAfterItsRespawnDelay) {
  MakeRoom(10, 10);
  auto* body = Spawn<TPhysEntity>(Record(0, 0, 4.5f, 4.5f));
  body->SetRespawnDelay(300);  // clamped to 255
  EXPECT_EQ(body->RespawnDelay, 255);
  body->SetRespawnDelay(1);
  body->SetHidden(true);
  EXPECT_FALSE(body->HitCylinder->Visible());
  body->Velocity = {0.02f, 0, 0, 0};
  Step(100);  // 100 x 0.01 in single precision is still short of 1 s
  EXPECT_TRUE(body->Hidden);
  EXPECT_FLOAT_EQ(body->GetPosition().X, 4.5f);
  EXPECT_FLOAT_EQ(body->Velocity.X, 0.02f);  // a hidden body keeps its velocity
  Step(1);
  EXPECT_FALSE(body->Hidden);
  EXPECT_TRUE(body->Sprite->Visible());
  EXPECT_TRUE(body->HitCylinder->Visible());
  EXPECT_FLOAT_EQ(body->RespawnTimer, 0);
  EXPECT_FLOAT_EQ(body->GetPosition().X, 4.52f);  // and moves on the step it comes back
}

TEST(PlayerRecord, ANewRecordCarriesEveryWeaponAndFiftyRoundsOfEach) {
  TPlayerRecord record;
  for (auto w : record.Weapons) EXPECT_EQ(w, 1);
  for (auto a : record.Ammo) EXPECT_EQ(a, 50);
  EXPECT_EQ(record.SelectedWeapon, 0);
  EXPECT_EQ(record.Player, nullptr);
}

// ---- Motion and collision -----------------------------------------------------------------

using MotionTest = EntityWorld;

TEST_F(MotionTest, AWallStopsABodyFourTenthsFromItsEdge) {
  MakeRoom(8, 8);  // walls at x = 7: the free area ends at 6.6
  auto* body = Spawn<TCreature>(Record(0, 0, 5.5f, 3.5f));
  for (int i = 0; i < 100; ++i) {
    body->Velocity = {0.03f, 0, 0, 0};
    Step();
  }
  EXPECT_LT(body->GetPosition().X, 6.6f);
  EXPECT_GT(body->GetPosition().X, 6.56f);
}

TEST_F(MotionTest, AWallBlocksACentreStrictlyWithinFourTenthsOfItAtTheExactBound) {
  // Walls in columns 7 and 10: the free strip between them is 8.4 < x < 9.6 exactly. The
  // singles nearest those bounds lie 9.6000004 and 8.3999996, just inside the walls' reach.
  MakeMap(std::vector<std::string>(7, ".......#..#........."));
  auto* body = Spawn<TPhysEntity>(Record(0, 0, 9, 3.5f));
  const std::pair<float, bool> cases[] = {{9.6f, true},
                                          {std::nextafter(9.6f, 0.0f), false},
                                          {8.4f, true},
                                          {std::nextafter(8.4f, 100.0f), false},
                                          {9, false}};
  for (auto [x, blocked] : cases) {
    body->SetPosition({x, 3.5f, 0, 0});
    EXPECT_EQ(body->IsBlocked({0, 0, 0, 0}), blocked) << std::setprecision(9) << x;
  }
}

TEST_F(MotionTest, ADiagonalStepIntoAWallSlidesAlongIt) {
  MakeRoom(8, 8);
  auto* body = Spawn<TCreature>(Record(0, 0, 3.5f, 6.59f));  // against the wall at y = 7
  body->Velocity = {0.03f, 0.03f, 0, 0};
  EXPECT_TRUE(body->IsBlocked(body->Velocity));
  TVector r = body->ResolveMotion(body->Velocity);
  EXPECT_FLOAT_EQ(r.X, 0.03f);
  EXPECT_FLOAT_EQ(r.Y, 0);
  body->SetPosition({6.59f, 6.59f, 0, 0});  // in the corner: blocked on both axes
  r = body->ResolveMotion({0.03f, 0.03f, 0, 0});
  EXPECT_TRUE(VectorEquals(r, {0, 0, 0, 0}));
  // A bouncing body comes back off the wall it meets, the other part kept, at its share.
  body->BouncePercent = 50;
  for (const auto& [at, want] : {std::pair{TVector{3.5f, 6.59f, 0, 0}, TVector{0.015f, -0.015f, 0, 0}},
                                 std::pair{TVector{6.59f, 3.5f, 0, 0}, TVector{-0.015f, 0.015f, 0, 0}}}) {
    body->SetPosition(at);
    r = body->ResolveMotion({0.03f, 0.03f, 0, 0});
    EXPECT_TRUE(VectorEquals(r, want)) << r.X << ", " << r.Y << ", " << r.Z << ", " << r.W;
  }
  body->BouncePercent = 0;
  body->SetPosition({6.59f, 6.59f, 0, 0});
  body->Velocity = {0, 0, 0, 0};
  EXPECT_EQ(body->FreeMotionPercent({3, 3, 0, 0}), 0);
  EXPECT_EQ(body->FreeMotionPercent({0, 0, 0, 0}), 100);
  EXPECT_EQ(body->FreeMotionPercent({-3, 0, 0, 0}), 100);
}

TEST_F(MotionTest, BodiesKeepTwoRadiiApartButIgnoreOneStandingOnThem) {
  MakeRoom(10, 5);
  auto* a = Spawn<TCreature>(Record(0, 0, 2.5f, 2.5f));
  auto* b = Spawn<TCreature>(Record(0, 0, 5.5f, 2.5f));
  for (int i = 0; i < 200; ++i) {
    a->Velocity = {0.03f, 0, 0, 0};
    Step();
  }
  EXPECT_GE(VectorDistance(a->GetPosition(), b->GetPosition()), 0.8f - 1e-5f);
  // Bodies exactly two radii apart touch without blocking; a hair closer they block.
  a->Radius = b->Radius = 0.5f;
  a->SetPosition({3, 2.5f, 0, 0});
  b->SetPosition({4, 2.5f, 0, 0});
  EXPECT_FALSE(a->IsBlocked({0, 0, 0, 0}));
  EXPECT_TRUE(a->IsBlocked({0.001f, 0, 0, 0}));
  b->SetPosition(a->GetPosition());
  EXPECT_FALSE(a->IsBlocked({0.03f, 0, 0, 0}));
}

TEST_F(MotionTest, OutsideTheMapNothingMoves) {
  MakeRoom(5, 5);
  auto* body = Spawn<TCreature>(Record(0, 0, -1, 2));
  body->Velocity = {0.03f, 0.03f, 0, 0};
  Step();
  EXPECT_FLOAT_EQ(body->GetPosition().X, -1);
  EXPECT_FLOAT_EQ(body->GetPosition().Y, 2);
}

TEST_F(MotionTest, AccelerationIsCappedAtOneUnitPerStep) {
  MakeRoom(5, 5);
  auto* body = Spawn<TCreature>(Record(0, 0, 2, 2));
  body->Velocity = {0.95f, -0.95f, 0, 0};
  const TVector v = body->Accelerate({100, -100, 3, 0});
  EXPECT_FLOAT_EQ(v.X, 1);
  EXPECT_FLOAT_EQ(v.Y, -1);
  EXPECT_FLOAT_EQ(v.Z, 0.03f);
}

TEST_F(MotionTest, TheForwardRayMeetsTheWallAheadAndMissesInOpenSpace) {
  MakeRoom(10, 10);
  auto* looker = Spawn<TCreature>(Record(0, 0, 3, 3));
  auto* other = Spawn<TCreature>(Record(0, 0, 3, 6));
  RayHit hit = looker->CastForwardRay();  // heading 0 faces +y
  EXPECT_EQ(hit.Object, other->HitCylinder);
  EXPECT_NEAR(hit.Point.Y, 5.6f, 1e-4);
  looker->SetHeading(180);
  EXPECT_EQ(looker->CastForwardRay().Object, nullptr);
  EXPECT_EQ(looker->CastRayToward(other->GetPosition()).Object, other->HitCylinder);
}

// ---- Creatures and players ----------------------------------------------------------------

using CreatureTest = EntityWorld;

TEST_F(CreatureTest, WalkingMovesThreeUnitsPerSecondAndStopsOnRelease) {
  MakeRoom(10, 10);
  auto* c = Spawn<TCreature>(Record(0, 0, 4.5f, 2.5f));
  EXPECT_EQ(c->Health, 0);
  EXPECT_FLOAT_EQ(c->Sprite->Position.Z(), 0.9f);
  for (int i = 0; i < 100; ++i) {
    c->Move(TMoveDirection::Forward);
    Step();
  }
  EXPECT_NEAR(c->GetPosition().X, 4.5f, 1e-4);
  EXPECT_NEAR(c->GetPosition().Y, 5.5f, 1e-3);
  Step();
  EXPECT_NEAR(c->GetPosition().Y, 5.5f, 1e-3);
  c->SetHeading(90);  // forward now runs toward -x
  TVector v;
  ASSERT_TRUE(c->MoveVector(TMoveDirection::Forward, v));
  EXPECT_NEAR(v.X, -3, 1e-5);
  EXPECT_FALSE(c->MoveVector(static_cast<TMoveDirection>(4), v));
}

TEST_F(CreatureTest, HoldingFireRunsTheWeaponCycle) {
  MakeRoom(30, 30);
  struct TCase {
    std::uint8_t Weapon;
    int FirstShotStep;
  };
  for (const TCase& c : {TCase{2, 101}, TCase{3, 10}}) {
    auto* creature = Spawn<TCreature>(Record(0, 0, 15, 15));
    creature->Weapon = c.Weapon;
    int firstShot = 0, backToAim = 0;
    for (int step = 1; step <= 200 && backToAim == 0; ++step) {
      creature->RequestAction(TCreatureAction::Fire);
      const TWeaponPhase phase = creature->WeaponPhase;
      creature->Progress();
      if (step == 1) {
        EXPECT_EQ(creature->ActionState, TCreatureAction::Fire);
      }
      if (phase == TWeaponPhase::Reloading && creature->WeaponPhase == TWeaponPhase::ShotShown)
        firstShot = step;
      if (firstShot && phase == TWeaponPhase::ShotShown && creature->WeaponPhase == TWeaponPhase::Reloading)
        backToAim = step;
    }
    EXPECT_EQ(firstShot, c.FirstShotStep) << int(c.Weapon);
    EXPECT_EQ(backToAim - firstShot, 11) << int(c.Weapon);
    ResetEntities();
    Steps.clear();
  }
}

TEST_F(CreatureTest, TheWalkingRowShowsTheFrameBeforeEachAdvanceAtARateSetBySpeed) {
  MakeRoom(10, 10);
  struct TCase {
    float Speed;
    int StepsPerFrame;
  };
  for (const TCase& c : {TCase{1, 11}, TCase{2, 5}, TCase{3, 4}, TCase{4, 3}}) {
    auto* creature = Spawn<TCreature>(Record(0, 0, 5, 5));
    creature->Speed = c.Speed;
    std::vector<int> changedAt;
    std::string shown, names;
    for (int step = 1; step <= 11 * c.StepsPerFrame; ++step) {
      creature->RequestAction(TCreatureAction::Walk);
      creature->Progress();
      EXPECT_EQ(creature->AnimState, TCreatureAction::Walk);
      if (creature->Sprite->Material.LibMaterialName() != shown) {
        shown = creature->Sprite->Material.LibMaterialName();
        names += shown + " ";
        changedAt.push_back(step);
      }
    }
    EXPECT_EQ(names, "0 1 2 3 4 5 6 7 8 1 2 ") << c.Speed;
    for (std::size_t i = 0; i < changedAt.size(); ++i)
      EXPECT_EQ(changedAt[i], int(i + 1) * c.StepsPerFrame) << c.Speed;
    ResetEntities();
    Steps.clear();
  }
}

TEST_F(CreatureTest, FireIsRefusedWithAnObstacleTooCloseAhead) {
  MakeRoom(10, 10);
  TGLCube* wall = NewChildObject<TGLCube>(Scene.Objects());
  wall->Position.SetPoint(5, 6.4f, 0.5f);  // its face at y = 5.9
  auto* c = Spawn<TCreature>(Record(0, 0, 5, 5));
  c->Weapon = 1;  // Suppressor: 0.6 + radius + 0.05 from the hit point
  c->RequestAction(TCreatureAction::Fire);
  EXPECT_FALSE(c->Requested(TCreatureAction::Fire));
  c->Weapon = 0;  // fists are never refused
  c->RequestAction(TCreatureAction::Fire);
  EXPECT_TRUE(c->Requested(TCreatureAction::Fire));
  // Refused up to 1.05 units from the hit point (0.6 + 0.4 + 0.05), allowed beyond; the ray
  // runs at a slant, so these places are 1.045 and 1.055 units along it from the face.
  c->Weapon = 1;
  for (auto [y, refused] : {std::pair{4.957f, true}, {4.946f, false}, {4.0f, false}}) {
    c->SetPosition({5, y, 0, 0});
    c->ActionRequests = 0;
    c->RequestAction(TCreatureAction::Fire);
    EXPECT_EQ(c->Requested(TCreatureAction::Fire), !refused) << y;
  }
}

TEST_F(CreatureTest, ThePlayerPicksUpWhatItNeeds) {
  MakeRoom(10, 10);
  TPlayerRecord record;
  TItem* health = Spawn<TItem>(Record(3, 1, 2.5f, 2.5f, "25"));
  TItem* crate = Spawn<TItem>(Record(5, 2, 2.5f, 2.5f, "1"));
  TItem* ammo = Spawn<TItem>(Record(6, 0, 2.5f, 2.5f, "60"));
  TItem* badAmmo = Spawn<TItem>(Record(6, 9, 2.5f, 2.5f, "60"));
  TItem* badCrate = Spawn<TItem>(Record(5, 9, 2.5f, 2.5f, "1"));
  TItem* armour = Spawn<TItem>(Record(4, 1, 2.5f, 2.5f, "30"));
  TBasicPlayer player(&record);
  player.SetPosition({2.5f, 2.5f, 0, 0});
  player.SetHealth(90);
  player.SetArmour(80);
  player.Progress();
  EXPECT_EQ(player.Health, 100);
  EXPECT_EQ(record.Health, 100);
  EXPECT_EQ(health->Amount, 15);
  EXPECT_EQ(player.Armour, 100);  // what armour lacks, whatever health lacks
  EXPECT_EQ(record.Armour, 100);
  EXPECT_EQ(armour->Amount, 10);
  EXPECT_FALSE(health->Hidden);
  EXPECT_FALSE(crate->Hidden);
  EXPECT_EQ(record.Weapons[2], 1);
  EXPECT_TRUE(ammo->Hidden);
  EXPECT_EQ(record.Ammo[0], 110);
  EXPECT_FALSE(badAmmo->Hidden);
  EXPECT_FALSE(badCrate->Hidden);
  player.Progress();  // at full health the medkit is left alone, its text unchanged
  EXPECT_EQ(health->Amount, 15);
  EXPECT_EQ(health->FlyText->Label->Text(), "Medkit, Health +10%");
  // An item is reached when the centres are nearer than half the two radii, not at that.
  player.SetHealth(50);
  player.Radius = health->Radius = 0.5f;
  health->SetPosition({3, 2.5f, 0, 0});
  player.Progress();
  EXPECT_FALSE(health->Hidden);
  health->SetPosition({2.99f, 2.5f, 0, 0});
  player.Progress();
  EXPECT_TRUE(health->Hidden);
  for (const char* warning : {"No ammunition type 9", "No weapon number 9; its crate cannot be taken"}) {
    int warnings = 0;
    for (const auto& line : EventLog) warnings += line.find(warning) != std::string::npos;
    EXPECT_EQ(warnings, 1) << warning;
  }
}

TEST_F(CreatureTest, APlayerCannotFireAWeaponWithoutItsAmmunition) {
  MakeRoom(10, 10);
  TPlayerRecord record;
  TBasicPlayer player(&record);
  record.SelectWeapon(2);
  player.WeaponChanged();
  EXPECT_EQ(player.Weapon, 2);
  record.Ammo[2] = 0;  // shotgun shells
  player.RequestAction(TCreatureAction::Fire);
  EXPECT_FALSE(player.Requested(TCreatureAction::Fire));
  record.Ammo[2] = 5;
  record.SelectedWeapon = 8;
  player.WeaponChanged();
  record.Ammo[5] = 0;  // the detonator reads C4, not a seventh ammunition type
  player.RequestAction(TCreatureAction::Fire);
  EXPECT_FALSE(player.Requested(TCreatureAction::Fire));
  record.SelectedWeapon = 0;
  player.WeaponChanged();
  for (auto& a : record.Ammo) a = 0;
  player.RequestAction(TCreatureAction::Fire);
  EXPECT_TRUE(player.Requested(TCreatureAction::Fire));
  // Every weapon that uses ammunition, type 0 too, is refused without it and fires with it.
  player.SetPosition({5, 5, 0, 0});  // nothing close ahead
  for (int w = 1; w < WeaponCount; ++w) {
    record.SelectedWeapon = static_cast<std::uint8_t>(w);
    player.WeaponChanged();
    player.ActionRequests = 0;
    player.RequestAction(TCreatureAction::Fire);
    EXPECT_FALSE(player.Requested(TCreatureAction::Fire)) << w;
    record.Ammo[static_cast<std::size_t>(WeaponTable[w].AmmoType)] = 1;
    player.RequestAction(TCreatureAction::Fire);
    EXPECT_TRUE(player.Requested(TCreatureAction::Fire)) << w;
    record.Ammo[static_cast<std::size_t>(WeaponTable[w].AmmoType)] = 0;
  }
}

// The indexed search finds an item on the far side of a grid cell's edge (the grids' cells
// are 2 units a side) as near as the plain distance test says: the player at distances
// either side of the reach, across the edge x = 4 and the corner (4, 4).
TEST_F(CreatureTest, AnItemAcrossAGridCellEdgeIsPickedUpAtTheSameDistance) {
  MakeRoom(12, 12);
  TPlayerRecord record;
  TBasicPlayer player(&record);
  for (const float dy : {0.0f, 0.3f})
    for (const float dx : {0.05f, 0.2f, 0.45f, 0.55f, 0.9f}) {
      TItem* item = Spawn<TItem>(Record(3, 1, 4.02f, 4 - dy / 2, "5"));
      player.SetPosition({4.02f - dx, 4 + dy / 2, 0, 0});
      player.SetHealth(50);
      player.Progress();
      const bool touching = std::hypot(dx, dy) < player.Radius / 2 + item->Radius / 2;
      EXPECT_EQ(item->Hidden, touching) << dx << " " << dy;
      item->SetHidden(true);
    }
}

TEST_F(CreatureTest, TheLocalPlayerWalksAndTurnsWithTheArrowKeys) {
  MakeRoom(12, 12);
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend* keys = backend.get();
  TApplication app(std::move(backend));
  TPlayerRecord record;
  record.CreateLocalPlayer(nullptr);
  TLocalPlayer* p = record.Player;
  ASSERT_NE(p, nullptr);
  p->Keys = {.Forward = VK_UP, .Back = VK_DOWN, .TurnLeft = VK_LEFT, .TurnRight = VK_RIGHT, .Fire = VK_SPACE};
  p->SetPosition({5.5f, 3.5f, 0, 0});
  keys->SetKeyDown(VK_UP, true);
  Step(100);
  EXPECT_NEAR(p->GetPosition().Y, 6.5f, 1e-3);
  keys->SetKeyDown(VK_DOWN, true);
  Step(10);
  EXPECT_NEAR(p->GetPosition().Y, 6.5f, 1e-3);
  EXPECT_EQ(p->AnimState, TCreatureAction::Walk);
  keys->SetKeyDown(VK_UP, false);
  keys->SetKeyDown(VK_DOWN, false);
  keys->SetKeyDown(VK_LEFT, true);
  Step(30);
  EXPECT_FLOAT_EQ(p->Heading, 90);
}

}  // namespace
}  // namespace orr
