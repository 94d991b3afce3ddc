// The Physics demonstration replayed from a committed recording (Tests/Replay/demo.mvr, a few seconds
// of flying, firing and throwing made by the disabled test below): every frame's hash must equal the
// one written while it was recorded, and a file cut short or damaged must behave as documented.
// After a change that moves the demonstration's objects, make the pair again with
//   build/Tests/mve_tests --gtest_also_run_disabled_tests --gtest_filter='*RecordTheCommittedSession'
// (headless variables as for the suite) and commit both files.
#include "Demo.h"
#include "MVE.h"
#include "Platform/Platform.h"
#include "TestSupport.h"
#include <cstring>
#include <SDL2/SDL.h>
#include <fstream>
#include <string>
#include <vector>

#ifndef MVE_TEST_DEMO_RESOURCES
#error "MVE_TEST_DEMO_RESOURCES must name the demonstration's data folder"
#endif

namespace {

namespace fs = std::filesystem;
const fs::path kCommitted = fs::path(MVE_TEST_GOLDEN).parent_path() / "Replay";
constexpr int kWidth = 320, kHeight = 180;

std::vector<std::string> Lines(const fs::path &file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int RedRows(const std::string &log) {
    int n = 0;
    for (size_t at = log.find("color:#FF0000"); at != std::string::npos; at = log.find("color:#FF0000", at + 1)) ++n;
    return n;
}

class ReplayDemoTest : public mvetest::EngineTest {
  protected:
    void TearDown() override {
        if (started_) mvedemo::DemoStop();
        EngineTest::TearDown();
    }
    bool Start() {
        mvedemo::DemoOptions options;
        options.iWidth = kWidth;
        options.iHeight = kHeight;
        options.sResources = MVE_TEST_DEMO_RESOURCES;
        started_ = mvedemo::DemoStart(options) == 1;
        if (started_) window_ = SDL_GetWindowID(static_cast<SDL_Window *>(MVE_Engine().Screen.Windows[0].pNative));
        return started_;
    }
    void Stop() {
        mvedemo::DemoStop();
        started_ = false;
    }
    // Frames until the demonstration ends itself (at most `limit`); how many were drawn.
    int RunToTheEnd(int limit) {
        int frames = 0;
        while (frames < limit && mvedemo::DemoFrame()) ++frames;
        return frames;
    }
    std::string Log() { return mvetest::ReadFile(dir_ / "MVE LogFile.html"); }
    void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    void Button(Uint8 button, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window_;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        Push(e);
    }
    void Key(SDL_Scancode scancode, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = window_;
        e.key.keysym.scancode = scancode;
        e.key.keysym.mod = KMOD_NUM;
        Push(e);
    }
    void Motion(int dx, int dy) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window_;
        e.motion.x = kWidth / 2 + dx;
        e.motion.y = kHeight / 2 + dy;
        Push(e);
    }
    bool started_ = false;
    Uint32 window_ = 0;
};

TEST_F(ReplayDemoTest, DISABLED_RecordTheCommittedSession) {
    fs::create_directories(kCommitted);
    ASSERT_EQ(MVE_StartRecording((kCommitted / "demo.mvr").c_str()), 1);
    ASSERT_EQ(MVE_WriteFrameHashes((kCommitted / "demo.hashes").c_str()), 1);
    ASSERT_TRUE(Start()) << Log();
    // A few seconds of a player: looks around, flies, holds the left button, throws bars, quits.
    for (int frame = 0; frame < 150; ++frame) {
        if (frame == 10) Motion(37, -11);
        if (frame == 15) Key(SDL_SCANCODE_W, true);
        if (frame == 35) Key(SDL_SCANCODE_W, false);
        if (frame == 20) Button(SDL_BUTTON_LEFT, true);
        if (frame == 27) Button(SDL_BUTTON_LEFT, false);
        if (frame == 40) Button(SDL_BUTTON_RIGHT, true);
        if (frame == 43) Button(SDL_BUTTON_RIGHT, false);
        if (frame == 50) Motion(-53, 19);
        if (frame == 55) Key(SDL_SCANCODE_D, true);
        if (frame == 70) Key(SDL_SCANCODE_D, false);
        if (frame == 75) Button(SDL_BUTTON_LEFT, true);
        if (frame == 79) Button(SDL_BUTTON_LEFT, false);
        if (frame == 85) Button(SDL_BUTTON_RIGHT, true), Button(SDL_BUTTON_RIGHT, false);
        if (frame == 99) Key(SDL_SCANCODE_ESCAPE, true);
        if (!mvedemo::DemoFrame()) break;
        SDL_Delay(5);
    }
    Stop();
    EXPECT_EQ(RedRows(Log()), 0) << Log();
    std::printf("recorded %zu frames into %s\n", Lines(kCommitted / "demo.hashes").size(), (kCommitted / "demo.mvr").c_str());
}

TEST_F(ReplayDemoTest, TheCommittedSessionReplaysFrameForFrame) {
    const std::vector<std::string> recorded = Lines(kCommitted / "demo.hashes");
    ASSERT_GT(recorded.size(), 50u) << "missing: " << kCommitted / "demo.hashes";
    ASSERT_EQ(MVE_StartReplay((kCommitted / "demo.mvr").c_str()), 1);
    ASSERT_EQ(MVE_WriteFrameHashes((dir_ / "replay.hashes").c_str()), 1);
    ASSERT_TRUE(Start()) << Log();
    EXPECT_EQ(MVE_IsReplaying(), 1);
    // Someone at the keyboard meanwhile: fires, flies away, turns. A replay ignores it.
    Button(SDL_BUTTON_LEFT, true);
    Key(SDL_SCANCODE_S, true);
    Motion(80, 30);
    // The recorded player pressed Escape in the frame after the last hashed one: the replay ends there.
    const int frames = RunToTheEnd(static_cast<int>(recorded.size()) + 50);
    EXPECT_EQ(frames, static_cast<int>(recorded.size()));
    Stop();
    const std::vector<std::string> replayed = Lines(dir_ / "replay.hashes");
    ASSERT_EQ(replayed.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) ASSERT_EQ(replayed[i], recorded[i]) << "first frame that differs";
    const std::string log = Log();
    EXPECT_EQ(RedRows(log), 0) << log;
    EXPECT_NE(log.find("ended with the program, as the recording did"), std::string::npos) << log;
}

// The picture asked for on the command line is the last one drawn, also when the program quits
// before its replay is over: here in frame 30 of the 99 recorded.
TEST_F(ReplayDemoTest, AReplayEndedEarlyLeavesTheLastPictureDrawn) {
    ASSERT_EQ(MVE_StartReplay((kCommitted / "demo.mvr").c_str()), 1);
    ASSERT_EQ(MVE_SetQuitScreenshot((dir_ / "quit.png").c_str()), 1);
    ASSERT_TRUE(Start()) << Log();
    for (int frame = 1; frame < 30; ++frame) ASSERT_TRUE(mvedemo::DemoFrame());
    ASSERT_TRUE(mvedemo::DemoFrame((dir_ / "frame30.png").c_str()));
    Stop();
    EXPECT_NE(Log().find("ended early: the program quit in frame 30"), std::string::npos) << Log();
    MVE_IMAGE quit, drawn;
    std::string error;
    ASSERT_EQ(MVE_PlatformLoadImage((dir_ / "quit.png").c_str(), quit, error), 1) << error;
    ASSERT_EQ(MVE_PlatformLoadImage((dir_ / "frame30.png").c_str(), drawn, error), 1) << error;
    ASSERT_EQ(quit.iWidth, kWidth);
    ASSERT_EQ(quit.iHeight, kHeight);
    ASSERT_EQ(quit.iBytesPerPixel, drawn.iBytesPerPixel);
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * quit.iBytesPerPixel;
    EXPECT_EQ(std::memcmp(quit.pPixels, drawn.pPixels, bytes), 0);
}

}  // namespace
