#include "audio/UAudioModule.h"

namespace orr {

TDMAudioModule* DMAudioModule = nullptr;

void TDMAudioModule::DataModuleCreate() {}
void TDMAudioModule::DataModuleDestroy() {}

}  // namespace orr
