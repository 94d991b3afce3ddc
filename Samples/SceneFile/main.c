/* SceneFile: everything on screen comes from one definition file, Resources/Scene.mvd. The engine
 * loads its Texture and Material sections itself; the program walks the file's Scene section for
 * the sky, the sun, the camera, the objects and the lights, in the same key: value syntax. Edit the
 * file and start again to change the scene. Escape or closing the window quits; "--frames N"
 * stops by itself after N frames. */
#include <MVE.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KEY_ESCAPE 0x1B   /* keys are Windows virtual-key codes */
#define WIDTH 640
#define HEIGHT 360
#define MOST 64           /* objects that spin */

/* Files are looked up in "Resources" beside the program, wherever it was started from. */
static const char *Resource(const char *argv0, const char *file)
{
    static char path[4096];
    const char *slash = strrchr(argv0, '/');
    snprintf(path, sizeof path, "%.*sResources/%s", slash ? (int)(slash - argv0 + 1) : 0, argv0, file);
    return path;
}

/* A direct child by its key ("\\Key"), null when the block has none. */
static MVE_DEFINITION_NODE *Key(MVE_DEFINITION_NODE *block, const char *key)
{
    char path[64];
    snprintf(path, sizeof path, "\\%s", key);
    return MVE_FindDefinitionNode(block, path, "", 0);
}

static v4f Vector(MVE_DEFINITION_NODE *block, const char *key, float x, float y, float z)
{
    v4f v;
    MVE_ReadDefinitionVector(Key(block, key), &v, x, y, z, 0.0f);
    return v;
}

/* The colour under a key as 0xAABBGGRR, opaque white when it is missing. */
static uint32_t Color(MVE_DEFINITION_NODE *block, const char *key)
{
    return MVE_ReadDefinitionColor(Key(block, key), NULL, 0xFFFFFFFFu);
}

/* An Object block: a mesh of its Shape, the material named by its Surface, then its placement. */
static int MakeObject(MVE_DEFINITION_NODE *block, const char *argv0)
{
    const char *shape = MVE_ReadDefinitionString(Key(block, "Shape"), "Box");
    float size = MVE_ReadDefinitionFloat(Key(block, "Size"), 1.0f);
    int mesh;
    if (strcmp(shape, "Sphere") == 0) mesh = MVE_CreateSphereMesh(MVE_ID_AUTO, size, 32, 16, "");
    else if (strcmp(shape, "Plane") == 0) mesh = MVE_CreatePlaneMesh(MVE_ID_AUTO, size, MVE_ReadDefinitionFloat(Key(block, "Repeat"), 1.0f), "");
    else if (strcmp(shape, "Mesh") == 0) mesh = MVE_LoadOBJMesh(MVE_ID_AUTO, Resource(argv0, MVE_ReadDefinitionString(Key(block, "File"), "")), "");
    else mesh = MVE_CreateBoxMesh(MVE_ID_AUTO, size, 1.0f, 0, "");
    int object = MVE_CreateObject(MVE_ID_AUTO, mesh, MVE_GetMaterialID(MVE_ReadDefinitionString(Key(block, "Surface"), "")),
                                  MVE_GetDefinitionValue(block), 0, 0);
    v4f p = Vector(block, "Position", 0, 0, 0), r = Vector(block, "Rotation", 0, 0, 0), s = Vector(block, "Scale", 1, 1, 1);
    MVE_MoveObject(object, p.x, p.y, p.z, 0);
    MVE_RotateObject(object, r.x, r.y, r.z, 0);
    MVE_ScaleObject(object, s.x, s.y, s.z, 0);
    return object;
}

int main(int argc, char **argv)
{
    /* --record, --replay, --hashes and --screenshot are the engine's; --frames is ours. */
    int ok = MVE_HandleCommandLine(argc, argv), frames = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[i + 1]);

    if (!MVE_OpenWindow(0, WIDTH, HEIGHT, "Morvek Engine - SceneFile", MVE_WINDOW_NORMAL)) return 1;
    if (!MVE_OpenScreen(0, 0, 0, WIDTH, HEIGHT, 32)) {   /* the reason is in "MVE LogFile.html" */
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);

    /* The engine's sections first: the materials must exist before objects name them. */
    const char *file = Resource(argv[0], "Scene.mvd");
    MVE_ParseDefinitionFiles(file, MVE_DEFINITION_TEXTURE | MVE_DEFINITION_MATERIAL);
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(file);
    MVE_DEFINITION_NODE *scene = MVE_FindDefinitionNode(root, "Scene", "", 0);

    MVE_DEFINITION_NODE *sun = Key(scene, "Sun"), *camera = Key(scene, "Camera");
    MVE_SetBackgroundColor(Color(scene, "Background"));
    MVE_SetAmbientColor(Color(scene, "Ambient"));
    MVE_EnableSun(sun != NULL);
    if (sun) {
        v4f d = Vector(sun, "Direction", 0, -1, 0);
        MVE_SetSunDirection(d.x, d.y, d.z);
        MVE_SetSunColor(Color(sun, "Color"));
        MVE_SetSunIntensity(MVE_ReadDefinitionFloat(Key(sun, "Intensity"), 1.0f));
        MVE_EnableShadows(MVE_ReadDefinitionInteger(Key(sun, "Shadows"), 0));
    }
    v4f eye = Vector(camera, "Position", 0, 2, 8), at = Vector(camera, "LookAt", 0, 0, 0);
    MVE_MoveCamera(eye.x, eye.y, eye.z, 0);
    MVE_PointCamera(at.x, at.y, at.z, 0.0f, 0.0f, 0.0f);
    MVE_SetFieldOfView(MVE_ReadDefinitionFloat(Key(camera, "FieldOfView"), 45.0f));

    /* Objects and lights in file order; the objects with a Spin are kept to be turned. */
    int spinning[MOST], count = 0, made = 0;
    v4f spin[MOST];
    for (MVE_DEFINITION_NODE *node = MVE_GetDefinitionNode(scene, 0); node; node = MVE_NextDefinitionNode(node)) {
        const char *key = MVE_GetDefinitionKey(node);
        if (strcmp(key, "Object") == 0) {
            int object = MakeObject(node, argv[0]);
            made += object != 0;
            if (object && Key(node, "Spin") && count < MOST) {
                spin[count] = Vector(node, "Spin", 0, 0, 0);
                spinning[count++] = object;
            }
        } else if (strcmp(key, "Light") == 0) {
            v4f p = Vector(node, "Position", 0, 2, 0);
            int light = MVE_CreateLight(MVE_ID_AUTO, p.x, p.y, p.z, MVE_LIGHT_TYPE_POINT);
            MVE_SetLightColor(light, Color(node, "Color"));
            MVE_SetLightRange(light, MVE_ReadDefinitionFloat(Key(node, "Range"), 10.0f));
            MVE_SetLightIntensity(light, MVE_ReadDefinitionFloat(Key(node, "Intensity"), 1.0f));
        }
    }
    MVE_FreeDefinitionNode(root, 1);   /* every value is read: the tree can go */

    int running = ok && made > 0;   /* a switch that failed, or a file without objects, ends the program */
    for (int frame = 1; running; ++frame) {
        int event;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) running = 0;
        MVE_UpdateKeyboard();
        MVE_UpdateMouse();
        if (MVE_KeyPushed(KEY_ESCAPE)) running = 0;

        float seconds = MVE_GetFrameTime();
        for (int i = 0; i < count; ++i)
            MVE_RotateObject(spinning[i], spin[i].x * seconds, spin[i].y * seconds, spin[i].z * seconds, 1);

        MVE_RenderWorld(-1);
        MVE_DrawText(-1, 10.0f, 10.0f, "All of this is Resources/Scene.mvd. Escape quits", 0xFFE0E0E0u, MVE_IGNORE_F, MVE_IGNORE);
        MVE_FlipBuffers();
        if (frame == frames) running = 0;
    }

    MVE_Quit();
    MVE_CloseWindow(0);
    return ok && made > 0 ? 0 : 1;
}
