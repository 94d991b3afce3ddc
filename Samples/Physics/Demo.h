// The "Physics" demonstration as three calls: start-up, one pass of the frame loop, shutdown. The
// program's main runs them against a window on the desktop; the test suite runs the very same
// calls headless with scripted input. Main thread only; everything goes through the public header.
#pragma once
#include "MVE.h"
#include <string>

namespace mvedemo {

struct DemoOptions {
    int iWidth = 1600, iHeight = 900;  // inner size of the application window and of the render area
    int iWindowFlags = MVE_WINDOW_NORMAL;
    std::string sResources;            // the data folder; it becomes the current directory
};

// What the demonstration keeps between frames (all other state lives in the engine).
struct DemoState {
    int iLastObject = 0;       // the object created last
    int iPreviousLink = 0;     // the chain's previous ball while it is built (the block first)
    int iLoop = 0;             // the chain's loop counter
    int iFont = 0, iCrosshair = 0, iBallMesh = 0, iBallBody = 0, iCubeMesh = 0, iBoxBody = 0;
    int iBlock = 0, iLight = 0, iHitSound = 0;
    int iFrames = 0;           // frames drawn
    std::string sStatistics[9];  // the statistics lines of the frame drawn last, top to bottom
};

// Opens the window and the engine's screen in it, then loads the data and builds the scene.
// 1 when the loop may run; 0 when no screen could be opened (the window is closed again and the
// reason is in the log).
int DemoStart(const DemoOptions &options);

// One pass of the loop. 0 when the loop ends (the window was closed or Escape is held); nothing is
// drawn then. When screenshot is given, the finished picture is also written there as a PNG.
int DemoFrame(const char *screenshot = nullptr);

// MVE_Quit, then the application window goes.
void DemoStop();

const DemoState &GetDemoState();

}  // namespace mvedemo
