// Frame rendering checked by pixels: small scenes rendered headless and compared with values
// computed here from the shading formulas (attenuation, range cut-off, sun and shadow visibility,
// emission and glow, background), plus wireframe, debug lines, the frame copy beside a running
// physics thread, and one golden image.
#include "RenderFixture.h"
#include "Render/Light.h"
#include <atomic>
#include <cstdlib>
#include <functional>

namespace mvetest {
namespace {

// One point light over a plane smaller than the view: attenuation inside the range, nothing past
// 0.982 x range, ambient everywhere on the plane, the background colour beside it. Then the same
// light casting shadows with a box between it and the plane: the box's shadow keeps ambient only,
// and the rest of the plane is lit as before.
TEST_F(RenderTest, PointLightAttenuationRangeShadowAndBackground) {
    LookDown(6.0f);
    const Vec diffuse = {0.8f, 0.6f, 0.4f};
    const int ground = Surface(diffuse.x, diffuse.y, diffuse.z);
    Place(plane_, ground, {0, 0, 0}, {6, 1, 6});
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF101010);
    MVE_SetBackgroundColor(0xFF8040C0);
    const Vec light = {1.7f, 2.0f, -0.6f};
    const float range = 4.0f, intensity = 0.9f;
    const Vec color = {1.0f, 192 / 255.0f, 128 / 255.0f};
    const int lamp = MVE_CreateLight(-1, light.x, light.y, light.z, 1);
    ASSERT_NE(lamp, 0);
    MVE_SetLightColor(lamp, 0xFF80C0FF);
    MVE_SetLightIntensity(lamp, intensity);
    MVE_SetLightRange(lamp, range);
    const float ambient = 16 / 255.0f;

    auto expected = [&](Vec p, bool shadowed) {
        const Vec d = light - p;
        const float a = std::max(0.0f, 1.0f - Length(d) / (0.982f * range));
        const float nl = std::max(0.0f, d.y / Length(d));
        const float k = shadowed ? 0.0f : nl * intensity * a;
        return Vec{diffuse.x * (ambient + color.x * k), diffuse.y * (ambient + color.y * k), diffuse.z * (ambient + color.z * k)};
    };

    MVE_RenderWorld(-1);
    std::vector<uint8_t> plain = Pixels();
    int lit = 0, beyond = 0, background = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Vec p = GroundAt(x, y);
            if (std::fabs(p.x) > 3.05f || std::fabs(p.z) > 3.05f) {
                EXPECT_PIXEL(plain, x, y, 0xC0 / 255.0f, 0x40 / 255.0f, 0x80 / 255.0f, 0);
                ++background;
                continue;
            }
            if (std::fabs(p.x) > 2.95f || std::fabs(p.z) > 2.95f) continue;  // the plane's edge
            const Vec e = expected(p, false);
            EXPECT_PIXEL(plain, x, y, e.x, e.y, e.z, 3);
            (Length(light - p) < 0.982f * range ? lit : beyond)++;
        }
    EXPECT_GT(lit, 500);
    EXPECT_GT(beyond, 100);
    EXPECT_GT(background, 200);

    // A box between the light and the plane; its shadow on the plane gets none of the light.
    const Box box = {{0.6f, 0.9f, -1.3f}, {1.2f, 1.1f, -0.5f}};
    Place(cube_, Surface(0.2f, 0.9f, 0.3f), {0.9f, 1.0f, -0.9f}, {0.6f, 0.2f, 0.8f});
    MVE_SetLightShadow(lamp, 1, 0);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> shadowed = Pixels();
    int dark = 0, same = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Vec p = GroundAt(x, y);
            if (std::fabs(p.x) > 2.95f || std::fabs(p.z) > 2.95f || box.Hit(Eye(), p - Eye())) continue;
            if (Length(light - p) >= 0.98f * range) continue;
            // Pixels near the shadow's edge could go either way; the ones well inside or outside cannot.
            int inside = 0;
            for (Vec o : {Vec{0, 0, 0}, Vec{0.08f, 0, 0}, Vec{-0.08f, 0, 0}, Vec{0, 0, 0.08f}, Vec{0, 0, -0.08f}}) {
                const Vec q = {p.x + o.x, 0, p.z + o.z};
                inside += box.Hit(q, light - q) ? 1 : 0;
            }
            if (inside == 5) {
                const Vec e = expected(p, true);
                EXPECT_PIXEL(shadowed, x, y, e.x, e.y, e.z, 3);
                ++dark;
            } else if (inside == 0) {
                const Vec e = expected(p, false);
                EXPECT_PIXEL(shadowed, x, y, e.x, e.y, e.z, 3);
                ++same;
            }
        }
    EXPECT_GT(dark, 20);
    EXPECT_GT(same, 500);
}

// A spot light pointing down lights a disc: attenuation times the cone factor, which falls to
// nothing at the cone's half angle; beyond it only ambient remains.
TEST_F(RenderTest, SpotLightLightsItsCone) {
    LookDown(6.0f);
    const Vec diffuse = {0.9f, 0.7f, 0.5f};
    Place(plane_, Surface(diffuse.x, diffuse.y, diffuse.z), {0, 0, 0}, {40, 1, 40});
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF101010);
    const Vec light = {-0.5f, 3.0f, 0.4f};
    const float range = 8.0f, half = 35.0f;
    const int spot = MVE_CreateLight(-1, light.x, light.y, light.z, 2);
    ASSERT_NE(spot, 0);
    MVE_SetLightRange(spot, range);
    ASSERT_EQ(MVE_SetLightDirection(spot, 0.2f, -1.0f, 0.0f), 1);
    ASSERT_EQ(MVE_SetLightConeAngle(spot, half), 1);
    const Vec axis = Scale(Vec{0.2f, -1.0f, 0.0f}, 1.0f / Length(Vec{0.2f, -1.0f, 0.0f}));
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    const float ambient = 16 / 255.0f;
    int inside = 0, outside = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Vec p = GroundAt(x, y);
            const Vec d = light - p;
            const float angle = std::acos(std::clamp(-Dot(axis, Scale(d, 1.0f / Length(d))), -1.0f, 1.0f));
            const float cone = std::max(0.0f, 1.0f - angle / (half * kPi / 180.0f));
            const float a = std::max(0.0f, 1.0f - Length(d) / (0.982f * range)) * cone;
            const float k = d.y / Length(d) * a;
            EXPECT_PIXEL(rgba, x, y, diffuse.x * (ambient + k), diffuse.y * (ambient + k), diffuse.z * (ambient + k), 3);
            (cone > 0.05f ? inside : outside)++;
        }
    EXPECT_GT(inside, 300);
    EXPECT_GT(outside, 300);
}

// A static shadow-casting light renders its cube once: a caster that moves away leaves its shadow
// behind until the light itself moves.
TEST_F(RenderTest, StaticLightKeepsItsShadowUntilItMoves) {
    LookDown(6.0f);
    Place(plane_, Surface(1, 1, 1), {0, 0, 0}, {40, 1, 40});
    MVE_EnableSun(0);
    const int lamp = MVE_CreateLight(-1, 0, 3, 0, 1);
    MVE_SetLightRange(lamp, 20);
    MVE_SetLightShadow(lamp, 1, 1);
    const int caster = Place(cube_, Surface(1, 1, 1), {1.0f, 1.5f, 0}, {0.5f, 0.5f, 0.5f});
    // The caster's shadow lies beyond it on the ray from the light: around x = 2 on the plane.
    auto shade = [&](const std::vector<uint8_t> &rgba) { return At(rgba, 40 + int(2.0f / (6.0f * 0.41421f * 4.0f / 3.0f) * 40.0f), 30)[0]; };
    MVE_RenderWorld(-1);
    const int dark = shade(Pixels());
    EXPECT_LT(dark, 10);
    MVE_MoveObject(caster, -3.0f, 1.5f, 0, 0);
    MVE_RenderWorld(-1);
    EXPECT_EQ(shade(Pixels()), dark);  // the kept cube still holds the old shadow
    MVE_MoveLight(lamp, 0, 3, 0, 0);
    MVE_RenderWorld(-1);
    EXPECT_GT(shade(Pixels()), 100);   // moved (even in place): the cube is rendered again
}

// The sun on a large plane with two casters: inside the 20 x 20 shadow square a box leaves 4 % of
// the sunlight; the other box stands beyond the square, where nothing is shadowed.
TEST_F(RenderTest, SunShadowInsideAndOutsideTheShadowSquare) {
    LookDown(30.0f);
    const Vec diffuse = {0.7f, 0.5f, 0.9f};
    const int ground = Surface(diffuse.x, diffuse.y, diffuse.z);
    Place(plane_, ground, {0, 0, 0}, {40, 1, 40});
    const int boxes = Surface(1, 1, 1);
    const Box near = {{-5.0f, 3.0f, -2.0f}, {-3.0f, 3.5f, 1.0f}}, far = {{-13.5f, 3.0f, -1.0f}, {-12.0f, 3.5f, 1.0f}};
    for (const Box &b : {near, far})
        Place(cube_, boxes, Scale(Vec{b.lo.x + b.hi.x, b.lo.y + b.hi.y, b.lo.z + b.hi.z}, 0.5f), b.hi - b.lo);
    const Vec sun = Scale(Vec{0.3f, -1.0f, 0.0f}, 1.0f / Length(Vec{0.3f, -1.0f, 0.0f}));
    ASSERT_EQ(MVE_SetSunDirection(0.3f, -1.0f, 0.0f), 1);
    MVE_SetSunColor(0xFFFFE0C0);
    MVE_SetSunIntensity(0.8f);
    MVE_SetAmbientColor(0xFF202020);
    MVE_EnableShadows(1);
    const Vec sunColor = {192 / 255.0f, 224 / 255.0f, 1.0f};
    const float ambient = 32 / 255.0f, nl = -sun.y;
    auto expected = [&](float visibility) {
        const float k = nl * 0.8f * visibility;
        return Vec{diffuse.x * (ambient + sunColor.x * k), diffuse.y * (ambient + sunColor.y * k),
                   diffuse.z * (ambient + sunColor.z * k)};
    };
    // The square lies across the sun: its axes on the ground are z and x scaled by the sun's slope.
    auto inSquare = [&](Vec p, float margin) {
        return std::fabs(p.z) < 10.0f - margin && std::fabs(p.x * -sun.y) < 10.0f - margin;
    };
    auto outSquare = [&](Vec p, float margin) {
        return std::fabs(p.z) > 10.0f + margin || std::fabs(p.x * -sun.y) > 10.0f + margin;
    };
    // With the sun off, ambient alone remains, shadow or not.
    auto expectAmbientOnly = [&] {
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> rgba = Pixels();
        const Vec e = expected(0.0f);
        for (int y = 0; y < height_; y += 7)
            for (int x = 0; x < width_; x += 7) {
                const Vec p = GroundAt(x, y);
                if (near.Hit(Eye(), p - Eye()) || far.Hit(Eye(), p - Eye())) continue;
                EXPECT_PIXEL(rgba, x, y, e.x, e.y, e.z, 2);
            }
    };
    // A fresh engine has no sun: setting its direction, colour and intensity does not light it.
    expectAmbientOnly();

    MVE_EnableSun(1);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    int dark = 0, lit = 0, outside = 0;
    const Vec toSun = Scale(sun, -1.0f);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Vec p = GroundAt(x, y);
            if (near.Hit(Eye(), p - Eye()) || far.Hit(Eye(), p - Eye())) continue;
            int inside = 0;
            for (Vec o : {Vec{0, 0, 0}, Vec{0.15f, 0, 0}, Vec{-0.15f, 0, 0}, Vec{0, 0, 0.15f}, Vec{0, 0, -0.15f}}) {
                const Vec q = {p.x + o.x, 0, p.z + o.z};
                inside += (near.Hit(q, toSun) || far.Hit(q, toSun)) ? 1 : 0;
            }
            if (outSquare(p, 0.3f)) {
                const Vec e = expected(1.0f);
                EXPECT_PIXEL(rgba, x, y, e.x, e.y, e.z, 3);
                if (inside == 5) ++outside;
            } else if (inSquare(p, 0.3f) && (inside == 5 || inside == 0)) {
                const Vec e = expected(inside == 5 ? 0.04f : 1.0f);
                EXPECT_PIXEL(rgba, x, y, e.x, e.y, e.z, 3);
                (inside == 5 ? dark : lit)++;
            }
        }
    EXPECT_GT(dark, 15);
    EXPECT_GT(lit, 1000);
    EXPECT_GT(outside, 3);  // the far box does shadow these pixels' sunward ray, yet they stay lit

    MVE_EnableSun(0);
    expectAmbientOnly();
}

// Shadow casters cut out exactly what their first texture hides. A quad at height 2 whose 2 x 1
// texture is transparent on its +x half shadows the ground with its other half only: under a point
// light and under the sun, also from a 2D array texture and from a mipmapped texture (read by the
// casters without its anisotropy). The same picture without an alpha channel
// shadows with all of the quad. Grass keeps its wind in the sun's pass either way: a wind that
// pushes its far edge down along the sunlight into the ground leaves that part's shadow away.
TEST_F(RenderTest, ShadowCastersCutOutOnlyWhatTheirTextureHides) {
    LookDown(6.0f);
    Place(plane_, Surface(1, 1, 1), {0, 0, 0}, {40, 1, 40});
    MVE_SetAmbientColor(0xFF101010);
    std::string error;
    const uint8_t cut[8] = {0, 0, 0, 0, 255, 255, 255, 255}, solid[6] = {0, 0, 0, 255, 255, 255};
    ASSERT_EQ(MVE_PlatformWritePNG("cut.png", cut, 2, 1, 4, error), 1) << error;
    ASSERT_EQ(MVE_PlatformWritePNG("solid.png", solid, 2, 1, 3, error), 1) << error;
    const int cutTexture = MVE_LoadTextureFile(-1, "cut.png", kNearest, 0, "");
    const int solidTexture = MVE_LoadTextureFile(-1, "solid.png", kNearest, 0, "");
    // 64 x 32 with its left half transparent and a whole mipmap chain: filtered anisotropically.
    std::vector<uint8_t> wide(64 * 32 * 4, 255);
    for (int i = 0; i < 64 * 32; ++i)
        if (i % 64 < 32) wide[size_t(i) * 4 + 3] = 0;
    ASSERT_EQ(MVE_PlatformWritePNG("wide.png", wide.data(), 64, 32, 4, error), 1) << error;
    const int wideTexture = MVE_LoadTextureFile(-1, "wide.png", kNearest, 6, "");
    ASSERT_EQ(MVE_GetTexture(wideTexture)->iAnisotropy, 8);
    const int layers = MVE_CreateTextureArray(-1, 2, 1, 2, kNearest, 0, "");
    ASSERT_EQ(MVE_AddTextureToTextureArray(layers, "cut.png", 0), 1);
    ASSERT_EQ(MVE_AddTextureToTextureArray(layers, "cut.png", 1), 1);
    auto grass = [&](int texture) {
        const int material = MVE_CreateMaterial(-1, texture, 10, "");
        MVE_MATERIAL *m = MVE_GetMaterial(material);
        m->Texture[1] = MVE_GetTexture(flat_);
        m->Texture[2] = MVE_GetTexture(white_);
        m->fReflection = -10.0f;  // wind strength: (0, 0, -5) in view space per unit of vertex group
        m->fRefraction = 0.0f;    // no sway: the wind stands still
        return material;
    };

    // `toCaster` maps a ground point to the quad point on its way to the light. The quad hides the
    // ground below it from the camera (|x|, |z| < 0.75 on the ground); pixels near an edge are left out.
    auto check = [&](int material, const char *what, bool cutsOut, bool wind, std::function<Vec(Vec)> toCaster) {
        SCOPED_TRACE(what);
        const int quad = Place(plane_, material, {0, 2, 0}, {1, 1, 1});
        MVE_RenderWorld(-1);
        const std::vector<uint8_t> rgba = Pixels();
        int dark = 0, lit = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const Vec p = GroundAt(x, y);
                if (std::fabs(p.x) < 0.85f && std::fabs(p.z) < 0.85f) continue;
                const Vec q = toCaster(p);
                const float m = 0.08f;
                if (std::fabs(std::fabs(q.x) - 0.5f) < m || std::fabs(std::fabs(q.z) - 0.5f) < m || std::fabs(q.x) < m ||
                    (wind && std::fabs(q.z) < m))
                    continue;
                const bool onQuad = std::fabs(q.x) < 0.5f && std::fabs(q.z) < 0.5f;
                const bool shadowed = onQuad && !(cutsOut && q.x > 0.0f) && !(wind && q.z > 0.0f);
                const int red = At(rgba, x, y)[0];
                if (shadowed) {
                    EXPECT_LE(red, 30) << "pixel " << x << "," << y << " should lie in the shadow";
                    ++dark;
                } else if (onQuad || std::fabs(q.x) < 1.0f) {
                    EXPECT_GE(red, 60) << "pixel " << x << "," << y << " should be lit";
                    ++lit;
                }
            }
        EXPECT_GT(dark, 10);
        EXPECT_GT(lit, 40);
        MVE_FreeObject(quad);
    };

    MVE_EnableSun(0);
    const Vec light = {-1.5f, 4.0f, 0.0f};
    const int lamp = MVE_CreateLight(-1, light.x, light.y, light.z, 1);
    MVE_SetLightRange(lamp, 20.0f);
    MVE_SetLightIntensity(lamp, 1.0f);
    MVE_SetLightShadow(lamp, 1, 0);
    auto towardsLamp = [&](Vec p) { return Vec{(p.x + light.x) * 0.5f, 2.0f, (p.z + light.z) * 0.5f}; };
    check(MVE_CreateMaterial(-1, cutTexture, 4, ""), "point light, cut-out", true, false, towardsLamp);
    check(MVE_CreateMaterial(-1, solidTexture, 4, ""), "point light, no alpha", false, false, towardsLamp);
    check(MVE_CreateMaterial(-1, layers, 9, ""), "point light, array layers", true, false, towardsLamp);
    check(MVE_CreateMaterial(-1, wideTexture, 4, ""), "point light, anisotropic cut-out", true, false, towardsLamp);
    MVE_FreeLight(lamp);

    // Sunlight along (0.6, -0.8, 0): the quad's shadow lies 1.5 further along x.
    MVE_EnableSun(1);
    ASSERT_EQ(MVE_SetSunDirection(0.75f, -1.0f, 0.0f), 1);
    MVE_SetSunColor(0xFFFFFFFF);
    MVE_SetSunIntensity(0.8f);
    MVE_SetShadowCenter(0, 0, 0);
    MVE_EnableShadows(1);
    auto towardsSun = [](Vec p) { return Vec{p.x - 1.5f, 2.0f, p.z}; };
    check(MVE_CreateMaterial(-1, cutTexture, 4, ""), "sun, cut-out", true, false, towardsSun);
    check(MVE_CreateMaterial(-1, solidTexture, 4, ""), "sun, no alpha", false, false, towardsSun);
    check(MVE_CreateMaterial(-1, layers, 9, ""), "sun, array layers", true, false, towardsSun);
    check(MVE_CreateMaterial(-1, wideTexture, 4, ""), "sun, anisotropic cut-out", true, false, towardsSun);
    // The +z edge's vertex group 1 moves 5 units along the sunlight: 4 down, into the ground from
    // the quad's middle on.
    check(grass(solidTexture), "sun, grass without alpha", false, true, towardsSun);
    check(grass(cutTexture), "sun, grass with a cut-out", true, true, towardsSun);
}

// A ground plane seen at a grazing angle with a texture as a definition gives it by default (no
// mipmaps, nearest texel): every pixel shows exactly the texel at its centre, also towards the
// horizon where a pixel's footprint spans several checker cells. An anisotropic filter would mix
// the cells there (and make the software rasteriser walk thousands of texels per pixel).
TEST_F(RenderTest, GrazingPlaneShowsTheNearestTexel) {
    std::vector<uint8_t> checker(64 * 64 * 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool red = ((x / 8) + (y / 8)) % 2 == 0;
            checker[size_t(y * 64 + x) * 3] = red ? 255 : 0;
            checker[size_t(y * 64 + x) * 3 + 2] = red ? 0 : 255;
        }
    std::string error;
    ASSERT_EQ(MVE_PlatformWritePNG("checker.png", checker.data(), 64, 64, 3, error), 1) << error;
    WriteFile("Ground.mvd", "Texture: Checker { File: checker.png }\n");
    MVE_ParseDefinitionFiles("Ground.mvd", MVE_DEFINITION_TEXTURE);
    const MVE_TEXTURE *texture = MVE_Engine().Registries.Textures.GetByName("Checker");
    ASSERT_NE(texture, nullptr);
    const int repeat = 10;
    const int ground = MVE_CreatePlaneMesh(-1, 1.0f, float(repeat), "");
    MVE_FinishMesh(ground);
    Place(ground, MVE_CreateMaterial(-1, texture->iID, 4, ""), {0, 0, 0}, {40, 1, 40});
    MVE_EnableSun(0);
    const float height = 0.5f, pitch = 8.0f * kPi / 180.0f;
    MVE_MoveCamera(0, height, 0, 0);
    MVE_RotateCamera(-8.0f, 0, 0, 0);
    MVE_RenderWorld(-1);
    const std::vector<uint8_t> rgba = Pixels();

    const float t = std::tan(22.5f * kPi / 180.0f), aspect = float(width_) / float(height_);
    const Vec forward = {0, -std::sin(pitch), -std::cos(pitch)}, up = {0, std::cos(pitch), -std::sin(pitch)};
    // Texel coordinates (s, t) of the ground under a pixel centre; false above the horizon or past the far plane.
    auto texel = [&](float px, float py, float &s, float &tt) {
        const float nx = 2.0f * px / width_ - 1.0f, ny = 1.0f - 2.0f * py / height_;
        const Vec d = {nx * t * aspect, forward.y + ny * t * up.y, forward.z + ny * t * up.z};
        if (d.y >= -1e-4f) return false;
        const float k = height / -d.y;
        if (k > 120.0f || std::fabs(k * d.x) > 19.0f || std::fabs(k * d.z) > 19.0f) return false;
        s = float(repeat) * (0.5f - k * d.x / 40.0f) * 64.0f;
        tt = float(repeat) * (0.5f - k * d.z / 40.0f) * 64.0f;
        return true;
    };
    auto nearBorder = [](float c) {
        const float f = std::fmod(c, 8.0f);
        return f < 0.25f || f > 7.75f;
    };
    int checked = 0, wide = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            float s = 0, tt = 0, s2 = 0, t2 = 0;
            if (!texel(x + 0.5f, y + 0.5f, s, tt) || nearBorder(s) || nearBorder(tt)) continue;
            const bool red = ((int(std::floor(s)) % 64 / 8) + (int(std::floor(tt)) % 64 / 8)) % 2 == 0;
            EXPECT_PIXEL(rgba, x, y, red ? 1.0f : 0.0f, 0.0f, red ? 0.0f : 1.0f, 3);
            ++checked;
            if (texel(x + 0.5f, y + 1.5f, s2, t2) && std::fabs(t2 - tt) > 16.0f) ++wide;  // two cells per pixel
        }
    EXPECT_GT(checked, 1500);
    EXPECT_GT(wide, 100);
}

// Emission is added once, with and without the sun, and the glow adds the blurred emission on top.
TEST_F(RenderTest, EmissionOnceAndGlow) {
    LookDown(5.0f);
    const Vec d = {0.5f, 0.3f, 0.2f};
    const float emission = 0.4f, ambient = 16 / 255.0f;
    // The emitting material comes from a definition file, as a game's would.
    WriteFile("Glow.mvd", "Texture: White { File: white.png; Filter: NEAREST }\n"
                          "Texture: Flat { File: flat.png; Filter: NEAREST }\n"
                          "Material: Glowing { Shader: NORMALMAP; Texture[0]: White; Texture[1]: Flat;\n"
                          "                    Color: 0.5, 0.3, 0.2; Shine: 0; Emission: 0.4 }\n");
    MVE_ParseDefinitionFiles("Glow.mvd", MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    const MVE_MATERIAL *glowing = MVE_Engine().Registries.Materials.GetByName("Glowing");
    ASSERT_NE(glowing, nullptr);
    EXPECT_FLOAT_EQ(glowing->fReserved, emission);
    Place(plane_, glowing->iID, {0, 0, 0}, {40, 1, 40});
    MVE_SetAmbientColor(0xFF101010);
    MVE_EnableSun(0);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    for (int y = 5; y < height_; y += 10)
        for (int x = 5; x < width_; x += 10)
            EXPECT_PIXEL(rgba, x, y, d.x * (emission + ambient), d.y * (emission + ambient), d.z * (emission + ambient), 2);

    MVE_EnableSun(1);  // straight down onto the plane: full sunlight plus the same emission
    MVE_RenderWorld(-1);
    rgba = Pixels();
    EXPECT_PIXEL(rgba, 40, 30, d.x * (emission + ambient + 1), d.y * (emission + ambient + 1), d.z * (emission + ambient + 1), 2);

    // Glow: diffuse x emission x 0.4 into an 8-bit target, blurred twice (the taps sum to 1, each
    // blur triples), added over the scene.
    MVE_EnableSun(0);
    MVE_SetGlow(1);
    MVE_RenderWorld(-1);
    rgba = Pixels();
    auto stored = [](float v) { return std::round(std::clamp(v, 0.0f, 1.0f) * 255.0f) / 255.0f; };
    auto glow = [&](float c) { return stored(stored(stored(c * emission * 0.4f) * 3.0f) * 3.0f); };
    auto scene = [&](float c) { return stored(c * (emission + ambient)); };
    EXPECT_PIXEL(rgba, 40, 30, scene(d.x) + glow(d.x), scene(d.y) + glow(d.y), scene(d.z) + glow(d.z), 2);
}

// A wireframe material draws lines in the forward groups and fills in the G-Buffer group; an
// invisible object is skipped but keeps its place in the lists.
TEST_F(RenderTest, WireframeOnlyInForwardGroupsAndVisibility) {
    LookDown(6.0f);
    MVE_SetBackgroundColor(0xFF000000);
    MVE_EnableSun(1);
    const int flat = MVE_CreateMaterial(-1, 0, 3, "");  // "Draw Mesh", forward group 1: flat colour
    MVE_MATERIAL *m = MVE_GetMaterial(flat);
    ASSERT_NE(m, nullptr);
    m->v4fColor = {1.0f, 0.0f, 0.0f, 1.0f};
    const int box = Place(cube_, flat, {0, 0, 0}, {1.5f, 1.5f, 1.5f});
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 40, 30, 1.0f, 0.0f, 0.0f, 1);

    m->iWireframe = 1;
    MVE_RenderWorld(-1);
    std::vector<uint8_t> lines = Pixels();
    EXPECT_PIXEL(lines, 44, 28, 0.0f, 0.0f, 0.0f, 0);  // inside the faces, off every edge and diagonal
    int red = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) red += At(lines, x, y)[0] > 200 ? 1 : 0;
    EXPECT_GT(red, 60);   // the outlines and diagonals
    EXPECT_LT(red, 250);  // far from the filled face (about 420 pixels)

    // The same flag on a G-Buffer material: filled, lit by the sun.
    const int lit = Surface(0.5f, 0.5f, 0.5f);
    MVE_GetMaterial(lit)->iWireframe = 1;
    MVE_SetObjectMaterial(box, lit);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 40, 30, 0.5f, 0.5f, 0.5f, 2);

    ASSERT_EQ(MVE_SetObjectVisible(box, 0), 1);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 40, 30, 0.0f, 0.0f, 0.0f, 0);
    MVE_SetObjectVisible(box, 1);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 40, 30, 0.5f, 0.5f, 0.5f, 2);
}

// The camera turns like the demonstration turns it: heading about the world's vertical (mode 5),
// tilt about its own horizontal axis (mode 3); moves in its own frame (mode 3); rays through pixels.
TEST_F(RenderTest, CameraTurnsMovesAndRays) {
    MVE_MoveCamera(1, 2, 3, 0);
    MVE_RotateCamera(0, 90, 0, 5);   // now looking along -x
    MVE_RotateCamera(-30, 0, 0, 3);  // and 30 degrees down
    MVE_RotateCamera(0, 0, 0, 5);
    const v4f ray = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    const float c = std::cos(30 * kPi / 180), sn = std::sin(30 * kPi / 180);
    EXPECT_NEAR(ray.x, -c, 1e-5f);
    EXPECT_NEAR(ray.y, -sn, 1e-5f);
    EXPECT_NEAR(ray.z, 0, 1e-5f);
    EXPECT_EQ(ray.w, 0.0f);
    // Two more heading turns of 45 degrees about the world's vertical keep the tilt: no roll creeps in.
    MVE_RotateCamera(0, 45, 0, 5);
    MVE_RotateCamera(0, 45, 0, 5);
    const v4f turned = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    EXPECT_NEAR(turned.x, 0, 1e-5f);
    EXPECT_NEAR(turned.y, -sn, 1e-5f);
    EXPECT_NEAR(turned.z, c, 1e-5f);
    // Forward in the camera's own frame moves along the view ray.
    MVE_MoveCamera(0, 0, -2, 3);
    v4f p;
    ASSERT_EQ(MVE_GetCameraPosition(&p, 0), &p);
    EXPECT_NEAR(p.x, 1, 1e-5f);
    EXPECT_NEAR(p.y, 2 - 2 * sn, 1e-5f);
    EXPECT_NEAR(p.z, 3 + 2 * c, 1e-5f);
    EXPECT_EQ(p.w, 1.0f);
    EXPECT_NEAR(MVE_GetCameraPosition(nullptr, 4)->z, 3 + 2 * c, 1e-5f);

    // A corner pixel's ray: 60 degrees of view, an 80 x 60 screen, the camera level along -z.
    MVE_RotateCamera(0, 0, 0, 0);
    ASSERT_EQ(MVE_SetFieldOfView(60), 1);
    const v4f corner = *MVE_GetCameraRay(0, 0);
    const float t = std::tan(30 * kPi / 180);
    const Vec d = {-t * 80.0f / 60.0f, t, -1.0f};
    EXPECT_NEAR(corner.x, d.x / Length(d), 1e-5f);
    EXPECT_NEAR(corner.y, d.y / Length(d), 1e-5f);
    EXPECT_NEAR(corner.z, d.z / Length(d), 1e-5f);
    // Refused settings change nothing.
    EXPECT_EQ(MVE_SetFieldOfView(180), 0);
    EXPECT_EQ(MVE_SetNearPlane(500), 0);
    EXPECT_EQ(MVE_SetFarPlane(0.05f), 0);
    EXPECT_FLOAT_EQ(MVE_Engine().Shader.Camera.fFieldOfView, 60.0f);
    EXPECT_FLOAT_EQ(MVE_Engine().Shader.Camera.fNear, 0.1f);
    EXPECT_FLOAT_EQ(MVE_Engine().Shader.Camera.fFar, 128.0f);
    EXPECT_EQ(MVE_SetFarPlane(200), 1);
    EXPECT_FLOAT_EQ(MVE_Engine().Shader.Camera.fFar, 200.0f);
}

// Lights are entries of their own registry: handles, static IDs, bad input refused with a red row.
TEST_F(RenderTest, LightProceduresAndBadInput) {
    const int handle = MVE_CreateLight(-1, 1, 2, 3, 2);
    ASSERT_NE(handle, 0);
    EXPECT_NE(static_cast<uint32_t>(handle) & 0xFFFF0000u, 0u);
    const int fixed = MVE_CreateLight(27, 0, 5, 0, 1);
    ASSERT_NE(fixed, 0);
    EXPECT_EQ(MVE_SetLightRange(27, 100), 1);  // the static ID and the handle both reach it
    EXPECT_EQ(MVE_GetLight(fixed)->fRange, 100.0f);
    EXPECT_EQ(MVE_MoveLight(fixed, 5, 5, 5, 0), 1);
    EXPECT_EQ(MVE_MoveLight(27, 1, 0, 0, 1), 1);
    EXPECT_EQ(MVE_GetLight(27)->v4fPosition.x, 6.0f);
    EXPECT_EQ(MVE_GetLight(27)->Header.iKind, 3);
    EXPECT_EQ(MVE_CreateLight(-1, 0, 0, 0, 3), 0);
    EXPECT_EQ(MVE_SetLightRange(27, -1), 0);
    EXPECT_EQ(MVE_SetLightRange(27, std::nanf("")), 0);
    EXPECT_EQ(MVE_GetLight(27)->fRange, 100.0f);
    MVE_FreeLight(handle);
    EXPECT_EQ(MVE_SetLightColor(handle, 0xFFFFFFFF), 0);  // stale handle
    EXPECT_EQ(MVE_SetSunDirection(0, 0, 0), 0);
    EXPECT_NE(ReadFile("MVE LogFile.html").find("Fail: Light"), std::string::npos);
}

// Without a G-Buffer nothing is lit, yet the frame still shows the background and forward work.
TEST_F(RenderTest, WithoutGBufferForwardWorkStillDraws) {
    LookDown(6.0f);
    MVE_SetBackgroundColor(0xFF204060);
    const int flat = MVE_CreateMaterial(-1, 0, 3, "");
    MVE_GetMaterial(flat)->v4fColor = {0.0f, 1.0f, 0.0f, 1.0f};
    Place(cube_, flat, {0, 0, 0}, {1, 1, 1});
    Place(plane_, Surface(1, 1, 1), {0, -1, 0}, {40, 1, 40});  // G-Buffer work: not drawn
    MVE_Engine().GBuffer.iReady = 0;
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, 40, 30, 0.0f, 1.0f, 0.0f, 0);
    EXPECT_PIXEL(rgba, 2, 2, 0x60 / 255.0f, 0x40 / 255.0f, 0x20 / 255.0f, 0);
    MVE_Engine().GBuffer.iReady = 1;
}

// A sky fills the pixels without geometry, tinted by its colour; surfaces keep their light.
TEST_F(RenderTest, SkyFillsOnlyEmptyPixels) {
    LookDown(6.0f);
    const char *faces[6] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (const char *face : faces) Texture(face, 40, 120, 200, 255);
    const int cube = MVE_LoadCubeMapTexture(-1, "", faces[0], faces[1], faces[2], faces[3], faces[4], faces[5], kNearest, 0, "");
    ASSERT_NE(cube, 0);
    MVE_SetBackgroundColor(0xFF0000FF);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF404040);
    Place(plane_, Surface(1.0f, 1.0f, 1.0f), {0, 0, 0}, {3, 1, 3});  // the middle of the view only
    EXPECT_EQ(MVE_SetSky(white_, 0xFFFFFFFF), 0);                  // not a cube map: refused
    ASSERT_EQ(MVE_SetSky(cube, 0xFF8080FF), 1);                   // red kept, green and blue halved
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, 2, 2, 40 / 255.0f, 120 / 255.0f * 128 / 255.0f, 200 / 255.0f * 128 / 255.0f, 2);
    EXPECT_PIXEL(rgba, 40, 30, 64 / 255.0f, 64 / 255.0f, 64 / 255.0f, 2);

    // A sky mesh half a unit below the eye (0.4 across): over the sky, under the geometry, tinted by
    // its own colour. It spans 0.72 of the half-width, the plane 0.45: column 63 shows the mesh.
    const int cloud = MVE_CreateMesh(-1, "Cloud");
    ASSERT_EQ(MVE_AddMeshToMesh(cloud, plane_, 0, -0.5f, 0, 0, 0, 0, 0.4f, 1, 0.4f, -1), 0);
    EXPECT_EQ(MVE_AddSkyMesh(cloud, 0xFF20FF40), 0);  // not finished yet: refused
    ASSERT_EQ(MVE_FinishMesh(cloud), 1);
    ASSERT_EQ(MVE_AddSkyMesh(cloud, 0xFF20FF40), 1);
    MVE_RenderWorld(-1);
    rgba = Pixels();
    EXPECT_PIXEL(rgba, 63, 30, 40 / 255.0f * 0x40 / 255.0f, 120 / 255.0f, 200 / 255.0f * 0x20 / 255.0f, 2);
    EXPECT_PIXEL(rgba, 2, 2, 40 / 255.0f, 120 / 255.0f * 128 / 255.0f, 200 / 255.0f * 128 / 255.0f, 2);
    EXPECT_PIXEL(rgba, 40, 30, 64 / 255.0f, 64 / 255.0f, 64 / 255.0f, 2);
    ASSERT_EQ(MVE_AddSkyMesh(cloud, 0xFFFF2040), 1);  // added again: a new colour, still one mesh
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 63, 30, 40 / 255.0f * 0x40 / 255.0f, 120 / 255.0f * 0x20 / 255.0f, 200 / 255.0f, 2);
    MVE_FreeMesh(cloud);  // a released mesh drops out of the list
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 63, 30, 40 / 255.0f, 120 / 255.0f * 128 / 255.0f, 200 / 255.0f * 128 / 255.0f, 2);

    // A sky colour of alpha 0.25 lets three quarters of the background through, once.
    ASSERT_EQ(MVE_SetSky(cube, 0x40FFFFFF), 1);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 2, 2, 0.25f * 40 / 255.0f + 0.75f, 0.25f * 120 / 255.0f, 0.25f * 200 / 255.0f, 2);

    MVE_SetSky(0, 0);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 2, 2, 1.0f, 0.0f, 0.0f, 0);
}

// A strip mesh (4 x 3, off centre) is drawn first and writes no depth: a box below it still covers
// it, and both are lit by ambient light. The frame goes to a framebuffer of the caller's: the
// picture lands there and the screen's back buffer keeps what it had.
TEST_F(RenderTest, StripMeshUnderEveryObjectIntoCallersFramebuffer) {
    LookDown(6.0f);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF404040);
    MVE_SetBackgroundColor(0xFFA06030);
    const float a = 64 / 255.0f;
    const int ground = MVE_CreateMesh(-1, "Ground");
    ASSERT_EQ(MVE_AddMeshToMesh(ground, plane_, -0.5f, 0, 0.25f, 0, 0, 0, 4, 1, 3, -1), 0);
    ASSERT_EQ(MVE_FinishMesh(ground), 1);
    const int green = Surface(0.2f, 0.8f, 0.4f);
    EXPECT_EQ(MVE_AddStripMesh(ground, 0x7FFF1234), 0);  // no such material
    EXPECT_EQ(MVE_AddStripMesh(0x7FFF1234, green), 0);   // no such mesh
    ASSERT_EQ(MVE_AddStripMesh(ground, green), 1);
    Place(cube_, Surface(0.9f, 0.1f, 0.1f), {1.0f, -2.0f, 0.0f}, {1, 1, 1});  // top face 7.5 below the eye

    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint target = 0, color = 0;
    gl.glGenTextures(1, &color);
    gl.glBindTexture(GL_TEXTURE_2D, color);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width_, height_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    gl.glGenFramebuffers(1, &target);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, target);
    gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    ASSERT_EQ(gl.glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.glClearColor(1, 0, 1, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);

    MVE_RenderWorld(int(target));
    std::vector<uint8_t> rows(size_t(width_) * size_t(height_) * 4), rgba(rows.size());
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, target);
    gl.glReadBuffer(GL_COLOR_ATTACHMENT0);
    gl.glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    for (int y = 0; y < height_; ++y)
        std::copy_n(rows.data() + size_t(height_ - 1 - y) * size_t(width_) * 4, size_t(width_) * 4,
                    rgba.data() + size_t(y) * size_t(width_) * 4);
    EXPECT_PIXEL(rgba, 49, 30, 0.9f * a, 0.1f * a, 0.1f * a, 2);  // the box, below the strip
    EXPECT_PIXEL(rgba, 21, 35, 0.2f * a, 0.8f * a, 0.4f * a, 2);  // (-1.5, 0, 0.5): the strip
    EXPECT_PIXEL(rgba, 1, 1, 0x30 / 255.0f, 0x60 / 255.0f, 0xA0 / 255.0f, 0);  // (-3.2, 0, -2.5): beside it
    EXPECT_PIXEL(rgba, 78, 58, 0x30 / 255.0f, 0x60 / 255.0f, 0xA0 / 255.0f, 0);
    EXPECT_PIXEL(Pixels(), 40, 30, 1.0f, 0.0f, 1.0f, 0);  // the screen was not drawn into

    EXPECT_EQ(MVE_RemoveBackdropMesh(ground), 1);
    EXPECT_EQ(MVE_RemoveBackdropMesh(ground), 0);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 21, 35, 0x30 / 255.0f, 0x60 / 255.0f, 0xA0 / 255.0f, 0);
    gl.glDeleteFramebuffers(1, &target);
    gl.glDeleteTextures(1, &color);
}

// Freeing a program that materials use leaves them drawing nothing (the frame keeps its background
// and the objects of other programs); a program number without a program never names the shader
// that happens to have static ID 0.
TEST_F(RenderTest, FreedProgramLeavesItsMaterialsUndrawn) {
    LookDown(6.0f);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF404040);
    MVE_SetBackgroundColor(0xFF000080);
    Place(plane_, Surface(1, 1, 1), {-1.5f, 0, 0}, {2, 1, 2});
    const int flat = MVE_CreateMaterial(-1, 0, 3, "");
    MVE_GetMaterial(flat)->v4fColor = {0.0f, 1.0f, 0.0f, 1.0f};
    Place(cube_, flat, {1.5f, 0, 0}, {1, 1, 1});
    const int zero = MVE_CreateShader(0, 1, "Static zero");
    ASSERT_NE(zero, 0);
    EXPECT_EQ(zero, MVE_GetShaderHandle(0));
    EXPECT_EQ(MVE_GetBuiltinShaderHandle(14), 0);
    EXPECT_EQ(MVE_GetBuiltinShader(14), nullptr);
    MVE_RenderWorld(-1);
    EXPECT_PIXEL(Pixels(), 21, 30, 0.25f, 0.25f, 0.25f, 2);
    MVE_FreeShader(MVE_GetBuiltinShaderHandle(5));
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, 21, 30, 0.5f, 0, 0, 1);   // the plane's program is gone
    EXPECT_PIXEL(rgba, 59, 30, 0, 1, 0, 0);      // the cube's forward program still draws
}

// Objects wholly outside the view are left out, with the same picture: a 12-unit bar whose centre
// lies beyond the left edge still shows its end, a cube far to the side is not drawn. A light's
// shadow cube leaves out what lies beyond its range and keeps every shadow inside it.
TEST_F(RenderTest, CullingLeavesOutOnlyWhatCannotShow) {
    LookDown(6.0f);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF404040);
    MVE_SetBackgroundColor(0xFF000000);
    const float a = 64 / 255.0f;
    Place(cube_, Surface(0.2f, 0.6f, 1.0f), {-9.0f, 0, 0}, {12.0f, 0.5f, 0.5f});  // x from -15 to -3
    Place(cube_, Surface(1, 1, 1), {40.0f, 0, 0}, {1, 1, 1});
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, 1, 30, 0.2f * a, 0.6f * a, 1.0f * a, 2);  // the bar's end at x = -3.1
    EXPECT_PIXEL(rgba, 8, 30, 0, 0, 0, 0);                       // beside it: nothing
    EXPECT_EQ(MVE_Engine().Render.Frame.uCulled, 1u);

    // A shadow-casting light at (0, 3, 0) with range 4 over a plane: the bar reaches into its range
    // and is drawn into its cube, the far cube is not (its shadows are checked by the other tests).
    const int light = MVE_CreateLight(-1, 0, 3, 0, 1);
    MVE_SetLightRange(light, 4.0f);
    MVE_SetLightShadow(light, 1, 0);
    Place(plane_, Surface(1, 1, 1), {0, -1, 0}, {40, 1, 40});
    MVE_RenderWorld(-1);
    EXPECT_EQ(MVE_Engine().Render.Frame.uCulled, 1u + 6u);  // the far cube: out of view, and out of all six faces
}

// Debug lines: vertex order of the primitives, the line matrix, chunked drawing and a drawn line.
TEST_F(RenderTest, DebugLinesOrderMatrixChunksAndPixels) {
    MVE_LINE_STATE &l = MVE_Engine().Lines;
    MVE_DrawBox(0, 0, 0, 1, 2, 3, 0xFF00FF00);
    ASSERT_EQ(MVE_GetLineVertexCount(), 24);
    const float expect[24][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 2, 0}, {1, 2, 0}, {0, 2, 0}, {0, 2, 0}, {0, 0, 0},
                                 {0, 0, 3}, {1, 0, 3}, {1, 0, 3}, {1, 2, 3}, {1, 2, 3}, {0, 2, 3}, {0, 2, 3}, {0, 0, 3},
                                 {0, 0, 0}, {0, 0, 3}, {1, 0, 0}, {1, 0, 3}, {1, 2, 0}, {1, 2, 3}, {0, 2, 0}, {0, 2, 3}};
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(l.Vertex[i].v4fPosition.x, expect[i][0]) << i;
        EXPECT_EQ(l.Vertex[i].v4fPosition.y, expect[i][1]) << i;
        EXPECT_EQ(l.Vertex[i].v4fPosition.z, expect[i][2]) << i;
        EXPECT_EQ(l.Vertex[i].v4fColor.y, 1.0f);
    }
    MVE_DrawAxisCross(1, 1, 1, 0.5f);
    EXPECT_FLOAT_EQ(l.Vertex[24].v4fColor.x, 1.0f);
    EXPECT_FLOAT_EQ(l.Vertex[24].v4fColor.w, 192 / 255.0f);
    EXPECT_EQ(l.Vertex[26].v4fPosition.y, 0.5f);
    MVE_DrawSphere(0, 0, 0, 2, 0xFFFFFFFF);
    ASSERT_EQ(MVE_GetLineVertexCount(), 24 + 6 + 360);
    for (int i = 30; i < 390; ++i) {
        const v4f &p = l.Vertex[i].v4fPosition;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 2.0f, 1e-4f) << i;
    }
    m4f move = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1}};
    MVE_SetLineMatrix(&move);
    MVE_DrawLine(0, 0, 0, 1, 0, 0, 0);
    MVE_SetLineMatrix(nullptr);
    MVE_DrawLine(0, 0, 0, 1, 0, 0, 0);
    EXPECT_EQ(l.Vertex[390].v4fPosition.x, 5.0f);
    EXPECT_EQ(l.Vertex[391].v4fPosition.x, 6.0f);
    EXPECT_EQ(l.Vertex[392].v4fPosition.x, 0.0f);
    EXPECT_EQ(l.Vertex[393].v4fPosition.x, 1.0f);
    EXPECT_EQ(l.Vertex[393].v4fColor.w, 1.0f);  // alpha byte 0 reads as opaque

    // 10000 vertices: one full chunk and 1808 more; the frame empties the array.
    for (int i = MVE_GetLineVertexCount(); i < 10000; i += 2) MVE_DrawLine(0, 0, 0, 0, 1, 0, 0xFFFFFFFF);
    ASSERT_EQ(MVE_GetLineVertexCount(), 10000);
    MVE_RenderWorld(-1);
    EXPECT_EQ(l.iChunks, 2);
    EXPECT_EQ(MVE_GetLineVertexCount(), 0);
    MVE_RenderWorld(-1);
    EXPECT_EQ(l.iChunks, 2);  // nothing drawn: the count of the last pass stands
    EXPECT_EQ(l.iLast, -1);

    // A red line along x lands on pixel row 20 of a camera looking straight down.
    LookDown(30.0f);
    const float z = -30.0f * (1.0f - 41.0f / 60.0f) * std::tan(22.5f * kPi / 180.0f);
    MVE_DrawLine(-100, 0, z, 100, 0, z, 0xFF0000FF);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    EXPECT_PIXEL(rgba, 40, 20, 1.0f, 0.0f, 0.0f, 1);
    EXPECT_PIXEL(rgba, 40, 10, 0.0f, 0.0f, 0.0f, 0);
}

// The body display: per object a wire sphere (360) or the box of each leaf (24) plus its axis
// cross (6), a segment per joint, and the physics bounds (24) last, in opaque red.
TEST_F(RenderTest, BodyDisplayDrawsEveryBodyJointAndTheBounds) {
    MVE_SetPhysicsThread(0);
    const int sphere = Place(cube_, Surface(1, 1, 1), {0, 5, 0}, {1, 1, 1});
    const int box = Place(cube_, Surface(1, 1, 1), {3, 5, 0}, {2, 1, 1});
    ASSERT_EQ(MVE_SetObjectBody(sphere, MVE_SHAPE_SPHERE, 1.0f), 1);
    ASSERT_EQ(MVE_SetObjectBody(box, MVE_SHAPE_BOX, 1.0f), 1);
    MVE_SetObjectMass(sphere, 1.0f);
    ASSERT_NE(MVE_CreateJoint(-1, 0, sphere, 1, 0, 0, box, -1, 0, 0, 100, 0), 0);
    MVE_DrawBodies(0);
    EXPECT_EQ(MVE_GetLineVertexCount(), 0);
    MVE_DrawBodies(1);
    ASSERT_EQ(MVE_GetLineVertexCount(), (360 + 6) + (24 + 6) + 2 + 24);
    const MVE_LINE_STATE &l = MVE_Engine().Lines;
    const MVE_LINE_VERTEX &last = l.Vertex[size_t(MVE_GetLineVertexCount() - 1)];
    EXPECT_EQ(last.v4fColor.x, 1.0f);
    EXPECT_EQ(last.v4fColor.y, 0.0f);
    EXPECT_EQ(last.v4fColor.w, 1.0f);
    EXPECT_EQ(std::fabs(last.v4fPosition.x), 20.0f);
    // The box body drawn in its object's frame: its leaf box stretched to x 2..4 by the scale.
    float lo = 1e9f, hi = -1e9f;
    for (int i = 366; i < 390; ++i) {
        lo = std::min(lo, l.Vertex[size_t(i)].v4fPosition.x);
        hi = std::max(hi, l.Vertex[size_t(i)].v4fPosition.x);
        EXPECT_EQ(l.Vertex[size_t(i)].v4fColor.z, 1.0f);  // cyan
        EXPECT_EQ(l.Vertex[size_t(i)].v4fColor.x, 0.0f);
    }
    EXPECT_NEAR(lo, 2.0f, 1e-4f);
    EXPECT_NEAR(hi, 4.0f, 1e-4f);
    EXPECT_EQ(l.iMatrix, 0);  // the caller's line matrix is left as it was
}

// Frames drawn while the physics thread runs and a collision callback frees objects: the frame
// works from its own copy, so nothing it draws can be freed under it.
std::atomic<int> g_freed{0};
int FreeOther(int, int other) {
    if (MVE_IsObject(other) && g_freed < 40) {
        MVE_FreeObject(other);
        ++g_freed;
    }
    return 0;
}

TEST_F(RenderTest, FramesBesideThePhysicsThreadWhileCallbacksFreeObjects) {
    LookDown(20.0f);
    MVE_SetGravity(0, -9.81f, 0);
    const int ground = Surface(0.5f, 0.5f, 0.5f);
    const int floor = Place(cube_, ground, {0, -0.5f, 0}, {30, 1, 30});
    MVE_SetObjectBody(floor, MVE_SHAPE_BOX, 1.0f);
    MVE_SetObjectMass(floor, 0.0f);
    MVE_SetObjectCallback(floor, FreeOther);
    const int sphere = MVE_CreateSphereMesh(-1, 0.5f, 8, 4, "");
    MVE_FinishMesh(sphere);
    g_freed = 0;
    for (int i = 0; i < 60; ++i) {
        const int ball = Place(sphere, ground, {float(i % 8) - 4.0f, 0.6f + 0.02f * float(i), float(i / 8) - 4.0f}, {1, 1, 1});
        MVE_SetObjectBody(ball, MVE_SHAPE_SPHERE, 1.0f);
        MVE_SetObjectMass(ball, 1.0f);
    }
    const int lamp = MVE_CreateLight(-1, 0, 5, 0, 1);
    MVE_SetLightRange(lamp, 30);
    MVE_SetLightShadow(lamp, 1, 0);
    for (int frame = 0; frame < 30 && g_freed < 40; ++frame) MVE_RenderWorld(-1);
    EXPECT_GT(g_freed.load(), 0);
    EXPECT_EQ(MVE_GetObjectCount(0), 61 - g_freed.load());
    MVE_RenderWorld(-1);
}

// The golden image is wide like the demonstration's window.
class RenderGoldenTest : public RenderTest {
  protected:
    RenderGoldenTest() {
        width_ = 160;
        height_ = 90;
    }
};

// A small scene like the demonstration's, against a stored image. Regenerate on purpose only:
// MVE_UPDATE_GOLDEN=1 writes the file instead of comparing.
TEST_F(RenderGoldenTest, DemonstrationLikeScene) {
    const std::filesystem::path golden = std::filesystem::path(MVE_TEST_GOLDEN) / "demo-scene.png";
    MVE_SetBackgroundColor(0xFF808080);
    MVE_EnableSun(0);
    MVE_SetAmbientColor(0xFF101010);
    MVE_EnableShadows(1);
    MVE_SetGlow(1);
    MVE_SetFarPlane(200);
    MVE_SetFieldOfView(60);
    MVE_MoveCamera(0, 4, 16, 0);
    const int block = Surface(0.55f, 0.5f, 0.45f);
    const int ball = Surface(0.9f, 0.35f, 0.2f, 0.3f);
    Place(cube_, block, {0, 8, -4}, {4, 1.5f, 2.5f});
    const int sphere = MVE_CreateSphereMesh(-1, 1.0f, 36, 18, "");
    MVE_FinishMesh(sphere);
    for (int i = -5; i <= 5; ++i) Place(sphere, ball, {float(i) * 1.1f, 10.0f - 0.05f * float(i * i), -4}, {0.5f, 0.5f, 0.5f});
    Place(plane_, block, {0, 0, -4}, {40, 1, 40});
    Place(cube_, ball, {2.5f, 0.75f, 2.0f}, {1.0f, 1.5f, 2.0f});  // below the light: its shadow falls towards the camera's left
    const int lamp = MVE_CreateLight(27, 0, 5, 0, 1);
    MVE_SetLightColor(lamp, 0xFFFFFFFF);
    MVE_SetLightShadow(lamp, 1, 0);
    MVE_SetLightIntensity(lamp, 0.8f);
    MVE_SetLightRange(lamp, 100);
    MVE_MoveLight(lamp, 5, 5, 5, 0);
    MVE_RenderWorld(-1);
    std::vector<uint8_t> rgba = Pixels();
    if (const char *update = std::getenv("MVE_UPDATE_GOLDEN"); update && *update == '1') {
        std::filesystem::create_directories(golden.parent_path());
        std::string error;
        ASSERT_EQ(MVE_PlatformWritePNG(golden.c_str(), rgba.data(), width_, height_, 4, error), 1) << error;
        GTEST_SKIP() << "golden image written to " << golden;
    }
    MVE_IMAGE image;
    std::string error;
    ASSERT_EQ(MVE_PlatformLoadImage(golden.c_str(), image, error), 1) << error;
    ASSERT_EQ(image.iWidth, width_);
    ASSERT_EQ(image.iHeight, height_);
    ASSERT_EQ(image.iBytesPerPixel, 4);
    int off = 0;
    double sum = 0;
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 == 3) continue;
        const int diff = std::abs(int(rgba[i]) - int(image.pPixels[i]));
        sum += diff;
        off += diff > 8 ? 1 : 0;
    }
    EXPECT_LE(off, int(rgba.size() / 4 / 200)) << "pixels differ by more than 8 levels";
    EXPECT_LT(sum / double(rgba.size() / 4 * 3), 1.0);
}

}  // namespace
}  // namespace mvetest
