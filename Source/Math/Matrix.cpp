// Quaternions and column-major 4x4 matrices (column vectors: A B applies B first).
// Any thread: pure functions of caller-owned memory. Never allocates, never assumes 16-byte alignment,
// and every procedure reads its inputs before writing, so a result may overwrite an input.
#include "Math/Math.h"
#include <cmath>
#include <pmmintrin.h>

namespace {

constexpr float kDegToRad = 3.14159265358979323846f / 180.0f;

template <int Lane> inline __m128 Splat(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
}

// One column of A B: the columns of A weighted by the lanes of B's column. The two halves of the sum
// are independent so they can run side by side.
inline __m128 Column(__m128 a0, __m128 a1, __m128 a2, __m128 a3, __m128 b) {
    const __m128 lo = _mm_add_ps(_mm_mul_ps(a0, Splat<0>(b)), _mm_mul_ps(a1, Splat<1>(b)));
    const __m128 hi = _mm_add_ps(_mm_mul_ps(a2, Splat<2>(b)), _mm_mul_ps(a3, Splat<3>(b)));
    return _mm_add_ps(lo, hi);
}

}  // namespace

extern "C" {

v4f *MVE_QuaternionMultiply(v4f *out, const v4f *p, const v4f *q) {
    const v4f r = {
        p->w * q->x + p->x * q->w + p->y * q->z - p->z * q->y,
        p->w * q->y - p->x * q->z + p->y * q->w + p->z * q->x,
        p->w * q->z + p->x * q->y - p->y * q->x + p->z * q->w,
        p->w * q->w - p->x * q->x - p->y * q->y - p->z * q->z,
    };
    *out = r;
    return out;
}

// The expanded product qz qy qx: x turns first, then y, then z, all about the fixed axes.
v4f *MVE_QuaternionFromEuler(v4f *out, float ax, float ay, float az, int mode) {
    if (mode != 1) {
        ax *= kDegToRad;
        ay *= kDegToRad;
        az *= kDegToRad;
    }
    const float cx = std::cos(ax * 0.5f), sx = std::sin(ax * 0.5f);
    const float cy = std::cos(ay * 0.5f), sy = std::sin(ay * 0.5f);
    const float cz = std::cos(az * 0.5f), sz = std::sin(az * 0.5f);
    out->x = sx * cy * cz - cx * sy * sz;
    out->y = sx * cy * sz + cx * sy * cz;
    out->z = cx * cy * sz - sx * sy * cz;
    out->w = sx * sy * sz + cx * cy * cz;
    return out;
}

// Both inputs are held whole in registers before the first column of out is written, so out may be
// A or B.
m4f *MVE_m4fMultiply(m4f *out, const m4f *A, const m4f *B) {
    const __m128 a0 = _mm_loadu_ps(A->m + 0), a1 = _mm_loadu_ps(A->m + 4);
    const __m128 a2 = _mm_loadu_ps(A->m + 8), a3 = _mm_loadu_ps(A->m + 12);
    const __m128 b0 = _mm_loadu_ps(B->m + 0), b1 = _mm_loadu_ps(B->m + 4);
    const __m128 b2 = _mm_loadu_ps(B->m + 8), b3 = _mm_loadu_ps(B->m + 12);
    _mm_storeu_ps(out->m + 0, Column(a0, a1, a2, a3, b0));
    _mm_storeu_ps(out->m + 4, Column(a0, a1, a2, a3, b1));
    _mm_storeu_ps(out->m + 8, Column(a0, a1, a2, a3, b2));
    _mm_storeu_ps(out->m + 12, Column(a0, a1, a2, a3, b3));
    return out;
}

m4f *MVE_m4fMultiplyInPlace(m4f *A, const m4f *B) { return MVE_m4fMultiply(A, A, B); }

// Cramer's rule on four lanes. The matrix is read as its transpose with the second and fourth rows
// rotated by two lanes, which lets every 2x2 sub-determinant be formed by one multiply and two
// shuffles. The determinant's reciprocal is the processor's approximate one (about 12 bits), which is
// the accuracy the engine asks of an inverse. A matrix whose determinant has no finite reciprocal
// (0, a denormal, NaN) gives the zero matrix instead of infinities and NaNs, so a degenerate transform
// cannot poison whatever consumes it.
m4f *MVE_m4fInverseOf(m4f *out, const m4f *M) {
    const float *s = M->m;
    const __m128 c0 = _mm_loadu_ps(s + 0), c1 = _mm_loadu_ps(s + 4);
    const __m128 c2 = _mm_loadu_ps(s + 8), c3 = _mm_loadu_ps(s + 12);

    __m128 t = _mm_movelh_ps(c0, c1);                       // s0 s1 s4 s5
    __m128 u = _mm_movelh_ps(c2, c3);                       // s8 s9 s12 s13
    const __m128 r0 = _mm_shuffle_ps(t, u, 0x88);           // s0 s4 s8 s12
    __m128 r1 = _mm_shuffle_ps(u, t, 0xDD);                 // s9 s13 s1 s5
    t = _mm_movehl_ps(c1, c0);                              // s2 s3 s6 s7
    u = _mm_movehl_ps(c3, c2);                              // s10 s11 s14 s15
    __m128 r2 = _mm_shuffle_ps(t, u, 0x88);                 // s2 s6 s10 s14
    const __m128 r3 = _mm_shuffle_ps(u, t, 0xDD);           // s11 s15 s3 s7

    __m128 m0, m1, m2, m3;

    t = _mm_mul_ps(r2, r3);
    t = _mm_shuffle_ps(t, t, 0xB1);
    m0 = _mm_mul_ps(r1, t);
    m1 = _mm_mul_ps(r0, t);
    t = _mm_shuffle_ps(t, t, 0x4E);
    m0 = _mm_sub_ps(_mm_mul_ps(r1, t), m0);
    m1 = _mm_sub_ps(_mm_mul_ps(r0, t), m1);
    m1 = _mm_shuffle_ps(m1, m1, 0x4E);

    t = _mm_mul_ps(r1, r2);
    t = _mm_shuffle_ps(t, t, 0xB1);
    m0 = _mm_add_ps(_mm_mul_ps(r3, t), m0);
    m3 = _mm_mul_ps(r0, t);
    t = _mm_shuffle_ps(t, t, 0x4E);
    m0 = _mm_sub_ps(m0, _mm_mul_ps(r3, t));
    m3 = _mm_sub_ps(_mm_mul_ps(r0, t), m3);
    m3 = _mm_shuffle_ps(m3, m3, 0x4E);

    t = _mm_mul_ps(_mm_shuffle_ps(r1, r1, 0x4E), r3);
    t = _mm_shuffle_ps(t, t, 0xB1);
    r2 = _mm_shuffle_ps(r2, r2, 0x4E);
    m0 = _mm_add_ps(_mm_mul_ps(r2, t), m0);
    m2 = _mm_mul_ps(r0, t);
    t = _mm_shuffle_ps(t, t, 0x4E);
    m0 = _mm_sub_ps(m0, _mm_mul_ps(r2, t));
    m2 = _mm_sub_ps(_mm_mul_ps(r0, t), m2);
    m2 = _mm_shuffle_ps(m2, m2, 0x4E);

    t = _mm_mul_ps(r0, r1);
    t = _mm_shuffle_ps(t, t, 0xB1);
    m2 = _mm_add_ps(_mm_mul_ps(r3, t), m2);
    m3 = _mm_sub_ps(_mm_mul_ps(r2, t), m3);
    t = _mm_shuffle_ps(t, t, 0x4E);
    m2 = _mm_sub_ps(_mm_mul_ps(r3, t), m2);
    m3 = _mm_sub_ps(m3, _mm_mul_ps(r2, t));

    t = _mm_mul_ps(r0, r3);
    t = _mm_shuffle_ps(t, t, 0xB1);
    m1 = _mm_sub_ps(m1, _mm_mul_ps(r2, t));
    m2 = _mm_add_ps(_mm_mul_ps(r1, t), m2);
    t = _mm_shuffle_ps(t, t, 0x4E);
    m1 = _mm_add_ps(_mm_mul_ps(r2, t), m1);
    m2 = _mm_sub_ps(m2, _mm_mul_ps(r1, t));

    t = _mm_mul_ps(r0, r2);
    t = _mm_shuffle_ps(t, t, 0xB1);
    m1 = _mm_add_ps(_mm_mul_ps(r3, t), m1);
    m3 = _mm_sub_ps(m3, _mm_mul_ps(r1, t));
    t = _mm_shuffle_ps(t, t, 0x4E);
    m1 = _mm_sub_ps(m1, _mm_mul_ps(r3, t));
    m3 = _mm_add_ps(_mm_mul_ps(r1, t), m3);

    // Determinant in every lane: first row against the first cofactor row.
    __m128 det = _mm_mul_ps(r0, m0);
    det = _mm_add_ps(_mm_shuffle_ps(det, det, 0x4E), det);
    det = _mm_add_ps(_mm_shuffle_ps(det, det, 0xB1), det);
    const __m128 rcp = _mm_rcp_ps(det);
    const __m128 magnitude = _mm_and_ps(rcp, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
    const __m128 inv = _mm_and_ps(rcp, _mm_cmplt_ps(magnitude, _mm_set1_ps(INFINITY)));

    _mm_storeu_ps(out->m + 0, _mm_mul_ps(m0, inv));
    _mm_storeu_ps(out->m + 4, _mm_mul_ps(m1, inv));
    _mm_storeu_ps(out->m + 8, _mm_mul_ps(m2, inv));
    _mm_storeu_ps(out->m + 12, _mm_mul_ps(m3, inv));
    return out;
}

m4f *MVE_m4fInverse(m4f *M) { return MVE_m4fInverseOf(M, M); }

m4f *MVE_m4fAbs(m4f *out, const m4f *M) {
    const __m128 mask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (int i = 0; i < 16; i += 4) _mm_storeu_ps(out->m + i, _mm_and_ps(_mm_loadu_ps(M->m + i), mask));
    return out;
}

m4f *MVE_m4fCopyRotation(const m4f *src, m4f *dst) {
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) dst->m[4 * c + r] = src->m[4 * c + r];
    return dst;
}

m4f *MVE_m4fFromQuaternion(const v4f *q, m4f *out) {
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    float *m = out->m;
    m[0] = 1.0f - 2.0f * (y * y + z * z);
    m[1] = 2.0f * x * y + 2.0f * w * z;
    m[2] = 2.0f * x * z - 2.0f * w * y;
    m[3] = 0.0f;
    m[4] = 2.0f * x * y - 2.0f * w * z;
    m[5] = 1.0f - 2.0f * (x * x + z * z);
    m[6] = 2.0f * y * z + 2.0f * w * x;
    m[7] = 0.0f;
    m[8] = 2.0f * x * z + 2.0f * w * y;
    m[9] = 2.0f * y * z - 2.0f * w * x;
    m[10] = 1.0f - 2.0f * (x * x + y * y);
    m[11] = 0.0f;
    m[12] = 0.0f;
    m[13] = 0.0f;
    m[14] = 0.0f;
    m[15] = 1.0f;
    return out;
}

m4f *MVE_m4fPerspective(m4f *out, float fovY, float aspect, float zNear, float zFar) {
    const float t = std::tan(fovY * kDegToRad * 0.5f);
    for (float &e : out->m) e = 0.0f;
    out->m[0] = 1.0f / (aspect * t);
    out->m[5] = 1.0f / t;
    out->m[10] = (zNear + zFar) / (zNear - zFar);
    out->m[14] = 2.0f * zNear * zFar / (zNear - zFar);
    out->m[11] = -1.0f;
    return out;
}

m4f *MVE_m4fIdentity(m4f *out) {
    for (int i = 0; i < 16; ++i) out->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    return out;
}

}  // extern "C"
