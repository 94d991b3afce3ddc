// Material sections of definition files (and the texture sections they name or hold, refused here
// without a screen): colours, program words, blend modes, numbers of every shape.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "FuzzSupport.h"
#include "Material/Material.h"
#include "MVE.h"
#include "ResourceCheck.h"

namespace fuzz_material {

namespace {
std::set<int> g_materials, g_textures;
}

void Init() {
    MVE_SetResourceLoaders();
    g_materials = mvefuzz::IdsOf(MVE_Engine().Registries.Materials);
    g_textures = mvefuzz::IdsOf(MVE_Engine().Registries.Textures);
}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("m.mvd", data, size);
    MVE_ParseDefinitionFiles("m.mvd", MVE_DEFINITION_MATERIAL | MVE_DEFINITION_TEXTURE);
    MVE_REGISTRIES &r = MVE_Engine().Registries;
    r.Materials.ForEach([](const MVE_MATERIAL *m) {
        MVE_FUZZ_REQUIRE(m->iProgram >= 0);
        for (const MVE_TEXTURE *t : m->Texture) MVE_FUZZ_REQUIRE(!t || MVE_Engine().Registries.Textures.Get(t->iID) == t);
    });
    mvefuzz::FreeAllBut(r.Materials, g_materials);
    mvefuzz::FreeAllBut(r.Textures, g_textures);
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_material

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_material::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_material::Run(data, size); }
#endif
