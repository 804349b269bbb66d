// SPDX-License-Identifier: GPL-3.0-or-later
// `orx encode`'s input: any bytes as the JSON map source. The source is refused as JSON or
// with EMapEncodeError, or it encodes, and the episode file it makes loads back to the same
// map (printed as JSON again, the two are equal).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OrxJson.h"
#include "core/UMainModule.h"
#include "map/MapFileWriter.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr;
  const nlohmann::json source = nlohmann::json::parse(data, data + size, nullptr, false);
  if (source.is_discarded()) return 0;
  TMapSource map;
  std::string content;
  try {
    map = MapFromJson(source);
    TMapWriteOptions options;
    options.EntityCount = map.EntityCount;
    options.Seed = size;
    options.Wrap = static_cast<int>(size % 97);
    content = EncodeMapFile(map.Map, options);
  } catch (const EMapEncodeError&) {
    return 0;
  }
  static const fuzz::TScratchFile scratch("encoded.orx");
  scratch.Write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
  ResetEventLog();
  ResetGameMap();
  if (LoadMap(scratch.Path()) != TMapLoadResult::Loaded) std::abort();
  if (MapToJson(GameMap) != MapToJson(map.Map)) std::abort();
  return 0;
}
