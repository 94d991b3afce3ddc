// Collision dispatch and response: which test a pair of body kinds gets, the position correction
// and impulse shared by the tests, collision sounds, callbacks, and the collision phase that walks
// the pairs. Physics thread with the lock held (MVE_CollideObjects takes it for other callers).
// A zero mass is immovable: nothing here divides by it or moves such an object.
#include "Physics/Collide.h"
#include <algorithm>
#include <utility>

using namespace mvephys;

namespace {

MVE_PHYSICS_STATE &State() { return MVE_Engine().Physics; }

// Effective inverse mass of the pair along a unit direction (both ends when A is not static).
float EffectiveInverse(const MVE_OBJECT *A, const m4f &IA, const v4f &rA, const MVE_OBJECT *B, const m4f &IB,
                       const v4f &rB, const v4f &dir, bool aStatic) {
    const v4f cb = Cross(rB, dir);
    float k = 1.0f / B->fMass + Dot(cb, Apply3(IB, cb));
    if (!aStatic) {
        const v4f ca = Cross(rA, dir);
        k += 1.0f / A->fMass + Dot(ca, Apply3(IA, ca));
    }
    return k;
}

bool Usable(float k) { return k > 0.0f && std::isfinite(k); }

bool Listed(const MVE_PHYSICS_STATE &p, const MVE_OBJECT *o) {
    return std::find(p.Dynamic.begin(), p.Dynamic.end(), o) != p.Dynamic.end() ||
           std::find(p.Static.begin(), p.Static.end(), o) != p.Static.end();
}

}  // namespace

void MVE_MoveBy(MVE_OBJECT *o, const v4f &d, float s) {
    AddScaled(o->v4fPosition, d, s);
    MVE_RebuildObjectMatrices(o);
}

void MVE_CorrectPositions(MVE_OBJECT *first, MVE_OBJECT *second, float p, const v4f &n) {
    if (first->fMass == 0.0f) {
        if (second->fMass != 0.0f) MVE_MoveBy(second, n, -p);
    } else if (second->fMass == 0.0f) {
        MVE_MoveBy(first, n, p);
    } else {
        MVE_MoveBy(first, n, p / 2.0f);
        MVE_MoveBy(second, n, -p / 2.0f);
    }
}

void MVE_Respond(MVE_OBJECT *A, MVE_OBJECT *B) {
    MVE_CONTACT &contact = State().Contact;
    const float e = A->fRestitution * B->fRestitution;
    const float mu = A->fFriction + B->fFriction;
    if (B->fMass == 0.0f) {
        // The static object becomes A. The normal turns with the pair, so that it still points from
        // A to B: an approach then measures as a positive impact speed, which friction, rolling
        // resistance and the collision sound all rely on.
        std::swap(A, B);
        contact.v4fNormal = Mul(contact.v4fNormal, -1.0f);
    }
    const bool aStatic = A->fMass == 0.0f;
    if (B->fMass == 0.0f) {
        contact.fImpactSpeed = 0.0f;  // two static objects: nothing can move
        return;
    }
    m4f IA, IB;
    InverseInertia(A->m4fInertia, IA);
    InverseInertia(B->m4fInertia, IB);
    const v4f rA = Sub(contact.v4fPoint, A->v4fPosition), rB = Sub(contact.v4fPoint, B->v4fPosition);
    const v4f n = contact.v4fNormal;

    // Normal impulse.
    const float vn = Dot(A->v4fVelocity, n) - Dot(B->v4fVelocity, n) + Dot(A->v4fAngularVelocity, Cross(rA, n)) -
                     Dot(B->v4fAngularVelocity, Cross(rB, n));
    contact.fImpactSpeed = vn;
    // Objects that already move apart keep their motion: an impulse here would turn the parting
    // into an approach and pull them together. The position correction has done its part.
    if (!(vn > 0.0f)) return;
    float k = EffectiveInverse(A, IA, rA, B, IB, rB, n, aStatic);
    if (Usable(k)) {
        const float j = (1.0f + e) * vn / k;
        AddScaled(B->v4fVelocity, n, j / B->fMass);
        AddScaled(B->v4fAngularVelocity, Apply3(IB, Cross(rB, n)), j);
        if (!aStatic) {
            AddScaled(A->v4fVelocity, n, -j / A->fMass);
            AddScaled(A->v4fAngularVelocity, Apply3(IA, Cross(rA, n)), -j);
        }
    }

    // Friction against the sliding of the contact points.
    auto tangential = [&n](const v4f &x) { return Cross(Cross(n, x), n); };
    const v4f g = Sub(tangential(Add(A->v4fVelocity, Cross(A->v4fAngularVelocity, rA))),
                      tangential(Add(B->v4fVelocity, Cross(B->v4fAngularVelocity, rB))));
    float L = Length(g);
    if (L > 0.0f) {
        const v4f t = Normalize(g);
        k = EffectiveInverse(A, IA, rA, B, IB, rB, t, aStatic);
        if (Usable(k)) {
            const float f = MVE_ClampF(mu * vn, 0.0f, L) / k;
            const v4f ft = Mul(t, f);
            AddScaled(B->v4fVelocity, ft, 1.0f / B->fMass);
            AddTo(B->v4fAngularVelocity, Apply3(IB, Cross(rB, ft)));
            if (!aStatic) {
                AddScaled(A->v4fVelocity, ft, -1.0f / A->fMass);
                AddScaled(A->v4fAngularVelocity, Apply3(IA, Cross(rA, ft)), -1.0f);
            }
        }
    }

    // Rolling resistance.
    const v4f w = Sub(A->v4fAngularVelocity, B->v4fAngularVelocity);
    L = Length(w);
    if (L > 0.0f) {
        const v4f u = Normalize(w);
        k = Dot(u, Apply3(IB, u)) + (aStatic ? 0.0f : Dot(u, Apply3(IA, u)));
        if (Usable(k)) {
            const float f = MVE_ClampF(mu * vn * 0.1f, 0.0f, L) / k;
            AddTo(B->v4fAngularVelocity, Apply3(IB, Mul(u, f)));
            if (!aStatic) AddScaled(A->v4fAngularVelocity, Apply3(IA, Mul(u, f)), -1.0f);
        }
    }
}

// The test for two body kinds, with the objects in the order the test wants them.
static int Dispatch(MVE_OBJECT *a, MVE_OBJECT *b) {
    const int ka = MVE_ShapeOf(a), kb = MVE_ShapeOf(b);
    auto node = [](const MVE_OBJECT *o) { return o->pBody ? o->pBody->Node : nullptr; };
    switch (ka) {
    case MVE_SHAPE_POINT:
        if (kb == MVE_SHAPE_BOX || kb == MVE_SHAPE_MESH) return MVE_TestTreePoint(b, node(b), a);
        if (kb == MVE_SHAPE_SPHERE) return MVE_TestSpherePoint(b, a);
        return 0;
    case MVE_SHAPE_BOX:
    case MVE_SHAPE_MESH:
        if (kb == MVE_SHAPE_POINT) return MVE_TestTreePoint(a, node(a), b);
        if (kb == MVE_SHAPE_BOX || kb == MVE_SHAPE_MESH) return MVE_TestTreeTree(a, node(a), b, node(b));
        if (kb == MVE_SHAPE_SPHERE)
            return ka == MVE_SHAPE_BOX ? MVE_TestBoxSphere(a, b) : MVE_TestTreeSphere(a, node(a), b);
        return 0;
    case MVE_SHAPE_SPHERE:
        if (kb == MVE_SHAPE_POINT) return MVE_TestSpherePoint(a, b);
        if (kb == MVE_SHAPE_BOX) return MVE_TestBoxSphere(b, a);
        if (kb == MVE_SHAPE_SPHERE) return MVE_TestSphereSphere(a, b);
        if (kb == MVE_SHAPE_MESH) return MVE_TestTreeSphere(b, node(b), a);
        return 0;
    default: return 0;
    }
}

int MVE_CollidePair(MVE_OBJECT *a, MVE_OBJECT *b) {
    if (!a || !b || a == b) return 0;
    if (!MVE_PhysicsStateFinite(a) || !MVE_PhysicsStateFinite(b)) return 0;
    if (!Dispatch(a, b)) return 0;
    MVE_PHYSICS_STATE &p = State();
    // Outside the collision phase a test only reports: no sound, no callback.
    if (!p.iCollisionPhase) return 1;

    const MVE_MATERIAL *ma = a->pMaterial, *mb = b->pMaterial;
    for (const MVE_COLLISION_SOUND &s : p.Sounds) {
        if ((s.pMaterialA == ma && s.pMaterialB == mb) || (!s.pMaterialB && (s.pMaterialA == ma || s.pMaterialA == mb))) {
            const float speed = p.Contact.fImpactSpeed;
            if (speed > 1.0f) {
                p.LastSound.iSound = s.iSound;
                p.LastSound.fVolume = 1.0f - 1.0f / speed;
                p.LastSound.v4fPoint = p.Contact.v4fPoint;
                ++p.LastSound.uCount;
                if (p.pSoundHook) p.pSoundHook(s.iSound, p.LastSound.fVolume, &p.Contact.v4fPoint);
            }
            break;
        }
    }

    // A callback may change the lists, even free either object: look before writing to them.
    const uint64_t generation = p.uListGeneration;
    const int ida = a->iID, idb = b->iID;
    if (a->pCallback) {
        ++p.uCallbacks;
        const int value = a->pCallback(ida, idb);
        if (p.uListGeneration == generation || Listed(p, a)) a->iCallbackValue = value;
    }
    if ((p.uListGeneration == generation || Listed(p, b)) && b->pCallback) {
        const uint64_t before = p.uListGeneration;
        ++p.uCallbacks;
        const int value = b->pCallback(idb, ida);
        if (p.uListGeneration == before || Listed(p, b)) b->iCallbackValue = value;
    }
    return 1;
}
