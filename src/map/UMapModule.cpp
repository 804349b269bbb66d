// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/UMapModule.h"

#include "platform/Application.h"

namespace orr {

TOrrindelMap GameMap;
TDMMapModule* DMMapModule = nullptr;

void ResetGameMap() { GameMap = TOrrindelMap{}; }

TDMMapModule::TDMMapModule(TComponent* owner) : TDataModule(owner) {
  // GameMap belongs to this unit and outlives the module: release it with the other units'
  // global state, after every module is destroyed.
  AddFinalization([] { ResetGameMap(); });
}

}  // namespace orr
