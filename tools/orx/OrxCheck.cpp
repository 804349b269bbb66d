// SPDX-License-Identifier: GPL-3.0-or-later
#include "OrxCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "map/MapFileWriter.h"
#include "map/MapLoader.h"

namespace orr {

int TCheckReport::Errors() const {
  return static_cast<int>(std::count_if(Findings.begin(), Findings.end(), [](const TCheckFinding& f) {
    return f.Severity == TCheckSeverity::Error;
  }));
}

int TCheckReport::Warnings() const { return static_cast<int>(Findings.size()) - Errors(); }

namespace {

// What the game makes of each kind and how large each kind's table is.
constexpr int CreatureKind = 0;
constexpr int FirstItemKind = 3, LastItemKind = 6;
constexpr int KindCount = 7;
constexpr double EntityRadius = 0.4;  // every entity's collision radius
constexpr double WallMargin = 0.4;    // how near a centre may come to a blocked cell
constexpr double RouteSampleStep = 0.05;

const char* const KindNames[KindCount] = {"creature",    "effect", "marker",    "health item",
                                          "armour item", "weapon", "ammunition"};

std::string Number(float value) { return SingleToText(value); }

bool PlacedRandomly(const TPackedEntity& e) { return e.Position.X < 0 && e.Position.Y < 0; }

// The game's floor for cell lookups: trunc(v) - 1 below zero (so -1.0 gives -2).
std::int64_t CellFloor(double v) {
  const double t = std::trunc(v);
  return static_cast<std::int64_t>(v < 0 ? t - 1 : t);
}

std::int32_t ClampCell(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN + 2, INT32_MAX - 2));
}

// True when a body centred at (x, y) overlaps the margin of a blocked cell: the walls test
// of the game's motion.
bool TouchesWall(double x, double y) {
  const std::int32_t fx = ClampCell(CellFloor(x)), fy = ClampCell(CellFloor(y));
  for (std::int32_t cx = fx - 1; cx <= fx + 1; ++cx)
    for (std::int32_t cy = fy - 1; cy <= fy + 1; ++cy)
      if (IsCellBlocked(cx, cy) && cx - WallMargin < x && x < cx + 1 + WallMargin && cy - WallMargin < y &&
          y < cy + 1 + WallMargin)
        return true;
  return false;
}

// True when a straight walk between the two points runs into a wall's margin.
bool WalkHitsWall(double x0, double y0, double x1, double y1) {
  const double length = std::hypot(x1 - x0, y1 - y0);
  const int samples = static_cast<int>(std::ceil(length / RouteSampleStep));
  for (int i = 0; i <= samples; ++i) {
    const double t = samples == 0 ? 0 : static_cast<double>(i) / samples;
    if (TouchesWall(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t)) return true;
  }
  return false;
}

// How the findings being written name places (CheckGameMap sets it for its run).
const TCheckNames* Names = nullptr;

std::string CellText(std::int64_t x, std::int64_t y) {
  std::string text = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
  if (Names != nullptr && Names->TiledRows)
    text += " (Tiled column " + std::to_string(x) + ", row " +
            std::to_string(static_cast<std::int64_t>(GameMap.HeightMap.Height()) - 1 - y) + ")";
  return text;
}

class TChecker {
 public:
  TCheckReport Run() {
    CheckHeights();
    for (std::size_t i = 0; i < GameMap.EntitySpawns.size(); ++i) CheckEntity(i, GameMap.EntitySpawns[i]);
    CheckRoomForPlayer();
    return std::move(report_);
  }

 private:
  void Add(TCheckSeverity severity, const std::string& text) { report_.Findings.push_back({severity, text}); }
  void Warn(const std::string& text) { Add(TCheckSeverity::Warning, text); }
  void Error(const std::string& text) { Add(TCheckSeverity::Error, text); }

  static std::string Subject(std::size_t i, const TPackedEntity& e) {
    std::string name = EntityName(e);
    if (name.empty()) name = "kind " + std::to_string(e.Kind) + " index " + std::to_string(e.Index);
    const std::string where =
        PlacedRandomly(e) ? "at a random cell" : "at " + Number(e.Position.X) + ", " + Number(e.Position.Y);
    if (Names != nullptr && i < Names->Entities.size()) {
      const std::string cell = PlacedRandomly(e)
                                   ? "at a random cell"
                                   : "in cell " + CellText(CellFloor(e.Position.X), CellFloor(e.Position.Y));
      return Names->Entities[i] + ", " + name + " " + cell;
    }
    return "entity " + std::to_string(i) + " (" + name + " " + where + ")";
  }

  void CheckHeights() {
    const THeightMap& heights = GameMap.HeightMap;
    std::int64_t count = 0, firstX = 0, firstY = 0;
    int firstValue = 0;
    for (std::int32_t y = 0; y < heights.Height(); ++y)
      for (std::int32_t x = 0; x < heights.Width(); ++x) {
        const int h = heights[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
        if (h > 4 && count++ == 0) firstX = x, firstY = y, firstValue = h;
      }
    if (count > 0)
      Warn("HeightMap: " + std::to_string(count) +
           " cell(s) higher than 4, the highest wall the game knows (first " + CellText(firstX, firstY) +
           " with " + std::to_string(firstValue) + ")");
  }

  // A record placed where it says must stand on an open cell.
  void CheckPlacement(const std::string& subject, const TPackedEntity& e, bool moves) {
    if (PlacedRandomly(e)) return;
    const std::int64_t cx = CellFloor(e.Position.X), cy = CellFloor(e.Position.Y);
    const TMapRect bounds = MapRect();
    if (cx < bounds.Left || cx > bounds.Right || cy < bounds.Top || cy > bounds.Bottom) {
      Warn(subject + ": placed off the map, in cell " + CellText(cx, cy) +
           (e.Position.X < 0 || e.Position.Y < 0 ? " (only both coordinates negative ask for a random cell)"
                                                 : ""));
    } else if (IsCellBlocked(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy))) {
      Warn(subject + ": placed on the blocked cell " + CellText(cx, cy) +
           (moves ? ": it cannot move" : ": it cannot be reached"));
    } else if (moves && TouchesWall(e.Position.X, e.Position.Y)) {
      Warn(subject + ": stands within " + Number(static_cast<float>(WallMargin)) +
           " of a wall: it cannot move (place it at a cell centre)");
    }
  }

  void CheckEntity(std::size_t i, const TPackedEntity& e) {
    const std::string subject = Subject(i, e);
    if (e.Kind == CreatureKind) {
      CheckCreature(subject, e);
    } else if (e.Kind >= FirstItemKind && e.Kind <= LastItemKind) {
      CheckItem(subject, e);
    } else if (e.Kind >= KindCount) {
      Warn(subject + ": kind " + std::to_string(e.Kind) + " makes nothing in the game (kinds are 0..6)");
    }
  }

  void CheckCreature(const std::string& subject, const TPackedEntity& e) {
    const std::size_t creatureTypes = EntityNameTables[CreatureKind].size();
    if (e.Index >= creatureTypes)
      Error(subject + ": creature index " + std::to_string(e.Index) + " is outside 0.." +
            std::to_string(creatureTypes - 1) + ": the game has no speed, weapon or sprites for it");
    CheckPlacement(subject, e, true);

    int mode = -1;
    try {
      const std::int32_t value = StrToInt(e.Param1);
      mode = value & 0xFF;  // the game keeps the mode in a byte
      if (value != mode)
        Warn(subject + ": mode " + std::to_string(value) + " is kept in a byte as " + std::to_string(mode));
      if (mode > 2)
        Warn(
            subject + ": mode " + std::to_string(mode) +
            " is none of 0 look around, 1 roam, 2 patrol: the creature stands idle until it sees the player");
    } catch (const EConvertError& error) {
      Error(subject + ": Param1 (mode): " + error.what() + ": set-up stops with a conversion error");
    }

    TRoute route;
    try {
      ParseRoute(route, e.Param2);
    } catch (const EConvertError& error) {
      const std::size_t group = route.Steps.size();
      Error(subject + ": Param2 (route): step " + std::to_string(group - 1) + " \"" +
            e.Param2.substr((group - 1) * 8, 8) + "\": " + error.what() +
            ": set-up stops with a conversion error");
      return;
    }
    if (mode != 2) return;
    if (route.Steps.empty()) {
      Warn(subject + ": patrols without a route (Param2 \"" + e.Param2 +
           "\" holds no step of 8 characters): it roams instead");
      return;
    }
    if (e.Param2.size() % 8 != 0)
      Warn(subject + ": route has " + std::to_string(e.Param2.size() % 8) +
           " character(s) after its last step, which are ignored");
    CheckRoute(subject, e, route);
  }

  void CheckRoute(const std::string& subject, const TPackedEntity& e, const TRoute& route) {
    const std::size_t count = route.Steps.size();
    std::vector<bool> open(count);
    for (std::size_t k = 0; k < count; ++k) {
      const RouteStep& s = route.Steps[k];
      const TMapRect bounds = MapRect();
      const bool inside = s.CellX >= bounds.Left && s.CellX <= bounds.Right && s.CellY >= bounds.Top &&
                          s.CellY <= bounds.Bottom;
      open[k] = !IsCellBlocked(s.CellX, s.CellY);
      if (!open[k])
        Warn(subject + ": route step " + std::to_string(k) + " goes to " +
             (inside ? "the blocked cell " : "the cell off the map ") + CellText(s.CellX, s.CellY) +
             ": the creature stops at the wall and takes it as reached");
    }
    auto centre = [](std::int32_t c) { return c + 0.5; };
    // A creature placed on a wall, off the map or against a wall was reported already.
    const bool placedOpen =
        !PlacedRandomly(e) &&
        !IsCellBlocked(ClampCell(CellFloor(e.Position.X)), ClampCell(CellFloor(e.Position.Y))) &&
        !TouchesWall(e.Position.X, e.Position.Y);
    if (placedOpen && open[0] &&
        WalkHitsWall(e.Position.X, e.Position.Y, centre(route.Steps[0].CellX), centre(route.Steps[0].CellY)))
      Warn(subject + ": the straight walk from its place to route step 0 " +
           CellText(route.Steps[0].CellX, route.Steps[0].CellY) + " runs into a wall");
    if (count < 2) return;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t next = (k + 1) % count;
      const RouteStep &a = route.Steps[k], &b = route.Steps[next];
      if (!open[k] || !open[next]) continue;
      if (WalkHitsWall(centre(a.CellX), centre(a.CellY), centre(b.CellX), centre(b.CellY)))
        Warn(subject + ": the straight walk from route step " + std::to_string(k) + " " +
             CellText(a.CellX, a.CellY) + " to step " + std::to_string(next) + " " +
             CellText(b.CellX, b.CellY) + " runs into a wall");
    }
  }

  void CheckItem(const std::string& subject, const TPackedEntity& e) {
    const auto& table = EntityNameTables[e.Kind];
    if (e.Index >= table.size())
      Warn(subject + ": " + KindNames[e.Kind] + " index " + std::to_string(e.Index) + " is outside 0.." +
           std::to_string(table.size() - 1) +
           ": the item has no name and no sprite, and picking it up does nothing sensible");
    CheckPlacement(subject, e, false);
    try {
      const std::int32_t amount = StrToInt(e.Param1);
      if (amount < 0 || amount > 65535)
        Warn(subject + ": amount " + std::to_string(amount) + " is kept in 16 bits as " +
             std::to_string(static_cast<std::uint16_t>(amount)));
      else if (amount == 0)
        Warn(subject + ": amount 0: the item vanishes at the first touch and gives nothing");
    } catch (const EConvertError& error) {
      Error(subject + ": Param1 (amount): " + error.what() + ": set-up stops with a conversion error");
    }
  }

  // The player is always placed on a random cell that is open and whose corner is not
  // within two radii of a creature; randomly placed creatures and items need one too.
  void CheckRoomForPlayer() {
    const std::int32_t width = std::max(GameMap.MapSize.X, 0), height = std::max(GameMap.MapSize.Y, 0);
    std::int64_t free = 0;
    if (static_cast<std::int64_t>(width) * height > 0 && GameMap.HeightMap.Contains(width - 1, height - 1)) {
      std::vector<bool> occupied(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      const double reach = 2 * EntityRadius;
      for (const TPackedEntity& e : GameMap.EntitySpawns) {
        if (e.Kind != CreatureKind || PlacedRandomly(e)) continue;
        const double px = e.Position.X, py = e.Position.Y;
        const std::int64_t x0 = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(px - reach)));
        const std::int64_t x1 =
            std::min<std::int64_t>(width - 1, static_cast<std::int64_t>(std::floor(px + reach)));
        const std::int64_t y0 = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(py - reach)));
        const std::int64_t y1 =
            std::min<std::int64_t>(height - 1, static_cast<std::int64_t>(std::floor(py + reach)));
        for (std::int64_t x = x0; x <= x1; ++x)
          for (std::int64_t y = y0; y <= y1; ++y)
            if (std::hypot(x - px, y - py) < reach) occupied[static_cast<std::size_t>(x * height + y)] = true;
      }
      for (std::int32_t x = 0; x < width; ++x)
        for (std::int32_t y = 0; y < height; ++y)
          if (!IsCellBlocked(x, y) && !occupied[static_cast<std::size_t>(x) * height + y]) ++free;
    }
    if (free == 0) {
      std::size_t randomOnes =
          std::count_if(GameMap.EntitySpawns.begin(), GameMap.EntitySpawns.end(), [](const TPackedEntity& e) {
            return PlacedRandomly(e) &&
                   (e.Kind == CreatureKind || (e.Kind >= FirstItemKind && e.Kind <= LastItemKind));
          });
      Error("map: no free cell for the player" +
            (randomOnes > 0 ? " nor for the " + std::to_string(randomOnes) + " randomly placed entities"
                            : std::string()) +
            ": placing them never ends (every cell is a wall, off the map or next to a creature)");
    }
  }

  TCheckReport report_;
};

}  // namespace

TCheckReport CheckGameMap(const TCheckNames* names) {
  Names = names;
  TCheckReport report = TChecker().Run();
  Names = nullptr;
  return report;
}

std::string DescribeGameMap() {
  const TOrrindelMap& map = GameMap;
  std::ostringstream out;
  std::int64_t open = 0;
  for (std::int32_t y = 0; y < map.MapSize.Y; ++y)
    for (std::int32_t x = 0; x < map.MapSize.X; ++x)
      if (!IsCellBlocked(x, y)) ++open;
  out << "Name:     " << map.MapName << "\n"
      << "Id code:  " << map.MapIdCode << "\n"
      << "Version:  " << SingleToText(map.MapVersion) << "\n"
      << "Size:     " << map.MapSize.X << " x " << map.MapSize.Y << " ("
      << static_cast<std::int64_t>(map.MapSize.X) * map.MapSize.Y << " cells, " << open << " open)\n"
      << "Entities: " << map.EntitySpawns.size() << "\n";
  std::map<int, std::map<int, int>> counts;
  for (const TPackedEntity& e : map.EntitySpawns) ++counts[e.Kind][e.Index];
  for (const auto& [kind, byIndex] : counts) {
    int total = 0;
    for (const auto& entry : byIndex) total += entry.second;
    out << "  kind " << kind << " " << (kind < KindCount ? KindNames[kind] : "(makes nothing)") << ": "
        << total << "\n";
    for (const auto& [index, count] : byIndex) {
      TPackedEntity probe;
      probe.Kind = static_cast<std::uint16_t>(kind);
      probe.Index = static_cast<std::uint16_t>(index);
      const std::string name = EntityName(probe);
      out << "    " << index << " " << (name.empty() ? "(no name)" : name) << ": " << count << "\n";
    }
  }
  return out.str();
}

std::string RefusalOfMapFile(const std::string& path, const std::string& shownName,
                             std::vector<std::string>& warnings) {
  std::string failure;
  TMapLoadResult result = TMapLoadResult::Unreadable;
  try {
    result = LoadMap(path, &failure);
  } catch (const EInOutError& e) {
    failure = e.what();
  }
  if (result == TMapLoadResult::Missing) return shownName + ": no such file";
  if (result == TMapLoadResult::Unreadable) return shownName + ": unreadable: " + failure;
  const TCheckReport report = CheckGameMap();
  std::string errors;
  for (const auto& finding : report.Findings) {
    const bool error = finding.Severity == TCheckSeverity::Error;
    std::string line = shownName + (error ? ": error: " : ": warning: ") + finding.Text;
    if (error) {
      errors += line + "\n";
    } else {
      warnings.push_back(std::move(line));
    }
  }
  if (report.Errors() == 0) return {};
  return errors + shownName + ": " + std::to_string(report.Errors()) + " error(s), " +
         std::to_string(report.Warnings()) + " warning(s)";
}

}  // namespace orr
