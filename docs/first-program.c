/* A first program on the Morvek Engine: a turning box on a lit floor. W, A, S, D fly the camera,
 * the left mouse button held turns the box faster, Escape or the window's close button quits.
 * "first-program 60 shot.png" stops after 60 frames and saves the last one as a PNG. */
#include <MVE.h>
#include <stdlib.h>

#define KEY_ESCAPE 0x1B   /* Windows virtual-key codes; letters are their capitals */

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 0;   /* 0: until the user quits */

    /* A window of our own, and the engine's render area in it: MVE_OpenScreen starts the engine. */
    if (!MVE_OpenWindow(0, 960, 540, "First program", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, 960, 540, 32)) return 1;   /* the reason is in "MVE LogFile.html" */

    /* The camera looks along -z: place it behind the scene and tilt it down a little. */
    MVE_MoveCamera(0.0f, 2.0f, 6.0f, 0);
    MVE_RotateCamera(-15.0f, 0.0f, 0.0f, 0);

    /* A warm point light beside the box, the sun from the upper left, a little ambient light. */
    int light = MVE_CreateLight(MVE_ID_AUTO, 2.0f, 2.0f, 2.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightColor(light, 0xFF60C0FFu);   /* 0xAABBGGRR: orange */
    MVE_SetLightRange(light, 8.0f);
    MVE_EnableSun(1);                        /* the sun is off until switched on */
    MVE_SetSunDirection(-1.0f, -2.0f, -1.0f);
    MVE_SetSunIntensity(0.8f);
    MVE_SetAmbientColor(0xFF302820u);
    MVE_SetBackgroundColor(0xFF604020u);

    /* Meshes, a material (built-in program 5 "Normal Mapping" with the neutral default textures,
     * given a grey colour and a soft shine) and the objects that show them. Every creator returns a
     * handle, or 0 with a red row in the log. */
    int boxMesh = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, "Box");
    int floorMesh = MVE_CreatePlaneMesh(MVE_ID_AUTO, 12.0f, 6.0f, "Floor");
    int material = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Stone");
    MVE_SetMaterialColor(material, 0xFF909090u);
    MVE_SetMaterialShine(material, 0.2f);
    int box = MVE_CreateObject(MVE_ID_AUTO, boxMesh, material, "Box", 0, 0);
    int floor = MVE_CreateObject(MVE_ID_AUTO, floorMesh, material, "Floor", 0, 0);
    if (!box || !floor) {
        MVE_Quit();
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_MoveObject(floor, 0.0f, -0.5f, 0.0f, 0);

    int running = 1;
    while (running) {
        /* Window events first: input events are already in the input state when they arrive. */
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        /* Move by the time the last frame took, so speed does not depend on the frame rate. */
        float seconds = MVE_GetFrameTime();
        float step = 3.0f * seconds;
        /* Mode 3: relative (1), along the camera's own axes (2). */
        if (MVE_KeyDown('W')) MVE_MoveCamera(0.0f, 0.0f, -step, 3);
        if (MVE_KeyDown('S')) MVE_MoveCamera(0.0f, 0.0f, step, 3);
        if (MVE_KeyDown('A')) MVE_MoveCamera(-step, 0.0f, 0.0f, 3);
        if (MVE_KeyDown('D')) MVE_MoveCamera(step, 0.0f, 0.0f, 3);
        float degrees = (MVE_MouseButtonDown(1) ? 180.0f : 45.0f) * seconds;
        MVE_RotateObject(box, 0.0f, degrees, 0.0f, 1);   /* mode 1: turn by, about the world axes */

        /* The frame: the 3D scene, the 2D layer over it (font -1 is the built-in one), then present. */
        MVE_RenderWorld(-1);
        MVE_DrawText(-1, 10.0f, 10.0f, "W A S D fly, left button spins, Escape quits", MVE_IGNORE, MVE_IGNORE,
                     MVE_IGNORE);
        if (frames > 0 && --frames == 0) {
            running = 0;
            if (argc > 2) MVE_SaveScreenshot(argv[2]);   /* the back buffer, before it is presented */
        }
        MVE_FlipBuffers();
    }

    /* MVE_Quit frees every resource; the window is ours to close. */
    MVE_Quit();
    MVE_CloseWindow(0);
    return 0;
}
