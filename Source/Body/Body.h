// Collision bodies: sphere, box, mesh-derived and ".mvb" polyhedra with their bounding nodes.
// Created and freed on the main thread; read (never changed) by the physics thread.
#pragma once
#include "MVE.h"
#include <cstdint>
#include <string>
#include <vector>

enum : int { MVE_SHAPE_POINT = -1, MVE_SHAPE_BOX = -3, MVE_SHAPE_SPHERE = -4, MVE_SHAPE_MESH = -5 };

struct MVE_BODY_FACE {
    int32_t a, b, c;
    v4f v4fNormal;          // unit, outwards, w 0
};
struct MVE_BODY_EDGE {
    int32_t a, b;
};

struct MVE_BODY_MESH {
    int iMaxVertex = -1;
    int iMaxEdge = -1;
    int iMaxFace = -1;
    std::vector<v4f> Vertex;             // body space, w 1
    std::vector<MVE_BODY_EDGE> Edge;
    std::vector<MVE_BODY_FACE> Face;
};

struct MVE_BODY_NODE {
    v4f v4fCenter;          // body space, w 1
    v4f v4fHalfSize;        // w 0
    MVE_BODY_NODE *ChildA = nullptr;     // children come as a pair
    MVE_BODY_NODE *ChildB = nullptr;
    MVE_BODY_NODE *Parent = nullptr;
    MVE_BODY_MESH *Mesh = nullptr;       // owned
};

struct MVE_BODY {
    int iID = 0;
    std::string sName;
    int iType = MVE_SHAPE_POINT;
    v4f v4fSize = {0, 0, 0, 0};
    MVE_BODY_NODE *Node = nullptr;       // owned; null for the point body
    ~MVE_BODY();
};

// Registry release hook: frees the node tree and its meshes.
void MVE_ReleaseBody(MVE_BODY *body);
