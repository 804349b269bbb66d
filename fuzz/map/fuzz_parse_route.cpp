// SPDX-License-Identifier: GPL-3.0-or-later
// Route texts as they come out of map files: any text parses into whole groups of 8
// characters or stops with a conversion error after a partly filled step.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "map/UMapModule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TRoute route;
  route.Steps.resize(3);
  try {
    ParseRoute(route, text);
    if (route.Steps.size() != size / 8) std::abort();
  } catch (const EConvertError&) {
    if (route.Steps.empty() || route.Steps.size() > size / 8) std::abort();
  }
  return 0;
}
