// SPDX-License-Identifier: GPL-3.0-or-later
// Computer-controlled creatures: idle behaviours (look around, roam, patrol), spotting a
// player, engaging, pursuing and searching. Decided once per step in Progress.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"
#include "core/PortableMath.h"

namespace orr {

namespace {

constexpr float SightRange = 8;      // units, centre to centre
constexpr float SearchSeconds = 10;  // time spent searching where the player was lost
// Degrees turned per step: the kind's speed times this factor.
constexpr float TurnFactor = 0.9f;
// A turn that would end within this many degrees of the wanted heading takes it at once.
constexpr float TurnSnapDegrees = 10;
// How close a walk comes to its target before it counts as arrived, in units.
constexpr float ArrivedDistance = 0.1f;
// A walk also ends when less of the way ahead is free than 100 minus these percents:
// idle walks stop at a way half blocked, the pursuit only at one blocked four fifths.
constexpr std::uint8_t IdleWalkBlockedPercent = 50;
constexpr std::uint8_t PursuitBlockedPercent = 80;
// Look targets: cells up to LookReach away in x and y, drawn at most LookDraws times until
// nothing blocks the view closer than LookClearance units; then a pause of 0.5 to 4.5 s.
constexpr int LookReach = 2;
constexpr int LookDraws = 201;
constexpr float LookClearance = 2;
constexpr int LookPauseChoices = 5;  // whole seconds 0..4, plus half a second
// Roam targets: free cells up to four away in x and y, at most RoamDraws tries; after a
// look-around a roaming NPC walks on with a chance of one in RoamChoices.
constexpr int RoamDraws = 20;
constexpr int RoamCellChoices = 9;
constexpr int RoamChoices = 3;
// Engaging: walk closer while farther than the weapon's range over EngageRangeDivisor
// (the range is in tenths of a unit), fire within range over FireRangeDivisor.
constexpr float EngageRangeDivisor = 12.0f;
constexpr float FireRangeDivisor = 10.0f;
// Closer than this beyond both radii an NPC senses a player through walls.
constexpr float SenseDistance = 0.9f;

float Distance2D(const TVector& a, const TVector& b) {
  const float dx = a.X - b.X, dy = a.Y - b.Y;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

TNPC::TNPC() {
  State = TNpcState::Idle;
  Pause = -1;
  Marker->SetVisible(false);
  Marker->Scale.SetPoint(1, 1, 0.01f);
  RouteIndex = 0;
  LookingAround = false;
  SetHeight(0.9f);
  LaserOn = false;
}

std::uint16_t TNPC::NpcIndex() const { return Spawn.Index < NpcKindCount ? Spawn.Index : 0; }

void TNPC::SetSpawn(const TPackedEntity& record) {
  TMapEntity::SetSpawn(record);
  if (record.Index >= NpcKindCount)
    LogWarningOnce("No creature kind " + std::to_string(record.Index) +
                   "; it moves and fights like a Civilian");
  Route.Steps.clear();
  ParseRoute(Route, record.Param2);
  const std::string folder = "NPC" + std::to_string(record.Index);
  // A missing folder leaves the sprite untextured (the graphics module logs it once).
  TGLMaterialLibrary* library = EntityServices.AniSprites ? EntityServices.AniSprites(folder) : nullptr;
  Sprite->Material.SetMaterialLibrary(library);
  Sprite->Material.SetLibMaterialName("0");
  Mode = static_cast<TNpcMode>(StrToInt(record.Param1));
  switch (Mode) {
    case TNpcMode::LookAround: PickLookTarget(); break;
    case TNpcMode::Roam: PickRoamTarget(); break;
    case TNpcMode::Patrol: NextRouteStep(); break;
    default: break;
  }
  Speed = NpcSpeed[NpcIndex()];
  Weapon = NpcWeapon[NpcIndex()];
}

void TNPC::Progress() {
  walkMotion_.Known = false;
  struct TForget {
    TResolvedMotion& Motion;
    ~TForget() { Motion.Known = false; }
  } forget{walkMotion_};
  if (Hidden) {
    TCreature::Progress();
    return;
  }
  // The parts the step reads (their loads overlap; on a big map each is a cache miss).
  Anchor->PrefetchFrame();
  Marker->PrefetchVisibility();
  Laser->PrefetchVisibility();
  using enum TNpcState;
  if (State != Pursue) Marker->SetVisible(false);
  if (Pause >= 0) Pause -= StepSecondsF;
  switch (State) {
    case Idle:
      IdleStep();
      if (SeekTarget()) State = Engage;
      break;
    case Engage: EngageStep(); break;
    case Pursue:
      TurnTowards(LastSeen);
      if (WalkTowards(LastSeen, PursuitBlockedPercent)) {
        State = Search;
        SearchTimer = 0;
      }
      if (SeekTarget()) State = Engage;
      break;
    case Search:
      if (TurnTowards(LookTarget) && Pause < 0) PickLookTarget();
      SearchTimer += StepSecondsF;
      if (SearchTimer >= SearchSeconds) State = Idle;
      if (SeekTarget()) State = Engage;
      break;
    default: break;
  }
  TCreature::Progress();
}

void TNPC::IdleStep() {
  switch (Mode) {
    case TNpcMode::LookAround:
      if (TurnTowards(LookTarget) && Pause < 0) PickLookTarget();
      break;
    case TNpcMode::Roam:
      if (LookingAround || WalkTowards(RouteTarget, IdleWalkBlockedPercent)) {
        if (TurnTowards(LookTarget) && Pause < 0) {
          if (Random(RoamChoices) == 0) {
            PickRoamTarget();
            LookingAround = false;
          } else {
            PickLookTarget();
            LookingAround = true;
          }
        }
      }
      break;
    case TNpcMode::Patrol:
      if (WalkTowards(RouteTarget, IdleWalkBlockedPercent)) {
        RouteWait += StepSecondsF;
        if (Route.Steps.empty()) break;
        const std::int32_t last = static_cast<std::int32_t>(Route.Steps.size()) - 1;
        const float wait = Route.Steps[WrapInRange(RouteIndex - 1, 0, last)].Wait;
        if (wait < RouteWait) NextRouteStep();
        else if (TurnTowards(LookTarget) && Pause < 0) PickLookTarget();
      }
      break;
    default: break;
  }
}

void TNPC::EngageStep() {
  if (!SeekTarget()) {
    State = TNpcState::Pursue;
    return;
  }
  const TVector target = Target->GetPosition();
  TurnTowards(target);
  const float d = VectorDistance(target, GetPosition()) - Radius - Target->Radius;
  if (!Attacking() && d > WeaponTable[Weapon].Range / EngageRangeDivisor) {
    WalkTowards(target, IdleWalkBlockedPercent);
  } else if (d < WeaponTable[Weapon].MinDistance) {
    Move(TMoveDirection::Back);
  } else if (d < WeaponTable[Weapon].Range / FireRangeDivisor) {
    RequestAction(TCreatureAction::Fire);
  }
}

bool TNPC::TurnTowards(const TVector& target) {
  const TVector here = GetPosition();
  const float toward = ArcTan2F(target.Y - here.Y, target.X - here.X) * 180 / std::numbers::pi_v<float>;
  const float a = WrapAngle(toward - 90, 0, 359);
  const float h = Heading;
  float up, down;
  if (a > h) {
    up = std::fabs(a - h);
    down = std::fabs(h + 360 - a);
  } else {
    up = std::fabs(360 - h + a);
    down = std::fabs(h - a);
  }
  const float turn = NpcSpeed[NpcIndex()] * TurnFactor;
  if (up >= down) {
    if (down < TurnSnapDegrees) {
      SetHeading(a);
      return true;
    }
    SetHeading(h - turn);
    return false;
  }
  if (up < TurnSnapDegrees) {
    SetHeading(a);
    return true;
  }
  SetHeading(h + turn);
  return false;
}

bool TNPC::WalkTowards(const TVector& target, std::uint8_t percent) {
  TurnTowards(target);
  const float dist = std::nearbyint(Distance2D(target, GetPosition()));
  if (dist <= ArrivedDistance) return true;
  TVector ahead;
  MoveVector(TMoveDirection::Forward, ahead);
  if (FreeMotionPercent(ahead, SpatialIndexEnabled ? &walkMotion_ : nullptr) < 100 - percent)
    return true;  // the way ahead is blocked
  Move(TMoveDirection::Forward);
  RequestAction(TCreatureAction::Walk);
  return false;
}

// Nothing moves between the look ahead and the step's motion (a creature's own rules move
// no one), so the look ahead's answer stands when the velocity and position are the ones it
// was worked out for; the change count guards that.
TVector TNPC::StepMotion(const TVector& v) const {
  const TResolvedMotion& m = walkMotion_;
  if (m.Known && m.Changes == SpatialIndexChanges() && VectorEquals(m.Wanted, v) &&
      VectorEquals(m.Position, GetPosition()))
    return m.Kept;
  return ResolveMotion(v);
}

bool TNPC::SeekTarget() {
  const TVector here = GetPosition();
  TLocalPlayer* best = nullptr;
  for (const auto& record : PlayerRecords) {
    TLocalPlayer* candidate = record ? record->Player : nullptr;
    if (candidate == nullptr) continue;
    if (best != nullptr &&
        !(VectorDistance(candidate->GetPosition(), here) < VectorDistance(best->GetPosition(), here)))
      continue;
    if (CanSee(candidate)) best = candidate;
  }
  if (best != nullptr) {
    Target = best;
    LastSeen = best->GetPosition();
    if (NpcLaser[NpcIndex()]) LaserOn = true;
    return true;
  }
  Target = nullptr;
  LaserOn = false;
  return false;
}

bool TNPC::CanSee(const TMapEntity* entity) {
  if (entity == nullptr) return false;
  const TVector there = entity->GetPosition();
  const float d = VectorDistance(there, GetPosition());
  if (d > SightRange) return false;
  if (d < Radius + SenseDistance + entity->Radius) return true;  // close enough to sense through walls
  const auto* body = dynamic_cast<const TPhysEntity*>(entity);
  if (body == nullptr) return false;
  // Aimed at the middle of the body: a ray along the ground would only graze the bottom
  // rim of the hit cylinder, and whether it counts would be left to rounding.
  const TVector middle{there.X, there.Y, there.Z + body->Height / 2, there.W};
  // Only whether the body is the nearest hit counts, and the body lies within d (plus its
  // height) of the ray's start: nothing farther can change the answer.
  return CastRayToward(middle, d + body->Height + 1).Object == body->HitCylinder;
}

void TNPC::PickLookTarget() {
  // The forward ray does not depend on the draw, so one cast answers for every draw; the
  // plain scans cast it for each, as the reference.
  bool cast = false, openAhead = false;
  for (int draw = 0; draw < LookDraws; ++draw) {
    const int dx = Random(2 * LookReach + 1) - LookReach;
    const int dy = Random(2 * LookReach + 1) - LookReach;
    LookTarget = VectorAdd(GetPosition(), static_cast<float>(dx), static_cast<float>(dy), 0, 0);
    if (!cast || !SpatialIndexEnabled) {
      const RayHit hit = CastForwardRay();
      // Nothing hit ahead means open space: the draw is good.
      openAhead = hit.Object == nullptr || VectorDistance(GetPosition(), hit.Point) > LookClearance;
      cast = true;
    }
    if (openAhead) break;
  }
  Pause = static_cast<float>(Random(LookPauseChoices)) + 0.5f;
}

void TNPC::PickRoamTarget() {
  const std::int32_t w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  const TVector here = GetPosition();
  auto nearCell = [](std::int32_t draw, float at, std::int32_t count) {
    const float v = std::nearbyint(static_cast<float>(draw) + at - 4 + 0.5f);
    return static_cast<std::int32_t>(std::clamp(v, 0.0f, static_cast<float>(std::max(count - 1, 0))));
  };
  for (int attempt = 0; attempt < RoamDraws; ++attempt) {
    const std::int32_t y = nearCell(Random(RoamCellChoices), here.Y, h);
    const std::int32_t x = nearCell(Random(RoamCellChoices), here.X, w);
    if (!IsCellBlocked(x, y)) {
      LookTarget = {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, 0.5f, 0};
      RouteTarget = LookTarget;
      return;
    }
  }
  Mode = TNpcMode::LookAround;
}

void TNPC::NextRouteStep() {
  if (Route.Steps.empty()) {
    Mode = TNpcMode::Roam;
    return;
  }
  const std::int32_t last = static_cast<std::int32_t>(Route.Steps.size()) - 1;
  if (RouteIndex > last) RouteIndex = 0;
  const RouteStep& s = Route.Steps[RouteIndex];
  LookTarget = {static_cast<float>(s.CellX) + 0.5f, static_cast<float>(s.CellY) + 0.5f, 0.5f, 0};
  RouteTarget = LookTarget;
  RouteIndex = static_cast<std::uint16_t>(WrapInRange(RouteIndex + 1, 0, last));
  RouteWait = 0;
}

}  // namespace orr
