#include "render/UGraphicsModule.h"

namespace orr {

TDMGraphicsModule* DMGraphicsModule = nullptr;

void TDMGraphicsModule::DataModuleCreate() {}
void TDMGraphicsModule::DataModuleDestroy() {}

}  // namespace orr
