// SPDX-License-Identifier: GPL-3.0-or-later
// The map file loader: fields, their decoding, and LoadMap.
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/UMainModule.h"
#include "map/UMapModule.h"
#include "platform/Paths.h"

namespace orr {

// ---- Fields ---------------------------------------------------------------------------------

namespace {

constexpr unsigned char Separator = 0xFE;
constexpr int FirstShiftByte = 100 + '0';  // 0x94
constexpr int LastShiftByte = 100 + '9';   // 0x9D

// (i mod 94) for every i a stored byte plus an offset can reach (255 + 93).
constexpr std::array<unsigned char, 256 + 94> Mod94 = [] {
  std::array<unsigned char, 256 + 94> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<unsigned char>(i % 94);
  return table;
}();

// Decodes `raw` into `text` (reusing its storage).
void DecodeFieldInto(std::string_view raw, std::string& text) {
  if (raw.empty()) throw EMapFormatError("empty field (two separators in a row, no shift byte)");
  const int shiftByte = static_cast<unsigned char>(raw[0]);
  if (shiftByte < FirstShiftByte || shiftByte > LastShiftByte) {
    char message[64];
    std::snprintf(message, sizeof message, "bad shift byte 0x%02X (0x94..0x9D expected)", shiftByte);
    throw EMapFormatError(message);
  }
  const int shift = shiftByte - FirstShiftByte;
  // Decoded code = 33 + ((code - p - 50 - 2k - 33) mod 94); keep the offset
  // (-(p + 83 + 2k)) mod 94 and step it down as p grows.
  int offset = (94 * 4 - (2 + 83 + 2 * shift)) % 94;
  const std::size_t length = raw.size() - 1;
  text.resize(length);
  const auto* stored = reinterpret_cast<const unsigned char*>(raw.data()) + 1;
  char* out = text.data();
  for (std::size_t i = 0; i < length; ++i) {
    out[i] = static_cast<char>(33 + Mod94[stored[i] + offset]);
    offset = offset == 0 ? 93 : offset - 1;
  }
}

// Splits raw fields off the buffer: one leading byte, then fields each ended by 0xFE.
bool NextRawField(std::string_view& buffer, std::string_view& raw) {
  if (buffer.size() < 2) return false;
  const void* found = std::memchr(buffer.data() + 1, Separator, buffer.size() - 1);
  if (found == nullptr) return false;
  const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - buffer.data());
  raw = buffer.substr(1, at - 1);
  buffer.remove_prefix(at);
  return true;
}

}  // namespace

std::string DecodeField(std::string_view raw) {
  std::string text;
  DecodeFieldInto(raw, text);
  return text;
}

std::optional<std::string> NextField(std::string_view& buffer) {
  std::string_view rest = buffer, raw;
  if (!NextRawField(rest, raw)) return std::nullopt;
  std::string text = DecodeField(raw);
  buffer = rest;
  return text;
}

// ---- The loader -----------------------------------------------------------------------------

namespace {

// The file system's calls, in binary mode and by the wide name on Windows (text mode would
// drop the CRs and stop at a 0x1A byte: a damaged map, silently).
#ifdef _WIN32
using TFileInfo = struct _stat64;
int StatFile(const std::string& path, TFileInfo& info) {
  return ::_wstat64(WideFromUtf8(path).c_str(), &info);
}
int StatOpenFile(int fd, TFileInfo& info) { return ::_fstat64(fd, &info); }
int OpenForReading(const std::string& path) {
  return ::_wopen(WideFromUtf8(path).c_str(), _O_RDONLY | _O_BINARY);
}
#else
using TFileInfo = struct stat;
int StatFile(const std::string& path, TFileInfo& info) { return ::stat(path.c_str(), &info); }
int StatOpenFile(int fd, TFileInfo& info) { return ::fstat(fd, &info); }
// Opened without waiting: a named pipe in place of the map would otherwise wait for a
// writer for ever. Only a regular file is read.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}
#endif

bool FileExists(const std::string& path) {
  TFileInfo info{};
  return StatFile(path, info) == 0 && !S_ISDIR(info.st_mode);
}

class TFileHandle {
 public:
  explicit TFileHandle(int fd) : fd_(fd) {}
  ~TFileHandle() { Close(); }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  int Fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// Reads the whole file as the text reader sees it, line after line with nothing between
// them: a line ends at LF or CR LF, a lone CR is dropped, and 0x1A at the start of a line
// ends the reading. The raw bytes are read into one block and squeezed in place, so the
// buffer never takes more than the file's size.
std::string ReadLines(int fd) {
  const std::size_t limit = MapFileSizeLimit;
  const auto tooLarge = [limit] {
    return EInOutError("the file is larger than the loader's limit of " + std::to_string(limit) + " bytes");
  };
  std::string data;
  TFileInfo info{};
  // One spare byte, so that the read that finds the end needs no more room.
  std::size_t expected = std::min<std::size_t>(65536, limit + 1);
  if (StatOpenFile(fd, info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    if (static_cast<std::uintmax_t>(info.st_size) > limit) throw tooLarge();
    expected = static_cast<std::size_t>(info.st_size) + 1;
  }
  data.resize(expected);
  std::size_t used = 0;
  for (;;) {
    if (used == data.size()) {
      // A file that grows while read, or one without an end (a device, a pipe).
      if (used > limit) throw tooLarge();
      data.resize(std::min(data.size() * 2, limit + 1));
    }
    // Windows reads at most 2 GiB - 1 at once; the loader's limit is far below.
    const auto n = ::read(fd, data.data() + used,
                          static_cast<unsigned>(std::min<std::size_t>(data.size() - used, 1u << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(std::string("read error: ") + std::strerror(errno));
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  // Squeeze line by line: [line][CR]LF[line]... -> [line][line]...
  char* bytes = data.data();
  std::size_t out = 0, at = 0;
  while (at < used) {
    const char* lf = static_cast<const char*>(std::memchr(bytes + at, '\n', used - at));
    const std::size_t end = lf != nullptr ? static_cast<std::size_t>(lf - bytes) : used;
    // A CR is never content: dropped whether or not an LF follows it.
    std::size_t from = at;
    while (from < end && bytes[from] == '\r') ++from;
    if (from < end && bytes[from] == '\x1A') break;  // end-of-file mark at the start of a line
    while (from < end) {
      const char* cr = static_cast<const char*>(std::memchr(bytes + from, '\r', end - from));
      const std::size_t stop = cr != nullptr ? static_cast<std::size_t>(cr - bytes) : end;
      std::memmove(bytes + out, bytes + from, stop - from);
      out += stop - from;
      from = stop + 1;
    }
    at = end + 1;
  }
  data.resize(out);
  return data;
}

// Consumes the fields of the buffer in file order, decoding into one reused text.
class TFieldReader {
 public:
  explicit TFieldReader(std::string_view buffer) : rest_(buffer) {}

  // The next decoded field, or false (nothing consumed) when no separator is left.
  bool TryNext(std::string_view& text, const std::string& what) {
    std::string_view raw;
    if (!NextRawField(rest_, raw)) return false;
    ++fieldNumber_;
    try {
      DecodeFieldInto(raw, text_);
    } catch (const EMapFormatError& e) {
      Fail(what, e.what());
    }
    text = text_;
    return true;
  }
  std::string_view Next(const std::string& what) {
    std::string_view text;
    if (!TryNext(text, what)) Fail(what, "missing (no separator left)", fieldNumber_ + 1);
    return text;
  }
  // Text fields: a missing field reads as empty text.
  std::string NextText(const std::string& what) {
    std::string_view text;
    return TryNext(text, what) ? std::string(text) : std::string();
  }
  // Runs a conversion; its failure names the field.
  template <class TConversion>
  auto Convert(const std::string& what, TConversion conversion) {
    try {
      return conversion();
    } catch (const EConvertError& e) {
      Fail(what, e.what());
    }
  }
  std::int32_t NextInt(const std::string& what) {
    return Convert(what, [&] { return StrToInt(Next(what)); });
  }
  float NextSingle(const std::string& what) {
    return Convert(what, [&] { return StrToSingle(Next(what)); });
  }

  std::size_t RemainingBytes() const { return rest_.size(); }
  int FieldNumber() const { return fieldNumber_; }

  [[noreturn]] void Fail(const std::string& what, const std::string& why, int field = 0) const {
    throw EMapFormatError("field " + std::to_string(field != 0 ? field : fieldNumber_) + " (" + what +
                          "): " + why);
  }

 private:
  std::string_view rest_;
  std::string text_;
  int fieldNumber_ = 0;
};

// A cell's digit: the fast path of StrToInt for one character.
int DigitAt(std::string_view row, std::size_t at) {
  const char c = row[at];
  if (IsDigit(c)) return c - '0';
  return StrToInt(row.substr(at, 1));  // throws: one character that is not a digit
}

// Three characters read together as one integer ("042", also "-01" or "+12").
int TileNumberAt(std::string_view row, std::size_t at) {
  const char a = row[at], b = row[at + 1], c = row[at + 2];
  if (IsDigit(a) && IsDigit(b) && IsDigit(c)) return (a - '0') * 100 + (b - '0') * 10 + (c - '0');
  return StrToInt(row.substr(at, 3));
}

// Rows are read across the grid while the grid is stored column by column; rows are
// decoded into a small block first and then stored a column at a time, so that storing walks
// memory in order. Rows decoded before a failure are stored all the same.
constexpr std::int32_t RowBlock = 16;

template <class TCell, class TDecodeRow>
void ReadRows(TMapGrid<TCell>& grid, TDecodeRow decodeRow) {
  const std::int32_t width = grid.Width(), height = grid.Height();
  const std::int32_t blockRows = std::min(RowBlock, height);  // never more than the grid
  std::vector<TCell> block(static_cast<std::size_t>(width) * static_cast<std::size_t>(blockRows));
  std::int32_t first = 0, count = 0;
  auto store = [&] {
    if (count == 0) return;  // also spares a pass over the columns of a map without rows
    for (std::int32_t x = 0; x < width; ++x) {
      TCell* column = grid[static_cast<std::size_t>(x)].data() + first;
      for (std::int32_t j = 0; j < count; ++j) column[j] = block[static_cast<std::size_t>(j) * width + x];
    }
    first += count;
    count = 0;
  };
  std::int32_t cellsDone = 0;  // cells of the current row decoded so far
  try {
    for (std::int32_t y = 0; y < height; ++y) {
      cellsDone = 0;
      decodeRow(y, block.data() + static_cast<std::size_t>(count) * width, cellsDone);
      if (++count == blockRows) store();
    }
  } catch (...) {
    // The cells before the one that failed are kept, as if stored one by one.
    const std::size_t partial = static_cast<std::size_t>(count) * width;
    store();
    for (std::int32_t x = 0; x < cellsDone; ++x)
      grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(first)] = block[partial + x];
    throw;
  }
  store();
}

void ReadCellRows(TFieldReader& reader, TMapDataBlockArray& grid, const char* layer) {
  const std::int32_t width = grid.Width();
  const std::size_t needed = static_cast<std::size_t>(width) * 4;
  ReadRows(grid, [&](std::int32_t y, MapCell* cells, std::int32_t& done) {
    const std::string what = std::string(layer) + " row " + std::to_string(y);
    std::string_view row = reader.Next(what);
    if (row.size() < needed)
      reader.Fail(what,
                  std::to_string(row.size()) + " characters where " + std::to_string(needed) + " are needed");
    reader.Convert(what, [&] {
      for (std::int32_t x = 0; x < width; ++x) {
        const std::size_t at = static_cast<std::size_t>(x) * 4;
        cells[x].QuarterTurns = static_cast<std::uint8_t>(DigitAt(row, at));
        cells[x].TileNumber = static_cast<std::uint16_t>(TileNumberAt(row, at + 1));
        done = x + 1;
      }
      return 0;
    });
  });
}

void ReadHeightRows(TFieldReader& reader, THeightMap& grid) {
  const std::int32_t width = grid.Width();
  ReadRows(grid, [&](std::int32_t y, THeightMapCell* cells, std::int32_t& done) {
    const std::string what = "height row " + std::to_string(y);
    std::string_view row = reader.Next(what);
    if (row.size() < static_cast<std::size_t>(width))
      reader.Fail(what,
                  std::to_string(row.size()) + " characters where " + std::to_string(width) + " are needed");
    reader.Convert(what, [&] {
      for (std::int32_t x = 0; x < width; ++x) {
        cells[x] = static_cast<THeightMapCell>(DigitAt(row, static_cast<std::size_t>(x)));
        done = x + 1;
      }
      return 0;
    });
  });
}

void ReadEntities(TFieldReader& reader, std::vector<TPackedEntity>& records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    TPackedEntity& record = records[i];
    const std::string what = "entity " + std::to_string(i) + " ";
    record.Position.X = reader.NextSingle(what + "x");
    record.Position.Y = reader.NextSingle(what + "y");
    record.Kind = static_cast<std::uint16_t>(reader.NextInt(what + "Kind"));
    record.Index = static_cast<std::uint16_t>(reader.NextInt(what + "Index"));
    record.Param1 = std::string(reader.Next(what + "Param1"));
    record.Param2 = std::string(reader.Next(what + "Param2"));
  }
}

// Every grid row is at least its shift byte plus its characters: W + 1 bytes for a height
// row, 4W + 1 for a terrain or decoration row. A header whose sizes need more than the rest
// of the file holds is refused before anything is allocated.
void CheckSizesFit(const TFieldReader& reader, std::int32_t width, std::int32_t height) {
  if (width < 0 || height < 0)
    throw EMapFormatError("negative map size " + std::to_string(width) + " x " + std::to_string(height));
  if (height == 0) return;
  const std::uint64_t perRow =
      2 * (4 * static_cast<std::uint64_t>(width) + 1) + (static_cast<std::uint64_t>(width) + 1);
  if (reader.RemainingBytes() / static_cast<std::uint64_t>(height) < perRow)
    throw EMapFormatError("map size " + std::to_string(width) + " x " + std::to_string(height) +
                          " needs more grid data than the " + std::to_string(reader.RemainingBytes()) +
                          " bytes left in the file");
}

// Steps 7 to 14: the fields in file order, stored into GameMap as they are read.
void ReadMapContent(std::string_view buffer) {
  TFieldReader reader(buffer);
  TOrrindelMap& map = GameMap;

  map.MapVersion = reader.NextSingle("MapVersion");
  LogEvent("**Map version: " + FloatToStr(map.MapVersion));
  map.MapName = reader.NextText("MapName");
  if (map.MapName.size() > TOrrindelMap::MaxNameLength) map.MapName.resize(TOrrindelMap::MaxNameLength);
  LogEvent("**Map Name: " + map.MapName);
  map.MapIdCode = reader.NextText("MapIdCode");
  LogEvent("**Map Id Code: " + map.MapIdCode);
  map.MapSize.X = reader.NextInt("W");
  LogEvent("**Horizontal size: " + std::to_string(map.MapSize.X));
  map.MapSize.Y = reader.NextInt("H");
  LogEvent("**Vertical size: " + std::to_string(map.MapSize.Y));
  map.EntityCount = static_cast<std::uint16_t>(reader.NextInt("EntityCount"));
  LogEvent("**Entity count: " + std::to_string(map.EntityCount));

  const std::int32_t width = map.MapSize.X, height = map.MapSize.Y;
  CheckSizesFit(reader, width, height);
  // Like resizing dynamic arrays: what a previous map stored within the new sizes stays until
  // it is read over, new storage is zero.
  map.TerrainGrid.Resize(width, height);
  map.DecorationGrid.Resize(width, height);
  map.HeightMap.Resize(width, height);
  map.EntitySpawns.resize(map.EntityCount);

  LogEvent("**Reading terrain block...");
  ReadCellRows(reader, map.TerrainGrid, "terrain");
  LogEvent("**Terrain block read");
  LogEvent("**Reading decoration block...");
  ReadCellRows(reader, map.DecorationGrid, "decoration");
  LogEvent("**decoration block read");
  LogEvent("**Reading heightmap...");
  ReadHeightRows(reader, map.HeightMap);
  LogEvent("**Heightmap read");
  LogEvent("**Reading entities...");
  ReadEntities(reader, map.EntitySpawns);
  LogEvent("**Entities read");
}

}  // namespace

std::size_t MapFileSizeLimit = std::size_t{256} << 20;

TMapLoadResult LoadMap(const std::string& path, std::string* failure) {
  LogEvent("MapModule received a map loading request with filename: " + path);
  if (!FileExists(path)) {
    LogEvent("**WARNING: File does not exists! Returning an error flag to the caller");
    if (failure != nullptr) *failure = "no such file";
    return TMapLoadResult::Missing;
  }
  LogEvent("**DataFile assinged to file. Attempting to open file...");
  int fd = OpenForReading(path);
  if (fd < 0) throw EInOutError("Cannot open file " + path + ": " + std::strerror(errno));
  TFileHandle file(fd);
  LogEvent("**File opened for reading");
  try {
    LogEvent("**Reading file content to buffer");
    TFileInfo info{};
    if (StatOpenFile(fd, info) != 0 || !S_ISREG(info.st_mode))
      throw EInOutError("not a regular file (a named pipe or a device)");
    std::string buffer = ReadLines(file.Fd());
    LogEvent("**File content loaded to buffer");
    ReadMapContent(buffer);
  } catch (const std::exception& e) {
    LogEvent("**WARNING! Exception occurred. Returning an error flag to the caller");
    file.Close();
    LogEvent("File loading failed. File closed");
    if (failure != nullptr) *failure = dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory" : e.what();
    return TMapLoadResult::Unreadable;
  }
  file.Close();
  LogEvent("File loading successful. File closed");
  if (failure != nullptr) failure->clear();
  return TMapLoadResult::Loaded;
}

}  // namespace orr
