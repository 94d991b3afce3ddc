// Shader programs: stage compilation with its log rows, linking with the fixed numbering, the
// uniform slot table, the render-group lists and release. Main thread only, context current.
// Reflection over GLSL text lives in ShaderReflect.cpp, the shared buffers in ShaderBuffers.cpp.
#include "Shader/ShaderPrivate.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Reload/Reload.h"
#include <algorithm>
#include <new>
#include <vector>

static bool GLReady() { return MVE_Engine().GL.iLoaded != 0; }

MVE_SHADER_STATE &MVE_Shaders() { return MVE_Engine().Shader; }

// ---------------------------------------------------------------- compiling

std::string MVE_GetShaderCompileLog(GLuint shader, bool compiled) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLint length = 0;
    gl.glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    // An empty log is one byte (the terminator) on some drivers and zero on others: both mean a
    // clean compile.
    if (length <= 1) return compiled ? "Compiling successfull!" : "Compiling failed!";
    std::string text(16384, '\0');
    GLsizei written = 0;
    gl.glGetShaderInfoLog(shader, static_cast<GLsizei>(text.size()), &written, text.data());
    text.resize(static_cast<size_t>(std::max(0, written)));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

GLuint MVE_CompileStage(GLenum type, const char *source, size_t length, const std::string &rowPrefix,
                        const char *procedure, bool *compiled) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint shader = gl.glCreateShader(type);
    const GLchar *text = source;
    const GLint size = static_cast<GLint>(length);
    gl.glShaderSource(shader, 1, &text, &size);
    gl.glCompileShader(shader);
    GLint status = 0;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    *compiled = status == GL_TRUE;
    MVE_Log((rowPrefix + MVE_GetShaderCompileLog(shader, *compiled)).c_str(), *compiled ? MVE_LOG_HEADING : MVE_LOG_FAIL,
            0, 0, "", procedure);
    return shader;
}

bool MVE_LinkProgram(GLuint program, const std::string &name, const char *procedure) {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glLinkProgram(program);
    GLint status = 0;
    gl.glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE) return true;
    std::string text(16384, '\0');
    GLsizei written = 0;
    gl.glGetProgramInfoLog(program, static_cast<GLsizei>(text.size()), &written, text.data());
    text.resize(static_cast<size_t>(std::max(0, written)));
    MVE_LogFail("Fail: " + name + " does not link: " + text, procedure);
    return false;
}

void MVE_DeleteProgramAndStages(GLuint program) {
    if (!program || !GLReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint attached[8];
    GLsizei count = 0;
    gl.glGetAttachedShaders(program, 8, &count, attached);
    for (GLsizei i = 0; i < count; i++) {
        gl.glDetachShader(program, attached[i]);
        gl.glDeleteShader(attached[i]);
    }
    gl.glDeleteProgram(program);
}

// The fixed numbering: names a program does not use are ignored by GL.
static const std::pair<const char *, GLuint> kAttributes[] = {
    {"vVertex", 0}, {"vNormal", 1}, {"vTexCoord0", 2}, {"vTexCoord1", 3}, {"vColor", 4}, {"vVertexColor", 4},
    {"vTangent", 6}, {"iGroup", 7}, {"vPosition", 7}, {"fSize", 8}, {"fRotation", 9}};
static const std::pair<const char *, GLuint> kOutputs[] = {
    {"vFragPosition", 0}, {"vFragColor", 0}, {"vFragGlow", 0}, {"vFragNormal", 1}, {"vFragDiffuse", 2},
    {"vFragSpecular", 3}, {"vFragMisc", 4}, {"vFragLinearizeDepth", 4}};
static const std::pair<const char *, int> kBlocks[] = {
    {"Projection", MVE_BUFFER_PROJECTION}, {"ProjectionMatrix", MVE_BUFFER_PROJECTION}, {"Model", MVE_BUFFER_MODEL},
    {"ModelMatrices", MVE_BUFFER_MODEL}, {"Material", MVE_BUFFER_MATERIAL}, {"Light", MVE_BUFFER_LIGHT},
    {"Misc", MVE_BUFFER_MISC}};

void MVE_BindFixedNumbering(GLuint program) {
    const MVE_GL_TABLE &gl = MVE_gl();
    for (const auto &[name, location] : kAttributes) gl.glBindAttribLocation(program, location, name);
    for (const auto &[name, number] : kOutputs) gl.glBindFragDataLocation(program, number, name);
}

void MVE_BindBlock(GLuint program, const char *block, int buffer) {
    const MVE_GL_TABLE &gl = MVE_gl();
    const GLuint index = gl.glGetUniformBlockIndex(program, block);
    if (index == GL_INVALID_INDEX) return;
    const MVE_SHADER_BUFFER &b = MVE_Shaders().Buffers[buffer];
    gl.glUniformBlockBinding(program, index, static_cast<GLuint>(b.iBinding));
    if (b.uBuffer) gl.glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(b.iBinding), b.uBuffer);
}

void MVE_BindKnownBlocks(GLuint program) {
    for (const auto &[name, buffer] : kBlocks) MVE_BindBlock(program, name, buffer);
}

// ---------------------------------------------------------------- registry entries

MVE_SHADER *MVE_RegisterShader(int id, int flag, const char *name, GLuint program, int *handle) {
    int requested = id;
    MVE_SHADER *shader = MVE_CreateShaderListEntry(&requested, name ? name : "", handle);
    if (!shader) return nullptr;
    shader->iFlag = flag;
    shader->uProgram = program;
    return shader;
}

extern "C" int MVE_CreateShader(int id, int flag, const char *name) {
    if (!GLReady()) {
        MVE_LogFail("Fail: No OpenGL context!", "MVE_CreateShader");
        return 0;
    }
    int handle = 0;
    GLuint program = MVE_gl().glCreateProgram();
    if (!MVE_RegisterShader(id, flag, name, program, &handle)) {
        MVE_gl().glDeleteProgram(program);
        return 0;
    }
    return handle;
}

static MVE_SHADER *Resolve(int id, const char *procedure) {
    MVE_SHADER *shader = GLReady() ? MVE_GetShader(id) : nullptr;
    if (!shader) MVE_LogFail("Fail: Shader not found!", procedure);
    return shader;
}

static int CatchStage(int id, GLenum type, const char *start, const char *end, const char *procedure,
                      const char *file = nullptr) {
    MVE_SHADER *shader = Resolve(id, procedure);
    if (!shader) return 0;
    if (!start || !end || end < start) {
        MVE_LogFail("Fail: No shader source!", procedure);
        return 0;
    }
    bool compiled = false;
    const char *label = type == GL_VERTEX_SHADER ? " [VertexShader]: " : " [FragmentShader]: ";
    GLuint stage = MVE_CompileStage(type, start, static_cast<size_t>(end - start), shader->sName + label, procedure, &compiled);
    // Attached even when it failed: the link then fails and says so, and freeing finds every stage.
    MVE_gl().glAttachShader(shader->uProgram, stage);
    MVE_gl().glDeleteShader(stage);
    shader->Stages.push_back({stage, type, file ? MVE_ReloadPath(file) : std::string()});
    return compiled ? 1 : 0;
}

extern "C" int MVE_CatchVertexShader(int shader, const char *start, const char *end) {
    return CatchStage(shader, GL_VERTEX_SHADER, start, end, "MVE_CatchVertexShader");
}
extern "C" int MVE_CatchFragmentShader(int shader, const char *start, const char *end) {
    return CatchStage(shader, GL_FRAGMENT_SHADER, start, end, "MVE_CatchFragmentShader");
}

bool MVE_ReadShaderFile(const char *file, std::string &text, std::string &failure) {
    std::vector<uint8_t> bytes;
    if (!MVE_ReadRegularFile(file, MVE_FILE_SHADER, bytes, failure)) return false;
    try {
        text.assign(bytes.begin(), bytes.end());
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- building a program again (live reload)

static int RebuildStages(int handle);

static void BindStages(MVE_ReloadScope &scope, MVE_SHADER *shader, bool add) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_SHADER;
    target.iHandle = MVE_HandleOf(shader);
    target.sName = shader->sName;
    const int handle = target.iHandle;
    scope.Bind(target, [handle] { return RebuildStages(handle); }, add);
}

// The source a stage was compiled from, as GL keeps it.
static std::string StageSource(GLuint object) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLint length = 0;
    gl.glGetShaderiv(object, GL_SHADER_SOURCE_LENGTH, &length);
    std::string text(static_cast<size_t>(std::max(0, length)), '\0');
    GLsizei written = 0;
    if (length > 0) gl.glGetShaderSource(object, length, &written, text.data());
    text.resize(static_cast<size_t>(std::max(0, written)));
    return text;
}

// Every stage compiled again (files read again) into a new program that must compile and link
// before it takes the old one's place; the uniforms keep their slots and find their new locations.
static int RebuildStages(int handle) {
    static const char *const kProcedure = "MVE_LinkShader";
    MVE_ReloadScope scope;
    MVE_SHADER *shader = GLReady() ? MVE_GetShader(handle) : nullptr;
    if (!shader || shader->Stages.empty()) return 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    std::vector<std::string> sources;
    for (const MVE_SHADER_STAGE &stage : shader->Stages) {
        std::string text, failure;
        if (stage.sFile.empty()) text = StageSource(stage.uObject);
        else if (!MVE_ReadShaderFile(stage.sFile.c_str(), text, failure)) {
            MVE_LogFail(failure + " " + stage.sFile, kProcedure);
            return 0;
        }
        sources.push_back(std::move(text));
    }
    const GLuint program = gl.glCreateProgram();
    std::vector<MVE_SHADER_STAGE> stages;
    bool compiled = true;
    for (size_t i = 0; i < sources.size(); ++i) {
        const MVE_SHADER_STAGE &old = shader->Stages[i];
        const char *label = old.uType == GL_VERTEX_SHADER ? " [VertexShader]: " : " [FragmentShader]: ";
        bool ok = false;
        const GLuint object = MVE_CompileStage(old.uType, sources[i].data(), sources[i].size(),
                                               shader->sName + label, kProcedure, &ok);
        gl.glAttachShader(program, object);
        gl.glDeleteShader(object);
        stages.push_back({object, old.uType, old.sFile});
        compiled &= ok;
    }
    MVE_BindFixedNumbering(program);
    if (!compiled || !MVE_LinkProgram(program, shader->sName, kProcedure)) {
        MVE_DeleteProgramAndStages(program);
        return 0;
    }
    MVE_BindKnownBlocks(program);
    const GLuint old = shader->uProgram;
    shader->uProgram = program;
    shader->Stages = std::move(stages);
    for (auto *list : {&shader->Samplers, &shader->Integers, &shader->Floats, &shader->Vectors, &shader->Vectors4,
                       &shader->Matrices3, &shader->Matrices4})
        for (MVE_SHADER_UNIFORM &u : *list) u.iLocation = gl.glGetUniformLocation(program, u.sName.c_str());
    MVE_DeleteProgramAndStages(old);
    BindStages(scope, shader, false);
    return 1;
}

static int LoadStage(int id, GLenum type, const char *file, const char *procedure) {
    MVE_ReloadScope scope;
    std::string text, failure;
    if (!MVE_ReadShaderFile(file, text, failure)) {
        MVE_LogFail(failure + " " + std::string(file ? file : ""), procedure);
        return 0;
    }
    const int result = CatchStage(id, type, text.data(), text.data() + text.size(), procedure, file);
    // Bound even when it did not compile: saving the file mended builds the program again.
    if (MVE_SHADER *shader = GLReady() ? MVE_GetShader(id) : nullptr)
        if (!shader->Stages.empty() && !shader->Stages.back().sFile.empty()) BindStages(scope, shader, true);
    return result;
}

extern "C" int MVE_LoadVertexShader(int shader, const char *file) {
    return LoadStage(shader, GL_VERTEX_SHADER, file, "MVE_LoadVertexShader");
}
extern "C" int MVE_LoadFragmentShader(int shader, const char *file) {
    return LoadStage(shader, GL_FRAGMENT_SHADER, file, "MVE_LoadFragmentShader");
}

extern "C" int MVE_LinkShader(int id) {
    MVE_SHADER *shader = Resolve(id, "MVE_LinkShader");
    if (!shader) return 0;
    MVE_BindFixedNumbering(shader->uProgram);
    if (!MVE_LinkProgram(shader->uProgram, shader->sName, "MVE_LinkShader")) return 0;
    MVE_BindKnownBlocks(shader->uProgram);
    return 1;
}

int MVE_AddUniformToEntry(MVE_SHADER *shader, int kind, const char *name, int slot, int a, int b, int c) {
    std::deque<MVE_SHADER_UNIFORM> *list = nullptr;
    switch (kind) {
        case MVE_UNIFORM_SAMPLER: list = &shader->Samplers; break;
        case MVE_UNIFORM_INT: list = &shader->Integers; break;
        case MVE_UNIFORM_FLOAT: list = &shader->Floats; break;
        case MVE_UNIFORM_VEC2:
        case MVE_UNIFORM_VEC3: list = &shader->Vectors; break;
        case MVE_UNIFORM_VEC4: list = &shader->Vectors4; break;
        case MVE_UNIFORM_MAT3: list = &shader->Matrices3; break;
        case MVE_UNIFORM_MAT4: list = &shader->Matrices4; break;
        default: MVE_LogFail("Fail: Unknown uniform kind!", "MVE_AddShaderUniform"); return -1;
    }
    // Slots are small numbers chosen by the engine; a huge one is a caller's mistake, not a table size.
    if (slot < 0 || slot > 255) {
        MVE_LogFail("Fail: Uniform slot out of range!", "MVE_AddShaderUniform");
        return -1;
    }
    MVE_SHADER_UNIFORM u;
    u.iLocation = MVE_gl().glGetUniformLocation(shader->uProgram, name ? name : "");
    u.sName = name ? name : "";
    u.iC = c;
    u.iB = b;
    u.iAB = a + b;
    list->push_back(u);
    if (shader->Slots.size() < static_cast<size_t>(slot) + 1) shader->Slots.resize(static_cast<size_t>(slot) + 1, nullptr);
    shader->Slots[static_cast<size_t>(slot)] = &list->back();
    return u.iLocation;
}

extern "C" int MVE_AddShaderUniform(int id, int kind, const char *name, int slot, int a, int b, int c) {
    MVE_SHADER *shader = Resolve(id, "MVE_AddShaderUniform");
    if (!shader) return -1;
    return MVE_AddUniformToEntry(shader, kind, name, slot, a, b, c);
}

extern "C" int MVE_GetShaderUniform(int id, int slot) { return MVE_ShaderSlot(MVE_GetShader(id), slot); }

extern "C" int MVE_GetShaderProgram(int id) {
    MVE_SHADER *shader = MVE_GetShader(id);
    return shader ? static_cast<int>(shader->uProgram) : 0;
}

extern "C" void MVE_SetShaderType(int id, int type) {
    if (MVE_SHADER *shader = MVE_GetShader(id)) shader->iType = type;
}

static void LeaveRenderGroup(MVE_SHADER *shader) {
    for (auto &list : MVE_Shaders().RenderGroups) list.erase(std::remove(list.begin(), list.end(), shader), list.end());
}

void MVE_AddEntryToRenderGroup(MVE_SHADER *shader, int group) {
    LeaveRenderGroup(shader);
    shader->iRenderGroup = group;
    if (group < 0 || group >= MVE_RENDER_GROUP_COUNT) return;
    MVE_Shaders().RenderGroups[group].push_back(shader);
    MVE_EnterProgramMaterials(shader);
}

extern "C" void MVE_AddShaderToRenderGroup(int group, int id) {
    MVE_SHADER *shader = MVE_GetShader(id);
    if (!shader) {
        MVE_LogFail("Fail: Shader not found!", "MVE_AddShaderToRenderGroup");
        return;
    }
    if (shader->iRenderGroup == group && group >= 0 && group < MVE_RENDER_GROUP_COUNT) {
        auto &list = MVE_Shaders().RenderGroups[group];
        if (std::find(list.begin(), list.end(), shader) != list.end()) return;
    }
    MVE_AddEntryToRenderGroup(shader, group);
}

MVE_SHADER *MVE_GetBuiltinShader(int number) {
    if (number < 1 || number >= MVE_PROGRAM_TABLE_SIZE) return nullptr;
    const int handle = MVE_Shaders().BuiltIn[number];
    return handle ? MVE_GetShader(handle) : nullptr;  // 0 would name the entry with static ID 0
}

extern "C" int MVE_GetBuiltinShaderHandle(int number) {
    MVE_SHADER *shader = MVE_GetBuiltinShader(number);
    return shader ? MVE_Shaders().BuiltIn[number] : 0;
}

void MVE_ReleaseShader(MVE_SHADER *shader) {
    if (!shader) return;
    LeaveRenderGroup(shader);
    MVE_DetachShader(shader);  // materials drawn with it fall back to drawing nothing, not freed memory
    MVE_DeleteProgramAndStages(shader->uProgram);
    shader->uProgram = 0;
    shader->Slots.clear();
    shader->Stages.clear();
}
