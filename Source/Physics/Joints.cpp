// The joint phase: springs and rigid links between two objects, solved one joint at a time in
// list order. Runs with the physics lock held (thread or step). Never divides by a zero mass:
// a static end is swapped to A and only ever read.
#include "Physics/PhysicsPrivate.h"
#include <cmath>
#include <utility>

using namespace mvephys;

void MVE_SolveJoint(MVE_JOINT *j, float h) {
    MVE_OBJECT *A = j->ObjectA, *B = j->ObjectB;
    if (!A || !B) return;
    const v4f *anchorA = &j->v4fAnchorA, *anchorB = &j->v4fAnchorB;
    if (B->fMass == 0.0f) {
        std::swap(A, B);
        std::swap(anchorA, anchorB);
    }
    if (B->fMass == 0.0f) return;  // both static: nothing can move
    if (!MVE_PhysicsStateFinite(A) || !MVE_PhysicsStateFinite(B)) return;

    m4f invA, invB;
    InverseInertia(A->m4fInertia, invA);
    InverseInertia(B->m4fInertia, invB);
    const v4f pA = TransformPoint(A->m4fModel, *anchorA);
    const v4f pB = TransformPoint(B->m4fModel, *anchorB);
    const v4f d = Sub(pB, pA);
    const float x = Length(d) - j->fLength;
    const v4f n = Normalize(d);
    const v4f rA = Sub(pA, V(A->m4fModel.m[12], A->m4fModel.m[13], A->m4fModel.m[14]));
    const v4f rB = Sub(pB, V(B->m4fModel.m[12], B->m4fModel.m[13], B->m4fModel.m[14]));
    const v4f wA = Apply3(invA, Cross(rA, n));
    const v4f wB = Apply3(invB, Cross(rB, n));
    const float rate = h != 0.0f ? (x - j->fStretch) / h : 0.0f;
    const float k = j->fStiffness, c = j->fDamping;
    // The spring pulls towards where its anchors will be at the end of this step, moving as they
    // move now (turning included). Taken where the step starts, a stiff spring gains a little
    // energy every step and the chain shakes itself apart; looking one step ahead takes that energy
    // out of the fast vibrations instead and leaves slow swinging as it is.
    const v4f velocityA = Add(A->v4fVelocity, Cross(A->v4fAngularVelocity, rA));
    const v4f velocityB = Add(B->v4fVelocity, Cross(B->v4fAngularVelocity, rB));
    const v4f dAhead = Add(d, Mul(Sub(velocityB, velocityA), h));
    const v4f nAhead = Normalize(dAhead);
    const float pull = k * std::fmax(Length(dAhead) - j->fLength, 0.0f);
    const v4f pullA = Apply3(invA, Cross(rA, nAhead)), pullB = Apply3(invB, Cross(rB, nAhead));

    if (A->fMass == 0.0f) {
        if (k != 0.0f && x > 0.0f) {
            // A spring only pulls.
            AddScaled(B->v4fAcceleration, nAhead, -pull / B->fMass);
            AddScaled(B->v4fAngularAcceleration, pullB, -pull);
            AddScaled(B->v4fAcceleration, n, -c * rate / B->fMass);
            AddScaled(B->v4fAngularAcceleration, wB, -c * rate);
        } else {
            // A rigid link, or a spring at or below its rest length: put B's anchor back on the
            // rest length and take away the motion along the link.
            AddScaled(B->v4fPosition, n, -x);
            AddScaled(B->v4fVelocity, n, -Dot(B->v4fVelocity, n));
            AddScaled(B->v4fAngularAcceleration, n, -Dot(B->v4fAngularAcceleration, n));
            // The collision phase reads the matrices: they must follow the moved position.
            MVE_RebuildObjectMatrices(B);
        }
    } else if (x > 0.0f) {
        AddScaled(A->v4fAcceleration, nAhead, pull / A->fMass);
        AddScaled(A->v4fAngularAcceleration, pullA, pull);
        AddScaled(B->v4fAcceleration, nAhead, -pull / B->fMass);
        AddScaled(B->v4fAngularAcceleration, pullB, -pull);
        AddScaled(A->v4fAcceleration, n, c * rate / A->fMass / 2.0f);
        AddScaled(A->v4fAngularAcceleration, wA, c * rate / 2.0f);
        AddScaled(B->v4fAcceleration, n, -c * rate / B->fMass / 2.0f);
        AddScaled(B->v4fAngularAcceleration, wB, -c * rate / 2.0f);
    }
    j->fStretch = x;
}

void MVE_PhysicsJointPhase(float h) {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    for (MVE_JOINT *j : p.Joints) {
        if (!j->ObjectA || !j->ObjectB) continue;
        if (j->ObjectA->fMass != 0.0f || j->ObjectB->fMass != 0.0f) MVE_SolveJoint(j, h);
    }
}
