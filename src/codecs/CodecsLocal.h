// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers the picture decoders share; not part of the codecs' public interface.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/Codecs.h"

namespace orr::codecs {

// Throws EPictureError "<format>: picture size WxH exceeds the limit ..." when the size is
// not positive or too large; called before any pixel memory is allocated.
void CheckPictureSize(const char* format, std::int64_t width, std::int64_t height,
                      const TDecodeLimits& limits);

[[noreturn]] void Fail(const char* format, const std::string& what);

}  // namespace orr::codecs
