// Materials: every definition key and word table on one awkward file, materials made by code, the
// draw lists of the programs, copying (also onto the source's own ID) and what freeing undoes.
#include "GLFixture.h"
#include "Material/Material.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <cmath>

using namespace mvetest;

namespace {

class MaterialTest : public GLTest {
  protected:
    const MVE_MATERIAL *Named(const char *name) { return MVE_Engine().Registries.Materials.GetByName(name); }
    static bool Listed(const MVE_MATERIAL *material, int program) {
        const MVE_SHADER *shader = MVE_GetBuiltinShader(program);
        if (!shader) return false;
        return std::count(shader->Materials.begin(), shader->Materials.end(), material) == 1;
    }
    std::string Log() { return ReadFile("MVE LogFile.html"); }
};

void ExpectColor(const v4f &c, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(c.x, r);
    EXPECT_FLOAT_EQ(c.y, g);
    EXPECT_FLOAT_EQ(c.z, b);
    EXPECT_FLOAT_EQ(c.w, a);
}

}  // namespace

TEST_F(MaterialTest, DefinitionKeysAndWords) {
    std::string error;
    const uint8_t pixel[4] = {10, 20, 30, 255};
    std::filesystem::create_directories("Data");
    ASSERT_EQ(MVE_PlatformWritePNG("Data/stone.png", pixel, 1, 1, 4, error), 1) << error;
    WriteFile("Data/Scene.mvd",
              "Texture: Stone { File: stone.png }\n"
              "Material: Red { Color: 255, 0, 0 }\n"
              "Material: Lower { Shader: normalmap }\n"
              "Material: Additive { Shader: NORMALMAP; BlendingMode: ONE, ONE; Texture[0]: Stone; Refraction: 10 }\n"
              "Material: Single { BlendingMode: ONE; Wireframe: true; DepthMask: false; BackFaceCulling: 0 }\n"
              "Material: Odd { BlendingMode: ONE, SIDEWAYS; Shine: 2.5; ShineColor: 0, 0, 255; Hardness: 7 }\n"
              "Material: Soft { Shader: SOFTPARTICLE; Hardness: 7 }\n"
              "Material: SoftBlend { Shader: SOFTPARTICLE; Blend: 40 }\n"
              "Material: Early { Texture[1]: Later; Texture[2]: Stone }\n"
              "Material: Inline { Shader: TEXTURED; Texture[3]: { File: stone.png; Filter: LINEAR } }\n"
              "Material: Glass { Shader: REFRACTION; Color: 0.5, 1.0, 0, 0.25 }\n"
              "Material: Typed { Shine: lots; Color: blue; Reflection: 0.5; SurfaceScattering: 0.25 }\n"
              "Material: Huge { DepthMask: 4294967296; Wireframe: 4294967297; BackFaceCulling: -4294967296 }\n"
              "Texture: Later { File: stone.png }\n");
    MVE_ParseDefinitionFiles("Data/Scene.mvd", MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    const MVE_TEXTURE *stone = MVE_Engine().Registries.Textures.GetByName("Stone");
    ASSERT_NE(stone, nullptr);
    const MVE_TEXTURE *sky = MVE_GetTexture(MVE_Engine().Builtin.iDefaultCubeMap);

    const MVE_MATERIAL *red = Named("Red");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->iProgram, 1);
    EXPECT_EQ(red->Shader, MVE_GetBuiltinShader(1));
    ExpectColor(red->v4fColor, 1, 0, 0, 1);
    EXPECT_EQ(red->iBlendSource, GL_SRC_ALPHA);
    EXPECT_EQ(red->iBlendDestination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(red->iDepthMask, 1);
    EXPECT_EQ(red->iBackFaceCulling, 1);
    EXPECT_EQ(red->iWireframe, 0);
    EXPECT_FLOAT_EQ(red->fShine, 1.0f);
    EXPECT_FLOAT_EQ(red->fHardness, 1.0f);
    EXPECT_FLOAT_EQ(red->fRefraction, 0.05f);
    EXPECT_EQ(red->ReflectionMap, sky);
    EXPECT_EQ(red->Texture[0], nullptr);

    EXPECT_EQ(Named("Lower")->iProgram, 1);  // words are matched exactly
    const MVE_MATERIAL *additive = Named("Additive");
    EXPECT_EQ(additive->iProgram, 5);
    EXPECT_EQ(additive->iBlendSource, GL_ONE);
    EXPECT_EQ(additive->iBlendDestination, GL_ONE);
    EXPECT_EQ(additive->Texture[0], stone);
    EXPECT_FLOAT_EQ(additive->fRefraction, 0.1f);

    const MVE_MATERIAL *single = Named("Single");
    EXPECT_EQ(single->iBlendSource, GL_SRC_ALPHA);  // one word is no list: both factors default
    EXPECT_EQ(single->iBlendDestination, GL_SRC_ALPHA);
    EXPECT_EQ(single->iWireframe, 1);
    EXPECT_EQ(single->iDepthMask, 0);
    EXPECT_EQ(single->iBackFaceCulling, 0);

    const MVE_MATERIAL *odd = Named("Odd");
    EXPECT_EQ(odd->iBlendSource, GL_ONE);
    EXPECT_EQ(odd->iBlendDestination, GL_ZERO);     // unknown word: the field stays 0
    EXPECT_FLOAT_EQ(odd->fShine, 2.5f);
    ExpectColor(odd->v4fShineColor, 0, 0, 1, 1);
    EXPECT_FLOAT_EQ(odd->fHardness, 7.0f);

    EXPECT_FLOAT_EQ(Named("Soft")->fHardness, 300.0f);  // soft particles read Blend, not Hardness
    EXPECT_FLOAT_EQ(Named("SoftBlend")->fHardness, 40.0f);
    EXPECT_EQ(Named("Soft")->iProgram, 20);

    const MVE_MATERIAL *early = Named("Early");
    EXPECT_EQ(early->Texture[1], nullptr);              // defined later in the file
    EXPECT_EQ(early->Texture[2], stone);
    EXPECT_NE(Log().find("Texture[1] not found: Later"), std::string::npos);

    const MVE_MATERIAL *inlined = Named("Inline");
    ASSERT_NE(inlined->Texture[3], nullptr);
    EXPECT_NE(inlined->Texture[3], stone);
    EXPECT_EQ(inlined->Texture[3]->iWidth, 1);
    EXPECT_EQ(inlined->iProgram, 4);

    // "REFRACTION" names slot 14, which has no program: drawn with the masked refraction program.
    const MVE_MATERIAL *glass = Named("Glass");
    EXPECT_EQ(glass->iProgram, 15);
    EXPECT_EQ(glass->Shader, MVE_GetBuiltinShader(15));
    ExpectColor(glass->v4fColor, 0.5f, 1.0f, 0.0f, 0.25f);

    // Switches beyond 32 bits are refused, each with its row, and keep their defaults (wrapped, they
    // would have read 0, 1 and 0).
    const MVE_MATERIAL *huge = Named("Huge");
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(huge->iDepthMask, 1);
    EXPECT_EQ(huge->iWireframe, 0);
    EXPECT_EQ(huge->iBackFaceCulling, 1);
    EXPECT_NE(Log().find("Fail: DepthMask does not fit in 32 bits: 4294967296!"), std::string::npos);
    EXPECT_NE(Log().find("Fail: Wireframe does not fit in 32 bits: 4294967297!"), std::string::npos);
    EXPECT_NE(Log().find("Fail: BackFaceCulling does not fit in 32 bits: -4294967296!"), std::string::npos);

    const MVE_MATERIAL *typed = Named("Typed");  // words where numbers belong read as 0
    EXPECT_FLOAT_EQ(typed->fShine, 0.0f);
    ExpectColor(typed->v4fColor, 0, 0, 0, 1);
    EXPECT_FLOAT_EQ(typed->fReflection, 0.5f);
    EXPECT_FLOAT_EQ(typed->fSurfaceScattering, 0.25f);

    EXPECT_EQ(MVE_LoadMaterialDefinition(MVE_ID_AUTO, MVE_Engine().Definition.pLastRoot, "Nowhere"), 0);
    EXPECT_NE(Log().find(MVE_FAIL_MATERIAL_NODE), std::string::npos);
}

TEST_F(MaterialTest, DrawListsHoldEachMaterialOnce) {
    const MVE_SHADER *textures = MVE_GetBuiltinShader(4);
    if (!textures) GTEST_SKIP() << "program 4 is not built";
    const size_t before = textures->Materials.size();
    const int a = MVE_CreateMaterial(MVE_ID_AUTO, -1, 4, "A");
    const int b = MVE_CreateMaterial(12, MVE_IGNORE, 4, "B");
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    ASSERT_EQ(textures->Materials.size(), before + 2);
    EXPECT_EQ(textures->Materials[before], MVE_GetMaterial(a));
    MVE_EnterMaterialForDrawing(MVE_GetMaterial(a));  // already there: nothing changes
    EXPECT_EQ(textures->Materials.size(), before + 2);

    const MVE_BUILTIN_RESOURCES &builtin = MVE_Engine().Builtin;
    for (int i = 0; i < 3; i++) EXPECT_EQ(MVE_GetMaterial(a)->Texture[i], MVE_GetTexture(builtin.iDefaultTexture[i]));
    EXPECT_EQ(MVE_GetMaterial(b)->Texture[0], nullptr);

    // Programs in no render group keep no list; slot 14 draws in 15's list.
    EXPECT_FALSE(Listed(MVE_GetMaterial(builtin.iParticleMaterial), 19));
    const int glass = MVE_CreateMaterial(MVE_ID_AUTO, -1, 14, "");
    EXPECT_TRUE(Listed(MVE_GetMaterial(glass), 15));
    EXPECT_NE(MVE_CreateMaterial(MVE_ID_AUTO, -1, 99, ""), 0);  // no such program: made, drawn nowhere

    // Replacing B under its static ID takes the old record out of the list.
    const MVE_MATERIAL *oldB = MVE_GetMaterial(12);
    MVE_CreateMaterial(12, MVE_IGNORE, 3, "B2");
    EXPECT_EQ(std::count(textures->Materials.begin(), textures->Materials.end(), oldB), 0);
    MVE_FreeMaterial(a);
    EXPECT_EQ(textures->Materials.size(), before);
}

TEST_F(MaterialTest, CopiesKeepEveryFieldAndNeverLoseTheSource) {
    const int source = MVE_CreateMaterial(5, -1, 8, "Source");
    MVE_MATERIAL *s = MVE_GetMaterial(source);
    s->v4fColor = {0.25f, 0.5f, 0.75f, 1.0f};
    s->fHardness = 9.0f;
    s->iBlendSource = GL_ONE;
    s->iWireframe = 1;

    const int copy = MVE_CopyMaterial(MVE_ID_AUTO, 5, "Copy");
    ASSERT_NE(copy, 0);
    const MVE_MATERIAL *c = MVE_GetMaterial(copy);
    EXPECT_NE(c, s);
    EXPECT_EQ(c->sName, "Copy");
    EXPECT_NE(c->iID, 5);
    ExpectColor(c->v4fColor, 0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_FLOAT_EQ(c->fHardness, 9.0f);
    EXPECT_EQ(c->iBlendSource, GL_ONE);
    EXPECT_EQ(c->iWireframe, 1);
    EXPECT_EQ(c->Texture[1], s->Texture[1]);
    EXPECT_EQ(c->iProgram, 8);
    if (MVE_GetBuiltinShader(8)) {
        EXPECT_TRUE(Listed(c, 8));
        EXPECT_TRUE(Listed(s, 8));
    }

    // Copying onto the source's own ID and name replaces it by an equal material.
    const int same = MVE_CopyMaterial(5, source, "Source");
    ASSERT_NE(same, 0);
    const MVE_MATERIAL *again = MVE_GetMaterial(5);
    ASSERT_NE(again, nullptr);
    EXPECT_FLOAT_EQ(again->fHardness, 9.0f);
    EXPECT_EQ(again->sName, "Source");
    if (MVE_GetBuiltinShader(8)) EXPECT_TRUE(Listed(again, 8));

    // A missing source registers nothing and keeps what holds the wanted ID.
    const int keep = MVE_CreateMaterial(6, MVE_IGNORE, 1, "Keep");
    EXPECT_EQ(MVE_CopyMaterial(6, 4242, "Keep"), 0);
    EXPECT_EQ(MVE_GetMaterial(6), MVE_GetMaterial(keep));
    EXPECT_NE(Log().find(MVE_FAIL_MATERIAL_NOT_FOUND), std::string::npos);
}

// Blended forward materials of one program are drawn in the order they were made, whatever order
// their objects came in: half-transparent red and blue quads lie on the same spot over an opaque
// grey one, and the blue, made last, ends on top although the red one got its object last. A
// material made while its program was in no render group is drawn once the program joins one.
TEST_F(MaterialTest, BlendedMaterialsDrawInTheOrderTheyWereMade) {
    const int plane = MVE_CreatePlaneMesh(MVE_ID_AUTO, 1.0f, 1.0f, "");
    ASSERT_NE(plane, 0);
    MVE_FinishMesh(plane);
    MVE_SetBackgroundColor(0xFF000000);
    MVE_SetGlow(0);
    MVE_MoveCamera(0, 4, 0, 0);
    MVE_RotateCamera(-90, 0, 0, 0);
    auto flat = [](float r, float g, float b, float a) {
        const int material = MVE_CreateMaterial(MVE_ID_AUTO, 0, MVE_PROGRAM_DRAW_MESH, "");
        MVE_GetMaterial(material)->v4fColor = {r, g, b, a};
        return material;
    };
    auto place = [&](int material, float y) {
        const int object = MVE_CreateObject(MVE_ID_AUTO, plane, material, "", 0, 1);
        MVE_MoveObject(object, 0, y, 0, 0);
        MVE_ScaleObject(object, 4, 1, 4, 0);
        return object;
    };
    const float grey = 0.4f;
    const int ground = flat(grey, grey, grey, 1), red = flat(1, 0, 0, 0.5f), blue = flat(0, 0, 1, 0.5f);
    place(ground, 0.0f);
    place(blue, 0.5f);
    place(red, 0.5f);
    MVE_RenderWorld(-1);
    // Each step: colour x 0.5 + what lies below x 0.5.
    const float under[3] = {0.5f + 0.5f * grey, 0.5f * grey, 0.5f * grey};  // red over grey
    const float top[3] = {0.5f * under[0], 0.5f * under[1], 0.5f + 0.5f * under[2]};
    auto expectCentre = [&](const float rgb[3]) {
        const uint32_t p = PixelAt(width_ / 2, height_ / 2);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(static_cast<int>((p >> (8 * k)) & 0xFF), std::lround(rgb[k] * 255.0f), 2) << k;
    };
    expectCentre(top);

    const int program = MVE_GetBuiltinShaderHandle(MVE_PROGRAM_DRAW_MESH);
    ASSERT_NE(program, 0);
    MVE_AddShaderToRenderGroup(-1, program);
    const int green = flat(0, 1, 0, 0.5f);
    const int greenQuad = place(green, 0.5f);
    MVE_AddShaderToRenderGroup(1, program);
    MVE_RenderWorld(-1);
    const float greenTop[3] = {0.5f * top[0], 0.5f + 0.5f * top[1], 0.5f * top[2]};
    expectCentre(greenTop);

    // A material sent to another program and back joins the list where its age puts it, not at the
    // end: the red one, older than the blue one, ends under it again.
    MVE_SetObjectVisible(greenQuad, 0);
    ASSERT_EQ(MVE_SetMaterialShader(red, MVE_PROGRAM_DRAW_MESH + 1), 1);
    ASSERT_EQ(MVE_SetMaterialShader(red, MVE_PROGRAM_DRAW_MESH), 1);
    MVE_RenderWorld(-1);
    expectCentre(top);
}
