// SPDX-License-Identifier: GPL-3.0-or-later
// `orx render`: a map file drawn from above with the game's own pictures, by the same code
// that draws the episode on the content builder's contact sheet.
#pragma once

#include <filesystem>

#include "MapPicture.h"
#include "map/UMapModule.h"

namespace orr {

// The pictures under the game folder's Graphics/: floors from the terrain atlas,
// decorations, the creatures' idle frames and the item sprites, each cut out along its key
// pixel the way the game does (decorations the top-left, sprites the bottom-left). A
// missing file leaves its pictures out (the map then shows placeholders). Throws
// EPictureError when the terrain atlas cannot be read.
content::TMapPictureArt LoadGameArt(const std::filesystem::path& gameFolder);

// The map as DrawMapFromAbove sees it (routes parsed the way the game parses them).
content::TMapPictureInput MapPictureInput(const TOrrindelMap& map);

}  // namespace orr
