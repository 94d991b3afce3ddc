// Cost of one physics pass on the demonstration's scene with N loose balls, through the same step
// the thread runs (no pauses), and the physics rate the thread reaches on the bare scene.
// Each case builds a fresh engine and steps 2000 passes of 1 ms from the scene's start, so the
// reported time per iteration is the mean compute time of one pass over the first two seconds.
#include "Core/Engine.h"
#include "Scene.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

namespace {

constexpr int kPasses = 2000;

void BuildFresh(int extra) {
    MVE_ResetEngine();
    mvesample::SceneOptions options;
    options.iExtraBalls = extra;
    mvesample::BuildScene(options);
}

void Pass(benchmark::State &state, int broad) {
    BuildFresh(static_cast<int>(state.range(0)));
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    p.iBroadPhase = broad;
    double phase[3] = {0, 0, 0};
    long long tested = 0, contacts = 0;
    for (auto _ : state) {
        MVE_PhysicsStep(0.001f);
        for (int i = 0; i < 3; ++i) phase[i] += p.Profile.fLast[i];
        tested += p.Profile.iPairsTested;
        contacts += p.Profile.iContacts;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["joints_us"] = phase[0] / n * 1e6;
    state.counters["collide_us"] = phase[1] / n * 1e6;
    state.counters["integrate_us"] = phase[2] / n * 1e6;
    state.counters["pairs"] = static_cast<double>(tested) / n;
    state.counters["contacts"] = static_cast<double>(contacts) / n;
    state.counters["objects"] = static_cast<double>(p.Dynamic.size() + p.Static.size());
    MVE_ResetEngine();
}

void BM_PhysicsPass(benchmark::State &state) { Pass(state, 1); }
void BM_PhysicsPassEveryPair(benchmark::State &state) { Pass(state, 0); }

// The thread on the bare demonstration scene: passes per second as the engine measures them.
void BM_PhysicsThreadRate(benchmark::State &state) {
    BuildFresh(0);
    for (auto _ : state) {
        MVE_StartPhysicsThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(2600));
        state.counters["rate"] = MVE_GetPhysicsRate();
        state.counters["pass_us"] = MVE_GetPhysicsProfile(3, 1);
        MVE_StopPhysicsThread();
    }
    MVE_ResetEngine();
}

}  // namespace

BENCHMARK(BM_PhysicsPass)->Arg(0)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)
    ->Iterations(kPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsPassEveryPair)->Arg(500)->Iterations(kPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsThreadRate)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
