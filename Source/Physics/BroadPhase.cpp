// The broad phase: conservative world bounds filed in a hashed grid of a few levels, so that the
// collision phase only offers pairs that could touch. Physics thread with the lock held. It must
// never drop a pair that a test would find in contact: every bound covers all that its shape's
// tests can reach, with a margin for rounding, and what it cannot bound is offered to every partner.
#include "Physics/Collide.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace mvephys;

inline constexpr int MVE_BROAD_LEVELS = 8;  // object sizes e, 4e, 16e, ...

struct MVE_BROAD_PHASE {
    struct Bound {
        float lo[3], hi[3];
        int32_t iUse;       // 0 never tested, 1 tested, 2 tested against everything (unbounded)
        int32_t iPoint;     // points never meet points
        int32_t iWhere;     // 0 nowhere, 1 grid, 2 large list, 3 moved list
        int32_t iLevel;     // grid level
        int32_t iCell[3];   // cell of the lower corner on that level
    };
    struct Slot {
        int32_t x, y, z, level;
        int32_t start, count;  // count -1: empty slot
    };
    std::vector<Bound> Bounds;            // by key
    std::vector<MVE_OBJECT *> Objects;    // by key
    float fSize[MVE_BROAD_LEVELS];        // widest bound a level takes
    float fWidest[MVE_BROAD_LEVELS];      // widest bound a level holds
    float fInvCell[MVE_BROAD_LEVELS];     // cells are twice as wide as the level's objects
    int iLevelCount[MVE_BROAD_LEVELS];    // objects filed per level
    std::vector<Slot> Table;              // open addressing, power-of-two size
    uint32_t uMask = 0;
    std::vector<int32_t> SlotOf;          // by key: the slot of its cell (grid objects)
    std::vector<int32_t> Index;           // keys grouped by cell, ascending within a cell
    std::vector<int32_t> Used;            // slots in use
    std::vector<int> Large;               // keys offered to every query
    std::vector<int> Moved;               // keys moved since the grid was built
    std::vector<float> Scratch;           // extents, for the median
};

void MVE_BroadPhaseFree(MVE_BROAD_PHASE *broad) { delete broad; }

namespace {

constexpr float kMaxCellIndex = 1.0e9f;
constexpr int kFewObjects = 8;  // a level this sparse is cheaper to scan than to look up

using Bound = MVE_BROAD_PHASE::Bound;

// Plain comparisons: no NaN reaches these (the object state was checked), and the library's
// fmin and fmax are calls.
inline float Min(float a, float b) { return a < b ? a : b; }
inline float Max(float a, float b) { return a > b ? a : b; }
inline float Abs(float a) { return a < 0.0f ? -a : a; }

void Everything(Bound &b) {
    for (int i = 0; i < 3; ++i) {
        b.lo[i] = -std::numeric_limits<float>::infinity();
        b.hi[i] = std::numeric_limits<float>::infinity();
    }
    b.iUse = 2;
}

// Pads a bound for rounding: the tests transform and subtract, each step exact to a few units in
// the last place of the coordinates involved; the margin is orders of magnitude above that, and
// grows with how far a placement's scale is from uniform (its inverse amplifies errors).
void Pad(Bound &b, float condition) {
    float size = 0.0f;
    for (int i = 0; i < 3; ++i) size = Max(size, Max(Abs(b.lo[i]), Abs(b.hi[i])));
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
            b.lo[i] = Min(s0[i], s1[i]);
            b.hi[i] = Max(s0[i], s1[i]);
        }
        b.iPoint = 1;
        b.iUse = 1;
        Pad(b, 0.0f);
        break;
    }
    case MVE_SHAPE_SPHERE: {
        const float r = Abs(MVE_SphereRadius(o));
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
        const float s[3] = {Abs(o->v4fScale.x), Abs(o->v4fScale.y), Abs(o->v4fScale.z)};
        const float smin = Min(s[0], Min(s[1], s[2])), smax = Max(s[0], Max(s[1], s[2]));
        if (!(smin > 0.0f)) {
            Everything(b);  // a flattened placement has no inverse: whatever the tests make of it
            return;
        }
        // The node box under the model matrix: centre placed, extents through |M|.
        const m4f &M = o->m4fModel;
        const v4f c = TransformPoint(M, node->v4fCenter);
        const float h[3] = {Abs(node->v4fHalfSize.x), Abs(node->v4fHalfSize.y), Abs(node->v4fHalfSize.z)};
        const float cc[3] = {c.x, c.y, c.z};
        for (int i = 0; i < 3; ++i) {
            const float e = Abs(M.m[i]) * h[0] + Abs(M.m[4 + i]) * h[1] + Abs(M.m[8 + i]) * h[2];
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

inline float Extent(const Bound &b) { return Max(b.hi[0] - b.lo[0], Max(b.hi[1] - b.lo[1], b.hi[2] - b.lo[2])); }

// Grid cell of a coordinate; false when it is beyond what the grid can index.
inline bool CellOf(float v, float inv, int32_t &cell) {
    const float c = v * inv;
    if (!(c > -kMaxCellIndex && c < kMaxCellIndex)) return false;
    const int32_t i = static_cast<int32_t>(c);
    cell = i - (c < static_cast<float>(i) ? 1 : 0);  // floor
    return true;
}

inline uint32_t Hash(int32_t x, int32_t y, int32_t z, int32_t level) {
    return (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
           (static_cast<uint32_t>(z) * 83492791u) ^ (static_cast<uint32_t>(level) * 2654435761u);
}

// The slot of a cell, or the empty slot where it would go.
inline uint32_t Find(const MVE_BROAD_PHASE &g, int32_t x, int32_t y, int32_t z, int32_t level) {
    uint32_t i = Hash(x, y, z, level) & g.uMask;
    for (;;) {
        const MVE_BROAD_PHASE::Slot &s = g.Table[i];
        if (s.count < 0 || (s.x == x && s.y == y && s.z == z && s.level == level)) return i;
        i = (i + 1) & g.uMask;
    }
}

// The level a bound belongs to, with its cell there; -1 when it belongs in the large list.
int LevelOf(const MVE_BROAD_PHASE &g, Bound &b) {
    if (b.iUse != 1) return -1;
    const float e = Extent(b);
    for (int level = 0; level < MVE_BROAD_LEVELS; ++level) {
        if (e > g.fSize[level]) continue;
        const float inv = g.fInvCell[level];
        for (int i = 0; i < 3; ++i) {
            int32_t top;
            if (!CellOf(b.lo[i], inv, b.iCell[i]) || !CellOf(b.hi[i] + g.fSize[level], inv, top)) return -1;
        }
        b.iLevel = level;
        return level;
    }
    return -1;
}

// Every object is filed once: in the grid by the cell of its lower corner on its level, or in the
// large list.
void Grid(MVE_BROAD_PHASE &g) {
    // Level 0 takes objects up to the widest one not much wider than the median, so that objects
    // of about one size all share it; each further level takes objects four times as wide.
    g.Scratch.clear();
    for (const Bound &b : g.Bounds)
        if (b.iUse == 1) g.Scratch.push_back(Extent(b));
    float size = 1.0f;
    if (!g.Scratch.empty()) {
        auto mid = g.Scratch.begin() + static_cast<std::ptrdiff_t>(g.Scratch.size() / 2);
        std::nth_element(g.Scratch.begin(), mid, g.Scratch.end());
        const float median = *mid;
        size = median;
        for (float e : g.Scratch)
            if (e <= 1.5f * median) size = Max(size, e);
    }
    if (!(std::isfinite(size) && size > 1e-3f)) size = 1e-3f;
    for (int level = 0; level < MVE_BROAD_LEVELS; ++level) {
        g.fSize[level] = size;
        g.fWidest[level] = 0.0f;
        g.fInvCell[level] = 0.5f / size;
        g.iLevelCount[level] = 0;
        size *= 4.0f;
    }

    const size_t n = g.Bounds.size();
    size_t tableSize = 64;
    while (tableSize < n * 2) tableSize *= 2;
    if (g.Table.size() != tableSize) {
        g.Table.assign(tableSize, MVE_BROAD_PHASE::Slot{0, 0, 0, 0, 0, -1});
    } else {
        for (int32_t i : g.Used) g.Table[i].count = -1;
    }
    g.uMask = static_cast<uint32_t>(tableSize - 1);
    g.SlotOf.resize(n);
    g.Used.clear();
    g.Large.clear();
    g.Moved.clear();
    for (size_t k = 0; k < n; ++k) {
        Bound &b = g.Bounds[k];
        b.iWhere = 0;
        if (!b.iUse) continue;
        const int level = LevelOf(g, b);
        if (level < 0) {
            b.iWhere = 2;
            continue;
        }
        b.iWhere = 1;
        ++g.iLevelCount[level];
        g.fWidest[level] = Max(g.fWidest[level], Extent(b));
    }
    // Sparse levels go to the large list: a handful of objects is cheaper to scan than to look up.
    for (size_t k = 0; k < n; ++k) {
        Bound &b = g.Bounds[k];
        if (b.iWhere == 1 && g.iLevelCount[b.iLevel] < kFewObjects) b.iWhere = 2;
        if (b.iWhere == 2) g.Large.push_back(static_cast<int>(k));
    }
    size_t filed = 0;
    for (size_t k = 0; k < n; ++k) {
        const Bound &b = g.Bounds[k];
        if (b.iWhere != 1) continue;
        const uint32_t i = Find(g, b.iCell[0], b.iCell[1], b.iCell[2], b.iLevel);
        MVE_BROAD_PHASE::Slot &s = g.Table[i];
        if (s.count < 0) {
            s.x = b.iCell[0];
            s.y = b.iCell[1];
            s.z = b.iCell[2];
            s.level = b.iLevel;
            s.count = 0;
            g.Used.push_back(static_cast<int32_t>(i));
        }
        ++s.count;
        g.SlotOf[k] = static_cast<int32_t>(i);
        ++filed;
    }
    for (int level = 0; level < MVE_BROAD_LEVELS; ++level)
        if (g.iLevelCount[level] < kFewObjects) g.iLevelCount[level] = 0;
    int32_t start = 0;
    for (int32_t i : g.Used) {
        g.Table[i].start = start;
        start += g.Table[i].count;
        g.Table[i].count = 0;
    }
    g.Index.resize(filed);
    for (size_t k = 0; k < n; ++k)
        if (g.Bounds[k].iWhere == 1) {
            MVE_BROAD_PHASE::Slot &s = g.Table[g.SlotOf[k]];
            g.Index[s.start + s.count++] = static_cast<int32_t>(k);
        }
}

}  // namespace

void MVE_BroadPhaseBuild(MVE_PHYSICS_STATE &p) {
    if (!p.pBroad) p.pBroad = new MVE_BROAD_PHASE;
    MVE_BROAD_PHASE &g = *p.pBroad;
    const size_t nd = p.Dynamic.size(), n = nd + p.Static.size();
    g.Objects.resize(n);
    g.Bounds.resize(n);
    for (size_t k = 0; k < n; ++k) {
        g.Objects[k] = k < nd ? p.Dynamic[k] : p.Static[k - nd];
        ComputeBound(g.Objects[k], g.Bounds[k]);
    }
    Grid(g);
}

void MVE_BroadPhaseRefresh(MVE_PHYSICS_STATE &p, int key) {
    MVE_BROAD_PHASE &g = *p.pBroad;
    Bound &b = g.Bounds[key];
    const int where = b.iWhere, level = b.iLevel;
    const int32_t cell[3] = {b.iCell[0], b.iCell[1], b.iCell[2]};
    ComputeBound(g.Objects[key], b);
    if (where == 2 || where == 3) {
        b.iWhere = where;  // the lists it is on are scanned whole, with the bound as it is now
        return;
    }
    if (where == 1 && LevelOf(g, b) == level && Extent(b) <= g.fWidest[level] &&
        std::memcmp(cell, b.iCell, sizeof cell) == 0) {
        b.iWhere = 1;  // still filed under the right cell
        return;
    }
    // Out of its cell (or back from untested): queries find it on the moved list from now on.
    b.iWhere = 3;
    g.Moved.push_back(key);
    if (g.Moved.size() > 256) Grid(g);
}

void MVE_BroadPhaseQuery(MVE_PHYSICS_STATE &p, int i, int after, std::vector<int> &out) {
    const MVE_BROAD_PHASE &g = *p.pBroad;
    out.clear();
    const Bound &b = g.Bounds[i];
    if (!b.iUse) return;
    auto consider = [&](int k) {
        const Bound &o = g.Bounds[k];
        if (k > after && o.iUse && !(b.iPoint && o.iPoint) && Overlap(b, o)) out.push_back(k);
    };
    auto everyKey = [&]() {
        out.clear();
        for (int k = after + 1; k < static_cast<int>(g.Bounds.size()); ++k) consider(k);  // ascending
    };
    if (b.iUse != 1) return everyKey();
    for (int level = 0; level < MVE_BROAD_LEVELS; ++level) {
        if (!g.iLevelCount[level]) continue;
        // An object on this level that touches this bound has its lower corner between
        // lo - (the level's widest object) and hi.
        const float inv = g.fInvCell[level], reach = g.fWidest[level];
        int32_t lo[3], hi[3];
        bool bounded = true;
        for (int a = 0; a < 3 && bounded; ++a)
            bounded = CellOf(b.lo[a] - reach, inv, lo[a]) && CellOf(b.hi[a], inv, hi[a]) &&
                      static_cast<int64_t>(hi[a]) - lo[a] < 4;
        if (!bounded) return everyKey();  // far wider than these cells: every object costs less
        for (int32_t x = lo[0]; x <= hi[0]; ++x)
            for (int32_t y = lo[1]; y <= hi[1]; ++y)
                for (int32_t z = lo[2]; z <= hi[2]; ++z) {
                    const MVE_BROAD_PHASE::Slot &s = g.Table[Find(g, x, y, z, level)];
                    const int32_t *keys = g.Index.data() + s.start;
                    for (int32_t n = 0; n < s.count; ++n)
                        if (g.Bounds[keys[n]].iWhere == 1) consider(keys[n]);
                }
    }
    for (int k : g.Large) consider(k);
    for (int k : g.Moved) consider(k);
    std::sort(out.begin(), out.end());
}
