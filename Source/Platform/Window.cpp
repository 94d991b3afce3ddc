// Application windows, the GL context on them, the event pump and the buffer swap, over SDL2.
// Main thread only: SDL's video calls and the context belong to the thread that opened them.
// Never draws and never decides engine policy: it reports and lets Render/Screen.cpp decide.
#include "Core/Engine.h"
#include "MVE.h"
#include <SDL2/SDL.h>

namespace {

MVE_SCREEN_STATE &S() { return MVE_Engine().Screen; }

SDL_Window *Native(int number) {
    if (number < 0 || number >= MVE_MAX_WINDOWS) return nullptr;
    return static_cast<SDL_Window *>(S().Windows[number].pNative);
}

int NumberOf(uint32_t nativeId) {
    for (int i = 0; i < MVE_MAX_WINDOWS; i++)
        if (S().Windows[i].pNative && S().Windows[i].uNativeId == nativeId) return i;
    return -1;
}

// Each window holds one reference on SDL's video subsystem, so the last window to close shuts it down.
void ReleaseWindow(int number) {
    MVE_WINDOW_SLOT &slot = S().Windows[number];
    SDL_DestroyWindow(static_cast<SDL_Window *>(slot.pNative));
    slot = MVE_WINDOW_SLOT();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

extern "C" int MVE_OpenWindow(int number, int width, int height, const char *title, int flags) {
    MVE_SCREEN_STATE &s = S();
    if (number < 0 || number >= MVE_MAX_WINDOWS) {
        s.sWindowError = "window number " + std::to_string(number) + " is outside 0.." +
                         std::to_string(MVE_MAX_WINDOWS - 1);
        MVE_LogFail("Fail: " + s.sWindowError + "!", "MVE_OpenWindow");
        return 0;
    }
    if (width <= 0 || height <= 0) {
        s.sWindowError = "size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid";
        MVE_LogFail("Fail: " + s.sWindowError + "!", "MVE_OpenWindow");
        return 0;
    }
    if (s.Windows[number].pNative) {
        // Re-using a number replaces the window, except the one the GL context lives on.
        if (s.pContext && s.iParent == number) {
            s.sWindowError = "window " + std::to_string(number) + " holds the screen";
            MVE_LogFail("Fail: Window " + std::to_string(number) + " holds the screen!", "MVE_OpenWindow");
            return 0;
        }
        ReleaseWindow(number);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        s.sWindowError = std::string("no video output (") + SDL_GetError() + ")";
        MVE_LogFail("Fail: " + s.sWindowError + "!", "MVE_OpenWindow");
        return 0;
    }
    // Without a display SDL falls back to drawing off-screen. A window meant to be seen would then
    // run unseen and never be closed: refuse it, unless off-screen output was asked for by name.
    if (!(flags & MVE_WINDOW_HIDDEN) && SDL_strcmp(SDL_GetCurrentVideoDriver(), "offscreen") == 0 &&
        !SDL_GetHint(SDL_HINT_VIDEODRIVER)) {
        s.sWindowError = "no display to show the window on";
        MVE_LogFail("Fail: " + s.sWindowError + "!", "MVE_OpenWindow");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    // The pixel format is fixed when the window is made (GLX picks its visual then), so every
    // window is ready to carry the engine's context: RGBA 8 bits, 24-bit depth, stencil, double buffer.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    uint32_t sdlFlags = SDL_WINDOW_OPENGL;
    sdlFlags |= (flags & MVE_WINDOW_HIDDEN) ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    if (flags & MVE_WINDOW_SIZEABLE) sdlFlags |= SDL_WINDOW_RESIZABLE;
    if (!(flags & (MVE_WINDOW_TITLEBAR | MVE_WINDOW_SYSTEMMENU))) sdlFlags |= SDL_WINDOW_BORDERLESS;
    int where = (flags & MVE_WINDOW_CENTERED) ? SDL_WINDOWPOS_CENTERED : SDL_WINDOWPOS_UNDEFINED;
    SDL_Window *window = SDL_CreateWindow(title ? title : "", where, where, width, height, sdlFlags);
    if (!window) {
        s.sWindowError = std::string("the window could not be created (") + SDL_GetError() + ")";
        MVE_LogFail("Fail: " + s.sWindowError + "!", "MVE_OpenWindow");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    MVE_WINDOW_SLOT &slot = s.Windows[number];
    slot.pNative = window;
    slot.uNativeId = SDL_GetWindowID(window);
    SDL_GetWindowSize(window, &slot.iWidth, &slot.iHeight);
    s.sWindowError.clear();
    return 1;
}

extern "C" void MVE_CloseWindow(int number) {
    MVE_SCREEN_STATE &s = S();
    if (!Native(number)) return;
    if (s.pContext && s.iParent == number) {
        MVE_LogFail("Fail: Window " + std::to_string(number) + " holds the screen; MVE_Quit first!",
                    "MVE_CloseWindow");
        return;
    }
    ReleaseWindow(number);
}

extern "C" int MVE_GetWindowWidth(int number) { return Native(number) ? S().Windows[number].iWidth : 0; }

extern "C" int MVE_GetWindowHeight(int number) { return Native(number) ? S().Windows[number].iHeight : 0; }

extern "C" int MVE_EventWindow(void) { return S().iEventWindow; }

namespace {

bool IsCloseEvent(const SDL_Event &event) {
    return event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

// A replay drops live events, all but a close (the user can always end the program), and
// returns the recorded results, whose input records it has applied already.
int ReplayedEvent(MVE_ENGINE &e) {
    e.Screen.iEventWindow = -1;
    if (SDL_WasInit(SDL_INIT_EVENTS)) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (!IsCloseEvent(event)) continue;
            e.iCloseRequest = 1;
            e.Screen.iEventWindow = event.type == SDL_QUIT ? (e.Screen.pContext ? e.Screen.iParent : -1)
                                                           : NumberOf(event.window.windowID);
            return MVE_EVENT_CLOSE;
        }
    }
    int window = -1, width = 0, height = 0;
    const int result = MVE_ReplayWindowEvent(&window, &width, &height);
    e.Screen.iEventWindow = window;
    if (result == MVE_EVENT_CLOSE) e.iCloseRequest = 1;
    if (result == MVE_EVENT_SIZE && Native(window)) {
        e.Screen.Windows[window].iWidth = width;
        e.Screen.Windows[window].iHeight = height;
    }
    return result;
}

int LiveEvent(MVE_ENGINE &e) {
    e.Screen.iEventWindow = -1;
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return MVE_EVENT_NONE;
    SDL_Event event;
    if (!SDL_PollEvent(&event)) return MVE_EVENT_NONE;
    // The input state sees every event first, so a key pressed in the same pass as a close still counts.
    MVE_PlatformHandleInputEvent(&event);
    switch (event.type) {
    case SDL_QUIT:  // the session or a signal asks the whole application to end
        e.iCloseRequest = 1;
        e.Screen.iEventWindow = e.Screen.pContext ? e.Screen.iParent : -1;
        return MVE_EVENT_CLOSE;
    case SDL_WINDOWEVENT: {
        int number = NumberOf(event.window.windowID);
        e.Screen.iEventWindow = number;
        if (number < 0) return MVE_EVENT_OTHER;
        MVE_WINDOW_SLOT &slot = e.Screen.Windows[number];
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            e.iCloseRequest = 1;
            return MVE_EVENT_CLOSE;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            slot.iWidth = event.window.data1;
            slot.iHeight = event.window.data2;
            return MVE_EVENT_SIZE;
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_MINIMIZED:
            // The render area has a fixed size: minimising and maximising leave the window as it is.
            SDL_RestoreWindow(static_cast<SDL_Window *>(slot.pNative));
            return MVE_EVENT_OTHER;
        default:
            return MVE_EVENT_OTHER;
        }
    }
    case SDL_KEYDOWN: case SDL_KEYUP: case SDL_TEXTINPUT:
    case SDL_MOUSEMOTION: case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: case SDL_MOUSEWHEEL:
        e.Screen.iEventWindow = NumberOf(event.key.windowID);  // same position in every one of these
        return MVE_EVENT_INPUT;
    case SDL_JOYAXISMOTION: case SDL_JOYBALLMOTION: case SDL_JOYHATMOTION:
    case SDL_JOYBUTTONDOWN: case SDL_JOYBUTTONUP: case SDL_JOYDEVICEADDED: case SDL_JOYDEVICEREMOVED:
        return MVE_EVENT_INPUT;
    default:
        return MVE_EVENT_OTHER;
    }
}

}  // namespace

extern "C" int MVE_WindowEvent(void) {
    MVE_ENGINE &e = MVE_Engine();
    if (MVE_SessionMode() == MVE_SESSION_REPLAYING && MVE_IsSessionThread()) return ReplayedEvent(e);
    const int result = LiveEvent(e);
    if (MVE_SessionMode() == MVE_SESSION_RECORDING) {
        const int window = e.Screen.iEventWindow;
        const MVE_WINDOW_SLOT *slot = Native(window) ? &e.Screen.Windows[window] : nullptr;
        MVE_RecordWindowEvent(result, window, slot ? slot->iWidth : 0, slot ? slot->iHeight : 0);
    }
    return result;
}

int MVE_PlatformCreateContext(int number, int *core, std::string &error) {
    SDL_Window *window = Native(number);
    if (!window) {
        error = "window " + std::to_string(number) + " is not open";
        return 0;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    // The compatibility profile keeps the classic start-up state calls valid; a driver that only
    // offers 3.3 as a core context still runs everything the engine draws.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GLContext context = S().iSkipCompatibility ? nullptr : SDL_GL_CreateContext(window);
    *core = 0;
    if (!context) {
        std::string compatError = S().iSkipCompatibility ? "" : SDL_GetError();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_FORWARD_COMPATIBLE_FLAG);
        context = SDL_GL_CreateContext(window);
        if (!context) {
            error = "no OpenGL 3.3 context (" + compatError + ")";
            return 0;
        }
        *core = 1;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        error = std::string("the OpenGL context cannot be made current (") + SDL_GetError() + ")";
        SDL_GL_DeleteContext(context);
        return 0;
    }
    MVE_SCREEN_STATE &s = S();
    s.pContext = context;
    s.pWindow = window;
    s.iParent = number;
    return 1;
}

void MVE_PlatformDestroyContext(void) {
    MVE_SCREEN_STATE &s = S();
    if (!s.pContext) return;
    SDL_GL_MakeCurrent(static_cast<SDL_Window *>(s.pWindow), nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(s.pContext));
    s.pContext = nullptr;
    s.pWindow = nullptr;
    s.iParent = -1;
}

void *MVE_PlatformGetProcAddress(const char *name) { return SDL_GL_GetProcAddress(name); }

void MVE_PlatformSwapBuffers(void) {
    if (S().pWindow) SDL_GL_SwapWindow(static_cast<SDL_Window *>(S().pWindow));
}

int MVE_PlatformSetSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void MVE_PlatformDrawableSize(int number, int *width, int *height) {
    *width = *height = 0;
    if (SDL_Window *window = Native(number)) SDL_GL_GetDrawableSize(window, width, height);
}
