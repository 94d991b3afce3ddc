// Particle emitters and billboards without a screen: spawn timing, fading, emission areas and
// directions, capacity, definition words, bad files, and billboard instance matrices.
#include "TestSupport.h"
#include "Particles/Particles.h"
#include <cmath>

namespace {

MVE_PARTICLE_EMITTER *EmitterOf(int handle) { return handle ? MVE_GetParticleEmitter(handle) : nullptr; }

// An emitter with room for many particles that live long enough not to die during a test.
MVE_PARTICLE_EMITTER *LongLived(int &handle, float frequency) {
    handle = MVE_CreateParticleEmitter(-1, -1, "");
    MVE_PARTICLE_EMITTER *e = EmitterOf(handle);
    e->fFrequency = frequency;
    e->fLifeTime[0] = e->fLifeTime[1] = 100000.0f;
    e->iMaxParticles = 100;
    MVE_ResizeParticleArrays(e);
    return e;
}

int LoadText(const std::string &text) {
    MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(text.c_str(), "");
    const int handle = MVE_LoadParticleEmitterDefinition(-1, root, "");
    MVE_FreeDefinitionNode(root, 1);
    return handle;
}

}  // namespace

using ParticleTest = mvetest::EngineTest;

TEST_F(ParticleTest, SpawnCountRoundsHalfToEvenAndCarriesTheRestOver) {
    int h = 0;
    MVE_PARTICLE_EMITTER *e = LongLived(h, 10.0f);
    MVE_AdvanceParticles(1000, 0.0f);   // first update only starts the clock
    EXPECT_EQ(e->iLastEmission, 1000);
    EXPECT_EQ(e->Particles.size(), 0u);
    MVE_AdvanceParticles(1250, 0.25f);  // 2.5 -> 2, clock moves by 200 ms, not to now
    EXPECT_EQ(e->Particles.size(), 2u);
    EXPECT_EQ(e->iLastEmission, 1200);
    MVE_AdvanceParticles(1550, 0.3f);   // 350 ms since 1200: 3.5 -> 4
    EXPECT_EQ(e->Particles.size(), 6u);
    EXPECT_EQ(e->iLastEmission, 1600);
    MVE_AdvanceParticles(2050, 0.5f);   // 450 ms: 4.5 -> 4
    EXPECT_EQ(e->Particles.size(), 10u);
    EXPECT_EQ(e->iLastEmission, 2000);
    EXPECT_EQ(MVE_GetParticleCount(h), 10);
    // Emission off: time still advances, nothing is born.
    MVE_ParticleEmitterEmission(h, 0);
    MVE_AdvanceParticles(3000, 0.9f);
    EXPECT_EQ(e->Particles.size(), 10u);
    EXPECT_EQ(e->iLastEmission, 3000);
}

TEST_F(ParticleTest, FadeInZeroStartsFullAndFadeOutZeroVanishesAtDeath) {
    int h = 0;
    MVE_PARTICLE_EMITTER *e = LongLived(h, 10.0f);
    e->fLifeTime[0] = e->fLifeTime[1] = 500.0f;
    e->fIntensity[0] = e->fIntensity[1] = 0.6f;
    e->v4fColor = {0.2f, 0.4f, 0.8f, 0.5f};
    MVE_AdvanceParticles(1000, 0.0f);
    MVE_AdvanceParticles(1100, 0.1f);
    ASSERT_EQ(e->Particles.size(), 1u);
    MVE_ParticleEmitterEmission(h, 0);
    const MVE_PARTICLE &p = e->Particles.front();
    EXPECT_EQ(p.iDeath, 1600);
    EXPECT_FLOAT_EQ(p.fFade, 0.6f);
    EXPECT_FLOAT_EQ(e->Colors[0].w, 0.3f);   // colour alpha 0.5 x intensity 0.6
    EXPECT_FLOAT_EQ(e->Colors[0].z, 0.8f);
    MVE_AdvanceParticles(1600, 0.5f);        // at its death time it is still there
    EXPECT_EQ(e->Particles.size(), 1u);
    EXPECT_EQ(e->iParticles, 1);
    MVE_AdvanceParticles(1601, 0.001f);      // one millisecond later it is gone at once
    EXPECT_EQ(e->Particles.size(), 0u);
    EXPECT_EQ(e->iParticles, 0);

    // Fade in at 2 per second towards 0.6 and out at 1 per second after death.
    MVE_ParticleEmitterEmission(h, 1);
    e->fFadeIn[0] = e->fFadeIn[1] = 2.0f;
    e->fFadeOut[0] = e->fFadeOut[1] = 1.0f;
    e->iLastEmission = 1601;
    MVE_AdvanceParticles(1701, 0.1f);        // born at 0, faded in by 0.2 this frame
    ASSERT_EQ(e->Particles.size(), 1u);
    MVE_ParticleEmitterEmission(h, 0);
    EXPECT_NEAR(e->Particles.front().fFade, 0.2f, 1e-6f);
    EXPECT_NEAR(e->Colors[0].w, 0.1f, 1e-6f);
    MVE_AdvanceParticles(1901, 1.0f);        // clamped at the intensity
    EXPECT_FLOAT_EQ(e->Particles.front().fFade, 0.6f);
    MVE_AdvanceParticles(2300, 0.5f);        // past death: 0.6 - 0.5
    EXPECT_NEAR(e->Particles.front().fFade, 0.1f, 1e-6f);
    MVE_AdvanceParticles(2400, 0.2f);        // falls below 0: gone
    EXPECT_EQ(e->Particles.size(), 0u);
}

TEST_F(ParticleTest, DirectionBasisAndMotion) {
    int h = 0;
    MVE_PARTICLE_EMITTER *e = LongLived(h, 10.0f);
    e->v4fDirection = {0, 0, 5, 0};          // parallel to +Z: x axis stays (1, 0, 0)
    MVE_BuildParticleDirection(e);
    const float expected[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int k = 0; k < 16; ++k) EXPECT_FLOAT_EQ(e->mDirection.m[k], expected[k]) << k;

    // A tilted direction: the basis is orthonormal and maps +Z onto the direction.
    e->v4fDirection = {3, 0, 4, 0};
    MVE_BuildParticleDirection(e);
    const m4f &m = e->mDirection;
    EXPECT_NEAR(m.m[8], 0.6f, 1e-6f);
    EXPECT_NEAR(m.m[10], 0.8f, 1e-6f);
    for (int c = 0; c < 3; ++c) {
        const float len = m.m[4 * c] * m.m[4 * c] + m.m[4 * c + 1] * m.m[4 * c + 1] + m.m[4 * c + 2] * m.m[4 * c + 2];
        EXPECT_NEAR(len, 1.0f, 1e-5f) << c;
    }

    // Along +Y at speed 2 plus a movement of (1, 0, 0): after 0.5 s the particle is at (0.5, 1, 0).
    e->v4fDirection = {0, 1, 0, 0};
    MVE_BuildParticleDirection(e);
    e->fVelocity[0] = e->fVelocity[1] = 2.0f;
    const v4f movement = {1, 0, 0, 0};
    MVE_ParticleEmitterMovement(h, &movement);
    MVE_AdvanceParticles(1000, 0.0f);
    MVE_AdvanceParticles(1100, 0.5f);
    ASSERT_EQ(e->iParticles, 1);
    EXPECT_NEAR(e->Positions[0].x, 0.5f, 1e-5f);
    EXPECT_NEAR(e->Positions[0].y, 1.0f, 1e-5f);
    EXPECT_NEAR(e->Positions[0].z, 0.0f, 1e-5f);

    // Local mode: born at the emitter's placement in world space.
    int h2 = 0;
    MVE_PARTICLE_EMITTER *l = LongLived(h2, 10.0f);
    l->iMode = MVE_PARTICLE_MODE_LOCAL;
    l->fVelocity[0] = l->fVelocity[1] = 0.0f;
    MVE_ParticleEmitterPosition(h2, 7, -2, 3);
    MVE_AdvanceParticles(5000, 0.0f);
    MVE_AdvanceParticles(5100, 0.1f);
    ASSERT_EQ(l->iParticles, 1);
    EXPECT_NEAR(l->Positions[0].x, 7.0f, 1e-5f);
    EXPECT_NEAR(l->Positions[0].y, -2.0f, 1e-5f);
    EXPECT_NEAR(l->Positions[0].z, 3.0f, 1e-5f);
}

TEST_F(ParticleTest, AreasCapacityAndCone) {
    MVE_SeedRandom(7);
    int h = 0;
    MVE_PARTICLE_EMITTER *box = LongLived(h, 1000.0f);
    box->iArea = MVE_PARTICLE_AREA_BOX;
    box->v4fSize = {4, 2, 6, 0};
    box->fVelocity[0] = box->fVelocity[1] = 0.0f;
    MVE_AdvanceParticles(1000, 0.0f);
    MVE_AdvanceParticles(1100, 0.0f);        // 100 particles
    ASSERT_EQ(box->iParticles, 100);
    float most[3] = {0, 0, 0};
    for (int i = 0; i < 100; ++i) {
        const float v[3] = {std::fabs(box->Positions[i].x), std::fabs(box->Positions[i].y), std::fabs(box->Positions[i].z)};
        for (int k = 0; k < 3; ++k) most[k] = std::max(most[k], v[k]);
    }
    EXPECT_LE(most[0], 2.0f); EXPECT_GT(most[0], 1.5f);
    EXPECT_LE(most[1], 1.0f); EXPECT_GT(most[1], 0.75f);
    EXPECT_LE(most[2], 3.0f); EXPECT_GT(most[2], 2.25f);

    int r = 0;
    MVE_PARTICLE_EMITTER *ring = LongLived(r, 1000.0f);
    ring->iArea = MVE_PARTICLE_AREA_RING;
    ring->v4fSize = {1, 1, 0, 0};
    ring->fRadius[0] = 1.0f, ring->fRadius[1] = 2.0f;
    ring->fVelocity[0] = ring->fVelocity[1] = 0.0f;
    ring->iLastEmission = 1000;
    MVE_AdvanceParticles(1050, 0.0f);        // 50 more in both emitters
    ASSERT_EQ(ring->iParticles, 50);
    for (int i = 0; i < 50; ++i) {
        const float d = std::hypot(ring->Positions[i].x, ring->Positions[i].y);
        EXPECT_GE(d, 1.0f - 1e-5f);
        EXPECT_LE(d, 2.0f + 1e-5f);
        EXPECT_FLOAT_EQ(ring->Positions[i].z, 0.0f);
    }

    // Capacity 5 with 8 births due: 5 find room and nothing more is born while they live; the
    // step in which they die brings the next ones at once. A smaller capacity lets the youngest go.
    int c = 0;
    MVE_PARTICLE_EMITTER *small = LongLived(c, 10.0f);
    small->iMaxParticles = 5;
    small->fLifeTime[0] = small->fLifeTime[1] = 1000.0f;
    MVE_ResizeParticleArrays(small);
    small->iLastEmission = 1000;
    MVE_AdvanceParticles(1800, 0.0f);
    EXPECT_EQ(small->Particles.size(), 5u);
    EXPECT_EQ(small->iParticles, 5);
    EXPECT_EQ(MVE_GetParticleCount(c), 5);
    MVE_AdvanceParticles(2500, 0.0f);        // 7 more due, no room; their time passes all the same
    EXPECT_EQ(small->Particles.size(), 5u);
    EXPECT_EQ(small->iLastEmission, 2500);
    MVE_AdvanceParticles(2801, 0.0f);        // born at 1800, gone after 2800: 3 due, 3 born
    EXPECT_EQ(small->Particles.size(), 3u);
    EXPECT_EQ(small->iParticles, 3);
    small->fFadeOut[0] = small->fFadeOut[1] = 2.0f;  // the next ones fade for half a second
    MVE_AdvanceParticles(3001, 0.0f);        // 2 more: full
    ASSERT_EQ(small->Particles.size(), 5u);
    MVE_AdvanceParticles(3700, 0.0f);        // 7 due, no room: the three of 2801 live until 3801
    EXPECT_EQ(small->Particles.size(), 5u);
    MVE_AdvanceParticles(4100, 0.3f);        // the three go; the two of 3001 fade (1 - 2 x 0.3): 3 born
    EXPECT_EQ(small->Particles.size(), 5u);
    MVE_AdvanceParticles(4200, 0.3f);        // the fading two end (0.4 - 0.6): 1 born
    EXPECT_EQ(small->Particles.size(), 4u);
    small->iMaxParticles = 2;
    MVE_ResizeParticleArrays(small);
    EXPECT_EQ(small->Particles.size(), 2u);
    EXPECT_LE(small->iParticles, 2);

    // Cone of 90 degrees: every direction lies in the upper hemisphere around +Y, and some lean far.
    int k = 0;
    MVE_PARTICLE_EMITTER *cone = LongLived(k, 1000.0f);
    cone->fAngle = 90.0f;
    cone->iMaxParticles = 200;
    MVE_ResizeParticleArrays(cone);
    cone->iLastEmission = 2000;
    MVE_AdvanceParticles(2200, 1.0f);
    ASSERT_EQ(cone->iParticles, 200);
    float lowest = 1.0f;
    for (int i = 0; i < 200; ++i) {
        const v4f &p = cone->Positions[i];
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1.0f, 1e-4f);
        EXPECT_GE(p.y, -1e-5f);
        lowest = std::min(lowest, p.y);
    }
    EXPECT_LT(lowest, 0.3f);
}

TEST_F(ParticleTest, DefinitionWordsDefaultsAndBadInput) {
    OpenLog();
    const int a = LoadText("ParticleEmitter: Smoke {\n Emission: { Mode: local; Area: box; Frequency: 12.5; MaxParticles: 40; }\n"
                           " Particle: { LifeTime: 2, 3; Orientation: 90; Rotation: -180; Material: Nope; }\n}\n");
    MVE_PARTICLE_EMITTER *e = EmitterOf(a);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->sName, "Smoke");
    EXPECT_EQ(e->iMode, MVE_PARTICLE_MODE_LOCAL);
    EXPECT_EQ(e->iArea, MVE_PARTICLE_AREA_BOX);
    EXPECT_FLOAT_EQ(e->fFrequency, 12.5f);
    EXPECT_EQ(e->iMaxParticles, 40);
    EXPECT_EQ(e->Positions.size(), 41u);
    EXPECT_FLOAT_EQ(e->fLifeTime[0], 2000.0f);
    EXPECT_FLOAT_EQ(e->fLifeTime[1], 3000.0f);
    EXPECT_NEAR(e->fOrientation[0], 1.5707963f, 1e-6f);
    EXPECT_NEAR(e->fRotation[1], -3.1415927f, 1e-6f);
    EXPECT_NE(LogText().find("Material not found: Nope"), std::string::npos);

    const int b = LoadText("ParticleEmitter: Other { Emission: { Mode: Locale; Area: circle; } }\n");
    MVE_PARTICLE_EMITTER *o = EmitterOf(b);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->iMode, MVE_PARTICLE_MODE_WORLD);
    EXPECT_EQ(o->iArea, MVE_PARTICLE_AREA_POINT);
    const int c = LoadText("ParticleEmitter: Plain {}\n");
    MVE_PARTICLE_EMITTER *p = EmitterOf(c);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->iMode, MVE_PARTICLE_MODE_WORLD);
    EXPECT_EQ(p->iMaxParticles, 256);
    EXPECT_FLOAT_EQ(p->fFrequency, 1.0f);
    EXPECT_FLOAT_EQ(p->fLifeTime[0], 1000.0f);
    EXPECT_FLOAT_EQ(p->v4fDirection.y, 1.0f);
    EXPECT_FLOAT_EQ(p->v4fPosition.w, 1.0f);

    // An inline material block makes a material; the particle colour defaults to its colour.
    const int m = LoadText("ParticleEmitter: Lit { Particle: { Material: { Color: 0.25, 0.5, 0.75; BlendingMode: ONE, ONE; } } }\n");
    MVE_PARTICLE_EMITTER *lit = EmitterOf(m);
    ASSERT_NE(lit, nullptr);
    MVE_MATERIAL *own = lit->iMaterial ? MVE_GetMaterial(lit->iMaterial) : nullptr;
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->iBlendDestination, 1);
    EXPECT_FLOAT_EQ(lit->v4fColor.y, 0.5f);
    EXPECT_FLOAT_EQ(lit->v4fColor.z, 0.75f);
    MVE_ParticleEmitterBlend(m, 0.35f);
    EXPECT_NEAR(MVE_GetParticleEmitterBlend(m), 0.35f, 1e-6f);

    // Copies carry every parameter but no particles.
    const int d = MVE_CopyParticleEmitter(-1, a);
    MVE_PARTICLE_EMITTER *copy = EmitterOf(d);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->iMaxParticles, 40);
    EXPECT_EQ(copy->iMode, MVE_PARTICLE_MODE_LOCAL);
    EXPECT_FLOAT_EQ(copy->fLifeTime[1], 3000.0f);
    EXPECT_EQ(copy->Positions.size(), 41u);

    const size_t before = MVE_Engine().Registries.ParticleEmitters.Count();
    EXPECT_EQ(MVE_LoadParticleEmitter(-1, "missing.mvd"), 0);
    mvetest::WriteFile(dir_ / "none.mvd", "Material: M { Color: 1, 1, 1; }\n");
    EXPECT_EQ(MVE_LoadParticleEmitter(-1, "none.mvd"), 0);
    EXPECT_EQ(LoadText("ParticleEmitter: Zero { Emission: { MaxParticles: 0; } }\n"), 0);
    EXPECT_EQ(LoadText("ParticleEmitter: Less { Emission: { MaxParticles: -3; } }\n"), 0);
    // A capacity no memory holds is refused before anything is allocated.
    EXPECT_EQ(LoadText("ParticleEmitter: Huge { Emission: { MaxParticles: 2000000000; } }\n"), 0);
    EXPECT_EQ(LoadText("ParticleEmitter: OnePast { Emission: { MaxParticles: 1048577; } }\n"), 0);
    EXPECT_EQ(LoadText("ParticleEmitter: Wraps { Emission: { MaxParticles: 4294967297; } }\n"), 0);  // not 1
    EXPECT_EQ(MVE_LoadParticleEmitterDefinition(-1, nullptr, ""), 0);
    EXPECT_EQ(MVE_CopyParticleEmitter(-1, 12345), 0);
    EXPECT_EQ(MVE_Engine().Registries.ParticleEmitters.Count(), before);
    const std::string log = LogText();
    EXPECT_NE(log.find("File not found"), std::string::npos);
    EXPECT_NE(log.find(MVE_FAIL_NO_EMITTER_SECTION), std::string::npos);
    EXPECT_NE(log.find(MVE_FAIL_EMITTER_CAPACITY), std::string::npos);
    EXPECT_NE(log.find(MVE_FAIL_EMITTER_CAPACITY_MAX), std::string::npos);
    EXPECT_NE(log.find("Fail: MaxParticles does not fit in 32 bits: 4294967297!"), std::string::npos);

    // A hostile file: room for one, a billion births a second, each living eleven days. However
    // long the stall, the emitter holds one particle.
    const int flood = LoadText("ParticleEmitter: Flood { Emission: { MaxParticles: 1; Frequency: 1e9 }"
                               " Particle: { LifeTime: 1e6 } }\n");
    ASSERT_NE(flood, 0);
    for (const int now : {1000, 1016, 1032, 61032}) MVE_AdvanceParticles(now, 0.016f);
    EXPECT_EQ(EmitterOf(flood)->Particles.size(), 1u);
    EXPECT_EQ(MVE_GetParticleCount(flood), 1);
    MVE_FreeParticleEmitter(flood);

    // A file that loads, then is freed: the handle goes stale.
    mvetest::WriteFile(dir_ / "fx.mvd", "ParticleEmitter: Fx { Emission: { MaxParticles: 3; } }\n");
    const int f = MVE_LoadParticleEmitter(-1, "fx.mvd");
    ASSERT_NE(f, 0);
    EXPECT_EQ(EmitterOf(f)->iMaxParticles, 3);
    MVE_FreeParticleEmitter(f);
    EXPECT_EQ(EmitterOf(f), nullptr);
    MVE_AdvanceParticles(100, 0.1f);   // the remaining emitters advance without the freed one
}

TEST_F(ParticleTest, BillboardMatricesAndFullStore) {
    OpenLog();
    EXPECT_EQ(MVE_CreateBillboard(-1, 0, 0, 0, "none"), 0);
    // Material 0 is static ID 0: refused while nothing holds it, taken once a material does.
    EXPECT_EQ(MVE_CreateBillboard(-1, 0, 1, 2, "trees"), 0);
    EXPECT_EQ(MVE_CreateParticleEmitter(-1, 0, "smoke"), 0);
    EXPECT_EQ(MVE_Engine().Registries.Billboards.Count() + MVE_Engine().Registries.ParticleEmitters.Count(), 0u);
    EXPECT_NE(LogText().find("Fail: Material 0 not found!"), std::string::npos);
    const int zero = MVE_CreateMaterial(0, MVE_IGNORE, 21, "");
    ASSERT_EQ(zero, MVE_GetMaterialHandle(0));
    const int b = MVE_CreateBillboard(-1, 0, 1, 2, "trees");
    ASSERT_NE(b, 0);
    EXPECT_EQ(MVE_GetBillboard(b)->iMaterial, zero);
    const float rx = 30, ry = 40, rz = 50, sx = 2;
    m4f *m = MVE_AddBillboard(b, 1, 2, 3, rx, ry, rz, sx, 3, 4);
    ASSERT_NE(m, nullptr);
    const double d = 3.14159265358979323846 / 180.0;
    const double a = rx * d, c = ry * d, e = rz * d;
    EXPECT_NEAR(m->m[0], std::cos(c) * std::cos(e) * sx, 1e-5);
    EXPECT_NEAR(m->m[1], (std::sin(a) * std::sin(c) * std::cos(e) + std::cos(a) * std::sin(e)) * sx, 1e-5);
    EXPECT_NEAR(m->m[2], (std::sin(a) * std::sin(e) - std::cos(a) * std::sin(c) * std::cos(e)) * sx, 1e-5);
    EXPECT_FLOAT_EQ(m->m[3], 0.0f);
    EXPECT_FLOAT_EQ(m->m[12], 1.0f);
    EXPECT_FLOAT_EQ(m->m[14], 3.0f);
    // Third column is Rx Ry (0, 0, 1) scaled by 4: (sin ry, -sin rx cos ry, cos rx cos ry) x 4.
    EXPECT_NEAR(m->m[8], std::sin(c) * 4, 1e-5);
    EXPECT_NEAR(m->m[9], -std::sin(a) * std::cos(c) * 4, 1e-5);
    EXPECT_NEAR(m->m[10], std::cos(a) * std::cos(c) * 4, 1e-5);
    MVE_BILLBOARD *rec = MVE_GetBillboard(b);
    m4f *second = MVE_AddBillboard(b, 0, 0, 0, 0, 0, 0, 1, 1, 1);
    ASSERT_NE(second, nullptr);
    rec->iUploaded = 1;
    EXPECT_EQ(MVE_AddBillboard(b, 0, 0, 0, 0, 0, 0, 1, 1, 1), nullptr);   // full: nothing changes
    EXPECT_EQ(rec->iCount, 2);
    EXPECT_EQ(rec->iUploaded, 1);
    EXPECT_EQ(MVE_RemoveBillboard(b, m), 1);
    EXPECT_EQ(MVE_RemoveBillboard(b, m), 0);
    EXPECT_EQ(rec->iCount, 1);
    EXPECT_EQ(rec->iUploaded, 0);
    EXPECT_EQ(&rec->Instances.front(), second);
    EXPECT_EQ(MVE_AddBillboard(999, 0, 0, 0, 0, 0, 0, 1, 1, 1), nullptr);
}

#include "GLFixture.h"

namespace {

class ParticleRenderTest : public mvetest::GLTest {
  protected:
    ParticleRenderTest() {
        width_ = 80;
        height_ = 60;
    }
    int Texture(const char *file, uint8_t r, uint8_t g, uint8_t b) {
        std::vector<uint8_t> pixels(4 * 4 * 4);
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = 255;
        }
        std::string error;
        EXPECT_EQ(MVE_PlatformWritePNG(file, pixels.data(), 4, 4, 4, error), 1) << error;
        return MVE_LoadTextureFile(-1, file, 0x2600, 0, "");
    }
    // An emitter holding one still, white, long-lived particle at (x, y, z) with the given
    // orientation; null when the emitter could not be made or the particle did not appear.
    MVE_PARTICLE_EMITTER *OneParticle(int material, float x, float y, float z, float orientation = 0.0f) {
        const int e = MVE_CreateParticleEmitter(-1, material, "");
        MVE_PARTICLE_EMITTER *rec = MVE_GetParticleEmitter(e);
        if (!rec) return nullptr;
        rec->fVelocity[0] = rec->fVelocity[1] = 0.0f;
        rec->fLifeTime[0] = rec->fLifeTime[1] = 1e6f;
        rec->fOrientation[0] = rec->fOrientation[1] = orientation;
        rec->v4fColor = {1, 1, 1, 1};
        MVE_ParticleEmitterPosition(e, x, y, z);
        MVE_AdvanceParticles(1000, 0.0f);
        MVE_AdvanceParticles(2000, 0.0f);
        MVE_UploadParticles();
        return rec->iParticles == 1 ? rec : nullptr;
    }
};

}  // namespace

// A red particle left of the view axis and a green billboard right of it, five units ahead: each
// colour appears only on its own side, the middle column between them stays background.
// The particle's material has static ID 0, a material like any other. Then a billboard set takes
// static ID 0 over in green on the left, and the particle, whose material is gone, draws nothing.
TEST_F(ParticleRenderTest, EmitterAndBillboardDrawTexturedQuads) {
    if (HasFatalFailure()) return;
    MVE_SetGlow(0);
    const int red = MVE_CreateMaterial(0, Texture("red.png", 255, 0, 0), 19, "");
    const int green = MVE_CreateMaterial(-1, Texture("green.png", 0, 255, 0), 21, "");
    ASSERT_NE(red, 0);
    ASSERT_NE(green, 0);
    ASSERT_NE(OneParticle(0, -1.2f, 0, -5), nullptr);
    const int b = MVE_CreateBillboard(-1, green, 0, 4, "board");
    ASSERT_NE(MVE_AddBillboard(b, 1.2f, 0, -5, 0, 0, 0, 1, 1, 1), nullptr);

    // Pixels of each colour on each side; the middle column must stay background.
    struct Count { int redLeft = 0, greenLeft = 0, greenRight = 0, redRight = 0, middle = 0; };
    auto count = [&] {
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> px = Pixels();
        Count c;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const uint8_t *p = &px[(static_cast<size_t>(y) * width_ + x) * 4];
                const bool isRed = p[0] > 200 && p[1] < 60, isGreen = p[1] > 200 && p[0] < 60;
                const bool left = x < width_ / 2;
                if (isRed) ++(left ? c.redLeft : c.redRight);
                if (isGreen) ++(left ? c.greenLeft : c.greenRight);
                if (x == width_ / 2 && (isRed || isGreen)) ++c.middle;
            }
        return c;
    };
    Count c = count();
    EXPECT_GT(c.redLeft, 20);
    EXPECT_GT(c.greenRight, 20);
    EXPECT_EQ(c.redRight + c.greenLeft + c.middle, 0);

    ASSERT_NE(MVE_CreateMaterial(0, Texture("green0.png", 0, 255, 0), 21, ""), 0);
    const int left = MVE_CreateBillboard(-1, 0, 0, 4, "left");
    ASSERT_NE(MVE_AddBillboard(left, -1.2f, 0, -5, 0, 0, 0, 1, 1, 1), nullptr);
    c = count();
    EXPECT_EQ(c.redLeft + c.redRight + c.middle, 0);
    EXPECT_GT(c.greenLeft, 20);
    EXPECT_GT(c.greenRight, 20);
}

// A particle with a fixed orientation of +90 degrees turns clockwise on the screen. The emitter quad
// runs u up the screen and v across it, so the texture's left half (red) starts at the bottom and
// ends up on the left, its right half (blue) on the right.
TEST_F(ParticleRenderTest, PositiveOrientationTurnsClockwise) {
    if (HasFatalFailure()) return;
    MVE_SetGlow(0);
    std::vector<uint8_t> pixels(4 * 4 * 4);
    for (int i = 0; i < 16; ++i) {
        const bool left = i % 4 < 2;
        pixels[4 * i] = left ? 255 : 0, pixels[4 * i + 1] = 0, pixels[4 * i + 2] = left ? 0 : 255, pixels[4 * i + 3] = 255;
    }
    std::string error;
    ASSERT_EQ(MVE_PlatformWritePNG("halves.png", pixels.data(), 4, 4, 4, error), 1) << error;
    const int material = MVE_CreateMaterial(-1, MVE_LoadTextureFile(-1, "halves.png", 0x2600, 0, ""), 19, "");
    ASSERT_NE(OneParticle(material, 0, 0, -5, 1.5707964f), nullptr);
    MVE_RenderWorld(-1);
    const std::vector<uint8_t> px = Pixels();
    auto at = [&](int x, int y) { return &px[(static_cast<size_t>(y) * width_ + x) * 4]; };
    for (int y : {25, 30, 34}) {
        EXPECT_GT(at(35, y)[0], 200) << y;  // left of the centre: red
        EXPECT_LT(at(35, y)[2], 60) << y;
        EXPECT_GT(at(45, y)[2], 200) << y;  // right: blue
        EXPECT_LT(at(45, y)[0], 60) << y;
    }
}

// A soft particle five units ahead of the camera, in front of a black wall 40 units ahead, is drawn
// with alpha (40/128 - 5/128) x its material's blend factor: linear depths are distances over the
// far plane, and the wall's comes from the scene drawn before the particles.
TEST_F(ParticleRenderTest, SoftParticleFadesByTheSceneDepth) {
    if (HasFatalFailure()) return;
    MVE_SetGlow(0);
    MVE_EnableSun(0);
    const int white = Texture("white.png", 255, 255, 255);
    const int plane = MVE_CreatePlaneMesh(-1, 200.0f, 1.0f, "");
    MVE_FinishMesh(plane);
    const int wall = MVE_CreateObject(-1, plane, MVE_CreateMaterial(-1, white, 5, ""), "", 0, 1);
    MVE_RotateObject(wall, 90, 0, 0, 0);
    MVE_MoveObject(wall, 0, 0, -40, 0);
    const int material = MVE_CreateMaterial(-1, white, 20, "");
    MVE_GetMaterial(material)->fHardness = 0.5f;
    ASSERT_NE(OneParticle(material, 0, 0, -5), nullptr);
    MVE_RenderWorld(-1);
    const float alpha = (40.0f - 5.0f) / 128.0f * 0.5f;
    // Blended over the wall, which stays fully covered: the red background must not show through.
    MVE_SetBackgroundColor(0xFF0000FF);
    MVE_RenderWorld(-1);
    const uint32_t centre = PixelAt(40, 30);
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(int((centre >> (8 * channel)) & 0xFF), int(std::lround(alpha * 255.0f)), 2) << channel;
    EXPECT_EQ(PixelAt(2, 2) & 0xFFFFFF, 0u);  // the unlit wall beside it
}

// A camera turned a quarter round sees an unrotated billboard edge-on in mode 0 (nothing drawn) and
// face-on in modes 1 and 2, as a square one unit across five units ahead: 2 x 0.5 / (5 tan 22.5)
// of the height, about 14 x 14 pixels.
TEST_F(ParticleRenderTest, BillboardProjectionModesFaceTheCamera) {
    if (HasFatalFailure()) return;
    MVE_SetGlow(0);
    ASSERT_EQ(MVE_RotateCamera(0, 90, 0, 0), 1);
    const v4f ahead = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    const int green = MVE_CreateMaterial(-1, Texture("green.png", 0, 255, 0), 21, "");
    const float pixels = 1.0f / (5.0f * std::tan(22.5f * 3.14159265f / 180.0f)) * float(height_) / 2.0f;
    for (int mode = 0; mode < 3; ++mode) {
        const int b = MVE_CreateBillboard(-1, green, mode, 1, "");
        ASSERT_NE(MVE_AddBillboard(b, 5 * ahead.x, 5 * ahead.y, 5 * ahead.z, 0, 0, 0, 1, 1, 1), nullptr);
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> px = Pixels();
        int covered = 0;
        for (size_t i = 0; i < px.size(); i += 4) covered += px[i + 1] > 200 && px[i] < 60 ? 1 : 0;
        if (mode == 0)
            EXPECT_LE(covered, 2 * height_ / 3) << "edge-on: a line at most";
        else
            EXPECT_NEAR(covered, pixels * pixels, 2.5f * pixels) << "mode " << mode;
        MVE_FreeBillboard(b);
    }
}

// Billboards blend by their material's factors over whatever lies behind them: a 40 % opaque one
// over a lit wall and over the bare background both let 60 % of it through, and an additive one
// adds its colour to the wall. Only the blended result may show, never the background behind the
// wall or a darkened copy of the billboard. Particles blend by their material the same way.
TEST_F(ParticleRenderTest, BillboardsBlendOverTheWallAndTheBackground) {
    if (HasFatalFailure()) return;
    MVE_SetGlow(0);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFFFFFFFF);
    MVE_SetBackgroundColor(0xFF961E3C);  // (60, 30, 150)
    auto texture = [&](const char *file, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        std::vector<uint8_t> pixels(4 * 4 * 4);
        for (size_t i = 0; i < pixels.size(); i += 4) pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = a;
        std::string error;
        EXPECT_EQ(MVE_PlatformWritePNG(file, pixels.data(), 4, 4, 4, error), 1) << error;
        return MVE_LoadTextureFile(-1, file, 0x2600, 0, "");
    };
    // The wall fills the lower half of the view ten units ahead, unlit but for the white ambient.
    const int wallMaterial = MVE_CreateMaterial(-1, texture("white.png", 255, 255, 255, 255), 5, "");
    MVE_GetMaterial(wallMaterial)->v4fColor = {0.4f, 0.5f, 0.6f, 1.0f};
    const int plane = MVE_CreatePlaneMesh(-1, 1.0f, 1.0f, "");
    MVE_FinishMesh(plane);
    const int wall = MVE_CreateObject(-1, plane, wallMaterial, "", 0, 1);
    MVE_RotateObject(wall, 90, 0, 0, 0);
    MVE_MoveObject(wall, 0, -10, -10, 0);
    MVE_ScaleObject(wall, 40, 1, 20, 0);

    const int glass = MVE_CreateMaterial(-1, texture("orange.png", 255, 40, 0, 102), 21, "");
    const int greenTexture = texture("green.png", 0, 100, 0, 255);
    const int light = MVE_CreateMaterial(-1, greenTexture, 21, ""), lightParticles = MVE_CreateMaterial(-1, greenTexture, 19, "");
    for (int additive : {light, lightParticles}) {
        MVE_GetMaterial(additive)->iBlendSource = 1;       // GL_ONE
        MVE_GetMaterial(additive)->iBlendDestination = 1;  // GL_ONE
    }
    const int over = MVE_CreateBillboard(-1, glass, 0, 2, "");
    const int added = MVE_CreateBillboard(-1, light, 0, 1, "");
    ASSERT_NE(MVE_AddBillboard(over, -1.3f, -1.0f, -5, 0, 0, 0, 1, 1, 1), nullptr);  // lower left, over the wall
    ASSERT_NE(MVE_AddBillboard(over, 0.0f, 1.0f, -5, 0, 0, 0, 1, 1, 1), nullptr);    // top middle, over the background
    ASSERT_NE(MVE_AddBillboard(added, 1.3f, -1.0f, -5, 0, 0, 0, 1, 1, 1), nullptr);  // lower right, over the wall
    // A particle drawn additively too, low in the middle over the wall.
    ASSERT_NE(OneParticle(lightParticles, 0.0f, -1.7f, -5), nullptr);
    MVE_RenderWorld(-1);
    const std::vector<uint8_t> px = Pixels();
    const float a = 102 / 255.0f, tex[3] = {1.0f, 40 / 255.0f, 0.0f}, wallColor[3] = {0.4f, 0.5f, 0.6f};
    const float background[3] = {60 / 255.0f, 30 / 255.0f, 150 / 255.0f};
    auto check = [&](const char *where, int x0, int x1, int y0, int y1, const float expected[3]) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(px[(static_cast<size_t>(y) * width_ + x) * 4 + c], std::lround(expected[c] * 255), 2)
                        << where << " pixel " << x << "," << y << " channel " << c;
    };
    float overWall[3], overBackground[3], addedToWall[3] = {wallColor[0], wallColor[1] + 100 / 255.0f, wallColor[2]};
    for (int c = 0; c < 3; ++c) {
        overWall[c] = a * tex[c] + (1 - a) * wallColor[c];
        overBackground[c] = a * tex[c] + (1 - a) * background[c];
    }
    // A unit square five units ahead is 14.5 pixels across; the blocks keep two pixels from its edges.
    check("wall", 30, 50, 32, 42, wallColor);
    check("background", 2, 20, 2, 20, background);
    check("over the wall", 16, 26, 39, 50, overWall);
    check("added to the wall", 54, 64, 39, 50, addedToWall);
    check("over the background", 35, 45, 10, 21, overBackground);
    check("added to the wall by a particle", 36, 43, 50, 57, addedToWall);
}
