// Reads a Tiled map, TMX or JSON, into an episode map. Both readers fill the same small
// document model; one converter then turns it into the map and refuses, with one line,
// anything the map cannot hold.
#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TiledData.h"
#include "TiledMap.h"
#include "TiledNames.h"
#include "map/MapFileWriter.h"
#include "platform/Paths.h"

namespace orr {

namespace {

using namespace tiled;
using nlohmann::json;

// Names and snippets in the line come from the file: control characters are shown as '?'
// so that a refusal stays one line.
[[noreturn]] void Refuse(std::string line) {
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  throw ETiledRefusal(line);
}

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

// ---- small readers -----------------------------------------------------------------------

bool ParseInteger(std::string_view text, long long& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseReal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() && std::isfinite(value);
}

long long CheckedCells(long long width, long long height) {
  if (width < 0 || height < 0 || width > MaxSide || height > MaxSide || width * height > MaxCells)
    Refuse("map size " + std::to_string(width) + " x " + std::to_string(height) + ": more than the game loads (" +
           std::to_string(MaxCells) + " cells)");
  return width * height;
}

std::string ReadSmallFile(const std::filesystem::path& path, const std::string& what) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) Refuse(what + ": no such file " + path.string());
  if (std::filesystem::file_size(path, error) > MaxTilesetFile) Refuse(what + ": " + path.string() + " is too large");
  std::ifstream in(orr::PathFromUtf8(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  if (!in && !in.eof()) Refuse(what + ": cannot read " + path.string());
  return s.str();
}

// Layer data given as text: CSV numbers, or base64 of little-endian 32-bit gids,
// optionally compressed.
std::vector<std::uint32_t> DecodeLayer(std::string_view text, const std::string& encoding,
                                       const std::string& compression, long long cells, const std::string& where) {
  std::vector<std::uint32_t> gids;
  if (encoding == "csv") {
    if (!compression.empty()) Refuse(where + ": CSV data cannot be compressed");
    gids.reserve(static_cast<std::size_t>(std::min<long long>(cells, static_cast<long long>(text.size() / 2 + 1))));
    std::size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t')) ++i;
      if (i == text.size()) break;
      std::size_t end = i;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      long long gid = 0;
      if (end == i || !ParseInteger(text.substr(i, end - i), gid) || gid > 0xFFFFFFFFLL)
        Refuse(where + ": CSV data holds \"" + std::string(text.substr(i, std::min<std::size_t>(12, text.size() - i))) +
               "\" where a tile id is needed");
      if (static_cast<long long>(gids.size()) == cells)
        Refuse(where + ": more than the " + std::to_string(cells) + " cells of the map");
      gids.push_back(static_cast<std::uint32_t>(gid));
      i = end;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t')) ++i;
      if (i < text.size()) {
        if (text[i] != ',') Refuse(where + ": CSV data holds '" + std::string(1, text[i]) + "' between tile ids");
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
      for (int b = 3; b >= 0; --b) v = v << 8 | static_cast<std::uint8_t>(bytes[k * 4 + static_cast<std::size_t>(b)]);
      gids[k] = v;
    }
  } else {
    Refuse(where + ": unknown data encoding \"" + encoding + "\"");
  }
  if (static_cast<long long>(gids.size()) != cells)
    Refuse(where + ": " + std::to_string(gids.size()) + " cells where the map has " + std::to_string(cells));
  return gids;
}

// ---- TMX ----------------------------------------------------------------------------------

std::string Attribute(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

long long IntAttribute(const pugi::xml_node& node, const char* name, const std::string& where, bool required = true,
                       long long fallback = 0) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) {
    if (required) Refuse(where + ": attribute " + name + " is missing");
    return fallback;
  }
  long long value = 0;
  if (!ParseInteger(a.value(), value))
    Refuse(where + ": attribute " + name + " is \"" + a.value() + "\", not a whole number");
  return value;
}

double RealAttribute(const pugi::xml_node& node, const char* name, const std::string& where) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) return 0;
  double value = 0;
  if (!ParseReal(a.value(), value)) Refuse(where + ": attribute " + name + " is \"" + a.value() + "\", not a number");
  return value;
}

TProps XmlProps(const pugi::xml_node& node) {
  TProps props;
  for (pugi::xml_node p : node.child("properties").children("property")) {
    TProp prop{p.attribute("type") ? Attribute(p, "type") : "string",
               p.attribute("value") ? Attribute(p, "value") : p.text().get()};
    props.emplace_back(Attribute(p, "name"), std::move(prop));
  }
  return props;
}

pugi::xml_document ParseXml(const std::string& text, const std::string& what) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
  if (!result)
    Refuse(what + ": not valid XML at byte " + std::to_string(result.offset) + ": " + result.description());
  return doc;
}

TTileset XmlTileset(const pugi::xml_node& node, long long firstGid, const std::string& where) {
  TTileset set;
  set.FirstGid = firstGid;
  set.Name = Attribute(node, "name");
  set.TileCount = IntAttribute(node, "tilecount", where, false, -1);
  for (const auto& [name, prop] : XmlProps(node))
    if (name == AtlasTilesProperty && !ParseInteger(prop.Value, set.AtlasTiles))
      Refuse(where + ": property \"" + name + "\" is not a whole number");
  return set;
}

TTileset JsonTileset(const json& node, long long firstGid, const std::string& where);

TTileset ExternalTileset(const std::filesystem::path& folder, const std::string& source, long long firstGid) {
  const std::string where = "tileset " + source;
  const std::string text = ReadSmallFile(folder / source, where);
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

void XmlLayers(const pugi::xml_node& parent, TDocument& doc, long long cells) {
  for (pugi::xml_node node : parent.children()) {
    const std::string type = node.name();
    TLayer layer;
    layer.Name = Attribute(node, "name");
    layer.Props = XmlProps(node);
    const std::string where = "layer " + layer.Name;
    if (type == "layer") {
      layer.Kind = TLayerKind::Tiles;
      const pugi::xml_node data = node.child("data");
      if (!data) Refuse(where + ": no data");
      if (data.child("chunk")) Refuse(where + ": data in chunks (an infinite map); make the map finite");
      const std::string encoding = Attribute(data, "encoding");
      if (encoding.empty()) {
        for (pugi::xml_node tile : data.children("tile")) {
          if (static_cast<long long>(layer.Gids.size()) == cells)
            Refuse(where + ": more than the " + std::to_string(cells) + " cells of the map");
          const long long gid = IntAttribute(tile, "gid", where + ", <tile>", false, 0);
          if (gid < 0 || gid > 0xFFFFFFFFLL) Refuse(where + ": tile id " + std::to_string(gid) + " out of range");
          layer.Gids.push_back(static_cast<std::uint32_t>(gid));
        }
        if (static_cast<long long>(layer.Gids.size()) != cells)
          Refuse(where + ": " + std::to_string(layer.Gids.size()) + " cells where the map has " + std::to_string(cells));
      } else {
        layer.Gids = DecodeLayer(data.text().get(), encoding, Attribute(data, "compression"), cells, where);
      }
    } else if (type == "objectgroup") {
      layer.Kind = TLayerKind::Objects;
      for (pugi::xml_node o : node.children("object")) {
        TObject object;
        object.Id = Attribute(o, "id");
        object.Name = Attribute(o, "name");
        const std::string at = "object " + object.Id + " \"" + object.Name + "\" (" + where + ")";
        object.X = RealAttribute(o, "x", at);
        object.Y = RealAttribute(o, "y", at);
        object.Width = RealAttribute(o, "width", at);
        object.Height = RealAttribute(o, "height", at);
        object.Props = XmlProps(o);
        if (o.child("point")) object.Shape = TShape::Point;
        else if (o.attribute("gid")) object.Shape = TShape::Tile;
        for (const char* other : {"polyline", "polygon", "text"})
          if (o.child(other)) object.Shape = TShape::Other, object.OtherShape = other;
        layer.Objects.push_back(std::move(object));
      }
    } else if (type == "imagelayer") {
      layer.Kind = TLayerKind::Image;
    } else if (type == "group") {
      layer.Kind = TLayerKind::Group;
    } else {
      continue;  // properties, tilesets and the editor's own elements
    }
    doc.Layers.push_back(std::move(layer));
  }
}

TDocument ReadTmx(const std::string& text, const std::filesystem::path& folder) {
  pugi::xml_document xml = ParseXml(text, "map");
  const pugi::xml_node map = xml.child("map");
  if (!map) Refuse("map: no <map> element; not a TMX file");
  TDocument doc;
  doc.Width = IntAttribute(map, "width", "map");
  doc.Height = IntAttribute(map, "height", "map");
  doc.TileWidth = IntAttribute(map, "tilewidth", "map");
  doc.TileHeight = IntAttribute(map, "tileheight", "map");
  if (map.attribute("orientation")) doc.Orientation = Attribute(map, "orientation");
  doc.Infinite = IntAttribute(map, "infinite", "map", false, 0) != 0;
  doc.Props = XmlProps(map);
  const long long cells = CheckedCells(doc.Width, doc.Height);
  for (pugi::xml_node node : map.children("tileset")) {
    const long long firstGid = IntAttribute(node, "firstgid", "tileset " + Attribute(node, "name"));
    if (node.attribute("source"))
      doc.Tilesets.push_back(ExternalTileset(folder, Attribute(node, "source"), firstGid));
    else
      doc.Tilesets.push_back(XmlTileset(node, firstGid, "tileset " + Attribute(node, "name")));
  }
  if (!doc.Infinite) XmlLayers(map, doc, cells);
  return doc;
}

// ---- JSON ---------------------------------------------------------------------------------

const json* Find(const json& node, const char* key) {
  if (!node.is_object()) return nullptr;
  const auto it = node.find(key);
  return it == node.end() ? nullptr : &*it;
}

std::string JsonText(const json& node, const char* key) {
  const json* v = Find(node, key);
  return v != nullptr && v->is_string() ? v->get<std::string>() : std::string();
}

long long JsonInt(const json& node, const char* key, const std::string& where, bool required = true,
                  long long fallback = 0) {
  const json* v = Find(node, key);
  if (v == nullptr) {
    if (required) Refuse(where + ": \"" + key + "\" is missing");
    return fallback;
  }
  if (v->is_number_integer()) {
    if (v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(MaxSide) * MaxSide)
      Refuse(where + ": \"" + key + "\" is out of range");
    return v->get<long long>();
  }
  if (v->is_number_float() && std::nearbyint(v->get<double>()) == v->get<double>() && std::fabs(v->get<double>()) < 9e15)
    return static_cast<long long>(v->get<double>());
  Refuse(where + ": \"" + key + "\" is " + v->dump() + ", not a whole number");
}

double JsonReal(const json& node, const char* key, const std::string& where) {
  const json* v = Find(node, key);
  if (v == nullptr) return 0;
  if (!v->is_number() || !std::isfinite(v->get<double>())) Refuse(where + ": \"" + key + "\" is not a number");
  return v->get<double>();
}

TProps JsonProps(const json& node, const std::string& where) {
  TProps props;
  const json* list = Find(node, "properties");
  if (list == nullptr) return props;
  if (!list->is_array()) Refuse(where + ": \"properties\" is not a list");
  for (const json& p : *list) {
    TProp prop;
    prop.Type = JsonText(p, "type");
    if (prop.Type.empty()) prop.Type = "string";
    const json* value = Find(p, "value");
    if (value == nullptr) {
      prop.Value.clear();
    } else if (value->is_string()) {
      prop.Value = value->get<std::string>();
    } else if (value->is_boolean()) {
      prop.Value = value->get<bool>() ? "true" : "false";
    } else if (value->is_number_integer() || value->is_number_float()) {
      prop.Value = value->dump();
    } else {
      Refuse(where + ": property \"" + JsonText(p, "name") + "\" holds a " + value->type_name() +
             "; the map keeps numbers and texts only");
    }
    props.emplace_back(JsonText(p, "name"), std::move(prop));
  }
  return props;
}

TTileset JsonTileset(const json& node, long long firstGid, const std::string& where) {
  TTileset set;
  set.FirstGid = firstGid;
  set.Name = JsonText(node, "name");
  set.TileCount = JsonInt(node, "tilecount", where, false, -1);
  for (const auto& [name, prop] : JsonProps(node, where))
    if (name == AtlasTilesProperty && !ParseInteger(prop.Value, set.AtlasTiles))
      Refuse(where + ": property \"" + name + "\" is not a whole number");
  return set;
}

void JsonLayers(const json& list, TDocument& doc, long long cells) {
  if (!list.is_array()) Refuse("map: \"layers\" is not a list");
  for (const json& node : list) {
    TLayer layer;
    layer.Name = JsonText(node, "name");
    const std::string where = "layer " + layer.Name;
    layer.Props = JsonProps(node, where);
    const std::string type = JsonText(node, "type");
    if (type == "tilelayer") {
      layer.Kind = TLayerKind::Tiles;
      if (Find(node, "chunks") != nullptr) Refuse(where + ": data in chunks (an infinite map); make the map finite");
      const json* data = Find(node, "data");
      if (data == nullptr) Refuse(where + ": no data");
      if (data->is_string()) {
        std::string encoding = JsonText(node, "encoding");
        layer.Gids = DecodeLayer(data->get_ref<const std::string&>(), encoding, JsonText(node, "compression"), cells,
                                 where);
      } else if (data->is_array()) {
        if (static_cast<long long>(data->size()) != cells)
          Refuse(where + ": " + std::to_string(data->size()) + " cells where the map has " + std::to_string(cells));
        layer.Gids.reserve(data->size());
        for (const json& gid : *data) {
          if (!gid.is_number_integer() || gid.get<long long>() < 0 || gid.get<long long>() > 0xFFFFFFFFLL)
            Refuse(where + ": data holds " + gid.dump() + " where a tile id is needed");
          layer.Gids.push_back(static_cast<std::uint32_t>(gid.get<long long>()));
        }
      } else {
        Refuse(where + ": \"data\" is neither a list nor a text");
      }
    } else if (type == "objectgroup") {
      layer.Kind = TLayerKind::Objects;
      const json* objects = Find(node, "objects");
      if (objects != nullptr && !objects->is_array()) Refuse(where + ": \"objects\" is not a list");
      if (objects != nullptr)
        for (const json& o : *objects) {
          TObject object;
          const json* id = Find(o, "id");
          object.Id = id != nullptr ? id->dump() : "";
          object.Name = JsonText(o, "name");
          const std::string at = "object " + object.Id + " \"" + object.Name + "\" (" + where + ")";
          object.X = JsonReal(o, "x", at);
          object.Y = JsonReal(o, "y", at);
          object.Width = JsonReal(o, "width", at);
          object.Height = JsonReal(o, "height", at);
          object.Props = JsonProps(o, at);
          const json* point = Find(o, "point");
          if (point != nullptr && point->is_boolean() && point->get<bool>()) object.Shape = TShape::Point;
          else if (Find(o, "gid") != nullptr) object.Shape = TShape::Tile;
          for (const char* other : {"polyline", "polygon", "text"})
            if (Find(o, other) != nullptr) object.Shape = TShape::Other, object.OtherShape = other;
          layer.Objects.push_back(std::move(object));
        }
    } else if (type == "imagelayer") {
      layer.Kind = TLayerKind::Image;
    } else if (type == "group") {
      layer.Kind = TLayerKind::Group;
    } else {
      Refuse(where + ": unknown layer type \"" + type + "\"");
    }
    doc.Layers.push_back(std::move(layer));
  }
}

TDocument ReadJson(const std::string& text, const std::filesystem::path& folder) {
  json root;
  try {
    root = json::parse(text);
  } catch (const json::exception& e) {
    Refuse(std::string("map: not valid JSON: ") + e.what());
  }
  if (!root.is_object()) Refuse("map: not a Tiled JSON map");
  TDocument doc;
  doc.Width = JsonInt(root, "width", "map");
  doc.Height = JsonInt(root, "height", "map");
  doc.TileWidth = JsonInt(root, "tilewidth", "map");
  doc.TileHeight = JsonInt(root, "tileheight", "map");
  if (Find(root, "orientation") != nullptr) doc.Orientation = JsonText(root, "orientation");
  const json* infinite = Find(root, "infinite");
  doc.Infinite = infinite != nullptr && infinite->is_boolean() && infinite->get<bool>();
  doc.Props = JsonProps(root, "map");
  const long long cells = CheckedCells(doc.Width, doc.Height);
  if (const json* sets = Find(root, "tilesets"); sets != nullptr && sets->is_array())
    for (const json& node : *sets) {
      const long long firstGid = JsonInt(node, "firstgid", "tileset " + JsonText(node, "name"));
      if (Find(node, "source") != nullptr)
        doc.Tilesets.push_back(ExternalTileset(folder, JsonText(node, "source"), firstGid));
      else
        doc.Tilesets.push_back(JsonTileset(node, firstGid, "tileset " + JsonText(node, "name")));
    }
  if (!doc.Infinite) {
    const json* layers = Find(root, "layers");
    if (layers == nullptr) Refuse("map: no layers");
    JsonLayers(*layers, doc, cells);
  }
  return doc;
}

// ---- from the document to the map --------------------------------------------------------

// Text the map file can store: printable ASCII without blanks.
void CheckText(const std::string& text, const std::string& where) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 33 || static_cast<unsigned char>(c) > 126)
      Refuse(where + ": holds a blank or a character outside printable ASCII; the map file stores none");
}

class TConverter {
 public:
  explicit TConverter(TDocument& doc) : Doc(doc) {}

  TOrrindelMap Convert() {
    if (Doc.Infinite) Refuse("map: an infinite map; make it finite (Map > Map Properties > Infinite)");
    if (Doc.Orientation != "orthogonal")
      Refuse("map: orientation \"" + Doc.Orientation + "\"; the game's maps are orthogonal");
    if (Doc.TileWidth <= 0 || Doc.TileHeight <= 0 || Doc.TileWidth > 4096 || Doc.TileHeight > 4096)
      Refuse("map: tile size " + std::to_string(Doc.TileWidth) + " x " + std::to_string(Doc.TileHeight));
    std::sort(Doc.Tilesets.begin(), Doc.Tilesets.end(),
              [](const TTileset& a, const TTileset& b) { return a.FirstGid < b.FirstGid; });
    MapProperties();
    W = static_cast<std::int32_t>(Doc.Width);
    H = static_cast<std::int32_t>(Doc.Height);
    Map.MapSize = {W, H};
    Map.TerrainGrid.SetSize(W, H);
    Map.DecorationGrid.SetSize(W, H);
    Map.HeightMap.SetSize(W, H);
    const TLayer* terrain = nullptr;
    const TLayer* decoration = nullptr;
    const TLayer* height = nullptr;
    for (const TLayer& layer : Doc.Layers) {
      if (layer.Kind == TLayerKind::Group)
        Refuse("layer " + layer.Name + ": a group layer; keep the layers at the top level");
      if (layer.Kind != TLayerKind::Tiles) continue;
      const TLayer** slot = layer.Name == TerrainName      ? &terrain
                            : layer.Name == DecorationName ? &decoration
                            : layer.Name == HeightName     ? &height
                                                           : nullptr;
      if (slot == nullptr)
        Refuse("layer " + layer.Name + ": unknown tile layer; the map has the layers terrain, decoration and height");
      if (*slot != nullptr) Refuse("layer " + layer.Name + ": appears twice");
      *slot = &layer;
    }
    for (auto [layer, name] : {std::pair{terrain, TerrainName}, {decoration, DecorationName}, {height, HeightName}})
      if (layer == nullptr) Refuse(std::string("layer ") + name + ": missing");
    Cells(*terrain, Map.TerrainGrid, false);
    Cells(*decoration, Map.DecorationGrid, true);
    Heights(*height);
    for (const TLayer& layer : Doc.Layers)
      if (layer.Kind == TLayerKind::Objects && !ViewOnly(layer)) Entities(layer);
    if (Map.EntitySpawns.size() > 65535)
      Refuse("map: " + std::to_string(Map.EntitySpawns.size()) + " entities; the map holds at most 65535");
    Map.EntityCount = static_cast<std::uint16_t>(Map.EntitySpawns.size());
    return std::move(Map);
  }

 private:
  TDocument& Doc;
  TOrrindelMap Map;
  std::int32_t W = 0, H = 0;

  static const TProp* Prop(const TProps& props, const char* name) {
    for (const auto& [key, value] : props)
      if (key == name) return &value;
    return nullptr;
  }

  static bool ViewOnly(const TLayer& layer) {
    const TProp* p = Prop(layer.Props, ViewOnlyProperty);
    return p != nullptr && p->Value == "true";
  }

  void MapProperties() {
    for (const auto& [name, prop] : Doc.Props)
      if (name != NameProperty && name != IdCodeProperty && name != VersionProperty)
        Refuse("map property \"" + name + "\": unknown; the map has name, id code and version");
    const TProp* name = Prop(Doc.Props, NameProperty);
    const TProp* id = Prop(Doc.Props, IdCodeProperty);
    const TProp* version = Prop(Doc.Props, VersionProperty);
    if (name == nullptr || id == nullptr || version == nullptr)
      Refuse(std::string("map property \"") + (name == nullptr ? NameProperty : id == nullptr ? IdCodeProperty : VersionProperty) +
             "\": missing (Map > Map Properties; the game logs name, id code and version)");
    CheckText(name->Value, "map property \"name\"");
    if (name->Value.size() > TOrrindelMap::MaxNameLength) Refuse("map property \"name\": longer than 255 characters");
    CheckText(id->Value, "map property \"id code\"");
    Map.MapName = name->Value;
    Map.MapIdCode = id->Value;
    try {
      Map.MapVersion = StrToSingle(version->Value);
    } catch (const EConvertError&) {
      Refuse("map property \"version\": \"" + version->Value + "\" is not a number such as 1.1");
    }
  }

  std::string CellName(const std::string& layer, long long index) const {
    const long long column = index % Doc.Width, row = index / Doc.Width;
    return "layer " + layer + ", cell " + std::to_string(column) + "," + std::to_string(H - 1 - row) +
           " (Tiled column " + std::to_string(column) + ", row " + std::to_string(row) + ")";
  }

  // The tileset of a gid without its flags; null for an id no tileset holds.
  const TTileset* TilesetOf(std::uint32_t id) const {
    const TTileset* found = nullptr;
    for (const TTileset& set : Doc.Tilesets)
      if (set.FirstGid <= id) found = &set;
    if (found != nullptr && found->TileCount >= 0 && id - found->FirstGid >= found->TileCount) return nullptr;
    return found;
  }

  struct TKept {
    int Tile = 0, Turns = 0;
  };

  std::map<std::pair<int, int>, TKept> KeptCells(const TLayer& layer) const {
    std::map<std::pair<int, int>, TKept> kept;
    const TProp* prop = nullptr;
    for (const auto& [name, value] : layer.Props) {
      if (name != KeptCellsProperty) Refuse("layer " + layer.Name + ": unknown property \"" + name + "\"");
      prop = &value;
    }
    if (prop == nullptr) return kept;
    std::istringstream entries(prop->Value);
    std::string entry;
    while (entries >> entry) {
      long long v[4];
      std::size_t at = 0;
      bool good = true;
      for (int k = 0; k < 4 && good; ++k) {
        const std::size_t comma = k < 3 ? entry.find(',', at) : entry.size();
        good = comma != std::string::npos && ParseInteger(std::string_view(entry).substr(at, comma - at), v[k]);
        at = comma + 1;
      }
      if (!good || at != entry.size() + 1 || v[0] < 0 || v[0] >= W || v[1] < 0 || v[1] >= H || v[2] < 0 ||
          v[2] > 65535 || (v[2] > 999 && v[2] < 65437) || v[3] < 0 || v[3] > 9)
        Refuse("layer " + layer.Name + ": \"kept cells\" entry \"" + entry +
               "\" is not x,y,tile,turns of a cell of the map (tile 0..999 or 65437..65535, turns 0..9)");
      kept[{static_cast<int>(v[0]), static_cast<int>(v[1])}] = {static_cast<int>(v[2]), static_cast<int>(v[3])};
    }
    return kept;
  }

  void Cells(const TLayer& layer, TMapDataBlockArray& grid, bool emptyZero) {
    const auto kept = KeptCells(layer);
    for (std::size_t i = 0; i < layer.Gids.size(); ++i) {
      const std::uint32_t gid = layer.Gids[i];
      const int x = static_cast<int>(static_cast<long long>(i) % Doc.Width);
      const int y = H - 1 - static_cast<int>(static_cast<long long>(i) / Doc.Width);
      MapCell& cell = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      const std::uint32_t id = gid & ~FlagBits;
      if (id == 0) {
        if (!emptyZero) Refuse(CellName(layer.Name, static_cast<long long>(i)) + ": no tile; every cell needs a terrain tile");
        const auto k = kept.find({x, y});
        if (k != kept.end() && ShownGid(MapCell{static_cast<std::uint16_t>(k->second.Tile),
                                                static_cast<std::uint8_t>(k->second.Turns)},
                                        1, std::numeric_limits<int>::max(), true) == 0)
          cell = {static_cast<std::uint16_t>(k->second.Tile), static_cast<std::uint8_t>(k->second.Turns)};
        continue;
      }
      const TTileset* set = TilesetOf(id);
      if (set == nullptr || set->Name != layer.Name)
        Refuse(CellName(layer.Name, static_cast<long long>(i)) + ": a tile of " +
               (set == nullptr ? std::string("no tileset") : "the tileset " + set->Name) + "; this layer takes tiles of " +
               layer.Name);
      int turns = -1;
      for (int t = 0; t < 4; ++t)
        if ((gid & FlagBits) == TurnFlags[t]) turns = t;
      if (turns < 0)
        Refuse(CellName(layer.Name, static_cast<long long>(i)) +
               ": the tile is flipped; the game only turns tiles by quarter turns (use Rotate, not Flip)");
      const long long local = id - set->FirstGid;
      const bool placeholder = set->AtlasTiles >= 0 && local >= set->AtlasTiles;
      const auto k = kept.find({x, y});
      if (k != kept.end()) {
        const MapCell keptCell{static_cast<std::uint16_t>(k->second.Tile), static_cast<std::uint8_t>(k->second.Turns)};
        const int atlas = set->AtlasTiles >= 0 ? static_cast<int>(set->AtlasTiles) : std::numeric_limits<int>::max();
        if (ShownGid(keptCell, static_cast<int>(set->FirstGid), atlas, emptyZero) == gid) {
          cell = keptCell;
          continue;
        }
      }
      if (placeholder)
        Refuse(CellName(layer.Name, static_cast<long long>(i)) +
               ": shows the placeholder tile but \"kept cells\" holds no tile number for it; paint a tile over it");
      if (local > 999)
        Refuse(CellName(layer.Name, static_cast<long long>(i)) + ": tile " + std::to_string(local) +
               "; the map stores tile numbers 0..999");
      cell = {static_cast<std::uint16_t>(local), static_cast<std::uint8_t>(turns)};
    }
  }

  void Heights(const TLayer& layer) {
    if (!layer.Props.empty()) Refuse("layer " + layer.Name + ": unknown property \"" + layer.Props.front().first + "\"");
    for (std::size_t i = 0; i < layer.Gids.size(); ++i) {
      const std::uint32_t id = layer.Gids[i] & ~FlagBits;  // a height does not turn
      if (id == 0) continue;
      const TTileset* set = TilesetOf(id);
      if (set == nullptr || set->Name != HeightName)
        Refuse(CellName(layer.Name, static_cast<long long>(i)) + ": a tile of " +
               (set == nullptr ? std::string("no tileset") : "the tileset " + set->Name) + "; this layer takes heights");
      const long long height = id - set->FirstGid;
      if (height > 9) Refuse(CellName(layer.Name, static_cast<long long>(i)) + ": height " + std::to_string(height) + "; the map stores 0..9");
      const int x = static_cast<int>(static_cast<long long>(i) % Doc.Width);
      const int y = H - 1 - static_cast<int>(static_cast<long long>(i) / Doc.Width);
      Map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = static_cast<THeightMapCell>(height);
    }
  }

  static long long IntProp(const TProp* p, const std::string& where, const char* name) {
    long long value = 0;
    double real = 0;
    if (ParseInteger(p->Value, value)) return value;
    if (ParseReal(p->Value, real) && std::nearbyint(real) == real && std::fabs(real) < 9e15)
      return static_cast<long long>(real);
    Refuse(where + ": property \"" + name + "\" is \"" + p->Value + "\", not a whole number");
  }

  void Entities(const TLayer& layer) {
    for (const TObject& o : layer.Objects) {
      const std::string where = "object " + o.Id + " \"" + o.Name + "\" (layer " + layer.Name + ")";
      if (o.Shape == TShape::Other)
        Refuse(where + ": a " + o.OtherShape + "; an entity is a point (or a rectangle, whose centre counts)");
      const TProp* kindProp = Prop(o.Props, KindProperty);
      const TProp* indexProp = Prop(o.Props, IndexProperty);
      if (kindProp == nullptr || indexProp == nullptr)
        Refuse(where + ": property \"" + (kindProp == nullptr ? KindProperty : IndexProperty) +
               "\" is missing; every entity has a kind and an index");
      TPackedEntity e;
      const long long kind = IntProp(kindProp, where, KindProperty);
      const long long index = IntProp(indexProp, where, IndexProperty);
      if (kind < 0 || kind > 65535) Refuse(where + ": kind " + std::to_string(kind) + " is outside 0..65535");
      if (index < 0 || index > 65535) Refuse(where + ": index " + std::to_string(index) + " is outside 0..65535");
      e.Kind = static_cast<std::uint16_t>(kind);
      e.Index = static_cast<std::uint16_t>(index);
      const TParamNames names = ParamNames(e.Kind);
      const char* param2Name = names.Param2 != nullptr ? names.Param2 : Param2Property;
      const TProp* position = nullptr;
      std::vector<std::string> seen;
      for (const auto& [name, prop] : o.Props) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
          Refuse(where + ": property \"" + name + "\" appears twice");
        seen.push_back(name);
        if (name == KindProperty || name == IndexProperty) continue;
        if (name == names.Param1) {
          CheckText(prop.Value, where + ", property \"" + name + "\"");
          e.Param1 = prop.Value;
        } else if (name == param2Name) {
          CheckText(prop.Value, where + ", property \"" + name + "\"");
          e.Param2 = prop.Value;
        } else if (name == PositionProperty) {
          position = &prop;
        } else {
          Refuse(where + ": property \"" + name + "\" does not belong to a " + KindName(e.Kind) + " (kind " +
                 std::to_string(kind) + "), which has " + names.Param1 + " and " + param2Name);
        }
      }
      // The point that places the entity, in pixels from the map's north-west corner.
      double px = o.X, py = o.Y;
      if (o.Shape == TShape::Box) px += o.Width / 2, py += o.Height / 2;
      if (o.Shape == TShape::Tile) px += o.Width / 2, py -= o.Height / 2;
      const double x = px / static_cast<double>(Doc.TileWidth);
      const double y = static_cast<double>(H) - py / static_cast<double>(Doc.TileHeight);
      constexpr double largest = std::numeric_limits<float>::max();
      if (std::fabs(x) > largest || std::fabs(y) > largest) Refuse(where + ": placed beyond what the map's numbers hold");
      e.Position.X = static_cast<float>(x);
      e.Position.Y = static_cast<float>(y);
      if (position != nullptr) {
        const std::size_t comma = position->Value.find(',');
        float kx = 0, ky = 0;
        try {
          if (comma == std::string::npos) throw EConvertError("no comma");
          kx = StrToSingle(std::string_view(position->Value).substr(0, comma));
          ky = StrToSingle(std::string_view(position->Value).substr(comma + 1));
        } catch (const EConvertError&) {
          Refuse(where + ": property \"position\" is \"" + position->Value + "\", not x,y");
        }
        // The kept position counts while the object stays where it was drawn.
        const double ex = static_cast<double>(kx) * static_cast<double>(Doc.TileWidth);
        const double ey = (static_cast<double>(H) - ky) * static_cast<double>(Doc.TileHeight);
        if (std::fabs(ex - px) <= 0.5 && std::fabs(ey - py) <= 0.5) e.Position.X = kx, e.Position.Y = ky;
      }
      Map.EntitySpawns.push_back(std::move(e));
    }
  }
};

}  // namespace

TOrrindelMap ImportTiled(const std::string& text, const std::string& folder) {
  const std::size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  TDocument doc = start != std::string::npos && text[start] == '<' ? ReadTmx(text, folder) : ReadJson(text, folder);
  return TConverter(doc).Convert();
}

}  // namespace orr
