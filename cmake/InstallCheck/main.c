/* The same engine from C, built with nothing but pkg-config. */
#include <MVE.h>
#include <stdio.h>

int main(void) {
    v4f a, b;
    MVE_v4fSet(&a, 1.0f, 2.0f, 2.0f, 0.0f);
    MVE_v4fCopy(&b, &a);
    if (!MVE_OpenWindow(0, 64, 48, "MVE pkg-config check", MVE_WINDOW_HIDDEN | MVE_WINDOW_TITLEBAR)) return 2;
    if (!MVE_OpenScreen(0, 0, 0, 64, 48, 32)) return 3;
    MVE_ClearScreen(0xFF00FF00u);
    MVE_FlipBuffers();
    MVE_Quit();
    MVE_CloseWindow(0);
    printf("length %.1f\n", (double)MVE_v4fLength(&b));
    return MVE_v4fLength(&b) == 3.0f ? 0 : 1;
}
