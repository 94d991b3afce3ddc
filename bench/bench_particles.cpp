// Particle update and upload per frame: 10 emitters of 10 000 live particles each, against a plain
// loop that does the same arithmetic into the same four arrays and the same uploads.
#include "Core/Engine.h"
#include "Particles/Particles.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

struct Scene {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "mve-bench-particles";
    bool ok = false;
    std::vector<int> emitters;
    Scene() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        MVE_ResetEngine();
        ok = MVE_OpenWindow(0, 64, 64, "bench", MVE_WINDOW_HIDDEN) && MVE_OpenScreen(0, 0, 0, 64, 64, 32);
        for (int k = 0; k < 10; ++k) {
            const int h = MVE_CreateParticleEmitter(-1, -1, "");
            MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(h);
            e->iMaxParticles = 10000;
            MVE_ResizeParticleArrays(e);
            e->fFrequency = 10000.0f;
            e->fLifeTime[0] = e->fLifeTime[1] = 1e9f;
            e->fForce = 0.5f;
            e->fAngle = 30.0f;
            e->fRaise[0] = 0.1f, e->fRaise[1] = 0.2f;
            e->fRotation[0] = 0.5f, e->fRotation[1] = 1.0f;
            emitters.push_back(h);
        }
        MVE_AdvanceParticles(1000, 0.0f);
        MVE_AdvanceParticles(2000, 0.0f);   // 10 000 each
        for (int h : emitters) MVE_ParticleEmitterEmission(h, 0);
    }
    ~Scene() {
        if (ok) MVE_Quit();
        MVE_CloseWindow(0);
        MVE_ResetEngine();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
};

void Upload(MVE_PARTICLE_EMITTER *e) {
    if (!MVE_TexturesReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    const GLsizeiptr n = e->iParticles;
    gl.glBindBuffer(GL_ARRAY_BUFFER, e->iPositionBuffer);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 16, e->Positions.data());
    gl.glBindBuffer(GL_ARRAY_BUFFER, e->iSizeBuffer);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 4, e->Sizes.data());
    gl.glBindBuffer(GL_ARRAY_BUFFER, e->iRotationBuffer);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 4, e->Rotations.data());
    gl.glBindBuffer(GL_ARRAY_BUFFER, e->iColorBuffer);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 16, e->Colors.data());
}

void BM_UpdateAndUpload(benchmark::State &state) {
    Scene scene;
    int now = 2000;
    for (auto _ : state) {
        now += 16;
        MVE_AdvanceParticles(now, 0.016f);
        MVE_UploadParticles();
    }
    if (MVE_TexturesReady()) MVE_gl().glFinish();
    int drawn = 0;
    for (int h : scene.emitters) drawn += MVE_GetParticleCount(h);
    state.counters["particles"] = drawn;
    state.counters["screen"] = scene.ok;
}

// The same work as a flat loop over a vector: no list, no lock, no registry.
void BM_PlainLoop(benchmark::State &state) {
    Scene scene;
    std::vector<std::vector<MVE_PARTICLE>> flat;
    for (int h : scene.emitters) {
        MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(h);
        flat.emplace_back(e->Particles.begin(), e->Particles.end());
    }
    int now = 2000;
    for (auto _ : state) {
        now += 16;
        const float dt = 0.016f;
        for (size_t k = 0; k < flat.size(); ++k) {
            MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(scene.emitters[k]);
            int i = 0;
            for (MVE_PARTICLE &p : flat[k]) {
                if (now > p.iDeath) continue;
                p.v4fVelocity.x += MVE_RandomFloat(1, -1) * e->fForce * dt;
                p.v4fVelocity.y += MVE_RandomFloat(1, -1) * e->fForce * dt;
                p.v4fVelocity.z += MVE_RandomFloat(1, -1) * e->fForce * dt;
                p.v4fPosition.x += p.v4fVelocity.x * dt;
                p.v4fPosition.y += p.v4fVelocity.y * dt;
                p.v4fPosition.z += p.v4fVelocity.z * dt;
                p.fSize += p.fRaise * dt;
                p.fAngle += p.fRotation * dt;
                if (i < e->iMaxParticles) {
                    e->Positions[i] = p.v4fPosition;
                    e->Sizes[i] = p.fSize;
                    e->Rotations[i] = p.fAngle;
                    e->Colors[i] = p.v4fColor;
                    ++i;
                }
            }
            e->iParticles = i;
            Upload(e);
        }
    }
    if (MVE_TexturesReady()) MVE_gl().glFinish();
}

}  // namespace

BENCHMARK(BM_UpdateAndUpload)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
