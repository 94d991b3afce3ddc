// The fixture of the frame-rendering tests: a small headless screen, white and flat-normal
// textures, a plane and a box mesh, lit "Normal Mapping" surfaces made to order, a camera looking
// straight down, and the plane point every pixel sees, to compute expected pixels from.
#pragma once
#include "GLFixture.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <array>
#include <cmath>

namespace mvetest {

inline constexpr float kPi = 3.14159265358979f;
inline constexpr int kNearest = 0x2600;

struct Vec {
    float x, y, z;
};
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Length(Vec a) { return std::sqrt(Dot(a, a)); }
inline Vec Scale(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }

struct Box {
    Vec lo, hi;
    // Does the ray from `o` along `d` (t > 0) pass through the box?
    bool Hit(Vec o, Vec d) const {
        float t0 = 1e-4f, t1 = 1e30f;
        const float os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z}, l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
        for (int i = 0; i < 3; ++i) {
            if (std::fabs(ds[i]) < 1e-9f) {
                if (os[i] < l[i] || os[i] > h[i]) return false;
                continue;
            }
            float a = (l[i] - os[i]) / ds[i], b = (h[i] - os[i]) / ds[i];
            if (a > b) std::swap(a, b);
            t0 = std::max(t0, a);
            t1 = std::min(t1, b);
        }
        return t0 <= t1;
    }
};

class RenderTest : public GLTest {
  protected:
    RenderTest() {
        width_ = 80;
        height_ = 60;
    }
    void SetUp() override {
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        MVE_SetGlow(0);
        white_ = Texture("white.png", 255, 255, 255, 255);
        flat_ = Texture("flat.png", 128, 128, 255, 255);
        plane_ = MVE_CreatePlaneMesh(-1, 1.0f, 1.0f, "");
        cube_ = MVE_CreateBoxMesh(-1, 1.0f, 1.0f, 0, "");
        MVE_FinishMesh(plane_);
        MVE_FinishMesh(cube_);
    }

    int Texture(const char *file, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        std::vector<uint8_t> pixels(4 * 4 * 4);
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = r;
            pixels[i + 1] = g;
            pixels[i + 2] = b;
            pixels[i + 3] = a;
        }
        std::string error;
        EXPECT_EQ(MVE_PlatformWritePNG(file, pixels.data(), 4, 4, 4, error), 1) << error;
        return MVE_LoadTextureFile(-1, file, kNearest, 0, "");
    }

    // A "Normal Mapping" surface: white colour map, flat normals, no specular.
    int Surface(float r, float g, float b, float emission = 0.0f) {
        const int material = MVE_CreateMaterial(-1, white_, 5, "");
        MVE_MATERIAL *m = MVE_GetMaterial(material);
        EXPECT_NE(m, nullptr);
        if (!m) return 0;
        m->Texture[1] = MVE_GetTexture(flat_);
        m->v4fColor = {r, g, b, 1.0f};
        m->fShine = 0.0f;
        EXPECT_EQ(MVE_SetMaterialEmission(material, emission), 1);
        return material;
    }

    int Place(int mesh, int material, Vec at, Vec scale) {
        const int object = MVE_CreateObject(-1, mesh, material, "", 0, 1);
        MVE_MoveObject(object, at.x, at.y, at.z, 0);
        MVE_ScaleObject(object, scale.x, scale.y, scale.z, 0);
        return object;
    }

    // Camera at height h above the origin looking straight down; the plane point each pixel sees.
    void LookDown(float h) {
        height_above_ = h;
        MVE_MoveCamera(0, h, 0, 0);
        MVE_RotateCamera(-90, 0, 0, 0);
    }
    Vec GroundAt(int px, int py) const {
        const float t = std::tan(22.5f * kPi / 180.0f), aspect = float(width_) / float(height_);
        const float nx = 2.0f * (px + 0.5f) / width_ - 1.0f, ny = 1.0f - 2.0f * (py + 0.5f) / height_;
        return {height_above_ * nx * t * aspect, 0.0f, -height_above_ * ny * t};
    }
    Vec Eye() const { return {0, height_above_, 0}; }

    std::array<int, 3> At(const std::vector<uint8_t> &rgba, int x, int y) const {
        const size_t i = (size_t(y) * size_t(width_) + size_t(x)) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
    static int Byte(float v) { return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

    int white_ = 0, flat_ = 0, plane_ = 0, cube_ = 0;
    float height_above_ = 0;
};

#define EXPECT_PIXEL(rgba, x, y, r, g, b, tol)                                                              \
    do {                                                                                                    \
        const auto p_ = At(rgba, x, y);                                                                     \
        EXPECT_NEAR(p_[0], Byte(r), tol) << "pixel " << (x) << "," << (y);                                 \
        EXPECT_NEAR(p_[1], Byte(g), tol) << "pixel " << (x) << "," << (y);                                 \
        EXPECT_NEAR(p_[2], Byte(b), tol) << "pixel " << (x) << "," << (y);                                 \
    } while (0)

}  // namespace mvetest
