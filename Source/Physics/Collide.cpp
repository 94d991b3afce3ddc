// Collision phase (placeholder while the pair tests are written).
#include "Physics/PhysicsPrivate.h"

void MVE_PhysicsCollisionPhase() {}
void MVE_BroadPhaseFree(MVE_BROAD_PHASE *) {}
