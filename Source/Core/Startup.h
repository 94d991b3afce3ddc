// The initialisers and finalisers that MVE_Init and MVE_Quit call, one per engine area.
// Each area defines its own; areas not built yet are empty in Core/Startup.cpp.
#pragma once

void MVE_StartupImageCodecs();
void MVE_StartupGL();
void MVE_StartupSpriteBatch();
void MVE_StartupJoysticks();
void MVE_StartupCamera();
void MVE_StartupShaders();
void MVE_StartupSound();
void MVE_StartupPhysics();
void MVE_StartupGBuffer();
void MVE_StartupSpriteShader();
void MVE_StartupShadowAndLines();
void MVE_StartupGUI();
void MVE_StartupBuiltinResources();

void MVE_ShutdownPhysics();
void MVE_ShutdownShaderBuffers();
void MVE_ShutdownRender();
void MVE_ShutdownGL();
void MVE_ShutdownWindow();
