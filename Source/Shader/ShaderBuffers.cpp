// The five shared uniform buffers (Projection, Model, Material, Light, Misc), the camera's
// projection matrices that fill the Projection buffer, and the shader part of start-up and
// shut-down. Main thread only, context current.
#include "Shader/ShaderPrivate.h"
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Log/Log.h"
#include "Render/Screen.h"
#include <cstring>

static bool GLReady() { return MVE_Engine().GL.iLoaded != 0; }

static m4f Orthographic(float left, float right, float bottom, float top, float zNear, float zFar) {
    m4f m = {};
    m.m[0] = 2.0f / (right - left);
    m.m[5] = 2.0f / (top - bottom);
    m.m[10] = -2.0f / (zFar - zNear);
    m.m[12] = -(right + left) / (right - left);
    m.m[13] = -(top + bottom) / (top - bottom);
    m.m[14] = -(zFar + zNear) / (zFar - zNear);
    m.m[15] = 1.0f;
    return m;
}

int MVE_KeepShaderBufferCopy(int block, int offset, const void *data, int size) {
    if (block < 0 || block >= MVE_BUFFER_COUNT || !data || offset < 0 || size <= 0) return 0;
    MVE_SHADER_BUFFER &b = MVE_Shaders().Buffers[block];
    if (offset + size > b.iSize) return 0;
    if (b.Data.size() < static_cast<size_t>(b.iSize)) b.Data.resize(static_cast<size_t>(b.iSize));
    std::memcpy(b.Data.data() + offset, data, static_cast<size_t>(size));
    return 1;
}

void MVE_WriteShaderBuffer(int block, int offset, const void *data, int size) {
    if (!MVE_KeepShaderBufferCopy(block, offset, data, size)) return;
    const MVE_SHADER_BUFFER &b = MVE_Shaders().Buffers[block];
    if (!b.uBuffer || !GLReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindBuffer(GL_UNIFORM_BUFFER, b.uBuffer);
    gl.glBufferSubData(GL_UNIFORM_BUFFER, offset, size, data);
}

void MVE_UpdateCameraProjection() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_CAMERA_PROJECTION &c = e.Shader.Camera;
    const float w = static_cast<float>(e.Screen.iWidth > 0 ? e.Screen.iWidth : 1);
    const float h = static_cast<float>(e.Screen.iHeight > 0 ? e.Screen.iHeight : 1);
    MVE_m4fPerspective(&c.m4fPerspective, c.fFieldOfView, c.fAspect, c.fNear, c.fFar);
    c.m4fOrthographic = Orthographic(0.0f, 100.0f * w / h, -100.0f * h / w, 0.0f, c.fNear, c.fFar);
    c.m4f2D = Orthographic(0.0f, w, h, 0.0f, -512.0f, 512.0f);
    MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 0, c.iMode == 0 ? &c.m4fOrthographic : &c.m4fPerspective, 64);
    MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 64, &c.m4f2D, 64);
}

void MVE_WriteMiscBuffer() {
    MVE_ENGINE &e = MVE_Engine();
    const float misc[4] = {static_cast<float>(e.Screen.iWidth), static_cast<float>(e.Screen.iHeight),
                           e.Shader.Camera.fNear, e.Shader.Camera.fFar};
    MVE_WriteShaderBuffer(MVE_BUFFER_MISC, 0, misc, sizeof misc);
}

static void SetBuffer(MVE_SHADER_BUFFER &b, int binding, const char *name, int size) {
    b.iBinding = binding;
    b.sName = name;
    b.iSize = b.iSize2 = size;
    b.iReserved1 = b.iReserved2 = 0;
    b.Data.assign(static_cast<size_t>(size), 0);
}

// Default camera: projection values and the Projection buffer (bound to binding point 0).
void MVE_StartupCamera() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_SHADER_STATE &s = e.Shader;
    s.Camera = MVE_CAMERA_PROJECTION();
    s.Camera.fAspect = e.Screen.iHeight > 0 ? static_cast<float>(e.Screen.iWidth) / static_cast<float>(e.Screen.iHeight) : 1.0f;
    MVE_BindScreen();
    if (!GLReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_SHADER_BUFFER &p = s.Buffers[MVE_BUFFER_PROJECTION];
    SetBuffer(p, 0, "Projection", 128);
    gl.glGenBuffers(1, &p.uBuffer);
    gl.glBindBuffer(GL_UNIFORM_BUFFER, p.uBuffer);
    gl.glBufferData(GL_UNIFORM_BUFFER, 128, nullptr, GL_STATIC_DRAW);
    gl.glBindBufferBase(GL_UNIFORM_BUFFER, 0, p.uBuffer);
    MVE_UpdateCameraProjection();
}

extern "C" int MVE_InitShaderBuffers(void) {
    MVE_SHADER_STATE &s = MVE_Shaders();
    if (!GLReady()) return 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    static const std::pair<const char *, GLenum> kLimits[] = {
        {"Maximum GEOMETRY UNIFORM components: ", GL_MAX_GEOMETRY_UNIFORM_COMPONENTS},
        {"Maximum VERTEX UNIFORM components: ", GL_MAX_VERTEX_UNIFORM_COMPONENTS},
        {"Maximum FRAGMENT UNIFORM components: ", GL_MAX_FRAGMENT_UNIFORM_COMPONENTS},
        {"Maximum GEOMETRY UNIFORM BLOCKS components: ", GL_MAX_GEOMETRY_UNIFORM_BLOCKS},
        {"Maximum VERTEX UNIFORM BLOCKS components: ", GL_MAX_VERTEX_UNIFORM_BLOCKS},
        {"Maximum FRAGMENT UNIFORM BLOCKS components: ", GL_MAX_FRAGMENT_UNIFORM_BLOCKS},
        {"Maximum UNIFORM BLOCKS size: ", GL_MAX_UNIFORM_BLOCK_SIZE}};
    MVE_LogSection("Uniform Buffer", 0xD06600);
    GLint fragmentComponents = 0;
    for (const auto &[text, limit] : kLimits) {
        GLint value = 0;
        gl.glGetIntegerv(limit, &value);
        if (limit == GL_MAX_FRAGMENT_UNIFORM_COMPONENTS) fragmentComponents = value;
        std::string row = text + std::to_string(value);
        if (limit == GL_MAX_UNIFORM_BLOCK_SIZE) row += " Bytes";
        MVE_Log(row.c_str(), MVE_LOG_HEADING, 0, 0, "", "MVE_InitShaderBuffers");
    }
    MVE_LogSectionEnd();
    if (fragmentComponents == 0) {
        MVE_Log("FAIL", MVE_LOG_FAIL, 0, 0, "", "MVE_InitShaderBuffers");
        return 0;
    }
    MVE_LogSection("", 0xD06600);
    // Projection was made by the camera set-up; without it (no camera yet) make it here.
    MVE_SHADER_BUFFER &p = s.Buffers[MVE_BUFFER_PROJECTION];
    if (!p.uBuffer) {
        SetBuffer(p, 0, "Projection", 128);
        gl.glGenBuffers(1, &p.uBuffer);
        gl.glBindBuffer(GL_UNIFORM_BUFFER, p.uBuffer);
        gl.glBufferData(GL_UNIFORM_BUFFER, 128, p.Data.data(), GL_STATIC_DRAW);
    }
    gl.glBindBufferBase(GL_UNIFORM_BUFFER, 0, p.uBuffer);
    MVE_Log("[Buffer] Projection:", MVE_LOG_HEADING, 0, 0, "", "MVE_InitShaderBuffers");
    MVE_LogOK("MVE_InitShaderBuffers");

    const float misc[4] = {static_cast<float>(MVE_Engine().Screen.iWidth), static_cast<float>(MVE_Engine().Screen.iHeight),
                           0.1f, 128.0f};
    struct BufferLayout { int block; const char *name; int size; const char *row; };
    static const BufferLayout kBuffers[] = {{MVE_BUFFER_MODEL, "Model", 112, "[Buffer] Model:"},
                                    {MVE_BUFFER_MATERIAL, "Material", 48, "[Buffer] Material:"},
                                    {MVE_BUFFER_LIGHT, "Light", 52, "[Buffer] Light:"},
                                    {MVE_BUFFER_MISC, "Misc", 16, "[Buffer] Misc:"}};
    for (const BufferLayout &layout : kBuffers) {
        MVE_SHADER_BUFFER &b = s.Buffers[layout.block];
        if (b.uBuffer) gl.glDeleteBuffers(1, &b.uBuffer);
        SetBuffer(b, layout.block, layout.name, layout.size);
        const bool isMisc = layout.block == MVE_BUFFER_MISC;
        if (isMisc) std::memcpy(b.Data.data(), misc, sizeof misc);
        gl.glGenBuffers(1, &b.uBuffer);
        gl.glBindBuffer(GL_UNIFORM_BUFFER, b.uBuffer);
        gl.glBufferData(GL_UNIFORM_BUFFER, layout.size, isMisc ? b.Data.data() : nullptr, isMisc ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
        gl.glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(layout.block), b.uBuffer);
        MVE_Log(layout.row, MVE_LOG_HEADING, 0, 0, "", "MVE_InitShaderBuffers");
        MVE_LogOK("MVE_InitShaderBuffers");
    }
    gl.glBindBuffer(GL_UNIFORM_BUFFER, 0);
    MVE_LogSectionEnd();
    s.iBuffersReady = 1;
    return 1;
}

void MVE_StartupShaders() {
    if (!GLReady()) return;
    MVE_InitShaderBuffers();
    MVE_BuildShaderLibrary();
}

// Programs first (their stages hold nothing the buffers need), then the buffers themselves.
void MVE_ShutdownShaderBuffers() {
    MVE_SHADER_STATE &s = MVE_Shaders();
    MVE_DeleteEngineProgram(&s.Copy);
    if (GLReady()) {
        const MVE_GL_TABLE &gl = MVE_gl();
        for (MVE_SHADER_BUFFER &b : s.Buffers)
            if (b.uBuffer) gl.glDeleteBuffers(1, &b.uBuffer);
    }
    for (MVE_SHADER_BUFFER &b : s.Buffers) {
        b.uBuffer = 0;
        b.Data.clear();
    }
    s.iBuffersReady = 0;
}
