// ".mvb" collision bodies: an accepted body has every edge and face inside its vertices, and its
// bounding box holds every vertex (the collision code indexes and prunes without checks).
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "FuzzSupport.h"
#include "MVE.h"

namespace fuzz_body {

void Init() {}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("b.mvb", data, size);
    const int handle = MVE_LoadBody(1, "b.mvb", "");
    if (!handle) {
        mvefuzz::NoTreeLeft();
        return 0;
    }
    const MVE_BODY *body = MVE_GetBody(handle);
    MVE_FUZZ_REQUIRE(body && body->Node && body->Node->Mesh);
    const MVE_BODY_MESH *m = body->Node->Mesh;
    const int vertices = m->iMaxVertex + 1;
    MVE_FUZZ_REQUIRE(static_cast<int>(m->Vertex.size()) == vertices);
    MVE_FUZZ_REQUIRE(static_cast<int>(m->Edge.size()) == m->iMaxEdge + 1);
    MVE_FUZZ_REQUIRE(static_cast<int>(m->Face.size()) == m->iMaxFace + 1);
    for (const MVE_BODY_EDGE &e : m->Edge) MVE_FUZZ_REQUIRE(e.a >= 0 && e.a < vertices && e.b >= 0 && e.b < vertices);
    for (const MVE_BODY_FACE &f : m->Face)
        MVE_FUZZ_REQUIRE(f.a >= 0 && f.a < vertices && f.b >= 0 && f.b < vertices && f.c >= 0 && f.c < vertices);
    MVE_FreeBody(1);
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_body

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_body::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_body::Run(data, size); }
#endif
