// SPDX-License-Identifier: GPL-3.0-or-later
// Vectors and matrices of the scene engine: four single-precision floats, positions with
// w = 1 and directions with w = 0. Matrices use the row-vector convention: a point p maps
// to p x M, the rows are the local X, Y and Z axes and the origin, which is also the
// memory layout OpenGL expects for glLoadMatrixf/glMultMatrixf.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/PortableMath.h"

namespace orr {

struct TVector {
  float X = 0, Y = 0, Z = 0, W = 0;
  float& operator[](int i) { return (&X)[i]; }
  float operator[](int i) const { return (&X)[i]; }
};

inline TVector PointMake(float x, float y, float z) { return {x, y, z, 1}; }
inline TVector VectorMake(float x, float y, float z, float w = 0) { return {x, y, z, w}; }

// a + b, all four components.
inline TVector VectorAdd(const TVector& a, const TVector& b) {
  return {a.X + b.X, a.Y + b.Y, a.Z + b.Z, a.W + b.W};
}
// a += b, all four components.
inline void AddVector(TVector& a, const TVector& b) {
  a.X += b.X;
  a.Y += b.Y;
  a.Z += b.Z;
  a.W += b.W;
}
// Adds one scalar to each component.
inline TVector VectorAdd(const TVector& v, float x, float y, float z, float w) {
  return {v.X + x, v.Y + y, v.Z + z, v.W + w};
}
inline TVector VectorSubtract(const TVector& a, const TVector& b) {
  return {a.X - b.X, a.Y - b.Y, a.Z - b.Z, a.W - b.W};
}
inline TVector VectorScale(const TVector& v, float f) { return {v.X * f, v.Y * f, v.Z * f, v.W * f}; }
// Bit-for-bit equality of all four components (so -0 differs from 0, NaN never equals).
bool VectorEquals(const TVector& a, const TVector& b);
// Length and distance of the x, y, z parts.
inline float VectorLength(const TVector& v) { return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z); }
inline float VectorDistance(const TVector& a, const TVector& b) { return VectorLength(VectorSubtract(a, b)); }
inline float VectorDistance2(const TVector& a, const TVector& b) {
  float dx = a.X - b.X, dy = a.Y - b.Y, dz = a.Z - b.Z;
  return dx * dx + dy * dy + dz * dz;
}
inline float VectorDot(const TVector& a, const TVector& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
// Cross product of the x, y, z parts; w = 0.
inline TVector VectorCross(const TVector& a, const TVector& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X, 0};
}
// x, y, z scaled to length 1 (left as is when the length is 0); w kept.
inline TVector VectorNormalize(const TVector& v) {
  const float len = VectorLength(v);
  if (len == 0) return v;
  const float f = 1 / len;
  return {v.X * f, v.Y * f, v.Z * f, v.W};
}

// Two-argument arc tangent in radians.
inline float ArcTan2(float y, float x) { return ArcTan2F(y, x); }
// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
int RoundInt(float v);
// The engine's floor-like conversion: truncation for v >= 0, truncation minus one for
// v < 0. Unlike a true floor, whole negative numbers also go one down (-2.0 gives -3).
int TruncFloor(float v);

// Rotates v (x, y, z; w kept) about a unit axis by `degrees`, counter-clockwise seen from
// the tip of the axis.
TVector RotateVector(const TVector& v, const TVector& axis, float degrees);

struct TMatrix {
  TVector Row[4];
  static TMatrix Identity();
  const float* Data() const { return &Row[0].X; }
};

// a x b: first a, then b.
TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b);
// General 4x4 inverse; identity when singular.
TMatrix MatrixInvert(const TMatrix& m);
// p x M with p's own w (points w = 1, directions w = 0).
TVector VectorTransform(const TVector& v, const TMatrix& m);

}  // namespace orr
