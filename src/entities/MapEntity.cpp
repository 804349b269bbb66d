// The root entity classes, items, pick-up texts, the player record and the tables.
#include <cmath>

#include "core/Random.h"
#include "core/UMainModule.h"
#include "entities/SpatialIndex.h"
#include "entities/UEntityStructures.h"

namespace orr {

TEntityServices EntityServices;
std::vector<std::unique_ptr<TMapEntity>> MapEntities;
bool SpatialIndexEnabled = true;
TRuleCounters RuleCounters;
std::vector<std::unique_ptr<TPlayerRecord>> PlayerRecords;

// Weapons by number: 0 Fists, 1 Suppressor, 2 Shotgun, 3 M4 Carbine, 4 Flamer,
// 5 Gatling Gun, 6 Auto-Shotgun, 7 Grenade Launcher, 8 C4-Detonator.
const std::array<std::uint8_t, WeaponCount> WeaponCapacity{1, 1, 1, 1, 1, 1, 1, 1, 1};
const std::array<float, WeaponCount> FireRate{3, 3, 1, 11, 10, 15, 3, 0.5f, 0.2f};
const std::array<float, WeaponCount> WeaponMinDistance{-1.0f, 0.6f, 0.8f, 0.4f, 1.0f,
                                                        0.5f, 1.2f, 0, 0};
const std::array<std::int32_t, WeaponCount> WeaponRange{5, 70, 50, 100, 50, 70, 50, 0, 0};
// Ammunition types: 0 Small Bullets, 1 Large Bullets, 2 Shotgun Shells, 3 Gas, 4 Grenades,
// 5 C4 Explosives.
const std::array<std::int8_t, WeaponCount> WeaponAmmoType{-1, 0, 2, 1, 3, 1, 2, 4, 5};
const std::array<std::uint16_t, AmmoTypeCount> AmmoCapacity{999, 300, 150, 99, 30, 15};
// Animation rows: 0 idle, 1 walking, 2 aiming, 3 firing.
const std::array<std::uint8_t, 4> AnimFirstFrame{0, 1, 9, 10};
const std::array<std::uint8_t, 4> AnimFrameCount{1, 8, 1, 1};
// NPC kinds: 0 Civilian, 1 Patroller, 2 Reaver, 3 Black Angel, 4 Fire Tank, 5 Pulsar Unit,
// 6 Punisher.
const std::array<float, NpcKindCount> NpcSpeed{3, 3, 2, 4, 1, 3, 1};
const std::array<std::uint8_t, NpcKindCount> NpcWeapon{0, 1, 2, 3, 4, 5, 6};
const std::array<bool, NpcKindCount> NpcLaser{false, false, false, true, false, false, false};

namespace {

TGLBaseSceneObject* SceneRoot() {
  if (EntityServices.Scene == nullptr)
    throw std::logic_error("entities need a scene: EntityServices.Scene is not set");
  return EntityServices.Scene->Objects();
}

void AddStep(TStepFunction step, void* object) {
  if (EntityServices.AddStep) EntityServices.AddStep(step, object);
}

void RemoveStep(TStepFunction step, void* object) {
  if (EntityServices.RemoveStep) EntityServices.RemoveStep(step, object);
}

bool IsPhysical(const TMapEntity* entity) {
  return dynamic_cast<const TPhysEntity*>(entity) != nullptr;
}

}  // namespace

// ---- TMapEntity ----------------------------------------------------------------------------

TMapEntity::TMapEntity() {
  Anchor = NewChildObject<TGLDummyCube>(SceneRoot());
  Anchor->Position.SetVector({0, 0, 0, 0});
  SpatialIndexEntityMade(this);
}

TMapEntity::~TMapEntity() {
  SpatialIndexEntityFreed(this);
  if (Anchor != nullptr) Anchor->Free();
}

void TMapEntity::SetHidden(bool value) { Hidden = value; }

void TMapEntity::SetSpawn(const TPackedEntity& record) {
  Spawn = record;
  const TMapVector& p = record.Position;
  if (p.X < 0 && p.Y < 0)
    PlaceRandomly();
  else
    SetPosition({p.X, p.Y, p.Z, p.W});
}

void TMapEntity::SetPosition(const TVector& position) {
  Anchor->Position.SetVector(position);
  SpatialIndexEntityMoved(this);
}

void TMapEntity::SetRespawnDelay(int seconds) {
  RespawnDelay = static_cast<std::uint8_t>(seconds < 0 ? 0 : seconds > 255 ? 255 : seconds);
}

void TMapEntity::CountDownRespawn() {
  if (RespawnDelay > 0 && Hidden) {
    RespawnTimer += 0.01f;
    if (RespawnTimer >= RespawnDelay) {
      RespawnTimer = 0;
      SetHidden(false);
    }
  }
}

void TMapEntity::Progress() { CountDownRespawn(); }

TVector TMapEntity::GetPosition() const { return Anchor->Position.AsVector(); }

bool TMapEntity::PlaceRandomly() {
  const std::int32_t w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  auto isFree = [this](std::int32_t x, std::int32_t y) {
    return !IsCellBlocked(x, y) && !IsSpotOccupied(x, y);
  };
  auto placeAt = [this](std::int32_t x, std::int32_t y) {
    SetPosition({static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, 0, 0});
    return true;
  };
  if (w > 0 && h > 0) {
    const std::int64_t draws = 64 * static_cast<std::int64_t>(w) * h;
    for (std::int64_t i = 0; i < draws; ++i) {
      const std::int32_t y = Random(h);
      const std::int32_t x = Random(w);
      if (isFree(x, y)) return placeAt(x, y);
    }
    for (std::int32_t y = 0; y < h; ++y)
      for (std::int32_t x = 0; x < w; ++x)
        if (isFree(x, y)) return placeAt(x, y);
  }
  LogEvent("WARNING: No free cell on the map to place " + EntityName(Spawn) +
           "; it stays where it is");
  return false;
}

bool TMapEntity::IsSpotOccupied(std::int32_t x, std::int32_t y) const {
  const TVector spot{static_cast<float>(x), static_cast<float>(y), 0, 0};
  auto occupies = [&](const TMapEntity& other) {
    return VectorDistance(spot, other.GetPosition()) < Radius + other.Radius;
  };
  if (!SpatialIndexEnabled) {
    for (const auto& other : MapEntities)
      if (IsPhysical(other.get()) && occupies(*other)) return true;
    return false;
  }
  static std::vector<std::int32_t> near;
  BodiesNear(spot, Radius, near);
  for (std::int32_t slot : near)
    if (occupies(*MapEntities[static_cast<std::size_t>(slot)])) return true;
  return false;
}

// ---- TVisualMapEntity ----------------------------------------------------------------------

TVisualMapEntity::TVisualMapEntity() {
  Sprite = NewChildObject<TGLPlane>(Anchor);
  AddStep(&StepTrampoline, this);
  Sprite->Material.Texture.SetMagFilter(maNearest);
  Sprite->Material.Texture.SetMinFilter(miNearest);
  SetHeading(0);
  SetHeight(0.5f);
}

TVisualMapEntity::~TVisualMapEntity() { RemoveStep(&StepTrampoline, this); }

void TVisualMapEntity::RegisterStepAgain() {
  RemoveStep(&StepTrampoline, this);
  AddStep(&StepTrampoline, this);
}

void TVisualMapEntity::StepTrampoline(void* object) {
  static_cast<TVisualMapEntity*>(object)->Progress();
}

void TVisualMapEntity::SetHidden(bool value) {
  TMapEntity::SetHidden(value);
  Sprite->SetVisible(!Hidden);
}

void TVisualMapEntity::SetPosition(const TVector& position) {
  TMapEntity::SetPosition(position);
}

void TVisualMapEntity::Progress() { CountDownRespawn(); }

void TVisualMapEntity::SetHeight(float height) {
  Sprite->Position.SetZ(height);
  Height = height;
}

void TVisualMapEntity::SetHeading(float angle) {
  Heading = WrapAngle(angle, 0, 359);
  Anchor->SetRollAngle(Heading);
}

// ---- TItem ---------------------------------------------------------------------------------

TItem::TItem() { SetHeight(0.1f); }

TItem::~TItem() = default;

void TItem::SetHidden(bool value) {
  TVisualMapEntity::SetHidden(value);
  if (!Hidden) Amount = static_cast<std::uint16_t>(StrToInt(Spawn.Param1));
}

void TItem::SetSpawn(const TPackedEntity& record) {
  TMapEntity::SetSpawn(record);
  std::string name;
  switch (record.Kind) {
    case 3: name = "Med_" + std::to_string(record.Index) + ".bmp"; break;
    case 4: name = "Armor_" + std::to_string(record.Index) + ".bmp"; break;
    case 5: name = "WeaponCrate.bmp"; break;
    case 6: name = "AmmoPack.bmp"; break;
    default: break;
  }
  TGLMaterialLibrary* library = EntityServices.StaticSprites;
  Sprite->Material.SetMaterialLibrary(library);
  Sprite->Material.SetLibMaterialName(name);
  if (!name.empty() && (library == nullptr || library->LibMaterialByName(name) == nullptr))
    LogWarningOnce("Static sprite not found: " + name + "; the item is shown untextured");
  Amount = static_cast<std::uint16_t>(StrToInt(record.Param1));
}

void TItem::Progress() {
  if (!Hidden) Sprite->RollBy(0.45f);
}

std::uint16_t TItem::Take(std::int32_t wanted) {
  if (Hidden) return 0;
  if (wanted < 0) wanted = 0;  // a negative request must not add units
  std::uint16_t taken;
  if (wanted >= Amount) {
    taken = Amount;
    SetHidden(true);
  } else {
    Amount = static_cast<std::uint16_t>(Amount - wanted);
    taken = static_cast<std::uint16_t>(wanted);
  }
  flyText_.reset();
  FlyText = nullptr;
  const std::string n = std::to_string(taken);
  const std::string name = EntityName(Spawn);
  std::string text;
  switch (Spawn.Kind) {
    case 3: text = name + ", Health +" + n + "%"; break;
    case 4: text = name + ", Armor +" + n + "%"; break;
    case 5:
    case 6: text = n + "x " + name; break;
    default: return taken;
  }
  flyText_ = std::make_unique<TFlyText>(text, GetPosition());
  FlyText = flyText_.get();
  return taken;
}

// ---- TFlyText ------------------------------------------------------------------------------

TFlyText::TFlyText(const std::string& text, const TVector& position) {
  TGLBaseSceneObject* root = SceneRoot();
  scene_ = root->Scene();
  Label = NewChildObject<TGLFlatText>(root);
  Label->Position.SetVector(position);
  Label->SetText(text);
  Label->Scale.SetPoint(0.01f, 0.01f, 0.01f);
  Label->SetBitmapFont(EntityServices.Font);
  Label->SetAlignment(taCenter);
  Label->ObjectStyle.NoDepthTest = true;
  AddStep(&StepTrampoline, this);
}

TFlyText::~TFlyText() {
  RemoveStep(&StepTrampoline, this);
  if (Label != nullptr) Label->Free();
}

void TFlyText::StepTrampoline(void* object) { static_cast<TFlyText*>(object)->Rise(); }

void TFlyText::Rise() {
  if (Label->Position.Z() > 15)
    Label->SetVisible(false);
  else
    Label->Position.SetZ(Label->Position.Z() + 0.1f);
}

// ---- TPlayerRecord -------------------------------------------------------------------------

TPlayerRecord::TPlayerRecord() {
  ResetInventory();
  SelectedWeapon = 0;
  ModelNumber = 0;
}

TPlayerRecord::~TPlayerRecord() {
  player_.reset();
  Player = nullptr;
}

void TPlayerRecord::ResetInventory() {
  Weapons.fill(1);
  Ammo.fill(50);
}

void TPlayerRecord::CreateLocalPlayer(TPanel* panel) {
  player_ = std::make_unique<TLocalPlayer>(this, panel);
  Player = player_.get();
  SelectWeapon(0);
}

void TPlayerRecord::SelectWeapon(std::uint8_t weapon) {
  SelectedWeapon = weapon;
  if (Player != nullptr) Player->WeaponChanged();
}

void ResetEntities() {
  for (auto& record : PlayerRecords) record.reset();
  PlayerRecords.clear();
  for (auto& entity : MapEntities) entity.reset();
  MapEntities.clear();
  RuleCounters = {};
  SpatialIndexEnabled = true;
}

}  // namespace orr
