// The built-in programs: the 2D and 3D sets registered at start-up (by program number), the
// unregistered copy program, and the engine programs that the lighting and shadow passes build
// for themselves. Every source is a file of Source/Shader/GLSL embedded at build time.
// Main thread only, context current.
#include "Shader/ShaderPrivate.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include <initializer_list>

namespace {

struct Source {
    const char *text = nullptr;
    size_t length = 0;
};

Source Embedded(const char *file, const char *procedure) {
    Source s;
    s.text = MVE_GLSLText(file, &s.length);
    if (!s.text) MVE_LogFail(std::string("Fail: Built-in shader source missing: ") + file, procedure);
    return s;
}

// Reflected programs: the number, the name, the render group and the two files.
struct Reflected {
    int number;
    const char *name;
    int group;
    const char *vertex, *fragment;
};

// Hand-built programs bind the fixed numbering and register their uniforms by explicit slot.
struct HandBuilt {
    int number;
    const char *name;
    int group;
    int flag;
    const char *vertex, *fragment;
    std::initializer_list<MVE_UNIFORM_SPEC> uniforms;
};

using S = MVE_UNIFORM_SPEC;
constexpr int kInt = MVE_UNIFORM_INT, kFloat = MVE_UNIFORM_FLOAT, kVec2 = MVE_UNIFORM_VEC2, kVec3 = MVE_UNIFORM_VEC3,
              kVec4 = MVE_UNIFORM_VEC4, kMat4 = MVE_UNIFORM_MAT4;

const HandBuilt k2D[] = {
    {MVE_PROGRAM_TEXTURED_SPRITE, "Textured Sprite", 7, 0, "TexturedSprite.vert", "TexturedSprite.frag",
     {S{0, kInt, "ColorMap"}, S{1, kVec4, "vColor"}}},
    {MVE_PROGRAM_MASKED_SPRITE, "Masked Sprite", 7, 0, "MaskedSprite.vert", "MaskedSprite.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "MaskMap"}, S{2, kVec4, "vColor"}}},
};

const Reflected k3DReflected[] = {
    {MVE_PROGRAM_DRAWING, "Drawing", 1, "Drawing.vert", "Drawing.frag"},
    {MVE_PROGRAM_DEFAULT, "Default", 1, "Default.vert", "Default.frag"},
    {MVE_PROGRAM_DRAW_MESH, "Draw Mesh", 1, "DrawMesh.vert", "DrawMesh.frag"},
    {MVE_PROGRAM_TEXTURES, "Textures", 1, "Textures.vert", "Textures.frag"},
    {MVE_PROGRAM_NORMAL_MAPPING, "Normal Mapping", 0, "NormalMapping.vert", "NormalMapping.frag"},
    {MVE_PROGRAM_SPECULAR_NORMAL_MAPPING, "Specular Normal Mapping", 0, "NormalMapping.vert", "SpecularNormalMapping.frag"},
    {MVE_PROGRAM_REFLECTION_NORMAL_MAPPING, "Reflection Normal Mapping", 0, "ReflectionNormalMapping.vert",
     "ReflectionNormalMapping.frag"},
    {MVE_PROGRAM_TEXTURE_ARRAY, "Texture Array", 0, "TextureArray.vert", "TextureArray.frag"},
};

const HandBuilt k3DHandBuilt[] = {
    {MVE_PROGRAM_GRASS, "Grass", 0, 1, "Grass.vert", "Grass.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "NormalMap"}, S{2, kInt, "SpecularMap"}, S{3, kVec3, "vWind"}}},
    {MVE_PROGRAM_NORMAL_MAPPING_SILHOUETTE, "Normal Mapping Silhouette", 1, 1, "Silhouette.vert", "Silhouette.frag",
     {S{0, kInt, "NormalMap"}}},
    {MVE_PROGRAM_PARALLAX_MAPPING, "Parallax Mapping", 0, 1, "NormalMapping.vert", "ParallaxMapping.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "NormalMap"}, S{2, kFloat, "fScale"}, S{3, kFloat, "fBias"}}},
    {MVE_PROGRAM_SPECULAR_PARALLAX_MAPPING, "Specular Parallax Mapping", 0, 1, "NormalMapping.vert",
     "SpecularParallaxMapping.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "NormalMap"}, S{2, kInt, "SpecularMap"}, S{3, kFloat, "fScale"},
      S{4, kFloat, "fBias"}}},
    {MVE_PROGRAM_WATER, "Water", 2, 1, "Water.vert", "Water.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "NormalMapA"}, S{2, kInt, "NormalMapB"}, S{3, kInt, "ReflectionCubeMap"},
      S{4, kInt, "DepthMap"}, S{5, kInt, "LDepthMap"}, S{6, kVec2, "vOffset"}, S{7, kFloat, "fFogDepth"},
      S{8, kVec3, "vLightDir"}, S{9, kMat4, "mViewMatrix"}}},
    {MVE_PROGRAM_MASK_REFRACTION, "Mask Refraction", 2, 1, "MaskRefraction.vert", "MaskRefraction.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "DepthMap"}, S{2, kInt, "NormalMap"}, S{3, kInt, "MaskMap"},
      S{4, kVec2, "vOffset"}}},
    {MVE_PROGRAM_MESH_GLOW, "Mesh Glow", 2, 1, "MeshGlow.vert", "MeshGlow.frag",
     {S{0, kInt, "DepthMap"}, S{1, kFloat, "fScale"}}},
    {MVE_PROGRAM_SKYBOX, "Skybox", 2, 1, "Skybox.vert", "Skybox.frag",
     {S{0, kInt, "ColorCubeMap"}, S{1, kInt, "MaskMap"}, S{2, kVec4, "vColor"}}},
    {MVE_PROGRAM_PARTICLE, "Particle", MVE_RENDER_GROUP_NONE, 1, "Particle.vert", "Particle.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "DepthMap"}}},
    {MVE_PROGRAM_SOFT_PARTICLE, "Soft Particle", MVE_RENDER_GROUP_NONE, 1, "SoftParticle.vert", "SoftParticle.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "DepthMap"}, S{2, kFloat, "fBlend"}}},
    {MVE_PROGRAM_BILLBOARD, "Billboard", MVE_RENDER_GROUP_NONE, 1, "Billboard.vert", "Billboard.frag",
     {S{0, kInt, "ColorMap"}, S{1, kInt, "DepthMap"}, S{2, kInt, "InstancesTextureBuffer"},
      S{3, kInt, "iProjectionMode"}}},
};

// Compiles both stages and links with the fixed numbering. Returns the program, or 0 (red rows,
// nothing left behind) when a stage did not compile or the link failed.
GLuint CompileAndLink(const std::string &name, const std::string &vertex, const std::string &fragment,
                      const std::string &vertexLabel, const std::string &fragmentLabel, const char *procedure) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint program = gl.glCreateProgram();
    bool vertexOK = false, fragmentOK = false;
    GLuint vs = MVE_CompileStage(GL_VERTEX_SHADER, vertex.data(), vertex.size(), vertexLabel, procedure, &vertexOK);
    gl.glAttachShader(program, vs);
    gl.glDeleteShader(vs);
    GLuint fs = MVE_CompileStage(GL_FRAGMENT_SHADER, fragment.data(), fragment.size(), fragmentLabel, procedure, &fragmentOK);
    gl.glAttachShader(program, fs);
    gl.glDeleteShader(fs);
    MVE_BindFixedNumbering(program);
    if (!vertexOK || !fragmentOK || !MVE_LinkProgram(program, name, procedure)) {
        MVE_LogFail("Fail: Shader program not built: " + name, procedure);
        MVE_DeleteProgramAndStages(program);
        return 0;
    }
    MVE_BindKnownBlocks(program);
    return program;
}

std::string Text(const char *file, const char *defines, const char *procedure) {
    Source s = Embedded(file, procedure);
    if (!s.text) return std::string();
    return MVE_WithDefines(s.text, s.length, defines);
}

int BuildHandBuilt(const HandBuilt &p) {
    const char *procedure = "MVE_InitShaders";
    const std::string vertex = Text(p.vertex, "", procedure), fragment = Text(p.fragment, "", procedure);
    if (vertex.empty() || fragment.empty()) return 0;
    GLuint program = CompileAndLink(p.name, vertex, fragment, std::string(p.name) + " [VertexShader]: ",
                                    std::string(p.name) + " [FragmentShader]: ", procedure);
    if (!program) return 0;
    int handle = 0;
    MVE_SHADER *shader = MVE_RegisterShader(-1, p.flag, p.name, program, &handle);
    if (!shader) {
        MVE_DeleteProgramAndStages(program);
        return 0;
    }
    for (const MVE_UNIFORM_SPEC &u : p.uniforms) MVE_AddUniformToEntry(shader, u.iKind, u.sName, u.iSlot, 0, 0, 1);
    shader->iType = p.number;
    MVE_AddEntryToRenderGroup(shader, p.group);
    MVE_Shaders().BuiltIn[p.number] = handle;
    return handle;
}

int BuildReflected(const Reflected &p) {
    const char *procedure = "MVE_CatchShader";
    Source vs = Embedded(p.vertex, procedure), fs = Embedded(p.fragment, procedure);
    if (!vs.text || !fs.text) return 0;
    return MVE_CatchShader(p.number, 1, p.group, vs.text, vs.text + vs.length, fs.text, fs.text + fs.length, p.name);
}

// Engine programs: files, defines and uniforms in index order, with the texture unit each sampler
// is fixed to (-1 for plain uniforms).
struct EngineProgram {
    const char *name;
    const char *vertex, *fragment;
    const char *defines;
    std::initializer_list<std::pair<const char *, int>> uniforms;
};

const char *const kSunShadow = "#define MVE_SUN\n#define MVE_SUN_SHADOW\n";
#define MVE_GBUFFER_MAPS {"PositionMap", 0}, {"NormalMap", 1}, {"DiffuseMap", 2}, {"SpecularMap", 3}, {"MiscMap", 4}
#define MVE_DIRECT_UNIFORMS                                                                                   \
    {MVE_GBUFFER_MAPS, {"ShadowMap", 5}, {"vAmbientColor", -1}, {"iLightState", -1}, {"vLightDirection", -1}, \
     {"vLightColor", -1}, {"fLightIntensity", -1}, {"mWorldToLightViewMatrix", -1},                         \
     {"mLightViewToProjectionMatrix", -1}, {"mWorldToCameraViewMatrix", -1}}

const EngineProgram kEngine[MVE_EP_COUNT] = {
    {"Shadow", "Shadow.vert", "Shadow.frag", "", {{"DiffuseMap", 0}}},
    {"Array Shadow", "Shadow.vert", "Shadow.frag", "#define MVE_ARRAY\n", {{"DiffuseMap", 0}}},
    {"Wind Shadow", "Shadow.vert", "Shadow.frag", "#define MVE_WIND\n", {{"vWind", -1}, {"DiffuseMap", 0}}},
    {"Opaque Shadow", "Shadow.vert", "Shadow.frag", "#define MVE_OPAQUE\n", {}},
    {"Opaque Wind Shadow", "Shadow.vert", "Shadow.frag", "#define MVE_WIND\n#define MVE_OPAQUE\n", {{"vWind", -1}}},
    {"Direct Light", "DirectLight.vert", "DirectLight.frag", "", MVE_DIRECT_UNIFORMS},
    {"Direct Light Sun", "DirectLight.vert", "DirectLight.frag", "#define MVE_SUN\n", MVE_DIRECT_UNIFORMS},
    {"Direct Light Sun Shadow", "DirectLight.vert", "DirectLight.frag", kSunShadow, MVE_DIRECT_UNIFORMS},
    {"Point Light", "PointLight.vert", "PointLight.frag", "", {MVE_GBUFFER_MAPS}},
    {"Shadowed Point Light", "LightVolume.vert", "PointLight.frag", "#define MVE_POINT_SHADOW\n",
     {MVE_GBUFFER_MAPS, {"ShadowMap", 5}, {"StaticShadowMap", 6}, {"mWorldViewMatrix", -1}, {"mShadowTextureMatrix", -1}}},
    {"Spot Light", "LightVolume.vert", "PointLight.frag", "#define MVE_SPOT\n", {MVE_GBUFFER_MAPS}},
    {"Depth", "DirectLight.vert", "Depth.frag", "", {{"DepthMap", 0}, {"fNear", -1}, {"fFar", -1}}},
    {"Blur", "Copy.vert", "Blur.frag", "", {{"ColorMap", 0}, {"DepthMap", 1}, {"fUShift", -1}, {"fVShift", -1}}},
    {"Glow", "Copy.vert", "Glow.frag", "", {{"DiffuseMap", 0}}},
    {"Copy", "Copy.vert", "Copy.frag", "", {{"ColorMap", 0}}},
};

}  // namespace

std::string MVE_WithDefines(const char *source, size_t length, const char *defines) {
    std::string text(source, length);
    if (!defines || !*defines) return text;
    const size_t version = text.find("#version");
    size_t line = version == std::string::npos ? 0 : text.find('\n', version);
    line = line == std::string::npos ? text.size() : line + 1;
    if (version == std::string::npos) line = 0;
    text.insert(line, defines);
    return text;
}

int MVE_BuildEngineProgram(MVE_ENGINE_PROGRAM which, MVE_GL_PROGRAM *out, const char *procedure) {
    if (!out) return 0;
    MVE_DeleteEngineProgram(out);
    if (which < 0 || which >= MVE_EP_COUNT || MVE_Engine().GL.iLoaded == 0) return 0;
    const EngineProgram &entry = kEngine[which];
    const std::string vertex = Text(entry.vertex, entry.defines, procedure);
    const std::string fragment = Text(entry.fragment, entry.defines, procedure);
    if (vertex.empty() || fragment.empty()) return 0;
    GLuint program = CompileAndLink(entry.name, vertex, fragment, "VertexShader: ", "FragmentShader: ", procedure);
    if (!program) return 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    out->uProgram = program;
    gl.glUseProgram(program);
    for (const auto &[name, unit] : entry.uniforms) {
        const GLint location = gl.glGetUniformLocation(program, name);
        out->Locations.push_back(location);
        if (unit >= 0 && location >= 0) gl.glUniform1i(location, unit);
    }
    gl.glUseProgram(0);
    return 1;
}

void MVE_DeleteEngineProgram(MVE_GL_PROGRAM *program) {
    if (!program) return;
    MVE_DeleteProgramAndStages(program->uProgram);
    program->uProgram = 0;
    program->Locations.clear();
}

void MVE_BuildShaderLibrary() {
    MVE_LogSection("2D Shader", 0xD06600);
    for (const HandBuilt &p : k2D) BuildHandBuilt(p);
    MVE_LogSectionEnd();
    MVE_LogSection("3D Shader", 0xD06600);
    for (const Reflected &p : k3DReflected) BuildReflected(p);
    for (const HandBuilt &p : k3DHandBuilt) BuildHandBuilt(p);
    MVE_BuildEngineProgram(MVE_EP_COPY, &MVE_Shaders().Copy, "MVE_InitShaders");
    MVE_LogSectionEnd();
}
