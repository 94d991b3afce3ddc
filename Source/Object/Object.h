// Scene objects, nodes and joints: the records and the procedures that create, move and file them.
// Main thread. Every write to an object or joint, and every list change, happens under the physics
// lock: the physics thread walks the lists and moves objects during its phases.
#pragma once
#include "MVE.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

struct MVE_MESH;
struct MVE_BODY;
struct MVE_MATERIAL;

enum : int { MVE_KIND_NODE = 0, MVE_KIND_OBJECT = 1, MVE_KIND_LIGHT = 3, MVE_KIND_SOUND = 5, MVE_KIND_ANIMATION = 7 };

// Leading block of every node-like record, so renderer and physics reach any entity's matrices.
struct MVE_NODE_HEADER {
    int32_t iKind = 0;
    int32_t iLink[2] = {0, 0};
    m4f *pModel = nullptr;        // placement with scale
    m4f *pWorld = nullptr;        // placement without scale
    v4f *pOrientation = nullptr;
    int32_t iReserved[4] = {0, 0, 0, 0};
};

struct MVE_NODE {
    MVE_NODE_HEADER Header;
    int iID = 0;
    std::string sName;
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fOrientation = {0, 0, 0, 1};
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
};

// Field order is binding: the simulation addresses these fields as one block.
struct MVE_OBJECT {
    MVE_NODE_HEADER Header;
    int iID = 0;
    std::string sName;
    MVE_MESH *pMesh = nullptr;
    MVE_MATERIAL *pMaterial = nullptr;
    MVE_BODY *pBody = nullptr;
    float fBodyScale = 1.0f;
    float fRestitution = 0.6f;
    float fFriction = 0.3f;
    float fMass = 0.0f;
    m4f m4fInertia = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    v4f v4fVelocity = {0, 0, 0, 0};
    v4f v4fAngularVelocity = {0, 0, 0, 0};
    v4f v4fAcceleration = {0, 0, 0, 0};
    v4f v4fAngularAcceleration = {0, 0, 0, 0};
    v4f v4fMovement = {0, 0, 0, 0};          // displacement of the last integration
    MVE_COLLISION_CALLBACK pCallback = nullptr;
    int32_t iCallbackValue = 0;
    int32_t iCollide = 1;
    int32_t iFlag2 = 1;
    int32_t iReserved1[2] = {0, 0};
    int32_t iMarker = -1;
    int32_t iReserved2[4] = {0, 0, 0, 0};
    v4f v4fOrientation = {0, 0, 0, 1};
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fScale = {1, 1, 1, 0};
    m4f m4fModel = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    m4f m4fWorld = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int iPhysicsList = 0;                     // 0 none, 1 dynamic, 2 static (kept by the physics lists)
    int iOwnBody = 0;                         // body derived from this object's mesh; freed with the object
    float fOwnBodySize = 1.0f;                // the size it was derived at (derived again when the mesh changes)
};

// The motion block is walked as consecutive v4f: keep it contiguous.
static_assert(offsetof(MVE_OBJECT, v4fAngularVelocity) == offsetof(MVE_OBJECT, v4fVelocity) + 16 &&
                  offsetof(MVE_OBJECT, v4fAcceleration) == offsetof(MVE_OBJECT, v4fVelocity) + 32 &&
                  offsetof(MVE_OBJECT, v4fAngularAcceleration) == offsetof(MVE_OBJECT, v4fVelocity) + 48 &&
                  offsetof(MVE_OBJECT, v4fMovement) == offsetof(MVE_OBJECT, v4fVelocity) + 64,
              "motion vectors are contiguous");
static_assert(offsetof(MVE_OBJECT, v4fPosition) == offsetof(MVE_OBJECT, v4fOrientation) + 16 &&
                  offsetof(MVE_OBJECT, v4fScale) == offsetof(MVE_OBJECT, v4fOrientation) + 32,
              "placement vectors are contiguous");

struct MVE_JOINT {
    int iID = 0;
    std::string sName;                        // unused: joints have no names
    int iKind = 0;
    MVE_OBJECT *ObjectA = nullptr;
    v4f v4fAnchorA = {0, 0, 0, 1};
    v4f v4fDirectionA = {0, 0, 0, 0};
    MVE_OBJECT *ObjectB = nullptr;
    v4f v4fAnchorB = {0, 0, 0, 1};
    v4f v4fDirectionB = {0, 0, 0, 0};
    float fLength = 0;
    float fStiffness = 0;
    float fParameter = 0;
    float fDamping = 0;
    float fStretch = 0;
};

// Registry release hooks.
void MVE_ReleaseObject(MVE_OBJECT *object);
// The object an ID designates; for an unknown one, null and (once per procedure and ID) the red row
// "Fail: No object with this ID!" under the calling procedure's name.
MVE_OBJECT *MVE_FindObject(int id, const char *procedure);
void MVE_ReleaseNode(MVE_NODE *node);
void MVE_ReleaseJoint(MVE_JOINT *joint);

// Skeletons and animations: registries only for now (playback is not built).
struct MVE_SKELETON {
    int iID = 0;
    std::string sName;
    void *pSource = nullptr;                  // reference given at creation
    std::unordered_map<std::string, int> Bones;  // bone name -> bone number
};
int MVE_GetSkeletonBone(const MVE_SKELETON *skeleton, const char *name);  // -1 when absent
struct MVE_ANIMATION {
    MVE_NODE_HEADER Header;                   // iKind 7
    int iID = 0;
    std::string sName;
    MVE_SKELETON *pSkeleton = nullptr;
    float fSpeed = 1.0f;
    int iLoop = 1;
};

// m4fWorld from orientation and position, m4fModel = m4fWorld with its axes scaled.
void MVE_RebuildObjectMatrices(MVE_OBJECT *object);
void MVE_RebuildNodeMatrix(MVE_NODE *node);

// Objects that still use a body lose it and leave the physics lists (the body is being freed).
void MVE_DetachBody(const MVE_BODY *body);
void MVE_DetachMesh(const MVE_MESH *mesh);          // objects using it keep no pointer to it
// The mesh changed in place (live reload): bodies derived from it for its objects are derived again,
// each put in place under the physics lock with the inertia recomputed; mass and motion stay.
void MVE_RefreshOwnBodies(const MVE_MESH *mesh);
// A body's shape changed in place (live reload, lock held by the caller or not): the objects using it
// have their inertia recomputed and are filed again; mass and motion stay.
void MVE_RefreshBodyUsers(const MVE_BODY *body);
void MVE_DetachMaterial(const MVE_MATERIAL *material);  // objects using it fall back to the default

// Draw-list filing by material; the frame renderer keeps the lists, these are its entry points.
void MVE_FileObjectForDrawing(MVE_OBJECT *object);
void MVE_UnfileObjectForDrawing(MVE_OBJECT *object);

// The orientation that turns the -z axis from `eye` towards the point (x, y, z), +y towards up
// ((0, 0, 0) = the world's +y). 0 after a red row naming `procedure` when a number is not finite,
// the point is the eye itself, or up is zero or along the view. Objects and the camera share it.
int MVE_LookFrom(const v4f &eye, float x, float y, float z, float upX, float upY, float upZ, v4f &out,
                 const char *procedure);

// The mode bits of the transform procedures.
enum : int { MVE_MODE_RELATIVE = 1, MVE_MODE_OWN = 2, MVE_MODE_CAMERA = 4 };

// Failure rows (tests refer to them).
inline constexpr const char *MVE_FAIL_BODY_NOT_FOUND = "Fail: Body not found!";
inline constexpr const char *MVE_FAIL_MATERIAL_NOT_FOUND = "Fail: Material not found!";
inline constexpr const char *MVE_FAIL_JOINT_OBJECT = "Fail: A joint needs two existing objects!";
