// Window, GL context, entry points, frame timing and screenshots, on a real headless context.
#include "GLFixture.h"
#include <SDL2/SDL.h>
#include <png.h>
#include <cstdlib>
#include <cstdio>

using mvetest::EngineTest;
using mvetest::GLTest;
using PlatformTest = EngineTest;
using PlatformGLTest = GLTest;

namespace {

// Drains whatever the platform queued while windows opened.
void DrainEvents() {
    for (int i = 0; i < 1000 && MVE_WindowEvent() != MVE_EVENT_NONE; i++) {}
}

struct DecodedPNG {
    int iWidth = 0, iHeight = 0, iColorType = -1;
    std::vector<uint8_t> Pixels;  // rows top to bottom, as stored
};

bool ReadPNG(const char *file, DecodedPNG &out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file)) return false;
    out.iWidth = static_cast<int>(image.width);
    out.iHeight = static_cast<int>(image.height);
    out.iColorType = (image.format & PNG_FORMAT_FLAG_ALPHA) ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    image.format = PNG_FORMAT_RGB;
    out.Pixels.resize(PNG_IMAGE_SIZE(image));
    bool ok = png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

const char *const kDroppedEntry = "glTexBuffer";

void *LookupWithoutTexBuffer(const char *name) {
    return std::string(name) == kDroppedEntry ? nullptr : MVE_PlatformGetProcAddress(name);
}

uint64_t g_fakeNow = 0;
uint64_t FakeCounter() { return g_fakeNow; }

}  // namespace

TEST_F(PlatformGLTest, StartupStateTableAndSystemSection) {
    MVE_ENGINE &e = MVE_Engine();
    EXPECT_EQ(screen_, MVE_RENDER_WINDOW_BASE + 0);
    EXPECT_EQ(MVE_GetScreenWidth(), 320);
    EXPECT_EQ(MVE_GetScreenHeight(), 240);
    ASSERT_EQ(e.GL.iLoaded, 1);
    for (int i = 0; i < MVE_GLEntryCount(); i++) {
        if (!e.Screen.iCoreProfile || std::string(MVE_GLEntryName(i)) != "glShadeModel") {
            EXPECT_NE(MVE_GLEntry(i), nullptr) << MVE_GLEntryName(i);
        }
    }

    const MVE_GL_TABLE &gl = MVE_gl();
    GLint value = 0;
    EXPECT_TRUE(gl.glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(gl.glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(gl.glIsEnabled(GL_BLEND));
    EXPECT_TRUE(gl.glIsEnabled(GL_PROGRAM_POINT_SIZE));
    gl.glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    gl.glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    gl.glGetIntegerv(GL_BLEND_SRC_RGB, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    gl.glGetIntegerv(GL_BLEND_DST_RGB, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    if (!e.Screen.iCoreProfile) {
        gl.glGetIntegerv(0x0B54 /* GL_SHADE_MODEL */, &value);
        EXPECT_EQ(value, GL_FLAT);
        EXPECT_FALSE(gl.glIsEnabled(GL_LIGHTING));
    }
    GLint viewport[4] = {};
    gl.glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 240);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The spare framebuffer exists with its depth renderbuffer attached.
    ASSERT_NE(e.GL.uSpareFramebuffer, 0u);
    ASSERT_NE(e.GL.uSpareRenderbuffer, 0u);
    EXPECT_TRUE(gl.glIsFramebuffer(e.GL.uSpareFramebuffer));
    EXPECT_TRUE(gl.glIsRenderbuffer(e.GL.uSpareRenderbuffer));
    gl.glBindFramebuffer(GL_FRAMEBUFFER, e.GL.uSpareFramebuffer);
    gl.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &value);
    GLint type = 0, name = 0;
    gl.glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    gl.glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(static_cast<GLuint>(value), e.GL.uSpareFramebuffer);
    EXPECT_EQ(type, GL_RENDERBUFFER);
    EXPECT_EQ(static_cast<GLuint>(name), e.GL.uSpareRenderbuffer);

    std::string log = mvetest::ReadFile("MVE LogFile.html");
    std::string renderer = reinterpret_cast<const char *>(gl.glGetString(GL_RENDERER));
    size_t system = log.find("<big style='color:#000000;font-size:12px;'>System</big>");
    ASSERT_NE(system, std::string::npos);
    const std::string row = "<tr><td></td><td></td><td></td><td colspan=2><i style='color:#404040;'>";
    EXPECT_NE(log.find(row + renderer + "</i></td></tr>", system), std::string::npos);
    EXPECT_NE(log.find(row + "OpenGL " + reinterpret_cast<const char *>(gl.glGetString(GL_VERSION)), system),
              std::string::npos);
    EXPECT_NE(log.find(row + "GLSL " + reinterpret_cast<const char *>(gl.glGetString(GL_SHADING_LANGUAGE_VERSION)), system),
              std::string::npos);
    EXPECT_LT(system, log.find(">Program</big>"));
    EXPECT_EQ(log.find("#FF0000"), std::string::npos) << "a healthy start-up logs no failure";

    // The window holding the screen can be neither closed nor replaced while the screen is open.
    MVE_CloseWindow(0);
    EXPECT_EQ(MVE_GetWindowWidth(0), 320);
    EXPECT_EQ(MVE_OpenWindow(0, 100, 100, "x", MVE_WINDOW_HIDDEN), 0);
    // A second screen is refused, the first keeps working.
    EXPECT_EQ(MVE_OpenScreen(0, 0, 0, 320, 240, 32), 0);
    EXPECT_EQ(e.GL.iLoaded, 1);

    // MVE_Quit deletes the spare objects, empties the table and drops the context.
    MVE_Quit();
    screen_ = 0;
    EXPECT_EQ(e.GL.iLoaded, 0);
    EXPECT_EQ(e.GL.uSpareFramebuffer, 0u);
    EXPECT_EQ(e.Screen.pContext, nullptr);
    for (int i = 0; i < MVE_GLEntryCount(); i++) EXPECT_EQ(MVE_GLEntry(i), nullptr) << MVE_GLEntryName(i);
    EXPECT_EQ(MVE_GetScreenWidth(), 0);
    // The application's window outlives the screen.
    EXPECT_EQ(MVE_GetWindowWidth(0), 320);
}

TEST_F(PlatformGLTest, ClearedFramesReadBackAfterFlips) {
    MVE_ClearScreen(0xFF336699);
    MVE_FlipBuffers();
    // The offscreen surface keeps its content across the swap; a window's back buffer would not.
    EXPECT_EQ(PixelAt(0, 0), 0xFF336699u);
    EXPECT_EQ(PixelAt(319, 239), 0xFF336699u);

    // Ten frames, each a different colour: the last one is what is read back, everywhere.
    uint32_t color = 0;
    for (int frame = 0; frame < 10; frame++) {
        color = 0xFF000000u | static_cast<uint32_t>(frame * 20) | (static_cast<uint32_t>(200 - frame * 10) << 8) |
                (0x40u << 16);
        MVE_ClearScreen(color);
        if (frame == 9) {
            std::vector<uint8_t> rgba = Pixels();
            ASSERT_EQ(rgba.size(), 320u * 240u * 4u);
            size_t wrong = 0;
            for (size_t i = 0; i < rgba.size(); i += 4) {
                uint32_t p = rgba[i] | (rgba[i + 1] << 8) | (rgba[i + 2] << 16) | (static_cast<uint32_t>(rgba[i + 3]) << 24);
                wrong += p != color;
            }
            EXPECT_EQ(wrong, 0u);
        }
        MVE_FlipBuffers();
    }
    EXPECT_EQ(PixelAt(160, 120), color);
    // An alpha byte of 0 reads as opaque; the clear colour of the start-up state is left alone.
    MVE_ClearScreen(0x00FFFFFF);
    EXPECT_EQ(PixelAt(1, 1), 0xFFFFFFFFu);
    float clear[4] = {};
    MVE_gl().glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 1.0f);

    // Vertical sync and the blend cache.
    EXPECT_EQ(MVE_SetVSync(1), 1);
    EXPECT_EQ(MVE_Engine().Screen.iVSync, 1);
    MVE_SetBlendMode(GL_ONE, GL_ONE);
    GLint src = 0, dst = 0;
    MVE_gl().glGetIntegerv(GL_BLEND_SRC_RGB, &src);
    MVE_gl().glGetIntegerv(GL_BLEND_DST_RGB, &dst);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(MVE_Engine().GL.uBlendSource, static_cast<unsigned>(GL_ONE));
    EXPECT_EQ(MVE_Engine().GL.uBlendDestination, static_cast<unsigned>(GL_ONE));
}

TEST_F(PlatformGLTest, ScreenshotIsAnUprightOpaquePNG) {
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_ClearScreen(0x80FF0000);  // blue, half alpha
    // A red square in GL's lower-left corner must land in the image's bottom-left.
    gl.glEnable(GL_SCISSOR_TEST);
    gl.glScissor(0, 0, 10, 10);
    MVE_ClearScreen(0xFF0000FF);
    gl.glDisable(GL_SCISSOR_TEST);
    ASSERT_EQ(MVE_SaveScreenshot("shot.png"), 1);
    DecodedPNG png;
    ASSERT_TRUE(ReadPNG("shot.png", png));
    EXPECT_EQ(png.iWidth, 320);
    EXPECT_EQ(png.iHeight, 240);
    EXPECT_EQ(png.iColorType, PNG_COLOR_TYPE_RGB);
    auto at = [&](int x, int y) {
        size_t i = (static_cast<size_t>(y) * 320 + static_cast<size_t>(x)) * 3;
        return std::vector<int>{png.Pixels[i], png.Pixels[i + 1], png.Pixels[i + 2]};
    };
    EXPECT_EQ(at(0, 239), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(9, 230), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(10, 239), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 255}));

    // Unwritable targets fail with a red row and leave no file behind.
    EXPECT_EQ(MVE_SaveScreenshot("no such folder/shot.png"), 0);
    EXPECT_EQ(MVE_SaveScreenshot(""), 0);
    EXPECT_EQ(MVE_SaveScreenshot(nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists("no such folder"));
    std::string log = mvetest::ReadFile("MVE LogFile.html");
    EXPECT_NE(log.find("<i style='color:#FF0000;'>Fail: cannot write no such folder/shot.png!</i>"), std::string::npos);
    EXPECT_NE(log.find("<i style='color:#FF0000;'>Fail: no file name!</i>"), std::string::npos);
}

class PlatformOffsetTest : public GLTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(MVE_OpenWindow(0, 320, 240, "offset", MVE_WINDOW_HIDDEN), 1);
        width_ = 200;
        height_ = 100;
        screen_ = MVE_OpenScreen(0, 40, 30, 200, 100, 32);
        ASSERT_NE(screen_, 0);
    }
};

TEST_F(PlatformOffsetTest, RenderAreaSitsAtItsOffsetFromTheTopLeft) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLint viewport[4] = {};
    gl.glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 40);
    EXPECT_EQ(viewport[1], 240 - 30 - 100);  // GL counts from the bottom of the client area
    EXPECT_EQ(viewport[2], 200);
    EXPECT_EQ(viewport[3], 100);
    MVE_ClearScreen(0xFFFF0000);
    gl.glEnable(GL_SCISSOR_TEST);
    gl.glScissor(40, 110, 200, 100);
    MVE_ClearScreen(0xFF00FF00);
    gl.glScissor(40, 209, 1, 1);  // the area's top-left pixel in GL's terms
    MVE_ClearScreen(0xFF0000FF);
    gl.glDisable(GL_SCISSOR_TEST);
    std::vector<uint8_t> rgba = Pixels();
    ASSERT_EQ(rgba.size(), 200u * 100u * 4u);
    EXPECT_EQ(PixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(1, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(199, 99), 0xFF00FF00u);
}

TEST_F(PlatformTest, MissingEntryPointRefusesStartupByName) {
    MVE_ENGINE &e = MVE_Engine();
    ASSERT_EQ(MVE_OpenWindow(0, 64, 64, "t", MVE_WINDOW_HIDDEN), 1);
    e.GL.pfnGetProcAddress = LookupWithoutTexBuffer;
    EXPECT_EQ(MVE_OpenScreen(0, 0, 0, 64, 64, 32), 0);
    EXPECT_EQ(e.GL.iLoaded, 0);
    EXPECT_EQ(e.Screen.pContext, nullptr);
    EXPECT_EQ(e.iRunning, 0);
    for (int i = 0; i < MVE_GLEntryCount(); i++) EXPECT_EQ(MVE_GLEntry(i), nullptr) << MVE_GLEntryName(i);
    std::string log = mvetest::ReadFile("MVE LogFile.html");
    EXPECT_NE(log.find("[MVE] Morvek Engine"), std::string::npos);
    EXPECT_NE(log.find("<i style='color:#FF0000;'>Fail: OpenGL entry point missing: glTexBuffer</i>"), std::string::npos);
    EXPECT_EQ(log.find("missing: glBindBuffer"), std::string::npos);
    EXPECT_EQ(log.find(">System</big>"), std::string::npos) << "start-up must stop before any GL state is set";
    // Drawing procedures stay harmless, and a later attempt with a complete driver succeeds.
    MVE_ClearScreen(0xFF00FF00);
    MVE_SetBlendMode(GL_ONE, GL_ONE);
    MVE_FlipBuffers();
    EXPECT_EQ(MVE_SaveScreenshot("x.png"), 0);
    e.GL.pfnGetProcAddress = nullptr;
    EXPECT_NE(MVE_OpenScreen(0, 0, 0, 64, 64, 32), 0);
    EXPECT_EQ(e.GL.iLoaded, 1);
    MVE_Quit();
    MVE_CloseWindow(0);
}

TEST_F(PlatformTest, CoreContextStartsWithoutTheLegacyState) {
    MVE_ENGINE &e = MVE_Engine();
    ASSERT_EQ(MVE_OpenWindow(0, 64, 64, "t", MVE_WINDOW_HIDDEN), 1);
    e.Screen.iSkipCompatibility = 1;
    ASSERT_NE(MVE_OpenScreen(0, 0, 0, 64, 64, 32), 0);
    EXPECT_EQ(e.Screen.iCoreProfile, 1);
    EXPECT_EQ(MVE_gl().glShadeModel, nullptr) << "a core context has no legacy entries to call";
    EXPECT_EQ(MVE_gl().glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(MVE_gl().glIsEnabled(GL_DEPTH_TEST));
    MVE_ClearScreen(0xFF0000FF);
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    ASSERT_EQ(MVE_ReadScreenPixels(rgba, &w, &h), 1);
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[2], 0);
    std::string log = mvetest::ReadFile("MVE LogFile.html");
    EXPECT_NE(log.find("<i style='color:#0000FF;'>Info: No compatibility context"), std::string::npos);
    EXPECT_NE(log.find("Core Profile"), std::string::npos);
    MVE_Quit();
    MVE_CloseWindow(0);
}

TEST_F(PlatformTest, NoVideoDriverGivesNoScreenAndSaysWhy) {
    const char *old = std::getenv("SDL_VIDEODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    EXPECT_EQ(MVE_OpenWindow(0, 64, 64, "t", MVE_WINDOW_HIDDEN), 0);
    EXPECT_EQ(MVE_OpenScreen(0, 0, 0, 64, 64, 32), 0);
    if (old) setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else unsetenv("SDL_VIDEODRIVER");
    std::string log = mvetest::ReadFile("MVE LogFile.html");
    EXPECT_NE(log.find("<i style='color:#FF0000;'>Fail: Window 0 is not open (no video output ("), std::string::npos)
        << log;
    EXPECT_EQ(MVE_GetScreenWidth(), 0);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_NONE);
    EXPECT_EQ(MVE_SetVSync(1), 0);
}

TEST_F(PlatformTest, WindowNumbersSizesAndEvents) {
    MVE_ENGINE &e = MVE_Engine();
    OpenLog();
    EXPECT_EQ(MVE_OpenWindow(MVE_MAX_WINDOWS, 64, 64, "t", 0), 0);
    EXPECT_EQ(MVE_OpenWindow(-1, 64, 64, "t", 0), 0);
    EXPECT_EQ(MVE_OpenWindow(1, 0, 64, "t", 0), 0);
    EXPECT_NE(LogText().find("Fail: window number 16 is outside 0..15!"), std::string::npos);
    EXPECT_EQ(MVE_OpenScreen(3, 0, 0, 64, 64, 32), 0);  // window 3 was never opened
    EXPECT_EQ(MVE_OpenScreen(0, 0, 0, 0, 64, 32), 0);
    EXPECT_NE(LogText().find("Fail: Screen size 0 x 64 is not valid!"), std::string::npos);

    ASSERT_EQ(MVE_OpenWindow(2, 200, 100, nullptr, MVE_WINDOW_HIDDEN | MVE_WINDOW_SIZEABLE), 1);
    EXPECT_EQ(MVE_GetWindowWidth(2), 200);
    EXPECT_EQ(MVE_GetWindowHeight(2), 100);
    EXPECT_EQ(MVE_GetWindowWidth(1), 0);
    // Re-using a number replaces the window.
    ASSERT_EQ(MVE_OpenWindow(2, 150, 90, "again", MVE_WINDOW_HIDDEN), 1);
    EXPECT_EQ(MVE_GetWindowWidth(2), 150);
    DrainEvents();

    SDL_Window *native = static_cast<SDL_Window *>(e.Screen.Windows[2].pNative);
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(native);
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    event.window.data1 = 180;
    event.window.data2 = 120;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(native);
    key.key.keysym.sym = SDLK_ESCAPE;
    key.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&key), 1);

    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_SIZE);
    EXPECT_EQ(MVE_EventWindow(), 2);
    EXPECT_EQ(MVE_GetWindowWidth(2), 180);
    EXPECT_EQ(MVE_GetWindowHeight(2), 120);
    EXPECT_EQ(e.iCloseRequest, 0);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_CLOSE);
    EXPECT_EQ(MVE_EventWindow(), 2);
    EXPECT_EQ(e.iCloseRequest, 1);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_INPUT);
    EXPECT_EQ(MVE_EventWindow(), 2);
    DrainEvents();
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_NONE);
    EXPECT_EQ(MVE_EventWindow(), -1);

    // Closing the last window shuts the video output down again.
    MVE_CloseWindow(2);
    EXPECT_EQ(MVE_GetWindowWidth(2), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    MVE_CloseWindow(2);  // closing twice is harmless

    // A window meant to be seen opens on the off-screen output only when that was asked for by
    // name; without a display and without the request it is refused rather than run unseen.
    ASSERT_EQ(MVE_OpenWindow(1, 64, 64, "shown", 0), 1);
    MVE_CloseWindow(1);
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    std::string savedDriver = driver ? driver : "";
    unsetenv("SDL_VIDEODRIVER");
    int opened = MVE_OpenWindow(1, 64, 64, "shown", 0);
    if (!opened) {
        EXPECT_NE(e.Screen.sWindowError.find("no display"), std::string::npos) << e.Screen.sWindowError;
    }
    MVE_CloseWindow(1);
    if (driver) setenv("SDL_VIDEODRIVER", savedDriver.c_str(), 1);
}

TEST_F(PlatformTest, FrameTimingFollowsTheFlipClock) {
    MVE_FRAME_TIMING &t = MVE_Engine().Screen.Frame;
    t.pfnCounter = FakeCounter;
    t.uFrequency = 1000;  // milliseconds
    g_fakeNow = 0;        // a counter that starts at 0 must still count as started
    MVE_FlipBuffers();
    EXPECT_EQ(MVE_GetFrameTime(), 0.0f);
    EXPECT_EQ(MVE_GetFramesPerSecond(), 0.0f);

    g_fakeNow = 16;
    MVE_FlipBuffers();
    EXPECT_FLOAT_EQ(MVE_GetFrameTime(), 0.016f);
    g_fakeNow = 300;
    MVE_FlipBuffers();
    EXPECT_FLOAT_EQ(MVE_GetFrameTime(), 0.284f);
    EXPECT_EQ(MVE_GetFramesPerSecond(), 0.0f) << "less than half a second measured: rate unchanged";

    // Half a second after the first flip: three frames ended in 0.5 s.
    g_fakeNow = 500;
    MVE_FlipBuffers();
    EXPECT_FLOAT_EQ(MVE_GetFramesPerSecond(), 6.0f);
    // Two flips within the next half second leave the rate as it is.
    g_fakeNow = 600;
    MVE_FlipBuffers();
    g_fakeNow = 999;
    MVE_FlipBuffers();
    EXPECT_FLOAT_EQ(MVE_GetFramesPerSecond(), 6.0f);
    g_fakeNow = 1250;  // three frames in 0.75 s
    MVE_FlipBuffers();
    EXPECT_FLOAT_EQ(MVE_GetFramesPerSecond(), 4.0f);
    EXPECT_FLOAT_EQ(MVE_GetFrameTime(), 0.251f);

    // A counter that steps back gives a zero frame time, not a huge one.
    g_fakeNow = 1000;
    MVE_FlipBuffers();
    EXPECT_EQ(MVE_GetFrameTime(), 0.0f);
    EXPECT_FLOAT_EQ(MVE_GetFramesPerSecond(), 4.0f);
}
