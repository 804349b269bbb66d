// SPDX-License-Identifier: GPL-3.0-or-later
// What both readers of Tiled's files share: numbers, sizes, layer data, tileset files.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "TiledData.h"
#include "TiledDocument.h"
#include "TiledNames.h"
#include "core/FloatText.h"
#include "platform/Paths.h"

namespace orr::tiled {

using nlohmann::json;

std::string OneLine(std::string line) {
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return line;
}

void Refuse(const std::string& line) { throw ETiledRefusal(OneLine(line)); }

bool ParseInteger(std::string_view text, long long& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseReal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = FloatFromChars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() && std::isfinite(value);
}

long long CheckedCells(long long width, long long height) {
  if (width < 0 || height < 0 || width > MaxSide || height > MaxSide || width * height > MaxCells)
    Refuse("map size " + std::to_string(width) + " x " + std::to_string(height) +
           ": more than the game loads (" + std::to_string(MaxCells) + " cells)");
  return width * height;
}

std::string ReadSmallFile(const std::filesystem::path& path, const std::string& what) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) Refuse(what + ": no such file " + Utf8FromPath(path));
  if (std::filesystem::file_size(path, error) > MaxTilesetFile)
    Refuse(what + ": " + Utf8FromPath(path) + " is too large");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  if (!in && !in.eof()) Refuse(what + ": cannot read " + path.string());
  return s.str();
}

std::vector<std::uint32_t> DecodeLayer(std::string_view text, const std::string& encoding,
                                       const std::string& compression, long long cells,
                                       const std::string& where) {
  std::vector<std::uint32_t> gids;
  if (encoding == "csv") {
    if (!compression.empty()) Refuse(where + ": CSV data cannot be compressed");
    gids.reserve(
        static_cast<std::size_t>(std::min<long long>(cells, static_cast<long long>(text.size() / 2 + 1))));
    std::size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
        ++i;
      if (i == text.size()) break;
      std::size_t end = i;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      long long gid = 0;
      if (end == i || !ParseInteger(text.substr(i, end - i), gid) || gid > 0xFFFFFFFFLL)
        Refuse(where + ": CSV data holds \"" +
               std::string(text.substr(i, std::min<std::size_t>(12, text.size() - i))) +
               "\" where a tile id is needed");
      if (static_cast<long long>(gids.size()) == cells)
        Refuse(where + ": more than the " + std::to_string(cells) + " cells of the map");
      gids.push_back(static_cast<std::uint32_t>(gid));
      i = end;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
        ++i;
      if (i < text.size()) {
        if (text[i] != ',')
          Refuse(where + ": CSV data holds '" + std::string(1, text[i]) + "' between tile ids");
        ++i;
      }
    }
  } else if (encoding == "base64") {
    TCompression how = TCompression::None;
    if (compression == "zlib") how = TCompression::Zlib;
    else if (compression == "gzip") how = TCompression::Gzip;
    else if (compression == "zstd") how = TCompression::Zstd;
    else if (!compression.empty()) Refuse(where + ": unknown compression \"" + compression + "\"");
    std::string bytes;
    try {
      bytes = Decompress(Base64Decode(text), how, static_cast<std::size_t>(cells) * 4);
    } catch (const EDataError& e) {
      Refuse(where + ": " + e.what());
    }
    gids.resize(static_cast<std::size_t>(cells));
    for (std::size_t k = 0; k < gids.size(); ++k) {
      std::uint32_t v = 0;
      for (int b = 3; b >= 0; --b)
        v = v << 8 | static_cast<std::uint8_t>(bytes[k * 4 + static_cast<std::size_t>(b)]);
      gids[k] = v;
    }
  } else {
    Refuse(where + ": unknown data encoding \"" + encoding + "\"");
  }
  if (static_cast<long long>(gids.size()) != cells)
    Refuse(where + ": " + std::to_string(gids.size()) + " cells where the map has " + std::to_string(cells));
  return gids;
}

TTileset ExternalTileset(const std::filesystem::path& folder, const std::string& source, long long firstGid) {
  const std::string where = "tileset " + source;
  const std::string text = ReadSmallFile(folder / PathFromUtf8(source), where);
  const std::size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  if (start != std::string::npos && text[start] == '<') {
    pugi::xml_document doc = ParseXml(text, where);
    const pugi::xml_node node = doc.child("tileset");
    if (!node) Refuse(where + ": no <tileset> element");
    return XmlTileset(node, firstGid, where);
  }
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::exception& e) {
    Refuse(where + ": neither XML nor valid JSON: " + e.what());
  }
  return JsonTileset(doc, firstGid, where);
}

}  // namespace orr::tiled
