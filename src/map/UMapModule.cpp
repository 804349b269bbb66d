#include "map/UMapModule.h"

namespace orr {

TDMMapModule* DMMapModule = nullptr;

}  // namespace orr
