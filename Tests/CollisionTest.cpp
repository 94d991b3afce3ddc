// Collision detection and response: the pair tests' numbers, bounces, swept points, mesh tests,
// sounds and callbacks, degenerate input, and the broad phase proved exact against every pair.
#include "PhysicsSupport.h"
#include "Registry/Kinds.h"
#include "Scene.h"
#include <cmath>

namespace {

using namespace mvetest;
class CollisionTest : public PhysicsFixture {
  protected:
    // Runs one collision phase and nothing else (no joints, no integration).
    void Collide() { MVE_PhysicsCollisionPhase(); }
    MVE_PHYSICS_STATE &P() { return MVE_Engine().Physics; }
};

int Id(const MVE_OBJECT *o) { return IdOf(o); }

}  // namespace

TEST_F(CollisionTest, SphereSphereContactNumbers) {
    MVE_CreateSphereBody(6, 2.0f, "");  // radius 1
    MVE_OBJECT *a = MakeObject(6, 1.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *b = MakeObject(6, 1.0f, 1.5f, 0.0f, 0.0f);

    // Outside the collision phase a test only reports.
    EXPECT_EQ(MVE_CollideObjects(Id(a), Id(b)), 1);
    EXPECT_NEAR(P().Contact.v4fPoint.x, 0.75f, 1e-6f);
    EXPECT_EQ(P().Contact.v4fNormal.x, 1.0f);
    EXPECT_EQ(b->v4fPosition.x, 1.5f);

    a->v4fVelocity = {1.0f, 0.0f, 0.0f, 0.0f};
    Collide();  // pair (b, a): normal from b to a
    EXPECT_NEAR(a->v4fPosition.x, -0.25f, 1e-6f);
    EXPECT_NEAR(b->v4fPosition.x, 1.75f, 1e-6f);
    EXPECT_FLOAT_EQ(P().Contact.fImpactSpeed, 1.0f);
    // Equal masses, e = 0.6 x 0.6: momentum kept, separation speed 0.36.
    EXPECT_NEAR(a->v4fVelocity.x + b->v4fVelocity.x, 1.0f, 1e-6f);
    EXPECT_NEAR(b->v4fVelocity.x - a->v4fVelocity.x, 0.36f, 1e-6f);
    EXPECT_EQ(a->v4fAngularVelocity.y, 0.0f);

    // Same place: no direction, no contact; exactly touching: no contact either.
    MVE_MoveObject(Id(b), a->v4fPosition.x, 0.0f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(a), Id(b)), 0);
    MVE_MoveObject(Id(b), a->v4fPosition.x + 2.0f, 0.0f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(a), Id(b)), 0);
    EXPECT_EQ(MVE_GetPhysicsCount(2), 1);  // the phase above found one contact
}

TEST_F(CollisionTest, SphereBouncesOffStaticBox) {
    MVE_CreateBoxBody(3, 4.0f, MVE_IGNORE_F, MVE_IGNORE_F, "");
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_OBJECT *box = MakeObject(3, 0.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *ball = MakeObject(6, 1.0f, 0.0f, 2.9f, 0.0f);
    MVE_SetObjectRestitution(Id(box), 0.5f);
    MVE_SetObjectRestitution(Id(ball), 0.5f);
    ball->v4fVelocity = {0.0f, -2.0f, 0.0f, 0.0f};
    Collide();
    EXPECT_NEAR(ball->v4fVelocity.y, 0.5f, 1e-6f);  // e = 0.25
    EXPECT_NEAR(ball->v4fPosition.y, 3.0f, 1e-6f);  // pushed out of the box
    EXPECT_EQ(box->v4fPosition.y, 0.0f);            // static: immovable
    EXPECT_EQ(ball->v4fVelocity.x, 0.0f);
    EXPECT_EQ(ball->v4fAngularVelocity.z, 0.0f);

    // Rotated box, sphere off its corner: the normal points from the box towards the sphere.
    MVE_RotateObject(Id(box), 0.0f, 0.0f, 45.0f, 0);
    MVE_MoveObject(Id(ball), 0.0f, 2.0f * std::sqrt(2.0f) + 0.9f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(box), Id(ball)), 1);
    EXPECT_NEAR(P().Contact.v4fNormal.y, 1.0f, 1e-5f);
    EXPECT_NEAR(P().Contact.v4fPoint.y, 2.0f * std::sqrt(2.0f) - 0.05f, 1e-5f);
    MVE_MoveObject(Id(ball), 0.0f, 2.0f * std::sqrt(2.0f) + 1.1f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(ball), Id(box)), 0);

    // A moving box against a static sphere: the response turns the pair round, and the approach
    // still counts as a positive impact speed with friction against the sliding.
    MVE_RotateObject(Id(box), 0.0f, 0.0f, 0.0f, 0);
    MVE_MoveObject(Id(box), 0.0f, 2.9f, 0.0f, 0);
    MVE_SetObjectMass(Id(box), 1.0f);
    MVE_MoveObject(Id(ball), 0.0f, 0.0f, 0.0f, 0);
    MVE_SetObjectMass(Id(ball), 0.0f);
    box->v4fVelocity = {1.0f, -2.0f, 0.0f, 0.0f};
    ball->v4fVelocity = {0.0f, 0.0f, 0.0f, 0.0f};
    Collide();
    EXPECT_FLOAT_EQ(P().Contact.fImpactSpeed, 2.0f);
    EXPECT_NEAR(P().Contact.v4fNormal.y, 1.0f, 1e-6f);  // from the static sphere to the box
    EXPECT_NEAR(box->v4fVelocity.y, 0.5f, 1e-5f);
    EXPECT_LT(box->v4fVelocity.x, 1.0f);
    EXPECT_EQ(ball->v4fVelocity.y, 0.0f);
    MVE_SetObjectMass(Id(box), 0.0f);
    MVE_SetObjectMass(Id(ball), 1.0f);

    // The sphere's centre on the box's centre: no direction exists, and nothing turns into NaN.
    MVE_MoveObject(Id(ball), 0.0f, 0.0f, 0.0f, 0);
    ball->v4fVelocity = {1.0f, 2.0f, 3.0f, 0.0f};
    Collide();
    EXPECT_TRUE(MVE_PhysicsStateFinite(ball));
    EXPECT_EQ(ball->v4fVelocity.x, 1.0f);
}

TEST_F(CollisionTest, MeshAgainstSpherePointAndMesh) {
    MVE_CreateBoxMesh(11, 2.0f, 1.0f, 0, "");
    ASSERT_NE(BodyOf(MVE_CreateBodyFromMesh(13, 11, MVE_SHAPE_MESH, 1.0f, "")), nullptr);
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_OBJECT *block = MakeObject(13, 0.0f, 0.0f, 0.0f, 0.0f);

    // Sphere sinking into the top face: lifted by the depth along the face normal.
    MVE_OBJECT *ball = MakeObject(6, 1.0f, 0.3f, 1.8f, 0.2f);
    Collide();
    EXPECT_NEAR(ball->v4fPosition.y, 2.0f, 1e-5f);
    EXPECT_NEAR(ball->v4fPosition.x, 0.3f, 1e-6f);
    EXPECT_NEAR(P().Contact.v4fNormal.y, 1.0f, 1e-6f);
    // Near an edge, the edge is the nearest feature.
    MVE_MoveObject(Id(ball), 1.5f, 1.5f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(block), Id(ball)), 1);
    EXPECT_NEAR(P().Contact.v4fNormal.x, std::sqrt(0.5f), 1e-5f);
    EXPECT_NEAR(P().Contact.v4fPoint.x, 1.0f, 1e-5f);
    MVE_FreeObject(Id(ball));

    // A point that crossed the top face during its last step is put on the face and bounces.
    MVE_OBJECT *point = MakeObject(-1, 1.0f, 0.2f, 0.9f, 0.1f);
    point->v4fMovement = {0.0f, -0.5f, 0.0f, 0.0f};
    point->v4fVelocity = {0.0f, -5.0f, 0.0f, 0.0f};
    Collide();
    EXPECT_NEAR(point->v4fPosition.y, 1.0f, 1e-6f);
    EXPECT_NEAR(point->v4fVelocity.y, 1.8f, 1e-5f);  // e = 0.36
    // Beyond the window (more than half a step ahead), or without movement: no contact.
    MVE_MoveObject(Id(point), 0.2f, 1.3f, 0.1f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(block), Id(point)), 0);
    point->v4fMovement = {0, 0, 0, 0};
    MVE_MoveObject(Id(point), 0.2f, 0.9f, 0.1f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(point), Id(block)), 0);
    MVE_FreeObject(Id(point));

    // Two overlapping boxes are pushed apart until no edge crosses a face.
    MVE_OBJECT *top = MakeObject(13, 1.0f, 0.0f, 1.8f, 0.0f);
    top->v4fVelocity = {0.0f, -1.0f, 0.0f, 0.0f};
    EXPECT_EQ(MVE_CollideObjects(Id(block), Id(top)), 1);
    EXPECT_EQ(top->v4fPosition.y, 1.8f);
    Collide();
    EXPECT_NEAR(top->v4fPosition.y, 2.2f, 1e-5f);  // a static partner: the other moves twice the depth
    EXPECT_EQ(top->v4fPosition.x, 0.0f);
    // The impulse acts at a corner of the crossing: it slows the fall and starts a spin.
    EXPECT_NEAR(top->v4fVelocity.y, -1.0f + 1.36f / 4.0f, 1e-5f);
    EXPECT_NE(top->v4fAngularVelocity.x, 0.0f);
    EXPECT_EQ(MVE_CollideObjects(Id(block), Id(top)), 0);
    EXPECT_EQ(block->v4fPosition.y, 0.0f);

    // A box made from sizes has no mesh: it meets spheres only.
    MVE_CreateBoxBody(3, 2.0f, MVE_IGNORE_F, MVE_IGNORE_F, "");
    MVE_OBJECT *plain = MakeObject(3, 1.0f, 0.0f, 0.5f, 0.0f);
    EXPECT_EQ(MVE_CollideObjects(Id(block), Id(plain)), 0);
}

TEST_F(CollisionTest, SphereAgainstSweptPoint) {
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_OBJECT *ball = MakeObject(6, 0.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *point = MakeObject(-1, 1.0f, 0.0f, 0.8f, 0.0f);
    point->v4fMovement = {0.0f, -0.5f, 0.0f, 0.0f};  // entered the sphere 0.4 steps ago
    point->v4fVelocity = {0.0f, -5.0f, 0.0f, 0.0f};
    Collide();
    EXPECT_NEAR(point->v4fPosition.y, 1.0f, 1e-6f);
    EXPECT_NEAR(P().Contact.v4fNormal.y, 1.0f, 1e-6f);
    EXPECT_GT(point->v4fVelocity.y, 0.0f);
    EXPECT_EQ(ball->v4fPosition.y, 0.0f);
    point->v4fMovement = {0, 0, 0, 0};  // no path, no root
    MVE_MoveObject(Id(point), 0.0f, 0.5f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(Id(ball), Id(point)), 0);
    // Two points never collide.
    MVE_OBJECT *other = MakeObject(-1, 1.0f, 0.0f, 0.5f, 0.0f);
    other->v4fMovement = {0.0f, 1.0f, 0.0f, 0.0f};
    EXPECT_EQ(MVE_CollideObjects(Id(point), Id(other)), 0);
}

namespace {
int g_calls = 0;
int g_lastOwn = 0, g_lastOther = 0;
int g_victim = 0;
int Remember(int own, int other) {
    ++g_calls;
    g_lastOwn = own;
    g_lastOther = other;
    return 1000 + g_calls;
}
int FreeVictim(int, int) {
    MVE_FreeObject(g_victim);
    return 7;
}
int StepAgain(int, int) { return MVE_StepPhysics(0.01f); }
int FreeSelf(int own, int) {
    MVE_FreeObject(own);
    return 9;
}
int g_hookSound = 0;
float g_hookVolume = 0.0f;
void Hook(int sound, float volume, const v4f *) {
    g_hookSound = sound;
    g_hookVolume = volume;
}
}  // namespace

TEST_F(CollisionTest, SoundsAndCallbacks) {
    OpenLog();
    int sound = 29, hit = 30, matBall = 3, matBox = 4;
    MVE_CreateSoundListEntry(&sound, "");
    MVE_CreateSoundListEntry(&hit, "");
    MVE_CreateMaterialListEntry(&matBall, "Ball");
    MVE_CreateMaterialListEntry(&matBox, "Plane");
    MVE_CreateBoxBody(3, 4.0f, MVE_IGNORE_F, MVE_IGNORE_F, "");
    MVE_CreateSphereBody(6, 2.0f, "");
    const int box = MVE_CreateObject(-1, kMesh, matBox, "", 0, 1);
    MVE_SetObjectBody(box, 3, 1.0f);
    const int ball = MVE_CreateObject(-1, kMesh, matBall, "", 0, 1);
    MVE_SetObjectBody(ball, 6, 1.0f);
    MVE_SetObjectMass(ball, 1.0f);
    MVE_SetObjectRestitution(ball, 0.0f);
    P().pSoundHook = Hook;

    MVE_SetCollisionSound(99, matBall, -1);  // no such sound: refused
    MVE_SetCollisionSound(sound, 77, -1);    // no such material: refused
    EXPECT_TRUE(P().Sounds.empty());
    EXPECT_NE(LogText().find("Fail: No sound with this ID!"), std::string::npos);
    MVE_SetCollisionSound(hit, matBall, -1);  // any partner of a ball
    MVE_SetCollisionSound(sound, matBall, -1);  // replaces the sound of the same entry
    ASSERT_EQ(P().Sounds.size(), 1u);

    auto drop = [&](float speed) {
        MVE_MoveObject(ball, 0.0f, 2.95f, 0.0f, 0);
        MVE_SetObjectVelocity(ball, nullptr, 0.0f, -speed, 0.0f, 0);
        Collide();
    };
    drop(0.9f);  // too soft to be heard
    EXPECT_EQ(P().LastSound.uCount, 0u);
    drop(1.0f);  // the rule is "greater than 1"
    EXPECT_EQ(P().LastSound.uCount, 0u);
    drop(2.0f);
    EXPECT_EQ(P().LastSound.uCount, 1u);
    EXPECT_EQ(P().LastSound.iSound, sound);
    EXPECT_FLOAT_EQ(P().LastSound.fVolume, 0.5f);  // half the sound's volume at speed 2
    EXPECT_EQ(g_hookSound, sound);
    EXPECT_FLOAT_EQ(g_hookVolume, 0.5f);
    EXPECT_NEAR(P().LastSound.v4fPoint.y, 2.0f, 0.05f);

    // Callbacks: own ID first, results stored; the first object of the pair is called first.
    MVE_SetObjectCallback(box, Remember);
    MVE_SetObjectCallback(ball, Remember);
    drop(2.0f);
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(MVE_GetObject(box)->iCallbackValue, 1001);
    EXPECT_EQ(MVE_GetObject(ball)->iCallbackValue, 1002);
    EXPECT_EQ(g_lastOwn, ball);
    EXPECT_EQ(g_lastOther, box);
    // Outside the collision phase a test calls nobody.
    MVE_MoveObject(ball, 0.0f, 2.95f, 0.0f, 0);
    EXPECT_EQ(MVE_CollideObjects(box, ball), 1);
    EXPECT_EQ(g_calls, 2);

    // A callback that frees its partner, or itself, ends that object's pairs safely.
    const int third = IdOf(MakeObject(6, 1.0f, 0.0f, 2.95f, 1.5f));
    g_victim = ball;
    MVE_SetObjectCallback(box, FreeVictim);
    drop(2.0f);
    EXPECT_FALSE(MVE_IsObject(ball));
    EXPECT_EQ(MVE_GetObject(box)->iCallbackValue, 7);
    // A callback that steps the simulation is refused: the pass in progress goes on.
    MVE_SetObjectCallback(box, StepAgain);
    MVE_MoveObject(third, 0.0f, 2.9f, 1.5f, 0);
    MVE_StepPhysics(0.01f);
    EXPECT_EQ(MVE_GetObject(box)->iCallbackValue, 0);
    EXPECT_NE(LogText().find(MVE_FAIL_STEP_IN_CALLBACK), std::string::npos);
    MVE_SetObjectCallback(box, nullptr);
    MVE_MoveObject(third, 0.0f, 2.9f, 1.5f, 0);
    MVE_SetObjectCallback(third, FreeSelf);
    MVE_StepPhysics(0.01f);
    EXPECT_FALSE(MVE_IsObject(third));
    EXPECT_EQ(MVE_GetObjectCount(1), 0);
}

TEST_F(CollisionTest, DegenerateInputStaysFinite) {
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_CreateBoxBody(3, 2.0f, MVE_IGNORE_F, MVE_IGNORE_F, "");
    // Two static objects pushed into each other from the phase: neither moves, nothing divides by 0.
    MVE_OBJECT *s1 = MakeObject(6, 0.0f, 0.0f, 0.0f, 0.0f);
    MVE_OBJECT *s2 = MakeObject(6, 0.0f, 1.0f, 0.0f, 0.0f);
    P().iCollisionPhase = 1;
    EXPECT_EQ(MVE_CollidePair(s1, s2), 1);
    P().iCollisionPhase = 0;
    EXPECT_EQ(s1->v4fPosition.x, 0.0f);
    EXPECT_EQ(s2->v4fPosition.x, 1.0f);
    EXPECT_EQ(s2->v4fVelocity.x, 0.0f);
    // A box flattened to zero scale, and a sphere of radius 0: no NaN anywhere.
    MVE_OBJECT *flat = MakeObject(3, 1.0f, 0.0f, 0.0f, 0.0f);
    MVE_ScaleObject(Id(flat), 0.0f, 1.0f, 1.0f, 0);
    MVE_OBJECT *dot = MakeObject(6, 1.0f, 0.1f, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < 10; ++i) MVE_StepPhysics(0.01f);
    for (const MVE_OBJECT *o : {s1, s2, flat, dot}) EXPECT_TRUE(MVE_PhysicsStateFinite(o));
    // Unknown IDs: a red row and 0.
    OpenLog();
    EXPECT_EQ(MVE_CollideObjects(Id(s1), 0x7FFF1234), 0);
    EXPECT_NE(LogText().find("Fail: No object with this ID!"), std::string::npos);
}

namespace {

// The demonstration scene plus loose balls, bars, points and a mesh floor: every pair kind.
void BuildMixedScene() {
    mvesample::SceneOptions options;
    options.iExtraBalls = 150;
    mvesample::BuildScene(options);
    MVE_CreateBodyFromMesh(13, 11, MVE_SHAPE_MESH, 1.0f, "");
    const int floor = MVE_CreateObject(-1, 11, -1, "", 0, 1);
    MVE_ScaleObject(floor, 12.0f, 0.5f, 12.0f, 0);
    MVE_MoveObject(floor, 0.0f, 4.0f, -4.0f, 0);
    MVE_SetObjectBody(floor, 13, 1.0f);
    for (int i = 0; i < 6; ++i) {
        const int bar = MVE_CreateObject(-1, 11, -1, "", 0, 1);
        MVE_ScaleObject(bar, 1.0f, 0.1f, 0.1f, 0);
        MVE_RotateObject(bar, 30.0f * i, 45.0f + 10.0f * i, 20.0f, 0);
        MVE_MoveObject(bar, -2.0f + 0.8f * i, 11.0f + 0.3f * i, -4.0f + 0.2f * i, 0);
        MVE_SetObjectBody(bar, 12, 1.0f);
        MVE_SetObjectMass(bar, 1.0f);
        MVE_SetObjectFriction(bar, 0.0f);
        const int cube = MVE_CreateObject(-1, 11, -1, "", 0, 1);
        MVE_ScaleObject(cube, 0.4f, 0.4f, 0.4f, 0);
        MVE_MoveObject(cube, 3.0f - 0.7f * i, 10.0f + 0.5f * i, -4.5f, 0);
        MVE_SetObjectBody(cube, 13, 1.0f);
        MVE_SetObjectMass(cube, 0.5f);
        const int point = MVE_CreateObject(-1, 5, -1, "", 0, 1);
        MVE_MoveObject(point, 0.3f * i - 0.5f, 13.0f + i, -4.0f, 0);
        MVE_SetObjectBody(point, -1, 1.0f);
        MVE_SetObjectMass(point, 0.2f);
    }
    const int post = MVE_CreateObject(-1, 5, -1, "", 0, 1);  // a static sphere
    MVE_MoveObject(post, 4.0f, 6.0f, -4.0f, 0);
    MVE_SetObjectBody(post, 6, 1.0f);
}

std::vector<std::vector<unsigned char>> RunMixed(int broad, int passes, long long &tested, long long &contacts) {
    MVE_ResetEngine();
    BuildMixedScene();
    MVE_Engine().Physics.iBroadPhase = broad;
    tested = contacts = 0;
    for (int i = 0; i < passes; ++i) {
        MVE_StepPhysics(0.002f);
        tested += MVE_GetPhysicsCount(1);
        contacts += MVE_GetPhysicsCount(2);
    }
    std::vector<std::vector<unsigned char>> state;
    MVE_Engine().Registries.Objects.ForEach([&](MVE_OBJECT *o) { state.push_back(SimulatedBytes(o)); });
    return state;
}

}  // namespace

TEST_F(CollisionTest, BroadPhaseChangesNoResultBitForBit) {
    long long testedAll, contactsAll, testedBroad, contactsBroad;
    const auto reference = RunMixed(0, 1000, testedAll, contactsAll);
    const auto broad = RunMixed(1, 1000, testedBroad, contactsBroad);
    ASSERT_EQ(reference.size(), broad.size());
    size_t differing = 0;
    for (size_t i = 0; i < reference.size(); ++i) differing += reference[i] != broad[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(contactsAll, contactsBroad);
    EXPECT_GT(contactsAll, 3000);           // the scene really collides
    EXPECT_LT(testedBroad * 20, testedAll);  // and most pairs never reach a test
}
