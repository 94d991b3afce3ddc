// Collision bodies: sphere, box, mesh-derived and ".mvb" polyhedra with their bounding nodes.
// Created and freed on the main thread; read (never changed) by the physics thread, so a body is
// complete before it is registered and is never modified afterwards, except that a live reload of its
// file swaps in a whole new node tree under the physics lock.
#pragma once
#include "MVE.h"
#include <cstdint>
#include <string>
#include <vector>

struct MVE_MESH;

struct MVE_BODY_FACE {
    int32_t a, b, c;
    v4f v4fNormal;          // unit, outwards, w 0; (0, 0, 0, 0) for a face without area
};
struct MVE_BODY_EDGE {
    int32_t a, b;
};
static_assert(sizeof(MVE_BODY_FACE) == 28 && sizeof(MVE_BODY_EDGE) == 8, "face and edge records");

// Every index stored here lies inside Vertex: the loaders reject anything else, so the collision
// code may index without checks. A missing list is empty (its maximum index is -1).
struct MVE_BODY_MESH {
    int iMaxVertex = -1;
    int iMaxEdge = -1;
    int iMaxFace = -1;
    std::vector<v4f> Vertex;             // body space, w 1
    std::vector<MVE_BODY_EDGE> Edge;
    std::vector<MVE_BODY_FACE> Face;
};

struct MVE_BODY_NODE {
    v4f v4fCenter = {0, 0, 0, 1};        // body space, w 1
    v4f v4fHalfSize = {0, 0, 0, 0};      // w 0
    MVE_BODY_NODE *ChildA = nullptr;     // an inner node has both children, a leaf none
    MVE_BODY_NODE *ChildB = nullptr;
    MVE_BODY_NODE *Parent = nullptr;
    MVE_BODY_MESH *Mesh = nullptr;       // owned
};

struct MVE_BODY {
    int iID = 0;
    std::string sName;
    int iType = MVE_SHAPE_POINT;
    v4f v4fSize = {0, 0, 0, 0};          // sphere: x = radius; box from sizes: half extents
    MVE_BODY_NODE *Node = nullptr;       // owned; null for the point body
    ~MVE_BODY();
};

// Failure rows of the body loaders (tests refer to them).
inline constexpr const char *MVE_FAIL_BODY_FILE = "Fail: File not found!";
inline constexpr const char *MVE_FAIL_BODY_MESH = "Fail: Mesh not found!";
inline constexpr const char *MVE_FAIL_BODY_TYPE = "Fail: Unknown body type (use -3 box, -4 sphere or -5 mesh)!";

// Registry release hook: objects still using the body lose it (and leave the physics lists),
// then the node tree and its meshes go.
void MVE_ReleaseBody(MVE_BODY *body);
void MVE_FreeBodyNode(MVE_BODY_NODE *node);               // a node tree and its meshes

// The creator behind MVE_CreateBodyFromMesh, for callers that hold the mesh record.
MVE_BODY *MVE_MakeBodyFromMesh(int id, const MVE_MESH *mesh, int type, float scale, const char *name);

// Pieces shared by the creators (and by tests of the merge).
MVE_BODY_MESH *MVE_BuildBodyMesh(const MVE_MESH *mesh);   // merged positions, faces and edges; null on a bad index
void MVE_ComputeFaceNormals(MVE_BODY_MESH *mesh);
void MVE_BoundBodyMesh(const MVE_BODY_MESH *mesh, MVE_BODY_NODE *node);  // box around vertices and origin
