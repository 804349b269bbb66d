// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace orr {
namespace {

namespace fs = std::filesystem;

TEST(UserStateFolder, PrefersAnAbsoluteXdgStateHomeElseTheHomeDefault) {
  struct TCase {
    const char* StateHome;
    const char* Home;
    const char* Want;
  } cases[] = {
      {"/var/s", "/home/p", "/var/s/orrindel/"},
      {"/var/s//", "/home/p", "/var/s/orrindel/"},
      {nullptr, "/home/p", "/home/p/.local/state/orrindel/"},
      {"", "/home/p/", "/home/p/.local/state/orrindel/"},
      {"state", "/home/p", "/home/p/.local/state/orrindel/"},  // relative: ignored
      {nullptr, "p", ""},
      {nullptr, nullptr, ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(UserStateFolder("orrindel", c.StateHome, c.Home), c.Want)
        << (c.StateHome ? c.StateHome : "(unset)") << " " << (c.Home ? c.Home : "(unset)");
}

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

TEST_F(FoldersTest, MissingFoldersAreMadeForTheUserAloneAndExistingOnesKept) {
  const mode_t old = umask(022);
  fs::create_directories(root_ / "home");
  fs::permissions(root_ / "home", fs::perms(0755));
  EXPECT_TRUE(CreateUserFolder((root_ / "home/.local/state/orrindel").string() + "/"));
  umask(old);
  for (const char* made : {"home/.local", "home/.local/state", "home/.local/state/orrindel"})
    EXPECT_EQ(fs::status(root_ / made).permissions(), fs::perms(0700)) << made;
  EXPECT_EQ(fs::status(root_ / "home").permissions(), fs::perms(0755));
  EXPECT_TRUE(CreateUserFolder((root_ / "home/.local/state/orrindel").string()));
}

TEST_F(FoldersTest, AFileInThePathIsNoFolder) {
  std::ofstream(root_ / "state") << "not a folder";
  EXPECT_FALSE(CreateUserFolder((root_ / "state").string()));
  EXPECT_FALSE(CreateUserFolder((root_ / "state/orrindel/").string()));
}

TEST_F(FoldersTest, OnlyRefusedFoldersCountAsRefused) {
  EXPECT_FALSE(FolderRefusesWrites(root_.string()));
  // A missing folder is a failure of its own, reported by whoever writes there.
  EXPECT_FALSE(FolderRefusesWrites((root_ / "missing").string()));
  if (geteuid() != 0) {  // root may write anywhere
    fs::permissions(root_, fs::perms(0555));
    EXPECT_TRUE(FolderRefusesWrites(root_.string()));
    fs::permissions(root_, fs::perms(0755));
  }
}

}  // namespace
}  // namespace orr
