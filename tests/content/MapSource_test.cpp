// SPDX-License-Identifier: GPL-3.0-or-later
// The episode source reader of the content builder: the layout and lists turn into the map
// tool's JSON, and every authoring mistake is refused with its line.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "MapSource.h"

using namespace orr::content;

namespace {

const std::vector<std::string> Tiles = {"floor", "wall"};
const std::vector<std::string> Decos = {"none", "crack", "arrow"};

// A 5 x 4 room: walls round the edge, an inner wall block at (2, 1). Thirteen lines, so
// the first line after it is line 14.
const std::string Head = R"(name Test
id T-1
version 1.5
tile # wall 2
tile T wall 4
tile . floor 0
tile ~ floor 0 3
layout
  #####
  #..~#
  #.T.#
  #####
end
)";

TMapSource Parse(const std::string& extra) { return ParseMapSource(Head + extra, "test.map", Tiles, Decos); }

std::string ErrorOf(const std::string& text) {
  try {
    ParseMapSource(text, "test.map", Tiles, Decos);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(MapSource, FirstLayoutLineIsTheNorthEdge) {
  TMapSource m = Parse("");
  ASSERT_EQ(m.Width, 5);
  ASSERT_EQ(m.Height, 4);
  EXPECT_EQ(m.Height_[1][2], 4);  // the T on the third line is y = 1
  EXPECT_EQ(m.Height_[2][3], 0);
  EXPECT_EQ(m.Turns[2][3], 3);  // the ~ on the second line is y = 2
  EXPECT_EQ(m.Tile[0][0], 1);

  nlohmann::json j = MapToJson(m);
  EXPECT_EQ(j["MapName"], "Test");
  EXPECT_EQ(j["MapIdCode"], "T-1");
  EXPECT_DOUBLE_EQ(j["MapVersion"].get<double>(), 1.5);
  EXPECT_EQ(j["MapSize"], nlohmann::json::array({5, 4}));
  EXPECT_EQ(j["HeightMap"][1][2], 4);
  EXPECT_EQ(j["TerrainGrid"][2][3], nlohmann::json::array({0, 3}));
  EXPECT_EQ(j["EntityCount"], 0);
}

TEST(MapSource, EntitiesBecomeRecordsInTheGamesNotation) {
  TMapSource m = Parse(
      "deco 1 2 arrow 1\n"
      "npc 1 1 Black Angel patrol 5,1,2 0,3,2\n"
      "npc 3 1 Civilian look\n"
      "npc 3 2 Reaver roam\n"
      "item 1 2 weapon 8 1\n"
      "item 3 1 ammo 5 30\n"
      "effect 2 2 steam\n"
      "start 1 1\n");
  EXPECT_EQ(m.Deco[2][1], 2);
  EXPECT_EQ(m.DecoTurns[2][1], 1);
  nlohmann::json e = MapToJson(m)["EntitySpawns"];
  ASSERT_EQ(e.size(), 7u);
  EXPECT_EQ(e[0], (nlohmann::json{{"x", 1.5},
                                  {"y", 1.5},
                                  {"Kind", 0},
                                  {"Index", 3},
                                  {"Param1", "2"},
                                  {"Param2", "0500100200003002"}}));
  EXPECT_EQ(e[1]["Param1"], "0");
  EXPECT_EQ(e[1]["Param2"], "");
  EXPECT_EQ(e[2]["Param1"], "1");
  EXPECT_EQ(e[2]["Index"], 2);
  EXPECT_EQ(e[3]["Kind"], 5);
  EXPECT_EQ(e[3]["Index"], 8);
  EXPECT_EQ(e[4]["Kind"], 6);
  EXPECT_EQ(e[4]["Param1"], "30");
  EXPECT_EQ(e[5]["Kind"], 1);
  EXPECT_EQ(e[5]["Index"], 1);
  EXPECT_EQ(e[6]["Kind"], 2);
}

TEST(MapSource, AuthoringMistakesAreRefusedWithTheirLine) {
  struct TCase {
    std::string Text;
    std::string Message;
  };
  const std::vector<TCase> cases = {
      {Head + "npc 2 1 Civilian look\n", "test.map:14: Civilian at 2,1 stands on a wall block"},
      {Head + "npc 1 1 Patroller patrol 1,3,1\n",
       "test.map:14: the route leg from 1,1 to 3,1 runs into a wall block"},
      {Head + "npc 1 1 Patroller patrol 1,1,2 1,3,2 2,3,1\n",
       "test.map:14: the route leg from 3,1 to 1,2 runs into a wall block"},
      {Head + "npc 1 1 Patroller patrol\n", "test.map:14: a patrol needs at least one route step WAIT,X,Y"},
      {Head + "npc 1 1 Patroller patrol 100,1,2\n", "test.map:14: a route wait must be 0 to 99 seconds"},
      {Head + "npc 1 1 Patroller roam 1,1,2\n", "test.map:14: only a patrolling creature takes a route"},
      {Head + "npc 1 1 Dragon look\n", "test.map:14: unknown creature \"Dragon\""},
      {Head + "item 1 1 weapon 9 1\n", "test.map:14: weapon index must be 0 to 8"},
      {Head + "item 1 1 ammo 0 lots\n", "test.map:14: amount \"lots\" is not a whole number"},
      {Head + "item 9 1 ammo 0 5\n", "test.map:14: cell 9,1 lies outside the map"},
      {Head + "deco 1 1 flower\n", "test.map:14: unknown decoration \"flower\""},
      {Head + "deco 1 1 none\n", "test.map:14: unknown decoration \"none\""},
      {Head + "deco 1 1 crack\ndeco 1 1 arrow\n", "test.map:15: cell 1,1 already has a decoration"},
      {"name A\nid B\nversion 1\ntile . grass 0\n", "test.map:4: unknown tile type \"grass\""},
      {"name A\nid B\nversion 1\ntile . floor 5\n", "test.map:4: height must be 0 to 4"},
      {"name A\nid B\nversion 1\ntile . floor 0\ntile . wall 1\n",
       "test.map:5: character '.' is defined twice"},
      {"name A\nid B\nversion x\n", "test.map:3: version \"x\" is not a number"},
      {"name A\nid B\nversion 1.7e40\n", "test.map:3: version \"1.7e40\" does not fit in 32 bits"},
      {"name A\nid B\nversion 1e400\n", "test.map:3: version \"1e400\" does not fit in 32 bits"},
      {"name A\nid B\nversion nan\n", "test.map:3: version \"nan\" does not fit in 32 bits"},
      {"name A\xff\nid B\n", "test.map:1: name \"A\xff\" holds a character other than printable ASCII"},
      {"name A\nid B\nversion 1\ntile . floor 0\nlayout\n...\n..\nend\n",
       "test.map:8: layout line for y = 0 has 2 cells, the first has 3"},
      {"name A\nid B\nversion 1\ntile . floor 0\nlayout\n.?.\nend\n",
       "test.map:7: layout character '?' at 1,0 has no tile line"},
      {"name A\nid B\nversion 1\ntile . floor 0\nlayout\n...\n", "test.map:6: the layout has no end line"},
      {"name A\nid B\nversion 1\nnpc 1 1 Civilian look\n", "test.map:4: \"npc\" before the layout"},
      {"name A\nversion 1\ntile . floor 0\nlayout\n.\nend\n",
       "test.map:6: name, id and version are all needed"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ErrorOf(c.Text), c.Message) << c.Text;
}
