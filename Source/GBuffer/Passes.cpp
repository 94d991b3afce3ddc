// The passes of one frame, in their fixed order: sun shadow, G-Buffer fill, sky and sun light,
// point and spot lights (with their shadow cubes), forward group 1 and lines, linear depth, glow,
// the copy to the output and the forward effects on top. Main thread only. A pass whose program
// failed to build is skipped; the rest of the frame still draws.
#include "Core/Engine.h"
#include "GBuffer/GBuffer.h"
#include "Lines/Lines.h"
#include "Log/Log.h"
#include "Particles/Particles.h"
#include "Render/Light.h"
#include "Render/Render.h"
#include "Render/Screen.h"
#include "Shader/Shader.h"
#include "Shadow/Shadow.h"
#include "Texture/Texture.h"
#include <cmath>

namespace {

constexpr float kDegToRad = 3.14159265358979f / 180.0f;

struct PassClock {
    double fStart = 0;
    void Begin() {
        MVE_RENDER_STATE &r = MVE_Engine().Render;
        if (!r.iProfile) return;
        for (double &t : r.fPassTime) t = 0.0;
        fStart = MVE_RenderClock();
    }
    // With profiling on, the GL work of the pass is finished before the clock is read.
    void End(int pass) {
        MVE_RENDER_STATE &r = MVE_Engine().Render;
        if (!r.iProfile) return;
        MVE_gl().glFinish();
        const double now = MVE_RenderClock();
        r.fPassTime[pass] += now - fStart;
        fStart = now;
    }
};

v4f Mul3(const m4f &M, const v4f &v, float w) {
    const float *m = M.m;
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12] * w, m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13] * w,
            m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14] * w, w};
}

m4f Multiply(const m4f &A, const m4f &B) {
    m4f out;
    MVE_m4fMultiply(&out, &A, &B);
    return out;
}

// Light passes shade only pixels that hold geometry. Every fragment is put at depth 1.0 (the depth
// range, with clamping so nothing is clipped at the far plane) and tested "not equal" against the
// G-Buffer depth, which is 1.0 exactly where nothing was drawn: those pixels are rejected before
// their shader runs, the others are shaded as before.
// Strip meshes write colour but no depth, so a frame that drew one shades every pixel.
void GeometryOnly(bool on) {
    const MVE_GL_TABLE &gl = MVE_gl();
    if (on && !MVE_Engine().Render.Frame.iStripsDrawn) {
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(GL_NOTEQUAL);
        gl.glEnable(GL_DEPTH_CLAMP);
        gl.glDepthRange(1.0, 1.0);
    } else {
        gl.glDepthRange(0.0, 1.0);
        gl.glDisable(GL_DEPTH_CLAMP);
        gl.glDepthFunc(GL_LEQUAL);
        gl.glDisable(GL_DEPTH_TEST);
    }
}

void DrawQuad() {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindVertexArray(MVE_Engine().GBuffer.uQuadArray);
    gl.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void BindGBufferMaps() {
    const MVE_GL_TABLE &gl = MVE_gl();
    const MVE_GBUFFER_STATE &g = MVE_Engine().GBuffer;
    for (int i = 0; i < 5; ++i) {
        gl.glActiveTexture(GL_TEXTURE0 + i);
        gl.glBindTexture(GL_TEXTURE_2D, g.uTexture[i]);
    }
}

void SetMaps(const MVE_GL_PROGRAM &p) {
    const MVE_GL_TABLE &gl = MVE_gl();
    for (int i = 0; i < 5 && i < static_cast<int>(p.Locations.size()); ++i) gl.glUniform1i(p.Locations[i], i);
}

GLint Loc(const MVE_GL_PROGRAM &p, int index) {
    return index < static_cast<int>(p.Locations.size()) ? p.Locations[index] : -1;
}

void BindOutput(int framebuffer) {
    const MVE_GL_TABLE &gl = MVE_gl();
    if (framebuffer == -1 || framebuffer == 0) {
        MVE_BindScreen();
    } else {
        gl.glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
        gl.glViewport(0, 0, MVE_Engine().Screen.iWidth, MVE_Engine().Screen.iHeight);
    }
}

// A cube of 36 vertices around the eye; the sky program takes its direction from the position.
void DrawSky() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_RENDER_STATE &r = e.Render;
    if (!r.iSkyTexture) return;
    const MVE_TEXTURE *texture = MVE_GetTexture(r.iSkyTexture);
    MVE_SHADER *sky = MVE_DrawableProgram(MVE_PROGRAM_SKYBOX);
    if (!texture || texture->iTarget != GL_TEXTURE_CUBE_MAP || !sky) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    if (!r.uSkyArray) {
        static const int corners[36] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                        2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
        float v[36 * 4];
        for (int i = 0; i < 36; ++i) {
            const int c = corners[i];
            v[4 * i] = (c & 4) ? 1.0f : -1.0f;
            v[4 * i + 1] = (c & 2) ? 1.0f : -1.0f;
            v[4 * i + 2] = (c & 1) ? 1.0f : -1.0f;
            v[4 * i + 3] = 1.0f;
        }
        gl.glGenVertexArrays(1, &r.uSkyArray);
        gl.glBindVertexArray(r.uSkyArray);
        gl.glGenBuffers(1, &r.uSkyBuffer);
        gl.glBindBuffer(GL_ARRAY_BUFFER, r.uSkyBuffer);
        gl.glBufferData(GL_ARRAY_BUFFER, sizeof(v), v, GL_STATIC_DRAW);
        gl.glEnableVertexAttribArray(0);
        gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
        gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    gl.glUseProgram(sky->uProgram);
    gl.glUniform1i(MVE_ShaderSlot(sky, 0), 0);
    gl.glUniform1i(MVE_ShaderSlot(sky, 1), 1);
    gl.glUniform4fv(MVE_ShaderSlot(sky, 2), 1, &r.v4fSkyColor.x);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_CUBE_MAP, texture->iTexture);
    gl.glActiveTexture(GL_TEXTURE1);
    gl.glBindTexture(GL_TEXTURE_2D, e.GBuffer.uTexture[4]);
    // The sky turns with the camera but never moves with it.
    m4f view = r.Camera.m4fView;
    view.m[12] = view.m[13] = view.m[14] = 0.0f;
    MVE_UploadModel(view, 0);
    gl.glDisable(GL_CULL_FACE);
    gl.glBindVertexArray(r.uSkyArray);
    gl.glDrawArrays(GL_TRIANGLES, 0, 36);
    MVE_DrawSkyMeshes(sky);
    gl.glEnable(GL_CULL_FACE);
}

void SunLight() {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_RENDER_DEFAULTS &d = e.Defaults;
    const MVE_SHADOW_STATE &s = e.Shadow;
    const MVE_GL_TABLE &gl = MVE_gl();
    int state = 0;
    MVE_ENGINE_PROGRAM which = MVE_EP_DIRECT_AMBIENT;
    if (d.iSunEnabled) {
        const bool shadow = s.iEnabled && s.iReady && e.GBuffer.Programs[MVE_EP_DIRECT_SUN_SHADOW].uProgram;
        state = shadow ? 5 : 1;
        which = shadow ? MVE_EP_DIRECT_SUN_SHADOW : MVE_EP_DIRECT_SUN;
    }
    const MVE_GL_PROGRAM &p = e.GBuffer.Programs[which];
    if (!p.uProgram) return;
    BindGBufferMaps();
    gl.glUseProgram(p.uProgram);
    SetMaps(p);
    gl.glUniform4fv(Loc(p, MVE_DL_AMBIENT_COLOR), 1, &d.v4fAmbientColor.x);
    gl.glUniform1i(Loc(p, MVE_DL_LIGHT_STATE), state);
    if (state > 0) {
        const v4f toward = {-d.v4fSunDirection.x, -d.v4fSunDirection.y, -d.v4fSunDirection.z, 0.0f};
        const v4f l = Mul3(e.Render.Camera.m4fView, toward, 0.0f);
        gl.glUniform3fv(Loc(p, MVE_DL_LIGHT_DIRECTION), 1, &l.x);
        gl.glUniform3fv(Loc(p, MVE_DL_LIGHT_COLOR), 1, &d.v4fSunColor.x);
        gl.glUniform1f(Loc(p, MVE_DL_LIGHT_INTENSITY), d.fSunIntensity);
    }
    if (state == 5) {
        gl.glActiveTexture(GL_TEXTURE5);
        gl.glBindTexture(GL_TEXTURE_2D, s.uMap);
        gl.glUniform1i(Loc(p, MVE_DL_SHADOW_MAP), 5);
        gl.glUniformMatrix4fv(Loc(p, MVE_DL_WORLD_TO_LIGHT_VIEW), 1, GL_FALSE, s.m4fWorldToLight.m);
        gl.glUniformMatrix4fv(Loc(p, MVE_DL_LIGHT_VIEW_TO_PROJECTION), 1, GL_FALSE, s.m4fLightProjection.m);
        gl.glUniformMatrix4fv(Loc(p, MVE_DL_WORLD_TO_CAMERA_VIEW), 1, GL_FALSE, e.Render.Camera.m4fView.m);
    }
    GeometryOnly(true);
    DrawQuad();
    GeometryOnly(false);
}

// The Light block's first 32 bytes (view-space position, shader range, colour, intensity).
void WriteLightBlock(const MVE_LIGHT *light, const v4f &position) {
    const float block[8] = {position.x, position.y, position.z, light->fRange * 0.982f,
                            light->v4fColor.x, light->v4fColor.y, light->v4fColor.z, light->fIntensity};
    MVE_WriteShaderBuffer(MVE_BUFFER_LIGHT, 0, block, 32);
}

// Point-light pass state: additive, inside of the volumes, no depth.
void LightState() {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDepthMask(GL_FALSE);
    gl.glDisable(GL_DEPTH_TEST);
    gl.glEnable(GL_BLEND);
    gl.glBlendFunc(GL_ONE, GL_ONE);
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_FRONT);
}

void DrawVolume(const MVE_GBUFFER_STATE &g, GLsizei instances) {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindVertexArray(g.uVolumeArray);
    GeometryOnly(true);
    if (instances)
        gl.glDrawElementsInstanced(GL_TRIANGLES, 240, GL_UNSIGNED_INT, nullptr, instances);
    else
        gl.glDrawElements(GL_TRIANGLES, 240, GL_UNSIGNED_INT, nullptr);
    GeometryOnly(false);
}

// One shadow-casting point light: its cube, then its volume with the shadowed program.
void ShadowedPointLight(MVE_LIGHT *light, PassClock &clock) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    const MVE_GL_PROGRAM &p = g.Programs[MVE_EP_POINT_SHADOW];
    const MVE_GL_TABLE &gl = MVE_gl();
    clock.End(MVE_PASS_LIGHT_VOLUMES);
    unsigned int cube = e.Shadow.uCube;
    if (light->iStatic) {
        // A static light's cube is rendered once and kept; moving the light renders it again.
        if (!light->uStaticCube) light->uStaticCube = MVE_CreateShadowCube();
        if (!light->iStaticDone && light->uStaticCube) {
            MVE_RenderPointShadow(light, light->uStaticCube);
            light->iStaticDone = 1;
        }
        cube = light->uStaticCube;
    } else {
        MVE_RenderPointShadow(light, cube);
    }
    clock.End(MVE_PASS_POINT_SHADOW);
    MVE_BeginCameraPass(static_cast<int>(g.uSceneFramebuffer));
    LightState();
    const m4f &view = e.Render.Camera.m4fView;
    MVE_UploadModel(Multiply(view, light->m4fMatrix), 1);
    WriteLightBlock(light, Mul3(view, light->v4fPosition, 1.0f));
    const int isStatic = light->iStatic ? 1 : 0;
    MVE_WriteShaderBuffer(MVE_BUFFER_LIGHT, 48, &isStatic, 4);
    BindGBufferMaps();
    gl.glActiveTexture(GL_TEXTURE5);
    gl.glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    gl.glActiveTexture(GL_TEXTURE6);
    gl.glBindTexture(GL_TEXTURE_CUBE_MAP, isStatic ? light->uStaticCube : cube);
    gl.glUseProgram(p.uProgram);
    SetMaps(p);
    gl.glUniform1i(Loc(p, MVE_PL_SHADOW_MAP), 5);
    gl.glUniform1i(Loc(p, MVE_PL_STATIC_SHADOW_MAP), 6);
    // View space back to the world: the cube was rendered along world axes from the light.
    m4f toWorld = e.Render.Camera.Node.m4fMatrix;
    toWorld.m[12] = toWorld.m[13] = toWorld.m[14] = 0.0f;
    m4f lookup = toWorld;
    for (int i = 0; i < 12; ++i) lookup.m[i] = -lookup.m[i];  // surface-to-light turned into light-to-surface
    gl.glUniformMatrix4fv(Loc(p, MVE_PL_WORLD_VIEW), 1, GL_FALSE, toWorld.m);
    gl.glUniformMatrix4fv(Loc(p, MVE_PL_SHADOW_TEXTURE), 1, GL_FALSE, lookup.m);
    DrawVolume(g, 0);
}

void SpotLight(MVE_LIGHT *light) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    const MVE_GL_PROGRAM &p = g.Programs[MVE_EP_SPOT];
    if (!p.uProgram) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    const m4f &view = e.Render.Camera.m4fView;
    MVE_UploadModel(Multiply(view, light->m4fMatrix), 1);
    const v4f position = Mul3(view, light->v4fPosition, 1.0f);
    const v4f axis = Mul3(view, light->v4fDirection, 0.0f);
    // The shaders take the cone as a factor on the angle in radians: 0 at the cone's edge.
    const float cone = 1.0f / (light->fConeAngle * kDegToRad);
    const float block[13] = {position.x, position.y, position.z, light->fRange * 0.982f,
                             light->v4fColor.x, light->v4fColor.y, light->v4fColor.z, light->fIntensity,
                             axis.x, axis.y, axis.z, cone, 0.0f};
    MVE_WriteShaderBuffer(MVE_BUFFER_LIGHT, 0, block, 52);
    gl.glUseProgram(p.uProgram);
    SetMaps(p);
    DrawVolume(g, 0);
}

void Lights(PassClock &clock) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    const MVE_GL_TABLE &gl = MVE_gl();
    const m4f &view = e.Render.Camera.m4fView;
    LightState();
    g.Instances.clear();
    const bool shadowProgram = g.Programs[MVE_EP_POINT_SHADOW].uProgram != 0;
    std::vector<MVE_LIGHT *> spots;
    e.Registries.Lights.ForEach([&](MVE_LIGHT *light) {
        if (!light->iEnabled || light->fIntensity == 0.0f) return;
        if (light->iType == MVE_LIGHT_SPOT) {
            spots.push_back(light);
            return;
        }
        if (light->iShadow && shadowProgram) {
            ShadowedPointLight(light, clock);
            return;
        }
        MVE_LIGHT_INSTANCE instance;
        const m4f modelView = Multiply(view, light->m4fMatrix);
        for (int i = 0; i < 16; ++i) instance.mModelView[i] = modelView.m[i];
        const v4f position = Mul3(view, light->v4fPosition, 1.0f);
        instance.vPosition[0] = position.x;
        instance.vPosition[1] = position.y;
        instance.vPosition[2] = position.z;
        instance.fRange = light->fRange * 0.982f;
        instance.vColor[0] = light->v4fColor.x;
        instance.vColor[1] = light->v4fColor.y;
        instance.vColor[2] = light->v4fColor.z;
        instance.fIntensity = light->fIntensity;
        g.Instances.push_back(instance);
    });
    const MVE_GL_PROGRAM &point = g.Programs[MVE_EP_POINT];
    if (!g.Instances.empty() && point.uProgram) {
        gl.glBindBuffer(GL_ARRAY_BUFFER, g.uInstanceBuffer);
        if (g.Instances.size() > g.uInstanceCapacity) {
            g.uInstanceCapacity = g.Instances.size() * 2;
            gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(g.uInstanceCapacity * sizeof(MVE_LIGHT_INSTANCE)),
                            nullptr, GL_STREAM_DRAW);
        }
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(g.Instances.size() * sizeof(MVE_LIGHT_INSTANCE)),
                           g.Instances.data());
        gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
        BindGBufferMaps();
        gl.glUseProgram(point.uProgram);
        SetMaps(point);
        DrawVolume(g, static_cast<GLsizei>(g.Instances.size()));
    }
    if (!spots.empty()) {
        BindGBufferMaps();
        for (MVE_LIGHT *light : spots) SpotLight(light);
    }
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glCullFace(GL_BACK);
    gl.glDepthMask(GL_TRUE);
    gl.glEnable(GL_DEPTH_TEST);
}

// The state every pass after the forward group starts from.
void PostForwardState() {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDisable(GL_BLEND);
    gl.glDepthMask(GL_FALSE);
    gl.glDisable(GL_DEPTH_TEST);
}

void DepthPass() {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GBUFFER_STATE &g = e.GBuffer;
    const MVE_GL_PROGRAM &p = g.Programs[MVE_EP_DEPTH];
    const MVE_GL_TABLE &gl = MVE_gl();
    if (!p.uProgram) return;
    // Output 4 must reach the misc target: the depth framebuffer's draw-buffer list maps output 4 to
    // its only attachment (a single glDrawBuffer would take output 0).
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uDepthFramebuffer);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, g.uTexture[5]);
    gl.glUseProgram(p.uProgram);
    gl.glUniform1i(Loc(p, MVE_DP_DEPTH_MAP), 0);
    gl.glUniform1f(Loc(p, MVE_DP_NEAR), e.Shader.Camera.fNear);
    gl.glUniform1f(Loc(p, MVE_DP_FAR), e.Shader.Camera.fFar);
    DrawQuad();
}

void GlowPass() {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GBUFFER_STATE &g = e.GBuffer;
    const MVE_GL_PROGRAM &glow = g.Programs[MVE_EP_GLOW], &blur = g.Programs[MVE_EP_BLUR];
    if (!glow.uProgram || !blur.uProgram) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uGlowFramebuffer);
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    gl.glViewport(0, 0, g.iGlowWidth, g.iGlowHeight);
    gl.glActiveTexture(GL_TEXTURE1);
    gl.glBindTexture(GL_TEXTURE_2D, g.uTexture[4]);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, g.uTexture[2]);
    gl.glUseProgram(glow.uProgram);
    gl.glUniform1i(Loc(glow, MVE_GL_DIFFUSE_MAP), 0);
    DrawQuad();
    const float spread = e.Defaults.fGlowOffset;
    gl.glUseProgram(blur.uProgram);
    gl.glUniform1i(Loc(blur, MVE_BL_COLOR_MAP), 0);
    gl.glUniform1i(Loc(blur, MVE_BL_DEPTH_MAP), 1);
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT1);
    gl.glBindTexture(GL_TEXTURE_2D, g.uGlowTexture[0]);
    gl.glUniform1f(Loc(blur, MVE_BL_USHIFT), spread / static_cast<float>(g.iWidth));
    gl.glUniform1f(Loc(blur, MVE_BL_VSHIFT), 0.0f);
    DrawQuad();
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    gl.glBindTexture(GL_TEXTURE_2D, g.uGlowTexture[1]);
    gl.glUniform1f(Loc(blur, MVE_BL_USHIFT), 0.0f);
    gl.glUniform1f(Loc(blur, MVE_BL_VSHIFT), spread / static_cast<float>(g.iHeight));
    DrawQuad();
}

void Copy(unsigned int texture) {
    const MVE_GL_PROGRAM &p = MVE_Engine().Shader.Copy;
    if (!p.uProgram) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glUseProgram(p.uProgram);
    gl.glUniform1i(Loc(p, MVE_CP_COLOR_MAP), 0);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    DrawQuad();
}

void FinalState() {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDepthMask(GL_TRUE);
    gl.glEnable(GL_BLEND);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl.glBindVertexArray(0);
    gl.glActiveTexture(GL_TEXTURE0);
}

void ClearOutput(int framebuffer) {
    const MVE_GL_TABLE &gl = MVE_gl();
    const v4f &b = MVE_Engine().Render.v4fBackground;
    BindOutput(framebuffer);
    gl.glClearColor(b.x, b.y, b.z, b.w);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Without a G-Buffer there is no lighting: the forward groups and the lines straight into the
// output, over the background colour.
void ForwardOnlyFrame(int framebuffer) {
    const MVE_GL_TABLE &gl = MVE_gl();
    ClearOutput(framebuffer);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthMask(GL_TRUE);
    gl.glEnable(GL_BLEND);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 0,
                          (MVE_Engine().Shader.Camera.iMode ? MVE_Engine().Shader.Camera.m4fPerspective
                                                            : MVE_Engine().Shader.Camera.m4fOrthographic).m, 64);
    MVE_DrawRenderGroup(1);
    MVE_DrawLines();
    MVE_DrawParticleEmitters();   // nothing happens without emitters or billboards
    MVE_DrawBillboards();
    MVE_DrawRenderGroup(2);
    FinalState();
}

}  // namespace

void MVE_BeginCameraPass(int framebuffer) {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glViewport(0, 0, e.Screen.iWidth, e.Screen.iHeight);
    if (framebuffer != -1) gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
    const MVE_CAMERA_PROJECTION &c = e.Shader.Camera;
    MVE_WriteShaderBuffer(MVE_BUFFER_PROJECTION, 0, (c.iMode ? c.m4fPerspective : c.m4fOrthographic).m, 64);
}

extern "C" void MVE_RenderWorld(int framebuffer) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_RENDER_STATE &r = e.Render;
    if (!e.GL.iLoaded) {
        if (!(e.Screen.uReported & 0x100)) {
            e.Screen.uReported |= 0x100;
            MVE_LogFail("Fail: No screen is open!", "MVE_RenderWorld");
        }
        return;
    }
    if (r.iInFrame) return;  // a nested call from a drawing hook would corrupt the frame's state
    r.iInFrame = 1;
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_GBUFFER_STATE &g = e.GBuffer;
    PassClock clock;
    clock.Begin();
    MVE_UpdateCameraView();
    MVE_CopyFrame();
    if (!g.iReady) {
        ForwardOnlyFrame(framebuffer);
        r.iInFrame = 0;
        return;
    }
    // 1.
    gl.glDisable(GL_BLEND);
    gl.glDepthMask(GL_TRUE);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_BACK);
    // 2. Nothing reads the sun's map while the sun is off.
    if (e.Shadow.iEnabled && e.Defaults.iSunEnabled) MVE_RenderSunShadow();
    clock.End(MVE_PASS_SUN_SHADOW);
    // 3.
    MVE_BeginCameraPass(static_cast<int>(g.uFramebuffer));
    gl.glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    r.Frame.iStripsDrawn = MVE_DrawStripMeshes();
    MVE_DrawRenderGroup(0);
    clock.End(MVE_PASS_GBUFFER);
    // 4.
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.uSceneFramebuffer);
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    gl.glDepthMask(GL_FALSE);
    gl.glEnable(GL_BLEND);
    // The scene target holds colours already weighted by their coverage, which its alpha keeps:
    // the screen copy lays it over the background by that coverage alone (see step 9).
    gl.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    DrawSky();
    gl.glDisable(GL_DEPTH_TEST);
    SunLight();
    clock.End(MVE_PASS_SUN_LIGHT);
    // 5.
    Lights(clock);
    clock.End(MVE_PASS_LIGHT_VOLUMES);
    // 6. Soft particles fade against the linear depth, which the G-Buffer fill leaves blank: a frame
    // that draws them gets it from the depth pass first.
    if (MVE_SoftParticlesToDraw() && g.Programs[MVE_EP_DEPTH].uProgram) {
        PostForwardState();
        DepthPass();
        gl.glEnable(GL_BLEND);
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        gl.glDepthMask(GL_TRUE);
        gl.glEnable(GL_DEPTH_TEST);
    }
    MVE_BeginCameraPass(static_cast<int>(g.uSceneFramebuffer));
    gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    // The scene's alpha is the coverage the copy to the screen blends by: what is drawn over the lit
    // scene adds to it and never lets the background through.
    gl.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    MVE_DrawRenderGroup(1);
    MVE_DrawLines();
    // Particles and billboards go into the lit scene here, depth-tested against it, rather than
    // over the finished picture after the last group and the glow: a particle behind a wall stays
    // hidden whatever program its material uses (not only those that compare the scene's depth
    // themselves), and the scene's coverage, which the copy to the screen blends by, includes it.
    // The price: the scene's glow is added over them, and water and refraction of the last group
    // are drawn over them even where a particle is nearer.
    MVE_DrawParticleEmitters();   // nothing happens without emitters or billboards
    MVE_DrawBillboards();
    clock.End(MVE_PASS_FORWARD);
    // 7. and 8. With nothing emitting, the glow would add black: both passes are left out, and the
    // linear depth with them unless the last group reads it. The picture stays the same.
    const bool glow = e.Defaults.iGlow && r.Frame.iMayGlow && g.Programs[MVE_EP_GLOW].uProgram &&
                      g.Programs[MVE_EP_BLUR].uProgram;
    PostForwardState();
    if (glow || r.Frame.iLastGroupReadsDepth) DepthPass();
    clock.End(MVE_PASS_DEPTH);
    if (glow) GlowPass();
    clock.End(MVE_PASS_GLOW);
    // 9.
    ClearOutput(framebuffer);
    gl.glEnable(GL_BLEND);
    // Weighting the scene's colours by their alpha a second time would darken everything drawn
    // half-transparent over empty background (a billboard of alpha a would show with a squared).
    gl.glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    Copy(g.uSceneTexture[0]);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    clock.End(MVE_PASS_COPY);
    // 10.
    MVE_DrawRenderGroup(2);
    if (glow) {
        gl.glBlendFunc(GL_ONE, GL_ONE);
        Copy(g.uGlowTexture[0]);
    }
    FinalState();
    clock.End(MVE_PASS_COMPOSITE);
    r.iInFrame = 0;
}

extern "C" void MVE_SetRenderProfiling(int enabled) { MVE_Engine().Render.iProfile = enabled ? 1 : 0; }

extern "C" float MVE_GetRenderPassTime(int pass) {
    if (pass < 0 || pass >= MVE_PASS_COUNT) return 0.0f;
    return static_cast<float>(MVE_Engine().Render.fPassTime[pass]);
}
