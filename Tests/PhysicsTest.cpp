// The simulation step without the thread: integration under gravity and for static objects, the
// joint solver's cases, inertia tensors, energies and what happens to a non-finite object.
#include "PhysicsSupport.h"
#include <cmath>

namespace {

using namespace mvetest;
class PhysicsTest : public PhysicsFixture {};

}  // namespace

TEST_F(PhysicsTest, IntegrationFallsExactlyAndStaticObjectsGlide) {
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    MVE_OBJECT *ball = MakeObject(-1, 1.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *glider = MakeObject(-1, 0.0f, 0.0f, 5.0f, 0.0f);
    MVE_SetObjectVelocity(IdOf(glider), nullptr, 1.0f, 0.0f, 0.0f, 0);
    MVE_OBJECT *loose = ObjectOf(MVE_CreateObject(-1, kMesh, -1, "", 0, 1));  // in no list
    MVE_SetObjectVelocity(IdOf(loose), nullptr, 1.0f, 0.0f, 0.0f, 0);

    // Gravity enters the accumulator at the end of a pass: the first pass moves nothing.
    EXPECT_EQ(MVE_StepPhysics(0.01f), 1);
    EXPECT_EQ(ball->v4fPosition.y, 0.0f);
    EXPECT_FLOAT_EQ(ball->v4fAcceleration.y, -9.81f);

    // Uneven step times: the a h^2/2 term keeps constant acceleration exact.
    const float steps[] = {0.004f, 0.001f, 0.0025f, 0.003f, 0.0005f, 0.007f};
    double T = 0.01;  // the glider moved during the first pass too
    double fallTime = 0.0;
    for (int i = 0; i < 120; ++i) {
        const float h = steps[i % 6];
        MVE_StepPhysics(h);
        T += h;
        fallTime += h;
    }
    const double expected = -9.81 * fallTime * fallTime / 2.0;
    EXPECT_NEAR(ball->v4fPosition.y, expected, 1e-4 * std::fabs(expected));
    EXPECT_NEAR(ball->v4fVelocity.y, -9.81 * fallTime, 1e-4 * 9.81 * fallTime);
    EXPECT_EQ(ball->v4fPosition.w, 1.0f);
    EXPECT_FLOAT_EQ(ball->m4fModel.m[13], ball->v4fPosition.y);  // matrices follow the position

    EXPECT_NEAR(glider->v4fPosition.x, T, 1e-5);
    EXPECT_EQ(glider->v4fPosition.y, 5.0f);
    EXPECT_EQ(glider->v4fAcceleration.y, 0.0f);
    EXPECT_EQ(loose->v4fPosition.x, 0.0f);

    // A zero step time integrates nothing and leaves the stretch rate alone.
    const v4f before = ball->v4fPosition;
    MVE_StepPhysics(0.0f);
    EXPECT_EQ(ball->v4fPosition.y, before.y);
}

TEST_F(PhysicsTest, IntegrationTurnsAndKeepsOrientationUnit) {
    MVE_OBJECT *spinner = MakeObject(-1, 1.0f, 0.0f, 0.0f, 0.0f);
    spinner->v4fAngularVelocity = {0.0f, 0.0f, 3.14159265f, 0.0f};  // half a turn per second
    for (int i = 0; i < 1000; ++i) MVE_StepPhysics(0.001f);
    const v4f &q = spinner->v4fOrientation;
    EXPECT_NEAR(std::fabs(q.z), 1.0f, 1e-3f);  // turned by pi about z
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 2e-5f);
    EXPECT_NEAR(spinner->m4fWorld.m[0], -1.0f, 1e-3f);
    // A long spin stays a rotation: no drift off unit length accumulates.
    for (int i = 0; i < 200000; ++i) MVE_StepPhysics(0.001f);
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 2e-5f);
}

TEST_F(PhysicsTest, JointAgainstStaticEndRestoresRestLength) {
    MVE_OBJECT *anchor = MakeObject(-1, 0.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *bob = MakeObject(-1, 1.0f, 3.0f, 0.0f, 0.0f);
    const int ia = IdOf(anchor), ib = IdOf(bob);
    // Created with the dynamic end first: the solver swaps so that the static end is A.
    const int joint = MVE_CreateJoint(-1, 0, ib, 0, 0, 0, ia, 0, 0, 0, 0.0f, 0.0f);
    ASSERT_NE(joint, 0);
    EXPECT_FLOAT_EQ(MVE_GetJoint(joint)->fLength, 3.0f);

    MVE_MoveObject(ib, 4.0f, 3.0f, 0.0f, 0);
    MVE_SetObjectVelocity(ib, nullptr, 2.0f, 1.0f, 0.5f, 0);
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_NEAR(Distance(bob->v4fPosition, anchor->v4fPosition), 3.0f, 1e-5f);
    const v4f n = {0.8f, 0.6f, 0.0f, 0.0f};
    EXPECT_NEAR(bob->v4fVelocity.x * n.x + bob->v4fVelocity.y * n.y, 0.0f, 1e-5f);  // no motion along the link
    EXPECT_FLOAT_EQ(bob->v4fVelocity.z, 0.5f);
    EXPECT_FLOAT_EQ(bob->m4fModel.m[12], bob->v4fPosition.x);  // matrices follow the moved end
    EXPECT_NEAR(MVE_GetJoint(joint)->fStretch, 2.0f, 1e-5f);    // measured before the correction

    // A spring at or below its rest length against a static end behaves as a rigid link.
    MVE_SetJointDamping(joint, 0.0f);
    MVE_GetJoint(joint)->fStiffness = 50.0f;
    MVE_MoveObject(ib, 1.0f, 0.0f, 0.0f, 0);
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_NEAR(bob->v4fPosition.x, 3.0f, 1e-5f);
    // Stretched, it pulls: a = -n k x / m, and it does not move the end itself.
    MVE_MoveObject(ib, 4.0f, 0.0f, 0.0f, 0);
    MVE_SetObjectVelocity(ib, nullptr, 0.0f, 0.0f, 0.0f, 0);
    bob->v4fAcceleration = {0, 0, 0, 0};
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_FLOAT_EQ(bob->v4fPosition.x, 4.0f);
    EXPECT_FLOAT_EQ(bob->v4fAcceleration.x, -50.0f);
    // It pulls with the stretch reached at the end of the step: coming in at 20 units/s for
    // 0.01 s leaves 0.8 of it; moving across, the spring leans towards where the end will be.
    MVE_SetObjectVelocity(ib, nullptr, -20.0f, 0.0f, 0.0f, 0);
    bob->v4fAcceleration = {0, 0, 0, 0};
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_FLOAT_EQ(bob->v4fAcceleration.x, -40.0f);
    MVE_SetObjectVelocity(ib, nullptr, 0.0f, 300.0f, 0.0f, 0);
    bob->v4fAcceleration = {0, 0, 0, 0};
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_FLOAT_EQ(bob->v4fAcceleration.x, -50.0f * 2.0f * 4.0f / 5.0f);  // stretch 2 along (4, 3) / 5
    EXPECT_FLOAT_EQ(bob->v4fAcceleration.y, -50.0f * 2.0f * 3.0f / 5.0f);

    // Two static ends: the joint is not solved at all.
    MVE_SetObjectMass(ib, 0.0f);
    MVE_GetJoint(joint)->fStretch = 7.0f;
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_EQ(MVE_GetJoint(joint)->fStretch, 7.0f);
}

TEST_F(PhysicsTest, SpringBetweenDynamicEndsPullsOnlyAndHalvesDamping) {
    MVE_OBJECT *a = MakeObject(-1, 2.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *b = MakeObject(-1, 2.0f, 1.0f, 0.0f, 0.0f);
    const int ib = IdOf(b);
    const int joint = MVE_CreateJoint(-1, 0, IdOf(a), 0, 0, 0, ib, 0, 0, 0, 10000.0f, 0.0f);
    MVE_JOINT *j = MVE_GetJoint(joint);

    MVE_MoveObject(ib, 0.5f, 0.0f, 0.0f, 0);  // compressed: no force at all
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_EQ(a->v4fAcceleration.x, 0.0f);
    EXPECT_EQ(b->v4fAcceleration.x, 0.0f);
    EXPECT_EQ(b->v4fPosition.x, 0.5f);
    EXPECT_FLOAT_EQ(j->fStretch, -0.5f);

    j->fStretch = 0.5f;
    MVE_SetJointDamping(joint, 100.0f);
    MVE_MoveObject(ib, 1.6f, 0.0f, 0.0f, 0);  // x = 0.6, rate (0.6 - 0.5) / 0.01 = 10
    MVE_PhysicsJointPhase(0.01f);
    EXPECT_NEAR(a->v4fAcceleration.x, 10000.0f * 0.6f / 2.0f + 100.0f * 10.0f / 2.0f / 2.0f, 0.5f);
    EXPECT_NEAR(b->v4fAcceleration.x, -(10000.0f * 0.6f / 2.0f + 100.0f * 10.0f / 2.0f / 2.0f), 0.5f);
    EXPECT_NEAR(j->fStretch, 0.6f, 1e-6f);
}

TEST_F(PhysicsTest, InertiaOfEachBodyKind) {
    MVE_CreateBoxBody(3, 4.0f, 2.0f, 6.0f, "");
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_CreateBodyFromMesh(7, kMesh, MVE_SHAPE_MESH, 1.0f, "");

    MVE_OBJECT *box = MakeObject(3, 3.0f, 0, 0, 0);
    MVE_ScaleObject(IdOf(box), 1.0f, 2.0f, 1.0f, 0);  // half sizes (2, 2, 3)
    EXPECT_FLOAT_EQ(box->m4fInertia.m[0], 1.0f * (4.0f + 9.0f));
    EXPECT_FLOAT_EQ(box->m4fInertia.m[5], 1.0f * (4.0f + 9.0f));
    EXPECT_FLOAT_EQ(box->m4fInertia.m[10], 1.0f * (4.0f + 4.0f));
    EXPECT_FLOAT_EQ(box->m4fInertia.m[15], 1.0f);

    MVE_OBJECT *ball = MakeObject(6, 2.0f, 0, 0, 0, 0.5f);  // radius 1 x body scale 0.5
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[0], 0.4f * 2.0f * 0.25f);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[10], 0.4f * 2.0f * 0.25f);
    EXPECT_EQ(ball->m4fInertia.m[1], 0.0f);

    // A sphere whose node sits off the body origin gets the parallel-axis terms.
    MVE_GetBody(6)->Node->v4fCenter = {1.0f, 2.0f, 0.0f, 1.0f};
    MVE_ComputeInertia(ball);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[0], 0.2f + 2.0f * 4.0f);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[5], 0.2f + 2.0f * 1.0f);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[10], 0.2f + 2.0f * 5.0f);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[4], -2.0f * 1.0f * 2.0f);
    EXPECT_FLOAT_EQ(ball->m4fInertia.m[1], -2.0f * 1.0f * 2.0f);

    MVE_OBJECT *mesh = MakeObject(7, 6.0f, 0, 0, 0);  // node half size (1, 1, 1)
    EXPECT_FLOAT_EQ(mesh->m4fInertia.m[0], 4.0f);
    MVE_OBJECT *point = MakeObject(-1, 5.0f, 0, 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(point->m4fInertia.m[i], i % 5 == 0 ? 1.0f : 0.0f);
}

TEST_F(PhysicsTest, EnergyPerMask) {
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_SetGravity(0.0f, -10.0f, 0.0f);
    MVE_OBJECT *o = MakeObject(6, 2.0f, 0.0f, 3.0f, 0.0f);  // inertia 0.8 on every axis
    o->v4fVelocity = {1.0f, 2.0f, 0.0f, 0.0f};
    o->v4fAngularVelocity = {0.0f, 0.0f, 2.0f, 0.0f};
    EXPECT_FLOAT_EQ(MVE_ObjectEnergy(o, 4), 60.0f);
    EXPECT_FLOAT_EQ(MVE_ObjectEnergy(o, 1), 5.0f);
    EXPECT_FLOAT_EQ(MVE_ObjectEnergy(o, 2), 0.5f * 0.8f * 4.0f);
    EXPECT_FLOAT_EQ(MVE_ObjectEnergy(o, 7), 60.0f + 5.0f + 1.6f);
    EXPECT_EQ(MVE_ObjectEnergy(o, 8), 0.0f);  // joint tension is not an object's
    EXPECT_EQ(MVE_ObjectEnergy(nullptr, 7), 0.0f);
}

TEST_F(PhysicsTest, NonFiniteObjectIsPutToRestAndReportedOnce) {
    OpenLog();
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_OBJECT *bad = MakeObject(6, 1.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *good = MakeObject(6, 1.0f, 1.5f, 0.0f, 0.0f);  // overlapping the bad one
    MVE_OBJECT *partner = MakeObject(-1, 1.0f, 10.0f, 0.0f, 0.0f);
    MVE_CreateJoint(-1, 0, IdOf(bad), 0, 0, 0, IdOf(partner), 0, 0, 0, 100.0f, 0.0f);
    MVE_MoveObject(IdOf(partner), 12.0f, 0.0f, 0.0f, 0);  // stretched spring
    bad->v4fVelocity = {std::nanf(""), 0.0f, 0.0f, 0.0f};

    MVE_StepPhysics(0.01f);
    // Neither the contact nor the joint passed the NaN on during the bad pass.
    EXPECT_EQ(good->v4fPosition.x, 1.5f);
    EXPECT_EQ(partner->v4fVelocity.x, 0.0f);
    MVE_StepPhysics(0.01f);
    for (const MVE_OBJECT *o : {bad, good, partner}) {
        EXPECT_TRUE(std::isfinite(o->v4fPosition.x) && std::isfinite(o->v4fVelocity.x));
        EXPECT_TRUE(std::isfinite(o->m4fModel.m[12]));
    }
    EXPECT_LT(std::fabs(bad->v4fPosition.x), 1.0f);  // put to rest where it was, then pushed by the contact
    EXPECT_TRUE(std::isfinite(bad->v4fVelocity.x));

    bad->v4fPosition.y = std::numeric_limits<float>::infinity();
    MVE_StepPhysics(0.01f);
    EXPECT_EQ(bad->v4fPosition.y, 0.0f);  // no finite place left: the origin
    const std::string log = LogText();
    const size_t first = log.find(MVE_FAIL_NON_FINITE);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(MVE_FAIL_NON_FINITE, first + 1), std::string::npos);  // once per object
}
