// SPDX-License-Identifier: GPL-3.0-or-later
// Virtual-key codes, the numbering the game's key fields use.
#pragma once

#include <bitset>

// Windows' headers name the same codes as macros: they are included first here, so that
// no later inclusion brings the macros back, and the macros give way to the constants.
#ifdef _WIN32
#include <windows.h>
#undef VK_RETURN
#undef VK_ESCAPE
#undef VK_SPACE
#undef VK_LEFT
#undef VK_UP
#undef VK_RIGHT
#undef VK_DOWN
#undef VK_F1
#undef VK_F23
#undef VK_F24
#endif

namespace orr {

// Which keys are held, by virtual-key code (0..255).
using TKeyStates = std::bitset<256>;

constexpr int VK_RETURN = 13;
constexpr int VK_ESCAPE = 27;
constexpr int VK_SPACE = 32;
constexpr int VK_LEFT = 37;
constexpr int VK_UP = 38;
constexpr int VK_RIGHT = 39;
constexpr int VK_DOWN = 40;
constexpr int VK_F1 = 112;
constexpr int VK_F23 = 134;
constexpr int VK_F24 = 135;

}  // namespace orr
