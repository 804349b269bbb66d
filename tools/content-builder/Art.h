// SPDX-License-Identifier: GPL-3.0-or-later
// The content builder's art: tiles, decorations, sprites, items and the status image,
// each drawn by code from a small description read from content/art/*.json.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Canvas.h"

namespace orr::content {

// The colour behind every cut-out picture (sprites, decorations): the game keys each
// picture on its own bottom-left pixel; using one colour everywhere keeps it simple.
constexpr std::uint32_t KeyRgb = 0xFF0080;

// One drawing recipe: a style name known to the drawing code, named colours and a seed.
struct TStyle {
  std::string Name;  // what it depicts, for the contact sheet and error messages
  std::string Kind;  // which drawing routine
  std::map<std::string, TRgba> Colors;
  std::map<std::string, float> Numbers;
  std::uint32_t Seed = 1;

  TRgba Color(const std::string& key, TRgba fallback) const;
  float Number(const std::string& key, float fallback) const;
};

// Reads {"name", "style", "seed", "colors": {k: "#rrggbb"}, "numbers": {k: v}};
// `where` prefixes error messages. Throws std::runtime_error.
TStyle ParseStyle(const nlohmann::json& j, const std::string& where);
TRgba ParseColor(const std::string& text, const std::string& where);

// Tiles: 32 x 32. Floors repeat seamlessly in both directions, walls too (a wall block
// repeats its picture once per height unit and side by side along a row of blocks).
TCanvas DrawFloor(const TStyle& style);
TCanvas DrawWall(const TStyle& style);
// Decoration: 32 x 32 on a transparent background (keyed when written).
TCanvas DrawDecoration(const TStyle& style);

// Animated creature frames: 96 x 128, the figure's centre at the frame's centre, facing
// the top of the picture. Frame 0 idle, 1-8 walking, 9 aiming, 10 firing.
constexpr int FrameWidth = 96, FrameHeight = 128, FrameCount = 11;
// Throws std::runtime_error for an unknown body or weapon style or a frame out of range.
TCanvas DrawCreatureFrame(const TStyle& body, const TStyle& weapon, int frame);

// Items seen from above, 64 x 64, transparent background.
TCanvas DrawItem(const TStyle& style);
// The glow sprite: brightness is opacity, black is nothing.
TCanvas DrawGlow(const TStyle& style);
// The status image, 150 x 50; transparent where the 3D view shows through.
TCanvas DrawHud(const TStyle& style);

// The game's icon, size x size pixels (drawn at 256 and resampled): `figure` (a creature
// frame) cut to what it covers and scaled to fill `floor` (a 32 x 32 tile) inside a raised
// rounded frame; the corners are transparent.
TCanvas DrawIcon(const TCanvas& floor, const TCanvas& figure, int size);

// A tiny upper-case bitmap font (5 x 7 cells) for the status image and contact sheet.
void DrawText(TCanvas& canvas, int x, int y, const std::string& text, TRgba color, int scale = 1);
int TextWidth(const std::string& text, int scale = 1);

}  // namespace orr::content
