// SPDX-License-Identifier: GPL-3.0-or-later
// Pick-up items: health, armour, weapon crates and ammunition packs.
#include "core/UMainModule.h"
#include "entities/EntitiesLocal.h"

namespace orr {

// ---- TItem ---------------------------------------------------------------------------------

namespace {
// Rolls an item's sprite may owe before it makes them: bounds the work a first look at it
// costs, and the count.
constexpr std::uint32_t MostRollsOwed = 128;
}  // namespace

TItem::TItem() : scene_(Sprite->Scene()) {
  SetHeight(0.1f);
  Sprite->OweRolls(&spin_);
}

TItem::~TItem() {
  spin_.Count = 0;  // the sprite goes with the item
  Sprite->OweRolls(nullptr);
}

void TItem::SetHidden(bool value) {
  TVisualMapEntity::SetHidden(value);
  if (!Hidden) Amount = static_cast<std::uint16_t>(StrToInt(Spawn.Param1));
}

void TItem::SetSpawn(const TPackedEntity& record) {
  TMapEntity::SetSpawn(record);
  std::string name;
  switch (record.EntityKind()) {
    case TEntityKind::HealthItem: name = "Med_" + std::to_string(record.Index) + ".bmp"; break;
    case TEntityKind::ArmourItem: name = "Armor_" + std::to_string(record.Index) + ".bmp"; break;
    case TEntityKind::Weapon: name = "WeaponCrate.bmp"; break;
    case TEntityKind::Ammunition: name = "AmmoPack.bmp"; break;
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
  if (Hidden) return;
  // What the roll itself would tell the scene (a roll of the spin changes the frame).
  if (scene_ != nullptr) scene_->NotifyChange();
  if (++spin_.Count >= MostRollsOwed) Sprite->MakeOwedRollsBelow();
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
  switch (Spawn.EntityKind()) {
    case TEntityKind::HealthItem: text = name + ", Health +" + n + "%"; break;
    case TEntityKind::ArmourItem: text = name + ", Armor +" + n + "%"; break;
    case TEntityKind::Weapon:
    case TEntityKind::Ammunition: text = n + "x " + name; break;
    default: return taken;
  }
  flyText_ = std::make_unique<TFlyText>(text, GetPosition());
  FlyText = flyText_.get();
  return taken;
}

}  // namespace orr
