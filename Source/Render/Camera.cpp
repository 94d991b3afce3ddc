// The camera: a node whose matrix places the eye (the view is its inverse), moved and turned like
// an object, and the setters of its projection. Main thread only. The object procedures read the
// camera placement for their camera-frame mode from the engine defaults, so every change writes it there.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include <cmath>

namespace {

constexpr float kDegToRad = 3.14159265358979f / 180.0f;

MVE_CAMERA &C() { return MVE_Camera(); }
MVE_CAMERA_PROJECTION &P() { return MVE_Engine().Shader.Camera; }

v4f Apply(const m4f &M, float x, float y, float z, float w) {
    const float *m = M.m;
    return {m[0] * x + m[4] * y + m[8] * z + m[12] * w, m[1] * x + m[5] * y + m[9] * z + m[13] * w,
            m[2] * x + m[6] * y + m[10] * z + m[14] * w, w};
}

void Normalize(v4f &q) {
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f && std::isfinite(length)) q = {q.x / length, q.y / length, q.z / length, q.w / length};
}

// The node matrix, the view and the placement the object procedures read, all from the node's
// position and orientation.
void Rebuild() {
    MVE_CAMERA &c = C();
    MVE_RebuildNodeMatrix(&c.Node);
    c.m4fView = MVE_RigidInverse(c.Node.m4fMatrix);
    MVE_Engine().Defaults.m4fCamera = c.Node.m4fMatrix;
}

// A projection setter's common end: the matrices, the projection block and the near/far block.
void ProjectionChanged() {
    MVE_UpdateCameraProjection();
    MVE_WriteMiscBuffer();
}

// Returned vectors live per thread until the next call of the same procedure on that thread.
thread_local v4f t_position, t_ray;

}  // namespace

m4f MVE_RigidInverse(const m4f &M) {
    m4f R = {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) R.m[4 * c + r] = M.m[4 * r + c];
    for (int r = 0; r < 3; ++r)
        R.m[12 + r] = -(R.m[r] * M.m[12] + R.m[4 + r] * M.m[13] + R.m[8 + r] * M.m[14]);
    R.m[15] = 1.0f;
    return R;
}

MVE_CAMERA &MVE_Camera() {
    MVE_CAMERA &c = MVE_Engine().Render.Camera;
    if (!c.iReady) {
        c.iReady = 1;
        c.Node.Header.iKind = MVE_KIND_NODE;
        c.Node.Header.pModel = &c.Node.m4fMatrix;
        c.Node.Header.pWorld = &c.Node.m4fMatrix;
        c.Node.Header.pOrientation = &c.Node.v4fOrientation;
    }
    return c;
}

void MVE_UpdateCameraView() { Rebuild(); }

extern "C" int MVE_MoveCamera(float x, float y, float z, int mode) {
    MVE_CAMERA &c = C();
    v4f &p = c.Node.v4fPosition;
    const bool frame = (mode & (MVE_MODE_OWN | MVE_MODE_CAMERA)) != 0;
    if (mode & MVE_MODE_RELATIVE) {
        v4f d = frame ? Apply(c.Node.m4fMatrix, x, y, z, 0.0f) : v4f{x, y, z, 0.0f};
        p = {p.x + d.x, p.y + d.y, p.z + d.z, 1.0f};
    } else if (mode & MVE_MODE_OWN) {
        p = Apply(c.Node.m4fMatrix, x, y, z, 1.0f);
    } else {
        p = {x, y, z, 1.0f};
    }
    Rebuild();
    return 1;
}

extern "C" int MVE_RotateCamera(float x, float y, float z, int mode) {
    MVE_CAMERA &c = C();
    v4f q;
    MVE_QuaternionFromEuler(&q, x, y, z, 0);
    v4f &o = c.Node.v4fOrientation;
    if ((mode & MVE_MODE_RELATIVE) && (mode & MVE_MODE_OWN))
        MVE_QuaternionMultiply(&o, &o, &q);  // about the camera's own axes (tilt)
    else if (mode & MVE_MODE_RELATIVE)
        MVE_QuaternionMultiply(&o, &q, &o);  // about the world axes (heading)
    else
        o = q;
    Normalize(o);
    Rebuild();
    return 1;
}

extern "C" int MVE_PointCamera(float x, float y, float z, float upX, float upY, float upZ) {
    MVE_CAMERA &c = C();
    v4f q;
    if (!MVE_LookFrom(c.Node.v4fPosition, x, y, z, upX, upY, upZ, q, "MVE_PointCamera")) return 0;
    c.Node.v4fOrientation = q;
    Rebuild();
    return 1;
}

extern "C" v4f *MVE_GetCameraPosition(v4f *out, int) {
    v4f *target = out ? out : &t_position;
    const v4f &p = C().Node.v4fPosition;
    *target = {p.x, p.y, p.z, 1.0f};
    return target;
}

extern "C" v4f *MVE_GetCameraRay(int x, int y) {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_CAMERA &c = MVE_Camera();
    const MVE_CAMERA_PROJECTION &p = P();
    const float w = static_cast<float>(e.Screen.iWidth > 0 ? e.Screen.iWidth : 1);
    const float h = static_cast<float>(e.Screen.iHeight > 0 ? e.Screen.iHeight : 1);
    // Normalised device coordinates of the point (pixels from the top-left corner).
    const float nx = x == MVE_IGNORE ? 0.0f : 2.0f * static_cast<float>(x) / w - 1.0f;
    const float ny = y == MVE_IGNORE ? 0.0f : 1.0f - 2.0f * static_cast<float>(y) / h;
    v4f d = {0.0f, 0.0f, -1.0f, 0.0f};
    if (p.iMode) {
        const float t = std::tan(p.fFieldOfView * kDegToRad * 0.5f);
        d = {nx * t * p.fAspect, ny * t, -1.0f, 0.0f};
    }
    t_ray = Apply(c.Node.m4fMatrix, d.x, d.y, d.z, 0.0f);
    MVE_v4fNormalize(&t_ray);
    return &t_ray;
}

extern "C" int MVE_SetFieldOfView(float degrees) {
    if (!(degrees > 0.0f && degrees < 180.0f)) {
        MVE_LogFail("Fail: A field of view lies between 0 and 180 degrees!", "MVE_SetFieldOfView");
        return 0;
    }
    P().fFieldOfView = degrees;
    ProjectionChanged();
    return 1;
}

extern "C" int MVE_SetNearPlane(float distance) {
    MVE_CAMERA_PROJECTION &c = P();
    if (!(distance > 0.0f && distance < c.fFar)) {
        MVE_LogFail("Fail: The near plane must lie in front of the camera and before the far plane!", "MVE_SetNearPlane");
        return 0;
    }
    c.fNear = distance;
    ProjectionChanged();
    return 1;
}

extern "C" int MVE_SetFarPlane(float distance) {
    MVE_CAMERA_PROJECTION &c = P();
    if (!(distance > c.fNear && std::isfinite(distance))) {
        MVE_LogFail("Fail: The far plane must lie beyond the near plane!", "MVE_SetFarPlane");
        return 0;
    }
    c.fFar = distance;
    ProjectionChanged();
    return 1;
}

extern "C" int MVE_SetAspectRatio(float aspect) {
    if (!(aspect > 0.0f && std::isfinite(aspect))) {
        MVE_LogFail("Fail: An aspect ratio must be positive!", "MVE_SetAspectRatio");
        return 0;
    }
    P().fAspect = aspect;
    ProjectionChanged();
    return 1;
}

extern "C" void MVE_SetCameraProjection(int perspective) {
    P().iMode = perspective ? 1 : 0;
    MVE_UpdateCameraProjection();
}
