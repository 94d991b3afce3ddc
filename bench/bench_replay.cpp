// What recording a session costs. The physics thread: its pass rate on the demonstration's scene
// (with 200 loose balls) while a main loop ends a frame every 16 ms, without and with a recording
// (arg 1), and the thread's own bookkeeping per pass (a step appended, five turns counted) on its
// own. The main thread: one frame's recording work (ten input events, twenty turns at the physics
// lock, twenty passes taken from the queue, the chunks written and flushed) against the same frame
// without a recording. Targets: under 2 % of the pass rate, under 50 us per frame.
#include "Core/Engine.h"
#include "Replay/Replay.h"
#include "Scene.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string Scratch(const char *name) { return "/tmp/mve-bench-replay-" + std::to_string(getpid()) + "-" + name; }

// A session as MVE_Init would begin it, on an engine without a screen.
void BeginSession(bool record, const std::string &file) {
    if (record) MVE_StartRecording(file.c_str());
    MVE_StartupReplay();
}

void EndSession(const std::string &file) {
    MVE_StopPhysicsThread();
    MVE_ShutdownReplay();
    std::remove(file.c_str());
}

void BM_PhysicsRateWhileRecording(benchmark::State &state) {
    const bool record = state.range(0) != 0;
    const std::string file = Scratch("rate.mvr");
    MVE_ResetEngine();
    mvesample::SceneOptions options;
    options.iExtraBalls = 200;
    mvesample::BuildScene(options);
    BeginSession(record, file);
    for (auto _ : state) {
        MVE_StartPhysicsThread();
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3100);
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
            MVE_FlipBuffers();
        }
        state.counters["rate"] = MVE_Engine().Physics.iRate.load();
        state.counters["pass_us"] = MVE_GetPhysicsProfile(3, 1);
    }
    EndSession(file);
    MVE_ResetEngine();
}

// The physics thread's share of recording, per pass, without the pass itself.
void BM_PhysicsBookkeepingPerPass(benchmark::State &state) {
    const std::string file = Scratch("book.mvr");
    MVE_ResetEngine();
    BeginSession(true, file);
    MVE_REPLAY_SYNC &s = MVE_Replay().Sync;
    long passes = 0;
    for (auto _ : state) {
        MVE_RecordPass(0.001f);
        for (int turn = 0; turn < 5; ++turn) MVE_SyncTurnTaken(1);
        if (++passes % 4096 == 0) s.Passes.Take([](const MVE_PASS_RECORD &) {});  // the main thread's part
    }
    EndSession(file);
    MVE_ResetEngine();
}

void BM_MainThreadFrame(benchmark::State &state) {
    const bool record = state.range(0) != 0;
    const std::string file = Scratch("frame.mvr");
    MVE_ResetEngine();
    mvesample::BuildScene(mvesample::SceneOptions());
    BeginSession(record, file);
    MVE_REPLAY_SYNC &s = MVE_Replay().Sync;
    int x = 0;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) MVE_InputMouseMove(x += 3, 200 - x % 50);
        while (MVE_WindowEvent() != MVE_EVENT_NONE) {
        }
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
        for (int i = 0; i < 20; ++i) {
            MVE_PhysicsGuard turn(MVE_Engine().Physics.Lock);
        }
        // The passes the physics thread would have appended meanwhile.
        if (record)
            for (int i = 0; i < 20; ++i) s.Passes.Push(MVE_PASS_RECORD{5, 0.0009f});
        MVE_FlipBuffers();
    }
    state.counters["file_kB"] = record ? static_cast<double>(std::ftell(MVE_Replay().Recorder.pFile)) / 1024.0 : 0.0;
    EndSession(file);
    MVE_ResetEngine();
}

}  // namespace

BENCHMARK(BM_PhysicsRateWhileRecording)->ArgName("record")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhysicsBookkeepingPerPass)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_MainThreadFrame)->ArgName("record")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
