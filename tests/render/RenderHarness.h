// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the render tests: a scratch game folder, pictures written into it,
// and the log without its time stamps.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/Codecs.h"
#include "core/UMainModule.h"
#include "platform/Classes.h"

namespace orr::test {

namespace fs = std::filesystem;

// A fresh folder used as WorkFolder while the object lives.
class TScratchGame {
 public:
  explicit TScratchGame(const std::string& tag) {
    Folder = fs::temp_directory_path() / ("orr_render_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    ResetEventLog();
    WorkFolder = Folder.string() + "/";
  }
  ~TScratchGame() {
    std::error_code ignored;
    fs::remove_all(Folder, ignored);
    ResetEventLog();
  }
  // Writes a picture of `width` x `height` whose pixel (x, y) is `color(x, y)`.
  template <class F>
  void Picture(const std::string& relative, int width, int height, F color) const {
    TPicture picture;
    picture.Width = width;
    picture.Height = height;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) picture.Pixels.push_back(color(x, y));
    fs::create_directories((Folder / relative).parent_path());
    SaveBmp32ToFile(picture, (Folder / relative).string());
  }
  void Plain(const std::string& relative, int width, int height, TColor32 color) const {
    Picture(relative, width, height, [color](int, int) { return color; });
  }
  void Text(const std::string& relative, const std::string& content) const {
    fs::create_directories((Folder / relative).parent_path());
    std::ofstream(Folder / relative, std::ios::binary) << content;
  }
  fs::path Folder;
};

// EventLog without the "[HH:MM:SS]" prefixes.
inline std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  for (const auto& line : EventLog) {
    auto close = line.find(']');
    lines.push_back(close == std::string::npos ? line : line.substr(close + 1));
  }
  return lines;
}

// Creates a data module the way start-up does (creation handler after construction) and
// destroys it the way shutdown does.
class TModuleHost {
 public:
  template <class T, class... Args>
  T* Create(T*& reference, Args&&... args) {
    reference = TComponent::Create<T>(&root_, std::forward<Args>(args)...);
    reference->AfterConstruction();
    return reference;
  }
  template <class T>
  void Free(T*& reference) {
    root_.FreeComponent(reference);
    reference = nullptr;
  }
  TComponent& Root() { return root_; }

 private:
  TComponent root_{nullptr};
};

}  // namespace orr::test
