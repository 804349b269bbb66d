// The game module: sets up the game session at start-up and tears it down at exit.
#pragma once

#include "platform/Classes.h"

namespace orr {

class TDMGameModule : public TDataModule {
 public:
  using TDataModule::TDataModule;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMGameModule* DMGameModule;

}  // namespace orr
