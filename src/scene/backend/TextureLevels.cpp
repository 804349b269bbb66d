// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/backend/TextureLevels.h"

#include <cmath>

namespace orr {
namespace {

// Exact halving of 16-bit channels: the rounded mean of each 2 x 2 block.
void HalveWide(int width, int height, const std::uint16_t* in, std::uint16_t* out) {
  const int outW = width / 2, outH = height / 2, row = width * 4;
  for (int y = 0; y < outH; ++y)
    for (int x = 0; x < outW; ++x)
      for (int k = 0; k < 4; ++k) {
        const std::uint16_t* s = in + (2 * y) * row + (2 * x) * 4 + k;
        out[(y * outW + x) * 4 + k] =
            static_cast<std::uint16_t>((unsigned(s[0]) + s[4] + s[row] + s[row + 4] + 2) / 4);
      }
}

// Area averaging of 16-bit channels. Each output texel covers a box of the input (its own
// size when enlarging: one input texel wide, centred); the input wraps round at its edges.
// The arithmetic is single precision in this order on purpose: it gives the bytes textures
// had before.
void ScaleWide(int inW, int inH, const std::uint16_t* in, int outW, int outH, std::uint16_t* out) {
  if (inW == outW * 2 && inH == outH * 2) return HalveWide(inW, inH, in, out);
  const float convy = float(inH) / float(outH), convx = float(inW) / float(outW);
  const float halfconvx = convx / 2, halfconvy = convy / 2;
  for (int i = 0; i < outH; ++i) {
    const float cy = static_cast<float>(convy * (i + 0.5));
    const float lowy = inH > outH ? cy - halfconvy : static_cast<float>(cy - 0.5);
    const float highy = inH > outH ? cy + halfconvy : static_cast<float>(cy + 0.5);
    for (int j = 0; j < outW; ++j) {
      const float cx = static_cast<float>(convx * (j + 0.5));
      const float lowx = inW > outW ? cx - halfconvx : static_cast<float>(cx - 0.5);
      const float highx = inW > outW ? cx + halfconvx : static_cast<float>(cx + 0.5);
      float totals[4] = {0, 0, 0, 0};
      float area = 0;
      float y = lowy;
      int yint = static_cast<int>(std::floor(y));
      while (y < highy) {
        const int yindex = (yint + inH) % inH;
        const float ypercent = highy < float(yint + 1) ? highy - y : float(yint + 1) - y;
        float x = lowx;
        int xint = static_cast<int>(std::floor(x));
        while (x < highx) {
          const int xindex = (xint + inW) % inW;
          const float xpercent = highx < float(xint + 1) ? highx - x : float(xint + 1) - x;
          const float percent = xpercent * ypercent;
          area += percent;
          const std::uint16_t* s = in + (xindex + yindex * inW) * 4;
          for (int k = 0; k < 4; ++k) totals[k] += float(s[k]) * percent;
          ++xint;
          x = float(xint);
        }
        ++yint;
        y = float(yint);
      }
      for (int k = 0; k < 4; ++k)
        out[(j + i * outW) * 4 + k] = static_cast<std::uint16_t>((double(totals[k]) + 0.5) / double(area));
    }
  }
}

}  // namespace

std::vector<std::uint8_t> ScaleRgbaImage(int width, int height, const std::uint8_t* rgba, int outWidth,
                                         int outHeight) {
  const std::size_t inCount = std::size_t(width) * height * 4;
  const std::size_t outCount = std::size_t(outWidth) * outHeight * 4;
  std::vector<std::uint16_t> wide(inCount), scaled(outCount);
  for (std::size_t i = 0; i < inCount; ++i) wide[i] = static_cast<std::uint16_t>(rgba[i] * 257);
  ScaleWide(width, height, wide.data(), outWidth, outHeight, scaled.data());
  std::vector<std::uint8_t> out(outCount);
  for (std::size_t i = 0; i < outCount; ++i) out[i] = static_cast<std::uint8_t>(scaled[i] >> 8);
  return out;
}

TTextureLevel HalveTextureLevel(const TTextureLevel& level) {
  TTextureLevel out;
  out.Width = level.Width > 1 ? level.Width / 2 : 1;
  out.Height = level.Height > 1 ? level.Height / 2 : 1;
  out.Rgba.resize(std::size_t(out.Width) * out.Height * 4);
  const std::uint8_t* in = level.Rgba.data();
  const int row = level.Width * 4;
  if (level.Width == 1 || level.Height == 1) {
    // One row or one column: pairs along it, the mean rounded down.
    const int step = level.Width == 1 ? row : 4;
    const int count = out.Width * out.Height;
    for (int i = 0; i < count; ++i)
      for (int k = 0; k < 4; ++k) {
        const std::uint8_t* s = in + 2 * i * step + k;
        out.Rgba[i * 4 + k] = static_cast<std::uint8_t>((unsigned(s[0]) + s[step]) / 2);
      }
    return out;
  }
  for (int y = 0; y < out.Height; ++y)
    for (int x = 0; x < out.Width; ++x)
      for (int k = 0; k < 4; ++k) {
        const std::uint8_t* s = in + (2 * y) * row + (2 * x) * 4 + k;
        out.Rgba[(y * out.Width + x) * 4 + k] =
            static_cast<std::uint8_t>((unsigned(s[0]) + s[4] + s[row] + s[row + 4] + 2) / 4);
      }
  return out;
}

TTextureUpload BuildTextureUpload(int width, int height, const std::uint8_t* rgba, int outWidth,
                                  int outHeight, bool mipmaps) {
  TTextureUpload upload;
  TTextureLevel base;
  base.Width = outWidth;
  base.Height = outHeight;
  if (outWidth == width && outHeight == height)
    base.Rgba.assign(rgba, rgba + std::size_t(width) * height * 4);
  else base.Rgba = ScaleRgbaImage(width, height, rgba, outWidth, outHeight);
  upload.Levels.push_back(std::move(base));
  while (mipmaps && (upload.Levels.back().Width > 1 || upload.Levels.back().Height > 1))
    upload.Levels.push_back(HalveTextureLevel(upload.Levels.back()));
  return upload;
}

}  // namespace orr
