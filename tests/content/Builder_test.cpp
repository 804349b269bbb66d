// SPDX-License-Identifier: GPL-3.0-or-later
// The content builder as the build runs it: reproducible output, and sources with a
// mistake stopping the build with a message that says where.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path Builder = ORR_CONTENT_BUILDER;
const fs::path Sources = ORR_CONTENT_SOURCES;

struct TRun {
  int Status = -1;
  std::string Output;  // stdout and stderr
};

TRun RunBuilder(const std::string& arguments) {
  std::string command = "\"" + Builder.string() + "\" " + arguments + " 2>&1";
  TRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
  int status = pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Builder : public ::testing::Test {
 protected:
  void SetUp() override {
    Scratch = fs::temp_directory_path() / ("orr-content-test-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Scratch);
    fs::create_directories(Scratch);
  }
  void TearDown() override { fs::remove_all(Scratch); }

  // A copy of the sources in which `file` has `from` replaced by `to`.
  fs::path Edited(const std::string& file, const std::string& from, const std::string& to) {
    fs::path copy = Scratch / "content";
    fs::copy(Sources, copy, fs::copy_options::recursive);
    std::string text = ReadAll(copy / file);
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    std::ofstream(copy / file, std::ios::binary | std::ios::trunc) << text;
    return copy;
  }

  fs::path Scratch;
};

}  // namespace

TEST_F(Builder, TwoRunsWriteTheSameBytes) {
  for (const char* name : {"a", "b"}) {
    TRun run = RunBuilder("--content \"" + Sources.string() + "\" --game \"" + (Scratch / name).string() +
                          "\" --map-json \"" + (Scratch / name / "map.json").string() + "\" --sheet \"" +
                          (Scratch / name / "sheet.png").string() + "\" --icons \"" +
                          (Scratch / name / "icons").string() + "\"");
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(run.Output, "");
  }
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Scratch / "a")) {
    if (!entry.is_regular_file()) continue;
    ++files;
    fs::path twin = Scratch / "b" / fs::relative(entry.path(), Scratch / "a");
    ASSERT_TRUE(fs::exists(twin)) << twin;
    EXPECT_TRUE(ReadAll(entry.path()) == ReadAll(twin)) << entry.path();
  }
  // atlases, status image, static sprites, frames, map, sheet, icons
  EXPECT_EQ(files, 2 + 1 + 9 + 16 * 11 + 2 + 8);
  EXPECT_EQ(ReadAll(Scratch / "a" / "sheet.png").substr(1, 3), "PNG");
}

TEST_F(Builder, MistakesInTheSourcesStopTheBuildAndSayWhere) {
  struct TCase {
    const char* File;
    const char* From;
    const char* To;
    const char* Message;
  };
  const TCase cases[] = {
      {"art/tiles.json", "\"#7d8590\"", "\"grey\"",
       "tiles.json: tile 0 floor: base: colour \"grey\" is not #rrggbb"},
      {"art/tiles.json", "\"treadplate\"", "\"marble\"", "unknown floor style \"marble\""},
      {"art/decorations.json", "\"style\": \"crack\"", "\"style\": \"graffiti\"",
       "unknown decoration style \"graffiti\""},
      {"art/sprites.json", "\"name\": \"Reaver\"", "\"name\": \"Raider\"",
       "creature 2: expected \"Reaver\" at this place"},
      {"art/sprites.json", "\"weapon\": 4", "\"weapon\": 9", "creature 4: weapon must be 0 to 8"},
      {"art/items.json", "\"file\": \"A_Glow.bmp\"", "\"file\": \"Glow.bmp\"",
       "glow 0: a glow's name must start with A_"},
      {"maps/Promo4.map", "npc 38 14 Reaver roam", "npc 38 14 Reaver hide",
       "Promo4.map:@: expected: npc X Y CREATURE look|roam|patrol ..."},
      {"maps/Promo4.map", "item 42 4 weapon 4 1", "item 0 0 weapon 4 1",
       "Promo4.map:@: item at 0,0 stands on a wall block"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Message);
    // "@" stands for the number of the edited line.
    std::string message = c.Message, text = ReadAll(Sources / c.File);
    size_t at = message.find('@');
    if (at != std::string::npos) {
      size_t offset = text.find(c.From);
      ASSERT_NE(offset, std::string::npos);
      int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
      message.replace(at, 1, std::to_string(line));
    }
    fs::path sources = Edited(c.File, c.From, c.To);
    TRun run =
        RunBuilder("--content \"" + sources.string() + "\" --game \"" + (Scratch / "game").string() + "\"");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find(message), std::string::npos) << run.Output;
    fs::remove_all(Scratch / "content");
  }
}

TEST_F(Builder, CommandLineMistakesAreRefused) {
  EXPECT_EQ(RunBuilder("--help").Status, 0);
  TRun missing = RunBuilder("--content \"" + Sources.string() + "\"");
  EXPECT_EQ(missing.Status, 2);
  EXPECT_NE(missing.Output.find("usage: orr-content"), std::string::npos);
  EXPECT_EQ(RunBuilder("--colour red").Status, 2);
  TRun noSources = RunBuilder("--content \"" + (Scratch / "nothing").string() + "\" --game \"" +
                              (Scratch / "game").string() + "\"");
  EXPECT_EQ(noSources.Status, 1);
  EXPECT_NE(noSources.Output.find("cannot read"), std::string::npos) << noSources.Output;
}
