// The rigid-body simulation: the physics lists, the lock, the thread and its three phases
// (joints, collisions, integration), the contact record and collision sounds.
// The physics thread holds the lock during each phase; main-thread procedures that change
// objects, joints or lists take it too. The thread never holds it across its pauses, and nothing
// here waits for the main thread while holding it.
#pragma once
#include "MVE.h"
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct MVE_OBJECT;
struct MVE_JOINT;
struct MVE_BODY;
struct MVE_BODY_NODE;
struct MVE_MATERIAL;

// One contact, written by every test that finds one; the response reads it.
struct MVE_CONTACT {
    v4f v4fPoint = {0, 0, 0, 1};
    v4f v4fNormal = {0, 0, 0, 0};   // from the first object of the response towards the second
    float fImpactSpeed = 0;
};

// (sound, material A, material B); a null material B matches any material.
struct MVE_COLLISION_SOUND {
    int iSound = 0;
    const MVE_MATERIAL *pMaterialA = nullptr;
    const MVE_MATERIAL *pMaterialB = nullptr;
};

// The sound a contact chose, kept so the sound module (and tests) can see it.
struct MVE_PLAYED_SOUND {
    int iSound = 0;                 // 0: none since the last reset
    float fVolume = 0;              // fraction of the sound's own volume: 1 - 1 / impact speed
    v4f v4fPoint = {0, 0, 0, 1};
    uint64_t uCount = 0;            // how many collision sounds were started
};

enum : int { MVE_PHASE_JOINTS = 0, MVE_PHASE_COLLISIONS = 1, MVE_PHASE_INTEGRATION = 2, MVE_PHASE_PASS = 3 };

// Per-phase timings of the last pass and a running mean, in seconds, and pair counters.
struct MVE_PHYSICS_PROFILE {
    double fLast[4] = {0, 0, 0, 0};
    double fMean[4] = {0, 0, 0, 0};   // exponential mean over about 100 passes
    uint64_t uPasses = 0;
    int iPairsOffered = 0;            // pairs the lists offer (n(n-1)/2 + n x static)
    int iPairsTested = 0;             // pairs that passed the broad phase
    int iContacts = 0;
};

struct MVE_BROAD_PHASE;             // private to BroadPhase.cpp

// The physics lock: re-entrant, and the one place where the two threads' turns at the physics data
// meet. While a session is recorded the order of the outermost turns is written down; while one is
// replayed each turn waits until it is due, so both threads interleave exactly as recorded.
struct MVE_PHYSICS_MUTEX {
    void lock();
    void unlock();
    std::recursive_mutex Mutex;     // taken directly only by the session itself (no turn of its own)
};
using MVE_PhysicsGuard = std::lock_guard<MVE_PHYSICS_MUTEX>;

struct MVE_PHYSICS_STATE {
    MVE_PHYSICS_STATE();
    ~MVE_PHYSICS_STATE();           // stops a thread that is still running
    MVE_PHYSICS_STATE(const MVE_PHYSICS_STATE &) = delete;
    MVE_PHYSICS_STATE &operator=(const MVE_PHYSICS_STATE &) = delete;

    MVE_PHYSICS_MUTEX Lock;                    // the physics lock
    std::thread Thread;
    std::atomic<int> iQuit{0};
    std::atomic<int> iRate{0};                 // passes per second
    float fStepTime = 0;
    v4f v4fGravity = {0, 0, 0, 0};
    int iCollisionPhase = 0;
    std::vector<MVE_OBJECT *> Dynamic;
    std::vector<MVE_OBJECT *> Static;
    std::vector<MVE_JOINT *> Joints;
    MVE_BODY *pPointBody = nullptr;            // the body of objects without one of their own (owned)
    MVE_BODY_NODE *pDisplayNode = nullptr;     // drawn by the body display only (owned)

    // Bumped by every change of the lists: the collision phase notices a callback that changed them.
    uint64_t uListGeneration = 0;
    uint64_t uCallbacks = 0;                   // collision callbacks called so far (they may move anything)
    int iThreadDisabled = 0;                   // 1: MVE_StartupPhysics leaves the thread off
    int iBroadPhase = 1;                       // 0: every pair goes to the narrow phase (reference order)
    MVE_CONTACT Contact;
    std::vector<MVE_COLLISION_SOUND> Sounds;
    MVE_PLAYED_SOUND LastSound;
    MVE_PHYSICS_PROFILE Profile;
    MVE_BROAD_PHASE *pBroad = nullptr;         // owned; scratch of the collision phase
    std::vector<MVE_OBJECT *> Reported;        // objects already reported as non-finite
    std::vector<v4f> ScratchA, ScratchB;       // vertices of the mesh tests, kept to spare allocations
    // Set by the sound module: starts a new instance of `sound` at `point` with the given fraction of
    // the sound's volume. Called on the physics thread with the lock held; null plays nothing.
    void (*pSoundHook)(int sound, float volume, const v4f *point) = nullptr;
};

// Shared with the object procedures (all take the physics lock themselves where needed).
void MVE_PhysicsFile(MVE_OBJECT *object);        // out of both lists, then into dynamic (mass != 0) or static
void MVE_PhysicsUnfile(MVE_OBJECT *object);      // out of both lists
void MVE_ComputeInertia(MVE_OBJECT *object);     // m4fInertia from body kind, size, mass and scale
float MVE_ObjectEnergy(const MVE_OBJECT *object, int mask);  // 1 translation, 2 rotation, 4 position
// Drops the list entries that name the object, and the joints that end on it: they leave the joint
// list and the end that named the object becomes null (joint readers skip joints with a null end).
void MVE_PhysicsForgetObject(MVE_OBJECT *object);
void MVE_PhysicsStep(float stepTime);            // one deterministic pass (joints, collisions, integration) on this thread
MVE_BODY *MVE_PhysicsPointBody();                // the shared point body, made on first use

// The physics thread: started by MVE_StartupPhysics unless iThreadDisabled, stopped by MVE_ShutdownPhysics.
void MVE_MarkPhysicsThread();                    // the thread function says so once (the lock asks)
void MVE_StartPhysicsThread();
void MVE_StopPhysicsThread();

// The three phases, each taking the lock for its own duration (the step and the thread call them).
void MVE_PhysicsJointPhase(float stepTime);
void MVE_PhysicsCollisionPhase();
void MVE_PhysicsIntegrationPhase(float stepTime);

// Pieces of the phases, called with the lock held.
void MVE_SolveJoint(MVE_JOINT *joint, float stepTime);
void MVE_IntegrateObject(MVE_OBJECT *object, float stepTime, int dynamic);
int MVE_CollidePair(MVE_OBJECT *a, MVE_OBJECT *b);          // dispatch, then sound and callbacks

// The broad phase (BroadPhase.cpp): conservative bounds of every listed object in a uniform grid.
// Keys follow the pair order: dynamic objects 0 .. n-1, then static ones n .. n+m-1.
void MVE_BroadPhaseBuild(MVE_PHYSICS_STATE &p);
void MVE_BroadPhaseRefresh(MVE_PHYSICS_STATE &p, int key);   // the object with this key has moved
// Candidates of dynamic object i with keys above `after`, in ascending key order, into out.
void MVE_BroadPhaseQuery(MVE_PHYSICS_STATE &p, int i, int after, std::vector<int> &out);
void MVE_BroadPhaseFree(MVE_BROAD_PHASE *broad);

// Non-finite state: the object is put to rest at its last finite place and reported once.
int MVE_PhysicsRepairObject(MVE_OBJECT *object);

inline constexpr const char *MVE_FAIL_NON_FINITE =
    "Fail: Object state is not a number! The object was put to rest at its last finite position.";
inline constexpr const char *MVE_FAIL_STEP_IN_CALLBACK =
    "Fail: MVE_StepPhysics was called from a collision callback! The pass in progress goes on.";
inline constexpr const char *MVE_FAIL_STEP_WHILE_RUNNING =
    "Fail: The physics thread is running! MVE_StepPhysics only steps an engine without it.";
