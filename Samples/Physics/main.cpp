// The "Physics" demonstration: opens its window, starts the engine in it and runs the frame loop
// until the window is closed or Escape is held. The scene arrives with the renderer.
#include "MVE.h"
#include <cstdio>

int main() {
    const int width = 1600, height = 900;
    // A window that cannot open is reported by MVE_OpenScreen, which opens the log for it.
    MVE_OpenWindow(0, width, height, "Morvek Engine - Physics", MVE_WINDOW_NORMAL);
    if (!MVE_OpenScreen(0, 0, 0, width, height, 32)) {
        std::fprintf(stderr, "Morvek Engine - Physics: no OpenGL 3.3 window could be opened "
                             "(is a display available?). See \"MVE LogFile.html\" for the reason.\n");
        MVE_CloseWindow(0);
        return 1;
    }
    MVE_SetVSync(1);
    for (;;) {
        int event, closed = 0;
        while ((event = MVE_WindowEvent()) != MVE_EVENT_NONE)
            if (event == MVE_EVENT_CLOSE) closed = 1;
        if (closed) break;
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
        if (MVE_KeyDown(0x1B)) break;  // Escape
        MVE_ClearScreen(0xFF808080);
        MVE_FlipBuffers();
    }
    MVE_Quit();
    MVE_CloseWindow(0);
    return 0;
}
