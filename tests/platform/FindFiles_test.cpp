// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FindFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace orr {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the temporary folder, removed afterwards.
struct TScratchFolder {
  explicit TScratchFolder(const std::string& tag)
      : Folder(fs::temp_directory_path() / ("orr_platform_" + tag + "_" + std::to_string(::getpid()))) {
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }
  ~TScratchFolder() {
    std::error_code ignored;
    fs::remove_all(Folder, ignored);
  }
  std::string Path() const { return Folder.string() + "/"; }
  void Text(const std::string& relative, const std::string& content) const {
    fs::create_directories((Folder / relative).parent_path());
    std::ofstream(Folder / relative, std::ios::binary) << content;
  }
  fs::path Folder;
};

TEST(FindFiles, ListsMatchingNamesSortedAndAppendsToTheList) {
  TScratchFolder game("find");
  for (const char* name : {"b.bmp", "A.BMP", "c.txt", "notes", "Zed.bmp"})
    game.Text(std::string("f/") + name, "x");
  fs::create_directories(game.Folder / "f" / "Sub");
  TStringList list{"kept"};
  FindFiles(game.Path() + "f/*.bmp", list, false);
  // Byte order: capitals first; the extension is matched without regard to case.
  EXPECT_EQ(list, (TStringList{"kept", "A.BMP", "Zed.bmp", "b.bmp"}));
}

TEST(FindFiles, NoDotNamesOnlyKeepsFoldersAndNamesWithoutExtension) {
  TScratchFolder game("find_dirs");
  fs::create_directories(game.Folder / "a" / "PL1");
  fs::create_directories(game.Folder / "a" / "NPC1");
  fs::create_directories(game.Folder / "a" / "with.dot");
  game.Text("a/notes.txt", "x");
  game.Text("a/README", "x");
  TStringList list;
  FindFiles(game.Path() + "a/*.*", list, true);
  EXPECT_EQ(list, (TStringList{"NPC1", "PL1", "README"}));
  TStringList all;
  FindFiles(game.Path() + "a/*.*", all, false);
  EXPECT_EQ(all.size(), 5u);
}

TEST(FindFiles, MissingFolderOrNoMatchLeavesTheListAlone) {
  TScratchFolder game("find_none");
  game.Text("x/one.txt", "x");
  TStringList list{"a"};
  FindFiles(game.Path() + "missing/*.bmp", list, false);
  FindFiles(game.Path() + "x/*.bmp", list, false);
  EXPECT_EQ(list, TStringList{"a"});
}

TEST(FindFiles, MaskWildcards) {
  struct TCase {
    const char* Name;
    const char* Pattern;
    bool Matches;
  };
  const TCase cases[] = {
      {"Walk_a.bmp", "*.bmp", true},
      {"walk.BMP", "*.bmp", true},
      {"walk.bmpx", "*.bmp", false},
      {"walk.bm", "*.bmp", false},
      {"README", "*.*", true},
      {"a.b.c", "*.c", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"Hud Sketch #1.bmp", "*.bmp", true},
      {"x", "", false},
      {"walk", "walk*", true},
      {"walk", "w*k**", true},
      {"", "*", true},
      {"", "", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesMask(c.Name, c.Pattern), c.Matches) << c.Name << " ~ " << c.Pattern;
}

TEST(FindFiles, NamesAreLookedUpWithoutRegardToCase) {
  const TStringList names = {"Med_1.bmp", "PL001", "pl001"};
  const std::pair<const char*, int> cases[] = {
      {"med_1.BMP", 0}, {"pl001", 1}, {"PL00", -1}, {"Med_1.bmpx", -1}};
  for (auto [name, index] : cases) EXPECT_EQ(IndexOfName(names, name), index) << name;
}

}  // namespace
}  // namespace orr
