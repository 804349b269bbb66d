// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/TBitmap32.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace orr {

namespace {

// The largest bitmap we make: the same limits the picture decoders apply.
const TDecodeLimits RasterLimits{};

// Applies one draw mode to a destination pixel; `Custom` goes through the handler.
struct TOpaque {
  void operator()(TColor32 f, TColor32& b) const { b = f; }
};
struct TBlend {
  unsigned Master;
  void operator()(TColor32 f, TColor32& b) const { b = BlendOver(f, b, Master); }
};
struct TCustom {
  const TPixelCombineEvent& Combine;
  TColor32 Master;
  void operator()(TColor32 f, TColor32& b) const { Combine(f, b, Master); }
};

// Destination x maps to source column srcLeft + floor((x - dstLeft + 1/2) * srcW / dstW):
// the nearest source pixel; the identity when the widths agree.
int SourceCoord(int dst, int dstStart, int dstSize, int srcStart, int srcSize) {
  std::int64_t k = std::int64_t(dst) - dstStart;
  return srcStart + static_cast<int>((2 * k + 1) * srcSize / (2 * std::int64_t(dstSize)));
}

template <class TCombine>
void Transfer(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect, const TBitmap32& src,
              TCombine combine) {
  const int dstW = dstRect.Width(), dstH = dstRect.Height();
  const int srcW = srcRect.Width(), srcH = srcRect.Height();
  if (srcW == dstW && srcH == dstH) {
    // Clip the source to its bitmap, then the destination to ours, moving both together.
    int sx = srcRect.Left, sy = srcRect.Top, dx = dstRect.Left, dy = dstRect.Top;
    int w = srcW, h = srcH;
    auto clip = [&](int& a, int& b, int& size, int limit) {  // a: the side being clipped
      if (a < 0) {
        size += a;
        b -= a;
        a = 0;
      }
      size = std::min(size, limit - a);
    };
    clip(sx, dx, w, src.Width());
    clip(sy, dy, h, src.Height());
    clip(dx, sx, w, dst.Width());
    clip(dy, sy, h, dst.Height());
    if (w <= 0 || h <= 0) return;
    for (int row = 0; row < h; ++row) {
      const TColor32* s = src.ScanLine(sy + row) + sx;
      TColor32* d = dst.ScanLine(dy + row) + dx;
      if constexpr (std::is_same_v<TCombine, TOpaque>) {
        std::memcpy(d, s, sizeof(TColor32) * w);
      } else {
        for (int x = 0; x < w; ++x) combine(s[x], d[x]);
      }
    }
    return;
  }
  // Stretched: visit the visible destination pixels and sample the nearest source pixel;
  // a sample outside the source bitmap leaves the destination pixel alone.
  const int left = std::max(dstRect.Left, 0), right = std::min(dstRect.Right, dst.Width());
  const int top = std::max(dstRect.Top, 0), bottom = std::min(dstRect.Bottom, dst.Height());
  for (int y = top; y < bottom; ++y) {
    const int sy = SourceCoord(y, dstRect.Top, dstH, srcRect.Top, srcH);
    if (sy < 0 || sy >= src.Height()) continue;
    const TColor32* s = src.ScanLine(sy);
    TColor32* d = dst.ScanLine(y);
    for (int x = left; x < right; ++x) {
      const int sx = SourceCoord(x, dstRect.Left, dstW, srcRect.Left, srcW);
      if (sx >= 0 && sx < src.Width()) combine(s[sx], d[x]);
    }
  }
}

}  // namespace

TColor32 BlendOver(TColor32 source, TColor32 destination, unsigned masterAlpha) {
  masterAlpha = std::min(masterAlpha, 255u);
  const unsigned a = (AlphaComponent(source) * masterAlpha + 127) / 255;
  if (a == 0) return destination;
  if (a == 255) return source;
  // Straight (not premultiplied) colours: weigh each side by its share of the result.
  const unsigned wf = a * 255, wb = AlphaComponent(destination) * (255 - a), sum = wf + wb;
  auto mix = [&](unsigned f, unsigned b) { return (f * wf + b * wb + sum / 2) / sum; };
  return Color32(mix(RedComponent(source), RedComponent(destination)),
                 mix(GreenComponent(source), GreenComponent(destination)),
                 mix(BlueComponent(source), BlueComponent(destination)), (sum + 127) / 255);
}

TBitmap32::TBitmap32(int width, int height) { SetSize(width, height); }

void TBitmap32::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) {
    width_ = height_ = 0;
    pixels_.clear();
    return;
  }
  if (width > RasterLimits.MaxSide || height > RasterLimits.MaxSide ||
      std::int64_t(width) * height > RasterLimits.MaxPixels)
    throw EPictureError("Bitmap size " + std::to_string(width) + "x" + std::to_string(height) +
                        " exceeds the raster limits");
  pixels_.assign(static_cast<size_t>(width) * height, 0);
  width_ = width;
  height_ = height;
}

void TBitmap32::Clear(TColor32 color) { std::fill(pixels_.begin(), pixels_.end(), color); }

void TBitmap32::FillRect(const TRect& rect, TColor32 color) {
  const int left = std::max(rect.Left, 0), right = std::min(rect.Right, width_);
  const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, height_);
  if (left >= right) return;
  for (int y = top; y < bottom; ++y) std::fill(ScanLine(y) + left, ScanLine(y) + right, color);
}

TColor32 TBitmap32::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void TBitmap32::SetPixel(int x, int y, TColor32 color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * width_ + x] = color;
}

void TBitmap32::Draw(const TRect& dstRect, const TRect& srcRect, const TBitmap32& src) {
  // Coordinates this far out mean a caller's mistake; refusing them keeps the clipping
  // arithmetic inside int.
  constexpr int Far = 1 << 29;
  for (int v : {dstRect.Left, dstRect.Top, dstRect.Right, dstRect.Bottom, srcRect.Left, srcRect.Top,
                srcRect.Right, srcRect.Bottom})
    if (v < -Far || v > Far) return;
  if (dstRect.Width() <= 0 || dstRect.Height() <= 0 || srcRect.Width() <= 0 || srcRect.Height() <= 0 ||
      Empty() || src.Empty())
    return;
  if (&src == this) {
    const TBitmap32 copy = src;
    Draw(dstRect, srcRect, copy);
    return;
  }
  switch (src.DrawMode) {
    case dmOpaque: Transfer(*this, dstRect, srcRect, src, TOpaque{}); break;
    case dmBlend:
      Transfer(*this, dstRect, srcRect, src, TBlend{std::min<unsigned>(src.MasterAlpha, 255)});
      break;
    case dmCustom:
      if (src.OnPixelCombine)
        Transfer(*this, dstRect, srcRect, src,
                 TCustom{src.OnPixelCombine, std::min<TColor32>(src.MasterAlpha, 255)});
      break;
  }
}

void TBitmap32::Draw(int dstX, int dstY, const TRect& srcRect, const TBitmap32& src) {
  Draw(TRect{dstX, dstY, dstX + srcRect.Width(), dstY + srcRect.Height()}, srcRect, src);
}

void TBitmap32::Draw(int dstX, int dstY, const TBitmap32& src) { Draw(dstX, dstY, src.BoundsRect(), src); }

void TBitmap32::LoadFromFile(const std::string& path) { Assign(LoadPictureFromFile(path)); }

void TBitmap32::SaveToFile(const std::string& path) const { SaveBmp32ToFile(ToPicture(), path); }

void TBitmap32::Assign(const TPicture& picture) { Assign(TPicture(picture)); }

void TBitmap32::Assign(TPicture&& picture) {
  const std::int64_t w = picture.Width, h = picture.Height;
  if (w < 0 || h < 0 || std::int64_t(picture.Pixels.size()) != w * h)
    throw EPictureError("Picture of " + std::to_string(w) + "x" + std::to_string(h) + " holds " +
                        std::to_string(picture.Pixels.size()) + " pixels");
  if (w == 0 || h == 0) {
    SetSize(0, 0);
    return;
  }
  if (w > RasterLimits.MaxSide || h > RasterLimits.MaxSide || w * h > RasterLimits.MaxPixels)
    throw EPictureError("Bitmap size " + std::to_string(w) + "x" + std::to_string(h) +
                        " exceeds the raster limits");
  pixels_ = std::move(picture.Pixels);
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
}

TPicture TBitmap32::ToPicture() const { return TPicture{width_, height_, pixels_}; }

}  // namespace orr
