// SPDX-License-Identifier: GPL-3.0-or-later
// The encodings of a Tiled tile layer's data: base64 and the three compressions the editor
// writes. Decoding is bounded by the size the layer must have, so a small file can never
// unpack into more memory than its map needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orr::tiled {

// Data that does not decode; the message says why, the caller adds where.
struct EDataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class TCompression { None, Zlib, Gzip, Zstd };

std::string Base64Encode(std::string_view bytes);
// Blanks and line breaks are skipped (the editor indents the data in TMX files); any other
// character outside the alphabet, or a wrong length, throws EDataError.
std::string Base64Decode(std::string_view text);

std::string Compress(std::string_view bytes, TCompression compression);
// Unpacks exactly `size` bytes: throws EDataError when the stream is damaged, ends early
// or holds more.
std::string Decompress(std::string_view packed, TCompression compression, std::size_t size);

}  // namespace orr::tiled
