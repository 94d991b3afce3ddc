// SDL keyboard, mouse and window events translated into the engine's live input state, with keys
// as Windows virtual-key codes; and the cursor (warp, show, confine). Main thread only, from the
// event pump. Never keeps an SDL pointer of its own: the window lives in MVE_Engine().Screen.
#include "Core/Engine.h"
#include "Input/Input.h"
#include "Platform/Platform.h"
#include <SDL2/SDL.h>
#include <array>
#include <cmath>

namespace {

// Physical key position (USB usage, as SDL numbers it) to the virtual key a US layout gives on
// Windows. Modifiers map to the generic 0x10/0x11/0x12, as WM_KEYDOWN reports them.
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> MakeVirtualKeys() {
    std::array<uint8_t, SDL_NUM_SCANCODES> t{};
    for (int i = 0; i < 26; ++i) t[SDL_SCANCODE_A + i] = uint8_t(0x41 + i);
    for (int i = 0; i < 9; ++i) t[SDL_SCANCODE_1 + i] = uint8_t(0x31 + i);
    t[SDL_SCANCODE_0] = 0x30;
    for (int i = 0; i < 12; ++i) t[SDL_SCANCODE_F1 + i] = uint8_t(0x70 + i);
    for (int i = 0; i < 12; ++i) t[SDL_SCANCODE_F13 + i] = uint8_t(0x7C + i);
    for (int i = 0; i < 9; ++i) t[SDL_SCANCODE_KP_1 + i] = uint8_t(0x61 + i);
    t[SDL_SCANCODE_KP_0] = 0x60;
    t[SDL_SCANCODE_KP_MULTIPLY] = 0x6A;
    t[SDL_SCANCODE_KP_PLUS] = 0x6B;
    t[SDL_SCANCODE_KP_COMMA] = 0x6C;
    t[SDL_SCANCODE_KP_MINUS] = 0x6D;
    t[SDL_SCANCODE_KP_PERIOD] = 0x6E;
    t[SDL_SCANCODE_KP_DIVIDE] = 0x6F;
    t[SDL_SCANCODE_KP_ENTER] = 0x0D;
    t[SDL_SCANCODE_RETURN] = 0x0D;
    t[SDL_SCANCODE_RETURN2] = 0x0D;
    t[SDL_SCANCODE_ESCAPE] = 0x1B;
    t[SDL_SCANCODE_BACKSPACE] = 0x08;
    t[SDL_SCANCODE_TAB] = 0x09;
    t[SDL_SCANCODE_SPACE] = 0x20;
    t[SDL_SCANCODE_CAPSLOCK] = 0x14;
    t[SDL_SCANCODE_PRINTSCREEN] = 0x2C;
    t[SDL_SCANCODE_SCROLLLOCK] = 0x91;
    t[SDL_SCANCODE_PAUSE] = 0x13;
    t[SDL_SCANCODE_INSERT] = 0x2D;
    t[SDL_SCANCODE_DELETE] = 0x2E;
    t[SDL_SCANCODE_HOME] = 0x24;
    t[SDL_SCANCODE_END] = 0x23;
    t[SDL_SCANCODE_PAGEUP] = 0x21;
    t[SDL_SCANCODE_PAGEDOWN] = 0x22;
    t[SDL_SCANCODE_LEFT] = 0x25;
    t[SDL_SCANCODE_UP] = 0x26;
    t[SDL_SCANCODE_RIGHT] = 0x27;
    t[SDL_SCANCODE_DOWN] = 0x28;
    t[SDL_SCANCODE_NUMLOCKCLEAR] = 0x90;
    t[SDL_SCANCODE_CLEAR] = 0x0C;
    t[SDL_SCANCODE_SELECT] = 0x29;
    t[SDL_SCANCODE_EXECUTE] = 0x2B;
    t[SDL_SCANCODE_HELP] = 0x2F;
    t[SDL_SCANCODE_APPLICATION] = 0x5D;
    t[SDL_SCANCODE_MENU] = 0x5D;
    t[SDL_SCANCODE_SLEEP] = 0x5F;
    t[SDL_SCANCODE_LSHIFT] = t[SDL_SCANCODE_RSHIFT] = 0x10;
    t[SDL_SCANCODE_LCTRL] = t[SDL_SCANCODE_RCTRL] = 0x11;
    t[SDL_SCANCODE_LALT] = t[SDL_SCANCODE_RALT] = 0x12;
    t[SDL_SCANCODE_LGUI] = 0x5B;
    t[SDL_SCANCODE_RGUI] = 0x5C;
    // OEM keys: punctuation by position.
    t[SDL_SCANCODE_SEMICOLON] = 0xBA;
    t[SDL_SCANCODE_EQUALS] = 0xBB;
    t[SDL_SCANCODE_COMMA] = 0xBC;
    t[SDL_SCANCODE_MINUS] = 0xBD;
    t[SDL_SCANCODE_PERIOD] = 0xBE;
    t[SDL_SCANCODE_SLASH] = 0xBF;
    t[SDL_SCANCODE_GRAVE] = 0xC0;
    t[SDL_SCANCODE_LEFTBRACKET] = 0xDB;
    t[SDL_SCANCODE_BACKSLASH] = 0xDC;
    t[SDL_SCANCODE_NONUSHASH] = 0xDC;  // same key position as the US backslash
    t[SDL_SCANCODE_RIGHTBRACKET] = 0xDD;
    t[SDL_SCANCODE_APOSTROPHE] = 0xDE;
    t[SDL_SCANCODE_NONUSBACKSLASH] = 0xE2;
    // Media and browser keys.
    t[SDL_SCANCODE_AC_BACK] = 0xA6;
    t[SDL_SCANCODE_AC_FORWARD] = 0xA7;
    t[SDL_SCANCODE_AC_REFRESH] = 0xA8;
    t[SDL_SCANCODE_AC_STOP] = 0xA9;
    t[SDL_SCANCODE_AC_SEARCH] = 0xAA;
    t[SDL_SCANCODE_AC_BOOKMARKS] = 0xAB;
    t[SDL_SCANCODE_AC_HOME] = 0xAC;
    t[SDL_SCANCODE_MUTE] = t[SDL_SCANCODE_AUDIOMUTE] = 0xAD;
    t[SDL_SCANCODE_VOLUMEDOWN] = 0xAE;
    t[SDL_SCANCODE_VOLUMEUP] = 0xAF;
    t[SDL_SCANCODE_AUDIONEXT] = 0xB0;
    t[SDL_SCANCODE_AUDIOPREV] = 0xB1;
    t[SDL_SCANCODE_AUDIOSTOP] = 0xB2;
    t[SDL_SCANCODE_AUDIOPLAY] = 0xB3;
    t[SDL_SCANCODE_MAIL] = 0xB4;
    t[SDL_SCANCODE_MEDIASELECT] = 0xB5;
    t[SDL_SCANCODE_COMPUTER] = 0xB6;
    t[SDL_SCANCODE_CALCULATOR] = 0xB7;
    return t;
}
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> kVirtualKey = MakeVirtualKeys();

// With num lock off the keypad is a second set of navigation keys, as Windows reports it.
uint8_t KeypadWithoutNumLock(SDL_Scancode sc) {
    switch (sc) {
    case SDL_SCANCODE_KP_0: return 0x2D;       // insert
    case SDL_SCANCODE_KP_1: return 0x23;       // end
    case SDL_SCANCODE_KP_2: return 0x28;       // down
    case SDL_SCANCODE_KP_3: return 0x22;       // page down
    case SDL_SCANCODE_KP_4: return 0x25;       // left
    case SDL_SCANCODE_KP_5: return 0x0C;       // clear
    case SDL_SCANCODE_KP_6: return 0x27;       // right
    case SDL_SCANCODE_KP_7: return 0x24;       // home
    case SDL_SCANCODE_KP_8: return 0x26;       // up
    case SDL_SCANCODE_KP_9: return 0x21;       // page up
    case SDL_SCANCODE_KP_PERIOD: return 0x2E;  // delete
    default: return 0;
    }
}

uint8_t VirtualKeyOf(const SDL_Keysym &key) {
    if (key.scancode < 0 || key.scancode >= SDL_NUM_SCANCODES) return 0;
    if (!(key.mod & KMOD_NUM))
        if (uint8_t nav = KeypadWithoutNumLock(key.scancode)) return nav;
    return kVirtualKey[key.scancode];
}

// Keys that type a control character on Windows without producing text input in SDL.
uint16_t ControlCharacterOf(uint8_t vk) {
    switch (vk) {
    case 0x08: case 0x09: case 0x0D: case 0x1B: return vk;
    default: return 0;
    }
}

// The first UTF-16 unit of the first character of a UTF-8 text; malformed text gives 0.
uint16_t FirstUtf16Unit(const char *text) {
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    uint32_t c = s[0];
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) return 0;
    if (extra) c &= 0x3F >> extra;
    for (int i = 1; i <= extra; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (s[i] & 0x3F);
    }
    if (c > 0x10FFFF) return 0;
    if (c >= 0x10000) return uint16_t(0xD800 + ((c - 0x10000) >> 10));  // high surrogate
    return uint16_t(c);
}

// Whole notches: each event adds its own truncated count, so a half notch from a fine-grained
// wheel adds nothing (as a 60-unit wheel message does on Windows).
int WheelNotches(const SDL_MouseWheelEvent &w) {
    float y = w.preciseY != 0.0f ? w.preciseY : float(w.y);
    if (w.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
    if (!std::isfinite(y)) return 0;
    y = std::fmax(-1.0e6f, std::fmin(1.0e6f, y));
    return int(y);
}

int EngineButton(uint8_t sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
    }
}

SDL_Window *RenderWindow() { return static_cast<SDL_Window *>(MVE_Engine().Screen.pWindow); }

// Events without a window (pushed by hand) count as the render window's.
bool IsRenderWindow(Uint32 windowID) {
    SDL_Window *w = RenderWindow();
    return !w || !windowID || SDL_GetWindowID(w) == windowID;
}

}  // namespace

void MVE_PlatformHandleInputEvent(const void *event) {
    if (!event) return;
    const SDL_Event &e = *static_cast<const SDL_Event *>(event);
    MVE_INPUT_STATE &in = MVE_Engine().Input;
    const MVE_SCREEN_STATE &screen = MVE_Engine().Screen;
    switch (e.type) {
    case SDL_KEYDOWN: {
        uint8_t vk = VirtualKeyOf(e.key.keysym);
        if (!vk) break;
        in.uHeldAs[e.key.keysym.scancode] = vk;
        MVE_InputKey(vk, 1);
        if (uint16_t c = ControlCharacterOf(vk); c && !(e.key.keysym.mod & KMOD_ALT)) MVE_InputChar(c);
        break;
    }
    case SDL_KEYUP: {
        int sc = e.key.keysym.scancode;
        if (sc < 0 || sc >= SDL_NUM_SCANCODES) break;
        // Release the key it went down as, even if num lock changed in between.
        uint8_t vk = in.uHeldAs[sc] ? in.uHeldAs[sc] : VirtualKeyOf(e.key.keysym);
        in.uHeldAs[sc] = 0;
        if (vk) MVE_InputKey(vk, 0);
        break;
    }
    case SDL_TEXTINPUT:
        if (uint16_t c = FirstUtf16Unit(e.text.text)) MVE_InputChar(c);
        break;
    case SDL_MOUSEMOTION:
        // Client pixels of the window under the cursor; in the render window, of the render area.
        if (IsRenderWindow(e.motion.windowID)) MVE_InputMouseMove(e.motion.x - screen.iX, e.motion.y - screen.iY);
        else MVE_InputMouseMove(e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        // A double click arrives as a second plain press.
        if (int b = EngineButton(e.button.button)) MVE_InputMouseButton(b, e.type == SDL_MOUSEBUTTONDOWN);
        break;
    case SDL_MOUSEWHEEL:
        MVE_InputMouseWheel(WheelNotches(e.wheel));
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_LEAVE) MVE_InputMouseLeave();
        else if (e.window.event == SDL_WINDOWEVENT_CLOSE) MVE_InputCloseRequest();
        break;
    case SDL_QUIT:
        MVE_InputCloseRequest();
        break;
    case SDL_JOYDEVICEREMOVED:
        MVE_InputJoystickRemoved(e.jdevice.which);
        break;
    default:
        break;
    }
}

void MVE_PlatformWarpMouse(int x, int y) {
    SDL_Window *w = RenderWindow();
    if (!w) return;
    const MVE_SCREEN_STATE &screen = MVE_Engine().Screen;
    SDL_WarpMouseInWindow(w, x + screen.iX, y + screen.iY);
}

void MVE_PlatformShowCursor(int show) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void MVE_PlatformConfineMouse(int confine) {
    if (SDL_Window *w = RenderWindow()) SDL_SetWindowMouseGrab(w, confine ? SDL_TRUE : SDL_FALSE);
}
