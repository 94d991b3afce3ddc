// Start-up cost of the shader library on the CPU renderer: from MVE_OpenScreen (every program
// compiled and linked) to the first presented frame; then the same with every registered program,
// the copy program and every lighting and shadow program drawn once before the frame (the driver
// generates a program's machine code at its first draw, so that is the full price); and the
// library build alone. Target: under 1.5 s. Headless (SDL offscreen, Mesa llvmpipe). Mesa keeps a
// disk cache of compiled programs: run with MESA_SHADER_CACHE_DISABLE=true for a cold start.
#include "MVE.h"
#include "Core/Engine.h"
#include "Shader/ShaderPrivate.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace {

struct TempFolder {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-shaders";
    TempFolder() {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
    }
    ~TempFolder() {
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
};

// One triangle through each program with an empty vertex array: attributes read their defaults,
// which is all the driver needs to generate the program's code.
int DrawEveryProgram() {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint vao = 0;
    gl.glGenVertexArrays(1, &vao);
    gl.glBindVertexArray(vao);
    int drawn = 0;
    auto draw = [&](GLuint program) {
        if (!program) return;
        gl.glUseProgram(program);
        gl.glDrawArrays(GL_TRIANGLES, 0, 3);
        drawn++;
    };
    for (int number = 1; number < MVE_PROGRAM_TABLE_SIZE; number++)
        if (MVE_SHADER *shader = MVE_GetBuiltinShader(number)) draw(shader->uProgram);
    draw(MVE_Engine().Shader.Copy.uProgram);
    for (int which = 0; which < MVE_EP_COUNT; which++) draw(MVE_Engine().GBuffer.Programs[which].uProgram);
    gl.glUseProgram(0);
    gl.glBindVertexArray(0);
    gl.glDeleteVertexArrays(1, &vao);
    return drawn;
}

// range(2): 1 draws every program once before the frame.
void BM_OpenScreenToFirstFrame(benchmark::State &state) {
    TempFolder folder;
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const bool everyProgram = state.range(2) != 0;
    int programs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MVE_ResetEngine();
        MVE_SetPhysicsThread(0);
        if (!MVE_OpenWindow(0, w, h, "bench", MVE_WINDOW_HIDDEN)) {
            state.SkipWithError("no window");
            break;
        }
        state.ResumeTiming();
        if (!MVE_OpenScreen(0, 0, 0, w, h, 32)) {
            state.SkipWithError("no GL screen");
            break;
        }
        if (everyProgram) programs = DrawEveryProgram();
        MVE_RenderWorld(-1);
        MVE_FlipBuffers();
        MVE_gl().glFinish();
        state.PauseTiming();
        MVE_Quit();
        MVE_CloseWindow(0);
        state.ResumeTiming();
    }
    state.counters["programs"] = programs;
    MVE_ResetEngine();
}
BENCHMARK(BM_OpenScreenToFirstFrame)->Args({1600, 900, 0})->Args({1600, 900, 1})->Unit(benchmark::kMillisecond)->Iterations(5);

// The library alone, rebuilt on an open screen (compile, link, reflect; no draws).
void BM_BuildShaderLibrary(benchmark::State &state) {
    TempFolder folder;
    MVE_ResetEngine();
    MVE_SetPhysicsThread(0);
    if (!MVE_OpenWindow(0, 320, 240, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, 320, 240, 32)) {
        state.SkipWithError("no GL screen");
        return;
    }
    for (auto _ : state) {
        MVE_BuildShaderLibrary();
        MVE_gl().glFinish();
    }
    MVE_Quit();
    MVE_CloseWindow(0);
    MVE_ResetEngine();
}
BENCHMARK(BM_BuildShaderLibrary)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
