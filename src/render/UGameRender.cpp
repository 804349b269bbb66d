#include "render/UGameRender.h"

namespace orr {

bool GameHalted = false;
bool SceneRefreshPending = false;
TDMGameRender* DMGameRender = nullptr;

void TDMGameRender::DataModuleCreate() {}
void TDMGameRender::DataModuleDestroy() {}

}  // namespace orr
