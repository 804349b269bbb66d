// SPDX-License-Identifier: GPL-3.0-or-later
// The colour-key pixel combine carried by the game's 2D bitmaps.
#pragma once

#include "codecs/Codecs.h"  // TColor32

namespace orr {

// Opaque magenta-pink, 0xAARRGGBB: pixels of exactly this value are background.
extern const TColor32 ColorKey;

// F: source pixel; B: destination pixel (read and written); M: master alpha, ignored.
// Copies F unless it equals ColorKey in all 32 bits, which leaves B as it was.
void ColorKeyCombine(TColor32 F, TColor32& B, TColor32 M);

}  // namespace orr
