// SPDX-License-Identifier: GPL-3.0-or-later
// Writing episode map files: the inverse of the loader, used by the map tool, the tests and
// the benchmarks. A written file loads back to the same map.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "map/UMapModule.h"

namespace orr {

// A field whose text the format cannot store (only characters 33..126 survive decoding), or
// a value outside what its field can hold. The message names the field.
struct EMapEncodeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Builds the content of a map file field by field. Shift digits and the stored byte for
// each character are drawn from the seed, so different seeds give different files for the
// same map. Stored bytes are never 0x0A, 0x0D, 0x1A or 0xFE.
class TMapFileWriter {
 public:
  explicit TMapFileWriter(std::uint32_t seed);

  // Appends one field holding `text`; `name` only serves the error message.
  void Field(std::string_view text, const std::string& name);
  // Appends one field whose raw bytes are given as they are (tests: bad shift bytes, empty
  // fields). `raw` must not contain 0xFE.
  void RawField(std::string_view raw);
  // Appends raw bytes after the last separator (tests: trailing data).
  void Append(std::string_view bytes) { content_ += bytes; }
  // The file content; with `wrap` > 0 a line break (LF, or CR LF with `crlf`) follows every
  // `wrap` bytes, also inside fields.
  std::string Content(int wrap = 0, bool crlf = false) const;

  // The raw field (shift byte and stored bytes) for `text` with shift digit `shift`.
  std::string EncodeField(std::string_view text, int shift);

 private:
  std::mt19937 random_;
  std::string content_;
};

struct TMapWriteOptions {
  std::uint32_t Seed = 1;
  int Wrap = 0;  // bytes per line; 0 writes one line
  bool CrLf = false;
  // The EntityCount written into the header; by default the number of records. Must equal
  // it modulo 65536 (the loader keeps the count in 16 bits).
  std::optional<std::int64_t> EntityCount;
};

// The decimal text the loader reads back to exactly `value` (shortest form).
std::string SingleToText(float value);

// The whole file content for `map`. Throws EMapEncodeError when a text holds a character
// the format cannot store, a name is longer than 255 characters, a tile number is outside
// 0..999 (or -99..-1 stored as 65437..65535), a digit field is outside 0..9, or the grids
// do not match MapSize.
std::string EncodeMapFile(const TOrrindelMap& map, const TMapWriteOptions& options = {});

// Writes EncodeMapFile(map, options) to `path`; throws EInOutError when it cannot be written.
void WriteMapFile(const std::string& path, const TOrrindelMap& map, const TMapWriteOptions& options = {});

}  // namespace orr
