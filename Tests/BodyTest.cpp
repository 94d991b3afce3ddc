// Collision bodies: creators, the box and polyhedron built from render meshes, the ".mvb" loader,
// and freeing a body that objects still use.
#include "Body/Body.h"
#include "Object/Object.h"
#include "TestSupport.h"
#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

using mvetest::EngineTest;

MVE_MESH *MakeMesh(int id, const std::vector<v4f> &positions, const std::vector<int32_t> &indices) {
    int requested = id;
    MVE_MESH *mesh = MVE_CreateMeshListEntry(&requested, "");
    mesh->Vertex.resize(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) mesh->Vertex[i].v4fVertex = positions[i];
    mesh->Index = indices;
    mesh->iVertices = static_cast<int>(positions.size());
    mesh->iIndices = static_cast<int>(indices.size());
    return mesh;
}

// A cube of 12 triangles whose every triangle has its own three corners (36 vertices), as an OBJ
// import or a mesh with per-face normals would give.
MVE_MESH *MakeUnsharedCube(int id, float h) {
    static const int kFaces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                                      {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    std::vector<v4f> corners;
    for (int i = 0; i < 8; ++i) corners.push_back({(i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h, 1});
    std::vector<v4f> positions;
    std::vector<int32_t> indices;
    for (const auto &f : kFaces)
        for (int k = 0; k < 3; ++k) {
            indices.push_back(static_cast<int32_t>(positions.size()));
            positions.push_back(corners[static_cast<size_t>(f[k])]);
        }
    return MakeMesh(id, positions, indices);
}

// The merge exactly as written: walk the vertices, renumber the faces after every dropped one.
void ReferenceMerge(const MVE_MESH &mesh, std::vector<v4f> &vertices, std::vector<int32_t> &faces,
                    std::vector<std::pair<int32_t, int32_t>> &edges) {
    faces = mesh.Index;
    vertices.clear();
    for (size_t i = 0; i < mesh.Vertex.size(); ++i) {
        const v4f &p = mesh.Vertex[i].v4fVertex;
        size_t k = 0;
        while (k < vertices.size() && std::memcmp(&vertices[k], &p, sizeof p) != 0) ++k;
        if (k == vertices.size()) {
            vertices.push_back(p);
            continue;
        }
        const int32_t current = static_cast<int32_t>(vertices.size());
        for (int32_t &f : faces) {
            if (f == current)
                f = static_cast<int32_t>(k);
            else if (f > current)
                --f;
        }
    }
    edges.clear();
    auto add = [&](int32_t a, int32_t b) {
        for (const auto &e : edges)
            if ((e.first == a && e.second == b) || (e.first == b && e.second == a)) return;
        edges.push_back({a, b});
    };
    for (size_t f = 0; f + 2 < faces.size(); f += 3) {
        add(faces[f], faces[f + 1]);
        add(faces[f + 1], faces[f + 2]);
        add(faces[f + 2], faces[f]);
    }
}

void ExpectVector(const v4f &v, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

}  // namespace

TEST_F(EngineTest, BodyCreatorsSizesAndIDs) {
    MVE_BODY *sphere = BodyOf(MVE_CreateSphereBody(1, 2.0f, ""));
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->iType, MVE_SHAPE_SPHERE);
    EXPECT_FLOAT_EQ(sphere->v4fSize.x, 1.0f);
    ExpectVector(sphere->Node->v4fHalfSize, 1, 1, 1, 0);
    ExpectVector(sphere->Node->v4fCenter, 0, 0, 0, 1);

    MVE_BODY *cube = BodyOf(MVE_CreateBoxBody(2, 4.0f, MVE_IGNORE_F, MVE_IGNORE_F, ""));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->iType, MVE_SHAPE_BOX);
    ExpectVector(cube->Node->v4fHalfSize, 2, 2, 2, 0);
    EXPECT_EQ(cube->Node->Mesh, nullptr);
    // The depth follows the height after the height has taken its own value.
    MVE_BODY *slab = BodyOf(MVE_CreateBoxBody(3, 2.0f, 6.0f, MVE_IGNORE_F, ""));
    ExpectVector(slab->v4fSize, 1, 3, 3, 0);

    MVE_BODY *automatic = BodyOf(MVE_CreateSphereBody(-1, 1.0f, "ball"));
    ASSERT_NE(automatic, nullptr);
    EXPECT_GE(static_cast<uint32_t>(IdOf(automatic)), 65536u);
    EXPECT_EQ(MVE_GetBody(IdOf(automatic)), automatic);
    EXPECT_EQ(BodyOf(MVE_CreateBoxBody(70000, 1, 1, 1, "")), nullptr);  // the registry refuses a forged ID
    EXPECT_EQ(MVE_IsBody(1), 1);
    MVE_FreeBody(1);
    EXPECT_EQ(MVE_IsBody(1), 0);
}

TEST_F(EngineTest, BodyBoxFromMeshContainsOriginAndIsClosed) {
    // Every vertex lies at x between 1 and 3: the box still reaches back to the origin.
    MakeMesh(1, {{1, -1, -2, 1}, {3, 1, 2, 1}, {2, 0, 0, 1}}, {0, 1, 2});
    MVE_BODY *box = BodyOf(MVE_CreateBodyFromMesh(5, 1, MVE_SHAPE_BOX, 2.0f, ""));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->iType, MVE_SHAPE_BOX);
    const MVE_BODY_NODE *node = box->Node;
    ExpectVector(node->v4fCenter, 1.5f, 0, 0, 1);             // the centre is not scaled
    ExpectVector(node->v4fHalfSize, 3.0f, 2.0f, 4.0f, 0);     // the half size is
    EXPECT_LE(node->v4fCenter.x - node->v4fHalfSize.x, 0.0f);

    const MVE_BODY_MESH *mesh = node->Mesh;
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->iMaxVertex, 7);
    EXPECT_EQ(mesh->iMaxEdge, 11);
    EXPECT_EQ(mesh->iMaxFace, 11);
    ExpectVector(mesh->Vertex[0], -1.5f, -2, -4, 1);
    ExpectVector(mesh->Vertex[7], 4.5f, 2, 4, 1);
    EXPECT_EQ(mesh->Edge[4].a, 4);
    EXPECT_EQ(mesh->Edge[4].b, 6);
    EXPECT_EQ(mesh->Face[11].a, 6);
    EXPECT_EQ(mesh->Face[11].c, 3);
    // Every face normal is unit length and points away from the centre.
    for (const MVE_BODY_FACE &f : mesh->Face) {
        const v4f &a = mesh->Vertex[static_cast<size_t>(f.a)], &b = mesh->Vertex[static_cast<size_t>(f.b)],
                  &c = mesh->Vertex[static_cast<size_t>(f.c)];
        const float mx = (a.x + b.x + c.x) / 3 - node->v4fCenter.x, my = (a.y + b.y + c.y) / 3,
                    mz = (a.z + b.z + c.z) / 3;
        EXPECT_GT(f.v4fNormal.x * mx + f.v4fNormal.y * my + f.v4fNormal.z * mz, 0.0f);
        EXPECT_NEAR(MVE_v4fLength(&f.v4fNormal), 1.0f, 1e-6f);
        EXPECT_EQ(f.v4fNormal.w, 0.0f);
    }

    MVE_BODY *sphere = BodyOf(MVE_CreateBodyFromMesh(6, 1, MVE_SHAPE_SPHERE, 0.5f, ""));
    ASSERT_NE(sphere, nullptr);
    EXPECT_FLOAT_EQ(sphere->v4fSize.x, 0.5f * std::sqrt(9.0f + 1.0f + 4.0f));
    EXPECT_EQ(sphere->Node->Mesh, nullptr);

    // A missing mesh or a shape the engine does not know: a red row and nothing registered.
    const size_t before = MVE_Engine().Registries.Bodies.Count();
    EXPECT_EQ(BodyOf(MVE_CreateBodyFromMesh(7, 99, MVE_SHAPE_BOX, 1, "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_CreateBodyFromMesh(7, 1, 2, 1, "")), nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Bodies.Count(), before);
}

TEST_F(EngineTest, BodyPolyhedronFromMeshMergesPositions) {
    MakeUnsharedCube(1, 0.5f);
    MVE_BODY *cube = BodyOf(MVE_CreateBodyFromMesh(1, 1, MVE_SHAPE_MESH, 3.0f, ""));
    ASSERT_NE(cube, nullptr);
    const MVE_BODY_MESH *mesh = cube->Node->Mesh;
    EXPECT_EQ(mesh->iMaxVertex + 1, 8);
    EXPECT_EQ(mesh->iMaxEdge + 1, 18);   // 12 sides and 6 face diagonals
    EXPECT_EQ(mesh->iMaxFace + 1, 12);
    ExpectVector(cube->Node->v4fHalfSize, 0.5f, 0.5f, 0.5f, 0);  // the scale is ignored

    // A random mesh full of repeated positions (and 0.0 next to -0.0, which differ bit for bit)
    // numbers its vertices, faces and edges exactly as the step-by-step merge does.
    std::mt19937 random(7);
    const float values[] = {0.0f, -0.0f, 1.0f, 2.5f};
    std::vector<v4f> positions;
    for (int i = 0; i < 300; ++i)
        positions.push_back({values[random() % 4], values[random() % 4], values[random() % 2], 1.0f});
    std::vector<int32_t> indices;
    for (int i = 0; i < 600; ++i) indices.push_back(static_cast<int32_t>(random() % positions.size()));
    MVE_MESH *source = MakeMesh(2, positions, indices);
    MVE_BODY *body = BodyOf(MVE_CreateBodyFromMesh(2, 2, MVE_SHAPE_MESH, 1, ""));
    ASSERT_NE(body, nullptr);
    std::vector<v4f> vertices;
    std::vector<int32_t> faces;
    std::vector<std::pair<int32_t, int32_t>> edges;
    ReferenceMerge(*source, vertices, faces, edges);
    const MVE_BODY_MESH *merged = body->Node->Mesh;
    ASSERT_EQ(merged->Vertex.size(), vertices.size());
    EXPECT_EQ(std::memcmp(merged->Vertex.data(), vertices.data(), vertices.size() * sizeof(v4f)), 0);
    ASSERT_EQ(merged->Face.size() * 3, faces.size());
    for (size_t f = 0; f < merged->Face.size(); ++f) {
        EXPECT_EQ(merged->Face[f].a, faces[3 * f]);
        EXPECT_EQ(merged->Face[f].b, faces[3 * f + 1]);
        EXPECT_EQ(merged->Face[f].c, faces[3 * f + 2]);
    }
    ASSERT_EQ(merged->Edge.size(), edges.size());
    for (size_t e = 0; e < edges.size(); ++e) {
        EXPECT_EQ(merged->Edge[e].a, edges[e].first);
        EXPECT_EQ(merged->Edge[e].b, edges[e].second);
    }
    // Degenerate triangles (repeated corners) have no area: their normal is zero, not NaN.
    for (const MVE_BODY_FACE &f : merged->Face) EXPECT_FALSE(std::isnan(f.v4fNormal.x));

    // A face index outside the vertices is refused: the physics thread would read past the array.
    MakeMesh(3, {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}}, {0, 1, 3});
    EXPECT_EQ(BodyOf(MVE_CreateBodyFromMesh(3, 3, MVE_SHAPE_MESH, 1, "")), nullptr);
    EXPECT_EQ(MVE_IsBody(3), 0);
}

TEST_F(EngineTest, BodyFaceNormals) {
    MVE_BODY_MESH mesh;
    mesh.Vertex = {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {2, 0, 0, 1}};
    mesh.Face = {{0, 1, 2, {}}, {0, 2, 1, {}}, {0, 1, 3, {}}};
    MVE_ComputeFaceNormals(&mesh);
    ExpectVector(mesh.Face[0].v4fNormal, 0, 0, 1, 0);
    ExpectVector(mesh.Face[1].v4fNormal, 0, 0, -1, 0);   // clockwise from outside: inwards
    ExpectVector(mesh.Face[2].v4fNormal, 0, 0, 0, 0);    // three points on a line
}

TEST_F(EngineTest, BodyFileLoadsAndLogs) {
    OpenLog(4);
    mvetest::WriteFile("Quad.mvb",
                       "// a quad split into two triangles\n"
                       "Body: Quad {\n"
                       "\tVertices: 4 {\n\t\t1, 0, 0\n\t\t3, 0, 0\n\t\t3, 2, 0\n\t\t1, 2, 0\n\t}\n"
                       "\tEdges: 5 {\n\t\t0, 1\n\t\t1, 2\n\t\t2, 3\n\t\t3, 0\n\t\t0, 2\n\t}\n"
                       "\tFaces: 2 {\n\t\t0, 1, 2\n\t\t0, 2, 3\n\t}\n"
                       "}\n");
    MVE_BODY *body = BodyOf(MVE_LoadBody(4, "Quad.mvb", ""));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->sName, "Quad.mvb");
    EXPECT_EQ(body->iType, MVE_SHAPE_MESH);
    const MVE_BODY_MESH *mesh = body->Node->Mesh;
    EXPECT_EQ(mesh->iMaxVertex, 3);
    EXPECT_EQ(mesh->iMaxEdge, 4);
    EXPECT_EQ(mesh->iMaxFace, 1);
    ExpectVector(mesh->Vertex[2], 3, 2, 0, 1);
    EXPECT_EQ(mesh->Edge[4].a, 0);
    EXPECT_EQ(mesh->Edge[4].b, 2);
    ExpectVector(mesh->Face[1].v4fNormal, 0, 0, 1, 0);
    // The bounds reach back to the origin.
    ExpectVector(body->Node->v4fCenter, 1.5f, 1, 0, 1);
    ExpectVector(body->Node->v4fHalfSize, 1.5f, 1, 0, 0);

    const std::string log = LogText();
    const size_t load = log.find("Load Body: Quad.mvb"), vertices = log.find("Vertices: 4"),
                 edges = log.find("Edges: 5"), faces = log.find("Faces: 2"), ok = log.find(">OK<");
    ASSERT_NE(load, std::string::npos);
    ASSERT_NE(ok, std::string::npos);
    EXPECT_LT(load, vertices);
    EXPECT_LT(vertices, edges);
    EXPECT_LT(edges, faces);
    EXPECT_LT(faces, ok);
    EXPECT_NE(log.find("MVE_LoadBody"), std::string::npos);

    // A named load keeps its name; the definition tree is gone after loading.
    EXPECT_NE(BodyOf(MVE_LoadBody(-1, "Quad.mvb", "quad")), nullptr);
    EXPECT_NE(MVE_Engine().Registries.Bodies.GetByName("quad"), nullptr);
    EXPECT_TRUE(MVE_Engine().Definition.Roots.empty());
}

TEST_F(EngineTest, BodyFileRejectsBadInput) {
    OpenLog();
    mvetest::WriteFile("NoBody.mvb", "Mesh: x {\n\tVertices: 1 {\n\t\t0, 0, 0\n\t}\n}\n");
    mvetest::WriteFile("BadFace.mvb",
                       "Body: x {\n\tVertices: 3 {\n\t\t0, 0, 0\n\t\t1, 0, 0\n\t\t0, 1, 0\n\t}\n"
                       "\tFaces: 1 {\n\t\t0, 1, 3\n\t}\n}\n");
    mvetest::WriteFile("BadEdge.mvb",
                       "Body: x {\n\tVertices: 2 {\n\t\t0, 0, 0\n\t\t1, 0, 0\n\t}\n"
                       "\tEdges: 1 {\n\t\t0, -1\n\t}\n}\n");
    mvetest::WriteFile("Wrapped.mvb",   // 4294967298 would wrap round to vertex 2
                       "Body: x {\n\tVertices: 3 {\n\t\t0, 0, 0\n\t\t1, 0, 0\n\t\t0, 1, 0\n\t}\n"
                       "\tFaces: 1 {\n\t\t0, 1, 4294967298\n\t}\n}\n");
    mvetest::WriteFile("NoVertices.mvb", "Body: x {\n\tFaces: 1 {\n\t\t0, 1, 2\n\t}\n}\n");
    mvetest::WriteFile("NaN.mvb", "Body: x {\n\tVertices: 1 {\n\t\tNaN, 0, 0\n\t}\n}\n");
    mvetest::WriteFile("OnlyVertices.mvb", "Body: x {\n\tVertices: 2 {\n\t\t0, 0, 0\n\t\t1, 1, 1\n\t}\n}\n");
    mvetest::WriteFile("Garbage.mvb", std::string("\x01\xff{{:;,}\0Body", 14));

    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "Missing.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "NoBody.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, nullptr, "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "Garbage.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "BadFace.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "BadEdge.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "NaN.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "Wrapped.mvb", "")), nullptr);
    EXPECT_EQ(BodyOf(MVE_LoadBody(1, "NoVertices.mvb", "")), nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Bodies.Count(), 0u);
    const std::string log = LogText();
    EXPECT_NE(log.find("Fail: File not found!"), std::string::npos);
    EXPECT_NE(log.find("Fail: Face 0 (0, 1, 3) names a vertex outside 0..2!"), std::string::npos);
    EXPECT_NE(log.find("Fail: Edge 0 (0, -1) names a vertex outside 0..1!"), std::string::npos);
    EXPECT_NE(log.find("Fail: Face 0 (0, 1, 2147483647) names a vertex outside 0..2!"), std::string::npos);
    EXPECT_NE(log.find("Fail: Vertex 0 is not a finite point!"), std::string::npos);
    EXPECT_NE(log.find("Fail: Face 0 (0, 1, 2) names a vertex, but the body has no vertices!"), std::string::npos);
    EXPECT_TRUE(MVE_Engine().Definition.Roots.empty());

    // Missing lists are empty lists, never a count without an array.
    MVE_BODY *body = BodyOf(MVE_LoadBody(1, "OnlyVertices.mvb", ""));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Node->Mesh->iMaxVertex, 1);
    EXPECT_EQ(body->Node->Mesh->iMaxEdge, -1);
    EXPECT_EQ(body->Node->Mesh->iMaxFace, -1);
    EXPECT_TRUE(body->Node->Mesh->Face.empty());
}

TEST_F(EngineTest, BodyFreedWhileObjectsUseIt) {
    MakeMesh(1, {{0, 0, 0, 1}}, {});
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_OBJECT *a = ObjectOf(MVE_CreateObject(10, 1, -1, "", 0, 1));
    MVE_OBJECT *b = ObjectOf(MVE_CreateObject(11, 1, -1, "", 0, 1));
    MVE_SetObjectBody(10, 6, 1.0f);
    MVE_SetObjectBody(11, 6, 1.0f);
    MVE_SetObjectMass(11, 2.0f);
    ASSERT_EQ(MVE_GetObjectCount(1) + MVE_GetObjectCount(2), 2);

    MVE_FreeBody(6);
    EXPECT_EQ(a->pBody, nullptr);
    EXPECT_EQ(b->pBody, nullptr);
    EXPECT_EQ(MVE_GetObjectCount(1) + MVE_GetObjectCount(2), 0);
    EXPECT_EQ(MVE_IsObject(10), 1);  // the objects themselves stay

    // A body derived from the object's mesh belongs to it and goes with it.
    MVE_SetObjectBody(10, MVE_SHAPE_SPHERE, 1.0f);
    ASSERT_NE(a->pBody, nullptr);
    const int derived = a->pBody->iID;
    EXPECT_EQ(MVE_IsBody(derived), 1);
    MVE_SetObjectBody(10, MVE_SHAPE_BOX, 1.0f);
    EXPECT_EQ(MVE_IsBody(derived), 0);
    const int box = a->pBody->iID;
    MVE_FreeObject(10);
    EXPECT_EQ(MVE_IsBody(box), 0);
}
