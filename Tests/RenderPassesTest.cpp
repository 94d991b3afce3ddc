// Frame rendering checked by pixels, continued: a point light seen from outside its range, where
// only its volume is shaded; the reflection and refraction amounts of materials as the surfaces
// show them; and the render group a program is drawn in, as it is added and moved.
#include "RenderFixture.h"
#include "Registry/Kinds.h"
#include "Shader/Shader.h"

namespace mvetest {
namespace {

// Fine enough to see the rim of a light's lit disc, a few pixels wide.
class RenderLargeTest : public RenderTest {
  protected:
    RenderLargeTest() {
        width_ = 160;
        height_ = 120;
    }
};

// A wall of `material` filling the view `distance` ahead, or the part of it between x0..x1, y0..y1.
int Wall(int plane, int material, float distance, float x0 = -20, float x1 = 20, float y0 = -20, float y1 = 20) {
    const int object = MVE_CreateObject(-1, plane, material, "", 0, 1);
    MVE_RotateObject(object, 90, 0, 0, 0);  // the plane's up side turned towards the camera
    MVE_MoveObject(object, 0.5f * (x0 + x1), 0.5f * (y0 + y1), -distance, 0);
    MVE_ScaleObject(object, x1 - x0, 1, y1 - y0, 0);
    return object;
}

// The camera stands far outside a point light's range, 30 degrees above the floor the light hangs
// just over. Only the light's volume is shaded, and from here the floor to the left and right of
// the light lies at the volume's outline: the volume must enclose all of the range, or the faint
// rim of the lit disc is cut off there. Every pixel follows the attenuation out to 0.982 x range,
// with the light drawn with the others in one call, and casting shadows, drawn alone.
TEST_F(RenderLargeTest, PointLightSeenFromOutsideItsRange) {
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF101010);
    const float range = 4.0f, intensity = 30.0f, pitch = 30.0f * kPi / 180.0f;
    const Vec diffuse = {0.7f, 0.8f, 0.9f}, light = {0.3f, 0.8f, -10.0f};
    Place(plane_, Surface(diffuse.x, diffuse.y, diffuse.z), {0, 0, -10}, {200, 1, 200});
    const Vec eye = {0, light.y + 10.0f * std::tan(pitch), 0};
    MVE_MoveCamera(eye.x, eye.y, eye.z, 0);
    MVE_RotateCamera(-30, 0, 0, 0);
    const int lamp = MVE_CreateLight(-1, light.x, light.y, light.z, 1);
    ASSERT_NE(lamp, 0);
    MVE_SetLightIntensity(lamp, intensity);
    MVE_SetLightRange(lamp, range);
    ASSERT_GT(Length(light - eye), 2.0f * range) << "the eye must be outside the volume";
    // The floor point a pixel sees: forward (0, -sin, -cos), up (0, cos, -sin), right (1, 0, 0).
    const float t = std::tan(22.5f * kPi / 180.0f), aspect = float(width_) / float(height_);
    auto floorAt = [&](int px, int py, Vec &p) {
        const float nx = (2.0f * (px + 0.5f) / width_ - 1.0f) * t * aspect, ny = (1.0f - 2.0f * (py + 0.5f) / height_) * t;
        const Vec ray = {nx, -std::sin(pitch) + ny * std::cos(pitch), -std::cos(pitch) - ny * std::sin(pitch)};
        if (ray.y > -0.1f) return false;  // towards the horizon, beyond the far plane
        const float s = -eye.y / ray.y;
        p = {eye.x + s * ray.x, 0.0f, eye.z + s * ray.z};
        return true;
    };
    const float ambient = 16 / 255.0f;
    for (int shadow : {0, 1}) {
        SCOPED_TRACE(shadow ? "casting shadows" : "without shadows");
        MVE_SetLightShadow(lamp, shadow, 0);
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> rgba = Pixels();
        int lit = 0, rim = 0, dark = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                Vec p;
                if (!floorAt(x, y, p)) continue;
                const Vec d = light - p;
                const float a = std::max(0.0f, 1.0f - Length(d) / (0.982f * range));
                const float k = ambient + intensity * a * std::max(0.0f, d.y / Length(d));
                // The G-Buffer keeps positions at half precision: bright, steep parts get a little more.
                const float tolerance = 3.0f + 0.04f * float(Byte(diffuse.z * k));
                EXPECT_PIXEL(rgba, x, y, diffuse.x * k, diffuse.y * k, diffuse.z * k, tolerance);
                if (a > 0) ++lit;
                if (a > 0 && Length(d) > 0.93f * range && std::fabs(d.x) > 0.8f * range) ++rim;
                if (a == 0) ++dark;
            }
        EXPECT_GT(lit, 1000);
        EXPECT_GT(rim, 20);
        EXPECT_GT(dark, 1000);
        if (HasFailure()) return;
    }
    // Switched off, it lights nothing: the floor keeps the ambient light alone.
    ASSERT_EQ(MVE_EnableLight(lamp, 0), 1);
    MVE_RenderWorld(-1);
    const std::vector<uint8_t> rgba = Pixels();
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            Vec p;
            if (floorAt(x, y, p)) EXPECT_PIXEL(rgba, x, y, diffuse.x * ambient, diffuse.y * ambient, diffuse.z * ambient, 2);
        }
}

// Reflection and refraction are separate amounts of one material, each read from its own key and
// handed to the programs that use it. A reflecting wall shows its colour mixed with a quarter of
// the sky cube; a glass over half of a red-over-blue wall shifts the wall's border down by its
// refraction amount, not by its reflection amount.
TEST_F(RenderTest, ReflectionAndRefractionOfOneMaterial) {
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFFFFFFFF);
    std::string error;
    const std::array<int, 3> paint = {200, 120, 40}, sky = {20, 60, 240};
    auto write = [&](const char *file, std::array<int, 3> c) {
        std::vector<uint8_t> pixels(4 * 4 * 4);
        for (size_t i = 0; i < pixels.size(); i += 4)
            pixels[i] = uint8_t(c[0]), pixels[i + 1] = uint8_t(c[1]), pixels[i + 2] = uint8_t(c[2]), pixels[i + 3] = 255;
        ASSERT_EQ(MVE_PlatformWritePNG(file, pixels.data(), 4, 4, 4, error), 1) << error;
    };
    // The sky cube: the face straight behind the camera (+z) is the one a wall ahead reflects.
    const char *faces[6] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (int i = 0; i < 6; ++i) write(faces[i], i == 4 ? sky : std::array<int, 3>{250, 250, 0});
    const int cube = MVE_LoadCubeMapTexture(-1, "", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5], kNearest, 0, "Sky");
    ASSERT_NE(cube, 0);
    write("paint.png", paint);
    ASSERT_NE(MVE_LoadTextureFile(-1, "paint.png", kNearest, 0, "Paint"), 0);
    ASSERT_NE(MVE_LoadTextureFile(-1, "flat.png", kNearest, 0, "Flat"), 0);
    ASSERT_NE(MVE_LoadTextureFile(-1, "white.png", kNearest, 0, "White"), 0);
    WriteFile("glass.mvd",
              "Material: Mirror { Shader: REFLECTIONNORMAL; Texture[0]: Paint; Texture[1]: Flat; Reflection: 0.25;\n"
              "  Refraction: 60 }\n"
              "Material: Glass { Shader: MASKREFRACTION; Texture[0]: Flat; Texture[1]: White; Shine: 0;\n"
              "  Reflection: 0.7; Refraction: 40 }\n");
    MVE_ParseDefinitionFiles("glass.mvd", MVE_DEFINITION_MATERIAL);
    MVE_MATERIAL *mirror = MVE_Engine().Registries.Materials.GetByName("Mirror");
    ASSERT_NE(mirror, nullptr);
    ASSERT_NE(MVE_Engine().Registries.Materials.GetByName("Glass"), nullptr);
    mirror->ReflectionMap = MVE_GetTexture(cube);

    const int wall = Wall(plane_, MVE_HandleOf(mirror), 5.0f);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            EXPECT_PIXEL(rgba, x, y, (0.75f * paint[0] + 0.25f * sky[0]) / 255, (0.75f * paint[1] + 0.25f * sky[1]) / 255,
                         (0.75f * paint[2] + 0.25f * sky[2]) / 255, 2);
    MVE_FreeObject(wall);

    // Red above the middle of the view, blue below; the glass four units ahead covers the left half.
    Wall(plane_, Surface(0.9f, 0.1f, 0.1f), 10.0f, -20, 20, 0, 20);
    Wall(plane_, Surface(0.1f, 0.1f, 0.9f), 10.0f, -20, 20, -20, 0);
    Wall(plane_, MVE_HandleOf(MVE_Engine().Registries.Materials.GetByName("Glass")), 4.0f, -3, 0, -3, 3);
    MVE_RenderWorld(-1);
    rgba = Pixels();
    // The glass samples the scene 0.4 / 4 of the screen higher: the border moves down by 6 rows.
    auto redRows = [&](int x) {
        int rows = 0;
        for (int y = 0; y < height_; ++y) {
            const auto p = At(rgba, x, y);
            EXPECT_TRUE((p[0] > 200 && p[2] < 40) || (p[2] > 200 && p[0] < 40)) << x << "," << y;
            rows += p[0] > 200 ? 1 : 0;
        }
        return rows;
    };
    for (int x : {5, 20, 35}) EXPECT_EQ(redRows(x), height_ / 2 + 6) << "under the glass, column " << x;
    for (int x : {45, 60, 75}) EXPECT_EQ(redRows(x), height_ / 2) << "beside the glass, column " << x;
}

// Program 4 draws half-transparent green on a quad behind a grey wall (left) and one in front of
// it (right). In render group 1 it is drawn inside the scene, so the wall hides the left quad; in
// group 2 it is drawn over the finished picture, so both show. Whatever the order of moves, each
// quad is blended exactly once, and in no group (-1) not at all.
TEST_F(RenderTest, ProgramsDrawOnceInTheGroupTheyWereMovedTo) {
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFFFFFFFF);
    const int textures = MVE_GetBuiltinShaderHandle(4);
    ASSERT_NE(textures, 0);
    Wall(plane_, Surface(0.5f, 0.5f, 0.5f), 10.0f);
    const int glass = Texture("green.png", 0, 255, 0, 128);
    const int green = MVE_CreateMaterial(-1, glass, 4, "");
    ASSERT_NE(green, 0);
    Wall(plane_, green, 12.0f, -4, -1, -1.5f, 1.5f);  // behind the wall, left of the middle
    Wall(plane_, green, 6.0f, 0.5f, 2, -0.75f, 0.75f);  // in front of it, right of the middle
    const float a = 128 / 255.0f, grey = 0.5f;
    const Vec blended = {(1 - a) * grey, a + (1 - a) * grey, (1 - a) * grey};
    auto expect = [&](const char *step, bool leftShows, bool rightShows) {
        SCOPED_TRACE(step);
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> rgba = Pixels();
        const Vec left = leftShows ? blended : Vec{grey, grey, grey}, right = rightShows ? blended : Vec{grey, grey, grey};
        for (int y = 24; y <= 36; ++y) {
            for (int x = 18; x <= 30; ++x) EXPECT_PIXEL(rgba, x, y, left.x, left.y, left.z, 2);
            for (int x = 49; x <= 61; ++x) EXPECT_PIXEL(rgba, x, y, right.x, right.y, right.z, 2);
        }
        EXPECT_PIXEL(rgba, 40, 5, grey, grey, grey, 2);
    };
    expect("group 1 as built", false, true);
    MVE_AddShaderToRenderGroup(1, textures);
    expect("added to group 1 again", false, true);
    MVE_AddShaderToRenderGroup(2, textures);
    expect("moved to group 2", true, true);
    MVE_AddShaderToRenderGroup(2, textures);
    expect("added to group 2 again", true, true);
    MVE_AddShaderToRenderGroup(-1, textures);
    expect("in no group", false, false);
    MVE_AddShaderToRenderGroup(1, textures);
    expect("back in group 1", false, true);
}

}  // namespace
}  // namespace mvetest
