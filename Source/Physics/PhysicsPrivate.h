// What the physics files share among themselves and nobody else needs: object state checks and
// the timer of the phase profile. Physics thread, or a caller stepping an engine without it.
#pragma once
#include "Core/Engine.h"
#include "Object/Object.h"
#include "Physics/Physics.h"
#include "Physics/PhysicsMath.h"

// The motion and placement state the step reads: an object failing this is kept out of joints
// and contacts until the integration has put it back to rest, so a NaN never reaches its partners.
inline bool MVE_PhysicsStateFinite(const MVE_OBJECT *o) {
    using mvephys::Finite;
    return Finite(o->v4fPosition) && Finite(o->v4fVelocity) && Finite(o->v4fAngularVelocity) &&
           Finite(o->v4fOrientation) && Finite(o->v4fAcceleration) && Finite(o->v4fAngularAcceleration);
}

// Seconds between two readings of the platform counter.
inline double MVE_PhysicsSeconds(uint64_t from, uint64_t to) {
    return static_cast<double>(to - from) / static_cast<double>(MVE_PlatformCounterFrequency());
}
