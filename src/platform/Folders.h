// Where the game's programs find the game folder.
#pragma once

#include <string>

namespace orr {

// The game folder that belongs to the program `executable`: <bin>/../game in a build tree,
// the installed game's folder (<prefix>/lib/games/orrindel for <prefix>/bin) when
// installed; empty when neither exists.
std::string GameFolderBeside(const std::string& executable);

}  // namespace orr
