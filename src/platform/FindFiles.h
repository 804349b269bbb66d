// SPDX-License-Identifier: GPL-3.0-or-later
// Folder listing by wildcard mask, and name look-ups in such listings.
#pragma once

#include <string>
#include <vector>

namespace orr {

// Names found in a folder, in listing order (positions index the matching asset arrays).
using TStringList = std::vector<std::string>;

// Appends to `list` the names of the folder entries matching `mask` (a folder path plus a
// wildcard file pattern with '*' and '?', matched without regard to letter case; "*.*"
// matches every name, with or without a dot). With noDotNamesOnly only names holding no
// '.' are appended (how sub-folders are told apart from files). "." and ".." are never
// listed. Entries come in ascending byte order of their names, so numbering never depends
// on the file system. A missing folder or no match leaves the list as it was; the list is
// never cleared first.
void FindFiles(const std::string& mask, TStringList& list, bool noDotNamesOnly);

// True when `name` matches the wildcard `pattern` the way folder masks do.
bool MatchesMask(const std::string& name, const std::string& pattern);

// Position of `name` in `list` compared without regard to letter case, or -1.
int IndexOfName(const TStringList& list, const std::string& name);

}  // namespace orr
