// Vectors, quaternions, 4x4 matrices, the per-thread vector stack and the engine's random source.
// Pure functions over caller-owned memory (any thread); the stack is per thread; nothing allocates.
// The public procedures are declared in MVE.h; this header adds what engine modules share.
#pragma once
#include "MVE.h"
#include <atomic>
#include <cstdint>

static_assert(sizeof(v4f) == 16, "v4f is four packed floats");
static_assert(sizeof(m4f) == 64, "m4f is sixteen packed floats");

inline constexpr int MVE_VECTOR_STACK_SIZE = 128;
inline constexpr const char *MVE_STACK_OVERFLOW_TEXT =
    "Math : MVE_v4fPush() : Stack overflow! Did you forget MVE_v4fPop()?";
inline constexpr const char *MVE_STACK_UNDERFLOW_TEXT =
    "Math : MVE_v4fPop() : Stack underflow! More vectors popped than pushed.";
inline constexpr const char *MVE_STACK_PEEK_TEXT =
    "Math : MVE_v4fPeek() : Index outside the stack!";

struct MVE_VECTOR_STACK {
    // A thread's stack starts empty, so a thread that pushes before resetting gets its vectors
    // instead of a false overflow report.
    int32_t iFree = MVE_VECTOR_STACK_SIZE;        // free slots; the top of the stack is slot iFree
    v4f v4fSlot[MVE_VECTOR_STACK_SIZE + 1] = {};  // slot 128 is never used
};

// This thread's stack (created empty on first use).
MVE_VECTOR_STACK &MVE_ThreadVectorStack();

// The engine's one random source: a PCG32 generator whose 64-bit state advances by compare-and-swap,
// so the main and physics threads may draw at the same time without tearing it.
inline constexpr uint64_t MVE_RANDOM_DEFAULT_SEED = 0x853C49E6748FEA9BULL;

struct MVE_RANDOM_STATE {
    std::atomic<uint64_t> uState{MVE_RANDOM_DEFAULT_SEED};
};

// Orientations (Orientation.cpp). A quaternion of unit length in place; 0 (unchanged) when it is
// zero or not finite.
int MVE_NormalizeQuaternion(v4f *q);
// The rotation whose matrix has the orthonormal columns x, y, z.
v4f MVE_QuaternionFromAxes(const float x[3], const float y[3], const float z[3]);
// The orientation that looks along direction d (its -z axis) with its +y towards up; up (0, 0, 0)
// is the world's +y, which yields to a pure tilt when d runs along it. 0 when d is zero or not
// finite, or an explicit up is zero, not finite or along d.
int MVE_QuaternionLookAt(v4f *out, float dx, float dy, float dz, float ux, float uy, float uz);
