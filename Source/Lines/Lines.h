// Debug lines: primitives append coloured vertices to a growable array; the frame draws them all
// once as segments through one fixed GL buffer and empties the array. Main thread only.
#pragma once
#include "MVE.h"
#include <vector>

struct MVE_LINE_VERTEX {
    v4f v4fPosition;   // w 1, already through the line matrix
    v4f v4fColor;
};
static_assert(sizeof(MVE_LINE_VERTEX) == 32, "line vertices are uploaded as they are");

struct MVE_LINE_STATE {
    std::vector<MVE_LINE_VERTEX> Vertex;
    int iLast = -1;                       // index of the last vertex written, -1 when empty
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int iMatrix = 0;                      // 1 while the line matrix is in force
    unsigned int uBuffer = 0, uVertexArray = 0;
    int iCapacity = 8192;                 // vertices the GL buffer holds
    float fWidth = 1.0f;
    int iChunks = 0;                      // chunks drawn by the last line pass (tests)
};

// Start-up: the GL buffer and its vertex array (step 22 of the start-up).
void MVE_InitLineBuffer();
void MVE_ShutdownLineBuffer();
// The frame's line pass: draws every vertex of the array, then empties it.
void MVE_DrawLines();
