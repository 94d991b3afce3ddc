// Keyboard, mouse and joysticks: live state fed by the platform's events, frozen once per frame
// into snapshots that the getters read. Main thread only. Nothing here talks to SDL: the platform
// layer (Platform/Input.cpp, Platform/Joystick.cpp) calls the feeders below.
#pragma once
#include <cstdint>
#include <string>

struct MVE_KEYBOARD_STATE {
    int32_t iPushed[256] = {};
    int32_t iDown[256] = {};
    int32_t iReleased[256] = {};
    uint16_t iLastChar = 0;
};

struct MVE_MOUSE_STATE {
    int32_t iX = 0, iY = 0, iDX = 0, iDY = 0;
    int32_t iPushed[5] = {}, iDown[5] = {}, iReleased[5] = {};
    int32_t iWheel = 0;
    int32_t iCaptured = 0;
};

enum : int {
    MVE_JOYSTICK_MAX = 16,
    MVE_JOYSTICK_AXES = 8,        // X, Y, Z, R, U, V and two that stay 0
    MVE_JOYSTICK_BUTTONS = 16,
    MVE_JOYSTICK_HOLD_MS = 500,   // a button held longer than this reads "held long"
};

// Bits of a joystick button's state.
enum : int {
    MVE_JOY_DOWN = 1,
    MVE_JOY_HELD = 2,
    MVE_JOY_PUSHED = 4,
    MVE_JOY_RELEASED = 8,
};

struct MVE_JOYSTICK {
    int iFound = 0;                       // opened at start-up; the rest of the record is meaningful
    int32_t iHandle = -1;                 // the platform's handle, -1 when none
    std::string sName;
    float fAxis[MVE_JOYSTICK_AXES] = {};  // -1 .. 1
    float fDeadZone[MVE_JOYSTICK_AXES] = {};
    uint32_t uPreviousButtons = 0;
    uint32_t uPressTime[MVE_JOYSTICK_BUTTONS] = {};
    int32_t iButton[MVE_JOYSTICK_BUTTONS] = {};
    float fPOV = 0.0f;                    // degrees; 0 centred, 360 straight ahead
};

// One reading of a joystick as the platform delivers it.
struct MVE_JOYSTICK_SAMPLE {
    float fAxis[6] = {};                  // X, Y, Z, R, U, V already scaled to -1 .. 1; absent axes 0
    uint32_t uButtons = 0;                // bit n = button n held
    uint32_t uPOV = 0xFFFF;               // hundredths of a degree clockwise from ahead, 0xFFFF centred
};

struct MVE_JOYSTICK_TABLE {
    MVE_JOYSTICK Stick[MVE_JOYSTICK_MAX];
    int iCount = 0;
    int iServiceOpen = 0;                 // the platform's joystick service was started by us
};

struct MVE_INPUT_STATE {
    MVE_KEYBOARD_STATE LiveKeys, Keys;
    MVE_MOUSE_STATE LiveMouse, Mouse;
    MVE_JOYSTICK_TABLE Joysticks;
    uint8_t uHeldAs[512] = {};            // platform scan code -> the virtual key it went down as
    uint32_t uReported = 0;               // procedures that already logged a bad argument (one bit each)
};

// Feeders: the platform translates its events into these (virtual-key codes, render-area pixels,
// buttons 1 left, 2 right, 4 middle).
void MVE_InputKey(int vk, int down);
void MVE_InputChar(uint16_t character);
void MVE_InputMouseMove(int x, int y);
void MVE_InputMouseButton(int button, int down);
void MVE_InputMouseLeave();
void MVE_InputMouseWheel(int notches);
void MVE_InputCloseRequest();

// Folds one reading into a joystick record at millisecond time `now` (dead zones, button edges,
// held time, point of view).
void MVE_ApplyJoystickSample(MVE_JOYSTICK &stick, const MVE_JOYSTICK_SAMPLE &sample, uint32_t now);
// Marks the joystick with this platform handle as gone: it keeps its values but is no longer read.
void MVE_InputJoystickRemoved(int32_t handle);
// What going means for the values of the joystick in a slot (a replay applies it by slot).
void MVE_InputJoystickGone(int slot);

// Logs a bad argument once per procedure, so a per-frame getter cannot flood the log.
void MVE_InputReportBadArgument(int procedure, const std::string &message, const char *name);
