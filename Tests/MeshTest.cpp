// Meshes: building procedures and their range checks, finishing (tangents, group table), the text
// writer's canonical layout, OBJ import (including real files of the corpus), procedural shapes.
#include "Mesh/Mesh.h"
#include "GLFixture.h"
#include "TestSupport.h"
#include <array>
#include <cmath>
#include <cstring>

namespace {

class MeshTest : public mvetest::EngineTest {
  protected:
    // Writes text to a file in the test folder and returns its name.
    std::string Obj(const std::string &name, const std::string &text) {
        mvetest::WriteFile(dir_ / name, text);
        return name;
    }
    static int Count(const std::string &haystack, const std::string &needle) {
        int n = 0;
        for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
        return n;
    }
};

void ExpectVec3(const float *v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v[0], x, tolerance);
    EXPECT_NEAR(v[1], y, tolerance);
    EXPECT_NEAR(v[2], z, tolerance);
}

// A mesh of the given corners (position, texture coordinate, normal (0, 0, 1)), triangles in order.
MVE_MESH *Build(int id, const std::vector<std::array<float, 5>> &corners, const std::vector<int> &index) {
    MVE_CreateMesh(id, "");
    MVE_SetMeshVertexCount(id, static_cast<int>(corners.size()));
    for (size_t i = 0; i < corners.size(); ++i) {
        const auto &c = corners[i];
        MVE_SetMeshVertex(id, static_cast<int>(i), c[0], c[1], c[2], 1.0f);
        MVE_SetMeshTexCoord(id, static_cast<int>(i), c[3], c[4]);
        MVE_SetMeshNormal(id, static_cast<int>(i), 0, 0, 1);
    }
    MVE_SetMeshTriangleCount(id, static_cast<int>(index.size() / 3));
    for (size_t k = 0; k < index.size() / 3; ++k)
        MVE_SetMeshTriangle(id, static_cast<int>(k), index[3 * k], index[3 * k + 1], index[3 * k + 2]);
    return MVE_GetMesh(id);
}

}  // namespace

TEST_F(MeshTest, BuildingProceduresRefuseBadNumbersWithoutWriting) {
    OpenLog();
    MVE_MESH *mesh = MeshOf(MVE_CreateMesh(3, "Built"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(IdOf(mesh), 3);
    EXPECT_EQ(MVE_SetMeshVertexCount(3, 4), 4 * 52);
    EXPECT_EQ(mesh->iVertices, 4);
    EXPECT_EQ(MVE_SetMeshTriangleCount(3, 2), 6 * 4);
    EXPECT_EQ(mesh->iIndices, 6);
    EXPECT_EQ(MVE_SetMeshVertex(3, 3, 1, 2, 3, 1), 1);
    EXPECT_EQ(mesh->Vertex[3].v4fVertex.y, 2.0f);
    EXPECT_EQ(MVE_SetMeshTriangle(3, 1, 3, 2, 1), 1);
    EXPECT_EQ(mesh->Index[3], 3);

    const std::string log0 = LogText();
    EXPECT_EQ(MVE_SetMeshVertex(3, 4, 1, 1, 1, 1), 0);        // one past the end
    EXPECT_EQ(MVE_SetMeshNormal(3, -1, 1, 1, 1), 0);
    EXPECT_EQ(MVE_SetMeshTexCoord(3, 1 << 30, 1, 1), 0);
    EXPECT_EQ(MVE_SetMeshVertexGroup(3, 4, 1), 0);
    EXPECT_EQ(MVE_SetMeshTriangle(3, 2, 0, 1, 2), 0);         // triangle number out of range
    EXPECT_EQ(MVE_SetMeshTriangle(3, 0, -1, 1, 2), 0);
    EXPECT_EQ(MVE_SetMeshVertexCount(3, -1), 0);
    EXPECT_EQ(MVE_SetMeshTriangleCount(3, -5), 0);
    EXPECT_EQ(MVE_SetMeshVertex(77, 0, 1, 1, 1, 1), 0);       // no such mesh
    EXPECT_EQ(MVE_AddMeshGroup(77, "x"), -1);
    EXPECT_EQ(MVE_FinishMesh(77), 0);
    EXPECT_EQ(MVE_SetMeshVertexCount(0x12340005, 3), 0);      // forged automatic ID
    const std::string log = LogText().substr(log0.size());
    EXPECT_EQ(Count(log, MVE_FAIL_VERTEX_RANGE), 5);
    EXPECT_EQ(Count(log, MVE_FAIL_TRIANGLE_RANGE), 1);
    EXPECT_EQ(Count(log, MVE_FAIL_COUNT), 2);
    EXPECT_EQ(Count(log, MVE_FAIL_MESH_NOT_FOUND), 4);
    EXPECT_EQ(mesh->iVertices, 4);
    EXPECT_EQ(mesh->Index[0], 0);

    // Groups: names map to their first number.
    EXPECT_EQ(MVE_AddMeshGroup(3, "a"), 0);
    EXPECT_EQ(MVE_AddMeshGroup(3, "b"), 1);
    EXPECT_EQ(MVE_AddMeshGroup(3, "a"), 0);
    EXPECT_EQ(mesh->Groups.size(), 2u);

    // Reallocation zeroes: a new count drops the old contents.
    EXPECT_EQ(MVE_SetMeshVertexCount(3, 2), 2 * 52);
    EXPECT_EQ(mesh->Vertex[1].v4fVertex.x, 0.0f);
}

TEST_F(MeshTest, FinishComputesTangentsInTextureSpace) {
    OpenLog();
    // One triangle: u runs along x.
    MVE_MESH *one = Build(1, {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}}, {0, 1, 2});
    EXPECT_EQ(MVE_FinishMesh(1), 1);
    for (const MVE_MESH_VERTEX &v : one->Vertex) ExpectVec3(v.v3fTangent, 1, 0, 0);
    EXPECT_EQ(one->iVertexArray, -1);  // no GL context: CPU work only
    EXPECT_NE(LogText().find("Vertices: 3"), std::string::npos);
    EXPECT_NE(LogText().find("Triangles: 1"), std::string::npos);

    // Two triangles sharing the edge 1-2 with different mappings: the shared corners get the
    // normalised sum of both tangents, the others their own triangle's.
    MVE_MESH *quad = Build(2, {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 2}}, {0, 1, 2, 2, 1, 3});
    MVE_FinishMesh(2);
    // Second triangle (c, b, a) = (2, 1, 3): e1 = (0,-1,0), e2 = (-1,0,0), d1 = (0,-2), d2 = (-1,-1),
    // det = -2, t = (e1 * d2.v - e2 * d1.v) / det = (1, -0.5, 0).
    const float t2[3] = {1.0f, -0.5f, 0.0f};
    float shared[3] = {1 + t2[0], t2[1], 0};
    const float length = std::sqrt(shared[0] * shared[0] + shared[1] * shared[1]);
    ExpectVec3(quad->Vertex[0].v3fTangent, 1, 0, 0);
    ExpectVec3(quad->Vertex[1].v3fTangent, shared[0] / length, shared[1] / length, 0);
    ExpectVec3(quad->Vertex[2].v3fTangent, shared[0] / length, shared[1] / length, 0);
    const float l2 = std::sqrt(t2[0] * t2[0] + t2[1] * t2[1]);
    ExpectVec3(quad->Vertex[3].v3fTangent, t2[0] / l2, t2[1] / l2, 0);

    // Without texture coordinates every determinant is exactly 0: zero tangents, no NaN.
    MVE_MESH *flat = Build(3, {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {0, 1, 2});
    MVE_FinishMesh(3);
    for (const MVE_MESH_VERTEX &v : flat->Vertex) ExpectVec3(v.v3fTangent, 0, 0, 0, 0);

    // The tangent is made orthogonal to the normal.
    MVE_MESH *tilted = Build(4, {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}}, {0, 1, 2});
    for (MVE_MESH_VERTEX &v : tilted->Vertex) v.v3fNormal[0] = 1, v.v3fNormal[1] = 0, v.v3fNormal[2] = 0;
    MVE_FinishMesh(4);
    ExpectVec3(tilted->Vertex[0].v3fTangent, 0, 0, 0, 0);

    // No triangles at all.
    MVE_CreateMesh(5, "");
    MVE_SetMeshVertexCount(5, 2);
    EXPECT_EQ(MVE_FinishMesh(5), 1);
    EXPECT_NE(LogText().find("Triangles: 0"), std::string::npos);
}

TEST_F(MeshTest, FinishRefusesIndicesOutsideTheVerticesAndOddGroupNumbers) {
    OpenLog();
    MVE_MESH *mesh = Build(1, {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}}, {0, 1, 2});
    mesh->Index[2] = 9;  // engine code writing the array directly
    EXPECT_EQ(MVE_FinishMesh(mesh), 0);
    EXPECT_NE(LogText().find("Fail: Mesh 1: triangle 0 has corner 9 outside its 3 vertices!"), std::string::npos);
    mesh->Index[2] = 2;
    mesh->Index.push_back(0);  // not a whole triangle
    EXPECT_EQ(MVE_FinishMesh(mesh), 0);
    mesh->Index.pop_back();

    // Group numbers outside 0..count-1 get no slot; the others land at their number.
    MVE_AddMeshGroup(mesh, "a");
    MVE_AddMeshGroup(mesh, "b");
    mesh->Groups[0]->iIndex = 7;
    EXPECT_EQ(MVE_FinishMesh(mesh), 1);
    ASSERT_EQ(mesh->GroupTable.size(), 2u);
    EXPECT_EQ(mesh->GroupTable[0], nullptr);
    EXPECT_EQ(mesh->GroupTable[1], mesh->Groups[1].get());
}

TEST_F(MeshTest, WriterProducesTheCanonicalLayout) {
    Build(1, {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, -1, 0, 0, 1}}, {0, 1, 2});
    ASSERT_EQ(MVE_SaveMesh(1, "tri.mvm", "Tri"), 1);
    const std::string expected =
        "Mesh: Tri {\r\n"
        "\tVertices: 3 {\r\n"
        "\t\t 0.000000, 0.000000, 0.000000\r\n"
        "\t\t 1.000000, 0.000000, 0.000000\r\n"
        "\t\t 0.000000,-1.000000, 0.000000\r\n"
        "\t}\r\n\r\n"
        "\tNormals: 3 {\r\n"
        "\t\t 0.000000, 0.000000, 1.000000\r\n"
        "\t\t 0.000000, 0.000000, 1.000000\r\n"
        "\t\t 0.000000, 0.000000, 1.000000\r\n"
        "\t}\r\n\r\n"
        "\tTextureCoords: 3 {\r\n"
        "\t\t 0.000000, 0.000000\r\n"
        "\t\t 1.000000, 0.000000\r\n"
        "\t\t 0.000000, 1.000000\r\n"
        "\t}\r\n\r\n"
        "\tFaces: 1 {\r\n"
        "\t\t 0,1,2\r\n"
        "\t}\r\n\r\n"
        "}\r\n";
    EXPECT_EQ(mvetest::ReadFile(dir_ / "tri.mvm"), expected);

    // Rounding: 6 decimals; a value that rounds to zero carries no minus sign.
    MVE_CreateMesh(2, "");
    MVE_SetMeshVertexCount(2, 1);
    MVE_SetMeshVertex(2, 0, -0.0f, -1e-7f, 2.5e-7f, 1);
    MVE_SetMeshNormal(2, 0, 123.4567891f, -0.0000006f, 1e-6f);
    ASSERT_EQ(MVE_SaveMesh(2, "round.mvm", ""), 1);
    const std::string text = mvetest::ReadFile(dir_ / "round.mvm");
    EXPECT_NE(text.find("Mesh:  {\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t 0.000000, 0.000000, 0.000000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t 123.456787,-0.000001, 0.000001\r\n"), std::string::npos);
    EXPECT_EQ(text.find("-0.000000"), std::string::npos);
    // No triangles: the count 0 and the closing brace right after.
    EXPECT_NE(text.find("\tFaces: 0 {\r\n\t}\r\n\r\n}\r\n"), std::string::npos);
}

TEST_F(MeshTest, WriterFailuresLeaveExistingFilesAlone) {
    OpenLog();
    mvetest::WriteFile(dir_ / "keep.mvm", "old");
    EXPECT_EQ(MVE_SaveMesh(42, "keep.mvm", "x"), 0);  // no such mesh: the file is not touched
    EXPECT_EQ(mvetest::ReadFile(dir_ / "keep.mvm"), "old");
    MVE_CreateMesh(1, "");
    EXPECT_EQ(MVE_SaveMesh(1, "no/such/folder/a.mvm", "x"), 0);
    EXPECT_NE(LogText().find(MVE_FAIL_CANNOT_WRITE), std::string::npos);
    EXPECT_NE(LogText().find(MVE_FAIL_MESH_NOT_FOUND), std::string::npos);
}

TEST_F(MeshTest, ObjBasicsFollowTheEngineRules) {
    OpenLog();
    // Three of each kind and one face naming all three parts.
    Obj("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0.25 0.75\nvn 0 0 1\nvn 0 1 0\nvn 1 0 0\n"
                   "f 1/1/1 2/2/2 3/3/3\n");
    MVE_MESH *mesh = MeshOf(MVE_LoadOBJMesh(1, "tri.obj", ""));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->sName, "tri.obj");
    EXPECT_EQ(mesh->iVertices, 3);
    EXPECT_EQ(mesh->Index, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(mesh->Vertex[2].v2fTexCoord[0], 0.25f);
    EXPECT_EQ(mesh->Vertex[2].v2fTexCoord[1], -0.75f);  // v is negated
    ExpectVec3(mesh->Vertex[1].v3fNormal, 0, 1, 0, 0);
    EXPECT_EQ(mesh->Vertex[1].v4fVertex.w, 1.0f);
    const std::string log = LogText();
    EXPECT_NE(log.find("Load OBJ Mesh: tri.obj"), std::string::npos);
    EXPECT_NE(log.find("Vertices: 3"), std::string::npos);
    EXPECT_NE(log.find("Triangles: 1"), std::string::npos);
    EXPECT_NE(log.find(">OK<"), std::string::npos);

    // A quad gives two triangles over its four corners; an empty texture part gives zeros; the
    // named mesh keeps its name.
    Obj("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0.5 0.5\nvn 0 0 1\nf 1//1 2//1 3//1 4//1\n");
    mesh = MeshOf(MVE_LoadOBJMesh(2, "quad.obj", "Quad"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->sName, "Quad");
    EXPECT_EQ(mesh->iVertices, 4);
    EXPECT_EQ(mesh->Index, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(mesh->Vertex[3].v2fTexCoord[0], 0.0f);
    ExpectVec3(mesh->Vertex[3].v3fNormal, 0, 0, 1, 0);

    // Groups in order of first appearance; corners before any "g" are in group 0.
    Obj("groups.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\ng first\nf 1 2 3\ng  second part \nf 3 2 1\n"
                      "g first\nf 1 3 2\n");
    mesh = MeshOf(MVE_LoadOBJMesh(3, "groups.obj", ""));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->Groups.size(), 2u);
    EXPECT_EQ(mesh->Groups[1]->sName, "second part");
    const int expected[4] = {0, 0, 1, 0};
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(mesh->Vertex[static_cast<size_t>(3 * f + c)].iGroup, expected[f]);
    EXPECT_EQ(mesh->GroupTable[1]->sName, "second part");
}

TEST_F(MeshTest, ObjAcceptsTheWaysPeopleWriteIt) {
    // Tabs and runs of spaces, CR LF, relative indices, comments after data, ignored statements,
    // a pentagon fanned into three triangles, no final line end.
    Obj("real.obj",
        "# exported\r\nmtllib x.mtl\r\no thing\r\n\tv\t0  0 0\r\nv 1 0 0 # corner\r\nv 1 1 0\r\nv 0 1 0\r\n"
        "v -1 0.5 0\r\nvt 1e-1 +2.5E-1\r\nvn 0 0 1\r\ns off\r\nusemtl red\r\n"
        "f -5/1/1 -4/1/1 -3/1/1 -2/1/1 -1/1/1   \r\nl 1 2\r\nf 1/1 2/1 3/1");
    MVE_MESH *mesh = MeshOf(MVE_LoadOBJMesh(-1, "real.obj", ""));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->iVertices, 8);
    EXPECT_EQ(mesh->Index, (std::vector<int32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 5, 6, 7}));
    EXPECT_EQ(mesh->Vertex[4].v4fVertex.x, -1.0f);
    EXPECT_EQ(mesh->Vertex[4].v4fVertex.y, 0.5f);
    EXPECT_FLOAT_EQ(mesh->Vertex[0].v2fTexCoord[0], 0.1f);
    EXPECT_FLOAT_EQ(mesh->Vertex[0].v2fTexCoord[1], -0.25f);
    EXPECT_TRUE(MVE_IsAutomaticID(mesh->iID));

    // A UTF-8 byte-order mark does not hide the first statement.
    Obj("bom.obj", "\xEF\xBB\xBFv 0 0 7\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    mesh = MeshOf(MVE_LoadOBJMesh(3, "bom.obj", ""));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Vertex[0].v4fVertex.z, 7.0f);

    // Positions named before they are defined still resolve.
    Obj("forward.obj", "f 1 2 3\nv 0 0 0\nv 2 0 0\nv 0 3 0\n");
    mesh = MeshOf(MVE_LoadOBJMesh(4, "forward.obj", ""));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Vertex[2].v4fVertex.y, 3.0f);
    EXPECT_EQ(mesh->Vertex[2].v4fVertex.w, 1.0f);

    // A file without a single triangle is no mesh: refused, nothing registered.
    Obj("empty.obj", "# nothing\n\n");
    EXPECT_EQ(MeshOf(MVE_LoadOBJMesh(5, "empty.obj", "")), nullptr);
    EXPECT_EQ(MVE_GetMesh(5), nullptr);
}

TEST_F(MeshTest, ObjRejectsBadIndicesAndTruncatedData) {
    OpenLog();
    Obj("good.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    MVE_MESH *good = MeshOf(MVE_LoadOBJMesh(1, "good.obj", "Shared"));
    ASSERT_NE(good, nullptr);
    const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + "f 0 1 2\n", "Fail: Line 5: bad face index!"},
        {head + "f 1 2 4\n", "Fail: Line 5: face index out of range!"},
        {head + "f 1 2 -4\n", "Fail: Line 5: face index out of range!"},
        {head + "f 1/2 2/1 3/1\n", "Fail: Line 5: face index out of range!"},   // texture coordinate 2
        {head + "f 1//1 2 3\n", "Fail: Line 5: face index out of range!"},      // no normals at all
        {head + "f 1 2 x\n", "Fail: Line 5: bad face index!"},
        {head + "f 1 2 3.5\n", "Fail: Line 5: bad face index!"},
        {head + "f 1 2 99999999999999\n", "Fail: Line 5: bad face index!"},
        {head + "f 1 2\n", "Fail: Line 5: face needs three corners!"},             // cut off
        {head + "f 1 2 3\nv 1 2", "Fail: Line 6: bad number!"},                      // cut off
        {"v 1 2 3abc\n", "Fail: Line 1: bad number!"},
        {"vn 1 2\n", "Fail: Line 1: bad number!"},
        {"vt\n", "Fail: Line 1: bad number!"},
        {std::string("v 0 0 0\n\0\x01\x02garbage\n", 19), "Fail: Line 2: not an OBJ text file!"},
    };
    int n = 0;
    for (const auto &[text, row] : cases) {
        const std::string file = "bad" + std::to_string(n++) + ".obj";
        Obj(file, text);
        const std::string before = LogText();
        EXPECT_EQ(MeshOf(MVE_LoadOBJMesh(1, file.c_str(), "Shared")), nullptr) << text;
        const std::string log = LogText().substr(before.size());
        EXPECT_NE(log.find(row), std::string::npos) << text << "\n" << log;
        EXPECT_EQ(log.find(">OK<"), std::string::npos);
        // Nothing registered, and the mesh already under that ID and name survives.
        EXPECT_EQ(MVE_GetMesh(1), good);
        EXPECT_EQ(MVE_Engine().Registries.Meshes.GetByName("Shared"), good);
    }
    EXPECT_EQ(MeshOf(MVE_LoadOBJMesh(2, "missing.obj", "")), nullptr);
    EXPECT_NE(LogText().find(MVE_FAIL_FILE_NOT_FOUND), std::string::npos);
    EXPECT_EQ(MeshOf(MVE_LoadOBJMesh(0x7FFF0001, "good.obj", "")), nullptr);  // forged automatic ID
    EXPECT_NE(LogText().find("Fail: This ID is not available!"), std::string::npos);
    EXPECT_EQ(MVE_Engine().Registries.Meshes.Count(), 1u);
}

TEST_F(MeshTest, ObjCorpusFilesLoadOrFailCleanly) {
    const std::filesystem::path corpus = MVE_TEST_CORPUS "/obj";
    MVE_REQUIRE_CORPUS_FILE(corpus / "COUNTS.tsv");
    struct Expected {
        const char *sFile;
        int iTriangles;  // fan triangulation
    };
    const Expected valid[] = {
        {"stanford-bunny.obj", 69451}, {"teapot.obj", 6320}, {"suzanne.obj", 968},
        {"spot_control_mesh.obj", 372}, {"cornell-box/CornellBox-Original.obj", 36}, {"mcguire-cube/cube.obj", 12},
        {"tinyobj-cube/cube.obj", 12}, {"map-bump/map-bump.obj", 400}, {"concave-polygon/concave_polygon.obj", 64},
        {"spider/spider.obj", 1368},
    };
    for (const Expected &e : valid) {
        const std::string path = (corpus / e.sFile).string();
        MVE_MESH *mesh = MeshOf(MVE_LoadOBJMesh(-1, path.c_str(), ""));
        ASSERT_NE(mesh, nullptr) << e.sFile;
        EXPECT_EQ(mesh->iIndices, 3 * e.iTriangles) << e.sFile;
        for (int32_t i : mesh->Index) ASSERT_LT(i, mesh->iVertices) << e.sFile;
    }
    // Spot checks: suzanne's corners (468 quads, 32 triangles) each a vertex of their own;
    // the Cornell box has 8 groups; the McGuire cube resolves negative full-form indices.
    MVE_MESH *suzanne = MVE_Engine().Registries.Meshes.GetByName("suzanne.obj");
    ASSERT_NE(suzanne, nullptr);
    EXPECT_EQ(suzanne->iVertices, 468 * 4 + 32 * 3);
    MVE_MESH *cornell = MVE_Engine().Registries.Meshes.GetByName("CornellBox-Original.obj");
    ASSERT_NE(cornell, nullptr);
    EXPECT_EQ(cornell->Groups.size(), 8u);
    MVE_MESH *cube = MVE_Engine().Registries.Meshes.GetByName("cube.obj");  // the later of the two cubes
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->iIndices, 36);

    const size_t before = MVE_Engine().Registries.Meshes.Count();
    for (const char *bad : {"invalid/invalid-relative-vertex-index.obj", "invalid/issue-140-zero-face-idx.obj",
                            "../misc/nonsense.bin"}) {
        const std::string path = (corpus / bad).string();
        EXPECT_EQ(MeshOf(MVE_LoadOBJMesh(-1, path.c_str(), "")), nullptr) << bad;
    }
    EXPECT_EQ(MVE_Engine().Registries.Meshes.Count(), before);
}

TEST_F(MeshTest, PlaneBoxAndSphereGeometry) {
    MVE_MESH *plane = MeshOf(MVE_CreatePlaneMesh(1, 2.0f, 1.0f, ""));
    ASSERT_NE(plane, nullptr);
    ASSERT_EQ(plane->iVertices, 6);
    EXPECT_EQ(plane->Index, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(plane->Groups.size(), 2u);
    EXPECT_EQ(plane->Groups[0]->sName, "Static");
    EXPECT_EQ(plane->Groups[1]->sName, "Dynamic");
    for (const MVE_MESH_VERTEX &v : plane->Vertex) {
        EXPECT_EQ(std::fabs(v.v4fVertex.x), 1.0f);
        EXPECT_EQ(std::fabs(v.v4fVertex.z), 1.0f);
        EXPECT_EQ(v.iGroup, v.v4fVertex.z > 0 ? 1 : 0);
        ExpectVec3(v.v3fNormal, 0, 1, 0, 0);
        EXPECT_TRUE(v.v2fTexCoord[0] == 0.0f || v.v2fTexCoord[0] == 1.0f);
    }
    EXPECT_EQ(plane->Vertex[0].v2fTexCoord[0], 1.0f);
    EXPECT_EQ(plane->Vertex[2].v2fTexCoord[1], 0.0f);

    // Box: six faces, every vertex on the cube's surface, normals pointing out of their face.
    const size_t before = MVE_Engine().Registries.Meshes.Count();
    MVE_MESH *box = MeshOf(MVE_CreateBoxMesh(2, 2.0f, 1.0f, -1, "Box"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Meshes.Count(), before + 1);  // no template plane left behind
    ASSERT_EQ(box->iVertices, 36);
    EXPECT_EQ(box->iIndices, 36);
    bool sawGroup1 = false;
    for (const MVE_MESH_VERTEX &v : box->Vertex) {
        const float p[3] = {v.v4fVertex.x, v.v4fVertex.y, v.v4fVertex.z};
        for (float c : p) EXPECT_LE(std::fabs(c), 1.0f);
        int axis = -1;
        for (int k = 0; k < 3; ++k)
            if (std::fabs(v.v3fNormal[k]) > 0.999f) axis = k;
        ASSERT_GE(axis, 0);
        EXPECT_EQ(p[axis], v.v3fNormal[axis] > 0 ? 1.0f : -1.0f);  // outward, exactly on the face
        sawGroup1 |= v.iGroup == 1;
    }
    EXPECT_TRUE(sawGroup1);
    // Every triangle winds counter-clockwise seen from outside.
    for (int t = 0; t < 12; ++t) {
        const v4f &a = box->Vertex[box->Index[3 * t]].v4fVertex, &b = box->Vertex[box->Index[3 * t + 1]].v4fVertex,
                  &c = box->Vertex[box->Index[3 * t + 2]].v4fVertex;
        const float e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const float *normal = box->Vertex[box->Index[3 * t]].v3fNormal;
        EXPECT_GT(n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2], 0.0f) << "triangle " << t;
    }
    MVE_MESH *flat = MeshOf(MVE_CreateBoxMesh(3, 2.0f, 1.0f, 0, ""));
    for (const MVE_MESH_VERTEX &v : flat->Vertex) EXPECT_EQ(v.iGroup, 0);

    // Sphere: 6 vertices and 2 triangles per cell, every point at the radius, v = 0 at +y.
    MVE_MESH *sphere = MeshOf(MVE_CreateSphereMesh(4, 2.0f, 4, 2, ""));
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->iVertices, 48);
    EXPECT_EQ(sphere->iIndices, 48);
    for (const MVE_MESH_VERTEX &v : sphere->Vertex) {
        EXPECT_NEAR(std::sqrt(v.v4fVertex.x * v.v4fVertex.x + v.v4fVertex.y * v.v4fVertex.y +
                              v.v4fVertex.z * v.v4fVertex.z), 2.0f, 1e-5f);
        if (v.v2fTexCoord[1] == 0.0f) {
            EXPECT_EQ(v.v4fVertex.y, 2.0f);
        }
    }
    EXPECT_EQ(MeshOf(MVE_CreateSphereMesh(5, 1.0f, 0, 3, "")), nullptr);
    EXPECT_EQ(MeshOf(MVE_CreateSphereMesh(5, 1.0f, 1 << 20, 1 << 20, "")), nullptr);
    EXPECT_EQ(MVE_GetMesh(5), nullptr);
}

TEST_F(MeshTest, AddMeshToMeshCopiesTransformsAndShiftsIndices) {
    MVE_CreatePlaneMesh(1, 2.0f, 1.0f, "");
    MVE_CreateMesh(2, "");
    MVE_SetMeshVertexCount(2, 3);
    MVE_SetMeshTriangleCount(2, 1);
    MVE_SetMeshTriangle(2, 0, 0, 1, 2);
    MVE_MESH *target = MVE_GetMesh(2), *plane = MVE_GetMesh(1);

    EXPECT_EQ(MVE_AddMeshToMesh(2, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, -1), 3);
    ASSERT_EQ(target->iVertices, 9);
    ASSERT_EQ(target->iIndices, 9);
    for (int i = 0; i < 6; ++i) {
        const MVE_MESH_VERTEX &s = plane->Vertex[static_cast<size_t>(i)], &d = target->Vertex[static_cast<size_t>(3 + i)];
        EXPECT_EQ(0, std::memcmp(&s.v4fVertex, &d.v4fVertex, 16));
        EXPECT_EQ(0, std::memcmp(s.v3fNormal, d.v3fNormal, 12));
        EXPECT_EQ(0, std::memcmp(s.v2fTexCoord, d.v2fTexCoord, 8));
        EXPECT_EQ(s.iGroup, d.iGroup);
        EXPECT_EQ(target->Index[static_cast<size_t>(3 + i)], plane->Index[static_cast<size_t>(i)] + 3);
    }

    // Translation, rotation about y by 90 degrees, uniform scale: (1, 0, 1) -> scaled 2 -> rotated.
    const int base = MVE_AddMeshToMesh(2, 1, 10, 0, 0, 0, 90, 0, 2, 2, 2, 5);
    const MVE_MESH_VERTEX &v = target->Vertex[static_cast<size_t>(base + 2)];  // plane corner (+1, 0, +1)
    EXPECT_FLOAT_EQ(v.v4fVertex.x, 10 + 2);
    EXPECT_FLOAT_EQ(v.v4fVertex.z, -2);
    ExpectVec3(v.v3fNormal, 0, 1, 0);
    EXPECT_EQ(v.iGroup, 5);

    // Stretching keeps normals perpendicular to the surface (inverse transpose), and uniform scale
    // gives the same normals as no scale.
    MVE_CreateMesh(3, "");
    MVE_MESH *slope = Build(4, {{0, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {0, 0, 1, 0, 0}}, {0, 1, 2});
    for (MVE_MESH_VERTEX &s : slope->Vertex) s.v3fNormal[0] = -0.70710678f, s.v3fNormal[1] = 0.70710678f, s.v3fNormal[2] = 0;
    MVE_AddMeshToMesh(3, 4, 0, 0, 0, 30, 40, 50, 1, 1, 1, -1);
    MVE_AddMeshToMesh(3, 4, 0, 0, 0, 30, 40, 50, 2, 2, 2, -1);
    MVE_AddMeshToMesh(3, 4, 0, 0, 0, 0, 0, 0, 4, 1, 1, -1);
    const MVE_MESH *out = MVE_GetMesh(3);
    EXPECT_EQ(0, std::memcmp(out->Vertex[0].v3fNormal, out->Vertex[3].v3fNormal, 12));
    const float *n = out->Vertex[6].v3fNormal;
    const v4f &p0 = out->Vertex[6].v4fVertex, &p1 = out->Vertex[7].v4fVertex;
    EXPECT_NEAR(n[0] * (p1.x - p0.x) + n[1] * (p1.y - p0.y) + n[2] * (p1.z - p0.z), 0.0f, 1e-5f);

    // Appending a mesh to itself doubles it.
    EXPECT_EQ(MVE_AddMeshToMesh(1, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, -1), 6);
    EXPECT_EQ(plane->iVertices, 12);
    EXPECT_EQ(plane->Index[11], 11);
    EXPECT_EQ(MVE_AddMeshToMesh(1, 99, 0, 0, 0, 0, 0, 0, 1, 1, 1, -1), -1);
}

TEST_F(MeshTest, MvmRoundTripAndLoaderRules) {
    OpenLog();
    // Save a built mesh with groups, load it back: 6 decimals, exact indices, groups gone.
    MVE_MESH *box = MeshOf(MVE_CreateBoxMesh(1, 1.3f, 2.0f, -1, ""));
    MVE_SetMeshTexCoord(1, 5, 0.1234564f, -7.25f);
    MVE_FinishMesh(1);  // tangents of the changed mapping, to compare with the loaded mesh's
    ASSERT_EQ(MVE_SaveMesh(1, "Box.mvm", "Box"), 1);
    MVE_MESH *loaded = MeshOf(MVE_LoadMesh(2, "Box.mvm", "", 0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->sName, "Box.mvm");
    ASSERT_EQ(loaded->iVertices, box->iVertices);
    EXPECT_EQ(loaded->Index, box->Index);
    for (size_t i = 0; i < box->Vertex.size(); ++i) {
        const MVE_MESH_VERTEX &a = box->Vertex[i], &b = loaded->Vertex[i];
        EXPECT_NEAR(a.v4fVertex.x, b.v4fVertex.x, 5e-7f);
        EXPECT_NEAR(a.v4fVertex.y, b.v4fVertex.y, 5e-7f);
        EXPECT_NEAR(a.v4fVertex.z, b.v4fVertex.z, 5e-7f);
        EXPECT_EQ(b.v4fVertex.w, 1.0f);
        ExpectVec3(b.v3fNormal, a.v3fNormal[0], a.v3fNormal[1], a.v3fNormal[2], 5e-7f);
        EXPECT_NEAR(a.v2fTexCoord[0], b.v2fTexCoord[0], 5e-7f);
        EXPECT_NEAR(a.v2fTexCoord[1], b.v2fTexCoord[1], 5e-7f);
        EXPECT_EQ(b.iGroup, 0);
        ExpectVec3(b.v3fTangent, a.v3fTangent[0], a.v3fTangent[1], a.v3fTangent[2], 1e-5f);
    }
    EXPECT_TRUE(MVE_Engine().Definition.Roots.empty());  // the parsed tree is freed

    // Saving the loaded mesh again reproduces the file byte for byte.
    ASSERT_EQ(MVE_SaveMesh(2, "Again.mvm", "Box"), 1);
    EXPECT_EQ(mvetest::ReadFile(dir_ / "Again.mvm"), mvetest::ReadFile(dir_ / "Box.mvm"));

    // Hand-written: nested section, no normals or texture coordinates, five faces, hexadecimal index,
    // a short normal list.
    mvetest::WriteFile(dir_ / "models" / "Hand.mvm",
                       "Scene {\n Mesh: Hand {\n  Vertices: 4 {\n   0,0,0\n   1,0,0\n   0,1,0\n   1,1,0\n  }\n"
                       "  Normals: 1 { 0, 0, 1 }\n"
                       "  Faces: 5 {\n   0,1,2\n   2,1,3\n   $3,2,1\n   0,2,3\n   1,2,3\n  }\n }\n}\n");
    MVE_MESH *hand = MeshOf(MVE_LoadMesh(-1, "models/Hand.mvm", "", 0));
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(hand->sName, "Hand.mvm");
    EXPECT_EQ(hand->iIndices, 15);
    EXPECT_EQ(hand->Index[6], 3);
    ExpectVec3(hand->Vertex[0].v3fNormal, 0, 0, 1, 0);
    ExpectVec3(hand->Vertex[3].v3fNormal, 0, 0, 0, 0);
    ExpectVec3(hand->Vertex[3].v3fTangent, 0, 0, 0, 0);
    EXPECT_NE(LogText().find("Triangles: 5"), std::string::npos);
    EXPECT_NE(LogText().find("Load Mesh: models/Hand.mvm"), std::string::npos);
}

TEST_F(MeshTest, MvmRejectsBrokenFilesWithoutRegistering) {
    OpenLog();
    MVE_MESH *keep = MeshOf(MVE_CreatePlaneMesh(1, 1.0f, 1.0f, "Keep"));
    const std::string vertices = "Mesh: M {\n Vertices: 3 {\n  0,0,0\n  1,0,0\n  0,1,0\n }\n";
    const std::pair<std::string, std::string> cases[] = {
        {vertices + " Faces: 2 {\n  0,1,2\n  0,1,3\n }\n}\n", "Fail: Face 1: index 3 out of range!"},
        {vertices + " Faces: 1 {\n  0,-1,2\n }\n}\n", "Fail: Face 0: index -1 out of range!"},
        // Beyond 32 bits: neither wraps round to the vertex 1 it would have named.
        {vertices + " Faces: 1 {\n  0,4294967297,2\n }\n}\n", "Fail: Face 0: index 2147483647 out of range!"},
        {vertices + " Faces: 1 {\n  -4294967295,0,2\n }\n}\n", "Fail: Face 0: index -2147483648 out of range!"},
        {" Faces: 1 {\n  0,1,2\n }\n", MVE_FAIL_FILE_NOT_FOUND},  // no Mesh section
        {"Mesh: M {\n Faces: 1 {\n  0,1,2\n }\n}\n", "Fail: Face 0: index 0 out of range!"},  // no vertices
    };
    int n = 0;
    for (const auto &[text, row] : cases) {
        const std::string file = "bad" + std::to_string(n++) + ".mvm";
        mvetest::WriteFile(dir_ / file, text);
        const std::string before = LogText();
        EXPECT_EQ(MeshOf(MVE_LoadMesh(1, file.c_str(), "Keep", 0)), nullptr) << text;
        const std::string log = LogText().substr(before.size());
        EXPECT_NE(log.find(row), std::string::npos) << log;
        EXPECT_EQ(MVE_GetMesh(1), keep);
        EXPECT_TRUE(MVE_Engine().Definition.Roots.empty());
    }
    EXPECT_EQ(MeshOf(MVE_LoadMesh(2, "missing.mvm", "", 0)), nullptr);
    const std::string noise = std::string(MVE_TEST_CORPUS) + "/misc/nonsense.bin";
    if (std::filesystem::is_directory(MVE_TEST_CORPUS)) {  // refused for its bytes, not for being absent
        ASSERT_TRUE(std::filesystem::exists(noise)) << "missing from the corpus: " << noise;
        EXPECT_EQ(MeshOf(MVE_LoadMesh(2, noise.c_str(), "", 0)), nullptr);
    }
    EXPECT_EQ(MVE_GetMesh(2), nullptr);
    EXPECT_TRUE(MVE_Engine().Definition.Roots.empty());
}

// ---------------------------------------------------------------- upload on a real (headless) context

class MeshGLTest : public mvetest::GLTest {};

TEST_F(MeshGLTest, FinishUploadsTheVertexLayoutAndReplacesOldObjects) {
    MVE_GL_TABLE &gl = MVE_gl();
    MVE_MESH *mesh = MeshOf(MVE_CreateBoxMesh(1, 2.0f, 1.0f, -1, ""));
    ASSERT_NE(mesh, nullptr);
    ASSERT_GT(mesh->iVertexArray, 0);
    ASSERT_GT(mesh->iVertexBuffer, 0);
    ASSERT_GT(mesh->iIndexBuffer, 0);
    const GLuint vao = static_cast<GLuint>(mesh->iVertexArray), vbo = static_cast<GLuint>(mesh->iVertexBuffer),
                 ebo = static_cast<GLuint>(mesh->iIndexBuffer);

    // The buffers hold exactly the CPU arrays: reading back the full size raises no error.
    gl.glBindVertexArray(vao);
    GLint boundEbo = 0;
    gl.glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &boundEbo);
    EXPECT_EQ(static_cast<GLuint>(boundEbo), ebo);  // recorded in the vertex array
    std::vector<MVE_MESH_VERTEX> vertices(mesh->Vertex.size());
    gl.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl.glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertices.size() * 52), vertices.data());
    std::vector<int32_t> index(mesh->Index.size());
    gl.glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(index.size() * 4), index.data());
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(0, std::memcmp(vertices.data(), mesh->Vertex.data(), vertices.size() * 52));
    EXPECT_EQ(index, mesh->Index);

    // Attribute layout: location, components, type, offset; the group goes through the float path.
    struct Attribute {
        GLuint iLocation;
        GLint iSize, iType;
        size_t iOffset;
    };
    const Attribute layout[] = {{0, 4, GL_FLOAT, 0}, {1, 3, GL_FLOAT, 16}, {2, 2, GL_FLOAT, 40},
                                {6, 3, GL_FLOAT, 28}, {7, 1, GL_INT, 48}};
    for (const Attribute &a : layout) {
        GLint enabled = 0, size = 0, type = 0, stride = 0, normalized = 1, integer = 1;
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &normalized);
        gl.glGetVertexAttribiv(a.iLocation, GL_VERTEX_ATTRIB_ARRAY_INTEGER, &integer);
        EXPECT_EQ(enabled, 1) << a.iLocation;
        EXPECT_EQ(size, a.iSize) << a.iLocation;
        EXPECT_EQ(type, a.iType) << a.iLocation;
        EXPECT_EQ(stride, 52) << a.iLocation;
        EXPECT_EQ(normalized, 0) << a.iLocation;
        EXPECT_EQ(integer, 0) << a.iLocation;
    }
    gl.glBindVertexArray(0);

    // Re-finishing makes new objects and deletes the old ones (a name handed out again proves its
    // old object was deleted); freeing deletes the new ones.
    EXPECT_EQ(MVE_FinishMesh(1), 1);
    const GLuint names[3] = {static_cast<GLuint>(mesh->iVertexArray), static_cast<GLuint>(mesh->iVertexBuffer),
                             static_cast<GLuint>(mesh->iIndexBuffer)};
    EXPECT_TRUE(gl.glIsVertexArray(names[0]));
    EXPECT_TRUE(vao == names[0] || !gl.glIsVertexArray(vao));
    for (GLuint old : {vbo, ebo}) EXPECT_TRUE(old == names[1] || old == names[2] || !gl.glIsBuffer(old));
    MVE_FreeMesh(1);
    EXPECT_FALSE(gl.glIsVertexArray(names[0]));
    EXPECT_FALSE(gl.glIsBuffer(names[1]));
    EXPECT_FALSE(gl.glIsBuffer(names[2]));

    // An empty mesh uploads empty buffers.
    MVE_CreateMesh(2, "");
    EXPECT_EQ(MVE_FinishMesh(2), 1);
    EXPECT_GT(MVE_GetMesh(2)->iIndexBuffer, 0);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Triangles may come before the vertices they name; the corners are checked where the mesh is used,
// and a mesh whose corners stay outside its vertices is refused there by name, never drawn or saved.
TEST_F(MeshTest, TrianglesMayBeSetBeforeTheirVertices) {
    OpenLog();
    const int mesh = MVE_CreateMesh(-1, "Wedge");
    ASSERT_NE(mesh, 0);
    EXPECT_EQ(MVE_SetMeshTriangleCount(mesh, 2), 24);
    EXPECT_EQ(MVE_SetMeshTriangle(mesh, 0, 0, 1, 2), 1);
    EXPECT_EQ(MVE_SetMeshTriangle(mesh, 1, 2, 1, 3), 1);  // shares an edge with the first
    EXPECT_EQ(MVE_SetMeshTriangle(mesh, 1, 2, -1, 3), 0);  // a negative corner can never become valid
    EXPECT_EQ(MVE_SetMeshVertexCount(mesh, 3), 156);
    const float corners[4][3] = {{0, 0, 0}, {3, 0, 0}, {0, 0.5f, 0}, {3, 0.5f, -2}};
    for (int v = 0; v < 3; ++v) MVE_SetMeshVertex(mesh, v, corners[v][0], corners[v][1], corners[v][2], 1);

    // Corner 3 is still missing: finishing, saving, appending and bodies refuse it by name.
    EXPECT_EQ(MVE_FinishMesh(mesh), 0);
    EXPECT_EQ(MVE_SaveMesh(mesh, "wedge.mvm", "Wedge"), 0);
    EXPECT_FALSE(std::filesystem::exists("wedge.mvm"));
    EXPECT_EQ(MVE_CreateBodyFromMesh(-1, mesh, MVE_SHAPE_MESH, 1.0f, ""), 0);
    const int target = MVE_CreateMesh(-1, "");
    EXPECT_EQ(MVE_AddMeshToMesh(target, mesh, 0, 0, 0, 0, 0, 0, 1, 1, 1, -1), -1);
    EXPECT_EQ(Count(LogText(), "Fail: Mesh 'Wedge': triangle 1 has corner 3 outside its 3 vertices!"), 4);

    // Once the vertex exists, everything works and the shared edge merges in the body.
    EXPECT_EQ(MVE_SetMeshVertexCount(mesh, 4), 208);  // zeroes the vertices: set them again
    for (int v = 0; v < 4; ++v) MVE_SetMeshVertex(mesh, v, corners[v][0], corners[v][1], corners[v][2], 1);
    EXPECT_EQ(MVE_FinishMesh(mesh), 1);
    EXPECT_EQ(MVE_SaveMesh(mesh, "wedge.mvm", "Wedge"), 1);
    const int body = MVE_CreateBodyFromMesh(-1, mesh, MVE_SHAPE_MESH, 1.0f, "");
    ASSERT_NE(body, 0);
    const MVE_BODY *b = MVE_GetBody(body);
    ASSERT_TRUE(b->Node && b->Node->Mesh);
    EXPECT_EQ(b->Node->Mesh->iMaxVertex + 1, 4);
    EXPECT_EQ(b->Node->Mesh->iMaxEdge + 1, 5);
    EXPECT_EQ(b->Node->Mesh->iMaxFace + 1, 2);
}
