// The Physics demonstration driven headless through its own start-up and frame calls, with input
// arriving as SDL events through the window's event pump, as a person's clicks and keys would.
#include "Demo.h"
#include "MVE.h"
#include "Platform/Platform.h"
#include "TestSupport.h"
#include <SDL2/SDL.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#ifndef MVE_TEST_DEMO_RESOURCES
#error "MVE_TEST_DEMO_RESOURCES must name the demonstration's data folder"
#endif

namespace {

constexpr int kWidth = 320, kHeight = 180;

class DemoTest : public mvetest::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        mvedemo::DemoOptions options;
        // The picture test needs room beside the statistics text; the rest stays small and quick.
        const bool picture = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).find("Picture") != std::string::npos;
        width_ = picture ? 480 : kWidth;
        height_ = picture ? 270 : kHeight;
        options.iWidth = width_;
        options.iHeight = height_;
        options.sResources = MVE_TEST_DEMO_RESOURCES;
        ASSERT_EQ(mvedemo::DemoStart(options), 1) << mvetest::ReadFile(dir_ / "MVE LogFile.html");
        started_ = true;
        window_ = SDL_GetWindowID(static_cast<SDL_Window *>(MVE_Engine().Screen.Windows[0].pNative));
    }
    void TearDown() override {
        if (started_) mvedemo::DemoStop();
        EngineTest::TearDown();
    }
    void Stop() {
        mvedemo::DemoStop();
        started_ = false;
    }
    void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    void Button(Uint8 button, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window_;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = kWidth / 2;
        e.button.y = kHeight / 2;
        Push(e);
    }
    void Key(SDL_Scancode scancode, SDL_Keycode key, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = window_;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = key;
        e.key.keysym.mod = KMOD_NUM;
        Push(e);
    }
    void Motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window_;
        e.motion.x = x;
        e.motion.y = y;
        Push(e);
    }
    // n passes that must all go on; returns the frame times they moved the camera by.
    double Frames(int n) {
        double seconds = 0.0;
        for (int i = 0; i < n; ++i) {
            seconds += MVE_GetFrameTime();
            EXPECT_EQ(mvedemo::DemoFrame(), 1) << "frame " << i;
        }
        return seconds;
    }
    static const std::string &Line(int i) { return mvedemo::GetDemoState().sStatistics[i]; }
    static v4f Camera() { return *MVE_GetCameraPosition(nullptr, 4); }
    static v4f Ray() { return *MVE_GetCameraRay(MVE_IGNORE, MVE_IGNORE); }

    bool started_ = false;
    Uint32 window_ = 0;
    int width_ = kWidth, height_ = kHeight;
};

bool Starts(const std::string &text, const std::string &prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

TEST_F(DemoTest, ScriptedSessionFiresThrowsFliesAndQuitsOnEscape) {
    const mvedemo::DemoState &state = mvedemo::GetDemoState();
    ASSERT_NE(state.iFont, 0);
    ASSERT_NE(state.iCrosshair, 0);
    ASSERT_NE(state.iHitSound, 0);
    ASSERT_NE(MVE_GetMaterialID("Plane"), 0);
    ASSERT_NE(MVE_GetMaterialID("Ball"), 0);

    // Before any action: the block, 34 balls and the 33 springs between them. The first frame has
    // no rate to show yet, and says so rather than "0.0".
    Frames(1);
    EXPECT_EQ(Line(0), "Frames: \xE2\x80\xA6");
    Frames(1);
    EXPECT_EQ(Line(7), "Objects: 34 (dyn) + 1 (stc)");
    EXPECT_EQ(Line(8), "Joints: 33");
    const char *prefixes[7] = {"Frames: ", "Physik: ", "Gesamtenergie: ", "  Lage: ", "  Spannung: ", "  Translation: ", "  Rotation: "};
    for (int i = MVE_GetFramesPerSecond() > 0.0f ? 0 : 1; i < 7; ++i) {
        EXPECT_TRUE(Starts(Line(i), prefixes[i])) << Line(i);
        const std::string number = Line(i).substr(std::string(prefixes[i]).size());
        ASSERT_NE(number.find('.'), std::string::npos) << Line(i);
        EXPECT_EQ(number.size() - number.find('.'), 2u) << "one decimal place: " << Line(i);
    }
    v4f eye = Camera();
    EXPECT_NEAR(eye.x, 0.0f, 1e-5f);
    EXPECT_NEAR(eye.y, 4.0f, 1e-5f);
    EXPECT_NEAR(eye.z, 16.0f, 1e-5f);
    v4f ray = Ray();
    EXPECT_NEAR(ray.z, -1.0f, 1e-4f);

    // The mouse 100 pixels right of the held centre turns the view 30 degrees to the right.
    Motion(kWidth / 2 + 100, kHeight / 2);
    Frames(1);
    ray = Ray();
    EXPECT_NEAR(ray.x, 0.5f, 1e-3f);
    EXPECT_NEAR(ray.y, 0.0f, 1e-3f);
    EXPECT_NEAR(ray.z, -std::sqrt(3.0f) / 2.0f, 1e-3f);
    Frames(1);  // the cursor was held at the centre again: no further turn
    EXPECT_NEAR(Ray().x, 0.5f, 1e-3f);

    // W flies along the view at 10 units per second of frame time.
    eye = Camera();
    Key(SDL_SCANCODE_W, SDLK_w, true);
    const double flown = 10.0 * Frames(4);
    Key(SDL_SCANCODE_W, SDLK_w, false);
    Frames(1);
    const v4f moved = Camera();
    EXPECT_GT(flown, 0.0);
    EXPECT_NEAR(moved.x - eye.x, 0.5 * flown, 1e-3 + 1e-4 * flown);
    EXPECT_NEAR(moved.y - eye.y, 0.0, 1e-3);
    EXPECT_NEAR(moved.z - eye.z, -std::sqrt(3.0) / 2.0 * flown, 1e-3 + 1e-4 * flown);

    // Holding the left button for 60 frames fires 60 balls; the frame after the release fires none.
    Button(SDL_BUTTON_LEFT, true);
    Frames(60);
    Button(SDL_BUTTON_LEFT, false);
    Frames(2);
    EXPECT_EQ(Line(7), "Objects: 94 (dyn) + 1 (stc)");
    const int lastBall = state.iLastObject;
    v4f velocity{};
    ASSERT_NE(MVE_GetObjectVelocity(lastBall, &velocity), nullptr);
    EXPECT_GT(velocity.x, 2.0f) << "fired to the right, where the camera looks";
    // A click that is over before the frame looks still fires one ball.
    Button(SDL_BUTTON_LEFT, true);
    Button(SDL_BUTTON_LEFT, false);
    Frames(2);
    EXPECT_EQ(Line(7), "Objects: 95 (dyn) + 1 (stc)");

    // Pressing the right button throws nothing; releasing it throws one bar.
    Button(SDL_BUTTON_RIGHT, true);
    Frames(1);
    EXPECT_EQ(Line(7), "Objects: 95 (dyn) + 1 (stc)");
    Button(SDL_BUTTON_RIGHT, false);
    Frames(1);
    EXPECT_EQ(Line(7), "Objects: 96 (dyn) + 1 (stc)");
    EXPECT_NE(state.iLastObject, lastBall);
    EXPECT_EQ(Line(8), "Joints: 33");

    // Turning back faces the block again.
    Motion(kWidth / 2 - 100, kHeight / 2);
    Frames(1);
    EXPECT_NEAR(Ray().x, 0.0f, 1e-3f);
    EXPECT_NEAR(Ray().z, -1.0f, 1e-3f);

    // Escape ends the loop before anything more is drawn, even as a tap that is over before the
    // frame looks; the engine then quits cleanly.
    const int drawn = state.iFrames;
    Key(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
    Key(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, false);
    EXPECT_EQ(mvedemo::DemoFrame(), 0);
    EXPECT_EQ(state.iFrames, drawn);
    Stop();
    EXPECT_EQ(MVE_GetScreenWidth(), 0);
    const std::string log = mvetest::ReadFile(dir_ / "MVE LogFile.html");
    EXPECT_EQ(log.find("color:#FF0000"), std::string::npos) << "a red row:\n" << log;
    EXPECT_NE(log.find("Load Mesh: Cube.mvm"), std::string::npos);
    EXPECT_NE(log.find("Material: Ball"), std::string::npos);
}

// The chain a second or two after the start, as the last picture before Escape: the lit front face of
// the block where it projects, and red balls.
TEST_F(DemoTest, TheLastPictureShowsTheBlockAndTheChain) {
    const auto begin = std::chrono::steady_clock::now();
    int frames = 0;
    while (std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(1500) && frames < 300) {
        ASSERT_EQ(mvedemo::DemoFrame(), 1);
        ++frames;
    }
    const std::string shot = (dir_ / "last.png").string();
    ASSERT_EQ(mvedemo::DemoFrame(shot.c_str()), 1);
    // A second and a half in, the rate has been measured and is shown with one decimal place.
    const std::string rate = Line(0).substr(std::string("Frames: ").size());
    ASSERT_NE(rate.find('.'), std::string::npos) << Line(0);
    EXPECT_EQ(rate.size() - rate.find('.'), 2u) << Line(0);
    EXPECT_GT(std::atof(rate.c_str()), 0.0) << Line(0);
    Key(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
    EXPECT_EQ(mvedemo::DemoFrame(), 0);
    Stop();
    const std::string log = mvetest::ReadFile(dir_ / "MVE LogFile.html");
    EXPECT_EQ(log.find("color:#FF0000"), std::string::npos) << "a red row:\n" << log;

    MVE_IMAGE image;
    std::string error;
    ASSERT_EQ(MVE_PlatformLoadImage(shot.c_str(), image, error), 1) << error;
    ASSERT_EQ(image.iWidth, width_);
    ASSERT_EQ(image.iHeight, height_);
    ASSERT_TRUE(image.iFormat == MVE_PIXELS_RGB || image.iFormat == MVE_PIXELS_RGBA);
    const int channels = image.iBytesPerPixel;
    auto pixel = [&](int x, int y) {
        const int row = image.iBottomUp ? height_ - 1 - y : y;
        return image.pPixels + (static_cast<size_t>(row) * width_ + x) * channels;
    };
    // Ball red: the statistics' orange and anything blended with the grey sky carry far more green.
    int red = 0, differing = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const uint8_t *p = pixel(x, y);
            if (p[0] > 50 && p[1] * 100 < p[0] * 35 && p[2] * 100 < p[0] * 35) ++red;
            if (std::abs(p[0] - 128) + std::abs(p[1] - 128) + std::abs(p[2] - 128) > 24) ++differing;
        }
    EXPECT_GT(red, 150) << "the balls";
    EXPECT_GT(differing, width_ * height_ / 20) << "the picture is blank";
    // Front face centre (0, 8, -3) seen from (0, 4, 16) looking down -z, 60 degree field of view.
    const double depth = 19.0, tanHalf = std::tan(30.0 * 3.14159265358979 / 180.0);
    const int bx = width_ / 2;
    const int by = static_cast<int>(std::lround((1.0 - 4.0 / depth / tanHalf) * 0.5 * height_));
    int stone = 0;
    for (int y = by - 2; y <= by + 2; ++y)
        for (int x = bx - 2; x <= bx + 2; ++x) {
            const uint8_t *p = pixel(x, y);
            if (p[0] > p[2] + 8 && p[0] < 250 && p[0] != p[1]) ++stone;  // warm tiles, not the grey sky
        }
    EXPECT_GE(stone, 15) << "the block at " << bx << ", " << by;
    MVE_PlatformFreeImage(image);
}

TEST_F(DemoTest, ClosingTheWindowEndsTheLoopBeforeTheNextFrame) {
    Frames(1);
    const int drawn = mvedemo::GetDemoState().iFrames;
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window_;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    Push(e);
    EXPECT_EQ(mvedemo::DemoFrame(), 0);
    EXPECT_EQ(mvedemo::GetDemoState().iFrames, drawn);
    Stop();
    EXPECT_EQ(mvetest::ReadFile(dir_ / "MVE LogFile.html").find("color:#FF0000"), std::string::npos);
}

}  // namespace
