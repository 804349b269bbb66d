// SPDX-License-Identifier: GPL-3.0-or-later
// A player on the map, bound to its record: picks items up, fires what the record holds.
#pragma once

#include "entities/Creature.h"
#include "entities/Item.h"

namespace orr {

class TPlayerRecord;

class TBasicPlayer : public TCreature {
 public:
  explicit TBasicPlayer(TPlayerRecord* record);
  // Clears every NPC's Target that points at this player.
  ~TBasicPlayer() override;

  TPlayerRecord* PlayerRecord = nullptr;  // not owned

  void Progress() override;
  void SetHealth(std::int32_t value) override;
  void SetArmour(std::int32_t value) override;
  void RequestAction(TCreatureAction action) override;
  virtual void WeaponChanged();
  void PickUp(TItem& item);

 private:
  std::vector<std::int32_t> nearItems_;  // the items a step's pick-up looks at; kept to reuse
};

}  // namespace orr
