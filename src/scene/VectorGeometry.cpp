// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/VectorGeometry.h"

#include <cstdint>
#include <cstring>
#include <numbers>

#include "core/PortableMath.h"

namespace orr {

bool VectorEquals(const TVector& a, const TVector& b) { return std::memcmp(&a, &b, sizeof(TVector)) == 0; }

int RoundInt(float v) { return static_cast<int>(std::nearbyint(v)); }

int TruncFloor(float v) {
  int t = static_cast<int>(v);
  return v < 0 ? t - 1 : t;
}

namespace {

// The cosine and sine of a turn, remembered for the last few angles: most turns of a step
// repeat one (every item spins by the same angle, every creature of a kind turns by its own).
struct TTurn {
  std::uint32_t Degrees;  // the bits of the angle
  double Cos, Sin;
};

void CosSin(float degrees, double& c, double& s) {
  static thread_local TTurn known[4] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};  // 0 degrees
  static thread_local unsigned next = 0;
  std::uint32_t bits;
  std::memcpy(&bits, &degrees, sizeof bits);
  for (const TTurn& t : known)
    if (t.Degrees == bits) {
      c = t.Cos;
      s = t.Sin;
      return;
    }
  const double a = degrees * std::numbers::pi / 180.0;
  orr::SinCos(a, s, c);
  known[next] = {bits, c, s};
  next = (next + 1) % 4;
}

}  // namespace

TVector RotateVector(const TVector& v, const TVector& axis, float degrees) {
  double c, s;
  CosSin(degrees, c, s);
  double kx = axis.X, ky = axis.Y, kz = axis.Z;
  double dot = kx * v.X + ky * v.Y + kz * v.Z;
  // Rodrigues: v c + (k x v) s + k (k.v)(1 - c)
  double cx = ky * v.Z - kz * v.Y, cy = kz * v.X - kx * v.Z, cz = kx * v.Y - ky * v.X;
  return {float(v.X * c + cx * s + kx * dot * (1 - c)), float(v.Y * c + cy * s + ky * dot * (1 - c)),
          float(v.Z * c + cz * s + kz * dot * (1 - c)), v.W};
}

TMatrix TMatrix::Identity() {
  TMatrix m;
  m.Row[0] = {1, 0, 0, 0};
  m.Row[1] = {0, 1, 0, 0};
  m.Row[2] = {0, 0, 1, 0};
  m.Row[3] = {0, 0, 0, 1};
  return m;
}

TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b) {
  TMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.Row[i][j] = a.Row[i][0] * b.Row[0][j] + a.Row[i][1] * b.Row[1][j] + a.Row[i][2] * b.Row[2][j] +
                    a.Row[i][3] * b.Row[3][j];
  return r;
}

TVector VectorTransform(const TVector& v, const TMatrix& m) {
  TVector r;
  for (int j = 0; j < 4; ++j)
    r[j] = v.X * m.Row[0][j] + v.Y * m.Row[1][j] + v.Z * m.Row[2][j] + v.W * m.Row[3][j];
  return r;
}

TMatrix MatrixInvert(const TMatrix& m) {
  // Gauss-Jordan in double precision with partial pivoting.
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = m.Row[i][j];
      a[i][j + 4] = i == j ? 1 : 0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-20) return TMatrix::Identity();
    if (pivot != col)
      for (int j = 0; j < 8; ++j) std::swap(a[col][j], a[pivot][j]);
    double inv = 1 / a[col][col];
    for (int j = 0; j < 8; ++j) a[col][j] *= inv;
    for (int r = 0; r < 4; ++r) {
      if (r == col || a[r][col] == 0) continue;
      double f = a[r][col];
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
    }
  }
  TMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.Row[i][j] = float(a[i][j + 4]);
  return r;
}

}  // namespace orr
