// Meshes: the registry record, the 52-byte vertex, loading ".mvm" and OBJ files, finishing
// (tangents and GL upload), the text writer and procedural meshes. Main thread only (GL); a bad
// file, ID or number must never write outside the arrays: it gets a red row and a 0 result.
#pragma once
#include "MVE.h"
#include "Platform/Platform.h"
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
    int iVertices = 0;       // always Vertex.size()
    int iIndices = 0;        // always Index.size(), a multiple of 3
    std::vector<int32_t> Index;
    std::vector<MVE_MESH_VERTEX> Vertex;
    std::vector<std::unique_ptr<MVE_MESH_GROUP>> Groups;  // order of first appearance
    std::vector<MVE_MESH_GROUP *> GroupTable;          // by iIndex, built by MVE_FinishMesh
    std::unordered_map<std::string, MVE_MESH_GROUP *> GroupIndex;
    // Bounding sphere of the vertices as last finished (MVE_FinishMesh); a negative radius: unknown.
    float fBoundCenter[3] = {0, 0, 0};
    float fBoundRadius = -1.0f;
    // Which upload the GL objects hold (every finish makes new ones; GL may hand out the old names
    // again, so what is built from a mesh's arrays is checked against this, never against a name).
    uint64_t uUpload = 0;
};

// Failure rows (red), kept here so tests can refer to them.
inline constexpr const char *MVE_FAIL_MESH_NOT_FOUND = "Fail: Mesh not found!";
inline constexpr const char *MVE_FAIL_VERTEX_RANGE = "Fail: Vertex number out of range!";
inline constexpr const char *MVE_FAIL_TRIANGLE_RANGE = "Fail: Triangle number out of range!";
inline constexpr const char *MVE_FAIL_COUNT = "Fail: Count out of range!";
inline constexpr const char *MVE_FAIL_INDEX_RANGE = "Fail: Triangle index out of range!";
inline constexpr const char *MVE_FAIL_CANNOT_WRITE = "Fail: File cannot be written!";

// Registry release hook: deletes the mesh's GL objects.
void MVE_ReleaseMesh(MVE_MESH *mesh);

// The mesh of an ID, or null after a red row naming the procedure.
MVE_MESH *MVE_ResolveMesh(int id, const char *procedure);

// Triangles may be set before the vertices exist, so corners are checked where they are used
// (finishing, saving, appending, bodies): 1 when every corner lies inside the vertices, else 0 after a
// red row naming the mesh, the triangle and the procedure.
int MVE_CheckMeshCorners(const MVE_MESH &mesh, const char *procedure);

// Record forms of the public procedures, for engine code that holds the record.
int MVE_FinishMesh(MVE_MESH *mesh);
int MVE_SaveMesh(const MVE_MESH *mesh, const char *file, const char *name);
int MVE_AddMeshGroup(MVE_MESH *mesh, const char *name);
int MVE_AddMeshToMesh(MVE_MESH *target, const MVE_MESH *source, float x, float y, float z, float rx, float ry,
                      float rz, float sx, float sy, float sz, int group);

// Registers a mesh whose arrays are already filled (Vertex, Index, Groups, GroupIndex): creates the
// entry under id and name, moves the data in and finishes it. Null when the registry refuses.
MVE_MESH *MVE_RegisterMesh(int id, const char *name, MVE_MESH &&data);

// The end of every file loader: a failure gets its red row and registers nothing; otherwise the
// data is registered under the name (empty: the file part of the path) and "OK" is logged.
int MVE_CompleteMeshLoad(const std::string &failure, int id, const char *name, const char *file,
                               MVE_MESH &&data, const char *procedure);

// Live reload: arrays read again from the mesh's file (checked by the reader) take the place of the
// mesh's own, and it is finished again; objects drawn with it draw the new shape, and bodies derived
// from it for its objects are derived again. 1 done; 0 (red row) with the mesh as it was.
int MVE_ReplaceMeshData(int handle, MVE_MESH &&data, const char *procedure);

// The file part of a path (name and extension, without folder).
std::string MVE_MeshFilePart(const char *path);

// Fills a record (not registered) with the plane of MVE_CreatePlaneMesh.
void MVE_BuildPlaneMesh(MVE_MESH &mesh, float size, float repeat);
