#include "platform/FindFiles.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>

namespace orr {

namespace {

unsigned char Lower(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

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
  const size_t cut = mask.find_last_of('/');
  const std::string folder = cut == std::string::npos ? std::string(".") : mask.substr(0, cut + 1);
  const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  TStringList found;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name == "." || name == "..") continue;
    if (!MatchesMask(name, pattern)) continue;
    if (noDotNamesOnly && name.find('.') != std::string::npos) continue;
    found.push_back(name);
  }
  closedir(dir);
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
