/* A C program on nothing but MVE.h builds a scene in memory: a texture made from pixels on a
 * rectangle, a lit plane of a second material, the camera pointed at them from above; it renders
 * headless and reads the frame back into memory. No file of its own is written. Built -Wall -Werror. */
#include "MVE.h"

#define SIDE_W 64
#define SIDE_H 48

static unsigned char frame[SIDE_W * SIDE_H * 4];

/* 1 when the pixel at (x, y) is within 3 of (r, g, b). */
static int near_pixel(int x, int y, int r, int g, int b) {
    const unsigned char *p = frame + (y * SIDE_W + x) * 4;
    int d[3];
    int k;
    d[0] = p[0] - r;
    d[1] = p[1] - g;
    d[2] = p[2] - b;
    for (k = 0; k < 3; k++)
        if (d[k] > 3 || d[k] < -3) return 0;
    return 1;
}

/* Returns 0 when everything held, else the number of the first check that failed. */
int mve_c_scene_from_pixels(void) {
    /* Two texels side by side: red on the left, blue on the right. */
    static const unsigned char stripes[2 * 3] = {255, 0, 0, 0, 0, 255};
    int texture, striped, lit, rectangle, plane, left, right, result = 0;

    if (!MVE_OpenWindow(0, SIDE_W, SIDE_H, "C scene", MVE_WINDOW_HIDDEN)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, SIDE_W, SIDE_H, 32)) {
        MVE_CloseWindow(0);
        return 2;
    }
    MVE_SetGlow(0);
    MVE_SetBackgroundColor(0xFF000000u);
    MVE_SetAmbientColor(0xFF000000u);
    MVE_EnableSun(1);
    MVE_SetSunDirection(0.0f, -1.0f, 0.0f);
    MVE_SetSunIntensity(1.0f);

    texture = MVE_CreateTexture(MVE_ID_AUTO, 2, 1, MVE_TEXTURE_RGB8, stripes, 0x2600, 0, "Stripes");
    /* "Textures" (4) shows the texture as it is; "Normal Mapping" (5) with the neutral default
       textures is lit, and without a highlight shows the colour it was given. */
    striped = MVE_CreateMaterial(MVE_ID_AUTO, texture, 4, "Striped");
    lit = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Lit");
    if (!texture || !striped || !lit) result = 3;
    if (!result && (!MVE_SetMaterialColor(lit, 0xFF00C000u) || !MVE_SetMaterialShine(lit, 0.0f))) result = 4;

    rectangle = MVE_CreateRectangleMesh(MVE_ID_AUTO, 2.0f, 1.0f, 2, 1, 1.0f, 1.0f, "Rectangle");
    plane = MVE_CreatePlaneMesh(MVE_ID_AUTO, 1.0f, 1.0f, "Plane");
    left = MVE_CreateObject(MVE_ID_AUTO, rectangle, striped, "Left", 0, 1);
    right = MVE_CreateObject(MVE_ID_AUTO, plane, lit, "Right", 0, 1);
    if (!result && (!left || !right)) result = 5;
    MVE_MoveObject(left, -1.2f, 0.0f, 0.0f, 0);
    MVE_MoveObject(right, 1.2f, 0.0f, 0.0f, 0);

    /* From above, -z at the top of the view: 45 degrees of view cover 2 tan(22.5) x 5 = 4.14 units. */
    MVE_MoveCamera(0.0f, 5.0f, 0.0f, 0);
    if (!result && !MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, -1.0f)) result = 6;

    if (!result) {
        MVE_RenderWorld(-1);
        if (!MVE_ReadFramePixels(0, 0, SIDE_W, SIDE_H, frame)) result = 7;
    }
    /* One unit is 48 / 4.14 = 11.6 pixels; the centre column is x 32, the centre row y 24. The
       rectangle spans x -2.2 .. -0.2: its left half red around x 32 - 1.7 * 11.6, its right half
       blue around x 32 - 0.7 * 11.6. The plane around x 32 + 1.2 * 11.6 is lit green. */
    if (!result && !near_pixel(12, 24, 255, 0, 0)) result = 8;
    if (!result && !near_pixel(24, 24, 0, 0, 255)) result = 9;
    if (!result && !near_pixel(46, 24, 0, 0xC0, 0)) result = 10;
    if (!result && (!near_pixel(32, 24, 0, 0, 0) || !near_pixel(2, 2, 0, 0, 0) || !near_pixel(60, 44, 0, 0, 0)))
        result = 11;

    MVE_Quit();
    MVE_CloseWindow(0);
    return result;
}
