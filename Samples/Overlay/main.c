/* Overlay: the 2D layer over a 3D scene. A 9-slice panel holds a title in a font loaded from a
 * file and lines in the engine's built-in font; gems and hearts are sprites, tinted by their
 * materials' colours. Point at a gem to read its name. Escape or closing the window quits;
 * "--frames N" stops by itself after N frames. */
#include <MVE.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define WIDTH 640
#define HEIGHT 360
#define BUILTIN_FONT (-1)

/* Files are looked up in "Resources" beside the program, wherever it was started from. */
static const char *Resource(const char *argv0, const char *file)
{
    static char path[4096];
    const char *slash = strrchr(argv0, '/');
    snprintf(path, sizeof path, "%.*sResources/%s", slash ? (int)(slash - argv0 + 1) : 0, argv0, file);
    return path;
}

/* A sprite shows its material's first texture, multiplied by the material's colour (0xAABBGGRR):
 * one picture gives sprites of many colours, and the alpha byte makes them see-through. */
static int TintedSprite(int texture, uint32_t color, float size)
{
    int material = MVE_CreateMaterial(MVE_ID_AUTO, texture, 24, "");   /* 24: "Textured Sprite" */
    MVE_SetMaterialColor(material, color);
    return MVE_CreateSprite(MVE_ID_AUTO, material, size, size);
}

int main(int argc, char **argv)
{
    /* --record, --replay, --hashes and --screenshot are the engine's; --frames is ours. */
    int ok = MVE_HandleCommandLine(argc, argv), frames = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[i + 1]);

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Overlay", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);
    MVE_ShowLogo(1);   /* the engine's logo in the bottom-right corner of every frame */

    /* Behind the overlay, a turning box under the sun. */
    MVE_EnableSun(1);
    MVE_SetSunDirection(-0.5f, -1.0f, -0.8f);
    MVE_SetAmbientColor(0xFF403830u);
    MVE_SetBackgroundColor(0xFF5A4A30u);
    MVE_MoveCamera(0.0f, 0.0f, 5.0f, 0);
    int paint = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Paint");
    MVE_SetMaterialColor(paint, 0xFF3070C0u);
    int box = MVE_CreateObject(MVE_ID_AUTO, MVE_CreateBoxMesh(MVE_ID_AUTO, 1.4f, 1.0f, 0, "Box"), paint, "Box", 0, 0);
    MVE_MoveObject(box, 1.6f, 0.0f, 0.0f, 0);

    int serif = MVE_LoadFont(MVE_ID_AUTO, Resource(argv[0], "Serif.tf"));
    int gemPicture = MVE_LoadTextureFile(MVE_ID_AUTO, Resource(argv[0], "Gem.png"), MVE_IGNORE, 0, "");
    int heartPicture = MVE_LoadTextureFile(MVE_ID_AUTO, Resource(argv[0], "Heart.png"), MVE_IGNORE, 0, "");
    static const char *names[5] = {"Ruby", "Emerald", "Sapphire", "Topaz", "Amethyst"};
    static const uint32_t colors[5] = {0xFF3030FFu, 0xFF60E040u, 0xFFFF7030u, 0xFF30D0FFu, 0xFFE050B0u};
    int gems[5];
    for (int i = 0; i < 5; ++i) gems[i] = TintedSprite(gemPicture, colors[i], 0.0f);   /* 0: the picture's size */
    int heart = TintedSprite(heartPicture, 0xFFFFFFFFu, 32.0f);
    int lostHeart = TintedSprite(heartPicture, 0x60FFFFFFu, 32.0f);   /* alpha 0x60: faded */

    float time = 0.0f;
    int running = ok && serif && gems[4] && lostHeart;   /* a switch or a file that failed ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;
        time += MVE_GetFrameTime();
        MVE_RotateObject(box, 10.0f * MVE_GetFrameTime(), 30.0f * MVE_GetFrameTime(), 0.0f, 1);

        MVE_RenderWorld(-1);

        /* The 2D layer is drawn in call order over the scene: pixels from the top-left corner. */
        MVE_DrawPanel(24.0f, 24.0f, 330.0f, 250.0f, 0xE0281C14u);
        MVE_DrawText(serif, 189.0f, 36.0f, "Treasure Chest", 0xFF60D0FFu, MVE_IGNORE_F, MVE_ALIGN_CENTER);
        MVE_DrawText(BUILTIN_FONT, 44.0f, 84.0f, "Five gems, one of each colour.\nPoint at one to read its name.",
                     0xFFE0E0E0u, MVE_IGNORE_F, MVE_IGNORE);

        /* The gems in a row, each bobbing a little; the one under the mouse sits on a light panel. */
        int pointed = -1;
        for (int i = 0; i < 5; ++i) {
            float x = 69.0f + 60.0f * (float)i, y = 170.0f + 4.0f * sinf(time * 3.0f + (float)i);
            if (MVE_MouseInRect((int)x - 26, 144, 52, 52)) {
                pointed = i;
                MVE_DrawPanel(x - 28.0f, 142.0f, 56.0f, 56.0f, 0xA0FFFFFFu);
            }
            MVE_DrawSprite(gems[i], x, y);
        }
        if (pointed >= 0) MVE_DrawText(BUILTIN_FONT, 189.0f, 212.0f, names[pointed], colors[pointed], 1.5f, MVE_ALIGN_CENTER);
        else MVE_DrawText(BUILTIN_FONT, 189.0f, 216.0f, "(none pointed at)", 0xFF909090u, MVE_IGNORE_F, MVE_ALIGN_CENTER);
        MVE_DrawText(BUILTIN_FONT, 334.0f, 250.0f, "value: 1250", 0xFF80FFFFu, MVE_IGNORE_F, MVE_ALIGN_RIGHT | MVE_ALIGN_BOTTOM);

        /* Lives in the top-right corner: two hearts left of three. */
        for (int i = 0; i < 3; ++i) MVE_DrawSprite(i < 2 ? heart : lostHeart, 520.0f + 38.0f * (float)i, 40.0f);

        MVE_DrawPanel(24.0f, 300.0f, 330.0f, 36.0f, 0xC0201810u);
        MVE_DrawText(serif, 189.0f, 318.0f, "Escape quits", MVE_IGNORE, 0.7f, MVE_ALIGN_CENTER | MVE_ALIGN_MIDDLE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && serif && gems[4] && lostHeart ? 0 : 1;
}
