// SPDX-License-Identifier: GPL-3.0-or-later
#include "OrxGenerate.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "map/MapFileWriter.h"

namespace orr {

namespace {

// The map is cut into blocks of about BlockSide cells; each block holds one room, and
// every room is joined to the rooms of the blocks to its right and above by a corridor
// two cells wide, so every open cell can be reached from every other.
//
//   ################################
//   #            ##                #
//   #  +------+  ##   +-------+    #
//   #  | room |======== | room  |   #      == corridor
//   #  +------+  ##   +-------+    #
//   #     ||     ##       ||       #
constexpr std::int32_t BlockSide = 12;
constexpr std::int32_t CorridorWidth = 2;
constexpr int TerrainTileCount = 14;      // tile types of the shipped terrain atlas
constexpr int DecorationTileCount = 16;   // decorations 1..16 of the shipped atlas
constexpr int DecorationPercent = 6;      // share of open cells with a decoration
constexpr int RandomPlacementEvery = 16;  // every 16th creature and item asks for a random cell
constexpr int HighestRouteCell = 999;     // route cells are written with three digits
constexpr int NpcKinds = 7, NpcModes = 3, PatrolMode = 2;
// Item kinds 3..6 with the size of each kind's name table.
constexpr std::array<int, 4> ItemTableSize{3, 3, 9, 6};

class TRandom {
 public:
  explicit TRandom(std::uint32_t seed) : engine_(seed) {}
  // A draw in 0..n-1 (n > 0); the same on every platform, unlike the standard distributions.
  std::int32_t Below(std::int32_t n) {
    return static_cast<std::int32_t>(
        (static_cast<std::uint64_t>(engine_()) * static_cast<std::uint32_t>(n)) >> 32);
  }
  std::int32_t Between(std::int32_t low, std::int32_t high) { return low + Below(high - low + 1); }

 private:
  std::mt19937 engine_;
};

struct TRoom {
  std::int32_t X0, Y0, X1, Y1;  // inclusive open cells
};

class TGenerator {
 public:
  explicit TGenerator(const TGenerateOptions& o)
      : options_(o), random_(o.Seed), w_(o.Width), h_(o.Height), every_(o.EveryFeature) {}

  TOrrindelMap Run() {
    char id[64];
    std::snprintf(id, sizeof id, "GEN-%dx%d-S%u", w_, h_, options_.Seed);
    map_.MapName = "Generated";
    map_.MapIdCode = id;
    map_.MapVersion = 1.1f;
    map_.MapSize = {w_, h_};
    map_.TerrainGrid.SetSize(w_, h_);
    map_.DecorationGrid.SetSize(w_, h_);
    map_.HeightMap.SetSize(w_, h_);
    roomOf_.assign(Cells(), -1);
    if (every_ && (w_ < TGenerateOptions::MinSide || h_ < TGenerateOptions::MinSide)) {
      Narrow();
    } else {
      Walls();
      Rooms();
      Corridors();
    }
    Decorate();
    Populate();
    if (every_) Extras();
    map_.EntityCount = static_cast<std::uint16_t>(map_.EntitySpawns.size());
    return std::move(map_);
  }

 private:
  std::size_t Cells() const { return static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_); }
  std::size_t At(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(h_) + static_cast<std::size_t>(y);
  }
  MapCell& Terrain(std::int32_t x, std::int32_t y) { return map_.TerrainGrid[x][y]; }
  std::uint8_t& HeightAt(std::int32_t x, std::int32_t y) { return map_.HeightMap[x][y]; }

  // Block edges along one axis: the interior 1..side-2 cut into pieces of about BlockSide.
  static std::vector<std::int32_t> BlockEdges(std::int32_t side) {
    const std::int32_t inner = side - 2;
    const std::int32_t count = std::max(1, inner / BlockSide);
    std::vector<std::int32_t> edges;
    for (std::int32_t i = 0; i <= count; ++i)
      edges.push_back(1 + static_cast<std::int32_t>(static_cast<std::int64_t>(i) * inner / count));
    return edges;
  }

  // A turn for a cell: none in the plain map, any of the four with every feature.
  std::uint8_t Turns() { return every_ ? static_cast<std::uint8_t>(random_.Below(4)) : 0; }

  // Everything starts as wall: each block with its own height and tile, the border in runs
  // of up to six cells of each height, so that every height 1..4 stands somewhere. With
  // every feature each wall cell has its own height and turn, so that every pair of heights
  // 1..4 stands side by side and every turn stands on raised cells.
  void Walls() {
    xEdges_ = BlockEdges(w_);
    yEdges_ = BlockEdges(h_);
    for (std::size_t i = 0; i + 1 < xEdges_.size(); ++i)
      for (std::size_t j = 0; j + 1 < yEdges_.size(); ++j) {
        const auto height = static_cast<std::uint8_t>(random_.Between(1, 4));
        const auto tile = static_cast<std::uint16_t>(random_.Below(TerrainTileCount));
        for (std::int32_t x = xEdges_[i]; x < xEdges_[i + 1]; ++x)
          for (std::int32_t y = yEdges_[j]; y < yEdges_[j + 1]; ++y) {
            HeightAt(x, y) = every_ ? static_cast<std::uint8_t>(random_.Between(1, 4)) : height;
            Terrain(x, y) = {tile, Turns()};
          }
      }
    const std::int32_t runLength = std::clamp((2 * w_ + 2 * h_ - 4) / 4, 1, 6);
    std::int32_t run = 0;
    auto border = [&](std::int32_t x, std::int32_t y) {
      HeightAt(x, y) = static_cast<std::uint8_t>(1 + (run++ / runLength) % 4);
      Terrain(x, y) = {8, Turns()};  // brick
    };
    for (std::int32_t x = 0; x < w_; ++x) border(x, 0);
    for (std::int32_t y = 1; y < h_; ++y) border(w_ - 1, y);
    for (std::int32_t x = w_ - 2; x >= 0; --x) border(x, h_ - 1);
    for (std::int32_t y = h_ - 2; y >= 1; --y) border(0, y);
  }

  void Open(std::int32_t x, std::int32_t y, std::uint16_t tile, std::uint8_t turns) {
    HeightAt(x, y) = 0;
    Terrain(x, y) = {tile, turns};
  }

  // One room per block, keeping a wall between neighbouring rooms; a block alone on its
  // axis gives its room the whole interior.
  void Rooms() {
    const std::size_t nx = xEdges_.size() - 1, ny = yEdges_.size() - 1;
    for (std::size_t j = 0; j < ny; ++j)
      for (std::size_t i = 0; i < nx; ++i) {
        auto span = [&](const std::vector<std::int32_t>& edges, std::size_t k, std::size_t count,
                        std::int32_t& low, std::int32_t& high) {
          const std::int32_t margin = count == 1 ? 0 : 1;
          const std::int32_t room = edges[k + 1] - edges[k] - 2 * margin;
          const std::int32_t size = random_.Between(std::max(1, std::min(room, std::max(3, room / 2))), room);
          low = edges[k] + margin + random_.Below(room - size + 1);
          high = low + size - 1;
        };
        TRoom r{};
        span(xEdges_, i, nx, r.X0, r.X1);
        span(yEdges_, j, ny, r.Y0, r.Y1);
        const auto tile = static_cast<std::uint16_t>(random_.Below(TerrainTileCount));
        const auto turns = static_cast<std::uint8_t>(random_.Below(4));
        const auto index = static_cast<std::int32_t>(rooms_.size());
        for (std::int32_t x = r.X0; x <= r.X1; ++x)
          for (std::int32_t y = r.Y0; y <= r.Y1; ++y) {
            Open(x, y, tile, every_ ? Turns() : turns);
            roomOf_[At(x, y)] = index;
          }
        rooms_.push_back(r);
      }
  }

  // Opens a band CorridorWidth cells wide from (x0, y0) to (x1, y1), along one axis.
  void Band(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, bool horizontal) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    for (std::int32_t x = x0; x <= x1 + (horizontal ? 0 : CorridorWidth - 1); ++x)
      for (std::int32_t y = y0; y <= y1 + (horizontal ? CorridorWidth - 1 : 0); ++y)
        if (HeightAt(x, y) != 0) Open(x, y, 10, Turns());  // asphalt
  }

  // A start for a band of CorridorWidth cells within low..high (both inclusive).
  std::int32_t BandStart(std::int32_t low, std::int32_t high) {
    return random_.Between(low, std::max(low, high - CorridorWidth + 1));
  }

  void Join(const TRoom& a, const TRoom& b, bool alongX) {
    if (alongX) {
      const std::int32_t low = std::max(a.Y0, b.Y0), high = std::min(a.Y1, b.Y1);
      if (high - low + 1 >= CorridorWidth) {
        const std::int32_t y = BandStart(low, high);
        Band(a.X1 + 1, y, b.X0 - 1, y, true);
        return;
      }
      // Bent: along x out of a, then along y into b.
      const std::int32_t y = BandStart(a.Y0, a.Y1), x = BandStart(b.X0, b.X1);
      Band(a.X1 + 1, y, x + CorridorWidth - 1, y, true);
      Band(x, y, x, y < b.Y0 ? b.Y0 - 1 : b.Y1 + 1, false);
    } else {
      const std::int32_t low = std::max(a.X0, b.X0), high = std::min(a.X1, b.X1);
      if (high - low + 1 >= CorridorWidth) {
        const std::int32_t x = BandStart(low, high);
        Band(x, a.Y1 + 1, x, b.Y0 - 1, false);
        return;
      }
      const std::int32_t x = BandStart(a.X0, a.X1), y = BandStart(b.Y0, b.Y1);
      Band(x, a.Y1 + 1, x, y + CorridorWidth - 1, false);
      Band(x, y, x < b.X0 ? b.X0 - 1 : b.X1 + 1, y, true);
    }
  }

  void Corridors() {
    const std::size_t nx = xEdges_.size() - 1, ny = yEdges_.size() - 1;
    for (std::size_t j = 0; j < ny; ++j)
      for (std::size_t i = 0; i < nx; ++i) {
        const TRoom& r = rooms_[j * nx + i];
        if (i + 1 < nx) Join(r, rooms_[j * nx + i + 1], true);
        if (j + 1 < ny) Join(r, rooms_[(j + 1) * nx + i], false);
      }
  }

  // Decorations on the floors; with every feature on raised cells too.
  void Decorate() {
    for (std::int32_t x = 0; x < w_; ++x)
      for (std::int32_t y = 0; y < h_; ++y)
        if ((every_ || HeightAt(x, y) == 0) && random_.Below(100) < DecorationPercent)
          map_.DecorationGrid[x][y] = {static_cast<std::uint16_t>(random_.Between(1, DecorationTileCount)),
                                       static_cast<std::uint8_t>(random_.Below(4))};
  }

  // A map narrower than a block (every feature only): one room over the whole map, without
  // a border, with about a quarter of its cells raised 1..4; routes may step onto them.
  void Narrow() {
    for (std::int32_t x = 0; x < w_; ++x)
      for (std::int32_t y = 0; y < h_; ++y) {
        const auto tile = static_cast<std::uint16_t>(random_.Below(TerrainTileCount));
        Terrain(x, y) = {tile, Turns()};
        HeightAt(x, y) = random_.Below(4) == 0 ? static_cast<std::uint8_t>(random_.Between(1, 4)) : 0;
        if (HeightAt(x, y) == 0) roomOf_[At(x, y)] = 0;
      }
    rooms_.push_back({0, 0, w_ - 1, h_ - 1});
  }

  static std::string Digits(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
  }

  TPackedEntity Record(std::int32_t x, std::int32_t y, int kind, int index, std::string param1,
                       bool randomCell) {
    TPackedEntity e;
    e.Position = randomCell ? TMapVector{-1, -1, 0, 0}
                            : TMapVector{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, 0, 0};
    e.Kind = static_cast<std::uint16_t>(kind);
    e.Index = static_cast<std::uint16_t>(index);
    e.Param1 = std::move(param1);
    return e;
  }

  // Two to four steps on open cells of the creature's own room (a room is a rectangle of
  // open cells, so every straight walk inside it is clear of walls), the creature's own
  // cell first so that the walk to step 0 is empty.
  std::string Route(std::int32_t x, std::int32_t y, const TRoom& room) {
    std::string route = Digits(random_.Between(0, 5), 2) + Digits(x, 3) + Digits(y, 3);
    const std::int32_t steps = random_.Between(1, 3);
    for (std::int32_t s = 0; s < steps; ++s)
      route += Digits(random_.Between(0, 5), 2) + Digits(random_.Between(room.X0, room.X1), 3) +
               Digits(random_.Between(room.Y0, room.Y1), 3);
    return route;
  }

  bool RouteFits(const TRoom& room) const {
    return room.X1 <= HighestRouteCell && room.Y1 <= HighestRouteCell;
  }

  // Creatures and items each take a room cell of their own, drawn at random; kinds, indices
  // and modes cycle so that every kind appears in every mode and every item index appears.
  void Populate() {
    std::vector<std::size_t> cells;
    for (std::int32_t x = 0; x < w_; ++x)
      for (std::int32_t y = 0; y < h_; ++y)
        if (roomOf_[At(x, y)] >= 0) cells.push_back(At(x, y));
    const std::int64_t wanted = static_cast<std::int64_t>(options_.Npcs) + options_.Items;
    if (wanted > static_cast<std::int64_t>(cells.size()))
      throw EGenerateError("a " + std::to_string(w_) + "x" + std::to_string(h_) + " map has room for " +
                           std::to_string(cells.size()) + " creatures and items, not " +
                           std::to_string(wanted) + ": make the map larger or ask for fewer");
    for (std::size_t i = cells.size(); i > 1; --i)
      std::swap(cells[i - 1], cells[static_cast<std::size_t>(random_.Below(static_cast<std::int32_t>(i)))]);
    std::vector<bool> taken(cells.size());
    // The next untaken cell in a room a route can name, -1 when there is none left; the
    // cursor only moves forward, as a cell passed once stays taken or unnamable.
    std::size_t routable = 0;
    auto routableCell = [&]() -> std::int64_t {
      for (; routable < cells.size(); ++routable)
        if (!taken[routable] && RouteFits(rooms_[static_cast<std::size_t>(roomOf_[cells[routable]])])) {
          taken[routable] = true;
          return static_cast<std::int64_t>(cells[routable]);
        }
      return -1;
    };
    std::size_t firstFree = 0;
    auto anyCell = [&]() {
      while (taken[firstFree]) ++firstFree;
      taken[firstFree] = true;
      return cells[firstFree];
    };
    for (std::int32_t k = 0; k < options_.Npcs; ++k) {
      const int kind = k % NpcKinds;
      int mode = (k / NpcKinds) % NpcModes;
      std::int64_t cell = mode == PatrolMode ? routableCell() : -1;
      if (mode == PatrolMode && cell < 0) mode = 1;  // no room a route can name: roam instead
      if (cell < 0) cell = static_cast<std::int64_t>(anyCell());
      const auto x = static_cast<std::int32_t>(static_cast<std::size_t>(cell) / static_cast<std::size_t>(h_));
      const auto y = static_cast<std::int32_t>(static_cast<std::size_t>(cell) % static_cast<std::size_t>(h_));
      const bool randomCell = mode != PatrolMode && k % RandomPlacementEvery == RandomPlacementEvery - 1;
      TPackedEntity e = Record(x, y, 0, kind, std::to_string(mode), randomCell);
      if (mode == PatrolMode)
        e.Param2 = Route(x, y, rooms_[static_cast<std::size_t>(roomOf_[static_cast<std::size_t>(cell)])]);
      map_.EntitySpawns.push_back(std::move(e));
    }
    for (std::int32_t k = 0; k < options_.Items; ++k) {
      const std::size_t cell = anyCell();
      const auto x = static_cast<std::int32_t>(cell / static_cast<std::size_t>(h_));
      const auto y = static_cast<std::int32_t>(cell % static_cast<std::size_t>(h_));
      const int kindSlot = k % 4;
      const int index = (k / 4) % ItemTableSize[static_cast<std::size_t>(kindSlot)];
      int amount;
      switch (kindSlot) {
        case 0:
        case 1: amount = random_.Between(5, 60); break;  // health, armour in percent
        case 2: amount = 1; break;                       // one weapon per crate
        default: amount = random_.Between(3, 100); break;
      }
      map_.EntitySpawns.push_back(Record(x, y, 3 + kindSlot, index, std::to_string(amount),
                                         k % RandomPlacementEvery == RandomPlacementEvery - 1));
    }
  }

  bool OpenAt(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < w_ && y < h_ && map_.HeightMap[x][y] == 0;
  }

  // With every feature, after the creatures and items asked for: records of every kind and
  // index the tables know and a few they do not, creatures in modes beyond the three,
  // patrol routes that are empty, one step long, looping and blocked, and bodies and items
  // on and just across the edges of the spatial grids' cells (2 and 4 units), within reach
  // of each other. Each takes a free open cell while there is one; a record that finds none
  // is left out, so a small map holds fewer.
  void Extras() {
    std::vector<bool> used(Cells());
    for (const TPackedEntity& e : map_.EntitySpawns)
      if (e.Position.X >= 0 && e.Position.Y >= 0)
        used[At(static_cast<std::int32_t>(e.Position.X), static_cast<std::int32_t>(e.Position.Y))] = true;
    std::vector<std::size_t> free;
    for (std::int32_t x = 0; x < w_; ++x)
      for (std::int32_t y = 0; y < h_; ++y)
        if (OpenAt(x, y) && !used[At(x, y)]) free.push_back(At(x, y));
    for (std::size_t i = free.size(); i > 1; --i)
      std::swap(free[i - 1], free[static_cast<std::size_t>(random_.Below(static_cast<std::int32_t>(i)))]);
    std::size_t next = 0;
    auto take = [&](std::int32_t& x, std::int32_t& y) {
      while (next < free.size() && used[free[next]]) ++next;
      if (next == free.size()) return false;
      used[free[next]] = true;
      x = static_cast<std::int32_t>(free[next] / static_cast<std::size_t>(h_));
      y = static_cast<std::int32_t>(free[next] % static_cast<std::size_t>(h_));
      return true;
    };
    auto add = [&](int kind, int index, const std::string& param1, const std::string& param2 = {}) {
      std::int32_t x, y;
      if (!take(x, y)) return;
      TPackedEntity e = Record(x, y, kind, index, param1, false);
      e.Param2 = param2;
      map_.EntitySpawns.push_back(std::move(e));
    };
    // Every kind 0..6 with every index of its table and the first one past it; kinds the
    // tables do not know.
    const int tableSizes[7] = {NpcKinds,        2, 1, ItemTableSize[0], ItemTableSize[1], ItemTableSize[2],
                               ItemTableSize[3]};
    for (int kind = 0; kind < 7; ++kind)
      for (int index = 0; index <= tableSizes[kind]; ++index) add(kind, index, kind == 0 ? "0" : "10");
    for (int kind : {7, 1000, 65535}) add(kind, 0, "1");
    add(0, 65535, "1");
    // Creature modes past the three.
    for (const char* mode : {"3", "9", "-1"}) add(0, 1, mode);
    // Routes, each from its creature's own cell (a route names cells of up to three digits).
    std::int32_t x, y;
    auto cellText = [](std::int32_t cx, std::int32_t cy, int wait) {
      return Digits(wait, 2) + Digits(std::min(cx, HighestRouteCell), 3) +
             Digits(std::min(cy, HighestRouteCell), 3);
    };
    auto patrol = [&](const std::string& route) {
      TPackedEntity e = Record(x, y, 0, random_.Below(NpcKinds), std::to_string(PatrolMode), false);
      e.Param2 = route;
      map_.EntitySpawns.push_back(std::move(e));
    };
    if (take(x, y)) patrol("");                 // empty
    if (take(x, y)) patrol(cellText(x, y, 3));  // one step, where it stands
    if (take(x, y)) patrol(cellText(x, y, 0) + cellText(x + 2, y, 1) + cellText(x, y, 0));  // there and back
    if (take(x, y)) {  // into the nearest raised cell
      std::int32_t wx = x;
      while (OpenAt(wx, y)) ++wx;
      patrol(cellText(x, y, 0) + cellText(wx, y, 2) + cellText(x, y + 3, 0));
    }
    if (take(x, y)) patrol(cellText(x, y, 1) + cellText(w_ + 5, h_ + 5, 1));     // off the map
    if (take(x, y)) patrol(cellText(x, y, 2) + cellText(x, y, 0).substr(0, 5));  // a tail cut short
    // On the grids' cell edges: open cells whose left (or lower) neighbour is open too, at x
    // (or y) a multiple of 2 (the bodies' grid) or of 4 (the scene's grid too), drawn from
    // all over the map.
    int placed = 0;
    for (std::size_t k = 0; k < free.size() && placed < 24; ++k) {
      const auto cx = static_cast<std::int32_t>(free[k] / static_cast<std::size_t>(h_));
      const auto cy = static_cast<std::int32_t>(free[k] % static_cast<std::size_t>(h_));
      if (cx == 0 || cy == 0) continue;
      const bool alongX = cx % 2 == 0, alongY = cy % 2 == 0;
      if (!(alongX || alongY) || !OpenAt(cx, cy) || used[At(cx, cy)]) continue;
      if (alongX ? (!OpenAt(cx - 1, cy) || used[At(cx - 1, cy)])
                 : (!OpenAt(cx, cy - 1) || used[At(cx, cy - 1)]))
        continue;
      used[At(cx, cy)] = true;
      used[alongX ? At(cx - 1, cy) : At(cx, cy - 1)] = true;
      const float offsets[3][2] = {{0, 0}, {-0.01f, 0.01f}, {-0.3f, 0.3f}};
      const float* o = offsets[placed % 3];
      auto at = [&](float offset) {
        return alongX ? TMapVector{static_cast<float>(cx) + offset, static_cast<float>(cy) + 0.5f, 0, 0}
                      : TMapVector{static_cast<float>(cx) + 0.5f, static_cast<float>(cy) + offset, 0, 0};
      };
      TPackedEntity body = Record(0, 0, 0, placed % NpcKinds, std::to_string(placed % NpcModes), false);
      body.Position = at(o[0]);
      if (placed % NpcModes == PatrolMode)  // to and fro across the edge
        body.Param2 = cellText(cx, cy, 1) + (alongX ? cellText(cx - 1, cy, 1) : cellText(cx, cy - 1, 1));
      map_.EntitySpawns.push_back(body);
      if (placed % 3 != 0) {
        TPackedEntity other = placed % 2 ? Record(0, 0, 3 + placed % 4, 0, "20", false) : body;
        other.Position = at(o[1]);
        map_.EntitySpawns.push_back(other);
      }
      ++placed;
    }
  }

  const TGenerateOptions& options_;
  TRandom random_;
  std::int32_t w_, h_;
  bool every_;
  TOrrindelMap map_;
  std::vector<std::int32_t> xEdges_, yEdges_;
  std::vector<TRoom> rooms_;
  std::vector<std::int32_t> roomOf_;  // room of each open room cell, -1 elsewhere; [x * H + y]
};

}  // namespace

TOrrindelMap GenerateMap(const TGenerateOptions& options) {
  const std::int32_t minSide = options.EveryFeature ? 1 : TGenerateOptions::MinSide;
  for (std::int32_t side : {options.Width, options.Height})
    if (side < minSide || side > TGenerateOptions::MaxSide)
      throw EGenerateError("map sides must be " + std::to_string(minSide) + ".." +
                           std::to_string(TGenerateOptions::MaxSide) + " cells, not " + std::to_string(side));
  if (options.Npcs < 0 || options.Items < 0)
    throw EGenerateError("counts of creatures and items cannot be negative");
  // With every feature up to 200 more records follow the ones asked for.
  if (static_cast<std::int64_t>(options.Npcs) + options.Items > (options.EveryFeature ? 65335 : 65535))
    throw EGenerateError("a map holds at most 65535 entity records (the count is kept in 16 bits)");
  return TGenerator(options).Run();
}

bool ParseMapSize(const std::string& text, std::int32_t& width, std::int32_t& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos || x == 0 || x + 1 == text.size()) return false;
  auto number = [](const std::string& digits, std::int32_t& out) {
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    out = std::stoi(digits);
    return true;
  };
  return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

namespace {

int GenerateUsage(const std::string& message) {
  std::fprintf(stderr, "orx: generate: %s\n(orx --help shows how to use it)\n", message.c_str());
  return 2;
}

bool ParseCount(const std::string& text, std::int64_t high, std::int64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10)
    return false;
  value = std::strtoll(text.c_str(), nullptr, 10);
  return value <= high;
}

}  // namespace

int GenerateCommand(const std::vector<std::string>& args) {
  TGenerateOptions options;
  std::string output;
  bool sized = false, npcs = false, items = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    std::int64_t number = 0;
    if (a == "--size") {
      if (!hasValue || !ParseMapSize(args[++i], options.Width, options.Height))
        return GenerateUsage("--size needs WxH, e.g. 256x256");
      sized = true;
    } else if (a == "--npcs" || a == "--items") {
      if (!hasValue || !ParseCount(args[++i], 65535, number))
        return GenerateUsage(a + " needs a count 0..65535");
      (a == "--npcs" ? options.Npcs : options.Items) = static_cast<std::int32_t>(number);
      (a == "--npcs" ? npcs : items) = true;
    } else if (a == "--every-feature") {
      options.EveryFeature = true;
    } else if (a == "--seed") {
      if (!hasValue || !ParseCount(args[++i], 4294967295LL, number))
        return GenerateUsage("--seed needs a number 0..4294967295");
      options.Seed = static_cast<std::uint32_t>(number);
    } else if (!a.empty() && a[0] == '-') {
      return GenerateUsage("unknown option " + a);
    } else if (output.empty()) {
      output = a;
    } else {
      return GenerateUsage("one OUT.orx only");
    }
  }
  if (output.empty()) return GenerateUsage("OUT.orx missing");
  if (!sized || !npcs || !items) return GenerateUsage("--size, --npcs and --items are needed");
  try {
    const TOrrindelMap map = GenerateMap(options);
    WriteMapFile(output, map);
  } catch (const EGenerateError& e) {
    std::fprintf(stderr, "orx: generate: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orx: %s: %s\n", output.c_str(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace orr
