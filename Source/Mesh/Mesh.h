// Meshes: the registry record, the 52-byte vertex, loading ".mvm" and OBJ files, finishing
// (tangents and GL upload), the text writer and procedural meshes. Main thread only (GL).
#pragma once
#include "MVE.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct MVE_MESH_VERTEX {
    v4f v4fVertex;          // position, w 1
    float v3fNormal[3];
    float v3fTangent[3];    // written by MVE_FinishMesh
    float v2fTexCoord[2];
    int32_t iGroup;         // vertex group (0 without groups)
};
static_assert(sizeof(MVE_MESH_VERTEX) == 52, "the vertex layout is shared with GL and the physics");
static_assert(offsetof(MVE_MESH_VERTEX, v3fNormal) == 16 && offsetof(MVE_MESH_VERTEX, v3fTangent) == 28 &&
                  offsetof(MVE_MESH_VERTEX, v2fTexCoord) == 40 && offsetof(MVE_MESH_VERTEX, iGroup) == 48,
              "vertex attribute offsets");

struct MVE_MESH_GROUP {
    int iIndex = 0;
    std::string sName;
};

struct MVE_MESH {
    int iID = 0;
    std::string sName;
    int iIndexBuffer = -1;   // GL names, -1 until finished
    int iVertexArray = -1;
    int iVertexBuffer = -1;
    int iReserved = 0;
    int iVertices = 0;
    int iIndices = 0;
    std::vector<int32_t> Index;
    std::vector<MVE_MESH_VERTEX> Vertex;
    std::vector<std::unique_ptr<MVE_MESH_GROUP>> Groups;  // order of first appearance
    std::vector<MVE_MESH_GROUP *> GroupTable;          // by iIndex, built by MVE_FinishMesh
    std::unordered_map<std::string, MVE_MESH_GROUP *> GroupIndex;
};

// Registry release hook: deletes the mesh's GL objects.
void MVE_ReleaseMesh(MVE_MESH *mesh);
