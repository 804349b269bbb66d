// SPDX-License-Identifier: GPL-3.0-or-later
// Questions about the loaded map: its rectangle, blocked cells, routes, entity names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "map/GameMap.h"

namespace orr {

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

}  // namespace orr
