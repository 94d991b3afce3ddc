// Objects, nodes and joints: release hooks and the matrix rebuild shared with the integrator.
// Main thread, or the physics thread while it holds the physics lock (matrix rebuild).
#include "Object/Object.h"

void MVE_ReleaseObject(MVE_OBJECT *) {}
void MVE_ReleaseNode(MVE_NODE *) {}
void MVE_ReleaseJoint(MVE_JOINT *) {}

int MVE_GetSkeletonBone(const MVE_SKELETON *skeleton, const char *name) {
    if (!skeleton || !name) return -1;
    auto it = skeleton->Bones.find(name);
    return it == skeleton->Bones.end() ? -1 : it->second;
}

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
