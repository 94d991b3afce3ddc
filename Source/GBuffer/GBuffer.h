// The G-Buffer and the post-processing targets, the lighting programs and the passes of a frame.
// Main thread only. Nothing here draws with a program that failed to build.
#pragma once
#include "MVE.h"
#include "Shader/Shader.h"
#include <vector>

// One unshadowed point light of the frame: 96 bytes, read by the instanced light-volume program.
struct MVE_LIGHT_INSTANCE {
    float mModelView[16];
    float vPosition[3];
    float fRange;
    float vColor[3];
    float fIntensity;
};
static_assert(sizeof(MVE_LIGHT_INSTANCE) == 96, "instance record stride");

struct MVE_GBUFFER_STATE {
    int iWidth = 0, iHeight = 0;
    unsigned int uFramebuffer = 0, uDepthRenderbuffer = 0;
    unsigned int uTexture[6] = {0, 0, 0, 0, 0, 0};   // position, normal, diffuse, specular, misc, depth
    int iReady = 0;                                   // 1 when the G-Buffer was complete
    unsigned int uSceneFramebuffer = 0, uSceneTexture[2] = {0, 0};   // scene, glow source
    unsigned int uDepthFramebuffer = 0;   // the misc target alone: the depth pass reads the depth texture
    unsigned int uGlowFramebuffer = 0, uGlowTexture[2] = {0, 0};     // glow A, glow B
    int iGlowWidth = 0, iGlowHeight = 0;
    float fGlowScale = 0.5f;
    unsigned int uQuadArray = 0, uQuadBuffer = 0;                    // screen quad (2D pixels)
    unsigned int uUnitQuadArray = 0, uUnitQuadBuffer = 0;
    unsigned int uVolumeArray = 0, uVolumeBuffer = 0, uVolumeIndexBuffer = 0, uInstanceBuffer = 0;
    size_t uInstanceCapacity = 0;
    std::vector<MVE_LIGHT_INSTANCE> Instances;
    // Lighting, shadow, depth, blur and glow programs (the copy program is the shader module's).
    // A program that failed to build stays empty (uProgram 0) and its pass is skipped.
    MVE_GL_PROGRAM Programs[MVE_EP_COUNT];
};

int MVE_InitGBuffer();
void MVE_InitPostProcess();
void MVE_ShutdownGBuffer();
