// The rigid-body simulation: the physics lists, the lock, the thread and its three phases.
// The physics thread holds the lock during each phase; main-thread procedures that change
// objects, joints or lists take it too.
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

struct MVE_PHYSICS_STATE {
    std::recursive_mutex Lock;                 // the physics lock
    std::thread Thread;
    std::atomic<int> iQuit{0};
    std::atomic<int> iRate{0};                 // passes per second
    float fStepTime = 0;
    v4f v4fGravity = {0, 0, 0, 0};
    int iCollisionPhase = 0;
    std::vector<MVE_OBJECT *> Dynamic;
    std::vector<MVE_OBJECT *> Static;
    std::vector<MVE_JOINT *> Joints;
    MVE_BODY *pPointBody = nullptr;            // the body of objects without one of their own
    MVE_BODY_NODE *pDisplayNode = nullptr;
};

// Shared with the object procedures (all take the physics lock themselves where needed).
void MVE_PhysicsFile(MVE_OBJECT *object);        // out of both lists, then into dynamic (mass != 0) or static
void MVE_PhysicsUnfile(MVE_OBJECT *object);      // out of both lists
void MVE_ComputeInertia(MVE_OBJECT *object);     // m4fInertia from body kind, size, mass and scale
float MVE_ObjectEnergy(const MVE_OBJECT *object, int mask);  // 1 translation, 2 rotation, 4 position
void MVE_PhysicsForgetObject(MVE_OBJECT *object);            // drops joints and list entries that name it
void MVE_PhysicsStep(float stepTime);            // one deterministic pass (joints, collisions, integration) on this thread
