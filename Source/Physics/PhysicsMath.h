// Small inline vector helpers of the physics code (three components, w handled explicitly).
// Pure functions, any thread. They never allocate and never divide by a value they have not
// checked, so a degenerate contact gives zeros, not NaN.
#pragma once
#include "MVE.h"
#include <cmath>

namespace mvephys {

inline v4f V(float x, float y, float z, float w = 0.0f) { return v4f{x, y, z, w}; }
inline v4f Add(const v4f &a, const v4f &b) { return V(a.x + b.x, a.y + b.y, a.z + b.z, 0.0f); }
inline v4f Sub(const v4f &a, const v4f &b) { return V(a.x - b.x, a.y - b.y, a.z - b.z, 0.0f); }
inline v4f Mul(const v4f &a, float s) { return V(a.x * s, a.y * s, a.z * s, 0.0f); }
inline v4f MulEach(const v4f &a, const v4f &b) { return V(a.x * b.x, a.y * b.y, a.z * b.z, 0.0f); }
inline float Dot(const v4f &a, const v4f &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Dot4(const v4f &a, const v4f &b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline v4f Cross(const v4f &a, const v4f &b) {
    return V(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f);
}
inline void AddTo(v4f &a, const v4f &b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
}
// a.xyz += b.xyz * s, w kept.
inline void AddScaled(v4f &a, const v4f &b, float s) {
    a.x += b.x * s;
    a.y += b.y * s;
    a.z += b.z * s;
}
inline float Length(const v4f &a) { return std::sqrt(Dot(a, a)); }
// Unit vector, w 0; a zero vector stays zero.
inline v4f Normalize(const v4f &a) {
    const float l2 = Dot(a, a);
    if (!(l2 > 0.0f)) return V(0, 0, 0, 0);
    const float l = std::sqrt(l2);
    return V(a.x / l, a.y / l, a.z / l, 0.0f);
}
inline bool Finite(const v4f &a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z) && std::isfinite(a.w);
}

// M v with all four lanes (a point when v.w is 1, a direction when 0).
inline v4f Transform(const m4f &M, const v4f &v) {
    const float *m = M.m;
    return v4f{m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12] * v.w, m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13] * v.w,
               m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14] * v.w, m[3] * v.x + m[7] * v.y + m[11] * v.z + m[15] * v.w};
}
inline v4f TransformPoint(const m4f &M, const v4f &v) {
    const float *m = M.m;
    return V(m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12], m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13],
             m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14], 1.0f);
}
inline v4f TransformDir(const m4f &M, const v4f &v) {
    const float *m = M.m;
    return V(m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
             m[2] * v.x + m[6] * v.y + m[10] * v.z, 0.0f);
}
// The upper-left 3x3 applied to v (inertia tensors act on directions only).
inline v4f Apply3(const m4f &M, const v4f &v) { return TransformDir(M, v); }

// Inverse of an inertia tensor's upper-left 3x3 (w row and column identity). A singular tensor,
// which only a zero mass gives, inverts to zero: such an end does not turn.
void InverseInertia(const m4f &I, m4f &out);

// Inverse of an affine placement (rotation and scale in the 3x3, translation in column 3), exact
// to float rounding. A singular 3x3 (a zero scale) gives the zero matrix.
void InverseAffine(const m4f &M, m4f &out);

}  // namespace mvephys
