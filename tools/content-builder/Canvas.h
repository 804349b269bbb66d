// SPDX-License-Identifier: GPL-3.0-or-later
// A small floating-point RGBA canvas with anti-aliased shape filling, the drawing
// surface every picture of the content builder is made on.
//
// Coordinates: pixel (x, y) covers [x, x+1) x [y, y+1), y grows downwards, the way the
// picture is stored top row first. Shapes are described by signed distance functions
// (negative inside, in pixels) so their edges get one pixel of anti-aliasing for free;
// pictures that are cut out along a key colour are hardened afterwards (Harden).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace orr::content {

// Straight (not premultiplied) colour, every channel 0..1.
struct TRgba {
  float R = 0, G = 0, B = 0, A = 0;
};

// 0xRRGGBB with the given opacity.
TRgba Hex(std::uint32_t rgb, float a = 1.0f);
TRgba Mix(TRgba a, TRgba b, float t);
TRgba Scale(TRgba c, float k);  // brightness, alpha kept
std::uint32_t ToArgb(TRgba c);  // 0xAARRGGBB, rounded

struct TVec {
  float X = 0, Y = 0;
};
inline TVec operator+(TVec a, TVec b) { return {a.X + b.X, a.Y + b.Y}; }
inline TVec operator-(TVec a, TVec b) { return {a.X - b.X, a.Y - b.Y}; }
inline TVec operator*(TVec a, float k) { return {a.X * k, a.Y * k}; }
float Length(TVec v);
TVec Rotate(TVec v, float degrees);  // counter-clockwise in a y-up frame

// Result of probing a shape at a point: distance to its edge (negative inside) and the
// x/y part of the surface normal of the raised shape there, in picture axes with y up
// (0, 0 for a flat top).
struct TProbe {
  float Dist = 1e9f;
  float Nx = 0, Ny = 0;
};

// How a filled shape is lit. The light comes from the upper left of the picture.
struct TPaint {
  TRgba Color;
  float Relief = 0.0f;    // 0 flat, 1 fully rounded shading
  float Gloss = 0.0f;     // strength of the specular spot
  float EdgeDark = 0.0f;  // darkening of the one-pixel rim inside the edge
  TPaint() = default;
  TPaint(TRgba c, float relief = 0.0f, float gloss = 0.0f, float edgeDark = 0.0f)
      : Color(c), Relief(relief), Gloss(gloss), EdgeDark(edgeDark) {}
};

class TCanvas {
 public:
  TCanvas(int width, int height, TRgba fill = {});

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TRgba& At(int x, int y) { return FPixels[static_cast<size_t>(y) * FWidth + x]; }
  const TRgba& At(int x, int y) const { return FPixels[static_cast<size_t>(y) * FWidth + x]; }
  // Wraps coordinates around, for tiles that must repeat seamlessly.
  TRgba& Wrapped(int x, int y);

  // Source-over blend of c with the given coverage (0..1).
  void Blend(int x, int y, TRgba c, float coverage = 1.0f);
  void Fill(TRgba c);

  // Fills every pixel whose centre probe lies inside the shape, within the box
  // [x0, x1) x [y0, y1) (clipped). The shape is probed in picture coordinates.
  // With wrap set, the box may leave the canvas and wraps around (seamless tiles).
  void FillShape(float x0, float y0, float x1, float y1, const std::function<TProbe(TVec)>& shape,
                 const TPaint& paint, bool wrap = false);
  // Like FillShape, but the colour comes from a function of the picture point.
  void FillShapeWith(float x0, float y0, float x1, float y1, const std::function<TProbe(TVec)>& shape,
                     const std::function<TRgba(TVec)>& color, bool wrap = false);

  // Draws `other` over this canvas with its top-left at (x, y).
  void Paste(const TCanvas& other, int x, int y);
  // Nearest-neighbour scaled copy of `other` into the rectangle (x, y, w, h).
  void PasteScaled(const TCanvas& other, int x, int y, int w, int h);

  // Paints a one-pixel outline around every opaque region (alpha >= 0.5) into the
  // transparent pixels next to it.
  void Outline(TRgba color, bool diagonals = false);
  // Makes every pixel either fully opaque or fully transparent (threshold 0.5); opaque
  // pixels keep their colour. Used for pictures cut out along a key colour.
  void Harden();
  // Replaces transparent pixels with the key colour and nudges any opaque pixel that
  // happens to equal the key, so that exactly the background is keyed away.
  std::vector<std::uint32_t> ToKeyed(std::uint32_t keyRgb) const;
  std::vector<std::uint32_t> ToArgbPixels() const;

 private:
  int FWidth, FHeight;
  std::vector<TRgba> FPixels;
};

// `src` resized to width x height: every target pixel averages the source pixels under
// it by the area they cover, colours weighted by opacity (so transparent pixels do not
// darken edges). Enlarging by a whole factor therefore repeats pixels, keeping the drawn
// look; shrinking by a whole factor averages factor x factor blocks.
TCanvas Resampled(const TCanvas& src, int width, int height);

// Shape probes, all in picture coordinates (y down) unless noted.
TProbe Circle(TVec p, TVec centre, float radius);
TProbe Ellipse(TVec p, TVec centre, float rx, float ry, float degrees = 0.0f);
TProbe Capsule(TVec p, TVec a, TVec b, float radius);
TProbe Box(TVec p, TVec centre, float hx, float hy, float degrees = 0.0f, float round = 0.0f,
           float bevel = 3.0f);
TProbe Polygon(TVec p, const std::vector<TVec>& points);  // flat
TProbe Ring(TVec p, TVec centre, float radius, float halfWidth);

// Colour of a lit surface point: base colour under the fixed light.
TRgba Shade(const TPaint& paint, TProbe probe);

}  // namespace orr::content
