#include "entities/UGameModule.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "EntityHarness.h"
#include "platform/Application.h"
#include "render/UGameRender.h"

namespace orr {
namespace {

using GameModuleTest = EntityWorld;

TEST_F(GameModuleTest, OnlyCreaturesAndItemsBecomeEntitiesInMapOrder) {
  MakeRoom(10, 10);
  GameMap.EntitySpawns = {Record(0, 1, 2.5f, 2.5f), Record(3, 0, 4.5f, 4.5f, "5"),
                          Record(1, 0, 5.5f, 5.5f), Record(2, 0, 6.5f, 6.5f),
                          Record(7, 0, 7.5f, 7.5f), Record(6, 2, 3.5f, 7.5f, "20")};
  GameMap.EntityCount = static_cast<std::uint16_t>(GameMap.EntitySpawns.size());
  SpawnEntities();
  ASSERT_EQ(MapEntities.size(), 3u);
  EXPECT_NE(dynamic_cast<TNPC*>(MapEntities[0].get()), nullptr);
  EXPECT_NE(dynamic_cast<TItem*>(MapEntities[1].get()), nullptr);
  EXPECT_NE(dynamic_cast<TItem*>(MapEntities[2].get()), nullptr);
  EXPECT_FLOAT_EQ(MapEntities[2]->GetPosition().Y, 7.5f);
  EXPECT_EQ(MapEntities[2]->Spawn.Param1, "20");
}

TEST_F(GameModuleTest, AnEntityCountBeyondTheRecordsReadsNoFurther) {
  MakeRoom(10, 10);
  GameMap.EntitySpawns = {Record(3, 0, 4.5f, 4.5f, "5")};
  GameMap.EntityCount = 40;
  SpawnEntities();
  EXPECT_EQ(MapEntities.size(), 1u);
}

TEST_F(GameModuleTest, TeardownEmptiesBothListsAndTheStepList) {
  MakeRoom(10, 10);
  SpawnEntity(Record(0, 2, 2.5f, 2.5f));
  AddPlayerRecord();
  PlayerRecords.back()->CreateLocalPlayer(nullptr);
  EXPECT_EQ(Steps.size(), 2u);
  TearDownSession();
  EXPECT_TRUE(MapEntities.empty());
  EXPECT_TRUE(PlayerRecords.empty());
  EXPECT_TRUE(Steps.empty());
  TearDownSession();  // twice is harmless
}

TEST_F(GameModuleTest, AMissingMapEndsTheProgramWithNothingCreated) {
  const auto folder = std::filesystem::temp_directory_path() / "orr-entities-no-map";
  std::filesystem::create_directories(folder);
  auto backend = std::make_unique<THeadlessBackend>();
  std::vector<std::string> shown;
  backend->MessageBoxResponder = [&](const std::string&, const std::string& text, TMsgBoxKind) {
    shown.push_back(text);
    return TModalResult::Ok;
  };
  TApplication app(std::move(backend));
  WorkFolder = folder.string() + "/";
  GameHalted = true;
  SetUpSession();
  app.ProcessMessages();  // the quit request takes effect in the loop
  EXPECT_TRUE(app.Terminated());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Default map file not found! Aborting...");
  EXPECT_TRUE(MapEntities.empty());
  EXPECT_TRUE(PlayerRecords.empty());
  EXPECT_TRUE(GameHalted);
  WorkFolder.clear();
}

}  // namespace
}  // namespace orr
