// Wavefront OBJ import: whatever the file, an accepted mesh is consistent.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "MeshCheck.h"
#include "MVE.h"

namespace fuzz_obj {

void Init() {}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("m.obj", data, size);
    if (const int handle = MVE_LoadOBJMesh(1, "m.obj", "")) {
        mvefuzz::CheckMesh(MVE_GetMesh(handle));
        MVE_FreeMesh(1);
    }
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_obj

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_obj::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_obj::Run(data, size); }
#endif
