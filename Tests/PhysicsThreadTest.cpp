// The physics thread: its rate measurement, refusing the deterministic step while it runs, and the
// main thread creating, moving and freeing objects and joints while it simulates (also run under
// ThreadSanitizer with -DMVE_TSAN=ON).
#include "PhysicsSupport.h"
#include "Core/Startup.h"
#include "Scene.h"
#include <chrono>
#include <thread>

namespace {

using namespace mvetest;
using Clock = std::chrono::steady_clock;
class PhysicsThreadTest : public PhysicsFixture {
  protected:
    void TearDown() override {
        MVE_StopPhysicsThread();
        PhysicsFixture::TearDown();
    }
};

int g_contacts = 0;  // written by the physics thread only
// Callbacks may look objects up while the main thread creates and frees others.
int CountContact(int own, int other) {
    v4f p;
    if (MVE_IsObject(other) && MVE_GetObjectPosition(own, &p) && !std::isfinite(p.y)) return -1;
    return ++g_contacts;
}

}  // namespace

TEST_F(PhysicsThreadTest, RateStartsAtZeroAndTheStepWaitsForNoThread) {
    MVE_SetPhysicsThread(0);
    MVE_StartupPhysics();
    EXPECT_FALSE(MVE_Engine().Physics.Thread.joinable());  // kept off for tools and tests
    EXPECT_NE(MVE_Engine().Physics.pPointBody, nullptr);
    EXPECT_NE(MVE_Engine().Physics.pDisplayNode, nullptr);
    EXPECT_FLOAT_EQ(MVE_Engine().Physics.pDisplayNode->v4fHalfSize.x, 20.0f);
    MVE_ShutdownPhysics();

    OpenLog();
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    MVE_OBJECT *ball = MakeObject(-1, 1.0f, 0.0f, 0.0f, 0.0f);
    const auto start = Clock::now();
    MVE_StartPhysicsThread();
    const float early = MVE_GetPhysicsRate();
    if (Clock::now() - start < std::chrono::milliseconds(400)) {
        EXPECT_EQ(early, 0.0f);
    }
    EXPECT_EQ(MVE_StepPhysics(0.01f), 0);
    EXPECT_NE(LogText().find(MVE_FAIL_STEP_WHILE_RUNNING), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_GT(MVE_GetPhysicsRate(), 0.0f);
    EXPECT_GT(MVE_GetPhysicsProfile(3, 1), 0.0f);
    MVE_ShutdownPhysics();
    EXPECT_FALSE(MVE_Engine().Physics.Thread.joinable());
    // It fell for about as long as the thread ran, on the real clock.
    v4f p;
    MVE_GetObjectPosition(IdOf(ball), &p);
    EXPECT_LT(p.y, -1.0f);
    EXPECT_EQ(MVE_StepPhysics(0.01f), 1);
}

TEST_F(PhysicsThreadTest, MainThreadChangesTheSceneWhileItRuns) {
    mvesample::SceneOptions options;
    options.iExtraBalls = 60;
    const mvesample::Scene scene = mvesample::BuildScene(options);
    MVE_CreateBodyFromMesh(13, 11, MVE_SHAPE_MESH, 1.0f, "");
    MVE_SetObjectCallback(scene.iBlock, CountContact);
    MVE_StartPhysicsThread();

    std::vector<int> mine, joints;
    unsigned seed = 12345;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
    };
    const int bodies[] = {-1, 6, 12, 13};
    const auto end = Clock::now() + std::chrono::seconds(3);
    int rounds = 0;
    while (Clock::now() < end) {
        ++rounds;
        const int object = MVE_CreateObject(-1, next(2) ? 5 : 11, -1, "", 0, 1);
        MVE_ScaleObject(object, 0.5f, 0.5f, 0.5f, 0);
        MVE_MoveObject(object, next(8) - 4.0f, 10.0f + next(6), -4.0f, 0);
        MVE_SetObjectBody(object, bodies[next(4)], 1.0f);
        MVE_SetObjectMass(object, next(5) ? 1.0f : 0.0f);
        MVE_SetObjectVelocity(object, nullptr, 0.0f, -1.0f, 0.0f, 0);
        mine.push_back(object);
        if (mine.size() > 2) {
            const int a = mine[next(static_cast<int>(mine.size()))], b = scene.Chain[next(34)];
            const int joint = MVE_CreateJoint(-1, 0, a, 0, 0, 0, b, 0, 0, 0, 100.0f * next(2), 0.0f);
            MVE_SetJointDamping(joint, 1.0f);
            joints.push_back(joint);
        }
        const int some = mine[next(static_cast<int>(mine.size()))];
        MVE_RotateObject(some, 10.0f, 0.0f, 5.0f, 1);
        MVE_MoveObject(some, 0.0f, 0.1f, 0.0f, 1);
        v4f v;
        MVE_GetObjectVelocity(some, &v);
        MVE_GetEnergy(15);
        MVE_GetPhysicsProfile(1, 0);
        MVE_GetPhysicsCount(1);
        if (mine.size() > 40) {  // free a joint and an object (with the joints on it)
            const size_t j = static_cast<size_t>(next(static_cast<int>(joints.size())));
            MVE_FreeJoint(joints[j]);
            joints.erase(joints.begin() + static_cast<std::ptrdiff_t>(j));
            const size_t k = static_cast<size_t>(next(static_cast<int>(mine.size())));
            MVE_FreeObject(mine[k]);
            mine.erase(mine.begin() + static_cast<std::ptrdiff_t>(k));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    MVE_StopPhysicsThread();
    EXPECT_GT(rounds, 100);
    const MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    EXPECT_GT(p.Profile.uPasses, 100u);
    EXPECT_EQ(static_cast<int>(p.Dynamic.size() + p.Static.size()), MVE_GetObjectCount(0));
    for (const MVE_JOINT *j : p.Joints) EXPECT_TRUE(j->ObjectA && j->ObjectB);
    MVE_Engine().Registries.Objects.ForEach([](MVE_OBJECT *o) { EXPECT_TRUE(MVE_PhysicsStateFinite(o)); });
    EXPECT_GT(g_contacts, 0);  // the chain reached the block
    EXPECT_EQ(MVE_GetObject(scene.iBlock)->iCallbackValue, g_contacts);
}
