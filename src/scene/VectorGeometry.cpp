#include "scene/VectorGeometry.h"

#include <cstring>

namespace orr {

bool VectorEquals(const TVector& a, const TVector& b) {
  return std::memcmp(&a, &b, sizeof(TVector)) == 0;
}

TVector VectorNormalize(const TVector& v) {
  float len = VectorLength(v);
  if (len == 0) return v;
  float f = 1 / len;
  return {v.X * f, v.Y * f, v.Z * f, v.W};
}

int RoundInt(float v) { return static_cast<int>(std::nearbyint(v)); }

int TruncFloor(float v) {
  int t = static_cast<int>(v);
  return v < 0 ? t - 1 : t;
}

TVector RotateVector(const TVector& v, const TVector& axis, float degrees) {
  double a = degrees * M_PI / 180.0;
  double c = std::cos(a), s = std::sin(a);
  double kx = axis.X, ky = axis.Y, kz = axis.Z;
  double dot = kx * v.X + ky * v.Y + kz * v.Z;
  // Rodrigues: v c + (k x v) s + k (k.v)(1 - c)
  double cx = ky * v.Z - kz * v.Y, cy = kz * v.X - kx * v.Z, cz = kx * v.Y - ky * v.X;
  return {float(v.X * c + cx * s + kx * dot * (1 - c)),
          float(v.Y * c + cy * s + ky * dot * (1 - c)),
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
      r.Row[i][j] = a.Row[i][0] * b.Row[0][j] + a.Row[i][1] * b.Row[1][j] +
                    a.Row[i][2] * b.Row[2][j] + a.Row[i][3] * b.Row[3][j];
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
