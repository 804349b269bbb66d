// SPDX-License-Identifier: GPL-3.0-or-later
#include "MapRender.h"

#include <algorithm>

#include "codecs/Codecs.h"

namespace orr {

namespace fs = std::filesystem;
using content::TCanvas;
using content::TRgba;

namespace {

constexpr int Tile = 32;

// A part of a picture; pixels equal to the key colour (when given) become transparent.
TCanvas Cut(const TPicture& picture, int left, int top, int width, int height, const TColor32* key) {
  TCanvas out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const TColor32 p = picture.Pixels[static_cast<size_t>(top + y) * static_cast<size_t>(picture.Width) +
                                        static_cast<size_t>(left + x)];
      if (key != nullptr && (p & 0xFFFFFFu) == (*key & 0xFFFFFFu)) continue;
      out.At(x, y) = TRgba{((p >> 16) & 255) / 255.0f, ((p >> 8) & 255) / 255.0f, (p & 255) / 255.0f, 1.0f};
    }
  return out;
}

// A sprite picture keyed on its bottom-left pixel; a 1 x 1 canvas when it cannot be read.
TCanvas Sprite(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return TCanvas(1, 1);
  try {
    const TPicture p = LoadPictureFromFile(path.string());
    if (p.Width < 1 || p.Height < 1) return TCanvas(1, 1);
    const TColor32 key = p.Pixels[static_cast<size_t>(p.Height - 1) * static_cast<size_t>(p.Width)];
    return Cut(p, 0, 0, p.Width, p.Height, &key);
  } catch (const EPictureError&) {
    return TCanvas(1, 1);
  }
}

}  // namespace

content::TMapPictureArt LoadGameArt(const fs::path& game) {
  content::TMapPictureArt art;
  const fs::path graphics = game / "Graphics";
  const TPicture terrain = LoadPictureFromFile((graphics / "Tiles" / "TerrainTiles.bmp").string());
  if (terrain.Width >= Tile)
    for (int top = 0; top + Tile <= terrain.Height; top += Tile)
      art.Floors.push_back(Cut(terrain, 0, top, Tile, Tile, nullptr));
  std::error_code error;
  const fs::path decorations = graphics / "Tiles" / "DecorationTiles.bmp";
  if (fs::is_regular_file(decorations, error)) {
    const TPicture deco = LoadPictureFromFile(decorations.string());
    if (deco.Width >= Tile)
      for (int top = 0; top + Tile <= deco.Height; top += Tile) {
        const TColor32 key = deco.Pixels[static_cast<size_t>(top) * static_cast<size_t>(deco.Width)];
        art.Decorations.push_back(Cut(deco, 0, top, Tile, Tile, &key));
      }
  }
  for (int index = 0; index < 7; ++index) {
    std::vector<fs::path> frames;
    for (const auto& entry :
         fs::directory_iterator(graphics / "AniSprites" / ("NPC" + std::to_string(index)), error))
      if (entry.is_regular_file()) frames.push_back(entry.path());
    std::sort(frames.begin(), frames.end());  // the game numbers frames in name order
    art.Creatures.push_back(frames.empty() ? TCanvas(1, 1) : Sprite(frames.front()));
  }
  // The game's sprite names by kind; weapons and ammunition share one picture each.
  const fs::path statics = graphics / "StaticSprites";
  art.Items.resize(4);
  for (int index = 0; index < 3; ++index) {
    art.Items[0].push_back(Sprite(statics / ("Med_" + std::to_string(index) + ".bmp")));
    art.Items[1].push_back(Sprite(statics / ("Armor_" + std::to_string(index) + ".bmp")));
  }
  art.Items[2].assign(9, Sprite(statics / "WeaponCrate.bmp"));
  art.Items[3].assign(6, Sprite(statics / "AmmoPack.bmp"));
  return art;
}

content::TMapPictureInput MapPictureInput(const TOrrindelMap& map) {
  content::TMapPictureInput input;
  input.Width = map.MapSize.X;
  input.Height = map.MapSize.Y;
  input.Cell = [&map](int x, int y) {
    const MapCell t = map.TerrainGrid[static_cast<size_t>(x)][static_cast<size_t>(y)];
    const MapCell d = map.DecorationGrid[static_cast<size_t>(x)][static_cast<size_t>(y)];
    return content::TMapPictureCell{t.TileNumber, t.QuarterTurns, d.TileNumber, d.QuarterTurns,
                                    map.HeightMap[static_cast<size_t>(x)][static_cast<size_t>(y)]};
  };
  for (const TPackedEntity& e : map.EntitySpawns) {
    content::TMapPictureEntity entity{e.Position.X, e.Position.Y, e.Kind, e.Index, {}};
    if (e.Kind == 0) {
      TRoute route;
      try {
        ParseRoute(route, e.Param2);
      } catch (const EConvertError&) {
        route.Steps.pop_back();  // the partly read step
      }
      for (const RouteStep& s : route.Steps) entity.Route.push_back({s.CellX, s.CellY});
    }
    input.Entities.push_back(std::move(entity));
  }
  return input;
}

}  // namespace orr
