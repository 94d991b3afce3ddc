/* Materials: four balls side by side, each showing one thing a material does, every texture drawn
 * into memory by the program itself: a checker colour map, a normal map of studs, a highlight
 * (shine and hardness), and a surface that gives off light and glows. Escape or closing the
 * window quits; "--frames N" stops by itself after N frames. */
#include <MVE.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define WIDTH 640
#define HEIGHT 360
#define TW 128            /* texture size: twice as wide as high, as a ball's surface is */
#define TH 64

static uint8_t pixels[TH][TW][3];

/* A checker of 16 x 8 squares: eight around the ball's height, sixteen around its waist. */
static int CheckerTexture(void)
{
    for (int y = 0; y < TH; ++y)
        for (int x = 0; x < TW; ++x) {
            int light = ((x / 8) + (y / 8)) % 2;
            pixels[y][x][0] = light ? 236 : 30;
            pixels[y][x][1] = light ? 226 : 110;
            pixels[y][x][2] = light ? 200 : 120;
        }
    /* Mipmaps (up to level 6) keep the far squares from shimmering. */
    return MVE_CreateTexture(MVE_ID_AUTO, TW, TH, MVE_TEXTURE_RGB8, pixels, MVE_IGNORE, 6, "Checker");
}

/* Round studs, 16 x 8 of them. A normal map stores the surface's slope at every texel, each axis
 * from -1 .. 1 written as 0 .. 255: x along the texture's u, z out of the surface, y across. On a
 * plane or a box, y runs up the picture; the sphere mesh lays its picture round it mirrored (u grows
 * from +x towards +z), which turns y round: for a ball, y runs down the picture. */
static int StudNormalMap(void)
{
    for (int y = 0; y < TH; ++y)
        for (int x = 0; x < TW; ++x) {
            float u = (float)(x % 8) - 3.5f, v = (float)(y % 8) - 3.5f;   /* from the stud's centre */
            float r2 = u * u + v * v, nx = 0.0f, ny = 0.0f;
            if (r2 < 9.0f) {   /* inside a stud: a dome of radius 3 texels */
                float h = sqrtf(9.0f - r2);
                nx = u / (h + 1.0f);
                ny = v / (h + 1.0f);
            }
            float length = sqrtf(nx * nx + ny * ny + 1.0f);
            pixels[y][x][0] = (uint8_t)(127.5f + 127.0f * nx / length);
            pixels[y][x][1] = (uint8_t)(127.5f + 127.0f * ny / length);
            pixels[y][x][2] = (uint8_t)(127.5f + 127.0f / length);
        }
    return MVE_CreateTexture(MVE_ID_AUTO, TW, TH, MVE_TEXTURE_RGB8, pixels, MVE_IGNORE, 6, "Studs");
}

int main(int argc, char **argv)
{
    /* --record, --replay, --hashes and --screenshot are the engine's; --frames is ours. */
    int ok = MVE_HandleCommandLine(argc, argv), frames = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[i + 1]);

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Materials", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);

    /* Straight ahead at the row of balls; a soft sun from above, a white lamp at the front left
     * for the highlights, and the glow of emitting surfaces spread a little wider than usual. */
    MVE_MoveCamera(0.0f, 0.0f, 7.5f, 0);
    MVE_EnableSun(1);
    MVE_SetSunDirection(0.3f, -1.0f, -0.6f);
    MVE_SetSunIntensity(0.45f);
    MVE_SetAmbientColor(0xFF282422u);
    MVE_SetBackgroundColor(0xFF241C18u);
    int lamp = MVE_CreateLight(MVE_ID_AUTO, -3.0f, 3.0f, 5.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightRange(lamp, 16.0f);
    MVE_SetGlow(1);
    MVE_SetGlowSpread(4.0f);

    /* Program 5 "Normal Mapping" for all four. Created with texture -1, a material starts with the
     * engine's neutral colour, normal and specular maps; the first two swap in maps of their own. */
    int checker = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Checker");
    MVE_SetMaterialTexture(checker, 0, CheckerTexture());
    MVE_SetMaterialShine(checker, 0.2f);

    int studs = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Studs");
    MVE_SetMaterialTexture(studs, 1, StudNormalMap());
    MVE_SetMaterialColor(studs, 0xFF90A8B8u);
    MVE_SetMaterialShine(studs, 0.8f);
    MVE_SetMaterialHardness(studs, 20.0f);

    int glossy = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Glossy");
    MVE_SetMaterialColor(glossy, 0xFF1818B0u);
    MVE_SetMaterialShineColor(glossy, 0xFFFFFFFFu);
    MVE_SetMaterialShine(glossy, 2.0f);
    MVE_SetMaterialHardness(glossy, 90.0f);   /* higher is a smaller, sharper highlight */

    int glowing = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Glowing");
    MVE_SetMaterialColor(glowing, 0xFFFF9830u);
    MVE_SetMaterialShine(glowing, 0.0f);
    MVE_SetMaterialEmission(glowing, 0.6f);

    /* The four balls sit in the four columns of the picture, the labels under them. */
    static const char *labels[4] = {"checker texture", "normal map", "shine", "emission and glow"};
    int materials[4] = {checker, studs, glossy, glowing}, balls[4];
    int mesh = MVE_CreateSphereMesh(MVE_ID_AUTO, 1.0f, 48, 24, "Ball");
    for (int i = 0; i < 4; ++i) {
        balls[i] = MVE_CreateObject(MVE_ID_AUTO, mesh, materials[i], labels[i], 0, 0);
        MVE_MoveObject(balls[i], -4.14f + 2.76f * (float)i, 0.3f, 0.0f, 0);
        MVE_RotateObject(balls[i], 20.0f, 0.0f, 0.0f, 0);
    }

    int running = ok && balls[3] != 0;   /* a switch that failed ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        /* The balls turn slowly about the vertical, so the maps move under the light. */
        for (int i = 0; i < 4; ++i) MVE_RotateObject(balls[i], 0.0f, 20.0f * MVE_GetFrameTime(), 0.0f, 1);

        MVE_RenderWorld(-1);
        for (int i = 0; i < 4; ++i)
            MVE_DrawText(-1, 80.0f + 160.0f * (float)i, 268.0f, labels[i], MVE_IGNORE, MVE_IGNORE_F, MVE_ALIGN_CENTER);
        MVE_DrawText(-1, 10.0f, 10.0f, "Escape quits", 0xFFC0C0C0u, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && balls[3] != 0 ? 0 : 1;
}
