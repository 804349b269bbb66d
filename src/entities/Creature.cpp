// SPDX-License-Identifier: GPL-3.0-or-later
// Creatures (walking, animation rows, weapon cycle, laser sight) and the players.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/EntitiesLocal.h"
#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"
#include "raster/TImage32.h"
#include "scene/GLViewer.h"
#include "core/PortableMath.h"

namespace orr {

// ---- TCreatureMarker -----------------------------------------------------------------------

TCreatureMarker::TCreatureMarker() {
  Marker = NewChildObject<TGLCube>(SceneRoot());
  Marker->Direction.SetVector({0, 0, 1, 0});
  Marker->Position.SetZ(0.03f);
  Marker->Scale.SetPoint(0.3f, 0.3f, 0.1f);
}

TCreatureMarker::~TCreatureMarker() {
  if (Marker != nullptr) Marker->Free();
}

// ---- TCreature -----------------------------------------------------------------------------

TCreature::TCreature() {
  AnimState = TCreatureAction::Idle;
  ActionState = TCreatureAction::Idle;
  SetHeight(0.9f);
  AnimTimer = 0;
  Speed = 3;
  Sprite->Scale.SetX(3);
  Sprite->Scale.SetY(4);
  Laser = NewChildObject<TGLLines>(Anchor);
  LaserLength = 5;
  Laser->LineColor = {1, 0, 0, 1};
  Laser->SetDivision(1);
  Laser->AddNode(0, Radius, 0);
  Laser->AddNode(0, LaserLength, 0);
  Laser->NodesAspect = lnaInvisible;
  Laser->SetShowAxes(false);
  Laser->Position.SetZ(Height);
  Laser->SetVisible(false);
  LaserOn = false;
}

TCreature::~TCreature() = default;

void TCreature::SetHeight(float height) {
  TPhysEntity::SetHeight(height);
  if (Laser != nullptr) Laser->Position.SetZ(height);
}

void TCreature::ApplyFriction() {
  TPhysEntity::ApplyFriction();
  if (VectorLength(Velocity) < Speed * StepSecondsF) Velocity = {0, 0, 0, 0};
}

void TCreature::SetHealth(std::int32_t value) {
  Health = static_cast<std::uint8_t>(std::clamp(value, 0, 100));
}

void TCreature::SetArmour(std::int32_t value) {
  Armour = static_cast<std::uint8_t>(std::clamp(value, 0, 100));
}

void TCreature::RequestAction(TCreatureAction action) {
  if (static_cast<unsigned>(action) >= ActionRequestBits) return;
  if (action == TCreatureAction::Fire) {
    if (Weapon >= WeaponCount) return;
    const RayHit hit = CastForwardRay();
    // A ray that meets nothing finds open space ahead: nothing is too close to fire.
    if (hit.Object != nullptr &&
        VectorDistance(GetPosition(), hit.Point) - Radius - 0.05f <= WeaponTable[Weapon].MinDistance)
      return;
  }
  ActionRequests = static_cast<std::uint8_t>(ActionRequests | (1u << static_cast<unsigned>(action)));
}

bool TCreature::MoveVector(TMoveDirection direction, TVector& out) const {
  float angle;
  switch (direction) {
    case TMoveDirection::Forward: angle = Heading + 90; break;
    case TMoveDirection::Right: angle = Heading; break;
    case TMoveDirection::Back: angle = Heading - 90; break;
    case TMoveDirection::Left: angle = Heading + 180; break;
    default: return false;
  }
  const float radians = angle * std::numbers::pi_v<float> / 180;
  out = {CosF(radians) * Speed, SinF(radians) * Speed, 0, 0};
  return true;
}

void TCreature::Move(TMoveDirection direction) {
  TVector v;
  if (!MoveVector(direction, v)) return;
  Velocity = Accelerate(v);
  RequestAction(TCreatureAction::Walk);
}

void TCreature::Progress() { CreatureProgress(); }

void TCreature::CreatureProgress() {
  TPhysEntity::Progress();
  if (Hidden) return;

  if (LaserOn) {
    const RayHit hit = CastForwardRay();
    float reach = LaserLength;
    if (hit.Object != nullptr) {
      TVector point = hit.Point;
      point.W = 1;
      reach = std::clamp(Anchor->AbsoluteToLocal(point).Y, 0.0f, LaserLength);
    }
    TVector end = Laser->Node(1);
    end.Y = reach;
    Laser->SetNode(1, end);
    Laser->LineColor.W = std::clamp(static_cast<float>(RandomReal()), 0.1f, 0.8f);
    Laser->SetVisible(true);
  } else {
    Laser->SetVisible(false);
  }

  using enum TCreatureAction;
  if (Attacking() && !Requested(Fire)) ActionState = Idle;
  if (!Attacking()) ActionState = Requested(Fire) ? Fire : Requested(Walk) ? Walk : Idle;
  AnimState = ActionState;

  // The step and the frame time are taken in double precision and the sum is stored as a
  // single: a frame then lasts 11, 5, 4 or 3 steps at speeds 1 to 4 (with 0.01f the sum of
  // five steps falls just short of 0.05 and speed 2 would take 6).
  AnimTimer = static_cast<float>(AnimTimer + StepSeconds);
  if (AnimTimer > 0.1 / Speed) {
    AnimTimer = 0;
    const std::string shown = std::to_string(Frame);
    if (Sprite->Material.LibMaterialName() != shown) Sprite->Material.SetLibMaterialName(shown);
    const int row = static_cast<int>(AnimState) & 3;
    const int first = AnimFirstFrame[row];
    const int count = AnimFrameCount[row];
    Frame = static_cast<std::uint8_t>(WrapInRange(Frame + 1, first, first + count - 1));
  }

  if (Attacking() && Weapon < WeaponCount) {
    WeaponTimer += StepSecondsF;
    if (WeaponPhase == TWeaponPhase::Reloading) {
      if (WeaponTimer >= 1 / WeaponTable[Weapon].FireRate) {
        WeaponPhase = TWeaponPhase::ShotShown;
        ActionState = Fire;  // a shot
        WeaponTimer = 0;
        return;
      }
    } else if (WeaponPhase == TWeaponPhase::ShotShown) {
      if (WeaponTimer >= 0.1f && ActionState == Fire) {
        ActionState = Aim;
        WeaponPhase = TWeaponPhase::Reloading;
        WeaponTimer = 0;
        return;
      }
    }
  }
  ActionRequests = 0;
}

// ---- TBasicPlayer --------------------------------------------------------------------------

TBasicPlayer::TBasicPlayer(TPlayerRecord* record) : PlayerRecord(record) {
  SetHeight(0.9f);
  LaserOn = false;
  Marker->SetVisible(false);
  PlaceRandomly();
}

TBasicPlayer::~TBasicPlayer() {
  for (const auto& entity : MapEntities) {
    auto* npc = dynamic_cast<TNPC*>(entity.get());
    if (npc != nullptr && npc->Target == this) npc->Target = nullptr;
  }
}

void TBasicPlayer::SetHealth(std::int32_t value) {
  TCreature::SetHealth(value);
  if (PlayerRecord != nullptr) PlayerRecord->Health = Health;
}

void TBasicPlayer::SetArmour(std::int32_t value) {
  TCreature::SetArmour(value);
  if (PlayerRecord != nullptr) PlayerRecord->Armour = Armour;
}

void TBasicPlayer::RequestAction(TCreatureAction action) {
  if (action == TCreatureAction::Fire && PlayerRecord != nullptr) {
    if (Weapon >= WeaponCount || PlayerRecord->Weapons[Weapon] == 0) return;
    const int ammoType = WeaponTable[Weapon].AmmoType;
    if (ammoType >= 0 && PlayerRecord->Ammo[ammoType] == 0) return;
  }
  TCreature::RequestAction(action);
}

void TBasicPlayer::WeaponChanged() {
  if (PlayerRecord != nullptr) Weapon = PlayerRecord->SelectedWeapon;
}

void TBasicPlayer::PickUp(TItem& item) {
  if (PlayerRecord == nullptr) return;
  TPlayerRecord& record = *PlayerRecord;
  const std::uint16_t i = item.Spawn.Index;
  switch (item.Spawn.EntityKind()) {
    case TEntityKind::HealthItem:
      if (Health < 100) SetHealth(Health + item.Take(100 - Health));
      break;
    case TEntityKind::ArmourItem:
      if (Armour < 100) SetArmour(Armour + item.Take(100 - Armour));
      break;
    case TEntityKind::Weapon:
      if (i >= WeaponCount) {
        LogWarningOnce("No weapon number " + std::to_string(i) + "; its crate cannot be taken");
      } else if (const std::uint8_t capacity = WeaponTable[i].Capacity; record.Weapons[i] < capacity) {
        record.Weapons[i] =
            static_cast<std::uint8_t>(record.Weapons[i] + item.Take(capacity - record.Weapons[i]));
      }
      break;
    case TEntityKind::Ammunition:
      if (i >= AmmoTypeCount) {
        LogWarningOnce("No ammunition type " + std::to_string(i) + "; its pack cannot be taken");
      } else if (record.Ammo[i] < AmmoCapacity[i]) {
        record.Ammo[i] =
            static_cast<std::uint16_t>(record.Ammo[i] + item.Take(AmmoCapacity[i] - record.Ammo[i]));
      }
      break;
    default: break;
  }
}

void TBasicPlayer::Progress() {
  if (Hidden) return;
  const TVector here = GetPosition();
  auto touch = [&](TItem& item) {
    if (!item.Hidden && VectorDistance(item.GetPosition(), here) < Radius / 2 + item.Radius / 2) PickUp(item);
  };
  if (!SpatialIndexEnabled) {
    for (const auto& entity : MapEntities)
      if (auto* item = dynamic_cast<TItem*>(entity.get())) touch(*item);
  } else {
    ItemsNear(here, Radius / 2, nearItems_);
    for (std::int32_t slot : nearItems_)
      touch(static_cast<TItem&>(*MapEntities[static_cast<std::size_t>(slot)]));
  }
  TCreature::Progress();
}

// ---- TLocalPlayer --------------------------------------------------------------------------

TLocalPlayer::TLocalPlayer(TPlayerRecord* record, std::unique_ptr<TPlayerView> view)
    : TBasicPlayer(record), View(std::move(view)) {
  if (View == nullptr) return;
  // The random placement ran before this player could steer the camera: give it its first
  // target.
  SetPosition(GetPosition());
  if (TGLSceneViewer* viewer = View->Viewer()) {
    Hud = TComponent::Create<TImage32>(viewer);  // owned by the viewer control
    Hud->SetParent(viewer);
    const std::string hudName = "Hud Sketch #1.bmp";
    const TBitmap32* sketch = EntityServices.Bitmap ? EntityServices.Bitmap(hudName) : nullptr;
    if (sketch != nullptr) Hud->SetBitmap(*sketch);  // a missing one is logged by the lookup
    Hud->SetBounds(0, viewer->Height - 50, 150, 50);
  }
  View->RefreshVisibleCells();
}

TLocalPlayer::~TLocalPlayer() = default;

void TLocalPlayer::SetPosition(const TVector& position) {
  TVisualMapEntity::SetPosition(position);
  if (View != nullptr) {
    const TVector p = GetPosition();
    View->SetCameraTarget({p.X, p.Y, p.Z + CameraHeight, 0});
  }
}

void TLocalPlayer::Step(const TKeySnapshot& keys) {
  if (Hidden) return;
  Steer(keys);
  TBasicPlayer::Progress();
}

void TLocalPlayer::Steer(const TKeySnapshot& keys) {
  if (keys.Pressed(Keys.TurnLeft)) SetHeading(Heading + 3);
  if (keys.Pressed(Keys.TurnRight)) SetHeading(Heading - 3);
  if (keys.Pressed(Keys.Forward)) Move(TMoveDirection::Forward);
  if (keys.Pressed(Keys.Back)) Move(TMoveDirection::Back);
  if (keys.Pressed(Keys.Fire)) RequestAction(TCreatureAction::Fire);
}

void TLocalPlayer::WeaponChanged() {
  TBasicPlayer::WeaponChanged();
  if (PlayerRecord == nullptr) return;
  char folder[16];
  std::snprintf(folder, sizeof folder, "PL%u%02u", static_cast<unsigned>(PlayerRecord->ModelNumber),
                static_cast<unsigned>(PlayerRecord->SelectedWeapon));
  // A missing folder leaves the sprite untextured (the graphics module logs it once).
  TGLMaterialLibrary* library = EntityServices.AniSprites ? EntityServices.AniSprites(folder) : nullptr;
  Sprite->Material.SetMaterialLibrary(library);
}

}  // namespace orr
