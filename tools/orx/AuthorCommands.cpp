// SPDX-License-Identifier: GPL-3.0-or-later
#include "AuthorCommands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ImageFiles.h"
#include "MapRender.h"
#include "OrxCheck.h"
#include "TiledMap.h"
#include "TiledTypes.h"
#include "codecs/Codecs.h"
#include "map/MapFileWriter.h"
#include "platform/Application.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace orr {

const char* const TiledUsage =
    "  export-tiled IN.orx OUT.tmx [--game DIR] [--encoding csv|base64|zlib|gzip|zstd]\n"
    "                           write the map for the Tiled editor: tile layers terrain,\n"
    "                           decoration and height, the entities as objects; the tile\n"
    "                           pictures are written beside OUT.tmx from the game's atlases\n"
    "                           (--game: the game folder, by default the one built beside orx)\n"
    "  import-tiled IN.tmx|IN.tmj OUT.orx [--seed S] [--wrap N] [--unchecked]\n"
    "                           read a map the Tiled editor saved (TMX or JSON) and store it;\n"
    "                           every problem is reported at once (layer and Tiled's column\n"
    "                           and row, or object id and name) with exit 1,\n"
    "                           as is a map with errors in `orx check` (unless --unchecked)\n"
    "  render IN.orx OUT.png [--scale N] [--entities] [--routes] [--game DIR]\n"
    "                           a picture of the map from above with the game's tiles, N\n"
    "                           pixels a cell (1..64, default 16), heights shaded; with the\n"
    "                           entities' sprites and the patrol routes when asked\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "orx: %s\n(orx --help shows how to use it)\n", message.c_str());
  return 2;
}

namespace {

namespace fs = std::filesystem;

// The game folder built beside this program (build/bin/orx -> build/game), or the
// installed one.
fs::path DefaultGameFolder() {
  const std::string folder = GameFolderBeside(ExecutableFileName());
  return folder.empty() ? fs::path("game") : PathFromUtf8(folder);
}

std::vector<std::uint32_t> Column(const TPicture& atlas, int left, int rows) {
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(TiledCellPixels) * TiledCellPixels * static_cast<std::size_t>(rows));
  for (int y = 0; y < rows * TiledCellPixels; ++y)
    for (int x = left; x < left + TiledCellPixels; ++x)
      out.push_back(atlas.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(atlas.Width) +
                                 static_cast<std::size_t>(x)]);
  return out;
}

// The tile shown for a tile number beyond the atlas: a red cross on black.
void AppendPlaceholder(std::vector<std::uint32_t>& pixels) {
  for (int y = 0; y < TiledCellPixels; ++y)
    for (int x = 0; x < TiledCellPixels; ++x) {
      const bool cross = std::abs(x - y) <= 1 || std::abs(x + y - (TiledCellPixels - 1)) <= 1;
      const bool edge = x == 0 || y == 0 || x == TiledCellPixels - 1 || y == TiledCellPixels - 1;
      pixels.push_back(cross || edge ? 0xFFE02020u : 0xFF101010u);
    }
}

// Height tiles 0..9: a grey square, brighter for higher blocks, with one dot per height
// unit; heights the game does not draw (5..9) in red.
std::vector<std::uint32_t> HeightTilePixels() {
  std::vector<std::uint32_t> pixels;
  for (int h = 0; h < HeightTiles; ++h)
    for (int y = 0; y < TiledCellPixels; ++y)
      for (int x = 0; x < TiledCellPixels; ++x) {
        const std::uint32_t level = static_cast<std::uint32_t>(40 + 50 * std::min(h, 4));
        std::uint32_t colour = h > 4 ? 0xFFC02020u : 0xFF000000u | level << 16 | level << 8 | level;
        const int dot = x / 6, inDot = x % 6;
        if (y >= 13 && y < 19 && x >= 1 && inDot >= 1 && inDot < 5 && dot < h) colour = 0xFF2040FFu;
        if (x == 0 || y == 0 || x == TiledCellPixels - 1 || y == TiledCellPixels - 1) colour = 0xFF000000u;
        pixels.push_back(colour);
      }
  return pixels;
}

// Writes the three tileset pictures beside the TMX file; returns the atlases' sizes.
TTiledTilesets WriteTilesetPictures(const fs::path& gameFolder, const fs::path& mapFolder) {
  TTiledTilesets sets;
  const fs::path tiles = gameFolder / "Graphics" / "Tiles";
  const TPicture terrain = LoadPictureFromFile((tiles / "TerrainTiles.bmp").string());
  const TPicture decoration = LoadPictureFromFile((tiles / "DecorationTiles.bmp").string());
  if (terrain.Width < TiledCellPixels || decoration.Width < TiledCellPixels)
    throw EPictureError("the tile atlases are narrower than one tile");
  sets.TerrainTiles = terrain.Height / TiledCellPixels;
  sets.DecorationTiles = decoration.Height / TiledCellPixels;
  std::vector<std::uint32_t> pixels = Column(terrain, 0, sets.TerrainTiles);
  AppendPlaceholder(pixels);
  content::SavePng((mapFolder / sets.TerrainImage).string(), TiledCellPixels,
                   TiledCellPixels * (sets.TerrainTiles + 1), pixels);
  pixels = Column(decoration, 0, sets.DecorationTiles);
  AppendPlaceholder(pixels);
  content::SavePng((mapFolder / sets.DecorationImage).string(), TiledCellPixels,
                   TiledCellPixels * (sets.DecorationTiles + 1), pixels);
  content::SavePng((mapFolder / sets.HeightImage).string(), TiledCellPixels, TiledCellPixels * HeightTiles,
                   HeightTilePixels());
  return sets;
}

bool WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int ExportTiledCommand(const std::vector<std::string>& args, TOrxLoad load) {
  std::vector<std::string> files;
  fs::path game;
  TTiledEncoding encoding = TTiledEncoding::Csv;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--game" || a == "--encoding") {
      if (i + 1 >= args.size()) return UsageError("export-tiled: " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--game") {
        game = PathFromUtf8(v);
        continue;
      }
      static const std::pair<const char*, TTiledEncoding> names[] = {{"csv", TTiledEncoding::Csv},
                                                                     {"base64", TTiledEncoding::Base64},
                                                                     {"zlib", TTiledEncoding::Zlib},
                                                                     {"gzip", TTiledEncoding::Gzip},
                                                                     {"zstd", TTiledEncoding::Zstd}};
      bool known = false;
      for (const auto& [name, value] : names)
        if (v == name) encoding = value, known = true;
      if (!known) return UsageError("export-tiled: --encoding is one of csv, base64, zlib, gzip, zstd");
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("export-tiled: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return UsageError("export-tiled: IN.orx and OUT.tmx are needed");
  if (game.empty()) game = DefaultGameFolder();
  const int result = load(files[0], false);
  if (result != 0) return result;
  const fs::path out = PathFromUtf8(files[1]);
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  try {
    fs::create_directories(folder);
    const TTiledTilesets sets = WriteTilesetPictures(game, folder);
    if (!WriteText(out, ExportTiled(GameMap, sets, encoding))) {
      std::fprintf(stderr, "orx: %s: cannot write: %s\n", Utf8FromPath(out).c_str(), std::strerror(errno));
      return 1;
    }
    // The project the editor opens beside the map: its object types list every creature
    // and item with its properties.
    for (const auto& [name, text] : {std::pair{tiled::ProjectFileName, tiled::TiledProject()},
                                     {tiled::ObjectTypesFileName, tiled::TiledObjectTypes()}})
      if (!WriteText(folder / name, text)) {
        std::fprintf(stderr, "orx: %s: cannot write: %s\n", Utf8FromPath(folder / name).c_str(),
                     std::strerror(errno));
        return 1;
      }
  } catch (const EPictureError& e) {
    std::fprintf(stderr, "orx: game folder %s: %s\n", Utf8FromPath(game).c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orx: %s: %s\n", Utf8FromPath(out).c_str(), e.what());
    return 1;
  }
  return 0;
}

int ImportTiledCommand(const std::vector<std::string>& args, TOrxLoad load) {
  std::vector<std::string> files;
  TMapWriteOptions options;
  bool unchecked = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--seed" || a == "--wrap") {
      if (i + 1 >= args.size()) return UsageError("import-tiled: " + a + " needs a number");
      char* end = nullptr;
      errno = 0;
      const long long v = std::strtoll(args[++i].c_str(), &end, 10);
      const long long high = a == "--seed" ? 4294967295LL : 1LL << 30;
      if (errno != 0 || *end != '\0' || args[i].empty() || v < 0 || v > high)
        return UsageError("import-tiled: " + a + " needs a number 0.." + std::to_string(high));
      if (a == "--seed") options.Seed = static_cast<std::uint32_t>(v);
      else options.Wrap = static_cast<int>(v);
    } else if (a == "--unchecked") {
      unchecked = true;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("import-tiled: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return UsageError("import-tiled: IN.tmx (or IN.tmj) and OUT.orx are needed");
  const fs::path in = PathFromUtf8(files[0]), out = PathFromUtf8(files[1]);

  std::error_code error;
  constexpr std::uintmax_t maxSize = 1u << 30;
  if (!fs::is_regular_file(in, error)) {
    std::fprintf(stderr, "orx: %s: no such file\n", Utf8FromPath(in).c_str());
    return 1;
  }
  if (fs::file_size(in, error) > maxSize) {
    std::fprintf(stderr, "orx: %s: larger than 1 GiB\n", Utf8FromPath(in).c_str());
    return 1;
  }
  std::ifstream stream(in, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  if (!stream) {
    std::fprintf(stderr, "orx: %s: cannot read: %s\n", Utf8FromPath(in).c_str(), std::strerror(errno));
    return 1;
  }
  std::string content;
  TCheckNames names;  // the check's findings name the author's objects, rows as Tiled counts them
  names.TiledRows = true;
  try {
    const TOrrindelMap map =
        ImportTiled(text.str(), in.has_parent_path() ? Utf8FromPath(in.parent_path()) : ".", &names.Entities);
    content = EncodeMapFile(map, options);
  } catch (const ETiledRefusal& e) {
    for (const std::string& line : e.Problems)
      std::fprintf(stderr, "orx: %s: %s\n", Utf8FromPath(in).c_str(), line.c_str());
    if (e.Problems.size() > 1)
      std::fprintf(stderr, "orx: %s: not imported; nothing written\n", Utf8FromPath(in).c_str());
    return 1;
  } catch (const EMapEncodeError& e) {
    std::fprintf(stderr, "orx: %s: %s\n", Utf8FromPath(in).c_str(), e.what());
    return 1;
  }

  // Stored beside the target first, so that a map the check refuses replaces nothing.
  const fs::path staged = PathFromUtf8(Utf8FromPath(out) + ".importing");
  if (!WriteText(staged, content)) {
    std::fprintf(stderr, "orx: %s: cannot write: %s\n", Utf8FromPath(staged).c_str(), std::strerror(errno));
    fs::remove(staged, error);
    return 1;
  }
  if (load(Utf8FromPath(staged), false) != 0) {
    fs::remove(staged, error);
    return 1;
  }
  const TCheckReport report = CheckGameMap(&names);
  for (const auto& finding : report.Findings)
    std::fprintf(stderr, "orx: %s: %s: %s\n", Utf8FromPath(in).c_str(),
                 finding.Severity == TCheckSeverity::Error ? "error" : "warning", finding.Text.c_str());
  if (report.Errors() > 0 && !unchecked) {
    std::fprintf(
        stderr, "orx: %s: not written: %d error(s) the game would trip over (--unchecked writes it anyway)\n",
        Utf8FromPath(out).c_str(), report.Errors());
    fs::remove(staged, error);
    return 1;
  }
  fs::rename(staged, out, error);
  if (error) {
    std::fprintf(stderr, "orx: %s: cannot write: %s\n", Utf8FromPath(out).c_str(), error.message().c_str());
    fs::remove(staged, error);
    return 1;
  }
  return 0;
}

int RenderCommand(const std::vector<std::string>& args, TOrxLoad load) {
  std::vector<std::string> files;
  fs::path game;
  content::TMapPictureOptions options;
  options.Entities = options.Routes = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--scale" || a == "--game") {
      if (i + 1 >= args.size()) return UsageError("render: " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--game") {
        game = PathFromUtf8(v);
        continue;
      }
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (errno != 0 || *end != '\0' || v.empty() || n < 1 || n > 64)
        return UsageError("render: --scale needs a number of pixels a cell, 1..64");
      options.CellPixels = static_cast<int>(n);
    } else if (a == "--entities") {
      options.Entities = true;
    } else if (a == "--routes") {
      options.Routes = true;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("render: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return UsageError("render: IN.orx and OUT.png are needed");
  if (game.empty()) game = DefaultGameFolder();
  const int result = load(files[0], false);
  if (result != 0) return result;
  // The picture is kept as floats while drawing (16 bytes a pixel).
  constexpr long long maxPixels = 1LL << 26;
  const long long side = options.CellPixels;
  if (static_cast<long long>(GameMap.MapSize.X) * side * GameMap.MapSize.Y * side > maxPixels) {
    std::fprintf(stderr,
                 "orx: %s: %d x %d cells at %d pixels a cell exceed %lld pixels; use a smaller --scale\n",
                 files[0].c_str(), GameMap.MapSize.X, GameMap.MapSize.Y, options.CellPixels, maxPixels);
    return 1;
  }
  if (GameMap.MapSize.X == 0 || GameMap.MapSize.Y == 0) {
    std::fprintf(stderr, "orx: %s: the map has no cells to draw\n", files[0].c_str());
    return 1;
  }
  try {
    const content::TMapPictureArt art = LoadGameArt(game);
    const content::TCanvas picture = content::DrawMapFromAbove(MapPictureInput(GameMap), art, options);
    content::SavePng(files[1], picture.Width(), picture.Height(), picture.ToArgbPixels());
  } catch (const EPictureError& e) {
    std::fprintf(stderr, "orx: game folder %s: %s\n", Utf8FromPath(game).c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orx: %s: %s\n", files[1].c_str(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace orr
