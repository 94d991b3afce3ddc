// MVE_ENGINE: the one record that holds every engine global, reached through MVE_Engine().
// Each module keeps its state in a field of its own and owns that field's type in its header.
#pragma once
#include "Debugger/Debugger.h"
#include "Definition/Definition.h"
#include "GL/GL.h"
#include "Input/Input.h"
#include "Log/Log.h"
#include "Math/Math.h"
#include "Physics/Physics.h"
#include "Platform/Platform.h"
#include "Registry/Kinds.h"
#include "Reload/Reload.h"
#include "GBuffer/GBuffer.h"
#include "Lines/Lines.h"
#include "Render/Render.h"
#include "Replay/Replay.h"
#include "Shadow/Shadow.h"

struct MVE_RENDER_DEFAULTS {
    v4f v4fSunDirection = {0, -1, 0, 0};
    v4f v4fSunColor = {1, 1, 1, 1};
    float fSunIntensity = 1.0f;
    int iSunEnabled = 0;                   // the directional light stays off until MVE_EnableSun
    v4f v4fAmbientColor = {0, 0, 0, 1};
    unsigned int uTextureFilter = GL_LINEAR;
    int iGlow = 1;
    float fGlowOffset = 2.5f;
    m4f m4fCamera = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};  // camera placement (eye to world); the view is its inverse
};

struct MVE_ENGINE {
    MVE_LOG_STATE Log;
    MVE_DEBUGGER_STATE Debugger;
    MVE_SCREEN_STATE Screen;
    MVE_GL_STATE GL;
    MVE_SHADER_STATE Shader;                   // shared uniform buffers, built-in programs, camera projection
    MVE_RENDER_DEFAULTS Defaults;
    MVE_INPUT_STATE Input;
    MVE_REGISTRIES Registries;
    MVE_DEFINITION_STATE Definition;
    MVE_REPLAY_STATE Replay;                   // a recorded or replayed session (outlives the physics thread)
    MVE_PHYSICS_STATE Physics;
    MVE_SOUND_STATE Sound;                     // master gain, output device
    MVE_UI2D_STATE UI2D;                       // sprite batch, GUI geometry and style, built-in font
    MVE_TEXTURE_STATE TextureState;            // what the driver offers textures
    MVE_BUILTIN_RESOURCES Builtin;             // handles of the resources built at start-up
    MVE_RENDER_STATE Render;                   // camera, draw lists, frame copy
    MVE_GBUFFER_STATE GBuffer;                 // G-Buffer, post-processing targets, lighting programs
    MVE_SHADOW_STATE Shadow;                   // shadow maps and caster programs
    MVE_LINE_STATE Lines;                      // debug lines of the current frame
    MVE_RANDOM_STATE Random;                   // the engine's one random source
    MVE_PARTICLE_STATE Particles;              // the particle lock
    MVE_RELOAD_STATE Reload;                   // live reload: files read, their watcher, pending saves
    int iCloseRequest = 0;                     // set when the user asks to close a window
    int iRunning = 0;                          // 1 between MVE_Init and MVE_Quit
};

MVE_ENGINE &MVE_Engine();

// Drops the whole engine state and starts from a fresh record (tests; the physics thread must be stopped).
void MVE_ResetEngine();
