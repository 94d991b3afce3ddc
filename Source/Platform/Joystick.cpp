// Joysticks over SDL's joystick API: open at start-up, poll once per frame, read one as a sample.
// Main thread only. Handles are SDL instance IDs, looked up on every use and never cached as
// pointers, so a joystick that is unplugged (or an SDL that was shut down) reads as gone, not freed.
#include "Input/Input.h"
#include "Platform/Platform.h"
#include <SDL2/SDL.h>
#include <algorithm>
#include <cstdio>

int MVE_PlatformStartJoysticks(void) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return -1;
    return std::max(0, SDL_NumJoysticks());
}

void MVE_PlatformStopJoysticks(void) {
    // A no-op when SDL's joystick service is already down (for instance after SDL_Quit).
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

int32_t MVE_PlatformOpenJoystick(int device, char *name, int nameSize) {
    SDL_Joystick *j = SDL_JoystickOpen(device);
    if (!j) return -1;
    const char *n = SDL_JoystickName(j);
    if (name && nameSize > 0) std::snprintf(name, size_t(nameSize), "%s", n ? n : "");
    return SDL_JoystickInstanceID(j);
}

void MVE_PlatformCloseJoystick(int32_t handle) {
    if (SDL_Joystick *j = SDL_JoystickFromInstanceID(handle)) SDL_JoystickClose(j);
}

void MVE_PlatformPollJoysticks(void) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickUpdate();
}

// SDL's hat bits as hundredths of a degree clockwise from straight ahead.
static uint32_t HatAngle(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFF;  // centred, or an impossible combination
    }
}

int MVE_PlatformReadJoystick(int32_t handle, MVE_JOYSTICK_SAMPLE *sample) {
    SDL_Joystick *j = SDL_JoystickFromInstanceID(handle);
    if (!j || !SDL_JoystickGetAttached(j) || !sample) return 0;
    *sample = MVE_JOYSTICK_SAMPLE();
    // Each half of the range scales on its own: the extremes read exactly -1 and 1 and the
    // centre exactly 0.
    int axes = std::min(SDL_JoystickNumAxes(j), 6);
    for (int a = 0; a < axes; ++a) {
        Sint16 v = SDL_JoystickGetAxis(j, a);
        sample->fAxis[a] = v < 0 ? float(v) / 32768.0f : float(v) / 32767.0f;
    }
    int buttons = std::min(SDL_JoystickNumButtons(j), int(MVE_JOYSTICK_BUTTONS));
    for (int b = 0; b < buttons; ++b)
        if (SDL_JoystickGetButton(j, b)) sample->uButtons |= 1u << b;
    if (SDL_JoystickNumHats(j) > 0) sample->uPOV = HatAngle(SDL_JoystickGetHat(j, 0));
    return 1;
}
