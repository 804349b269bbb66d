// SPDX-License-Identifier: GPL-3.0-or-later
// Tiled's JSON form (.tmj, and .tsj for tilesets kept apart) into the document model.
#include <cmath>

#include "TiledDocument.h"
#include "TiledNames.h"

namespace orr::tiled {

using nlohmann::json;

namespace {

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
  if (v->is_number_float() && std::nearbyint(v->get<double>()) == v->get<double>() &&
      std::fabs(v->get<double>()) < 9e15)
    return static_cast<long long>(v->get<double>());
  Refuse(where + ": \"" + key + "\" is " + v->dump() + ", not a whole number");
}

double JsonReal(const json& node, const char* key, const std::string& where) {
  const json* v = Find(node, key);
  if (v == nullptr) return 0;
  if (!v->is_number() || !std::isfinite(v->get<double>()))
    Refuse(where + ": \"" + key + "\" is not a number");
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

}  // namespace

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

namespace {

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
      if (Find(node, "chunks") != nullptr)
        Refuse(where + ": data in chunks (an infinite map); make the map finite");
      const json* data = Find(node, "data");
      if (data == nullptr) Refuse(where + ": no data");
      if (data->is_string()) {
        std::string encoding = JsonText(node, "encoding");
        layer.Gids = DecodeLayer(data->get_ref<const std::string&>(), encoding, JsonText(node, "compression"),
                                 cells, where);
      } else if (data->is_array()) {
        if (static_cast<long long>(data->size()) != cells)
          Refuse(where + ": " + std::to_string(data->size()) + " cells where the map has " +
                 std::to_string(cells));
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
          object.Type = Find(o, "class") != nullptr ? JsonText(o, "class") : JsonText(o, "type");
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

}  // namespace

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
      else doc.Tilesets.push_back(JsonTileset(node, firstGid, "tileset " + JsonText(node, "name")));
    }
  if (!doc.Infinite) {
    const json* layers = Find(root, "layers");
    if (layers == nullptr) Refuse("map: no layers");
    JsonLayers(*layers, doc, cells);
  }
  return doc;
}

}  // namespace orr::tiled
