// Scene objects: creation, release, material, body, mass and the contact parameters.
// Main thread. Every write to an object takes the physics lock: the physics thread reads and
// moves objects during its phases, and a field written outside the lock would race with it.
#include "Object/Object.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include <mutex>
#include <vector>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &PhysicsLock() { return MVE_Engine().Physics.Lock; }

// The default object material is made by the start-up with the built-in materials; before that
// (and once it is freed) objects draw without one.
MVE_MATERIAL *DefaultMaterial() {
    const int handle = MVE_Engine().Builtin.iObjectMaterial;
    return handle ? MVE_GetMaterial(handle) : nullptr;
}

// A body derived for one object belongs to it: it goes when the object gets another body or goes.
void DropOwnBody(MVE_OBJECT *object) {
    const int own = object->iOwnBody;
    object->iOwnBody = 0;
    if (own) MVE_FreeBody(own);
}

// Looks the object up and writes it under the lock; 0 for an unknown ID.
template <class Write> int WriteObject(int id, const char *procedure, Write write) {
    MVE_OBJECT *object = MVE_FindObject(id, procedure);
    if (!object) return 0;
    Guard guard(PhysicsLock());
    write(object);
    return 1;
}

}  // namespace

// The renderer reads m4fModel, the physics reads both: they must always agree with the placement
// vectors, so every writer of orientation, position or scale ends here.
void MVE_RebuildObjectMatrices(MVE_OBJECT *object) {
    m4f M;
    MVE_m4fFromQuaternion(&object->v4fOrientation, &M);
    M.m[12] = object->v4fPosition.x;
    M.m[13] = object->v4fPosition.y;
    M.m[14] = object->v4fPosition.z;
    M.m[15] = 1.0f;
    object->m4fWorld = M;
    const float scale[3] = {object->v4fScale.x, object->v4fScale.y, object->v4fScale.z};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 4; ++r) M.m[4 * c + r] *= scale[c];
    object->m4fModel = M;
}

void MVE_RebuildNodeMatrix(MVE_NODE *node) {
    MVE_m4fFromQuaternion(&node->v4fOrientation, &node->m4fMatrix);
    node->m4fMatrix.m[12] = node->v4fPosition.x;
    node->m4fMatrix.m[13] = node->v4fPosition.y;
    node->m4fMatrix.m[14] = node->v4fPosition.z;
    node->m4fMatrix.m[15] = 1.0f;
}


// Joints that end on the object leave the joint list and lose that end (physics), so nothing keeps
// a pointer to the record that is about to go.
void MVE_ReleaseObject(MVE_OBJECT *object) {
    {
        Guard guard(PhysicsLock());
        MVE_PhysicsForgetObject(object);
        object->pBody = nullptr;
    }
    MVE_UnfileObjectForDrawing(object);
    DropOwnBody(object);
}

void MVE_ReleaseNode(MVE_NODE *) {}

void MVE_DetachBody(const MVE_BODY *body) {
    if (!body) return;
    Guard guard(PhysicsLock());
    MVE_Engine().Registries.Objects.ForEach([body](MVE_OBJECT *object) {
        if (object->pBody != body) return;
        MVE_PhysicsUnfile(object);
        object->pBody = nullptr;
    });
}

// A freed mesh or material must not stay behind in the objects that used it: they keep their
// place and physics, and simply draw nothing (mesh) or draw with the default material.
void MVE_DetachMesh(const MVE_MESH *mesh) {
    if (!mesh) return;
    Guard guard(PhysicsLock());
    MVE_Engine().Registries.Objects.ForEach([mesh](MVE_OBJECT *object) {
        if (object->pMesh == mesh) object->pMesh = nullptr;
    });
}

void MVE_DetachMaterial(const MVE_MATERIAL *material) {
    if (!material) return;
    Guard guard(PhysicsLock());
    MVE_Engine().Registries.Objects.ForEach([material](MVE_OBJECT *object) {
        if (object->pMaterial != material) return;
        MVE_UnfileObjectForDrawing(object);
        MVE_MATERIAL *fallback = DefaultMaterial();
        object->pMaterial = fallback == material ? nullptr : fallback;
        MVE_FileObjectForDrawing(object);
    });
}

int MVE_GetSkeletonBone(const MVE_SKELETON *skeleton, const char *name) {
    if (!skeleton || !name) return -1;
    auto it = skeleton->Bones.find(name);
    return it == skeleton->Bones.end() ? -1 : it->second;
}

extern "C" int MVE_CreateObject(int id, int mesh, int material, const char *name, int, int) {
    MVE_MESH *pMesh = MVE_ResolveMesh(mesh, "MVE_CreateObject");
    if (!pMesh) return 0;
    MVE_MATERIAL *pMaterial = material == -1 ? DefaultMaterial() : MVE_GetMaterial(material);
    if (material != -1 && !pMaterial)
        MVE_LogNotice("Info: Material " + std::to_string(material) + " not found, the default material is used!",
                      "MVE_CreateObject");
    if (!pMaterial) pMaterial = DefaultMaterial();

    int requested = id, handle = 0;
    MVE_OBJECT *object = MVE_CreateObjectListEntry(&requested, name ? name : "", &handle);
    if (!object) return 0;
    // The record is new and in no list yet, so the physics thread cannot see it.
    object->Header.iKind = MVE_KIND_OBJECT;
    object->Header.pModel = &object->m4fModel;
    object->Header.pWorld = &object->m4fWorld;
    object->Header.pOrientation = &object->v4fOrientation;
    object->pMesh = pMesh;
    object->pMaterial = pMaterial;
    MVE_RebuildObjectMatrices(object);
    MVE_FileObjectForDrawing(object);
    return handle;
}
extern "C" int MVE_IsObject(int id) { return MVE_GetObject(id) ? 1 : 0; }

MVE_OBJECT *MVE_FindObject(int id, const char *procedure) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) MVE_LogUnknownID("object", id, procedure);
    return object;
}

extern "C" int MVE_SetObjectMaterial(int id, int material) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_SetObjectMaterial");
    if (!object) return 0;
    MVE_MATERIAL *pMaterial = material == -1 ? DefaultMaterial() : MVE_GetMaterial(material);
    if (material != -1 && !pMaterial) {
        MVE_LogFail(MVE_FAIL_MATERIAL_NOT_FOUND, "MVE_SetObjectMaterial");
        return 0;
    }
    MVE_UnfileObjectForDrawing(object);
    {
        Guard guard(PhysicsLock());  // collision sounds are chosen by material on the physics thread
        object->pMaterial = pMaterial;
    }
    MVE_FileObjectForDrawing(object);
    return 1;
}

extern "C" int MVE_SetObjectBody(int id, int body, float size) {
    static const char *kProcedure = "MVE_SetObjectBody";
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_SetObjectBody");
    if (!object) return 0;
    if (body == MVE_IGNORE) {
        Guard guard(PhysicsLock());
        MVE_PhysicsUnfile(object);
        object->pBody = nullptr;
        DropOwnBody(object);
        return 1;
    }
    // The new body is found (or made) first, so a failure leaves the object as it was.
    MVE_BODY *pBody = nullptr;
    int own = 0;
    if (body == MVE_SHAPE_POINT) {
        pBody = MVE_PhysicsPointBody();
    } else if (body == MVE_SHAPE_BOX || body == MVE_SHAPE_SPHERE || body == MVE_SHAPE_MESH) {
        pBody = MVE_MakeBodyFromMesh(-1, object->pMesh, body, size, "");
        if (!pBody) return 0;  // the creator has said why
        own = pBody->iID;
    } else {
        pBody = MVE_GetBody(body);
        if (!pBody) {
            MVE_LogFail(std::string(MVE_FAIL_BODY_NOT_FOUND) + " (" + std::to_string(body) + ")", kProcedure);
            return 0;
        }
    }
    {
        Guard guard(PhysicsLock());
        MVE_PhysicsUnfile(object);
        object->pBody = pBody;
        MVE_ComputeInertia(object);
        MVE_PhysicsFile(object);
    }
    const int previous = object->iOwnBody;
    object->iOwnBody = own;
    if (own) object->fOwnBodySize = size;
    if (previous && previous != own) MVE_FreeBody(previous);
    return 1;
}

void MVE_RefreshBodyUsers(const MVE_BODY *body) {
    Guard guard(PhysicsLock());
    MVE_Engine().Registries.Objects.ForEach([&](MVE_OBJECT *object) {
        if (object->pBody != body) return;
        MVE_PhysicsUnfile(object);
        MVE_ComputeInertia(object);
        MVE_PhysicsFile(object);
    });
}

void MVE_RefreshOwnBodies(const MVE_MESH *mesh) {
    if (!mesh) return;
    std::vector<MVE_OBJECT *> users;
    MVE_Engine().Registries.Objects.ForEach([&](MVE_OBJECT *object) {
        if (object->pMesh == mesh && object->iOwnBody) users.push_back(object);
    });
    for (MVE_OBJECT *object : users) {
        const MVE_BODY *old = MVE_GetBody(object->iOwnBody);
        if (!old) continue;
        // Made whole before it is put in place; a mesh the creator refuses leaves the old shape.
        MVE_BODY *fresh = MVE_MakeBodyFromMesh(-1, mesh, old->iType, object->fOwnBodySize, "");
        if (!fresh) continue;
        {
            Guard guard(PhysicsLock());
            MVE_PhysicsUnfile(object);
            object->pBody = fresh;
            MVE_ComputeInertia(object);
            MVE_PhysicsFile(object);
        }
        const int previous = object->iOwnBody;
        object->iOwnBody = fresh->iID;
        MVE_FreeBody(previous);
    }
}

extern "C" int MVE_SetObjectMass(int id, float mass) {
    MVE_OBJECT *object = MVE_FindObject(id, "MVE_SetObjectMass");
    if (!object) return 0;
    Guard guard(PhysicsLock());
    MVE_PhysicsUnfile(object);
    object->fMass = mass;
    if (object->pBody) MVE_ComputeInertia(object);
    MVE_PhysicsFile(object);
    return 1;
}

extern "C" int MVE_SetObjectFriction(int id, float friction) {
    return WriteObject(id, "MVE_SetObjectFriction", [=](MVE_OBJECT *object) { object->fFriction = friction; });
}

extern "C" int MVE_SetObjectRestitution(int id, float restitution) {
    return WriteObject(id, "MVE_SetObjectRestitution", [=](MVE_OBJECT *object) { object->fRestitution = restitution; });
}

extern "C" int MVE_SetObjectCollision(int id, int on) {
    return WriteObject(id, "MVE_SetObjectCollision", [=](MVE_OBJECT *object) { object->iCollide = on ? 1 : 0; });
}

extern "C" int MVE_SetObjectCallback(int id, MVE_COLLISION_CALLBACK callback) {
    return WriteObject(id, "MVE_SetObjectCallback", [=](MVE_OBJECT *object) {
        object->pCallback = callback;
        object->iCallbackValue = 0;
    });
}

extern "C" int MVE_GetObjectCount(int list) {
    if (list != 1 && list != 2) return static_cast<int>(MVE_Engine().Registries.Objects.Count());
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    Guard guard(p.Lock);
    return static_cast<int>(list == 1 ? p.Dynamic.size() : p.Static.size());
}
