// SPDX-License-Identifier: GPL-3.0-or-later
// TBitmap32: a 32-bit bitmap with alpha, the 2D raster library's picture type.
//
// Pixels are TColor32 values 0xAARRGGBB (alpha in the high byte, 0 = transparent,
// 255 = opaque), stored row after row, top row first, with no padding:
//
//   Bits() -> [ (0,0) (1,0) ... (W-1,0) ][ (0,1) ... (W-1,1) ] ... [ ... (W-1,H-1) ]
//             row 0 = top of the picture                           row H-1 = bottom
//
// Drawing copies a rectangle of a source bitmap into this bitmap. How each source pixel
// lands is decided by the SOURCE bitmap's DrawMode (and, for dmCustom, its
// OnPixelCombine and MasterAlpha), so a bitmap carries its own way of being drawn.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "codecs/Codecs.h"
#include "platform/Forms.h"  // TRect

namespace orr {

enum class TDrawMode {
  dmOpaque,  // source pixels replace destination pixels, alpha included
  dmBlend,   // source over destination, weighted by source alpha x MasterAlpha / 255
  dmCustom   // OnPixelCombine(source, destination, MasterAlpha) decides each pixel
};
using enum TDrawMode;

// F: source pixel; B: destination pixel, read and written; M: master alpha (0..255).
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

class TBitmap32 {
 public:
  TBitmap32() = default;
  TBitmap32(int width, int height);
  // Copies pixels and drawing settings (DrawMode, MasterAlpha, OnPixelCombine).
  TBitmap32(const TBitmap32&) = default;
  TBitmap32& operator=(const TBitmap32&) = default;
  TBitmap32(TBitmap32&&) noexcept = default;
  TBitmap32& operator=(TBitmap32&&) noexcept = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  TRect BoundsRect() const { return {0, 0, width_, height_}; }

  // New size; every pixel becomes 0x00000000 (also when the size is unchanged). A side of
  // 0 or less empties the bitmap (0 x 0). Throws EPictureError above the raster limits,
  // the decoders' defaults: 32768 pixels per side, 2^28 pixels.
  void SetSize(int width, int height);
  // Fills every pixel with `color`.
  void Clear(TColor32 color);
  // Fills the rectangle (right and bottom exclusive), clipped to the bitmap.
  void FillRect(const TRect& rect, TColor32 color);

  // Pixel access. Pixel/SetPixel outside the bitmap: Pixel returns 0, SetPixel does nothing.
  TColor32 Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor32 color);
  TColor32* Bits() { return pixels_.data(); }
  const TColor32* Bits() const { return pixels_.data(); }
  TColor32* ScanLine(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const TColor32* ScanLine(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }

  // Drawing settings used when this bitmap is the source of a draw.
  TDrawMode DrawMode = dmOpaque;
  TColor32 MasterAlpha = 255;         // 0..255; values above 255 count as 255
  TPixelCombineEvent OnPixelCombine;  // dmCustom without a handler draws nothing

  // Draws `srcRect` of `src` into `dstRect` of this bitmap using src's draw settings.
  // Rectangles are right/bottom exclusive. When the sizes differ the source is stretched
  // (nearest pixel). Both rectangles are clipped to their bitmaps, keeping the mapping
  // between them; empty or inverted rectangles, and coordinates beyond +-2^29, draw
  // nothing. Drawing a bitmap onto
  // itself works (the source is read before anything is written).
  void Draw(const TRect& dstRect, const TRect& srcRect, const TBitmap32& src);
  // Draws `srcRect` of `src` unscaled with its top-left at (dstX, dstY).
  void Draw(int dstX, int dstY, const TRect& srcRect, const TBitmap32& src);
  // Draws the whole of `src` with its top-left at (dstX, dstY).
  void Draw(int dstX, int dstY, const TBitmap32& src);

  // Loads a picture chosen by the file's extension (BMP, JPEG, GIF; see codecs/Codecs.h).
  // Throws EPictureError; on failure the bitmap keeps its previous pixels.
  void LoadFromFile(const std::string& path);
  // Writes a 32-bit BMP with alpha. Throws EPictureError when the file cannot be written.
  void SaveToFile(const std::string& path) const;

  // Takes a decoded picture's pixels (size and colours; drawing settings unchanged).
  void Assign(const TPicture& picture);
  void Assign(TPicture&& picture);
  // Copies pixels and drawing settings of another bitmap.
  void Assign(const TBitmap32& other) { *this = other; }
  TPicture ToPicture() const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<TColor32> pixels_;
};

// Colour helpers for 0xAARRGGBB.
constexpr TColor32 Color32(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
  return (TColor32(a & 255) << 24) | (TColor32(r & 255) << 16) | (TColor32(g & 255) << 8) | TColor32(b & 255);
}
constexpr unsigned AlphaComponent(TColor32 c) { return c >> 24; }
constexpr unsigned RedComponent(TColor32 c) { return (c >> 16) & 255; }
constexpr unsigned GreenComponent(TColor32 c) { return (c >> 8) & 255; }
constexpr unsigned BlueComponent(TColor32 c) { return c & 255; }

// Source over destination with the source's alpha scaled by `masterAlpha` (0..255):
// the colour channels mix by that weight, the alpha is a + Ba x (1 - a).
TColor32 BlendOver(TColor32 source, TColor32 destination, unsigned masterAlpha = 255);

}  // namespace orr
