// SPDX-License-Identifier: GPL-3.0-or-later
// Pick-up items seen from above (they spin on the floor), the glow sprite and the
// status image.
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "Art.h"
#include "Noise.h"

namespace orr::content {

namespace {

constexpr int S = 64;  // item pictures are 64 x 64; the game shows them one unit wide

void Shape(TCanvas& c, const std::function<TProbe(TVec)>& shape, const TPaint& paint) {
  c.FillShape(0, 0, static_cast<float>(c.Width()), static_cast<float>(c.Height()), shape, paint);
}

void Cross(TCanvas& c, TVec centre, float arm, float width, TRgba color) {
  Shape(
      c, [=](TVec p) { return Box(p, centre, width, arm, 0, 0.8f); }, TPaint(color, 0.6f));
  Shape(
      c, [=](TVec p) { return Box(p, centre, arm, width, 0, 0.8f); }, TPaint(color, 0.6f));
}

TCanvas MedPatch(const TStyle& s) {
  TCanvas c(S, S);
  TRgba pad = s.Color("base", Hex(0xeeeae0)), cross = s.Color("cross", Hex(0xd0302a));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 13, 13, 12, 3, 3);
      },
      TPaint(Scale(pad, 0.9f), 1.0f, 0.2f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 8, 8, 12, 1.5f, 2);
      },
      TPaint(pad, 0.5f));
  Cross(c, {32, 32}, 5.5f, 1.8f, cross);
  return c;
}

TCanvas MedKit(const TStyle& s) {
  TCanvas c(S, S);
  TRgba box = s.Color("base", Hex(0xf0efe8)), cross = s.Color("cross", Hex(0xd0302a)),
        trim = s.Color("trim", Hex(0x9a9a94));
  // The handle: an arch behind the box, open in the middle.
  Shape(
      c,
      [](TVec p) {
        return Ring(p, {32, 20}, 8, 1.8f);
      },
      TPaint(trim, 0.0f, 0.0f, 0.25f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 34}, 19, 16, 0, 3, 4);
      },
      TPaint(box, 1.0f, 0.4f, 0.15f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 34}, 19, 1.2f);
      },
      TPaint(trim));
  Cross(c, {32, 34}, 9, 3, cross);
  return c;
}

TCanvas SurgeryKit(const TStyle& s) {
  TCanvas c(S, S);
  TRgba box = s.Color("base", Hex(0x2f8f84)), cross = s.Color("cross", Hex(0xf4f2ea)),
        trim = s.Color("trim", Hex(0xc8ccd0));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 26, 20, 0, 4, 5);
      },
      TPaint(box, 1.0f, 0.5f, 0.15f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 22, 16, 0, 3, 2);
      },
      TPaint(Scale(box, 1.1f), 0.6f));
  for (float x : {12.0f, 52.0f})
    Shape(
        c,
        [=](TVec p) {
          return Box(p, {x, 32}, 2, 5, 0, 1);
        },
        TPaint(trim, 1.0f, 0.9f));
  Cross(c, {32, 32}, 11, 3.5f, cross);
  Shape(
      c,
      [](TVec p) {
        return Circle(p, {32, 32}, 2.5f);
      },
      TPaint(s.Color("cross2", Hex(0xd0302a))));
  return c;
}

TCanvas ArmorPad(const TStyle& s) {
  TCanvas c(S, S);
  TRgba pad = s.Color("base", Hex(0x4f6680)), stitch = s.Color("trim", Hex(0xb8c4d0));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 15, 18, -10, 7, 6);
      },
      TPaint(pad, 1.0f, 0.4f, 0.2f));
  for (int i = 0; i < 3; ++i) {
    float y = 22 + i * 10;
    Shape(
        c,
        [=](TVec p) {
          return Box(p, {32, y}, 11, 0.7f, -10);
        },
        TPaint(stitch));
  }
  return c;
}

TCanvas Vest(const TStyle& s) {
  TCanvas c(S, S);
  TRgba body = s.Color("base", Hex(0x4a5236)), plate = s.Color("plate", Hex(0x5d6744)),
        strap = s.Color("trim", Hex(0x2a2c22));
  // The vest laid flat: body with a neck opening and arm holes.
  std::vector<TVec> outline = {{14, 12}, {24, 10}, {27, 16}, {37, 16}, {40, 10}, {50, 12},
                               {49, 26}, {53, 30}, {52, 54}, {12, 54}, {11, 30}, {15, 26}};
  Shape(
      c, [&](TVec p) { return Polygon(p, outline); }, TPaint(body, 0.0f, 0.0f, 0.3f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {24, 38}, 7, 12, 0, 2, 3);
      },
      TPaint(plate, 1.0f, 0.4f, 0.2f));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {40, 38}, 7, 12, 0, 2, 3);
      },
      TPaint(plate, 1.0f, 0.4f, 0.2f));
  for (float y : {34.0f, 44.0f})
    Shape(
        c,
        [=](TVec p) {
          return Box(p, {32, y}, 19, 1.2f);
        },
        TPaint(strap));
  if (s.Number("shine", 0) > 0)
    Shape(
        c,
        [](TVec p) {
          return Ellipse(p, {22, 30}, 2, 6, -10);
        },
        TPaint(Hex(0xe8f6ff)));
  return c;
}

TCanvas Crate(const TStyle& s) {
  TCanvas c(S, S);
  TRgba wood = s.Color("base", Hex(0x5a6a3a)), band = s.Color("trim", Hex(0xd9b02a)),
        print = s.Color("print", Hex(0x2a301c));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 28, 16, 0, 2, 4);
      },
      TPaint(wood, 1.0f, 0.3f, 0.25f));
  for (float x : {12.0f, 52.0f})
    Shape(
        c,
        [=](TVec p) {
          return Box(p, {x, 32}, 2.2f, 16);
        },
        TPaint(Scale(wood, 0.75f)));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 21}, 17, 1.6f);
      },
      TPaint(band));
  // A stencilled rifle on the lid.
  Shape(
      c,
      [](TVec p) {
        return Box(p, {30, 34}, 13, 2.2f);
      },
      TPaint(print));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {18, 37}, 3.5f, 3.5f, 20);
      },
      TPaint(print));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {33, 38}, 1.6f, 3.5f);
      },
      TPaint(print));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {47, 34}, 5, 1.0f);
      },
      TPaint(print));
  return c;
}

TCanvas Ammo(const TStyle& s) {
  TCanvas c(S, S);
  TRgba box = s.Color("base", Hex(0x55602f)), brass = s.Color("brass", Hex(0xd8a93a)),
        trim = s.Color("trim", Hex(0x2c3118));
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 32}, 20, 16, 0, 2, 3);
      },
      TPaint(box, 1.0f, 0.3f, 0.25f));
  // Open lid at the back, rows of cartridges seen end on.
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 14}, 20, 3, 0, 1);
      },
      TPaint(Scale(box, 0.8f), 1.0f, 0.2f));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 5; ++col) {
      TVec centre{18.0f + col * 7, 26.0f + row * 8};
      Shape(
          c, [=](TVec p) { return Circle(p, centre, 3.0f); }, TPaint(brass, 1.0f, 0.9f, 0.2f));
      Shape(
          c, [=](TVec p) { return Circle(p, centre, 1.0f); }, TPaint(Scale(brass, 0.6f)));
    }
  Shape(
      c,
      [](TVec p) {
        return Box(p, {32, 48}, 20, 1);
      },
      TPaint(trim));
  return c;
}

using TDraw = TCanvas (*)(const TStyle&);

}  // namespace

TCanvas DrawItem(const TStyle& style) {
  static const std::map<std::string, TDraw> table = {
      {"medpatch", MedPatch}, {"medkit", MedKit}, {"surgerykit", SurgeryKit},
      {"armorpad", ArmorPad}, {"vest", Vest},     {"crate", Crate},
      {"ammo", Ammo}};
  auto it = table.find(style.Kind);
  if (it == table.end()) throw std::runtime_error("unknown item style \"" + style.Kind + "\"");
  TCanvas c = it->second(style);
  c.Outline(style.Color("outline", Hex(0x141414)));
  c.Harden();
  c.At(0, S - 1) = TRgba{};
  return c;
}

TCanvas DrawGlow(const TStyle& style) {
  int size = static_cast<int>(style.Number("size", 64));
  TCanvas c(size, size);
  TRgba core = style.Color("core", Hex(0xffffff)), edge = style.Color("edge", Hex(0xb0b0b0));
  float half = size / 2.0f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f - half) / half, dy = (y + 0.5f - half) / half;
      float r = std::sqrt(dx * dx + dy * dy);
      float k = std::max(0.0f, 1.0f - r);
      k = k * k * (3 - 2 * k);  // smooth fall-off, black at the rim
      TRgba col = Scale(Mix(edge, core, k), k);
      col.A = 1;
      c.At(x, y) = col;
    }
  return c;
}

TCanvas DrawHud(const TStyle& style) {
  const int w = 150, h = 50;
  TCanvas c(w, h);
  TRgba panel = style.Color("base", Hex(0x262b30)), rim = style.Color("rim", Hex(0x7d8894)),
        label = style.Color("label", Hex(0xd8dde2)), health = style.Color("health", Hex(0xc8322a)),
        armour = style.Color("armor", Hex(0x3a78c8)), ammo = style.Color("ammo", Hex(0xe0b030)),
        slot = style.Color("slot", Hex(0x101214));
  // A rounded panel with a cut corner; everything outside it is see-through.
  std::vector<TVec> outline = {{1, 1}, {118, 1}, {149, 14}, {149, 49}, {1, 49}};
  c.FillShapeWith(
      0, 0, w, h, [&](TVec p) { return Polygon(p, outline); },
      [&](TVec p) { return Scale(panel, 1.1f - 0.25f * p.Y / h); });
  c.Outline(rim);
  // Two bars with labels, and an ammunition read-out on the right.
  auto bar = [&](int y, const char* text, TRgba color) {
    DrawText(c, 6, y, text, label);
    for (int yy = y; yy < y + 7; ++yy)
      for (int xx = 46; xx < 104; ++xx) c.At(xx, yy) = slot;
    for (int yy = y + 1; yy < y + 6; ++yy)
      for (int xx = 47; xx < 103; ++xx) {
        TRgba col = Scale(color, yy == y + 1 ? 1.3f : (yy == y + 5 ? 0.7f : 1.0f));
        if ((xx - 47) % 8 == 7) col = Scale(col, 0.55f);  // segment ticks
        c.At(xx, yy) = col;
      }
  };
  bar(8, "HEALTH", health);
  bar(20, "ARMOR", armour);
  DrawText(c, 6, 34, "AMMO", label);
  for (int i = 0; i < 12; ++i)
    for (int yy = 34; yy < 41; ++yy)
      for (int xx = 34 + i * 6; xx < 38 + i * 6; ++xx)
        c.At(xx, yy) = Scale(ammo, yy == 34 ? 1.25f : (yy == 40 ? 0.6f : 1.0f));
  // Weapon slot on the right.
  for (int yy = 24; yy < 44; ++yy)
    for (int xx = 112; xx < 144; ++xx) c.At(xx, yy) = (yy == 24 || xx == 112) ? Scale(slot, 0.5f) : slot;
  DrawText(c, 116, 31, "W0", ammo);
  c.Harden();
  return c;
}

}  // namespace orr::content
