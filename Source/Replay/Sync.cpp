// The two threads' turns at the physics lock during a session. Recording counts the physics
// thread's turns and writes down, for each of the main thread's, how many came before it; the
// physics thread only bumps a counter and appends its steps to a queue it owns. Replaying makes
// each turn wait until the recorded turns before it have happened, and hands the physics thread
// the recorded steps. Called from the lock on both threads; never waits while holding the lock.
#include "Replay/Replay.h"
#include "Core/Engine.h"
#include "Physics/Physics.h"
#include <chrono>

namespace {

MVE_REPLAY_SYNC &Sync() { return MVE_Replay().Sync; }

// The main thread gives up on a turn the physics thread never reaches (it was stopped, or the
// replay went its own way) after this long; the physics thread waits for the main thread as long
// as it takes (a program may sit in a loading screen or a debugger).
constexpr auto kMainPatience = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(20);

void Notify(MVE_REPLAY_SYNC &s) {
    { std::lock_guard<std::mutex> gate(s.Gate); }
    s.Wake.notify_all();
}

// Main-thread turns of the frames a replay can use.
size_t ReplayTurns() {
    const MVE_RECORDING &d = MVE_Replay().Player.Data;
    return d.Frames.empty() ? 0 : d.Frames.back().Turns[1];
}

void MainBeforeTurn(MVE_REPLAY_SYNC &s) {
    MVE_PLAYER &pl = MVE_Replay().Player;
    const MVE_RECORDING &d = pl.Data;
    s.iTurnSynced = 0;
    if (pl.uFrame >= d.Frames.size()) return;
    const MVE_REPLAY_FRAME &f = d.Frames[pl.uFrame];
    const size_t j = f.Turns[0] + pl.uTurn++;
    if (j >= f.Turns[1]) {
        // A turn the recording does not have. In the frame the session stopped in, the program
        // simply goes on past the recording's end; anywhere else the replay has left it.
        if (f.iComplete) MVE_ReplayDiverged("the main thread took the physics lock more often than recorded");
        return;
    }
    s.uTurn = j;
    s.iTurnSynced = 1;
    const uint64_t due = d.Turns[j];
    if (s.uPhysicsTurns.load(std::memory_order_acquire) >= due) return;
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> gate(s.Gate);
    while (s.uPhysicsTurns.load(std::memory_order_acquire) < due) {
        if (s.iOver.load() || MVE_SessionMode() != MVE_SESSION_REPLAYING) return;
        if (!s.iThreadRunning.load() || std::chrono::steady_clock::now() - start > kMainPatience) {
            gate.unlock();
            s.iTurnSynced = 0;
            MVE_EndReplay("lost its physics thread: the recorded pass was never reached" + MVE_ReplayHandover(), 1);
            return;
        }
        s.Wake.wait_for(gate, kPoll);
    }
}

void PhysicsBeforeTurn(MVE_REPLAY_SYNC &s) {
    const MVE_RECORDING &d = MVE_Replay().Player.Data;
    const uint64_t mine = s.uPhysicsTurns.load(std::memory_order_relaxed);
    const size_t limit = ReplayTurns();
    while (s.uReleased < limit && d.Turns[s.uReleased] <= mine) ++s.uReleased;
    if (s.uMainTurns.load(std::memory_order_acquire) >= s.uReleased) return;
    const std::atomic<int> &quit = MVE_Engine().Physics.iQuit;
    std::unique_lock<std::mutex> gate(s.Gate);
    while (s.uMainTurns.load(std::memory_order_acquire) < s.uReleased && !s.iOver.load() && !quit.load())
        s.Wake.wait_for(gate, kPoll);
}

}  // namespace

// ---------------------------------------------------------------- the pass queue

MVE_PASS_QUEUE::MVE_PASS_QUEUE() : pHead(new Block), pTail(pHead) {}

MVE_PASS_QUEUE::~MVE_PASS_QUEUE() {
    for (Block *b = pHead; b;) {
        Block *next = b->pNext.load(std::memory_order_relaxed);
        delete b;
        b = next;
    }
}

void MVE_PASS_QUEUE::Push(const MVE_PASS_RECORD &record) {
    Block *b = pTail;
    const uint32_t n = b->uCount.load(std::memory_order_relaxed);
    if (n < kBlock) {
        b->Record[n] = record;
        b->uCount.store(n + 1, std::memory_order_release);
        return;
    }
    Block *next = new Block;
    next->Record[0] = record;
    next->uCount.store(1, std::memory_order_relaxed);
    b->pNext.store(next, std::memory_order_release);
    pTail = next;
}

void MVE_PASS_QUEUE::Clear() {
    Take([](const MVE_PASS_RECORD &) {});
    // Only the appender's block is left; start it afresh.
    pHead->uCount.store(0, std::memory_order_relaxed);
    uRead = 0;
}

// ---------------------------------------------------------------- turns

int MVE_IsSessionThread() { return std::this_thread::get_id() == Sync().Main; }

void MVE_SyncBeforeTurn(int physics) {
    MVE_REPLAY_SYNC &s = Sync();
    if (s.iMode.load(std::memory_order_acquire) != MVE_SESSION_REPLAYING) return;
    if (physics) PhysicsBeforeTurn(s);
    else if (MVE_IsSessionThread()) MainBeforeTurn(s);
}

void MVE_SyncTurnTaken(int physics) {
    MVE_REPLAY_SYNC &s = Sync();
    const int mode = s.iMode.load(std::memory_order_acquire);
    if (physics) {
        s.uPhysicsTurns.store(s.uPhysicsTurns.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        if (mode == MVE_SESSION_REPLAYING) Notify(s);
        return;
    }
    if (!MVE_IsSessionThread()) return;
    if (mode == MVE_SESSION_RECORDING) {
        // Read under the lock: the physics thread counts its turns while it holds it.
        MVE_RecordTurn(s.uPhysicsTurns.load(std::memory_order_relaxed));
    } else if (mode == MVE_SESSION_REPLAYING && s.iTurnSynced &&
               s.uPhysicsTurns.load(std::memory_order_relaxed) != MVE_Replay().Player.Data.Turns[s.uTurn]) {
        MVE_ReplayDiverged("the physics thread was not where the recording had it");
    }
}

void MVE_SyncTurnEnds(int physics) {
    MVE_REPLAY_SYNC &s = Sync();
    if (physics || s.iMode.load(std::memory_order_acquire) != MVE_SESSION_REPLAYING || !MVE_IsSessionThread()) return;
    if (!s.iTurnSynced) return;
    s.iTurnSynced = 0;
    s.uMainTurns.store(s.uTurn + 1, std::memory_order_release);
    Notify(s);
}

void MVE_SyncReleaseTurns(size_t turns) {
    MVE_REPLAY_SYNC &s = Sync();
    if (s.uMainTurns.load(std::memory_order_relaxed) >= turns) return;
    s.uMainTurns.store(turns, std::memory_order_release);
    Notify(s);
}

// ---------------------------------------------------------------- the physics thread

void MVE_SyncThreadBegins() { Sync().iThreadRunning.store(1); }

void MVE_SyncThreadEnds() {
    MVE_REPLAY_SYNC &s = Sync();
    s.iThreadRunning.store(0);
    Notify(s);  // a main thread waiting for a pass that will not come gives up at once
}

void MVE_RecordPass(float step) {
    MVE_REPLAY_SYNC &s = Sync();
    if (s.iMode.load(std::memory_order_acquire) != MVE_SESSION_RECORDING) return;
    const uint64_t turns = s.uPhysicsTurns.load(std::memory_order_relaxed);
    MVE_PASS_RECORD record;
    record.uTurns = s.iStarted ? static_cast<uint32_t>(turns - s.uPassStart) : 0;
    record.fStep = step;
    s.uPassStart = turns;
    s.iStarted = 1;
    s.Passes.Push(record);
}

int MVE_ReplayNextPass(const std::atomic<int> &quit, float *step) {
    MVE_REPLAY_SYNC &s = Sync();
    if (s.iMode.load(std::memory_order_acquire) != MVE_SESSION_REPLAYING) return 0;
    const MVE_RECORDING &d = MVE_Replay().Player.Data;
    if (s.uNextPass < d.Steps.size()) {
        if (s.uPhysicsTurns.load(std::memory_order_relaxed) != d.PassTurns[s.uNextPass]) s.iPhysicsDiverged.store(1);
        *step = d.Steps[s.uNextPass++];
        return 1;
    }
    // Every recorded pass is done: the thread idles until the main thread reaches the end too.
    std::unique_lock<std::mutex> gate(s.Gate);
    while (!s.iOver.load() && !quit.load() && s.iMode.load() == MVE_SESSION_REPLAYING) s.Wake.wait_for(gate, kPoll);
    return 0;
}
