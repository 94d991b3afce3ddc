// The physics thread and the one step it shares with MVE_StepPhysics: joints, collisions and
// integration, each timed into the profile. The thread runs from MVE_StartupPhysics to
// MVE_ShutdownPhysics; it never holds the lock across its pauses, so the main thread gets in.
#include "Physics/PhysicsPrivate.h"
#include "Body/Body.h"
#include "Core/Startup.h"
#include "Log/Log.h"
#include "Replay/Replay.h"
#include <algorithm>
#include <chrono>
#include <cmath>

MVE_PHYSICS_STATE::MVE_PHYSICS_STATE() = default;

MVE_PHYSICS_STATE::~MVE_PHYSICS_STATE() {
    // An engine record dropped with its thread still running must not take the process down.
    if (Thread.joinable()) {
        iQuit = 1;
        Thread.join();
    }
    delete pPointBody;
    delete pDisplayNode;
    MVE_BroadPhaseFree(pBroad);
}

namespace {

// Seconds taken by one phase.
template <class F> double Timed(F &&run) {
    const uint64_t t0 = MVE_PlatformCounter();
    run();
    return MVE_PhysicsSeconds(t0, MVE_PlatformCounter());
}

// Caller holds the lock (the main thread reads the profile).
void Account(MVE_PHYSICS_PROFILE &profile, const double seconds[3]) {
    for (int i = 0; i < 3; ++i) profile.fLast[i] = seconds[i];
    profile.fLast[MVE_PHASE_PASS] = seconds[0] + seconds[1] + seconds[2];
    const double k = profile.uPasses == 0 ? 1.0 : 0.01;
    for (int i = 0; i < 4; ++i) profile.fMean[i] += (profile.fLast[i] - profile.fMean[i]) * k;
    ++profile.uPasses;
}

// The pause between phases exists so that the main thread can take the lock. It is slept, never
// spun: a pause that overshoots by the scheduler's slack costs nothing (each pass takes its step
// from the time that really went by), while spinning would take a processor from the renderer,
// which on a CPU rasteriser needs every one.
void Pause(uint64_t counts) {
    const uint64_t freq = MVE_PlatformCounterFrequency();
    std::this_thread::sleep_for(std::chrono::nanoseconds(counts * 1000000000ull / freq));
}

// One pass: the same three phases for the thread (with pauses) and for MVE_PhysicsStep (without).
void RunPass(MVE_PHYSICS_STATE &p, float h, uint64_t pause) {
    double seconds[3];
    {
        MVE_PhysicsGuard lock(p.Lock);
        p.fStepTime = h;
    }
    seconds[MVE_PHASE_JOINTS] = Timed([&] { MVE_PhysicsJointPhase(h); });
    if (pause) Pause(pause);
    seconds[MVE_PHASE_COLLISIONS] = Timed([&] { MVE_PhysicsCollisionPhase(); });
    if (pause) Pause(pause);
    seconds[MVE_PHASE_INTEGRATION] = Timed([&] { MVE_PhysicsIntegrationPhase(h); });
    {
        MVE_PhysicsGuard lock(p.Lock);
        Account(p.Profile, seconds);
    }
    if (pause) Pause(pause);
}

// Stiff springs (the demonstration's chain) stay stable only for short steps: a chain that gains
// energy at 5 ms explodes at 10 ms. The thread is often kept waiting that long (the renderer or other
// programs have the processor, the main thread holds the lock), so a long wait is made up in equal
// sub-steps of at most kLongestStep; a stall beyond kLongestCatchUp is not made up at all (the scene
// slows down instead of taking a step it cannot survive).
constexpr double kLongestStep = 0.002;
constexpr double kLongestCatchUp = 0.05;

void ThreadMain(MVE_PHYSICS_STATE *p) {
    MVE_MarkPhysicsThread();
    const uint64_t freq = MVE_PlatformCounterFrequency();
    const uint64_t pause = freq / 5000;  // 0.2 ms
    uint64_t previous = MVE_PlatformCounter();
    uint64_t measured = previous;
    int passes = 0;
    float replayed = 0;
    while (!p->iQuit.load()) {
        MVE_v4fResetStack();
        // A replay hands out the recorded passes; their turns at the lock are ordered by the
        // session, so no pause is needed to let the main thread in.
        if (MVE_ReplayNextPass(p->iQuit, &replayed)) {
            RunPass(*p, replayed, 0);
            previous = measured = MVE_PlatformCounter();
            passes = 0;
            continue;
        }
        const uint64_t now = MVE_PlatformCounter();
        const double elapsed = std::min(MVE_PhysicsSeconds(previous, now), kLongestCatchUp);
        const int steps = std::max(1, static_cast<int>(std::ceil(elapsed / kLongestStep - 1e-9)));
        const float h = static_cast<float>(elapsed / steps);
        for (int k = 1; k < steps && !p->iQuit.load(); ++k) {
            MVE_v4fResetStack();
            MVE_RecordPass(h);
            RunPass(*p, h, 0);  // the lock is still let go between the phases
        }
        previous = now;
        passes += steps;
        if (now - measured >= freq / 2) {
            const double seconds = MVE_PhysicsSeconds(measured, now);
            p->iRate = static_cast<int>(std::lround(passes / seconds));
            passes = 0;
            measured = now;
        }
        MVE_RecordPass(h);
        RunPass(*p, h, pause);
    }
    MVE_SyncThreadEnds();
}

}  // namespace

void MVE_PhysicsStep(float stepTime) { RunPass(MVE_Engine().Physics, stepTime, 0); }

void MVE_StartPhysicsThread() {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    if (p.Thread.joinable()) return;
    p.iQuit = 0;
    p.iRate = 0;
    MVE_SyncThreadBegins();  // counted from here: a replayed turn may wait for it before it runs
    p.Thread = std::thread(ThreadMain, &p);
}

void MVE_StopPhysicsThread() {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    if (!p.Thread.joinable()) return;
    p.iQuit = 1;
    p.Thread.join();
}

void MVE_StartupPhysics() {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsPointBody();
    if (!p.pDisplayNode) {
        p.pDisplayNode = new MVE_BODY_NODE;
        p.pDisplayNode->v4fCenter = v4f{0, 0, 0, 1};
        p.pDisplayNode->v4fHalfSize = v4f{20, 10, 20, 0};
    }
    if (!p.iThreadDisabled) MVE_StartPhysicsThread();
}

void MVE_ShutdownPhysics() { MVE_StopPhysicsThread(); }

extern "C" float MVE_GetPhysicsRate(void) {
    return MVE_ReplayPhysicsRate(static_cast<float>(MVE_Engine().Physics.iRate.load()));
}

extern "C" int MVE_StepPhysics(float stepTime) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    if (p.Thread.joinable()) {
        MVE_LogFail(MVE_FAIL_STEP_WHILE_RUNNING, "MVE_StepPhysics");
        return 0;
    }
    if (p.iCollisionPhase) {  // a callback of this very step: a nested pass would tear it up
        MVE_LogFail(MVE_FAIL_STEP_IN_CALLBACK, "MVE_StepPhysics");
        return 0;
    }
    MVE_PhysicsStep(stepTime);
    return 1;
}

extern "C" void MVE_SetPhysicsThread(int enabled) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    p.iThreadDisabled = enabled ? 0 : 1;
    if (MVE_Engine().iRunning) {
        if (enabled)
            MVE_StartPhysicsThread();
        else
            MVE_StopPhysicsThread();
    }
}

extern "C" float MVE_GetPhysicsProfile(int phase, int mean) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    if (phase < 0 || phase > 3) return 0.0f;
    MVE_PhysicsGuard lock(p.Lock);
    return static_cast<float>((mean ? p.Profile.fMean[phase] : p.Profile.fLast[phase]) * 1e6);
}

extern "C" int MVE_GetPhysicsCount(int what) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    switch (what) {
    case 0: return p.Profile.iPairsOffered;
    case 1: return p.Profile.iPairsTested;
    case 2: return p.Profile.iContacts;
    default: return 0;
    }
}
