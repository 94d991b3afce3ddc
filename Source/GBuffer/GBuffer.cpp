// The G-Buffer and the post-processing targets: five floating-point surface targets with one depth
// texture, the scene and glow targets, the screen quad, the light-volume sphere with its instance
// buffer, and the lighting programs. Main thread only; created once at start-up at the screen size.
#include "GBuffer/GBuffer.h"
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Log/Log.h"
#include "Shadow/Shadow.h"
#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace {

MVE_GBUFFER_STATE &G() { return MVE_Engine().GBuffer; }

GLuint Texture2D(GLint internal, GLenum format, GLenum type, int w, int h, GLint filter) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint t = 0;
    gl.glGenTextures(1, &t);
    gl.glBindTexture(GL_TEXTURE_2D, t);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, internal, w, h, 0, format, type, nullptr);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    return t;
}

// Icosahedron subdivided once onto the unit sphere: 42 vertices, 80 triangles, wound outwards.
// Slot 0 holds the centre, which no triangle uses.
void LightVolume(std::vector<float> &vertices, std::vector<uint32_t> &indices) {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<std::array<float, 3>> p = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                           {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                              {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                              {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (auto &v : p) {
        const float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (float &c : v) c /= l;
    }
    std::map<std::pair<int, int>, int> middle;
    auto mid = [&](int a, int b) {
        auto key = std::make_pair(std::min(a, b), std::max(a, b));
        auto it = middle.find(key);
        if (it != middle.end()) return it->second;
        std::array<float, 3> m = {p[a][0] + p[b][0], p[a][1] + p[b][1], p[a][2] + p[b][2]};
        const float l = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
        for (float &c : m) c /= l;
        p.push_back(m);
        return middle[key] = static_cast<int>(p.size()) - 1;
    };
    vertices = {0, 0, 0, 1};
    std::vector<std::array<int, 3>> tri;
    for (const auto &f : faces) {
        const int a = mid(f[0], f[1]), b = mid(f[1], f[2]), c = mid(f[2], f[0]);
        tri.push_back({f[0], a, c});
        tri.push_back({f[1], b, a});
        tri.push_back({f[2], c, b});
        tri.push_back({a, b, c});
    }
    for (const auto &v : p) vertices.insert(vertices.end(), {v[0], v[1], v[2], 1.0f});
    for (const auto &f : tri)
        for (int i : f) indices.push_back(static_cast<uint32_t>(i + 1));
}

void Build(MVE_ENGINE_PROGRAM which) {
    MVE_GL_PROGRAM &program = G().Programs[which];
    if (!MVE_BuildEngineProgram(which, &program, "MVE_InitGBuffer")) program = MVE_GL_PROGRAM();
}

void DeleteTextures(unsigned int *names, int n) {
    const MVE_GL_TABLE &gl = MVE_gl();
    for (int i = 0; i < n; ++i)
        if (names[i]) gl.glDeleteTextures(1, &names[i]);
    for (int i = 0; i < n; ++i) names[i] = 0;
}

}  // namespace

int MVE_InitGBuffer() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    if (!e.GL.iLoaded) return 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    const int w = e.Screen.iWidth, h = e.Screen.iHeight;
    g.iWidth = w;
    g.iHeight = h;
    MVE_LogSection("G-Buffer", 0xD06600);
    MVE_LogHeading("Buffer initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    gl.glGenFramebuffers(1, &g.uFramebuffer);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uFramebuffer);
    gl.glGenRenderbuffers(1, &g.uDepthRenderbuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, g.uDepthRenderbuffer);
    gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    gl.glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g.uDepthRenderbuffer);
    for (int i = 0; i < 5; ++i) {
        g.uTexture[i] = Texture2D(GL_RGBA16F, GL_RGBA, GL_FLOAT, w, h, GL_NEAREST);
        gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, g.uTexture[i], 0);
    }
    g.uTexture[5] = Texture2D(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_FLOAT, w, h, GL_NEAREST);
    gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, g.uTexture[5], 0);
    const GLenum buffers[5] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2, GL_COLOR_ATTACHMENT3,
                               GL_COLOR_ATTACHMENT4};
    gl.glDrawBuffers(5, buffers);
    const GLenum status = gl.glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        MVE_Log(("FAIL: Error " + std::to_string(status) + " !").c_str(), MVE_LOG_FAIL, 0, 0, "", "MVE_InitGBuffer");
        DeleteTextures(g.uTexture, 6);
        MVE_LogSectionEnd();
        return 0;
    }
    MVE_LogOK("MVE_InitGBuffer");

    MVE_LogHeading("Shadow initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_SHADOW);
    Build(MVE_EP_SHADOW_ARRAY);
    Build(MVE_EP_SHADOW_WIND);
    Build(MVE_EP_SHADOW_OPAQUE);
    Build(MVE_EP_SHADOW_WIND_OPAQUE);

    MVE_LogHeading("Direct Light initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_DIRECT_AMBIENT);
    Build(MVE_EP_DIRECT_SUN);
    Build(MVE_EP_DIRECT_SUN_SHADOW);

    MVE_LogHeading("Point Light initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    LightVolume(vertices, indices);
    gl.glGenVertexArrays(1, &g.uVolumeArray);
    gl.glBindVertexArray(g.uVolumeArray);
    gl.glGenBuffers(1, &g.uVolumeBuffer);
    gl.glBindBuffer(GL_ARRAY_BUFFER, g.uVolumeBuffer);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
    gl.glEnableVertexAttribArray(0);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
    gl.glGenBuffers(1, &g.uVolumeIndexBuffer);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.uVolumeIndexBuffer);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 4), indices.data(), GL_STATIC_DRAW);
    gl.glGenBuffers(1, &g.uInstanceBuffer);
    gl.glBindBuffer(GL_ARRAY_BUFFER, g.uInstanceBuffer);
    g.uInstanceCapacity = 16;
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(g.uInstanceCapacity * sizeof(MVE_LIGHT_INSTANCE)), nullptr,
                    GL_STREAM_DRAW);
    const struct { GLuint index; GLint size; size_t offset; } attributes[] = {
        {7, 4, 0}, {8, 4, 16}, {9, 4, 32}, {10, 4, 48}, {11, 3, 64}, {12, 1, 76}, {13, 3, 80}, {14, 1, 92}};
    for (const auto &a : attributes) {
        gl.glEnableVertexAttribArray(a.index);
        gl.glVertexAttribPointer(a.index, a.size, GL_FLOAT, GL_FALSE, sizeof(MVE_LIGHT_INSTANCE),
                                 reinterpret_cast<const void *>(a.offset));
        gl.glVertexAttribDivisor(a.index, 1);
    }
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    Build(MVE_EP_POINT);
    Build(MVE_EP_POINT_SHADOW);

    MVE_LogHeading("Spot Light initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_SPOT);
    MVE_LogHeading("Depth Shader initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_DEPTH);
    MVE_LogHeading("Blur Shader initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_BLUR);
    MVE_LogHeading("Glow Shader initialization:", __LINE__, __FILE__, "MVE_InitGBuffer");
    Build(MVE_EP_GLOW);
    MVE_LogSectionEnd();
    g.iReady = 1;
    return 1;
}

void MVE_InitPostProcess() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    if (!e.GL.iLoaded) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    const int w = e.Screen.iWidth, h = e.Screen.iHeight;
    const float W = static_cast<float>(w), H = static_cast<float>(h);
    const float quad[20] = {0, 0, 0, 0, 1, 0, H, 0, 0, 0, W, 0, 0, 1, 1, W, H, 0, 1, 0};
    gl.glGenVertexArrays(1, &g.uQuadArray);
    gl.glBindVertexArray(g.uQuadArray);
    gl.glGenBuffers(1, &g.uQuadBuffer);
    gl.glBindBuffer(GL_ARRAY_BUFFER, g.uQuadBuffer);
    gl.glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
    gl.glEnableVertexAttribArray(0);
    gl.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    gl.glEnableVertexAttribArray(2);
    gl.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<const void *>(12));
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);

    gl.glGenFramebuffers(1, &g.uSceneFramebuffer);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uSceneFramebuffer);
    for (int i = 0; i < 2; ++i) {
        g.uSceneTexture[i] = Texture2D(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, w, h, GL_NEAREST);
        gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, g.uSceneTexture[i], 0);
    }
    if (g.uDepthRenderbuffer)
        gl.glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g.uDepthRenderbuffer);
    if (g.uTexture[5]) gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, g.uTexture[5], 0);
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    (void)gl.glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);

    // The linear-depth pass writes the misc target while it reads the depth texture: a framebuffer
    // of its own holds the misc target alone, so the texture read is never also an attachment.
    gl.glGenFramebuffers(1, &g.uDepthFramebuffer);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uDepthFramebuffer);
    if (g.uTexture[4]) gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, g.uTexture[4], 0);
    const GLenum only4[5] = {GL_NONE, GL_NONE, GL_NONE, GL_NONE, GL_COLOR_ATTACHMENT0};
    gl.glDrawBuffers(5, only4);

    g.fGlowScale = 0.5f;
    g.iGlowWidth = static_cast<int>(std::lround(w * 0.5));
    g.iGlowHeight = static_cast<int>(std::lround(h * 0.5));
    if (g.iGlowWidth < 1) g.iGlowWidth = 1;
    if (g.iGlowHeight < 1) g.iGlowHeight = 1;
    gl.glGenFramebuffers(1, &g.uGlowFramebuffer);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uGlowFramebuffer);
    for (int i = 0; i < 2; ++i) {
        g.uGlowTexture[i] = Texture2D(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, g.iGlowWidth, g.iGlowHeight, GL_LINEAR);
        gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, g.uGlowTexture[i], 0);
    }
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    (void)gl.glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void MVE_StartupGBuffer() {
    MVE_InitGBuffer();
    MVE_InitPostProcess();
}

void MVE_StartupShadowAndLines() {
    MVE_InitShadowMap(2048);
    MVE_InitLineBuffer();
}

void MVE_ShutdownGBuffer() {
    MVE_GBUFFER_STATE &g = G();
    if (MVE_Engine().GL.iLoaded) {
        const MVE_GL_TABLE &gl = MVE_gl();
        for (MVE_GL_PROGRAM &p : g.Programs) MVE_DeleteEngineProgram(&p);
        DeleteTextures(g.uTexture, 6);
        DeleteTextures(g.uSceneTexture, 2);
        DeleteTextures(g.uGlowTexture, 2);
        const unsigned int framebuffers[4] = {g.uFramebuffer, g.uSceneFramebuffer, g.uGlowFramebuffer, g.uDepthFramebuffer};
        for (unsigned int f : framebuffers)
            if (f) gl.glDeleteFramebuffers(1, &f);
        if (g.uDepthRenderbuffer) gl.glDeleteRenderbuffers(1, &g.uDepthRenderbuffer);
        const unsigned int buffers[4] = {g.uQuadBuffer, g.uVolumeBuffer, g.uVolumeIndexBuffer, g.uInstanceBuffer};
        for (unsigned int b : buffers)
            if (b) gl.glDeleteBuffers(1, &b);
        const unsigned int arrays[2] = {g.uQuadArray, g.uVolumeArray};
        for (unsigned int a : arrays)
            if (a) gl.glDeleteVertexArrays(1, &a);
    }
    g = MVE_GBUFFER_STATE();
}

void MVE_ShutdownRender() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_RENDER_STATE &r = e.Render;
    if (e.GL.iLoaded) {
        const MVE_GL_TABLE &gl = MVE_gl();
        if (r.uSkyBuffer) gl.glDeleteBuffers(1, &r.uSkyBuffer);
        if (r.uSkyArray) gl.glDeleteVertexArrays(1, &r.uSkyArray);
    }
    r.uSkyBuffer = r.uSkyArray = 0;
    MVE_ShutdownBackdrops();
    MVE_ShutdownLineBuffer();
    MVE_ShutdownShadowMap();
    MVE_ShutdownGBuffer();
}
