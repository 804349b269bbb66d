#include "platform/Folders.h"

#include <filesystem>

namespace orr {

std::string GameFolderBeside(const std::string& executable) {
  namespace fs = std::filesystem;
  const fs::path bin = fs::path(executable).parent_path();
  // ORR_GAME_FOLDER_FROM_BIN: the installed game's folder relative to the tools' bin/.
  for (const fs::path& candidate : {bin / ".." / "game", bin / ORR_GAME_FOLDER_FROM_BIN}) {
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return fs::weakly_canonical(candidate, ec).string();
  }
  return {};
}

}  // namespace orr
