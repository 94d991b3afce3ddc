// Keyboard, mouse and joysticks driven by synthetic SDL events and SDL's virtual joysticks, read back
// through the public getters exactly as a game's frame loop reads them.
#include "MVE.h"
#include "GLFixture.h"
#include "TestSupport.h"
#include <SDL2/SDL.h>
#include <cstring>

namespace {

class InputTest : public mvetest::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_EventState(SDL_TEXTINPUT, SDL_ENABLE);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
        EngineTest::TearDown();
    }
    // Pushes through SDL's queue and pumps everything queued into the engine, as the window's pump does.
    static void Send(SDL_Event e) {
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        Pump();
    }
    static void Pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) MVE_PlatformHandleInputEvent(&e);
    }
    static void Key(SDL_Scancode sc, bool down, Uint16 mod = KMOD_NUM, bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = sc;
        e.key.keysym.mod = mod;
        Send(e);
    }
    static void Tap(SDL_Scancode sc, Uint16 mod = KMOD_NUM) {
        Key(sc, true, mod);
        Key(sc, false, mod);
    }
    static void Text(const char *utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        Send(e);
    }
    static void Motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = x;
        e.motion.y = y;
        Send(e);
    }
    static void Button(Uint8 button, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        Send(e);
    }
    // SDL's whole-notch y carries fractions over between events; precise is this event's own amount.
    static void Wheel(float precise, int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.preciseY = precise;
        e.wheel.y = y;
        e.wheel.direction = direction;
        Send(e);
    }
    static void Window(Uint8 event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = event;
        Send(e);
    }
    static void Frame() {
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
    }
};

TEST_F(InputTest, KeysAreFrameConsistentVirtualKeys) {
    // Pressed and released within one frame: seen as both, never as held; gone one frame later.
    Tap(SDL_SCANCODE_W);
    EXPECT_EQ(MVE_KeyPushed(0x57), 0) << "getters read the snapshot, not the live state";
    Frame();
    EXPECT_EQ(MVE_KeyPushed(0x57), 1);
    EXPECT_EQ(MVE_KeyReleased(0x57), 1);
    EXPECT_EQ(MVE_KeyDown(0x57), 0);
    Frame();
    EXPECT_EQ(MVE_KeyPushed(0x57) + MVE_KeyReleased(0x57) + MVE_KeyDown(0x57), 0);

    // Held across frames; a key repeat pushes again, as WM_KEYDOWN repeats do.
    Key(SDL_SCANCODE_A, true);
    Frame();
    EXPECT_EQ(MVE_KeyDown(0x41), 1);
    EXPECT_EQ(MVE_KeyPushed(0x41), 1);
    Frame();
    EXPECT_EQ(MVE_KeyDown(0x41), 1);
    EXPECT_EQ(MVE_KeyPushed(0x41), 0);
    Key(SDL_SCANCODE_A, true, KMOD_NUM, true);
    Frame();
    EXPECT_EQ(MVE_KeyPushed(0x41), 1);
    Key(SDL_SCANCODE_A, false);
    Frame();
    EXPECT_EQ(MVE_KeyDown(0x41), 0);
    EXPECT_EQ(MVE_KeyReleased(0x41), 1);

    struct { SDL_Scancode sc; Uint16 mod; int vk; } codes[] = {
        {SDL_SCANCODE_Z, KMOD_NUM, 0x5A},        {SDL_SCANCODE_0, KMOD_NUM, 0x30},
        {SDL_SCANCODE_5, KMOD_NUM, 0x35},        {SDL_SCANCODE_ESCAPE, KMOD_NUM, 0x1B},
        {SDL_SCANCODE_SPACE, KMOD_NUM, 0x20},    {SDL_SCANCODE_RETURN, KMOD_NUM, 0x0D},
        {SDL_SCANCODE_BACKSPACE, KMOD_NUM, 0x08}, {SDL_SCANCODE_TAB, KMOD_NUM, 0x09},
        {SDL_SCANCODE_LEFT, KMOD_NUM, 0x25},     {SDL_SCANCODE_DOWN, KMOD_NUM, 0x28},
        {SDL_SCANCODE_F1, KMOD_NUM, 0x70},       {SDL_SCANCODE_F12, KMOD_NUM, 0x7B},
        {SDL_SCANCODE_LSHIFT, KMOD_NUM, 0x10},   {SDL_SCANCODE_RSHIFT, KMOD_NUM, 0x10},
        {SDL_SCANCODE_RCTRL, KMOD_NUM, 0x11},    {SDL_SCANCODE_LALT, KMOD_NUM, 0x12},
        {SDL_SCANCODE_KP_0, KMOD_NUM, 0x60},     {SDL_SCANCODE_KP_9, KMOD_NUM, 0x69},
        {SDL_SCANCODE_KP_DIVIDE, KMOD_NUM, 0x6F}, {SDL_SCANCODE_KP_1, KMOD_NONE, 0x23},
        {SDL_SCANCODE_DELETE, KMOD_NUM, 0x2E},   {SDL_SCANCODE_PAGEDOWN, KMOD_NUM, 0x22},
        {SDL_SCANCODE_MINUS, KMOD_NUM, 0xBD},    {SDL_SCANCODE_GRAVE, KMOD_NUM, 0xC0},
    };
    for (const auto &c : codes) {
        Tap(c.sc, c.mod);
        Frame();
        EXPECT_EQ(MVE_KeyPushed(c.vk), 1) << SDL_GetScancodeName(c.sc) << " should be 0x" << std::hex << c.vk;
    }

    // Num lock toggled while a keypad key is held: the key still comes up as what it went down as.
    Key(SDL_SCANCODE_KP_8, true, KMOD_NONE);
    Key(SDL_SCANCODE_KP_8, false, KMOD_NUM);
    Frame();
    EXPECT_EQ(MVE_KeyReleased(0x26), 1);
    EXPECT_EQ(MVE_KeyReleased(0x68), 0);

    // Codes outside the table read 0 and leave one red row, not one per call.
    OpenLog();
    for (int bad : {-1, 256, 100000}) EXPECT_EQ(MVE_KeyDown(bad), 0);
    std::string log = LogText();
    EXPECT_NE(log.find("Fail: key code -1 is outside 0..255"), std::string::npos) << log;
    EXPECT_EQ(log.find("256"), std::string::npos);
}

TEST_F(InputTest, TypedCharacters) {
    Text("q");
    Text("\xC3\xA9");  // é: the last one typed in a frame wins
    Frame();
    EXPECT_EQ(MVE_GetKeyChar(), 0xE9);
    Frame();
    EXPECT_EQ(MVE_GetKeyChar(), 0);
    Text("\xF0\x9F\x98\x80");  // U+1F600 as UTF-16 starts with the high surrogate
    Frame();
    EXPECT_EQ(MVE_GetKeyChar(), 0xD83D);
    Text("\xC3");  // cut-off sequence: nothing typed
    Frame();
    EXPECT_EQ(MVE_GetKeyChar(), 0);
    Tap(SDL_SCANCODE_BACKSPACE);  // control keys type their control character, as WM_CHAR gives them
    Frame();
    EXPECT_EQ(MVE_GetKeyChar(), 0x08);
}

TEST_F(InputTest, MouseButtonsWheelLeaveAndClose) {
    MVE_ENGINE &e = MVE_Engine();
    e.Screen.iX = 10;
    e.Screen.iY = 20;
    Motion(110, 70);
    Frame();
    EXPECT_EQ(MVE_GetMouseX(), 100);
    EXPECT_EQ(MVE_GetMouseY(), 50);
    EXPECT_EQ(MVE_GetMouseDeltaX(), 100);
    Motion(105, 80);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), -5);
    EXPECT_EQ(MVE_GetMouseDeltaY(), 10);
    EXPECT_EQ(MVE_MouseInRect(95, 60, 1, 1), 1);
    EXPECT_EQ(MVE_MouseInRect(96, 60, 10, 10), 0);
    EXPECT_EQ(MVE_MouseInRect(85, 50, 10, 10), 0) << "right edge is outside";
    EXPECT_EQ(MVE_MouseInCircle(95, 63, 4), 1);
    EXPECT_EQ(MVE_MouseInCircle(95, 64, 4), 0) << "on the circle is outside";

    Button(SDL_BUTTON_LEFT, true);
    Button(SDL_BUTTON_RIGHT, true);
    Button(SDL_BUTTON_RIGHT, false);
    Button(SDL_BUTTON_MIDDLE, true);
    Frame();
    EXPECT_EQ(MVE_MouseButtonDown(1), 1);
    EXPECT_EQ(MVE_MouseButtonPushed(2), 1);
    EXPECT_EQ(MVE_MouseButtonReleased(2), 1);
    EXPECT_EQ(MVE_MouseButtonDown(2), 0);
    EXPECT_EQ(MVE_MouseButtonDown(4), 1);
    for (int bad : {0, 3, 5, -1, 1 << 30}) EXPECT_EQ(MVE_MouseButtonDown(bad), 0);

    // Leaving the window forgets held buttons: their release goes elsewhere.
    Button(SDL_BUTTON_LEFT, false);
    Window(SDL_WINDOWEVENT_LEAVE);
    Frame();
    EXPECT_EQ(MVE_MouseButtonDown(1) + MVE_MouseButtonDown(4) + MVE_MouseButtonReleased(1), 0);

    Wheel(1.0f, 1);
    Wheel(1.0f, 1);
    Wheel(-1.0f, -1);
    Frame();
    EXPECT_EQ(MVE_GetMouseWheel(), 1);
    Frame();
    EXPECT_EQ(MVE_GetMouseWheel(), 0);
    Wheel(0.5f, 0);  // half notches from a fine wheel add nothing, each on its own
    Wheel(0.5f, 1);
    Frame();
    EXPECT_EQ(MVE_GetMouseWheel(), 0);
    Wheel(2.0f, 2, SDL_MOUSEWHEEL_FLIPPED);
    Frame();
    EXPECT_EQ(MVE_GetMouseWheel(), -2);

    // A reset drops the frame's clicks and movement but keeps what is held.
    Button(SDL_BUTTON_LEFT, true);
    Motion(50, 50);
    Frame();
    EXPECT_EQ(MVE_MouseButtonPushed(1), 1);
    EXPECT_NE(MVE_GetMouseDeltaX(), 0);
    MVE_ResetMouse();
    EXPECT_EQ(MVE_MouseButtonPushed(1), 0);
    EXPECT_EQ(MVE_MouseButtonDown(1), 1);
    EXPECT_EQ(MVE_GetMouseDeltaX(), 0);

    EXPECT_EQ(e.iCloseRequest, 0);
    Window(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(e.iCloseRequest, 1);
    e.iCloseRequest = 0;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    Send(quit);
    EXPECT_EQ(e.iCloseRequest, 1);
    MVE_PlatformHandleInputEvent(nullptr);  // harmless
}

// The real screen: the capture warps SDL's cursor in the render window the engine opened.
class InputScreenTest : public mvetest::GLTest {
  protected:
    static void Motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = SDL_GetWindowID(static_cast<SDL_Window *>(MVE_Engine().Screen.pWindow));
        e.motion.x = x;
        e.motion.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    // One pass of a game loop: fetch every window event, then freeze the input.
    static void Frame() {
        while (MVE_WindowEvent() != MVE_EVENT_NONE) {
        }
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
    }
};

TEST_F(InputScreenTest, CapturedMouseMeasuresFromTheCentre) {
    Frame();
    MVE_CaptureMouse(0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(MVE_GetMouseX(), 160);
    EXPECT_EQ(MVE_GetMouseY(), 120);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 0);

    Motion(170, 120);  // the user moves 10 pixels right
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 10);
    EXPECT_EQ(MVE_GetMouseDeltaY(), 0);
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(x, 160) << "the cursor went back to the centre";
    EXPECT_EQ(y, 120);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 0) << "a still mouse does not drift";
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 0);
    Motion(150, 125);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), -10);
    EXPECT_EQ(MVE_GetMouseDeltaY(), 5);

    MVE_ReleaseMouse(1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    Motion(240, 60);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 80);
    Frame();
    EXPECT_EQ(MVE_GetMouseX(), 240) << "released: no return to the centre";

    MVE_SetMousePosition(12, 34);
    EXPECT_EQ(MVE_GetMouseX(), 12);
    Frame();
    EXPECT_EQ(MVE_GetMouseDeltaX(), 0) << "a programmatic move is not the user's movement";
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
}

TEST_F(InputTest, JoystickSamplesDeadZonesButtonsAndHat) {
    MVE_JOYSTICK &stick = MVE_Engine().Input.Joysticks.Stick[0];
    EXPECT_EQ(MVE_SetJoystickDeadZone(0, -1, 0.2f), 0.0f);
    MVE_JOYSTICK_SAMPLE s;
    s.fAxis[0] = 0.15f;
    s.fAxis[1] = 0.2f;
    s.fAxis[2] = 0.25f;
    s.fAxis[3] = -0.15f;
    s.fAxis[4] = 0.7f;
    s.fAxis[5] = -0.7f;
    MVE_ApplyJoystickSample(stick, s, 0);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 0, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 1, 0), 0.2f) << "equal to the dead zone stays";
    EXPECT_EQ(MVE_GetJoystickAxis(0, 2, 0), 0.25f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 3, 0), 0.0f);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 4, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 5, 0.5f), -0.5f);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 4, 0.25f), 0.75f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 4, 1e-45f), 0.7f);
    MVE_SetJoystickDeadZone(0, 4, 0.8f);
    MVE_ApplyJoystickSample(stick, s, 0);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 4, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 5, 0), -0.7f) << "one axis' zone leaves the others";

    // Button 3 pressed at 1000 ms, held, released; held long means strictly over 500 ms.
    auto at = [&](uint32_t buttons, uint32_t now) {
        s.uButtons = buttons;
        MVE_ApplyJoystickSample(stick, s, now);
        return MVE_GetJoystickButton(0, 3);
    };
    EXPECT_EQ(at(1u << 3, 1000), 1 | 4);
    EXPECT_EQ(at(1u << 3, 1100), 1);
    EXPECT_EQ(at(1u << 3, 1500), 1);
    EXPECT_EQ(at(1u << 3, 1501), 1 | 2);
    EXPECT_EQ(MVE_JoystickButtonDown(0, 3), 1);
    EXPECT_EQ(at(0, 1600), 8);
    EXPECT_EQ(MVE_JoystickButtonReleased(0, 3), 1);
    EXPECT_EQ(MVE_JoystickButtonDown(0, 3), 0);
    EXPECT_EQ(at(0, 1700), 0);
    EXPECT_EQ(at(1u << 3, 0xFFFFFF00u), 5);
    EXPECT_EQ(at(1u << 3, 0x100u), 1 | 2) << "the millisecond clock wrapping keeps counting";
    EXPECT_EQ(MVE_GetJoystickButton(0, 2), 0);

    for (auto [pov, deg] : {std::pair{9000u, 90.0f}, {0xFFFFu, 0.0f}, {0u, 360.0f}, {4500u, 45.0f}, {27000u, 270.0f}}) {
        s.uPOV = pov;
        MVE_ApplyJoystickSample(stick, s, 0);
        EXPECT_EQ(MVE_GetJoystickPOV(0), deg) << pov;
    }

    // Out of range: 0 and one red row per procedure, never a read outside the table.
    OpenLog();
    EXPECT_EQ(MVE_GetJoystickAxis(16, 0, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(-1, 0, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, 8, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(0, -1, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickButton(0, 16), 0);
    EXPECT_EQ(MVE_JoystickButtonDown(99, 0), 0);
    EXPECT_EQ(MVE_JoystickButtonReleased(0, -3), 0);
    EXPECT_EQ(MVE_GetJoystickPOV(1 << 20), 0.0f);
    EXPECT_STREQ(MVE_GetJoystickName(-5), "");
    EXPECT_EQ(MVE_SetJoystickDeadZone(0, 9, 0.1f), 0.0f);
    EXPECT_EQ(MVE_SetJoystickDeadZone(16, -1, 0.1f), 0.0f);
    std::string log = LogText();
    EXPECT_NE(log.find("Fail: joystick 16 is outside 0..15"), std::string::npos) << log;
    EXPECT_NE(log.find("Fail: joystick axis 8 is outside 0..7"), std::string::npos) << log;
    EXPECT_NE(log.find("Fail: joystick button 16 is outside 0..15"), std::string::npos) << log;
    // An unplugged joystick in range is normal: zero and silent.
    EXPECT_EQ(MVE_GetJoystickAxis(7, 0, 0), 0.0f);
    EXPECT_STREQ(MVE_GetJoystickName(7), "");
}

// Two virtual joysticks through the whole path: SDL readings, start-up, polling, unplugging.
TEST_F(InputTest, VirtualJoysticks) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    int first = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 16, 1);
    int second = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    ASSERT_GE(first, 0) << SDL_GetError();
    ASSERT_GE(second, 0) << SDL_GetError();
    ASSERT_LT(second, 16);
    SDL_Joystick *a = SDL_JoystickOpen(first), *b = SDL_JoystickOpen(second);
    ASSERT_TRUE(a && b) << SDL_GetError();

    MVE_InitJoysticks();
    EXPECT_GE(MVE_GetJoystickCount(), 2);
    EXPECT_STREQ(MVE_GetJoystickName(first), SDL_JoystickName(a));

    SDL_JoystickSetVirtualAxis(a, 0, -32768);
    SDL_JoystickSetVirtualAxis(a, 1, 32767);
    SDL_JoystickSetVirtualAxis(a, 2, 0);
    SDL_JoystickSetVirtualAxis(a, 5, 16384);
    SDL_JoystickSetVirtualButton(a, 3, 1);
    SDL_JoystickSetVirtualButton(a, 15, 1);
    SDL_JoystickSetVirtualHat(a, 0, SDL_HAT_RIGHT);
    SDL_JoystickSetVirtualAxis(b, 0, 32767);
    SDL_JoystickSetVirtualButton(b, 1, 1);
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickAxis(first, 0, 0), -1.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(first, 1, 0), 1.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(first, 2, 0), 0.0f) << "the centre reads exactly 0";
    EXPECT_NEAR(MVE_GetJoystickAxis(first, 5, 0), 0.5f, 1e-4f);
    EXPECT_EQ(MVE_GetJoystickAxis(first, 6, 0), 0.0f);
    EXPECT_EQ(MVE_GetJoystickButton(first, 3), 1 | 4);
    EXPECT_EQ(MVE_GetJoystickButton(first, 15), 1 | 4);
    EXPECT_EQ(MVE_GetJoystickPOV(first), 90.0f);
    EXPECT_EQ(MVE_GetJoystickAxis(second, 0, 0), 1.0f);
    EXPECT_EQ(MVE_GetJoystickPOV(second), 0.0f) << "no hat reads centred";

    SDL_JoystickSetVirtualHat(a, 0, SDL_HAT_CENTERED);
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickPOV(first), 0.0f);
    EXPECT_EQ(MVE_GetJoystickButton(first, 3), 1);
    SDL_JoystickSetVirtualHat(a, 0, SDL_HAT_UP);
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickPOV(first), 360.0f);
    SDL_JoystickSetVirtualHat(a, 0, SDL_HAT_LEFTDOWN);
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickPOV(first), 225.0f);

    // Unplugged, once with the removal event pumped through and once found only by the failing poll:
    // both keep their last reading, lose their one-poll edges, and are never touched again.
    SDL_JoystickSetVirtualButton(a, 4, 1);
    SDL_JoystickSetVirtualButton(b, 2, 1);
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickButton(first, 4), 1 | 4);
    SDL_JoystickDetachVirtual(first);
    Pump();
    SDL_JoystickDetachVirtual(second);
    SDL_JoystickClose(a);
    SDL_JoystickClose(b);
    for (int frame = 0; frame < 3; ++frame) MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_GetJoystickAxis(first, 0, 0), -1.0f);
    EXPECT_EQ(MVE_GetJoystickPOV(first), 225.0f);
    EXPECT_EQ(MVE_GetJoystickButton(first, 4), 1);
    EXPECT_EQ(MVE_GetJoystickAxis(second, 0, 0), 1.0f);
    EXPECT_EQ(MVE_GetJoystickButton(second, 2), 1);
    EXPECT_STRNE(MVE_GetJoystickName(first), "") << "the name outlives the device";

    // Finding the joysticks again drops the vanished ones.
    MVE_InitJoysticks();
    EXPECT_EQ(MVE_GetJoystickAxis(first, 0, 0), 0.0f);
    MVE_UpdateJoysticks();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
