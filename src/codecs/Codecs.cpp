// SPDX-License-Identifier: GPL-3.0-or-later
#include "codecs/Codecs.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "codecs/CodecsLocal.h"
#include "platform/Paths.h"

namespace orr {

namespace codecs {

void Fail(const char* format, const std::string& what) {
  throw EPictureError(std::string(format) + ": " + what);
}

void CheckPictureSize(const char* format, std::int64_t width, std::int64_t height,
                      const TDecodeLimits& limits) {
  std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width <= 0 || height <= 0) Fail(format, "invalid picture size " + size);
  if (width > limits.MaxSide || height > limits.MaxSide)
    Fail(format, "picture size " + size + " exceeds the limit of " + std::to_string(limits.MaxSide) +
                     " pixels per side");
  if (width * height > limits.MaxPixels)
    Fail(format,
         "picture size " + size + " exceeds the limit of " + std::to_string(limits.MaxPixels) + " pixels");
}

}  // namespace codecs

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct TRegistry {
  std::mutex Lock;
  std::map<std::string, TPictureDecoder> Decoders;
  TRegistry() {
    for (const char* ext : {"bmp", "dib"}) Decoders[ext] = &DecodeBmp;
    for (const char* ext : {"jpg", "jpeg", "jpe", "jfif"}) Decoders[ext] = &DecodeJpeg;
    Decoders["gif"] = &DecodeGif;
  }
};

// Built on first use, so the built-in formats are there whatever the link order.
TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

}  // namespace

void RegisterPictureFormat(const std::string& extension, TPictureDecoder decoder) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  registry.Decoders[Lower(extension)] = decoder;
}

TPictureDecoder FindPictureFormat(const std::string& extension) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  auto found = registry.Decoders.find(Lower(extension));
  return found == registry.Decoders.end() ? nullptr : found->second;
}

std::string PictureExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

TPicture DecodePicture(const std::string& extension, const std::uint8_t* data, std::size_t size,
                       const TDecodeLimits& limits) {
  TPictureDecoder decoder = FindPictureFormat(extension);
  if (decoder == nullptr) throw EPictureError("Unknown picture format: ." + Lower(extension));
  return decoder(data, size, limits);
}

TPicture LoadPictureFromFile(const std::string& path, const TDecodeLimits& limits) {
  std::string extension = PictureExtension(path);
  // Refuse an unknown format before reading what may be a large file.
  if (FindPictureFormat(extension) == nullptr)
    throw EPictureError("Unknown picture format: ." + extension + " (" + path + ")");
  std::error_code error;
  // Only a regular file has an end to read to: a folder, a device or a named pipe (whose
  // opening would wait for a writer) is refused before it is opened.
  const auto status = std::filesystem::status(PathFromUtf8(path), error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    throw EPictureError("Cannot read picture file: " + path);
  std::ifstream file(PathFromUtf8(path), std::ios::binary | std::ios::ate);
  if (!file) throw EPictureError("Cannot open picture file: " + path);
  // No picture within the limits needs more than four bytes a pixel plus its headers.
  const std::streamoff length = file.tellg();
  const std::int64_t largest = limits.MaxPixels * 4 + (std::int64_t(1) << 24);
  if (length < 0) throw EPictureError("Cannot read picture file: " + path);
  if (length > largest)
    throw EPictureError("Picture file is too large (" + std::to_string(length) + " bytes): " + path);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), length))
    throw EPictureError("Cannot read picture file: " + path);
  try {
    return DecodePicture(extension, bytes.data(), bytes.size(), limits);
  } catch (const EPictureError& error) {
    throw EPictureError(std::string(error.what()) + " (" + path + ")");
  }
}

void SaveBmp32ToFile(const TPicture& picture, const std::string& path) {
  std::vector<std::uint8_t> bytes = EncodeBmp32(picture);
  std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  if (!file) throw EPictureError("Cannot write picture file: " + path);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw EPictureError("Cannot write picture file: " + path);
}

}  // namespace orr
