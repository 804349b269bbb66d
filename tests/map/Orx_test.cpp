// SPDX-License-Identifier: GPL-3.0-or-later
// The map tool: its JSON form, its checks, and the command line with its exit codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "OrxCheck.h"
#include "OrxGenerate.h"
#include "OrxJson.h"
#include "core/UMainModule.h"
#include "map/MapFileWriter.h"

namespace orr {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ::testing::HasSubstr;

// A walled 6 x 5 yard: the border is wall, the rest open floor except one pillar at (3, 2).
//   y=4  1 1 1 1 1 1
//   y=3  1 0 0 0 0 1
//   y=2  1 0 0 2 0 1
//   y=1  1 0 0 0 0 1
//   y=0  1 1 1 1 1 1
json YardSource() {
  json heights = json::array();
  for (int y = 0; y < 5; ++y) {
    json row = json::array();
    for (int x = 0; x < 6; ++x)
      row.push_back(x == 0 || y == 0 || x == 5 || y == 4 ? 1 : (x == 3 && y == 2 ? 2 : 0));
    heights.push_back(row);
  }
  json cells = json::array();
  for (int y = 0; y < 5; ++y) {
    json row = json::array();
    for (int x = 0; x < 6; ++x) row.push_back({x + 10 * y, (x + y) % 4});
    cells.push_back(row);
  }
  return {
      {"MapVersion", 1.1},
      {"MapName", "Yard"},
      {"MapIdCode", "YARD"},
      {"MapSize", {6, 5}},
      {"EntityCount", 3},
      {"TerrainGrid", cells},
      {"DecorationGrid", cells},
      {"HeightMap", heights},
      {"EntitySpawns",
       {{{"x", 1.5}, {"y", 1.5}, {"Kind", 0}, {"Index", 1}, {"Param1", "2"}, {"Param2", "0100100302004003"}},
        {{"x", 4.5}, {"y", 3.5}, {"Kind", 3}, {"Index", 1}, {"Param1", "25"}, {"Param2", ""}},
        {{"x", -1}, {"y", -1}, {"Kind", 2}, {"Index", 0}, {"Param1", ""}, {"Param2", ""}}}}};
}

class OrxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("orr_orx_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    fs::remove_all(folder_);
    ResetGameMap();
    ResetEventLog();
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  // Writes the source's map file and loads it into GameMap.
  void LoadSource(const json& source) {
    TMapSource map = MapFromJson(source);
    TMapWriteOptions options;
    options.EntityCount = map.EntityCount;
    WriteMapFile(Path("map.orx"), map.Map, options);
    ASSERT_EQ(LoadMap(Path("map.orx")), TMapLoadResult::Loaded);
  }
  std::vector<std::string> Findings(const json& source) {
    LoadSource(source);
    return Findings();
  }
  // The findings on the loaded GameMap.
  std::vector<std::string> Findings() {
    std::vector<std::string> lines;
    for (const auto& f : CheckGameMap().Findings)
      lines.push_back((f.Severity == TCheckSeverity::Error ? "error: " : "warning: ") + f.Text);
    return lines;
  }
  // Runs the orx binary; returns its exit code and fills stdout and stderr.
  int Run(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr) {
    const std::string command =
        std::string(ORX_BINARY) + " " + arguments + " >" + Path("out") + " 2>" + Path("err");
    const int status = std::system(command.c_str());
    auto slurp = [](const std::string& p) {
      std::ifstream in(p, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    if (out) *out = slurp(Path("out"));
    if (err) *err = slurp(Path("err"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path folder_;
};

TEST_F(OrxTest, JsonRoundTripsThroughTheMapFile) {
  const json source = YardSource();
  LoadSource(source);
  const json decoded = json::parse(MapToJson(GameMap).dump());
  EXPECT_EQ(decoded, source);
  EXPECT_EQ(decoded["MapVersion"].dump(), "1.1") << "32-bit numbers print in their shortest form";
}

TEST_F(OrxTest, EncodeRefusesWhatItCannotStoreNamingTheField) {
  struct TCase {
    const char* Expected;
    std::function<void(json&)> Change;
  };
  const std::vector<TCase> cases = {
      {"MapName: a blank at character 4", [](json& s) { s["MapName"] = "Old Yard"; }},
      {"EntitySpawns[1].Param1: byte 0xC3", [](json& s) { s["EntitySpawns"][1]["Param1"] = "\xC3\xA9"; }},
      {"EntitySpawns[0].kind: unknown key", [](json& s) { s["EntitySpawns"][0]["kind"] = 0; }},
      {"Author: unknown key", [](json& s) { s["Author"] = "me"; }},
      {"HeightMap[2]: 5 entries where MapSize asks for 6", [](json& s) { s["HeightMap"][2].erase(0); }},
      {"TerrainGrid[1][2] QuarterTurns: 10 is outside 0..9", [](json& s) { s["TerrainGrid"][1][2][1] = 10; }},
      {"EntitySpawns[0].Kind: 65536 is outside", [](json& s) { s["EntitySpawns"][0]["Kind"] = 65536; }},
      {"EntitySpawns[0].Index: an integer is needed", [](json& s) { s["EntitySpawns"][0]["Index"] = 1.5; }},
      {"EntitySpawns[2].Index: 65536 is outside", [](json& s) { s["EntitySpawns"][2]["Index"] = 65536; }},
      {"EntitySpawns[0].x: a number is needed", [](json& s) { s["EntitySpawns"][0]["x"] = "1.5"; }},
      {"EntitySpawns[0].y: 1e+39 does not fit", [](json& s) { s["EntitySpawns"][0]["y"] = 1e39; }},
      {"MapSize W: -1 is outside", [](json& s) { s["MapSize"][0] = -1; }},
      {"MapVersion: missing", [](json& s) { s.erase("MapVersion"); }},
      {"EntityCount: 4 does not match the 3 records", [](json& s) { s["EntityCount"] = 4; }},
  };
  for (const TCase& c : cases) {
    json source = YardSource();
    c.Change(source);
    try {
      TMapSource map = MapFromJson(source);
      TMapWriteOptions options;
      options.EntityCount = map.EntityCount;
      EncodeMapFile(map.Map, options);
      ADD_FAILURE() << "accepted: " << c.Expected;
    } catch (const EMapEncodeError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.Expected));
    }
  }
  // A count that the loader keeps modulo 65536 is written as given.
  json source = YardSource();
  source["EntityCount"] = 65539;
  LoadSource(source);
  EXPECT_EQ(GameMap.EntitySpawns.size(), 3u);
  EXPECT_THAT(EventLog, ::testing::Contains(HasSubstr("**Entity count: 3")));
}

TEST_F(OrxTest, ACleanMapHasNoFindings) { EXPECT_THAT(Findings(YardSource()), ::testing::IsEmpty()); }

// One damaged record at a time, with the line check must print for it.
TEST_F(OrxTest, CheckReportsWhatWouldMisbehave) {
  auto entity = [](double x, double y, int kind, int index, const char* p1, const char* p2) {
    return json{{"x", x}, {"y", y}, {"Kind", kind}, {"Index", index}, {"Param1", p1}, {"Param2", p2}};
  };
  struct TCase {
    json Record;
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {entity(1.5, 1.5, 0, 7, "0", ""),
       "error: entity 3 (kind 0 index 7 at 1.5, 1.5): creature index 7 is outside 0..6"},
      {entity(1.5, 1.5, 0, 1, "x", ""),
       "error: entity 3 (Patroller at 1.5, 1.5): Param1 (mode): 'x' is not a valid integer value"},
      {entity(1.5, 1.5, 0, 1, "0", "01001001zz"), ""},  // leftover characters of a non-patroller are harmless
      {entity(1.5, 1.5, 0, 1, "0", "0100100101a01001"),
       "error: entity 3 (Patroller at 1.5, 1.5): Param2 (route): step 1 \"01a01001\": 'a01' is not a valid "
       "integer value"},
      {entity(1.5, 1.5, 0, 1, "3", ""),
       "warning: entity 3 (Patroller at 1.5, 1.5): mode 3 is none of 0 look around"},
      {entity(1.5, 1.5, 0, 1, "257", ""),
       "warning: entity 3 (Patroller at 1.5, 1.5): mode 257 is kept in a byte as 1"},
      {entity(1.5, 1.5, 0, 1, "2", ""), "warning: entity 3 (Patroller at 1.5, 1.5): patrols without a route"},
      {entity(1.5, 1.5, 0, 1, "2", "0100100100"),
       "warning: entity 3 (Patroller at 1.5, 1.5): route has 2 character(s)"},
      {entity(1.5, 1.5, 0, 1, "2", "0100600101001001"),
       "warning: entity 3 (Patroller at 1.5, 1.5): route step 0 goes to the cell off the map (6, 1)"},
      {entity(1.5, 1.5, 0, 1, "2", "0100300201001001"),
       "warning: entity 3 (Patroller at 1.5, 1.5): route step 0 goes to the blocked cell (3, 2)"},
      {entity(1.5, 2.5, 0, 1, "2", "01004002"),
       "warning: entity 3 (Patroller at 1.5, 2.5): the straight walk from its place to route step 0 (4, 2) "
       "runs into a wall"},
      {entity(4.5, 1.5, 0, 1, "2", "010040010100200301001001"),
       "warning: entity 3 (Patroller at 4.5, 1.5): the straight walk from route step 0 (4, 1) to step 1 (2, "
       "3) runs into a wall"},
      {entity(4.5, 3.5, 0, 1, "2", "010040030100400101002001"),  // only the closing leg, back to step 0
       "warning: entity 3 (Patroller at 4.5, 3.5): the straight walk from route step 2 (2, 1) to step 0 (4, "
       "3) runs into a wall"},
      {entity(3.5, 2.5, 0, 0, "0", ""),
       "warning: entity 3 (Civilian at 3.5, 2.5): placed on the blocked cell (3, 2): it cannot move"},
      {entity(1.1, 1.5, 0, 0, "0", ""),
       "warning: entity 3 (Civilian at 1.1, 1.5): stands within 0.4 of a wall"},
      {entity(-1, 2.5, 0, 0, "0", ""),
       "warning: entity 3 (Civilian at -1, 2.5): placed off the map, in cell (-2, 2) (only both"},
      {entity(2.5, 2.5, 3, 3, "10", ""),
       "warning: entity 3 (kind 3 index 3 at 2.5, 2.5): health item index 3 is outside 0..2"},
      {entity(2.5, 2.5, 6, 6, "10", ""),
       "warning: entity 3 (kind 6 index 6 at 2.5, 2.5): ammunition index 6 is outside 0..5"},
      {entity(2.5, 2.5, 5, 2, "1.5", ""),
       "error: entity 3 (Shotgun at 2.5, 2.5): Param1 (amount): '1.5' is not a valid integer value"},
      {entity(2.5, 2.5, 4, 0, "70000", ""),
       "warning: entity 3 (Armor Pad at 2.5, 2.5): amount 70000 is kept in 16 bits as 4464"},
      {entity(2.5, 2.5, 4, 0, "0", ""), "warning: entity 3 (Armor Pad at 2.5, 2.5): amount 0"},
      {entity(0.5, 0.5, 6, 0, "50", ""),
       "warning: entity 3 (Small Bullets at 0.5, 0.5): placed on the blocked cell (0, 0): it cannot be "
       "reached"},
      {entity(2.5, 2.5, 9, 0, "", ""),
       "warning: entity 3 (kind 9 index 0 at 2.5, 2.5): kind 9 makes nothing in the game"},
      {entity(-1, -1, 1, 5, "", ""), ""},  // effects and markers make nothing: nothing to misbehave
  };
  for (const TCase& c : cases) {
    json source = YardSource();
    source["EntitySpawns"].push_back(c.Record);
    source.erase("EntityCount");
    const auto lines = Findings(source);
    if (c.Expected.empty()) {
      EXPECT_THAT(lines, ::testing::IsEmpty()) << c.Record.dump();
    } else {
      ASSERT_EQ(lines.size(), 1u) << c.Record.dump() << "\n" << ::testing::PrintToString(lines);
      EXPECT_THAT(lines[0], ::testing::StartsWith(c.Expected));
    }
  }
}

// What the page says about a map it is given: the loader's message, the check's errors
// (the game does not start), or nothing with the warnings apart (the map plays).
TEST_F(OrxTest, AMapFileIsRefusedWithTheLoadersMessageOrTheChecksErrors) {
  std::vector<std::string> warnings;
  EXPECT_EQ(RefusalOfMapFile(Path("none.orx"), "maps/none.orx", warnings), "maps/none.orx: no such file");
  { std::ofstream(Path("broken.orx"), std::ios::binary) << "not a map at all"; }
  EXPECT_THAT(RefusalOfMapFile(Path("broken.orx"), "broken.orx", warnings),
              ::testing::StartsWith("broken.orx: unreadable: "));
  EXPECT_THAT(warnings, ::testing::IsEmpty());

  json bad = YardSource();
  bad["EntitySpawns"].push_back(
      {{"x", 1.5}, {"y", 1.5}, {"Kind", 0}, {"Index", 7}, {"Param1", "0"}, {"Param2", ""}});
  bad["EntitySpawns"].push_back(
      {{"x", 2.5}, {"y", 2.5}, {"Kind", 4}, {"Index", 0}, {"Param1", "0"}, {"Param2", ""}});
  bad.erase("EntityCount");
  LoadSource(bad);
  EXPECT_EQ(RefusalOfMapFile(Path("map.orx"), "m.orx", warnings),
            "m.orx: error: entity 3 (kind 0 index 7 at 1.5, 1.5): creature index 7 is outside 0..6: the game "
            "has no speed, "
            "weapon or sprites for it\n"
            "m.orx: 1 error(s), 1 warning(s)");
  EXPECT_THAT(warnings, ::testing::ElementsAre(::testing::StartsWith(
                            "m.orx: warning: entity 4 (Armor Pad at 2.5, 2.5): amount 0")));

  warnings.clear();
  json fine = YardSource();
  fine["EntitySpawns"].push_back(
      {{"x", 2.5}, {"y", 2.5}, {"Kind", 4}, {"Index", 0}, {"Param1", "0"}, {"Param2", ""}});
  fine.erase("EntityCount");
  LoadSource(fine);
  EXPECT_EQ(RefusalOfMapFile(Path("map.orx"), "m.orx", warnings), "");
  EXPECT_EQ(warnings.size(), 1u);
}

TEST_F(OrxTest, CheckNamesAnImportedMapsObjectsAndTiledRows) {
  json source = YardSource();
  source["EntitySpawns"].push_back(
      {{"x", 0.5}, {"y", 1.5}, {"Kind", 0}, {"Index", 0}, {"Param1", "0"}, {"Param2", ""}});
  source.erase("EntityCount");
  LoadSource(source);
  TCheckNames names;
  names.Entities = {"object 1 \"a\" (layer entities)", "object 2 \"b\" (layer entities)",
                    "object 3 \"c\" (layer entities)", "object 12 \"guard\" (layer entities)"};
  names.TiledRows = true;
  const TCheckReport report = CheckGameMap(&names);
  ASSERT_EQ(report.Findings.size(), 1u);
  // The yard is 5 rows high: the map's y = 1 is Tiled's row 3.
  EXPECT_EQ(
      report.Findings[0].Text,
      "object 12 \"guard\" (layer entities), Civilian in cell (0, 1) (Tiled column 0, row 3): placed on the "
      "blocked cell (0, 1) (Tiled column 0, row 3): it cannot move");
  EXPECT_THAT(Findings(), ::testing::ElementsAre(HasSubstr("entity 3 (Civilian at 0.5, 1.5)")))
      << "without names, the map's own";
}

TEST_F(OrxTest, CheckFindsNoRoomForThePlayer) {
  json source = YardSource();
  for (auto& row : source["HeightMap"])
    for (auto& h : row) h = 1;
  source["HeightMap"][2][2] = 0;  // one open cell at (2, 2) ...
  source["EntitySpawns"] = {
      {{"x", 2.5}, {"y", 2.5}, {"Kind", 0}, {"Index", 0}, {"Param1", "0"}, {"Param2", ""}},
      {{"x", -1}, {"y", -1}, {"Kind", 3}, {"Index", 0}, {"Param1", "5"}, {"Param2", ""}}};
  source.erase("EntityCount");
  // ... whose corner lies within two radii of the creature standing in it.
  const auto lines = Findings(source);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(),
            "error: map: no free cell for the player nor for the 1 randomly placed entities: placing them "
            "never ends "
            "(every cell is a wall, off the map or next to a creature)");
  source["EntitySpawns"].erase(0);
  EXPECT_THAT(Findings(source), ::testing::IsEmpty());
}

// Sizes and positions at the limits must not make check or info run for ever.
TEST_F(OrxTest, ExtremeMapsAreJudgedQuickly) {
  json source = YardSource();
  source["MapSize"] = {2147483647, 0};
  for (const char* grid : {"TerrainGrid", "DecorationGrid", "HeightMap"}) source[grid] = json::array();
  source["EntitySpawns"] = {
      {{"x", 3e38}, {"y", 1.5}, {"Kind", 0}, {"Index", 1}, {"Param1", "2"}, {"Param2", "0100100101001001"}}};
  source.erase("EntityCount");
  const auto lines = Findings(source);
  EXPECT_THAT(lines.back(), HasSubstr("no free cell for the player"));
  EXPECT_THAT(DescribeGameMap(), HasSubstr("Size:     2147483647 x 0 (0 cells, 0 open)"));
}

// Generated maps must be clean for check at every size (the smallest has one room and no
// corridor, the 1000-wide one rooms a route cannot name), hold every height, creature kind
// in every mode and item index, and depend on nothing but the options.
TEST_F(OrxTest, GeneratedMapsAreCleanCompleteAndRepeatable) {
  struct TCase {
    std::int32_t W, H, Npcs, Items;
    std::uint32_t Seed;
  };
  for (const TCase c : {TCase{5, 5, 2, 2, 1}, TCase{31, 14, 21, 36, 2}, TCase{64, 48, 42, 50, 3},
                        TCase{1010, 40, 63, 30, 4}}) {
    SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H));
    const TOrrindelMap map = GenerateMap({c.W, c.H, c.Npcs, c.Items, c.Seed});
    WriteMapFile(Path("gen.orx"), map);
    ASSERT_EQ(LoadMap(Path("gen.orx")), TMapLoadResult::Loaded);
    EXPECT_THAT(Findings(), ::testing::IsEmpty());
    ASSERT_EQ(GameMap.EntitySpawns.size(), static_cast<std::size_t>(c.Npcs + c.Items));
    std::set<std::pair<int, int>> kindModes, itemKinds;
    for (const TPackedEntity& e : GameMap.EntitySpawns)
      (e.Kind == 0 ? kindModes : itemKinds)
          .insert({e.Kind == 0 ? e.Index : e.Kind, e.Kind == 0 ? std::stoi(e.Param1) : e.Index});
    if (c.Npcs >= 21) {
      EXPECT_EQ(kindModes.size(), 21u) << "7 kinds x 3 modes";
    }
    if (c.Items >= 36) {
      EXPECT_EQ(itemKinds.size(), 21u) << "3 + 3 + 9 + 6 item indices";
    }
    std::set<int> heights;
    for (std::int32_t x = 0; x < c.W; ++x)
      for (std::int32_t y = 0; y < c.H; ++y) heights.insert(GameMap.HeightMap[x][y]);
    EXPECT_EQ(heights, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(EncodeMapFile(GenerateMap({c.W, c.H, c.Npcs, c.Items, c.Seed})), EncodeMapFile(map));
  }
  EXPECT_NE(EncodeMapFile(GenerateMap({40, 40, 5, 5, 1})), EncodeMapFile(GenerateMap({40, 40, 5, 5, 2})));
  EXPECT_THROW(GenerateMap({5, 5, 5, 5, 1}), EGenerateError) << "9 room cells for 10 records";
  EXPECT_THROW(GenerateMap({4, 40, 0, 0, 1}), EGenerateError);

  std::string err;
  EXPECT_EQ(Run("generate " + Path("g.orx") + " --size 20x16 --npcs 3 --items 4 --seed 9"), 0);
  EXPECT_EQ(Run("check " + Path("g.orx")), 0);
  EXPECT_EQ(Run("generate " + Path("g.orx") + " --size 20by16 --npcs 3 --items 4", nullptr, &err), 2);
  EXPECT_THAT(err, HasSubstr("--size needs WxH"));
  EXPECT_EQ(Run("generate " + Path("g.orx") + " --size 6x6 --npcs 30 --items 4", nullptr, &err), 1);
  EXPECT_THAT(err, HasSubstr("make the map larger"));
}

// The mode for the sameness checks must reach what the plain maps never hold: turned raised
// cells, every pair of neighbouring heights, decorations on raised cells, maps one cell
// narrow, every kind and index and some unknown, odd modes and routes, bodies on the edges
// of the grids' cells.
TEST_F(OrxTest, EveryFeatureMapsHoldTheWholeMapLanguage) {
  struct TCase {
    std::int32_t W, H;
    bool Whole;  // big enough to hold every feature
  };
  for (const TCase c : {TCase{64, 48, true}, TCase{1, 9, false}, TCase{7, 1, false}, TCase{2, 2, false}}) {
    SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H));
    TGenerateOptions options{c.W, c.H, c.Whole ? 21 : 1, c.Whole ? 36 : 0, 5};
    options.EveryFeature = true;
    const TOrrindelMap map = GenerateMap(options);
    WriteMapFile(Path("every.orx"), map);
    ASSERT_EQ(LoadMap(Path("every.orx")), TMapLoadResult::Loaded);
    EXPECT_EQ(EncodeMapFile(GenerateMap(options)), EncodeMapFile(map));
    if (!c.Whole) continue;
    std::set<std::pair<int, int>> raisedTurns, floorTurns, raisedDecorations, heightPairs, kindIndex;
    for (std::int32_t x = 0; x < c.W; ++x)
      for (std::int32_t y = 0; y < c.H; ++y) {
        const int h = GameMap.HeightMap[x][y];
        (h > 0 ? raisedTurns : floorTurns).insert({h, GameMap.TerrainGrid[x][y].QuarterTurns});
        if (h > 0 && GameMap.DecorationGrid[x][y].TileNumber > 0)
          raisedDecorations.insert({0, GameMap.DecorationGrid[x][y].QuarterTurns});
        if (x + 1 < c.W) heightPairs.insert(std::minmax(h, static_cast<int>(GameMap.HeightMap[x + 1][y])));
        if (y + 1 < c.H) heightPairs.insert(std::minmax(h, static_cast<int>(GameMap.HeightMap[x][y + 1])));
      }
    EXPECT_EQ(raisedTurns.size(), 16u) << "heights 1..4 in four turns";
    EXPECT_EQ(floorTurns.size(), 4u);
    EXPECT_EQ(raisedDecorations.size(), 4u);
    EXPECT_EQ(heightPairs.size(), 15u) << "every pair of heights 0..4";
    std::set<std::string> modes, routes;
    int onEdges = 0;
    for (const TPackedEntity& e : GameMap.EntitySpawns) {
      kindIndex.insert({e.Kind, e.Index});
      if (e.Kind == 0) modes.insert(e.Param1);
      if (e.Kind == 0 && e.Param1 == "2")
        routes.insert(e.Param2.size() % 8 ? "cut" : std::to_string(e.Param2.size() / 8));
      const float fx = e.Position.X - std::round(e.Position.X), fy = e.Position.Y - std::round(e.Position.Y);
      onEdges += std::abs(fx) < 0.02f || std::abs(fy) < 0.02f;
    }
    for (const auto& [kind, size] : {std::pair{0, 7}, {1, 2}, {2, 1}, {3, 3}, {4, 3}, {5, 9}, {6, 6}})
      for (int index = 0; index <= size; ++index)
        EXPECT_EQ(kindIndex.count({kind, index}), 1u) << kind << "/" << index;
    EXPECT_EQ(kindIndex.count({65535, 0}), 1u);
    EXPECT_EQ(modes, (std::set<std::string>{"-1", "0", "1", "2", "3", "9"}));
    for (const char* r : {"0", "1", "2", "3", "cut"}) EXPECT_EQ(routes.count(r), 1u) << r;
    EXPECT_GE(onEdges, 20);
  }
  std::string err;
  EXPECT_EQ(Run("generate " + Path("n.orx") + " --size 1x40 --npcs 2 --items 2 --every-feature"), 0);
  EXPECT_EQ(Run("generate " + Path("n.orx") + " --size 1x40 --npcs 2 --items 2", nullptr, &err), 1);
  EXPECT_THAT(err, HasSubstr("5..4096"));
}

// `orx export-web`: the built site with the map beside it, or nothing at all.
TEST_F(OrxTest, ExportWebWritesTheSiteWithTheMapOrNothing) {
  const fs::path site = folder_ / "site";
  fs::create_directories(site);
  for (const char* file : {"orrindel.js", "orrindel.wasm", "orrindel.data", "orrindel-data.js"})
    std::ofstream(site / file, std::ios::binary) << "built " << file;
  std::ofstream(site / "index.html", std::ios::binary) << "<body data-episode=\"\">page</body>";
  std::ofstream(Path("yard.json")) << YardSource().dump();
  ASSERT_EQ(Run("encode " + Path("yard.json") + " -o " + Path("yard.orx")), 0);
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string siteOption = " --site " + site.string();

  std::string out, err;
  ASSERT_EQ(Run("export-web " + Path("yard.orx") + " " + Path("out") + "-site" + siteOption, &out, &err), 0)
      << err;
  const fs::path written = Path("out") + "-site";
  EXPECT_EQ(slurp(written / "index.html"), "<body data-episode=\"episode.orx\">page</body>");
  EXPECT_EQ(slurp(written / "episode.orx"), slurp(Path("yard.orx")));
  EXPECT_EQ(slurp(written / "orrindel.wasm"), "built orrindel.wasm");
  EXPECT_EQ(std::distance(fs::directory_iterator(written), fs::directory_iterator()), 6);

  // Refusals: each leaves DIR as it was (absent, or the author's file untouched).
  std::ofstream(Path("bad.orx"), std::ios::binary) << "#\x97"
                                                      "abc\xFE";
  fs::create_directories(Path("full"));
  std::ofstream(Path("full") + "/keep.txt") << "mine";
  const fs::path half = folder_ / "half";
  fs::create_directories(half);
  std::ofstream(half / "index.html") << "<body data-episode=\"\">";
  struct TCase {
    std::string Args, Error, Dir;
  };
  const std::vector<TCase> cases = {
      {Path("bad.orx") + " " + Path("d1") + siteOption, "unreadable: field 1 (MapVersion)", Path("d1")},
      {Path("none.orx") + " " + Path("d2") + siteOption, "none.orx: no such file", Path("d2")},
      {Path("yard.orx") + " " + Path("full") + siteOption, "exists and is not an empty folder", ""},
      {Path("yard.orx") + " " + Path("d3") + " --site " + half.string(), "is not a built site", Path("d3")},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Run("export-web " + c.Args, &out, &err), 1) << c.Args;
    EXPECT_THAT(err, HasSubstr(c.Error)) << c.Args;
    if (!c.Dir.empty()) EXPECT_FALSE(fs::exists(c.Dir)) << c.Args;
  }
  EXPECT_EQ(slurp(Path("full") + "/keep.txt"), "mine");
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("full")), fs::directory_iterator()), 1);
  EXPECT_EQ(Run("export-web " + Path("yard.orx"), &out, &err), 2) << "no DIR";
  EXPECT_THAT(err, HasSubstr("\n(orx --help shows how to use it)"));
  EXPECT_EQ(Run("info", &out, &err), 2);
  EXPECT_EQ(err, "orx: info: FILE missing\n(orx --help shows how to use it)\n");
}

TEST_F(OrxTest, CommandLineExitCodes) {
  std::ofstream(Path("yard.json")) << YardSource().dump();
  std::string out, err;
  EXPECT_EQ(Run("--help", &out), 0);
  EXPECT_THAT(out, HasSubstr("usage: orx"));
  EXPECT_EQ(Run("decode " + Path("none.orx"), &out, &err), 1);
  EXPECT_THAT(err, HasSubstr("no such file"));

  EXPECT_EQ(Run("encode " + Path("yard.json") + " -o " + Path("yard.orx") + " --wrap 7 --seed 3"), 0);
  EXPECT_EQ(Run("decode " + Path("yard.orx"), &out), 0);
  EXPECT_EQ(json::parse(out), YardSource());
  EXPECT_EQ(Run("check " + Path("yard.orx"), &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Run("info " + Path("yard.orx"), &out), 0);
  EXPECT_THAT(out, HasSubstr("Size:     6 x 5 (30 cells, 11 open)"));
  EXPECT_THAT(out, HasSubstr("    1 Patroller: 1"));
  // A full disk is a failure said, not a success, though a small file fits a buffer (the
  // editor's project file beside the map, 213 bytes).
  fs::create_directories(Path("fulldisk"));
  fs::create_symlink("/dev/full", Path("fulldisk") + "/orrindel.tiled-project");
  EXPECT_EQ(Run("export-tiled " + Path("yard.orx") + " " + Path("fulldisk") + "/yard.tmx", &out, &err), 1);
  EXPECT_THAT(err, HasSubstr("orrindel.tiled-project: cannot write: No space left on device"));
  // orx play refuses a folder it cannot lay the game out in, before any window.
  std::ofstream(Path("a-file")) << "not a folder";
  EXPECT_EQ(Run("play " + Path("yard.orx") + " --folder " + Path("a-file"), &out, &err), 1);
  EXPECT_THAT(err, HasSubstr("a-file: Not a directory"));

  std::ofstream(Path("bad.orx"), std::ios::binary) << "#\x97"
                                                      "abc\xFE";
  EXPECT_EQ(Run("decode " + Path("bad.orx"), &out, &err), 2);
  EXPECT_EQ(out, "");
  EXPECT_THAT(err, HasSubstr("unreadable: field 1 (MapVersion):"));
  EXPECT_EQ(Run("check " + Path("bad.orx")), 1);
  // A file that is there but cannot be opened (a socket): the reason is said.
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = Path("socket.orx");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(Run("decode " + socketPath, &out, &err), 2);
  EXPECT_THAT(err, HasSubstr("socket.orx: unreadable: Cannot open file"));
  ::close(listener);

  json broken = YardSource();
  broken["EntitySpawns"][0]["Param1"] = "patrol";
  std::ofstream(Path("broken.json")) << broken.dump();
  EXPECT_EQ(Run("encode " + Path("broken.json") + " -o " + Path("broken.orx")), 0);
  EXPECT_EQ(Run("check " + Path("broken.orx"), &out), 1);
  EXPECT_THAT(out, HasSubstr("broken.orx: error: entity 0 (Patroller at 1.5, 1.5): Param1 (mode)"));

  broken["MapName"] = "Two words";
  std::ofstream(Path("blank.json")) << broken.dump();
  EXPECT_EQ(Run("encode " + Path("blank.json") + " -o " + Path("blank.orx"), nullptr, &err), 1);
  EXPECT_THAT(err, HasSubstr("MapName: a blank at character 4 cannot be stored"));
  EXPECT_FALSE(fs::exists(Path("blank.orx"))) << "nothing is written for a refused source";
  EXPECT_EQ(Run("encode " + Path("yard.json")), 2) << "no output named";
  EXPECT_EQ(Run("encode " + Path("none.json") + " -o " + Path("none.orx"), nullptr, &err), 1);
  EXPECT_THAT(err, HasSubstr("none.json: cannot open"));
  EXPECT_EQ(Run("encode " + Path("yard.json") + " -o " + Path("no-folder/yard.orx"), nullptr, &err), 1);
  EXPECT_THAT(err, HasSubstr("no-folder/yard.orx"));
  // A good scale is taken (the missing game folder fails the picture next); 65 is refused.
  EXPECT_EQ(
      Run("render " + Path("yard.orx") + " " + Path("yard.png") + " --scale 4 --game " + Path("no-game"),
          nullptr, &err),
      1);
  EXPECT_THAT(err, HasSubstr("game folder"));
  EXPECT_EQ(Run("render " + Path("yard.orx") + " " + Path("yard.png") + " --scale 65", nullptr, &err), 2);
  EXPECT_THAT(err, HasSubstr("--scale needs a number of pixels a cell, 1..64"));
}

}  // namespace
}  // namespace orr
