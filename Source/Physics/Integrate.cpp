// The integration phase: moves every listed object over one step time, rebuilds its matrices and
// loads the accumulators for the next pass. Runs with the physics lock held (thread or step).
// Must never move an object that is in no list, and never leave a non-finite state behind.
#include "Physics/PhysicsPrivate.h"
#include "Log/Log.h"
#include <algorithm>

using namespace mvephys;

int MVE_PhysicsRepairObject(MVE_OBJECT *o) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    if (!Finite(o->v4fPosition)) o->v4fPosition = V(0, 0, 0, 1);
    if (!Finite(o->v4fOrientation)) o->v4fOrientation = V(0, 0, 0, 1);
    o->v4fVelocity = o->v4fAngularVelocity = o->v4fAcceleration = o->v4fAngularAcceleration = V(0, 0, 0, 0);
    o->v4fMovement = V(0, 0, 0, 0);
    MVE_RebuildObjectMatrices(o);
    if (std::find(p.Reported.begin(), p.Reported.end(), o) != p.Reported.end()) return 0;
    p.Reported.push_back(o);
    MVE_LogFail(std::string(MVE_FAIL_NON_FINITE) + " (object " + std::to_string(o->iID) + ")", "MVE_PhysicsThread");
    return 1;
}

void MVE_IntegrateObject(MVE_OBJECT *o, float h, int dynamic) {
    const v4f a = o->v4fAcceleration, alpha = o->v4fAngularAcceleration;
    const v4f oldPosition = o->v4fPosition, oldOrientation = o->v4fOrientation;
    const float hh = h * h * 0.5f;

    v4f movement = Mul(a, hh);
    movement.x += o->v4fVelocity.x * h;
    movement.y += o->v4fVelocity.y * h;
    movement.z += o->v4fVelocity.z * h;
    o->v4fMovement = movement;
    MVE_v4fAdd(&o->v4fPosition, &movement);
    AddScaled(o->v4fVelocity, a, h);

    const v4f &w = o->v4fAngularVelocity;
    const v4f r = V(w.x * h + alpha.x * hh, w.y * h + alpha.y * hh, w.z * h + alpha.z * hh);
    if (r.x != 0.0f || r.y != 0.0f || r.z != 0.0f) {
        v4f q;
        MVE_QuaternionFromEuler(&q, r.x, r.y, r.z, 1);
        MVE_QuaternionMultiply(&o->v4fOrientation, &q, &o->v4fOrientation);
        // Float products drift off unit length over many passes and would shear the matrices;
        // renormalise only once the drift is visible, so ordinary passes stay the plain product.
        v4f &Q = o->v4fOrientation;
        const float n2 = Dot4(Q, Q);
        if (std::fabs(n2 - 1.0f) > 1e-5f && n2 > 0.0f) {
            const float k = 1.0f / std::sqrt(n2);
            Q = v4f{Q.x * k, Q.y * k, Q.z * k, Q.w * k};
        }
    }
    AddScaled(o->v4fAngularVelocity, alpha, h);

    if (!MVE_PhysicsStateFinite(o)) {
        o->v4fPosition = oldPosition;
        o->v4fOrientation = oldOrientation;
        MVE_PhysicsRepairObject(o);
    } else {
        MVE_RebuildObjectMatrices(o);
    }

    const MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    o->v4fAcceleration = (dynamic && o->fMass != 0.0f) ? p.v4fGravity : V(0, 0, 0, 0);
    o->v4fAngularAcceleration = V(0, 0, 0, 0);
}

void MVE_PhysicsIntegrationPhase(float h) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    for (MVE_OBJECT *o : p.Static) {
        // A static object at rest would be rebuilt to the very same matrices: skip the work.
        const v4f &v = o->v4fVelocity, &w = o->v4fAngularVelocity, &a = o->v4fAcceleration,
                  &al = o->v4fAngularAcceleration;
        if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f && w.x == 0.0f && w.y == 0.0f && w.z == 0.0f &&
            a.x == 0.0f && a.y == 0.0f && a.z == 0.0f && al.x == 0.0f && al.y == 0.0f && al.z == 0.0f &&
            Finite(o->v4fPosition) && Finite(o->v4fOrientation)) {
            o->v4fMovement = V(0, 0, 0, 0);
            continue;
        }
        MVE_IntegrateObject(o, h, 0);
    }
    for (MVE_OBJECT *o : p.Dynamic)
        if (o->pBody || o->fMass != 0.0f) MVE_IntegrateObject(o, h, 1);
}

extern "C" void MVE_SetGravity(float x, float y, float z) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    p.v4fGravity = V(x, y, z, 0.0f);
}
