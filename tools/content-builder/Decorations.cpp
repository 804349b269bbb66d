// SPDX-License-Identifier: GPL-3.0-or-later
// Decoration pictures: things lying on or painted onto a floor, drawn on a transparent
// background that is keyed away in the game. Nothing here may be half transparent (the
// game cuts along one colour), so every shape has a hard edge after Harden().
// Long things (pipes, cables, stripes) run from edge to edge so neighbouring cells join.
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "Art.h"
#include "Noise.h"
#include "core/PortableMath.h"

namespace orr::content {

namespace {

constexpr int T = 32;

// A blot with a ragged edge: an ellipse whose radius is disturbed by noise.
void Blot(TCanvas& c, float cx, float cy, float rx, float ry, std::uint32_t seed, TRgba inner, TRgba outer) {
  c.FillShapeWith(
      cx - rx - 4, cy - ry - 4, cx + rx + 4, cy + ry + 4,
      [=](TVec p) {
        TProbe e = Ellipse(p, {cx, cy}, rx, ry);
        e.Dist += (TileNoise(p.X, p.Y, 4, 64, seed) - 0.5f) * 5.0f;
        return e;
      },
      [=](TVec p) {
        float u = (p.X - cx) / rx, v = (p.Y - cy) / ry;
        float r = std::sqrt(u * u + v * v);
        return Mix(inner, outer, std::clamp(r, 0.0f, 1.0f));
      });
}

TCanvas Crack(const TStyle& s) {
  TCanvas c(T, T);
  TRgba col = s.Color("base", Hex(0x2a2826));
  TDice dice(s.Seed);
  // A main crack wandering across, with two branches.
  auto crack = [&](TVec from, float heading, int steps, float width) {
    TVec p = from;
    for (int i = 0; i < steps; ++i) {
      heading += dice.Range(-35, 35);
      TVec q = p + Rotate({2.6f, 0}, heading);
      float w = width * (1.0f - 0.6f * i / steps);
      c.FillShape(
          std::min(p.X, q.X) - 2, std::min(p.Y, q.Y) - 2, std::max(p.X, q.X) + 2, std::max(p.Y, q.Y) + 2,
          [=](TVec x) { return Capsule(x, p, q, w); }, TPaint(col));
      p = q;
    }
    return p;
  };
  crack({3, 20}, -15, 11, 0.9f);
  crack({14, 17}, 60, 5, 0.6f);
  crack({20, 14}, -70, 5, 0.6f);
  return c;
}

TCanvas Stain(const TStyle& s) {
  TCanvas c(T, T);
  TRgba inner = s.Color("base", Hex(0x141414)), outer = s.Color("edge", Hex(0x2e2b30));
  Blot(c, 15, 16, 10, 8, s.Seed, inner, outer);
  TDice dice(s.Seed + 1);
  int drops = static_cast<int>(s.Number("drops", 5));
  for (int i = 0; i < drops; ++i) {
    float a = dice.Range(0, 360), d = dice.Range(11, 14);
    TVec p = TVec{15, 16} + Rotate({d, 0}, a);
    float r = dice.Range(0.9f, 1.8f);
    c.FillShape(
        p.X - 3, p.Y - 3, p.X + 3, p.Y + 3, [=](TVec x) { return Circle(x, p, r); }, TPaint(outer));
  }
  if (s.Number("gloss", 0) > 0) {
    // A sheen on the wet surface.
    c.FillShape(
        8, 9, 18, 15,
        [](TVec x) {
          return Ellipse(x, {12, 12}, 3.5f, 1.3f, -20);
        },
        TPaint(s.Color("sheen", Hex(0x4a4f63))));
  }
  return c;
}

TCanvas Arrow(const TStyle& s) {
  TCanvas c(T, T);
  TRgba paint = s.Color("base", Hex(0xe6c13a));
  std::vector<TVec> pts = {{16, 3}, {27, 14}, {20, 14}, {20, 29}, {12, 29}, {12, 14}, {5, 14}};
  c.FillShapeWith(
      0, 0, T, T, [&](TVec p) { return Polygon(p, pts); },
      [&](TVec p) {
        // Worn paint: some pixels show a duller tone.
        float n = TileNoise(p.X, p.Y, 2, 64, s.Seed);
        return n > 0.72f ? Scale(paint, 0.7f) : paint;
      });
  return c;
}

TCanvas Pipes(const TStyle& s) {
  TCanvas c(T, T);
  TRgba a = s.Color("base", Hex(0x8a8f96)), b = s.Color("alt", Hex(0x9c5a2c));
  // Two pipes running left to right across the whole cell, with a bracket.
  c.FillShape(
      -2, 6, 34, 16,
      [](TVec p) {
        return Box(p, {16, 11}, 20, 3.5f, 0, 0, 3.5f);
      },
      TPaint(a, 1.0f, 0.7f, 0.3f));
  c.FillShape(
      -2, 17, 34, 25,
      [](TVec p) {
        return Box(p, {16, 21}, 20, 2.5f, 0, 0, 2.5f);
      },
      TPaint(b, 1.0f, 0.6f, 0.3f));
  TRgba clamp = Scale(a, 0.7f);
  c.FillShape(
      18, 5, 24, 27,
      [](TVec p) {
        return Box(p, {21, 16}, 2, 10, 0, 0.5f, 1);
      },
      TPaint(clamp, 1.0f, 0.3f, 0.3f));
  return c;
}

TCanvas Drain(const TStyle& s) {
  TCanvas c(T, T);
  TRgba frame = s.Color("base", Hex(0x595e63)), hole = s.Color("hole", Hex(0x121314));
  c.FillShape(
      4, 4, 28, 28,
      [](TVec p) {
        return Box(p, {16, 16}, 11, 11, 0, 1.5f, 2);
      },
      TPaint(frame, 1.0f, 0.3f, 0.3f));
  for (int i = 0; i < 5; ++i) {
    float x = 9 + i * 3.5f;
    c.FillShape(
        x - 2, 7, x + 2, 25,
        [=](TVec p) {
          return Box(p, {x, 16}, 1.0f, 7.5f);
        },
        TPaint(hole));
  }
  return c;
}

TCanvas Debris(const TStyle& s) {
  TCanvas c(T, T);
  TRgba a = s.Color("base", Hex(0x8e877b)), b = s.Color("alt", Hex(0x6a5e4e));
  TDice dice(s.Seed);
  for (int i = 0; i < 14; ++i) {
    float x = dice.Range(5, 27), y = dice.Range(5, 27);
    float r = dice.Range(1.2f, i < 3 ? 4.5f : 2.5f);
    std::vector<TVec> pts;
    int corners = 4 + dice.Int(3);
    float start = dice.Range(0, 360);
    for (int k = 0; k < corners; ++k)
      pts.push_back(TVec{x, y} + Rotate({r * dice.Range(0.6f, 1.0f), 0}, start + k * 360.0f / corners));
    TRgba col = Mix(a, b, dice.Real());
    c.FillShapeWith(
        x - 6, y - 6, x + 6, y + 6, [=](TVec p) { return Polygon(p, pts); },
        [=](TVec p) { return Scale(col, p.X + p.Y < x + y ? 1.12f : 0.85f); });
  }
  c.Outline(s.Color("edge", Hex(0x2a2622)));
  return c;
}

TCanvas Cables(const TStyle& s) {
  TCanvas c(T, T);
  TRgba colors[3] = {s.Color("base", Hex(0x1d1d1f)), s.Color("alt", Hex(0xb2302a)),
                     s.Color("third", Hex(0x2f5fa0))};
  for (int k = 0; k < 3; ++k) {
    float y0 = 10 + k * 6, amp = 2.0f + k, phase = k * 1.7f;
    TRgba col = colors[k];
    // One period of a sine across the cell, so cells in a row join.
    for (int i = 0; i < 32; ++i) {
      float xa = i, xb = i + 1;
      TVec a{xa, y0 + amp * SinF(xa / 32 * 6.2831853f + phase)};
      TVec b{xb, y0 + amp * SinF(xb / 32 * 6.2831853f + phase)};
      c.FillShape(
          xa - 3, a.Y - 4, xb + 3, a.Y + 4, [=](TVec p) { return Capsule(p, a, b, 1.3f); },
          TPaint(col, 1.0f, 0.5f));
    }
  }
  return c;
}

TCanvas Marking(const TStyle& s) {
  TCanvas c(T, T);
  TRgba paint = s.Color("base", Hex(0xe8e4d8));
  // A painted corner bracket with diagonal hatching: a loading-bay marking.
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Box(p, {5, 16}, 2, 13);
      },
      TPaint(paint));
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Box(p, {16, 27}, 13, 2);
      },
      TPaint(paint));
  for (int i = 0; i < 3; ++i) {
    float o = 10 + i * 6;  // hatch lines from the upright bar down to the foot bar
    c.FillShape(
        0, 0, T, T,
        [=](TVec p) {
          return Capsule(p, {9, o}, {9 + (24 - o), 24}, 1.1f);
        },
        TPaint(paint));
  }
  return c;
}

TCanvas Scorch(const TStyle& s) {
  TCanvas c(T, T);
  Blot(c, 16, 16, 12, 11, s.Seed, s.Color("base", Hex(0x0e0c0b)), s.Color("edge", Hex(0x3a332c)));
  TDice dice(s.Seed + 4);
  for (int i = 0; i < 10; ++i) {
    float a = dice.Range(0, 360), d1 = dice.Range(8, 10), d2 = d1 + dice.Range(3, 5);
    TVec p = TVec{16, 16} + Rotate({d1, 0}, a), q = TVec{16, 16} + Rotate({d2, 0}, a);
    c.FillShape(
        0, 0, T, T, [=](TVec x) { return Capsule(x, p, q, 0.8f); }, TPaint(s.Color("edge", Hex(0x3a332c))));
  }
  return c;
}

TCanvas Manhole(const TStyle& s) {
  TCanvas c(T, T);
  TRgba iron = s.Color("base", Hex(0x4e4a45));
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Circle(p, {16, 16}, 13);
      },
      TPaint(Scale(iron, 0.7f)));
  c.FillShapeWith(
      0, 0, T, T,
      [](TVec p) {
        return Circle(p, {16, 16}, 11.5f);
      },
      [=](TVec p) {
        // Raised cross-hatch pattern on the lid.
        int u = static_cast<int>(p.X + p.Y) % 4, v = static_cast<int>(p.X - p.Y + 64) % 4;
        TRgba col = iron;
        if (u == 0 || v == 0) col = Scale(col, 1.25f);
        return col;
      });
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Box(p, {16, 16}, 4, 1.2f);
      },
      TPaint(Scale(iron, 0.5f)));
  return c;
}

TCanvas Puddle(const TStyle& s) {
  TCanvas c(T, T);
  Blot(c, 16, 17, 12, 8, s.Seed, s.Color("base", Hex(0x3c5266)), s.Color("edge", Hex(0x2b3b4a)));
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Ellipse(p, {12, 14}, 4, 1.2f, -10);
      },
      TPaint(s.Color("sheen", Hex(0x8fb2c8))));
  return c;
}

TCanvas Leaves(const TStyle& s) {
  TCanvas c(T, T);
  TRgba colors[3] = {s.Color("base", Hex(0xa0622a)), s.Color("alt", Hex(0xc9952f)),
                     s.Color("third", Hex(0x6f7a2c))};
  TDice dice(s.Seed);
  for (int i = 0; i < 13; ++i) {
    float x = dice.Range(4, 28), y = dice.Range(4, 28), rot = dice.Range(0, 180);
    TRgba col = colors[dice.Int(3)];
    c.FillShape(
        x - 5, y - 5, x + 5, y + 5,
        [=](TVec p) {
          return Ellipse(p, {x, y}, 3.2f, 1.6f, rot);
        },
        TPaint(col, 0.8f, 0.0f, 0.25f));
  }
  return c;
}

TCanvas Vent(const TStyle& s) {
  TCanvas c(T, T);
  TRgba frame = s.Color("base", Hex(0x9aa0a6)), slot = Hex(0x181a1c);
  c.FillShape(
      0, 0, T, T,
      [](TVec p) {
        return Box(p, {16, 16}, 10, 10, 0, 1, 2);
      },
      TPaint(frame, 1.0f, 0.4f, 0.3f));
  for (int i = 0; i < 4; ++i) {
    float y = 10 + i * 4;
    c.FillShape(
        0, 0, T, T,
        [=](TVec p) {
          return Box(p, {16, y}, 7, 1.0f);
        },
        TPaint(slot));
  }
  return c;
}

TCanvas Stripe(const TStyle& s) {
  TCanvas c(T, T);
  TRgba paint = s.Color("base", Hex(0xe2e0d6));
  // A painted line along the cell, edge to edge, with worn spots.
  c.FillShapeWith(
      -1, 12, 33, 20,
      [](TVec p) {
        return Box(p, {16, 16}, 18, 2.5f);
      },
      [=](TVec p) { return TileNoise(p.X, p.Y, 2, 32, s.Seed) > 0.75f ? Scale(paint, 0.75f) : paint; });
  return c;
}

TCanvas BulletHoles(const TStyle& s) {
  TCanvas c(T, T);
  TRgba rim = s.Color("base", Hex(0x5a5650)), hole = Hex(0x0f0f10);
  TDice dice(s.Seed);
  for (int i = 0; i < 6; ++i) {
    float x = dice.Range(6, 26), y = dice.Range(6, 26);
    for (int k = 0; k < 5; ++k) {
      float a = dice.Range(0, 360);
      TVec p{x, y}, q = p + Rotate({dice.Range(2.5f, 4.0f), 0}, a);
      c.FillShape(
          x - 5, y - 5, x + 5, y + 5, [=](TVec v) { return Capsule(v, p, q, 0.5f); }, TPaint(rim));
    }
    c.FillShape(
        x - 3, y - 3, x + 3, y + 3,
        [=](TVec v) {
          return Circle(v, {x, y}, 1.7f);
        },
        TPaint(rim));
    c.FillShape(
        x - 3, y - 3, x + 3, y + 3,
        [=](TVec v) {
          return Circle(v, {x, y}, 1.0f);
        },
        TPaint(hole));
  }
  return c;
}

TCanvas Nothing(const TStyle&) { return TCanvas(T, T); }

using TDraw = TCanvas (*)(const TStyle&);

}  // namespace

TCanvas DrawDecoration(const TStyle& style) {
  static const std::map<std::string, TDraw> table = {
      {"none", Nothing},    {"crack", Crack},   {"stain", Stain},     {"arrow", Arrow},
      {"pipes", Pipes},     {"drain", Drain},   {"debris", Debris},   {"cables", Cables},
      {"marking", Marking}, {"scorch", Scorch}, {"manhole", Manhole}, {"puddle", Puddle},
      {"leaves", Leaves},   {"vent", Vent},     {"stripe", Stripe},   {"bulletholes", BulletHoles}};
  auto it = table.find(style.Kind);
  if (it == table.end()) throw std::runtime_error("unknown decoration style \"" + style.Kind + "\"");
  TCanvas c = it->second(style);
  c.Harden();
  // The bottom-left pixel is the key the game cuts along: keep it background.
  c.At(0, T - 1) = TRgba{};
  return c;
}

}  // namespace orr::content
