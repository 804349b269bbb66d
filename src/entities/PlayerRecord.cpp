// SPDX-License-Identifier: GPL-3.0-or-later
// The player record: inventory and the local player it owns.
#include "entities/UEntityStructures.h"

namespace orr {

std::vector<std::unique_ptr<TPlayerRecord>> PlayerRecords;

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
  // The view first: its step handler is then registered before the player's.
  std::unique_ptr<TPlayerView> view = EntityServices.MakeView ? EntityServices.MakeView(panel) : nullptr;
  player_ = std::make_unique<TLocalPlayer>(this, std::move(view));
  Player = player_.get();
  SelectWeapon(0);
}

void TPlayerRecord::SelectWeapon(std::uint8_t weapon) {
  SelectedWeapon = weapon;
  if (Player != nullptr) Player->WeaponChanged();
}

}  // namespace orr
