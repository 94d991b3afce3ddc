// Orientations from directions: the quaternion of a frame given by its axes, and the "look at"
// frame shared by the camera and objects. Any thread: pure functions of their arguments.
// Never returns a quaternion built from a zero or non-finite direction: the caller gets 0 instead.
#include "Math/Math.h"
#include <cmath>

namespace {

bool Finite3(const float v[3]) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

// Unit length in place; false for a zero or non-finite vector.
bool Unit(float v[3]) {
    if (!Finite3(v)) return false;
    const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    if (!(length > 1e-30) || !std::isfinite(length)) return false;
    for (int k = 0; k < 3; ++k) v[k] = static_cast<float>(v[k] / length);
    return true;
}

void Cross(float out[3], const float a[3], const float b[3]) {
    const float r[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    out[0] = r[0], out[1] = r[1], out[2] = r[2];
}

}  // namespace

int MVE_NormalizeQuaternion(v4f *q) {
    if (!q || !std::isfinite(q->x) || !std::isfinite(q->y) || !std::isfinite(q->z) || !std::isfinite(q->w)) return 0;
    const double length = std::sqrt(double(q->x) * q->x + double(q->y) * q->y + double(q->z) * q->z + double(q->w) * q->w);
    if (!(length > 1e-30) || !std::isfinite(length)) return 0;
    *q = {float(q->x / length), float(q->y / length), float(q->z / length), float(q->w / length)};
    return 1;
}

// The rotation whose matrix has the columns x, y, z (orthonormal, right-handed). The largest of the
// four candidates decides the formula, so no division by a near-zero component loses precision.
v4f MVE_QuaternionFromAxes(const float x[3], const float y[3], const float z[3]) {
    const double m00 = x[0], m10 = x[1], m20 = x[2], m01 = y[0], m11 = y[1], m21 = y[2], m02 = z[0], m12 = z[1], m22 = z[2];
    const double trace = m00 + m11 + m22;
    double q[4];  // x, y, z, w
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        q[3] = 0.25 * s, q[0] = (m21 - m12) / s, q[1] = (m02 - m20) / s, q[2] = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2.0;
        q[3] = (m21 - m12) / s, q[0] = 0.25 * s, q[1] = (m01 + m10) / s, q[2] = (m02 + m20) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2.0;
        q[3] = (m02 - m20) / s, q[0] = (m01 + m10) / s, q[1] = 0.25 * s, q[2] = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2.0;
        q[3] = (m10 - m01) / s, q[0] = (m02 + m20) / s, q[1] = (m12 + m21) / s, q[2] = 0.25 * s;
    }
    v4f r = {float(q[0]), float(q[1]), float(q[2]), float(q[3])};
    MVE_NormalizeQuaternion(&r);
    return r;
}

int MVE_QuaternionLookAt(v4f *out, float dx, float dy, float dz, float ux, float uy, float uz) {
    float d[3] = {dx, dy, dz}, up[3] = {ux, uy, uz};
    if (!out || !Unit(d) || !Finite3(up)) return 0;
    const bool worldUp = up[0] == 0.0f && up[1] == 0.0f && up[2] == 0.0f;
    if (worldUp) up[1] = 1.0f;
    if (!Unit(up)) return 0;
    // Up along the view leaves no frame: an explicit up is the caller's mistake; the world's up gives
    // way to the frame a pure tilt reaches (looking straight down, the top of the view points to -z).
    if (std::fabs(d[0] * up[0] + d[1] * up[1] + d[2] * up[2]) > 0.9999f) {
        if (!worldUp) return 0;
        up[0] = 0.0f, up[1] = 0.0f, up[2] = d[1] < 0.0f ? -1.0f : 1.0f;
    }
    float right[3], top[3], back[3] = {-d[0], -d[1], -d[2]};
    Cross(right, d, up);
    if (!Unit(right)) return 0;
    Cross(top, right, d);
    *out = MVE_QuaternionFromAxes(right, top, back);
    return 1;
}
