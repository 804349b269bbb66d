// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/PixelCombines.h"

namespace orr {

const TColor32 ColorKey = 0xFFFF0080;

void ColorKeyCombine(TColor32 F, TColor32& B, TColor32 /*M*/) {
  if (F != ColorKey) B = F;
}

}  // namespace orr
