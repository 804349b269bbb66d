// SPDX-License-Identifier: GPL-3.0-or-later
// Floor and wall pictures of the terrain atlas, one routine per surface.
//
// Every routine works on a 32 x 32 tile and keeps the picture periodic: noise repeats
// every 32 pixels, patterns have periods that divide 32 and shapes that cross an edge
// are drawn with wrap-around, so a floor joins its neighbours without a seam.
#include <cmath>
#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>

#include "Art.h"
#include "Noise.h"
#include "core/PortableMath.h"

namespace orr::content {

namespace {

constexpr int T = 32;

int Mod(int v, int m) { return ((v % m) + m) % m; }

void PerPixel(TCanvas& c, const std::function<TRgba(int, int)>& f) {
  for (int y = 0; y < T; ++y)
    for (int x = 0; x < T; ++x) c.At(x, y) = f(x, y);
}

// Multiplies the colour by (1 + amount * (n - 0.5) * 2).
TRgba Vary(TRgba c, float n, float amount) { return Scale(c, 1.0f + amount * (n - 0.5f) * 2.0f); }

// Grime: darker patches from periodic noise.
TRgba Grime(TRgba c, int x, int y, std::uint32_t seed, float amount) {
  float n = TileFbm(x, y, 16, T, 4, seed);
  return Scale(c, 1.0f - amount * std::max(0.0f, n - 0.45f) * 2.0f);
}

void Rivet(TCanvas& c, float x, float y, TRgba color, float r = 1.3f) {
  c.FillShape(
      x - 3, y - 3, x + 3, y + 3,
      [=](TVec p) {
        return Circle(p, {x, y}, r);
      },
      TPaint(color, 1.0f, 0.8f), true);
}

// Running-bond bricks of bw x bh with mortar `m` pixels wide, periodic over 32.
// Calls brick(x, y, brickId, u, v) for brick pixels (u, v within the brick, 0..1) and
// returns mortar otherwise.
TRgba Bond(int x, int y, int bw, int bh, int m, TRgba mortar,
           const std::function<TRgba(int, float, float)>& brick) {
  int row = y / bh;
  int shift = (row % 2) * (bw / 2);
  int xs = Mod(x + shift, T);
  int col = xs / bw;
  int lx = xs % bw, ly = y % bh;
  if (lx < m || ly < m) return mortar;
  int id = row * 16 + col;
  return brick(id, (lx - m + 0.5f) / (bw - m), (ly - m + 0.5f) / (bh - m));
}

// ---- floors -------------------------------------------------------------------------

TCanvas TreadPlate(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x7d8590));
  PerPixel(c, [&](int x, int y) {
    TRgba col = Vary(base, TileFbm(x, y, 8, T, 3, s.Seed), 0.08f);
    // Diamond tread: short raised bars in an 8-pixel lattice, alternating direction.
    int cx = x % 8, cy = y % 8;
    bool alt = ((x / 8) + (y / 8)) % 2 == 0;
    float u = cx - 3.5f, v = cy - 3.5f;
    float along = alt ? (u + v) : (u - v), across = alt ? (u - v) : (u + v);
    if (std::fabs(along) < 3.2f && std::fabs(across) < 1.1f) col = Scale(col, across < 0 ? 1.25f : 0.8f);
    if (x == 0 || y == 0) col = Scale(base, 0.45f);
    if (x == 1 || y == 1) col = Scale(col, 1.15f);
    return Grime(col, x, y, s.Seed + 7, 0.25f);
  });
  TRgba rivet = Scale(base, 0.95f);
  for (float p : {4.0f, 28.0f})
    for (float q : {4.0f, 28.0f}) Rivet(c, p, q, rivet);
  return c;
}

TCanvas Concrete(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x9a978f));
  PerPixel(c, [&](int x, int y) {
    float n = TileFbm(x, y, 16, T, 5, s.Seed);
    TRgba col = Vary(base, n, 0.12f);
    float speck = Hash01(x, y, s.Seed + 3);
    if (speck > 0.93f) col = Scale(col, 0.82f);
    else if (speck < 0.04f) col = Scale(col, 1.1f);
    if (s.Number("joints", 1) > 0 && (x == 0 || y == 0)) col = Scale(col, 0.72f);
    return Grime(col, x, y, s.Seed + 9, 0.2f);
  });
  return c;
}

TCanvas Grating(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x8a8f86)), pit = s.Color("pit", Hex(0x1b1d1f));
  PerPixel(c, [&](int x, int y) {
    float n = TileFbm(x, y, 8, T, 3, s.Seed);
    bool bar = (y % 4) < 2;
    bool support = (x % 16) < 2;
    if (support) {
      TRgba col = Scale(base, x % 16 == 0 ? 1.15f : 0.8f);
      return Vary(col, n, 0.1f);
    }
    if (bar) return Vary(Scale(base, y % 4 == 0 ? 1.1f : 0.85f), n, 0.12f);
    return Vary(pit, n, 0.3f);
  });
  return c;
}

TCanvas Ceramic(const TStyle& s) {
  TCanvas c(T, T);
  TRgba a = s.Color("base", Hex(0xd8d6cf)), b = s.Color("alt", Hex(0xc9c7bf)),
        grout = s.Color("grout", Hex(0x8e8b84));
  PerPixel(c, [&](int x, int y) {
    if (x % 16 == 0 || y % 16 == 0) return grout;
    int tile = (x / 16) + (y / 16) * 2;
    TRgba col = ((x / 16) + (y / 16)) % 2 ? b : a;
    col = Vary(col, Hash01(tile, 0, s.Seed), 0.04f);
    // Glaze: brighter towards the upper left of each tile.
    float gx = (x % 16) / 16.0f, gy = (y % 16) / 16.0f;
    col = Scale(col, 1.06f - 0.08f * (gx + gy) * 0.5f);
    if (x % 16 == 1 || y % 16 == 1) col = Scale(col, 1.06f);
    return Grime(col, x, y, s.Seed + 5, 0.18f);
  });
  return c;
}

void Pebbles(TCanvas& c, const TStyle& s, int count, float rmin, float rmax, TRgba color, float var) {
  TDice dice(s.Seed + 77);
  for (int i = 0; i < count; ++i) {
    float x = dice.Range(0, T), y = dice.Range(0, T);
    float rx = dice.Range(rmin, rmax), ry = rx * dice.Range(0.6f, 1.0f), rot = dice.Range(0, 180);
    TRgba col = Vary(color, dice.Real(), var);
    c.FillShape(
        x - rmax - 1, y - rmax - 1, x + rmax + 1, y + rmax + 1,
        [=](TVec p) {
          return Ellipse(p, {x, y}, rx, ry, rot);
        },
        TPaint(col, 0.9f, 0.1f), true);
  }
}

TCanvas Dirt(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x7a5c3e)), dark = s.Color("dark", Hex(0x5a412b));
  PerPixel(c, [&](int x, int y) {
    float n = TileFbm(x, y, 16, T, 5, s.Seed);
    TRgba col = Mix(dark, base, std::clamp(n * 1.6f - 0.3f, 0.0f, 1.0f));
    return Vary(col, Hash01(x, y, s.Seed + 1), 0.1f);
  });
  Pebbles(c, s, 9, 0.8f, 1.8f, s.Color("stone", Hex(0x9a8a74)), 0.2f);
  return c;
}

TCanvas Grass(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x4f7a32)), dark = s.Color("dark", Hex(0x36572a)),
        tip = s.Color("tip", Hex(0x86ad4c));
  PerPixel(c, [&](int x, int y) {
    float n = TileFbm(x, y, 16, T, 4, s.Seed);
    return Mix(dark, base, std::clamp(n * 1.5f - 0.2f, 0.0f, 1.0f));
  });
  // Blades: short strokes leaning a little, bright at the tip.
  TDice dice(s.Seed + 3);
  for (int i = 0; i < 70; ++i) {
    float x = dice.Range(0, T), y = dice.Range(0, T);
    float len = dice.Range(2.0f, 4.0f), lean = dice.Range(-1.2f, 1.2f);
    TRgba col = Mix(base, tip, dice.Range(0.2f, 1.0f));
    TVec a{x, y}, b{x + lean, y - len};
    c.FillShape(
        x - 3, y - 5, x + 3, y + 1, [=](TVec p) { return Capsule(p, a, b, 0.45f); }, TPaint(col), true);
  }
  return c;
}

TCanvas Hazard(const TStyle& s) {
  TCanvas c(T, T);
  TRgba yellow = s.Color("base", Hex(0xe0b422)), black = s.Color("stripe", Hex(0x262422));
  PerPixel(c, [&](int x, int y) {
    bool stripe = Mod(x + y, 16) < 8;
    TRgba col = stripe ? black : yellow;
    float wear = TileFbm(x, y, 8, T, 4, s.Seed);
    if (wear > 0.68f) col = Mix(col, s.Color("wear", Hex(0x8d8a83)), 0.7f);
    return Vary(col, Hash01(x, y, s.Seed), 0.06f);
  });
  return c;
}

TCanvas Carpet(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x7a2130)), motif = s.Color("motif", Hex(0xc99a3c)),
        dark = s.Color("dark", Hex(0x4d1420));
  PerPixel(c, [&](int x, int y) {
    // Woven texture: alternating threads.
    float weave = ((x + (y % 2)) % 2) ? 1.04f : 0.96f;
    TRgba col = Scale(base, weave);
    // Diamond motif every 16 pixels, with a dark lattice between.
    int u = Mod(x - 8, 16) - 8, v = Mod(y - 8, 16) - 8;
    int d = std::abs(u) + std::abs(v);
    if (d == 7 || d == 8) col = dark;
    if (d <= 3) col = d == 3 ? dark : motif;
    col = Vary(col, TileFbm(x, y, 8, T, 3, s.Seed), 0.1f);
    return col;
  });
  return c;
}

TCanvas Paving(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x9b5c45)), mortar = s.Color("mortar", Hex(0x6f6a62));
  PerPixel(c, [&](int x, int y) {
    return Bond(x, y, 16, 8, 1, mortar, [&](int id, float u, float v) {
      TRgba col = Vary(base, Hash01(id, 1, s.Seed), 0.12f);
      col = Scale(col, 1.08f - 0.12f * (u + v) * 0.5f);
      return Vary(col, Hash01(x, y, s.Seed + 2), 0.06f);
    });
  });
  return c;
}

TCanvas CrateLid(const TStyle& s) {
  TCanvas c(T, T);
  TRgba wood = s.Color("base", Hex(0xa5773f)), frame = s.Color("frame", Hex(0x7b5428));
  PerPixel(c, [&](int x, int y) {
    bool border = x < 4 || x > 27 || y < 4 || y > 27;
    float grain = TileNoise(x * 0.25f, y * 3.0f, 2, 8, s.Seed);
    TRgba col;
    if (border) {
      col = Vary(frame, grain, 0.12f);
      if (x == 0 || y == 0 || x == 31 || y == 31) col = Scale(frame, 0.55f);
      else if (x == 1 || y == 1) col = Scale(col, 1.18f);
    } else {
      int plank = (x - 4) / 6;
      col = Vary(wood, Hash01(plank, 3, s.Seed), 0.1f);
      col = Vary(col, TileNoise(x * 0.4f, y * 0.08f + plank * 7, 1, 64, s.Seed + 1), 0.12f);
      if ((x - 4) % 6 == 0) col = Scale(col, 0.65f);
    }
    return col;
  });
  TRgba nail = Hex(0x6d6d6d);
  for (float p : {2.5f, 29.5f})
    for (float q : {2.5f, 29.5f}) Rivet(c, p, q, nail, 0.9f);
  return c;
}

TCanvas Asphalt(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x3f4143));
  PerPixel(c, [&](int x, int y) {
    TRgba col = Vary(base, TileFbm(x, y, 16, T, 4, s.Seed), 0.12f);
    float h = Hash01(x, y, s.Seed + 4);
    if (h > 0.9f) col = Scale(col, 1.3f);
    else if (h < 0.1f) col = Scale(col, 0.8f);
    return col;
  });
  return c;
}

TCanvas RustPlate(const TStyle& s) {
  TCanvas c(T, T);
  TRgba steel = s.Color("base", Hex(0x6a6560)), rust = s.Color("rust", Hex(0x8f4a22));
  PerPixel(c, [&](int x, int y) {
    float n = TileFbm(x, y, 16, T, 5, s.Seed);
    TRgba col = Mix(steel, rust, std::clamp((n - 0.4f) * 3.0f, 0.0f, 1.0f));
    col = Vary(col, Hash01(x, y, s.Seed + 8), 0.08f);
    if (x == 0 || y == 16) col = Scale(col, 0.55f);
    if (x == 1 || y == 17) col = Scale(col, 1.15f);
    return col;
  });
  for (float q : {4.0f, 12.0f, 20.0f, 28.0f}) Rivet(c, 3.5f, q, Scale(steel, 0.9f), 1.0f);
  return c;
}

TCanvas Lino(const TStyle& s) {
  TCanvas c(T, T);
  TRgba a = s.Color("base", Hex(0x5b6f86)), b = s.Color("alt", Hex(0xb9c2c9));
  PerPixel(c, [&](int x, int y) {
    TRgba col = ((x / 8) + (y / 8)) % 2 ? b : a;
    col = Vary(col, TileFbm(x, y, 8, T, 3, s.Seed), 0.06f);
    float scuff = TileNoise(x * 1.0f, y * 0.25f, 4, T, s.Seed + 1);
    if (scuff > 0.78f) col = Scale(col, 0.88f);
    return col;
  });
  return c;
}

TCanvas Gravel(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x7c776d));
  PerPixel(c, [&](int x, int y) { return Scale(base, 0.6f + 0.2f * TileFbm(x, y, 8, T, 3, s.Seed)); });
  Pebbles(c, s, 60, 1.0f, 2.2f, s.Color("stone", Hex(0x9d978b)), 0.25f);
  return c;
}

// ---- walls --------------------------------------------------------------------------

TCanvas MetalPanel(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x5d6878));
  PerPixel(c, [&](int x, int y) {
    TRgba col = Vary(base, TileFbm(x, y, 8, T, 3, s.Seed), 0.07f);
    // Brushed vertical streaks.
    col = Vary(col, Hash01(x, 0, s.Seed + 2), 0.05f);
    if (x == 0 || y == 0) return Scale(base, 0.4f);
    if (x == 1 || y == 1) return Scale(col, 1.25f);
    if (x == 31 || y == 31) return Scale(col, 0.7f);
    if (y == 15) return Scale(col, 0.6f);
    if (y == 16) return Scale(col, 1.2f);
    return Grime(col, x, y, s.Seed + 4, 0.3f);
  });
  for (float p : {4.5f, 27.5f})
    for (float q : {4.5f, 11.5f, 20.5f, 27.5f}) Rivet(c, p, q, Scale(base, 1.05f), 1.1f);
  return c;
}

TCanvas ConcreteBlock(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x8c8a84)), mortar = s.Color("mortar", Hex(0x6b6964));
  PerPixel(c, [&](int x, int y) {
    return Bond(x, y, 16, 8, 1, mortar, [&](int id, float u, float v) {
      TRgba col = Vary(base, Hash01(id, 5, s.Seed), 0.08f);
      col = Vary(col, TileFbm(x, y, 8, T, 4, s.Seed + 1), 0.12f);
      if (v < 0.15f) col = Scale(col, 1.1f);
      if (u > 0.93f || v > 0.86f) col = Scale(col, 0.85f);
      return Grime(col, x, y, s.Seed + 3, 0.2f);
    });
  });
  return c;
}

TCanvas VentPanel(const TStyle& s) {
  TCanvas c = MetalPanel(s);
  TRgba base = s.Color("base", Hex(0x5d6878)), slot = s.Color("slot", Hex(0x15171a));
  for (int y = 8; y < 24; ++y)
    for (int x = 7; x < 25; ++x) {
      int k = (y - 8) % 4;
      if (x == 7 || x == 24 || y == 8 || y == 23) c.At(x, y) = Scale(base, 0.55f);
      else c.At(x, y) = k < 2 ? slot : Scale(base, k == 2 ? 1.25f : 0.9f);
    }
  return c;
}

TCanvas TiledWall(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0xdcdfdc)), grout = s.Color("grout", Hex(0x9aa09d)),
        band = s.Color("band", Hex(0x3f7f8c));
  PerPixel(c, [&](int x, int y) {
    if (x % 8 == 0 || y % 8 == 0) return grout;
    TRgba col = (y / 8) == 2 ? band : base;
    col = Vary(col, Hash01(x / 8, y / 8, s.Seed), 0.05f);
    if (x % 8 == 1 || y % 8 == 1) col = Scale(col, 1.06f);
    return Grime(col, x, y, s.Seed + 1, 0.22f);
  });
  return c;
}

// Irregular stones from a periodic Voronoi pattern.
TCanvas StoneWall(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x8b847a)), mortar = s.Color("mortar", Hex(0x4d4942));
  const int cells = 4;  // 4 x 4 seed cells of 8 pixels
  PerPixel(c, [&](int x, int y) {
    float best = 1e9f, second = 1e9f;
    int bestId = 0;
    for (int gy = -1; gy <= cells; ++gy)
      for (int gx = -1; gx <= cells; ++gx) {
        int wx = Mod(gx, cells), wy = Mod(gy, cells);
        float px = gx * 8 + 1 + 6 * Hash01(wx, wy, s.Seed), py = gy * 8 + 1 + 6 * Hash01(wx, wy, s.Seed + 1);
        float dx = (x + 0.5f) - px, dy = ((y + 0.5f) - py) * 1.4f;  // stones wider than tall
        float d = std::sqrt(dx * dx + dy * dy);
        if (d < best) {
          second = best;
          best = d;
          bestId = wy * cells + wx;
        } else if (d < second) {
          second = d;
        }
      }
    if (second - best < 1.3f) return Vary(mortar, Hash01(x, y, s.Seed), 0.15f);
    TRgba col = Vary(base, Hash01(bestId, 9, s.Seed), 0.16f);
    col = Scale(col, 1.12f - std::min(best, 6.0f) * 0.035f);
    return Vary(col, TileFbm(x, y, 8, T, 3, s.Seed + 2), 0.1f);
  });
  return c;
}

TCanvas Hedge(const TStyle& s) {
  TCanvas c(T, T, s.Color("dark", Hex(0x1f3a1a)));
  TRgba leaf = s.Color("base", Hex(0x3d6b2c)), light = s.Color("tip", Hex(0x6f9a45));
  TDice dice(s.Seed);
  for (int i = 0; i < 120; ++i) {
    float x = dice.Range(0, T), y = dice.Range(0, T);
    float r = dice.Range(1.2f, 2.4f), rot = dice.Range(0, 180);
    TRgba col = Mix(leaf, light, dice.Real() * dice.Real());
    c.FillShape(
        x - 4, y - 4, x + 4, y + 4,
        [=](TVec p) {
          return Ellipse(p, {x, y}, r * 1.5f, r, rot);
        },
        TPaint(col, 1.0f, 0.0f, 0.2f), true);
  }
  return c;
}

TCanvas HazardWall(const TStyle& s) {
  TCanvas c = ConcreteBlock(s);
  TRgba yellow = s.Color("stripe", Hex(0xd9ad1f)), black = Hex(0x1e1d1c);
  for (int y = 10; y < 22; ++y)
    for (int x = 0; x < T; ++x) {
      TRgba col = Mod(x - y, 16) < 8 ? black : yellow;
      if (y == 10 || y == 21) col = Scale(col, 0.6f);
      if (TileFbm(x, y, 8, T, 3, s.Seed + 9) > 0.7f) col = Mix(col, c.At(x, y), 0.6f);
      c.At(x, y) = col;
    }
  return c;
}

TCanvas WoodPanel(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x7a4f2c));
  PerPixel(c, [&](int x, int y) {
    int plank = x / 8;
    TRgba col = Vary(base, Hash01(plank, 4, s.Seed), 0.1f);
    float grain = TileNoise(x * 3.0f + plank * 13, y * 0.25f, 4, 8, s.Seed + 1);
    col = Vary(col, grain, 0.15f);
    if (x % 8 == 0) col = Scale(col, 0.55f);
    if (x % 8 == 1) col = Scale(col, 1.12f);
    if (y == 31) col = Scale(col, 0.6f);
    return col;
  });
  return c;
}

TCanvas Brick(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0x9e4a34)), mortar = s.Color("mortar", Hex(0xb2a996));
  PerPixel(c, [&](int x, int y) {
    return Bond(x, y, 16, 8, 1, mortar, [&](int id, float u, float v) {
      TRgba col = Vary(base, Hash01(id, 2, s.Seed), 0.14f);
      col = Vary(col, Hash01(x, y, s.Seed + 6), 0.08f);
      if (v < 0.18f) col = Scale(col, 1.12f);
      if (v > 0.82f || u > 0.94f) col = Scale(col, 0.8f);
      return Grime(col, x, y, s.Seed + 3, 0.2f);
    });
  });
  return c;
}

TCanvas CrateFront(const TStyle& s) {
  TCanvas c(T, T);
  TRgba wood = s.Color("base", Hex(0xa5773f)), frame = s.Color("frame", Hex(0x7b5428));
  PerPixel(c, [&](int x, int y) {
    bool border = x < 4 || x > 27 || y < 4 || y > 27;
    // Diagonal brace from lower left to upper right.
    bool brace = std::abs((x - 4) - (27 - y)) < 3 && !border;
    TRgba col;
    if (border || brace) {
      col = Vary(frame, TileNoise(x * 0.3f, y * 0.3f, 2, 64, s.Seed), 0.15f);
      if (x == 0 || y == 0 || x == 31 || y == 31) col = Scale(frame, 0.5f);
      if (brace && std::abs((x - 4) - (27 - y)) == 2) col = Scale(col, 0.7f);
    } else {
      int plank = (y - 4) / 6;
      col = Vary(wood, Hash01(plank, 8, s.Seed), 0.1f);
      col = Vary(col, TileNoise(x * 0.08f + plank * 5, y * 0.4f, 1, 64, s.Seed + 1), 0.12f);
      if ((y - 4) % 6 == 0) col = Scale(col, 0.62f);
    }
    return col;
  });
  TRgba nail = Hex(0x5f5f5f);
  for (float p : {2.5f, 29.5f})
    for (float q : {2.5f, 29.5f}) Rivet(c, p, q, nail, 0.9f);
  return c;
}

TCanvas Barrier(const TStyle& s) {
  TCanvas c(T, T);
  TRgba base = s.Color("base", Hex(0xa7a49b));
  PerPixel(c, [&](int x, int y) {
    // Sloped lower part, upright upper part: light falls differently on each.
    float k = y < 12 ? 1.08f : (y < 14 ? 0.75f : 0.92f - (y - 14) * 0.006f);
    TRgba col = Scale(base, k);
    col = Vary(col, TileFbm(x, y, 8, T, 4, s.Seed), 0.12f);
    if (x == 0) col = Scale(col, 0.6f);
    return Grime(col, x, y, s.Seed + 2, 0.25f);
  });
  return c;
}

TCanvas Corrugated(const TStyle& s) {
  TCanvas c(T, T);
  TRgba metal = s.Color("base", Hex(0x80786c)), rust = s.Color("rust", Hex(0x8a4520));
  PerPixel(c, [&](int x, int y) {
    float wave = SinF((x + 0.5f) * 2.0f * 3.14159265f / 8.0f);
    TRgba col = Scale(metal, 1.0f - 0.25f * wave);
    float n = TileFbm(x, y, 16, T, 5, s.Seed);
    col = Mix(col, Scale(rust, 1.0f - 0.2f * wave), std::clamp((n - 0.45f) * 2.5f, 0.0f, 1.0f));
    if (y == 0) col = Scale(col, 0.6f);
    return col;
  });
  return c;
}

TCanvas Plaster(const TStyle& s) {
  TCanvas c(T, T);
  TRgba upper = s.Color("base", Hex(0xc8bfa8)), lower = s.Color("band", Hex(0x56634d));
  PerPixel(c, [&](int x, int y) {
    TRgba col = y < 20 ? upper : lower;
    if (y == 20) col = Scale(lower, 0.55f);  // dark trim on top of the dado
    col = Vary(col, TileFbm(x, y, 8, T, 4, s.Seed), 0.08f);
    return Grime(col, x, y, s.Seed + 1, 0.2f);
  });
  return c;
}

TCanvas Sandbags(const TStyle& s) {
  TCanvas c(T, T, s.Color("dark", Hex(0x4a4030)));
  TRgba bag = s.Color("base", Hex(0xb09a6c));
  for (int row = 0; row < 4; ++row)
    for (int i = -1; i < 3; ++i) {
      float cx = i * 16 + 8 + (row % 2) * 8, cy = row * 8 + 4;
      TRgba col = Vary(bag, Hash01(row, i, s.Seed), 0.12f);
      c.FillShapeWith(
          cx - 9, cy - 5, cx + 9, cy + 5,
          [=](TVec p) {
            return Box(p, {cx, cy}, 7.6f, 3.7f, 0, 3.0f);
          },
          [=](TVec p) {
            TPaint paint(col, 1.0f);
            TRgba shaded = Shade(paint, Ellipse(p, {cx, cy}, 8.5f, 4.5f));
            return Vary(shaded, TileNoise(p.X * 2, p.Y * 2, 2, 64, 5), 0.08f);
          },
          true);
    }
  return c;
}

using TDraw = TCanvas (*)(const TStyle&);

TDraw FindFloor(const std::string& kind) {
  static const std::map<std::string, TDraw> table = {{"treadplate", TreadPlate},
                                                     {"concrete", Concrete},
                                                     {"grating", Grating},
                                                     {"ceramic", Ceramic},
                                                     {"dirt", Dirt},
                                                     {"grass", Grass},
                                                     {"hazard", Hazard},
                                                     {"carpet", Carpet},
                                                     {"paving", Paving},
                                                     {"cratelid", CrateLid},
                                                     {"asphalt", Asphalt},
                                                     {"rustplate", RustPlate},
                                                     {"lino", Lino},
                                                     {"gravel", Gravel}};
  auto it = table.find(kind);
  return it == table.end() ? nullptr : it->second;
}

TDraw FindWall(const std::string& kind) {
  static const std::map<std::string, TDraw> table = {
      {"metalpanel", MetalPanel}, {"concreteblock", ConcreteBlock},
      {"ventpanel", VentPanel},   {"tiledwall", TiledWall},
      {"stonewall", StoneWall},   {"hedge", Hedge},
      {"hazardwall", HazardWall}, {"woodpanel", WoodPanel},
      {"brick", Brick},           {"cratefront", CrateFront},
      {"barrier", Barrier},       {"corrugated", Corrugated},
      {"plaster", Plaster},       {"sandbags", Sandbags}};
  auto it = table.find(kind);
  return it == table.end() ? nullptr : it->second;
}

TCanvas Opaque(TCanvas c) {
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x) c.At(x, y).A = 1;
  return c;
}

}  // namespace

TCanvas DrawFloor(const TStyle& style) {
  TDraw draw = FindFloor(style.Kind);
  if (!draw) throw std::runtime_error("unknown floor style \"" + style.Kind + "\"");
  return Opaque(draw(style));
}

TCanvas DrawWall(const TStyle& style) {
  TDraw draw = FindWall(style.Kind);
  if (!draw) throw std::runtime_error("unknown wall style \"" + style.Kind + "\"");
  return Opaque(draw(style));
}

}  // namespace orr::content
