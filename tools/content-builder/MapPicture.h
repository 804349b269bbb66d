// SPDX-License-Identifier: GPL-3.0-or-later
// A map seen from above: floors and block tops from the terrain pictures (higher blocks
// lighter, with a shadow to the south-east), decorations, and optionally the entities
// (creatures as a cut from their idle frame, items as their sprite, other records as
// rings: markers green, effects blue) and the patrol routes in yellow. North (the map's
// largest y) is at the top. The content builder draws the episode with it for its contact
// sheet, `orx render` any map file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Canvas.h"

namespace orr::content {

// The pictures a map is drawn with; a number beyond a list draws a placeholder (floors)
// or nothing (decorations), a creature without a picture a ring.
struct TMapPictureArt {
  std::vector<TCanvas> Floors;       // 32 x 32, by terrain tile number
  std::vector<TCanvas> Decorations;  // 32 x 32, transparent background, by number (0: none)
  std::vector<TCanvas> Creatures;    // idle frames, FrameWidth x FrameHeight (smaller: none), by index
  // Item sprites (64 x 64, transparent background) by kind 3..6 and index; empty canvases
  // where the game has none.
  std::vector<std::vector<TCanvas>> Items;
};

struct TMapPictureCell {
  int Tile = 0, Turns = 0, Decoration = 0, DecorationTurns = 0, Height = 0;
};

struct TMapPictureEntity {
  float X = 0, Y = 0;  // cells; negative x and y (placed at random) are not drawn
  int Kind = 0, Index = 0;
  std::vector<std::pair<int, int>> Route;  // patrol steps' cells
};

struct TMapPictureInput {
  int Width = 0, Height = 0;
  std::function<TMapPictureCell(int x, int y)> Cell;
  std::vector<TMapPictureEntity> Entities;
};

struct TMapPictureOptions {
  int CellPixels = 16;
  bool Entities = true;
  bool Routes = true;
};

// Opaque picture of Width x Height cells of CellPixels each.
TCanvas DrawMapFromAbove(const TMapPictureInput& map, const TMapPictureArt& art,
                         const TMapPictureOptions& options);

// Box-filtered reduction by a whole factor; colours weighted by coverage.
TCanvas Shrink(const TCanvas& src, int factor);
// A copy `size` pixels square: box-filtered when smaller, nearest pixel when larger.
TCanvas Resized(const TCanvas& src, int size);
// A square picture turned by quarter turns the way the game turns tiles (clockwise seen
// from above for positive turns).
TCanvas Turned(const TCanvas& src, int turns);

}  // namespace orr::content
