// What an accepted mesh promises whatever file it came from: counts match the arrays, triangles
// are whole, every corner names a vertex and every vertex group a group.
#pragma once
#include "FuzzSupport.h"
#include "Mesh/Mesh.h"

namespace mvefuzz {

inline void CheckMesh(const MVE_MESH *mesh) {
    MVE_FUZZ_REQUIRE(mesh);
    MVE_FUZZ_REQUIRE(static_cast<size_t>(mesh->iVertices) == mesh->Vertex.size());
    MVE_FUZZ_REQUIRE(static_cast<size_t>(mesh->iIndices) == mesh->Index.size());
    MVE_FUZZ_REQUIRE(mesh->iIndices % 3 == 0);
    for (int32_t index : mesh->Index) MVE_FUZZ_REQUIRE(index >= 0 && index < mesh->iVertices);
    for (const MVE_MESH_VERTEX &v : mesh->Vertex)
        MVE_FUZZ_REQUIRE(v.iGroup >= 0 && (mesh->Groups.empty() || v.iGroup < static_cast<int>(mesh->Groups.size())));
}

}  // namespace mvefuzz
