// Joysticks: the table found at start-up, the per-frame poll that folds the platform's readings in,
// and the getters. Main thread only. A joystick that vanishes keeps its last values; no index from
// a caller ever reads outside the table.
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Input/Input.h"
#include "Log/Log.h"
#include "MVE.h"
#include "Platform/Platform.h"
#include <cmath>

static MVE_JOYSTICK_TABLE &Table() { return MVE_Engine().Input.Joysticks; }

// Procedure numbers for the once-only bad-argument rows (the keyboard and mouse use 0 and 1).
enum { BAD_JOYSTICK = 2, BAD_AXIS = 3, BAD_BUTTON = 4 };

void MVE_ApplyJoystickSample(MVE_JOYSTICK &stick, const MVE_JOYSTICK_SAMPLE &sample, uint32_t now) {
    for (int a = 0; a < 6; ++a) {
        float v = sample.fAxis[a];
        stick.fAxis[a] = std::fabs(v) < stick.fDeadZone[a] ? 0.0f : v;
    }
    stick.fAxis[6] = stick.fAxis[7] = 0.0f;

    uint32_t was = stick.uPreviousButtons, is = sample.uButtons;
    for (int b = 0; b < MVE_JOYSTICK_BUTTONS; ++b) {
        uint32_t bit = 1u << b;
        int32_t state = stick.iButton[b] & ~15;
        if ((was & bit) && !(is & bit)) state |= MVE_JOY_RELEASED;
        if (!(was & bit) && (is & bit)) {
            state |= MVE_JOY_PUSHED;
            stick.uPressTime[b] = now;
        }
        if (is & bit) {
            state |= MVE_JOY_DOWN;
            if (now - stick.uPressTime[b] > uint32_t(MVE_JOYSTICK_HOLD_MS)) state |= MVE_JOY_HELD;  // wraps safely
        }
        stick.iButton[b] = state;
    }
    stick.uPreviousButtons = is;

    if (sample.uPOV == 0xFFFF) stick.fPOV = 0.0f;
    else if (sample.uPOV == 0) stick.fPOV = 360.0f;  // 0 is reserved for centred
    else stick.fPOV = float(sample.uPOV) / 100.0f;
}

void MVE_InputJoystickGone(int slot) {
    if (slot < 0 || slot >= MVE_JOYSTICK_MAX) return;
    MVE_RecordJoystickGone(slot);
    // Edges belong to one poll; a stick that will never be polled again must not report the same
    // push or release every frame.
    for (int32_t &state : Table().Stick[slot].iButton) state &= ~(MVE_JOY_PUSHED | MVE_JOY_RELEASED);
}

void MVE_InputJoystickRemoved(int32_t handle) {
    if (handle < 0) return;
    for (int slot = 0; slot < MVE_JOYSTICK_MAX; ++slot) {
        MVE_JOYSTICK &stick = Table().Stick[slot];
        if (stick.iFound && stick.iHandle == handle) {
            MVE_PlatformCloseJoystick(handle);
            stick.iHandle = -1;
            MVE_InputJoystickGone(slot);
        }
    }
}

static void CloseAll() {
    MVE_JOYSTICK_TABLE &t = Table();
    for (MVE_JOYSTICK &stick : t.Stick)
        if (stick.iFound && stick.iHandle >= 0) MVE_PlatformCloseJoystick(stick.iHandle);
    if (t.iServiceOpen) MVE_PlatformStopJoysticks();
    t = MVE_JOYSTICK_TABLE();
}

extern "C" void MVE_InitJoysticks(void) {
    // A replay keeps the devices that are really there open and shows the recorded ones instead.
    if (MVE_SessionMode() == MVE_SESSION_REPLAYING && MVE_IsSessionThread()) {
        for (MVE_JOYSTICK &stick : Table().Stick) {
            const MVE_JOYSTICK kept = stick;
            stick = MVE_JOYSTICK();
            stick.iFound = kept.iFound;
            stick.iHandle = kept.iHandle;
            stick.sName = kept.sName;
        }
        MVE_ReplayJoysticksFound();
        return;
    }
    CloseAll();
    MVE_JOYSTICK_TABLE &t = Table();
    int devices = MVE_PlatformStartJoysticks();
    if (devices < 0) {
        MVE_LogFail("Fail: the joystick service could not be started; no joysticks", "MVE_InitJoysticks");
        return;
    }
    t.iServiceOpen = 1;
    for (int id = 0; id < devices && id < MVE_JOYSTICK_MAX; ++id) {
        char name[256] = "";
        int32_t handle = MVE_PlatformOpenJoystick(id, name, sizeof name);
        if (handle < 0) continue;  // unreadable devices are not counted, as if absent
        MVE_JOYSTICK &stick = t.Stick[id];
        stick.iFound = 1;
        stick.iHandle = handle;
        stick.sName = name;
        t.iCount += 1;
    }
    MVE_LogDetail("Joysticks found: ", t.iCount, "MVE_InitJoysticks");
    MVE_ReplayJoysticksFound();
}

void MVE_StartupJoysticks() { MVE_InitJoysticks(); }

extern "C" void MVE_UpdateJoysticks(void) {
    if (MVE_SessionMode() == MVE_SESSION_REPLAYING && MVE_IsSessionThread()) {
        MVE_ReplayJoystickPoll();
        return;
    }
    MVE_JOYSTICK_TABLE &t = Table();
    if (!t.iServiceOpen) return;
    MVE_PlatformPollJoysticks();
    uint32_t now = MVE_PlatformMilliseconds();
    MVE_RecordJoystickPoll(now);
    // Walk every slot: the found joysticks need not be numbered 0 .. count - 1.
    for (int slot = 0; slot < MVE_JOYSTICK_MAX; ++slot) {
        MVE_JOYSTICK &stick = t.Stick[slot];
        if (!stick.iFound || stick.iHandle < 0) continue;
        MVE_JOYSTICK_SAMPLE sample;
        if (!MVE_PlatformReadJoystick(stick.iHandle, &sample)) {
            MVE_InputJoystickRemoved(stick.iHandle);
            continue;
        }
        MVE_RecordJoystickSample(slot, sample);
        MVE_ApplyJoystickSample(stick, sample, now);
    }
}

// ---------------------------------------------------------------- getters

static MVE_JOYSTICK *Stick(int joystick, const char *procedure) {
    if (joystick < 0 || joystick >= MVE_JOYSTICK_MAX) {
        MVE_InputReportBadArgument(BAD_JOYSTICK, "joystick " + std::to_string(joystick) + " is outside 0..15",
                                   procedure);
        return nullptr;
    }
    // An unconnected joystick within range is not an error: games read joystick 0 whether or not
    // one is plugged in, and its record reads as all zero.
    return &Table().Stick[joystick];
}

extern "C" int MVE_GetJoystickCount(void) { return Table().iCount; }

extern "C" float MVE_SetJoystickDeadZone(int joystick, int axis, float value) {
    MVE_JOYSTICK *stick = Stick(joystick, "MVE_SetJoystickDeadZone");
    if (!stick) return 0.0f;
    if (axis == -1) {
        for (float &zone : stick->fDeadZone) zone = value;
    } else if (axis >= 0 && axis < MVE_JOYSTICK_AXES) {
        stick->fDeadZone[axis] = value;
    } else {
        MVE_InputReportBadArgument(BAD_AXIS, "joystick axis " + std::to_string(axis) + " is outside 0..7 and not -1",
                                   "MVE_SetJoystickDeadZone");
    }
    return 0.0f;
}

extern "C" float MVE_GetJoystickAxis(int joystick, int axis, float step) {
    MVE_JOYSTICK *stick = Stick(joystick, "MVE_GetJoystickAxis");
    if (!stick) return 0.0f;
    if (axis < 0 || axis >= MVE_JOYSTICK_AXES) {
        MVE_InputReportBadArgument(BAD_AXIS, "joystick axis " + std::to_string(axis) + " is outside 0..7",
                                   "MVE_GetJoystickAxis");
        return 0.0f;
    }
    float v = stick->fAxis[axis];
    if (step != 0.0f && std::isfinite(step)) {
        float rounded = std::round(v / step) * step;
        if (std::isfinite(rounded)) v = rounded;  // a tiny step overflows the quotient: keep the raw value
    }
    return v;
}

static int Button(int joystick, int button, const char *procedure) {
    MVE_JOYSTICK *stick = Stick(joystick, procedure);
    if (!stick) return 0;
    if (button < 0 || button >= MVE_JOYSTICK_BUTTONS) {
        MVE_InputReportBadArgument(BAD_BUTTON, "joystick button " + std::to_string(button) + " is outside 0..15",
                                   procedure);
        return 0;
    }
    return stick->iButton[button];
}

extern "C" int MVE_GetJoystickButton(int joystick, int button) {
    return Button(joystick, button, "MVE_GetJoystickButton");
}
extern "C" int MVE_JoystickButtonDown(int joystick, int button) {
    return (Button(joystick, button, "MVE_JoystickButtonDown") & MVE_JOY_DOWN) ? 1 : 0;
}
extern "C" int MVE_JoystickButtonReleased(int joystick, int button) {
    return (Button(joystick, button, "MVE_JoystickButtonReleased") & MVE_JOY_RELEASED) ? 1 : 0;
}

extern "C" float MVE_GetJoystickPOV(int joystick) {
    MVE_JOYSTICK *stick = Stick(joystick, "MVE_GetJoystickPOV");
    return stick ? stick->fPOV : 0.0f;
}

extern "C" const char *MVE_GetJoystickName(int joystick) {
    MVE_JOYSTICK *stick = Stick(joystick, "MVE_GetJoystickName");
    return stick ? stick->sName.c_str() : "";
}
