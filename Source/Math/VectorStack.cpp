// The per-thread stack of temporary vectors that nested physics procedures use instead of locals.
// Each thread sees only its own stack, so no lock is needed. Misuse (overflow, popping or peeking past
// the pushed vectors) is reported to the debugger link and never writes outside the slots.
#include "Math/Math.h"

MVE_VECTOR_STACK &MVE_ThreadVectorStack() {
    thread_local MVE_VECTOR_STACK stack;
    return stack;
}

extern "C" {

void MVE_v4fResetStack(void) { MVE_ThreadVectorStack().iFree = MVE_VECTOR_STACK_SIZE; }

v4f *MVE_v4fPushSet(float x, float y, float z, float w) {
    MVE_VECTOR_STACK &s = MVE_ThreadVectorStack();
    if (s.iFree <= 0) {
        MVE_DebugText(1, MVE_STACK_OVERFLOW_TEXT);
        return nullptr;
    }
    v4f *slot = &s.v4fSlot[--s.iFree];
    slot->x = x;
    slot->y = y;
    slot->z = z;
    slot->w = w;
    return slot;
}

// The source is read before the slot is taken: it may itself be a slot of this stack.
v4f *MVE_v4fPush(const v4f *v) { return MVE_v4fPushSet(v->x, v->y, v->z, v->w); }

v4f *MVE_v4fPeek(int i) {
    MVE_VECTOR_STACK &s = MVE_ThreadVectorStack();
    const long long index = static_cast<long long>(s.iFree) + i;
    if (index < 0 || index > MVE_VECTOR_STACK_SIZE) {
        MVE_DebugText(1, MVE_STACK_PEEK_TEXT);
        return nullptr;
    }
    return &s.v4fSlot[index];
}

// Popping more than was pushed leaves the stack empty rather than pointing past its slots.
int MVE_v4fPop(int n) {
    MVE_VECTOR_STACK &s = MVE_ThreadVectorStack();
    const long long free = static_cast<long long>(s.iFree) + n;
    if (free > MVE_VECTOR_STACK_SIZE || free < 0) {
        MVE_DebugText(1, MVE_STACK_UNDERFLOW_TEXT);
        s.iFree = free < 0 ? 0 : MVE_VECTOR_STACK_SIZE;
    } else {
        s.iFree = static_cast<int32_t>(free);
    }
    return 0;
}

}  // extern "C"
