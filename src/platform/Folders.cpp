// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Folders.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/Paths.h"

namespace orr {

namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string WithSeparator(std::string folder) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/";
}

#ifndef _WIN32
bool IsFolder(const std::string& path) {
  struct stat s {};
  return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}
#endif

}  // namespace

std::string GameFolderBeside(const std::string& executable) {
  namespace fs = std::filesystem;
  const fs::path bin = PathFromUtf8(executable).parent_path();
  // ORR_GAME_FOLDER_FROM_BIN: the installed game's folder relative to the tools' bin/.
  for (const fs::path& candidate : {bin / ".." / "game", bin / ORR_GAME_FOLDER_FROM_BIN}) {
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return Utf8FromPath(fs::weakly_canonical(candidate, ec));
  }
  return {};
}

#ifdef _WIN32
// Windows grants writes by the folder's access list, which no attribute shows: a file is
// made there and removed at once.
bool FolderRefusesWrites(const std::string& folder) {
  std::wstring probe = WideFromUtf8(folder);
  if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') probe += L'\\';
  probe += L"orrindel-write-probe.tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}
#else
bool FolderRefusesWrites(const std::string& folder) {
  if (access(folder.c_str(), W_OK) == 0) return false;
  return errno == EACCES || errno == EROFS || errno == EPERM;
}
#endif

std::string UserStateFolder(const std::string& app, const char* stateHome, const char* home) {
  if (IsAbsolute(stateHome)) return WithSeparator(stateHome) + app + "/";
  if (IsAbsolute(home)) return WithSeparator(home) + ".local/state/" + app + "/";
  return {};
}

#ifdef _WIN32
// %LOCALAPPDATA%\Orrindel\: the folder is named as the game is titled.
std::string UserStateFolder(const std::string& app) {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == 0) return {};
  std::string folder = Utf8FromWide(local);
  while (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
  std::string name = app;
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  return folder + "\\" + name + "\\";
}

bool CreateUserFolder(const std::string& folder) {
  // Every folder from the first below the drive (or the share) on.
  std::size_t start =
      folder.find_first_of("/\\", folder.rfind(':') == std::string::npos ? 1 : folder.rfind(':') + 2);
  for (std::size_t end = start; end != std::string::npos; end = folder.find_first_of("/\\", end + 1)) {
    CreateDirectoryW(WideFromUtf8(folder.substr(0, end)).c_str(), nullptr);
  }
  CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#else
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
#endif

}  // namespace orr
