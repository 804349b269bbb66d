// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FindFiles.h"

#ifndef _WIN32
#include <dirent.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/Paths.h"

namespace orr {

namespace {

unsigned char Lower(char c) {
  return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

// Classic wildcard match with back-tracking on the last '*'.
bool WildcardMatch(const std::string& name, const std::string& pattern) {
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& pattern) {
  // Folder masks treat "*.*" as "everything", names without an extension included.
  if (pattern == "*.*" || pattern == "*") return true;
  return WildcardMatch(name, pattern);
}

void FindFiles(const std::string& mask, TStringList& list, bool noDotNamesOnly) {
  const size_t cut = LastPathSeparator(mask);
  const std::string folder = cut == std::string::npos ? std::string(".") : mask.substr(0, cut + 1);
  const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
  TStringList found;
  const auto take = [&](const std::string& name) {
    if (name.empty() || name == "." || name == "..") return;
    if (!MatchesMask(name, pattern)) return;
    if (noDotNamesOnly && name.find('.') != std::string::npos) return;
    found.push_back(name);
  };
#ifdef _WIN32
  std::error_code error;
  for (std::filesystem::directory_iterator entries(PathFromUtf8(folder), error), end;
       !error && entries != end; entries.increment(error))
    take(Utf8FromPath(entries->path().filename()));
#else
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) take(entry->d_name);
  closedir(dir);
#endif
  std::sort(found.begin(), found.end());
  list.insert(list.end(), found.begin(), found.end());
}

int IndexOfName(const TStringList& list, const std::string& name) {
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& item = list[i];
    if (item.size() != name.size()) continue;
    if (std::equal(item.begin(), item.end(), name.begin(),
                   [](char a, char b) { return Lower(a) == Lower(b); }))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace orr
