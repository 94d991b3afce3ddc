/* Cube: the smallest scene worth looking at. A window, a camera, a point light and the sun, a box
 * mesh and a stone material put together in code, and the box turning by the time each frame took.
 * Escape or closing the window quits; "--frames N" stops by itself after N frames. */
#include <MVE.h>
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

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Cube", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);

    /* The eye sits up and back; MVE_PointCamera turns it to look at the box. */
    MVE_MoveCamera(0.0f, 1.4f, 3.6f, 0);
    MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    /* Light: a dim blue-white sun from the upper left, a warm lamp at the front right, and a little
     * ambient light so that the faces turned away are not black. Colours are 0xAABBGGRR. */
    MVE_EnableSun(1);
    MVE_SetSunDirection(-1.0f, -1.5f, -0.5f);
    MVE_SetSunColor(0xFFFFE0D0u);
    MVE_SetSunIntensity(0.5f);
    MVE_SetAmbientColor(0xFF302820u);
    MVE_SetBackgroundColor(0xFF4A3020u);
    int lamp = MVE_CreateLight(MVE_ID_AUTO, 2.0f, 1.5f, 2.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightColor(lamp, 0xFF80C8FFu);
    MVE_SetLightIntensity(lamp, 1.2f);
    MVE_SetLightRange(lamp, 8.0f);

    /* The stone tiles of the Physics demonstration: a colour map and a normal map with mipmaps. */
    int color = MVE_LoadTextureFile(MVE_ID_AUTO, Resource(argv[0], "Tile.png"), MVE_IGNORE, 8, "");
    int bumps = MVE_LoadTextureFile(MVE_ID_AUTO, Resource(argv[0], "TileNormal.png"), MVE_IGNORE, 8, "");

    /* Built-in program 5 "Normal Mapping" reads the colour map from slot 0 and the normal map from
     * slot 1; shine and hardness shape the highlight. */
    int stone = MVE_CreateMaterial(MVE_ID_AUTO, color, 5, "Stone");
    MVE_SetMaterialTexture(stone, 1, bumps);
    MVE_SetMaterialShine(stone, 0.6f);
    MVE_SetMaterialHardness(stone, 24.0f);

    /* A box of side 1.6 with the texture once on every face, and the object that shows it. */
    int mesh = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.6f, 1.0f, 0, "Box");
    int cube = MVE_CreateObject(MVE_ID_AUTO, mesh, stone, "Cube", 0, 0);
    MVE_RotateObject(cube, 20.0f, 30.0f, 0.0f, 0);

    /* A switch that failed (a recording that cannot be replayed, say) ends the program at once. */
    int running = ok && cube != 0;
    for (int frame = 1; running; ++frame) {
        /* Window events first; input events are already in the input state when they arrive. */
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        /* Degrees per second times the seconds the last frame took: the same speed at any frame rate.
         * Mode 1 turns by the angles about the world axes. */
        float seconds = MVE_GetFrameTime();
        MVE_RotateObject(cube, 0.0f, 40.0f * seconds, 0.0f, 1);
        MVE_RotateObject(cube, 15.0f * seconds, 0.0f, 0.0f, 1);

        MVE_RenderWorld(-1);
        MVE_DrawText(-1, 10.0f, 10.0f, "Escape quits", 0xFFC0C0C0u, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    /* MVE_Quit frees every resource and closes the render area; the window is ours to close. */
    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && cube != 0 ? 0 : 1;
}
