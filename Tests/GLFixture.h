// A test with a real GL context: opens a hidden window and the engine's screen on it (headless
// under SDL_VIDEODRIVER=offscreen, Mesa llvmpipe), quits in TearDown. Derive from GLTest and do GL
// work through MVE_gl(); change the size by setting width_/height_ in the derived constructor.
#pragma once
#include "MVE.h"
#include "Render/Screen.h"
#include "TestSupport.h"
#include <vector>

namespace mvetest {

class GLTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(MVE_OpenWindow(0, width_, height_, "Morvek Engine - Test", MVE_WINDOW_HIDDEN), 1)
            << "no window: " << MVE_Engine().Screen.sWindowError;
        screen_ = MVE_OpenScreen(0, 0, 0, width_, height_, 32);
        ASSERT_NE(screen_, 0) << "no GL 3.3 screen; the log says why:\n" << ReadFile("MVE LogFile.html");
    }
    void TearDown() override {
        if (screen_) MVE_Quit();
        MVE_CloseWindow(0);
        EngineTest::TearDown();
    }
    // The render area's back buffer as RGBA, rows top to bottom.
    std::vector<uint8_t> Pixels() {
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        MVE_ReadScreenPixels(rgba, &w, &h);
        return rgba;
    }
    // RGBA of one pixel of the back buffer (x from the left, y from the top), as 0xAABBGGRR.
    uint32_t PixelAt(int x, int y) {
        std::vector<uint8_t> rgba = Pixels();
        size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4;
        if (i + 3 >= rgba.size()) return 0;
        return rgba[i] | (rgba[i + 1] << 8) | (rgba[i + 2] << 16) | (static_cast<uint32_t>(rgba[i + 3]) << 24);
    }
    int width_ = 320, height_ = 240;
    int screen_ = 0;
};

}  // namespace mvetest
