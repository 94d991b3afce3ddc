// Frame cost on this machine's renderer (Mesa llvmpipe, headless):
//  - the demonstration's scene as it stands before its first frame, at 1600 x 900: the median frame,
//    and a profiled frame that waits for the GL after every pass (counters in ms per pass), with the
//    physics thread's rate while frames are drawn back to back;
//  - engine overhead: 2000 small cubes at 160 x 90, the engine's whole frame against a bare loop that
//    makes the per-object GL calls of the G-Buffer pass itself (bind, Model upload, indexed draw).
#include "MVE.h"
#include "Core/Engine.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Scene.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Screen {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-render";
    bool ok = false;
    Screen(int w, int h) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        MVE_ResetEngine();
        ok = MVE_OpenWindow(0, w, h, "bench", MVE_WINDOW_HIDDEN) && MVE_OpenScreen(0, 0, 0, w, h, 32);
    }
    ~Screen() {
        if (ok) MVE_Quit();
        MVE_CloseWindow(0);
        MVE_ResetEngine();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
};

// A 256 x 256 texture drawn by code: a colour pattern, or a bumpy normal map.
int PatternTexture(const char *file, bool normal) {
    const int n = 256;
    std::vector<uint8_t> px(size_t(n) * n * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t *p = &px[(size_t(y) * n + x) * 3];
            if (normal) {
                const float a = std::sin(x * 0.2f) * 0.3f, b = std::cos(y * 0.15f) * 0.3f;
                const float l = std::sqrt(a * a + b * b + 1.0f);
                p[0] = uint8_t(std::lround((a / l * 0.5f + 0.5f) * 255));
                p[1] = uint8_t(std::lround((b / l * 0.5f + 0.5f) * 255));
                p[2] = uint8_t(std::lround((1.0f / l * 0.5f + 0.5f) * 255));
            } else {
                const bool check = ((x / 32) + (y / 32)) % 2 == 0;
                p[0] = uint8_t(check ? 200 : 120 + (x & 31));
                p[1] = uint8_t(check ? 180 : 100 + (y & 31));
                p[2] = uint8_t(check ? 150 : 90);
            }
        }
    // RGB, as colour and normal maps without cut-outs are stored.
    std::string error;
    MVE_PlatformWritePNG(file, px.data(), n, n, 3, error);
    return MVE_LoadTextureFile(-1, file, 0x2600, 0, "");
}

// The cube field's textures are seen from far away: without mipmaps, llvmpipe's anisotropic
// filter walks the whole footprint of every pixel (minutes per frame), which would drown the
// per-object cost this comparison is about. Both sides use the same plain nearest sampling.
void PlainSampling(int texture) {
    const MVE_TEXTURE *t = MVE_GetTexture(texture);
    if (!t) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindTexture(GL_TEXTURE_2D, t->iTexture);
    gl.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY, 1.0f);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

int NormalMappedMaterial(const char *name, int color, int normal) {
    const int material = MVE_CreateMaterial(-1, color, 5, name);
    MVE_MATERIAL *m = MVE_GetMaterial(material);
    if (m) m->Texture[1] = MVE_GetTexture(normal);
    return material;
}

// The demonstration before its first frame.
void DemoScene() {
    MVE_SetBackgroundColor(0xFF808080);
    MVE_EnableSun(0);
    const int light = MVE_CreateLight(27, 0, 5, 0, 1);
    MVE_SetLightColor(light, 0xFFFFFFFF);
    MVE_SetLightShadow(light, 1, 0);
    MVE_SetLightIntensity(light, 0.8f);
    MVE_SetLightRange(light, 100);
    MVE_SetAmbientColor(0xFF101010);
    MVE_EnableShadows(1);
    MVE_SetFarPlane(200);
    MVE_SetNearPlane(0.1f);
    MVE_SetFieldOfView(60);
    MVE_MoveCamera(0, 4, 16, 0);
    const int color = PatternTexture("Color.png", false), normal = PatternTexture("Normal.png", true);
    mvesample::SceneOptions o;
    o.bMakeMeshes = false;
    MVE_CreateBoxMesh(11, 2.0f, 1.0f, 0, "");
    MVE_CreateSphereMesh(5, 1.0f, 36, 18, "");
    MVE_FinishMesh(11);
    MVE_FinishMesh(5);
    o.iBlockMaterial = NormalMappedMaterial("Plane", color, normal);
    o.iBallMaterial = NormalMappedMaterial("Ball", color, normal);
    mvesample::BuildScene(o);
    MVE_MoveLight(27, 5, 5, 5, 0);
}

void Finish() { MVE_gl().glFinish(); }

// Mean time of every pass over the frames of a run (profiling on), in milliseconds.
struct PassTimes {
    double sum[MVE_PASS_COUNT] = {};
    int frames = 0;
    void Add() {
        for (int p = 0; p < MVE_PASS_COUNT; ++p) sum[p] += MVE_GetRenderPassTime(p);
        ++frames;
    }
    void Report(benchmark::State &state) const {
        static const char *names[MVE_PASS_COUNT] = {"sun_shadow", "gbuffer", "sun_light", "point_shadow", "light_volume",
                                                    "forward", "depth", "glow", "copy", "composite"};
        for (int p = 0; p < MVE_PASS_COUNT && frames; ++p) state.counters[names[p]] = sum[p] / frames * 1000.0;
    }
};

void BM_DemoFrame(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    DemoScene();
    if (state.range(0) == 0) MVE_SetPhysicsThread(0);  // as in BM_DemoFramePasses
    MVE_RenderWorld(-1);
    Finish();
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        Finish();
        MVE_FlipBuffers();
    }
    state.counters["physics_hz"] = MVE_GetPhysicsRate();
    state.counters["lock_ms"] = MVE_Engine().Render.fCopyTime * 1000.0;  // physics lock held by the frame copy
}
BENCHMARK(BM_DemoFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(12)->Repetitions(3)->ReportAggregatesOnly(false);

void BM_DemoFramePasses(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    DemoScene();
    // Argument 0 keeps the scene as it is before its first frame (the physics thread stopped), so
    // every frame draws the same picture; 1 lets the chain fall, drape and slide off the frictionless
    // block while frames are drawn, and the cost follows where the balls are.
    if (state.range(0) == 0) MVE_SetPhysicsThread(0);
    MVE_SetRenderProfiling(1);
    MVE_RenderWorld(-1);
    PassTimes passes;
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        MVE_FlipBuffers();
        passes.Add();
    }
    passes.Report(state);
    state.counters["physics_hz"] = MVE_GetPhysicsRate();
}
BENCHMARK(BM_DemoFramePasses)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(10);

// The physics rate of the same scene with no frames drawn, for comparison with the rate above.
void BM_DemoPhysicsWithoutFrames(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    DemoScene();
    for (auto _ : state) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    state.counters["physics_hz"] = MVE_GetPhysicsRate();
}
BENCHMARK(BM_DemoPhysicsWithoutFrames)->Unit(benchmark::kMillisecond)->Iterations(6);

// 2000 cubes (12 triangles each) in a 50 x 40 grid in front of the camera, one material, no shadows.
void CubeField() {
    const int color = PatternTexture("Color.png", false), normal = PatternTexture("Normal.png", true);
    PlainSampling(color);
    PlainSampling(normal);
    const int material = NormalMappedMaterial("Cube", color, normal);
    const int mesh = MVE_CreateBoxMesh(-1, 0.2f, 1.0f, 0, "");
    MVE_FinishMesh(mesh);
    for (int i = 0; i < 2000; ++i) {
        const int o = MVE_CreateObject(-1, mesh, material, "", 0, 1);
        MVE_MoveObject(o, float(i % 50) * 0.4f - 10.0f, float(i / 50) * 0.4f - 8.0f, -20.0f, 0);
    }
    MVE_SetAmbientColor(0xFF202020);
}

void BM_CubesEngineFrame(benchmark::State &state) {
    Screen screen(160, 90);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    MVE_SetPhysicsThread(0);
    CubeField();
    MVE_SetRenderProfiling(int(state.range(0)));
    MVE_RenderWorld(-1);
    Finish();
    PassTimes passes;
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        Finish();
        passes.Add();
    }
    state.counters["objects_drawn"] = double(MVE_Engine().Render.Frame.Items.size());
    if (state.range(0)) passes.Report(state);
}
// Argument 1: every pass finished and timed on its own (the frame is then slower as a whole).
BENCHMARK(BM_CubesEngineFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same objects drawn by a bare loop: the G-Buffer pass's calls and nothing else.
void BM_CubesBareLoop(benchmark::State &state) {
    Screen screen(160, 90);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    MVE_SetPhysicsThread(0);
    CubeField();
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_UpdateCameraView();
    std::vector<m4f> models;
    unsigned int vao = 0;
    int indices = 0;
    MVE_MATERIAL *material = nullptr;
    e.Registries.Objects.ForEach([&](MVE_OBJECT *o) {
        models.push_back(o->m4fModel);
        vao = unsigned(o->pMesh->iVertexArray);
        indices = o->pMesh->iIndices;
        material = o->pMaterial;
    });
    const GLuint model = e.Shader.Buffers[MVE_BUFFER_MODEL].uBuffer;
    const bool bindEach = state.range(0) != 0;  // 1: bind per object; 0: once, as the engine does for one mesh
    const m4f view = e.Render.Camera.m4fView;
    for (auto _ : state) {
        gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, e.GBuffer.uFramebuffer);
        gl.glViewport(0, 0, 160, 90);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        MVE_UseShaderProgram(material->Shader, 0);
        MVE_ApplyMaterial(material);
        gl.glBindBuffer(GL_UNIFORM_BUFFER, model);
        float block[28] = {};
        for (const m4f &m : models) {
            MVE_m4fMultiply(reinterpret_cast<m4f *>(block), &view, &m);
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 3; ++r) block[16 + 4 * c + r] = block[4 * c + r];
            gl.glBufferSubData(GL_UNIFORM_BUFFER, 0, 112, block);
            if (bindEach || &m == &models.front()) gl.glBindVertexArray(vao);
            gl.glDrawElements(GL_TRIANGLES, indices, GL_UNSIGNED_INT, nullptr);
        }
        Finish();
    }
}
BENCHMARK(BM_CubesBareLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
