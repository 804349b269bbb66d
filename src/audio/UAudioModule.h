// The audio module: owner of the game's sound output.
#pragma once

#include "platform/Classes.h"

namespace orr {

class TDMAudioModule : public TDataModule {
 public:
  using TDataModule::TDataModule;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMAudioModule* DMAudioModule;

}  // namespace orr
