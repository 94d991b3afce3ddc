// The platform contract: window, GL context, events, clocks and shared memory. Only the files in
// this folder include SDL; the rest of the engine sees plain types and these procedures.
#pragma once
#include <cstdint>

struct MVE_SCREEN_STATE {
    int iX = 0, iY = 0, iWidth = 0, iHeight = 0;
    int iRenderWindow = 0;          // window number of the render area, 0 while closed
    void *pWindow = nullptr;        // native window of the render area
    void *pContext = nullptr;       // GL context
    int iVSync = 0;
};

// Monotonic clock.
uint64_t MVE_PlatformCounter(void);           // high-resolution counter
uint64_t MVE_PlatformCounterFrequency(void);  // counts per second
uint32_t MVE_PlatformMilliseconds(void);      // millisecond clock

// Input events: the window code hands every event it fetches to the input translation
// (Platform/Input*.cpp), which feeds the engine's live input state. The argument is the
// platform's own event record.
void MVE_PlatformHandleInputEvent(const void *event);

// Shared memory and processes (POSIX shm and posix_spawn).
// Maps the existing block `name` read-write, `size` bytes. Returns 1 and sets *base when mapped,
// 0 when no block of that name exists, -1 when it exists but is smaller than `size` or cannot be mapped.
int MVE_PlatformOpenSharedMemory(const char *name, uint64_t size, void **base);
void MVE_PlatformCloseSharedMemory(void *base, uint64_t size);
// Starts a program in a session of its own, without a terminal, its output going nowhere.
// argv ends with null; argv[0] is the path. Returns the process id, or 0 when it could not be started.
// The process is reaped in the background when it ends.
int MVE_PlatformStartProgram(const char *const *argv);

// Input devices (Platform/Input.cpp, Platform/Joystick.cpp). Mouse positions are render-area pixels.
struct MVE_JOYSTICK_SAMPLE;
void MVE_PlatformWarpMouse(int x, int y);      // moves the cursor; no-op without a window
void MVE_PlatformShowCursor(int show);
void MVE_PlatformConfineMouse(int confine);    // keeps the cursor inside the render window
int MVE_PlatformStartJoysticks(void);          // starts the joystick service: devices attached, -1 when unavailable
void MVE_PlatformStopJoysticks(void);
int32_t MVE_PlatformOpenJoystick(int device, char *name, int nameSize); // handle, or -1 when it cannot be opened
void MVE_PlatformCloseJoystick(int32_t handle);
void MVE_PlatformPollJoysticks(void);          // fetches fresh readings of every open joystick
int MVE_PlatformReadJoystick(int32_t handle, MVE_JOYSTICK_SAMPLE *sample); // 0 when the joystick is gone
