// Nodes, joints between objects, and the energy sum the demonstration shows.
// Main thread. A joint is filled in completely before it joins the physics joint list, under the
// physics lock, so the joint phase never sees half a joint.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Object/Object.h"
#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &PhysicsLock() { return MVE_Engine().Physics.Lock; }

v4f Point(const m4f &M, const v4f &p) {
    const float *m = M.m;
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14], 1.0f};
}

float Distance(const v4f &a, const v4f &b) {
    const float x = b.x - a.x, y = b.y - a.y, z = b.z - a.z;
    return std::sqrt(x * x + y * y + z * z);
}

// Unit direction from `from` towards `to`, both in the same space; zero when they coincide.
v4f Direction(const v4f &from, const v4f &to) {
    v4f d = {to.x - from.x, to.y - from.y, to.z - from.z, 0.0f};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(length > 0.0f) || !std::isfinite(length)) return {0, 0, 0, 0};
    return {d.x / length, d.y / length, d.z / length, 0.0f};
}

// The other end's world anchor seen from an object's own model space (a scale of zero has no
// inverse: the direction is then zero).
v4f DirectionInModel(const MVE_OBJECT *object, const v4f &anchor, const v4f &otherWorld) {
    m4f inverse;
    MVE_m4fInverseOf(&inverse, &object->m4fModel);
    return Direction(anchor, Point(inverse, otherWorld));
}

}  // namespace

void MVE_ReleaseJoint(MVE_JOINT *joint) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    Guard guard(p.Lock);
    p.Joints.erase(std::remove(p.Joints.begin(), p.Joints.end(), joint), p.Joints.end());
}

extern "C" int MVE_CreateNode(int id, const char *name) {
    int requested = id, handle = 0;
    MVE_NODE *node = MVE_CreateNodeListEntry(&requested, name ? name : "", &handle);
    if (!node) return 0;
    node->Header.iKind = MVE_KIND_NODE;
    node->Header.pModel = &node->m4fMatrix;
    node->Header.pWorld = &node->m4fMatrix;
    node->Header.pOrientation = &node->v4fOrientation;
    MVE_RebuildNodeMatrix(node);
    return handle;
}

extern "C" int MVE_CreateJoint(int id, int kind, int objectA, float ax, float ay, float az, int objectB, float bx,
                               float by, float bz, float stiffness, float parameter) {
    MVE_OBJECT *a = MVE_GetObject(objectA), *b = MVE_GetObject(objectB);
    if (!a || !b) {
        MVE_LogFail(std::string(MVE_FAIL_JOINT_OBJECT) + " (" + std::to_string(a ? objectB : objectA) + ")",
                    "MVE_CreateJoint");
        return 0;
    }
    int requested = id;
    MVE_JOINT *joint = MVE_CreateJointListEntry(&requested, "");
    if (!joint) return 0;

    Guard guard(PhysicsLock());  // the matrices read here are written by the integration phase
    joint->iKind = kind;
    joint->ObjectA = a;
    joint->ObjectB = b;
    joint->v4fAnchorA = {ax, ay, az, 1.0f};
    joint->v4fAnchorB = {bx, by, bz, 1.0f};
    joint->fStiffness = stiffness;
    joint->fParameter = parameter;
    const v4f worldA = Point(a->m4fModel, joint->v4fAnchorA), worldB = Point(b->m4fModel, joint->v4fAnchorB);
    joint->fLength = Distance(worldA, worldB);
    joint->v4fDirectionA = DirectionInModel(a, joint->v4fAnchorA, worldB);
    joint->v4fDirectionB = DirectionInModel(b, joint->v4fAnchorB, worldA);
    MVE_Engine().Physics.Joints.push_back(joint);
    return MVE_HandleOf(joint);
}

extern "C" int MVE_SetJointDamping(int id, float damping) {
    MVE_JOINT *joint = MVE_GetJoint(id);
    if (!joint) {
        MVE_LogUnknownID("joint", id, "MVE_SetJointDamping");
        return 0;
    }
    Guard guard(PhysicsLock());
    joint->fDamping = damping;
    return 1;
}

extern "C" int MVE_GetJointCount(void) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    Guard guard(p.Lock);
    return static_cast<int>(p.Joints.size());
}

// Summed in double: the chain and a few hundred balls add many terms of different sizes.
extern "C" float MVE_GetEnergy(int mask) {
    MVE_ENGINE &e = MVE_Engine();
    Guard guard(e.Physics.Lock);
    double sum = 0.0;
    if (mask & 7)
        e.Registries.Objects.ForEach([&](MVE_OBJECT *object) { sum += MVE_ObjectEnergy(object, mask & 7); });
    if (mask & 8)
        for (const MVE_JOINT *joint : e.Physics.Joints) {
            if (!joint->ObjectA || !joint->ObjectB) continue;
            const float stretch = Distance(Point(joint->ObjectA->m4fModel, joint->v4fAnchorA),
                                           Point(joint->ObjectB->m4fModel, joint->v4fAnchorB)) -
                                  joint->fLength;
            sum += 0.5 * joint->fStiffness * static_cast<double>(stretch) * stretch;
        }
    return static_cast<float>(sum);
}
