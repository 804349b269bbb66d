// SPDX-License-Identifier: GPL-3.0-or-later
// A headless world for the entity tests and the entity benchmark: a plain scene, a map drawn
// from text rows, and the game clock's own step registry, so a step runs as in the game
// (the key snapshot included).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "map/UMapModule.h"
#include "core/GameSteps.h"
#include "scene/GLScene.h"

namespace orr::test {

class TEntityWorld {
 public:
  TEntityWorld() {
    ResetEntities();
    ResetGameMap();
    ResetEventLog();
    ResetStepHandlers();
    EntityServices = {};
    EntityServices.Scene = &Scene;
  }
  ~TEntityWorld() {
    ResetEntities();
    EntityServices = {};
    ResetStepHandlers();
    ResetGameMap();
  }
  TEntityWorld(const TEntityWorld&) = delete;
  TEntityWorld& operator=(const TEntityWorld&) = delete;

  // Rows from y = 0 upward; '#' is a wall of height 1, anything else floor.
  static void MakeMap(const std::vector<std::string>& rows) {
    const auto h = static_cast<std::int32_t>(rows.size());
    const auto w = h > 0 ? static_cast<std::int32_t>(rows[0].size()) : 0;
    GameMap.MapSize = {w, h};
    GameMap.MapIdCode = "test";
    GameMap.HeightMap.SetSize(w, h);
    GameMap.TerrainGrid.SetSize(w, h);
    GameMap.DecorationGrid.SetSize(w, h);
    for (std::int32_t y = 0; y < h; ++y)
      for (std::int32_t x = 0; x < w; ++x) GameMap.HeightMap[x][y] = rows[y][x] == '#' ? 1 : 0;
  }
  // An open w x h room walled all round.
  static void MakeRoom(int w, int h) {
    std::vector<std::string> rows;
    for (int y = 0; y < h; ++y) {
      std::string row(w, '.');
      if (y == 0 || y == h - 1) row.assign(w, '#');
      row.front() = row.back() = '#';
      rows.push_back(row);
    }
    MakeMap(rows);
  }

  static TPackedEntity Record(std::uint16_t kind, std::uint16_t index, float x, float y,
                              std::string param1 = "0", std::string param2 = "") {
    TPackedEntity r;
    r.Kind = kind;
    r.Index = index;
    r.Position = {x, y, 0, 0};
    r.Param1 = std::move(param1);
    r.Param2 = std::move(param2);
    return r;
  }

  // Makes the entity a record asks for (an NPC for kind 0, an item otherwise), appends it to
  // MapEntities and spawns it from the record.
  template <class T>
  T* Spawn(const TPackedEntity& record) {
    MapEntities.push_back(std::make_unique<T>());
    auto* made = static_cast<T*>(MapEntities.back().get());
    made->SetSpawn(record);
    return made;
  }

  // Appends a player record with a local player that has no view.
  static TLocalPlayer* AddPlayer() {
    PlayerRecords.push_back(std::make_unique<TPlayerRecord>());
    PlayerRecords.back()->CreateLocalPlayer(nullptr);
    return PlayerRecords.back()->Player;
  }

  // Runs n steps of the step registry.
  static void Step(int n = 1) {
    for (int i = 0; i < n; ++i) RunStep();
  }

  static bool Registered(const void* object) {
    for (const auto& s : StepHandlers)
      if (s.Data == object) return true;
    return false;
  }

  TGLScene Scene;
  std::vector<TStepHandler>& Steps = StepHandlers;
};

}  // namespace orr::test
