// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// The polynomials are the well-known minimax fits on [-pi/4, pi/4] and the arc tangent's
// on [0, 7/16]; the code around them is ours. Only +, -, *, / and floor are used (no fused
// multiply-add: the baseline x86-64 target has none), so every compiler gives the same bits.

namespace orr {
namespace {

// pi/2 in three parts of 33 bits each: n * part is exact for |n| < 2^20.
constexpr double PiHalf1 = 1.57079632673412561417e+00;
constexpr double PiHalf2 = 6.07710050630396597660e-11;
constexpr double PiHalf3 = 2.02226624871116645580e-21;
constexpr double TwoOverPi = 6.36619772367581382433e-01;

// sin r and cos r for |r| <= pi/4 (a little more after the reduction's rounding).
double SinKernel(double r) {
  constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                   S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                   S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
  const double z = r * r;
  const double v = z * r;
  const double p = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
  return r + v * (S1 + z * p);
}

double CosKernel(double r) {
  constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                   C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                   C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
  const double z = r * r;
  const double p = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
  const double half = 0.5 * z;
  const double w = 1.0 - half;
  // 1 - z/2 + z^2 p, with the rounding of 1 - z/2 put back.
  return w + (((1.0 - w) - half) + z * p);
}

// x = n pi/2 + r, |r| <= about pi/4; the quadrant n mod 4.
double Reduce(double x, int& quadrant) {
  const double n = std::floor(x * TwoOverPi + 0.5);
  const double r = ((x - n * PiHalf1) - n * PiHalf2) - n * PiHalf3;
  const double m = n - 4.0 * std::floor(n * 0.25);  // n mod 4, exact
  quadrant = static_cast<int>(m);
  return r;
}

bool IsFinite(double x) { return x - x == 0.0; }

}  // namespace

void SinCos(double x, double& sine, double& cosine) {
  if (!IsFinite(x)) {
    sine = cosine = x - x;  // NaN
    return;
  }
  int quadrant = 0;
  const double r = Reduce(x, quadrant);
  const double s = SinKernel(r), c = CosKernel(r);
  switch (quadrant) {
    case 0:
      sine = s;
      cosine = c;
      break;
    case 1:
      sine = c;
      cosine = -s;
      break;
    case 2:
      sine = -s;
      cosine = -c;
      break;
    default:
      sine = -c;
      cosine = s;
      break;
  }
  if (x == 0.0) sine = x;  // keeps the sign of zero
}

double Sin(double x) {
  double s, c;
  SinCos(x, s, c);
  return s;
}

double Cos(double x) {
  double s, c;
  SinCos(x, s, c);
  return c;
}

double ArcTan(double x) {
  // atan of 0.5, 1, 1.5 and infinity, each as a high and a low part.
  constexpr double High[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01,
                             9.82793723247329054082e-01, 1.57079632679489655800e+00};
  constexpr double Low[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17,
                            1.39033110312309984516e-17, 6.12323399573676603587e-17};
  constexpr double T[] = {
      3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
      -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
      6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
      -3.65315727442169155270e-02, 1.62858201153657823623e-02};
  if (x != x) return x;
  const bool negative = std::signbit(x);
  double a = negative ? -x : x;
  if (a >= 7.3786976294838206464e19) {  // 2^66: atan is pi/2 to the last bit
    const double r = High[3] + Low[3];
    return negative ? -r : r;
  }
  int part = -1;
  if (a < 0.4375) {
    if (a < 7.450580596923828125e-9) return x;  // 2^-27: atan x rounds to x
  } else if (a < 0.6875) {
    part = 0;
    a = (2.0 * a - 1.0) / (2.0 + a);
  } else if (a < 1.1875) {
    part = 1;
    a = (a - 1.0) / (a + 1.0);
  } else if (a < 2.4375) {
    part = 2;
    a = (a - 1.5) / (1.0 + 1.5 * a);
  } else {
    part = 3;
    a = -1.0 / a;
  }
  const double z = a * a;
  const double w = z * z;
  const double s1 = z * (T[0] + w * (T[2] + w * (T[4] + w * (T[6] + w * (T[8] + w * T[10])))));
  const double s2 = w * (T[1] + w * (T[3] + w * (T[5] + w * (T[7] + w * T[9]))));
  double r;
  if (part < 0) {
    r = a - a * (s1 + s2);
  } else {
    r = High[part] - ((a * (s1 + s2) - Low[part]) - a);
  }
  return negative ? -r : r;
}

double ArcTan2(double y, double x) {
  constexpr double PiHigh = 3.1415926535897931160e+00, PiLow = 1.2246467991473531772e-16;
  constexpr double PiHalf = 1.5707963267948965580e+00, PiQuarter = 7.8539816339744827900e-01;
  if (x != x || y != y) return x + y;
  const bool yNegative = std::signbit(y), xNegative = std::signbit(x);
  const auto withSign = [yNegative](double v) { return yNegative ? -v : v; };
  if (y == 0.0) return xNegative ? withSign(PiHigh + PiLow) : y;  // atan2(±0, -0 or <0) = ±pi
  if (x == 0.0) return withSign(PiHalf + 6.123233995736766036e-17);
  if (!IsFinite(x)) {
    if (!IsFinite(y)) return withSign(xNegative ? 3.0 * PiQuarter : PiQuarter);
    return xNegative ? withSign(PiHigh + PiLow) : withSign(0.0);
  }
  if (!IsFinite(y)) return withSign(PiHalf + 6.123233995736766036e-17);
  const double t = ArcTan((yNegative ? -y : y) / (xNegative ? -x : x));  // in [0, pi/2]
  const double r = xNegative ? (PiHigh - (t - PiLow)) : t;
  return withSign(r);
}

}  // namespace orr
