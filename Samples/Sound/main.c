/* Sound: a humming ball circles the listener, who is the camera. Its circle is off centre, so it
 * comes close behind and passes far ahead: the hum moves from ear to ear, swells and fades, and its
 * pitch rises as it approaches and falls as it leaves (the Doppler effect). A radar at the top right
 * shows the circle from above. Up / Down: faster / slower; Escape or closing the window quits;
 * "--frames N" stops by itself after N frames. */
#include <MVE.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define KEY_UP 0x26
#define KEY_DOWN 0x28
#define WIDTH 640
#define HEIGHT 360
#define RADIUS 6.0f       /* the circle, around (0, 1, CENTRE_Z); the listener stands at the origin */
#define CENTRE_Z (-3.5f)

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

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - Sound", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);

    /* Dusk; the listener's eyes (and ears) at 1.7 above the origin, looking ahead along -z. */
    MVE_EnableSun(1);
    MVE_SetSunDirection(-0.3f, -1.0f, -0.5f);
    MVE_SetSunIntensity(0.25f);
    MVE_SetAmbientColor(0xFF281E18u);
    MVE_SetBackgroundColor(0xFF402818u);
    MVE_MoveCamera(0.0f, 1.7f, 0.0f, 0);
    MVE_PointCamera(0.0f, 0.6f, -8.0f, 0.0f, 0.0f, 0.0f);
    int floorMaterial = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Floor");
    MVE_SetMaterialColor(floorMaterial, 0xFF505860u);
    MVE_CreateObject(MVE_ID_AUTO, MVE_CreateRectangleMesh(MVE_ID_AUTO, 40.0f, 40.0f, 1, 1, 1.0f, 1.0f, "Floor"),
                     floorMaterial, "Floor", 0, 0);
    int post = MVE_CreateBoxMesh(MVE_ID_AUTO, 1.0f, 1.0f, 0, "Post");
    for (int i = 0; i < 8; ++i) {   /* posts round the circle, to see it by */
        int p = MVE_CreateObject(MVE_ID_AUTO, post, floorMaterial, "Post", 0, 0);
        MVE_ScaleObject(p, 0.3f, 2.4f, 0.3f, 0);
        MVE_MoveObject(p, 8.5f * sinf((float)i * 0.785f + 0.39f), 1.2f, CENTRE_Z - 8.5f * cosf((float)i * 0.785f + 0.39f), 0);
    }

    /* The source: a glowing ball carrying an orange light, and the hum. The Sound section of the
     * file sets its mode and range; MVE_PlaySound starts it at a place. */
    int ballMaterial = MVE_CreateMaterial(MVE_ID_AUTO, -1, 5, "Ball");
    MVE_SetMaterialColor(ballMaterial, 0xFF40A0FFu);
    MVE_SetMaterialEmission(ballMaterial, 0.8f);
    int ball = MVE_CreateObject(MVE_ID_AUTO, MVE_CreateSphereMesh(MVE_ID_AUTO, 0.3f, 24, 12, "Ball"), ballMaterial,
                                "Ball", 0, 0);
    int light = MVE_CreateLight(MVE_ID_AUTO, 0.0f, 1.0f, 0.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightColor(light, 0xFF60B0FFu);
    MVE_SetLightRange(light, 6.0f);
    MVE_DEFINITION_NODE *definition = MVE_ReadDefinitionFile(Resource(argv[0], "Sound.mvd"));
    int hum = MVE_LoadSoundDefinition(MVE_ID_AUTO, definition, "");
    MVE_FreeDefinitionNode(definition, 1);
    v4f start = {0.0f, 1.0f, CENTRE_Z - RADIUS, 1.0f};
    MVE_PlaySound(hum, MVE_IGNORE, &start);

    float angle = -1.4f, speed = 8.0f;    /* radians along the circle; units per second */
    int running = ok && hum != 0;          /* a switch or a file that failed ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;
        if (MVE_KeyPushed(KEY_UP) && speed < 40.0f) speed += 4.0f;
        if (MVE_KeyPushed(KEY_DOWN) && speed > 4.0f) speed -= 4.0f;

        /* Along the circle (clockwise seen from above), then ball, light and sound to the new place. */
        float seconds = MVE_GetFrameTime(), before = sqrtf(start.x * start.x + start.z * start.z);
        angle += speed / RADIUS * seconds;
        start.x = RADIUS * sinf(angle);
        start.z = CENTRE_Z - RADIUS * cosf(angle);
        MVE_MoveObject(ball, start.x, start.y, start.z, 0);
        MVE_MoveLight(light, start.x, start.y, start.z, 0);
        MVE_SetSoundPosition(hum, start.x, start.y, start.z);
        MVE_UpdateSounds();   /* once a frame: volume, pan and pitch of every playing sound */

        /* The circle on the floor, as debug lines for the next frame. */
        for (int i = 0; i < 48; ++i) {
            float a = (float)i * 6.2831853f / 48.0f, b = (float)(i + 1) * 6.2831853f / 48.0f;
            MVE_DrawLine(RADIUS * sinf(a), 0.02f, CENTRE_Z - RADIUS * cosf(a), RADIUS * sinf(b), 0.02f,
                         CENTRE_Z - RADIUS * cosf(b), 0xFF2080C0u);
        }
        MVE_RenderWorld(-1);

        /* The radar: the circle from above as dots, the listener in white, the ball in orange. */
        float cx = 560.0f, cy = 80.0f, scale = 8.0f;   /* the circle's centre on the screen; pixels per unit */
        MVE_DrawPanel(cx - 70.0f, cy - 62.0f, 140.0f, 140.0f, 0xC0201008u);
        for (int i = 0; i < 32; ++i) {
            float a = (float)i * 6.2831853f / 32.0f;
            MVE_DrawPanel(cx + scale * RADIUS * sinf(a) - 2.0f, cy - scale * RADIUS * cosf(a) - 2.0f, 4.0f, 4.0f,
                          0xFFC0A080u);
        }
        MVE_DrawPanel(cx - 4.0f, cy - scale * CENTRE_Z - 4.0f, 8.0f, 8.0f, 0xFFFFFFFFu);
        MVE_DrawPanel(cx + scale * start.x - 5.0f, cy + scale * (start.z - CENTRE_Z) - 5.0f, 10.0f, 10.0f, 0xFF40A0FFu);

        /* What the listener hears, worked out from the positions alone. */
        char line[160];
        float distance = sqrtf(start.x * start.x + start.z * start.z);
        float bearing = atan2f(start.x, -start.z) * 57.29578f;   /* degrees from straight ahead, right positive */
        const char *side = fabsf(bearing) < 30.0f ? "ahead" : fabsf(bearing) > 150.0f ? "behind"
                         : bearing < 0.0f        ? "the left" : "the right";
        snprintf(line, sizeof line, "distance %.1f, %s%s, %s", (double)distance, side[0] == 't' ? "from " : "", side,
                 distance < before ? "coming nearer: higher" : "going away: lower");
        MVE_DrawText(-1, 10.0f, 10.0f, line, MVE_IGNORE, MVE_IGNORE_F, MVE_IGNORE);
        snprintf(line, sizeof line, "speed %.0f units/s (Up / Down), Escape quits", (double)speed);
        MVE_DrawText(-1, 10.0f, 32.0f, line, 0xFFC0C0C0u, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && hum != 0 ? 0 : 1;
}
