#include "TestSupport.h"

using mvetest::EngineTest;
using RegistryTest = EngineTest;

namespace {
int CountOf(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}
}  // namespace

TEST_F(RegistryTest, StaticIdsReplaceSilentlyAndFreeEmptiesTheSlot) {
    OpenLog(4);
    int id = 5;
    MVE_TEXTURE *first = MVE_CreateTextureListEntry(&id, "");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(id, 5);
    int again = 5;
    MVE_TEXTURE *second = MVE_CreateTextureListEntry(&again, "");
    EXPECT_EQ(MVE_GetTexture(5), second);
    EXPECT_EQ(MVE_Engine().Registries.Textures.Count(), 1u);
    EXPECT_EQ(LogText().find("<tr>"), std::string::npos) << "static reuse writes no row";

    MVE_FreeTexture(5);
    EXPECT_EQ(MVE_GetTexture(5), nullptr);
    MVE_FreeTexture(5);  // unknown now: ignored
    MVE_FreeTexture(123456);
    int third = 5;
    EXPECT_NE(MVE_CreateTextureListEntry(&third, ""), nullptr);
}

TEST_F(RegistryTest, IdRangeAndForgedIds) {
    OpenLog(4);
    int ok = 65535;
    EXPECT_NE(MVE_CreateMeshListEntry(&ok, "m"), nullptr);
    int bad = 65536;
    EXPECT_EQ(MVE_CreateMeshListEntry(&bad, "n"), nullptr);
    EXPECT_EQ(bad, 65536) << "the ID variable is left unchanged";
    int negative = -2;
    EXPECT_EQ(MVE_CreateMeshListEntry(&negative, ""), nullptr);
    std::string t = LogText();
    EXPECT_EQ(CountOf(t, "<td>MVE_CreateMeshListEntry</td><td colspan=2><i style='color:#FF0000;'>Fail: This ID is not available!</i>"), 2);

    // Forged and out-of-range lookups are null, never a crash.
    for (int forged : {-1, -65535, 65536, 0x7FFF1234, 0x00010000, 0x12345678, static_cast<int>(0x80000000u), 70000, (2 << 20) | 7})
        EXPECT_EQ(MVE_GetMesh(forged), nullptr) << forged;
    EXPECT_EQ(MVE_GetMesh(65534), nullptr);
    EXPECT_EQ(MVE_GetMesh(200000000), nullptr);
}

TEST_F(RegistryTest, AutomaticIdsAreTaggedAndGoStaleAfterFree) {
    int a = MVE_ID_AUTO, b = MVE_ID_AUTO;
    MVE_OBJECT *ra = MVE_CreateObjectListEntry(&a, "");
    MVE_OBJECT *rb = MVE_CreateObjectListEntry(&b, "");
    ASSERT_TRUE(ra && rb);
    for (int id : {a, b}) {
        EXPECT_GE(id, 65536);
        EXPECT_NE(static_cast<uint32_t>(id) & 0xFFFF0000u, 0u);
        EXPECT_NE(id, -1);
        EXPECT_NE(id, MVE_IGNORE);
    }
    EXPECT_NE(a, b);
    EXPECT_EQ(MVE_GetObject(a), ra);
    EXPECT_EQ(ra->iID, a);
    MVE_FreeObject(a);
    EXPECT_EQ(MVE_GetObject(a), nullptr);
    // The slot is reused only after every other free slot, and then under a new generation.
    int c = MVE_ID_AUTO;
    MVE_CreateObjectListEntry(&c, "");
    EXPECT_NE(c, a);
    EXPECT_EQ(MVE_GetObject(a), nullptr);
    EXPECT_EQ(MVE_GetObject(b), rb);
    EXPECT_EQ(MVE_Engine().Registries.Objects.Count(), 2u);
}

TEST_F(RegistryTest, NameReuseReleasesTheFirstWithOneNotice) {
    OpenLog(4);
    int a = MVE_ID_AUTO, b = MVE_ID_AUTO;
    MVE_CreateTextureListEntry(&a, "Stone");
    MVE_TEXTURE *second = MVE_CreateTextureListEntry(&b, "Stone");
    EXPECT_EQ(MVE_GetTexture(a), nullptr);
    EXPECT_EQ(MVE_GetTexture(b), second);
    EXPECT_EQ(MVE_Engine().Registries.Textures.GetByName("Stone"), second);
    EXPECT_EQ(MVE_Engine().Registries.Textures.GetByName("stone"), nullptr) << "names are case-sensitive";
    std::string t = LogText();
    EXPECT_EQ(CountOf(t, "Loaded double: First Texture has been released!"), 1);
    EXPECT_NE(t.find("<td>MVE_CreateTextureListEntry</td><td colspan=2><i style='color:#0000FF;'>Loaded double"), std::string::npos);

    int n1 = 3, n2 = 4;
    MVE_CreateNodeListEntry(&n1, "N");
    MVE_CreateNodeListEntry(&n2, "N");
    EXPECT_EQ(MVE_GetNode(3), nullptr);
    EXPECT_NE(LogText().find("Info: The already existing Node has been replaced!"), std::string::npos);
}

TEST_F(RegistryTest, NameReleaseHappensBeforeTheIdCheck) {
    OpenLog(4);
    int a = 7;
    MVE_CreateMaterialListEntry(&a, "Red");
    int bad = 0x10000;
    EXPECT_EQ(MVE_CreateMaterialListEntry(&bad, "Red"), nullptr);
    EXPECT_EQ(MVE_GetMaterial(7), nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Materials.GetByName("Red"), nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Materials.Count(), 0u);
}

TEST_F(RegistryTest, StaticReplacementDropsTheOldName) {
    int a = 9;
    MVE_CreateBodyListEntry(&a, "Old");
    int b = 9;
    MVE_CreateBodyListEntry(&b, "New");
    EXPECT_EQ(MVE_Engine().Registries.Bodies.GetByName("Old"), nullptr);
    EXPECT_EQ(MVE_Engine().Registries.Bodies.GetByName("New"), MVE_GetBody(9));
}

TEST_F(RegistryTest, UnnamedKindsFailSilentlyAndIgnoreNames) {
    OpenLog(4);
    int bad = 0x20000;
    EXPECT_EQ(MVE_CreateSpriteListEntry(&bad, ""), nullptr);
    int a = MVE_ID_AUTO, b = MVE_ID_AUTO;
    MVE_CreateLightListEntry(&a, "L");
    MVE_CreateLightListEntry(&b, "L");
    EXPECT_NE(MVE_GetLight(a), nullptr) << "lights keep no names, so nothing is replaced";
    EXPECT_EQ(LogText().find("<tr>"), std::string::npos);
}

namespace {
MVE_Registry<MVE_SKELETON> *g_hooked = nullptr;
int g_calls = 0;
void ReenteringRelease(MVE_SKELETON *s) {
    ++g_calls;
    g_hooked->Free(s->iID);  // a release that leads back to its own entry
}
}  // namespace

TEST_F(RegistryTest, ReleaseHookMayReenterWithoutDoubleFree) {
    MVE_Registry<MVE_SKELETON> hooked(MVE_REGISTRY_KIND{"MVE_CreateSkeletonListEntry", "x", true}, ReenteringRelease);
    g_hooked = &hooked;
    g_calls = 0;
    int id = 4;
    hooked.Create(&id, "");
    hooked.Free(4);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(hooked.Count(), 0u);
    EXPECT_EQ(hooked.Get(4), nullptr);
}

TEST_F(RegistryTest, SkeletonBonesLookUpByName) {
    int id = MVE_ID_AUTO;
    MVE_SKELETON *s = MVE_CreateSkeletonListEntry(&id, "Rig");
    s->Bones["Hip"] = 3;
    EXPECT_EQ(MVE_GetSkeletonBone(s, "Hip"), 3);
    EXPECT_EQ(MVE_GetSkeletonBone(s, "Knee"), -1);
    EXPECT_EQ(MVE_GetSkeletonBone(nullptr, "Hip"), -1);
}

