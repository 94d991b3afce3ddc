// Every text loader against damaged copies of valid files: bytes flipped, numbers made huge or
// negative, lines cut off. A loader may refuse a file, but what it accepts must be consistent
// (every index inside its arrays), and nothing may crash. Mutations are seeded: failures repeat.
#include "Body/Body.h"
#include "Mesh/Mesh.h"
#include "TestSupport.h"
#include <random>

namespace {

using mvetest::EngineTest;
using LoaderFuzzTest = EngineTest;

const char *kBody =
    "Body: Wedge {\n"
    "  Vertices: 4 {\n    0, 0, 0\n    1, 0, 0\n    0, 1, 0\n    0, 0, 1\n  }\n"
    "  Edges: 6 {\n    0, 1\n    1, 2\n    2, 0\n    0, 3\n    1, 3\n    2, 3\n  }\n"
    "  Faces: 4 {\n    0, 2, 1\n    0, 1, 3\n    1, 2, 3\n    2, 0, 3\n  }\n"
    "}\n";

const char *kObj =
    "# quad and triangle\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\n"
    "g top\nf 1/1/1 2/2/1 3/3/1 4/1/1\nf -1/-1/-1 -2/-2/-1 -3/-3/-1\n";

// One damaged copy of text: a few random edits of the kinds real broken files show.
std::string Damage(const std::string &text, std::mt19937 &rng) {
    std::string out = text;
    static const char *inserts[] = {"-", "99999999999", "-2147483648", "4294967297", "1e39", "nan", ",", ";",
                                    "{", "}", "'", "/*", "//", "\n", "\0", "$", "%", "/"};
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < edits && !out.empty(); ++i) {
        size_t at = rng() % out.size();
        switch (rng() % 4) {
        case 0: out[at] = static_cast<char>(rng() % 256); break;
        case 1: out.insert(at, inserts[rng() % (sizeof inserts / sizeof *inserts)]); break;
        case 2: out.erase(at, 1 + rng() % 8); break;
        default: out.resize(at); break;
        }
    }
    return out;
}

void ExpectConsistent(const MVE_BODY *body) {
    ASSERT_NE(body->Node, nullptr);
    const MVE_BODY_MESH *m = body->Node->Mesh;
    ASSERT_NE(m, nullptr);
    const int vertices = m->iMaxVertex + 1;
    ASSERT_EQ(static_cast<int>(m->Vertex.size()), vertices);
    ASSERT_EQ(static_cast<int>(m->Edge.size()), m->iMaxEdge + 1);
    ASSERT_EQ(static_cast<int>(m->Face.size()), m->iMaxFace + 1);
    for (const MVE_BODY_EDGE &e : m->Edge) {
        EXPECT_TRUE(e.a >= 0 && e.a < vertices && e.b >= 0 && e.b < vertices);
    }
    for (const MVE_BODY_FACE &f : m->Face) {
        EXPECT_TRUE(f.a >= 0 && f.a < vertices && f.b >= 0 && f.b < vertices && f.c >= 0 && f.c < vertices);
    }
}

void ExpectConsistent(const MVE_MESH *mesh) {
    ASSERT_EQ(static_cast<int>(mesh->Vertex.size()), mesh->iVertices);
    ASSERT_EQ(static_cast<int>(mesh->Index.size()), mesh->iIndices);
    EXPECT_EQ(mesh->iIndices % 3, 0);
    for (int index : mesh->Index) EXPECT_TRUE(index >= 0 && index < mesh->iVertices) << index;
    for (const MVE_MESH_VERTEX &v : mesh->Vertex)
        EXPECT_TRUE(v.iGroup >= 0 && (mesh->Groups.empty() || v.iGroup < static_cast<int>(mesh->Groups.size())));
}

}  // namespace

TEST_F(LoaderFuzzTest, DamagedFilesAreRefusedOrLoadConsistently) {
    // The valid originals load, so every refusal below is the damage's doing.
    MVE_CreateBoxMesh(1, 2.0f, 1.0f, -1, "");
    ASSERT_EQ(MVE_SaveMesh(1, "box.mvm", "Box"), 1);
    const std::string mvm = mvetest::ReadFile("box.mvm");
    mvetest::WriteFile("wedge.mvb", kBody);
    mvetest::WriteFile("quad.obj", kObj);
    ASSERT_NE(BodyOf(MVE_LoadBody(2, "wedge.mvb", "")), nullptr);
    ASSERT_NE(MeshOf(MVE_LoadMesh(3, "box.mvm", "", 0)), nullptr);
    ASSERT_NE(MeshOf(MVE_LoadOBJMesh(4, "quad.obj", "")), nullptr);

    std::mt19937 rng(20261207);
    int loaded[3] = {0, 0, 0};
    for (int round = 0; round < 500; ++round) {
        mvetest::WriteFile("d.mvb", Damage(kBody, rng));
        if (MVE_BODY *body = BodyOf(MVE_LoadBody(10, "d.mvb", ""))) {
            ++loaded[0];
            ExpectConsistent(body);
        }
        mvetest::WriteFile("d.mvm", Damage(mvm, rng));
        if (MVE_MESH *mesh = MeshOf(MVE_LoadMesh(11, "d.mvm", "", 0))) {
            ++loaded[1];
            ExpectConsistent(mesh);
        }
        mvetest::WriteFile("d.obj", Damage(kObj, rng));
        if (MVE_MESH *mesh = MeshOf(MVE_LoadOBJMesh(12, "d.obj", ""))) {
            ++loaded[2];
            ExpectConsistent(mesh);
        }
        if (HasFatalFailure()) return;
    }
    // Some damage is harmless (a changed digit): the loaders must not refuse everything.
    EXPECT_GT(loaded[0], 0);
    EXPECT_GT(loaded[1], 0);
    EXPECT_GT(loaded[2], 0);
    // A refused reload keeps nothing half-made under the ID, and the originals are untouched.
    EXPECT_NE(MVE_GetBody(2), nullptr);
    ExpectConsistent(MVE_GetMesh(3));
}
