// Objects, nodes and joints: release hooks.
#include "Object/Object.h"

void MVE_ReleaseObject(MVE_OBJECT *) {}
void MVE_ReleaseNode(MVE_NODE *) {}
void MVE_ReleaseJoint(MVE_JOINT *) {}

int MVE_GetSkeletonBone(const MVE_SKELETON *skeleton, const char *name) {
    if (!skeleton || !name) return -1;
    auto it = skeleton->Bones.find(name);
    return it == skeleton->Bones.end() ? -1 : it->second;
}
