// Live reload around a running scene: meshes and bodies edited under falling objects while the
// physics thread simulates (also run under ThreadSanitizer), the switch on the command line and
// beside a recorded session, and the wait for a save to settle, event by event on a test clock.
#include "GLFixture.h"
#include "Reload/Reload.h"
#include <chrono>
#include <cmath>
#include <thread>

using namespace mvetest;

namespace {

uint64_t g_now = 1000;
uint64_t TestClock() { return g_now; }

// A square of half size `half` at height `y`, as a ".mvm" file (two triangles facing up).
std::string PlaneMesh(float half, float y) {
    auto v = [&](float x, float z) { return std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(z) + "\n"; };
    return "Mesh: Ground {\n Vertices: 6 {\n" + v(-half, -half) + v(-half, half) + v(half, half) + v(half, half) +
           v(half, -half) + v(-half, -half) + " }\n Normals: 6 {\n"
           "0,1,0\n0,1,0\n0,1,0\n0,1,0\n0,1,0\n0,1,0\n }\n TextureCoords: 6 {\n0,0\n0,1\n1,1\n1,1\n1,0\n0,0\n }\n"
           " Faces: 2 {\n0,1,2\n3,4,5\n }\n}\n";
}

// A box of half size `half` as a ".mvb" polyhedron.
std::string BoxBody(float half) {
    std::string v;
    for (int i = 0; i < 8; ++i)
        v += std::to_string(i & 1 ? half : -half) + ", " + std::to_string(i & 2 ? half : -half) + ", " +
             std::to_string(i & 4 ? half : -half) + "\n";
    return "Body: Crate {\n Vertices: 8 {\n" + v +
           " }\n Faces: 12 {\n0,2,1\n1,2,3\n4,5,6\n5,7,6\n0,1,4\n1,5,4\n2,6,3\n3,6,7\n0,4,2\n2,4,6\n1,3,5\n3,7,5\n }\n}\n";
}

class ReloadThreadTest : public GLTest {
  protected:
    void SetUp() override {
        g_now = 1000;
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        MVE_Engine().Reload.pfnClock = TestClock;
        ASSERT_EQ(MVE_EnableLiveReload(1), 1);
    }
    int Settle() {
        const int before = MVE_GetReloadCount();
        for (uint64_t step : {0, 100, 1000}) {
            g_now += step;
            MVE_ApplyLiveReload();
        }
        return MVE_GetReloadCount() - before;
    }
};

}  // namespace

// Balls fall onto ground whose mesh file is saved again and again while the physics thread runs;
// a crate's body file is saved under it. Nothing is lost, every object keeps simulating, the
// ground's derived body and the crate's inertia follow each save, and broken saves change nothing.
TEST_F(ReloadThreadTest, MeshAndBodyFilesEditedUnderFallingObjects) {
    WriteFile("Ground.mvm", PlaneMesh(5.0f, 0.0f));
    WriteFile("Crate.mvb", BoxBody(0.5f));
    const int mesh = MVE_LoadMesh(-1, "Ground.mvm", "", 0);
    const int crateBody = MVE_LoadBody(-1, "Crate.mvb", "");
    ASSERT_TRUE(mesh && crateBody);
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    const int ground = MVE_CreateObject(-1, mesh, -1, "", 0, 1);
    ASSERT_EQ(MVE_SetObjectBody(ground, MVE_SHAPE_MESH, 1.0f), 1);
    std::vector<int> balls;
    const int sphere = MVE_CreateSphereBody(-1, 0.5f, "");
    for (int i = 0; i < 12; ++i) {
        const int ball = MVE_CreateObject(-1, mesh, -1, "", 0, 1);
        MVE_MoveObject(ball, -2.0f + float(i % 4), 1.0f + float(i / 4), 0.0f, 0);
        MVE_SetObjectBody(ball, sphere, 1.0f);
        MVE_SetObjectMass(ball, 1.0f);
        balls.push_back(ball);
    }
    const int crate = MVE_CreateObject(-1, mesh, -1, "", 0, 1);
    MVE_MoveObject(crate, 0.0f, 4.0f, 2.0f, 0);
    ASSERT_EQ(MVE_SetObjectBody(crate, crateBody, 1.0f), 1);
    MVE_SetObjectMass(crate, 6.0f);
    MVE_OBJECT *crateObject = ObjectOf(crate);
    EXPECT_NEAR(crateObject->m4fInertia.m[0], 6.0f / 3.0f * 0.5f, 1e-5f);   // m/3 (hy^2 + hz^2)

    for (int save = 1; save <= 6; ++save) {
        WriteFile("Ground.mvm", save == 3 ? std::string("Mesh: Ground { Faces: 1 { 0,1,7 } }\n")   // broken
                                          : PlaneMesh(5.0f + float(save), 0.0f));
        WriteFile("Crate.mvb", save == 4 ? std::string("Body: Crate { Vertices: 1 { 0,0,0 } Faces: 1 { 0,0,9 } }\n")
                                         : BoxBody(0.5f + 0.1f * float(save)));
        EXPECT_EQ(Settle(), save == 3 || save == 4 ? 1 : 2) << save;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    // The last good saves: ground half size 11, crate half size 1.1.
    const MVE_BODY *derived = ObjectOf(ground)->pBody;
    ASSERT_NE(derived, nullptr);
    ASSERT_NE(derived->Node, nullptr);
    EXPECT_NEAR(derived->Node->v4fHalfSize.x, 11.0f, 1e-4f);
    EXPECT_EQ(crateObject->pBody, BodyOf(crateBody));
    EXPECT_NEAR(BodyOf(crateBody)->Node->v4fHalfSize.x, 1.1f, 1e-5f);
    EXPECT_NEAR(crateObject->m4fInertia.m[0], 6.0f / 3.0f * 2.0f * 1.1f * 1.1f, 1e-4f);
    EXPECT_EQ(crateObject->fMass, 6.0f);
    EXPECT_EQ(MVE_GetMesh(mesh)->iIndices, 6);

    std::this_thread::sleep_for(std::chrono::milliseconds(900));   // every ball has landed
    for (int ball : balls) {
        ASSERT_EQ(MVE_IsObject(ball), 1);
        v4f p;
        ASSERT_NE(MVE_GetObjectPosition(ball, &p), nullptr);
        EXPECT_TRUE(std::isfinite(p.y));
        EXPECT_GT(p.y, 0.0f) << "a ball fell through the reloaded ground";
        EXPECT_LT(p.y, 1.5f);   // three balls stacked in each column
    }
    EXPECT_EQ(MVE_IsObject(crate), 1);
}

namespace {

class ReloadSessionTest : public EngineTest {
  protected:
    bool Open(std::vector<std::string> args) {
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        MVE_HandleCommandLine(int(argv.size()), argv.data());
        if (MVE_OpenWindow(0, 64, 48, "Morvek Engine - Test", MVE_WINDOW_HIDDEN) != 1) return false;
        return MVE_OpenScreen(0, 0, 0, 64, 48, 32) != 0;
    }
    void Close() {
        MVE_Quit();
        MVE_CloseWindow(0);
    }
};

}  // namespace

// The switch on the command line, alone and beside a recorded session (where it stays off and says
// why in one blue row, whatever the order of the switches).
TEST_F(ReloadSessionTest, CommandLineSwitchAndRecordedSessions) {
    ASSERT_TRUE(Open({"prog", "--live-reload"}));
    EXPECT_EQ(MVE_IsLiveReloadEnabled(), 1);
    EXPECT_NE(MVE_Engine().Reload.pWatcher, nullptr);
    Close();
    EXPECT_EQ(MVE_Engine().Reload.pWatcher, nullptr);

    for (const auto &args : {std::vector<std::string>{"prog", "--live-reload", "--record", "a.mvr"},
                             std::vector<std::string>{"prog", "--record=a.mvr", "--live-reload"}}) {
        MVE_ResetEngine();
        ASSERT_TRUE(Open(args));
        EXPECT_EQ(MVE_IsRecording(), 1);
        EXPECT_EQ(MVE_IsLiveReloadEnabled(), 0);
        EXPECT_EQ(MVE_Engine().Reload.pWatcher, nullptr);
        EXPECT_EQ(MVE_EnableLiveReload(1), 0);   // nor later, while it records
        Close();
        const std::string log = ReadFile("MVE LogFile.html");
        size_t rows = 0;
        for (size_t at = log.find("Live reload stays off while a session"); at != std::string::npos;
             at = log.find("Live reload stays off while a session", at + 1))
            ++rows;
        EXPECT_EQ(rows, 2u);   // start-up, and the refused call
    }
    char *bad[] = {const_cast<char *>("prog"), const_cast<char *>("--live-reload=1")};
    EXPECT_EQ(MVE_HandleCommandLine(2, bad), 0);
}

// The wait for a save to be complete, event by event: 100 ms of quiet after the last event, longer
// while a writer holds the file open (up to a second), and what was seen handed on once.
TEST(ReloadSettle, QuietWriterAndReplacement) {
    MVE_RELOAD_SETTLE settle;
    std::vector<std::pair<std::string, uint32_t>> due;
    auto dueAt = [&](uint64_t now) {
        due.clear();
        settle.Due(now, due);
        return due.size();
    };
    // Written and closed at 0; another write and close at 60: due 100 ms after the last one only.
    settle.Note("a", MVE_WATCH_WRITTEN, 0);
    settle.Note("a", MVE_WATCH_CLOSED, 0);
    settle.Note("a", MVE_WATCH_WRITTEN | MVE_WATCH_CLOSED, 60);
    EXPECT_EQ(dueAt(159), 0u);
    EXPECT_EQ(dueAt(160), 1u);
    EXPECT_EQ(due[0].second, MVE_WATCH_WRITTEN | MVE_WATCH_CLOSED);
    EXPECT_EQ(dueAt(500), 0u);   // handed on once

    // Created and written, not closed: the writer may go on, so it waits for the close...
    settle.Note("b", MVE_WATCH_CREATED, 1000);
    settle.Note("b", MVE_WATCH_WRITTEN, 1010);
    EXPECT_EQ(dueAt(1500), 0u);
    settle.Note("b", MVE_WATCH_CLOSED, 1600);
    EXPECT_EQ(dueAt(1699), 0u);
    EXPECT_EQ(dueAt(1700), 1u);
    // ...or a second of quiet, for a writer that never closes.
    settle.Note("c", MVE_WATCH_WRITTEN, 2000);
    EXPECT_EQ(dueAt(2999), 0u);
    EXPECT_EQ(dueAt(3000), 1u);

    // A temporary file renamed over the name: complete at once, even after writes to the old file
    // that were never closed; a deletion alone also settles (the file is gone, not being written).
    settle.Note("d", MVE_WATCH_WRITTEN, 4000);
    settle.Note("d", MVE_WATCH_REPLACED, 4010);
    settle.Note("e", MVE_WATCH_REMOVED, 4010);
    EXPECT_EQ(dueAt(4109), 0u);
    EXPECT_EQ(dueAt(4110), 2u);
    // A clock that went back never makes a file due early.
    settle.Note("f", MVE_WATCH_CLOSED, 5000);
    EXPECT_EQ(dueAt(4000), 0u);
    EXPECT_EQ(dueAt(5100), 1u);
}
