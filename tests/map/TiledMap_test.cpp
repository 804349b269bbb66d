// SPDX-License-Identifier: GPL-3.0-or-later
// Maps to the Tiled editor and back: what survives the round trip, how layer data,
// rotations and properties are read, and what is refused with which line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <pugixml.hpp>
#include <fstream>

#include "OrxJson.h"
#include "TiledData.h"
#include "TiledDocument.h"
#include "TiledMap.h"
#include "TiledNames.h"
#include "TiledTypes.h"
#include "map/MapFileWriter.h"

namespace orr {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ::testing::HasSubstr;

// A 4 x 3 map holding everything the editor cannot show as it stands: turns above 3, tile
// numbers beyond the atlases (and -1 stored as 65535), an unturned decoration 0 with turns,
// every height digit, positions that are not whole pixels, random and half-random
// placements, kinds that make nothing, an item with a Param2, a route that is not a number.
TOrrindelMap OddMap() {
  json terrain = json::array(), decoration = json::array(), heights = json::array();
  for (int y = 0; y < 3; ++y) {
    json t = json::array(), d = json::array(), h = json::array();
    for (int x = 0; x < 4; ++x) {
      const int i = y * 4 + x;
      t.push_back({i == 5 ? 500 : i == 6 ? 65535 : i, i % 10});
      d.push_back({i % 3 == 0 ? 0 : i == 4 ? 40 : i, (i * 7) % 10});
      h.push_back(i % 10);
    }
    terrain.push_back(t), decoration.push_back(d), heights.push_back(h);
  }
  const json source = {
      {"MapVersion", 1.1},
      {"MapName", "Odd<&>\"map'"},
      {"MapIdCode", "ODD-1"},
      {"MapSize", {4, 3}},
      {"TerrainGrid", terrain},
      {"DecorationGrid", decoration},
      {"HeightMap", heights},
      {"EntitySpawns",
       {{{"x", 1.2345678},
         {"y", 2.5},
         {"Kind", 0},
         {"Index", 1},
         {"Param1", "2"},
         {"Param2", "0200100102002001xy"}},
        {{"x", -1}, {"y", -1}, {"Kind", 0}, {"Index", 9}, {"Param1", "x"}, {"Param2", "zz0a0b0c"}},
        {{"x", -1}, {"y", 2.75}, {"Kind", 3}, {"Index", 1}, {"Param1", "25"}, {"Param2", "extra"}},
        {{"x", 3.5}, {"y", 0.5}, {"Kind", 2}, {"Index", 0}},
        {{"x", 0.1}, {"y", 1e-3}, {"Kind", 9}, {"Index", 65535}, {"Param1", "p"}, {"Param2", "q"}}}}};
  return MapFromJson(source).Map;
}

TTiledTilesets Sets() {
  TTiledTilesets sets;
  sets.TerrainTiles = 14;
  sets.DecorationTiles = 17;
  return sets;
}

json Decoded(const TOrrindelMap& map) { return MapToJson(map); }

TEST(TiledMap, EveryLayerEncodingCarriesTheWholeMapThereAndBack) {
  const TOrrindelMap map = OddMap();
  for (TTiledEncoding encoding : {TTiledEncoding::Csv, TTiledEncoding::Base64, TTiledEncoding::Zlib,
                                  TTiledEncoding::Gzip, TTiledEncoding::Zstd}) {
    SCOPED_TRACE(static_cast<int>(encoding));
    const TOrrindelMap back = ImportTiled(ExportTiled(map, Sets(), encoding), ".");
    EXPECT_EQ(Decoded(back).dump(1), Decoded(map).dump(1));
  }
  // The editor may save the pixels rounded: the places come back exact all the same.
  const std::string exported = ExportTiled(map, Sets(), TTiledEncoding::Csv);
  EXPECT_EQ(exported.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.8\" ", 0), 0u)
      << "a whole XML declaration, which the editor's reader needs";
  const std::regex pixel("( (x|y)=\")(-?[0-9.e+-]+)\"");
  std::string rounded;
  auto at = exported.cbegin();
  for (std::sregex_iterator m(exported.begin(), exported.end(), pixel), end; m != end; ++m) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::stod((*m)[3].str()));
    rounded.append(at, (*m)[0].first).append((*m)[1].str()).append(text).append("\"");
    at = (*m)[0].second;
  }
  rounded.append(at, exported.cend());
  EXPECT_EQ(Decoded(ImportTiled(rounded, ".")).dump(1), Decoded(map).dump(1));
  // The CSV rows are the map's rows, a line each (4 cells wide).
  const std::size_t data = exported.find("<data encoding=\"csv\">");
  ASSERT_NE(data, std::string::npos);
  const std::size_t from = exported.find('>', data) + 1;
  std::istringstream csv(exported.substr(from, exported.find("</data>", from) - from));
  std::vector<std::string> rows;
  for (std::string row; std::getline(csv, row);)
    if (!row.empty()) rows.push_back(row);
  ASSERT_EQ(rows.size(), 3u);
  for (const std::string& row : rows)
    EXPECT_EQ(std::count(row.begin(), row.end(), ',') + (row.back() == ',' ? 0 : 1), 4) << row;
}

// ---- a small hand-made editor map in the JSON form ----------------------------------------

// 2 x 2 cells: terrain tile 1 everywhere, no decoration, no walls, no entities.
json MiniMap() {
  auto layer = [](const char* name, json data) {
    return json{{"type", "tilelayer"}, {"name", name}, {"width", 2}, {"height", 2}, {"data", data}};
  };
  auto set = [](int first, const char* name, int count, int atlas) {
    json s = {{"firstgid", first}, {"name", name}, {"tilecount", count}};
    if (atlas >= 0) s["properties"] = {{{"name", "atlas tiles"}, {"type", "int"}, {"value", atlas}}};
    return s;
  };
  return {{"width", 2},
          {"height", 2},
          {"tilewidth", 32},
          {"tileheight", 32},
          {"orientation", "orthogonal"},
          {"properties",
           {{{"name", "name"}, {"value", "Mini"}},
            {{"name", "id code"}, {"value", "M"}},
            {{"name", "version"}, {"value", "2"}}}},
          {"tilesets", {set(1, "terrain", 15, 14), set(16, "decoration", 18, 17), set(34, "height", 10, -1)}},
          {"layers",
           {layer("terrain", {2, 2, 2, 2}),
            layer("decoration", {0, 0, 0, 0}),
            layer("height", {0, 0, 0, 0}),
            {{"type", "objectgroup"}, {"name", "entities"}, {"objects", json::array()}}}}};
}

json Object(double x, double y, json props) {
  return {{"id", 7}, {"name", "thing"}, {"x", x}, {"y", y}, {"point", true}, {"properties", props}};
}

json Prop(const char* name, json value, const char* type = "string") {
  return {{"name", name}, {"type", type}, {"value", value}};
}

TOrrindelMap Import(const json& doc) { return ImportTiled(doc.dump(), "."); }

std::string Refusal(const json& doc) {
  try {
    Import(doc);
  } catch (const ETiledRefusal& e) {
    return e.what();
  }
  return "(imported)";
}

TEST(TiledMap, RotationFlagsBecomeQuarterTurnsAndFlipsAreRefused) {
  constexpr std::uint32_t H = 0x80000000u, V = 0x40000000u, D = 0x20000000u, Hex = 0x10000000u;
  const struct {
    std::uint32_t Flags;
    int Turns;  // -1: refused
  } cases[] = {{0, 0},  {D | H, 1}, {H | V, 2},      {D | V, 3}, {H, -1},
               {V, -1}, {D, -1},    {D | H | V, -1}, {Hex, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Flags);
    json doc = MiniMap();
    doc["layers"][0]["data"][1] = 2u | c.Flags;   // Tiled row 0, column 1: the map's cell (1, 1)
    doc["layers"][1]["data"][2] = 20u | c.Flags;  // row 1, column 0: cell (0, 0), decoration 4
    if (c.Turns < 0) {
      EXPECT_THAT(Refusal(doc),
                  HasSubstr("layer terrain, cell 1,1 (Tiled column 1, row 0): the tile is flipped"));
      continue;
    }
    const TOrrindelMap map = Import(doc);
    EXPECT_EQ(map.TerrainGrid[1][1].QuarterTurns, c.Turns);
    EXPECT_EQ(map.TerrainGrid[1][1].TileNumber, 1);
    EXPECT_EQ(map.DecorationGrid[0][0].QuarterTurns, c.Turns);
    EXPECT_EQ(map.DecorationGrid[0][0].TileNumber, 4);
  }
}

TEST(TiledMap, LayerDataReadsInEveryFormTheEditorWrites) {
  // Cells 1, 2, 3, 4 (Tiled order) as little-endian bytes.
  const std::string bytes("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x04\0\0\0", 16);
  using tiled::TCompression;
  const struct {
    const char* Name;
    std::string Data;  // TMX <data> element
  } cases[] = {
      {"csv with line breaks", "<data encoding=\"csv\">\n1,2,\n3,4\n</data>"},
      {"xml tiles", "<data><tile gid=\"1\"/><tile gid=\"2\"/><tile gid=\"3\"/><tile gid=\"4\"/></data>"},
      {"base64", "<data encoding=\"base64\">\n   " + tiled::Base64Encode(bytes) + "\n  </data>"},
      {"zlib", "<data encoding=\"base64\" compression=\"zlib\">" +
                   tiled::Base64Encode(tiled::Compress(bytes, TCompression::Zlib)) + "</data>"},
      {"gzip", "<data encoding=\"base64\" compression=\"gzip\">" +
                   tiled::Base64Encode(tiled::Compress(bytes, TCompression::Gzip)) + "</data>"},
      {"zstd", "<data encoding=\"base64\" compression=\"zstd\">" +
                   tiled::Base64Encode(tiled::Compress(bytes, TCompression::Zstd)) + "</data>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string tmx =
        "<map width=\"2\" height=\"2\" tilewidth=\"32\" tileheight=\"32\" orientation=\"orthogonal\">"
        "<properties><property name=\"name\" value=\"A\"/><property name=\"id code\" value=\"B\"/>"
        "<property name=\"version\" value=\"1\"/></properties>"
        "<tileset firstgid=\"1\" name=\"terrain\" tilecount=\"15\"/><tileset firstgid=\"16\" "
        "name=\"decoration\"/>"
        "<tileset firstgid=\"34\" name=\"height\"/>"
        "<layer name=\"terrain\" width=\"2\" height=\"2\">" +
        c.Data + "</layer><layer name=\"decoration\"><data encoding=\"csv\">0,0,0,0</data></layer>" +
        "<layer name=\"height\"><data encoding=\"csv\">0,0,0,0</data></layer></map>";
    const TOrrindelMap map = ImportTiled(tmx, ".");
    // Tiled's first row is the map's north edge, y = 1.
    EXPECT_EQ(map.TerrainGrid[0][1].TileNumber, 0);
    EXPECT_EQ(map.TerrainGrid[1][1].TileNumber, 1);
    EXPECT_EQ(map.TerrainGrid[0][0].TileNumber, 2);
    EXPECT_EQ(map.TerrainGrid[1][0].TileNumber, 3);
  }
}

TEST(TiledMap, DamagedLayerDataIsRefusedNamingTheLayer) {
  const std::string eight("\x02\0\0\0\x02\0\0\0\x02\0\0\0\x02\0\0\0", 16);
  using tiled::TCompression;
  const std::string zlib = tiled::Compress(eight, TCompression::Zlib);
  const struct {
    json Data;
    const char* Encoding;
    const char* Compression;
    const char* Refusal;
  } cases[] = {
      {json::array({2, 2, 2}), "", "", "layer terrain: 3 cells where the map has 4"},
      {json::array({2, 2, 2, -2}), "", "", "layer terrain: data holds -2"},
      {tiled::Base64Encode(eight.substr(0, 12)), "base64", "",
       "layer terrain: 12 bytes where the layer needs 16"},
      {"!" + tiled::Base64Encode(eight), "base64", "", "layer terrain: character '!' is not base64"},
      {std::string(1, '\0') + tiled::Base64Encode(eight).substr(1), "base64", "",
       "layer terrain: character 0x00 is not base64"},
      {tiled::Base64Encode(zlib.substr(0, zlib.size() - 3)), "base64", "zlib",
       "layer terrain: damaged or cut short"},
      {tiled::Base64Encode(zlib + "x"), "base64", "zlib", "layer terrain: data after the end"},
      {tiled::Base64Encode(tiled::Compress(eight + eight, TCompression::Zstd)), "base64", "zstd",
       "layer terrain: unpacks to more than the layer's 16 bytes"},
      {tiled::Base64Encode(eight), "base64", "lzma", "layer terrain: unknown compression \"lzma\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Refusal);
    json doc = MiniMap();
    doc["layers"][0]["data"] = c.Data;
    if (*c.Encoding) doc["layers"][0]["encoding"] = c.Encoding;
    if (*c.Compression) doc["layers"][0]["compression"] = c.Compression;
    EXPECT_THAT(Refusal(doc), HasSubstr(c.Refusal));
  }
}

TEST(TiledMap, WhatTheMapCannotHoldIsRefusedWithOneLineNamingIt) {
  const struct {
    const char* Name;
    std::function<void(json&)> Edit;
    const char* Refusal;
  } cases[] = {
      {"no terrain tile", [](json& d) { d["layers"][0]["data"][3] = 0; },
       "layer terrain, cell 1,0 (Tiled column 1, row 1): no tile"},
      {"decoration tile in terrain", [](json& d) { d["layers"][0]["data"][0] = 17; },
       "layer terrain, cell 0,1 (Tiled column 0, row 0): a tile of the tileset decoration"},
      {"tile no tileset holds", [](json& d) { d["layers"][2]["data"][0] = 99; }, "layer height, cell 0,1"},
      {"two tilesets from one gid", [](json& d) { d["tilesets"][2]["firstgid"] = 16; },
       "tilesets decoration and height both begin at gid 16"},
      {"one past the last tileset's count", [](json& d) { d["layers"][2]["data"][0] = 44; },
       "layer height, cell 0,1 (Tiled column 0, row 0): a tile of no tileset"},
      {"placeholder without kept tile", [](json& d) { d["layers"][0]["data"][0] = 15; },
       "shows the placeholder tile but \"kept cells\" holds no tile number"},
      {"bad kept entry", [](json& d) { d["layers"][0]["properties"] = {Prop("kept cells", "0,1,5")}; },
       "layer terrain: \"kept cells\" entry \"0,1,5\""},
      {"kept cell off the map",
       [](json& d) { d["layers"][0]["properties"] = {Prop("kept cells", "2,0,5,1")}; }, "entry \"2,0,5,1\""},
      {"unknown tile layer",
       [](json& d) {
         d["layers"].push_back(d["layers"][1]);
         d["layers"].back()["name"] = "decor";
       },
       "layer decor: unknown tile layer"},
      {"missing layer", [](json& d) { d["layers"].erase(2); }, "layer height: missing"},
      {"layer twice", [](json& d) { d["layers"].push_back(d["layers"][0]); }, "layer terrain: appears twice"},
      {"group layer",
       [](json& d) {
         d["layers"].push_back({{"type", "group"}, {"name", "g"}});
       },
       "layer g: a group layer"},
      {"infinite", [](json& d) { d["infinite"] = true; }, "map: an infinite map"},
      {"hexagonal", [](json& d) { d["orientation"] = "hexagonal"; }, "map: orientation \"hexagonal\""},
      {"missing version", [](json& d) { d["properties"].erase(2); }, "map property \"version\": missing"},
      {"version not a number", [](json& d) { d["properties"][2]["value"] = "one"; },
       "map property \"version\": \"one\" is not a number"},
      {"blank in name", [](json& d) { d["properties"][0]["value"] = "Mini map"; },
       "map property \"name\": holds a blank"},
      {"unknown map property", [](json& d) { d["properties"].push_back(Prop("author", "me")); },
       "map property \"author\": unknown"},
      {"huge map", [](json& d) { d["width"] = 100000, d["height"] = 100000; }, "map size 100000 x 100000"},
      {"height beyond 9", [](json& d) { d["tilesets"][2]["tilecount"] = 20, d["layers"][2]["data"][0] = 44; },
       "height 10; the map stores 0..9"},
      {"entity without kind",
       [](json& d) { d["layers"][3]["objects"].push_back(Object(16, 16, {Prop("index", 0, "int")})); },
       "object 7 \"thing\" (layer entities): property \"kind\" is missing"},
      {"property of another kind",
       [](json& d) {
         d["layers"][3]["objects"].push_back(
             Object(16, 16, {Prop("kind", 0, "int"), Prop("index", 1, "int"), Prop("amount", "5")}));
       },
       "object 7 \"thing\" (layer entities): property \"amount\" does not belong to a creature (kind 0), "
       "which has "
       "mode and route"},
      {"kind beyond 16 bits",
       [](json& d) {
         d["layers"][3]["objects"].push_back(
             Object(16, 16, {Prop("kind", 70000, "int"), Prop("index", 0, "int")}));
       },
       "kind 70000 is outside 0..65535"},
      {"blank in a route",
       [](json& d) {
         d["layers"][3]["objects"].push_back(
             Object(16, 16, {Prop("kind", 0, "int"), Prop("index", 0, "int"), Prop("route", "00 00100")}));
       },
       "object 7 \"thing\" (layer entities), property \"route\": holds a blank"},
      {"polyline entity",
       [](json& d) {
         json o = Object(16, 16, {Prop("kind", 2, "int"), Prop("index", 0, "int")});
         o.erase("point");
         o["polyline"] = json::array();
         d["layers"][3]["objects"].push_back(o);
       },
       "object 7 \"thing\" (layer entities): a polyline"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    json doc = MiniMap();
    c.Edit(doc);
    const std::string line = Refusal(doc);
    EXPECT_THAT(line, HasSubstr(c.Refusal));
    EXPECT_EQ(line.find('\n'), std::string::npos);
  }
}

TEST(TiledMap, EveryProblemOfAReadableFileIsReportedAtOnce) {
  json doc = MiniMap();
  doc["properties"].push_back(Prop("author", "me"));
  doc["layers"][0]["data"][1] = 2u | 0x80000000u;  // flipped: Tiled column 1, row 0
  doc["layers"][2]["data"][2] = 17;                // a decoration among the heights: column 0, row 1
  doc["layers"][3]["objects"].push_back(Object(16, 16, {Prop("kind", 3, "int")}));
  json second = Object(48, 16, {Prop("kind", 0, "int"), Prop("index", "two"), Prop("route", "0 1")});
  second["id"] = 9, second["name"] = "guard";
  doc["layers"][3]["objects"].push_back(second);
  try {
    Import(doc);
    FAIL() << "imported";
  } catch (const ETiledRefusal& e) {
    EXPECT_THAT(
        e.Problems,
        ::testing::ElementsAre(
            "map property \"author\": unknown; the map has name, id code and version",
            HasSubstr("layer terrain, cell 1,1 (Tiled column 1, row 0): the tile is flipped"),
            HasSubstr("layer height, cell 0,0 (Tiled column 0, row 1): a tile of the tileset decoration"),
            HasSubstr("object 7 \"thing\" (layer entities): property \"index\" is missing"),
            HasSubstr("object 9 \"guard\" (layer entities): property \"index\" is \"two\""),
            HasSubstr("object 9 \"guard\" (layer entities), property \"route\": holds a blank")));
  }
}

TEST(TiledMap, AMapOfBadCellsReportsTheFirstFiftyAndCountsTheRest) {
  json doc = MiniMap();
  doc["width"] = doc["height"] = 100;
  for (json& layer : doc["layers"])
    if (layer["type"] == "tilelayer") layer["data"] = json(std::vector<int>(10000, 0));
  try {
    Import(doc);
    FAIL() << "imported";
  } catch (const ETiledRefusal& e) {
    ASSERT_EQ(e.Problems.size(), 51u);
    EXPECT_THAT(e.Problems[0], HasSubstr("layer terrain, cell 0,99 (Tiled column 0, row 0): no tile"));
    EXPECT_EQ(e.Problems[50], "... and 9950 more problems");
  }
}

// The editor saves no property left at its type's default: an object of a type the
// project offers imports with the defaults the types file gives the editor.
TEST(TiledMap, AnObjectOfAProjectTypeTakesItsTypesDefaults) {
  pugi::xml_document types;
  ASSERT_TRUE(types.load_string(tiled::TiledObjectTypes().c_str()));
  int count = 0;
  for (pugi::xml_node type : types.child("objecttypes").children("objecttype")) {
    SCOPED_TRACE(type.attribute("name").value());
    std::map<std::string, std::string> defaults;
    for (pugi::xml_node p : type.children("property"))
      defaults[p.attribute("name").value()] = p.attribute("default").value();
    json doc = MiniMap();
    json object = Object(16, 16, json::array());
    object.erase("properties");
    object["type"] = type.attribute("name").value();
    doc["layers"][3]["objects"].push_back(object);
    const TOrrindelMap map = Import(doc);
    ASSERT_EQ(map.EntitySpawns.size(), 1u);
    const TPackedEntity& e = map.EntitySpawns[0];
    EXPECT_EQ(std::to_string(e.Kind), defaults["kind"]);
    EXPECT_EQ(std::to_string(e.Index), defaults["index"]);
    const tiled::TParamNames names = tiled::ParamNames(e.Kind);
    EXPECT_EQ(e.Param1, defaults[names.Param1]);
    if (names.Param2 != nullptr) {
      EXPECT_EQ(e.Param2, defaults[names.Param2]);
    }
    if (e.Kind >= 3 && e.Kind <= 6) {
      EXPECT_NE(e.Param1, "") << "a picked item has an amount";
    }
    ++count;
  }
  EXPECT_EQ(count, 7 + 31) << "a type per kind and per thing";

  // What the author set wins; a kind of its own leaves the type's defaults out.
  json doc = MiniMap();
  json medkit = Object(16, 16, {Prop("amount", "40")});
  medkit["type"] = "Medkit";
  json renamed = Object(48, 16, {Prop("kind", 6, "int"), Prop("index", 2, "int")});
  renamed["class"] = "Civilian";  // Tiled 1.9's name for the field
  doc["layers"][3]["objects"] = {medkit, renamed};
  const TOrrindelMap map = Import(doc);
  ASSERT_EQ(map.EntitySpawns.size(), 2u);
  EXPECT_EQ(map.EntitySpawns[0].Kind, 3);
  EXPECT_EQ(map.EntitySpawns[0].Index, 1);
  EXPECT_EQ(map.EntitySpawns[0].Param1, "40");
  EXPECT_EQ(map.EntitySpawns[1].Kind, 6);
  EXPECT_EQ(map.EntitySpawns[1].Param1, "");
}

TEST(TiledMap, KeptValuesCountOnlyWhileTheEditorStillShowsWhatWasExported) {
  // Cell (0, 1) is Tiled's first cell; it was exported as tile 500 (the placeholder 14) with
  // 6 turns (shown as 2), cell (1, 1) as tile 3 with 5 turns (shown as 1).
  constexpr std::uint32_t Turn1 = 0xA0000000u, Turn2 = 0xC0000000u;
  const struct {
    std::uint32_t First, Second;
    MapCell WantFirst, WantSecond;
  } cases[] = {
      {15u | Turn2, 4u | Turn1, {500, 6}, {3, 5}},  // untouched: the kept values
      {15u | Turn1, 4u, {0, 0}, {3, 0}},            // placeholder turned: refused below; tile 3 unturned: 0
      {2u, 4u | Turn2, {1, 0}, {3, 2}},             // painted over, turned on: what the editor shows
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    json doc = MiniMap();
    doc["layers"][0]["properties"] = {Prop("kept cells", "0,1,500,6 1,1,3,5")};
    doc["layers"][0]["data"][0] = cases[i].First;
    doc["layers"][0]["data"][1] = cases[i].Second;
    if (i == 1) {
      EXPECT_THAT(Refusal(doc), HasSubstr("cell 0,1 (Tiled column 0, row 0): shows the placeholder tile"));
      continue;
    }
    const TOrrindelMap map = Import(doc);
    EXPECT_EQ(map.TerrainGrid[0][1].TileNumber, cases[i].WantFirst.TileNumber);
    EXPECT_EQ(map.TerrainGrid[0][1].QuarterTurns, cases[i].WantFirst.QuarterTurns);
    EXPECT_EQ(map.TerrainGrid[1][1].TileNumber, cases[i].WantSecond.TileNumber);
    EXPECT_EQ(map.TerrainGrid[1][1].QuarterTurns, cases[i].WantSecond.QuarterTurns);
  }
}

TEST(TiledMap, AnEntityKeepsItsExactPositionUntilItIsMoved) {
  const struct {
    double X, Y;  // pixels, north-west origin; the map is 2 cells high
    const char* Kept;
    float WantX, WantY;
  } cases[] = {
      {39.506, 14.4, "1.2345678,1.55", 1.2345678f, 1.55f},         // within half a pixel: kept
      {40.1, 14.4, "1.2345678,1.55", 40.1f / 32, 2 - 14.4f / 32},  // moved: where it stands
      {-32, 96, "-1,-1", -1, -1},                                  // random placement, drawn off the map
      {16, 48, "", 0.5f, 0.5f},                                    // a new object
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.X);
    json doc = MiniMap();
    json props = {Prop("kind", 3, "int"), Prop("index", "1"), Prop("amount", "25")};
    if (*c.Kept) props.push_back(Prop("position", c.Kept));
    doc["layers"][3]["objects"].push_back(Object(c.X, c.Y, props));
    const TOrrindelMap map = Import(doc);
    ASSERT_EQ(map.EntitySpawns.size(), 1u);
    EXPECT_FLOAT_EQ(map.EntitySpawns[0].Position.X, c.WantX);
    EXPECT_FLOAT_EQ(map.EntitySpawns[0].Position.Y, c.WantY);
    EXPECT_EQ(map.EntitySpawns[0].Index, 1);
    EXPECT_EQ(map.EntitySpawns[0].Param1, "25");
  }
}

TEST(TiledMap, RectanglesCountByTheirCentreAndViewOnlyLayersAreSkipped) {
  json doc = MiniMap();
  json box = Object(0, 0, {Prop("kind", 2, "int"), Prop("index", 0, "int")});
  box.erase("point");
  box["width"] = 32, box["height"] = 16;
  doc["layers"][3]["objects"].push_back(box);
  json tile =
      Object(0, 32, {Prop("kind", 2, "int"), Prop("index", 0, "int")});  // placed by its lower left corner
  tile.erase("point");
  tile["gid"] = 1, tile["width"] = 32, tile["height"] = 32;
  doc["layers"][3]["objects"].push_back(tile);
  doc["layers"].push_back({{"type", "objectgroup"},
                           {"name", "routes"},
                           {"properties", {Prop("view only", true, "bool")}},
                           {"objects", {{{"id", 9}, {"polyline", json::array()}}}}});
  const TOrrindelMap map = Import(doc);
  ASSERT_EQ(map.EntitySpawns.size(), 2u);
  EXPECT_FLOAT_EQ(map.EntitySpawns[0].Position.X, 0.5f);
  EXPECT_FLOAT_EQ(map.EntitySpawns[0].Position.Y, 1.75f);
  EXPECT_FLOAT_EQ(map.EntitySpawns[1].Position.X, 0.5f);
  EXPECT_FLOAT_EQ(map.EntitySpawns[1].Position.Y, 1.5f);
}

TEST(TiledMap, ExternalTilesetsAreReadInBothForms) {
  const fs::path folder = fs::temp_directory_path() / ("orr_tiled_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string terrain =
      "<?xml version=\"1.0\"?>\n<tileset name=\"terrain\" tilecount=\"15\">"
      "<properties><property name=\"atlas tiles\" type=\"int\" value=\"14\"/>"
      "</properties></tileset>";
  std::ofstream(folder / "terrain.tsx") << terrain;
  std::ofstream(folder / "height.tsj") << R"({"name": "height", "tilecount": 10})";
  json doc = MiniMap();
  doc["tilesets"][0] = {{"firstgid", 1}, {"source", "terrain.tsx"}};
  doc["tilesets"][2] = {{"firstgid", 34}, {"source", "height.tsj"}};
  doc["layers"][2]["data"][0] = 37;
  const TOrrindelMap map = ImportTiled(doc.dump(), folder.string());
  EXPECT_EQ(map.HeightMap[0][1], 3);
  EXPECT_EQ(map.TerrainGrid[0][1].TileNumber, 1);
  doc["tilesets"][0]["source"] = "missing.tsx";
  try {
    ImportTiled(doc.dump(), folder.string());
    ADD_FAILURE() << "a missing tileset was not refused";
  } catch (const ETiledRefusal& e) {
    EXPECT_THAT(e.what(), HasSubstr("tileset missing.tsx: no such file"));
  }
  // A tileset file of the largest size taken, to the byte (white space after the tileset),
  // is read; one byte more is refused.
  // Binary: Windows would write each line end as two bytes.
  std::ofstream(folder / "big.tsx", std::ios::binary)
      << terrain << std::string(tiled::MaxTilesetFile - terrain.size(), ' ');
  doc["tilesets"][0]["source"] = "big.tsx";
  EXPECT_EQ(ImportTiled(doc.dump(), folder.string()).TerrainGrid[0][1].TileNumber, 1);
  std::ofstream(folder / "big.tsx", std::ios::binary | std::ios::app) << ' ';
  EXPECT_THROW(ImportTiled(doc.dump(), folder.string()), ETiledRefusal);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace orr
