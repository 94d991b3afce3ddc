// Readers facing hostile input: FIFOs, pipes and devices, endless lines, non-finite numbers,
// blocks cut at the nesting limit and meshes without a triangle are refused at once with a red
// row naming the trouble, and nothing is registered.
#include "TestSupport.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Mesh/Mesh.h"
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using mvetest::EngineTest;
using mvetest::WriteFile;

int Rows(const std::string &html, const std::string &what) {
    int n = 0;
    for (size_t p = html.find(what); p != std::string::npos; p = html.find(what, p + 1)) ++n;
    return n;
}

int g_textures = 0;
int CountTexture(int, MVE_DEFINITION_NODE *, const char *) { return ++g_textures; }

std::string Nest(int depth, const std::string &inside) { return std::string(depth, '{') + inside + std::string(depth, '}'); }

const std::string kTriangle = "Mesh: T {\n\tVertices: 3 {\n\t\t 0.0, 0.0, 0.0\n\t\t 1.0, 0.0, 0.0\n\t\t 0.0, 1.0, 0.0\n\t}\n"
                              "\tFaces: 1 {\n\t\t 0,1,2\n\t}\n";

class ReaderTest : public EngineTest {};

}  // namespace

TEST_F(ReaderTest, HostileShapesAreRefusedQuicklyWithTheirRow) {
    const std::filesystem::path log = OpenLog();
    ASSERT_EQ(mkfifo("fifo.mvm", 0600), 0);
    ASSERT_EQ(mkfifo("fifo.obj", 0600), 0);
    ASSERT_EQ(mkfifo("fifo.mvb", 0600), 0);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);   // a writer that never writes: a reader that waits never returns
    const std::string pipePath = "/dev/fd/" + std::to_string(ends[0]);

    const std::string endless(17u << 20, 'x');
    WriteFile("long.mvd", "A: " + endless);
    WriteFile("long.obj", "v 1 2 3\n" + endless);
    WriteFile("binary.mvd", std::string("A: 1;\nB: \x01\x02\x00\x03;\n", 15));
    WriteFile("inf.mvm", "Mesh: M {\n Vertices: { 0, 0, 0; 1, inf, 0; 0, 1, 0 }\n Faces: { 0, 1, 2 }\n}\n");
    WriteFile("big.mvm", "Mesh: M {\n Vertices: { 0, 0, 0; 1, 0, 0; 0, 1, 0 }\n Normals: { 0, 0, 1; 0, 0, 1; 0, 0, 1e39 }\n"
                         " Faces: { 0, 1, 2 }\n}\n");
    WriteFile("nan.obj", "v 0 0 0\nv 1 0 0\nv nan 1 0\nf 1 2 3\n");
    WriteFile("big.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n");
    WriteFile("uv.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt -inf 0\nf 1/1 2/1 3/1\n");
    WriteFile("deep.mvm", kTriangle + "\tExtra: " + Nest(MVE_DEFINITION_MAX_DEPTH + 1, "") + "\n}\n");
    WriteFile("deep.mvb", "Body: B {\n Vertices: { 0, 0, 0; 1, 0, 0; 0, 1, 0 }\n Faces: { 0, 1, 2 }\n Extra: " +
                              Nest(MVE_DEFINITION_MAX_DEPTH + 1, "") + "\n}\n");
    WriteFile("faceless.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    WriteFile("empty.obj", "");
    WriteFile("faceless.mvm", "Mesh: M {\n Vertices: { 0, 0, 0; 1, 0, 0; 0, 1, 0 }\n}\n");
    WriteFile("good.mvm", kTriangle + "}\n");

    const MVE_ENGINE &e = MVE_Engine();
    // Each hostile file, loaded as what it claims to be; none may wait, and none may register.
    for (const std::string &path : {std::string("fifo.mvm"), pipePath, std::string("/dev/zero"), std::string("."),
                                    std::string("inf.mvm"), std::string("big.mvm"), std::string("deep.mvm"),
                                    std::string("faceless.mvm"), std::string("long.mvd")})
        EXPECT_EQ(MVE_LoadMesh(MVE_ID_AUTO, path.c_str(), "", 0), 0) << path;
    for (const std::string &path : {std::string("fifo.obj"), pipePath, std::string("/dev/zero"), std::string("long.obj"),
                                    std::string("nan.obj"), std::string("big.obj"), std::string("uv.obj"),
                                    std::string("faceless.obj"), std::string("empty.obj")})
        EXPECT_EQ(MVE_LoadOBJMesh(MVE_ID_AUTO, path.c_str(), ""), 0) << path;
    for (const std::string &path : {std::string("fifo.mvb"), pipePath, std::string("deep.mvb")})
        EXPECT_EQ(MVE_LoadBody(MVE_ID_AUTO, path.c_str(), ""), 0) << path;
    EXPECT_EQ(e.Registries.Meshes.Count(), 0u);
    EXPECT_EQ(e.Registries.Bodies.Count(), 0u);
    for (const char *path : {"long.mvd", "binary.mvd", "fifo.mvm"}) EXPECT_EQ(MVE_ReadDefinitionFile(path), nullptr) << path;

    // The folder walk passes over FIFOs and reads what is really there.
    std::filesystem::create_directory("defs");
    ASSERT_EQ(mkfifo("defs/a.mvd", 0600), 0);
    WriteFile("defs/b.mvd", "Texture: B { File: b.png }");
    MVE_Engine().Definition.pLoadTexture = CountTexture;
    MVE_ParseDefinitionFiles("defs", MVE_DEFINITION_TEXTURE);
    MVE_ParseDefinitionFiles("fifo.mvm", MVE_DEFINITION_TEXTURE);
    EXPECT_EQ(g_textures, 1);

    const std::string html = mvetest::ReadFile(log);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read!"), 10);   // 3 FIFOs + 3 pipes + 2 devices + 1 folder + the walk's FIFO
    EXPECT_EQ(Rows(html, "Fail: Line 1: longer than 16 MB!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Line 2: longer than 16 MB!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Vertex 1 is not finite!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Vertex 2 is not finite!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Line 3: not a finite number!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Line 2: not a finite number!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Line 4: not a finite number!"), 1);
    EXPECT_EQ(Rows(html, "Fail: File is incomplete (nested too deep)!"), 2);
    EXPECT_EQ(Rows(html, "Fail: Mesh without a single triangle!"), 3);
    EXPECT_EQ(Rows(html, "Parse DefinitionFile: defs/a.mvd"), 0);
    EXPECT_EQ(MVE_Engine().Definition.sLastFailure, "Fail: File cannot be read!");
    close(ends[0]);
    close(ends[1]);

    // Building by hand refuses the same numbers, and a body never takes them from a mesh.
    const int mesh = MVE_LoadMesh(MVE_ID_AUTO, "good.mvm", "", 0);
    ASSERT_NE(mesh, 0);
    EXPECT_EQ(MVE_SetMeshVertex(mesh, 1, NAN, 0, 0, 1), 0);
    EXPECT_EQ(MVE_SetMeshNormal(mesh, 2, 0, INFINITY, 0), 0);
    EXPECT_EQ(MVE_SetMeshTexCoord(mesh, 0, 1e39f * 10.0f, 0), 0);
    EXPECT_EQ(MVE_SetMeshVertex(mesh, 1, 2, 0, 0, 1), 1);
    EXPECT_EQ(MVE_GetMesh(mesh)->Vertex[1].v4fVertex.x, 2.0f);
    MVE_GetMesh(mesh)->Vertex[2].v4fVertex.y = -INFINITY;   // as a careless caller could leave it
    for (int type : {MVE_SHAPE_BOX, MVE_SHAPE_SPHERE, MVE_SHAPE_MESH})
        EXPECT_EQ(MVE_CreateBodyFromMesh(MVE_ID_AUTO, mesh, type, 1.0f, ""), 0);
    EXPECT_EQ(e.Registries.Bodies.Count(), 0u);
    const std::string after = mvetest::ReadFile(log);
    EXPECT_EQ(Rows(after, "Fail: Vertex 1 is not a finite point!"), 1);
    EXPECT_EQ(Rows(after, "Fail: Vertex 2: normal is not finite!"), 1);
    EXPECT_EQ(Rows(after, "Fail: Vertex 0: texture coordinate is not finite!"), 1);
    EXPECT_EQ(Rows(after, "Fail: Vertex 2 is not a finite point!"), 3);
}
