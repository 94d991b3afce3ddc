// The "Physics" demonstration. Until the window and renderer exist it brings the engine up and
// down once and leaves "MVE LogFile.html" in the current directory.
#include "MVE.h"
#include <cstdio>

int main() {
    MVE_Init();
    MVE_Log("Physics demonstration: engine up", 0, 0, 0, "", "main");
    MVE_Quit();
    std::printf("Engine started and stopped; see \"MVE LogFile.html\".\n");
    return 0;
}
