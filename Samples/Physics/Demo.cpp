// The "Physics" demonstration: a chain of 34 jointed balls falls onto a static block; the user flies
// the camera with the mouse and W, A, S, D, fires balls with the left button and throws bars with
// the right one, and reads the frame rate, the physics rate, the energy and the counts on screen.
// The demonstration checks no result: a resource that fails leaves a red row in the log and the
// calls that would use it do nothing.
#include "Demo.h"
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace mvedemo {

namespace {

DemoState g_state;
std::string g_resources;

constexpr int kKeyEscape = 0x1B, kKeyW = 0x57, kKeyA = 0x41, kKeyS = 0x53, kKeyD = 0x44;
constexpr int kMouseLeft = 1, kMouseRight = 2;
constexpr uint32_t kDefaultColor = static_cast<uint32_t>(MVE_IGNORE);
constexpr uint32_t kRed = 0xFF0000FFu;

// The data folder becomes the current directory: every file below is named relative to it.
void EnterResources() {
    std::error_code error;
    std::filesystem::current_path(g_resources, error);
    if (error) {
        const std::string row = "Fail: The data folder \"" + g_resources + "\" cannot be entered (" + error.message() + ")!";
        MVE_Log(row.c_str(), kRed, __LINE__, 0, __FILE__, "DemoStart");
    }
}

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    return text;
}

// Sends a new body off along the ray through the screen centre at 10 units/s.
void Launch(int object) {
    v4f direction = *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE);
    MVE_v4fScale(&direction, 10.0f);
    MVE_SetObjectVelocity(object, &direction, 0.0f, 0.0f, 0.0f, 5);
}

void FireBall() {
    const int ball = MVE_CreateObject(MVE_ID_AUTO, g_state.iBallMesh, MVE_GetMaterialID("Ball"), "", 0, 1);
    g_state.iLastObject = ball;
    MVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, 0);
    MVE_SetObjectPosition(ball, MVE_GetCameraPosition(nullptr, 4), 0);
    MVE_SetObjectBody(ball, g_state.iBallBody, 1.0f);
    MVE_SetObjectMass(ball, 1.0f);
    Launch(ball);
}

void ThrowBar() {
    const int bar = MVE_CreateObject(MVE_ID_AUTO, g_state.iCubeMesh, MVE_GetMaterialID("Plane"), "", 0, 1);
    g_state.iLastObject = bar;
    MVE_ScaleObject(bar, 1.0f, 0.1f, 0.1f, 0);
    const float r1 = MVE_RandomFloat(360.0f, 0.0f), r2 = MVE_RandomFloat(360.0f, 0.0f), r3 = MVE_RandomFloat(360.0f, 0.0f);
    MVE_RotateObject(bar, r1, r2, r3, 0);
    MVE_SetObjectPosition(bar, MVE_GetCameraPosition(nullptr, 4), 0);
    MVE_SetObjectBody(bar, g_state.iBoxBody, 1.0f);
    MVE_SetObjectMass(bar, 1.0f);
    MVE_SetObjectFriction(bar, 0.0f);
    Launch(bar);
}

// What the frame line shows until a first rate is measured: the first frames build the shader
// code, which takes seconds on a CPU renderer, and "0.0" would read as a hang. An ellipsis where
// the font has one.
std::string Waiting(int font) {
    static const char kEllipsis[] = "\xE2\x80\xA6";
    return MVE_GetTextWidth(font, kEllipsis, 1.0f) > 0.0f ? kEllipsis : "...";
}

void DrawStatistics() {
    DemoState &s = g_state;
    const float rate = MVE_GetFramesPerSecond();
    s.sStatistics[0] = "Frames: " + (rate > 0.0f ? Number(rate) : Waiting(s.iFont));
    s.sStatistics[1] = "Physik: " + Number(MVE_GetPhysicsRate());
    s.sStatistics[2] = "Gesamtenergie: " + Number(MVE_GetEnergy(15));
    s.sStatistics[3] = "  Lage: " + Number(MVE_GetEnergy(4));
    s.sStatistics[4] = "  Spannung: " + Number(MVE_GetEnergy(8));
    s.sStatistics[5] = "  Translation: " + Number(MVE_GetEnergy(1));
    s.sStatistics[6] = "  Rotation: " + Number(MVE_GetEnergy(2));
    s.sStatistics[7] = "Objects: " + std::to_string(MVE_GetObjectCount(1)) + " (dyn) + " +
                       std::to_string(MVE_GetObjectCount(2)) + " (stc)";
    s.sStatistics[8] = "Joints: " + std::to_string(MVE_GetJointCount());
    static const float kY[9] = {25, 50, 100, 125, 150, 175, 200, 250, 275};
    static const uint32_t kColor[9] = {kDefaultColor, kDefaultColor, kDefaultColor, 0xFF80FFFFu, 0xFF4080FFu,
                                       0xFF40FF80u, 0xFFFFC080u, kDefaultColor, kDefaultColor};
    for (int i = 0; i < 9; ++i)
        MVE_DrawText(s.iFont, 20.0f, kY[i], s.sStatistics[i].c_str(), kColor[i], MVE_IGNORE_F, MVE_IGNORE);
}

}  // namespace

const DemoState &GetDemoState() { return g_state; }

int DemoStart(const DemoOptions &options) {
    g_state = DemoState{};
    g_resources = options.sResources;
    DemoState &s = g_state;

    MVE_OpenWindow(0, options.iWidth, options.iHeight, "Morvek Engine - Physics", options.iWindowFlags);
    if (!MVE_OpenScreen(0, 0, 0, MVE_GetWindowWidth(0), MVE_GetWindowHeight(0), 32)) {
        MVE_CloseWindow(0);
        return 0;
    }
    MVE_SetVSync(1);
    MVE_CaptureMouse(0);
    EnterResources();

    MVE_SetBackgroundColor(0xFF808080u);
    MVE_EnableSun(0);
    s.iLight = MVE_CreateLight(27, 0.0f, 5.0f, 0.0f, MVE_LIGHT_TYPE_POINT);
    MVE_SetLightColor(s.iLight, 0xFFFFFFFFu);
    MVE_SetLightShadow(s.iLight, 1, 0);
    MVE_SetLightIntensity(s.iLight, 0.8f);
    MVE_SetLightRange(s.iLight, 100.0f);
    MVE_SetAmbientColor(0xFF101010u);
    MVE_EnableShadows(1);
    MVE_SetFarPlane(200.0f);
    MVE_SetNearPlane(0.1f);
    MVE_SetFieldOfView(60.0f);
    MVE_MoveCamera(0.0f, 4.0f, 16.0f, 0);

    s.iFont = MVE_LoadFont(19, "Arial.tf");
    MVE_ParseDefinitionFiles("Materials.mvd", 15);
    const int crossTexture = MVE_LoadTextureFile(MVE_ID_AUTO, "Cross.png", MVE_IGNORE, 0, "");
    const int crossMaterial = MVE_CreateMaterial(21, crossTexture, 24, "");
    s.iCrosshair = MVE_CreateSprite(20, crossMaterial, 0.0f, 0.0f);
    s.iHitSound = MVE_LoadSoundFile(29, "Hit.ogg", 0, "");
    // A ball striking anything knocks.
    MVE_SetCollisionSound(s.iHitSound, MVE_GetMaterialID("Ball"), -1);

    MVE_LoadMesh(1, "Plane.mvm", "", 0);
    MVE_LoadBody(2, "Plane.mvb", "");
    s.iBallMesh = MVE_LoadOBJMesh(5, "Ball.obj", "");
    MVE_FinishMesh(s.iBallMesh);
    s.iBallBody = MVE_CreateSphereBody(6, 2.0f, "");
    MVE_CreateSphereMesh(28, 1.0f, 36, 18, "");
    s.iCubeMesh = MVE_LoadMesh(11, "Cube.mvm", "", 0);
    s.iBoxBody = MVE_CreateBodyFromMesh(12, s.iCubeMesh, MVE_SHAPE_BOX, 1.0f, "");
    MVE_LoadOBJMesh(22, "Rocks.obj", "");
    EnterResources();

    // The static block, then the chain: each ball but the first hangs on a spring from the one before.
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    s.iBlock = MVE_CreateObject(14, s.iCubeMesh, MVE_GetMaterialID("Plane"), "", 0, 1);
    s.iPreviousLink = s.iBlock;
    MVE_SetObjectBody(s.iBlock, s.iBoxBody, 1.0f);
    MVE_MoveObject(s.iBlock, 0.0f, 8.0f, -4.0f, 0);
    MVE_SetObjectMass(s.iBlock, 0.0f);
    MVE_SetObjectFriction(s.iBlock, 0.0f);
    for (s.iLoop = -16; s.iLoop <= 17; ++s.iLoop) {
        const int ball = MVE_CreateObject(MVE_ID_AUTO, s.iBallMesh, MVE_GetMaterialID("Ball"), "", 0, 1);
        s.iLastObject = ball;
        MVE_SetObjectBody(ball, s.iBallBody, 1.0f);
        MVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, 0);
        MVE_MoveObject(ball, static_cast<float>(s.iLoop), 12.0f, -4.0f, 0);
        MVE_SetObjectMass(ball, 2.0f);
        if (s.iPreviousLink != s.iBlock) {
            const int joint = MVE_CreateJoint(MVE_ID_AUTO, 0, s.iPreviousLink, 1.0f, 0.0f, 0.0f, ball, -1.0f, 0.0f, 0.0f,
                                              10000.0f, 0.0f);
            MVE_SetJointDamping(joint, 100.0f);
        }
        MVE_SetObjectFriction(ball, 0.0f);
        s.iPreviousLink = ball;
    }
    MVE_MoveLight(s.iLight, 5.0f, 5.0f, 5.0f, 0);
    MVE_SetJoystickDeadZone(0, -1, 0.2f);
    return 1;
}

int DemoFrame(const char *screenshot) {
    DemoState &s = g_state;
    for (int event; (event = MVE_WindowEvent()) != MVE_EVENT_NONE;)
        if (event == MVE_EVENT_CLOSE) return 0;

    MVE_UpdateMouse();
    MVE_UpdateKeyboard();
    MVE_UpdateSounds();
    MVE_UpdateJoysticks();
    MVE_UpdateParticles();
    MVE_DrawBodies(0);

    // A joystick drives object 16 when a program made one (this one does not).
    const float dt = MVE_GetFrameTime();
    if (MVE_IsObject(16)) {
        MVE_MoveObject(16, MVE_GetJoystickAxis(0, 0, 0.0f) * dt, -MVE_GetJoystickAxis(0, 1, 0.0f) * dt,
                       MVE_GetJoystickAxis(0, 2, 0.0f) * dt, 5);
        MVE_RotateObject(16, MVE_GetJoystickAxis(0, 3, 0.0f) * 90.0f * dt, -MVE_GetJoystickAxis(0, 4, 0.0f) * 90.0f * dt,
                         MVE_GetJoystickAxis(0, 5, 0.0f) * 90.0f * dt, 5);
    }

    // A press shorter than a frame (a slow machine, a quick click or tap) still counts: its push was
    // seen even though the button or key is already up again when the frame looks.
    if (MVE_MouseButtonDown(kMouseLeft) || MVE_MouseButtonPushed(kMouseLeft)) FireBall();
    if (MVE_MouseButtonReleased(kMouseRight)) ThrowBar();

    // Heading about the world's vertical, then tilt about the camera's own horizontal axis.
    MVE_RotateCamera(0.0f, -0.3f * static_cast<float>(MVE_GetMouseDeltaX()), 0.0f, 5);
    MVE_RotateCamera(-0.3f * static_cast<float>(MVE_GetMouseDeltaY()), 0.0f, 0.0f, 3);
    const float step = 10.0f * dt;
    if (MVE_KeyDown(kKeyW))
        MVE_MoveCamera(0.0f, 0.0f, -step, 3);
    else if (MVE_KeyDown(kKeyS))
        MVE_MoveCamera(0.0f, 0.0f, step, 3);
    if (MVE_KeyDown(kKeyA))
        MVE_MoveCamera(-step, 0.0f, 0.0f, 3);
    else if (MVE_KeyDown(kKeyD))
        MVE_MoveCamera(step, 0.0f, 0.0f, 3);
    if (MVE_KeyDown(kKeyEscape) || MVE_KeyPushed(kKeyEscape)) return 0;

    MVE_RenderWorld(-1);
    MVE_DrawSprite(s.iCrosshair, static_cast<float>(MVE_GetScreenWidth()) / 2.0f,
                   static_cast<float>(MVE_GetScreenHeight()) / 2.0f);
    DrawStatistics();
    if (screenshot) MVE_SaveScreenshot(screenshot);
    MVE_FlipBuffers();
    ++s.iFrames;
    return 1;
}

void DemoStop() {
    MVE_Quit();
    MVE_CloseWindow(0);
}

}  // namespace mvedemo
