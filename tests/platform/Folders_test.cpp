#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace orr {
namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("orr_folders_" + std::to_string(::getpid()));
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(FoldersTest, ToolsFindTheBuildTreesGameFolderElseTheInstalledOne) {
  const fs::path build = root_ / "build", prefix = root_ / "usr";
  fs::create_directories(build / "bin");
  fs::create_directories(prefix / "bin");
  EXPECT_EQ(GameFolderBeside((build / "bin/orx").string()), "");
  fs::create_directories(prefix / "lib/games/orrindel");
  EXPECT_EQ(GameFolderBeside((prefix / "bin/orx").string()), (prefix / "lib/games/orrindel").string());
  fs::create_directories(build / "game");
  fs::create_directories(build / "lib/games/orrindel");
  EXPECT_EQ(GameFolderBeside((build / "bin/orrindel-sim").string()), (build / "game").string());
}

}  // namespace
}  // namespace orr
