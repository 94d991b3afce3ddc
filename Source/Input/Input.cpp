// Keyboard and mouse: the live state the platform's events feed, the once-per-frame snapshot and the
// getters over it. Main thread only. Never reads the live state from a getter: within one frame every
// caller must see the same input.
#include "Input/Input.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "MVE.h"
#include "Platform/Platform.h"
#include "Replay/ReplayFormat.h"
#include <cstring>

static MVE_INPUT_STATE &In() { return MVE_Engine().Input; }

void MVE_InputReportBadArgument(int procedure, const std::string &message, const char *name) {
    uint32_t bit = 1u << (procedure & 31);
    if (In().uReported & bit) return;
    In().uReported |= bit;
    MVE_LogFail("Fail: " + message + " (reported once)", name);
}

// Procedure numbers for the once-only bad-argument rows.
enum { BAD_KEY = 0, BAD_BUTTON = 1 };

// ---------------------------------------------------------------- feeders
// Everything the platform feeds passes here: a recorded session writes it down, a replayed one
// takes only its own records (live input is ignored while it runs).

void MVE_InputKey(int vk, int down) {
    if (vk <= 0 || vk > 255) return;
    if (!MVE_SessionInput(mverec::kKey, vk, down ? 1 : 0)) return;
    MVE_KEYBOARD_STATE &k = In().LiveKeys;
    if (down) {
        k.iDown[vk] = 1;
        k.iPushed[vk] = 1;  // a key repeat pushes again, as typed text does
    } else {
        k.iDown[vk] = 0;
        k.iReleased[vk] = 1;
    }
}

void MVE_InputChar(uint16_t character) {
    if (!MVE_SessionInput(mverec::kChar, character)) return;
    In().LiveKeys.iLastChar = character;
}

void MVE_InputMouseMove(int x, int y) {
    if (!MVE_SessionInput(mverec::kMove, x, y)) return;
    In().LiveMouse.iX = x;
    In().LiveMouse.iY = y;
}

static bool ValidButton(int button) { return button == 1 || button == 2 || button == 4; }

void MVE_InputMouseButton(int button, int down) {
    if (!ValidButton(button)) return;
    if (!MVE_SessionInput(mverec::kButton, button, down ? 1 : 0)) return;
    MVE_MOUSE_STATE &m = In().LiveMouse;
    if (down) {
        m.iDown[button] = 1;
        m.iPushed[button] = 1;
    } else {
        m.iDown[button] = 0;
        m.iReleased[button] = 1;
    }
}

void MVE_InputMouseLeave() {
    // Button-up messages go to whichever window the cursor is over, so a button held while leaving
    // would otherwise read as held for ever.
    if (!MVE_SessionInput(mverec::kLeave)) return;
    MVE_MOUSE_STATE &m = In().LiveMouse;
    for (int b : {1, 2, 4}) m.iDown[b] = m.iReleased[b] = 0;
}

void MVE_InputMouseWheel(int notches) {
    if (!MVE_SessionInput(mverec::kWheel, notches)) return;
    In().LiveMouse.iWheel += notches;
}

void MVE_InputCloseRequest() {
    if (!MVE_SessionInput(mverec::kClose)) return;
    MVE_Engine().iCloseRequest = 1;
}

// ---------------------------------------------------------------- frame updates

static void CentreOfRenderArea(int &x, int &y) {
    const MVE_SCREEN_STATE &s = MVE_Engine().Screen;
    x = s.iWidth / 2;
    y = s.iHeight / 2;
}

// Puts the cursor at the centre; the live state goes there too, so a frame without any motion event
// (the warp's own event may arrive late or never) measures no movement.
static void HoldAtCentre() {
    int cx, cy;
    CentreOfRenderArea(cx, cy);
    MVE_PlatformWarpMouse(cx, cy);
    In().LiveMouse.iX = In().Mouse.iX = cx;
    In().LiveMouse.iY = In().Mouse.iY = cy;
}

extern "C" void MVE_UpdateKeyboard(void) {
    MVE_INPUT_STATE &in = In();
    in.Keys = in.LiveKeys;
    std::memset(in.LiveKeys.iPushed, 0, sizeof in.LiveKeys.iPushed);
    std::memset(in.LiveKeys.iReleased, 0, sizeof in.LiveKeys.iReleased);
    in.LiveKeys.iLastChar = 0;
}

extern "C" void MVE_UpdateMouse(void) {
    MVE_INPUT_STATE &in = In();
    MVE_MOUSE_STATE &live = in.LiveMouse;
    live.iDX = live.iX - in.Mouse.iX;
    live.iDY = live.iY - in.Mouse.iY;
    in.Mouse = live;
    std::memset(live.iPushed, 0, sizeof live.iPushed);
    std::memset(live.iReleased, 0, sizeof live.iReleased);
    live.iWheel = 0;
    if (live.iCaptured) HoldAtCentre();
}

extern "C" void MVE_CaptureMouse(int show) {
    In().LiveMouse.iCaptured = In().Mouse.iCaptured = 1;
    MVE_PlatformConfineMouse(1);
    HoldAtCentre();
    MVE_PlatformShowCursor(show);
}

extern "C" void MVE_ReleaseMouse(int show) {
    MVE_PlatformShowCursor(show);
    MVE_PlatformConfineMouse(0);
    In().LiveMouse.iCaptured = In().Mouse.iCaptured = 0;
}

extern "C" void MVE_SetMousePosition(int x, int y) {
    // The snapshot moves too: the getters see the new position at once, and the jump is not
    // counted as the user's movement in the next frame.
    MVE_PlatformWarpMouse(x, y);
    In().LiveMouse.iX = In().Mouse.iX = x;
    In().LiveMouse.iY = In().Mouse.iY = y;
}

extern "C" void MVE_ResetMouse(void) {
    MVE_INPUT_STATE &in = In();
    MVE_MOUSE_STATE &live = in.LiveMouse;
    std::memset(live.iPushed, 0, sizeof live.iPushed);
    std::memset(live.iReleased, 0, sizeof live.iReleased);
    live.iWheel = 0;
    live.iDX = live.iDY = 0;  // a reset frame has not moved
    in.Mouse = live;
}

// ---------------------------------------------------------------- getters

static int KeyField(const int32_t (&field)[256], int key, const char *procedure) {
    if (key < 0 || key > 255) {
        MVE_InputReportBadArgument(BAD_KEY, "key code " + std::to_string(key) + " is outside 0..255", procedure);
        return 0;
    }
    return field[key];
}

extern "C" int MVE_KeyDown(int key) { return KeyField(In().Keys.iDown, key, "MVE_KeyDown"); }
extern "C" int MVE_KeyPushed(int key) { return KeyField(In().Keys.iPushed, key, "MVE_KeyPushed"); }
extern "C" int MVE_KeyReleased(int key) { return KeyField(In().Keys.iReleased, key, "MVE_KeyReleased"); }
extern "C" int MVE_GetKeyChar(void) { return In().Keys.iLastChar; }

static int ButtonField(const int32_t (&field)[5], int button, const char *procedure) {
    if (!ValidButton(button)) {
        MVE_InputReportBadArgument(BAD_BUTTON, "mouse button " + std::to_string(button) + " is not 1, 2 or 4",
                                   procedure);
        return 0;
    }
    return field[button];
}

extern "C" int MVE_MouseButtonDown(int button) {
    return ButtonField(In().Mouse.iDown, button, "MVE_MouseButtonDown");
}
extern "C" int MVE_MouseButtonPushed(int button) {
    return ButtonField(In().Mouse.iPushed, button, "MVE_MouseButtonPushed");
}
extern "C" int MVE_MouseButtonReleased(int button) {
    return ButtonField(In().Mouse.iReleased, button, "MVE_MouseButtonReleased");
}

extern "C" int MVE_GetMouseX(void) { return In().Mouse.iX; }
extern "C" int MVE_GetMouseY(void) { return In().Mouse.iY; }
extern "C" int MVE_GetMouseDeltaX(void) { return In().Mouse.iDX; }
extern "C" int MVE_GetMouseDeltaY(void) { return In().Mouse.iDY; }
extern "C" int MVE_GetMouseWheel(void) { return In().Mouse.iWheel; }

extern "C" int MVE_MouseInRect(int x, int y, int width, int height) {
    // 64-bit sums: a rectangle reaching past INT_MAX must not wrap around.
    int64_t mx = In().Mouse.iX, my = In().Mouse.iY;
    return x <= mx && mx < int64_t(x) + width && y <= my && my < int64_t(y) + height;
}

extern "C" int MVE_MouseInCircle(int x, int y, int radius) {
    int64_t dx = int64_t(In().Mouse.iX) - x, dy = int64_t(In().Mouse.iY) - y;
    return dx * dx + dy * dy < int64_t(radius) * radius;
}
