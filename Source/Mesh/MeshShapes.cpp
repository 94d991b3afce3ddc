// Procedural meshes: the plane with its "Static"/"Dynamic" groups, transformed copies of one mesh
// into another, the box made of six planes, and the UV sphere. Main thread only; sizes that would
// overflow the vertex count are refused with a red row.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include <cmath>
#include <new>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Sine and cosine of an angle in degrees, exact at multiples of 90 so that boxes land on whole numbers.
void SinCosDegrees(float degrees, double &s, double &c) {
    const double d = std::fmod(static_cast<double>(degrees), 360.0);
    const double q = d / 90.0;
    if (q == std::floor(q)) {
        static const double sines[4] = {0, 1, 0, -1};
        const int k = ((static_cast<int>(q) % 4) + 4) % 4;
        s = sines[k];
        c = sines[(k + 1) % 4];
        return;
    }
    s = std::sin(d * kPi / 180.0);
    c = std::cos(d * kPi / 180.0);
}

void Normalize3(float v[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f && std::isfinite(length))
        for (int k = 0; k < 3; ++k) v[k] /= length;
    else
        v[0] = v[1] = v[2] = 0.0f;
}

}  // namespace

void MVE_BuildPlaneMesh(MVE_MESH &mesh, float size, float repeat) {
    const float h = size * 0.5f, t = repeat;
    const int stat = MVE_AddMeshGroup(&mesh, "Static"), dyn = MVE_AddMeshGroup(&mesh, "Dynamic");
    struct Corner {
        float x, z, u, v;
        int group;
    };
    const Corner corners[6] = {{-h, -h, t, t, stat}, {-h, h, t, 0, dyn}, {h, h, 0, 0, dyn},
                               {h, h, 0, 0, dyn},    {h, -h, 0, t, stat}, {-h, -h, t, t, stat}};
    mesh.Vertex.assign(6, MVE_MESH_VERTEX{});
    for (int i = 0; i < 6; ++i) {
        MVE_MESH_VERTEX &v = mesh.Vertex[static_cast<size_t>(i)];
        v.v4fVertex = {corners[i].x, 0.0f, corners[i].z, 1.0f};
        v.v3fNormal[1] = 1.0f;
        v.v2fTexCoord[0] = corners[i].u;
        v.v2fTexCoord[1] = corners[i].v;
        v.iGroup = corners[i].group;
    }
    mesh.Index = {0, 1, 2, 3, 4, 5};
    mesh.iVertices = 6;
    mesh.iIndices = 6;
}

extern "C" int MVE_CreatePlaneMesh(int id, float size, float repeat, const char *name) {
    MVE_MESH plane;
    MVE_BuildPlaneMesh(plane, size, repeat);
    return MVE_HandleOf(MVE_RegisterMesh(id, name ? name : "", std::move(plane)));
}

int MVE_AddMeshToMesh(MVE_MESH *target, const MVE_MESH *source, float x, float y, float z, float rx, float ry,
                      float rz, float sx, float sy, float sz, int group) {
    if (!target || !source || !MVE_CheckMeshCorners(*source, "MVE_AddMeshToMesh")) return -1;
    // A mesh appended to itself reads from the array it grows: work from a copy.
    MVE_MESH copy;
    if (source == target) {
        copy.Vertex = source->Vertex;
        copy.Index = source->Index;
        source = &copy;
    }
    const size_t vertexBase = target->Vertex.size(), indexBase = target->Index.size();
    const size_t addVertices = source->Vertex.size(), addIndices = source->Index.size();
    if (vertexBase + addVertices > static_cast<size_t>(INT32_MAX) ||
        indexBase + addIndices > static_cast<size_t>(INT32_MAX)) {
        MVE_LogFail(MVE_FAIL_COUNT, "MVE_AddMeshToMesh");
        return -1;
    }

    // R = Rx Ry Rz; positions take R S, normals the inverse transpose R S^-1 (the same direction as
    // R S for uniform scale; right for stretched meshes as well). Row-major here: R[row][column].
    double sa, ca, sb, cb, sc, cc;
    SinCosDegrees(rx, sa, ca);
    SinCosDegrees(ry, sb, cb);
    SinCosDegrees(rz, sc, cc);
    const double R[3][3] = {{cb * cc, -cb * sc, sb},
                            {ca * sc + sa * sb * cc, ca * cc - sa * sb * sc, -sa * cb},
                            {sa * sc - ca * sb * cc, sa * cc + ca * sb * sc, ca * cb}};
    const double S[3] = {sx, sy, sz};
    // Inverse scale where it exists; a flattened axis keeps the cofactors (the normal of a squashed
    // mesh points along the squashed axis).
    double N[3];
    if (sx != 0.0f && sy != 0.0f && sz != 0.0f) {
        N[0] = 1.0 / S[0], N[1] = 1.0 / S[1], N[2] = 1.0 / S[2];
    } else {
        N[0] = S[1] * S[2], N[1] = S[0] * S[2], N[2] = S[0] * S[1];
    }
    float M[3][3], Mn[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            M[r][c] = static_cast<float>(R[r][c] * S[c]);
            Mn[r][c] = static_cast<float>(R[r][c] * N[c]);
        }

    try {
        target->Vertex.resize(vertexBase + addVertices);
        target->Index.resize(indexBase + addIndices);
    } catch (const std::bad_alloc &) {
        target->Vertex.resize(vertexBase);
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, "MVE_AddMeshToMesh");
        return -1;
    }
    for (size_t i = 0; i < addVertices; ++i) {
        const MVE_MESH_VERTEX &s = source->Vertex[i];
        MVE_MESH_VERTEX &d = target->Vertex[vertexBase + i];
        const float p[3] = {s.v4fVertex.x, s.v4fVertex.y, s.v4fVertex.z};
        float q[3], n[3];
        for (int r = 0; r < 3; ++r) {
            q[r] = M[r][0] * p[0] + M[r][1] * p[1] + M[r][2] * p[2];
            n[r] = Mn[r][0] * s.v3fNormal[0] + Mn[r][1] * s.v3fNormal[1] + Mn[r][2] * s.v3fNormal[2];
        }
        Normalize3(n);
        d = MVE_MESH_VERTEX{};
        d.v4fVertex = {q[0] + x, q[1] + y, q[2] + z, 1.0f};
        d.v3fNormal[0] = n[0], d.v3fNormal[1] = n[1], d.v3fNormal[2] = n[2];
        d.v2fTexCoord[0] = s.v2fTexCoord[0];
        d.v2fTexCoord[1] = s.v2fTexCoord[1];
        d.iGroup = group == -1 ? s.iGroup : group;
    }
    for (size_t k = 0; k < addIndices; ++k)
        target->Index[indexBase + k] = source->Index[k] + static_cast<int32_t>(vertexBase);
    target->iVertices = static_cast<int>(target->Vertex.size());
    target->iIndices = static_cast<int>(target->Index.size());
    return static_cast<int>(vertexBase);
}

extern "C" int MVE_AddMeshToMesh(int target, int source, float x, float y, float z, float rx, float ry, float rz,
                                 float sx, float sy, float sz, int group) {
    MVE_MESH *t = MVE_ResolveMesh(target, "MVE_AddMeshToMesh");
    MVE_MESH *s = t ? MVE_ResolveMesh(source, "MVE_AddMeshToMesh") : nullptr;
    if (!s) return -1;
    return MVE_AddMeshToMesh(t, s, x, y, z, rx, ry, rz, sx, sy, sz, group);
}

extern "C" int MVE_CreateBoxMesh(int id, float size, float repeat, int group, const char *name) {
    // The template plane is built off the registry: nothing is left behind once the box exists.
    MVE_MESH plane, box;
    MVE_BuildPlaneMesh(plane, size, repeat);
    const float h = size * 0.5f;
    static const float faces[6][6] = {
        {0, 1, 0, 0, 0, 0},  {0, 0, 1, 90, 90, 0},  {1, 0, 0, 90, 0, -90},
        {0, -1, 0, 180, 0, 0}, {0, 0, -1, -90, 90, 0}, {-1, 0, 0, 90, 0, 90},
    };
    for (const auto &f : faces)
        MVE_AddMeshToMesh(&box, &plane, f[0] * h, f[1] * h, f[2] * h, f[3], f[4], f[5], 1, 1, 1, group);
    return MVE_HandleOf(MVE_RegisterMesh(id, name ? name : "", std::move(box)));
}

extern "C" int MVE_CreateSphereMesh(int id, float radius, int segments, int rings, const char *name) {
    if (segments < 1 || rings < 1 || static_cast<int64_t>(segments) * rings > INT32_MAX / 6) {
        MVE_LogFail(MVE_FAIL_COUNT, "MVE_CreateSphereMesh");
        return 0;
    }
    MVE_MESH sphere;
    const size_t cells = static_cast<size_t>(segments) * static_cast<size_t>(rings);
    try {
        sphere.Vertex.assign(cells * 6, MVE_MESH_VERTEX{});
        sphere.Index.resize(cells * 6);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, "MVE_CreateSphereMesh");
        return 0;
    }
    size_t next = 0;
    for (int r = 1; r <= rings; ++r)
        for (int s = 1; s <= segments; ++s) {
            const float phi0 = static_cast<float>((s - 1) * 2.0 * kPi / segments);
            const float phi1 = static_cast<float>(s * 2.0 * kPi / segments);
            const float theta0 = static_cast<float>((r - 1) * kPi / rings);
            const float theta1 = static_cast<float>(r * kPi / rings);
            const float angles[6][2] = {{phi0, theta0}, {phi1, theta0}, {phi0, theta1},
                                        {phi1, theta0}, {phi1, theta1}, {phi0, theta1}};
            for (const auto &a : angles) {
                MVE_MESH_VERTEX &v = sphere.Vertex[next];
                const float px = radius * std::cos(a[0]) * std::sin(a[1]), py = radius * std::cos(a[1]),
                            pz = radius * std::sin(a[0]) * std::sin(a[1]);
                v.v4fVertex = {px, py, pz, 1.0f};
                v.v2fTexCoord[0] = a[0] / static_cast<float>(2.0 * kPi);
                v.v2fTexCoord[1] = a[1] / static_cast<float>(kPi);
                v.v3fNormal[0] = px, v.v3fNormal[1] = py, v.v3fNormal[2] = pz;  // length = radius, as drawn so far
                sphere.Index[next] = static_cast<int32_t>(next);
                ++next;
            }
        }
    return MVE_HandleOf(MVE_RegisterMesh(id, name ? name : "", std::move(sphere)));
}

// A grid of segmentsX x segmentsZ cells in y = 0, normal +y. The texture lies upright for a camera
// that looks ahead along -z: its top row along the far (-z) edge, its left column along -x, repeated
// repeatX times across and repeatZ times along. The edge under the texture's bottom row (+z) is in
// group "Static", every other row in "Dynamic", so grass roots stay put as on the plane.
extern "C" int MVE_CreateRectangleMesh(int id, float width, float depth, int segmentsX, int segmentsZ, float repeatX,
                                       float repeatZ, const char *name) {
    static const char *const kProcedure = "MVE_CreateRectangleMesh";
    if (!(width > 0.0f && depth > 0.0f && std::isfinite(width) && std::isfinite(depth) && std::isfinite(repeatX) &&
          std::isfinite(repeatZ))) {
        MVE_LogFail("Fail: A rectangle needs a finite width and depth above 0 and finite repeats!", kProcedure);
        return 0;
    }
    if (segmentsX < 1 || segmentsZ < 1 || static_cast<int64_t>(segmentsX) * segmentsZ > INT32_MAX / 6) {
        MVE_LogFail(MVE_FAIL_COUNT, kProcedure);
        return 0;
    }
    const size_t columns = static_cast<size_t>(segmentsX) + 1, rows = static_cast<size_t>(segmentsZ) + 1;
    MVE_MESH grid;
    const int stat = MVE_AddMeshGroup(&grid, "Static"), dyn = MVE_AddMeshGroup(&grid, "Dynamic");
    try {
        grid.Vertex.assign(columns * rows, MVE_MESH_VERTEX{});
        grid.Index.resize(static_cast<size_t>(segmentsX) * static_cast<size_t>(segmentsZ) * 6);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, kProcedure);
        return 0;
    }
    for (size_t j = 0; j < rows; ++j)
        for (size_t i = 0; i < columns; ++i) {
            // Fractions of whole cells keep the far edges exactly at +-half the size.
            const double fx = double(i) / segmentsX, fz = double(j) / segmentsZ;
            MVE_MESH_VERTEX &v = grid.Vertex[j * columns + i];
            v.v4fVertex = {static_cast<float>(width * (fx - 0.5)), 0.0f, static_cast<float>(depth * (fz - 0.5)), 1.0f};
            v.v3fNormal[1] = 1.0f;
            v.v2fTexCoord[0] = static_cast<float>(repeatX * fx);
            v.v2fTexCoord[1] = static_cast<float>(repeatZ * fz);
            v.iGroup = j + 1 == rows ? stat : dyn;
        }
    size_t next = 0;
    for (size_t j = 0; j + 1 < rows; ++j)
        for (size_t i = 0; i + 1 < columns; ++i) {
            // Counter-clockwise seen from above, as the plane's triangles.
            const int32_t a = static_cast<int32_t>(j * columns + i), b = a + static_cast<int32_t>(columns);
            const int32_t corners[6] = {a, b, b + 1, b + 1, a + 1, a};
            for (int32_t corner : corners) grid.Index[next++] = corner;
        }
    grid.iVertices = static_cast<int>(grid.Vertex.size());
    grid.iIndices = static_cast<int>(grid.Index.size());
    return MVE_HandleOf(MVE_RegisterMesh(id, name ? name : "", std::move(grid)));
}
