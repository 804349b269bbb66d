// SPDX-License-Identifier: GPL-3.0-or-later
// The sines, cosines and arc tangents the game's rules use, computed by our own code with
// nothing but IEEE additions, multiplications and divisions: the same bits on every platform
// and C library. (Each C library rounds its own sin, cos and atan2 in its own way in the last
// bit, and a rule that turns or moves by them would play differently on Windows and Linux.)
// Square roots need nothing of the kind: IEEE rounds them exactly everywhere.
#pragma once

namespace orr {

// Within about one unit in the last place of the true value for |x| up to 10^5 radians;
// further out the result keeps the same bits everywhere but loses accuracy. NaN for NaN and
// infinities.
double Sin(double x);
double Cos(double x);
void SinCos(double x, double& sine, double& cosine);
// Within about one unit in the last place; the signs of zeros and the infinities as atan2's.
double ArcTan(double x);
double ArcTan2(double y, double x);

// The float forms: computed in double, rounded once.
inline float SinF(float x) { return static_cast<float>(Sin(x)); }
inline float CosF(float x) { return static_cast<float>(Cos(x)); }
inline float ArcTan2F(float y, float x) { return static_cast<float>(ArcTan2(y, x)); }

}  // namespace orr
