// Frame cost on this machine's renderer (Mesa llvmpipe, headless):
//  - the demonstration's scene as it stands before its first frame, at 1600 x 900: the median frame,
//    and a profiled frame that waits for the GL after every pass (counters in ms per pass), with the
//    physics thread's rate while frames are drawn back to back;
//  - the demonstration itself (its data, start-up and frame) while the chain falls for 25 s, with its
//    textures' mipmaps and without them: median and worst frame, frames over 0.5 s;
//  - surfaces the software rasteriser is slowest on: a large tiled ground plane at a grazing angle
//    without mipmaps, with a chain that stops early and with a whole chain; a mirror sphere filling
//    the view that reflects a cube map; a shadow-casting light close above a tiled ground;
//  - engine overhead: 2000 small cubes at 160 x 90, the engine's whole frame against a bare loop that
//    makes the per-object GL calls of the G-Buffer pass itself (bind, Model upload, indexed draw).
#include "MVE.h"
#include "Core/Engine.h"
#include "Demo.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Scene.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <thread>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// Processor time of the whole process (every thread) in seconds.
double ProcessSeconds() {
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The demonstration from its own data while the chain falls for 25 s. Argument 1: the data as shipped
// (every texture with a whole mipmap chain); 0: the texture sections without their "Mipmaps" rows,
// so with a definition's defaults (no mipmaps, nearest texel), as a user's data often comes. One
// frame draws first: it compiles the rasteriser's shader variants. The worst frame should stay
// within three times the median. On a machine shared with other work the wall times follow the
// load; the processor time the process spends on a frame (all of the rasteriser's threads) much
// less, so both are reported.
void BM_DemoChainFalling(benchmark::State &state) {
    const std::filesystem::path old = std::filesystem::current_path();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-demo";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::copy(MVE_BENCH_DEMO_RESOURCES, dir / "Resources", std::filesystem::copy_options::recursive);
    if (state.range(0) == 0) {
        std::ifstream in(dir / "Resources" / "Materials.mvd");
        std::stringstream kept;
        for (std::string line; std::getline(in, line);)
            if (line.find("Mipmaps") == std::string::npos) kept << line << "\n";
        in.close();
        std::ofstream(dir / "Resources" / "Materials.mvd") << kept.str();
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    std::filesystem::current_path(dir);
    MVE_ResetEngine();
    mvedemo::DemoOptions options;
    options.iWindowFlags = MVE_WINDOW_HIDDEN;
    options.sResources = (dir / "Resources").string();
    if (!mvedemo::DemoStart(options)) {
        state.SkipWithError("no GL screen");
    } else {
        std::vector<double> frames, cpu;
        mvedemo::DemoFrame();
        Finish();
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - start < std::chrono::seconds(25)) {
                const auto t0 = std::chrono::steady_clock::now();
                const double c0 = ProcessSeconds();
                mvedemo::DemoFrame();
                Finish();
                cpu.push_back(ProcessSeconds() - c0);
                frames.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            }
        }
        const double median = Median(frames), worst = frames.empty() ? 0.0 : *std::max_element(frames.begin(), frames.end());
        const double cpuMedian = Median(cpu), cpuWorst = cpu.empty() ? 0.0 : *std::max_element(cpu.begin(), cpu.end());
        state.counters["frames"] = double(frames.size());
        state.counters["median_ms"] = median * 1000.0;
        state.counters["worst_ms"] = worst * 1000.0;
        state.counters["worst_per_median"] = median > 0.0 ? worst / median : 0.0;
        state.counters["over_0.5s"] = double(std::count_if(frames.begin(), frames.end(), [](double f) { return f > 0.5; }));
        state.counters["cpu_median_ms"] = cpuMedian * 1000.0;
        state.counters["cpu_worst_ms"] = cpuWorst * 1000.0;
        state.counters["cpu_worst_per_median"] = cpuMedian > 0.0 ? cpuWorst / cpuMedian : 0.0;
        mvedemo::DemoStop();
    }
    MVE_ResetEngine();
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DemoChainFalling)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

// A checkered 1024 x 1024 texture tiled 100 times over a ground of 400 x 400, seen from 1.5 above it
// at 1600 x 900 (the far plane at 300). Argument: the mipmap levels asked for: 0 none, 1 a chain that
// stops at 512 x 512, 10 the whole chain (the only one filtered anisotropically).
void BM_GrazingPlane(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    MVE_SetPhysicsThread(0);
    const int n = 1024;
    std::vector<uint8_t> px(size_t(n) * n * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t *p = &px[(size_t(y) * n + x) * 3];
            p[0] = uint8_t(x * 7 ^ y * 3);
            p[1] = uint8_t(x + y);
            p[2] = uint8_t(((x / 16 + y / 16) & 1) * 200);
        }
    std::string error;
    MVE_PlatformWritePNG("Ground.png", px.data(), n, n, 3, error);
    const int texture = MVE_LoadTextureFile(-1, "Ground.png", 0x2601, int(state.range(0)), "");
    const int plane = MVE_CreatePlaneMesh(-1, 400.0f, 100.0f, "");
    MVE_FinishMesh(plane);
    MVE_CreateObject(-1, plane, MVE_CreateMaterial(-1, texture, 4, ""), "", 0, 1);
    MVE_SetFarPlane(300);
    MVE_MoveCamera(0, 1.5f, 0, 0);
    MVE_RotateCamera(-5, 30, 0, 0);
    MVE_RenderWorld(-1);
    Finish();
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        Finish();
    }
}
BENCHMARK(BM_GrazingPlane)->Arg(0)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

// A mirror sphere filling most of the view reflects a 512 x 512 cube map (every face a pattern), at
// 1600 x 900. Argument: the cube's mipmap levels (0 none, 9 the whole chain).
void BM_ReflectedCubeMap(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    MVE_SetPhysicsThread(0);
    const int n = 512;
    std::vector<uint8_t> px(size_t(n) * n * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t *p = &px[(size_t(y) * n + x) * 3];
            p[0] = uint8_t(x ^ y);
            p[1] = uint8_t(((x / 8 + y / 8) & 1) * 255);
            p[2] = uint8_t(y);
        }
    std::string error;
    MVE_PlatformWritePNG("Face.png", px.data(), n, n, 3, error);
    const int cube = MVE_LoadCubeMapTexture(-1, ".", "Face.png", "Face.png", "Face.png", "Face.png", "Face.png", "Face.png",
                                            0x2601, int(state.range(0)), "");
    const int color = PatternTexture("Color.png", false), normal = PatternTexture("Normal.png", true);
    const int material = MVE_CreateMaterial(-1, color, 6, "Mirror");
    if (MVE_MATERIAL *m = MVE_GetMaterial(material)) {
        m->Texture[1] = MVE_GetTexture(normal);
        m->ReflectionMap = MVE_GetTexture(cube);
        m->fReflection = 1.0f;
    }
    const int sphere = MVE_CreateSphereMesh(-1, 1.0f, 48, 24, "");
    MVE_FinishMesh(sphere);
    MVE_CreateObject(-1, sphere, material, "", 0, 1);
    MVE_MoveCamera(0, 0, 2.6f, 0);
    MVE_RenderWorld(-1);
    Finish();
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        Finish();
    }
}
BENCHMARK(BM_ReflectedCubeMap)->Arg(0)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(3);

// A shadow-casting point light 5 above a tiled ground of 400 x 400 (a 1024 x 1024 texture with its
// whole mipmap chain, so filtered anisotropically), the camera looking down at it, at 1600 x 900.
// Argument 4: the image has an alpha channel, so the shadow cube's casters read it; 3: it has none.
// Counters: the passes of the last frame in ms (profiled: each pass waits for the GL).
void BM_ShadowCubeOverGround(benchmark::State &state) {
    Screen screen(1600, 900);
    if (!screen.ok) {
        state.SkipWithError("no GL screen");
        return;
    }
    MVE_SetPhysicsThread(0);
    const int n = 1024, channels = int(state.range(0));
    std::vector<uint8_t> px(size_t(n) * n * size_t(channels), 255);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t *p = &px[(size_t(y) * n + x) * size_t(channels)];
            p[0] = uint8_t(x * 7 ^ y * 3);
            p[1] = uint8_t(x + y);
            p[2] = uint8_t(((x / 16 + y / 16) & 1) * 200);
        }
    std::string error;
    MVE_PlatformWritePNG("Ground.png", px.data(), n, n, channels, error);
    const int texture = MVE_LoadTextureFile(-1, "Ground.png", 0x2601, 10, "");
    const int plane = MVE_CreatePlaneMesh(-1, 400.0f, 100.0f, "");
    MVE_FinishMesh(plane);
    MVE_CreateObject(-1, plane, MVE_CreateMaterial(-1, texture, 5, ""), "", 0, 1);
    MVE_EnableSun(0);
    const int lamp = MVE_CreateLight(-1, 0, 5, 0, 1);
    MVE_SetLightRange(lamp, 100);
    MVE_SetLightShadow(lamp, 1, 0);
    MVE_SetFarPlane(200);
    MVE_MoveCamera(0, 4, 16, 0);
    MVE_RotateCamera(-60, 0, 0, 0);
    MVE_SetRenderProfiling(1);
    MVE_RenderWorld(-1);
    PassTimes passes;
    for (auto _ : state) {
        MVE_RenderWorld(-1);
        passes.Add();
    }
    passes.Report(state);
}
BENCHMARK(BM_ShadowCubeOverGround)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

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
    // Without mipmaps the textures get no anisotropic filter, so the far cubes cost what any cube does.
    const int color = PatternTexture("Color.png", false), normal = PatternTexture("Normal.png", true);
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
