// Shadow maps: the sun's orthographic depth map around the shadow centre and the point-light depth
// cube, rendered face by face. Main thread only. Each pass leaves the shadow framebuffer bound and a
// light projection in the "Projection" block; the next camera pass restores both.
#include "Shadow/Shadow.h"
#include "Core/Engine.h"
#include "Render/Light.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include <cmath>

namespace {

MVE_SHADOW_STATE &S() { return MVE_Engine().Shadow; }

v4f Sub(const v4f &a, const v4f &b) { return {a.x - b.x, a.y - b.y, a.z - b.z, 0.0f}; }
v4f Cross(const v4f &a, const v4f &b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f}; }
v4f Unit(v4f v) {
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0.0f ? v4f{v.x / l, v.y / l, v.z / l, 0.0f} : v;
}

// Placement of an eye at `eye` looking at `target` (camera space looks down -z, y up).
m4f LookAt(const v4f &eye, const v4f &target, const v4f &up) {
    const v4f f = Unit(Sub(target, eye));
    const v4f s = Unit(Cross(f, up));
    const v4f u = Cross(s, f);
    m4f M = {{s.x, s.y, s.z, 0, u.x, u.y, u.z, 0, -f.x, -f.y, -f.z, 0, eye.x, eye.y, eye.z, 1}};
    return M;
}

m4f Ortho(float l, float r, float b, float t, float n, float f) {
    m4f M = {};
    M.m[0] = 2.0f / (r - l);
    M.m[5] = 2.0f / (t - b);
    M.m[10] = -2.0f / (f - n);
    M.m[12] = -(r + l) / (r - l);
    M.m[13] = -(t + b) / (t - b);
    M.m[14] = -(f + n) / (f - n);
    M.m[15] = 1.0f;
    return M;
}

GLuint DepthCube(int size) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint cube = 0;
    gl.glGenTextures(1, &cube);
    gl.glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int i = 0; i < 6; ++i)
        gl.glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_DEPTH_COMPONENT16, size, size, 0, GL_DEPTH_COMPONENT,
                        GL_FLOAT, nullptr);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    gl.glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return cube;
}

}  // namespace

int MVE_InitShadowMap(int size) {
    MVE_SHADOW_STATE &s = S();
    s.iEnabled = 0;
    s.iReady = 0;
    if (!MVE_Engine().GL.iLoaded || size <= 0) return 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    s.iSize = size;
    gl.glGenTextures(1, &s.uMap);
    gl.glBindTexture(GL_TEXTURE_2D, s.uMap);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    s.uCube = DepthCube(size);
    gl.glGenRenderbuffers(1, &s.uRenderbuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, s.uRenderbuffer);
    gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, size, size);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    gl.glGenFramebuffers(1, &s.uFramebuffer);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.uFramebuffer);
    gl.glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, s.uRenderbuffer);
    gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, s.uMap, 0);
    gl.glDrawBuffer(GL_NONE);
    const GLenum status = gl.glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        gl.glDeleteTextures(1, &s.uMap);
        gl.glDeleteTextures(1, &s.uCube);
        gl.glDeleteRenderbuffers(1, &s.uRenderbuffer);
        gl.glDeleteFramebuffers(1, &s.uFramebuffer);
        s.uMap = s.uCube = s.uRenderbuffer = s.uFramebuffer = 0;
        return 0;
    }
    const v4f origin = {0, 0, 0, 1};
    const v4f axis[6] = {{1, 0, 0, 1}, {-1, 0, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}, {0, 0, 1, 1}, {0, 0, -1, 1}};
    const v4f up[6] = {{0, -1, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, -1, 0}, {0, -1, 0, 0}, {0, -1, 0, 0}};
    for (int i = 0; i < 6; ++i) s.m4fFace[i] = LookAt(origin, axis[i], up[i]);
    // Anisotropic textures are read through this sampler by the casters: the same filters and
    // wrapping as such a texture has (only textures with mipmaps are anisotropic), no anisotropy.
    gl.glGenSamplers(1, &s.uCasterSampler);
    gl.glSamplerParameteri(s.uCasterSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gl.glSamplerParameteri(s.uCasterSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glSamplerParameteri(s.uCasterSampler, GL_TEXTURE_WRAP_S, GL_REPEAT);
    gl.glSamplerParameteri(s.uCasterSampler, GL_TEXTURE_WRAP_T, GL_REPEAT);
    s.iReady = 1;
    return 1;
}

void MVE_ShutdownShadowMap() {
    MVE_SHADOW_STATE &s = S();
    if (MVE_Engine().GL.iLoaded) {
        const MVE_GL_TABLE &gl = MVE_gl();
        if (s.uMap) gl.glDeleteTextures(1, &s.uMap);
        if (s.uCube) gl.glDeleteTextures(1, &s.uCube);
        if (s.uRenderbuffer) gl.glDeleteRenderbuffers(1, &s.uRenderbuffer);
        if (s.uFramebuffer) gl.glDeleteFramebuffers(1, &s.uFramebuffer);
        if (s.uCasterSampler) gl.glDeleteSamplers(1, &s.uCasterSampler);
    }
    s.uMap = s.uCube = s.uRenderbuffer = s.uFramebuffer = s.uCasterSampler = 0;
    s.iReady = 0;
}

void MVE_BeginShadowPass(int mode, float farDistance) {
    MVE_SHADOW_STATE &s = S();
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glViewport(0, 0, s.iSize, s.iSize);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.uFramebuffer);
    m4f projection;
    if (mode == 1) {
        MVE_m4fPerspective(&projection, 90.0f, 1.0f, 0.1f, farDistance);
        MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 0, projection.m, 64);
        return;
    }
    projection = Ortho(-10.0f, 10.0f, -10.0f, 10.0f, 0.5f, farDistance);
    MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 0, projection.m, 64);
    s.m4fLightProjection = projection;
    gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, s.uMap, 0);
    gl.glClear(GL_DEPTH_BUFFER_BIT);
}

void MVE_RenderSunShadow() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_SHADOW_STATE &s = e.Shadow;
    if (!s.iReady) return;
    MVE_BeginShadowPass(0, 512.0f);
    const v4f d = Unit(e.Defaults.v4fSunDirection);
    // The light looks along the sun from 128 units before the shadow centre, so the 20 x 20 square
    // of the orthographic projection lies around the centre.
    const v4f eye = {s.v4fCenter.x - 128.0f * d.x, s.v4fCenter.y - 128.0f * d.y, s.v4fCenter.z - 128.0f * d.z, 1.0f};
    const v4f target = {s.v4fCenter.x, s.v4fCenter.y, s.v4fCenter.z, 1.0f};
    const v4f up = std::fabs(d.y) > 0.99f ? v4f{0, 0, -1, 0} : v4f{0, 1, 0, 0};
    const m4f M = LookAt(eye, target, up);
    s.m4fWorldToLight = MVE_RigidInverse(M);
    MVE_DrawShadowCasters(s.m4fWorldToLight, 0);
}

void MVE_RenderPointShadow(const MVE_LIGHT *light, unsigned int cube) {
    MVE_SHADOW_STATE &s = S();
    if (!s.iReady || !cube) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDisable(GL_BLEND);
    gl.glDepthMask(GL_TRUE);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_BACK);
    MVE_BeginShadowPass(1, light->fRange * 0.982f * 32.0f);
    // Nothing beyond the light's range is lit by it, so nothing wholly out there can shadow what is.
    MVE_CULL reach;
    reach.iPlanes = -1;
    reach.fPlane[0][0] = light->v4fPosition.x;
    reach.fPlane[0][1] = light->v4fPosition.y;
    reach.fPlane[0][2] = light->v4fPosition.z;
    reach.fPlane[0][3] = std::fabs(light->fRange);
    for (int i = 0; i < 6; ++i) {
        gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, cube, 0);
        gl.glClear(GL_DEPTH_BUFFER_BIT);
        m4f face = s.m4fFace[i];
        face.m[12] = light->v4fPosition.x;
        face.m[13] = light->v4fPosition.y;
        face.m[14] = light->v4fPosition.z;
        MVE_DrawShadowCasters(MVE_RigidInverse(face), 1, std::isfinite(light->fRange) ? &reach : nullptr);
    }
    // The 2D map goes back in place for the sun's next pass.
    gl.glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, s.uMap, 0);
}

unsigned int MVE_CreateShadowCube() {
    MVE_SHADOW_STATE &s = S();
    return s.iReady ? DepthCube(s.iSize) : 0;
}
