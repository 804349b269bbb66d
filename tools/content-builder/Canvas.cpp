// SPDX-License-Identifier: GPL-3.0-or-later
#include "Canvas.h"
#include "core/PortableMath.h"

#include <algorithm>
#include <cmath>

namespace orr::content {

namespace {

constexpr float Pi = 3.14159265358979f;

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Light from the upper left, slightly from above (picture axes, y up, z towards viewer).
constexpr float LightX = -0.55f, LightY = 0.55f, LightZ = 0.63f;

}  // namespace

TRgba Hex(std::uint32_t rgb, float a) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, a};
}

TRgba Mix(TRgba a, TRgba b, float t) {
  return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t, a.A + (b.A - a.A) * t};
}

TRgba Scale(TRgba c, float k) { return {c.R * k, c.G * k, c.B * k, c.A}; }

std::uint32_t ToArgb(TRgba c) {
  auto byte = [](float v) { return static_cast<std::uint32_t>(std::lround(Clamp01(v) * 255.0f)); };
  return (byte(c.A) << 24) | (byte(c.R) << 16) | (byte(c.G) << 8) | byte(c.B);
}

float Length(TVec v) { return std::sqrt(v.X * v.X + v.Y * v.Y); }

TVec Rotate(TVec v, float degrees) {
  float a = degrees * Pi / 180.0f;
  float c = CosF(a), s = SinF(a);
  return {v.X * c - v.Y * s, v.X * s + v.Y * c};
}

TCanvas::TCanvas(int width, int height, TRgba fill)
    : FWidth(width), FHeight(height), FPixels(static_cast<size_t>(width) * height, fill) {}

TRgba& TCanvas::Wrapped(int x, int y) {
  x %= FWidth;
  y %= FHeight;
  if (x < 0) x += FWidth;
  if (y < 0) y += FHeight;
  return At(x, y);
}

void TCanvas::Blend(int x, int y, TRgba c, float coverage) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  float a = Clamp01(c.A * coverage);
  if (a <= 0) return;
  TRgba& d = At(x, y);
  float outA = a + d.A * (1 - a);
  if (outA <= 0) return;
  float k = d.A * (1 - a);
  d.R = (c.R * a + d.R * k) / outA;
  d.G = (c.G * a + d.G * k) / outA;
  d.B = (c.B * a + d.B * k) / outA;
  d.A = outA;
}

void TCanvas::Fill(TRgba c) { std::fill(FPixels.begin(), FPixels.end(), c); }

void TCanvas::FillShapeWith(float x0, float y0, float x1, float y1, const std::function<TProbe(TVec)>& shape,
                            const std::function<TRgba(TVec)>& color, bool wrap) {
  int ix0 = static_cast<int>(std::floor(x0)) - 1, iy0 = static_cast<int>(std::floor(y0)) - 1;
  int ix1 = static_cast<int>(std::ceil(x1)) + 1, iy1 = static_cast<int>(std::ceil(y1)) + 1;
  if (!wrap) {
    ix0 = std::max(ix0, 0);
    iy0 = std::max(iy0, 0);
    ix1 = std::min(ix1, FWidth);
    iy1 = std::min(iy1, FHeight);
  }
  for (int y = iy0; y < iy1; ++y) {
    for (int x = ix0; x < ix1; ++x) {
      TVec p{x + 0.5f, y + 0.5f};
      TProbe probe = shape(p);
      float coverage = Clamp01(0.5f - probe.Dist);
      if (coverage <= 0) continue;
      TRgba c = color(p);
      if (wrap) {
        int wx = ((x % FWidth) + FWidth) % FWidth, wy = ((y % FHeight) + FHeight) % FHeight;
        Blend(wx, wy, c, coverage);
      } else {
        Blend(x, y, c, coverage);
      }
    }
  }
}

void TCanvas::FillShape(float x0, float y0, float x1, float y1, const std::function<TProbe(TVec)>& shape,
                        const TPaint& paint, bool wrap) {
  FillShapeWith(
      x0, y0, x1, y1, shape,
      [&](TVec p) {
        TProbe probe = shape(p);
        TRgba c = Shade(paint, probe);
        if (paint.EdgeDark > 0 && probe.Dist > -1.5f) c = Scale(c, 1.0f - paint.EdgeDark);
        return c;
      },
      wrap);
}

void TCanvas::Paste(const TCanvas& other, int x, int y) {
  for (int sy = 0; sy < other.Height(); ++sy)
    for (int sx = 0; sx < other.Width(); ++sx) Blend(x + sx, y + sy, other.At(sx, sy));
}

void TCanvas::PasteScaled(const TCanvas& other, int x, int y, int w, int h) {
  for (int dy = 0; dy < h; ++dy)
    for (int dx = 0; dx < w; ++dx) {
      int sx = dx * other.Width() / w, sy = dy * other.Height() / h;
      Blend(x + dx, y + dy, other.At(sx, sy));
    }
}

void TCanvas::Outline(TRgba color, bool diagonals) {
  std::vector<bool> solid(FPixels.size());
  for (size_t i = 0; i < FPixels.size(); ++i) solid[i] = FPixels[i].A >= 0.5f;
  auto isSolid = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < FWidth && y < FHeight && solid[static_cast<size_t>(y) * FWidth + x];
  };
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x) {
      if (isSolid(x, y)) continue;
      bool near = isSolid(x - 1, y) || isSolid(x + 1, y) || isSolid(x, y - 1) || isSolid(x, y + 1);
      if (!near && diagonals)
        near =
            isSolid(x - 1, y - 1) || isSolid(x + 1, y - 1) || isSolid(x - 1, y + 1) || isSolid(x + 1, y + 1);
      if (near) {
        // Mix with a partly covered pixel so anti-aliased edges turn into the outline.
        TRgba& d = At(x, y);
        d = d.A > 0 ? Mix(color, d, d.A * 0.5f) : color;
        d.A = 1;
      }
    }
}

void TCanvas::Harden() {
  for (TRgba& p : FPixels) p.A = p.A >= 0.5f ? 1.0f : 0.0f;
}

std::vector<std::uint32_t> TCanvas::ToKeyed(std::uint32_t keyRgb) const {
  std::vector<std::uint32_t> out(FPixels.size());
  std::uint32_t key = 0xFF000000u | keyRgb;
  for (size_t i = 0; i < FPixels.size(); ++i) {
    if (FPixels[i].A < 0.5f) {
      out[i] = key;
      continue;
    }
    TRgba c = FPixels[i];
    c.A = 1;
    std::uint32_t v = ToArgb(c);
    if (v == key) v ^= 1;  // one step off in blue: no longer the key
    out[i] = v;
  }
  return out;
}

namespace {

// One target pixel's share of source pixel `i`: the overlap of [i, i+1) with [from, to).
float Overlap(int i, float from, float to) {
  return std::max(0.0f, std::min(to, i + 1.0f) - std::max(from, static_cast<float>(i)));
}

}  // namespace

TCanvas Resampled(const TCanvas& src, int width, int height) {
  TCanvas out(width, height);
  const float kx = static_cast<float>(src.Width()) / width, ky = static_cast<float>(src.Height()) / height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float x0 = x * kx, x1 = x0 + kx, y0 = y * ky, y1 = y0 + ky;
      TRgba sum;
      float area = 0.0f;
      for (int sy = static_cast<int>(y0); sy < std::min(src.Height(), static_cast<int>(std::ceil(y1))); ++sy)
        for (int sx = static_cast<int>(x0); sx < std::min(src.Width(), static_cast<int>(std::ceil(x1)));
             ++sx) {
          const float w = Overlap(sx, x0, x1) * Overlap(sy, y0, y1);
          const TRgba p = src.At(sx, sy);
          sum.R += p.R * p.A * w, sum.G += p.G * p.A * w, sum.B += p.B * p.A * w, sum.A += p.A * w;
          area += w;
        }
      out.At(x, y) = sum.A > 0 ? TRgba{sum.R / sum.A, sum.G / sum.A, sum.B / sum.A, sum.A / area} : TRgba{};
    }
  return out;
}

std::vector<std::uint32_t> TCanvas::ToArgbPixels() const {
  std::vector<std::uint32_t> out(FPixels.size());
  for (size_t i = 0; i < FPixels.size(); ++i) out[i] = ToArgb(FPixels[i]);
  return out;
}

TProbe Circle(TVec p, TVec centre, float radius) {
  TVec d = p - centre;
  float len = Length(d);
  TProbe r;
  r.Dist = len - radius;
  float u = d.X / radius, v = -d.Y / radius;
  float k = std::min(1.0f, len / radius);
  if (len > 1e-6f) {
    u = d.X / len * k;
    v = -d.Y / len * k;
  }
  r.Nx = u;
  r.Ny = v;
  return r;
}

TProbe Ellipse(TVec p, TVec centre, float rx, float ry, float degrees) {
  TVec d = Rotate(p - centre, -degrees);
  float u = d.X / rx, v = d.Y / ry;
  float len = std::sqrt(u * u + v * v);
  TProbe r;
  r.Dist = (len - 1.0f) * std::min(rx, ry);
  float k = std::min(1.0f, len);
  TVec n = len > 1e-6f ? TVec{u / len * k, v / len * k} : TVec{};
  n = Rotate(n, degrees);
  r.Nx = n.X;
  r.Ny = -n.Y;
  return r;
}

TProbe Capsule(TVec p, TVec a, TVec b, float radius) {
  TVec ab = b - a, ap = p - a;
  float len2 = ab.X * ab.X + ab.Y * ab.Y;
  float t = len2 > 0 ? std::clamp((ap.X * ab.X + ap.Y * ab.Y) / len2, 0.0f, 1.0f) : 0.0f;
  TVec closest = a + ab * t;
  return Circle(p, closest, radius);
}

TProbe Box(TVec p, TVec centre, float hx, float hy, float degrees, float round, float bevel) {
  TVec d = Rotate(p - centre, -degrees);
  float qx = std::fabs(d.X) - hx + round, qy = std::fabs(d.Y) - hy + round;
  float outside = Length({std::max(qx, 0.0f), std::max(qy, 0.0f)});
  TProbe r;
  r.Dist = outside + std::min(std::max(qx, qy), 0.0f) - round;
  // A flat top with bevelled rims: the normal tilts outwards within `bevel` of the edge.
  float ex = std::clamp((std::fabs(d.X) - (hx - bevel)) / bevel, 0.0f, 1.0f);
  float ey = std::clamp((std::fabs(d.Y) - (hy - bevel)) / bevel, 0.0f, 1.0f);
  TVec n{(d.X < 0 ? -ex : ex) * 0.7f, (d.Y < 0 ? -ey : ey) * 0.7f};
  n = Rotate(n, degrees);
  r.Nx = n.X;
  r.Ny = -n.Y;
  return r;
}

TProbe Polygon(TVec p, const std::vector<TVec>& pts) {
  float d = 1e9f;
  bool inside = false;
  size_t n = pts.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    TVec a = pts[j], b = pts[i];
    TVec e = b - a, w = p - a;
    float len2 = e.X * e.X + e.Y * e.Y;
    float t = len2 > 0 ? std::clamp((w.X * e.X + w.Y * e.Y) / len2, 0.0f, 1.0f) : 0.0f;
    d = std::min(d, Length(w - e * t));
    if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X) inside = !inside;
  }
  TProbe r;
  r.Dist = inside ? -d : d;
  return r;
}

TProbe Ring(TVec p, TVec centre, float radius, float halfWidth) {
  TProbe r;
  r.Dist = std::fabs(Length(p - centre) - radius) - halfWidth;
  return r;
}

TRgba Shade(const TPaint& paint, TProbe probe) {
  float nx = probe.Nx * paint.Relief, ny = probe.Ny * paint.Relief;
  float nn = nx * nx + ny * ny;
  float nz = std::sqrt(std::max(0.0f, 1.0f - std::min(nn, 0.96f)));
  float inv = 1.0f / std::sqrt(nx * nx + ny * ny + nz * nz);
  nx *= inv;
  ny *= inv;
  nz *= inv;
  float diffuse = std::max(0.0f, nx * LightX + ny * LightY + nz * LightZ);
  // Flat surfaces (n = z) light to exactly 1.0 so flat colours stay as given.
  float light = 0.4f + 0.6f * diffuse / LightZ;
  TRgba c = Scale(paint.Color, light);
  if (paint.Gloss > 0) {
    // Reflection of the light about the normal, compared with the view (0, 0, 1).
    float rz = 2 * (nx * LightX + ny * LightY + nz * LightZ) * nz - LightZ;
    float shine = std::pow(std::max(0.0f, rz), 12.0f) * paint.Gloss;
    c = Mix(c, TRgba{1, 1, 1, c.A}, std::min(1.0f, shine));
  }
  c.R = Clamp01(c.R);
  c.G = Clamp01(c.G);
  c.B = Clamp01(c.B);
  return c;
}

}  // namespace orr::content
