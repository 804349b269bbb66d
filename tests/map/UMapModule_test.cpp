// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/UMapModule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/UMainModule.h"
#include "map/MapFileWriter.h"
#include "platform/Application.h"

namespace orr {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// The fields of a valid 3 x 2 map with one patrolling creature, in file order.
std::vector<std::string> SmallMapFields() {
  return {"1.1", "Yard", "YARD-1", "3", "2", "1",
          // terrain rows y = 0, 1: cells of quarter turns + three-digit tile number
          "000110020203", "301200131999",
          // decoration rows
          "000000000007", "0-0100000000",
          // height rows
          "010", "400",
          // one entity: x, y, Kind, Index, Param1, Param2
          "2.5", "1.5", "0", "1", "2", "0500200105000001"};
}

std::string Encode(const std::vector<std::string>& fields, std::uint32_t seed = 1) {
  TMapFileWriter writer(seed);
  for (std::size_t i = 0; i < fields.size(); ++i) writer.Field(fields[i], "field " + std::to_string(i + 1));
  return writer.Content();
}

// The log without the "[HH:MM:SS]" time stamps.
std::vector<std::string> LogTexts() {
  std::vector<std::string> texts;
  for (const auto& line : EventLog) texts.push_back(line.substr(line.find(']') + 1));
  return texts;
}

const std::vector<std::string> OpeningLines = {
    "**DataFile assinged to file. Attempting to open file...", "**File opened for reading",
    "**Reading file content to buffer", "**File content loaded to buffer"};
const std::vector<std::string> FailureLines = {
    "**WARNING! Exception occurred. Returning an error flag to the caller",
    "File loading failed. File closed"};

class MapLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("orr_map_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    ResetGameMap();
    ResetEventLog();
  }
  void TearDown() override {
    ResetGameMap();
    ResetEventLog();
    fs::remove_all(folder_);
  }
  std::string Write(const std::string& content, const std::string& name = "map.orx") {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  TMapLoadResult Load(const std::string& content) {
    ResetEventLog();
    return LoadMap(Write(content));
  }
  // The log lines after the opening ones, checking those on the way.
  std::vector<std::string> LinesAfterOpening() {
    std::vector<std::string> texts = LogTexts();
    EXPECT_GE(texts.size(), 1 + OpeningLines.size());
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 1 + OpeningLines.size()),
              OpeningLines);
    return {texts.begin() + 1 + OpeningLines.size(), texts.end()};
  }
  fs::path folder_;
};

TEST(MapFields, DecodingExamples) {
  // Shift 0: 117 at position 2 gives 'A'; 255 at position 2 gives 'm'.
  EXPECT_EQ(DecodeField(std::string("\x94\x75", 2)), "A");
  EXPECT_EQ(DecodeField(std::string("\x94\xFF", 2)), "m");
  // Shift 9: 60 at position 3 gives 60 - 3 - 50 - 18 = -11, folded to 83 'S'.
  EXPECT_EQ(DecodeField(std::string("\x9D\xA0\x3C", 3)).substr(1), "S");
  EXPECT_EQ(DecodeField(std::string("\x97", 1)), "");  // a shift byte alone: empty text
}

TEST(MapFields, BadRawFieldsAreRefused) {
  for (const std::string& raw : {std::string(),
                                 std::string("\x93"
                                             "A"),
                                 std::string("\x9E"
                                             "A"),
                                 std::string("5A")})
    EXPECT_THROW(DecodeField(raw), EMapFormatError) << "raw field of " << raw.size() << " bytes";
}

TEST(MapFields, NextFieldSkipsTheFirstByteAndStopsAtTheSeparator) {
  // The leading byte is skipped even when it is the separator itself.
  std::string content = std::string("\xFE") + "\x94\x75" + "\xFE" + "\x94\xFF" + "\xFE" + "tail";
  std::string_view buffer = content;
  EXPECT_EQ(NextField(buffer), "A");
  EXPECT_EQ(buffer.substr(0, 1), "\xFE");
  EXPECT_EQ(NextField(buffer), "m");
  EXPECT_EQ(NextField(buffer), std::nullopt);  // "tail" has no separator after it
  EXPECT_EQ(buffer, "\xFEtail");
  std::string_view tiny = "\xFE";
  EXPECT_EQ(NextField(tiny), std::nullopt);
  // Position 1 never matches, position 2 does: the raw field between is empty.
  std::string twoSeparators = "\xFE\xFE";
  std::string_view empty = twoSeparators;
  EXPECT_THROW(NextField(empty), EMapFormatError);
}

TEST_F(MapLoaderTest, LoadsAMapAndLogsEveryStage) {
  const std::string path = Write(Encode(SmallMapFields()));
  ASSERT_EQ(LoadMap(path), TMapLoadResult::Loaded);
  std::vector<std::string> expected = {"MapModule received a map loading request with filename: " + path};
  expected.insert(expected.end(), OpeningLines.begin(), OpeningLines.end());
  for (const char* line :
       {"**Map version: 1.10000002384186", "**Map Name: Yard", "**Map Id Code: YARD-1",
        "**Horizontal size: 3", "**Vertical size: 2", "**Entity count: 1", "**Reading terrain block...",
        "**Terrain block read", "**Reading decoration block...", "**decoration block read",
        "**Reading heightmap...", "**Heightmap read", "**Reading entities...", "**Entities read",
        "File loading successful. File closed"})
    expected.push_back(line);
  EXPECT_EQ(LogTexts(), expected);

  const TOrrindelMap& map = GameMap;
  EXPECT_EQ(map.MapVersion, 1.1f);
  EXPECT_EQ(map.MapName, "Yard");
  EXPECT_EQ(map.MapIdCode, "YARD-1");
  EXPECT_EQ(map.MapSize.X, 3);
  EXPECT_EQ(map.MapSize.Y, 2);
  ASSERT_EQ(map.TerrainGrid.size(), 3u);
  ASSERT_EQ(map.TerrainGrid[0].size(), 2u);
  // Row y = 1 of the terrain is "301200131999": cells (3, 12), (0, 13), (1, 999).
  EXPECT_EQ(map.TerrainGrid[0][1].QuarterTurns, 3);
  EXPECT_EQ(map.TerrainGrid[0][1].TileNumber, 12);
  EXPECT_EQ(map.TerrainGrid[1][1].TileNumber, 13);
  EXPECT_EQ(map.TerrainGrid[2][1].TileNumber, 999);
  EXPECT_EQ(map.TerrainGrid[1][0].QuarterTurns, 1);
  EXPECT_EQ(map.TerrainGrid[1][0].TileNumber, 2);
  EXPECT_EQ(map.DecorationGrid[2][0].TileNumber, 7);
  EXPECT_EQ(map.DecorationGrid[0][1].TileNumber, 65535) << "-01 read as one integer, kept in 16 bits";
  EXPECT_EQ(map.HeightMap[1][0], 1);
  EXPECT_EQ(map.HeightMap[0][1], 4);
  ASSERT_EQ(map.EntitySpawns.size(), 1u);
  const TPackedEntity& e = map.EntitySpawns[0];
  EXPECT_EQ(e.Position.X, 2.5f);
  EXPECT_EQ(e.Position.Y, 1.5f);
  EXPECT_EQ(e.Position.Z, 0.0f);
  EXPECT_EQ(e.Position.W, 0.0f);
  EXPECT_EQ(e.Kind, 0);
  EXPECT_EQ(e.Index, 1);
  EXPECT_EQ(e.Param1, "2");
  EXPECT_EQ(e.Param2, "0500200105000001");
}

TEST_F(MapLoaderTest, LinesSplitAnywhereLoadLikeOneLine) {
  const std::string content = Encode(SmallMapFields(), 5);
  ASSERT_EQ(Load(content), TMapLoadResult::Loaded);
  const TOrrindelMap oneLine = GameMap;
  for (int wrap : {1, 2, 3, 7, 64}) {
    for (bool crlf : {false, true}) {
      TMapFileWriter writer(5);
      for (const auto& field : SmallMapFields()) writer.Field(field, "field");
      ResetGameMap();
      ASSERT_EQ(Load(writer.Content(wrap, crlf)), TMapLoadResult::Loaded)
          << "wrap " << wrap << " crlf " << crlf;
      EXPECT_EQ(GameMap.MapName, oneLine.MapName);
      EXPECT_EQ(GameMap.TerrainGrid[2][1].TileNumber, 999);
      EXPECT_EQ(GameMap.EntitySpawns[0].Param2, oneLine.EntitySpawns[0].Param2);
    }
  }
  // A lone CR is dropped wherever it stands; blank lines add nothing.
  std::string withCr;
  for (std::size_t i = 0; i < content.size(); ++i) withCr += (i % 5 == 4 ? "\r" : "") + content.substr(i, 1);
  ResetGameMap();
  ASSERT_EQ(Load("\n\r\n" + withCr + "\n\n"), TMapLoadResult::Loaded);
  EXPECT_EQ(GameMap.EntitySpawns[0].Param2, "0500200105000001");
}

TEST_F(MapLoaderTest, EndOfFileMarkEndsTheReadingOnlyAtALineStart) {
  const std::string content = Encode(SmallMapFields());
  // Everything after a 0x1A that begins a line is never read.
  EXPECT_EQ(Load(content + "\n\x1A" + "garbage"), TMapLoadResult::Loaded);
  const std::size_t cut = content.size() / 2;
  EXPECT_EQ(Load(content.substr(0, cut) + "\n\x1A" + content.substr(cut)), TMapLoadResult::Unreadable);
  EXPECT_EQ(Load("\x1A" + content), TMapLoadResult::Unreadable);
  // Inside a line it is an ordinary stored byte: shift 0, position 2: 26 - 2 - 50 -> 68 'D'.
  TMapFileWriter writer(1);
  writer.Field("1", "version");
  writer.RawField(std::string("\x94\x1A", 2));
  EXPECT_EQ(Load(writer.Content()), TMapLoadResult::Unreadable);  // no W: fails, but the name was read
  EXPECT_EQ(GameMap.MapName, "D");
}

TEST_F(MapLoaderTest, EntityCountIsKeptIn16Bits) {
  auto fields = SmallMapFields();
  fields[5] = "65537";
  // A second record's fields follow; only one record may be read.
  for (const char* f : {"0.5", "0.5", "x", "x", "", ""}) fields.push_back(f);
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Loaded);
  EXPECT_EQ(GameMap.EntityCount, 1);
  EXPECT_EQ(GameMap.EntitySpawns.size(), 1u);
  EXPECT_THAT(LogTexts(), ::testing::Contains("**Entity count: 1"));
  fields[5] = "-1";
  EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable) << "-1 asks for 65535 records";
  EXPECT_EQ(GameMap.EntityCount, 65535);
}

TEST_F(MapLoaderTest, LongNamesAreCutTo255Characters) {
  auto fields = SmallMapFields();
  fields[1] = std::string(200, 'a') + std::string(100, 'b');
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Loaded);
  const std::string kept = std::string(200, 'a') + std::string(55, 'b');
  EXPECT_EQ(GameMap.MapName, kept);
  EXPECT_THAT(LogTexts(), ::testing::Contains("**Map Name: " + kept));
}

TEST_F(MapLoaderTest, ExtraCharactersAndFieldsAreIgnored) {
  auto fields = SmallMapFields();
  fields[6] += "9999xyz";  // terrain row 0
  fields[10] += "77";      // height row 0
  fields.push_back("more");
  fields.push_back("!!");
  TMapFileWriter writer(3);
  for (const auto& f : fields) writer.Field(f, "field");
  writer.Append("trailing bytes with no separator");
  ASSERT_EQ(Load(writer.Content()), TMapLoadResult::Loaded);
  EXPECT_EQ(GameMap.TerrainGrid[2][0].TileNumber, 203);
  EXPECT_EQ(GameMap.HeightMap[2][0], 0);
}

TEST_F(MapLoaderTest, ZeroWidthStillConsumesOneFieldPerRow) {
  auto fields = SmallMapFields();
  fields[3] = "0";
  // Rows of a zero-width map may be empty text, but each is still a field.
  for (int i : {6, 7, 8, 9, 10, 11}) fields[static_cast<std::size_t>(i)] = i % 2 ? "" : "anything";
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Loaded);
  EXPECT_EQ(GameMap.TerrainGrid.size(), 0u);
  EXPECT_EQ(GameMap.EntitySpawns[0].Param2, "0500200105000001");
  EXPECT_TRUE(IsCellBlocked(0, 0));
}

TEST_F(MapLoaderTest, MissingTextFieldsReadAsEmpty) {
  TMapFileWriter writer(1);
  writer.Field("2", "version");
  ASSERT_EQ(Load(writer.Content() + "no separator follows"), TMapLoadResult::Unreadable);
  EXPECT_THAT(
      LinesAfterOpening(),
      ElementsAre("**Map version: 2", "**Map Name: ", "**Map Id Code: ", FailureLines[0], FailureLines[1]));
}

// Every way a load can fail, with the log lines after the opening ones.
TEST_F(MapLoaderTest, FailureRoutesLogTheirLinesInOrder) {
  const std::vector<std::string> header = {"**Map version: 1.10000002384186",
                                           "**Map Name: Yard",
                                           "**Map Id Code: YARD-1",
                                           "**Horizontal size: 3",
                                           "**Vertical size: 2",
                                           "**Entity count: 1"};
  auto upTo = [&](std::size_t headerLines, std::vector<std::string> more) {
    std::vector<std::string> lines(header.begin(), header.begin() + static_cast<long>(headerLines));
    lines.insert(lines.end(), more.begin(), more.end());
    lines.insert(lines.end(), FailureLines.begin(), FailureLines.end());
    return lines;
  };
  const std::vector<std::string> terrain = {"**Reading terrain block..."};
  const std::vector<std::string> heights = {"**Reading terrain block...", "**Terrain block read",
                                            "**Reading decoration block...", "**decoration block read",
                                            "**Reading heightmap..."};
  std::vector<std::string> entities = heights;
  entities.insert(entities.end(), {"**Heightmap read", "**Reading entities..."});

  struct TCase {
    const char* Name;
    std::size_t Field;  // index into SmallMapFields() to replace
    std::string Text;
    std::vector<std::string> Expected;
  };
  const std::vector<TCase> cases = {
      {"version not a number", 0, "1.1x", upTo(0, {})},
      {"width not a number", 3, "three", upTo(3, {})},
      {"height empty", 4, "", upTo(4, {})},
      {"entity count not a number", 5, "1.0", upTo(5, {})},
      {"terrain row of 11 characters", 7, "30120013199", upTo(6, terrain)},
      {"terrain quarter turn not a digit", 6, "-00110020203", upTo(6, terrain)},
      {"terrain tile not a number", 6, "00a110020203", upTo(6, terrain)},
      {"height row too short", 11, "40", upTo(6, heights)},
      {"height not a digit", 10, "0+0", upTo(6, heights)},
      {"entity x not a number", 12, "2,5", upTo(6, entities)},
      {"entity kind not a number", 14, "zero", upTo(6, entities)},
      {"entity index beyond 32 bits", 15, "4294967296", upTo(6, entities)},
  };
  for (const TCase& c : cases) {
    auto fields = SmallMapFields();
    fields[c.Field] = c.Text;
    EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable) << c.Name;
    EXPECT_EQ(LinesAfterOpening(), c.Expected) << c.Name;
  }

  {
    auto fields = SmallMapFields();
    fields[3] = "-3";
    auto expected = upTo(6, {});
    expected[3] = "**Horizontal size: -3";
    EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable) << "negative width";
    EXPECT_EQ(LinesAfterOpening(), expected) << "negative width";
  }
  // Raw damage the writer would never produce: an empty field and a bad shift byte.
  for (const std::string& raw : {std::string(), std::string("\x9E"
                                                            "abc")}) {
    TMapFileWriter writer(1);
    for (int i = 0; i < 6; ++i) writer.Field(SmallMapFields()[static_cast<std::size_t>(i)], "header");
    writer.RawField(raw);
    writer.Append(std::string(100, 'z'));  // enough bytes that the sizes could fit
    EXPECT_EQ(Load(writer.Content()), TMapLoadResult::Unreadable);
    EXPECT_EQ(LinesAfterOpening(), upTo(6, terrain));
  }
  // A missing entity field: the file ends after Param1.
  auto fields = SmallMapFields();
  fields.pop_back();
  EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable);
  EXPECT_EQ(LinesAfterOpening(), upTo(6, entities));
  // An empty file: not even the version.
  EXPECT_EQ(Load(""), TMapLoadResult::Unreadable);
  EXPECT_EQ(LinesAfterOpening(), upTo(0, {}));
}

TEST_F(MapLoaderTest, AMissingFileReturnsOneAndLogsTheWarning) {
  const std::string path = (folder_ / "none.orx").string();
  EXPECT_EQ(LoadMap(path), TMapLoadResult::Missing);
  EXPECT_THAT(LogTexts(),
              ElementsAre("MapModule received a map loading request with filename: " + path,
                          "**WARNING: File does not exists! Returning an error flag to the caller"));
  EXPECT_EQ(LoadMap(folder_.string()), TMapLoadResult::Missing) << "a folder is not a map file";
}

TEST_F(MapLoaderTest, AFileThatCannotBeOpenedRaisesAnInputOutputError) {
  // A socket exists in the file system but cannot be opened for reading (even by root).
  const std::string path = (folder_ / "socket.orx").string();
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_THROW(LoadMap(path), EInOutError);
  ::close(fd);
  EXPECT_THAT(LogTexts(), ElementsAre("MapModule received a map loading request with filename: " + path,
                                      "**DataFile assinged to file. Attempting to open file..."));
}

// Mended: the loader would size the grids from the header first and fail only when the rows
// run out, so a few bytes could ask for gigabytes. Now such a header is refused before any
// grid is allocated, with the same result and failure lines.
TEST_F(MapLoaderTest, SizesTheFileCannotHoldAreRefusedBeforeAllocating) {
  for (const auto& [w, h] : {std::pair{"100000", "100000"}, std::pair{"2147483647", "2147483647"},
                             std::pair{"0", "2147483647"}, std::pair{"30", "3"}}) {
    auto fields = SmallMapFields();
    fields[3] = w;
    fields[4] = h;
    GameMap.TerrainGrid.SetSize(2, 2);  // what a previous map left
    EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable) << w << " x " << h;
    auto lines = LinesAfterOpening();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], "**Entity count: 1");
    EXPECT_EQ(lines[6], FailureLines[0]);
    EXPECT_EQ(GameMap.TerrainGrid.Width(), 2) << "no grid was sized";
    EXPECT_EQ(GameMap.MapSize.X, std::stoi(w)) << "the header fields read so far are kept";
  }
  // A map wider than anything yet with no rows costs nothing and loads.
  auto fields = SmallMapFields();
  fields[3] = "2147483647";
  fields[4] = "0";
  fields.erase(fields.begin() + 6, fields.begin() + 12);
  EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Loaded);
  EXPECT_EQ(GameMap.TerrainGrid.Width(), 2147483647);
  EXPECT_TRUE(IsCellBlocked(5, 0));
}

TEST_F(MapLoaderTest, FilesBeyondTheSizeLimitAndEndlessDevicesAreRefused) {
  const std::size_t saved = MapFileSizeLimit;
  const std::string content = Encode(SmallMapFields());
  MapFileSizeLimit = content.size();
  std::string failure;
  EXPECT_EQ(LoadMap(Write(content), &failure), TMapLoadResult::Loaded) << failure;
  EXPECT_EQ(LoadMap(Write(content + " "), &failure), TMapLoadResult::Unreadable);
  EXPECT_THAT(failure, HasSubstr("larger than the loader's limit of"));
  MapFileSizeLimit = saved;
  // A device without an end and a named pipe without a writer are refused at once
  // instead of filling memory or waiting for ever.
  const std::string pipe = (folder_ / "pipe.orx").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), pipe}) {
    ResetEventLog();
    EXPECT_EQ(LoadMap(path, &failure), TMapLoadResult::Unreadable) << path;
    EXPECT_THAT(failure, HasSubstr("not a regular file")) << path;
    EXPECT_EQ(LogTexts().back(), FailureLines[1]);
  }
  // A load that succeeds after one that failed leaves no failure text behind.
  EXPECT_EQ(LoadMap(Write(content), &failure), TMapLoadResult::Loaded);
  EXPECT_EQ(failure, "");
}

// A grid row takes at least its shift byte and characters: 2 x (4W + 1) + (W + 1) bytes a
// row in all. A header asking for more than the rest of the file holds is refused at once.
TEST_F(MapLoaderTest, SizesNeedingMoreThanTheFileHoldsAreRefusedFirst) {
  const std::string header = Encode({"2", "Tight", "T", "1", "2", "0"});  // ends with a separator
  const std::pair<std::size_t, const char*> cases[] = {
      {22, "map size 1 x 2 needs more grid data than the 23 bytes left in the file"},
      {23, "field 7 (terrain row 0): missing (no separator left)"},
  };
  for (auto [extra, message] : cases) {
    std::string failure;
    EXPECT_EQ(LoadMap(Write(header + std::string(extra, '0')), &failure), TMapLoadResult::Unreadable);
    EXPECT_EQ(failure, message) << extra;
  }
}

TEST_F(MapLoaderTest, AFailedLoadKeepsWhatWasReadAndQueriesStayInBounds) {
  ASSERT_EQ(Load(Encode(SmallMapFields())), TMapLoadResult::Loaded);
  auto fields = SmallMapFields();
  fields[1] = "Other";
  fields[3] = "50";
  fields[4] = "1";
  fields.resize(6);
  fields.push_back(std::string(40 * 4 + 10, '0'));  // too short for width 50 once it gets there
  EXPECT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable);
  EXPECT_EQ(GameMap.MapName, "Other");
  EXPECT_EQ(GameMap.MapSize.X, 50);
  // MapSize says 50 x 1 whatever the grid holds: queries must not read outside the grid.
  for (int x = 0; x < 50; ++x)
    EXPECT_EQ(IsCellBlocked(x, 0), x >= 3 || GameMap.HeightMap[static_cast<std::size_t>(x)][0] != 0) << x;
  GameMap.HeightMap.SetSize(2, 1);
  EXPECT_TRUE(IsCellBlocked(10, 0));
  // And a grid larger than MapSize says is open only within MapSize.
  GameMap.HeightMap.SetSize(6, 4);
  GameMap.MapSize = {3, 2};
  for (auto [x, y] : {std::pair{3, 0}, std::pair{0, 2}, std::pair{5, 3}})
    EXPECT_TRUE(IsCellBlocked(x, y)) << x << "," << y;
  EXPECT_FALSE(IsCellBlocked(2, 1));
}

// The arrays are resized, not rebuilt: a failed load over an earlier map leaves the earlier
// cells and records within the new sizes until they are read over; new storage is zero.
TEST_F(MapLoaderTest, AFailedReloadKeepsTheEarlierMapWithinTheNewSizes) {
  ASSERT_EQ(Load(Encode(SmallMapFields())), TMapLoadResult::Loaded);
  std::vector<std::string> fields = {"2",
                                     "Wider",
                                     "W",
                                     "4",
                                     "2",
                                     "2",
                                     "1111222233334444",                // terrain row 0
                                     "x000000000000000"};               // terrain row 1 fails at once
  for (int i = 0; i < 10; ++i) fields.push_back(std::string(16, '0'));  // rows that could follow
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable);
  const TOrrindelMap& map = GameMap;
  ASSERT_EQ(map.TerrainGrid.Width(), 4);
  ASSERT_EQ(map.TerrainGrid.Height(), 2);
  EXPECT_EQ(map.TerrainGrid[0][0].TileNumber, 111);
  EXPECT_EQ(map.TerrainGrid[3][0].QuarterTurns, 4);
  EXPECT_EQ(map.TerrainGrid[0][1].TileNumber, 12) << "row 1 of the earlier map was never read over";
  EXPECT_EQ(map.TerrainGrid[0][1].QuarterTurns, 3);
  EXPECT_EQ(map.TerrainGrid[2][1].TileNumber, 999);
  EXPECT_EQ(map.TerrainGrid[3][1].TileNumber, 0) << "a new column starts at zero";
  EXPECT_EQ(map.DecorationGrid[0][1].TileNumber, 65535);
  EXPECT_EQ(map.DecorationGrid[3][0].TileNumber, 0);
  EXPECT_EQ(map.HeightMap[1][0], 1);
  EXPECT_EQ(map.HeightMap[0][1], 4);
  ASSERT_EQ(map.EntitySpawns.size(), 2u);
  EXPECT_EQ(map.EntitySpawns[0].Param2, "0500200105000001");
  EXPECT_EQ(map.EntitySpawns[0].Position.X, 2.5f);
  EXPECT_EQ(map.EntitySpawns[1].Param2, "");
  EXPECT_EQ(map.EntitySpawns[1].Position.X, 0.0f);

  // Shrinking keeps the overlap too.
  TMapGrid<THeightMapCell> grid;
  grid.Resize(3, 3);
  grid[2][2] = 7;
  grid[1][1] = 5;
  grid.Resize(2, 4);
  EXPECT_EQ(grid[1][1], 5);
  EXPECT_EQ(grid[1][3], 0);
  grid.Resize(3, 3);
  EXPECT_EQ(grid[2][2], 0) << "a column dropped and grown again is new storage";
  EXPECT_EQ(grid[1][1], 5);
  EXPECT_THROW(grid.Resize(-1, 2), std::length_error);
}

// A failed load can leave any 32-bit size; the map's rectangle wraps like 32-bit arithmetic
// and the queries still read nothing outside the grid.
TEST_F(MapLoaderTest, QueriesAfterALoadThatLeftTheSmallestSize) {
  auto fields = SmallMapFields();
  fields[3] = "-2147483648";
  fields[4] = "-2147483648";
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable);
  EXPECT_EQ(GameMap.MapSize.X, INT32_MIN);
  const TMapRect r = MapRect();
  EXPECT_EQ(r.Right, INT32_MAX);
  EXPECT_EQ(r.Bottom, INT32_MAX);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{5, 7}, std::pair{-1, 0}, std::pair{INT32_MAX, INT32_MAX}})
    EXPECT_TRUE(IsCellBlocked(x, y)) << x << ", " << y;
}

TEST_F(MapLoaderTest, CellsBeforeABadCellAreKept) {
  // 20 rows, so that the failure falls in the second block of rows the loader stores.
  std::vector<std::string> fields = {"1", "Tall", "T", "3", "20", "0"};
  for (int y = 0; y < 20; ++y)
    fields.push_back(y == 17 ? "0005000600x7" : "1" + std::to_string(100 + y) + "000000000");
  for (int y = 0; y < 40; ++y) fields.push_back("000000000000");  // decoration rows, then heights
  ASSERT_EQ(Load(Encode(fields)), TMapLoadResult::Unreadable);
  EXPECT_EQ(GameMap.TerrainGrid[0][16].TileNumber, 116);
  EXPECT_EQ(GameMap.TerrainGrid[0][17].TileNumber, 5);
  EXPECT_EQ(GameMap.TerrainGrid[1][17].TileNumber, 6);
  EXPECT_EQ(GameMap.TerrainGrid[2][17].TileNumber, 0) << "the bad cell and those after it stay zero";
  EXPECT_EQ(GameMap.TerrainGrid[0][18].QuarterTurns, 0);
  EXPECT_EQ(GameMap.TerrainGrid[0][3].QuarterTurns, 1);
}

TEST_F(MapLoaderTest, TheModuleReleasesTheMapAtFinalization) {
  ASSERT_EQ(Load(Encode(SmallMapFields())), TMapLoadResult::Loaded);
  {
    TDMMapModule module(nullptr);
    EXPECT_EQ(module.LoadMap(Write(Encode(SmallMapFields()))), TMapLoadResult::Loaded);
  }
  EXPECT_EQ(GameMap.MapName, "Yard") << "the map outlives the module";
  RunFinalizations();
  EXPECT_EQ(GameMap.MapName, "");
  EXPECT_EQ(GameMap.TerrainGrid.Width(), 0);
}

TEST_F(MapLoaderTest, MapRectAndBlockedCellsAtTheBorders) {
  ASSERT_EQ(Load(Encode(SmallMapFields())), TMapLoadResult::Loaded);
  const TMapRect r = MapRect();
  EXPECT_EQ(r.Left, 0);
  EXPECT_EQ(r.Top, 0);
  EXPECT_EQ(r.Right, 2);
  EXPECT_EQ(r.Bottom, 1);
  // Heights: row 0 "010", row 1 "400".
  const std::vector<std::tuple<int, int, bool>> cells = {
      {-1, 0, true}, {3, 0, true}, {0, 2, true},  {0, -1, true},        {2, 1, false},       {0, 0, false},
      {1, 0, true},  {0, 1, true}, {1, 1, false}, {INT32_MIN, 0, true}, {INT32_MAX, 1, true}};
  for (auto [x, y, blocked] : cells) EXPECT_EQ(IsCellBlocked(x, y), blocked) << x << ", " << y;
  // The grids hold exactly W x H cells.
  for (auto [x, y, inside] : {std::tuple{2, 1, true}, std::tuple{3, 0, false}, std::tuple{0, 2, false},
                              std::tuple{2, 2, false}, std::tuple{-1, 0, false}, std::tuple{0, -1, false}})
    EXPECT_EQ(GameMap.HeightMap.Contains(x, y), inside) << x << ", " << y;
}

// Walls are children of the floor, which is rolled by -90 degrees per quarter turn: the
// oracle turns each side's outward offset by that roll and looks across the edge it lands on.
TEST(MapSides, ASideShowsWhereTheNeighbourAcrossItsTurnedEdgeIsLower) {
  const int sideX[4] = {0, 1, 0, -1}, sideY[4] = {1, 0, -1, 0};  // +Y, +X, -Y, -X
  for (int turns = 0; turns < 4; ++turns)
    for (int lower = -1; lower < 4; ++lower) {  // the one lower neighbour (-1: none)
      TOrrindelMap map;
      map.TerrainGrid.SetSize(3, 3);
      map.HeightMap.SetSize(3, 3);
      for (auto column : {0, 1, 2})
        for (auto row : {0, 1, 2}) map.HeightMap[column][row] = 2;  // equal neighbours hide sides
      if (lower >= 0) map.HeightMap[1 + sideX[lower]][1 + sideY[lower]] = 1;
      map.TerrainGrid[1][1].QuarterTurns = static_cast<std::uint8_t>(turns);
      for (int side = 0; side < 4; ++side) {
        const double a = -90.0 * turns * M_PI / 180;
        const int x = static_cast<int>(std::lround(sideX[side] * std::cos(a) - sideY[side] * std::sin(a)));
        const int y = static_cast<int>(std::lround(sideX[side] * std::sin(a) + sideY[side] * std::cos(a)));
        const bool shows = lower >= 0 && x == sideX[lower] && y == sideY[lower];
        EXPECT_EQ(RaisedSideShows(map, 1, 1, side), shows)
            << turns << " turns, side " << side << ", lower " << lower;
        if (lower >= 0) continue;
        // Off the map counts as low ground: the corner cells show the sides that face out.
        map.TerrainGrid[0][0].QuarterTurns = map.TerrainGrid[2][2].QuarterTurns =
            static_cast<std::uint8_t>(turns);
        EXPECT_EQ(RaisedSideShows(map, 0, 0, side), x < 0 || y < 0) << turns << " turns, side " << side;
        EXPECT_EQ(RaisedSideShows(map, 2, 2, side), x > 0 || y > 0) << turns << " turns, side " << side;
      }
    }
}

TEST(MapRoutes, GroupsOfEightCharacters) {
  TRoute route;
  route.Steps.resize(3);
  ParseRoute(route, "0500301");  // 7 characters
  EXPECT_TRUE(route.Steps.empty());
  ParseRoute(route, "0500301207");
  ASSERT_EQ(route.Steps.size(), 1u);
  EXPECT_EQ(route.Steps[0].Wait, 5);
  EXPECT_EQ(route.Steps[0].CellX, 3);
  EXPECT_EQ(route.Steps[0].CellY, 12);
  ParseRoute(route, "050030120000400");  // 15
  EXPECT_EQ(route.Steps.size(), 1u);
  ParseRoute(route, "05003012-1-01+02");  // 16
  ASSERT_EQ(route.Steps.size(), 2u);
  EXPECT_EQ(route.Steps[1].Wait, 65535);
  EXPECT_EQ(route.Steps[1].CellX, -1);
  EXPECT_EQ(route.Steps[1].CellY, 2);
}

TEST(MapRoutes, ABadGroupLeavesAPartlyFilledStep) {
  TRoute route;
  EXPECT_THROW(ParseRoute(route, "0500301209xx0004"), EConvertError);
  ASSERT_EQ(route.Steps.size(), 2u);
  EXPECT_EQ(route.Steps[1].Wait, 9);
  EXPECT_EQ(route.Steps[1].CellX, 0) << "the bad number is never stored";
  EXPECT_THROW(ParseRoute(route, "ab003012"), EConvertError);
  ASSERT_EQ(route.Steps.size(), 1u);
  EXPECT_EQ(route.Steps[0].Wait, 0);
}

TEST(MapNames, EntityNamesByKindAndIndex) {
  const std::vector<std::tuple<int, int, std::string>> cases = {{5, 3, "M4 Carbine"},
                                                                {2, 0, "Player start"},
                                                                {0, 6, "Punisher"},
                                                                {6, 5, "C4 Explosives"},
                                                                {3, 2, "Surgery Playset"},
                                                                {4, 0, "Armor Pad"},
                                                                {1, 1, "Steam"},
                                                                {0, 7, ""},
                                                                {2, 1, ""},
                                                                {7, 0, ""},
                                                                {65535, 0, ""},
                                                                {5, 65535, ""}};
  for (const auto& [kind, index, name] : cases) {
    TPackedEntity e;
    e.Kind = static_cast<std::uint16_t>(kind);
    e.Index = static_cast<std::uint16_t>(index);
    EXPECT_EQ(EntityName(e), name) << kind << "/" << index;
  }
  std::vector<std::size_t> sizes;
  for (const auto& table : EntityNameTables) sizes.push_back(table.size());
  EXPECT_THAT(sizes, ElementsAreArray({7u, 2u, 1u, 3u, 3u, 9u, 6u}));
}

}  // namespace
}  // namespace orr
