// Shader programs on the headless context: reflection over GLSL text, refusal of GLSL that does
// not compile, the built-in library, the shared buffers and release.
#include "GLFixture.h"
#include "Shader/ShaderPrivate.h"
#include <algorithm>
#include <cmath>
#include <regex>

using namespace mvetest;

namespace {

class ShaderTest : public GLTest {
  protected:
    // Rows written since `mark` (a log position).
    std::string LogSince(size_t mark) {
        std::string log = ReadFile("MVE LogFile.html");
        return mark < log.size() ? log.substr(mark) : std::string();
    }
    size_t LogMark() { return ReadFile("MVE LogFile.html").size(); }
    static int Catch(const std::string &vs, const std::string &fs, const char *name, int type = 0) {
        return MVE_CatchShader(type, 1, 1, vs.data(), vs.data() + vs.size(), fs.data(), fs.data() + fs.size(), name);
    }
    // Messages of the red rows in a stretch of log.
    static std::vector<std::string> RedRows(const std::string &log) {
        std::vector<std::string> rows;
        std::regex red("<i style='color:#FF0000;'>([^<]*)</i>");
        for (std::sregex_iterator it(log.begin(), log.end(), red), end; it != end; ++it) rows.push_back((*it)[1]);
        return rows;
    }
    static GLint ActiveAttribute(GLuint program, const char *name) { return MVE_gl().glGetAttribLocation(program, name); }
};

// Two vertex uniforms (one a sampler, which gets no slot), three fragment ones; an attribute whose
// declaration spans two lines; the Projection block declared in both stages.
const char *kReflectVertex = R"(#version 330
layout(std140) uniform Projection { mat4 mProjectionMatrix; };
layout(std140) uniform Model { mat4 mModelViewMatrix; mat3 mNormalMatrix; };
uniform float fWave;
uniform sampler2D HeightMap;
uniform mat4 mExtra;
layout(location = 5) in vec4 vVertex;
layout(location = 3)
  in vec2 vSplit;
out vec2 vTexCoord;
void main() {
    vTexCoord = vSplit + texture(HeightMap, vSplit).rg * fWave;
    gl_Position = mProjectionMatrix * mExtra * mModelViewMatrix * vVertex;
}
)";
const char *kReflectFragment = R"(#version 330
layout(std140) uniform Projection { mat4 mProjectionMatrix; };
uniform sampler2D ColorMap;
uniform vec3 vTint;
uniform int iMode;
in vec2 vTexCoord;
layout(location = 2) out vec4 vFragColor;
void main() {
    vFragColor = texture(ColorMap, vTexCoord) * vec4(vTint, 1.0) * float(iMode) + mProjectionMatrix[0];
}
)";

TEST_F(ShaderTest, ReflectionBindsAttributesOutputsBlocksAndNumbersSlotsAcrossStages) {
    const int handle = Catch(kReflectVertex, kReflectFragment, "Reflect");
    ASSERT_NE(handle, 0);
    MVE_SHADER *shader = MVE_GetShader(handle);
    ASSERT_NE(shader, nullptr);
    const GLuint program = shader->uProgram;
    const MVE_GL_TABLE &gl = MVE_gl();

    // One-line declaration: bound (and its layout agrees); two-line one: only its layout qualifier.
    const auto attributes = MVE_FindShaderLocations(kReflectVertex, 0);
    ASSERT_EQ(attributes.size(), 1u);
    EXPECT_EQ(attributes[0], std::make_pair(5, std::string("vVertex")));
    const auto outputs = MVE_FindShaderLocations(kReflectFragment, 1);
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0], std::make_pair(2, std::string("vFragColor")));
    EXPECT_EQ(ActiveAttribute(program, "vVertex"), 5);
    EXPECT_EQ(ActiveAttribute(program, "vSplit"), 3);
    EXPECT_EQ(gl.glGetFragDataLocation(program, "vFragColor"), 2);

    // Slots: fWave 0, mExtra 1 (the vertex sampler gets none), then ColorMap 2, vTint 3, iMode 4.
    ASSERT_EQ(shader->Slots.size(), 5u);
    const char *names[] = {"fWave", "mExtra", "ColorMap", "vTint", "iMode"};
    for (int slot = 0; slot < 5; slot++) {
        EXPECT_EQ(MVE_GetShaderUniform(handle, slot), gl.glGetUniformLocation(program, names[slot])) << names[slot];
        EXPECT_GE(MVE_GetShaderUniform(handle, slot), 0) << names[slot];
    }
    EXPECT_EQ(shader->Samplers.size(), 1u);   // ColorMap
    EXPECT_EQ(shader->Floats.size(), 1u);
    EXPECT_EQ(shader->Matrices4.size(), 1u);
    EXPECT_EQ(shader->Vectors.size(), 1u);
    EXPECT_EQ(shader->Integers.size(), 1u);
    EXPECT_EQ(shader->Slots[2]->iC, 1);
    EXPECT_EQ(shader->Slots[2]->iB, 0);
    EXPECT_EQ(shader->Slots[2]->iAB, 0);

    // Blocks: Projection and Model at their binding points, each once.
    GLint binding = -1;
    gl.glGetActiveUniformBlockiv(program, gl.glGetUniformBlockIndex(program, "Projection"), GL_UNIFORM_BLOCK_BINDING, &binding);
    EXPECT_EQ(binding, 0);
    gl.glGetActiveUniformBlockiv(program, gl.glGetUniformBlockIndex(program, "Model"), GL_UNIFORM_BLOCK_BINDING, &binding);
    EXPECT_EQ(binding, 1);

    EXPECT_EQ(shader->iType, 0);
    EXPECT_EQ(shader->iRenderGroup, 1);
    const auto &group = MVE_Engine().Shader.RenderGroups[1];
    EXPECT_EQ(std::count(group.begin(), group.end(), shader), 1);
    MVE_AddShaderToRenderGroup(1, handle);   // already there: not a second time
    EXPECT_EQ(std::count(group.begin(), group.end(), shader), 1);

    // Freeing deletes the program with its stages and leaves the render list.
    MVE_FreeShader(handle);
    EXPECT_EQ(MVE_GetShader(handle), nullptr);
    EXPECT_EQ(gl.glIsProgram(program), GL_FALSE);
    EXPECT_EQ(std::count(group.begin(), group.end(), shader), 0);
}

TEST_F(ShaderTest, GLSLThatDoesNotCompileIsRefusedAndKeepsTheEarlierProgram) {
    const std::string vs = "#version 330\nin vec4 vVertex;\nvoid main() { gl_Position = vVertex; }\n";
    const std::string fs = "#version 330\nout vec4 vFragColor;\nvoid main() { vFragColor = vec4(1.0); }\n";
    const std::string broken = "#version 330\nout vec4 vFragColor;\nvoid main() { vFragColor = undefinedThing; }\n";

    size_t mark = LogMark();
    const int first = Catch(vs, fs, "Keeper", 3);
    ASSERT_NE(first, 0);
    std::string log = LogSince(mark);
    EXPECT_NE(log.find("Keeper [VertexShader]: Compiling successfull!"), std::string::npos);
    EXPECT_NE(log.find("Keeper [FragmentShader]: Compiling successfull!"), std::string::npos);
    EXPECT_TRUE(RedRows(log).empty());
    const GLuint program = MVE_GetShader(first)->uProgram;

    // Same name, broken fragment stage: red rows, 0, and the first entry is still registered,
    // still the built-in program 3 and still a linked program.
    mark = LogMark();
    EXPECT_EQ(Catch(vs, broken, "Keeper", 3), 0);
    log = LogSince(mark);
    const std::vector<std::string> red = RedRows(log);
    ASSERT_GE(red.size(), 2u);
    EXPECT_EQ(red[0].rfind("Keeper [FragmentShader]: ", 0), 0u) << red[0];
    EXPECT_NE(red[0].find("undefinedThing"), std::string::npos) << red[0];
    EXPECT_EQ(red.back().rfind("Fail:", 0), 0u);
    EXPECT_EQ(log.find("Loaded double"), std::string::npos);
    ASSERT_NE(MVE_GetShader(first), nullptr);
    EXPECT_EQ(MVE_GetBuiltinShaderHandle(3), first);
    GLint linked = 0;
    MVE_gl().glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);

    // A static ID keeps its program the same way through the file loader; a missing file is a red row.
    WriteFile("good.vert", vs);
    WriteFile("good.frag", fs);
    WriteFile("bad.frag", broken);
    const int fixed = MVE_LoadShader(40, 1, "good.vert", "good.frag", "Static");
    ASSERT_NE(fixed, 0);
    EXPECT_EQ(MVE_LoadShader(40, 1, "good.vert", "bad.frag", "Other"), 0);
    EXPECT_EQ(MVE_GetShader(40), MVE_GetShader(fixed));
    EXPECT_EQ(MVE_GetShader(40)->sName, "Static");
    mark = LogMark();
    EXPECT_EQ(MVE_LoadShader(41, 1, "missing.vert", "good.frag", "Missing"), 0);
    EXPECT_EQ(MVE_GetShader(41), nullptr);
    EXPECT_EQ(RedRows(LogSince(mark)).size(), 1u);

    // The step-by-step path reports the broken stage and refuses to link.
    const int manual = MVE_CreateShader(-1, 1, "Manual");
    ASSERT_NE(manual, 0);
    EXPECT_EQ(MVE_CatchVertexShader(manual, vs.data(), vs.data() + vs.size()), 1);
    EXPECT_EQ(MVE_CatchFragmentShader(manual, broken.data(), broken.data() + broken.size()), 0);
    EXPECT_EQ(MVE_LinkShader(manual), 0);
    EXPECT_EQ(MVE_CatchVertexShader(0x7FFF0001, vs.data(), vs.data() + vs.size()), 0);   // unknown shader
}

TEST_F(ShaderTest, EveryBuiltInProgramBuildsWithoutARedRowOrWarning) {
    const std::string log = ReadFile("MVE LogFile.html");
    EXPECT_TRUE(RedRows(log).empty()) << RedRows(log)[0];
    // Every compile row of the start-up sets reads clean (no warning text from the driver).
    std::regex row("\\[(Vertex|Fragment)Shader\\]: ([^<]*)</i>");
    int rows = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), row), end; it != end; ++it, ++rows)
        EXPECT_EQ((*it)[2], "Compiling successfull!");
    EXPECT_EQ(rows, 2 * 21);
    const size_t section2D = log.find(">2D Shader</big>"), section3D = log.find(">3D Shader</big>");
    const size_t buffers = log.find(">Uniform Buffer</big>");
    ASSERT_NE(buffers, std::string::npos);
    ASSERT_NE(section2D, std::string::npos);
    ASSERT_NE(section3D, std::string::npos);
    EXPECT_LT(buffers, section2D);
    EXPECT_LT(section2D, log.find("Textured Sprite [VertexShader]"));
    EXPECT_LT(log.find("Masked Sprite [FragmentShader]"), section3D);
    // Build order of the 3D set.
    const char *order[] = {"Drawing", "Default", "Draw Mesh", "Textures", "Normal Mapping", "Specular Normal Mapping",
                           "Reflection Normal Mapping", "Texture Array", "Grass", "Normal Mapping Silhouette",
                           "Parallax Mapping", "Specular Parallax Mapping", "Water", "Mask Refraction", "Mesh Glow",
                           "Skybox", "Particle", "Soft Particle", "Billboard"};
    size_t at = section3D;
    for (const char *name : order) {
        const size_t next = log.find(std::string(">") + name + " [VertexShader]", at);
        EXPECT_NE(next, std::string::npos) << name;
        if (next != std::string::npos) at = next;
    }
    for (const char *buffer : {"[Buffer] Projection:", "[Buffer] Model:", "[Buffer] Material:", "[Buffer] Light:", "[Buffer] Misc:"})
        EXPECT_NE(log.find(buffer), std::string::npos) << buffer;

    // Table: number, group, type and the slots the drawing code relies on.
    struct Expect { int number, group; std::vector<const char *> slots; };
    const Expect table[] = {
        {1, 1, {"vColor"}}, {2, 1, {}}, {3, 1, {"vColor"}}, {4, 1, {"ColorMap", "vColor"}},
        {5, 0, {"ColorMap", "NormalMap"}}, {6, 0, {"mViewMatrix", "ColorMap", "NormalMap", "ReflectionCubeMap"}},
        {7, 1, {"NormalMap"}}, {8, 0, {"ColorMap", "NormalMap", "SpecularMap"}},
        {9, 0, {"ColorMap", "NormalMap", "SpecularMap"}}, {10, 0, {"ColorMap", "NormalMap", "SpecularMap", "vWind"}},
        {11, 0, {"ColorMap", "NormalMap"}}, {12, 0, {"ColorMap", "NormalMap", "SpecularMap"}},
        {13, 2, {"ColorMap", "NormalMapA", "NormalMapB", "ReflectionCubeMap", "DepthMap", "LDepthMap", "vOffset",
                 "fFogDepth", "vLightDir", "mViewMatrix"}},
        {15, 2, {"ColorMap", "DepthMap", "NormalMap", "MaskMap", "vOffset"}}, {16, 2, {"DepthMap", "fScale"}},
        {18, 2, {"ColorCubeMap", "MaskMap", "vColor"}}, {19, -1, {"ColorMap", "DepthMap"}},
        {20, -1, {"ColorMap", "DepthMap", "fBlend"}},
        {21, -1, {"ColorMap", "InstancesTextureBuffer", "iProjectionMode"}},
        {24, 7, {"ColorMap", "vColor"}}, {25, 7, {"ColorMap", "MaskMap", "vColor"}}};
    for (const Expect &e : table) {
        MVE_SHADER *shader = MVE_GetBuiltinShader(e.number);
        ASSERT_NE(shader, nullptr) << e.number;
        EXPECT_EQ(shader->iType, e.number);
        EXPECT_EQ(shader->iRenderGroup, e.group) << e.number;
        GLint linked = 0;
        MVE_gl().glGetProgramiv(shader->uProgram, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE) << e.number;
        for (size_t slot = 0, k = 0; k < e.slots.size(); slot++) {
            // Program 21 declares DepthMap (slot 1) without using it; skip that one.
            if (e.number == 21 && slot == 1) continue;
            EXPECT_GE(MVE_GetShaderUniform(MVE_GetBuiltinShaderHandle(e.number), static_cast<int>(slot)), 0) << e.number << " " << e.slots[k];
            EXPECT_EQ(MVE_GetShaderUniform(MVE_GetBuiltinShaderHandle(e.number), static_cast<int>(slot)),
                      MVE_gl().glGetUniformLocation(shader->uProgram, e.slots[k]))
                << e.number << " " << e.slots[k];
            k++;
        }
    }
    for (int unused : {14, 17, 22, 23}) EXPECT_EQ(MVE_GetBuiltinShader(unused), nullptr);
    EXPECT_NE(MVE_Engine().Shader.Copy.uProgram, 0u);

    // The engine programs of the lighting and shadow passes build as well.
    for (int which = 0; which < MVE_EP_COUNT; which++) {
        MVE_GL_PROGRAM program;
        EXPECT_EQ(MVE_BuildEngineProgram(static_cast<MVE_ENGINE_PROGRAM>(which), &program, "ShaderTest"), 1) << which;
        MVE_DeleteEngineProgram(&program);
    }
    EXPECT_TRUE(RedRows(ReadFile("MVE LogFile.html")).empty());
}

// The sun program over a hand-filled G-Buffer, against the lighting formulas worked by hand:
// a face turned towards the sun is lit, one turned away gets ambient and emission only, a tilted
// face shows the sun's highlight towards the eye, emission counts once, and a pixel without
// geometry keeps what was there.
TEST_F(ShaderTest, SunProgramLightsFacesTurnedTowardsTheSunAndAddsEmissionOnce) {
    const int w = width_, h = height_;
    const MVE_GL_TABLE &gl = MVE_gl();
    // Columns: [0, 80) normal up, [80, 160) tilted to the eye, [160, 240) normal down, [240, 320) nothing drawn.
    auto region = [](int x) { return x < 80 ? 0 : x < 160 ? 1 : x < 240 ? 2 : 3; };
    const float s2 = std::sqrt(0.5f);
    const float normals[4][4] = {{0, 1, 0, 8}, {0, s2, s2, 8}, {0, -1, 0, 8}, {0, 1, 0, 8}};
    std::vector<float> maps[5];
    for (auto &m : maps) m.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const size_t i = (static_cast<size_t>(y) * w + x) * 4;
            const int r = region(x);
            const float position[4] = {0, 0, -5, 0}, diffuse[4] = {0.5f, 0.4f, 0.3f, 0.2f};
            const float specular[4] = {0.2f, 0.2f, 0.2f, 0.5f}, misc[4] = {0, 0, 0, r == 3 ? 0.0f : 1.0f};
            for (int c = 0; c < 4; c++) {
                maps[0][i + c] = position[c];
                maps[1][i + c] = normals[r][c];
                maps[2][i + c] = diffuse[c];
                maps[3][i + c] = specular[c];
                maps[4][i + c] = misc[c];
            }
        }
    GLuint textures[5];
    gl.glGenTextures(5, textures);
    for (int t = 0; t < 5; t++) {
        gl.glActiveTexture(GL_TEXTURE0 + t);
        gl.glBindTexture(GL_TEXTURE_2D, textures[t]);
        gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, w, h, 0, GL_RGBA, GL_FLOAT, maps[t].data());
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    const float quad[] = {0, 0, 0, 1, 0, static_cast<float>(h), 0, 1, static_cast<float>(w), 0, 0, 1,
                          static_cast<float>(w), static_cast<float>(h), 0, 1};
    GLuint vao = 0, vbo = 0;
    gl.glGenVertexArrays(1, &vao);
    gl.glBindVertexArray(vao);
    gl.glGenBuffers(1, &vbo);
    gl.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl.glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
    gl.glEnableVertexAttribArray(0);

    auto draw = [&](MVE_ENGINE_PROGRAM which) {
        MVE_GL_PROGRAM program;
        EXPECT_EQ(MVE_BuildEngineProgram(which, &program, "ShaderTest"), 1);
        MVE_BindScreen();
        gl.glDisable(GL_BLEND);
        gl.glDisable(GL_DEPTH_TEST);
        gl.glDisable(GL_CULL_FACE);
        gl.glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        gl.glUseProgram(program.uProgram);
        const float ambient[4] = {0.1f, 0.1f, 0.1f, 1.0f}, up[3] = {0, 1, 0}, colour[3] = {1.0f, 0.9f, 0.8f};
        gl.glUniform4fv(program.Locations[MVE_DL_AMBIENT_COLOR], 1, ambient);
        gl.glUniform3fv(program.Locations[MVE_DL_LIGHT_DIRECTION], 1, up);   // towards the sun
        gl.glUniform3fv(program.Locations[MVE_DL_LIGHT_COLOR], 1, colour);
        gl.glUniform1f(program.Locations[MVE_DL_LIGHT_INTENSITY], 1.0f);
        gl.glBindVertexArray(vao);
        gl.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        gl.glUseProgram(0);
        MVE_DeleteEngineProgram(&program);
        return Pixels();
    };
    auto expectPixel = [&](const std::vector<uint8_t> &rgba, int x, const float want[3], const char *what) {
        const size_t i = (static_cast<size_t>(h / 2) * w + x) * 4;
        for (int c = 0; c < 3; c++) EXPECT_NEAR(rgba[i + c] / 255.0f, want[c], 2.5f / 255.0f) << what << " channel " << c;
    };
    // base = diffuse * emission + ambient * diffuse = diffuse * 0.3
    const float base[3] = {0.15f, 0.12f, 0.09f};
    // up: + diffuse * 1 * light colour; tilted: + (diffuse * cos 45 + 0.2 * 0.5 highlight) * light colour
    const float lit[3] = {0.15f + 0.5f, 0.12f + 0.4f * 0.9f, 0.09f + 0.3f * 0.8f};
    const float tilted[3] = {0.15f + (0.5f * s2 + 0.1f), 0.12f + (0.4f * s2 + 0.1f) * 0.9f, 0.09f + (0.3f * s2 + 0.1f) * 0.8f};
    const float background[3] = {0, 0, 1};

    std::vector<uint8_t> sun = draw(MVE_EP_DIRECT_SUN);
    expectPixel(sun, 40, lit, "facing the sun");
    expectPixel(sun, 120, tilted, "tilted towards the eye");
    expectPixel(sun, 200, base, "turned away");
    expectPixel(sun, 280, background, "no geometry");
    std::vector<uint8_t> dark = draw(MVE_EP_DIRECT_AMBIENT);
    for (int x : {40, 120, 200}) expectPixel(dark, x, base, "sun off");
    expectPixel(dark, 280, background, "no geometry, sun off");

    gl.glBindVertexArray(0);
    gl.glDeleteVertexArrays(1, &vao);
    gl.glDeleteBuffers(1, &vbo);
    gl.glDeleteTextures(5, textures);
}

TEST_F(ShaderTest, SharedBuffersHoldTheCameraProjectionAndScreenSize) {
    const MVE_SHADER_STATE &s = MVE_Engine().Shader;
    const int sizes[] = {128, 112, 48, 52, 16};
    const MVE_GL_TABLE &gl = MVE_gl();
    for (int i = 0; i < MVE_BUFFER_COUNT; i++) {
        ASSERT_NE(s.Buffers[i].uBuffer, 0u) << i;
        EXPECT_EQ(s.Buffers[i].iBinding, i);
        GLint bound = 0;
        gl.glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, static_cast<GLuint>(i), &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), s.Buffers[i].uBuffer) << i;
        gl.glBindBuffer(GL_UNIFORM_BUFFER, s.Buffers[i].uBuffer);
        GLint size = 0;
        gl.glGetBufferParameteriv(GL_UNIFORM_BUFFER, GL_BUFFER_SIZE, &size);
        EXPECT_EQ(size, sizes[i]) << i;
    }
    // Misc: 320 x 240, near 0.1, far 128.
    float misc[4] = {};
    gl.glBindBuffer(GL_UNIFORM_BUFFER, s.Buffers[MVE_BUFFER_MISC].uBuffer);
    gl.glGetBufferSubData(GL_UNIFORM_BUFFER, 0, 16, misc);
    EXPECT_FLOAT_EQ(misc[0], 320.0f);
    EXPECT_FLOAT_EQ(misc[1], 240.0f);
    EXPECT_FLOAT_EQ(misc[2], 0.1f);
    EXPECT_FLOAT_EQ(misc[3], 128.0f);
    // Projection: the perspective of 45 degrees at 4:3 and the pixel matrix. A point at depth -1
    // on the top edge of the view maps to y = 1; pixel (320, 240) maps to (1, -1).
    float m[32] = {};
    gl.glBindBuffer(GL_UNIFORM_BUFFER, s.Buffers[MVE_BUFFER_PROJECTION].uBuffer);
    gl.glGetBufferSubData(GL_UNIFORM_BUFFER, 0, 128, m);
    const float f = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(m[5], f, 1e-4);
    EXPECT_NEAR(m[0], f * 240.0f / 320.0f, 1e-4);
    EXPECT_NEAR(m[10], -(128.0f + 0.1f) / (128.0f - 0.1f), 1e-4);
    EXPECT_NEAR(m[11], -1.0f, 1e-6);
    EXPECT_NEAR(m[14], -2.0f * 128.0f * 0.1f / (128.0f - 0.1f), 1e-4);
    const float *p2d = m + 16;
    EXPECT_NEAR(p2d[0] * 320.0f + p2d[12], 1.0f, 1e-5);
    EXPECT_NEAR(p2d[5] * 240.0f + p2d[13], -1.0f, 1e-5);
    EXPECT_NEAR(p2d[13], 1.0f, 1e-5);   // top row is y = +1
    EXPECT_NEAR(p2d[10], -2.0f / 1024.0f, 1e-7);
}

}  // namespace
