// Lights and the engine-wide lighting settings: point and spot lights as nodes of kind 3, the sun,
// the ambient and background colours, the sky, shadows and glow. Main thread only. The setters only
// store their values; the frame reads them.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Render/Light.h"
#include <cmath>

namespace {

MVE_LIGHT *Resolve(int id, const char *procedure) {
    MVE_LIGHT *light = MVE_GetLight(id);
    if (!light) MVE_LogFail("Fail: Light " + std::to_string(id) + " not found!", procedure);
    return light;
}

v4f Apply(const m4f &M, float x, float y, float z, float w) {
    const float *m = M.m;
    return {m[0] * x + m[4] * y + m[8] * z + m[12] * w, m[1] * x + m[5] * y + m[9] * z + m[13] * w,
            m[2] * x + m[6] * y + m[10] * z + m[14] * w, w};
}

v4f Color(uint32_t packed) {
    v4f c;
    MVE_v4fColor(&c, packed);
    return c;
}

}  // namespace

void MVE_RebuildLightMatrix(MVE_LIGHT *light) {
    m4f M;
    MVE_m4fFromQuaternion(&light->v4fOrientation, &M);
    M.m[12] = light->v4fPosition.x;
    M.m[13] = light->v4fPosition.y;
    M.m[14] = light->v4fPosition.z;
    M.m[15] = 1.0f;
    light->m4fWorld = M;
    // The light volume is an 80-face sphere of radius 1 whose flat faces come within 0.93417 of the
    // centre: scaled by the range alone it would cut the lit sphere off in facets near its edge.
    // The node's size makes the volume enclose the whole range.
    const float size = light->fRange / 0.93417f;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) M.m[4 * c + r] *= size;
    light->m4fMatrix = M;
}

void MVE_ReleaseLight(MVE_LIGHT *light) {
    if (light->uStaticCube && MVE_Engine().GL.iLoaded) MVE_gl().glDeleteTextures(1, &light->uStaticCube);
    light->uStaticCube = 0;
}

extern "C" int MVE_CreateLight(int id, float x, float y, float z, int type) {
    if (type != MVE_LIGHT_POINT && type != MVE_LIGHT_SPOT) {
        MVE_LogFail("Fail: Light type " + std::to_string(type) + " is not 1 (point) or 2 (spot)!", "MVE_CreateLight");
        return 0;
    }
    int requested = id, handle = 0;
    MVE_LIGHT *light = MVE_CreateLightListEntry(&requested, "", &handle);
    if (!light) {
        MVE_LogFail(MVE_FAIL_ID_NOT_AVAILABLE, "MVE_CreateLight");
        return 0;
    }
    light->Header.iKind = MVE_KIND_LIGHT;
    light->Header.pModel = &light->m4fMatrix;
    light->Header.pWorld = &light->m4fWorld;
    light->Header.pOrientation = &light->v4fOrientation;
    light->iType = type;
    light->v4fPosition = {x, y, z, 1.0f};
    MVE_RebuildLightMatrix(light);
    return handle;
}

extern "C" int MVE_MoveLight(int id, float x, float y, float z, int mode) {
    MVE_LIGHT *light = Resolve(id, "MVE_MoveLight");
    if (!light) return 0;
    v4f &p = light->v4fPosition;
    if (mode & MVE_MODE_RELATIVE) {
        v4f d = {x, y, z, 0.0f};
        if (mode & MVE_MODE_OWN)
            d = Apply(light->m4fWorld, x, y, z, 0.0f);
        else if (mode & MVE_MODE_CAMERA)
            d = Apply(MVE_Engine().Defaults.m4fCamera, x, y, z, 0.0f);
        p = {p.x + d.x, p.y + d.y, p.z + d.z, 1.0f};
    } else if (mode & MVE_MODE_OWN) {
        p = Apply(light->m4fWorld, x, y, z, 1.0f);
    } else {
        p = {x, y, z, 1.0f};
    }
    MVE_RebuildLightMatrix(light);
    light->iStaticDone = 0;  // a kept cube seen from elsewhere is wrong
    return 1;
}

extern "C" int MVE_SetLightColor(int id, uint32_t color) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightColor");
    if (!light) return 0;
    light->v4fColor = Color(color);
    return 1;
}

extern "C" int MVE_SetLightIntensity(int id, float intensity) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightIntensity");
    if (!light) return 0;
    light->fIntensity = intensity;
    return 1;
}

extern "C" int MVE_SetLightRange(int id, float range) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightRange");
    if (!light) return 0;
    if (!(range > 0.0f && std::isfinite(range))) {
        MVE_LogFail("Fail: A light range must be positive!", "MVE_SetLightRange");
        return 0;
    }
    light->fRange = range;
    MVE_RebuildLightMatrix(light);
    light->iStaticDone = 0;
    return 1;
}

extern "C" int MVE_SetLightShadow(int id, int shadow, int isStatic) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightShadow");
    if (!light) return 0;
    light->iShadow = shadow ? 1 : 0;
    light->iStatic = isStatic ? 1 : 0;
    light->iStaticDone = 0;
    return 1;
}

extern "C" int MVE_SetLightDirection(int id, float x, float y, float z) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightDirection");
    if (!light) return 0;
    v4f d = {x, y, z, 0.0f};
    if (MVE_v4fLength(&d) == 0.0f || !std::isfinite(MVE_v4fLength(&d))) {
        MVE_LogFail("Fail: A light direction needs a length!", "MVE_SetLightDirection");
        return 0;
    }
    light->v4fDirection = *MVE_v4fNormalize(&d);
    return 1;
}

extern "C" int MVE_SetLightConeAngle(int id, float degrees) {
    MVE_LIGHT *light = Resolve(id, "MVE_SetLightConeAngle");
    if (!light) return 0;
    if (!(degrees > 0.0f && degrees <= 180.0f)) {
        MVE_LogFail("Fail: A cone angle lies between 0 and 180 degrees!", "MVE_SetLightConeAngle");
        return 0;
    }
    light->fConeAngle = degrees;
    return 1;
}

extern "C" int MVE_EnableLight(int id, int enabled) {
    MVE_LIGHT *light = Resolve(id, "MVE_EnableLight");
    if (!light) return 0;
    light->iEnabled = enabled ? 1 : 0;
    return 1;
}

// ---- The sun, ambient and background.

extern "C" void MVE_EnableSun(int enabled) { MVE_Engine().Defaults.iSunEnabled = enabled ? 1 : 0; }

extern "C" int MVE_SetSunDirection(float x, float y, float z) {
    v4f d = {x, y, z, 0.0f};
    const float length = MVE_v4fLength(&d);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        MVE_LogFail("Fail: The sun direction needs a length!", "MVE_SetSunDirection");
        return 0;
    }
    MVE_Engine().Defaults.v4fSunDirection = *MVE_v4fNormalize(&d);
    return 1;
}

extern "C" void MVE_SetSunColor(uint32_t color) { MVE_Engine().Defaults.v4fSunColor = Color(color); }
extern "C" void MVE_SetSunIntensity(float intensity) { MVE_Engine().Defaults.fSunIntensity = intensity; }
extern "C" void MVE_SetAmbientColor(uint32_t color) { MVE_Engine().Defaults.v4fAmbientColor = Color(color); }
extern "C" void MVE_SetShadowCenter(float x, float y, float z) { MVE_Engine().Shadow.v4fCenter = {x, y, z, 1.0f}; }
extern "C" void MVE_EnableShadows(int enabled) { MVE_Engine().Shadow.iEnabled = enabled ? 1 : 0; }
extern "C" void MVE_SetBackgroundColor(uint32_t color) { MVE_Engine().Render.v4fBackground = Color(color); }

extern "C" void MVE_SetGlow(int enabled) { MVE_Engine().Defaults.iGlow = enabled ? 1 : 0; }
extern "C" int MVE_GetGlow(void) { return MVE_Engine().Defaults.iGlow; }
extern "C" void MVE_SetGlowSpread(float spread) { MVE_Engine().Defaults.fGlowOffset = spread; }
extern "C" float MVE_GetGlowSpread(void) { return MVE_Engine().Defaults.fGlowOffset; }

extern "C" int MVE_SetSky(int texture, uint32_t color) {
    MVE_RENDER_STATE &r = MVE_Engine().Render;
    r.v4fSkyColor = Color(color);
    if (texture == 0 || texture == MVE_IGNORE) {
        if (texture == 0) r.iSkyTexture = 0;
        return 1;
    }
    MVE_TEXTURE *t = MVE_GetTexture(texture);
    if (!t || t->iTarget != GL_TEXTURE_CUBE_MAP) {
        MVE_LogFail("Fail: The sky needs a cube map texture!", "MVE_SetSky");
        return 0;
    }
    r.iSkyTexture = texture;  // looked up every frame: a freed texture simply ends the sky
    return 1;
}
