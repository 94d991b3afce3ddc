// Four-float vectors and the three-float scalar helpers.
// Any thread: pure functions of caller-owned memory. Never allocates, and never assumes 16-byte
// alignment: vectors live at any 4-byte boundary inside records, so every load and store is unaligned.
#include "Math/Math.h"
#include <cmath>
#include <pmmintrin.h>

namespace {

inline __m128 Load(const v4f *v) { return _mm_loadu_ps(&v->x); }
inline void Store(v4f *v, __m128 r) { _mm_storeu_ps(&v->x, r); }

// All bits set in x, y and z; w clear.
inline __m128 MaskXYZ() { return _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)); }

// Keeps the destination's own w (bit for bit) under a result computed for x, y and z.
inline __m128 KeepW(__m128 xyz, __m128 old) {
    const __m128 m = MaskXYZ();
    return _mm_or_ps(_mm_and_ps(m, xyz), _mm_andnot_ps(m, old));
}

// Sum of the four lanes in every lane.
inline __m128 HorizontalSum(__m128 v) {
    v = _mm_hadd_ps(v, v);
    return _mm_hadd_ps(v, v);
}

// M v: the columns weighted by the vector's own lanes, summed in two independent halves.
inline __m128 Transform(const m4f *M, __m128 x) {
    const float *m = M->m;
    const __m128 lo = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(m + 0), _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0))),
                                 _mm_mul_ps(_mm_loadu_ps(m + 4), _mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1))));
    const __m128 hi = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(m + 8), _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 2, 2))),
                                 _mm_mul_ps(_mm_loadu_ps(m + 12), _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3))));
    return _mm_add_ps(lo, hi);
}

}  // namespace

extern "C" {

v4f *MVE_v4fSet(v4f *v, float x, float y, float z, float w) {
    v->x = x;
    v->y = y;
    v->z = z;
    v->w = w;
    return v;
}

v4f *MVE_v4fSet3(v4f *v, float x, float y, float z) {
    v->x = x;
    v->y = y;
    v->z = z;
    return v;
}

v4f *MVE_v4fCopy(v4f *dst, const v4f *src) {
    Store(dst, Load(src));
    return dst;
}

// The w components combine as flags: for w in {0, 1} the sum is OR, the difference XOR, so a point
// plus a direction stays a point and the difference of two points is a direction.
v4f *MVE_v4fAdd(v4f *a, const v4f *b) {
    const float aw = a->w, bw = b->w;
    a->x += b->x;
    a->y += b->y;
    a->z += b->z;
    a->w = aw + bw - aw * bw;
    return a;
}

v4f *MVE_v4fSub(v4f *a, const v4f *b) {
    const float aw = a->w, bw = b->w;
    a->x -= b->x;
    a->y -= b->y;
    a->z -= b->z;
    a->w = aw + bw - 2.0f * aw * bw;
    return a;
}

v4f *MVE_v4fSubTo(v4f *out, const v4f *a, const v4f *b) {
    const v4f r = {a->x - b->x, a->y - b->y, a->z - b->z, a->w + b->w - 2.0f * a->w * b->w};
    *out = r;
    return out;
}

v4f *MVE_v4fAdd3(v4f *a, const v4f *b) {
    a->x += b->x;
    a->y += b->y;
    a->z += b->z;
    return a;
}

v4f *MVE_v4fSub3To(v4f *out, const v4f *a, const v4f *b) {
    const float x = a->x - b->x, y = a->y - b->y, z = a->z - b->z;
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

v4f *MVE_v4fAddScaled(v4f *a, const v4f *b, float s) {
    const __m128 va = Load(a);
    const __m128 r = _mm_add_ps(va, _mm_mul_ps(Load(b), _mm_set1_ps(s)));
    Store(a, KeepW(r, va));
    return a;
}

v4f *MVE_v4fScale(v4f *a, float s) {
    a->x *= s;
    a->y *= s;
    a->z *= s;
    return a;
}

v4f *MVE_v4fScaleTo(v4f *out, const v4f *a, float s) {
    const float x = a->x * s, y = a->y * s, z = a->z * s;
    out->x = x;
    out->y = y;
    out->z = z;
    return out;
}

v4f *MVE_v4fMultiply(v4f *out, const v4f *a, const v4f *b) {
    Store(out, _mm_mul_ps(Load(a), Load(b)));
    return out;
}

v4f *MVE_v4fMultiply3(v4f *a, const v4f *b) {
    a->x *= b->x;
    a->y *= b->y;
    a->z *= b->z;
    return a;
}

float MVE_v4fDot(const v4f *a, const v4f *b) {
    if (!b) b = a;
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

float MVE_v4fLength(const v4f *a) {
    const __m128 v = _mm_and_ps(Load(a), MaskXYZ());
    return _mm_cvtss_f32(_mm_sqrt_ss(HorizontalSum(_mm_mul_ps(v, v))));
}

// A zero vector has no direction: it comes back as (0, 0, 0, 0) rather than four NaNs, which would
// otherwise spread through every body that touches it.
v4f *MVE_v4fNormalize(v4f *a) {
    const __m128 v = _mm_and_ps(Load(a), MaskXYZ());
    const __m128 sq = HorizontalSum(_mm_mul_ps(v, v));
    const __m128 r = _mm_div_ps(v, _mm_sqrt_ps(sq));
    Store(a, _mm_and_ps(r, _mm_cmpgt_ps(sq, _mm_setzero_ps())));
    return a;
}

v4f *MVE_v4fCross(v4f *out, const v4f *a, const v4f *b) {
    const __m128 va = Load(a), vb = Load(b);
    const __m128 a_yzx = _mm_shuffle_ps(va, va, _MM_SHUFFLE(3, 0, 2, 1));
    const __m128 b_yzx = _mm_shuffle_ps(vb, vb, _MM_SHUFFLE(3, 0, 2, 1));
    // a x b = (a * b.yzx - a.yzx * b).yzx
    const __m128 c = _mm_sub_ps(_mm_mul_ps(va, b_yzx), _mm_mul_ps(a_yzx, vb));
    Store(out, _mm_and_ps(_mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 2, 1)), MaskXYZ()));
    return out;
}

v4f *MVE_v4fAbs(v4f *a) {
    Store(a, _mm_and_ps(Load(a), _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))));
    return a;
}

v4f *MVE_v4fColor(v4f *out, uint32_t color) {
    const float k = 1.0f / 255.0f;
    uint32_t alpha = color >> 24;
    if (alpha == 0) alpha = 255;  // packed colours written without alpha are opaque
    out->x = static_cast<float>(color & 0xFF) * k;
    out->y = static_cast<float>((color >> 8) & 0xFF) * k;
    out->z = static_cast<float>((color >> 16) & 0xFF) * k;
    out->w = static_cast<float>(alpha) * k;
    return out;
}

v4f *MVE_v4fTransformTo(v4f *out, const m4f *M, const v4f *v) {
    Store(out, Transform(M, Load(v)));
    return out;
}

v4f *MVE_v4fTransform(v4f *v, const m4f *M) {
    Store(v, Transform(M, Load(v)));
    return v;
}

float MVE_v4fDotTransformed(const v4f *a, const m4f *M, const v4f *b) {
    const __m128 va = Load(a);
    const __m128 mb = Transform(M, b ? Load(b) : va);
    return _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(va, mb)));
}

float MVE_MinF(float a, float b, float c) {
    const float m = a < b ? a : b;
    return m < c ? m : c;
}

float MVE_MaxF(float a, float b, float c) {
    const float m = a > b ? a : b;
    return m > c ? m : c;
}

float MVE_ClampF(float x, float lo, float hi) {
    if (lo > x) return lo;
    if (x <= hi) return x;
    return lo > hi ? lo : hi;
}

}  // extern "C"
