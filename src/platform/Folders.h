// SPDX-License-Identifier: GPL-3.0-or-later
// Where the game's programs find the game folder, and where an installed game keeps what
// it writes for the user.
#pragma once

#include <string>

namespace orr {

// The game folder that belongs to the program `executable`: <bin>/../game in a build tree,
// the installed game's folder (<prefix>/lib/games/orrindel for <prefix>/bin) when
// installed; empty when neither exists.
std::string GameFolderBeside(const std::string& executable);

// True when the system refuses the current user to create files in `folder` (no write
// permission, read-only file system). A folder that does not exist is not refused here:
// creating a file in it fails on its own, and its caller reports that.
bool FolderRefusesWrites(const std::string& folder);

// The user's state folder for `app` with one trailing '/': $XDG_STATE_HOME/app/, or
// $HOME/.local/state/app/ when XDG_STATE_HOME is unset, empty or not an absolute path.
// Empty when neither names an absolute folder. These two are the only environment
// variables the game reads, and only here. On Windows: %LOCALAPPDATA%\App\ (the name
// capitalised, as the game is titled), with one trailing '\'.
std::string UserStateFolder(const std::string& app);
// The same from the variables' values (nullptr for an unset variable).
std::string UserStateFolder(const std::string& app, const char* stateHome, const char* home);

// Creates `folder` and any missing parents with access for the user alone (0700), as
// the user's base folders are made. True when the folder exists afterwards.
bool CreateUserFolder(const std::string& folder);

}  // namespace orr
