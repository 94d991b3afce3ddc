// The per-thread vector stack (placeholder until the math library lands).
#include "Math/Math.h"

MVE_VECTOR_STACK &MVE_ThreadVectorStack() {
    thread_local MVE_VECTOR_STACK stack;
    return stack;
}

extern "C" void MVE_v4fResetStack(void) { MVE_ThreadVectorStack().iFree = MVE_VECTOR_STACK_SIZE; }
