#include "platform/Folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace orr {

namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string WithSeparator(std::string folder) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/";
}

bool IsFolder(const std::string& path) {
  struct stat s {};
  return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

}  // namespace

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

bool FolderRefusesWrites(const std::string& folder) {
  if (access(folder.c_str(), W_OK) == 0) return false;
  return errno == EACCES || errno == EROFS || errno == EPERM;
}

std::string UserStateFolder(const std::string& app, const char* stateHome, const char* home) {
  if (IsAbsolute(stateHome)) return WithSeparator(stateHome) + app + "/";
  if (IsAbsolute(home)) return WithSeparator(home) + ".local/state/" + app + "/";
  return {};
}

std::string UserStateFolder(const std::string& app) {
  return UserStateFolder(app, std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

bool CreateUserFolder(const std::string& folder) {
  for (size_t end = folder.find('/', 1); end != std::string::npos; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsFolder(folder);
}

}  // namespace orr
