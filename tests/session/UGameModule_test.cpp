// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/UGameModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../entities/EntityHarness.h"
#include "entities/EntitySpawn.h"
#include "map/MapFileWriter.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Paths.h"
#include "raster/TImage32.h"
#include "render/UGameRender.h"
#include "scene/GLViewer.h"

namespace orr {
namespace {

using GameModuleTest = EntityWorld;

// The episode's path is written with one separator throughout, the platform's: a Windows
// player reading the log sees "...\Episodes\Test\Promo4.orx", never a '/' among '\'.
TEST(EpisodeMapPath, JoinsTheGameFolderWithThePlatformsSeparatorOnly) {
  const std::string sep(1, PathSeparator);
  const std::string folder = "Spiele" + sep + "Orrindel" + sep;
  EXPECT_EQ(EpisodeMapPath(folder), folder + "Episodes" + sep + "Test" + sep + "Promo4.orx");
  EXPECT_EQ(NativeSeparators("a/b/c"), "a" + sep + "b" + sep + "c");
}

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

TEST_F(GameModuleTest, AMissingOrBrokenMapEndsTheProgramWithNothingCreated) {
  struct TCase {
    const char* Content;  // nullptr: no map file
    const char* Message;
  };
  const TCase cases[] = {{nullptr, "Default map file not found! Aborting..."},
                         {"not a map\n", "Map data out of date or corrupted! Aborting..."}};
  for (const TCase& c : cases) {
    const auto folder = std::filesystem::temp_directory_path() / "orr-entities-no-map";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Episodes" / "Test");
    if (c.Content != nullptr) {
      std::ofstream(folder / "Episodes" / "Test" / "Promo4.orx") << c.Content;
    }
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
    EXPECT_EQ(shown[0], c.Message);
    EXPECT_TRUE(MapEntities.empty());
    EXPECT_TRUE(PlayerRecords.empty());
    EXPECT_TRUE(GameHalted);
    WorkFolder.clear();
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace orr

namespace orr {
namespace {

// A scratch game folder whose episode is a 12 x 10 walled room with a creature, an
// ammunition pack and a marker; WorkFolder points at it. Removed, with the session's global
// state, when the test ends.
struct TSessionEpisode {
  TSessionEpisode();
  ~TSessionEpisode() {
    GameHalted = false;
    ResetStepHandlers();
    ResetGameMap();
    ResetEventLog();
    WorkFolder.clear();
    std::filesystem::remove_all(Folder);
  }
  std::filesystem::path Folder;
};

TSessionEpisode::TSessionEpisode() {
  Folder = std::filesystem::temp_directory_path() / "orr-entities-session";
  std::filesystem::remove_all(Folder);
  std::filesystem::create_directories(Folder / "Episodes" / "Test");
  ResetEventLog();
  ResetEntities();
  ResetStepHandlers();
  WorkFolder = Folder.string() + "/";

  TOrrindelMap map;
  map.MapName = "Session";
  map.MapVersion = 1.1f;
  map.MapIdCode = "ORR-SESSION";
  map.MapSize = {12, 10};
  map.TerrainGrid.SetSize(12, 10);
  map.DecorationGrid.SetSize(12, 10);
  map.HeightMap.SetSize(12, 10);
  for (int x = 0; x < 12; ++x)
    for (int y = 0; y < 10; ++y) map.HeightMap[x][y] = (x == 0 || y == 0 || x == 11 || y == 9) ? 2 : 0;
  auto record = [](std::uint16_t kind, float x, float y, std::string p1) {
    TPackedEntity r;
    r.Kind = kind;
    r.Position = {x, y, 0, 0};
    r.Param1 = std::move(p1);
    return r;
  };
  map.EntitySpawns = {record(0, 9.5f, 8.5f, "0"), record(6, 2.5f, 2.5f, "30"), record(2, 5.5f, 5.5f, "0")};
  map.EntityCount = 3;
  WriteMapFile(WorkFolder + "Episodes/Test/Promo4.orx", map);
}

// The window side of the wiring: a form with a panel it offers for the player's view.
class TSessionWindow : public TForm, public TGamePanelHost {
 public:
  explicit TSessionWindow(TComponent* owner) : TForm(owner) {
    Panel = TComponent::Create<TPanel>(this);
    Panel->SetParent(this);
    Panel->SetBounds(0, 0, 640, 480);
  }
  TPanel* GamePanel() override { return Panel; }
  TPanel* Panel = nullptr;
};

// The whole session in process: a map file in a scratch game folder, the render module, a
// window offering its panel, then the game module; the arrow keys walk the player through
// the render module's own fixed steps.
TEST(GameSession, SetUpBuildsTheWorldAndTheKeysWalkThePlayerThroughTheSteps) {
  TSessionEpisode episode;
  auto backend = std::make_unique<THeadlessBackend>(1024, 768);
  THeadlessBackend* keys = backend.get();
  {
    TApplication app(std::move(backend));
    TComponent root(nullptr);
    DMGameRender = TComponent::Create<TDMGameRender>(&root);
    DMGameRender->AfterConstruction();
    EXPECT_TRUE(GameHalted);
    auto* window = TComponent::Create<TSessionWindow>(&root);
    TPanel* panel = window->Panel;
    EpisodeMapOverride = EpisodeMapPath(WorkFolder);  // as the tools name a map
    DMGameModule = TComponent::Create<TDMGameModule>(&root, window);
    DMGameModule->AfterConstruction();

    EXPECT_FALSE(GameHalted);
    // The entities draw into the render module's scene, with its font.
    EXPECT_EQ(EntityServices.Scene, DMGameRender->MainScene.get());
    EXPECT_EQ(EntityServices.Font, DMGameRender->WindowsBitmapFontLib.get());
    EXPECT_NE(EntityServices.Font, nullptr);
    ASSERT_EQ(MapEntities.size(), 2u);
    EXPECT_NE(dynamic_cast<TNPC*>(MapEntities[0].get()), nullptr);
    ASSERT_EQ(PlayerRecords.size(), 1u);
    TLocalPlayer* player = PlayerRecords[0]->Player;
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->Keys.Forward, 38);
    EXPECT_EQ(player->Keys.Use, 13);
    ASSERT_NE(player->View, nullptr);
    TGLSceneViewer* viewer = player->View->Viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->Parent(), panel);
    EXPECT_EQ(DMGameModule->LocalPlayerViewer(), viewer);
    ASSERT_NE(player->Hud, nullptr);
    EXPECT_EQ(player->Hud->Top, viewer->Height - 50);
    EXPECT_EQ(player->Hud->Width, 150);
    // Map entities, then the view, then the player step, in that order.
    ASSERT_EQ(StepHandlers.size(), 4u);
    EXPECT_EQ(StepHandlers[0].Data, MapEntities[0].get());
    EXPECT_EQ(StepHandlers[3].Data, static_cast<void*>(static_cast<TVisualMapEntity*>(player)));

    player->SetPosition({5.5f, 3.5f, 0, 0});
    player->SetHeading(0);
    keys->SetKeyDown(38, true);
    TDMGameRender::SceneProgressorProgress(nullptr, 0.505, 0);  // 50 steps
    keys->SetKeyDown(38, false);
    EXPECT_NEAR(player->GetPosition().X, 5.5f, 1e-3);
    EXPECT_NEAR(player->GetPosition().Y, 5.0f, 0.01f);

    root.FreeComponent(DMGameModule);
    DMGameModule = nullptr;
    EXPECT_TRUE(MapEntities.empty());
    EXPECT_TRUE(PlayerRecords.empty());
    EXPECT_EQ(StepHandlers.size(), 0u);
    EXPECT_EQ(EpisodeMapOverride, "");  // the next session in the process loads its own map
    root.DestroyComponents();
    DMGameRender = nullptr;
  }
}

TEST(GameSession, WithoutAnOfferedPanelTheErrorIsLoggedAndThePlayerPlaysUnseen) {
  TSessionEpisode episode;
  {
    TApplication app(std::make_unique<THeadlessBackend>(1024, 768));
    TComponent root(nullptr);
    DMGameRender = TComponent::Create<TDMGameRender>(&root);
    DMGameRender->AfterConstruction();
    DMGameModule = TComponent::Create<TDMGameModule>(&root);  // no window
    DMGameModule->AfterConstruction();
    ASSERT_EQ(PlayerRecords.size(), 1u);
    ASSERT_NE(PlayerRecords[0]->Player, nullptr);
    EXPECT_EQ(PlayerRecords[0]->Player->View, nullptr);
    EXPECT_EQ(DMGameModule->LocalPlayerViewer(), nullptr);
    EXPECT_FALSE(GameHalted);
    const std::string error = "ERROR: No game panel is offered for the player's view; the game runs unseen";
    EXPECT_EQ(std::count_if(EventLog.begin(), EventLog.end(),
                            [&](const std::string& line) { return line.ends_with("]" + error); }),
              1);
    root.DestroyComponents();
    DMGameModule = nullptr;
    DMGameRender = nullptr;
  }
}

}  // namespace
}  // namespace orr
