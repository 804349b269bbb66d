// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/UGameModule.h"

#include "core/UMainModule.h"
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

std::string EpisodeMapPath(const std::string& gameFolder) {
  return gameFolder + NativeSeparators(std::string(EpisodeFolder) + EpisodeMapFile);
}

void SetUpSession() {
  const TMapLoadResult result =
      LoadMap(EpisodeMapOverride.empty() ? EpisodeMapPath(WorkFolder) : EpisodeMapOverride);
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
  if (panel == nullptr) LogEvent("ERROR: No game panel is offered for the player's view; the game runs unseen");
  PlayerRecords.back()->CreateLocalPlayer(panel);
  TLocalPlayer* player = PlayerRecords.back()->Player;
  player->Keys = {.Forward = VK_UP, .Back = VK_DOWN, .TurnLeft = VK_LEFT, .TurnRight = VK_RIGHT,
                  .Fire = VK_SPACE, .Use = VK_RETURN};
  GameHalted = false;
}

void TearDownSession() {
  FreeMapEntities();
  for (auto& record : PlayerRecords) record.reset();
  PlayerRecords.clear();
  EntityServices = {};
  EpisodeMapOverride.clear();
}

}  // namespace orr
