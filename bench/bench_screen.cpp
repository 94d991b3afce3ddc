// Start-up cost of the screen: MVE_OpenScreen (context, entry points, MVE_Init) up to the first
// presented frame, the cost of one cleared and flipped frame, and the two ways pixels travel
// without files: a frame read into memory, a texture's pixels replaced (a video frame). Headless:
// runs on SDL's offscreen driver (Mesa llvmpipe) when no SDL_VIDEODRIVER is given.
#include "MVE.h"
#include "Core/Engine.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

struct TempFolder {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-screen";
    TempFolder() {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
    }
    ~TempFolder() {
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
};

void BM_OpenScreenToFirstFrame(benchmark::State &state) {
    TempFolder folder;
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    for (auto _ : state) {
        MVE_ResetEngine();
        if (!MVE_OpenWindow(0, w, h, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, w, h, 32)) {
            state.SkipWithError("no GL screen");
            break;
        }
        MVE_ClearScreen(0xFF808080);
        MVE_FlipBuffers();
        state.PauseTiming();
        MVE_Quit();
        MVE_CloseWindow(0);
        state.ResumeTiming();
    }
    MVE_ResetEngine();
}
BENCHMARK(BM_OpenScreenToFirstFrame)->Args({320, 240})->Args({1600, 900})->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ClearAndFlip(benchmark::State &state) {
    TempFolder folder;
    MVE_ResetEngine();
    if (!MVE_OpenWindow(0, 1600, 900, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, 1600, 900, 32)) {
        state.SkipWithError("no GL screen");
        return;
    }
    for (auto _ : state) {
        MVE_ClearScreen(0xFF808080);
        MVE_FlipBuffers();
    }
    MVE_Quit();
    MVE_CloseWindow(0);
    MVE_ResetEngine();
}
BENCHMARK(BM_ClearAndFlip)->Unit(benchmark::kMillisecond);

// A frame of the demonstration's size read into memory, as a test or a video recorder would.
void BM_ReadFramePixels(benchmark::State &state) {
    TempFolder folder;
    MVE_ResetEngine();
    if (!MVE_OpenWindow(0, 1600, 900, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, 1600, 900, 32)) {
        state.SkipWithError("no GL screen");
        return;
    }
    std::vector<unsigned char> frame(1600 * 900 * 4);
    MVE_ClearScreen(0xFF808080);
    for (auto _ : state) benchmark::DoNotOptimize(MVE_ReadFramePixels(0, 0, 1600, 900, frame.data()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
    MVE_Quit();
    MVE_CloseWindow(0);
    MVE_ResetEngine();
}
BENCHMARK(BM_ReadFramePixels)->Unit(benchmark::kMillisecond);

// A 1024 x 1024 RGBA texture replaced whole, as by a video frame; finished before the next.
void BM_UpdateTexture(benchmark::State &state) {
    TempFolder folder;
    MVE_ResetEngine();
    if (!MVE_OpenWindow(0, 320, 240, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, 320, 240, 32)) {
        state.SkipWithError("no GL screen");
        return;
    }
    std::vector<unsigned char> pixels(1024 * 1024 * 4, 0x80);
    const int texture = MVE_CreateTexture(MVE_ID_AUTO, 1024, 1024, MVE_TEXTURE_RGBA8, pixels.data(), MVE_IGNORE, 0, "");
    for (auto _ : state) {
        pixels[0]++;
        MVE_UpdateTexture(texture, 0, 0, 1024, 1024, MVE_TEXTURE_RGBA8, pixels.data());
        MVE_gl().glFinish();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
    MVE_Quit();
    MVE_CloseWindow(0);
    MVE_ResetEngine();
}
BENCHMARK(BM_UpdateTexture)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
