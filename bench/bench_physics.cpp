// Cost of one physics pass on the demonstration's scene with N loose balls, through the same step
// the thread runs (no pauses), and the physics rate the thread reaches on the bare scene.
// Each case builds a fresh engine and steps 2000 passes from the scene's start, so the reported
// time per iteration is the mean compute time of one pass over the first two (or four) seconds.
// Arguments: N, step time in microseconds, and 1 for a 100 x 1 x 100 static floor under the block.
// The energy columns are the total energy (motion, turning, height, springs) at the end and at its
// highest (sampled every 10 passes, untimed), divided by the energy at the start: without outside
// input neither may exceed 1.01.
#include "Core/Engine.h"
#include "Scene.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr int kPasses = 2000;
constexpr int kFloor = 40;  // body and object of the floor

void BuildFresh(int extra, bool floor = false) {
    MVE_ResetEngine();
    mvesample::SceneOptions options;
    options.iExtraBalls = extra;
    mvesample::BuildScene(options);
    if (!floor) return;
    MVE_CreateBoxBody(kFloor, 100.0f, 1.0f, 100.0f, "");
    MVE_CreateObject(kFloor, options.iBlockMesh, -1, "", 0, 1);
    MVE_SetObjectBody(kFloor, kFloor, 1.0f);
    MVE_MoveObject(kFloor, 0.0f, 6.5f, -4.0f, 0);
    MVE_SetObjectMass(kFloor, 0.0f);
}

void Pass(benchmark::State &state, int broad) {
    const float h = static_cast<float>(state.range(1)) * 1e-6f;
    BuildFresh(static_cast<int>(state.range(0)), state.range(2) != 0);
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    p.iBroadPhase = broad;
    double phase[3] = {0, 0, 0};
    long long tested = 0, contacts = 0, passes = 0;
    const double start = MVE_GetEnergy(15);
    double highest = start;
    for (auto _ : state) {
        MVE_PhysicsStep(h);
        for (int i = 0; i < 3; ++i) phase[i] += p.Profile.fLast[i];
        tested += p.Profile.iPairsTested;
        contacts += p.Profile.iContacts;
        if (++passes % 10 == 0) {
            state.PauseTiming();
            highest = std::max(highest, static_cast<double>(MVE_GetEnergy(15)));
            state.ResumeTiming();
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["joints_us"] = phase[0] / n * 1e6;
    state.counters["collide_us"] = phase[1] / n * 1e6;
    state.counters["integrate_us"] = phase[2] / n * 1e6;
    state.counters["pairs"] = static_cast<double>(tested) / n;
    state.counters["contacts"] = static_cast<double>(contacts) / n;
    state.counters["objects"] = static_cast<double>(p.Dynamic.size() + p.Static.size());
    state.counters["energy_end"] = MVE_GetEnergy(15) / start;
    state.counters["energy_max"] = std::max(highest, static_cast<double>(MVE_GetEnergy(15))) / start;
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

// The speed targets at 1 ms steps; then the energy of the heaviest scene at 2 ms and on the floor.
BENCHMARK(BM_PhysicsPass)
    ->ArgNames({"N", "step_us", "floor"})
    ->Args({0, 1000, 0})->Args({100, 1000, 0})->Args({500, 1000, 0})->Args({1000, 1000, 0})
    ->Args({2000, 1000, 0})->Args({4000, 1000, 0})
    ->Args({0, 2000, 0})->Args({4000, 2000, 0})->Args({0, 1000, 1})->Args({4000, 1000, 1})->Args({4000, 2000, 1})
    ->Iterations(kPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsPassEveryPair)
    ->ArgNames({"N", "step_us", "floor"})->Args({500, 1000, 0})->Iterations(kPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsThreadRate)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
