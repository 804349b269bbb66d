// SPDX-License-Identifier: GPL-3.0-or-later
// Key script files: any text is either refused with a reason or gives entries that each
// cover a non-empty range of steps from step 1 on.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SimOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr::sim;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<TKeyEntry> entries;
  std::string error;
  if (!ParseKeyScriptLines(text, entries, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  for (const TKeyEntry& e : entries)
    if (e.From < 1 || e.To < e.From || VirtualKeyOf(e.Key) == 0) std::abort();
  return 0;
}
