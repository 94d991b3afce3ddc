// Mesh records: creation, the building procedures, groups, finishing (group table, tangents, GL
// upload) and release. Main thread only. Every number that addresses an array is checked first:
// a wrong one gets a red row and a 0 result, never a write outside the array.
#include "Mesh/Mesh.h"
#include "Object/Object.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>
#include <string>

static bool GLReady() { return MVE_Engine().GL.iLoaded != 0; }

static void DeleteGLObjects(MVE_MESH *mesh) {
    // Without a context the names are gone with it; nothing is left to delete.
    if (GLReady()) {
        MVE_GL_TABLE &gl = MVE_gl();
        const GLuint vao = static_cast<GLuint>(mesh->iVertexArray), vbo = static_cast<GLuint>(mesh->iVertexBuffer),
                     ebo = static_cast<GLuint>(mesh->iIndexBuffer);
        if (mesh->iVertexArray > 0) gl.glDeleteVertexArrays(1, &vao);
        if (mesh->iVertexBuffer > 0) gl.glDeleteBuffers(1, &vbo);
        if (mesh->iIndexBuffer > 0) gl.glDeleteBuffers(1, &ebo);
    }
    mesh->iVertexArray = mesh->iVertexBuffer = mesh->iIndexBuffer = -1;
}

void MVE_ReleaseMesh(MVE_MESH *mesh) {
    if (!mesh) return;
    MVE_DetachMesh(mesh);
    DeleteGLObjects(mesh);
}

int MVE_CheckMeshCorners(const MVE_MESH &mesh, const char *procedure) {
    const size_t vertices = mesh.Vertex.size();
    for (size_t i = 0; i < mesh.Index.size(); ++i) {
        const int32_t corner = mesh.Index[i];
        if (corner >= 0 && static_cast<size_t>(corner) < vertices) continue;
        const std::string who = mesh.sName.empty() ? std::to_string(mesh.iID) : "'" + mesh.sName + "'";
        MVE_LogFail("Fail: Mesh " + who + ": triangle " + std::to_string(i / 3) + " has corner " +
                        std::to_string(corner) + " outside its " + std::to_string(vertices) + " vertices!",
                    procedure);
        return 0;
    }
    return 1;
}

MVE_MESH *MVE_ResolveMesh(int id, const char *procedure) {
    MVE_MESH *mesh = MVE_GetMesh(id);
    if (!mesh) MVE_LogFail(MVE_FAIL_MESH_NOT_FOUND, procedure);
    return mesh;
}

std::string MVE_MeshFilePart(const char *path) {
    std::string p(path ? path : "");
    size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

MVE_MESH *MVE_RegisterMesh(int id, const char *name, MVE_MESH &&data) {
    MVE_MESH *mesh = MVE_CreateMeshListEntry(&id, name);
    if (!mesh) return nullptr;
    mesh->Vertex = std::move(data.Vertex);
    mesh->Index = std::move(data.Index);
    mesh->Groups = std::move(data.Groups);
    mesh->GroupIndex = std::move(data.GroupIndex);
    mesh->iVertices = static_cast<int>(mesh->Vertex.size());
    mesh->iIndices = static_cast<int>(mesh->Index.size());
    MVE_FinishMesh(mesh);
    return mesh;
}

int MVE_CompleteMeshLoad(const std::string &failure, int id, const char *name, const char *file,
                               MVE_MESH &&data, const char *procedure) {
    if (!failure.empty()) {
        MVE_LogFail(failure, procedure);
        return 0;
    }
    const std::string meshName = (name && *name) ? std::string(name) : MVE_MeshFilePart(file);
    MVE_MESH *mesh = MVE_RegisterMesh(id, meshName.c_str(), std::move(data));
    if (!mesh) return 0;
    MVE_LogOK(procedure);
    return MVE_HandleOf(mesh);
}

extern "C" int MVE_CreateMesh(int id, const char *name) {
    int handle = 0;
    MVE_CreateMeshListEntry(&id, name ? name : "", &handle);
    return handle;
}

// ---------------------------------------------------------------- building

extern "C" int64_t MVE_SetMeshVertexCount(int id, int count) {
    MVE_MESH *mesh = MVE_ResolveMesh(id, "MVE_SetMeshVertexCount");
    if (!mesh) return 0;
    if (count < 0) {
        MVE_LogFail(MVE_FAIL_COUNT, "MVE_SetMeshVertexCount");
        return 0;
    }
    try {
        std::vector<MVE_MESH_VERTEX> fresh(static_cast<size_t>(count), MVE_MESH_VERTEX{});
        mesh->Vertex.swap(fresh);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, "MVE_SetMeshVertexCount");
        return 0;
    }
    mesh->iVertices = count;
    return static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(MVE_MESH_VERTEX));
}

extern "C" int64_t MVE_SetMeshTriangleCount(int id, int count) {
    MVE_MESH *mesh = MVE_ResolveMesh(id, "MVE_SetMeshTriangleCount");
    if (!mesh) return 0;
    if (count < 0 || count > INT32_MAX / 3) {
        MVE_LogFail(MVE_FAIL_COUNT, "MVE_SetMeshTriangleCount");
        return 0;
    }
    try {
        std::vector<int32_t> fresh(static_cast<size_t>(count) * 3, 0);
        mesh->Index.swap(fresh);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, "MVE_SetMeshTriangleCount");
        return 0;
    }
    mesh->iIndices = count * 3;
    return static_cast<int64_t>(mesh->iIndices) * 4;
}

// The vertex to write, or null after a red row.
static MVE_MESH_VERTEX *VertexOf(int id, int vertex, const char *procedure) {
    MVE_MESH *mesh = MVE_ResolveMesh(id, procedure);
    if (!mesh) return nullptr;
    if (vertex < 0 || static_cast<size_t>(vertex) >= mesh->Vertex.size()) {
        MVE_LogFail(MVE_FAIL_VERTEX_RANGE, procedure);
        return nullptr;
    }
    return &mesh->Vertex[static_cast<size_t>(vertex)];
}

// Infinite or NaN geometry would reach the GPU and the physics as it is: refused, naming the vertex.
static bool Finite(std::initializer_list<float> values, int vertex, const char *what, const char *procedure) {
    for (float f : values)
        if (!std::isfinite(f)) {
            MVE_LogFail("Fail: Vertex " + std::to_string(vertex) + what, procedure);
            return false;
        }
    return true;
}

extern "C" int MVE_SetMeshVertex(int id, int vertex, float x, float y, float z, float w) {
    MVE_MESH_VERTEX *v = VertexOf(id, vertex, "MVE_SetMeshVertex");
    if (!v || !Finite({x, y, z, w}, vertex, " is not a finite point!", "MVE_SetMeshVertex")) return 0;
    v->v4fVertex = {x, y, z, w};
    return 1;
}

extern "C" int MVE_SetMeshTexCoord(int id, int vertex, float u, float v) {
    MVE_MESH_VERTEX *p = VertexOf(id, vertex, "MVE_SetMeshTexCoord");
    if (!p || !Finite({u, v}, vertex, ": texture coordinate is not finite!", "MVE_SetMeshTexCoord")) return 0;
    p->v2fTexCoord[0] = u;
    p->v2fTexCoord[1] = v;
    return 1;
}

extern "C" int MVE_SetMeshNormal(int id, int vertex, float x, float y, float z) {
    MVE_MESH_VERTEX *v = VertexOf(id, vertex, "MVE_SetMeshNormal");
    if (!v || !Finite({x, y, z}, vertex, ": normal is not finite!", "MVE_SetMeshNormal")) return 0;
    v->v3fNormal[0] = x;
    v->v3fNormal[1] = y;
    v->v3fNormal[2] = z;
    return 1;
}

extern "C" int MVE_SetMeshVertexGroup(int id, int vertex, int group) {
    MVE_MESH_VERTEX *v = VertexOf(id, vertex, "MVE_SetMeshVertexGroup");
    if (!v) return 0;
    v->iGroup = group;
    return 1;
}

extern "C" int MVE_SetMeshTriangle(int id, int triangle, int a, int b, int c) {
    MVE_MESH *mesh = MVE_ResolveMesh(id, "MVE_SetMeshTriangle");
    if (!mesh) return 0;
    if (triangle < 0 || static_cast<size_t>(triangle) >= mesh->Index.size() / 3) {
        MVE_LogFail(MVE_FAIL_TRIANGLE_RANGE, "MVE_SetMeshTriangle");
        return 0;
    }
    // Corners may name vertices that are set later; only a negative one can never become valid.
    // Finishing, saving and bodies check the corners against the vertices before they use them.
    if (a < 0 || b < 0 || c < 0) {
        MVE_LogFail(MVE_FAIL_VERTEX_RANGE, "MVE_SetMeshTriangle");
        return 0;
    }
    int32_t *t = &mesh->Index[static_cast<size_t>(triangle) * 3];
    t[0] = a;
    t[1] = b;
    t[2] = c;
    return 1;
}

int MVE_AddMeshGroup(MVE_MESH *mesh, const char *name) {
    if (!mesh) return -1;
    std::string key(name ? name : "");
    auto found = mesh->GroupIndex.find(key);
    if (found != mesh->GroupIndex.end()) return found->second->iIndex;
    auto group = std::make_unique<MVE_MESH_GROUP>();
    group->iIndex = static_cast<int>(mesh->Groups.size());
    group->sName = key;
    mesh->GroupIndex.emplace(key, group.get());
    mesh->Groups.push_back(std::move(group));
    return mesh->Groups.back()->iIndex;
}

extern "C" int MVE_AddMeshGroup(int id, const char *name) {
    // -1, not 0, for a missing mesh: 0 is a valid group number.
    return MVE_AddMeshGroup(MVE_ResolveMesh(id, "MVE_AddMeshGroup"), name);
}

// ---------------------------------------------------------------- finishing

static void ComputeTangents(MVE_MESH &mesh) {
    const size_t vertices = mesh.Vertex.size();
    std::vector<float> sum(vertices * 3, 0.0f);
    const int32_t *index = mesh.Index.data();
    MVE_MESH_VERTEX *v = mesh.Vertex.data();
    // Last triangle first: the sums then match meshes finished by earlier engine versions bit for bit.
    for (size_t i = mesh.Index.size(); i >= 3; i -= 3) {
        const size_t c = static_cast<size_t>(index[i - 3]), b = static_cast<size_t>(index[i - 2]),
                     a = static_cast<size_t>(index[i - 1]);
        const MVE_MESH_VERTEX &A = v[a], &B = v[b], &C = v[c];
        const float e1x = B.v4fVertex.x - A.v4fVertex.x, e1y = B.v4fVertex.y - A.v4fVertex.y,
                    e1z = B.v4fVertex.z - A.v4fVertex.z;
        const float e2x = C.v4fVertex.x - A.v4fVertex.x, e2y = C.v4fVertex.y - A.v4fVertex.y,
                    e2z = C.v4fVertex.z - A.v4fVertex.z;
        const float d1u = B.v2fTexCoord[0] - A.v2fTexCoord[0], d1v = B.v2fTexCoord[1] - A.v2fTexCoord[1];
        const float d2u = C.v2fTexCoord[0] - A.v2fTexCoord[0], d2v = C.v2fTexCoord[1] - A.v2fTexCoord[1];
        const float det = d1u * d2v - d2u * d1v;
        if (det == 0.0f) continue;
        const float r = 1.0f / det;
        const float t[3] = {(e1x * d2v - e2x * d1v) * r, (e1y * d2v - e2y * d1v) * r, (e1z * d2v - e2z * d1v) * r};
        for (size_t corner : {a, b, c})
            for (int k = 0; k < 3; ++k) sum[corner * 3 + k] += t[k];
    }
    for (size_t i = vertices; i-- > 0;) {
        const float *n = v[i].v3fNormal, *s = &sum[i * 3];
        const float d = s[0] * n[0] + s[1] * n[1] + s[2] * n[2];
        float t[3] = {s[0] - n[0] * d, s[1] - n[1] * d, s[2] - n[2] * d};
        const float length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (length > 0.0f && std::isfinite(length))
            for (float &x : t) x /= length;
        else
            t[0] = t[1] = t[2] = 0.0f;
        v[i].v3fTangent[0] = t[0];
        v[i].v3fTangent[1] = t[1];
        v[i].v3fTangent[2] = t[2];
    }
}

// The sphere around the box of the vertices: what the renderer tests against the view and the
// lights' reach. Without vertices, or with a coordinate that is not finite, it stays unknown.
static void BoundingSphere(MVE_MESH &mesh) {
    mesh.fBoundRadius = -1.0f;
    if (mesh.Vertex.empty()) return;
    float lo[3], hi[3];
    for (int k = 0; k < 3; ++k) lo[k] = hi[k] = (&mesh.Vertex[0].v4fVertex.x)[k];
    for (const MVE_MESH_VERTEX &v : mesh.Vertex)
        for (int k = 0; k < 3; ++k) {
            const float x = (&v.v4fVertex.x)[k];
            if (!std::isfinite(x)) return;
            lo[k] = std::min(lo[k], x);
            hi[k] = std::max(hi[k], x);
        }
    float radius = 0.0f;
    for (int k = 0; k < 3; ++k) mesh.fBoundCenter[k] = 0.5f * (lo[k] + hi[k]);
    for (const MVE_MESH_VERTEX &v : mesh.Vertex) {
        const float dx = v.v4fVertex.x - mesh.fBoundCenter[0], dy = v.v4fVertex.y - mesh.fBoundCenter[1],
                    dz = v.v4fVertex.z - mesh.fBoundCenter[2];
        radius = std::max(radius, dx * dx + dy * dy + dz * dz);
    }
    mesh.fBoundRadius = std::sqrt(radius) * 1.0001f + 1e-6f;  // rounding never cuts a vertex off
}

static void Upload(MVE_MESH &mesh) {
    MVE_GL_TABLE &gl = MVE_gl();
    DeleteGLObjects(&mesh);  // re-finishing replaces the old objects instead of leaking them
    GLuint vao = 0, vbo = 0, ebo = 0;
    gl.glGenVertexArrays(1, &vao);
    gl.glBindVertexArray(vao);
    gl.glGenBuffers(1, &vbo);
    gl.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.Vertex.size() * sizeof(MVE_MESH_VERTEX)),
                    mesh.Vertex.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(MVE_MESH_VERTEX);
    auto at = [](size_t offset) { return reinterpret_cast<const void *>(offset); };
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(MVE_MESH_VERTEX, v4fVertex)));
    gl.glEnableVertexAttribArray(0);
    gl.glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(MVE_MESH_VERTEX, v3fNormal)));
    gl.glEnableVertexAttribArray(1);
    gl.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(MVE_MESH_VERTEX, v2fTexCoord)));
    gl.glEnableVertexAttribArray(2);
    gl.glVertexAttribPointer(6, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(MVE_MESH_VERTEX, v3fTangent)));
    gl.glEnableVertexAttribArray(6);
    // The float path on purpose: the shaders declare the group as a float (array layer, wind weight).
    gl.glVertexAttribPointer(7, 1, GL_INT, GL_FALSE, stride, at(offsetof(MVE_MESH_VERTEX, iGroup)));
    gl.glEnableVertexAttribArray(7);
    gl.glGenBuffers(1, &ebo);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.Index.size() * sizeof(int32_t)),
                    mesh.Index.data(), GL_STATIC_DRAW);
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    static uint64_t uploads = 0;
    mesh.uUpload = ++uploads;
    mesh.iVertexArray = static_cast<int>(vao);
    mesh.iVertexBuffer = static_cast<int>(vbo);
    mesh.iIndexBuffer = static_cast<int>(ebo);
}

int MVE_FinishMesh(MVE_MESH *mesh) {
    if (!mesh) return 0;
    MVE_MESH &m = *mesh;
    // The arrays are the truth: engine code may have grown them directly.
    if (m.Vertex.size() > static_cast<size_t>(INT32_MAX) || m.Index.size() > static_cast<size_t>(INT32_MAX) ||
        m.Index.size() % 3 != 0) {
        MVE_LogFail(MVE_FAIL_COUNT, "MVE_FinishMesh");
        return 0;
    }
    m.iVertices = static_cast<int>(m.Vertex.size());
    m.iIndices = static_cast<int>(m.Index.size());
    if (!MVE_CheckMeshCorners(m, "MVE_FinishMesh")) return 0;

    m.GroupTable.assign(m.Groups.size(), nullptr);
    for (const auto &group : m.Groups)  // a number outside the table gets no slot
        if (group->iIndex >= 0 && static_cast<size_t>(group->iIndex) < m.GroupTable.size())
            m.GroupTable[static_cast<size_t>(group->iIndex)] = group.get();

    try {
        ComputeTangents(m);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, "MVE_FinishMesh");
        return 0;
    }
    BoundingSphere(m);
    if (GLReady()) Upload(m);
    MVE_LogDetail("Vertices: ", m.iVertices, "MVE_FinishMesh");
    MVE_LogDetail("Triangles: ", m.iIndices / 3, "MVE_FinishMesh");
    return 1;
}

extern "C" int MVE_FinishMesh(int id) { return MVE_FinishMesh(MVE_ResolveMesh(id, "MVE_FinishMesh")); }

int MVE_ReplaceMeshData(int handle, MVE_MESH &&data, const char *procedure) {
    MVE_MESH *mesh = MVE_GetMesh(handle);
    if (!mesh) {
        MVE_LogFail(MVE_FAIL_MESH_NOT_FOUND, procedure);
        return 0;
    }
    // The old arrays wait in `data` until the new ones are finished: a finish that fails puts them back.
    mesh->Vertex.swap(data.Vertex);
    mesh->Index.swap(data.Index);
    mesh->Groups.swap(data.Groups);
    mesh->GroupIndex.swap(data.GroupIndex);
    if (!MVE_FinishMesh(mesh)) {
        mesh->Vertex.swap(data.Vertex);
        mesh->Index.swap(data.Index);
        mesh->Groups.swap(data.Groups);
        mesh->GroupIndex.swap(data.GroupIndex);
        MVE_FinishMesh(mesh);
        return 0;
    }
    MVE_RefreshOwnBodies(mesh);
    return 1;
}
