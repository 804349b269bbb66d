// SPDX-License-Identifier: GPL-3.0-or-later
// orr-content: builds the game's own data from the sources in content/.
//
//   orr-content --content DIR --game DIR [--map-json FILE] [--sheet FILE] [--icons DIR]
//               [--stamp FILE]
//
// Writes under the game folder: Graphics/Tiles/TerrainTiles.bmp and DecorationTiles.bmp,
// Graphics/Bitmaps/Hud Sketch #1.bmp, Graphics/StaticSprites/*.bmp and
// Graphics/AniSprites/<folder>/NN_<what>.bmp; the episode goes to --map-json as the map
// tool's JSON (the build then runs `orx encode` on it). --sheet writes a PNG contact sheet
// of everything; --icons writes the game's icon in the sizes desktops look for, as
// DIR/<N>x<N>/apps/orrindel.png. Every picture comes from fixed seeds: the same sources give the same
// bytes.
#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Art.h"
#include "ImageFiles.h"
#include "MapPicture.h"
#include "MapSource.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;
using namespace orr::content;

namespace {

struct TOptions {
  std::string Content, Game, MapJson, Sheet, Icons, Stamp;
};

void Usage(std::ostream& out) {
  out << "usage: orr-content --content DIR --game DIR [--map-json FILE] [--sheet FILE] [--icons DIR]\n"
         "                   [--stamp FILE]\n"
         "  --content DIR    the content sources (art/*.json, maps/Promo4.map)\n"
         "  --game DIR       the game folder to write Graphics/ into\n"
         "  --map-json FILE  write the Promo4 episode as the map tool's JSON\n"
         "  --sheet FILE     write a PNG contact sheet of every tile and sprite\n"
         "  --icons DIR      write the game's icon as DIR/<N>x<N>/apps/orrindel.png\n"
         "  --stamp FILE     touch this file when everything is written\n";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

nlohmann::json ReadJson(const std::string& path) {
  try {
    return nlohmann::json::parse(ReadFile(path));
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

const nlohmann::json& Field(const nlohmann::json& j, const char* key, const std::string& where) {
  if (!j.is_object() || !j.contains(key)) throw std::runtime_error(where + ": \"" + key + "\" is missing");
  return j[key];
}

void SaveKeyed(const std::string& path, const TCanvas& c) {
  SaveBmp(path, c.Width(), c.Height(), c.ToKeyed(KeyRgb));
}

// Removes the pictures of an earlier build so renamed or dropped files do not linger.
void ClearFolder(const fs::path& dir) {
  if (fs::exists(dir)) fs::remove_all(dir);
  fs::create_directories(dir);
}

// ---- the contact sheet --------------------------------------------------------------

class TSheet {
 public:
  explicit TSheet(int width) : Width(width) {}

  void Section(const std::string& title) {
    NewLine();
    Y += 10;
    Ops.push_back({nullptr, Margin, Y, 0, 0, title, 2});
    Y += 20;
  }
  // Adds a picture scaled by `scale`, with a caption under it, optionally over a floor
  // pattern (for keyed pictures).
  void Add(const TCanvas& picture, int scale, const std::string& caption, const TCanvas* floor = nullptr) {
    int w = picture.Width() * scale, h = picture.Height() * scale;
    int cellW = std::max(w, TextWidth(caption)) + 8;
    if (X + cellW > Width - Margin) NewLine();
    Store.push_back(picture);
    if (floor) Floors.push_back({static_cast<int>(Ops.size()), floor});
    Ops.push_back({&Store.back(), X, Y, w, h, caption, 1});
    X += cellW;
    RowHeight = std::max(RowHeight, h + 14);
  }
  void Break() { NewLine(); }
  TCanvas Render() {
    NewLine();
    TCanvas c(Width, Y + Margin, Hex(0x1c1f22));
    for (size_t i = 0; i < Ops.size(); ++i) {
      const TOp& op = Ops[i];
      if (!op.Picture) {
        DrawText(c, op.X, op.Y, op.Caption, Hex(0xf0d080), op.Scale);
        continue;
      }
      for (const auto& [index, floor] : Floors)
        if (index == static_cast<int>(i))
          for (int y = 0; y < op.H; ++y)
            for (int x = 0; x < op.W; ++x) c.At(op.X + x, op.Y + y) = floor->At(x % 32, y % 32);
      c.PasteScaled(*op.Picture, op.X, op.Y, op.W, op.H);
      DrawText(c, op.X, op.Y + op.H + 3, op.Caption, Hex(0xc8ccd0));
    }
    for (int y = 0; y < c.Height(); ++y)
      for (int x = 0; x < c.Width(); ++x) c.At(x, y).A = 1;
    return c;
  }

 private:
  struct TOp {
    const TCanvas* Picture;
    int X, Y, W, H;
    std::string Caption;
    int Scale;
  };
  static constexpr int Margin = 12;
  int Width;
  int X = Margin, Y = 0, RowHeight = 0;
  std::deque<TCanvas> Store;  // stable addresses
  std::vector<TOp> Ops;
  std::vector<std::pair<int, const TCanvas*>> Floors;

  void NewLine() {
    Y += RowHeight;
    X = Margin;
    RowHeight = 0;
  }
};

std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

// ---- the parts ------------------------------------------------------------------------

struct TBuild {
  TOptions Opt;
  std::vector<std::string> TileNames, DecorationNames;
  std::vector<TCanvas> Floors, Walls, Decorations;
  std::vector<std::pair<std::string, std::vector<TCanvas>>> Animations;  // folder, frames
  std::vector<std::pair<std::string, TCanvas>> Statics;                  // file, picture
  std::vector<TCanvas> HudPicture;
  TMapSource Episode;

  fs::path Graphics() const { return fs::path(Opt.Game) / "Graphics"; }
  fs::path Art(const char* name) const { return fs::path(Opt.Content) / "art" / name; }

  void Tiles() {
    std::string where = Art("tiles.json").string();
    const nlohmann::json tileDoc = ReadJson(where);
    const auto& list = Field(tileDoc, "tiles", where);
    for (size_t i = 0; i < list.size(); ++i) {
      std::string at = where + ": tile " + std::to_string(i);
      TileNames.push_back(Field(list[i], "name", at).get<std::string>());
      try {
        Floors.push_back(DrawFloor(ParseStyle(Field(list[i], "floor", at), at + " floor")));
        Walls.push_back(DrawWall(ParseStyle(Field(list[i], "wall", at), at + " wall")));
      } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(at + ": " + e.what());
      }
    }
    TCanvas atlas(64, 32 * static_cast<int>(Floors.size()));
    for (size_t i = 0; i < Floors.size(); ++i) {
      atlas.Paste(Floors[i], 0, static_cast<int>(i) * 32);
      atlas.Paste(Walls[i], 32, static_cast<int>(i) * 32);
    }
    ClearFolder(Graphics() / "Tiles");
    SaveBmp((Graphics() / "Tiles" / "TerrainTiles.bmp").string(), atlas.Width(), atlas.Height(),
            atlas.ToArgbPixels());

    where = Art("decorations.json").string();
    const nlohmann::json decoDoc = ReadJson(where);
    const auto& decos = Field(decoDoc, "decorations", where);
    for (size_t i = 0; i < decos.size(); ++i) {
      std::string at = where + ": decoration " + std::to_string(i);
      TStyle s = ParseStyle(decos[i], at);
      DecorationNames.push_back(s.Name);
      Decorations.push_back(DrawDecoration(s));
    }
    TCanvas deco(32, 32 * static_cast<int>(Decorations.size()));
    for (size_t i = 0; i < Decorations.size(); ++i) deco.Paste(Decorations[i], 0, static_cast<int>(i) * 32);
    SaveKeyed((Graphics() / "Tiles" / "DecorationTiles.bmp").string(), deco);
  }

  void Sprites() {
    std::string where = Art("sprites.json").string();
    nlohmann::json j = ReadJson(where);
    std::vector<TStyle> weapons;
    const auto& wl = Field(j, "weapons", where);
    for (size_t i = 0; i < wl.size(); ++i)
      weapons.push_back(ParseStyle(wl[i], where + ": weapon " + std::to_string(i)));
    if (weapons.size() != 9) throw std::runtime_error(where + ": the game has nine weapons");
    std::vector<std::pair<std::string, std::pair<TStyle, int>>> jobs;
    TStyle player = ParseStyle(Field(j, "player", where), where + ": player");
    for (int w = 0; w < 9; ++w) {
      char folder[8];
      std::snprintf(folder, sizeof folder, "PL0%02d", w);
      jobs.push_back({folder, {player, w}});
    }
    const auto& cl = Field(j, "creatures", where);
    if (cl.size() != CreatureNames().size())
      throw std::runtime_error(where + ": expected one look for each of the seven creature types");
    for (size_t i = 0; i < cl.size(); ++i) {
      std::string at = where + ": creature " + std::to_string(i);
      TStyle s = ParseStyle(cl[i], at);
      if (s.Name != CreatureNames()[i])
        throw std::runtime_error(at + ": expected \"" + CreatureNames()[i] + "\" at this place");
      int w = Field(cl[i], "weapon", at).get<int>();
      if (w < 0 || w > 8) throw std::runtime_error(at + ": weapon must be 0 to 8");
      jobs.push_back({"NPC" + std::to_string(i), {s, w}});
    }
    Animations.resize(jobs.size());
    // Frames are independent: draw the folders on two threads.
    std::vector<std::string> errors(jobs.size());
    auto work = [&](size_t first, size_t step) {
      for (size_t k = first; k < jobs.size(); k += step) {
        try {
          std::vector<TCanvas> frames;
          for (int f = 0; f < FrameCount; ++f)
            frames.push_back(DrawCreatureFrame(jobs[k].second.first, weapons[jobs[k].second.second], f));
          Animations[k] = {jobs[k].first, std::move(frames)};
        } catch (const std::exception& e) {
          errors[k] = where + ": " + jobs[k].first + ": " + e.what();
        }
      }
    };
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    // The web build has no threads: both halves in turn, the same pictures.
    work(0, 2);
    work(1, 2);
#else
    std::thread other(work, 1, 2);
    work(0, 2);
    other.join();
#endif
    for (const std::string& e : errors)
      if (!e.empty()) throw std::runtime_error(e);
    static const char* const names[FrameCount] = {"idle",  "walk1", "walk2", "walk3", "walk4", "walk5",
                                                  "walk6", "walk7", "walk8", "aim",   "fire"};
    ClearFolder(Graphics() / "AniSprites");
    for (const auto& [folder, frames] : Animations)
      for (int f = 0; f < FrameCount; ++f) {
        char file[32];
        std::snprintf(file, sizeof file, "%02d_%s.bmp", f, names[f]);
        SaveKeyed((Graphics() / "AniSprites" / folder / file).string(), frames[f]);
      }
  }

  void Items() {
    std::string where = Art("items.json").string();
    nlohmann::json j = ReadJson(where);
    ClearFolder(Graphics() / "StaticSprites");
    const auto& items = Field(j, "items", where);
    for (size_t i = 0; i < items.size(); ++i) {
      std::string at = where + ": item " + std::to_string(i);
      std::string file = Field(items[i], "file", at).get<std::string>();
      if (file.rfind("A_", 0) == 0) throw std::runtime_error(at + ": names starting with A_ are glows");
      TCanvas c = DrawItem(ParseStyle(items[i], at));
      SaveKeyed((Graphics() / "StaticSprites" / file).string(), c);
      Statics.push_back({file, c});
    }
    const auto& glows = Field(j, "glows", where);
    for (size_t i = 0; i < glows.size(); ++i) {
      std::string at = where + ": glow " + std::to_string(i);
      std::string file = Field(glows[i], "file", at).get<std::string>();
      if (file.rfind("A_", 0) != 0) throw std::runtime_error(at + ": a glow's name must start with A_");
      TCanvas c = DrawGlow(ParseStyle(glows[i], at));
      SaveBmp((Graphics() / "StaticSprites" / file).string(), c.Width(), c.Height(), c.ToArgbPixels());
      Statics.push_back({file, c});
    }
    const auto& hud = Field(j, "hud", where);
    std::string file = Field(hud, "file", where + ": hud").get<std::string>();
    TCanvas c = DrawHud(ParseStyle(hud, where + ": hud"));
    ClearFolder(Graphics() / "Bitmaps");
    SaveKeyed((Graphics() / "Bitmaps" / file).string(), c);
    HudPicture.push_back(c);
  }

  void Map() {
    std::string path = (fs::path(Opt.Content) / "maps" / "Promo4.map").string();
    Episode = ParseMapSource(ReadFile(path), path, TileNames, DecorationNames);
    const TMapSource& map = Episode;
    if (Opt.MapJson.empty()) return;
    fs::path out(Opt.MapJson);
    if (out.has_parent_path()) fs::create_directories(out.parent_path());
    std::ofstream f(out, std::ios::binary | std::ios::trunc);
    f << MapToJson(map).dump(1) << "\n";
    if (!f) throw std::runtime_error("cannot write " + Opt.MapJson);
  }

  // The episode from above, 16 pixels a cell, with its entities and patrol routes.
  TCanvas Overview() const {
    const TMapSource& m = Episode;
    TMapPictureInput input;
    input.Width = m.Width;
    input.Height = m.Height;
    input.Cell = [&m](int x, int y) {
      return TMapPictureCell{m.Tile[y][x], m.Turns[y][x], m.Deco[y][x], m.DecoTurns[y][x], m.Height_[y][x]};
    };
    for (const TMapEntity& e : m.Entities) {
      TMapPictureEntity entity{e.X, e.Y, e.Kind, e.Index, {}};
      if (e.Kind == 0)
        for (size_t i = 0; i + 8 <= e.Param2.size(); i += 8)
          entity.Route.push_back(
              {std::stoi(e.Param2.substr(i + 2, 3)), std::stoi(e.Param2.substr(i + 5, 3))});
      input.Entities.push_back(std::move(entity));
    }
    TMapPictureArt art;
    art.Floors = Floors;
    art.Decorations = Decorations;
    for (size_t i = 0; i < CreatureNames().size(); ++i) art.Creatures.push_back(Animations[9 + i].second[0]);
    static const char* const files[4] = {"Med_", "Armor_", "WeaponCrate", "AmmoPack"};
    art.Items.resize(4);
    for (int kind = 3; kind <= 6; ++kind)
      for (int index = 0; index < 9; ++index) {
        const std::string want = kind > 4 ? std::string(files[kind - 3]) + ".bmp"
                                          : files[kind - 3] + std::to_string(index) + ".bmp";
        TCanvas picture(1, 1);
        for (const auto& [file, c] : Statics)
          if (file == want) picture = c;
        art.Items[static_cast<size_t>(kind - 3)].push_back(picture);
      }
    return DrawMapFromAbove(input, art, {});
  }

  // The player firing the M4 carbine, on the steel grating.
  void Icons() const {
    if (Opt.Icons.empty()) return;
    const TCanvas& floor = Floors.at(2);
    const TCanvas& figure = Animations.at(3).second.at(10);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
      const TCanvas icon = DrawIcon(floor, figure, size);
      const std::string dir = std::to_string(size) + "x" + std::to_string(size);
      SavePng((fs::path(Opt.Icons) / dir / "apps" / "orrindel.png").string(), size, size, icon.ToArgbPixels(),
              true);
    }
  }

  void Sheet() {
    if (Opt.Sheet.empty()) return;
    TSheet sheet(1100);
    const TCanvas* floor = &Floors[1 < Floors.size() ? 1 : 0];
    sheet.Section("TERRAIN TILES: FLOOR AND WALL (2X)");
    for (size_t i = 0; i < Floors.size(); ++i) {
      TCanvas pair(64, 32);
      pair.Paste(Floors[i], 0, 0);
      pair.Paste(Walls[i], 32, 0);
      sheet.Add(pair, 2, std::to_string(i) + " " + Upper(TileNames[i]));
    }
    sheet.Section("FLOORS REPEATED 3 X 3");
    for (size_t i = 0; i < Floors.size(); ++i) {
      TCanvas tiled(96, 96);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) tiled.Paste(Floors[i], x * 32, y * 32);
      sheet.Add(tiled, 1, std::to_string(i));
    }
    sheet.Section("DECORATIONS ON CONCRETE (2X)");
    for (size_t i = 1; i < Decorations.size(); ++i)
      sheet.Add(Decorations[i], 2, std::to_string(i) + " " + Upper(DecorationNames[i]), floor);
    sheet.Section("ITEMS, GLOW AND STATUS IMAGE");
    for (const auto& [file, c] : Statics)
      sheet.Add(c, 1, Upper(file.substr(0, file.size() - 4)), file.rfind("A_", 0) == 0 ? nullptr : floor);
    if (!HudPicture.empty()) sheet.Add(HudPicture[0], 2, "HUD SKETCH #1", floor);
    // Creatures at twice their size, cut to the part of the frame they use.
    auto crop = [](const TCanvas& frame) {
      TCanvas c(72, 104);
      for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) c.At(x, y) = frame.At(x + 12, y);
      return c;
    };
    static const int shown[] = {0, 1, 3, 5, 7, 9, 10};
    static const char* const captions[] = {"IDLE", "WALK 1", "WALK 3", "WALK 5", "WALK 7", "AIM", "FIRE"};
    sheet.Section("CREATURES (2X): IDLE, WALKING, AIMING, FIRING");
    const TCanvas* yard = &Floors[TileNames.size() > 10 ? 10 : 0];
    for (const auto& [folder, frames] : Animations) {
      if (folder.rfind("PL", 0) == 0 && folder != "PL003") continue;
      for (int k = 0; k < 7; ++k)
        sheet.Add(crop(frames[shown[k]]), 2, k == 0 ? folder + " " + captions[k] : captions[k], yard);
      sheet.Break();
    }
    sheet.Section("THE PLAYER FIRING EACH WEAPON (2X)");
    for (const auto& [folder, frames] : Animations)
      if (folder.rfind("PL", 0) == 0) sheet.Add(crop(frames[10]), 2, folder, yard);
    sheet.Section("PROMO4 FROM ABOVE: ROUTES YELLOW, START GREEN, EFFECTS BLUE");
    sheet.Add(Overview(), 1, "PROMO4");
    TCanvas c = sheet.Render();
    SavePng(Opt.Sheet, c.Width(), c.Height(), c.ToArgbPixels());
  }
};

}  // namespace

int main(int argc, char** argv) {
  orr::UseUtf8Arguments(argc, argv);
  orr::UseBinaryStandardStreams();
  TOptions opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "orr-content: " << a << " needs a value\n";
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      Usage(std::cout);
      return 0;
    } else if (a == "--content") opt.Content = value();
    else if (a == "--game") opt.Game = value();
    else if (a == "--map-json") opt.MapJson = value();
    else if (a == "--sheet") opt.Sheet = value();
    else if (a == "--icons") opt.Icons = value();
    else if (a == "--stamp") opt.Stamp = value();
    else {
      std::cerr << "orr-content: unknown argument " << a << "\n";
      Usage(std::cerr);
      return 2;
    }
  }
  if (opt.Content.empty() || opt.Game.empty()) {
    Usage(std::cerr);
    return 2;
  }
  try {
    TBuild build{opt, {}, {}, {}, {}, {}, {}, {}, {}, {}};
    build.Tiles();
    build.Map();
    build.Items();
    build.Sprites();
    build.Sheet();
    build.Icons();
    if (!opt.Stamp.empty()) {
      fs::path stamp(opt.Stamp);
      if (stamp.has_parent_path()) fs::create_directories(stamp.parent_path());
      std::ofstream(stamp, std::ios::trunc) << "built\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "orr-content: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
