// The map module: holds the map loader and the loaded map.
#pragma once

#include "platform/Classes.h"

namespace orr {

class TDMMapModule : public TDataModule {
 public:
  using TDataModule::TDataModule;
};

extern TDMMapModule* DMMapModule;

}  // namespace orr
