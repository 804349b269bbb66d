// SPDX-License-Identifier: GPL-3.0-or-later
// Texture images made ready for any backend without GLU: scaled to power-of-two sides by
// area averaging and halved into mipmaps with 2 x 2 box filters. The results are the bytes
// the old GLU path gave (its 16-bit area filter for the scaling, its rounded byte halving
// for the levels), so the fixed-function backend draws the pictures it drew before.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/backend/RenderBackend.h"

namespace orr {

// `rgba` (width x height, 4 bytes a pixel, rows packed) scaled to outWidth x outHeight.
std::vector<std::uint8_t> ScaleRgbaImage(int width, int height, const std::uint8_t* rgba, int outWidth,
                                         int outHeight);
// The level below `level`: each side halved (a side of 1 stays 1); each texel the rounded
// mean of the 2 x 2 (or 2 x 1) texels it covers.
TTextureLevel HalveTextureLevel(const TTextureLevel& level);
// Level 0 of `width` x `height` RGBA bytes at outWidth x outHeight (power-of-two sides),
// followed down to 1 x 1 when `mipmaps`.
TTextureUpload BuildTextureUpload(int width, int height, const std::uint8_t* rgba, int outWidth,
                                  int outHeight, bool mipmaps);

}  // namespace orr
