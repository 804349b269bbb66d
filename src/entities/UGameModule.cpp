#include "entities/UGameModule.h"

namespace orr {

TDMGameModule* DMGameModule = nullptr;

void TDMGameModule::DataModuleCreate() {}
void TDMGameModule::DataModuleDestroy() {}

}  // namespace orr
