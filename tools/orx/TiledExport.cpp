// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a map as a TMX document (see TiledMap.h for the picture of the layers).
#include <pugixml.hpp>

#include <cmath>
#include <sstream>

#include "TiledData.h"
#include "TiledMap.h"
#include "TiledNames.h"
#include "map/MapFileWriter.h"

namespace orr {

namespace {

using namespace tiled;

void Property(pugi::xml_node properties, const char* name, const std::string& value) {
  pugi::xml_node p = properties.append_child("property");
  p.append_attribute("name") = name;
  p.append_attribute("value") = value.c_str();
}

void IntProperty(pugi::xml_node properties, const char* name, long long value) {
  pugi::xml_node p = properties.append_child("property");
  p.append_attribute("name") = name;
  p.append_attribute("type") = "int";
  p.append_attribute("value") = value;
}

void Tileset(pugi::xml_node map, int firstGid, const char* name, int tiles, int atlasTiles,
             const std::string& image, const char* transparent) {
  pugi::xml_node set = map.append_child("tileset");
  set.append_attribute("firstgid") = firstGid;
  set.append_attribute("name") = name;
  set.append_attribute("tilewidth") = TiledCellPixels;
  set.append_attribute("tileheight") = TiledCellPixels;
  set.append_attribute("tilecount") = tiles;
  set.append_attribute("columns") = 1;
  if (atlasTiles >= 0) IntProperty(set.append_child("properties"), AtlasTilesProperty, atlasTiles);
  pugi::xml_node img = set.append_child("image");
  img.append_attribute("source") = image.c_str();
  if (transparent != nullptr) img.append_attribute("trans") = transparent;
  img.append_attribute("width") = TiledCellPixels;
  img.append_attribute("height") = TiledCellPixels * tiles;
}

// The gids of one layer, Tiled's rows top (north) first, and the cells it cannot show.
struct TLayerCells {
  std::vector<std::uint32_t> Gids;
  std::string Kept;
};

TLayerCells CellLayer(const TMapDataBlockArray& grid, int firstGid, int atlasTiles, bool emptyZero) {
  const std::int32_t w = grid.Width(), h = grid.Height();
  TLayerCells out;
  out.Gids.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  std::ostringstream kept;
  for (std::int32_t y = 0; y < h; ++y)
    for (std::int32_t x = 0; x < w; ++x) {
      const MapCell cell = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      const std::uint32_t gid = ShownGid(cell, firstGid, atlasTiles, emptyZero);
      out.Gids[static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w) +
               static_cast<std::size_t>(x)] = gid;
      if (cell.TileNumber >= atlasTiles || cell.QuarterTurns > 3 || (gid == 0 && cell.QuarterTurns != 0))
        kept << (kept.tellp() > 0 ? " " : "") << x << ',' << y << ',' << cell.TileNumber << ','
             << int(cell.QuarterTurns);
    }
  out.Kept = kept.str();
  return out;
}

std::string LayerText(const std::vector<std::uint32_t>& gids, std::int32_t width, TTiledEncoding encoding) {
  if (encoding == TTiledEncoding::Csv) {
    std::string text = "\n";
    text.reserve(gids.size() * 4 + 64);
    for (std::size_t i = 0; i < gids.size(); ++i) {
      text += std::to_string(gids[i]);
      if (i + 1 < gids.size()) text += ',';
      if ((i + 1) % static_cast<std::size_t>(width) == 0) text += '\n';
    }
    return text;
  }
  std::string bytes(gids.size() * 4, '\0');
  for (std::size_t i = 0; i < gids.size(); ++i)
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<char>(gids[i] >> (8 * b));  // little-endian
  const TCompression compression = encoding == TTiledEncoding::Zlib   ? TCompression::Zlib
                                   : encoding == TTiledEncoding::Gzip ? TCompression::Gzip
                                   : encoding == TTiledEncoding::Zstd ? TCompression::Zstd
                                                                      : TCompression::None;
  return Base64Encode(Compress(bytes, compression));
}

void TileLayer(pugi::xml_node map, int id, const char* name, const TLayerCells& cells, std::int32_t w,
               std::int32_t h, TTiledEncoding encoding, double opacity = 1.0) {
  pugi::xml_node layer = map.append_child("layer");
  layer.append_attribute("id") = id;
  layer.append_attribute("name") = name;
  layer.append_attribute("width") = w;
  layer.append_attribute("height") = h;
  if (opacity < 1.0) layer.append_attribute("opacity") = opacity;
  if (!cells.Kept.empty()) Property(layer.append_child("properties"), KeptCellsProperty, cells.Kept);
  pugi::xml_node data = layer.append_child("data");
  data.append_attribute("encoding") = encoding == TTiledEncoding::Csv ? "csv" : "base64";
  if (encoding == TTiledEncoding::Zlib) data.append_attribute("compression") = "zlib";
  if (encoding == TTiledEncoding::Gzip) data.append_attribute("compression") = "gzip";
  if (encoding == TTiledEncoding::Zstd) data.append_attribute("compression") = "zstd";
  data.text() = LayerText(cells.Gids, w, encoding).c_str();
}

// Pixels of a map position in the editor (y grows downwards from the map's north edge).
double PixelX(float x) { return static_cast<double>(x) * TiledCellPixels; }
double PixelY(float y, std::int32_t height) { return (static_cast<double>(height) - y) * TiledCellPixels; }

void Entity(pugi::xml_node group, int id, const TPackedEntity& e, std::int32_t height) {
  pugi::xml_node object = group.append_child("object");
  object.append_attribute("id") = id;
  object.append_attribute("name") = DisplayName(e).c_str();
  object.append_attribute("type") = KindName(e.Kind);
  object.append_attribute("x") = PixelX(e.Position.X);
  object.append_attribute("y") = PixelY(e.Position.Y, height);
  pugi::xml_node props = object.append_child("properties");
  IntProperty(props, KindProperty, e.Kind);
  IntProperty(props, IndexProperty, e.Index);
  const TParamNames names = ParamNames(e.Kind);
  Property(props, names.Param1, e.Param1);
  if (names.Param2 != nullptr) Property(props, names.Param2, e.Param2);
  else if (!e.Param2.empty()) Property(props, Param2Property, e.Param2);
  Property(props, PositionProperty, SingleToText(e.Position.X) + "," + SingleToText(e.Position.Y));
  object.append_child("point");
}

// The route of a creature as a closed polyline through its steps' cell centres.
void Route(pugi::xml_node group, int id, const TPackedEntity& e, std::int32_t height) {
  TRoute route;
  try {
    ParseRoute(route, e.Param2);
  } catch (const EConvertError&) {
    return;  // `orx check` reports it; nothing to draw
  }
  if (route.Steps.empty()) return;
  auto px = [&](const RouteStep& s) { return (s.CellX + 0.5) * TiledCellPixels; };
  auto py = [&](const RouteStep& s) { return (height - s.CellY - 0.5) * TiledCellPixels; };
  const RouteStep& first = route.Steps.front();
  pugi::xml_node object = group.append_child("object");
  object.append_attribute("id") = id;
  object.append_attribute("name") = (DisplayName(e) + " route").c_str();
  object.append_attribute("x") = px(first);
  object.append_attribute("y") = py(first);
  std::ostringstream points;
  points.precision(17);
  for (const RouteStep& s : route.Steps) points << px(s) - px(first) << ',' << py(s) - py(first) << ' ';
  points << "0,0";
  object.append_child("polyline").append_attribute("points") = points.str().c_str();
}

}  // namespace

std::string ExportTiled(const TOrrindelMap& map, const TTiledTilesets& tilesets, TTiledEncoding encoding) {
  const std::int32_t w = map.MapSize.X, h = map.MapSize.Y;
  for (const TPackedEntity& e : map.EntitySpawns)
    if (!std::isfinite(e.Position.X) || !std::isfinite(e.Position.Y))
      throw ETiledRefusal("entity at " + SingleToText(e.Position.X) + ", " + SingleToText(e.Position.Y) +
                          ": the editor cannot place it");
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child("map");
  root.append_attribute("version") = "1.8";
  root.append_attribute("orientation") = "orthogonal";
  root.append_attribute("renderorder") = "right-down";
  root.append_attribute("width") = w;
  root.append_attribute("height") = h;
  root.append_attribute("tilewidth") = TiledCellPixels;
  root.append_attribute("tileheight") = TiledCellPixels;
  root.append_attribute("infinite") = 0;
  pugi::xml_node props = root.append_child("properties");
  Property(props, NameProperty, map.MapName);
  Property(props, IdCodeProperty, map.MapIdCode);
  Property(props, VersionProperty, SingleToText(map.MapVersion));

  const int terrainGid = 1;
  const int decorationGid = terrainGid + tilesets.TerrainTiles + 1;
  const int heightGid = decorationGid + tilesets.DecorationTiles + 1;
  Tileset(root, terrainGid, TerrainName, tilesets.TerrainTiles + 1, tilesets.TerrainTiles,
          tilesets.TerrainImage, nullptr);
  Tileset(root, decorationGid, DecorationName, tilesets.DecorationTiles + 1, tilesets.DecorationTiles,
          tilesets.DecorationImage, KeyColour);
  Tileset(root, heightGid, HeightName, HeightTiles, -1, tilesets.HeightImage, nullptr);

  TileLayer(root, 1, TerrainName, CellLayer(map.TerrainGrid, terrainGid, tilesets.TerrainTiles, false), w, h,
            encoding);
  TileLayer(root, 2, DecorationName,
            CellLayer(map.DecorationGrid, decorationGid, tilesets.DecorationTiles, true), w, h, encoding);
  TLayerCells heights;
  heights.Gids.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (std::int32_t y = 0; y < h; ++y)
    for (std::int32_t x = 0; x < w; ++x) {
      const int height = map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      heights.Gids[static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w) +
                   static_cast<std::size_t>(x)] =
          height == 0 ? 0 : static_cast<std::uint32_t>(heightGid + height);
    }
  TileLayer(root, 3, HeightName, heights, w, h, encoding, 0.6);

  pugi::xml_node entities = root.append_child("objectgroup");
  entities.append_attribute("id") = 4;
  entities.append_attribute("name") = EntitiesName;
  int nextId = 1;
  for (const TPackedEntity& e : map.EntitySpawns) Entity(entities, nextId++, e, h);

  pugi::xml_node routes = root.append_child("objectgroup");
  routes.append_attribute("id") = 5;
  routes.append_attribute("name") = RoutesName;
  routes.append_attribute("color") = "#ffe070";
  routes.append_attribute("locked") = 1;
  pugi::xml_node routeProps = routes.append_child("properties");
  pugi::xml_node viewOnly = routeProps.append_child("property");
  viewOnly.append_attribute("name") = ViewOnlyProperty;
  viewOnly.append_attribute("type") = "bool";
  viewOnly.append_attribute("value") = "true";
  for (const TPackedEntity& e : map.EntitySpawns)
    if (e.Kind == 0) Route(routes, nextId++, e, h);

  root.insert_attribute_after("nextlayerid", root.attribute("infinite")) = 6;
  root.insert_attribute_after("nextobjectid", root.attribute("nextlayerid")) = nextId;
  std::ostringstream out;
  doc.save(out, " ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

}  // namespace orr
