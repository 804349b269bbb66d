// The graphics module: 2D bitmaps, static and animated sprite materials.
#pragma once

#include "platform/Classes.h"

namespace orr {

class TDMGraphicsModule : public TDataModule {
 public:
  using TDataModule::TDataModule;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMGraphicsModule* DMGraphicsModule;

}  // namespace orr
