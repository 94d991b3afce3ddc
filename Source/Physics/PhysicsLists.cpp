// The dynamic and static physics lists, inertia tensors and per-object energy.
// Any thread that wants to change the lists calls these; they take the physics lock themselves.
// Never change list order here except by appending and erasing: the pair order of the collision
// phase is the list order, and a reordering would change results.
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Object/Object.h"
#include "Physics/Physics.h"
#include <algorithm>

namespace {

void EraseFirst(std::vector<MVE_OBJECT *> &list, MVE_OBJECT *object) {
    auto it = std::find(list.begin(), list.end(), object);
    if (it != list.end()) list.erase(it);
}

// Caller holds the lock.
void UnfileLocked(MVE_PHYSICS_STATE &p, MVE_OBJECT *object) {
    // The list tag spares the search in the common case; an untagged object is searched for
    // anyway, so a record filed by hand is still found.
    if (object->iPhysicsList != 2) EraseFirst(p.Dynamic, object);
    if (object->iPhysicsList != 1) EraseFirst(p.Static, object);
    object->iPhysicsList = 0;
    ++p.uListGeneration;
}

}  // namespace

MVE_BODY *MVE_PhysicsPointBody() {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    if (!p.pPointBody) {
        p.pPointBody = new MVE_BODY;
        p.pPointBody->iID = -1;
        p.pPointBody->iType = MVE_SHAPE_POINT;
    }
    return p.pPointBody;
}

void MVE_PhysicsUnfile(MVE_OBJECT *object) {
    if (!object) return;
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    UnfileLocked(p, object);
}

void MVE_PhysicsFile(MVE_OBJECT *object) {
    if (!object) return;
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    UnfileLocked(p, object);
    if (object->fMass != 0.0f) {
        p.Dynamic.push_back(object);
        object->iPhysicsList = 1;
    } else {
        p.Static.push_back(object);
        object->iPhysicsList = 2;
    }
}

void MVE_PhysicsForgetObject(MVE_OBJECT *object) {
    if (!object) return;
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    UnfileLocked(p, object);
    EraseFirst(p.Reported, object);
    // A joint whose end is gone can never act again: it leaves the list, and its dangling end is
    // cleared so that nobody who still holds the record (registry, energy sums) follows it.
    auto dead = [object](MVE_JOINT *j) {
        if (j->ObjectA != object && j->ObjectB != object) return false;
        if (j->ObjectA == object) j->ObjectA = nullptr;
        if (j->ObjectB == object) j->ObjectB = nullptr;
        return true;
    };
    p.Joints.erase(std::remove_if(p.Joints.begin(), p.Joints.end(), dead), p.Joints.end());
    ++p.uListGeneration;
}

void MVE_ComputeInertia(MVE_OBJECT *object) {
    if (!object) return;
    m4f &I = object->m4fInertia;
    MVE_m4fIdentity(&I);
    const MVE_BODY *body = object->pBody;
    if (!body) return;
    const float m = object->fMass;
    const MVE_BODY_NODE *node = body->Node;
    switch (body->iType) {
    case MVE_SHAPE_BOX:
    case MVE_SHAPE_MESH: {
        if (!node) return;
        const float sx = node->v4fHalfSize.x * object->v4fScale.x;
        const float sy = node->v4fHalfSize.y * object->v4fScale.y;
        const float sz = node->v4fHalfSize.z * object->v4fScale.z;
        I.m[0] = m / 3.0f * (sy * sy + sz * sz);
        I.m[5] = m / 3.0f * (sx * sx + sz * sz);
        I.m[10] = m / 3.0f * (sx * sx + sy * sy);
        return;
    }
    case MVE_SHAPE_SPHERE: {
        const float r = body->v4fSize.x * object->fBodyScale;
        const float d = 0.4f * m * r * r;
        I.m[0] = I.m[5] = I.m[10] = d;
        if (!node) return;
        // Parallel-axis terms of a node that is not centred on the body origin.
        const float c[3] = {node->v4fCenter.x, node->v4fCenter.y, node->v4fCenter.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                if (i == j)
                    I.m[5 * i] += m * (c[(i + 1) % 3] * c[(i + 1) % 3] + c[(i + 2) % 3] * c[(i + 2) % 3]);
                else
                    I.m[4 * j + i] += -m * c[i] * c[j];
            }
        return;
    }
    default: return;  // a point: identity
    }
}

float MVE_ObjectEnergy(const MVE_OBJECT *object, int mask) {
    if (!object) return 0.0f;
    float e = 0.0f;
    if (mask & 4) e += -object->fMass * MVE_v4fDot(&MVE_Engine().Physics.v4fGravity, &object->v4fPosition);
    if (mask & 1) e += 0.5f * object->fMass * MVE_v4fDot(&object->v4fVelocity, &object->v4fVelocity);
    if (mask & 2)
        e += 0.5f * MVE_v4fDotTransformed(&object->v4fAngularVelocity, &object->m4fInertia, &object->v4fAngularVelocity);
    return e;
}
