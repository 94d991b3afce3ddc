// Creators hand out int handles that work everywhere an ID does, from C and from C++, and go stale
// when their entry is freed.
#include "TestSupport.h"
#include "Registry/Registry.h"

extern "C" int mve_c_handle_pattern(void);

using mvetest::EngineTest;
using HandleTest = EngineTest;

TEST_F(HandleTest, TheDemonstrationPatternWorksFromC) {
    OpenLog(4);
    EXPECT_EQ(mve_c_handle_pattern(), 0);
    // The pattern asks once for the position of a handle it knows went stale: that, and only that, is a red row.
    const std::string log = LogText();
    const size_t red = log.find("color:#FF0000");
    ASSERT_NE(red, std::string::npos) << log;
    EXPECT_NE(log.find("Fail: No object with this ID!", red), std::string::npos) << log;
    EXPECT_EQ(log.find("color:#FF0000", red + 1), std::string::npos) << log;
}

TEST_F(HandleTest, StaticEntriesHaveHandlesAndFailuresGiveZero) {
    OpenLog(4);
    // Static ID 0 is a real entry, so a creator cannot report it as its result: it returns the handle.
    const int mesh = MVE_CreateBoxMesh(0, 2.0f, 1.0f, 0, "");
    ASSERT_NE(mesh, 0);
    EXPECT_NE(static_cast<uint32_t>(mesh) & 0xFFFF0000u, 0u);
    const int body = MVE_CreateBoxBody(7, 1.0f, 3.0f, 0.5f, "");
    const int block = MVE_CreateObject(14, 0, -1, "", 0, 1);
    ASSERT_TRUE(body && block);
    EXPECT_EQ(MVE_GetObject(block), MVE_GetObject(14)) << "the handle and the static ID name one entry";

    MVE_SetObjectBody(block, 7, 1.0f);
    MVE_MoveObject(14, 0.0f, 8.0f, -4.0f, 0);  // by static ID
    MVE_MoveObject(block, 1.0f, 0.0f, 0.0f, 1);  // by handle, relative
    v4f p{};
    ASSERT_NE(MVE_GetObjectPosition(block, &p), nullptr);
    EXPECT_FLOAT_EQ(p.x, 1.0f);
    EXPECT_FLOAT_EQ(p.y, 8.0f);
    EXPECT_FLOAT_EQ(p.z, -4.0f);

    // Re-creating static 14 frees the first entry: its handle goes stale, the static ID follows the new one.
    const int again = MVE_CreateObject(14, mesh, -1, "", 0, 1);
    ASSERT_NE(again, 0);
    EXPECT_NE(again, block);
    EXPECT_EQ(MVE_IsObject(block), 0);
    EXPECT_EQ(MVE_MoveObject(block, 5.0f, 5.0f, 5.0f, 0), 0);
    EXPECT_EQ(MVE_IsObject(14), 1);

    // A stale or unknown ID changes nothing and says so in red, once per procedure and ID however
    // often a loop repeats the mistake.
    auto count = [&](const std::string &row) {
        size_t n = 0;
        for (size_t at = LogText().find(row); at != std::string::npos; at = LogText().find(row, at + 1)) ++n;
        return n;
    };
    const std::string stale = "Fail: No object with this ID! (" + std::to_string(block) + ")";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MVE_SetObjectMass(block, 2.0f), 0);
        EXPECT_EQ(MVE_GetObjectVelocity(block, &p), nullptr);
        EXPECT_EQ(MVE_SetObjectFriction(block, 0.5f), 0);
        EXPECT_EQ(MVE_SetJointDamping(4242, 1.0f), 0);
        EXPECT_EQ(MVE_ParticleEmitterFrequency(4242, 10.0f), 0);
    }
    EXPECT_EQ(count(stale), 4u) << "MoveObject, SetObjectMass, GetObjectVelocity, SetObjectFriction";
    EXPECT_EQ(count("Fail: No joint with this ID! (4242)"), 1u);
    EXPECT_EQ(count("Fail: No particle emitter with this ID! (4242)"), 1u);
    EXPECT_EQ(MVE_GetObjectPosition(14, &p), &p) << "the new entry under the static ID is untouched";

    // Every creator says 0 on failure, with a red row, and never hands out -1.
    EXPECT_EQ(MVE_CreateObject(-1, 999, -1, "", 0, 1), 0);
    EXPECT_EQ(MVE_CreateBodyFromMesh(-1, 999, MVE_SHAPE_MESH, 1.0f, ""), 0);
    EXPECT_EQ(MVE_LoadMesh(-1, "missing.mvm", "", 0), 0);
    EXPECT_EQ(MVE_CreateSphereBody(0x00120003, 1.0f, ""), 0);
    EXPECT_NE(LogText().find("Fail: Mesh not found!"), std::string::npos);
    const int joint = MVE_CreateJoint(-1, 0, 14, 0, 0, 0, 14, 1, 0, 0, 10.0f, 0.0f);
    EXPECT_NE(joint, -1);
}

// A registry holds 1,048,576 live entries; the next create is refused with its row, and a freed
// slot is handed out again under a new generation.
TEST_F(HandleTest, RegistryCapacityAndGenerations) {
    struct Tiny {
        int iID = 0;
        std::string sName;
    };
    MVE_Registry<Tiny> registry(MVE_REGISTRY_KIND{"MVE_CreateTinyListEntry", "notice", true}, nullptr);
    OpenLog(4);
    int first = 0, last = 0;
    for (uint32_t i = 0; i < MVE_HANDLE_SLOTS; ++i) {
        int id = -1;
        ASSERT_NE(registry.Create(&id, nullptr), nullptr) << i;
        if (i == 0) first = id;
        last = id;
    }
    EXPECT_EQ(MVE_HANDLE_SLOTS, 1048576u);
    EXPECT_GT(last, 0);
    int more = -1, handle = 123;
    EXPECT_EQ(registry.Create(&more, nullptr, &handle), nullptr);
    EXPECT_EQ(handle, 123);
    EXPECT_NE(LogText().find("Fail: No automatic ID is left!"), std::string::npos);

    registry.Free(first);
    EXPECT_EQ(registry.Get(first), nullptr);
    int reused = 5;  // a static entry takes the freed slot
    ASSERT_NE(registry.Create(&reused, nullptr, &handle), nullptr);
    EXPECT_EQ(reused, 5);
    EXPECT_NE(handle, first) << "same slot, new generation";
    EXPECT_EQ(static_cast<uint32_t>(handle) & (MVE_HANDLE_SLOTS - 1), static_cast<uint32_t>(first) & (MVE_HANDLE_SLOTS - 1));
    EXPECT_EQ(registry.Get(handle), registry.Get(5));
    EXPECT_EQ(registry.Get(first), nullptr);
}
