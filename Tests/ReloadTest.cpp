// Live reload through real files in the test folder: every way an editor saves, files that break or
// go away, each kind reloaded into the resource that is there, and the wait for a save to settle on
// a clock the test turns by hand.
#include "RenderFixture.h"
#include "Reload/Reload.h"
#include "Shader/Shader.h"
#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using namespace mvetest;

namespace {

uint64_t g_now = 1000;
uint64_t TestClock() { return g_now; }

// Messages of the rows of one colour in a stretch of log.
std::vector<std::string> Rows(const std::string &log, const char *color) {
    std::vector<std::string> rows;
    std::regex row(std::string("<i style='color:") + color + ";'>([^<]*)</i>");
    for (std::sregex_iterator it(log.begin(), log.end(), row), end; it != end; ++it) rows.push_back((*it)[1]);
    return rows;
}
std::vector<std::string> RedRows(const std::string &log) { return Rows(log, "#FF0000"); }

void WritePosix(const char *path, const std::string &text, int flags) {
    const int fd = ::open(path, flags, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
}

void WritePicture(const char *file, int w, int h, const std::function<std::array<uint8_t, 3>(int, int)> &color) {
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto c = color(x, y);
            std::copy(c.begin(), c.end(), rgb.begin() + (size_t(y) * size_t(w) + size_t(x)) * 3);
        }
    std::string error;
    ASSERT_EQ(MVE_PlatformWritePNG(file, rgb.data(), w, h, 3, error), 1) << error;
}

class ReloadTest : public RenderTest {
  protected:
    void SetUp() override {
        g_now = 1000;
        RenderTest::SetUp();
        if (HasFatalFailure()) return;
        MVE_Engine().Reload.pfnClock = TestClock;
        ASSERT_EQ(MVE_EnableLiveReload(1), 1);
        ASSERT_EQ(MVE_IsLiveReloadEnabled(), 1);
    }
    // A frame boundary `ms` after the last one, through the procedure programs call.
    void Flip(uint64_t ms) {
        g_now += ms;
        MVE_FlipBuffers();
    }
    // Frames until every pending save is due (a writer that never closes included); the reloads that took.
    int Settle() {
        const int before = MVE_GetReloadCount();
        Flip(0);
        Flip(100);
        Flip(1000);
        return MVE_GetReloadCount() - before;
    }
    size_t LogMark() { return ReadFile("MVE LogFile.html").size(); }
    std::string LogSince(size_t mark) {
        const std::string log = ReadFile("MVE LogFile.html");
        return mark < log.size() ? log.substr(mark) : std::string();
    }
    std::array<int, 3> Centre() {
        MVE_RenderWorld(-1);
        return At(Pixels(), width_ / 2, height_ / 2);
    }
};

std::string Paint(const char *color) { return std::string("Material: Paint { Shader: DRAWING; Color: ") + color + " }\n"; }

// One material, saved five ways in turn: each save is one reload, after which the very next frame
// shows the new colour on the box that was drawn with it all along.
TEST_F(ReloadTest, EverySavePatternReloadsOnceAndRecolours) {
    LookDown(6.0f);
    MVE_EnableSun(1);
    WriteFile("Paint.mvd", Paint("1.0, 0.0, 0.0"));
    MVE_ParseDefinitionFiles("Paint.mvd", MVE_DEFINITION_MATERIAL);
    MVE_MATERIAL *paint = MVE_Engine().Registries.Materials.GetByName("Paint");
    ASSERT_NE(paint, nullptr);
    const int handle = MVE_HandleOf(paint);
    Place(cube_, handle, {0, 0, 0}, {1.5f, 1.5f, 1.5f});
    EXPECT_EQ(Centre(), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(Settle(), 0);   // nothing saved yet

    // In place: the same bytes' places overwritten, no truncation.
    WritePosix("Paint.mvd", Paint("0.0, 1.0, 0.0"), O_WRONLY);
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(Centre(), (std::array<int, 3>{0, 255, 0}));

    // Truncated and closed, written a moment later: the empty file is never applied on its own.
    WritePosix("Paint.mvd", "", O_WRONLY | O_TRUNC);
    Flip(30);
    WritePosix("Paint.mvd", Paint("0.0, 0.0, 1.0"), O_WRONLY);
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(Centre(), (std::array<int, 3>{0, 0, 255}));

    // A temporary file renamed over the old one (a new inode under the watched name).
    WriteFile("Paint.mvd.tmp", Paint("1.0, 1.0, 0.0"));
    Flip(10);
    ASSERT_EQ(::rename("Paint.mvd.tmp", "Paint.mvd"), 0);
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(Centre(), (std::array<int, 3>{255, 255, 0}));

    // Deleted, a frame passes, created again.
    ASSERT_EQ(::unlink("Paint.mvd"), 0);
    Flip(40);
    WriteFile("Paint.mvd", Paint("0.0, 1.0, 1.0"));
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(Centre(), (std::array<int, 3>{0, 255, 255}));

    // Many events for one save: written in pieces across frames while held open, then its mode changed.
    {
        const std::string text = Paint("1.0, 0.0, 1.0");
        const int fd = ::open("Paint.mvd", O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0);
        for (size_t at = 0; at < text.size(); at += 16) {
            ASSERT_GT(::write(fd, text.data() + at, std::min<size_t>(16, text.size() - at)), 0);
            Flip(60);   // never 100 ms of quiet while the writer holds it
        }
        EXPECT_EQ(MVE_GetReloadCount(), 4);
        ::close(fd);
        ASSERT_EQ(::chmod("Paint.mvd", 0600), 0);
    }
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(Centre(), (std::array<int, 3>{255, 0, 255}));
    // Only its mode changed: nothing to read.
    ASSERT_EQ(::chmod("Paint.mvd", 0644), 0);
    EXPECT_EQ(Settle(), 0);

    // The record, its handle and its name never changed; one green row per reload names file and kind.
    EXPECT_EQ(MVE_Engine().Registries.Materials.GetByName("Paint"), paint);
    EXPECT_EQ(MVE_GetMaterial(handle), paint);
    const std::string log = ReadFile("MVE LogFile.html");
    std::regex row("Reloaded definition 'Paint.mvd' from /[^<]*Paint.mvd in [0-9.]+ ms");
    EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), row), std::sregex_iterator()), 5);
    EXPECT_TRUE(RedRows(log).empty()) << RedRows(log)[0];
}

// A definition file's sections are re-applied by name: a section gone from the file keeps its entry,
// a new one is loaded, a file that no longer reads keeps all of them (one red row naming the file),
// and a picture deleted or cut short keeps the texture until a good one is saved.
TEST_F(ReloadTest, DefinitionSectionsBrokenAndDeletedFiles) {
    LookDown(6.0f);
    MVE_EnableSun(1);
    WritePicture("a.png", 4, 4, [](int, int) { return std::array<uint8_t, 3>{10, 20, 30}; });
    WriteFile("Set.mvd", "Texture: Tex { File: a.png }\n" + Paint("1.0, 0.0, 0.0") +
                             "Material: Other { Shader: DRAWING; Color: 0.0, 1.0, 0.0 }\n");
    MVE_ParseDefinitionFiles("Set.mvd", MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    MVE_REGISTRIES &g = MVE_Engine().Registries;
    MVE_MATERIAL *paint = g.Materials.GetByName("Paint"), *other = g.Materials.GetByName("Other");
    MVE_TEXTURE *tex = g.Textures.GetByName("Tex");
    ASSERT_TRUE(paint && other && tex);
    const unsigned int glName = tex->iTexture;
    Place(cube_, MVE_HandleOf(other), {0, 0, 0}, {1.5f, 1.5f, 1.5f});

    // "Other" leaves the file, "Third" joins it, the texture's picture is another file of 8 x 2.
    WritePicture("b.png", 8, 2, [](int, int) { return std::array<uint8_t, 3>{1, 2, 3}; });
    WriteFile("Set.mvd", "Texture: Tex { File: b.png }\n" + Paint("0.0, 0.0, 1.0") +
                             "Material: Third { Shader: DRAWING; Color: 1.0, 1.0, 1.0 }\n");
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(g.Materials.GetByName("Other"), other);   // the box still draws with it
    EXPECT_EQ(Centre(), (std::array<int, 3>{0, 255, 0}));
    ASSERT_NE(g.Materials.GetByName("Third"), nullptr);
    EXPECT_FLOAT_EQ(paint->v4fColor.z, 1.0f);
    EXPECT_FLOAT_EQ(paint->v4fColor.x, 0.0f);
    EXPECT_EQ(g.Textures.GetByName("Tex"), tex);
    EXPECT_EQ(tex->iTexture, glName);
    EXPECT_EQ(tex->iWidth, 8);
    EXPECT_EQ(tex->iHeight, 2);

    // The texture now follows b.png: the picture's own save reloads it; a.png no longer matters.
    WritePicture("a.png", 2, 2, [](int, int) { return std::array<uint8_t, 3>{0, 0, 0}; });
    WritePicture("b.png", 16, 4, [](int, int) { return std::array<uint8_t, 3>{1, 2, 3}; });
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(tex->iWidth, 16);

    // Cut short: the texture keeps its 16 x 4 picture, one red row names the file; so does a
    // definition file the parser refuses as a whole (a block nested past the limit).
    const std::string png = ReadFile("b.png");
    size_t mark = LogMark();
    WriteFile("b.png", png.substr(0, png.size() / 2));
    WriteFile("Set.mvd", Paint("1.0, 1.0, 1.0") + std::string(1100, '{'));
    EXPECT_EQ(Settle(), 0);
    std::vector<std::string> red = RedRows(LogSince(mark));
    ASSERT_EQ(red.size(), 2u);
    EXPECT_NE(red[0].find("Set.mvd could not be reloaded"), std::string::npos) << red[0];
    EXPECT_NE(red[0].find("incomplete"), std::string::npos) << red[0];
    EXPECT_NE(red[1].find("b.png could not be reloaded"), std::string::npos) << red[1];
    EXPECT_NE(red[1].find("texture 'Tex'"), std::string::npos) << red[1];
    EXPECT_EQ(tex->iWidth, 16);
    EXPECT_FLOAT_EQ(paint->v4fColor.z, 1.0f);
    EXPECT_FLOAT_EQ(paint->v4fColor.x, 0.0f);

    // Deleted: a blue row, nothing changes, and nothing is tried again until the file is back.
    mark = LogMark();
    ASSERT_EQ(::unlink("Set.mvd"), 0);
    EXPECT_EQ(Settle(), 0);
    EXPECT_EQ(Settle(), 0);
    std::string log = LogSince(mark);
    EXPECT_TRUE(RedRows(log).empty());
    EXPECT_EQ(Rows(log, "#0000FF").size(), 1u);
    EXPECT_EQ(g.Materials.GetByName("Paint"), paint);
    EXPECT_EQ(Centre(), (std::array<int, 3>{0, 255, 0}));
    WriteFile("Set.mvd", "Texture: Tex { File: b.png }\n" + Paint("1.0, 1.0, 0.0"));
    WritePicture("b.png", 4, 4, [](int, int) { return std::array<uint8_t, 3>{1, 2, 3}; });
    EXPECT_EQ(Settle(), 2);   // the file, and the picture on its own save (the file's walk read it too)
    EXPECT_FLOAT_EQ(paint->v4fColor.x, 1.0f);
    EXPECT_EQ(tex->iWidth, 4);
}

// An image overwritten with another picture of another size shows the new picture on the surface
// that samples it; cube-map faces reload as one texture, and a face of another size is refused.
TEST_F(ReloadTest, TexturesCubeFacesAndArrayLayers) {
    LookDown(6.0f);
    MVE_EnableSun(0);
    WritePicture("pic.png", 4, 4, [](int, int) { return std::array<uint8_t, 3>{255, 0, 0}; });
    const int pic = MVE_LoadTextureFile(-1, "pic.png", kNearest, 0, "");
    ASSERT_NE(pic, 0);
    Place(plane_, MVE_CreateMaterial(-1, pic, 4, ""), {0, 0, 0}, {40, 1, 40});
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, width_ / 4, height_ / 2, 1, 0, 0, 1);
    EXPECT_PIXEL(rgba, 3 * width_ / 4, height_ / 2, 1, 0, 0, 1);
    // 8 x 8, green columns 0..3 and blue 4..7: the screen sees the middle of the plane, texels 3 and 4.
    WritePicture("pic.png", 8, 8, [](int x, int) { return x < 4 ? std::array<uint8_t, 3>{0, 255, 0} : std::array<uint8_t, 3>{0, 0, 255}; });
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(MVE_GetTexture(pic)->iWidth, 8);
    MVE_RenderWorld(-1);
    rgba = Pixels();
    const auto left = At(rgba, width_ / 4, height_ / 2), right = At(rgba, 3 * width_ / 4, height_ / 2);
    EXPECT_EQ(left[0] + right[0], 0);
    EXPECT_EQ(left[1] + right[1], 255);
    EXPECT_EQ(left[2] + right[2], 255);

    const MVE_GL_TABLE &gl = MVE_gl();
    auto faceTexel = [&](int texture, GLenum face) {
        std::vector<uint8_t> px(size_t(MVE_GetTexture(texture)->iWidth * MVE_GetTexture(texture)->iHeight) * 4);
        gl.glBindTexture(GL_TEXTURE_CUBE_MAP, MVE_GetTexture(texture)->iTexture);
        gl.glGetTexImage(face, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return std::array<int, 3>{px[0], px[1], px[2]};
    };
    const char *faces[6] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (int i = 0; i < 6; ++i) WritePicture(faces[i], 2, 2, [i](int, int) { return std::array<uint8_t, 3>{uint8_t(i * 40), 0, 0}; });
    const int cube = MVE_LoadCubeMapTexture(-1, ".", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5], kNearest, 0, "Sky");
    ASSERT_NE(cube, 0);
    // One face of another size: refused, the cube stays whole.
    size_t mark = LogMark();
    WritePicture("py.png", 4, 4, [](int, int) { return std::array<uint8_t, 3>{0, 9, 0}; });
    EXPECT_EQ(Settle(), 0);
    EXPECT_NE(LogSince(mark).find("Cube map faces must be square and of one size"), std::string::npos);
    EXPECT_EQ(faceTexel(cube, GL_TEXTURE_CUBE_MAP_POSITIVE_Y), (std::array<int, 3>{80, 0, 0}));
    // All six saved at once at the new size: one reload of the cube.
    for (int i = 0; i < 6; ++i) WritePicture(faces[i], 4, 4, [i](int, int) { return std::array<uint8_t, 3>{0, uint8_t(i * 40), 0}; });
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(MVE_GetTexture(cube)->iWidth, 4);
    EXPECT_EQ(faceTexel(cube, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z), (std::array<int, 3>{0, 200, 0}));

    // A layer of a texture array follows its own file; another size is refused and the layer kept.
    const int array = MVE_CreateTextureArray(-1, 2, 2, 3, kNearest, 0, "Layers");
    ASSERT_NE(array, 0);
    WritePicture("l1.png", 2, 2, [](int, int) { return std::array<uint8_t, 3>{7, 7, 7}; });
    WritePicture("l2.png", 2, 2, [](int, int) { return std::array<uint8_t, 3>{8, 8, 8}; });
    ASSERT_EQ(MVE_AddTextureToTextureArray(array, "l1.png", 1), 1);
    ASSERT_EQ(MVE_AddTextureToTextureArray(array, "l2.png", 2), 1);
    auto layers = [&] {
        std::vector<uint8_t> px(2 * 2 * 3 * 4);
        gl.glBindTexture(GL_TEXTURE_2D_ARRAY, MVE_GetTexture(array)->iTexture);
        gl.glGetTexImage(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return std::array<int, 2>{px[16], px[32]};
    };
    EXPECT_EQ(layers(), (std::array<int, 2>{7, 8}));
    WritePicture("l2.png", 2, 2, [](int, int) { return std::array<uint8_t, 3>{99, 99, 99}; });
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(layers(), (std::array<int, 2>{7, 99}));
    WritePicture("l1.png", 3, 2, [](int, int) { return std::array<uint8_t, 3>{50, 50, 50}; });
    EXPECT_EQ(Settle(), 0);
    EXPECT_EQ(layers(), (std::array<int, 2>{7, 99}));
}

// A program loaded from two files, drawn over the whole screen: a syntax error keeps the old program
// (its compile log in the red row), the fix brings the new one; a program built stage by stage
// rebuilds the same way and keeps its uniforms' slots.
TEST_F(ReloadTest, ShaderSyntaxErrorKeepsTheProgramUntilFixed) {
    const char *vs = "#version 330\nvoid main() { vec2 p = vec2(gl_VertexID & 1, gl_VertexID >> 1) * 4.0 - 1.0;\n"
                     "  gl_Position = vec4(p, 0.0, 1.0); }\n";
    auto fs = [](const char *color) {
        return std::string("#version 330\nuniform float fGain;\nout vec4 vFragColor;\nvoid main() { vFragColor = vec4(") +
               color + ") * fGain; }\n";
    };
    WriteFile("full.vert", vs);
    WriteFile("full.frag", fs("1.0, 0.0, 0.0, 1.0"));
    const int shader = MVE_LoadShader(60, 1, "full.vert", "full.frag", "Full");
    ASSERT_NE(shader, 0);
    const int manual = MVE_CreateShader(-1, 1, "Manual");
    ASSERT_EQ(MVE_LoadVertexShader(manual, "full.vert"), 1);
    ASSERT_EQ(MVE_LoadFragmentShader(manual, "full.frag"), 1);
    ASSERT_EQ(MVE_LinkShader(manual), 1);
    ASSERT_GE(MVE_AddShaderUniform(manual, 4, "fGain", 3, 0, 0, 1), 0);

    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint vao = 0;
    gl.glGenVertexArrays(1, &vao);
    auto draw = [&](int id) {
        const GLuint program = static_cast<GLuint>(MVE_GetShaderProgram(id));
        gl.glUseProgram(program);
        gl.glUniform1f(gl.glGetUniformLocation(program, "fGain"), 1.0f);
        gl.glBindVertexArray(vao);
        gl.glDisable(GL_DEPTH_TEST);
        gl.glDisable(GL_BLEND);
        gl.glDrawArrays(GL_TRIANGLES, 0, 3);
        gl.glBindVertexArray(0);
        gl.glUseProgram(0);
        return PixelAt(width_ / 2, height_ / 2) & 0xFFFFFF;
    };
    EXPECT_EQ(draw(shader), 0x0000FFu);
    EXPECT_EQ(draw(manual), 0x0000FFu);
    const int before = MVE_GetShaderProgram(shader);

    size_t mark = LogMark();
    WriteFile("full.frag", fs("0.0, 1.0, 0.0, 1.0") + "oops\n");
    EXPECT_EQ(Settle(), 0);
    const std::vector<std::string> red = RedRows(LogSince(mark));
    ASSERT_EQ(red.size(), 2u);   // one row per program using the file
    for (const std::string &row : red) {
        EXPECT_NE(row.find("full.frag could not be reloaded"), std::string::npos) << row;
        EXPECT_NE(row.find("[FragmentShader]"), std::string::npos) << row;   // the compiler's own words follow
    }
    EXPECT_EQ(MVE_GetShaderProgram(shader), before);
    EXPECT_EQ(draw(shader), 0x0000FFu);
    EXPECT_EQ(draw(manual), 0x0000FFu);

    WriteFile("full.frag", fs("0.0, 1.0, 0.0, 1.0"));
    EXPECT_EQ(Settle(), 2);
    EXPECT_EQ(draw(shader), 0x00FF00u);
    EXPECT_EQ(draw(manual), 0x00FF00u);
    EXPECT_EQ(MVE_GetShader(60), MVE_GetShader(shader));
    EXPECT_EQ(MVE_GetShaderUniform(manual, 3), gl.glGetUniformLocation(MVE_GetShaderProgram(manual), "fGain"));
    gl.glDeleteVertexArrays(1, &vao);
}

// Switched off, no watcher exists and a save changes nothing; switched on later, a save made while
// it was off is seen at once.
TEST_F(ReloadTest, OffMeansNoWatcherAndNoChange) {
    ASSERT_EQ(MVE_EnableLiveReload(0), 1);
    EXPECT_EQ(MVE_Engine().Reload.pWatcher, nullptr);
    EXPECT_EQ(MVE_IsLiveReloadEnabled(), 0);
    WriteFile("Paint.mvd", Paint("1.0, 0.0, 0.0"));
    MVE_ParseDefinitionFiles("Paint.mvd", MVE_DEFINITION_MATERIAL);
    MVE_MATERIAL *paint = MVE_Engine().Registries.Materials.GetByName("Paint");
    ASSERT_NE(paint, nullptr);
    WriteFile("Paint.mvd", Paint("0.0, 1.0, 0.0"));
    EXPECT_EQ(Settle(), 0);
    EXPECT_FLOAT_EQ(paint->v4fColor.x, 1.0f);
    ASSERT_EQ(MVE_EnableLiveReload(1), 1);
    EXPECT_EQ(Settle(), 1);
    EXPECT_FLOAT_EQ(paint->v4fColor.y, 1.0f);
}

// The other kinds follow their files the same way: an OBJ mesh, a particle-emitter file (settings,
// capacity and its inline material follow; where the program put it stays), a font and a sound.
TEST_F(ReloadTest, MeshEmitterFontAndSoundFiles) {
    WriteFile("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const int obj = MVE_LoadOBJMesh(-1, "tri.obj", "");
    ASSERT_NE(obj, 0);
    EXPECT_EQ(MVE_GetMesh(obj)->iIndices, 3);
    WriteFile("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n");
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(MVE_GetMesh(obj)->iIndices, 6);

    auto fire = [](int capacity, const char *frequency, const char *color) {
        return "ParticleEmitter: Fire {\n Emission: { MaxParticles: " + std::to_string(capacity) + "; Frequency: " +
               frequency + "; }\n Particle: { LifeTime: 2; Material: { Color: " + color + "; } }\n}\n";
    };
    WriteFile("fire.mvp", fire(40, "12.5", "0.25, 0.5, 0.75"));
    const int emitter = MVE_LoadParticleEmitter(-1, "fire.mvp");
    ASSERT_NE(emitter, 0);
    MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(emitter);
    const int ownMaterial = e->iMaterial;
    MVE_ParticleEmitterPosition(emitter, 3.0f, 4.0f, 5.0f);
    WriteFile("fire.mvp", fire(80, "30", "1.0, 0.5, 0.0"));
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(MVE_GetParticleEmitter(emitter), e);
    EXPECT_EQ(e->iMaxParticles, 80);
    EXPECT_EQ(e->Positions.size(), 81u);
    EXPECT_FLOAT_EQ(e->fFrequency, 30.0f);
    EXPECT_FLOAT_EQ(e->fLifeTime[0], 2000.0f);
    EXPECT_EQ(e->iMaterial, ownMaterial);   // the same material, reloaded
    EXPECT_FLOAT_EQ(MVE_GetMaterial(ownMaterial)->v4fColor.x, 1.0f);
    EXPECT_FLOAT_EQ(e->v4fColor.x, 1.0f);
    EXPECT_FLOAT_EQ(e->v4fPosition.x, 3.0f);
    size_t mark = LogMark();
    WriteFile("fire.mvp", fire(0, "5", "0.0, 0.0, 0.0"));
    EXPECT_EQ(Settle(), 0);
    EXPECT_NE(LogSince(mark).find("MaxParticles must be at least 1"), std::string::npos);
    EXPECT_EQ(e->iMaxParticles, 80);
    EXPECT_FLOAT_EQ(e->fFrequency, 30.0f);

    const std::string font = ReadFile(MVE_TEST_DEMO_RESOURCES "/Arial.tf");
    ASSERT_GT(font.size(), 100u);
    WriteFile("Arial.tf", font);
    const int f = MVE_LoadFont(-1, "Arial.tf");
    ASSERT_NE(f, 0);
    const size_t glyphs = MVE_GetFont(f)->Data.Glyphs.size();
    mark = LogMark();
    WriteFile("Arial.tf", font.substr(0, 12));
    EXPECT_EQ(Settle(), 0);
    EXPECT_EQ(RedRows(LogSince(mark)).size(), 1u);
    EXPECT_EQ(MVE_GetFont(f)->Data.Glyphs.size(), glyphs);
    EXPECT_NE(MVE_GetFont(f)->uTexture, 0u);
    WriteFile("Arial.tf", font);
    EXPECT_EQ(Settle(), 1);
    EXPECT_NE(MVE_GetFont(f)->uTexture, 0u);
    EXPECT_EQ(MVE_GetFont(f)->Data.Glyphs.size(), glyphs);

    const std::string ogg = ReadFile(MVE_TEST_DEMO_RESOURCES "/Hit.ogg");
    WriteFile("hit.ogg", ogg);
    const int sound = MVE_LoadSoundFile(-1, "hit.ogg", 0, "");
    ASSERT_NE(sound, 0);
    MVE_SOUND *record = MVE_GetSound(sound);
    const int samples = record->iSound;
    WriteFile("hit.ogg", "OggS broken");
    EXPECT_EQ(Settle(), 0);
    EXPECT_EQ(record->iSound, samples);
    WriteFile("hit.ogg", ogg);
    EXPECT_EQ(Settle(), 1);
    EXPECT_EQ(MVE_GetSound(sound), record);
    EXPECT_NE(record->iSound, samples);
    EXPECT_NE(record->iSound, 0);
}

}  // namespace
