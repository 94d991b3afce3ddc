// Texture sections of definition files with the image they name, uploaded through a real
// (headless) GL context: ".mvt" raw files, PNG and JPEG. The input is the definition text, a zero
// byte, then the image file's bytes, written as t.mvt, t.png and t.jpg so the definition may name
// any of them. Needs SDL_VIDEODRIVER=offscreen (Tools/fuzz.sh sets it).
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "FuzzSupport.h"
#include "MVE.h"
#include "ResourceCheck.h"
#include <cstring>

namespace fuzz_texture {

namespace {
std::set<int> g_materials, g_textures;
}

void Init() {
    // The regression test brings its own screen; the fuzzer opens one hidden window once.
    if (MVE_Engine().Screen.iRenderWindow == 0 && (MVE_OpenWindow(0, 64, 64, "Morvek Engine - Fuzz", MVE_WINDOW_HIDDEN) != 1 ||
        !MVE_OpenScreen(0, 0, 0, 64, 64, 32))) {
        std::fprintf(stderr, "fuzz_texture: no GL screen (SDL_VIDEODRIVER=offscreen?)\n");
        std::abort();
    }
    MVE_CloseLogFile();  // one row per input would make the log the slowest part
    g_materials = mvefuzz::IdsOf(MVE_Engine().Registries.Materials);
    g_textures = mvefuzz::IdsOf(MVE_Engine().Registries.Textures);
}

int Run(const uint8_t *data, size_t size) {
    const uint8_t *zero = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t textSize = zero ? static_cast<size_t>(zero - data) : size;
    const uint8_t *image = zero ? zero + 1 : data + size;
    const size_t imageSize = static_cast<size_t>(data + size - image);
    mvefuzz::WriteInput("t.mvd", data, textSize);
    for (const char *file : {"t.mvt", "t.png", "t.jpg"}) mvefuzz::WriteInput(file, image, imageSize);
    MVE_ParseDefinitionFiles("t.mvd", MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    MVE_REGISTRIES &r = MVE_Engine().Registries;
    r.Textures.ForEach([](const MVE_TEXTURE *t) { MVE_FUZZ_REQUIRE(t->iWidth >= 0 && t->iHeight >= 0); });
    mvefuzz::FreeAllBut(r.Materials, g_materials);
    mvefuzz::FreeAllBut(r.Textures, g_textures);
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_texture

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_texture::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_texture::Run(data, size); }
#endif
