// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/MapFileWriter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "core/UMainModule.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

bool SameMap(const TOrrindelMap& a, const TOrrindelMap& b, std::string& difference) {
  auto differ = [&](const std::string& what) {
    difference = what;
    return false;
  };
  if (std::memcmp(&a.MapVersion, &b.MapVersion, sizeof(float)) != 0) return differ("MapVersion");
  if (a.MapName != b.MapName) return differ("MapName");
  if (a.MapIdCode != b.MapIdCode) return differ("MapIdCode");
  if (a.MapSize.X != b.MapSize.X || a.MapSize.Y != b.MapSize.Y) return differ("MapSize");
  if (a.EntityCount != b.EntityCount) return differ("EntityCount");
  for (std::int32_t x = 0; x < a.MapSize.X; ++x)
    for (std::int32_t y = 0; y < a.MapSize.Y; ++y) {
      const auto ux = static_cast<std::size_t>(x), uy = static_cast<std::size_t>(y);
      const MapCell &ta = a.TerrainGrid[ux][uy], &tb = b.TerrainGrid[ux][uy];
      const MapCell &da = a.DecorationGrid[ux][uy], &db = b.DecorationGrid[ux][uy];
      if (ta.TileNumber != tb.TileNumber || ta.QuarterTurns != tb.QuarterTurns) return differ("TerrainGrid");
      if (da.TileNumber != db.TileNumber || da.QuarterTurns != db.QuarterTurns)
        return differ("DecorationGrid");
      if (a.HeightMap[ux][uy] != b.HeightMap[ux][uy]) return differ("HeightMap");
    }
  if (a.EntitySpawns.size() != b.EntitySpawns.size()) return differ("EntitySpawns size");
  for (std::size_t i = 0; i < a.EntitySpawns.size(); ++i) {
    const TPackedEntity &ea = a.EntitySpawns[i], &eb = b.EntitySpawns[i];
    if (std::memcmp(&ea.Position, &eb.Position, sizeof(TMapVector)) != 0)
      return differ("Position " + std::to_string(i));
    if (ea.Kind != eb.Kind || ea.Index != eb.Index || ea.Param1 != eb.Param1 || ea.Param2 != eb.Param2)
      return differ("entity " + std::to_string(i));
  }
  return true;
}

std::string RandomText(std::mt19937& random, std::size_t maxLength) {
  std::string text(random() % (maxLength + 1), ' ');
  for (char& c : text) c = static_cast<char>(33 + random() % 94);
  return text;
}

float RandomFloat(std::mt19937& random) {
  switch (random() % 4) {
    case 0: return static_cast<float>(static_cast<int>(random() % 200) - 100);
    case 1: return static_cast<float>(random() % 4000) / 64.0f;
    case 2: return std::uniform_real_distribution<float>(-1e6f, 1e6f)(random);
    default: {
      const std::uint32_t bits = random();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return std::isfinite(value) ? value : 1.0f;  // any finite 32-bit value, subnormals included
    }
  }
}

TOrrindelMap RandomMap(std::mt19937& random) {
  TOrrindelMap map;
  map.MapVersion = RandomFloat(random);
  map.MapName = RandomText(random, 255);
  map.MapIdCode = RandomText(random, 40);
  // Some maps taller than the loader's block of rows, so that storing crosses blocks.
  const auto height = static_cast<std::int32_t>(random() % 4 == 0 ? 15 + random() % 30 : random() % 13);
  map.MapSize = {static_cast<std::int32_t>(random() % 13), height};
  map.TerrainGrid.SetSize(map.MapSize.X, map.MapSize.Y);
  map.DecorationGrid.SetSize(map.MapSize.X, map.MapSize.Y);
  map.HeightMap.SetSize(map.MapSize.X, map.MapSize.Y);
  auto tile = [&] {
    return static_cast<std::uint16_t>(random() % 8 == 0 ? 65536 - 1 - random() % 99 : random() % 1000);
  };
  for (std::size_t x = 0; x < map.TerrainGrid.size(); ++x)
    for (std::size_t y = 0; y < map.TerrainGrid[x].size(); ++y) {
      map.TerrainGrid[x][y] = {tile(), static_cast<std::uint8_t>(random() % 10)};
      map.DecorationGrid[x][y] = {tile(), static_cast<std::uint8_t>(random() % 10)};
      map.HeightMap[x][y] = static_cast<THeightMapCell>(random() % 10);
    }
  map.EntitySpawns.resize(random() % 20);
  map.EntityCount = static_cast<std::uint16_t>(map.EntitySpawns.size());
  for (auto& e : map.EntitySpawns) {
    e.Position.X = RandomFloat(random);
    e.Position.Y = RandomFloat(random);
    e.Kind = static_cast<std::uint16_t>(random() % 3 ? random() % 8 : random());
    e.Index = static_cast<std::uint16_t>(random() % 3 ? random() % 10 : random());
    e.Param1 = RandomText(random, 6);
    e.Param2 = RandomText(random, 40);
  }
  return map;
}

class MapFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("orr_writer_" + std::to_string(::getpid()) + ".orx")).string();
  }
  void TearDown() override {
    fs::remove(path_);
    ResetGameMap();
    ResetEventLog();
  }
  TMapLoadResult Load(const std::string& content) {
    std::ofstream(path_, std::ios::binary) << content;
    ResetEventLog();
    return LoadMap(path_);
  }
  std::string path_;
};

// Random maps survive encode -> load -> encode (another seed and wrap) -> load unchanged, and
// no written byte is one the text reader would take for a line break or an end of file.
TEST_F(MapFileWriterTest, RandomMapsRoundTripThroughEncodeAndLoad) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 150; ++round) {
    const TOrrindelMap original = RandomMap(random);
    TMapWriteOptions first{static_cast<std::uint32_t>(random()),
                           static_cast<int>(random() % 3 ? 0 : 1 + random() % 40),
                           random() % 2 == 0,
                           {}};
    const std::string content = EncodeMapFile(original, first);
    if (first.Wrap == 0) {
      for (char c : content) ASSERT_TRUE(c != '\n' && c != '\r' && c != '\x1A') << "round " << round;
    }
    ASSERT_EQ(Load(content), TMapLoadResult::Loaded) << "round " << round;
    std::string difference;
    ASSERT_TRUE(SameMap(original, GameMap, difference)) << "round " << round << ": " << difference;

    TMapWriteOptions second{first.Seed + 1, static_cast<int>(1 + random() % 17), random() % 2 == 0, {}};
    const std::string again = EncodeMapFile(GameMap, second);
    if (original.MapName.size() > 8) {
      EXPECT_NE(again, content) << "seeds must change the bytes";
    }
    ResetGameMap();
    ASSERT_EQ(Load(again), TMapLoadResult::Loaded) << "round " << round;
    ASSERT_TRUE(SameMap(original, GameMap, difference)) << "round " << round << ": " << difference;
  }
}

TEST_F(MapFileWriterTest, StoredBytesAvoidLineBreaksEndOfFileAndTheSeparator) {
  TMapFileWriter writer(99);
  // Every character at every position of a long field, with every shift digit.
  std::string text;
  for (int i = 0; i < 94 * 5; ++i) text += static_cast<char>(33 + i % 94);
  for (int shift = 0; shift < 10; ++shift) {
    const std::string raw = writer.EncodeField(text, shift);
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x94 + shift);
    for (char c : raw.substr(1)) ASSERT_TRUE(c != '\n' && c != '\r' && c != '\x1A' && c != '\xFE');
    EXPECT_EQ(DecodeField(raw), text);
  }
}

TEST(MapFileWriter, RefusesWhatTheFormatCannotStore) {
  TOrrindelMap map;
  map.MapName = "Ok";
  struct TCase {
    const char* Expected;
    std::function<void(TOrrindelMap&)> Damage;
  };
  const std::vector<TCase> cases = {
      {"MapName: a blank at character 4", [](TOrrindelMap& m) { m.MapName = "Big Yard"; }},
      {"MapIdCode: byte 0xC3 at character 2", [](TOrrindelMap& m) { m.MapIdCode = "A\xC3\xA9"; }},
      {"MapName: longer than 255", [](TOrrindelMap& m) { m.MapName = std::string(256, 'n'); }},
      {"EntitySpawns[0].Param2: a blank",
       [](TOrrindelMap& m) {
         m.EntitySpawns.resize(1);
         m.EntitySpawns[0].Param2 = "0500 3012";
       }},
      {"EntitySpawns[0].Param1: byte 0x09",
       [](TOrrindelMap& m) {
         m.EntitySpawns.resize(1);
         m.EntitySpawns[0].Param1 = "\t";
       }},
      {"TerrainGrid[0][0]: TileNumber 1000",
       [](TOrrindelMap& m) {
         m.MapSize = {1, 1};
         m.TerrainGrid.SetSize(1, 1);
         m.DecorationGrid.SetSize(1, 1);
         m.HeightMap.SetSize(1, 1);
         m.TerrainGrid[0][0].TileNumber = 1000;
       }},
      {"HeightMap[0][0]: 10 is not one digit",
       [](TOrrindelMap& m) {
         m.MapSize = {1, 1};
         m.TerrainGrid.SetSize(1, 1);
         m.DecorationGrid.SetSize(1, 1);
         m.HeightMap.SetSize(1, 1);
         m.HeightMap[0][0] = 10;
       }},
      {"TerrainGrid: grid is 0 x 0, MapSize says 2 x 1",
       [](TOrrindelMap& m) {
         m.MapSize = {2, 1};
       }},
  };
  for (const TCase& c : cases) {
    TOrrindelMap damaged = map;
    c.Damage(damaged);
    try {
      EncodeMapFile(damaged);
      ADD_FAILURE() << "accepted: " << c.Expected;
    } catch (const EMapEncodeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Expected), std::string::npos) << e.what();
    }
  }
  TMapWriteOptions options;
  options.EntityCount = 2;
  EXPECT_THROW(EncodeMapFile(map, options), EMapEncodeError) << "EntityCount must match the records";
  options.EntityCount = 65536;
  EXPECT_NO_THROW(EncodeMapFile(map, options)) << "65536 is kept as 0";
}

}  // namespace
}  // namespace orr
