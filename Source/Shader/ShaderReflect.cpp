// Programs built by reading their own GLSL: attribute and output locations, uniform blocks and
// plain uniforms are found with regular expressions (PCRE2, default options: case-sensitive, "."
// stops at line ends, so a declaration split over two lines is not seen). Main thread only.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "Shader/ShaderPrivate.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Reload/Reload.h"
#include <cstdlib>
#include <functional>
#include <set>

namespace {

const char *const kAttributePattern = R"(layout.*?location\s*?\=\s*?(\d+).*?in\W+(\w+)\s*(\w+))";
const char *const kOutputPattern = R"(layout.*?location\s*?\=\s*?(\d+).*?out\W+(\w+)\s*(\w+))";
const char *const kBlockPattern = R"(layout\s*\(.*?\)\s*uniform\s+(\w+))";
const char *const kUniformPattern = R"(uniform\s+(\w+)\s+(\w+))";

// Patterns are compiled once per process and freed when it ends (before leak checking, which
// would otherwise find codes that nothing points at once the table itself is gone).
struct PatternCache {
    std::vector<std::pair<const char *, pcre2_code *>> codes;
    ~PatternCache() {
        for (auto &entry : codes) pcre2_code_free(entry.second);
    }
};

pcre2_code *Pattern(const char *text) {
    static PatternCache cache;
    for (auto &[key, code] : cache.codes)
        if (key == text) return code;
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text), PCRE2_ZERO_TERMINATED, 0, &error, &offset, nullptr);
    cache.codes.emplace_back(text, code);
    return code;
}

std::string Trim(std::string s) {
    const char *space = " \t\r\n";
    s.erase(0, s.find_first_not_of(space));
    const size_t last = s.find_last_not_of(space);
    s.erase(last == std::string::npos ? 0 : last + 1);
    return s;
}

// Calls visit(groups) for every match in source order; groups[0] is the whole match.
void ForEachMatch(const char *pattern, const std::string &subject,
                  const std::function<void(const std::vector<std::string> &)> &visit) {
    pcre2_code *code = Pattern(pattern);
    if (!code) return;
    pcre2_match_data *data = pcre2_match_data_create_from_pattern(code, nullptr);
    PCRE2_SIZE start = 0;
    const PCRE2_SPTR text = reinterpret_cast<PCRE2_SPTR>(subject.data());
    while (start <= subject.size()) {
        const int rc = pcre2_match(code, text, subject.size(), start, 0, data, nullptr);
        if (rc <= 0) break;
        const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(data);
        std::vector<std::string> groups;
        for (int i = 0; i < rc; i++) {
            if (ovector[2 * i] == PCRE2_UNSET) groups.emplace_back();
            else groups.emplace_back(subject, ovector[2 * i], ovector[2 * i + 1] - ovector[2 * i]);
        }
        visit(groups);
        // An empty match cannot happen with these patterns, but never loop on one.
        start = ovector[1] > ovector[0] ? ovector[1] : ovector[0] + 1;
    }
    pcre2_match_data_free(data);
}

int KindOf(const std::string &type, bool fragment) {
    if (fragment && (type == "sampler2D" || type == "sampler2DArray" || type == "samplerCube" ||
                     type == "samplerBuffer" || type == "sampler3D"))
        return MVE_UNIFORM_SAMPLER;
    if (type == "bool" || type == "int" || type == "uint") return MVE_UNIFORM_INT;
    if (type == "float") return MVE_UNIFORM_FLOAT;
    if (type == "vec2" || type == "vec3") return MVE_UNIFORM_VEC3;
    if (type == "vec4") return MVE_UNIFORM_VEC4;
    if (type == "mat3") return MVE_UNIFORM_MAT3;
    if (type == "mat4") return MVE_UNIFORM_MAT4;
    return 0;
}

}  // namespace

std::vector<std::pair<int, std::string>> MVE_FindShaderLocations(const std::string &source, int outputs) {
    std::vector<std::pair<int, std::string>> found;
    ForEachMatch(outputs ? kOutputPattern : kAttributePattern, source, [&](const std::vector<std::string> &g) {
        // A location beyond any driver's range would only be refused by GL; never let it overflow.
        if (g.size() > 3 && g[1].size() <= 6) found.emplace_back(std::atoi(g[1].c_str()), Trim(g[3]));
    });
    return found;
}

namespace {

// Compiles both stages, binds what the reflection finds, links. The program, or 0 after red rows.
GLuint CompileAndLink(const std::string &vertex, const std::string &fragment, const std::string &title,
                      const char *procedure) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint program = gl.glCreateProgram();
    bool vertexOK = false, fragmentOK = false;
    GLuint vs = MVE_CompileStage(GL_VERTEX_SHADER, vertex.data(), vertex.size(), title + " [VertexShader]: ",
                                 "MVE_CatchVertexShader", &vertexOK);
    gl.glAttachShader(program, vs);
    gl.glDeleteShader(vs);
    GLuint fs = MVE_CompileStage(GL_FRAGMENT_SHADER, fragment.data(), fragment.size(), title + " [FragmentShader]: ",
                                 "MVE_CatchFragmentShader", &fragmentOK);
    gl.glAttachShader(program, fs);
    gl.glDeleteShader(fs);

    for (const auto &[location, attribute] : MVE_FindShaderLocations(vertex, 0))
        gl.glBindAttribLocation(program, static_cast<GLuint>(location), attribute.c_str());
    for (const auto &[number, output] : MVE_FindShaderLocations(fragment, 1))
        gl.glBindFragDataLocation(program, static_cast<GLuint>(number), output.c_str());
    if (!vertexOK || !fragmentOK || !MVE_LinkProgram(program, title, procedure)) {
        MVE_LogFail("Fail: Shader program not built: " + title, procedure);
        MVE_DeleteProgramAndStages(program);
        return 0;
    }
    return program;
}

// The shared blocks and plain uniforms the sources declare, bound and registered on the entry's program.
void Reflect(MVE_SHADER *shader, const std::string &vertex, const std::string &fragment) {
    std::set<std::string> bound;
    for (const std::string *source : {&vertex, &fragment}) {
        ForEachMatch(kBlockPattern, *source, [&](const std::vector<std::string> &g) {
            if (g.size() < 2) return;
            const std::string block = Trim(g[1]);
            int buffer = -1;
            if (block == "Projection") buffer = MVE_BUFFER_PROJECTION;
            else if (block == "Model") buffer = MVE_BUFFER_MODEL;
            else if (block == "Material") buffer = MVE_BUFFER_MATERIAL;
            else if (block == "Misc") buffer = MVE_BUFFER_MISC;
            if (buffer < 0 || !bound.insert(block).second) return;
            MVE_BindBlock(shader->uProgram, block.c_str(), buffer);
        });
    }
    int slot = 0;
    for (const std::string *source : {&vertex, &fragment}) {
        const bool isFragment = source == &fragment;
        ForEachMatch(kUniformPattern, *source, [&](const std::vector<std::string> &g) {
            if (g.size() < 3) return;
            const int kind = KindOf(g[1], isFragment);
            if (!kind) return;
            MVE_AddUniformToEntry(shader, kind, Trim(g[2]).c_str(), slot, 0, 0, 1);
            slot++;
        });
    }
}

bool ReadSources(const char *vertexFile, const char *fragmentFile, std::string &vertex, std::string &fragment,
                 const char *procedure) {
    std::string failure;
    for (auto [file, text] : {std::pair{vertexFile, &vertex}, std::pair{fragmentFile, &fragment}}) {
        if (!MVE_ReadShaderFile(file, *text, failure)) {
            MVE_LogFail(failure + " " + std::string(file ? file : ""), procedure);
            return false;
        }
    }
    return true;
}

int ReloadShaderFiles(int handle, const std::string &vertexFile, const std::string &fragmentFile);

void BindShaderFiles(MVE_ReloadScope &scope, int handle, const std::string &name, const std::string &vertexFile,
                     const std::string &fragmentFile) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_SHADER;
    target.iHandle = handle;
    target.sName = name;
    scope.Bind(target, [handle, v = MVE_ReloadPath(vertexFile), f = MVE_ReloadPath(fragmentFile)] {
        return ReloadShaderFiles(handle, v, f);
    });
}

// Both files again into a new program, reflected into a scratch entry; only a program that compiled
// and linked takes the old one's place, with the uniform slots its sources give now.
int ReloadShaderFiles(int handle, const std::string &vertexFile, const std::string &fragmentFile) {
    static const char *const kProcedure = "MVE_LoadShader";
    MVE_ReloadScope scope;
    std::string vertex, fragment;
    if (!ReadSources(vertexFile.c_str(), fragmentFile.c_str(), vertex, fragment, kProcedure)) return 0;
    MVE_SHADER *shader = MVE_Engine().GL.iLoaded ? MVE_GetShader(handle) : nullptr;
    if (!shader) return 0;
    const GLuint program = CompileAndLink(vertex, fragment, shader->sName, kProcedure);
    if (!program) return 0;
    MVE_SHADER scratch;
    scratch.uProgram = program;
    Reflect(&scratch, vertex, fragment);
    std::swap(shader->uProgram, scratch.uProgram);
    std::swap(shader->Slots, scratch.Slots);
    std::swap(shader->Samplers, scratch.Samplers);
    std::swap(shader->Integers, scratch.Integers);
    std::swap(shader->Floats, scratch.Floats);
    std::swap(shader->Vectors, scratch.Vectors);
    std::swap(shader->Vectors4, scratch.Vectors4);
    std::swap(shader->Matrices3, scratch.Matrices3);
    std::swap(shader->Matrices4, scratch.Matrices4);
    MVE_DeleteProgramAndStages(scratch.uProgram);
    BindShaderFiles(scope, handle, shader->sName, vertexFile, fragmentFile);
    return 1;
}

}  // namespace

int MVE_BuildReflectedShader(int id, int type, int flag, int group, const std::string &vertex,
                             const std::string &fragment, const char *name, const char *procedure) {
    if (MVE_Engine().GL.iLoaded == 0) {
        MVE_LogFail("Fail: No OpenGL context!", procedure);
        return 0;
    }
    const std::string title = name ? name : "";
    // A program that did not compile or link is refused before it reaches the registry, so the
    // entry registered under this ID or name before keeps working.
    const GLuint program = CompileAndLink(vertex, fragment, title, procedure);
    if (!program) return 0;
    int handle = 0;
    MVE_SHADER *shader = MVE_RegisterShader(id, flag, name, program, &handle);
    if (!shader) {
        MVE_DeleteProgramAndStages(program);
        return 0;
    }
    if (type >= 1 && type < MVE_PROGRAM_TABLE_SIZE) MVE_Shaders().BuiltIn[type] = handle;
    Reflect(shader, vertex, fragment);
    shader->iType = type;
    MVE_AddEntryToRenderGroup(shader, group);
    return handle;
}

extern "C" int MVE_CatchShader(int type, int flag, int group, const char *vertexStart, const char *vertexEnd,
                               const char *fragmentStart, const char *fragmentEnd, const char *name) {
    if (!vertexStart || !fragmentStart || vertexEnd < vertexStart || fragmentEnd < fragmentStart) {
        MVE_LogFail("Fail: No shader source!", "MVE_CatchShader");
        return 0;
    }
    return MVE_BuildReflectedShader(-1, type, flag, group, std::string(vertexStart, vertexEnd),
                                    std::string(fragmentStart, fragmentEnd), name, "MVE_CatchShader");
}

extern "C" int MVE_LoadShader(int id, int group, const char *vertexFile, const char *fragmentFile, const char *name) {
    MVE_ReloadScope scope;
    std::string vertex, fragment;
    if (!ReadSources(vertexFile, fragmentFile, vertex, fragment, "MVE_LoadShader")) return 0;
    const int handle = MVE_BuildReflectedShader(id, 0, 1, group, vertex, fragment, name, "MVE_LoadShader");
    if (handle) BindShaderFiles(scope, handle, name ? name : "", vertexFile, fragmentFile);
    return handle;
}
