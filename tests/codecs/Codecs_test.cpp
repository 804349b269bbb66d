// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "codecs/Codecs.h"
#include "TestPictures.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

TEST(Codecs, ExtensionsAreTakenFromTheFileNameInLowerCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"Tiles/Terrain.BMP", "bmp"}, {"a.b/c.JpEg", "jpeg"}, {"noext", ""},
      {"dir.d/file", ""},           {"dir.d\\file", ""},    {"trailing.", ""},
      {"Hud Sketch #1.bmp", "bmp"}, {".gif", "gif"},
  };
  for (auto [path, extension] : cases) EXPECT_EQ(PictureExtension(path), extension) << path;
}

TEST(Codecs, BuiltInFormatsAreFoundInAnyCaseAndOthersAreNot) {
  EXPECT_EQ(FindPictureFormat("BMP"), &DecodeBmp);
  EXPECT_EQ(FindPictureFormat("dib"), &DecodeBmp);
  EXPECT_EQ(FindPictureFormat("Jpg"), &DecodeJpeg);
  EXPECT_EQ(FindPictureFormat("jpeg"), &DecodeJpeg);
  EXPECT_EQ(FindPictureFormat("gif"), &DecodeGif);
  EXPECT_EQ(FindPictureFormat("png"), nullptr);
  EXPECT_EQ(FindPictureFormat(""), nullptr);
}

TPicture OnePixel(const std::uint8_t*, std::size_t size, const TDecodeLimits&) {
  return TPicture{1, 1, {static_cast<TColor32>(size)}};
}

TEST(Codecs, RegisteredFormatDecodesByItsExtension) {
  RegisterPictureFormat("TesT", &OnePixel);
  const std::uint8_t bytes[3] = {};
  EXPECT_EQ(DecodePicture("test", bytes, 3).Pixels.at(0), 3u);
  EXPECT_EQ(FindPictureFormat("TEST"), &OnePixel);
}

class CodecsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("orr_codecs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  fs::path folder_;
};

TEST_F(CodecsFiles, FileIsDecodedByItsExtensionWhateverItsCase) {
  std::string path = Write("TILE.BMP", test::ReadBytes("bmp/rgb24.bmp"));
  TPicture picture = LoadPictureFromFile(path);
  EXPECT_EQ(test::Compare(picture, test::ReadReference("bmp/reference.txt"), 0), "");
}

TEST_F(CodecsFiles, FailuresNameTheFileAndWhatIsWrong) {
  const std::string missing = (folder_ / "missing.bmp").string();
  const std::string jpegNamedBmp = Write("photo.bmp", test::ReadBytes("codecs/q_baseline.jpg"));
  const std::string unknown = Write("notes.txt", {1, 2, 3});
  const std::string empty = Write("empty.gif", {});
  const std::string folder = (folder_ / "folder.bmp").string();
  fs::create_directories(folder);
#ifndef _WIN32
  const std::string pipe = (folder_ / "pipe.bmp").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // opening it would wait for a writer forever
#endif
  const std::pair<std::string, std::string> cases[] = {
      {missing, "Cannot open picture file: " + missing},
      {jpegNamedBmp, "BMP: not a bitmap file (no \"BM\" signature) (" + jpegNamedBmp + ")"},
      {unknown, "Unknown picture format: .txt (" + unknown + ")"},
      {empty, "GIF: file is too short for a GIF header (" + empty + ")"},
      {folder, "Cannot read picture file: " + folder},
#ifndef _WIN32
      {pipe, "Cannot read picture file: " + pipe},
#endif
  };
  for (const auto& [path, message] : cases) {
    try {
      LoadPictureFromFile(path);
      ADD_FAILURE() << "no exception for " << path;
    } catch (const EPictureError& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
}

TEST_F(CodecsFiles, SavedBmpLoadsBackExactly) {
  TPicture picture = test::ReadReference("bmp/reference_alpha.txt");
  std::string path = (folder_ / "saved.bmp").string();
  SaveBmp32ToFile(picture, path);
  EXPECT_EQ(test::Compare(LoadPictureFromFile(path), picture, 0), "");
  EXPECT_THROW(SaveBmp32ToFile(picture, (folder_ / "no" / "such" / "x.bmp").string()), EPictureError);
}

}  // namespace
}  // namespace orr
