// Vectors, quaternions, 4x4 matrices, the per-thread vector stack and the engine's random source.
// Pure functions over caller-owned memory (any thread); the stack is per thread; nothing allocates.
// The public procedures are declared in MVE.h; this header adds what engine modules share.
#pragma once
#include "MVE.h"
#include <cstdint>

static_assert(sizeof(v4f) == 16, "v4f is four packed floats");
static_assert(sizeof(m4f) == 64, "m4f is sixteen packed floats");

inline constexpr int MVE_VECTOR_STACK_SIZE = 128;
inline constexpr const char *MVE_STACK_OVERFLOW_TEXT =
    "Math : MVE_v4fPush() : Stack overflow! Did you forget MVE_v4fPop()?";

struct MVE_VECTOR_STACK {
    int32_t iFree = 0;                       // free slots; the top of the stack is slot iFree
    v4f v4fSlot[MVE_VECTOR_STACK_SIZE + 1] = {};  // slot 128 is never used
};

// This thread's stack (created zeroed on first use; reset it before the first push).
MVE_VECTOR_STACK &MVE_ThreadVectorStack();
