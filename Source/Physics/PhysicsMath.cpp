// Matrix inverses the physics needs: inertia tensors and affine object placements.
// Pure functions, any thread; full float precision, because collision results depend on them.
#include "Physics/PhysicsMath.h"

namespace mvephys {

namespace {

// out := inverse of the 3x3 block of M (rest of out untouched); false when singular.
bool Inverse3(const m4f &M, m4f &out) {
    const float *m = M.m;
    // a(r,c) = m[4c + r]
    const float a00 = m[0], a10 = m[1], a20 = m[2];
    const float a01 = m[4], a11 = m[5], a21 = m[6];
    const float a02 = m[8], a12 = m[9], a22 = m[10];
    const float c00 = a11 * a22 - a12 * a21, c01 = a12 * a20 - a10 * a22, c02 = a10 * a21 - a11 * a20;
    const float det = a00 * c00 + a01 * c01 + a02 * c02;
    if (det == 0.0f || !std::isfinite(det)) return false;
    const float k = 1.0f / det;
    float *o = out.m;
    o[0] = c00 * k;
    o[1] = c01 * k;
    o[2] = c02 * k;
    o[4] = (a02 * a21 - a01 * a22) * k;
    o[5] = (a00 * a22 - a02 * a20) * k;
    o[6] = (a01 * a20 - a00 * a21) * k;
    o[8] = (a01 * a12 - a02 * a11) * k;
    o[9] = (a02 * a10 - a00 * a12) * k;
    o[10] = (a00 * a11 - a01 * a10) * k;
    return true;
}

}  // namespace

void InverseInertia(const m4f &I, m4f &out) {
    const float *m = I.m;
    for (float &e : out.m) e = 0.0f;
    out.m[15] = 1.0f;
    if (m[1] == 0.0f && m[2] == 0.0f && m[4] == 0.0f && m[6] == 0.0f && m[8] == 0.0f && m[9] == 0.0f) {
        // The common diagonal tensor: each axis on its own, a zero axis stays zero.
        out.m[0] = m[0] != 0.0f ? 1.0f / m[0] : 0.0f;
        out.m[5] = m[5] != 0.0f ? 1.0f / m[5] : 0.0f;
        out.m[10] = m[10] != 0.0f ? 1.0f / m[10] : 0.0f;
        return;
    }
    if (!Inverse3(I, out)) {
        for (int i = 0; i < 11; ++i) out.m[i] = 0.0f;
    }
}

void InverseAffine(const m4f &M, m4f &out) {
    for (float &e : out.m) e = 0.0f;
    if (!Inverse3(M, out)) return;
    const float tx = M.m[12], ty = M.m[13], tz = M.m[14];
    out.m[12] = -(out.m[0] * tx + out.m[4] * ty + out.m[8] * tz);
    out.m[13] = -(out.m[1] * tx + out.m[5] * ty + out.m[9] * tz);
    out.m[14] = -(out.m[2] * tx + out.m[6] * ty + out.m[10] * tz);
    out.m[15] = 1.0f;
}

}  // namespace mvephys
