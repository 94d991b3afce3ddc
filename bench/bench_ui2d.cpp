// The 2D layer under load: 10 000 glyphs of text and 1 000 sprites per frame on a 1600 x 900
// screen. "Submit" is the engine's CPU work for a frame (building quads, batching, uploading,
// issuing the draws); the GPU's work is waited for outside the measurement. "Frame" adds that
// wait, which on Mesa's software rasteriser is the rasterising itself. Counters: draw calls,
// glyphs and sprites per frame. Headless: SDL's offscreen driver when no SDL_VIDEODRIVER is given.
#include "MVE.h"
#include "Core/Engine.h"
#include "Platform/Platform.h"
#include "UI2D/UI2D.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1600, kHeight = 900, kLines = 100, kColumns = 100, kSprites = 1000;

struct Scene {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-ui2d";
    bool ok = false;
    int font = 0, sprite = 0;
    std::vector<std::string> lines;

    Scene() {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        MVE_ResetEngine();
        if (!MVE_OpenWindow(0, kWidth, kHeight, "bench", MVE_WINDOW_HIDDEN) || !MVE_OpenScreen(0, 0, 0, kWidth, kHeight, 32))
            return;
        font = MVE_FindFont(-1) ? -1 : 0;
        // A 32 x 32 disc as the sprite image.
        std::vector<uint8_t> rgba(32 * 32 * 4);
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++) {
                uint8_t *p = &rgba[static_cast<size_t>((y * 32 + x) * 4)];
                const int dx = x - 16, dy = y - 16;
                p[0] = 255, p[1] = 200, p[2] = 40, p[3] = dx * dx + dy * dy < 225 ? 255 : 0;
            }
        std::string error;
        MVE_PlatformWritePNG("disc.png", rgba.data(), 32, 32, 4, error);
        const int texture = MVE_LoadTextureFile(-1, "disc.png", MVE_IGNORE, 0, "");
        sprite = MVE_CreateSprite(-1, MVE_CreateMaterial(-1, texture, 24, ""), 0, 0);
        // 100 lines of 100 printable characters without spaces: every character is one quad.
        for (int l = 0; l < kLines; l++) {
            std::string line;
            for (int c = 0; c < kColumns; c++) line.push_back(static_cast<char>('!' + (l * 7 + c) % 94));
            lines.push_back(line);
        }
        ok = font == -1 && sprite != 0;
    }
    ~Scene() {
        if (MVE_Engine().iRunning) MVE_Quit();
        MVE_CloseWindow(0);
        MVE_ResetEngine();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
    void Draw() {
        for (int l = 0; l < kLines; l++)
            MVE_DrawText(font, 4.0f, static_cast<float>(l * 9), lines[static_cast<size_t>(l)].c_str(), MVE_IGNORE, 1.0f, 0);
        for (int i = 0; i < kSprites; i++)
            MVE_DrawSprite(sprite, static_cast<float>((i * 37) % kWidth), static_cast<float>((i * 53) % kHeight));
        MVE_FlushSprites();
    }
};

void Report(benchmark::State &state, unsigned int calls, int frames) {
    state.counters["draw_calls"] = static_cast<double>(calls) / frames;
    state.counters["glyphs"] = kLines * kColumns;
    state.counters["sprites"] = kSprites;
}

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The reported time is the main thread's CPU time for drawing the frame's text and sprites and
// flushing the batch (the driver's share on this thread included); clearing and waiting for the
// rasteriser happen between frames, outside it.
void BM_UI2DSubmit(benchmark::State &state) {
    Scene scene;
    if (!scene.ok) {
        state.SkipWithError("no GL screen, built-in font or sprite");
        return;
    }
    const unsigned int before = MVE_Engine().UI2D.uDrawCalls;
    int frames = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        scene.Draw();
        state.SetIterationTime(ThreadSeconds() - start);
        MVE_ClearScreen(0xFF000000);
        MVE_gl().glFinish();
        frames++;
    }
    Report(state, MVE_Engine().UI2D.uDrawCalls - before, frames);
}
BENCHMARK(BM_UI2DSubmit)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();

// The engine's own share: the same frame with the batch's GL submission left out (the quads are
// built, batched and dropped at each flush).
void BM_UI2DBuildQuads(benchmark::State &state) {
    Scene scene;
    if (!scene.ok) {
        state.SkipWithError("no GL screen, built-in font or sprite");
        return;
    }
    MVE_UI2D_STATE &ui = MVE_Engine().UI2D;
    const unsigned int array = ui.uBatchArray;
    ui.uBatchArray = 0;
    for (auto _ : state) scene.Draw();
    ui.uBatchArray = array;
    state.counters["glyphs"] = kLines * kColumns;
    state.counters["sprites"] = kSprites;
}
BENCHMARK(BM_UI2DBuildQuads)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_UI2DFrame(benchmark::State &state) {
    Scene scene;
    if (!scene.ok) {
        state.SkipWithError("no GL screen, built-in font or sprite");
        return;
    }
    const unsigned int before = MVE_Engine().UI2D.uDrawCalls;
    int frames = 0;
    for (auto _ : state) {
        MVE_ClearScreen(0xFF000000);
        scene.Draw();
        MVE_gl().glFinish();
        frames++;
    }
    Report(state, MVE_Engine().UI2D.uDrawCalls - before, frames);
}
BENCHMARK(BM_UI2DFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
