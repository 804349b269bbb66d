// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/UMainModule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Application.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class SaveLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("orr_savelog_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    auto backend = std::make_unique<THeadlessBackend>();
    backend->MessageBoxResponder = [this](const std::string&, const std::string& text, TMsgBoxKind kind) {
      boxes_.push_back(text);
      EXPECT_EQ(kind, TMsgBoxKind::Plain);
      return TModalResult::Ok;
    };
    app_ = std::make_unique<TApplication>(std::move(backend));
    ResetEventLog();
  }
  void TearDown() override {
    app_.reset();
    ResetEventLog();
    fs::remove_all(folder_);
  }
  fs::path folder_;
  std::vector<std::string> boxes_;
  std::unique_ptr<TApplication> app_;
};

TEST_F(SaveLogTest, WritesEveryLineWithCrLfAndRewritesTheWholeFile) {
  WorkFolder = folder_.string() + "/";
  EventLog = {"[10:00:00]one", "[10:00:01]two"};
  EXPECT_TRUE(SaveLog());
  EXPECT_EQ(ReadFile(folder_ / "log.txt"), "[10:00:00]one\r\n[10:00:01]two\r\n");
  EventLog = {"[10:00:02]three"};
  EXPECT_TRUE(SaveLog());
  EXPECT_EQ(ReadFile(folder_ / "log.txt"), "[10:00:02]three\r\n");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(SaveLogTest, UnwritableFolderShowsTheDialogAndLosesNothing) {
  // A folder whose log.txt is a directory cannot take the file, even for root.
  fs::path blocked = folder_ / "blocked";
  fs::create_directories(blocked / "log.txt");
  WorkFolder = blocked.string() + "/";
  LogEvent("first");
  EXPECT_FALSE(SaveLog());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Error when saving file " + WorkFolder +
                           "log.txt. The drive/folder is possibly protected or in read-only mode.");
  LogEvent("second");
  EXPECT_EQ(EventLog.size(), 2u);
  // Once the folder can be written, the next save holds every line.
  fs::remove_all(blocked / "log.txt");
  EXPECT_TRUE(SaveLog());
  std::string text = ReadFile(blocked / "log.txt");
  EXPECT_NE(text.find("]first\r\n"), std::string::npos);
  EXPECT_NE(text.find("]second\r\n"), std::string::npos);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(SaveLogTest, TheDialogNamesADeepWorkFolderInFull) {
  // Longer than any fixed text buffer a message would be built in; it cannot be opened.
  WorkFolder = folder_.string() + "/missing/" + std::string(1500, 'd') + "/";
  LogEvent("line");
  EXPECT_FALSE(SaveLog());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Error when saving file " + WorkFolder +
                           "log.txt. The drive/folder is possibly protected or in read-only mode.");
}

TEST(LogEvent, FormatsTimeInBracketsDirectlyBeforeTheMessage) {
  ResetEventLog();
  LogEvent("Exception hook set");
  ASSERT_EQ(EventLog.size(), 1u);
#ifdef _WIN32
  // GoogleTest's own regular expressions on Windows know no bracket sets.
  EXPECT_THAT(EventLog[0], ::testing::MatchesRegex("\\[\\d\\d:\\d\\d:\\d\\d\\]Exception hook set"));
#else
  EXPECT_THAT(EventLog[0],
              ::testing::MatchesRegex("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\]Exception hook set"));
#endif
  ResetEventLog();
}

TEST(WorkFolder, IsTheFolderWithExactlyOneTrailingSeparator) {
#ifdef _WIN32
  EXPECT_EQ(FolderWithSeparator("C:\\Games\\Orrindel\\orrindel.exe"), "C:\\Games\\Orrindel\\");
  EXPECT_EQ(FolderWithSeparator("C:\\Games\\Orrindel\\\\orrindel.exe"), "C:\\Games\\Orrindel\\");
  EXPECT_EQ(FolderWithSeparator("C:\\Games/Orrindel/orrindel.exe"), "C:\\Games/Orrindel\\");
#else
  EXPECT_EQ(FolderWithSeparator("/opt/orrindel/orrindel"), "/opt/orrindel/");
  EXPECT_EQ(FolderWithSeparator("/opt/orrindel//orrindel"), "/opt/orrindel/");
  // The root keeps a single separator: files named on it still name files in the root.
  EXPECT_EQ(FolderWithSeparator("/orrindel"), "/");
#endif
}

}  // namespace
}  // namespace orr
