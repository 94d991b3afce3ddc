// Object transforms: move, place, turn, scale, velocity, and reading them back.
// Main thread. Each procedure holds the physics lock while it reads and writes the object, because
// the physics thread integrates position, orientation and velocity in its own phases.
#include "Core/Engine.h"
#include "Log/Log.h"
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

// Orientation setters end like MVE_RotateObject: matrices rebuilt under the lock the physics
// thread integrates under; the body's inertia stays in its own frame and turns with the object.
void Orient(MVE_OBJECT *object, const v4f &q) {
    Guard guard(PhysicsLock());
    object->v4fOrientation = q;
    MVE_RebuildObjectMatrices(object);
}

MVE_OBJECT *Find(int id, const char *procedure) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) MVE_LogFail("Fail: Object " + std::to_string(id) + " not found!", procedure);
    return object;
}

}  // namespace

int MVE_LookFrom(const v4f &eye, float x, float y, float z, float upX, float upY, float upZ, v4f &out,
                 const char *procedure) {
    const float numbers[6] = {x, y, z, upX, upY, upZ};
    for (float n : numbers)
        if (!std::isfinite(n)) {
            MVE_LogFail("Fail: The point and the up vector must be finite numbers!", procedure);
            return 0;
        }
    const float dx = x - eye.x, dy = y - eye.y, dz = z - eye.z;
    if (!(dx * dx + dy * dy + dz * dz > 0.0f)) {
        MVE_LogFail("Fail: The point to look at is the eye itself!", procedure);
        return 0;
    }
    if (!MVE_QuaternionLookAt(&out, dx, dy, dz, upX, upY, upZ)) {
        MVE_LogFail("Fail: The up vector is zero or lies along the view!", procedure);
        return 0;
    }
    return 1;
}

extern "C" int MVE_MoveObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_MoveObject");
    if (!object) return 0;
    Guard guard(PhysicsLock());
    Move(object, x, y, z, mode, false);
    return 1;
}

extern "C" int MVE_SetObjectPosition(int id, const v4f *position, int mode) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_SetObjectPosition");
    if (!object) return 0;
    if (!position) return 0;
    Guard guard(PhysicsLock());
    Move(object, position->x, position->y, position->z, mode, true);
    return 1;
}

extern "C" int MVE_RotateObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_RotateObject");
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

extern "C" int MVE_SetObjectOrientation(int id, const v4f *orientation) {
    static const char *const kProcedure = "MVE_SetObjectOrientation";
    MVE_OBJECT *object = Find(id, kProcedure);
    if (!object) return 0;
    v4f q = orientation ? *orientation : v4f{0, 0, 0, 0};
    if (!MVE_NormalizeQuaternion(&q)) {
        MVE_LogFail("Fail: An orientation needs a quaternion of finite numbers, not zero!", kProcedure);
        return 0;
    }
    Orient(object, q);
    return 1;
}

extern "C" int MVE_PointObject(int id, float x, float y, float z, float upX, float upY, float upZ) {
    static const char *const kProcedure = "MVE_PointObject";
    MVE_OBJECT *object = Find(id, kProcedure);
    if (!object) return 0;
    Guard guard(PhysicsLock());  // the position the turn is taken from may not move meanwhile
    v4f q;
    if (!MVE_LookFrom(object->v4fPosition, x, y, z, upX, upY, upZ, q, kProcedure)) return 0;
    Orient(object, q);
    return 1;
}

extern "C" int MVE_ScaleObject(int id, float x, float y, float z, int mode) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_ScaleObject");
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
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_SetObjectVelocity");
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
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_GetObjectPosition");
    if (!object) return nullptr;
    if (!out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fPosition;
    return out;
}

extern "C" v4f *MVE_GetObjectVelocity(int id, v4f *out) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_GetObjectVelocity");
    if (!object) return nullptr;
    if (!out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fVelocity;
    return out;
}

extern "C" v4f *MVE_GetObjectOrientation(int id, v4f *out) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_GetObjectOrientation");
    if (!object) return nullptr;
    if (!out) return nullptr;
    Guard guard(PhysicsLock());
    *out = object->v4fOrientation;
    return out;
}
