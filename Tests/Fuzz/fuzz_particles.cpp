// Particle-emitter files as MVE_LoadParticleEmitter reads them: emission and particle words,
// ranges, colours, named and inline materials (their texture sections are refused here without a
// screen, the parsing before that is not). An accepted emitter is copied and then runs a few steps,
// so that whatever the file put into it reaches spawning, moving and fading.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "FuzzSupport.h"
#include "Material/Material.h"
#include "MVE.h"
#include "Particles/Particles.h"
#include "ResourceCheck.h"

namespace fuzz_particles {

namespace {

std::set<int> g_materials, g_textures, g_emitters;

// Stepping spawns up to the capacity per call; larger emitters are only read.
constexpr int kMostStepped = 4096;

void CheckEmitter(const MVE_PARTICLE_EMITTER *e) {
    MVE_FUZZ_REQUIRE(e->iMaxParticles >= 1);
    const size_t entries = static_cast<size_t>(e->iMaxParticles) + 1;
    MVE_FUZZ_REQUIRE(e->Positions.size() == entries && e->Sizes.size() == entries);
    MVE_FUZZ_REQUIRE(e->Rotations.size() == entries && e->Colors.size() == entries);
    MVE_FUZZ_REQUIRE(e->iParticles >= 0 && e->iParticles <= e->iMaxParticles);
    // Whatever the frequency, the life time or the stall, the live list never outgrows the capacity.
    MVE_FUZZ_REQUIRE(e->Particles.size() <= static_cast<size_t>(e->iMaxParticles));
    MVE_FUZZ_REQUIRE(e->pMatrix == &e->mMatrix && e->pRotation == &e->v4fRotation);
    MVE_FUZZ_REQUIRE(e->iMaterial == 0 || MVE_GetMaterial(e->iMaterial) != nullptr);
}

}  // namespace

void Init() {
    MVE_SetResourceLoaders();
    MVE_REGISTRIES &r = MVE_Engine().Registries;
    g_materials = mvefuzz::IdsOf(r.Materials);
    g_textures = mvefuzz::IdsOf(r.Textures);
    g_emitters = mvefuzz::IdsOf(r.ParticleEmitters);
}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("p.mvd", data, size);
    MVE_REGISTRIES &r = MVE_Engine().Registries;
    const size_t before = r.ParticleEmitters.Count();
    const int handle = MVE_LoadParticleEmitter(MVE_ID_AUTO, "p.mvd");
    if (!handle) {
        // A refused file registers no emitter.
        MVE_FUZZ_REQUIRE(r.ParticleEmitters.Count() == before);
    } else {
        const MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(handle);
        MVE_FUZZ_REQUIRE(e != nullptr);
        CheckEmitter(e);
        if (e->iMaxParticles <= kMostStepped) {
            const int copy = MVE_CopyParticleEmitter(MVE_ID_AUTO, handle);
            MVE_FUZZ_REQUIRE(copy != 0);
            // A first step, a frame later, a long stall, and one after every lifetime has run out.
            for (const int now : {1000, 1016, 4000, 4016, 90000}) MVE_AdvanceParticles(now, 0.016f);
            r.ParticleEmitters.ForEach([](const MVE_PARTICLE_EMITTER *each) { CheckEmitter(each); });
        }
    }
    mvefuzz::FreeAllBut(r.ParticleEmitters, g_emitters);
    mvefuzz::FreeAllBut(r.Materials, g_materials);
    mvefuzz::FreeAllBut(r.Textures, g_textures);
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_particles

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_particles::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_particles::Run(data, size); }
#endif
