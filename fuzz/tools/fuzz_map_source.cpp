// SPDX-License-Identifier: GPL-3.0-or-later
// The content builder's episode source: any text is refused with "<file>:<line>: <what>",
// or it parses, and the JSON the builder makes of it is a map source `orx encode` accepts
// as it stands (refusing only what the episode file cannot store).
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "MapSource.h"
#include "OrxJson.h"
#include "map/MapFileWriter.h"

namespace {

// The names the shipped art defines, so that the fuzzer starts from the real legend.
std::vector<std::string> NamesIn(const char* file, const char* list) {
  std::ifstream in(std::string(ORR_CONTENT_DIR) + "/art/" + file);
  const nlohmann::json document = nlohmann::json::parse(in);
  std::vector<std::string> names;
  for (const auto& entry : document.at(list)) names.push_back(entry.at("name").get<std::string>());
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> tiles = NamesIn("tiles.json", "tiles");
  static const std::vector<std::string> decorations = NamesIn("decorations.json", "decorations");
  const std::string text(reinterpret_cast<const char*>(data), size);
  orr::content::TMapSource parsed;
  try {
    parsed = orr::content::ParseMapSource(text, "fuzz.map", tiles, decorations);
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).rfind("fuzz.map:", 0) != 0) std::abort();
    return 0;
  }
  const nlohmann::json source = orr::content::MapToJson(parsed);
  orr::TMapSource map = orr::MapFromJson(nlohmann::json::parse(source.dump()));
  try {
    orr::EncodeMapFile(map.Map);
  } catch (const orr::EMapEncodeError&) {
  }
  return 0;
}
