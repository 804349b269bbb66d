// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFiles.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "raster/TBitmap32.h"
#include "platform/Paths.h"

namespace orr::content {

namespace {

void MakeParent(const std::string& path) {
  std::filesystem::path parent = PathFromUtf8(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  MakeParent(path);
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("Cannot write " + path);
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBe32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

void SaveBmp(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels) {
  // Written by the game's own raster library, so the files are what it reads back.
  MakeParent(path);
  TBitmap32 bitmap;
  bitmap.Assign(TPicture{width, height, pixels});
  try {
    bitmap.SaveToFile(path);
  } catch (const EPictureError& e) {
    throw std::runtime_error("Cannot write " + path + ": " + e.what());
  }
}

void SavePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels,
             bool alpha) {
  // 8 bits per channel, filter 0 (none) on every row: small pictures, made once.
  const int channels = alpha ? 4 : 3;
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (width * channels + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
      if (alpha) raw.push_back(static_cast<std::uint8_t>(p >> 24));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    throw std::runtime_error("Cannot compress " + path);
  packed.resize(packedSize);

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBe32(header, static_cast<std::uint32_t>(width));
  PutBe32(header, static_cast<std::uint32_t>(height));
  // Depth 8, truecolour (6 with alpha, 2 without), deflate, no filter, no interlace.
  header.insert(header.end(), {8, static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  WriteAll(path, out);
}

}  // namespace orr::content
