// What the physics files share among themselves and nobody else needs: object state checks and
// the timer of the phase profile. Physics thread, or a caller stepping an engine without it.
#pragma once
#include "Core/Engine.h"
#include "Object/Object.h"
#include "Physics/Physics.h"
#include "Physics/PhysicsMath.h"
#include <xmmintrin.h>

// The motion and placement state the step reads: an object failing this is kept out of joints
// and contacts until the integration has put it back to rest, so a NaN never reaches its partners.
inline bool MVE_PhysicsStateFinite(const MVE_OBJECT *o) {
    // x - x is 0 for every finite lane and NaN otherwise: one unordered compare covers four lanes.
    auto bad = [](const v4f &v) {
        const __m128 x = _mm_loadu_ps(&v.x);
        const __m128 d = _mm_sub_ps(x, x);
        return _mm_cmpunord_ps(d, d);
    };
    const __m128 any = _mm_or_ps(_mm_or_ps(_mm_or_ps(bad(o->v4fPosition), bad(o->v4fVelocity)),
                                           _mm_or_ps(bad(o->v4fAngularVelocity), bad(o->v4fOrientation))),
                                 _mm_or_ps(bad(o->v4fAcceleration), bad(o->v4fAngularAcceleration)));
    return _mm_movemask_ps(any) == 0;
}

// Seconds between two readings of the platform counter.
inline double MVE_PhysicsSeconds(uint64_t from, uint64_t to) {
    return static_cast<double>(to - from) / static_cast<double>(MVE_PlatformCounterFrequency());
}
