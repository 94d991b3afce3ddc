// Object transforms: move, place, turn, scale, velocity, and reading them back.
// Main thread. Each procedure holds the physics lock while it reads and writes the object, because
// the physics thread integrates position, orientation and velocity in its own phases.
#include "Core/Engine.h"
#include "Object/Object.h"
#include <cmath>
#include <mutex>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &PhysicsLock() { return MVE_Engine().Physics.Lock; }

v4f Apply(const m4f &M, float x, float y, float z, float w) {
    const float *m = M.m;
    return {m[0] * x + m[4] * y + m[8] * z + m[12] * w, m[1] * x + m[5] * y + m[9] * z + m[13] * w,
            m[2] * x + m[6] * y + m[10] * z + m[14] * w, w};
}

// The camera's placement: the inverse of the view matrix, so it maps the camera frame to the world.
const m4f &CameraPlacement() { return MVE_Engine().Defaults.m4fCamera; }

// A rotation q about the camera's axes is q with its axis turned into the world: the vector part
// rotated by the camera, the scalar part kept.
v4f AboutCamera(const v4f &q) {
    v4f axis = Apply(CameraPlacement(), q.x, q.y, q.z, 0.0f);
    v4f r = {axis.x, axis.y, axis.z, q.w};
    return r;
}

// Renormalising keeps many small relative turns from drifting away from a unit quaternion.
void Normalize(v4f &q) {
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f && std::isfinite(length)) q = {q.x / length, q.y / length, q.z / length, q.w / length};
}

void Move(MVE_OBJECT *object, float x, float y, float z, int mode, bool absoluteCamera) {
    v4f &p = object->v4fPosition;
    if (mode & MVE_MODE_RELATIVE) {
        v4f d = {x, y, z, 0};
        if (mode & MVE_MODE_OWN)
            d = Apply(object->m4fModel, x, y, z, 0.0f);
        else if (mode & MVE_MODE_CAMERA)
            d = Apply(CameraPlacement(), x, y, z, 0.0f);
        p = {p.x + d.x, p.y + d.y, p.z + d.z, 1.0f};
    } else if (mode & MVE_MODE_OWN) {
        p = Apply(object->m4fModel, x, y, z, 1.0f);
    } else if (absoluteCamera && (mode & MVE_MODE_CAMERA)) {
        p = Apply(CameraPlacement(), x, y, z, 1.0f);
    } else {
        p = {x, y, z, 1.0f};
    }
    MVE_RebuildObjectMatrices(object);
}

}  // namespace

extern "C" int MVE_MoveObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) return 0;
    Guard guard(PhysicsLock());
    Move(object, x, y, z, mode, false);
    return 1;
}

extern "C" int MVE_SetObjectPosition(int id, const v4f *position, int mode) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object || !position) return 0;
    Guard guard(PhysicsLock());
    Move(object, position->x, position->y, position->z, mode, true);
    return 1;
}

extern "C" int MVE_RotateObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) return 0;
    v4f q;
    MVE_QuaternionFromEuler(&q, x, y, z, 0);
    Guard guard(PhysicsLock());
    v4f &o = object->v4fOrientation;
    if ((mode & MVE_MODE_RELATIVE) && (mode & MVE_MODE_OWN)) {
        MVE_QuaternionMultiply(&o, &o, &q);
    } else {
        if (mode & MVE_MODE_CAMERA) q = AboutCamera(q);
        if (mode & MVE_MODE_RELATIVE)
            MVE_QuaternionMultiply(&o, &q, &o);
        else
            o = q;
    }
    Normalize(o);
    MVE_RebuildObjectMatrices(object);
    return 1;
}

extern "C" int MVE_ScaleObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) return 0;
    Guard guard(PhysicsLock());
    v4f &s = object->v4fScale;
    if (mode == MVE_MODE_RELATIVE)
        s = {s.x * x, s.y * y, s.z * z, s.w};
    else
        s = {x, y, z, 0.0f};
    object->fBodyScale = MVE_MaxF(s.x, s.y, s.z);
    MVE_RebuildObjectMatrices(object);
    if (object->pBody && object->fMass != 0.0f) MVE_ComputeInertia(object);
    return 1;
}

extern "C" int MVE_SetObjectVelocity(int id, const v4f *velocity, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) return 0;
    // A velocity is a direction: a w of 1 in the caller's vector must not pick up a translation.
    v4f v = velocity ? v4f{velocity->x, velocity->y, velocity->z, 0.0f} : v4f{x, y, z, 0.0f};
    Guard guard(PhysicsLock());
    if (mode & MVE_MODE_OWN) v = Apply(object->m4fWorld, v.x, v.y, v.z, 0.0f);
    v4f &u = object->v4fVelocity;
    if (mode & MVE_MODE_RELATIVE)
        u = {u.x + v.x, u.y + v.y, u.z + v.z, 0.0f};
    else
        u = v;
    return 1;
}

extern "C" v4f *MVE_GetObjectPosition(int id, v4f *out) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object || !out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fPosition;
    return out;
}

extern "C" v4f *MVE_GetObjectVelocity(int id, v4f *out) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object || !out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fVelocity;
    return out;
}

extern "C" v4f *MVE_GetObjectOrientation(int id, v4f *out) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object || !out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fOrientation;
    return out;
}
