// SPDX-License-Identifier: GPL-3.0-or-later
#include "map/MapFileWriter.h"
#include "core/FloatText.h"
#include "platform/Paths.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace orr {

namespace {

constexpr unsigned char Separator = 0xFE;
// The file's first byte is skipped by the loader; any byte but a line break or 0x1A will do.
constexpr char LeadingByte = '#';

bool Storable(unsigned char b) { return b != 0x0A && b != 0x0D && b != 0x1A && b != Separator; }

std::string Describe(unsigned char c) {
  char text[48];
  if (c >= 33 && c <= 126) std::snprintf(text, sizeof text, "'%c'", c);
  else if (c == ' ') std::snprintf(text, sizeof text, "a blank");
  else std::snprintf(text, sizeof text, "byte 0x%02X", c);
  return text;
}

}  // namespace

TMapFileWriter::TMapFileWriter(std::uint32_t seed) : random_(seed) { content_ += LeadingByte; }

std::string TMapFileWriter::EncodeField(std::string_view text, int shift) {
  std::string raw;
  raw.reserve(text.size() + 1);
  raw += static_cast<char>(100 + '0' + shift);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int code = static_cast<unsigned char>(text[i]);
    const int position = static_cast<int>(i) + 2;  // the shift byte is position 1
    // Any stored byte congruent to code + p + 50 + 2k modulo 94 decodes to `code`; there are
    // two or three of them in 0..255, at most one of which is a byte the file cannot carry.
    const int base = (code + position + 50 + 2 * shift) % 94;
    int candidates[3], count = 0;
    for (int b = base; b <= 255; b += 94)
      if (Storable(static_cast<unsigned char>(b))) candidates[count++] = b;
    raw += static_cast<char>(candidates[random_() % static_cast<unsigned>(count)]);
  }
  return raw;
}

void TMapFileWriter::Field(std::string_view text, const std::string& name) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 33 || c > 126)
      throw EMapEncodeError(name + ": " + Describe(c) + " at character " + std::to_string(i + 1) +
                            " cannot be stored (only printable characters without blanks, codes 33 to 126)");
  }
  content_ += EncodeField(text, static_cast<int>(random_() % 10));
  content_ += static_cast<char>(Separator);
}

void TMapFileWriter::RawField(std::string_view raw) {
  content_ += raw;
  content_ += static_cast<char>(Separator);
}

std::string TMapFileWriter::Content(int wrap, bool crlf) const {
  if (wrap <= 0) return content_;
  std::string text;
  const std::size_t step = static_cast<std::size_t>(wrap);
  text.reserve(content_.size() + (content_.size() / step + 1) * 2);
  for (std::size_t at = 0; at < content_.size(); at += step) {
    text.append(content_, at, step);
    text += crlf ? "\r\n" : "\n";
  }
  return text;
}

std::string SingleToText(float value) {
  char text[64];
  auto result = FloatToChars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string EncodeMapFile(const TOrrindelMap& map, const TMapWriteOptions& options) {
  const std::int32_t width = map.MapSize.X, height = map.MapSize.Y;
  if (width < 0 || height < 0) throw EMapEncodeError("MapSize: negative size");
  if (!std::isfinite(map.MapVersion)) throw EMapEncodeError("MapVersion: not a finite number");
  if (map.MapName.size() > TOrrindelMap::MaxNameLength)
    throw EMapEncodeError("MapName: longer than 255 characters (the game keeps only 255)");
  auto checkGrid = [&](const auto& grid, const char* name) {
    if (grid.Width() != width || grid.Height() != height)
      throw EMapEncodeError(std::string(name) + ": grid is " + std::to_string(grid.Width()) + " x " +
                            std::to_string(grid.Height()) + ", MapSize says " + std::to_string(width) +
                            " x " + std::to_string(height));
  };
  checkGrid(map.TerrainGrid, "TerrainGrid");
  checkGrid(map.DecorationGrid, "DecorationGrid");
  checkGrid(map.HeightMap, "HeightMap");
  const std::int64_t records = static_cast<std::int64_t>(map.EntitySpawns.size());
  if (records > 65535) throw EMapEncodeError("EntitySpawns: more than 65535 records");
  const std::int64_t entityCount = options.EntityCount.value_or(records);
  if (entityCount < 0 || entityCount > 2147483647 || entityCount % 65536 != records)
    throw EMapEncodeError("EntityCount: " + std::to_string(entityCount) + " does not match the " +
                          std::to_string(records) + " records (modulo 65536)");

  TMapFileWriter writer(options.Seed);
  writer.Field(SingleToText(map.MapVersion), "MapVersion");
  writer.Field(map.MapName, "MapName");
  writer.Field(map.MapIdCode, "MapIdCode");
  writer.Field(std::to_string(width), "MapSize W");
  writer.Field(std::to_string(height), "MapSize H");
  writer.Field(std::to_string(entityCount), "EntityCount");

  std::string row;
  auto cellRows = [&](const TMapDataBlockArray& grid, const char* name) {
    for (std::int32_t y = 0; y < height; ++y) {
      row.clear();
      for (std::int32_t x = 0; x < width; ++x) {
        const MapCell& cell = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
        const std::string where =
            std::string(name) + "[" + std::to_string(x) + "][" + std::to_string(y) + "]";
        if (cell.QuarterTurns > 9)
          throw EMapEncodeError(where + ": QuarterTurns " + std::to_string(cell.QuarterTurns) +
                                " is not one digit (0..9)");
        char text[8];
        if (cell.TileNumber <= 999) {
          std::snprintf(text, sizeof text, "%u%03u", cell.QuarterTurns, cell.TileNumber);
        } else if (cell.TileNumber >= 65536 - 99) {
          // Three characters read as one integer can also be -99..-1, kept in 16 bits.
          std::snprintf(text, sizeof text, "%u-%02d", cell.QuarterTurns, 65536 - cell.TileNumber);
        } else {
          throw EMapEncodeError(where + ": TileNumber " + std::to_string(cell.TileNumber) +
                                " does not fit in three characters (0..999)");
        }
        row += text;
      }
      writer.Field(row, std::string(name) + " row " + std::to_string(y));
    }
  };
  cellRows(map.TerrainGrid, "TerrainGrid");
  cellRows(map.DecorationGrid, "DecorationGrid");
  for (std::int32_t y = 0; y < height; ++y) {
    row.clear();
    for (std::int32_t x = 0; x < width; ++x) {
      const THeightMapCell h = map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      if (h > 9)
        throw EMapEncodeError("HeightMap[" + std::to_string(x) + "][" + std::to_string(y) +
                              "]: " + std::to_string(h) + " is not one digit (0..9)");
      row += static_cast<char>('0' + h);
    }
    writer.Field(row, "HeightMap row " + std::to_string(y));
  }
  for (std::size_t i = 0; i < map.EntitySpawns.size(); ++i) {
    const TPackedEntity& e = map.EntitySpawns[i];
    const std::string name = "EntitySpawns[" + std::to_string(i) + "].";
    if (!std::isfinite(e.Position.X) || !std::isfinite(e.Position.Y))
      throw EMapEncodeError(name + "x/y: not a finite number");
    writer.Field(SingleToText(e.Position.X), name + "x");
    writer.Field(SingleToText(e.Position.Y), name + "y");
    writer.Field(std::to_string(e.Kind), name + "Kind");
    writer.Field(std::to_string(e.Index), name + "Index");
    writer.Field(e.Param1, name + "Param1");
    writer.Field(e.Param2, name + "Param2");
  }
  return writer.Content(options.Wrap, options.CrLf);
}

void WriteMapFile(const std::string& path, const TOrrindelMap& map, const TMapWriteOptions& options) {
  const std::string content = EncodeMapFile(map, options);
  std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  if (file) file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (file) file.flush();
  if (!file) throw EInOutError("Cannot write file " + path + ": " + std::strerror(errno));
}

}  // namespace orr
