// ".mvm" mesh files: what loads is consistent, and what loads is written back out and reads in
// again with the same counts (the writer and the reader agree on every file the reader accepts).
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "MeshCheck.h"
#include "MVE.h"

namespace fuzz_mesh {

void Init() {}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("m.mvm", data, size);
    const int handle = MVE_LoadMesh(1, "m.mvm", "", 0);
    if (!handle) {
        mvefuzz::NoTreeLeft();
        return 0;
    }
    const MVE_MESH *mesh = MVE_GetMesh(handle);
    mvefuzz::CheckMesh(mesh);
    const int vertices = mesh->iVertices, indices = mesh->iIndices;
    MVE_FUZZ_REQUIRE(MVE_SaveMesh(1, "again.mvm", "Again") == 1);
    const int again = MVE_LoadMesh(2, "again.mvm", "", 0);
    MVE_FUZZ_REQUIRE(again != 0);
    const MVE_MESH *copy = MVE_GetMesh(again);
    mvefuzz::CheckMesh(copy);
    MVE_FUZZ_REQUIRE(copy->iVertices == vertices && copy->iIndices == indices);
    MVE_FreeMesh(2);
    MVE_FreeMesh(1);
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_mesh

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_mesh::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_mesh::Run(data, size); }
#endif
