// SPDX-License-Identifier: GPL-3.0-or-later
// The import's picture of a Tiled map, TMX or JSON: both readers fill this small document
// model, which the converter (TiledImport.cpp) then turns into an episode map. A reader
// stops at the first thing it cannot read (ETiledRefusal, one line); the converter
// reports every problem of a readable file at once.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TiledMap.h"

namespace orr::tiled {

// The largest map the import builds: as many cells as the game's loader reads from its
// largest file (a 4096 x 4096 map takes about 170 MB of its 256 MiB).
constexpr long long MaxCells = 4096LL * 4096LL * 2;
constexpr long long MaxSide = 1 << 20;
constexpr std::uintmax_t MaxTilesetFile = 16u << 20;

struct TProp {
  std::string Type;  // "string", "int", "float", "bool", ...
  std::string Value;
};
using TProps = std::vector<std::pair<std::string, TProp>>;

struct TTileset {
  long long FirstGid = 0;
  std::string Name;
  long long TileCount = -1;   // -1: not given
  long long AtlasTiles = -1;  // -1: a tileset of the author's own, no placeholder
};

enum class TShape { Point, Box, Tile, Other };

struct TObject {
  std::string Id, Name;
  std::string Type;  // the editor's Type field (Class from Tiled 1.9 on)
  double X = 0, Y = 0, Width = 0, Height = 0;
  TShape Shape = TShape::Box;
  std::string OtherShape;  // what Other is, for the message
  TProps Props;
};

enum class TLayerKind { Tiles, Objects, Image, Group };

struct TLayer {
  TLayerKind Kind = TLayerKind::Tiles;
  std::string Name;
  TProps Props;
  std::vector<std::uint32_t> Gids;
  std::vector<TObject> Objects;
};

struct TDocument {
  long long Width = 0, Height = 0, TileWidth = 0, TileHeight = 0;
  std::string Orientation = "orthogonal";
  bool Infinite = false;
  TProps Props;
  std::vector<TTileset> Tilesets;
  std::vector<TLayer> Layers;
};

// Names and snippets in the line come from the file: control characters are shown as '?'
// so that a refusal stays one line.
std::string OneLine(std::string line);
[[noreturn]] void Refuse(const std::string& line);

bool ParseInteger(std::string_view text, long long& value);
bool ParseReal(std::string_view text, double& value);
// width x height, refused when the game could not load a map that large.
long long CheckedCells(long long width, long long height);
// A tileset file beside the map, at most MaxTilesetFile bytes.
std::string ReadSmallFile(const std::filesystem::path& path, const std::string& what);
// Layer data given as text: CSV numbers, or base64 of little-endian 32-bit gids,
// optionally compressed.
std::vector<std::uint32_t> DecodeLayer(std::string_view text, const std::string& encoding,
                                       const std::string& compression, long long cells,
                                       const std::string& where);
// A tileset kept in a file of its own (TSX or JSON), looked up in `folder`.
TTileset ExternalTileset(const std::filesystem::path& folder, const std::string& source, long long firstGid);

// TiledReadTmx.cpp
pugi::xml_document ParseXml(const std::string& text, const std::string& what);
TTileset XmlTileset(const pugi::xml_node& node, long long firstGid, const std::string& where);
TDocument ReadTmx(const std::string& text, const std::filesystem::path& folder);

// TiledReadJson.cpp
TTileset JsonTileset(const nlohmann::json& node, long long firstGid, const std::string& where);
TDocument ReadJson(const std::string& text, const std::filesystem::path& folder);

}  // namespace orr::tiled
