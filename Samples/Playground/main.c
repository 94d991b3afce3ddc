/* Playground: rigid bodies on a floor. A stepped tower of boxes, a chain of balls hanging from a beam
 * that swings on its joints, and balls fired with the left mouse button from the camera towards
 * the pointer. The simulation runs on the engine's physics thread. Escape or closing the window
 * quits; "--frames N" stops by itself after N frames. */
#include <MVE.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define MOUSE_LEFT 1
#define WIDTH 640
#define HEIGHT 360

/* A material of program 5 "Normal Mapping" in one colour (0xAABBGGRR). */
static int Paint(uint32_t color, float shine)
{
    int material = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "");
    MVE_SetMaterialColor(material, color);
    MVE_SetMaterialShine(material, shine);
    return material;
}

/* An object that takes part in the simulation: a mass of 0 keeps it where it is. */
static int Body(int mesh, int material, int body, float mass, float x, float y, float z)
{
    int object = MVE_CreateObject(MVE_ID_AUTO, mesh, material, "", 0, 0);
    MVE_MoveObject(object, x, y, z, 0);
    MVE_SetObjectBody(object, body, 1.0f);
    MVE_SetObjectMass(object, mass);
    return object;
}

int main(int argc, char **argv)
{
    /* --record, --replay, --hashes and --screenshot are the engine's; --frames is ours. */
    int ok = MVE_HandleCommandLine(argc, argv), frames = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[i + 1]);

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Playground", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);

    MVE_EnableSun(1);
    MVE_SetSunDirection(-0.6f, -1.0f, -0.4f);
    MVE_SetSunIntensity(0.9f);
    MVE_EnableShadows(1);   /* the sun's shadows, in a 20 x 20 square round the middle */
    MVE_SetShadowCenter(0.0f, 0.0f, 0.0f);
    MVE_SetAmbientColor(0xFF383028u);
    MVE_SetBackgroundColor(0xFF906848u);
    MVE_MoveCamera(0.0f, 4.0f, 11.0f, 0);
    MVE_PointCamera(0.0f, 1.5f, 0.0f, 0.0f, 0.0f, 0.0f);

    /* Meshes and collision bodies. A box body made from a box mesh collides with boxes and balls
     * and is scaled with its object; a sphere body's size is its diameter. */
    int boxMesh = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, "Box");
    int boxBody = MVE_CreateBodyFromMesh(MVE_ID_AUTO, boxMesh, MVE_SHAPE_BOX, 1.0f, "Box");
    int ballMesh = MVE_CreateSphereMesh(MVE_ID_AUTO, 0.35f, 24, 12, "Ball");
    int ballBody = MVE_CreateSphereBody(MVE_ID_AUTO, 0.7f, "Ball");
    int stone = Paint(0xFF707880u, 0.1f), crate = Paint(0xFF3070B0u, 0.3f), metal = Paint(0xFFB0A090u, 1.0f);
    int red = Paint(0xFF2828D0u, 0.8f);
    MVE_SetGravity(0.0f, -9.81f, 0.0f);

    /* The floor: a static box, 20 x 0.2 x 20, whose top is y = 0. */
    int ground = Body(boxMesh, stone, boxBody, 0.0f, 0.0f, -0.1f, 0.0f);
    MVE_ScaleObject(ground, 20.0f, 0.2f, 20.0f, 0);

    /* A stepped tower of five boxes, each smaller than the one below and dropped from just above
     * it. The engine meets box with box at the crossings of edges through faces: a box that stands
     * wholly on the top face of the one below rests there, while boxes of one size side by side or
     * turned against each other are pushed apart. */
    float y = 0.0f;
    for (int i = 0; i < 5; ++i) {
        float size = 1.4f - 0.22f * (float)i;
        int box = Body(boxMesh, crate, boxBody, size * size * size, -2.5f, y + 0.5f * size + 0.02f, 0.0f);
        MVE_ScaleObject(box, size, size, size, 0);
        y += size + 0.02f;
    }

    /* A beam on two posts, and from its middle a chain of four balls: the first on a rigid link
     * (stiffness 0) from the beam, each of the others on a stiff damped spring from the one above.
     * Laid out at 35 degrees from the vertical, it swings. */
    int beam = Body(boxMesh, metal, boxBody, 0.0f, 2.5f, 5.0f, 0.0f);
    MVE_ScaleObject(beam, 5.0f, 0.2f, 0.2f, 0);
    for (int side = -1; side <= 1; side += 2) {
        int post = Body(boxMesh, metal, boxBody, 0.0f, 2.5f + 2.4f * (float)side, 2.45f, 0.0f);
        MVE_ScaleObject(post, 0.2f, 4.9f, 0.2f, 0);
    }
    int above = beam;
    for (int i = 1; i <= 4; ++i) {
        int ball = Body(ballMesh, red, ballBody, 1.0f, 2.5f + 0.46f * (float)i, 5.0f - 0.65f * (float)i, 0.0f);
        int joint = MVE_CreateJoint(MVE_ID_AUTO, 0, above, 0.0f, 0.0f, 0.0f, ball, 0.0f, 0.0f, 0.0f,
                                    above == beam ? 0.0f : 4000.0f, 0.0f);
        MVE_SetJointDamping(joint, 40.0f);
        above = ball;
    }

    int running = ok && ground != 0;   /* a switch that failed ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        /* A click fires a ball from the eye along the ray through the pointer, at 18 units a second. */
        if (MVE_MouseButtonPushed(MOUSE_LEFT)) {
            v4f eye, *ray = MVE_GetCameraRay(MVE_GetMouseX(), MVE_GetMouseY());
            v4f velocity = {ray->x * 18.0f, ray->y * 18.0f, ray->z * 18.0f, 0.0f};
            MVE_GetCameraPosition(&eye, 0);
            int ball = Body(ballMesh, metal, ballBody, 2.0f, eye.x, eye.y - 0.5f, eye.z);
            MVE_SetObjectVelocity(ball, &velocity, 0.0f, 0.0f, 0.0f, 0);
        }

        MVE_RenderWorld(-1);
        char line[96];
        snprintf(line, sizeof line, "energy %.0f J, %d moving objects", (double)MVE_GetEnergy(15), MVE_GetObjectCount(1));
        MVE_DrawText(-1, 10.0f, 10.0f, "Click to fire a ball, Escape quits", MVE_IGNORE, MVE_IGNORE_F, MVE_IGNORE);
        MVE_DrawText(-1, 10.0f, 32.0f, line, 0xFFC0E0FFu, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && ground != 0 ? 0 : 1;
}
