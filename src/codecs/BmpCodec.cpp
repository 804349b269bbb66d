// SPDX-License-Identifier: GPL-3.0-or-later
// Windows bitmap files: decoder for every layout the game's tools meet, and a 32-bit
// encoder that keeps alpha.
//
//   offset 0   file header (14 bytes): "BM", file size, reserved, offset of pixel data
//   offset 14  DIB header: 12 bytes (core), 16..64 (OS/2 2.x), 40 (INFO), 52, 56,
//              108 (V4), 124 (V5); its first 4 bytes give its size
//              [3 or 4 colour masks after a 40-byte header with BITFIELDS]
//              [palette: 2^bpp or "colours used" entries, B G R (core) or B G R 0]
//   offset N   pixel rows, each padded to 4 bytes, bottom row first unless the height is
//              negative; or an RLE4/RLE8 stream
#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

#include "codecs/CodecsLocal.h"

namespace orr {

namespace {

constexpr const char* Format = "BMP";
using codecs::Fail;

enum : std::uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6 };

constexpr TColor32 Color32(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
  return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

// One colour channel packed in a 16- or 32-bit pixel.
struct TChannel {
  std::uint32_t Mask = 0;
  int Shift = 0;
  std::uint32_t Max = 0;  // largest value of the channel's bits

  static TChannel FromMask(const char* name, std::uint32_t mask, int bitsPerPixel) {
    TChannel c;
    if (mask == 0) return c;
    if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0)
      Fail(Format, std::string(name) + " mask " + Hex(mask) + " does not fit in " +
                       std::to_string(bitsPerPixel) + " bits");
    c.Shift = std::countr_zero(mask);
    std::uint32_t bits = mask >> c.Shift;
    if ((bits & (bits + 1)) != 0)
      Fail(Format, std::string(name) + " mask " + Hex(mask) + " is not one run of bits");
    c.Mask = mask;
    c.Max = bits;
    return c;
  }
  unsigned Get(std::uint32_t pixel, unsigned absent) const {
    if (Mask == 0) return absent;
    std::uint64_t v = (pixel & Mask) >> Shift;
    return static_cast<unsigned>((v * 255 + Max / 2) / Max);
  }
};

struct TLayout {
  std::int64_t Width = 0, Height = 0;
  bool TopDown = false;
  int BitsPerPixel = 0;
  std::uint32_t Compression = BiRgb;
  TChannel Red, Green, Blue, Alpha;
  bool AlphaIsReserved = false;  // plain 32-bit: the fourth byte is alpha only if used
  std::vector<TColor32> Palette;
  std::size_t PixelStart = 0;
};

TColor32 PaletteColor(const TLayout& layout, unsigned index) {
  return index < layout.Palette.size() ? layout.Palette[index] : 0xFF000000u;
}

void ReadMasks(TLayout& layout, const std::uint8_t* masks, bool withAlpha) {
  layout.Red = TChannel::FromMask("red", U32(masks), layout.BitsPerPixel);
  layout.Green = TChannel::FromMask("green", U32(masks + 4), layout.BitsPerPixel);
  layout.Blue = TChannel::FromMask("blue", U32(masks + 8), layout.BitsPerPixel);
  if (withAlpha) layout.Alpha = TChannel::FromMask("alpha", U32(masks + 12), layout.BitsPerPixel);
}

TLayout ReadLayout(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits) {
  if (size < 18) Fail(Format, "file is too short for a bitmap header");
  if (data[0] != 'B' || data[1] != 'M') Fail(Format, "not a bitmap file (no \"BM\" signature)");
  const std::uint32_t offBits = U32(data + 10);
  const std::uint32_t dibSize = U32(data + 14);
  const bool core = dibSize == 12;
  const bool os2 = dibSize == 64 || (dibSize >= 16 && dibSize < 40);
  if (!core && !os2 && dibSize < 40) Fail(Format, "unknown header size " + std::to_string(dibSize));
  if (std::uint64_t(14) + dibSize > size)
    Fail(Format, "header is truncated (" + std::to_string(dibSize) + " bytes declared, " +
                     std::to_string(size - 14) + " present)");
  const std::uint8_t* h = data + 14;
  // An OS/2 2.x header may stop after any field; missing fields read as zero.
  std::array<std::uint8_t, 40> info{};
  std::memcpy(info.data(), h, std::min<std::size_t>(dibSize, info.size()));

  TLayout layout;
  std::int64_t height;
  if (core) {
    layout.Width = U16(h + 4);
    height = U16(h + 6);
    layout.BitsPerPixel = U16(h + 10);
  } else {
    layout.Width = static_cast<std::int32_t>(U32(info.data() + 4));
    height = static_cast<std::int32_t>(U32(info.data() + 8));
    layout.BitsPerPixel = U16(info.data() + 14);
    layout.Compression = U32(info.data() + 16);
  }
  layout.TopDown = height < 0;
  layout.Height = height < 0 ? -height : height;

  const int bpp = layout.BitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    Fail(Format, "unsupported bit depth " + std::to_string(bpp));
  const std::uint32_t comp = layout.Compression;
  const bool bitfields = comp == BiBitfields || comp == BiAlphaBitfields;
  if (os2 && comp > BiRle4)  // OS/2 uses 3 and 4 for Huffman and RLE24
    Fail(Format, "unsupported OS/2 compression " + std::to_string(comp));
  if (comp != BiRgb && comp != BiRle8 && comp != BiRle4 && !bitfields)
    Fail(Format, "unsupported compression " + std::to_string(comp));
  if ((comp == BiRle8 && bpp != 8) || (comp == BiRle4 && bpp != 4) || (bitfields && bpp != 16 && bpp != 32))
    Fail(Format, "compression " + std::to_string(comp) + " does not go with " + std::to_string(bpp) +
                     " bits per pixel");
  if (layout.Width <= 0) Fail(Format, "invalid width " + std::to_string(layout.Width));
  if (layout.Height <= 0) Fail(Format, "invalid height 0");
  codecs::CheckPictureSize(Format, layout.Width, layout.Height, limits);

  std::size_t tablesStart = 14 + std::size_t(dibSize);
  if (bitfields) {
    if (dibSize >= 52) {
      ReadMasks(layout, h + 40, dibSize >= 56);
    } else {
      const std::size_t count = comp == BiAlphaBitfields ? 4 : 3;
      if (tablesStart + 4 * count > size) Fail(Format, "colour masks are truncated");
      std::array<std::uint8_t, 16> masks{};
      std::memcpy(masks.data(), data + tablesStart, 4 * count);
      ReadMasks(layout, masks.data(), count == 4);
      tablesStart += 4 * count;
    }
  } else if (bpp == 16) {
    layout.Red = TChannel::FromMask("red", 0x7C00, 16);
    layout.Green = TChannel::FromMask("green", 0x03E0, 16);
    layout.Blue = TChannel::FromMask("blue", 0x001F, 16);
  } else if (bpp == 32) {
    layout.Red = TChannel::FromMask("red", 0x00FF0000, 32);
    layout.Green = TChannel::FromMask("green", 0x0000FF00, 32);
    layout.Blue = TChannel::FromMask("blue", 0x000000FF, 32);
    layout.Alpha = TChannel::FromMask("alpha", 0xFF000000, 32);
    layout.AlphaIsReserved = true;
  }

  std::size_t paletteEnd = tablesStart;
  if (bpp <= 8) {
    const std::size_t entrySize = core ? 3 : 4;
    const std::uint32_t colorsUsed = core ? 0 : U32(info.data() + 32);
    std::size_t count =
        colorsUsed == 0 ? (std::size_t(1) << bpp) : std::min<std::size_t>(colorsUsed, std::size_t(1) << bpp);
    // The palette ends where the pixels start when the file says so.
    if (offBits >= tablesStart) count = std::min<std::size_t>(count, (offBits - tablesStart) / entrySize);
    if (tablesStart + count * entrySize > size)
      Fail(Format, "palette is truncated (" + std::to_string(count) + " colours declared)");
    layout.Palette.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* e = data + tablesStart + i * entrySize;
      layout.Palette[i] = Color32(e[2], e[1], e[0]);
    }
    paletteEnd = tablesStart + count * entrySize;
  }

  // A zero or impossible offset is taken as "right after the tables".
  layout.PixelStart = offBits >= 14 + std::size_t(dibSize) ? offBits : paletteEnd;
  if (layout.PixelStart > size)
    Fail(Format, "pixel data offset " + std::to_string(offBits) + " lies past the end of the file (" +
                     std::to_string(size) + " bytes)");
  return layout;
}

void DecodeRows(const TLayout& layout, const std::uint8_t* data, std::size_t size, TPicture& out) {
  const std::uint64_t width = static_cast<std::uint64_t>(layout.Width);
  const std::uint64_t stride = (width * layout.BitsPerPixel + 31) / 32 * 4;
  const std::uint64_t rowBytes = (width * layout.BitsPerPixel + 7) / 8;
  // The last row's padding is often left out; everything else must be there.
  const std::uint64_t needed = (layout.Height - 1) * stride + rowBytes;
  const std::uint64_t present = size - layout.PixelStart;
  if (present < needed)
    Fail(Format, "pixel data is truncated (needs " + std::to_string(needed) + " bytes, has " +
                     std::to_string(present) + ")");
  out.Pixels.assign(static_cast<std::size_t>(width * layout.Height), 0);
  const int bpp = layout.BitsPerPixel;
  const int w = static_cast<int>(layout.Width);
  bool anyAlpha = false;
  for (std::int64_t row = 0; row < layout.Height; ++row) {
    const std::uint8_t* src = data + layout.PixelStart + row * stride;
    const std::int64_t y = layout.TopDown ? row : layout.Height - 1 - row;
    TColor32* dst = out.Pixels.data() + y * w;
    switch (bpp) {
      case 1:
      case 4:
      case 8: {
        const unsigned perByte = 8 / bpp, mask = (1u << bpp) - 1;
        for (int x = 0; x < w; ++x) {
          unsigned shift = 8 - bpp * (x % perByte + 1);
          dst[x] = PaletteColor(layout, (src[x / perByte] >> shift) & mask);
        }
        break;
      }
      case 24:
        for (int x = 0; x < w; ++x, src += 3) dst[x] = Color32(src[2], src[1], src[0]);
        break;
      default:  // 16 and 32: colour masks
        for (int x = 0; x < w; ++x) {
          std::uint32_t p = bpp == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
          unsigned a = layout.Alpha.Get(p, 255);
          anyAlpha |= a != 0;
          dst[x] = Color32(layout.Red.Get(p, 0), layout.Green.Get(p, 0), layout.Blue.Get(p, 0), a);
        }
        break;
    }
  }
  // A plain 32-bit file whose fourth bytes are all zero left them unused: opaque.
  if (layout.AlphaIsReserved && !anyAlpha)
    for (TColor32& p : out.Pixels) p |= 0xFF000000u;
}

// RLE8 and RLE4: pairs (count, value) repeat a value; (0, 0) ends a row, (0, 1) ends the
// picture, (0, 2, dx, dy) moves the pen, (0, n>2) is followed by n literal pixels padded
// to an even byte count. Pixels never written stay transparent black.
void DecodeRle(const TLayout& layout, const std::uint8_t* data, std::size_t size, TPicture& out) {
  const bool rle4 = layout.Compression == BiRle4;
  const std::int64_t w = layout.Width, hgt = layout.Height;
  out.Pixels.assign(static_cast<std::size_t>(w * hgt), 0);
  auto put = [&](std::int64_t x, std::int64_t row, unsigned index) {
    if (x >= w) return;
    const std::int64_t y = layout.TopDown ? row : hgt - 1 - row;
    out.Pixels[static_cast<std::size_t>(y * w + x)] = PaletteColor(layout, index);
  };
  std::size_t p = layout.PixelStart;
  std::int64_t x = 0, row = 0;
  while (p < size && row < hgt) {  // data that simply stops counts as the end of the picture
    if (p + 2 > size) Fail(Format, "RLE data is truncated");
    const unsigned count = data[p], value = data[p + 1];
    p += 2;
    if (count > 0) {
      const std::int64_t n = std::min<std::int64_t>(count, std::max<std::int64_t>(0, w - x));
      for (std::int64_t i = 0; i < n; ++i)
        put(x + i, row, rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
      x += count;
      continue;
    }
    if (value == 0) {  // end of row
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // move the pen
      if (p + 2 > size) Fail(Format, "RLE data is truncated");
      x += data[p];
      row += data[p + 1];
      p += 2;
    } else {  // literal pixels
      const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
      if (p + bytes > size) Fail(Format, "RLE data is truncated");
      for (unsigned i = 0; i < value && x + i < w; ++i)
        put(x + i, row, rle4 ? ((i & 1) ? data[p + i / 2] & 15 : data[p + i / 2] >> 4) : data[p + i]);
      x += value;
      p = std::min(size, p + bytes + (bytes & 1));
    }
  }
}

}  // namespace

TPicture DecodeBmp(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits) {
  if (data == nullptr) size = 0;
  TLayout layout = ReadLayout(data, size, limits);
  TPicture picture;
  picture.Width = static_cast<int>(layout.Width);
  picture.Height = static_cast<int>(layout.Height);
  if (layout.Compression == BiRle4 || layout.Compression == BiRle8) DecodeRle(layout, data, size, picture);
  else DecodeRows(layout, data, size, picture);
  return picture;
}

std::vector<std::uint8_t> EncodeBmp32(const TPicture& picture) {
  const std::int64_t w = picture.Width, h = picture.Height;
  if (w <= 0 || h <= 0) Fail(Format, "cannot save an empty picture");
  if (static_cast<std::int64_t>(picture.Pixels.size()) != w * h)
    Fail(Format,
         "picture holds " + std::to_string(picture.Pixels.size()) + " pixels, not " + std::to_string(w * h));
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(w * h) * 4;
  constexpr std::uint32_t HeaderBytes = 14 + 108;
  if (imageBytes + HeaderBytes > 0xFFFFFFFFu) Fail(Format, "picture is too large for a bitmap file");
  std::vector<std::uint8_t> out;
  out.reserve(HeaderBytes + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(HeaderBytes + imageBytes));
  Put32(out, 0);
  Put32(out, HeaderBytes);
  // BITMAPV4HEADER
  Put32(out, 108);
  Put32(out, static_cast<std::uint32_t>(w));
  Put32(out, static_cast<std::uint32_t>(h));  // positive: bottom row first
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, BiBitfields);
  Put32(out, static_cast<std::uint32_t>(imageBytes));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0x00FF0000);
  Put32(out, 0x0000FF00);
  Put32(out, 0x000000FF);
  Put32(out, 0xFF000000);
  Put32(out, 0x73524742);             // 'sRGB'
  out.insert(out.end(), 36 + 12, 0);  // colour end points and gamma: unused with sRGB
  // The pixels in one go: byte by byte through push_back they took most of a save.
  std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(imageBytes));
  std::uint8_t* bytes = out.data() + at;
  for (std::int64_t y = h - 1; y >= 0; --y) {
    const TColor32* row = picture.Pixels.data() + static_cast<std::size_t>(y * w);
    for (std::int64_t x = 0; x < w; ++x, bytes += 4) {
      const TColor32 c = row[x];
      bytes[0] = static_cast<std::uint8_t>(c);
      bytes[1] = static_cast<std::uint8_t>(c >> 8);
      bytes[2] = static_cast<std::uint8_t>(c >> 16);
      bytes[3] = static_cast<std::uint8_t>(c >> 24);
    }
  }
  return out;
}

}  // namespace orr
