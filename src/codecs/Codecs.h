// SPDX-License-Identifier: GPL-3.0-or-later
// Picture formats by file extension: BMP, JPEG and GIF decode into a plain 32-bit picture.
//
// Every decoder works on bytes in memory and never reads past them. Sizes read from a
// file are checked before anything is allocated: a picture is refused when a side exceeds
// TDecodeLimits::MaxSide (32768) or its area exceeds TDecodeLimits::MaxPixels (2^28, one
// GiB of pixels). A malformed, truncated or unsupported file raises EPictureError with a
// message that names the format and what is wrong, for example
// "BMP: pixel data is truncated (needs 3072 bytes, has 100)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orr {

// One colour: 0xAARRGGBB (alpha in the high byte; alpha 0 is fully transparent).
using TColor32 = std::uint32_t;

// A decoded picture: Width x Height colours, top row first, left to right.
struct TPicture {
  int Width = 0;
  int Height = 0;
  std::vector<TColor32> Pixels;
};

class EPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TDecodeLimits {
  int MaxSide = 32768;                             // pixels per side
  std::int64_t MaxPixels = std::int64_t(1) << 28;  // width x height
};

// Decodes one picture from `size` bytes at `data`. Throws EPictureError.
using TPictureDecoder = TPicture (*)(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits);

// Registers (or replaces) the decoder for a file extension, given without the dot; the
// extension is matched without regard to letter case. BMP ("bmp", "dib"), JPEG ("jpg",
// "jpeg", "jpe", "jfif") and GIF ("gif") are always registered. Thread-safe.
void RegisterPictureFormat(const std::string& extension, TPictureDecoder decoder);
// The decoder for an extension (without the dot, any case), or nullptr.
TPictureDecoder FindPictureFormat(const std::string& extension);
// Lower-case extension of a file name without the dot ("" when there is none).
std::string PictureExtension(const std::string& path);

// Decodes `data` with the decoder registered for `extension`; EPictureError
// "Unknown picture format: .xyz" when none is.
TPicture DecodePicture(const std::string& extension, const std::uint8_t* data, std::size_t size,
                       const TDecodeLimits& limits = {});
// Reads the whole file and decodes it by its extension. A file that cannot be opened or
// read raises EPictureError "Cannot open picture file: <path>" (callers that must report
// a missing file in their own words check for it first).
TPicture LoadPictureFromFile(const std::string& path, const TDecodeLimits& limits = {});

// The built-in decoders.
// BMP: 1, 4, 8, 16, 24 and 32 bits per pixel; bottom-up and top-down; RLE4, RLE8,
// BITFIELDS and ALPHABITFIELDS; core (OS/2 1.x), INFO, V2 to V5 headers. Colours are
// opaque unless the file carries alpha: an alpha mask (BITFIELDS), or the fourth byte of
// a plain 32-bit pixel when it is not zero everywhere. Pixels an RLE picture skips are
// transparent black (0x00000000); a palette index beyond the palette is opaque black.
TPicture DecodeBmp(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits = {});
// JPEG through libjpeg: greyscale, YCbCr/RGB and CMYK/YCCK; opaque.
TPicture DecodeJpeg(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits = {});
// GIF through giflib: the first frame on the logical screen; the transparent index of
// the frame's graphic control block becomes alpha 0, as does everything outside the frame.
TPicture DecodeGif(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits = {});

// A 32-bit BMP (BITMAPV4HEADER, BITFIELDS with an alpha mask, bottom-up) holding the
// picture exactly, alpha included; DecodeBmp reads it back unchanged.
std::vector<std::uint8_t> EncodeBmp32(const TPicture& picture);
// Writes EncodeBmp32 to a file; EPictureError "Cannot write picture file: <path>".
void SaveBmp32ToFile(const TPicture& picture, const std::string& path);

}  // namespace orr
