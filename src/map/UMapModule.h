// SPDX-License-Identifier: GPL-3.0-or-later
// The map module: the episode map loader (MapLoader.h), the loaded map `GameMap`
// (GameMap.h, its grids in MapGrid.h) and the queries over it (MapQueries.h), all included
// here, and the data module that holds them.
#pragma once

#include <string>

#include "core/Numbers.h"
#include "map/GameMap.h"
#include "map/MapGrid.h"
#include "map/MapLoader.h"
#include "map/MapQueries.h"
#include "platform/Classes.h"

namespace orr {

// Holds the map loader and GameMap. No creation or destruction handler.
class TDMMapModule : public TDataModule {
 public:
  explicit TDMMapModule(TComponent* owner);
  TMapLoadResult LoadMap(const std::string& path) { return orr::LoadMap(path); }
};

extern TDMMapModule* DMMapModule;

}  // namespace orr
