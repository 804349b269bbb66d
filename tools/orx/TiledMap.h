// SPDX-License-Identifier: GPL-3.0-or-later
// Episode maps as maps of the Tiled editor, both ways: `orx export-tiled` writes a TMX file
// an author opens and edits, `orx import-tiled` reads what the editor saves (TMX or its JSON
// form) back into a map. docs/mapping.md shows the round trip from an author's side.
//
// How a map looks in the editor (north, the game's largest y, at the top, as the game's
// camera shows it; Tiled's row r is the map's y = H - 1 - r):
//
//   layer "terrain"     tileset "terrain": tile id = tile number; quarter turns as the
//                       editor's rotation flags (one turn = rotated clockwise)
//   layer "decoration"  tileset "decoration": as terrain; an empty cell is decoration 0
//   layer "height"      tileset "height": tile id = height 0..9; an empty cell is 0
//   layer "entities"    one point object per entity record, in file order, properties
//                       kind, index and what Param1 and Param2 mean for the kind
//   layer "routes"      patrol routes drawn as closed polylines; view only, never read
//   map properties      name, id code, version
//
// What the editor cannot show is kept in properties so that nothing is lost:
//   - a cell whose tile number lies beyond its tileset's atlas shows the tileset's last
//     tile (a placeholder), and a cell with more than 3 quarter turns shows its turns
//     modulo 4; the layer property "kept cells" lists such cells ("x,y,tile,turns"
//     separated by blanks, x and y the map's cell). The import uses an entry only while
//     the cell still shows what the export drew, so painting over such a cell wins;
//   - an entity's exact position is the property "position" ("x,y", the map's numbers);
//     it counts while the object stays within half a pixel of where it was drawn. A
//     record placed at random (x and y negative) is drawn below and left of the map.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "map/UMapModule.h"

namespace orr {

// What cannot be imported and where (layer, cell or object): one line per problem.
struct ETiledRefusal : std::runtime_error {
  explicit ETiledRefusal(const std::string& line) : std::runtime_error(line), Problems{line} {}
  // what() holds the lines joined by newlines.
  explicit ETiledRefusal(std::vector<std::string> problems);
  std::vector<std::string> Problems;
};

// How the tile layers' data is written.
enum class TTiledEncoding { Csv, Base64, Zlib, Gzip, Zstd };

// Tilesets the export refers to: image files relative to the TMX file and their number
// of atlas tiles (each image holds one more tile, the placeholder, at its end).
struct TTiledTilesets {
  std::string TerrainImage = "terrain-tiles.png";
  std::string DecorationImage = "decoration-tiles.png";
  std::string HeightImage = "height-tiles.png";
  int TerrainTiles = 0;     // atlas rows of terrain tiles
  int DecorationTiles = 0;  // atlas rows of decorations, row 0 (none) included
};

// Number of tiles of the height tileset: heights 0..9 (the game draws walls of 1..4).
constexpr int HeightTiles = 10;
// Pixels per cell in the editor; the game's atlas tiles are this size.
constexpr int TiledCellPixels = 32;

// The TMX document for `map`. Throws ETiledRefusal only for a map whose entity positions
// do not fit the editor's numbers (never for a map the loader read).
std::string ExportTiled(const TOrrindelMap& map, const TTiledTilesets& tilesets, TTiledEncoding encoding);

// Reads a Tiled map (TMX when `text` starts with '<', otherwise JSON). `folder` is where
// external tilesets are looked up. Throws ETiledRefusal naming the layer and cell (with
// Tiled's column and row), object or property of everything it cannot take: a file it
// cannot read stops at that one line; in a readable file every problem is listed (the
// first 50, then their count). `entityPlaces`, when given, receives for each entity of the
// map the object it came from: "object ID "NAME" (layer L)".
TOrrindelMap ImportTiled(const std::string& text, const std::string& folder,
                         std::vector<std::string>* entityPlaces = nullptr);

}  // namespace orr
