// The map module: the episode map loader, the loaded map `GameMap` and the queries over it.
//
// An episode map file is text cut into fields by the byte 0xFE; every field is stored with
// its own character shift (see DecodeField). docs/map-format.md describes the format.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/Numbers.h"
#include "platform/Classes.h"

namespace orr {

// One tile of a grid layer.
struct MapCell {
  // Material number, normally 0..999: its decimal text names the material in the tile
  // library of the layer. In DecorationGrid, 0 means the cell has no decoration.
  std::uint16_t TileNumber = 0;
  // Rotation in quarter turns, one decimal digit (0..9).
  std::uint8_t QuarterTurns = 0;
};

// Height of a cell: 0 open floor, 1 to 4 a wall block of that many height units. The loader
// stores any digit it reads (0..9).
using THeightMapCell = std::uint8_t;

// W columns of H cells, indexed [x][y] like a nested dynamic array (grid.size() is W,
// grid[x].size() is H), stored in one zero-filled block, column after column:
//
//   x = 0          x = 1               x = W-1
//   [y0 .. yH-1]   [y0 .. yH-1]   ...  [y0 .. yH-1]
//
// so that a map of any width and no height costs no memory.
template <class TCell>
class TMapGrid {
 public:
  // Sets the size and zero-fills every cell. Both sizes must be >= 0.
  void SetSize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) throw std::length_error("negative map grid size");
    cells_ = {};  // release the old block before taking the new one
    cells_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    width_ = width;
    height_ = height;
  }
  void Clear() { SetSize(0, 0); }
  // Sets the size the way a dynamic array is resized: the cells that lie within both the old
  // and the new size keep their values, every other cell starts at zero.
  void Resize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) throw std::length_error("negative map grid size");
    if (width == width_ && height == height_) return;
    const std::int32_t keptWidth = std::min(width, width_), keptHeight = std::min(height, height_);
    if (keptWidth == 0 || keptHeight == 0) return SetSize(width, height);  // nothing to keep
    std::vector<TCell> cells(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t x = 0; x < keptWidth; ++x)
      std::copy_n((*this)[static_cast<std::size_t>(x)].data(), keptHeight,
                  cells.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height));
    cells_ = std::move(cells);
    width_ = width;
    height_ = height;
  }

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::size_t size() const { return static_cast<std::size_t>(width_); }
  bool empty() const { return width_ == 0; }
  // True when (x, y) addresses a stored cell.
  bool Contains(std::int64_t x, std::int64_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_;
  }

  // Column x (unchecked, like an array index).
  std::span<TCell> operator[](std::size_t x) {
    return {cells_.data() + x * static_cast<std::size_t>(height_), static_cast<std::size_t>(height_)};
  }
  std::span<const TCell> operator[](std::size_t x) const {
    return {cells_.data() + x * static_cast<std::size_t>(height_), static_cast<std::size_t>(height_)};
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<TCell> cells_;
};

using TMapDataBlockArray = TMapGrid<MapCell>;
using THeightMap = TMapGrid<THeightMapCell>;

// A position as the map stores it: x and y come from the file, z and w are always 0.
struct TMapVector {
  float X = 0, Y = 0, Z = 0, W = 0;
};

// The entity kinds of the map's records; a record may hold any other number too.
enum class TEntityKind : std::uint16_t {
  Creature = 0,
  SceneryEffect = 1,
  Marker = 2,
  HealthItem = 3,
  ArmourItem = 4,
  Weapon = 5,
  Ammunition = 6,
};

// One entity record of the map.
struct TPackedEntity {
  // Position on the map in cells; a negative x together with a negative y asks for a random
  // placement.
  TMapVector Position;
  // 0 creature, 1 scenery effect, 2 marker, 3 health item, 4 armour item, 5 weapon,
  // 6 ammunition; anything else makes nothing. The number as the file stores it; the game
  // reads it as EntityKind().
  std::uint16_t Kind = 0;
  // Row of the kind's name table (see EntityName).
  std::uint16_t Index = 0;
  // Creatures: the behaviour number; items: the amount.
  std::string Param1;
  // Creatures: the patrol route (see ParseRoute).
  std::string Param2;

  TEntityKind EntityKind() const { return static_cast<TEntityKind>(Kind); }
};

// Number of cells horizontally (X, the map's width W) and vertically (Y, its height H).
struct TMapSize {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

struct TOrrindelMap {
  static constexpr std::size_t MaxNameLength = 255;

  std::string MapName;  // at most MaxNameLength characters; only logged
  float MapVersion = 0;  // format version of the file; only logged
  std::string MapIdCode;  // a new code makes the scene window rebuild its scene
  TMapSize MapSize;
  std::uint16_t EntityCount = 0;
  TMapDataBlockArray TerrainGrid;     // [x][y]
  TMapDataBlockArray DecorationGrid;  // [x][y]
  THeightMap HeightMap;               // [x][y]
  std::vector<TPackedEntity> EntitySpawns;  // EntityCount records, in file order
};

// The loaded map. Owned by this unit; released after every module is destroyed.
extern TOrrindelMap GameMap;
// Empties GameMap and frees its storage (unit finalization; tests).
void ResetGameMap();

// A field of the map file that cannot be read (no shift byte, a bad shift byte, a missing or
// short field, a size the file cannot hold).
struct EMapFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Input/output error raised when an existing map file cannot be opened for reading.
struct EInOutError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The largest map file the loader reads, in bytes (a 4096 x 4096 map needs about 170 MB).
// A larger file, or an endless one such as a device, is refused as Unreadable before it
// can exhaust memory.
extern std::size_t MapFileSizeLimit;

// What became of a map load. The numbers are orx's exit codes for the same outcomes.
enum class TMapLoadResult {
  Loaded = 0,
  Missing = 1,     // no such file
  Unreadable = 2,  // the content could not be read (GameMap keeps what was stored before)
};

// Loads the map file `path` into GameMap, logging every stage.
// Throws EInOutError when the file exists but cannot be opened. `failure`, when given,
// receives the reason for Missing or Unreadable (not logged: the log holds the fixed lines
// only; the tools print it).
TMapLoadResult LoadMap(const std::string& path, std::string* failure = nullptr);

// Takes the next field off `buffer`, which starts with one byte that is skipped (the
// file's first byte, afterwards the separator that ended the previous field): returns the
// decoded field and leaves `buffer` starting at the separator that ended it, or nullopt
// (buffer unchanged) when no further separator follows. Throws EMapFormatError when the
// raw field cannot be decoded.
std::optional<std::string> NextField(std::string_view& buffer);

// Decodes one raw field: a shift byte 0x94..0x9D giving the shift digit k, then stored
// bytes; the byte at raw position p (counted from 1, the shift byte being 1) decodes to
// WrapInRange(code - p - 50 - 2k, 33, 126). Throws EMapFormatError for an empty field or a
// bad shift byte.
std::string DecodeField(std::string_view raw);

// ---- Map queries --------------------------------------------------------------------------

// Inclusive rectangle of cells.
struct TMapRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Left 0, top 0, right W - 1, bottom H - 1 (inclusive bounds).
TMapRect MapRect();

// True for a cell outside the map or with a non-zero height; false only for a cell inside
// the map whose height is 0. A cell the height grid does not hold (after a failed load)
// counts as outside.
bool IsCellBlocked(std::int32_t x, std::int32_t y);

// The sides of a raised cell: the cell's edges in the order +Y, +X, -Y, -X (clockwise seen
// from above). Its floor turns with its terrain tile, -90 degrees per quarter turn, and its
// walls with the floor: the floor's own side k stands on the edge (k + QuarterTurns) mod 4.
int EdgeOfSide(int side, std::uint8_t quarterTurns);
// Whether the floor's own side k (0..3) of the raised cell (x, y) of `map` shows: the
// neighbour across the edge it stands on is lower (a neighbour at least as high hides the
// whole side inside the block the two make). Beyond the map, and in cells the grids do
// not hold, the ground is at 0 and the terrain unturned.
bool RaisedSideShows(const TOrrindelMap& map, std::int32_t x, std::int32_t y, int side);

struct RouteStep {
  std::uint16_t Wait = 0;  // seconds of game time spent at the step once reached
  std::int32_t CellX = 0;  // target cell; the creature walks to its centre
  std::int32_t CellY = 0;
};

struct TRoute {
  std::vector<RouteStep> Steps;
};

// Replaces `route` by the steps of a route text: groups of 8 characters, each 2 for Wait,
// 3 for CellX and 3 for CellY; characters that do not fill a group are ignored. A group that
// is not a number throws EConvertError, leaving the steps parsed so far plus the new, partly
// filled step.
void ParseRoute(TRoute& route, std::string_view text);

// Names of the entity kinds 0..6, row Index of each table.
extern const std::vector<std::vector<std::string>> EntityNameTables;
// The display name of an entity record; empty for a kind or index without a name.
std::string EntityName(const TPackedEntity& record);

// ---- The module ----------------------------------------------------------------------------

// Holds the map loader and GameMap. No creation or destruction handler.
class TDMMapModule : public TDataModule {
 public:
  explicit TDMMapModule(TComponent* owner);
  TMapLoadResult LoadMap(const std::string& path) { return orr::LoadMap(path); }
};

extern TDMMapModule* DMMapModule;

}  // namespace orr
