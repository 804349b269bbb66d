// SPDX-License-Identifier: GPL-3.0-or-later
#include "TiledData.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace orr::tiled {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Deflate(std::string_view bytes, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EDataError("cannot start compressing");
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw EDataError("cannot compress");
  return out;
}

// The output grows as the data unpacks, so that a short stream that claims a large layer
// costs memory only for what it really holds.
std::size_t NextCapacity(std::size_t current, std::size_t limit) {
  return std::min(limit, std::max<std::size_t>(current * 2, 1 << 16));
}

std::string Inflate(std::string_view packed, int windowBits, std::size_t size) {
  z_stream z{};
  if (inflateInit2(&z, windowBits) != Z_OK) throw EDataError("cannot start unpacking");
  std::string out;
  const std::size_t limit = size + 1;  // one byte more shows a stream that holds too much
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  int result = Z_OK;
  while (result == Z_OK && out.size() < limit) {
    const std::size_t done = z.total_out;
    out.resize(NextCapacity(out.size(), limit));
    z.next_out = reinterpret_cast<Bytef*>(out.data() + done);
    z.avail_out = static_cast<uInt>(out.size() - done);
    result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_BUF_ERROR && z.avail_out != 0) break;  // no progress: the input ends early
    if (result == Z_BUF_ERROR) result = Z_OK;
  }
  const std::size_t got = z.total_out;
  const bool trailing = z.avail_in != 0;
  inflateEnd(&z);
  if (got > size) throw EDataError("unpacks to more than the layer's " + std::to_string(size) + " bytes");
  if (result != Z_STREAM_END) throw EDataError("damaged or cut short compressed data");
  if (got != size)
    throw EDataError("unpacks to " + std::to_string(got) + " bytes where the layer needs " +
                     std::to_string(size));
  if (trailing) throw EDataError("data after the end of the compressed stream");
  out.resize(size);
  return out;
}

std::string Unzstd(std::string_view packed, std::size_t size) {
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
  if (!context) throw EDataError("cannot start unpacking");
  const std::size_t limit = size + 1;
  std::string out;
  ZSTD_inBuffer in{packed.data(), packed.size(), 0};
  ZSTD_outBuffer target{nullptr, 0, 0};
  std::size_t left = 1;
  for (;;) {
    if (target.pos == out.size() && out.size() < limit) {
      out.resize(NextCapacity(out.size(), limit));
      target.dst = out.data();
      target.size = out.size();
    }
    const std::size_t inBefore = in.pos, outBefore = target.pos;
    left = ZSTD_decompressStream(context.get(), &target, &in);
    if (ZSTD_isError(left)) throw EDataError(std::string("damaged zstd data: ") + ZSTD_getErrorName(left));
    if (target.pos > size)
      throw EDataError("unpacks to more than the layer's " + std::to_string(size) + " bytes");
    if (left == 0) {
      if (in.pos < in.size) throw EDataError("data after the end of the compressed stream");
      break;
    }
    if (in.pos == inBefore && target.pos == outBefore) break;  // no progress: the stream is cut short
  }
  if (left != 0) throw EDataError("damaged or cut short compressed data");
  if (target.pos != size)
    throw EDataError("unpacks to " + std::to_string(target.pos) + " bytes where the layer needs " +
                     std::to_string(size));
  out.resize(size);
  return out;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16 |
                            static_cast<std::uint8_t>(bytes[i + 1]) << 8 |
                            static_cast<std::uint8_t>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += Alphabet[(v >> s) & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    out += Alphabet[(v >> 18) & 63];
    out += Alphabet[(v >> 12) & 63];
    out += rest == 2 ? Alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  static const std::array<int, 256> values = [] {
    std::array<int, 256> v{};
    v.fill(-1);
    for (int i = 0; i < 64; ++i) v[static_cast<unsigned char>(Alphabet[i])] = i;
    return v;
  }();
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      ++count;
    } else {
      if (padding > 0) throw EDataError("base64 data continues after its '=' padding");
      const int v = values[static_cast<unsigned char>(c)];
      if (v < 0) {
        // A byte that shows nothing (a NUL would even cut the message short) is named by its code.
        char named[16];
        if (c > ' ' && c < 0x7F) std::snprintf(named, sizeof named, "'%c'", c);
        else std::snprintf(named, sizeof named, "0x%02X", static_cast<unsigned char>(c));
        throw EDataError(std::string("character ") + named + " is not base64");
      }
      group = group << 6 | static_cast<std::uint32_t>(v);
      ++count;
    }
    if (count == 4) {
      if (padding > 2) throw EDataError("base64 group of padding only");
      group <<= 6 * padding;
      out += static_cast<char>(group >> 16);
      if (padding < 2) out += static_cast<char>(group >> 8);
      if (padding < 1) out += static_cast<char>(group);
      group = 0;
      count = 0;
      if (padding > 0) padding = 3;  // nothing may follow the padded group
    }
  }
  if (count != 0) throw EDataError("base64 data ends inside a group of four characters");
  return out;
}

std::string Compress(std::string_view bytes, TCompression compression) {
  switch (compression) {
    case TCompression::None: return std::string(bytes);
    case TCompression::Zlib: return Deflate(bytes, 15);
    case TCompression::Gzip: return Deflate(bytes, 15 + 16);
    case TCompression::Zstd: {
      std::string out(ZSTD_compressBound(bytes.size()), '\0');
      const std::size_t n = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
      if (ZSTD_isError(n)) throw EDataError("cannot compress");
      out.resize(n);
      return out;
    }
  }
  return std::string(bytes);
}

std::string Decompress(std::string_view packed, TCompression compression, std::size_t size) {
  switch (compression) {
    case TCompression::None:
      if (packed.size() != size)
        throw EDataError(std::to_string(packed.size()) + " bytes where the layer needs " +
                         std::to_string(size));
      return std::string(packed);
    case TCompression::Zlib: return Inflate(packed, 15, size);
    case TCompression::Gzip: return Inflate(packed, 15 + 16, size);
    case TCompression::Zstd: return Unzstd(packed, size);
  }
  return {};
}

}  // namespace orr::tiled
