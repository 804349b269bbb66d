// SPDX-License-Identifier: GPL-3.0-or-later
// Any input either decodes to a whole picture or raises EPictureError.
#include <cstdlib>

#include "FuzzLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    orr::TPicture picture = orr::DecodeJpeg(data, size, orr::fuzz::Limits);
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != std::size_t(picture.Width) * picture.Height)
      std::abort();
  } catch (const orr::EPictureError&) {
  }
  return 0;
}
