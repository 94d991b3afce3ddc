// The physics lock's own code: a re-entrant mutex that tells a recorded or replayed session about
// each outermost turn. Any thread. Without a session it costs one relaxed load per turn; it never
// waits for anything but the mutex then.
#include "Physics/Physics.h"
#include "Replay/Replay.h"

namespace {

thread_local int tl_depth = 0;        // this thread's nesting in the physics lock
thread_local int tl_physics = 0;      // this thread is the physics thread

}  // namespace

void MVE_MarkPhysicsThread() { tl_physics = 1; }

void MVE_PHYSICS_MUTEX::lock() {
    // A session looks at outermost turns only: a callback of the physics thread that calls back
    // into the engine is part of the turn that called it.
    if (tl_depth == 0 && MVE_SessionMode() != MVE_SESSION_OFF) {
        MVE_SyncBeforeTurn(tl_physics);
        Mutex.lock();
        tl_depth = 1;
        MVE_SyncTurnTaken(tl_physics);
        return;
    }
    Mutex.lock();
    ++tl_depth;
}

void MVE_PHYSICS_MUTEX::unlock() {
    if (tl_depth == 1 && MVE_SessionMode() != MVE_SESSION_OFF) MVE_SyncTurnEnds(tl_physics);
    --tl_depth;
    Mutex.unlock();
}
