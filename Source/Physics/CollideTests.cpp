// The narrow phase: sphere, point, box, node and mesh tests of one pair. Physics thread with the
// lock held, or any caller holding it outside the collision phase, where a test only reports.
// A test that finds no contact writes nothing; indices of a body mesh are checked before use.
#include "Physics/Collide.h"
#include <cmath>
#include <limits>

using namespace mvephys;

namespace {

MVE_PHYSICS_STATE &State() { return MVE_Engine().Physics; }

void SetContact(const v4f &point, const v4f &normal) {
    MVE_CONTACT &c = State().Contact;
    c.v4fPoint = V(point.x, point.y, point.z, 1.0f);
    c.v4fNormal = normal;
}

// The transpose of an inverse placement applied to a body-space normal: the direction stays
// perpendicular to its face under any scale.
v4f NormalToWorld(const m4f &inv, const v4f &n) {
    const float *m = inv.m;
    return Normalize(V(m[0] * n.x + m[1] * n.y + m[2] * n.z, m[4] * n.x + m[5] * n.y + m[6] * n.z,
                       m[8] * n.x + m[9] * n.y + m[10] * n.z));
}

bool ValidFace(const MVE_BODY_MESH &mesh, const MVE_BODY_FACE &f) {
    const int n = static_cast<int>(mesh.Vertex.size());
    return f.a >= 0 && f.a < n && f.b >= 0 && f.b < n && f.c >= 0 && f.c < n;
}
bool ValidEdge(const MVE_BODY_MESH &mesh, const MVE_BODY_EDGE &e) {
    const int n = static_cast<int>(mesh.Vertex.size());
    return e.a >= 0 && e.a < n && e.b >= 0 && e.b < n;
}

// Ray o + t d against triangle (a, b, c): barycentric u (towards b), v (towards c) and t.
bool RayTriangle(const v4f &o, const v4f &d, const v4f &a, const v4f &b, const v4f &c, float &t, float &u, float &v) {
    const v4f e1 = Sub(b, a), e2 = Sub(c, a);
    const v4f pv = Cross(d, e2);
    const float det = Dot(e1, pv);
    if (det == 0.0f || !std::isfinite(det)) return false;
    const float inv = 1.0f / det;
    const v4f tv = Sub(o, a);
    u = Dot(tv, pv) * inv;
    if (!(u >= 0.0f && u <= 1.0f)) return false;
    const v4f qv = Cross(tv, e1);
    v = Dot(d, qv) * inv;
    if (!(v >= 0.0f && u + v <= 1.0f)) return false;
    t = Dot(e2, qv) * inv;
    return std::isfinite(t);
}

int MeshVsPoint(MVE_OBJECT *tree, const MVE_BODY_MESH &mesh, MVE_OBJECT *point) {
    const v4f m = point->v4fMovement;
    if (!(Dot(m, m) > 0.0f)) return 0;  // a point that did not move has no path
    m4f inv;
    InverseAffine(tree->m4fModel, inv);
    const v4f start = TransformPoint(inv, V(point->v4fPosition.x - 1.5f * m.x, point->v4fPosition.y - 1.5f * m.y,
                                            point->v4fPosition.z - 1.5f * m.z, 1.0f));
    const v4f dir = TransformDir(inv, m);
    float best = 2.0f;
    const MVE_BODY_FACE *hit = nullptr;
    for (const MVE_BODY_FACE &f : mesh.Face) {
        if (!ValidFace(mesh, f)) continue;
        float t, u, v;
        if (RayTriangle(start, dir, mesh.Vertex[f.a], mesh.Vertex[f.b], mesh.Vertex[f.c], t, u, v) && t >= 0.0f &&
            t < best) {
            best = t;
            hit = &f;
        }
    }
    if (!hit) return 0;
    const v4f at = V(point->v4fPosition.x + m.x * (best - 1.5f), point->v4fPosition.y + m.y * (best - 1.5f),
                     point->v4fPosition.z + m.z * (best - 1.5f), 1.0f);
    SetContact(at, NormalToWorld(inv, hit->v4fNormal));
    if (State().iCollisionPhase) {
        if (point->fMass != 0.0f) {
            point->v4fPosition = at;
            MVE_RebuildObjectMatrices(point);
        }
        MVE_Respond(tree, point);
    }
    return 1;
}

int MeshVsSphere(MVE_OBJECT *M, const MVE_BODY_MESH &mesh, MVE_OBJECT *S) {
    std::vector<v4f> &w = State().ScratchA;
    w.resize(mesh.Vertex.size());
    for (size_t i = 0; i < w.size(); ++i) w[i] = TransformPoint(M->m4fModel, mesh.Vertex[i]);
    const v4f c = S->v4fPosition;
    const float R = MVE_SphereRadius(S);
    float best = R;
    v4f normal = V(0, 0, 0), at = V(0, 0, 0, 1);
    bool near = false;
    for (const MVE_BODY_FACE &f : mesh.Face) {
        if (!ValidFace(mesh, f)) continue;
        const v4f &a = w[f.a], &b = w[f.b], &cc = w[f.c];
        const v4f e1 = Sub(b, a), e2 = Sub(cc, a);
        const v4f n = Normalize(Cross(e1, e2));
        if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) continue;  // a face without area
        const v4f ac = Sub(c, a);
        const float dist = Dot(ac, n);
        if (std::fabs(dist) < R) near = true;
        if (!(dist >= 0.0f && dist < best)) continue;
        // Barycentric coordinates of the projection.
        const v4f q = Sub(ac, Mul(n, dist));
        const float d00 = Dot(e1, e1), d01 = Dot(e1, e2), d11 = Dot(e2, e2);
        const float d20 = Dot(q, e1), d21 = Dot(q, e2);
        const float den = d00 * d11 - d01 * d01;
        if (!(den > 0.0f)) continue;
        const float u = (d11 * d20 - d01 * d21) / den, v = (d00 * d21 - d01 * d20) / den;
        if (u >= 0.0f && v >= 0.0f && u + v <= 1.0f) {
            best = dist;
            normal = n;
            at = V(c.x - n.x * dist, c.y - n.y * dist, c.z - n.z * dist, 1.0f);
        }
    }
    if (near) {
        auto candidate = [&](const v4f &pt) {
            const v4f d = Sub(c, pt);
            const float l = Length(d);
            if (l < best) {
                best = l;
                normal = Normalize(d);
                at = V(pt.x, pt.y, pt.z, 1.0f);
            }
        };
        for (const MVE_BODY_EDGE &e : mesh.Edge) {
            if (!ValidEdge(mesh, e)) continue;
            const v4f &a = w[e.a];
            const v4f ae = Sub(w[e.b], a);
            const float l2 = Dot(ae, ae);
            if (!(l2 > 0.0f)) continue;
            const float s = Dot(Sub(c, a), ae) / l2;
            if (s >= 0.0f && s <= 1.0f) candidate(V(a.x + s * ae.x, a.y + s * ae.y, a.z + s * ae.z, 1.0f));
        }
        for (const v4f &v : w) candidate(v);
    }
    if (!(best < R)) return 0;
    SetContact(at, normal);
    if (State().iCollisionPhase) {
        const float depth = R - best;
        if (M->fMass != 0.0f && S->fMass != 0.0f) {
            MVE_MoveBy(M, normal, -depth / 2.0f);
            MVE_MoveBy(S, normal, depth / 2.0f);
        } else if (M->fMass == 0.0f && S->fMass != 0.0f) {
            MVE_MoveBy(S, normal, depth);
        } else if (S->fMass == 0.0f && M->fMass != 0.0f) {
            MVE_MoveBy(M, normal, -depth);
        }
        MVE_Respond(M, S);
        MVE_RebuildObjectMatrices(M);
        MVE_RebuildObjectMatrices(S);
    }
    return 1;
}

// One round of mesh vs mesh: the deepest edge-through-face crossing of the two meshes.
bool MeshMeshRound(const MVE_OBJECT *A, const MVE_BODY_MESH &ma, const MVE_OBJECT *B, const MVE_BODY_MESH &mb,
                   v4f &point, v4f &normal, float &depth) {
    m4f invA, invB, BinA, AinB;
    InverseAffine(A->m4fModel, invA);
    InverseAffine(B->m4fModel, invB);
    MVE_m4fMultiply(&BinA, &invA, &B->m4fModel);
    MVE_m4fMultiply(&AinB, &invB, &A->m4fModel);
    std::vector<v4f> &vb = State().ScratchA, &va = State().ScratchB;
    vb.resize(mb.Vertex.size());
    va.resize(ma.Vertex.size());
    for (size_t i = 0; i < vb.size(); ++i) vb[i] = TransformPoint(BinA, mb.Vertex[i]);
    for (size_t i = 0; i < va.size(); ++i) va[i] = TransformPoint(AinB, ma.Vertex[i]);
    depth = std::numeric_limits<float>::infinity();
    bool found = false;
    // Faces of `fm` (owner F, inverse invF) against edges of `em` given in F's space (ev) and in
    // world space through E's placement; `sign` turns the normal so that it points from A to B.
    auto pass = [&](const MVE_OBJECT *F, const m4f &invF, const MVE_BODY_MESH &fm, const MVE_OBJECT *E,
                    const MVE_BODY_MESH &em, const std::vector<v4f> &ev, float sign) {
        for (const MVE_BODY_FACE &f : fm.Face) {
            if (!ValidFace(fm, f)) continue;
            const v4f &a = fm.Vertex[f.a], &b = fm.Vertex[f.b], &c = fm.Vertex[f.c];
            for (const MVE_BODY_EDGE &e : em.Edge) {
                if (!ValidEdge(em, e)) continue;
                const v4f &p0 = ev[e.a];
                float t, u, v;
                // The edge must pass through the face: an edge that only ends on it, or lies in its
                // plane, touches without crossing and would report a depth it does not have.
                if (!RayTriangle(p0, Sub(ev[e.b], p0), a, b, c, t, u, v) || !(t > 0.0f && t < 1.0f)) continue;
                const v4f n = NormalToWorld(invF, f.v4fNormal);
                const v4f x = TransformPoint(F->m4fModel, V(a.x + u * (b.x - a.x) + v * (c.x - a.x),
                                                             a.y + u * (b.y - a.y) + v * (c.y - a.y),
                                                             a.z + u * (b.z - a.z) + v * (c.z - a.z), 1.0f));
                // How far the edge reaches behind the face: its deeper end, measured along the normal.
                const v4f w0 = TransformPoint(E->m4fModel, em.Vertex[e.a]);
                const v4f w1 = TransformPoint(E->m4fModel, em.Vertex[e.b]);
                const float d = std::fmin(Dot(Sub(w0, x), n), Dot(Sub(w1, x), n));
                if (d < depth) {
                    depth = d;
                    normal = Mul(n, sign);
                    point = x;
                    found = true;
                }
            }
        }
    };
    pass(A, invA, ma, B, mb, vb, 1.0f);
    pass(B, invB, mb, A, ma, va, -1.0f);
    return found;
}

int MeshVsMesh(MVE_OBJECT *A, const MVE_BODY_MESH &ma, MVE_OBJECT *B, const MVE_BODY_MESH &mb) {
    const bool phase = State().iCollisionPhase != 0;
    const bool movable = A->fMass != 0.0f || B->fMass != 0.0f;
    int counted = 0;
    bool last = false;
    v4f point = V(0, 0, 0, 1), normal = V(0, 0, 0);
    do {
        v4f p, n;
        float depth;
        last = MeshMeshRound(A, ma, B, mb, p, n, depth);
        if (!last) break;
        point = p;
        normal = n;
        if (!phase) {
            SetContact(point, normal);
            return 1;
        }
        if (!movable) break;  // two static meshes cannot be pushed apart
        // depth is negative: A moves against the normal, B along it.
        if (A->fMass != 0.0f && B->fMass != 0.0f) {
            MVE_MoveBy(A, normal, depth);
            MVE_MoveBy(B, normal, -depth);
        } else if (A->fMass != 0.0f) {
            MVE_MoveBy(A, normal, 2.0f * depth);
        } else {
            MVE_MoveBy(B, normal, -2.0f * depth);
        }
        ++counted;
    } while (counted <= 200);
    if (!last && counted == 0) return 0;
    SetContact(point, normal);
    MVE_Respond(A, B);
    return 1;
}

}  // namespace

int MVE_TestSphereSphere(MVE_OBJECT *A, MVE_OBJECT *B) {
    const float ra = MVE_SphereRadius(A);
    const float R = ra + MVE_SphereRadius(B);
    v4f n;
    MVE_v4fSubTo(&n, &B->v4fPosition, &A->v4fPosition);
    const float d = std::sqrt(Dot4(n, n));
    const float p = d - R;
    if (!(p < 0.0f && p > -R)) return 0;
    n = Normalize(n);
    SetContact(V(A->v4fPosition.x + n.x * (ra + p / 2.0f), A->v4fPosition.y + n.y * (ra + p / 2.0f),
                 A->v4fPosition.z + n.z * (ra + p / 2.0f)),
               n);
    if (State().iCollisionPhase) {
        MVE_CorrectPositions(A, B, p, n);
        MVE_Respond(A, B);
    }
    return 1;
}

int MVE_TestSpherePoint(MVE_OBJECT *S, MVE_OBJECT *P) {
    const v4f m = P->v4fMovement;
    const float mm = Dot4(m, m);
    if (!(mm > 0.0f)) return 0;  // no path: the entering root does not exist
    v4f D;
    MVE_v4fSubTo(&D, &P->v4fPosition, &S->v4fPosition);
    const float R = MVE_SphereRadius(S);
    const float b = Dot4(D, m) / mm;
    const float c = (Dot4(D, D) - R * R) / mm;
    const float disc = b * b - c;
    if (!(disc >= 0.0f)) return 0;
    const float t = -(b + std::sqrt(disc));
    if (!(t >= -1.5f && t <= 0.5f)) return 0;
    const v4f at = V(P->v4fPosition.x + m.x * t, P->v4fPosition.y + m.y * t, P->v4fPosition.z + m.z * t, 1.0f);
    SetContact(at, Normalize(Sub(at, S->v4fPosition)));
    if (State().iCollisionPhase) {
        if (P->fMass != 0.0f) {
            P->v4fPosition = at;
            MVE_RebuildObjectMatrices(P);
        }
        MVE_Respond(S, P);
    }
    return 1;
}

int MVE_TestBoxSphere(MVE_OBJECT *X, MVE_OBJECT *S) {
    const MVE_BODY_NODE *node = X->pBody ? X->pBody->Node : nullptr;
    if (!node) return 0;
    m4f inv;
    InverseAffine(X->m4fModel, inv);
    const v4f local = TransformPoint(inv, S->v4fPosition);
    const v4f d = Sub(local, node->v4fCenter);
    const float h[3] = {node->v4fHalfSize.x, node->v4fHalfSize.y, node->v4fHalfSize.z};
    const float dd[3] = {d.x, d.y, d.z};
    float q[3];
    for (int i = 0; i < 3; ++i) q[i] = std::copysign(std::fmax(std::fabs(dd[i]) - h[i], 0.0f), dd[i]);
    const v4f qw = TransformDir(X->m4fModel, V(q[0], q[1], q[2]));
    const float dist2 = Dot(qw, qw);
    const float R = MVE_SphereRadius(S);
    if (R * R <= dist2) return 0;
    const v4f n = dist2 <= 0.0f ? Normalize(Sub(S->v4fPosition, X->v4fPosition)) : Normalize(qw);
    const float p = std::sqrt(dist2) - R;
    SetContact(V(S->v4fPosition.x - n.x * (R + p / 2.0f), S->v4fPosition.y - n.y * (R + p / 2.0f),
                 S->v4fPosition.z - n.z * (R + p / 2.0f)),
               n);
    if (State().iCollisionPhase) {
        MVE_CorrectPositions(X, S, p, n);
        MVE_Respond(X, S);
    }
    return 1;
}

int MVE_NodeVsPoint(const MVE_OBJECT *T, const MVE_BODY_NODE *N, const MVE_OBJECT *P) {
    const v4f m = P->v4fMovement;
    if (!(Dot(m, m) > 0.0f)) return 0;
    m4f inv;
    InverseAffine(T->m4fModel, inv);
    const v4f a = TransformPoint(inv, V(P->v4fPosition.x - 1.5f * m.x, P->v4fPosition.y - 1.5f * m.y,
                                        P->v4fPosition.z - 1.5f * m.z, 1.0f));
    const v4f d = TransformDir(inv, Mul(m, 2.0f));  // the whole window, parameter 0 to 1
    const float o[3] = {a.x, a.y, a.z}, dir[3] = {d.x, d.y, d.z};
    const float c[3] = {N->v4fCenter.x, N->v4fCenter.y, N->v4fCenter.z};
    const float h[3] = {N->v4fHalfSize.x, N->v4fHalfSize.y, N->v4fHalfSize.z};
    float enter = 0.0f, exit = 1.0f;
    for (int i = 0; i < 3; ++i) {
        const float lo = c[i] - h[i], hi = c[i] + h[i];
        if (dir[i] == 0.0f) {
            if (o[i] < lo || o[i] > hi) return 0;
            continue;
        }
        float t1 = (lo - o[i]) / dir[i], t2 = (hi - o[i]) / dir[i];
        if (t1 > t2) std::swap(t1, t2);
        enter = std::fmax(enter, t1);
        exit = std::fmin(exit, t2);
        if (!(enter <= exit)) return 0;
    }
    return 1;
}

int MVE_NodeVsSphere(const MVE_OBJECT *T, const MVE_BODY_NODE *N, const MVE_OBJECT *S) {
    m4f inv;
    InverseAffine(T->m4fModel, inv);
    const v4f local = TransformPoint(inv, S->v4fPosition);
    const v4f e = V(std::fmax(std::fabs(local.x - N->v4fCenter.x) - N->v4fHalfSize.x, 0.0f) * T->v4fScale.x,
                    std::fmax(std::fabs(local.y - N->v4fCenter.y) - N->v4fHalfSize.y, 0.0f) * T->v4fScale.y,
                    std::fmax(std::fabs(local.z - N->v4fCenter.z) - N->v4fHalfSize.z, 0.0f) * T->v4fScale.z);
    const float R = MVE_SphereRadius(S);
    return Dot(e, e) < R * R;
}

int MVE_NodeVsNode(const MVE_OBJECT *A, const MVE_BODY_NODE *NA, const MVE_OBJECT *B, const MVE_BODY_NODE *NB) {
    // Two oriented boxes: axes from the unscaled placement, half sizes scaled, centres placed.
    const v4f ca = TransformPoint(A->m4fModel, NA->v4fCenter), cb = TransformPoint(B->m4fModel, NB->v4fCenter);
    const float ha[3] = {std::fabs(NA->v4fHalfSize.x * A->v4fScale.x), std::fabs(NA->v4fHalfSize.y * A->v4fScale.y),
                         std::fabs(NA->v4fHalfSize.z * A->v4fScale.z)};
    const float hb[3] = {std::fabs(NB->v4fHalfSize.x * B->v4fScale.x), std::fabs(NB->v4fHalfSize.y * B->v4fScale.y),
                         std::fabs(NB->v4fHalfSize.z * B->v4fScale.z)};
    v4f ua[3], ub[3];
    for (int i = 0; i < 3; ++i) {
        ua[i] = V(A->m4fWorld.m[4 * i], A->m4fWorld.m[4 * i + 1], A->m4fWorld.m[4 * i + 2]);
        ub[i] = V(B->m4fWorld.m[4 * i], B->m4fWorld.m[4 * i + 1], B->m4fWorld.m[4 * i + 2]);
    }
    const v4f d = Sub(cb, ca);
    float r[3][3], ar[3][3], t[3];
    for (int i = 0; i < 3; ++i) {
        t[i] = Dot(d, ua[i]);
        for (int j = 0; j < 3; ++j) {
            r[i][j] = Dot(ua[i], ub[j]);
            ar[i][j] = std::fabs(r[i][j]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(t[i]) > ha[i] + hb[0] * ar[i][0] + hb[1] * ar[i][1] + hb[2] * ar[i][2]) return 0;
    }
    for (int j = 0; j < 3; ++j) {
        const float tj = t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j];
        if (std::fabs(tj) > hb[j] + ha[0] * ar[0][j] + ha[1] * ar[1][j] + ha[2] * ar[2][j]) return 0;
    }
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = ha[i1] * ar[i2][j] + ha[i2] * ar[i1][j];
            const float rb = hb[j1] * ar[i][j2] + hb[j2] * ar[i][j1];
            if (std::fabs(t[i2] * r[i1][j] - t[i1] * r[i2][j]) > ra + rb) return 0;
        }
    }
    return 1;
}

int MVE_TestTreePoint(MVE_OBJECT *T, const MVE_BODY_NODE *N, MVE_OBJECT *P) {
    if (!N || !MVE_NodeVsPoint(T, N, P)) return 0;
    if (N->ChildA && N->ChildB) return MVE_TestTreePoint(T, N->ChildA, P) | MVE_TestTreePoint(T, N->ChildB, P);
    if (N->Mesh) return MeshVsPoint(T, *N->Mesh, P);
    return 0;
}

int MVE_TestTreeSphere(MVE_OBJECT *T, const MVE_BODY_NODE *N, MVE_OBJECT *S) {
    if (!N || !MVE_NodeVsSphere(T, N, S)) return 0;
    if (N->ChildA && N->ChildB) return MVE_TestTreeSphere(T, N->ChildA, S) | MVE_TestTreeSphere(T, N->ChildB, S);
    if (N->Mesh) return MeshVsSphere(T, *N->Mesh, S);
    return 0;
}

int MVE_TestTreeTree(MVE_OBJECT *A, const MVE_BODY_NODE *NA, MVE_OBJECT *B, const MVE_BODY_NODE *NB) {
    if (!NA || !NB || !MVE_NodeVsNode(A, NA, B, NB)) return 0;
    if (NA->ChildA && NA->ChildB) return MVE_TestTreeTree(A, NA->ChildA, B, NB) | MVE_TestTreeTree(A, NA->ChildB, B, NB);
    if (NB->ChildA && NB->ChildB) return MVE_TestTreeTree(A, NA, B, NB->ChildA) | MVE_TestTreeTree(A, NA, B, NB->ChildB);
    if (NA->Mesh && NB->Mesh) return MeshVsMesh(A, *NA->Mesh, B, *NB->Mesh);
    return 0;
}
