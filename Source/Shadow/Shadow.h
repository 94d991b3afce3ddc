// Shadow maps: the sun's 2D depth map, the point-light cube, the three caster programs and the
// two shadow passes. Main thread only.
#pragma once
#include "MVE.h"

struct MVE_LIGHT;

struct MVE_SHADOW_STATE {
    int iSize = 0;
    unsigned int uMap = 0, uCube = 0, uRenderbuffer = 0, uFramebuffer = 0;
    unsigned int uCasterSampler = 0;      // trilinear, repeating, no anisotropy (see MVE_DrawShadowCasters)
    int iReady = 0;                       // 1 once the framebuffer was complete
    m4f m4fFace[6] = {};                  // look-at of each cube face from the origin
    int iEnabled = 0;                     // the shadow switch (sun only)
    v4f v4fCenter = {0, 0, 0, 1};         // the sun's shadow square follows it
    m4f m4fLightProjection = {};
    m4f m4fWorldToLight = {};
};

int MVE_InitShadowMap(int size);
void MVE_ShutdownShadowMap();
// mode 0 sun (attaches and clears the 2D map), 1 point light (projection only).
void MVE_BeginShadowPass(int mode, float farDistance);
// The sun's pass: fills the 2D map and the light matrices.
void MVE_RenderSunShadow();
// Renders a point light's cube from its world position (the caller restores the camera pass).
void MVE_RenderPointShadow(const MVE_LIGHT *light, unsigned int cube);
// A depth cube of the shadow size (a static light's kept cube); 0 without shadow maps.
unsigned int MVE_CreateShadowCube();
