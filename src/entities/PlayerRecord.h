// SPDX-License-Identifier: GPL-3.0-or-later
// A player's record: inventory, model, name, and the player entity it owns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "entities/EntityTables.h"
#include "entities/LocalPlayer.h"

namespace orr {

class TPanel;

class TPlayerRecord {
 public:
  TPlayerRecord();
  ~TPlayerRecord();
  TPlayerRecord(const TPlayerRecord&) = delete;
  TPlayerRecord& operator=(const TPlayerRecord&) = delete;

  TLocalPlayer* Player = nullptr;  // owned (see player_)
  std::array<std::uint8_t, WeaponCount> Weapons{};
  std::array<std::uint16_t, AmmoTypeCount> Ammo{};
  std::uint8_t ModelNumber = 0;
  std::string Name;
  std::uint8_t SelectedWeapon = 0;
  std::uint8_t Armour = 0;
  std::uint8_t Health = 0;

  void ResetInventory();
  void CreateLocalPlayer(TPanel* panel);
  void SelectWeapon(std::uint8_t weapon);

 private:
  std::unique_ptr<TLocalPlayer> player_;
};

}  // namespace orr
