// Computer-controlled creatures: idle behaviours (look around, roam, patrol), spotting a
// player, engaging, pursuing and searching. Decided once per step in Progress.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"

namespace orr {

namespace {

constexpr float SightRange = 8;      // units, centre to centre
constexpr float SearchSeconds = 10;  // time spent searching where the player was lost

float Distance2D(const TVector& a, const TVector& b) {
  const float dx = a.X - b.X, dy = a.Y - b.Y;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

TNPC::TNPC() {
  State = 0;
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
  Mode = static_cast<std::uint8_t>(StrToInt(record.Param1));
  switch (Mode) {
    case 0: PickLookTarget(); break;
    case 1: PickRoamTarget(); break;
    case 2: NextRouteStep(); break;
    default: break;
  }
  Speed = NpcSpeed[NpcIndex()];
  Weapon = NpcWeapon[NpcIndex()];
}

void TNPC::Progress() {
  if (Hidden) {
    TCreature::Progress();
    return;
  }
  if (State != 2) Marker->SetVisible(false);
  if (Pause >= 0) Pause -= 0.01f;
  switch (State) {
    case 0:
      IdleStep();
      if (SeekTarget()) State = 1;
      break;
    case 1:
      EngageStep();
      break;
    case 2:
      TurnTowards(LastSeen);
      if (WalkTowards(LastSeen, 80)) {
        State = 3;
        SearchTimer = 0;
      }
      if (SeekTarget()) State = 1;
      break;
    case 3:
      if (TurnTowards(LookTarget) && Pause < 0) PickLookTarget();
      SearchTimer += 0.01f;
      if (SearchTimer >= SearchSeconds) State = 0;
      if (SeekTarget()) State = 1;
      break;
    default: break;
  }
  TCreature::Progress();
}

void TNPC::IdleStep() {
  switch (Mode) {
    case 0:
      if (TurnTowards(LookTarget) && Pause < 0) PickLookTarget();
      break;
    case 1:
      if (LookingAround || WalkTowards(RouteTarget, 50)) {
        if (TurnTowards(LookTarget) && Pause < 0) {
          if (Random(3) == 0) {
            PickRoamTarget();
            LookingAround = false;
          } else {
            PickLookTarget();
            LookingAround = true;
          }
        }
      }
      break;
    case 2:
      if (WalkTowards(RouteTarget, 50)) {
        RouteWait += 0.01f;
        if (Route.Steps.empty()) break;
        const std::int32_t last = static_cast<std::int32_t>(Route.Steps.size()) - 1;
        const float wait = Route.Steps[WrapInRange(RouteIndex - 1, 0, last)].Wait;
        if (wait < RouteWait)
          NextRouteStep();
        else if (TurnTowards(LookTarget) && Pause < 0)
          PickLookTarget();
      }
      break;
    default: break;
  }
}

void TNPC::EngageStep() {
  if (!SeekTarget()) {
    State = 2;
    return;
  }
  const TVector target = Target->GetPosition();
  TurnTowards(target);
  const float d = VectorDistance(target, GetPosition()) - Radius - Target->Radius;
  if (ActionState != 2 && ActionState != 3 && d > WeaponRange[Weapon] / 12.0f) {
    WalkTowards(target, 50);
  } else if (d < WeaponMinDistance[Weapon]) {
    Move(2);
  } else if (d < WeaponRange[Weapon] / 10.0f) {
    RequestAction(3);
  }
}

bool TNPC::TurnTowards(const TVector& target) {
  const TVector here = GetPosition();
  const float toward =
      std::atan2(target.Y - here.Y, target.X - here.X) * 180 / std::numbers::pi_v<float>;
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
  const float turn = NpcSpeed[NpcIndex()] * 0.9f;
  if (up >= down) {
    if (down < 10) {
      SetHeading(a);
      return true;
    }
    SetHeading(h - turn);
    return false;
  }
  if (up < 10) {
    SetHeading(a);
    return true;
  }
  SetHeading(h + turn);
  return false;
}

bool TNPC::WalkTowards(const TVector& target, std::uint8_t percent) {
  TurnTowards(target);
  const float dist = std::nearbyint(Distance2D(target, GetPosition()));
  if (dist <= 0.1f) return true;
  TVector ahead;
  MoveVector(0, ahead);
  if (FreeMotionPercent(ahead) < 100 - percent) return true;  // the way ahead is blocked
  Move(0);
  RequestAction(1);
  return false;
}

bool TNPC::SeekTarget() {
  const TVector here = GetPosition();
  TLocalPlayer* best = nullptr;
  for (const auto& record : PlayerRecords) {
    TLocalPlayer* candidate = record ? record->Player : nullptr;
    if (candidate == nullptr) continue;
    if (best != nullptr && !(VectorDistance(candidate->GetPosition(), here) <
                             VectorDistance(best->GetPosition(), here)))
      continue;
    if (CanSee(candidate)) best = candidate;
  }
  if (best != nullptr) {
    Target = best;
    LastSeen = best->GetPosition();
    if (NpcLaser[NpcIndex()]) LaserOn = true;
    return true;
  }
  LaserOn = false;
  return false;
}

bool TNPC::CanSee(const TMapEntity* entity) {
  if (entity == nullptr) return false;
  const TVector there = entity->GetPosition();
  const float d = VectorDistance(there, GetPosition());
  if (d > SightRange) return false;
  if (d < Radius + 0.9f + entity->Radius) return true;  // close enough to sense through walls
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
  for (int draw = 0; draw < 201; ++draw) {
    const int dx = Random(5) - 2;
    const int dy = Random(5) - 2;
    LookTarget = VectorAdd(GetPosition(), static_cast<float>(dx), static_cast<float>(dy), 0, 0);
    if (!cast || !SpatialIndexEnabled) {
      const RayHit hit = CastForwardRay();
      // Nothing hit ahead means open space: the draw is good.
      openAhead = hit.Object == nullptr || VectorDistance(GetPosition(), hit.Point) > 2;
      cast = true;
    }
    if (openAhead) break;
  }
  Pause = static_cast<float>(Random(5)) + 0.5f;
}

void TNPC::PickRoamTarget() {
  const std::int32_t w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  const TVector here = GetPosition();
  auto nearCell = [](std::int32_t draw, float at, std::int32_t count) {
    const float v = std::nearbyint(static_cast<float>(draw) + at - 4 + 0.5f);
    return static_cast<std::int32_t>(std::clamp(v, 0.0f, static_cast<float>(std::max(count - 1, 0))));
  };
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::int32_t y = nearCell(Random(9), here.Y, h);
    const std::int32_t x = nearCell(Random(9), here.X, w);
    if (!IsCellBlocked(x, y)) {
      LookTarget = {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, 0.5f, 0};
      RouteTarget = LookTarget;
      return;
    }
  }
  Mode = 0;
}

void TNPC::NextRouteStep() {
  if (Route.Steps.empty()) {
    Mode = 1;
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
