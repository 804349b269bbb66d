// The render module: the 3D scene, the tile material libraries and the frame progress.
#pragma once

#include "platform/Classes.h"

namespace orr {

// While true no game step runs. Set by the render module's creation and by Escape,
// cleared as the last step of the game session's set-up.
extern bool GameHalted;
// One-shot: scene windows rebuild their visible cells while it is raised.
extern bool SceneRefreshPending;

class TDMGameRender : public TDataModule {
 public:
  using TDataModule::TDataModule;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMGameRender* DMGameRender;

}  // namespace orr
