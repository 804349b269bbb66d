// SPDX-License-Identifier: GPL-3.0-or-later
// Tiled's XML form (TMX, and TSX for tilesets kept apart) into the document model.
#include "TiledDocument.h"
#include "TiledNames.h"

namespace orr::tiled {

namespace {

std::string Attribute(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

long long IntAttribute(const pugi::xml_node& node, const char* name, const std::string& where,
                       bool required = true, long long fallback = 0) {
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
  if (!ParseReal(a.value(), value))
    Refuse(where + ": attribute " + name + " is \"" + a.value() + "\", not a number");
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

}  // namespace

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

namespace {

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
          if (gid < 0 || gid > 0xFFFFFFFFLL)
            Refuse(where + ": tile id " + std::to_string(gid) + " out of range");
          layer.Gids.push_back(static_cast<std::uint32_t>(gid));
        }
        if (static_cast<long long>(layer.Gids.size()) != cells)
          Refuse(where + ": " + std::to_string(layer.Gids.size()) + " cells where the map has " +
                 std::to_string(cells));
      } else {
        layer.Gids = DecodeLayer(data.text().get(), encoding, Attribute(data, "compression"), cells, where);
      }
    } else if (type == "objectgroup") {
      layer.Kind = TLayerKind::Objects;
      for (pugi::xml_node o : node.children("object")) {
        TObject object;
        object.Id = Attribute(o, "id");
        object.Name = Attribute(o, "name");
        object.Type = o.attribute("class") ? Attribute(o, "class") : Attribute(o, "type");
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

}  // namespace

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
    else doc.Tilesets.push_back(XmlTileset(node, firstGid, "tileset " + Attribute(node, "name")));
  }
  if (!doc.Infinite) XmlLayers(map, doc, cells);
  return doc;
}

}  // namespace orr::tiled
