// SPDX-License-Identifier: GPL-3.0-or-later
// GIF through giflib: the records are walked up to the first picture, so later frames of
// an animation are never decoded. The frame is placed on the logical screen; pixels
// outside it, and pixels of the transparent index, are transparent black.
#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "codecs/CodecsLocal.h"

namespace orr {

namespace {

constexpr const char* Format = "GIF";

struct TSource {
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Position;
};

int ReadBytes(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<TSource*>(gif->UserData);
  if (count <= 0) return 0;
  std::size_t n = std::min<std::size_t>(count, source->Size - source->Position);
  std::memcpy(buffer, source->Data + source->Position, n);
  source->Position += n;
  return static_cast<int>(n);
}

struct TGifFile {
  GifFileType* File = nullptr;
  ~TGifFile() {
    int error = 0;
    if (File != nullptr) DGifCloseFile(File, &error);
  }
};

[[noreturn]] void FailGif(const char* what, int code) {
  const char* reason = GifErrorString(code);
  codecs::Fail(Format, std::string(what) + ": " + (reason != nullptr ? reason : "unknown error"));
}

// Rows of an interlaced frame come in four passes: every 8th row from 0, every 8th from
// 4, every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(height);
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static const int Start[] = {0, 4, 2, 1}, Step[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = Start[pass]; y < height; y += Step[pass]) order.push_back(y);
  return order;
}

}  // namespace

TPicture DecodeGif(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits) {
  if (data == nullptr || size < 13) codecs::Fail(Format, "file is too short for a GIF header");
  if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)
    codecs::Fail(Format, "not a GIF file (no GIF87a or GIF89a signature)");
  TSource source{data, size, 0};
  int error = 0;
  TGifFile gif;
  gif.File = DGifOpen(&source, ReadBytes, &error);
  if (gif.File == nullptr) FailGif("cannot read the header", error);

  int transparentIndex = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif.File, &record) == GIF_ERROR) FailGif("damaged record", gif.File->Error);
    if (record == TERMINATE_RECORD_TYPE) codecs::Fail(Format, "file holds no picture");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.File, &code, &block) == GIF_ERROR)
        FailGif("damaged extension", gif.File->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
          transparentIndex = control.TransparentColor;
      }
      while (block != nullptr)
        if (DGifGetExtensionNext(gif.File, &block) == GIF_ERROR)
          FailGif("damaged extension", gif.File->Error);
      continue;
    }
    if (record == IMAGE_DESC_RECORD_TYPE) break;
    // UNDEFINED_RECORD_TYPE and SCREEN_DESC_RECORD_TYPE do not occur between frames.
    codecs::Fail(Format, "unexpected record");
  }
  if (DGifGetImageDesc(gif.File) == GIF_ERROR) FailGif("damaged picture header", gif.File->Error);

  const GifImageDesc& frame = gif.File->Image;
  const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif.File->SColorMap;
  if (colours == nullptr || colours->Colors == nullptr) codecs::Fail(Format, "picture has no colour table");
  if (frame.Width <= 0 || frame.Height <= 0)
    codecs::Fail(Format,
                 "invalid frame size " + std::to_string(frame.Width) + "x" + std::to_string(frame.Height));
  // A zero screen size (seen in the wild) means the frame's own extent.
  std::int64_t width = gif.File->SWidth, height = gif.File->SHeight;
  if (width <= 0 || height <= 0) {
    width = std::int64_t(frame.Left) + frame.Width;
    height = std::int64_t(frame.Top) + frame.Height;
  }
  codecs::CheckPictureSize(Format, width, height, limits);
  if (frame.Width > limits.MaxSide || frame.Height > limits.MaxSide ||
      std::int64_t(frame.Width) * frame.Height > limits.MaxPixels)
    codecs::Fail(Format, "frame size " + std::to_string(frame.Width) + "x" + std::to_string(frame.Height) +
                             " exceeds the limits");

  TPicture picture;
  picture.Width = static_cast<int>(width);
  picture.Height = static_cast<int>(height);
  picture.Pixels.assign(static_cast<std::size_t>(width * height), 0);
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (int frameRow : RowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.File, line.data(), frame.Width) == GIF_ERROR)
      FailGif("damaged picture data", gif.File->Error);
    const std::int64_t y = std::int64_t(frame.Top) + frameRow;
    if (y >= height) continue;  // parts of the frame off the screen are dropped
    TColor32* row = picture.Pixels.data() + y * width;
    for (int fx = 0; fx < frame.Width; ++fx) {
      const std::int64_t x = std::int64_t(frame.Left) + fx;
      if (x >= width) break;
      const int index = line[fx];
      if (index == transparentIndex) {
        row[x] = 0;
      } else if (index < colours->ColorCount) {
        const GifColorType& c = colours->Colors[index];
        row[x] = 0xFF000000u | (TColor32(c.Red) << 16) | (TColor32(c.Green) << 8) | c.Blue;
      } else {
        row[x] = 0xFF000000u;  // index beyond the colour table
      }
    }
  }
  return picture;
}

}  // namespace orr
