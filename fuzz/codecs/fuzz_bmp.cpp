// SPDX-License-Identifier: GPL-3.0-or-later
// Any input either decodes or raises EPictureError; what decodes survives a 32-bit
// encode and decode unchanged.
#include <cstdlib>

#include "FuzzLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orr::TPicture picture;
  try {
    picture = orr::DecodeBmp(data, size, orr::fuzz::Limits);
  } catch (const orr::EPictureError&) {
    return 0;
  }
  if (picture.Pixels.size() != std::size_t(picture.Width) * picture.Height) std::abort();
  std::vector<std::uint8_t> encoded = orr::EncodeBmp32(picture);
  orr::TPicture back = orr::DecodeBmp(encoded.data(), encoded.size(), orr::fuzz::Limits);
  if (back.Width != picture.Width || back.Height != picture.Height || back.Pixels != picture.Pixels)
    std::abort();
  return 0;
}
