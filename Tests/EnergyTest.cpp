// Simulated scenes without outside input never gain energy, whatever the step time up to 2 ms,
// and contacts never pull parting objects together.
#include "TestSupport.h"
#include "Object/Object.h"
#include "Physics/PhysicsPrivate.h"
#include "Registry/Kinds.h"
#include "Scene.h"
#include <cmath>
#include <string>

namespace {

class EnergyTest : public mvetest::EngineTest {};

constexpr int kFloor = 40;  // body and object of the floor

// The demonstration's chain over its block with `extra` balls falling from a grid above it, and,
// when asked, a wide static slab right under the block that the chain and the balls land on.
void BuildEnergyScene(int extra, bool floor) {
    mvesample::SceneOptions options;
    options.iExtraBalls = extra;
    mvesample::BuildScene(options);
    if (!floor) return;
    MVE_CreateBoxBody(kFloor, 100.0f, 1.0f, 100.0f, "");
    MVE_CreateObject(kFloor, options.iBlockMesh, -1, "", 0, 1);
    MVE_SetObjectBody(kFloor, kFloor, 1.0f);
    MVE_MoveObject(kFloor, 0.0f, 6.5f, -4.0f, 0);  // its top touches the block's underside
    MVE_SetObjectMass(kFloor, 0.0f);
}

struct EnergyRun {
    double start = 0, highest = 0, end = 0;
    long long contacts = 0;
    bool finite = true;
};

EnergyRun RunScene(int extra, bool floor, float h, int passes) {
    MVE_ResetEngine();
    BuildEnergyScene(extra, floor);
    EnergyRun run;
    run.start = run.highest = MVE_GetEnergy(15);
    for (int i = 0; i < passes; ++i) {
        MVE_StepPhysics(h);
        run.contacts += MVE_GetPhysicsCount(2);
        run.highest = std::fmax(run.highest, static_cast<double>(MVE_GetEnergy(15)));
    }
    run.end = MVE_GetEnergy(15);
    for (const MVE_OBJECT *o : MVE_Engine().Physics.Dynamic) run.finite = run.finite && MVE_PhysicsStateFinite(o);
    return run;
}

}  // namespace

// Energy of kinetic, turning, height and spring terms, checked after every pass. The chain and the
// chain with 100 balls run for two simulated seconds (the chain meets the block after 0.75 s and
// whips round it later); the 1000-ball scenes for 1000 passes, to keep the suite quick. The 4000-ball
// scene is measured by the physics benchmark.
TEST_F(EnergyTest, ScenesNeverGainEnergyAtStepsUpTo2ms) {
    struct Case {
        int extra;
        int passesAt1ms;
    };
    const Case cases[] = {{0, 2000}, {100, 2000}, {1000, 1000}};
    for (const Case &c : cases)
        for (const bool floor : {false, true})
            for (const float h : {0.001f, 0.002f}) {
                const int passes = h > 0.0015f ? 1000 : c.passesAt1ms;
                SCOPED_TRACE("balls " + std::to_string(c.extra) + (floor ? ", floor" : ", no floor") + ", step " +
                             std::to_string(h) + " s, passes " + std::to_string(passes));
                const EnergyRun run = RunScene(c.extra, floor, h, passes);
                EXPECT_TRUE(run.finite);
                EXPECT_LE(run.highest, run.start * 1.01);
                EXPECT_GT(run.contacts, passes / 4);  // the scene really collides: the chain at least hits the block
                if (floor && passes * h > 1.5f) EXPECT_LT(run.end, run.start * 0.97);  // landings take energy away
            }
}

// Overlapping objects that already move apart are pushed out of each other, but keep their motion:
// no bounce, no friction, no rolling resistance.
TEST_F(EnergyTest, PartingOverlapKeepsItsMotion) {
    mvetest::MakeTinyMesh(1);
    MVE_CreateSphereBody(2, 1.0f, "");  // radius 0.5
    MVE_CreateBoxBody(3, 4.0f, 1.0f, 2.0f, "");
    auto make = [](int id, int body, float mass, float x, float y, float z) {
        MVE_CreateObject(id, 1, -1, "", 0, 1);
        MVE_MoveObject(id, x, y, z, 0);
        MVE_SetObjectBody(id, body, 1.0f);
        MVE_SetObjectMass(id, mass);
        return MVE_GetObject(id);
    };
    // Two balls of different mass overlapping by 0.2 along (0.6, 0.8, 0), parting at 2 m/s along that
    // line, each also sliding sideways and spinning.
    MVE_OBJECT *a = make(10, 2, 1.0f, 1.0f, 2.0f, 3.0f);
    MVE_OBJECT *b = make(11, 2, 3.0f, 1.0f + 0.48f, 2.0f + 0.64f, 3.0f);
    const v4f va = {-0.6f * 1.5f + 0.4f, -0.8f * 1.5f - 0.3f, 0.2f, 0.0f};  // normal part -1.5
    const v4f vb = {0.6f * 0.5f - 0.8f, 0.8f * 0.5f + 0.6f, -1.0f, 0.0f};   // normal part +0.5
    a->v4fVelocity = va;
    b->v4fVelocity = vb;
    a->v4fAngularVelocity = {0.0f, 0.0f, 5.0f, 0.0f};
    b->v4fAngularVelocity = {2.0f, -1.0f, 0.0f, 0.0f};
    // A ball sinking 0.1 into a static box's top while it rises off it, sliding and spinning.
    MVE_OBJECT *slab = make(12, 3, 0.0f, 10.0f, 0.0f, 0.0f);
    MVE_OBJECT *c = make(13, 2, 2.0f, 10.5f, 0.9f, 0.0f);
    c->v4fVelocity = {3.0f, 0.25f, -1.0f, 0.0f};
    c->v4fAngularVelocity = {0.0f, 7.0f, -4.0f, 0.0f};

    MVE_PhysicsCollisionPhase();
    EXPECT_EQ(MVE_GetPhysicsCount(2), 2);
    EXPECT_EQ(a->v4fVelocity.x, va.x);
    EXPECT_EQ(a->v4fVelocity.y, va.y);
    EXPECT_EQ(b->v4fVelocity.x, vb.x);
    EXPECT_EQ(b->v4fVelocity.z, vb.z);
    EXPECT_EQ(a->v4fAngularVelocity.z, 5.0f);
    EXPECT_EQ(b->v4fAngularVelocity.x, 2.0f);
    EXPECT_EQ(c->v4fVelocity.x, 3.0f);
    EXPECT_EQ(c->v4fVelocity.y, 0.25f);
    EXPECT_EQ(c->v4fAngularVelocity.y, 7.0f);
    EXPECT_EQ(c->v4fAngularVelocity.z, -4.0f);
    // Pushed apart all the same: the balls by 0.1 each along the line of centres, the ball out of
    // the static box onto its top.
    const float gap = std::sqrt((b->v4fPosition.x - a->v4fPosition.x) * (b->v4fPosition.x - a->v4fPosition.x) +
                                (b->v4fPosition.y - a->v4fPosition.y) * (b->v4fPosition.y - a->v4fPosition.y));
    EXPECT_NEAR(gap, 1.0f, 1e-5f);
    EXPECT_NEAR(a->v4fPosition.x, 1.0f - 0.06f, 1e-5f);
    EXPECT_NEAR(c->v4fPosition.y, 1.0f, 1e-5f);
    EXPECT_EQ(slab->v4fPosition.y, 0.0f);

    // The same ball coming down onto the box still bounces: e = 0.6 x 0.6.
    MVE_MoveObject(13, 10.5f, 0.9f, 0.0f, 0);
    c->v4fVelocity = {0.0f, -2.0f, 0.0f, 0.0f};
    c->v4fAngularVelocity = {0.0f, 0.0f, 0.0f, 0.0f};
    MVE_PhysicsCollisionPhase();
    EXPECT_NEAR(c->v4fVelocity.y, 0.72f, 1e-5f);

    // Over whole passes the parting balls keep parting at their own speeds.
    MVE_MoveObject(10, 1.0f, 2.0f, 3.0f, 0);
    MVE_MoveObject(11, 1.0f + 0.48f, 2.0f + 0.64f, 3.0f, 0);
    a->v4fVelocity = {-1.2f, -1.6f, 0.0f, 0.0f};
    b->v4fVelocity = {0.6f, 0.8f, 0.0f, 0.0f};
    a->v4fAngularVelocity = b->v4fAngularVelocity = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 5; ++i) MVE_StepPhysics(0.01f);
    EXPECT_FLOAT_EQ(a->v4fVelocity.y, -1.6f);
    EXPECT_FLOAT_EQ(b->v4fVelocity.y, 0.8f);
    EXPECT_GT(b->v4fPosition.y - a->v4fPosition.y, 0.8f + 5 * 0.01f * 2.4f - 1e-4f);
}
