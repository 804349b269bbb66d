// SPDX-License-Identifier: GPL-3.0-or-later
// Animated creature frames, seen from straight above, facing the top of the picture.
//
// A frame is 96 x 128 pixels and is stretched by the game over 3 x 4 world units, so 32
// pixels make one unit; the body (0.8 units across) is about 26 pixels wide and sits in
// the middle of the frame, leaving room in front for the weapon and its muzzle flash.
//
//        +-------- 96 --------+
//        |      flash          |
//        |        |            |   y (forward) grows towards the top
//        |      weapon         |
//        |     ( head )        |   centre of the body = centre of the frame (48, 64)
//        |   <shoulders>       |
//        |      feet           |
//        +---------------------+ 128
//
// Figures are drawn in a local frame: x to the right, y forward, units of pixels, origin
// at the body's centre. Frame 0 idle, 1-8 one walking cycle, 9 aiming, 10 firing.
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "Art.h"
#include "Noise.h"
#include "core/PortableMath.h"

namespace orr::content {

namespace {

constexpr float Pi = 3.14159265358979f;

// A place, turn and size in the local frame, for parts drawn in their own frame.
struct TXf {
  TVec Origin;
  float Angle = 0;  // degrees, counter-clockwise
  float Size = 1;
  TVec Apply(TVec v) const { return Origin + Rotate(v * Size, Angle); }
};

class TFigure {
 public:
  explicit TFigure(TCanvas& canvas, float size) : C(canvas), Size(size) {}

  TCanvas& C;
  float Size;  // overall scale of the creature
  TXf Xf;      // current part frame (set by the drawing code, reset after)
  TVec Sway;   // sideways shift of the whole upper body while walking

  TVec ToPicture(TVec local) const {
    TVec v = (Xf.Apply(local) + Sway) * Size;
    return {FrameWidth / 2.0f + v.X, FrameHeight / 2.0f - v.Y};
  }
  float Len(float v) const { return v * Xf.Size * Size; }
  float PicAngle(float localDeg) const { return -(localDeg + Xf.Angle); }

  void Ellipse(TVec c, float rx, float ry, float deg, const TPaint& paint) {
    TVec p = ToPicture(c);
    float a = Len(rx), b = Len(ry), r = std::max(a, b) + 2, rot = PicAngle(deg);
    C.FillShape(
        p.X - r, p.Y - r, p.X + r, p.Y + r, [=](TVec q) { return orr::content::Ellipse(q, p, a, b, rot); },
        paint);
  }
  void Circle(TVec c, float r, const TPaint& paint) { Ellipse(c, r, r, 0, paint); }
  void Capsule(TVec a, TVec b, float r, const TPaint& paint) {
    TVec p = ToPicture(a), q = ToPicture(b);
    float rr = Len(r);
    C.FillShape(
        std::min(p.X, q.X) - rr - 2, std::min(p.Y, q.Y) - rr - 2, std::max(p.X, q.X) + rr + 2,
        std::max(p.Y, q.Y) + rr + 2, [=](TVec v) { return orr::content::Capsule(v, p, q, rr); }, paint);
  }
  // A box centred at c with half sizes hx (across) and hy (along), turned by deg.
  void Box(TVec c, float hx, float hy, float deg, float round, const TPaint& paint) {
    TVec p = ToPicture(c);
    float a = Len(hx), b = Len(hy), r = std::sqrt(a * a + b * b) + 2, rot = PicAngle(deg);
    float rd = Len(round), bevel = std::max(1.0f, std::min(a, b) * 0.5f);
    C.FillShape(
        p.X - r, p.Y - r, p.X + r, p.Y + r,
        [=](TVec v) { return orr::content::Box(v, p, a, b, rot, rd, bevel); }, paint);
  }
  void Poly(const std::vector<TVec>& local, const TPaint& paint) {
    std::vector<TVec> pts;
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (TVec v : local) {
      TVec p = ToPicture(v);
      pts.push_back(p);
      x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
    }
    C.FillShape(
        x0 - 1, y0 - 1, x1 + 1, y1 + 1, [pts](TVec v) { return Polygon(v, pts); }, paint);
  }
  // A polygon coloured by distance from `centre`: inner colour at the centre, outer at
  // `radius` (flames, flashes).
  void Glow(const std::vector<TVec>& local, TVec centre, float radius, TRgba inner, TRgba mid, TRgba outer) {
    std::vector<TVec> pts;
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (TVec v : local) {
      TVec p = ToPicture(v);
      pts.push_back(p);
      x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
    }
    TVec pc = ToPicture(centre);
    float pr = Len(radius);
    C.FillShapeWith(
        x0 - 1, y0 - 1, x1 + 1, y1 + 1, [pts](TVec v) { return Polygon(v, pts); },
        [=](TVec v) {
          float t = std::clamp(orr::content::Length(v - pc) / pr, 0.0f, 1.0f);
          return t < 0.5f ? Mix(inner, mid, t * 2) : Mix(mid, outer, (t - 0.5f) * 2);
        });
  }
};

// What a frame shows.
struct TPose {
  int Frame = 0;
  bool Walking = false;
  float Phase = 0;  // walking cycle, radians
  bool Aiming = false;
  bool Firing = false;
  float Stride() const { return Walking ? SinF(Phase) : 0.0f; }
  // > 0 while the right foot swings forward (lifted, nearer the camera), < 0 for the left.
  float Lift() const { return Walking ? CosF(Phase) : 0.0f; }
};

TPose PoseOf(int frame) {
  TPose p;
  p.Frame = frame;
  if (frame >= 1 && frame <= 8) {
    p.Walking = true;
    p.Phase = (frame - 0.5f) * 2 * Pi / 8;  // half a step in: no two frames alike
  }
  p.Aiming = frame >= 9;
  p.Firing = frame == 10;
  return p;
}

// ---- weapons --------------------------------------------------------------------------
//
// Each weapon is drawn in its own frame: origin at the rear hand, pointing along +y.
// Returns where the muzzle is (weapon frame) and where the front hand goes.

struct TGrip {
  TVec Muzzle;
  TVec FrontHand;
  bool TwoHanded = true;
};

TGrip WeaponGrip(const TStyle& w) {
  const std::string& k = w.Kind;
  if (k == "fists") return {{0, 0}, {0, 0}, false};
  if (k == "detonator") return {{0, 6}, {0, 0}, false};
  if (k == "pistol") return {{0, 21}, {0, 3}, true};
  if (k == "shotgun") return {{0, 26}, {0, 13}, true};
  if (k == "rifle") return {{0, 24}, {0, 11}, true};
  if (k == "flamer") return {{0, 24}, {0, 10}, true};
  if (k == "gatling") return {{0, 29}, {-1, 8}, true};
  if (k == "autoshotgun") return {{0, 25}, {0, 12}, true};
  if (k == "launcher") return {{0, 22}, {0, 9}, true};
  throw std::runtime_error("unknown weapon style \"" + k + "\"");
}

void DrawWeapon(TFigure& f, const TStyle& w) {
  const std::string& k = w.Kind;
  TRgba metal = w.Color("metal", Hex(0x2b2d30)), body = w.Color("body", Hex(0x3a3d42)),
        trim = w.Color("trim", Hex(0x6b4a2a));
  TPaint pm(metal, 1.0f, 0.6f, 0.25f), pb(body, 1.0f, 0.4f, 0.25f), pt(trim, 1.0f, 0.3f, 0.25f);
  if (k == "pistol") {
    f.Box({0, 3}, 2.2f, 5, 0, 1, pb);
    f.Capsule({0, 8}, {0, 21}, 1.8f, pm);  // suppressor
    f.Box({0, 8.5f}, 2.0f, 0.6f, 0, 0, TPaint(Scale(metal, 1.5f)));
  } else if (k == "shotgun") {
    f.Box({0, -3}, 2.4f, 5, 0, 1.5f, pt);  // stock
    f.Box({0, 5}, 2.2f, 4, 0, 0.5f, pb);
    f.Capsule({0, 8}, {0, 26}, 1.3f, pm);
    f.Box({0, 15}, 2.0f, 3.5f, 0, 1, pt);  // pump
  } else if (k == "rifle") {
    f.Box({0, -4}, 2.0f, 4, 0, 1, pm);  // stock
    f.Box({0, 5}, 2.4f, 6, 0, 0.5f, pb);
    f.Box({2.8f, 5}, 1.3f, 2.4f, 0, 0.5f, pm);                           // magazine seen at the side
    f.Capsule({0, 4}, {0, 8}, 1.4f, TPaint(Hex(0x111214), 1.0f, 0.9f));  // optic
    f.Box({0, 13}, 2.0f, 3, 0, 0.5f, pm);                                // handguard
    f.Capsule({0, 15}, {0, 24}, 0.9f, pm);
  } else if (k == "flamer") {
    f.Box({0, 3}, 3.2f, 7, 0, 1.5f, pb);
    f.Capsule({0, 9}, {0, 22}, 2.0f, pm);
    f.Box({0, 23}, 2.8f, 1.5f, 0, 0.5f, pt);            // nozzle ring
    f.Circle({2.6f, 20}, 0.9f, TPaint(Hex(0x4fb7ff)));  // pilot light
  } else if (k == "gatling") {
    f.Box({0, 2}, 5, 7, 0, 2, pb);  // housing and motor
    for (float x : {-2.4f, 0.0f, 2.4f}) f.Capsule({x, 8}, {x, 29}, 1.15f, pm);
    f.Box({0, 18}, 4.2f, 1.2f, 0, 0.5f, pt);
    f.Box({0, 27}, 4.0f, 1.0f, 0, 0.5f, pt);
  } else if (k == "autoshotgun") {
    f.Box({0, 3}, 2.8f, 7, 0, 1.5f, pb);
    f.Circle({3.2f, 5}, 3.6f, TPaint(trim, 1.0f, 0.5f, 0.3f));  // drum
    f.Capsule({0, 10}, {0, 25}, 1.5f, pm);
    f.Box({0, 14}, 2.2f, 2.5f, 0, 1, pb);
  } else if (k == "launcher") {
    f.Box({0, -2}, 2.2f, 4, 0, 1, pt);
    f.Circle({0, 6}, 5.0f, TPaint(body, 1.0f, 0.5f, 0.3f));  // revolving cylinder
    for (int i = 0; i < 6; ++i) f.Circle(Rotate({0, 3}, i * 60.0f) + TVec{0, 6}, 1.0f, TPaint(metal));
    f.Capsule({0, 10}, {0, 21}, 2.7f, pm);
    f.Box({0, 22}, 3.0f, 0.8f, 0, 0, pt);
  } else if (k == "detonator") {
    f.Box({0, 1}, 2.6f, 3.5f, 0, 1, pb);
    f.Circle({0, 2}, 1.2f, TPaint(w.Color("light", Hex(0xe8332c)), 1.0f, 1.0f));
    f.Capsule({1.8f, 3}, {3.5f, 9}, 0.5f, pm);  // antenna
  }
}

// The flash at the muzzle (weapon frame), drawn last so it lies over everything.
void DrawFlash(TFigure& f, const TStyle& w, TVec m, std::uint32_t seed) {
  const std::string kind = w.Kind;
  TRgba white = Hex(0xfffbe6), yellow = Hex(0xffd23a), orange = Hex(0xff7a1a), red = Hex(0xd8321c);
  TDice dice(seed);
  auto star = [&](float len, float width, int rays, float spread) {
    std::vector<TVec> pts;
    for (int i = 0; i < rays * 2; ++i) {
      float a = -spread / 2 + spread * i / (rays * 2 - 1);
      float r = (i % 2 == 0) ? len * dice.Range(0.7f, 1.0f) : width;
      pts.push_back(m + Rotate({0, r}, a));
    }
    pts.push_back(m + TVec{-width * 0.7f, -1});
    pts.push_back(m + TVec{width * 0.7f, -1});
    f.Glow(pts, m, len, white, yellow, orange);
  };
  if (kind == "pistol") {
    star(10, 2.5f, 4, 90);
  } else if (kind == "rifle") {
    star(12, 2.5f, 4, 110);
  } else if (kind == "shotgun" || kind == "autoshotgun") {
    star(15, 4.0f, 5, 100);
  } else if (kind == "gatling") {
    star(16, 4.5f, 6, 120);
  } else if (kind == "flamer") {
    // A long tongue of flame widening away from the nozzle.
    std::vector<TVec> pts;
    const int n = 14;
    for (int i = 0; i <= n; ++i) {
      float t = static_cast<float>(i) / n;
      pts.push_back(m + TVec{-(1.5f + 6 * t) + dice.Range(-1, 1), 18 * t});
    }
    for (int i = n; i >= 0; --i) {
      float t = static_cast<float>(i) / n;
      pts.push_back(m + TVec{(1.5f + 6 * t) + dice.Range(-1, 1), 18 * t});
    }
    f.Glow(pts, m, 18, white, orange, red);
  } else if (kind == "launcher") {
    star(9, 4.0f, 4, 140);
    for (int i = 0; i < 5; ++i) {
      // One throw per statement: the order a compiler evaluates a call's arguments in is
      // its own, and the puffs would land elsewhere with another compiler.
      const float radius = dice.Range(1.8f, 2.8f);
      const float x = dice.Range(-5, 5);
      const float y = dice.Range(-2, 3);
      f.Circle(m + TVec{x, y}, radius, TPaint(Hex(0xb8b2a6), 1.0f, 0.0f, 0.2f));
    }
  } else if (kind == "detonator") {
    // Radio burst: arcs in front of the antenna.
    for (int i = 0; i < 3; ++i) {
      float r = 5 + i * 4;
      std::vector<TVec> arc;
      for (int k = 0; k <= 10; ++k) arc.push_back(m + Rotate({0, r}, -45 + k * 9.0f));
      for (int k = 10; k >= 0; --k) arc.push_back(m + Rotate({0, r - 1.3f}, -45 + k * 9.0f));
      f.Poly(arc, TPaint(Hex(0xff5a3a)));
    }
  } else if (kind == "fists") {
    star(7, 2.5f, 5, 300);
  }
}

// ---- bodies ---------------------------------------------------------------------------

struct TBodyColors {
  TRgba Skin, Main, Second, Accent, Dark, Feet, Hair;
};

TBodyColors ColorsOf(const TStyle& s) {
  return {s.Color("skin", Hex(0xd9a57a)),   s.Color("main", Hex(0x4f6f8f)), s.Color("second", Hex(0x2f3b4a)),
          s.Color("accent", Hex(0xd6b13c)), s.Color("dark", Hex(0x1d2026)), s.Color("feet", Hex(0x2a2622)),
          s.Color("hair", Hex(0x4a3020))};
}

// Where the weapon sits (body frame) for this pose, and its turn.
TXf WeaponPlace(const TPose& pose, float shoulderY, float sideX) {
  TXf xf;
  if (pose.Aiming) {
    xf.Origin = {sideX * 0.4f, shoulderY + 5 - (pose.Firing ? 1.5f : 0.0f)};
    xf.Angle = 0;
  } else {
    // Held low across the body, muzzle turned a little outwards.
    xf.Origin = {sideX, shoulderY + 2};
    xf.Angle = -18;
  }
  return xf;
}

// Arms, weapon and hands for a two-legged body. The shoulders are at (+-sx, sy).
void ArmsAndWeapon(TFigure& f, const TStyle& w, const TPose& pose, float sx, float sy, float armR,
                   const TPaint& sleeve, const TPaint& hand, std::uint32_t seed) {
  TGrip grip = WeaponGrip(w);
  TXf place = WeaponPlace(pose, sy, sx * 0.35f);
  TVec rs{sx, sy}, ls{-sx, sy};
  if (w.Kind == "fists" || w.Kind == "detonator") {
    // Free arms: swing while walking, raised fists when aiming, a punch when firing.
    float swing = pose.Stride() * 6;
    TVec rh{sx + 1, sy - 2 - swing}, lh{-sx - 1, sy - 2 + swing};
    if (pose.Aiming) {
      rh = {sx * 0.5f, sy + 9};
      lh = {-sx * 0.5f, sy + 8};
      if (pose.Firing) rh = {sx * 0.2f, sy + 17};
    }
    bool detonator = w.Kind == "detonator";
    if (detonator && !pose.Aiming) rh = {sx * 0.7f, sy + 6};
    f.Capsule(rs, rh, armR, sleeve);
    f.Capsule(ls, lh, armR, sleeve);
    if (detonator) {
      f.Xf = {rh, 0, 1};
      DrawWeapon(f, w);
      f.Xf = {};
    }
    f.Circle(rh, armR * 1.15f, hand);
    f.Circle(lh, armR * 1.15f, hand);
    if (pose.Firing) {
      f.Xf = detonator ? TXf{rh, 0, 1} : TXf{rh + TVec{0, 3}, 0, 1};
      DrawFlash(f, w, detonator ? grip.Muzzle : TVec{0, 0}, seed);
      f.Xf = {};
    }
    return;
  }
  TVec rh = place.Apply({0, 0}), lh = place.Apply(grip.FrontHand);
  f.Capsule(rs, rh, armR, sleeve);
  f.Capsule(ls, lh, armR, sleeve);
  f.Xf = place;
  DrawWeapon(f, w);
  f.Xf = {};
  f.Circle(rh, armR * 1.1f, hand);
  f.Circle(lh, armR * 1.1f, hand);
  if (pose.Firing) {
    f.Xf = place;
    DrawFlash(f, w, grip.Muzzle + TVec{0, 1}, seed);
    f.Xf = {};
  }
}

void Feet(TFigure& f, const TPose& pose, float spread, float stride, float rx, float ry,
          const TPaint& paint) {
  float s = pose.Stride() * stride;
  // A lifted foot is nearer the camera and looks a little larger.
  float right = 1.0f + 0.18f * std::max(0.0f, pose.Lift()),
        left = 1.0f + 0.18f * std::max(0.0f, -pose.Lift());
  f.Ellipse({spread, s}, rx * right, ry * right, 0, paint);
  f.Ellipse({-spread, -s}, rx * left, ry * left, 0, paint);
}

void Human(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  float twist = pose.Stride() * 4;
  Feet(f, pose, 5.5f, 10, 3.2f, 4.6f, TPaint(k.Feet, 1.0f, 0.3f, 0.2f));
  if (b.Number("backpack", 0) > 0)
    f.Box({0, -6}, 5.5f, 3.0f, twist, 1.5f, TPaint(k.Second, 1.0f, 0.2f, 0.25f));
  // Shoulders and torso.
  f.Ellipse({0, 0}, 12, 6.5f, twist, TPaint(k.Main, 1.0f, 0.2f, 0.2f));
  if (b.Number("vest", 0) > 0) f.Box({0, 0.5f}, 7.5f, 5.2f, twist, 2, TPaint(k.Second, 1.0f, 0.3f, 0.25f));
  if (b.Number("pads", 0) > 0) {
    f.Ellipse({9.5f, 0}, 3.5f, 4, twist, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
    f.Ellipse({-9.5f, 0}, 3.5f, 4, twist, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
  }
  if (b.Number("badge", 0) > 0) f.Circle({-8.5f, 1.5f}, 1.4f, TPaint(k.Accent, 1.0f, 0.8f));
  ArmsAndWeapon(f, w, pose, 10.5f, 1.0f, 2.2f, TPaint(Scale(k.Main, 0.85f), 1.0f, 0.2f, 0.3f),
                TPaint(b.Number("gloves", 0) > 0 ? k.Dark : k.Skin, 1.0f, 0.2f), b.Seed);
  // Head and what is on it.
  int hat = static_cast<int>(b.Number("hat", 0));
  TVec head{0, 1.0f};
  if (hat == 2) {  // helmet with goggles strap
    f.Circle(head, 6.2f, TPaint(b.Color("helmet", k.Second), 1.0f, 0.7f, 0.45f));
    f.Box({0, 5.0f}, 4.2f, 1.1f, 0, 0.8f, TPaint(k.Accent, 1.0f, 0.8f));
  } else if (hat == 1) {  // cap with a visor pointing forward
    f.Ellipse({0, 5.5f}, 4.2f, 3.0f, 0, TPaint(k.Dark, 1.0f, 0.4f, 0.2f));
    f.Circle(head, 5.6f, TPaint(k.Second, 1.0f, 0.4f, 0.2f));
    f.Circle({0, 1.5f}, 1.2f, TPaint(k.Accent, 1.0f, 0.8f));
  } else {  // hair
    f.Circle(head, 5.6f, TPaint(k.Hair, 1.0f, 0.25f, 0.2f));
    f.Ellipse({0, 3.8f}, 3.8f, 1.6f, 0, TPaint(Scale(k.Hair, 1.2f), 1.0f, 0.2f));
  }
}

void Reaver(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  float twist = pose.Stride() * 6;
  Feet(f, pose, 7, 7, 4, 5, TPaint(k.Feet, 1.0f, 0.3f, 0.2f));
  // Hunched, broad back; shoulders with spikes pointing out and back.
  f.Ellipse({0, -1}, 14, 8.5f, twist, TPaint(k.Main, 1.0f, 0.2f, 0.2f));
  for (float side : {1.0f, -1.0f}) {
    TVec c{side * 11, 0};
    f.Circle(c, 4.8f, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
    for (int i = 0; i < 3; ++i) {
      float a = -side * (60 + i * 35);  // out from the shoulder and back
      TVec tip = c + Rotate({0, 9.0f}, a);
      TVec l = c + Rotate({0, 3.5f}, a + 22), r = c + Rotate({0, 3.5f}, a - 22);
      f.Poly({l, tip, r}, TPaint(k.Accent, 0.0f, 0.0f, 0.2f));
    }
  }
  ArmsAndWeapon(f, w, pose, 12, 1.5f, 3.0f, TPaint(k.Skin, 1.0f, 0.3f, 0.2f), TPaint(k.Skin, 1.0f, 0.2f),
                b.Seed);
  // Small head thrust forward, a red crest along it.
  f.Circle({0, 4}, 5, TPaint(k.Skin, 1.0f, 0.3f, 0.2f));
  f.Capsule({0, 0.5f}, {0, 8}, 1.6f, TPaint(k.Hair, 1.0f, 0.3f));
}

void Angel(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  float twist = pose.Stride() * 3;
  float flap = pose.Walking ? 1.5f * CosF(pose.Phase * 2) : 0.0f;
  Feet(f, pose, 4, 9, 2.6f, 4.2f, TPaint(k.Feet, 1.0f, 0.4f, 0.2f));
  // Coat tails swept back like folded wings, feathered at the ends.
  for (float side : {1.0f, -1.0f}) {
    std::vector<TVec> wing = {{side * 4, 2}, {side * 13, 1}, {side * (19 + flap), -8}};
    for (int i = 0; i < 4; ++i) {
      wing.push_back({side * (18 - i * 3.5f + flap * 0.5f), -15.0f - i * 1.5f + (i % 2) * 2.5f});
    }
    wing.push_back({side * 3, -10});
    f.Poly(wing, TPaint(k.Second, 0.0f, 0.0f, 0.25f));
    f.Poly({{side * 6, -1}, {side * (15 + flap), -9}, {side * 10, -14}, {side * 5, -8}},
           TPaint(Scale(k.Second, 1.35f)));
  }
  f.Ellipse({0, 0}, 10, 5.5f, twist, TPaint(k.Main, 1.0f, 0.5f, 0.2f));
  ArmsAndWeapon(f, w, pose, 9, 1.0f, 2.0f, TPaint(k.Main, 1.0f, 0.4f, 0.2f), TPaint(k.Dark, 1.0f, 0.3f),
                b.Seed);
  // Hooded head with a glowing visor slit.
  f.Circle({0, 1}, 5.4f, TPaint(k.Dark, 1.0f, 0.5f, 0.2f));
  f.Box({0, 5}, 3.6f, 0.9f, 0, 0.5f, TPaint(k.Accent));
}

void FireTank(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  float twist = pose.Stride() * 2;
  Feet(f, pose, 8, 6, 4.5f, 5.5f, TPaint(k.Feet, 1.0f, 0.3f, 0.2f));
  f.Sway = {1.5f * pose.Lift(), 0};  // the weight shifts onto the planted foot
  // Two fuel tanks on the back, with hazard caps.
  for (float x : {-5.5f, 5.5f}) {
    f.Capsule({x, -8}, {x, -16}, 4.6f, TPaint(k.Accent, 1.0f, 0.7f, 0.2f));
    f.Circle({x, -19}, 2.2f, TPaint(k.Dark, 1.0f, 0.6f));
  }
  // Hose from the tanks round to the weapon.
  f.Capsule({5.5f, -8}, {14, 0}, 1.4f, TPaint(k.Dark, 1.0f, 0.4f));
  f.Ellipse({0, 0}, 15, 11, twist, TPaint(k.Main, 1.0f, 0.3f, 0.2f));
  f.Box({0, 2}, 10, 2.2f, twist, 1, TPaint(k.Second, 1.0f, 0.3f, 0.25f));  // chest plate
  ArmsAndWeapon(f, w, pose, 13, 1.5f, 3.6f, TPaint(k.Main, 1.0f, 0.3f, 0.2f), TPaint(k.Dark, 1.0f, 0.3f),
                b.Seed);
  // Round helmet with a large dark faceplate.
  f.Circle({0, 2}, 7, TPaint(k.Main, 1.0f, 0.5f, 0.2f));
  f.Ellipse({0, 5.5f}, 5.2f, 3.0f, 0, TPaint(k.Dark, 1.0f, 1.0f));
}

void Robot(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  // Four legs, diagonal pairs stepping together.
  for (int i = 0; i < 4; ++i) {
    float base = 45 + 90 * i;
    float step = (i % 2 == 0 ? 1 : -1) * pose.Stride() * 14;
    float a = base + step;
    TVec hip = Rotate({0, 8}, a), knee = Rotate({0, 15}, a), foot = Rotate({0, 19}, a + 8);
    f.Capsule(hip, knee, 2.4f, TPaint(k.Second, 1.0f, 0.6f, 0.25f));
    f.Capsule(knee, foot, 1.7f, TPaint(k.Dark, 1.0f, 0.6f, 0.2f));
    float lift = 1.0f + 0.25f * std::max(0.0f, (i % 2 == 0 ? 1 : -1) * pose.Lift());
    f.Circle(foot, 2.4f * lift, TPaint(k.Second, 1.0f, 0.4f, 0.25f));
  }
  // Hexagonal chassis with a glowing core.
  std::vector<TVec> hex;
  for (int i = 0; i < 6; ++i) hex.push_back(Rotate({0, 12}, 30 + i * 60.0f));
  f.Poly(hex, TPaint(k.Main, 0.0f, 0.0f, 0.25f));
  f.Circle({0, 0}, 9.5f, TPaint(k.Main, 0.7f, 0.6f));
  f.Circle({0, -1}, 5, TPaint(k.Dark, 1.0f));
  f.Circle({0, -1}, 3.5f, TPaint(k.Accent, 1.0f, 1.0f));
  f.Circle({0, -1}, 1.6f, TPaint(Hex(0xeaffff)));
  // Sensor eye at the front, gun on the right side mount.
  f.Box({0, 9.5f}, 3, 1.2f, 0, 0.6f, TPaint(Hex(0xe23a2a), 1.0f, 0.8f));
  TGrip grip = WeaponGrip(w);
  TXf place{{7.5f, pose.Aiming ? (pose.Firing ? 1.0f : 2.5f) : 0.0f}, pose.Aiming ? 0.0f : -6.0f, 1};
  f.Xf = place;
  DrawWeapon(f, w);
  f.Box({0, 1}, 3.2f, 2.4f, 0, 1, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
  if (pose.Firing) DrawFlash(f, w, grip.Muzzle + TVec{0, 1}, b.Seed);
  f.Xf = {};
}

void Punisher(TFigure& f, const TStyle& b, const TStyle& w, const TPose& pose) {
  TBodyColors k = ColorsOf(b);
  float twist = pose.Stride() * 2;
  // Heavy feet stomping.
  Feet(f, pose, 9, 6, 5, 6.5f, TPaint(k.Feet, 1.0f, 0.3f, 0.25f));
  f.Sway = {1.5f * pose.Lift(), 0};  // the weight shifts onto the planted foot
  // Exhaust stacks on the back.
  f.Capsule({-5, -10}, {-5, -13}, 2.2f, TPaint(k.Dark, 1.0f, 0.6f));
  f.Capsule({5, -10}, {5, -13}, 2.2f, TPaint(k.Dark, 1.0f, 0.6f));
  f.Box({0, -1}, 14, 10, twist, 4, TPaint(k.Main, 1.0f, 0.3f, 0.25f));
  // Massive shoulder plates.
  f.Box({13, 0}, 5.5f, 7.5f, twist - 8, 2.5f, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
  f.Box({-13, 0}, 5.5f, 7.5f, twist + 8, 2.5f, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
  f.Box({13, 3}, 4.5f, 0.8f, twist - 8, 0, TPaint(k.Accent));
  f.Box({-13, 3}, 4.5f, 0.8f, twist + 8, 0, TPaint(k.Accent));
  // The gun is built into the right forearm; the left forearm carries a shield plate.
  float raise = pose.Aiming ? (pose.Firing ? 2.0f : 3.5f) : 0.0f;
  f.Capsule({-13, 2}, {-11, 9 + raise * 0.5f}, 4.0f, TPaint(k.Dark, 1.0f, 0.4f, 0.2f));
  f.Box({-12, 11 + raise * 0.5f}, 5.5f, 2.2f, 0, 1.0f, TPaint(k.Second, 1.0f, 0.6f, 0.25f));
  f.Capsule({13, 2}, {12, 8 + raise}, 4.2f, TPaint(k.Dark, 1.0f, 0.4f, 0.2f));
  TGrip grip = WeaponGrip(w);
  TXf place{{12, 6 + raise}, pose.Aiming ? 0.0f : 6.0f, 1};
  f.Xf = place;
  DrawWeapon(f, w);
  f.Box({0, 1}, 4.5f, 3.5f, 0, 1.5f, TPaint(k.Second, 1.0f, 0.5f, 0.25f));  // gun mount
  if (pose.Firing) DrawFlash(f, w, grip.Muzzle + TVec{0, 1}, b.Seed);
  f.Xf = {};
  // Small armoured head sunk between the shoulders, visor slit.
  f.Box({0, 2.5f}, 5, 4.5f, 0, 2, TPaint(k.Second, 1.0f, 0.5f, 0.25f));
  f.Box({0, 5.5f}, 3.8f, 0.9f, 0, 0.4f, TPaint(k.Accent));
}

using TBodyDraw = void (*)(TFigure&, const TStyle&, const TStyle&, const TPose&);

TBodyDraw FindBody(const std::string& kind) {
  static const std::map<std::string, TBodyDraw> table = {{"human", Human}, {"reaver", Reaver},
                                                         {"angel", Angel}, {"firetank", FireTank},
                                                         {"robot", Robot}, {"punisher", Punisher}};
  auto it = table.find(kind);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace

TCanvas DrawCreatureFrame(const TStyle& body, const TStyle& weapon, int frame) {
  if (frame < 0 || frame >= FrameCount) throw std::runtime_error("frame number out of range");
  TBodyDraw draw = FindBody(body.Kind);
  if (!draw) throw std::runtime_error("unknown body style \"" + body.Kind + "\"");
  WeaponGrip(weapon);  // refuses an unknown weapon style before anything is drawn
  TCanvas c(FrameWidth, FrameHeight);
  TFigure f(c, body.Number("size", 1.0f));
  // Each frame gets its own flash shape, but the same frame is always the same.
  TStyle w = weapon;
  TStyle b = body;
  b.Seed = body.Seed * 31 + static_cast<std::uint32_t>(frame);
  draw(f, b, w, PoseOf(frame));
  c.Outline(body.Color("outline", Hex(0x121212)));
  c.Harden();
  return c;
}

}  // namespace orr::content
