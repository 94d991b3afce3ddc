/* Particles: a camp fire at night. Flames and smoke come from two emitter files, a warm light
 * flickers over the ground, and a line of fir trees stands behind them as billboards: flat
 * pictures that always turn to face the camera. Escape or closing the window quits; "--frames N"
 * stops by itself after N frames. */
#include <MVE.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define WIDTH 640
#define HEIGHT 360

/* Files are looked up in "Resources" beside the program, wherever it was started from. */
static const char *Resource(const char *argv0, const char *file)
{
    static char path[4096];
    const char *slash = strrchr(argv0, '/');
    snprintf(path, sizeof path, "%.*sResources/%s", slash ? (int)(slash - argv0 + 1) : 0, argv0, file);
    return path;
}

int main(int argc, char **argv)
{
    /* --record, --replay, --hashes and --screenshot are the engine's; --frames is ours. */
    int ok = MVE_HandleCommandLine(argc, argv), frames = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[i + 1]);

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Particles", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);
    MVE_SeedRandom(7);   /* the same trees and the same flames on every run */

    /* Night: no sun, a deep blue sky and a little blue ambient light. */
    MVE_EnableSun(0);
    MVE_SetBackgroundColor(0xFF301808u);
    MVE_SetAmbientColor(0xFF281410u);
    MVE_MoveCamera(0.0f, 1.7f, 6.5f, 0);
    MVE_PointCamera(0.0f, 1.1f, 0.0f, 0.0f, 0.0f, 0.0f);

    /* The ground and three logs, lit by a warm light just above the flames. */
    int ground = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Ground");
    MVE_SetMaterialColor(ground, 0xFF1C3A2Au);
    MVE_SetMaterialShine(ground, 0.0f);
    int wood = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Wood");
    MVE_SetMaterialColor(wood, 0xFF1E3A5Au);
    MVE_CreateObject(MVE_ID_AUTO, MVE_CreateRectangleMesh(MVE_ID_AUTO, 40.0f, 40.0f, 1, 1, 1.0f, 1.0f, "Ground"),
                     ground, "Ground", 0, 0);
    int logMesh = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, "Log");
    for (int i = 0; i < 3; ++i) {
        int log = MVE_CreateObject(MVE_ID_AUTO, logMesh, wood, "Log", 0, 0);
        MVE_ScaleObject(log, 1.3f, 0.16f, 0.16f, 0);
        MVE_RotateObject(log, 0.0f, 60.0f * (float)i + 15.0f, 8.0f, 0);
        MVE_MoveObject(log, 0.0f, 0.12f, 0.0f, 0);
    }
    int glow = MVE_CreateLight(MVE_ID_AUTO, 0.0f, 0.8f, 0.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightColor(glow, 0xFF3088FFu);
    MVE_SetLightRange(glow, 9.0f);

    /* The emitters: everything about their particles is in the files, the place and the wind are
     * set here. Smoke rises above the flames and drifts to the right. */
    int fire = MVE_LoadParticleEmitter(MVE_ID_AUTO, Resource(argv[0], "Fire.mvd"));
    int smoke = MVE_LoadParticleEmitter(MVE_ID_AUTO, Resource(argv[0], "Smoke.mvd"));
    v4f wind = {0.35f, 0.0f, 0.0f, 0.0f};
    MVE_ParticleEmitterPosition(fire, 0.0f, 0.1f, 0.0f);
    MVE_ParticleEmitterPosition(smoke, 0.0f, 0.9f, 0.0f);
    MVE_ParticleEmitterMovement(smoke, &wind);

    /* The tree line: one billboard set of program 21, projection 1 (each quad faces the camera).
     * A quad is 1 x 1 around its centre, so a tree of height h is scaled by h and raised by h / 2.
     * Billboards blend without writing depth: the far row goes in first. */
    int treeTexture = MVE_LoadTextureFile(MVE_ID_AUTO, Resource(argv[0], "Tree.png"), MVE_IGNORE, 6, "");
    int trees = MVE_CreateBillboard(MVE_ID_AUTO, MVE_CreateMaterial(MVE_ID_AUTO, treeTexture, 21, "Tree"), 1, 40,
                                    "Trees");
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 16; ++i) {
            float h = MVE_RandomFloat(4.5f, 3.0f);
            float x = -15.0f + 2.0f * (float)i + (float)row + MVE_RandomFloat(0.6f, -0.6f);
            float z = -9.0f + 3.0f * (float)row + MVE_RandomFloat(1.0f, -1.0f);
            if (fabsf(x) > 2.5f)   /* a clearing behind the fire, where the smoke rises */
                MVE_AddBillboard(trees, x, h * 0.5f, z, 0.0f, 0.0f, 0.0f, h * 0.5f, h, 1.0f);
        }

    float time = 0.0f;
    int running = ok && fire && smoke && trees;   /* a switch or a file that failed ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        /* The fire light flickers: two waves of different speed over the time gone by. */
        time += MVE_GetFrameTime();
        MVE_SetLightIntensity(glow, 1.6f + 0.25f * sinf(time * 13.0f) + 0.15f * sinf(time * 7.3f));

        /* Once a frame before drawing: spawn, move and fade every emitter's particles. */
        MVE_UpdateParticles();
        MVE_RenderWorld(-1);
        MVE_DrawText(-1, 10.0f, 10.0f, "Escape quits", 0xFFC0C0C0u, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && fire && smoke && trees ? 0 : 1;
}
