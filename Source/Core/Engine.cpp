// Start-up and shut-down in their fixed order, and the engine record itself.
// Main thread only. The order of MVE_Init and MVE_Quit is kept here, in one place: every module's
// initialiser is called from this file and nowhere else.
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Math/Math.h"
#include "Reload/Reload.h"

static MVE_ENGINE *g_engine = nullptr;

MVE_ENGINE &MVE_Engine() {
    // Created on first use and never destroyed at exit: a physics thread that the application
    // forgot to stop must not find its state torn down under it.
    if (!g_engine) g_engine = new MVE_ENGINE;
    return *g_engine;
}

void MVE_ResetEngine() {
    MVE_CloseLogFile();
    delete g_engine;
    g_engine = new MVE_ENGINE;
}

extern "C" int MVE_Init(void) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_v4fResetStack();                                           // 1. this thread's vector stack
    MVE_OpenLogFile("MVE LogFile.html", 0, 1);                     // 2. log
    MVE_SetLogColumns(10);
    MVE_LogSection("[MVE] Morvek Engine", 0xFF31BC51);             // 3. banner (never closed)
    MVE_Log(MVE_VERSION, 0, 0, 0, "", "MVE_Init");
    MVE_StartupImageCodecs();                                      // 4. image codecs
    MVE_StartupGL();                                               // 5-7, 11. entry points, GL state, "System"
    e.Defaults = MVE_RENDER_DEFAULTS();                            // 8. sun and ambient, 10. filter, 12. glow
    MVE_v4fResetStack();                                           // 9.
    MVE_StartupSpriteBatch();                                      // 13. sprite quad batch
    MVE_StartupJoysticks();                                        // 14. joysticks
    MVE_StartupCamera();                                           // 15. default camera
    MVE_StartupShaders();                                          // 16. shaders
    MVE_StartupSound();                                            // 17. sound
    MVE_StartupReplay();                                           // a recorded or replayed session begins
    MVE_StartupPhysics();                                          // 18. physics thread
    MVE_StartupGBuffer();                                          // 19-20. G-Buffer, post-processing
    MVE_StartupSpriteShader();                                     // 21. sprite shader
    MVE_StartupShadowAndLines();                                   // 22. shadow map, line buffer
    MVE_StartupGUI();                                              // 23. GUI
    MVE_StartupBuiltinResources();                                 // 24. built-in textures and materials
    MVE_LogSection("Program", 0xBEFB);                             // 25. stays open
    e.iRunning = 1;
    MVE_StartupReload();                                           // live reload, when the program asked for it
    return 0;
}

extern "C" void MVE_Quit(void) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_ShutdownReload();                                          // the watcher and what it knew of files
    MVE_ShutdownPhysics();                                         // 1. stop flag, wait for the thread
    MVE_ShutdownReplay();                                          // the session's last frame, its files
    MVE_ShutdownShaderBuffers();                                   // 2. shader-buffer table, uniform buffers
    MVE_REGISTRIES &r = e.Registries;                              // 3. resources, in this order
    r.Fonts.FreeAll();
    r.Sprites.FreeAll();
    r.ParticleEmitters.FreeAll();
    r.Billboards.FreeAll();                                       // their GL names belong to this context
    r.Meshes.FreeAll();
    r.Objects.FreeAll();
    r.Materials.FreeAll();
    r.Shaders.FreeAll();
    r.Textures.FreeAll();
    r.Lights.FreeAll();
    MVE_ShutdownUI2D();                                            // 4. sprite batch, GUI geometry
    MVE_ShutdownSound();                                           // sounds, instances, output device
    MVE_ShutdownRender();                                          // 4-5. line buffer, shadow maps, G-Buffer
    MVE_ShutdownGL();                                              // 4. remaining GL objects
    MVE_ShutdownWindow();                                          // 6. render window
    e.iRunning = 0;
}
