// SPDX-License-Identifier: GPL-3.0-or-later
#include "MapSource.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace orr::content {

namespace {

struct TLegend {
  int Tile = 0, Height = 0, Turns = 0;
};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> w;
  std::string s;
  while (in >> s) w.push_back(s);
  return w;
}

bool ToInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (s[k] < '0' || s[k] > '9') return false;
  if (s.size() > 9) return false;
  out = std::stoi(s);
  return true;
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

class TParser {
 public:
  TParser(const std::string& fileName, const std::vector<std::string>& tiles,
          const std::vector<std::string>& decorations)
      : File(fileName), Tiles(tiles), Decorations(decorations) {}

  TMapSource Parse(const std::string& text);

 private:
  std::string File;
  const std::vector<std::string>& Tiles;
  const std::vector<std::string>& Decorations;
  int Line = 0;
  std::map<char, TLegend> Legend;
  std::vector<std::string> Rows;  // north first
  TMapSource M;

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error(File + ":" + std::to_string(Line) + ": " + what);
  }
  int Int(const std::string& s, const char* what) const {
    int v = 0;
    if (!ToInt(s, v)) Fail(std::string(what) + " \"" + s + "\" is not a whole number");
    return v;
  }
  void Cell(const std::vector<std::string>& w, size_t at, int& x, int& y) const {
    if (w.size() < at + 2) Fail("expected X and Y");
    x = Int(w[at], "X");
    y = Int(w[at + 1], "Y");
    if (x < 0 || y < 0 || x >= M.Width || y >= M.Height)
      Fail("cell " + w[at] + "," + w[at + 1] + " lies outside the map");
  }
  bool Blocked(float x, float y) const {
    int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    if (cx < 0 || cy < 0 || cx >= M.Width || cy >= M.Height) return true;
    return M.Height_[cy][cx] != 0;
  }
  void RequireFree(int x, int y, const std::string& what) const {
    if (Blocked(x + 0.5f, y + 0.5f))
      Fail(what + " at " + std::to_string(x) + "," + std::to_string(y) + " stands on a wall block");
  }
  // A creature walks straight from cell centre to cell centre; its body is 0.8 wide.
  void RequireWalkable(int x0, int y0, int x1, int y1) const {
    float ax = x0 + 0.5f, ay = y0 + 0.5f, bx = x1 + 0.5f, by = y1 + 0.5f;
    float len = std::hypot(bx - ax, by - ay);
    float nx = len > 0 ? -(by - ay) / len : 0, ny = len > 0 ? (bx - ax) / len : 0;
    int steps = static_cast<int>(len * 20) + 1;
    for (int i = 0; i <= steps; ++i) {
      float t = static_cast<float>(i) / steps;
      float px = ax + (bx - ax) * t, py = ay + (by - ay) * t;
      for (float off : {-0.35f, 0.0f, 0.35f})
        if (Blocked(px + nx * off, py + ny * off))
          Fail("the route leg from " + std::to_string(x0) + "," + std::to_string(y0) + " to " +
               std::to_string(x1) + "," + std::to_string(y1) + " runs into a wall block");
    }
  }

  void Header(const std::vector<std::string>& w);
  void TileLine(const std::vector<std::string>& w);
  void BuildGrids();
  void DecoLine(const std::vector<std::string>& w);
  void NpcLine(const std::vector<std::string>& w);
  void ItemLine(const std::vector<std::string>& w);
  void EffectLine(const std::vector<std::string>& w);
  void StartLine(const std::vector<std::string>& w);
};

void TParser::Header(const std::vector<std::string>& w) {
  if (w.size() != 2) Fail(w[0] + " takes one word");
  // The episode file stores only the printable ASCII characters; anything else (a byte of
  // another encoding) is refused here rather than by the JSON writer or the map tool.
  for (unsigned char c : w[1])
    if (c < 33 || c > 126) Fail(w[0] + " \"" + w[1] + "\" holds a character other than printable ASCII");
  if (w[0] == "name") M.Name = w[1];
  else if (w[0] == "id") M.IdCode = w[1];
  else {
    char* end = nullptr;
    errno = 0;
    const double version = std::strtod(w[1].c_str(), &end);
    if (end == w[1].c_str() || *end != '\0') Fail("version \"" + w[1] + "\" is not a number");
    // The episode file keeps the version as a 32-bit float.
    if (errno == ERANGE || !std::isfinite(version) || std::fabs(version) > std::numeric_limits<float>::max())
      Fail("version \"" + w[1] + "\" does not fit in 32 bits");
    M.Version = w[1];
  }
}

void TParser::TileLine(const std::vector<std::string>& w) {
  if (w.size() < 4 || w.size() > 5 || w[1].size() != 1) Fail("expected: tile CHAR TILE HEIGHT [TURNS]");
  TLegend l;
  l.Tile = IndexOf(Tiles, w[2]);
  if (l.Tile < 0) Fail("unknown tile type \"" + w[2] + "\"");
  l.Height = Int(w[3], "height");
  if (l.Height < 0 || l.Height > 4) Fail("height must be 0 to 4");
  if (w.size() == 5) {
    l.Turns = Int(w[4], "turns");
    if (l.Turns < 0 || l.Turns > 3) Fail("turns must be 0 to 3");
  }
  if (Legend.count(w[1][0])) Fail(std::string("character '") + w[1] + "' is defined twice");
  Legend[w[1][0]] = l;
}

void TParser::BuildGrids() {
  if (Rows.empty()) Fail("the layout is empty");
  M.Height = static_cast<int>(Rows.size());
  M.Width = static_cast<int>(Rows[0].size());
  auto grid = [&] { return std::vector<std::vector<int>>(M.Height, std::vector<int>(M.Width, 0)); };
  M.Tile = grid();
  M.Turns = grid();
  M.Height_ = grid();
  M.Deco = grid();
  M.DecoTurns = grid();
  for (int r = 0; r < M.Height; ++r) {
    const std::string& row = Rows[r];
    int y = M.Height - 1 - r;
    if (static_cast<int>(row.size()) != M.Width)
      Fail("layout line for y = " + std::to_string(y) + " has " + std::to_string(row.size()) +
           " cells, the first has " + std::to_string(M.Width));
    for (int x = 0; x < M.Width; ++x) {
      auto it = Legend.find(row[x]);
      if (it == Legend.end())
        Fail(std::string("layout character '") + row[x] + "' at " + std::to_string(x) + "," +
             std::to_string(y) + " has no tile line");
      M.Tile[y][x] = it->second.Tile;
      M.Height_[y][x] = it->second.Height;
      M.Turns[y][x] = it->second.Turns;
    }
  }
}

void TParser::DecoLine(const std::vector<std::string>& w) {
  int x, y;
  Cell(w, 1, x, y);
  if (w.size() < 4 || w.size() > 5) Fail("expected: deco X Y NAME [TURNS]");
  int n = IndexOf(Decorations, w[3]);
  if (n <= 0) Fail("unknown decoration \"" + w[3] + "\"");
  int turns = w.size() == 5 ? Int(w[4], "turns") : 0;
  if (turns < 0 || turns > 3) Fail("turns must be 0 to 3");
  if (M.Deco[y][x] != 0) Fail("cell " + w[1] + "," + w[2] + " already has a decoration");
  M.Deco[y][x] = n;
  M.DecoTurns[y][x] = turns;
}

void TParser::NpcLine(const std::vector<std::string>& w) {
  int x, y;
  Cell(w, 1, x, y);
  // Creature names may have two words ("Black Angel"): the mode word ends the name.
  size_t at = 3;
  std::string name;
  while (at < w.size() && w[at] != "look" && w[at] != "roam" && w[at] != "patrol")
    name += (name.empty() ? "" : " ") + w[at++];
  if (at >= w.size()) Fail("expected: npc X Y CREATURE look|roam|patrol ...");
  int index = IndexOf(CreatureNames(), name);
  if (index < 0) Fail("unknown creature \"" + name + "\"");
  RequireFree(x, y, name);
  TMapEntity e;
  e.X = x + 0.5f;
  e.Y = y + 0.5f;
  e.Kind = 0;
  e.Index = index;
  e.Line = Line;
  const std::string& mode = w[at++];
  e.Param1 = mode == "look" ? "0" : (mode == "roam" ? "1" : "2");
  if (mode != "patrol") {
    if (at != w.size()) Fail("only a patrolling creature takes a route");
  } else {
    if (at == w.size()) Fail("a patrol needs at least one route step WAIT,X,Y");
    int px = x, py = y;
    for (; at < w.size(); ++at) {
      int wait, sx, sy;
      char tail;
      if (std::sscanf(w[at].c_str(), "%d,%d,%d%c", &wait, &sx, &sy, &tail) != 3)
        Fail("route step \"" + w[at] + "\" is not WAIT,X,Y");
      if (wait < 0 || wait > 99) Fail("a route wait must be 0 to 99 seconds");
      if (sx < 0 || sy < 0 || sx >= M.Width || sy >= M.Height || sx > 999 || sy > 999)
        Fail("route step \"" + w[at] + "\" lies outside the map");
      RequireFree(sx, sy, "route step");
      RequireWalkable(px, py, sx, sy);
      char group[16];
      std::snprintf(group, sizeof group, "%02d%03d%03d", wait, sx, sy);
      e.Param2 += group;
      px = sx;
      py = sy;
    }
    // The route loops: back from the last step to the first.
    int fx = std::stoi(e.Param2.substr(2, 3)), fy = std::stoi(e.Param2.substr(5, 3));
    RequireWalkable(px, py, fx, fy);
  }
  M.Entities.push_back(e);
}

void TParser::ItemLine(const std::vector<std::string>& w) {
  int x, y;
  Cell(w, 1, x, y);
  if (w.size() != 6) Fail("expected: item X Y health|armor|weapon|ammo INDEX AMOUNT");
  static const std::map<std::string, std::pair<int, int>> kinds = {
      {"health", {3, 3}}, {"armor", {4, 3}}, {"weapon", {5, 9}}, {"ammo", {6, 6}}};
  auto it = kinds.find(w[3]);
  if (it == kinds.end()) Fail("unknown item kind \"" + w[3] + "\"");
  int index = Int(w[4], "index");
  if (index < 0 || index >= it->second.second)
    Fail(w[3] + " index must be 0 to " + std::to_string(it->second.second - 1));
  int amount = Int(w[5], "amount");
  if (amount < 0 || amount > 65535) Fail("amount must be 0 to 65535");
  RequireFree(x, y, "item");
  TMapEntity e;
  e.X = x + 0.5f;
  e.Y = y + 0.5f;
  e.Kind = it->second.first;
  e.Index = index;
  e.Param1 = std::to_string(amount);
  e.Line = Line;
  M.Entities.push_back(e);
}

void TParser::EffectLine(const std::vector<std::string>& w) {
  int x, y;
  Cell(w, 1, x, y);
  if (w.size() != 4 || (w[3] != "spotlight" && w[3] != "steam")) Fail("expected: effect X Y spotlight|steam");
  TMapEntity e;
  e.X = x + 0.5f;
  e.Y = y + 0.5f;
  e.Kind = 1;
  e.Index = w[3] == "spotlight" ? 0 : 1;
  e.Line = Line;
  M.Entities.push_back(e);
}

void TParser::StartLine(const std::vector<std::string>& w) {
  int x, y;
  Cell(w, 1, x, y);
  if (w.size() != 3) Fail("expected: start X Y");
  RequireFree(x, y, "player start");
  TMapEntity e;
  e.X = x + 0.5f;
  e.Y = y + 0.5f;
  e.Kind = 2;
  e.Index = 0;
  e.Line = Line;
  M.Entities.push_back(e);
}

TMapSource TParser::Parse(const std::string& text) {
  std::istringstream in(text);
  std::string raw;
  bool inLayout = false, layoutDone = false;
  while (std::getline(in, raw)) {
    ++Line;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (inLayout) {
      std::string row = raw;
      size_t first = row.find_first_not_of(" \t");
      row = first == std::string::npos ? "" : row.substr(first);
      while (!row.empty() && (row.back() == ' ' || row.back() == '\t')) row.pop_back();
      if (row == "end") {
        inLayout = false;
        layoutDone = true;
        BuildGrids();
      } else if (!row.empty()) {
        Rows.push_back(row);
      }
      continue;
    }
    std::vector<std::string> w = Words(raw);
    if (w.empty() || w[0][0] == '#') continue;
    const std::string& key = w[0];
    if (key == "name" || key == "id" || key == "version") Header(w);
    else if (key == "tile") {
      if (layoutDone) Fail("tile lines must come before the layout");
      TileLine(w);
    } else if (key == "layout") {
      if (layoutDone) Fail("a second layout");
      inLayout = true;
    } else if (!layoutDone) {
      Fail("\"" + key + "\" before the layout");
    } else if (key == "deco") DecoLine(w);
    else if (key == "npc") NpcLine(w);
    else if (key == "item") ItemLine(w);
    else if (key == "effect") EffectLine(w);
    else if (key == "start") StartLine(w);
    else Fail("unknown line \"" + key + "\"");
  }
  if (inLayout) Fail("the layout has no end line");
  if (!layoutDone) Fail("no layout");
  if (M.Name.empty() || M.IdCode.empty() || M.Version.empty()) Fail("name, id and version are all needed");
  return M;
}

}  // namespace

const std::vector<std::string>& CreatureNames() {
  static const std::vector<std::string> names = {"Civilian",  "Patroller",   "Reaver",  "Black Angel",
                                                 "Fire Tank", "Pulsar Unit", "Punisher"};
  return names;
}

TMapSource ParseMapSource(const std::string& text, const std::string& fileName,
                          const std::vector<std::string>& tileNames,
                          const std::vector<std::string>& decorationNames) {
  TParser parser(fileName, tileNames, decorationNames);
  return parser.Parse(text);
}

nlohmann::json MapToJson(const TMapSource& m) {
  using nlohmann::json;
  json j;
  j["MapVersion"] = std::stod(m.Version);
  j["MapName"] = m.Name;
  j["MapIdCode"] = m.IdCode;
  j["MapSize"] = {m.Width, m.Height};
  j["EntityCount"] = m.Entities.size();
  auto cells = [&](const std::vector<std::vector<int>>& tile, const std::vector<std::vector<int>>& turns) {
    json rows = json::array();
    for (int y = 0; y < m.Height; ++y) {
      json row = json::array();
      for (int x = 0; x < m.Width; ++x) row.push_back({tile[y][x], turns[y][x]});
      rows.push_back(row);
    }
    return rows;
  };
  j["TerrainGrid"] = cells(m.Tile, m.Turns);
  j["DecorationGrid"] = cells(m.Deco, m.DecoTurns);
  json heights = json::array();
  for (int y = 0; y < m.Height; ++y) heights.push_back(m.Height_[y]);
  j["HeightMap"] = heights;
  json spawns = json::array();
  for (const TMapEntity& e : m.Entities)
    spawns.push_back({{"x", e.X},
                      {"y", e.Y},
                      {"Kind", e.Kind},
                      {"Index", e.Index},
                      {"Param1", e.Param1},
                      {"Param2", e.Param2}});
  j["EntitySpawns"] = spawns;
  return j;
}

}  // namespace orr::content
