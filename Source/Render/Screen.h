// The screen: the render area with its GL context, the start-up GL state, frame timing and
// read-back. Owns the screen record (MVE_SCREEN_STATE, declared with the platform contract) and
// the start-up part of MVE_GL_STATE. Main thread only; never draws scene content.
#pragma once
#include <cstdint>
#include <vector>

// Binds the default framebuffer and sets the viewport to the render area inside the window's
// client area (GL counts rows from the bottom, the window from the top).
void MVE_BindScreen();

// Reads the back buffer of the render area as RGBA bytes, rows top to bottom. Read before
// MVE_FlipBuffers: after a swap the back buffer's content is up to the driver.
// Returns 0 (and leaves `rgba` empty) when no screen is open.
int MVE_ReadScreenPixels(std::vector<uint8_t> &rgba, int *width, int *height);
