// The collision phase: every dynamic object against the later dynamic ones and every static one,
// in list order, through the broad phase (or without it, for comparison). Also the public entry
// points of collisions. Physics thread, or a caller stepping an engine without it; the lock is held
// throughout. A callback that changes the lists ends its object's pairs for this pass.
#include "Physics/Collide.h"
#include "Log/Log.h"
#include "Registry/Kinds.h"
#include <algorithm>

namespace {

// Where the walk goes on after dynamic object D at index i: the next index, or, when the lists
// changed under it, the object after D (or whatever now stands at i when D has left).
size_t Resume(const MVE_PHYSICS_STATE &p, const MVE_OBJECT *D, size_t i, bool changed) {
    if (!changed) return i + 1;
    auto it = std::find(p.Dynamic.begin(), p.Dynamic.end(), D);
    return it == p.Dynamic.end() ? i : static_cast<size_t>(it - p.Dynamic.begin()) + 1;
}

void EveryPair(MVE_PHYSICS_STATE &p, int &tested, int &contacts) {
    size_t i = 0;
    while (i < p.Dynamic.size()) {
        MVE_OBJECT *D = p.Dynamic[i];
        const uint64_t generation = p.uListGeneration;
        bool changed = false;
        for (size_t j = i + 1; j < p.Dynamic.size() && !changed; ++j) {
            MVE_OBJECT *E = p.Dynamic[j];
            if (!D->iCollide || !E->iCollide) continue;
            ++tested;
            contacts += MVE_CollidePair(E, D);
            changed = p.uListGeneration != generation;
        }
        for (size_t k = 0; k < p.Static.size() && !changed; ++k) {
            MVE_OBJECT *S = p.Static[k];
            if (!D->iCollide || !S->iCollide) continue;
            ++tested;
            contacts += MVE_CollidePair(S, D);
            changed = p.uListGeneration != generation;
        }
        i = Resume(p, D, i, changed);
    }
}

void BroadPairs(MVE_PHYSICS_STATE &p, int &tested, int &contacts) {
    MVE_BroadPhaseBuild(p);
    static thread_local std::vector<int> candidates;
    size_t i = 0;
    while (i < p.Dynamic.size()) {
        MVE_OBJECT *D = p.Dynamic[i];
        const int nDynamic = static_cast<int>(p.Dynamic.size());
        const uint64_t generation = p.uListGeneration;
        bool changed = false;
        const int self = static_cast<int>(i);
        MVE_BroadPhaseQuery(p, self, self, candidates);
        size_t c = 0;
        while (c < candidates.size()) {
            const int key = candidates[c];
            MVE_OBJECT *other = key < nDynamic ? p.Dynamic[key] : p.Static[key - nDynamic];
            const uint64_t callbacks = p.uCallbacks;
            ++tested;
            const int hit = MVE_CollidePair(other, D);
            contacts += hit;
            if (p.uListGeneration != generation) {
                changed = true;
                break;
            }
            if (p.uCallbacks != callbacks) {
                // A callback may have moved anything: bound everything again.
                MVE_BroadPhaseBuild(p);
            } else if (hit) {
                // Only the pair moved; later pairs must see where they are now.
                MVE_BroadPhaseRefresh(p, self);
                MVE_BroadPhaseRefresh(p, key);
            } else {
                ++c;
                continue;
            }
            MVE_BroadPhaseQuery(p, self, key, candidates);
            c = 0;
        }
        if (changed) MVE_BroadPhaseBuild(p);
        i = Resume(p, D, i, changed);
    }
}

}  // namespace

void MVE_PhysicsCollisionPhase() {
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    if (p.iCollisionPhase) return;  // entered again from a callback of this phase
    p.iCollisionPhase = 1;
    const long long nd = static_cast<long long>(p.Dynamic.size()), ns = static_cast<long long>(p.Static.size());
    const long long offered = nd * (nd - 1) / 2 + nd * ns;
    int tested = 0, contacts = 0;
    if (p.iBroadPhase)
        BroadPairs(p, tested, contacts);
    else
        EveryPair(p, tested, contacts);
    p.Profile.iPairsOffered = offered > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(offered);
    p.Profile.iPairsTested = tested;
    p.Profile.iContacts = contacts;
    p.iCollisionPhase = 0;
}

extern "C" int MVE_CollideObjects(int idA, int idB) {
    MVE_OBJECT *a = MVE_GetObject(idA), *b = MVE_GetObject(idB);
    if (!a || !b) {
        MVE_LogFail("Fail: No object with this ID! (" + std::to_string(a ? idB : idA) + ")", "MVE_CollideObjects");
        return 0;
    }
    MVE_PhysicsGuard lock(MVE_Engine().Physics.Lock);
    return MVE_CollidePair(a, b);
}

extern "C" void MVE_SetCollisionSound(int sound, int materialA, int materialB) {
    // The physics thread reads the list while it plays sounds, and adds sound instances to the
    // sound registry: look up and change under the lock.
    MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    MVE_PhysicsGuard lock(p.Lock);
    const MVE_MATERIAL *ma = MVE_GetMaterial(materialA);
    const MVE_MATERIAL *mb = materialB == -1 ? nullptr : MVE_GetMaterial(materialB);
    if (!MVE_GetSound(sound) || !ma || (materialB != -1 && !mb)) {
        MVE_LogFail(!MVE_GetSound(sound) ? "Fail: No sound with this ID!" : "Fail: No material with this ID!",
                    "MVE_SetCollisionSound");
        return;
    }
    for (MVE_COLLISION_SOUND &s : p.Sounds)
        if (s.pMaterialA == ma && s.pMaterialB == mb) {
            s.iSound = sound;
            return;
        }
    p.Sounds.push_back({sound, ma, mb});
}
