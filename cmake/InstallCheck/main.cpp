// Opens a hidden window, starts the engine, draws one lit sphere and checks that it shows, quits.
// Exit code 0 when the picture is right.
#include <MVE.h>
#include <cstdio>

int main() {
    if (!MVE_OpenWindow(0, 160, 120, "MVE install check", MVE_WINDOW_HIDDEN | MVE_WINDOW_TITLEBAR)) return 2;
    if (!MVE_OpenScreen(0, 0, 0, 160, 120, 32)) return 3;
    MVE_SetBackgroundColor(0xFF000000u);
    MVE_SetAmbientColor(0xFF404040u);
    MVE_EnableSun(1);
    const int mesh = MVE_CreateSphereMesh(MVE_ID_AUTO, 1.0f, 24, 12, "");
    const int ball = MVE_CreateObject(MVE_ID_AUTO, mesh, -1, "", 0, 1);
    MVE_MoveObject(ball, 0.0f, 0.0f, -5.0f, 0);
    MVE_RenderWorld(-1);
    const int written = MVE_SaveScreenshot("check.png");
    MVE_FlipBuffers();
    MVE_Quit();
    MVE_CloseWindow(0);
    std::printf("%s %s\n", MVE_VERSION, written ? "drawn" : "not drawn");
    return written && ball ? 0 : 1;
}
