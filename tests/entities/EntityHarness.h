// A headless world for entity tests: a plain scene, a map drawn from text rows and a step
// list standing in for the render module's registry.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "map/UMapModule.h"
#include "scene/GLScene.h"

namespace orr {

class EntityWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEntities();
    ResetGameMap();
    ResetEventLog();
    EntityServices = {};
    EntityServices.Scene = &Scene;
    EntityServices.AddStep = [this](TStepFunction f, void* o) { Steps.emplace_back(f, o); };
    EntityServices.RemoveStep = [this](TStepFunction f, void* o) {
      for (auto it = Steps.begin(); it != Steps.end(); ++it)
        if (it->first == f && it->second == o) {
          Steps.erase(it);
          return;
        }
    };
  }
  void TearDown() override {
    ResetEntities();
    EntityServices = {};
    ResetGameMap();
  }

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

  template <class T>
  T* Spawn(const TPackedEntity& record) {
    MapEntities.push_back(std::make_unique<T>());
    auto* made = static_cast<T*>(MapEntities.back().get());
    made->SetSpawn(record);
    return made;
  }

  // Runs n steps the way the render module's registry does.
  void Step(int n = 1) {
    for (int i = 0; i < n; ++i) {
      const std::size_t count = Steps.size();
      for (std::size_t j = 0; j < count && j < Steps.size(); ++j) Steps[j].first(Steps[j].second);
    }
  }

  bool Registered(const void* object) const {
    for (const auto& s : Steps)
      if (s.second == object) return true;
    return false;
  }

  TGLScene Scene;
  std::vector<std::pair<TStepFunction, void*>> Steps;
};

}  // namespace orr
