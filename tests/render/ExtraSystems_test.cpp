#include "render/ExtraSystems.h"

#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "render/PixelCombines.h"

namespace orr::test {
namespace {

TEST(FindFiles, ListsMatchingNamesSortedAndAppendsToTheList) {
  TScratchGame game("find");
  for (const char* name : {"b.bmp", "A.BMP", "c.txt", "notes", "Zed.bmp"}) game.Text(std::string("f/") + name, "x");
  fs::create_directories(game.Folder / "f" / "Sub");
  TStringList list{"kept"};
  FindFiles(WorkFolder + "f/*.bmp", list, false);
  // Byte order: capitals first; the extension is matched without regard to case.
  EXPECT_EQ(list, (TStringList{"kept", "A.BMP", "Zed.bmp", "b.bmp"}));
}

TEST(FindFiles, NoDotNamesOnlyKeepsFoldersAndNamesWithoutExtension) {
  TScratchGame game("find_dirs");
  fs::create_directories(game.Folder / "a" / "PL1");
  fs::create_directories(game.Folder / "a" / "NPC1");
  fs::create_directories(game.Folder / "a" / "with.dot");
  game.Text("a/notes.txt", "x");
  game.Text("a/README", "x");
  TStringList list;
  FindFiles(WorkFolder + "a/*.*", list, true);
  EXPECT_EQ(list, (TStringList{"NPC1", "PL1", "README"}));
  TStringList all;
  FindFiles(WorkFolder + "a/*.*", all, false);
  EXPECT_EQ(all.size(), 5u);
}

TEST(FindFiles, MissingFolderOrNoMatchLeavesTheListAlone) {
  TScratchGame game("find_none");
  game.Text("x/one.txt", "x");
  TStringList list{"a"};
  FindFiles(WorkFolder + "missing/*.bmp", list, false);
  FindFiles(WorkFolder + "x/*.bmp", list, false);
  EXPECT_EQ(list, TStringList{"a"});
}

TEST(FindFiles, MaskWildcards) {
  struct TCase {
    const char* Name;
    const char* Pattern;
    bool Matches;
  };
  const TCase cases[] = {
      {"Walk_a.bmp", "*.bmp", true},   {"walk.BMP", "*.bmp", true},   {"walk.bmpx", "*.bmp", false},
      {"walk.bm", "*.bmp", false},     {"README", "*.*", true},       {"a.b.c", "*.c", true},
      {"abc", "a?c", true},            {"ac", "a?c", false},          {"Hud Sketch #1.bmp", "*.bmp", true},
      {"x", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.Name, c.Pattern), c.Matches) << c.Name << " ~ " << c.Pattern;
}

TEST(Utilities, ClampsTestTheLowerBoundFirst) {
  EXPECT_EQ(ClampInt(-5, 0, 9), 0);
  EXPECT_EQ(ClampInt(12, 0, 9), 9);
  EXPECT_EQ(ClampInt(4, 0, 9), 4);
  EXPECT_EQ(ClampInt(5, 7, 3), 7);   // an empty range: below lo wins
  EXPECT_EQ(ClampInt(8, 7, 3), 3);   // otherwise above hi gives hi
  EXPECT_EQ(ClampFloat(5.0L, 7, 3), 7);
  EXPECT_EQ(ClampFloat(8.0L, 7, 3), 3);
  EXPECT_EQ(ClampFloat(7.25L, 7, 23), 7.25L);
}

TEST(Utilities, RectanglesAndPoints) {
  const TRect r = RectFromSize(2, 3, 10, 20);
  EXPECT_EQ(r.Left, 2);
  EXPECT_EQ(r.Top, 3);
  EXPECT_EQ(r.Right, 12);
  EXPECT_EQ(r.Bottom, 23);
  struct TCase {
    TPoint P;
    bool Inclusive, Expected;
  };
  const TCase cases[] = {{{2, 3}, true, true},   {{2, 3}, false, false}, {{12, 23}, true, true},
                         {{12, 23}, false, false}, {{5, 5}, false, true}, {{13, 5}, true, false},
                         {{5, 2}, true, false}};
  for (const auto& c : cases)
    EXPECT_EQ(PointInRect(c.P, r, c.Inclusive), c.Expected) << c.P.X << "," << c.P.Y << " " << c.Inclusive;
  EXPECT_TRUE(PointsEqual({1, 2}, {1, 2}));
  EXPECT_FALSE(PointsEqual({1, 2}, {2, 1}));
}

TEST(ColorKeyCombine, KeepsTheDestinationOnlyForTheExactKey) {
  struct TCase {
    TColor32 Source, Expected;
  };
  const TCase cases[] = {{0xFFFF0080, 0x12345678}, {0x00FF0080, 0x00FF0080}, {0xFFFF0081, 0xFFFF0081},
                         {0xFF000000, 0xFF000000}};
  for (const auto& c : cases) {
    TColor32 destination = 0x12345678;
    ColorKeyCombine(c.Source, destination, 255);
    EXPECT_EQ(destination, c.Expected) << std::hex << c.Source;
  }
  EXPECT_EQ(ColorKey, 0xFFFF0080u);
}

}  // namespace
}  // namespace orr::test
