// The broad phase: a uniform grid of conservative world bounds, so that the collision phase only
// offers pairs that could touch. Physics thread with the lock held. It must never drop a pair that
// a test would find in contact: every bound covers all that its shape's tests can reach, with a
// margin for rounding, and anything it cannot bound safely is offered to every partner.
#include "Physics/Collide.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace mvephys;

struct MVE_BROAD_PHASE {
    struct Bound {
        float lo[3], hi[3];
        int iUse;           // 0 never tested, 1 tested, 2 tested against everything (unbounded)
        int iPoint;         // points never meet points
    };
    struct Slot {
        int32_t x, y, z, head;  // head -1: empty
    };
    struct Node {
        int32_t key, next;
    };
    std::vector<Bound> Bounds;            // by key
    std::vector<MVE_OBJECT *> Objects;    // by key
    int nDynamic = 0;
    float fCell = 1.0f, fInvCell = 1.0f;
    std::vector<Slot> Table;
    uint32_t uMask = 0, uUsed = 0;
    std::vector<Node> Nodes;
    std::vector<int> Large;               // keys offered to every query
    std::vector<uint32_t> Stamp;          // by key: the last query that saw it
    uint32_t uQuery = 0;
};

void MVE_BroadPhaseFree(MVE_BROAD_PHASE *broad) { delete broad; }

namespace {

constexpr int kMaxCells = 64;          // a bound over more cells than this joins the large list
constexpr float kMaxCellIndex = 1.0e9f;

using Bound = MVE_BROAD_PHASE::Bound;

void Everything(Bound &b) {
    for (int i = 0; i < 3; ++i) {
        b.lo[i] = -std::numeric_limits<float>::infinity();
        b.hi[i] = std::numeric_limits<float>::infinity();
    }
    b.iUse = 2;
}

// Pads a bound for rounding: the tests transform and subtract, each step exact to a few units in
// the last place of the coordinates involved; the margin is orders of magnitude above that.
void Pad(Bound &b, float condition) {
    float size = 0.0f;
    for (int i = 0; i < 3; ++i) size = std::fmax(size, std::fmax(std::fabs(b.lo[i]), std::fabs(b.hi[i])));
    const float pad = (1e-4f * (1.0f + condition)) * size + 1e-6f;
    for (int i = 0; i < 3; ++i) {
        b.lo[i] -= pad;
        b.hi[i] += pad;
    }
}

void ComputeBound(const MVE_OBJECT *o, Bound &b) {
    b.iUse = 0;
    b.iPoint = 0;
    if (!o->iCollide || !MVE_PhysicsStateFinite(o)) return;
    const v4f &pos = o->v4fPosition;
    switch (MVE_ShapeOf(o)) {
    case MVE_SHAPE_POINT: {
        // The path the point tests look at: from 1.5 steps back to half a step ahead.
        const v4f &m = o->v4fMovement;
        const float s0[3] = {pos.x - 1.5f * m.x, pos.y - 1.5f * m.y, pos.z - 1.5f * m.z};
        const float s1[3] = {pos.x + 0.5f * m.x, pos.y + 0.5f * m.y, pos.z + 0.5f * m.z};
        for (int i = 0; i < 3; ++i) {
            b.lo[i] = std::fmin(s0[i], s1[i]);
            b.hi[i] = std::fmax(s0[i], s1[i]);
        }
        b.iPoint = 1;
        b.iUse = 1;
        Pad(b, 0.0f);
        break;
    }
    case MVE_SHAPE_SPHERE: {
        const float r = std::fabs(MVE_SphereRadius(o));
        const float c[3] = {pos.x, pos.y, pos.z};
        for (int i = 0; i < 3; ++i) {
            b.lo[i] = c[i] - r;
            b.hi[i] = c[i] + r;
        }
        b.iUse = 1;
        Pad(b, 0.0f);
        break;
    }
    case MVE_SHAPE_BOX:
    case MVE_SHAPE_MESH: {
        const MVE_BODY_NODE *node = o->pBody->Node;
        if (!node) return;  // no node, no test reaches it
        const float s[3] = {std::fabs(o->v4fScale.x), std::fabs(o->v4fScale.y), std::fabs(o->v4fScale.z)};
        const float smin = std::fmin(s[0], std::fmin(s[1], s[2])), smax = std::fmax(s[0], std::fmax(s[1], s[2]));
        if (!(smin > 0.0f)) {
            Everything(b);  // a flattened placement has no inverse: whatever the tests make of it
            return;
        }
        // The node box under the model matrix: centre placed, extents through |M|.
        const m4f &M = o->m4fModel;
        const v4f c = TransformPoint(M, node->v4fCenter);
        const float h[3] = {std::fabs(node->v4fHalfSize.x), std::fabs(node->v4fHalfSize.y),
                            std::fabs(node->v4fHalfSize.z)};
        const float cc[3] = {c.x, c.y, c.z};
        for (int i = 0; i < 3; ++i) {
            const float e = std::fabs(M.m[i]) * h[0] + std::fabs(M.m[4 + i]) * h[1] + std::fabs(M.m[8 + i]) * h[2];
            b.lo[i] = cc[i] - e;
            b.hi[i] = cc[i] + e;
        }
        b.iUse = 1;
        Pad(b, smax / smin);
        break;
    }
    default: return;  // an unknown kind has no test
    }
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(b.lo[i]) || !std::isfinite(b.hi[i])) {
            Everything(b);
            return;
        }
}

inline bool Overlap(const Bound &a, const Bound &b) {
    return a.lo[0] <= b.hi[0] && b.lo[0] <= a.hi[0] && a.lo[1] <= b.hi[1] && b.lo[1] <= a.hi[1] &&
           a.lo[2] <= b.hi[2] && b.lo[2] <= a.hi[2];
}

// Cell range of a bound; false when it is too large for the grid.
bool CellRange(const MVE_BROAD_PHASE &g, const Bound &b, int lo[3], int hi[3]) {
    if (b.iUse == 2) return false;
    long long cells = 1;
    for (int i = 0; i < 3; ++i) {
        const float l = std::floor(b.lo[i] * g.fInvCell), h = std::floor(b.hi[i] * g.fInvCell);
        if (!(l > -kMaxCellIndex && h < kMaxCellIndex)) return false;
        lo[i] = static_cast<int>(l);
        hi[i] = static_cast<int>(h);
        cells *= static_cast<long long>(hi[i] - lo[i] + 1);
        if (cells > kMaxCells) return false;
    }
    return true;
}

inline uint32_t Hash(int x, int y, int z) {
    return (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
           (static_cast<uint32_t>(z) * 83492791u);
}

// The slot of a cell, or the empty slot where it would go.
MVE_BROAD_PHASE::Slot &Find(MVE_BROAD_PHASE &g, int x, int y, int z) {
    uint32_t i = Hash(x, y, z) & g.uMask;
    for (;;) {
        MVE_BROAD_PHASE::Slot &s = g.Table[i];
        if (s.head < 0 || (s.x == x && s.y == y && s.z == z)) return s;
        i = (i + 1) & g.uMask;
    }
}

void InsertKey(MVE_BROAD_PHASE &g, int key);

void ResetTable(MVE_BROAD_PHASE &g, size_t expected) {
    size_t size = 64;
    while (size < expected * 2) size *= 2;
    if (g.Table.size() != size) g.Table.resize(size);
    for (MVE_BROAD_PHASE::Slot &s : g.Table) s.head = -1;
    g.uMask = static_cast<uint32_t>(size - 1);
    g.uUsed = 0;
    g.Nodes.clear();
    g.Large.clear();
}

void InsertKey(MVE_BROAD_PHASE &g, int key) {
    const Bound &b = g.Bounds[key];
    if (!b.iUse) return;
    int lo[3], hi[3];
    if (!CellRange(g, b, lo, hi)) {
        g.Large.push_back(key);
        return;
    }
    for (int x = lo[0]; x <= hi[0]; ++x)
        for (int y = lo[1]; y <= hi[1]; ++y)
            for (int z = lo[2]; z <= hi[2]; ++z) {
                MVE_BROAD_PHASE::Slot &s = Find(g, x, y, z);
                if (s.head < 0) {
                    s.x = x;
                    s.y = y;
                    s.z = z;
                    ++g.uUsed;
                }
                g.Nodes.push_back({key, s.head});
                s.head = static_cast<int32_t>(g.Nodes.size() - 1);
            }
}

void Grid(MVE_BROAD_PHASE &g) {
    // Cells about the size of an average object: most objects then cover one to eight cells.
    double sum = 0.0;
    size_t count = 0, cells = 0;
    for (const Bound &b : g.Bounds)
        if (b.iUse == 1) {
            sum += std::fmax(b.hi[0] - b.lo[0], std::fmax(b.hi[1] - b.lo[1], b.hi[2] - b.lo[2]));
            ++count;
        }
    const float cell = count ? static_cast<float>(sum / static_cast<double>(count)) : 1.0f;
    g.fCell = std::isfinite(cell) && cell > 1e-3f ? cell : 1e-3f;
    g.fInvCell = 1.0f / g.fCell;
    for (const Bound &b : g.Bounds) {
        int lo[3], hi[3];
        if (b.iUse && CellRange(g, b, lo, hi))
            cells += static_cast<size_t>((hi[0] - lo[0] + 1) * (hi[1] - lo[1] + 1) * (hi[2] - lo[2] + 1));
    }
    ResetTable(g, cells + 64);
    for (int key = 0; key < static_cast<int>(g.Bounds.size()); ++key) InsertKey(g, key);
}

}  // namespace

void MVE_BroadPhaseBuild(MVE_PHYSICS_STATE &p) {
    if (!p.pBroad) p.pBroad = new MVE_BROAD_PHASE;
    MVE_BROAD_PHASE &g = *p.pBroad;
    g.nDynamic = static_cast<int>(p.Dynamic.size());
    const size_t n = p.Dynamic.size() + p.Static.size();
    g.Objects.resize(n);
    g.Bounds.resize(n);
    if (g.Stamp.size() < n) g.Stamp.resize(n, 0);
    for (size_t k = 0; k < n; ++k) {
        g.Objects[k] = k < p.Dynamic.size() ? p.Dynamic[k] : p.Static[k - p.Dynamic.size()];
        ComputeBound(g.Objects[k], g.Bounds[k]);
    }
    Grid(g);
}

void MVE_BroadPhaseRefresh(MVE_PHYSICS_STATE &p, int key) {
    MVE_BROAD_PHASE &g = *p.pBroad;
    const Bound old = g.Bounds[key];
    ComputeBound(g.Objects[key], g.Bounds[key]);
    const Bound &now = g.Bounds[key];
    if (!now.iUse) return;
    int lo0[3], hi0[3], lo1[3], hi1[3];
    if (old.iUse && CellRange(g, old, lo0, hi0) && CellRange(g, now, lo1, hi1) &&
        std::memcmp(lo0, lo1, sizeof lo0) == 0 && std::memcmp(hi0, hi1, sizeof hi0) == 0)
        return;  // same cells: the grid already lists it where queries will look
    // Entries in cells it has left stay behind: a query checks the current bound anyway.
    if (g.uUsed + kMaxCells > g.Table.size() / 2)
        Grid(g);
    else
        InsertKey(g, key);
}

void MVE_BroadPhaseQuery(MVE_PHYSICS_STATE &p, int i, int after, std::vector<int> &out) {
    MVE_BROAD_PHASE &g = *p.pBroad;
    out.clear();
    const Bound &b = g.Bounds[i];
    if (!b.iUse) return;
    if (++g.uQuery == 0) {
        std::fill(g.Stamp.begin(), g.Stamp.end(), 0u);
        g.uQuery = 1;
    }
    const uint32_t q = g.uQuery;
    g.Stamp[i] = q;
    auto consider = [&](int k) {
        if (k <= after || g.Stamp[k] == q) return;
        g.Stamp[k] = q;
        const Bound &o = g.Bounds[k];
        if (o.iUse && !(b.iPoint && o.iPoint) && Overlap(b, o)) out.push_back(k);
    };
    int lo[3], hi[3];
    if (CellRange(g, b, lo, hi)) {
        for (int x = lo[0]; x <= hi[0]; ++x)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int z = lo[2]; z <= hi[2]; ++z) {
                    const MVE_BROAD_PHASE::Slot &s = Find(g, x, y, z);
                    for (int n = s.head; n >= 0; n = g.Nodes[n].next) consider(g.Nodes[n].key);
                }
        for (int k : g.Large) consider(k);
    } else {
        for (int k = after + 1; k < static_cast<int>(g.Bounds.size()); ++k) consider(k);
    }
    std::sort(out.begin(), out.end());
}
