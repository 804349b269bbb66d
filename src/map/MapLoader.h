// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an episode map file into GameMap.
//
// An episode map file is text cut into fields by the byte 0xFE; every field is stored with
// its own character shift (see DecodeField). docs/map-format.md describes the format.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "map/GameMap.h"

namespace orr {

// A field of the map file that cannot be read (no shift byte, a bad shift byte, a missing or
// short field, a size the file cannot hold).
struct EMapFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Input/output error raised when an existing map file cannot be opened for reading.
struct EInOutError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The largest map file the loader reads, in bytes (a 4096 x 4096 map needs about 170 MB).
// A larger file, or an endless one such as a device, is refused as Unreadable before it
// can exhaust memory.
extern std::size_t MapFileSizeLimit;

// What became of a map load. The numbers are orx's exit codes for the same outcomes.
enum class TMapLoadResult {
  Loaded = 0,
  Missing = 1,     // no such file
  Unreadable = 2,  // the content could not be read (GameMap keeps what was stored before)
};

// Loads the map file `path` into GameMap, logging every stage.
// Throws EInOutError when the file exists but cannot be opened. `failure`, when given,
// receives the reason for Missing or Unreadable (not logged: the log holds the fixed lines
// only; the tools print it).
TMapLoadResult LoadMap(const std::string& path, std::string* failure = nullptr);

// Takes the next field off `buffer`, which starts with one byte that is skipped (the
// file's first byte, afterwards the separator that ended the previous field): returns the
// decoded field and leaves `buffer` starting at the separator that ended it, or nullopt
// (buffer unchanged) when no further separator follows. Throws EMapFormatError when the
// raw field cannot be decoded.
std::optional<std::string> NextField(std::string_view& buffer);

// Decodes one raw field: a shift byte 0x94..0x9D giving the shift digit k, then stored
// bytes; the byte at raw position p (counted from 1, the shift byte being 1) decodes to
// WrapInRange(code - p - 50 - 2k, 33, 126). Throws EMapFormatError for an empty field or a
// bad shift byte.
std::string DecodeField(std::string_view raw);

}  // namespace orr
