// SPDX-License-Identifier: GPL-3.0-or-later
// Writing finished pictures: BMP files for the game, PNG for the contact sheet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orr::content {

// Pixels are 0xAARRGGBB, top row first. Both throw std::runtime_error naming the path
// when the file cannot be written; folders are created as needed. A PNG keeps the alpha
// channel only when asked (icons); otherwise it is opaque RGB.
void SaveBmp(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels);
void SavePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels,
             bool alpha = false);

}  // namespace orr::content
