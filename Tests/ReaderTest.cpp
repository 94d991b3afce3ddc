// Readers facing hostile input: FIFOs, pipes and devices, folders, sparse files past their kind's
// limit, endless lines, non-finite numbers, blocks cut at the nesting limit, meshes without a
// triangle, cut-off files and files whose headers promise more than they hold are refused at once
// with a red row naming the trouble, and nothing is registered. One test per kind of reader.
#include "GLFixture.h"
#include "TestSupport.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Mesh/Mesh.h"
#include "Platform/Platform.h"
#include "UI2D/FontFormat.h"
#include "UI2D/UI2D.h"
#include <cmath>
#include <cstring>
#include <fcntl.h>
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
class ReaderGLTest : public mvetest::GLTest {};

// A file of `bytes` that costs no disk: a hole the size of the file.
void Sparse(const std::string &path, int64_t bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ftruncate(fd, bytes), 0) << path;
    close(fd);
}

// The hostile shapes every reader meets: a FIFO nobody writes to, a pipe that never ends, an
// endless device and a folder, each named as a file of `extension`.
struct Shapes {
    int iEnds[2] = {-1, -1};
    std::vector<std::string> Paths;
    explicit Shapes(const std::string &extension) {
        EXPECT_EQ(mkfifo(("fifo" + extension).c_str(), 0600), 0);
        EXPECT_EQ(pipe(iEnds), 0);
        std::filesystem::create_directory("folder" + extension);
        Paths = {"fifo" + extension, "/dev/fd/" + std::to_string(iEnds[0]), "/dev/zero", "folder" + extension};
    }
    ~Shapes() {
        close(iEnds[0]);
        close(iEnds[1]);
    }
};

// Ogg's page checksum (CRC-32 with polynomial 04C11DB7, not reflected, starting at 0).
uint32_t OggCrc(const uint8_t *data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; i++) {
        crc ^= uint32_t(data[i]) << 24;
        for (int k = 0; k < 8; k++) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// The file with its last page's granule position set to `frames` (the length it declares).
std::string DeclaringOgg(std::string ogg, int64_t frames) {
    const size_t last = ogg.rfind("OggS");
    if (last == std::string::npos || ogg.size() - last < 27) return ogg;
    std::memcpy(&ogg[last + 6], &frames, 8);
    std::memset(&ogg[last + 22], 0, 4);
    const uint32_t crc = OggCrc(reinterpret_cast<const uint8_t *>(ogg.data() + last), ogg.size() - last);
    std::memcpy(&ogg[last + 22], &crc, 4);
    return ogg;
}

// A font of one glyph 'W' whose advance is 30000 pixels (box 1 x 1 at the atlas's corner).
std::string WideFont() {
    const uint8_t white[16] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    std::string error;
    EXPECT_EQ(MVE_PlatformWritePNG("atlas.png", white, 2, 2, 4, error), 1) << error;
    std::string glyphs;
    mvefont::PutU32(glyphs, 1);
    mvefont::PutU16(glyphs, 'W');
    for (int v : {0, 0, 1, 1, 0, 0, 30000, 0}) mvefont::PutU16(glyphs, static_cast<uint16_t>(v));
    std::string f = mvefont::Magic();
    mvefont::PutChunk(f, mvefont::kChunkAtlas, mvetest::ReadFile("atlas.png"));
    mvefont::PutChunk(f, mvefont::kChunkGlyphs, glyphs);
    mvefont::PutChunk(f, mvefont::kChunkEnd, "");
    return f;
}

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

TEST_F(ReaderTest, TextFilesPastTheirKindsLimitAreRefusedUnread) {
    const std::filesystem::path log = OpenLog();
    Sparse("big.mvd", MVE_FILE_LIMIT_DEFINITION + 1);
    Sparse("big.mvm", MVE_FILE_LIMIT_MESH + 1);
    Sparse("big.mvb", MVE_FILE_LIMIT_BODY + 1);
    Sparse("big.obj", MVE_FILE_LIMIT_OBJ + 1);
    WriteFile("defs/good.mvd", "Texture: T { File: t.png }");
    Sparse("defs/huge.mvd", MVE_FILE_LIMIT_DEFINITION + 1);
    // A mesh file past the definition limit is still a mesh: each kind has its own limit.
    Sparse("mesh-sized.mvm", MVE_FILE_LIMIT_DEFINITION + 1);
    EXPECT_EQ(MVE_ReadDefinitionFile("big.mvd"), nullptr);
    EXPECT_EQ(MVE_Engine().Definition.sLastFailure, "Fail: File too large!");
    EXPECT_EQ(MVE_LoadMesh(MVE_ID_AUTO, "big.mvm", "", 0), 0);
    EXPECT_EQ(MVE_LoadBody(MVE_ID_AUTO, "big.mvb", ""), 0);
    EXPECT_EQ(MVE_LoadOBJMesh(MVE_ID_AUTO, "big.obj", ""), 0);
    g_textures = 0;
    MVE_Engine().Definition.pLoadTexture = CountTexture;
    MVE_ParseDefinitionFiles("defs", MVE_DEFINITION_TEXTURE);
    EXPECT_EQ(g_textures, 1);
    EXPECT_EQ(MVE_LoadMesh(MVE_ID_AUTO, "mesh-sized.mvm", "", 0), 0);   // read, and not a mesh
    EXPECT_EQ(MVE_Engine().Registries.Meshes.Count(), 0u);
    EXPECT_EQ(MVE_Engine().Registries.Bodies.Count(), 0u);
    const std::string html = mvetest::ReadFile(log);
    EXPECT_EQ(Rows(html, "Fail: File too large!"), 4);   // the walk's big file, mesh, body, OBJ
    EXPECT_EQ(Rows(html, "Fail: Line 1: not a text file!"), 1);
}

TEST_F(ReaderTest, FontsFromHostileFiles) {
    const std::filesystem::path log = OpenLog();
    const Shapes shapes(".tf");
    for (const std::string &path : shapes.Paths) EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, path.c_str()), 0) << path;
    // At the limit a file is read (and is no font); one byte more and it is refused unread.
    Sparse("limit.tf", MVE_FILE_LIMIT_FONT);
    Sparse("big.tf", MVE_FILE_LIMIT_FONT + 1);
    EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, "limit.tf"), 0);
    EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, "big.tf"), 0);
    // Cut inside the atlas, and a glyph table that claims more glyphs than it holds (none).
    const std::string wide = WideFont();
    WriteFile("cut.tf", wide.substr(0, 40));
    std::string lying = mvefont::Magic(), count;
    mvefont::PutU32(count, 100000);
    mvefont::PutChunk(lying, mvefont::kChunkAtlas, mvetest::ReadFile("atlas.png"));
    mvefont::PutChunk(lying, mvefont::kChunkGlyphs, count);
    WriteFile("lying.tf", lying);
    EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, "cut.tf"), 0);
    EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, "lying.tf"), 0);
    // Thousands of damaged tables write a few rows, not thousands.
    std::string noisy = mvefont::Magic();
    for (int i = 0; i < 5000; i++) mvefont::PutChunk(noisy, mvefont::kChunkGlyphs, "");
    WriteFile("noisy.tf", noisy);
    const size_t before = mvetest::ReadFile(log).size();
    EXPECT_EQ(MVE_LoadFont(MVE_ID_AUTO, "noisy.tf"), 0);
    const std::string noise = mvetest::ReadFile(log).substr(before);
    EXPECT_EQ(Rows(noise, "has no glyph count!"), 16);
    EXPECT_EQ(Rows(noise, "Fail: Further problems of this font file are left out!"), 1);
    EXPECT_EQ(MVE_Engine().Registries.Fonts.Count(), 0u);

    const std::string html = mvetest::ReadFile(log);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read!"), 4);
    EXPECT_EQ(Rows(html, "Fail: File too large!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Not a font file (wrong magic)!"), 1);
    EXPECT_EQ(Rows(html, "Fail: Font chunk at byte 8 is truncated, reading stops there!"), 1);
    EXPECT_EQ(Rows(html, "claims 100000 glyphs but holds 0!"), 1);

    // A long line of wide glyphs is wider than any 32-bit sum: 100 000 x 30 000 pixels.
    WriteFile("wide.tf", wide);
    const int font = MVE_LoadFont(MVE_ID_AUTO, "wide.tf");
    ASSERT_NE(font, 0);
    const std::string line(100000, 'W');
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(font, line.c_str(), 1.0f), 3.0e9f);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(font, ("WW\n" + line + "\nW").c_str(), 0.5f), 1.5e9f);
}

TEST_F(ReaderTest, SoundsFromHostileFiles) {
    MVE_REQUIRE_CORPUS_FILE(std::string(MVE_TEST_CORPUS) + "/ogg/noise-6ch.ogg");
    const std::filesystem::path log = OpenLog();
    const std::string noise = mvetest::ReadFile(std::string(MVE_TEST_CORPUS) + "/ogg/noise-6ch.ogg");
    const Shapes shapes(".ogg");
    Sparse("big.ogg", MVE_FILE_LIMIT_SOUND + 1);
    // 15 KB of six channels that declare 2^40 frames (the packets hold 8576), and the same file
    // declaring fewer frames than its first page already holds.
    WriteFile("lying.ogg", DeclaringOgg(noise, int64_t(1) << 40));
    WriteFile("short.ogg", DeclaringOgg(noise, 1000));
    WriteFile("cut.ogg", noise.substr(0, noise.size() - 100));
    std::vector<std::string> paths = shapes.Paths;
    for (const char *name : {"big.ogg", "lying.ogg", "cut.ogg"}) paths.emplace_back(name);
    for (int mode : {0, MVE_SOUND_STREAM})
        for (const std::string &path : paths) EXPECT_EQ(MVE_LoadSoundFile(MVE_ID_AUTO, path.c_str(), mode, ""), 0) << path;
    EXPECT_EQ(MVE_Engine().Registries.Sounds.Count(), 0u);

    // The honest file loads and streams with its own length; a length shorter than the data is
    // believed (the end is trimmed), as the format means it.
    for (int mode : {0, MVE_SOUND_STREAM}) {
        WriteFile("honest.ogg", noise);
        const int honest = MVE_LoadSoundFile(MVE_ID_AUTO, "honest.ogg", mode, "");
        ASSERT_NE(honest, 0);
        MVE_SOUND_INFO info;
        ASSERT_EQ(MVE_PlatformGetSoundInfo(MVE_GetSound(honest)->iSound, &info), 1);
        EXPECT_EQ(info.iFrames, 8500);
        EXPECT_EQ(info.iChannels, 6);
    }
    const int trimmed = MVE_LoadSoundFile(MVE_ID_AUTO, "short.ogg", MVE_SOUND_STREAM, "");
    ASSERT_NE(trimmed, 0);
    MVE_SOUND_INFO info;
    ASSERT_EQ(MVE_PlatformGetSoundInfo(MVE_GetSound(trimmed)->iSound, &info), 1);
    EXPECT_EQ(info.iFrames, 1000);

    const std::string html = mvetest::ReadFile(log);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read!"), 8);
    EXPECT_EQ(Rows(html, "Fail: File too large!"), 2);
    EXPECT_EQ(Rows(html, "(the file declares 1099511627776 frames but its packets hold at most 8576)"), 2);
    EXPECT_EQ(Rows(html, "(the file is cut off (its last page is incomplete))"), 2);
}

TEST_F(ReaderGLTest, TexturesFromHostileFiles) {
    MVE_REQUIRE_CORPUS_FILE(std::string(MVE_TEST_CORPUS) + "/jpeg/testorig.jpg");
    const size_t textures = MVE_Engine().Registries.Textures.Count();
    const size_t logStart = mvetest::ReadFile("MVE LogFile.html").size();
    const Shapes images(".png"), raws(".mvt");
    Sparse("big.png", MVE_FILE_LIMIT_IMAGE + 1);
    Sparse("big.mvt", MVE_FILE_LIMIT_RAW_TEXTURE + 1);
    // A 1 x 1 PNG whose header says 16384 x 4096, and a JPEG of 227 x 149 whose header says 8000 x
    // 8000: both promise more pixels than their data can hold.
    const uint8_t pixel[4] = {255, 0, 0, 255};
    std::string error;
    ASSERT_EQ(MVE_PlatformWritePNG("one.png", pixel, 1, 1, 4, error), 1) << error;
    std::string png = mvetest::ReadFile("one.png");
    const uint8_t side[8] = {0, 0, 0x40, 0, 0, 0, 0x10, 0};
    std::memcpy(&png[16], side, 8);
    const uint32_t crc = mvefont::Crc32(reinterpret_cast<const unsigned char *>(png.data() + 12), 17);
    for (int k = 0; k < 4; k++) png[29 + k] = static_cast<char>(crc >> (24 - 8 * k));
    WriteFile("lying.png", png);
    std::string jpeg = mvetest::ReadFile(std::string(MVE_TEST_CORPUS) + "/jpeg/testorig.jpg");
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (size_t at : {sof + 5, sof + 7}) jpeg[at] = 0x1F, jpeg[at + 1] = 0x40;
    WriteFile("lying.jpg", jpeg);
    // A raw texture whose header gives 1000 x 1000 pixels over 3 bytes of them.
    WriteFile("lying.mvt", std::string("\xE8\x03\0\0\xE8\x03\0\0\0\0\0\0abc", 15));

    std::vector<std::string> files = images.Paths;
    for (const char *name : {"big.png", "lying.png", "lying.jpg"}) files.emplace_back(name);
    for (const std::string &file : files)
        EXPECT_EQ(MVE_LoadTextureFile(MVE_ID_AUTO, file.c_str(), MVE_IGNORE, 0, ""), 0) << file;
    ASSERT_EQ(MVE_PlatformWritePNG("good.png", pixel, 1, 1, 4, error), 1) << error;
    EXPECT_EQ(MVE_LoadCubeMapTexture(MVE_ID_AUTO, "", "good.png", "good.png", "good.png", "fifo.png", "good.png",
                                     "good.png", MVE_IGNORE, 0, ""), 0);
    const int array = MVE_CreateTextureArray(MVE_ID_AUTO, 1, 1, 2, GL_NEAREST, 0, "Layers");
    ASSERT_NE(array, 0);
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "fifo.png", 1), 0);
    EXPECT_EQ(MVE_AddTextureToTextureArray(array, "good.png", 1), 1);
    // Through definitions: none of these may stall the walk or register a texture.
    WriteFile("Textures.mvd", "Texture: A { File: fifo.png }\nTexture: B { File: fifo.mvt }\n"
                              "Texture: C { File: big.mvt }\nTexture: D { File: lying.mvt }\n"
                              "Texture: E { File: folder.mvt }\n"
                              "Material: M { Texture[0]: { File: fifo.png } }\n");
    MVE_ParseDefinitionFiles("Textures.mvd", MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    EXPECT_EQ(MVE_Engine().Registries.Textures.Count(), textures + 1);   // the array alone
    const MVE_MATERIAL *material = MVE_Engine().Registries.Materials.GetByName("M");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->Texture[0], nullptr);

    const std::string html = mvetest::ReadFile("MVE LogFile.html").substr(logStart);
    EXPECT_EQ(Rows(html, "Fail: Image not found!"), 15);
    EXPECT_EQ(Rows(html, "Reason: File cannot be read!"), 10);   // 4 shapes, cube face, layer, A, B, E, M
    EXPECT_EQ(Rows(html, "Reason: File too large!"), 2);
    EXPECT_EQ(Rows(html, "Reason: the file holds too little data for the size its header gives"), 2);
    EXPECT_EQ(Rows(html, "Reason: the file holds fewer pixels than its header gives"), 1);
}

TEST_F(ReaderGLTest, ShadersFromHostileFiles) {
    const size_t shaders = MVE_Engine().Registries.Shaders.Count();
    const size_t logStart = mvetest::ReadFile("MVE LogFile.html").size();
    const Shapes shapes(".glsl");
    Sparse("big.glsl", MVE_FILE_LIMIT_SHADER + 1);
    WriteFile("good.glsl", "#version 330\nout vec4 vFragColor;\nvoid main() { vFragColor = vec4(1.0); }\n");
    std::vector<std::string> files = shapes.Paths;
    files.emplace_back("big.glsl");
    for (const std::string &file : files) {
        EXPECT_EQ(MVE_LoadShader(MVE_ID_AUTO, 1, file.c_str(), "good.glsl", "Hostile"), 0) << file;
        EXPECT_EQ(MVE_LoadShader(MVE_ID_AUTO, 1, "good.glsl", file.c_str(), "Hostile"), 0) << file;
    }
    const int manual = MVE_CreateShader(MVE_ID_AUTO, 1, "Manual");
    ASSERT_NE(manual, 0);
    EXPECT_EQ(MVE_LoadVertexShader(manual, "fifo.glsl"), 0);
    EXPECT_EQ(MVE_LoadFragmentShader(manual, "big.glsl"), 0);
    EXPECT_EQ(MVE_Engine().Registries.Shaders.Count(), shaders + 1);
    const std::string html = mvetest::ReadFile("MVE LogFile.html").substr(logStart);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read! fifo.glsl"), 3);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read! /dev/zero"), 2);
    EXPECT_EQ(Rows(html, "Fail: File cannot be read! folder.glsl"), 2);
    EXPECT_EQ(Rows(html, "Fail: File too large! big.glsl"), 3);
}

TEST_F(ReaderTest, AnOpenedFileYieldsWhatItHeldWhenOpened) {
    WriteFile("grows.mvd", "0123456789");
    std::string failure;
    uint64_t size = 0;
    std::FILE *file = MVE_OpenRegularFile("grows.mvd", MVE_FILE_DEFINITION, failure, &size);
    ASSERT_NE(file, nullptr) << failure;
    EXPECT_EQ(size, 10u);
    // Another program appends meanwhile: the reader never sees past the size it was given.
    {
        std::ofstream more("grows.mvd", std::ios::app);
        more << std::string(100000, 'x');
    }
    char buffer[64] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    // Rewound after the file was cut to 4 bytes: it ends early instead.
    ASSERT_EQ(truncate("grows.mvd", 4), 0);
    std::rewind(file);
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 4u);
    EXPECT_EQ(std::fseek(file, 11, SEEK_SET), -1);   // no position past what it held
    std::fclose(file);
}
