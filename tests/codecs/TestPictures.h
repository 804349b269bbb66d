// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the golden files of the codec tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/Codecs.h"

namespace orr::test {

inline std::string DataPath(const std::string& name) { return ORR_TEST_DATA "/" + name; }

inline std::vector<std::uint8_t> ReadBytes(const std::string& name) {
  std::ifstream file(DataPath(name), std::ios::binary);
  EXPECT_TRUE(file.good()) << "missing test file " << name;
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// "width height" then rows of hexadecimal 0xAARRGGBB, top row first.
inline TPicture ReadReference(const std::string& name) {
  std::ifstream file(DataPath(name));
  EXPECT_TRUE(file.good()) << "missing reference " << name;
  TPicture picture;
  file >> picture.Width >> picture.Height;
  std::string value;
  while (file >> value) picture.Pixels.push_back(static_cast<TColor32>(std::stoul(value, nullptr, 16)));
  EXPECT_EQ(picture.Pixels.size(), size_t(picture.Width) * picture.Height) << name;
  return picture;
}

// Empty when every channel of every pixel is within `tolerance`; else the first mismatch.
inline std::string Compare(const TPicture& got, const TPicture& want, int tolerance) {
  if (got.Width != want.Width || got.Height != want.Height || got.Pixels.size() != want.Pixels.size())
    return "size " + std::to_string(got.Width) + "x" + std::to_string(got.Height) + ", want " +
           std::to_string(want.Width) + "x" + std::to_string(want.Height);
  for (size_t i = 0; i < want.Pixels.size(); ++i)
    for (int shift = 0; shift < 32; shift += 8) {
      int a = (got.Pixels[i] >> shift) & 255, b = (want.Pixels[i] >> shift) & 255;
      if (std::abs(a - b) > tolerance) {
        std::ostringstream text;
        text << "pixel (" << i % want.Width << ", " << i / want.Width << ") is " << std::hex << got.Pixels[i]
             << ", want " << want.Pixels[i];
        return text.str();
      }
    }
  return "";
}

// Decodes a copy of exactly `length` bytes, so a read past them trips AddressSanitizer.
inline TPicture DecodePrefix(TPictureDecoder decoder, const std::vector<std::uint8_t>& bytes, size_t length,
                             const TDecodeLimits& limits = {}) {
  std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + length);
  prefix.shrink_to_fit();
  return decoder(prefix.data(), prefix.size(), limits);
}

}  // namespace orr::test
