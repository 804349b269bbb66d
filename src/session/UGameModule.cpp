// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/UGameModule.h"

#include "core/Random.h"
#include "core/Replay.h"
#include "core/UMainModule.h"
#include "session/StateDigest.h"
#include "entities/EntitySpawn.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Keys.h"
#include "platform/Paths.h"
#include "render/UGameRender.h"
#include "render/UGraphicsModule.h"

namespace orr {

TDMGameModule* DMGameModule = nullptr;

const char* const EpisodeFolder = "Episodes/";
const char* const EpisodeMapFile = "Test/Promo4.orx";
std::string EpisodeMapOverride;

void TDMGameModule::DataModuleCreate() { SetUpSession(); }
void TDMGameModule::DataModuleDestroy() { TearDownSession(); }

namespace {

// The scene window of the render module seen as a player's view.
class TSceneWindowView : public TPlayerView {
 public:
  explicit TSceneWindowView(TControl* panel) : window_(panel) {}
  void SetCameraTarget(const TVector& point) override { window_.SetCameraTarget(point); }
  void RefreshVisibleCells() override { window_.RefreshVisibleCells(); }
  TGLSceneViewer* Viewer() override { return window_.Viewer; }
  std::uint32_t BuiltCellsDigest() override {
    const TCellRect& r = window_.VisibleCells;
    std::uint32_t h = 0x811C9DC5u;
    const auto add = [&h](std::uint32_t w) {
      h ^= w;
      h *= 0x01000193u;
    };
    for (std::int32_t v : {r.Left, r.Top, r.Right, r.Bottom}) add(static_cast<std::uint32_t>(v));
    for (std::int32_t y = r.Top; y <= r.Bottom; ++y) {
      if (y < 0 || static_cast<std::size_t>(y) >= SceneCells.size()) continue;
      for (std::int32_t x = r.Left; x <= r.Right; ++x) {
        if (x < 0 || static_cast<std::size_t>(x) >= SceneCells[static_cast<std::size_t>(y)].size()) continue;
        const SceneCell& c = SceneCells[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        std::uint32_t built = (c.Terrain != nullptr ? 1u : 0u) | (c.Decoration != nullptr ? 2u : 0u);
        for (std::size_t k = 0; k < c.Walls.size(); ++k)
          if (c.Walls[k] != nullptr) built |= 4u << k;
        add(built);
      }
    }
    return h;
  }

 private:
  TGLSceneWindow window_;
};

// The panel the game module's window offers, nullptr when there is none.
TPanel* OfferedGamePanel() {
  if (DMGameModule == nullptr || DMGameModule->Window == nullptr) return nullptr;
  return DMGameModule->Window->GamePanel();
}

}  // namespace

TGLSceneViewer* TDMGameModule::LocalPlayerViewer() {
  if (PlayerRecords.empty() || PlayerRecords.front() == nullptr) return nullptr;
  TLocalPlayer* player = PlayerRecords.front()->Player;
  if (player == nullptr || player->View == nullptr) return nullptr;
  return player->View->Viewer();
}

void ConnectRenderServices() {
  TEntityServices& s = EntityServices;
  s.Scene = DMGameRender != nullptr ? DMGameRender->MainScene.get() : nullptr;
  s.Font = DMGameRender != nullptr ? DMGameRender->WindowsBitmapFontLib.get() : nullptr;
  s.StaticSprites = StaticSpriteLib;
  s.AniSprites = [](const std::string& folder) { return AniSpriteLibByName(folder); };
  s.Bitmap = [](const std::string& name) -> const TBitmap32* { return LoadedBitmapByName(name); };
  s.MakeView = [](TPanel* panel) -> std::unique_ptr<TPlayerView> {
    if (panel == nullptr) return nullptr;  // no panel: the player plays unseen
    return std::make_unique<TSceneWindowView>(panel);
  };
}

namespace {

// Records the session that starts: the seed as the session found it (nothing before the
// session draws a random number), the screen the view is laid out for, the map and the game's
// version. The replay goes beside the log.
void StartSessionRecording(const std::string& mapFile, std::uint32_t seed) {
  if (!RecordReplays || !LogSaveEnabled) return;
  TReplayHeader header;
  header.GameVersion = GameVersion;
  header.Seed = seed;
  if (Application != nullptr) {
    header.ScreenWidth = Application->Backend().ScreenWidth();
    header.ScreenHeight = Application->Backend().ScreenHeight();
  }
  if (!WorkFolder.empty() && mapFile.compare(0, WorkFolder.size(), WorkFolder) == 0) {
    header.MapName = mapFile.substr(WorkFolder.size());
  } else {
    const std::size_t slash = mapFile.find_last_of("/\\");
    header.MapName = slash == std::string::npos ? mapFile : mapFile.substr(slash + 1);
  }
  for (char& c : header.MapName)
    if (c == '\\') c = '/';
  if (!FileDigest(mapFile, header.MapDigest, header.MapBytes)) return;
  StateDigestOf = &GameStateDigest;
  const std::string logFolder = LogFileName.empty() ? LogFolder() : FolderWithSeparator(LogFileName);
  StartRecording(header, logFolder + ReplayFileName);
}

}  // namespace

const char* const ReplayFileName = "last-run.replay";

std::string EpisodeMapPath(const std::string& gameFolder) {
  return gameFolder + NativeSeparators(std::string(EpisodeFolder) + EpisodeMapFile);
}

void SetUpSession() {
  const std::uint32_t seed = RandSeed;  // before the entities draw their places
  const std::string mapFile = EpisodeMapOverride.empty() ? EpisodeMapPath(WorkFolder) : EpisodeMapOverride;
  const TMapLoadResult result = LoadMap(mapFile);
  if (result != TMapLoadResult::Loaded) {
    const char* text = result == TMapLoadResult::Missing ? "Default map file not found! Aborting..."
                                                         : "Map data out of date or corrupted! Aborting...";
    if (Application != nullptr) {
      Application->ShowMessage(text);
      Application->Terminate();
    }
    return;
  }
  ConnectRenderServices();
  PrepareScene(GameMap.MapSize);
  SpawnEntities();
  AddPlayerRecord();
  TPanel* panel = OfferedGamePanel();
  if (panel == nullptr)
    LogEvent("ERROR: No game panel is offered for the player's view; the game runs unseen");
  PlayerRecords.back()->CreateLocalPlayer(panel);
  TLocalPlayer* player = PlayerRecords.back()->Player;
  player->Keys = {.Forward = VK_UP,
                  .Back = VK_DOWN,
                  .TurnLeft = VK_LEFT,
                  .TurnRight = VK_RIGHT,
                  .Fire = VK_SPACE,
                  .Use = VK_RETURN};
  StartSessionRecording(mapFile, seed);
  GameHalted = false;
}

void TearDownSession() {
  StopRecording();  // with the digest of the state as the session ends
  FreeMapEntities();
  for (auto& record : PlayerRecords) record.reset();
  PlayerRecords.clear();
  EntityServices = {};
  EpisodeMapOverride.clear();
}

}  // namespace orr
