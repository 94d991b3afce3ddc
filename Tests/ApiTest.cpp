// The procedures a program reaches for, checked through what the program sees: frames read back
// into memory and compared with the shading formulas, values read back, sounds heard in the mix;
// bad arguments that leave a red row and change nothing. Also the scene a C program builds on
// nothing but MVE.h.
#include "GLFixture.h"
#include "PhysicsSupport.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include "Texture/TextureBuiltin.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <chrono>
#include <cstring>
#include <thread>

extern "C" int mve_c_scene_from_pixels(void);

namespace mvetest {
namespace {

constexpr int kNearest = 0x2600;
constexpr float kHalfView = 0.41421356f;  // tan(22.5 degrees): the default field of view is 45

class Api : public GLTest {
  protected:
    Api() {
        width_ = 64;
        height_ = 48;
    }
    void SetUp() override {
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        MVE_SetGlow(0);
        MVE_SetBackgroundColor(0xFF000000u);
    }
    // The frame drawn so far, read as a program reads it.
    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> frame(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
        EXPECT_EQ(MVE_ReadFramePixels(0, 0, width_, height_, frame.data()), 1);
        return frame;
    }
    std::array<int, 4> At(const std::vector<uint8_t> &frame, int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4;
        return {frame[i], frame[i + 1], frame[i + 2], frame[i + 3]};
    }
    bool Logged(const std::string &text) { return ReadFile("MVE LogFile.html").find(text) != std::string::npos; }
    // A sprite showing a texture through a sprite material of the given colour.
    int SpriteOf(int texture, float w, float h, uint32_t color = 0xFFFFFFFFu) {
        const int material = MVE_CreateMaterial(MVE_ID_AUTO, texture, 24, "");
        EXPECT_EQ(MVE_SetMaterialColor(material, color), 1);
        return MVE_CreateSprite(MVE_ID_AUTO, material, w, h);
    }
    // The camera at height h straight above the origin, -z at the top of the view.
    void LookDown(float h) {
        height_above_ = h;
        MVE_MoveCamera(0.0f, h, 0.0f, 0);
        ASSERT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 1);
    }
    // Cosine of the angle between the view axis and the ray through the centre of pixel (x, y).
    float RayCosine(int x, int y) const {
        const float aspect = static_cast<float>(width_) / static_cast<float>(height_);
        const float nx = (2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(width_) - 1.0f) * kHalfView * aspect;
        const float ny = (1.0f - 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(height_)) * kHalfView;
        return 1.0f / std::sqrt(1.0f + nx * nx + ny * ny);
    }
    // A 1 x 1 white texture made from pixels.
    int White() {
        static const uint8_t white[4] = {255, 255, 255, 255};
        return MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_RGBA8, white, kNearest, 0, "");
    }
    static int Byte(float v) { return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }
    float height_above_ = 0.0f;
};

#define EXPECT_RGB(frame, x, y, r, g, b, tol)                                                    \
    do {                                                                                         \
        const auto p_ = At(frame, x, y);                                                         \
        EXPECT_NEAR(p_[0], r, tol) << "red of pixel " << (x) << "," << (y);                     \
        EXPECT_NEAR(p_[1], g, tol) << "green of pixel " << (x) << "," << (y);                   \
        EXPECT_NEAR(p_[2], b, tol) << "blue of pixel " << (x) << "," << (y);                    \
    } while (0)

// Hamilton product and the rotation of a vector by a unit quaternion, worked here by hand.
v4f Rotate(const v4f &q, float x, float y, float z) {
    const v4f v = {x, y, z, 0.0f}, c = {-q.x, -q.y, -q.z, q.w};
    v4f t, r;
    MVE_QuaternionMultiply(&t, &q, &v);
    MVE_QuaternionMultiply(&r, &t, &c);
    return r;
}

}  // namespace

// Every pixel format, upright (the first row in memory is the top), grey read as grey, floats
// clamped on screen; regions replaced later, grey pixels staying grey in a colour texture; and
// every refusal leaving the registry and the texture as they were.
TEST_F(Api, TexturesFromPixelsInEveryFormatShowUprightAndTakeRegions) {
    const uint8_t quad[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    const uint8_t grey = 64, greyAlpha[2] = {200, 128}, rgb[3] = {10, 20, 30};
    const float half[4] = {0.25f, 0.5f, 1.5f, 1.0f}, full[4] = {0.75f, 0.125f, -1.0f, 1.0f};
    const int rgba = MVE_CreateTexture(MVE_ID_AUTO, 2, 2, MVE_TEXTURE_RGBA8, quad, kNearest, 0, "Quad");
    const int r8 = MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_R8, &grey, kNearest, 0, "");
    const int rg8 = MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_RG8, greyAlpha, kNearest, 0, "");
    const int rgb8 = MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_RGB8, rgb, kNearest, 0, "");
    const int f16 = MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_RGBA16F, half, kNearest, 0, "");
    const int f32 = MVE_CreateTexture(MVE_ID_AUTO, 1, 1, MVE_TEXTURE_RGBA32F, full, kNearest, 2, "");
    const int blank = MVE_CreateTexture(MVE_ID_AUTO, 4, 4, MVE_TEXTURE_RGBA8, nullptr, kNearest, 0, "");
    const int wide = MVE_CreateTexture(MVE_ID_AUTO, 3000, 500, MVE_TEXTURE_RGBA32F, nullptr, kNearest, 0, "");
    for (int t : {rgba, r8, rg8, rgb8, f16, f32, blank, wide}) ASSERT_NE(t, 0);
    EXPECT_EQ(MVE_GetTextureWidth(wide), 3000);
    EXPECT_EQ(MVE_GetTextureHeight(wide), 500);
    EXPECT_EQ(MVE_Engine().Registries.Textures.GetByName("Quad"), MVE_GetTexture(rgba));
    // Which textures can cut something out (the shadow casters ask).
    const int alpha[7] = {1, 0, 1, 0, 1, 1, 1};
    const int all[7] = {rgba, r8, rg8, rgb8, f16, f32, blank};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(MVE_GetTexture(all[i])->iAlpha, alpha[i]) << "texture " << i;

    auto draw = [&] {
        MVE_ClearScreen(0xFF000000u);
        EXPECT_EQ(MVE_DrawSprite(SpriteOf(rgba, 20, 20), 12, 12), 1);  // pixels 2..21
        const int small[6] = {r8, rg8, rgb8, f16, f32, blank};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(MVE_DrawSprite(SpriteOf(small[i], 8, 8), 6.0f + 10.0f * i, 36), 1);
        return Frame();
    };
    std::vector<uint8_t> f = draw();
    EXPECT_RGB(f, 7, 7, 255, 0, 0, 0);
    EXPECT_RGB(f, 17, 7, 0, 255, 0, 0);
    EXPECT_RGB(f, 7, 17, 0, 0, 255, 0);
    EXPECT_RGB(f, 17, 17, 255, 255, 255, 0);
    EXPECT_RGB(f, 6, 36, 64, 64, 64, 0);       // grey, opaque
    EXPECT_RGB(f, 16, 36, 100, 100, 100, 1);   // grey 200 at alpha 128 over black
    EXPECT_RGB(f, 26, 36, 10, 20, 30, 0);
    EXPECT_RGB(f, 36, 36, 64, 128, 255, 1);    // half floats, 1.5 shown as full
    EXPECT_RGB(f, 46, 36, 191, 32, 0, 1);      // floats, below 0 shown as none
    EXPECT_RGB(f, 56, 36, 0, 0, 0, 0);         // made without pixels: transparent black

    const uint8_t yellow[4] = {255, 255, 0, 255}, darkGrey = 90;
    EXPECT_EQ(MVE_UpdateTexture(rgba, 1, 0, 1, 1, MVE_TEXTURE_RGBA8, yellow), 1);
    EXPECT_EQ(MVE_UpdateTexture(rgba, 0, 1, 1, 1, MVE_TEXTURE_R8, &darkGrey), 1);
    const float orange[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    EXPECT_EQ(MVE_UpdateTexture(blank, 0, 0, 1, 1, MVE_TEXTURE_RGBA32F, orange), 1);  // its top-left texel
    f = draw();
    EXPECT_RGB(f, 7, 7, 255, 0, 0, 0);
    EXPECT_RGB(f, 17, 7, 255, 255, 0, 0);
    EXPECT_RGB(f, 7, 17, 90, 90, 90, 0);
    EXPECT_RGB(f, 17, 17, 255, 255, 255, 0);
    EXPECT_RGB(f, 52, 32, 255, 128, 0, 1);

    // Refusals: nothing registered, nothing drawn differently.
    const size_t textures = MVE_Engine().Registries.Textures.Count();
    EXPECT_EQ(MVE_CreateTexture(MVE_ID_AUTO, 2, 2, 7, quad, kNearest, 0, ""), 0);
    EXPECT_TRUE(Logged("Fail: Unknown pixel format 7!"));
    EXPECT_EQ(MVE_CreateTexture(MVE_ID_AUTO, 0, 2, MVE_TEXTURE_RGBA8, quad, kNearest, 0, ""), 0);
    EXPECT_EQ(MVE_CreateTexture(MVE_ID_AUTO, 20000, 1, MVE_TEXTURE_R8, nullptr, kNearest, 0, ""), 0);
    EXPECT_TRUE(Logged("Fail: A texture of 20000 x 1 pixels is not possible!"));
    EXPECT_EQ(MVE_CreateTexture(0x10005, 1, 1, MVE_TEXTURE_R8, &grey, kNearest, 0, ""), 0);  // a forged handle as ID
    EXPECT_EQ(MVE_Engine().Registries.Textures.Count(), textures);
    EXPECT_EQ(MVE_UpdateTexture(rgba, 1, 1, 2, 1, MVE_TEXTURE_RGBA8, quad), 0);
    EXPECT_TRUE(Logged("Fail: The rectangle (1, 1, 2 x 1) does not lie inside the texture of 2 x 2!"));
    EXPECT_EQ(MVE_UpdateTexture(rgba, -1, 0, 1, 1, MVE_TEXTURE_RGBA8, quad), 0);
    EXPECT_EQ(MVE_UpdateTexture(rgba, 0, 0, 1, 1, MVE_TEXTURE_RGBA8, nullptr), 0);
    EXPECT_EQ(MVE_UpdateTexture(rgba, 0, 0, 1, 1, 0, quad), 0);
    EXPECT_EQ(MVE_UpdateTexture(123456, 0, 0, 1, 1, MVE_TEXTURE_RGBA8, quad), 0);
    EXPECT_EQ(MVE_UpdateTexture(MVE_Engine().Builtin.iDefaultCubeMap, 0, 0, 1, 1, MVE_TEXTURE_RGBA8, quad), 0);
    EXPECT_TRUE(Logged("Fail: Only a 2D texture with an image can be updated!"));
    EXPECT_EQ(MVE_GetTextureWidth(123456), 0);
    f = draw();
    EXPECT_RGB(f, 7, 7, 255, 0, 0, 0);
    EXPECT_RGB(f, 17, 7, 255, 255, 0, 0);
}

// A rectangle of the frame: rows from the top, the part beyond the screen read as 0 whatever the
// memory held, and a rectangle with nothing on the screen refused without touching the memory.
TEST_F(Api, FrameReadBackClipsToTheScreen) {
    MVE_ClearScreen(0xFF302010u);
    ASSERT_EQ(MVE_DrawSprite(SpriteOf(White(), 4, 4, 0xFF00FFFFu), 2, 2), 1);  // yellow, pixels 0..3
    std::vector<uint8_t> part(8 * 8 * 4, 0xAB);
    ASSERT_EQ(MVE_ReadFramePixels(-4, -2, 8, 8, part.data()), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint8_t *p = part.data() + (y * 8 + x) * 4;
            const bool outside = x < 4 || y < 2;
            const bool sprite = !outside && x < 8 && y < 6;
            const int want[3] = {outside ? 0 : sprite ? 255 : 0x10, outside ? 0 : sprite ? 255 : 0x20,
                                 outside ? 0 : sprite ? 0 : 0x30};
            for (int k = 0; k < 3; ++k) ASSERT_EQ(p[k], want[k]) << "pixel " << x << "," << y;
            if (outside) {
                ASSERT_EQ(p[3], 0);
            }
        }
    // The bottom-right corner, reaching past both edges.
    std::vector<uint8_t> corner(10 * 10 * 4, 0xAB);
    ASSERT_EQ(MVE_ReadFramePixels(60, 44, 10, 10, corner.data()), 1);
    EXPECT_EQ(corner[0], 0x10);
    EXPECT_EQ(corner[(3 * 10 + 3) * 4 + 2], 0x30);
    EXPECT_EQ(corner[(3 * 10 + 4) * 4], 0);
    EXPECT_EQ(corner[(4 * 10 + 3) * 4], 0);

    std::vector<uint8_t> untouched(16, 0xAB);
    EXPECT_EQ(MVE_ReadFramePixels(64, 0, 2, 2, untouched.data()), 0);
    EXPECT_TRUE(Logged("Fail: The rectangle (64, 0, 2 x 2) lies outside the screen of 64 x 48!"));
    EXPECT_EQ(MVE_ReadFramePixels(-2, 5, 2, 2, untouched.data()), 0);
    EXPECT_EQ(MVE_ReadFramePixels(0, 0, 0, 2, untouched.data()), 0);
    EXPECT_EQ(MVE_ReadFramePixels(2147483600, 0, 100, 2, untouched.data()), 0);
    EXPECT_EQ(MVE_ReadFramePixels(0, 0, 2, 2, nullptr), 0);
    EXPECT_TRUE(std::all_of(untouched.begin(), untouched.end(), [](uint8_t b) { return b == 0xAB; }));
}

// The default textures are neutral: whichever program reads them, a lit surface shows its colour
// times the light; a specular map that gives no highlight of its own.
TEST_F(Api, DefaultTexturesLeaveALitSurfaceItsOwnColour) {
    const struct {
        const char *sName;
        int iWidth, iChannels;
        uint8_t uTexel[4];
    } kImages[3] = {{"texture0.png", 256, 3, {255, 255, 255, 255}},
                    {"texture1.png", 256, 4, {128, 128, 255, 255}},
                    {"texture2.png", 256, 3, {0, 0, 0, 255}}};
    for (const auto &want : kImages) {
        const MVE_EMBEDDED_IMAGE *embedded = MVE_FindBuiltinImage(want.sName);
        ASSERT_NE(embedded, nullptr);
        MVE_IMAGE image;
        std::string error;
        ASSERT_EQ(MVE_PlatformCatchImage(embedded->pData, embedded->uSize, image, error), 1) << error;
        EXPECT_EQ(image.iWidth, want.iWidth);
        EXPECT_EQ(image.iHeight, want.iWidth);
        EXPECT_EQ(image.iBytesPerPixel, want.iChannels) << want.sName;
        const size_t bytes = static_cast<size_t>(image.iWidth) * image.iHeight * image.iBytesPerPixel;
        for (size_t i = 0; i < bytes; ++i) ASSERT_EQ(image.pPixels[i], want.uTexel[i % image.iBytesPerPixel]) << want.sName;
    }

    LookDown(5.0f);
    MVE_EnableSun(1);
    MVE_SetSunDirection(0.0f, -1.0f, 0.0f);
    MVE_SetAmbientColor(0xFF202020u);
    const int plane = MVE_CreatePlaneMesh(MVE_ID_AUTO, 1.2f, 1.0f, "");
    const int programs[3] = {5, 8, 11};  // normal, specular normal and parallax mapping
    for (int i = 0; i < 3; ++i) {
        const int material = MVE_CreateMaterial(MVE_ID_AUTO, -1, programs[i], "");
        ASSERT_EQ(MVE_SetMaterialColor(material, 0xFF3050A0u), 1);
        // Programs 5 and 11 take their highlight from the material; program 8 from the specular map.
        if (programs[i] != 8) {
            ASSERT_EQ(MVE_SetMaterialShine(material, 0.0f), 1);
        }
        const int object = MVE_CreateObject(MVE_ID_AUTO, plane, material, "", 0, 1);
        MVE_MoveObject(object, -1.4f + 1.4f * i, 0.0f, 0.0f, 0);
    }
    MVE_RenderWorld(-1);
    const std::vector<uint8_t> f = Frame();
    // Colour (0xA0, 0x50, 0x30) times sun 1 plus ambient 0x20/255 of it; one unit is 11.6 pixels.
    const float lit = 1.0f + 32.0f / 255.0f;
    for (int i = 0; i < 3; ++i)
        for (int dx : {-4, 0, 4})
            for (int dy : {-4, 0, 4})
                EXPECT_RGB(f, 32 + static_cast<int>(std::lround(11.6f * (-1.4f + 1.4f * i))) + dx, 24 + dy,
                           Byte(0xA0 / 255.0f * lit), Byte(0x50 / 255.0f * lit), Byte(0x30 / 255.0f * lit), 2);
}

// What a setter stores is what the key of the same name stores: both checked against the values
// the key's conversions give. Refusals change nothing.
TEST_F(Api, MaterialSettersStoreWhatTheirKeysStore) {
    ASSERT_EQ(MVE_LoadDefinitionText("Material: Keyed { Color: $8000FF; ShineColor: 0, 51, 0; Shine: 0.5; Hardness: 30;"
                                     " SurfaceScattering: 0.25; Reflection: 0.5; Refraction: 10; Wireframe: true;"
                                     " BackFaceCulling: false; BlendingMode: ONE, DST_COLOR; Shader: TEXTURED }",
                                     "", MVE_DEFINITION_MATERIAL),
              1);
    const int keyed = MVE_GetMaterialID("Keyed");
    const int coded = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Coded");
    ASSERT_NE(keyed, 0);
    EXPECT_EQ(MVE_SetMaterialColor(coded, 0x008000FFu), 1);  // alpha byte 0 reads as opaque
    EXPECT_EQ(MVE_SetMaterialShineColor(coded, 0xFF003300u), 1);
    EXPECT_EQ(MVE_SetMaterialShine(coded, 0.5f), 1);
    EXPECT_EQ(MVE_SetMaterialHardness(coded, 30.0f), 1);
    EXPECT_EQ(MVE_SetMaterialSurfaceScattering(coded, 0.25f), 1);
    EXPECT_EQ(MVE_SetMaterialReflection(coded, 0.5f), 1);
    EXPECT_EQ(MVE_SetMaterialRefraction(coded, 10.0f), 1);
    EXPECT_EQ(MVE_SetMaterialWireframe(coded, 5), 1);
    EXPECT_EQ(MVE_SetMaterialBackFaceCulling(coded, 0), 1);
    EXPECT_EQ(MVE_SetMaterialBlendMode(coded, 1, 0x306), 1);
    EXPECT_EQ(MVE_SetMaterialShader(coded, 4), 1);
    for (int m : {keyed, coded}) {
        SCOPED_TRACE(m == keyed ? "from the key" : "from the setter");
        v4f c = {}, s = {};
        ASSERT_EQ(MVE_GetMaterialColor(m, &c), &c);
        ASSERT_EQ(MVE_GetMaterialShineColor(m, &s), &s);
        EXPECT_FLOAT_EQ(c.x, 1.0f);
        EXPECT_FLOAT_EQ(c.y, 0.0f);
        EXPECT_FLOAT_EQ(c.z, 128.0f / 255.0f);
        EXPECT_FLOAT_EQ(c.w, 1.0f);
        EXPECT_FLOAT_EQ(s.y, 0.2f);
        EXPECT_FLOAT_EQ(MVE_GetMaterialShine(m), 0.5f);
        EXPECT_FLOAT_EQ(MVE_GetMaterialHardness(m), 30.0f);
        EXPECT_FLOAT_EQ(MVE_GetMaterialSurfaceScattering(m), 0.25f);
        EXPECT_FLOAT_EQ(MVE_GetMaterialReflection(m), 0.5f);
        EXPECT_FLOAT_EQ(MVE_GetMaterial(m)->fRefraction, 0.1f);
        EXPECT_FLOAT_EQ(MVE_GetMaterialRefraction(m), 10.0f);
        EXPECT_EQ(MVE_GetMaterialWireframe(m), 1);
        EXPECT_EQ(MVE_GetMaterialBackFaceCulling(m), 0);
        int source = 0, destination = 0;
        EXPECT_EQ(MVE_GetMaterialBlendMode(m, &source, &destination), 1);
        EXPECT_EQ(source, 1);
        EXPECT_EQ(destination, 0x306);
        EXPECT_EQ(MVE_GetMaterialShader(m), 4);
    }
    EXPECT_EQ(MVE_GetMaterialTexture(coded, 1), MVE_Engine().Builtin.iDefaultTexture[1]);
    EXPECT_EQ(MVE_GetMaterialTexture(keyed, 0), 0);
    EXPECT_EQ(MVE_SetMaterialShader(coded, 14), 1);  // as the word "REFRACTION": drawn with 15
    EXPECT_EQ(MVE_GetMaterialShader(coded), 15);

    // Refusals.
    EXPECT_EQ(MVE_SetMaterialShine(123456, 1.0f), 0);
    EXPECT_TRUE(Logged("Fail: Material 123456 not found!"));
    EXPECT_EQ(MVE_SetMaterialShine(coded, std::nanf("")), 0);
    EXPECT_EQ(MVE_SetMaterialHardness(coded, INFINITY), 0);
    EXPECT_EQ(MVE_SetMaterialRefraction(coded, -INFINITY), 0);
    EXPECT_EQ(MVE_SetMaterialBlendMode(coded, 0x309, 1), 0);
    EXPECT_EQ(MVE_SetMaterialBlendMode(coded, 1, -1), 0);
    EXPECT_EQ(MVE_SetMaterialShader(coded, 0), 0);
    EXPECT_EQ(MVE_SetMaterialShader(coded, 26), 0);
    EXPECT_EQ(MVE_SetMaterialTexture(coded, 4, -1), 0);
    EXPECT_EQ(MVE_SetMaterialTexture(coded, 0, 123456), 0);
    EXPECT_EQ(MVE_GetMaterialColor(coded, nullptr), nullptr);
    EXPECT_EQ(MVE_GetMaterialColor(123456, nullptr), nullptr);
    EXPECT_FLOAT_EQ(MVE_GetMaterialShine(coded), 0.5f);
    EXPECT_FLOAT_EQ(MVE_GetMaterialHardness(coded), 30.0f);
    EXPECT_FLOAT_EQ(MVE_GetMaterialRefraction(coded), 10.0f);
    int source = 0, destination = 0;
    MVE_GetMaterialBlendMode(coded, &source, &destination);
    EXPECT_EQ(source + destination, 1 + 0x306);
    EXPECT_EQ(MVE_GetMaterialShader(coded), 15);
    EXPECT_EQ(MVE_GetMaterialTexture(coded, 0), MVE_Engine().Builtin.iDefaultTexture[0]);
    EXPECT_EQ(MVE_GetMaterialShader(123456), 0);
}

// The lit setters by the lighting formula: a plane seen from above under the sun. Colour alone;
// then a highlight of the shine colour, as strong as the shine and as narrow as the hardness;
// light reaching round towards a grazing sun with surface scattering; the back face hidden until
// culling is off.
TEST_F(Api, MaterialSettersChangeTheNextFrameByTheLightingFormula) {
    LookDown(5.0f);
    MVE_EnableSun(1);
    MVE_SetSunDirection(0.0f, -1.0f, 0.0f);
    const int material = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Stone");
    const int object = MVE_CreateObject(MVE_ID_AUTO, MVE_CreatePlaneMesh(MVE_ID_AUTO, 4.0f, 1.0f, ""), material, "", 0, 1);
    ASSERT_NE(object, 0);
    ASSERT_EQ(MVE_SetMaterialShine(material, 0.0f), 1);
    ASSERT_EQ(MVE_SetMaterialColor(material, 0xFF4080C0u), 1);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> f = Frame();
    EXPECT_RGB(f, 32, 24, 0xC0, 0x80, 0x40, 2);
    EXPECT_RGB(f, 12, 8, 0xC0, 0x80, 0x40, 2);

    ASSERT_EQ(MVE_SetMaterialShine(material, 0.5f), 1);
    ASSERT_EQ(MVE_SetMaterialShineColor(material, 0xFF006600u), 1);  // green 0.4
    // Off the middle, where the renderer's power function is exact enough for a hard highlight.
    for (float hardness : {1.0f, 40.0f}) {
        ASSERT_EQ(MVE_SetMaterialHardness(material, hardness), 1);
        MVE_RenderWorld(-1);
        f = Frame();
        for (const auto &p : {std::array<int, 2>{20, 14}, std::array<int, 2>{12, 8}, std::array<int, 2>{44, 30}}) {
            const float highlight = 0.4f * 0.5f * std::pow(RayCosine(p[0], p[1]), hardness);
            SCOPED_TRACE("hardness " + std::to_string(hardness));
            EXPECT_RGB(f, p[0], p[1], 0xC0, Byte(0x80 / 255.0f + highlight), 0x40, 2);
        }
    }

    // A sun 14 degrees above the horizon lights the plane by 0.2425; scattering 0.6 lifts that to
    // 0.6 x (1 - 0.2425).
    ASSERT_EQ(MVE_SetMaterialShine(material, 0.0f), 1);
    MVE_EnableSun(1);
    MVE_SetSunDirection(-1.0f, -0.25f, 0.0f);
    const float grazing = 0.25f / std::sqrt(1.0f + 0.0625f);
    for (float scattering : {0.0f, 0.6f}) {
        ASSERT_EQ(MVE_SetMaterialSurfaceScattering(material, scattering), 1);
        MVE_RenderWorld(-1);
        f = Frame();
        const float light = scattering > grazing ? scattering * (1.0f - grazing) : grazing;
        EXPECT_RGB(f, 32, 24, Byte(0xC0 / 255.0f * light), Byte(0x80 / 255.0f * light), Byte(0x40 / 255.0f * light), 3);
    }

    // From below only ambient light can show the back face, and only once it is drawn.
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF808080u);
    MVE_MoveCamera(0.0f, -5.0f, 0.0f, 0);
    ASSERT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f), 1);
    MVE_RenderWorld(-1);
    EXPECT_RGB(Frame(), 32, 24, 0, 0, 0, 0);
    ASSERT_EQ(MVE_SetMaterialBackFaceCulling(material, 0), 1);
    MVE_RenderWorld(-1);
    const float ambient = 128.0f / 255.0f;
    EXPECT_RGB(Frame(), 32, 24, Byte(0xC0 / 255.0f * ambient), Byte(0x80 / 255.0f * ambient), Byte(0x40 / 255.0f * ambient), 2);
}

// A forward material drawn over the lit plane: the texture of any slot, a program change that
// takes the material (and its objects) into the new program's list, wireframe in the forward
// group only, and the blend factors of a sprite.
TEST_F(Api, TexturesProgramsWireframeAndBlendOfMaterialsSetByCode) {
    LookDown(5.0f);
    MVE_EnableSun(1);
    MVE_SetSunDirection(0.0f, -1.0f, 0.0f);
    const int ground = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "");
    MVE_SetMaterialShine(ground, 0.0f);
    MVE_SetMaterialColor(ground, 0xFF404040u);
    MVE_CreateObject(MVE_ID_AUTO, MVE_CreatePlaneMesh(MVE_ID_AUTO, 6.0f, 1.0f, ""), ground, "", 0, 1);

    // Four texels on a rectangle of 3 x 3 units lying upright: red, green over blue, white.
    const uint8_t quad[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    const int texture = MVE_CreateTexture(MVE_ID_AUTO, 2, 2, MVE_TEXTURE_RGBA8, quad, kNearest, 0, "");
    const int material = MVE_CreateMaterial(MVE_ID_AUTO, MVE_IGNORE, 5, "Shown");
    const int rectangle = MVE_CreateRectangleMesh(MVE_ID_AUTO, 3.0f, 3.0f, 3, 2, 1.0f, 1.0f, "");
    const int object = MVE_CreateObject(MVE_ID_AUTO, rectangle, material, "", 0, 1);
    ASSERT_NE(object, 0);
    MVE_MoveObject(object, 0.0f, 0.5f, 0.0f, 0);
    MVE_MATERIAL *record = MVE_GetMaterial(material);
    const MVE_SHADER *lit = MVE_GetBuiltinShader(5), *textures = MVE_GetBuiltinShader(4);
    ASSERT_TRUE(lit && textures);
    auto listed = [record](const MVE_SHADER *s) { return std::count(s->Materials.begin(), s->Materials.end(), record); };
    ASSERT_EQ(listed(lit), 1);

    ASSERT_EQ(MVE_SetMaterialTexture(material, 0, texture), 1);
    ASSERT_EQ(MVE_SetMaterialShader(material, 4), 1);
    EXPECT_EQ(listed(lit), 0);
    EXPECT_EQ(listed(textures), 1);
    EXPECT_EQ(record->Shader, textures);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> f = Frame();
    // At height 4.5 one unit is 12.9 pixels: the texels' centres lie 0.75 units off the middle.
    EXPECT_RGB(f, 22, 14, 255, 0, 0, 0);
    EXPECT_RGB(f, 42, 14, 0, 255, 0, 0);
    EXPECT_RGB(f, 22, 34, 0, 0, 255, 0);
    EXPECT_RGB(f, 42, 34, 255, 255, 255, 0);
    EXPECT_RGB(f, 32, 2, 64, 64, 64, 2);  // the lit ground beyond

    // Colour and the default texture of the slot; then lines only, through which the ground shows.
    // (34, 11) lies inside a triangle of the grid, at least 3.5 pixels from every edge.
    ASSERT_EQ(MVE_SetMaterialColor(material, 0xFF0000FFu), 1);
    ASSERT_EQ(MVE_SetMaterialTexture(material, 0, -1), 1);
    MVE_RenderWorld(-1);
    EXPECT_RGB(Frame(), 34, 11, 255, 0, 0, 0);
    ASSERT_EQ(MVE_SetMaterialWireframe(material, 1), 1);
    MVE_RenderWorld(-1);
    EXPECT_RGB(Frame(), 34, 11, 64, 64, 64, 2);
    // In the G-Buffer a wireframe material still draws filled (lit, with the flat default normals).
    ASSERT_EQ(MVE_SetMaterialShader(material, 5), 1);
    ASSERT_EQ(MVE_SetMaterialTexture(material, 1, -1), 1);
    ASSERT_EQ(MVE_SetMaterialShine(material, 0.0f), 1);
    MVE_RenderWorld(-1);
    EXPECT_RGB(Frame(), 34, 11, 255, 0, 0, 2);
    EXPECT_EQ(listed(lit), 1);
    EXPECT_EQ(listed(textures), 0);

    // Blending of a half-transparent blue sprite over grey: mixed by default, added with ONE, ONE.
    const int sprite = SpriteOf(White(), 8, 8, 0x80FF0000u);
    const int spriteMaterial = MVE_GetSprite(sprite)->iMaterial;
    MVE_ClearScreen(0xFF404040u);
    MVE_DrawSprite(sprite, 32, 24);
    EXPECT_RGB(Frame(), 32, 24, 32, 32, 160, 1);
    ASSERT_EQ(MVE_SetMaterialBlendMode(spriteMaterial, 1, 1), 1);
    MVE_ClearScreen(0xFF404040u);
    MVE_DrawSprite(sprite, 32, 24);
    EXPECT_RGB(Frame(), 32, 24, 64, 64, 255, 1);
}

// The camera and objects pointed at points, objects given quaternions; the physics collides the
// turned shape at once.
TEST_F(Api, CameraAndObjectsTurnToPointsAndQuaternions) {
    MVE_MoveCamera(0.0f, 5.0f, 0.0f, 0);
    ASSERT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 1);
    v4f ray = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    EXPECT_NEAR(ray.x, 0.0f, 1e-6f);
    EXPECT_NEAR(ray.y, -1.0f, 1e-6f);
    EXPECT_NEAR(ray.z, 0.0f, 1e-6f);
    ray = *MVE_GetCameraRay(32, 0);  // looking straight down, the top of the view lies towards -z
    EXPECT_NEAR(ray.x, 0.0f, 0.02f);
    EXPECT_LT(ray.z, -0.3f);
    ASSERT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f), 1);  // now +x is up
    ray = *MVE_GetCameraRay(32, 0);
    EXPECT_GT(ray.x, 0.3f);
    EXPECT_NEAR(ray.z, 0.0f, 0.02f);
    ASSERT_EQ(MVE_PointCamera(3.0f, 0.0f, -4.0f, 0.0f, 0.0f, 0.0f), 1);
    ray = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    const float n = std::sqrt(9.0f + 25.0f + 16.0f);
    EXPECT_NEAR(ray.x, 3.0f / n, 1e-5f);
    EXPECT_NEAR(ray.y, -5.0f / n, 1e-5f);
    EXPECT_NEAR(ray.z, -4.0f / n, 1e-5f);
    ray = *MVE_GetCameraRay(32, 0);  // the world's up stays up on the screen
    EXPECT_GT(ray.y, -5.0f / n + 0.1f);
    // Refused: the eye itself, an up along the view, numbers that are not finite.
    EXPECT_EQ(MVE_PointCamera(0.0f, 5.0f, 0.0f, 0.0f, 0.0f, 0.0f), 0);
    EXPECT_TRUE(Logged("Fail: The point to look at is the eye itself!"));
    EXPECT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f), 0);
    EXPECT_TRUE(Logged("Fail: The up vector is zero or lies along the view!"));
    EXPECT_EQ(MVE_PointCamera(std::nanf(""), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 0);
    EXPECT_EQ(MVE_PointCamera(0.0f, 0.0f, 0.0f, INFINITY, 0.0f, 0.0f), 0);
    ray = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    EXPECT_NEAR(ray.x, 3.0f / n, 1e-5f);

    // A bar 4 long along its own x, and a ball 1.5 ahead of it along z.
    MVE_SetPhysicsThread(0);
    const int mesh = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, "");
    const int bar = MVE_CreateObject(MVE_ID_AUTO, mesh, -1, "", 0, 1);
    const int ball = MVE_CreateObject(MVE_ID_AUTO, mesh, -1, "", 0, 1);
    ASSERT_EQ(MVE_SetObjectBody(bar, MVE_CreateBoxBody(MVE_ID_AUTO, 4.0f, 0.2f, 0.2f, ""), 1.0f), 1);
    ASSERT_EQ(MVE_SetObjectBody(ball, MVE_CreateSphereBody(MVE_ID_AUTO, 1.0f, ""), 1.0f), 1);
    MVE_MoveObject(ball, 0.0f, 0.0f, 1.5f, 0);
    EXPECT_EQ(MVE_CollideObjects(ball, bar), 0);

    const v4f quarter = {0.0f, 2.0f, 0.0f, 2.0f};  // a quarter turn about y, not of unit length
    ASSERT_EQ(MVE_SetObjectOrientation(bar, &quarter), 1);
    v4f q;
    ASSERT_NE(MVE_GetObjectOrientation(bar, &q), nullptr);
    EXPECT_NEAR(q.y, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(q.w, std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(MVE_CollideObjects(ball, bar), 1) << "the bar now reaches along z";

    // Pointed along -z: the bar lies along x again; pointed at +x, along z.
    ASSERT_EQ(MVE_PointObject(bar, 0.0f, 0.0f, -7.0f, 0.0f, 0.0f, 0.0f), 1);
    MVE_GetObjectOrientation(bar, &q);
    EXPECT_NEAR(std::fabs(q.w), 1.0f, 1e-6f);
    EXPECT_EQ(MVE_CollideObjects(ball, bar), 0);
    ASSERT_EQ(MVE_PointObject(bar, 5.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 1);
    MVE_GetObjectOrientation(bar, &q);
    v4f front = Rotate(q, 0.0f, 0.0f, -1.0f), top = Rotate(q, 0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(front.x, 1.0f, 1e-6f);
    EXPECT_NEAR(top.y, 1.0f, 1e-6f);
    EXPECT_EQ(MVE_CollideObjects(ball, bar), 1);
    // From elsewhere, with an up of its own: the front finds the point, +y leans to the up.
    MVE_MoveObject(ball, 2.0f, 3.0f, -1.0f, 0);
    ASSERT_EQ(MVE_PointObject(ball, 2.0f, 3.0f, 9.0f, 1.0f, 1.0f, 0.0f), 1);
    MVE_GetObjectOrientation(ball, &q);
    front = Rotate(q, 0.0f, 0.0f, -1.0f), top = Rotate(q, 0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(front.z, 1.0f, 1e-6f);
    EXPECT_NEAR(top.x, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(top.y, std::sqrt(0.5f), 1e-6f);

    // Refused without a change: zero, not finite, null, unknown, the point at the object itself.
    const v4f zero = {0, 0, 0, 0}, broken = {0, std::nanf(""), 0, 1};
    MVE_GetObjectOrientation(bar, &q);
    EXPECT_EQ(MVE_SetObjectOrientation(bar, &zero), 0);
    EXPECT_EQ(MVE_SetObjectOrientation(bar, &broken), 0);
    EXPECT_EQ(MVE_SetObjectOrientation(bar, nullptr), 0);
    EXPECT_EQ(MVE_SetObjectOrientation(123456, &quarter), 0);
    EXPECT_TRUE(Logged("Fail: Object 123456 not found!"));
    EXPECT_EQ(MVE_PointObject(bar, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 0);
    EXPECT_EQ(MVE_PointObject(bar, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f), 0);
    v4f after;
    MVE_GetObjectOrientation(bar, &after);
    EXPECT_EQ(std::memcmp(&q, &after, sizeof q), 0);
}

// Orientations set while the physics thread integrates the same objects (also run under
// ThreadSanitizer): each one set is the one read back, whole, and the objects fall meanwhile.
class ApiThread : public PhysicsFixture {
  protected:
    void TearDown() override {
        MVE_StopPhysicsThread();
        PhysicsFixture::TearDown();
    }
};

TEST_F(ApiThread, OrientationsSetBesideThePhysicsThreadStayWhole) {
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    MVE_OBJECT *objects[3] = {MakeObject(-1, 1.0f, 0, 0, 0), MakeObject(-1, 2.0f, 3, 0, 0), MakeObject(-1, 1.0f, 6, 0, 0)};
    MVE_StartPhysicsThread();
    for (int i = 0; i < 300; ++i) {
        const int id = IdOf(objects[i % 3]);
        const float a = 0.01f * static_cast<float>(i);
        const v4f q = {std::sin(a), 0.0f, 0.0f, std::cos(a)};
        ASSERT_EQ(MVE_SetObjectOrientation(id, &q), 1);
        v4f back;
        ASSERT_NE(MVE_GetObjectOrientation(id, &back), nullptr);
        ASSERT_NEAR(back.x, q.x, 1e-6f);
        ASSERT_NEAR(back.w, q.w, 1e-6f);
        ASSERT_EQ(MVE_PointObject(id, 10.0f, -50.0f, 0.0f, 0.0f, 0.0f, 0.0f), 1);
        MVE_GetObjectOrientation(id, &back);
        ASSERT_NEAR(back.x * back.x + back.y * back.y + back.z * back.z + back.w * back.w, 1.0f, 1e-5f);
        if (i % 30 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    MVE_StopPhysicsThread();  // before reading where they fell to
    v4f p;
    MVE_GetObjectPosition(IdOf(objects[0]), &p);
    EXPECT_LT(p.y, 0.0f);
}

// A rectangle: shared corners on a grid, the edges exactly at half the size, texture coordinates
// upright, the roots' edge static, every triangle facing up; bad sizes and counts refused.
TEST_F(Api, RectangleMeshesAreGridsFacingUp) {
    const int id = MVE_CreateRectangleMesh(MVE_ID_AUTO, 3.0f, 0.7f, 3, 2, 2.0f, 0.5f, "Strip");
    const MVE_MESH *mesh = MeshOf(id);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->iVertices, 12);
    ASSERT_EQ(mesh->iIndices, 36);
    EXPECT_GT(mesh->iVertexArray, 0);  // finished, ready to draw
    EXPECT_EQ(mesh->GroupIndex.at("Static")->iIndex, 0);
    EXPECT_EQ(mesh->GroupIndex.at("Dynamic")->iIndex, 1);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i) {
            const MVE_MESH_VERTEX &v = mesh->Vertex[static_cast<size_t>(j * 4 + i)];
            EXPECT_FLOAT_EQ(v.v4fVertex.x, -1.5f + i);
            EXPECT_FLOAT_EQ(v.v4fVertex.z, -0.35f + 0.35f * j);
            EXPECT_EQ(v.v4fVertex.y, 0.0f);
            EXPECT_FLOAT_EQ(v.v2fTexCoord[0], 2.0f * i / 3.0f);
            EXPECT_FLOAT_EQ(v.v2fTexCoord[1], 0.25f * j);
            EXPECT_EQ(v.iGroup, j == 2 ? 0 : 1);
            EXPECT_EQ(v.v3fNormal[1], 1.0f);
        }
    for (int t = 0; t < 12; ++t) {
        const v4f &a = mesh->Vertex[mesh->Index[3 * t]].v4fVertex, &b = mesh->Vertex[mesh->Index[3 * t + 1]].v4fVertex,
                  &c = mesh->Vertex[mesh->Index[3 * t + 2]].v4fVertex;
        const float ny = (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
        EXPECT_NEAR(ny, 1.0f * 0.35f, 1e-5f) << "triangle " << t << " faces up with the area of half a cell";
    }
    const size_t meshes = MVE_Engine().Registries.Meshes.Count();
    EXPECT_EQ(MVE_CreateRectangleMesh(MVE_ID_AUTO, 0.0f, 1.0f, 1, 1, 1.0f, 1.0f, ""), 0);
    EXPECT_TRUE(Logged("Fail: A rectangle needs a finite width and depth above 0 and finite repeats!"));
    EXPECT_EQ(MVE_CreateRectangleMesh(MVE_ID_AUTO, 1.0f, std::nanf(""), 1, 1, 1.0f, 1.0f, ""), 0);
    EXPECT_EQ(MVE_CreateRectangleMesh(MVE_ID_AUTO, 1.0f, 1.0f, 1, 1, INFINITY, 1.0f, ""), 0);
    EXPECT_EQ(MVE_CreateRectangleMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, 1, 1.0f, 1.0f, ""), 0);
    EXPECT_EQ(MVE_CreateRectangleMesh(MVE_ID_AUTO, 1.0f, 1.0f, 65536, 65536, 1.0f, 1.0f, ""), 0);
    EXPECT_TRUE(Logged(MVE_FAIL_COUNT));
    EXPECT_EQ(MVE_Engine().Registries.Meshes.Count(), meshes);
}

// Definitions a program holds: a text handed to the loaders as a file would be (its files found
// from the folder given), sections of a tree the program parsed itself, the mask, and a sound from
// such a text heard in the mix at the volume its section asks.
TEST_F(Api, DefinitionTextsAndTreesReachTheRegistries) {
    const std::filesystem::path ogg = std::filesystem::path(MVE_TEST_CORPUS) / "ogg" / "test.ogg";
    MVE_REQUIRE_CORPUS_FILE(ogg);
    std::filesystem::create_directories("Data");
    std::filesystem::copy_file(ogg, "Data/hum.ogg");
    const uint8_t pixels[12] = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255};
    std::string error;
    ASSERT_EQ(MVE_PlatformWritePNG("Data/stone.png", pixels, 3, 1, 4, error), 1) << error;
    std::string error2;
    ASSERT_EQ(MVE_PlatformStartAudioLoopback(44100, error2), 1) << error2;

    const char *text =
        "Texture: Stone { File: stone.png; Filter: LINEAR }\n"
        "Material: Red { Texture[0]: Stone; Color: 255, 0, 0; Shader: TEXTURED }\n"
        "Sound: Hum { File: hum.ogg; Mode: Background Play Loop; Volume: 0.5 }\n"
        "Material: Late { Texture[0]: Missing }\n";
    EXPECT_EQ(MVE_LoadDefinitionText(text, "Data", 15), 4);
    const MVE_TEXTURE *stone = MVE_Engine().Registries.Textures.GetByName("Stone");
    ASSERT_NE(stone, nullptr);
    EXPECT_EQ(MVE_GetTextureWidth(MVE_HandleOf(stone)), 3);
    const int red = MVE_GetMaterialID("Red");
    EXPECT_EQ(MVE_GetMaterialTexture(red, 0), MVE_HandleOf(stone));
    EXPECT_EQ(MVE_GetMaterialShader(red), 4);
    EXPECT_TRUE(Logged("Texture[0] not found: Missing"));
    const MVE_SOUND *hum = MVE_Engine().Registries.Sounds.GetByName("Hum");
    ASSERT_NE(hum, nullptr);
    EXPECT_EQ(hum->iPlaying, 1);

    // Only the masked kinds: a second text loads its material and leaves its texture alone.
    const size_t textures = MVE_Engine().Registries.Textures.Count();
    EXPECT_EQ(MVE_LoadDefinitionText("Texture: Other { File: stone.png }\nMaterial: Blue { Color: 0, 0, 255 }", "Data",
                                     MVE_DEFINITION_MATERIAL),
              1);
    EXPECT_EQ(MVE_Engine().Registries.Textures.Count(), textures);
    EXPECT_NE(MVE_GetMaterialID("Blue"), 0);
    EXPECT_EQ(MVE_LoadDefinitionText("", "Data", 15), 0);
    EXPECT_EQ(MVE_LoadDefinitionText(nullptr, "Data", 15), 0);
    EXPECT_TRUE(Logged("Fail: No definition text!"));

    // A tree the program parsed and keeps: each section through its own loader.
    MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(
        "Level { Texture: Grass { File: stone.png } Material: Lawn { Texture[1]: Grass; Hardness: 4 }"
        " Sound: Full { File: hum.ogg; Mode: Background Loop } }",
        "Data");
    ASSERT_NE(root, nullptr);
    const int grass = MVE_LoadTextureDefinition(MVE_ID_AUTO, root, "Grass");
    const int lawn = MVE_LoadMaterialDefinition(MVE_ID_AUTO, root, "Lawn");
    const int full = MVE_LoadSoundDefinition(MVE_ID_AUTO, root, "");
    ASSERT_NE(grass, 0);
    ASSERT_NE(lawn, 0);
    ASSERT_NE(full, 0);
    EXPECT_EQ(MVE_GetMaterialTexture(lawn, 1), grass);
    EXPECT_FLOAT_EQ(MVE_GetMaterialHardness(lawn), 4.0f);
    EXPECT_EQ(MVE_LoadMaterialDefinition(MVE_ID_AUTO, root, "Nowhere"), 0);
    EXPECT_TRUE(Logged(MVE_FAIL_MATERIAL_NODE));
    EXPECT_EQ(MVE_LoadTextureDefinition(MVE_ID_AUTO, nullptr, "Nowhere"), 0);
    EXPECT_TRUE(Logged(MVE_FAIL_TEXTURE_NODE));
    EXPECT_EQ(MVE_LoadSoundDefinition(MVE_ID_AUTO, nullptr, ""), 0);
    EXPECT_TRUE(Logged(MVE_FAIL_SOUND_NODE));
    MVE_FreeDefinitionNode(root, 1);

    // Heard: the same passage of each sound alone, the text's at half the volume of the tree's.
    auto level = [](int sound) {
        MVE_PlaySound(sound, MVE_IGNORE, nullptr);
        MVE_UpdateSounds();
        std::vector<float> mix(2 * 8820);
        EXPECT_EQ(MVE_PlatformRenderAudio(mix.data(), 8820), 1);
        double sum = 0;
        for (float s : mix) sum += double(s) * s;
        MVE_StopSound(sound);
        MVE_UpdateSounds();
        return std::sqrt(sum / mix.size());
    };
    MVE_StopSound(MVE_HandleOf(hum));
    MVE_UpdateSounds();
    const double quiet = level(MVE_HandleOf(hum)), loud = level(full);
    EXPECT_GT(loud, 0.02);
    EXPECT_NEAR(quiet / loud, 0.5, 0.02);
}

// The scene of a C program on MVE.h alone, rendered and read back in memory: its own window and
// screen, so this test only provides an empty folder and checks what is left in it.
TEST(ApiC, SceneFromPixelsReadBackWithoutFiles) {
    const auto dir = std::filesystem::temp_directory_path() / ("mve-test-ApiC-" + std::to_string(::getpid()));
    const auto old = std::filesystem::current_path();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    MVE_ResetEngine();
    MVE_Engine().Debugger.sProgramPath = "";
    const int failed = mve_c_scene_from_pixels();
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) left.push_back(entry.path().filename().string());
    const std::string log = ReadFile(dir / "MVE LogFile.html");
    MVE_ResetEngine();
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(failed, 0) << "check " << failed << " of ApiSceneC.c failed; the log:\n" << log;
    EXPECT_EQ(left, std::vector<std::string>{"MVE LogFile.html"}) << "only the engine's log is written";
    EXPECT_EQ(log.find("color:#FF0000"), std::string::npos) << log;
}

}  // namespace mvetest
