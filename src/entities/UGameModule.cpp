#include "entities/UGameModule.h"

#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Keys.h"
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

void SetUpSession() {
  const int result = LoadMap(EpisodeMapOverride.empty() ? WorkFolder + EpisodeFolder + EpisodeMapFile
                                                        : EpisodeMapOverride);
  if (result == 1 || result == 2) {
    const char* text = result == 1 ? "Default map file not found! Aborting..."
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

void SpawnEntities() {
  for (std::size_t i = 0; i < GameMap.EntityCount && i < GameMap.EntitySpawns.size(); ++i)
    SpawnEntity(GameMap.EntitySpawns[i]);
}

void SpawnEntity(const TPackedEntity& record) {
  std::unique_ptr<TMapEntity> made;
  switch (record.EntityKind()) {
    case TEntityKind::Creature: made = std::make_unique<TNPC>(); break;
    case TEntityKind::HealthItem:
    case TEntityKind::ArmourItem:
    case TEntityKind::Weapon:
    case TEntityKind::Ammunition: made = std::make_unique<TItem>(); break;
    default: return;
  }
  MapEntities.push_back(std::move(made));
  MapEntities.back()->SetSpawn(record);
}

void AddPlayerRecord() { PlayerRecords.push_back(std::make_unique<TPlayerRecord>()); }

void FreeMapEntities() {
  for (auto& entity : MapEntities) entity.reset();
  MapEntities.clear();
}

void TearDownSession() {
  FreeMapEntities();
  for (auto& record : PlayerRecords) record.reset();
  PlayerRecords.clear();
  EntityServices = {};
  EpisodeMapOverride.clear();
}

}  // namespace orr
