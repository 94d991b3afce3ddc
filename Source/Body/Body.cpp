// Collision bodies: the creators (sphere, box, from a render mesh) and the release of bounding trees.
// Main thread only. A body is built completely before it is registered and never changed after,
// because the physics thread reads it without a lock of its own.
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Object/Object.h"
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

void MVE_FreeBodyNode(MVE_BODY_NODE *node) {
    if (!node) return;
    MVE_FreeBodyNode(node->ChildA);
    MVE_FreeBodyNode(node->ChildB);
    delete node->Mesh;
    delete node;
}

MVE_BODY::~MVE_BODY() { MVE_FreeBodyNode(Node); }

void MVE_ReleaseBody(MVE_BODY *body) {
    // An object left pointing at the freed body would hand the physics thread freed memory.
    MVE_DetachBody(body);
    MVE_FreeBodyNode(body->Node);
    body->Node = nullptr;
}

// A face without area has no direction: its normal stays zero rather than NaN, and the collision
// tests treat a zero normal as "no separating direction".
void MVE_ComputeFaceNormals(MVE_BODY_MESH *mesh) {
    for (MVE_BODY_FACE &f : mesh->Face) {
        const v4f &a = mesh->Vertex[static_cast<size_t>(f.a)];
        const v4f &b = mesh->Vertex[static_cast<size_t>(f.b)];
        const v4f &c = mesh->Vertex[static_cast<size_t>(f.c)];
        v4f u = {b.x - a.x, b.y - a.y, b.z - a.z, 0}, v = {c.x - a.x, c.y - a.y, c.z - a.z, 0};
        v4f n;
        MVE_v4fCross(&n, &u, &v);
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (length > 0.0f && std::isfinite(length))
            f.v4fNormal = {n.x / length, n.y / length, n.z / length, 0.0f};
        else
            f.v4fNormal = {0, 0, 0, 0};
    }
}

// The box always contains the body origin: min and max start at zero. Vertex w (1) takes part, so
// the centre ends with w 1 and the half size with w 0.
static void BoundPoints(const v4f *points, size_t count, size_t stride, v4f *center, v4f *half) {
    v4f lo = {0, 0, 0, 0}, hi = {0, 0, 0, 0};
    const char *p = reinterpret_cast<const char *>(points);
    for (size_t i = 0; i < count; ++i, p += stride) {
        v4f v;
        std::memcpy(&v, p, sizeof v);
        lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z), std::fmin(lo.w, v.w)};
        hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z), std::fmax(hi.w, v.w)};
    }
    *center = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f, 1.0f};
    *half = {hi.x - center->x, hi.y - center->y, hi.z - center->z, 0.0f};
}

void MVE_BoundBodyMesh(const MVE_BODY_MESH *mesh, MVE_BODY_NODE *node) {
    BoundPoints(mesh->Vertex.data(), mesh->Vertex.size(), sizeof(v4f), &node->v4fCenter, &node->v4fHalfSize);
}

static MVE_BODY *Register(int id, const char *name, int type) {
    int requested = id;
    MVE_BODY *body = MVE_CreateBodyListEntry(&requested, name ? name : "");
    if (!body) return nullptr;
    body->iType = type;
    return body;
}

static MVE_BODY_NODE *RootNode(v4f center, v4f half, MVE_BODY_MESH *mesh) {
    MVE_BODY_NODE *node = new MVE_BODY_NODE;
    node->v4fCenter = center;
    node->v4fHalfSize = half;
    node->Mesh = mesh;
    return node;
}

extern "C" int MVE_CreateSphereBody(int id, float size, const char *name) {
    MVE_BODY *body = Register(id, name, MVE_SHAPE_SPHERE);
    if (!body) return 0;
    const float radius = size * 0.5f;
    body->v4fSize = {radius, 0, 0, 0};
    body->Node = RootNode({0, 0, 0, 1}, {radius, radius, radius, 0}, nullptr);
    return MVE_HandleOf(body);
}

extern "C" int MVE_CreateBoxBody(int id, float width, float height, float depth, const char *name) {
    if (height == MVE_IGNORE_F) height = width;
    if (depth == MVE_IGNORE_F) depth = height;
    MVE_BODY *body = Register(id, name, MVE_SHAPE_BOX);
    if (!body) return 0;
    body->v4fSize = {width * 0.5f, height * 0.5f, depth * 0.5f, 0};
    body->Node = RootNode({0, 0, 0, 1}, body->v4fSize, nullptr);
    return MVE_HandleOf(body);
}

// The box polyhedron: vertex i takes the sign of x from bit 0, y from bit 1, z from bit 2.
static MVE_BODY_MESH *BoxMesh(const v4f &center, const v4f &half) {
    static const int32_t kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {4, 6}, {5, 7},
                                          {0, 2}, {1, 3}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    static const int32_t kFaces[12][3] = {{1, 2, 3}, {1, 0, 2}, {4, 7, 6}, {4, 5, 7}, {0, 6, 2}, {0, 4, 6},
                                          {5, 3, 7}, {5, 1, 3}, {0, 5, 4}, {0, 1, 5}, {6, 3, 2}, {6, 7, 3}};
    MVE_BODY_MESH *mesh = new MVE_BODY_MESH;
    for (int i = 0; i < 8; ++i)
        mesh->Vertex.push_back({center.x + ((i & 1) ? half.x : -half.x), center.y + ((i & 2) ? half.y : -half.y),
                                center.z + ((i & 4) ? half.z : -half.z), 1.0f});
    for (const auto &e : kEdges) mesh->Edge.push_back({e[0], e[1]});
    for (const auto &f : kFaces) mesh->Face.push_back({f[0], f[1], f[2], {0, 0, 0, 0}});
    mesh->iMaxVertex = 7;
    mesh->iMaxEdge = 11;
    mesh->iMaxFace = 11;
    MVE_ComputeFaceNormals(mesh);
    return mesh;
}

namespace {
struct PositionKey {
    uint64_t lo, hi;  // the 16 position bytes: equality is bit-for-bit, as the merge requires
    bool operator==(const PositionKey &o) const { return lo == o.lo && hi == o.hi; }
};
struct PositionHash {
    size_t operator()(const PositionKey &k) const {
        uint64_t h = k.lo * 0x9E3779B97F4A7C15ULL ^ (k.hi + 0x632BE59BD9B4E019ULL + (k.lo << 6) + (k.lo >> 2));
        return static_cast<size_t>(h ^ (h >> 29));
    }
};
}  // namespace

// Merging by position keeps each vertex's first occurrence in order; a later duplicate takes the
// number of that first occurrence. Walking the vertices in order and renumbering the faces after
// every dropped vertex gives the same numbering; the hash makes it linear on big meshes.
MVE_BODY_MESH *MVE_BuildBodyMesh(const MVE_MESH *source) {
    const size_t vertexCount = source->Vertex.size();
    const size_t faceCount = source->Index.size() / 3;
    for (size_t i = 0; i < faceCount * 3; ++i)
        if (source->Index[i] < 0 || static_cast<size_t>(source->Index[i]) >= vertexCount) return nullptr;

    MVE_BODY_MESH *mesh = new MVE_BODY_MESH;
    std::vector<int32_t> remap(vertexCount);
    std::unordered_map<PositionKey, int32_t, PositionHash> seen;
    seen.reserve(vertexCount);
    for (size_t i = 0; i < vertexCount; ++i) {
        PositionKey key;
        std::memcpy(&key, &source->Vertex[i].v4fVertex, sizeof key);
        auto [it, added] = seen.emplace(key, static_cast<int32_t>(mesh->Vertex.size()));
        if (added) mesh->Vertex.push_back(source->Vertex[i].v4fVertex);
        remap[i] = it->second;
    }

    mesh->Face.resize(faceCount);
    std::unordered_set<uint64_t> edges;
    edges.reserve(faceCount * 2);
    auto addEdge = [&](int32_t a, int32_t b) {
        const uint32_t lo = static_cast<uint32_t>(a < b ? a : b), hi = static_cast<uint32_t>(a < b ? b : a);
        if (edges.insert((static_cast<uint64_t>(lo) << 32) | hi).second) mesh->Edge.push_back({a, b});
    };
    for (size_t f = 0; f < faceCount; ++f) {
        MVE_BODY_FACE &face = mesh->Face[f];
        face.a = remap[static_cast<size_t>(source->Index[3 * f])];
        face.b = remap[static_cast<size_t>(source->Index[3 * f + 1])];
        face.c = remap[static_cast<size_t>(source->Index[3 * f + 2])];
        face.v4fNormal = {0, 0, 0, 0};
        addEdge(face.a, face.b);
        addEdge(face.b, face.c);
        addEdge(face.c, face.a);
    }
    mesh->iMaxVertex = static_cast<int>(mesh->Vertex.size()) - 1;
    mesh->iMaxEdge = static_cast<int>(mesh->Edge.size()) - 1;
    mesh->iMaxFace = static_cast<int>(mesh->Face.size()) - 1;
    MVE_ComputeFaceNormals(mesh);
    return mesh;
}

MVE_BODY *MVE_MakeBodyFromMesh(int id, const MVE_MESH *source, int type, float scale, const char *name) {
    static const char *kProcedure = "MVE_CreateBodyFromMesh";
    if (!source) {
        MVE_LogFail(MVE_FAIL_BODY_MESH, kProcedure);
        return nullptr;
    }
    // A point at infinity would give the physics an infinite bound, radius or face.
    for (size_t i = 0; i < source->Vertex.size(); ++i) {
        const v4f &p = source->Vertex[i].v4fVertex;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            MVE_LogFail("Fail: Vertex " + std::to_string(i) + " is not a finite point!", kProcedure);
            return nullptr;
        }
    }
    const v4f *positions = source->Vertex.empty() ? nullptr : &source->Vertex[0].v4fVertex;
    const size_t count = source->Vertex.size();
    v4f center, half;
    BoundPoints(positions, count, sizeof(MVE_MESH_VERTEX), &center, &half);

    // Everything is built before registering, so a failure leaves no half-made body behind.
    v4f size = {0, 0, 0, 0};
    MVE_BODY_MESH *mesh = nullptr;
    if (type == MVE_SHAPE_SPHERE) {
        float radius = 0.0f;
        for (const MVE_MESH_VERTEX &v : source->Vertex) {
            const v4f &p = v.v4fVertex;
            radius = std::fmax(radius, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
        }
        radius *= scale;
        size.x = radius;
        center = {0, 0, 0, 1};
        half = {radius, radius, radius, 0};
    } else if (type == MVE_SHAPE_BOX) {
        half = {half.x * scale, half.y * scale, half.z * scale, 0};
        mesh = BoxMesh(center, half);
    } else if (type == MVE_SHAPE_MESH) {
        if (!MVE_CheckMeshCorners(*source, kProcedure)) return nullptr;
        mesh = MVE_BuildBodyMesh(source);
        if (!mesh) return nullptr;
    } else {
        MVE_LogFail(MVE_FAIL_BODY_TYPE, kProcedure);
        return nullptr;
    }
    MVE_BODY *body = Register(id, name, type);
    if (!body) {
        delete mesh;
        return nullptr;
    }
    body->v4fSize = size;
    body->Node = RootNode(center, half, mesh);
    return body;
}

extern "C" int MVE_CreateBodyFromMesh(int id, int mesh, int type, float scale, const char *name) {
    return MVE_HandleOf(MVE_MakeBodyFromMesh(id, MVE_GetMesh(mesh), type, scale, name));
}
extern "C" int MVE_IsBody(int id) { return MVE_GetBody(id) ? 1 : 0; }
