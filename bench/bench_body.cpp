// Speed of building a polyhedron body from a render mesh: the position merge and the edge list on
// meshes whose triangles each carry their own three corners (as OBJ imports and flat-shaded meshes
// do), from a few thousand to a few hundred thousand vertices. Time should grow linearly.
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Mesh/Mesh.h"
#include <benchmark/benchmark.h>
#include <vector>

namespace {

// A height field of n x n cells, two triangles per cell, six unshared corners per cell.
MVE_MESH MakeGrid(int n) {
    MVE_MESH mesh;
    auto corner = [](int x, int z) {
        MVE_MESH_VERTEX v = {};
        v.v4fVertex = {static_cast<float>(x), static_cast<float>((x * 7 + z * 13) % 5) * 0.25f,
                       static_cast<float>(z), 1.0f};
        return v;
    };
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const MVE_MESH_VERTEX c[6] = {corner(x, z),     corner(x, z + 1), corner(x + 1, z),
                                          corner(x + 1, z), corner(x, z + 1), corner(x + 1, z + 1)};
            for (const MVE_MESH_VERTEX &v : c) {
                mesh.Index.push_back(static_cast<int32_t>(mesh.Vertex.size()));
                mesh.Vertex.push_back(v);
            }
        }
    mesh.iVertices = static_cast<int>(mesh.Vertex.size());
    mesh.iIndices = static_cast<int>(mesh.Index.size());
    return mesh;
}

void BM_BuildBodyMesh(benchmark::State &state) {
    const MVE_MESH mesh = MakeGrid(static_cast<int>(state.range(0)));
    size_t vertices = 0;
    for (auto _ : state) {
        MVE_BODY_MESH *body = MVE_BuildBodyMesh(&mesh);
        vertices = body->Vertex.size();
        benchmark::DoNotOptimize(body->Edge.data());
        delete body;
    }
    state.counters["mesh vertices"] = static_cast<double>(mesh.Vertex.size());
    state.counters["body vertices"] = static_cast<double>(vertices);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(mesh.Vertex.size()));
}
BENCHMARK(BM_BuildBodyMesh)->Arg(32)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
