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
