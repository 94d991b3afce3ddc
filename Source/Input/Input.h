// Keyboard, mouse and joysticks: live state fed by the platform's events, frozen once per frame
// into snapshots that the getters read. Main thread only.
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

struct MVE_INPUT_STATE {
    MVE_KEYBOARD_STATE LiveKeys, Keys;
    MVE_MOUSE_STATE LiveMouse, Mouse;
};
