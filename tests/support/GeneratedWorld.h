// SPDX-License-Identifier: GPL-3.0-or-later
// A whole session of entity rules on a generated map, headless: the map's entities spawned
// as the game's set-up does, the local player (without a view) walking by a key script,
// and the state after each step written out exactly. The benchmarks of scale and the test
// that the spatial indexes change nothing run on it.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EntityWorld.h"
#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"
#include "entities/EntitySpawn.h"
#include "map/UMapModule.h"
#include "platform/Application.h"
#include "platform/Backend.h"
#include "platform/Keys.h"
#include "scene/GLObjects.h"
#include "scene/GLScene.h"

namespace orr::test {

// Keys held during a step (1-based), a bit per key: see TGeneratedWorld::Key*.
using TKeyScript = std::function<std::uint8_t(int step)>;

// A walk that covers ground: forward most of the time, turning left or right in spells,
// firing now and then (the same every run).
inline std::uint8_t WanderingKeys(int step) {
  std::uint8_t keys = 1;  // forward
  const int phase = step % 400;
  if (phase < 30) keys |= 4;                        // left
  else if (phase >= 200 && phase < 215) keys |= 8;  // right
  if (step % 150 < 20) keys |= 16;                  // fire
  if (step % 1000 >= 900) keys = 2;                 // back off for a while
  return keys;
}

class TGeneratedWorld : public TEntityWorld {
 public:
  static constexpr std::uint8_t KeyUp = 1, KeyDown = 2, KeyLeft = 4, KeyRight = 8, KeySpace = 16;

  // Sets up the session on `map` with the random generator at `seed`; `plain` selects the
  // plain scans.
  // `walls`: build the raised cells of the whole map into the scene the way the scene cells
  // do (a top turned with its terrain tile, the sides turned with it), so rays meet walls as
  // in the game: the indexed session with only the sides that show, as the game builds
  // them, the plain one with every side unless `plainSidesAsGame`. (A body placed inside a
  // raised cell sees through the sides its block hides from outside: maps that put bodies
  // on walls compare the indexes alone, with the game's sides in both sessions.)
  TGeneratedWorld(TOrrindelMap map, std::uint32_t seed, bool plain, bool walls = true,
                  bool plainSidesAsGame = false) {
    auto backend = std::make_unique<THeadlessBackend>();
    keys_ = backend.get();
    app_ = std::make_unique<TApplication>(std::move(backend));
    ResetSpatialIndex();
    SpatialIndexEnabled = !plain;
    GameMap = std::move(map);
    if (walls) BuildWalls(plain && !plainSidesAsGame);
    RandSeed = seed;
    SpawnEntities();
    AddPlayerRecord();
    PlayerRecords.back()->CreateLocalPlayer(nullptr);
    Player = PlayerRecords.back()->Player;
    Player->Keys = {
        .Forward = VK_UP, .Back = VK_DOWN, .TurnLeft = VK_LEFT, .TurnRight = VK_RIGHT, .Fire = VK_SPACE};
  }
  ~TGeneratedWorld() {
    ResetEntities();
    ResetSpatialIndex();
  }
  TGeneratedWorld(const TGeneratedWorld&) = delete;
  TGeneratedWorld& operator=(const TGeneratedWorld&) = delete;

  // Runs one step of the render module's registry with `keys` held.
  void Step(std::uint8_t keys) {
    keys_->SetKeyDown(VK_UP, keys & KeyUp);
    keys_->SetKeyDown(VK_DOWN, keys & KeyDown);
    keys_->SetKeyDown(VK_LEFT, keys & KeyLeft);
    keys_->SetKeyDown(VK_RIGHT, keys & KeyRight);
    keys_->SetKeyDown(VK_SPACE, keys & KeySpace);
    RunStep();
  }

  // Every rule-bearing field of every entity and the player, floats as exact bit patterns.
  std::string Dump() const {
    std::string out;
    char line[512];
    std::snprintf(line, sizeof line, "seed %" PRIu32 "\n", RandSeed);
    out += line;
    auto bits = [](float f) {
      std::uint32_t b;
      std::memcpy(&b, &f, sizeof b);
      return b;
    };
    auto vec = [&](const TVector& v) {
      char text[64];
      std::snprintf(text, sizeof text, "%08x,%08x,%08x", bits(v.X), bits(v.Y), bits(v.Z));
      return std::string(text);
    };
    auto entity = [&](const TMapEntity* e) {
      const auto* visual = dynamic_cast<const TVisualMapEntity*>(e);
      std::snprintf(line, sizeof line, "%s h%d f%d hd%08x", vec(e->GetPosition()).c_str(), e->Hidden,
                    visual ? visual->Frame : 0, visual ? bits(visual->Heading) : 0u);
      out += line;
      if (const auto* item = dynamic_cast<const TItem*>(e)) {
        std::snprintf(line, sizeof line, " a%d t%d", item->Amount, item->FlyText != nullptr);
        out += line;
      }
      if (const auto* c = dynamic_cast<const TCreature*>(e)) {
        std::snprintf(line, sizeof line, " hp%d ar%d w%d as%d ac%d wp%d wt%08x l%d v%s", c->Health, c->Armour,
                      c->Weapon, static_cast<int>(c->AnimState), static_cast<int>(c->ActionState),
                      static_cast<int>(c->WeaponPhase), bits(c->WeaponTimer), c->LaserOn,
                      vec(c->Velocity).c_str());
        out += line;
      }
      if (const auto* n = dynamic_cast<const TNPC*>(e)) {
        std::snprintf(line, sizeof line, " s%d m%d r%d rt%s lt%s ls%s p%08x st%08x tg%d",
                      static_cast<int>(n->State), static_cast<int>(n->Mode), n->RouteIndex,
                      vec(n->RouteTarget).c_str(), vec(n->LookTarget).c_str(), vec(n->LastSeen).c_str(),
                      bits(n->Pause), bits(n->SearchTimer), n->Target != nullptr);
        out += line;
      }
      out += "\n";
    };
    for (const auto& e : MapEntities) entity(e.get());
    out += "player ";
    entity(Player);
    const TPlayerRecord& r = *PlayerRecords.back();
    for (auto w : r.Weapons) out += std::to_string(w) + " ";
    for (auto a : r.Ammo) out += std::to_string(a) + " ";
    out += "\n";
    return out;
  }

  TLocalPlayer* Player = nullptr;

 private:
  void BuildWalls(bool everySide) {
    for (std::int32_t x = 0; x < GameMap.MapSize.X; ++x)
      for (std::int32_t y = 0; y < GameMap.MapSize.Y; ++y) {
        const float h = GameMap.HeightMap[x][y];
        if (h == 0) continue;
        auto* top = NewChildObject<TGLPlane>(Scene.Objects());
        top->Scale.SetPoint(1.001f, 1.001f, 1.0f);
        top->Position.SetPoint(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, h);
        top->SetRollAngle(-90.0f * GameMap.TerrainGrid[x][y].QuarterTurns);
        static const float Turns[4] = {0, -90, -180, -270};
        static const float Offsets[4][2] = {{0, 0.5f}, {0.5f, 0}, {0, -0.5f}, {-0.5f, 0}};
        for (int k = 0; k < 4; ++k) {
          if (!everySide && !RaisedSideShows(GameMap, x, y, k)) continue;
          auto* wall = NewChildObject<TGLPlane>(top);
          wall->Direction.SetY(1);
          wall->Direction.SetZ(0);
          wall->RollBy(180);
          wall->Position.SetPoint(Offsets[k][0], Offsets[k][1], -h / 2);
          wall->SetTurnAngle(Turns[k]);
          wall->SetHeight(h);
        }
      }
  }

  std::unique_ptr<TApplication> app_;
  THeadlessBackend* keys_ = nullptr;
};

}  // namespace orr::test
