// The screen: MVE_OpenScreen and the GL start-up and shut-down steps of MVE_Init and MVE_Quit,
// the end of every frame (timing and swap), vertical sync, the blend cache and screenshots.
// Main thread only, which owns the context. Never calls GL before every entry point was found.
#include "Render/Screen.h"
#include "Reload/Reload.h"
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "MVE.h"
#include <algorithm>
#include <cstdio>

namespace {

// Misuse reported once per run, so a call in every frame cannot flood the log.
enum : uint32_t {
    REPORTED_CLEAR = 1,
    REPORTED_BLEND = 2,
};

MVE_SCREEN_STATE &S() { return MVE_Engine().Screen; }

bool Ready() { return MVE_Engine().GL.iLoaded != 0; }

void ReportOnce(uint32_t bit, const char *procedure) {
    MVE_SCREEN_STATE &s = S();
    if (s.uReported & bit) return;
    s.uReported |= bit;
    MVE_LogFail("Fail: No screen is open!", procedure);
}

// A refused start-up still needs its reason on record: open the log as MVE_Init would.
void OpenStartupLog() {
    if (MVE_Engine().Log.pFile) return;
    MVE_OpenLogFile("MVE LogFile.html", 0, 1);
    MVE_SetLogColumns(10);
    MVE_LogSection("[MVE] Morvek Engine", 0xFF31BC51);
    MVE_Log(MVE_VERSION, MVE_LOG_PLAIN, 0, 0, "", "MVE_Init");
}

int Refuse(const std::string &message) {
    MVE_SCREEN_STATE &s = S();
    MVE_ClearGLFunctions();
    MVE_PlatformDestroyContext();
    s.iX = s.iY = s.iWidth = s.iHeight = 0;
    s.iRenderWindow = 0;
    OpenStartupLog();
    MVE_LogFail(message, "MVE_OpenScreen");
    return 0;
}

std::string GLText(GLenum name) {
    const GLubyte *text = MVE_gl().glGetString(name);
    return text ? reinterpret_cast<const char *>(text) : "";
}

// "3.3 ..." or "OpenGL ES 3.2 ..." -> 33 / 32; 0 when unreadable.
int GLVersionNumber(const std::string &version) {
    size_t i = version.find_first_of("0123456789");
    int major = 0, minor = 0;
    if (i == std::string::npos || std::sscanf(version.c_str() + i, "%d.%d", &major, &minor) != 2) return 0;
    return major * 10 + minor;
}

void ResetRenderCache() {
    MVE_GL_STATE &gl = MVE_Engine().GL;
    gl.iWireframe = 0;
    gl.iCullBack = 1;
    gl.iRenderFlag3 = 1;
    gl.uBlendSource = GL_SRC_ALPHA;
    gl.uBlendDestination = GL_ONE_MINUS_SRC_ALPHA;
}

}  // namespace

extern "C" int MVE_OpenScreen(int parent, int x, int y, int width, int height, int) {
    MVE_ENGINE &e = MVE_Engine();
    MVE_SCREEN_STATE &s = e.Screen;
    if (s.pContext || e.iRunning) {
        OpenStartupLog();
        MVE_LogFail("Fail: The screen is already open!", "MVE_OpenScreen");
        return 0;
    }
    if (width <= 0 || height <= 0)
        return Refuse("Fail: Screen size " + std::to_string(width) + " x " + std::to_string(height) +
                      " is not valid!");
    if (parent < 0 || parent >= MVE_MAX_WINDOWS || !s.Windows[parent].pNative) {
        std::string why = s.sWindowError.empty() ? "" : " (" + s.sWindowError + ")";
        return Refuse("Fail: Window " + std::to_string(parent) + " is not open" + why + "!");
    }
    s.iX = x;
    s.iY = y;
    s.iWidth = width;
    s.iHeight = height;
    std::string error;
    int core = 0;
    if (!MVE_PlatformCreateContext(parent, &core, error)) return Refuse("Fail: " + error + "!");
    std::vector<std::string> missing = MVE_LoadGLFunctions(!core);
    if (!missing.empty()) {
        OpenStartupLog();
        for (const std::string &name : missing) MVE_LogFail("Fail: OpenGL entry point missing: " + name, "MVE_OpenScreen");
        return Refuse("Fail: The driver lacks " + std::to_string(missing.size()) +
                      " OpenGL entry points; the engine cannot start!");
    }
    std::string version = GLText(GL_VERSION);
    if (GLVersionNumber(version) < 33)
        return Refuse("Fail: OpenGL 3.3 is needed; the driver offers \"" + version + "\"!");
    s.iCoreProfile = core;
    s.iRenderWindow = MVE_RENDER_WINDOW_BASE + parent;
    MVE_Init();
    return s.iRenderWindow;
}

void MVE_StartupImageCodecs() {
    std::string error;
    if (!MVE_PlatformCheckImageCodecs(error)) MVE_LogFail("Fail: " + error + "!", "MVE_Init");
}

void MVE_StartupGL() {
    MVE_ENGINE &e = MVE_Engine();
    ResetRenderCache();
    MVE_FRAME_TIMING &t = e.Screen.Frame;
    auto counter = t.pfnCounter;
    t = MVE_FRAME_TIMING();
    t.pfnCounter = counter;
    t.uFrequency = MVE_PlatformCounterFrequency();
    e.Screen.uReported = 0;
    if (!Ready()) return;  // MVE_Init without a screen (tools, tests): nothing to set up on the GL side

    const MVE_GL_TABLE &gl = MVE_gl();
    const bool legacy = !e.Screen.iCoreProfile;
    gl.glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl.glEnable(GL_DEPTH_TEST);
    if (legacy) gl.glShadeModel(GL_FLAT);
    gl.glDepthFunc(GL_LEQUAL);
    if (legacy) {
        gl.glDisable(GL_LIGHTING);
        gl.glEnable(GL_TEXTURE_2D);
    }
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_BACK);
    gl.glEnable(GL_BLEND);
    if (legacy) gl.glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glEnable(GL_PROGRAM_POINT_SIZE);
    gl.glPointSize(1.0f);

    MVE_LogSection("System", 0);
    MVE_Log(GLText(GL_RENDERER).c_str(), MVE_LOG_HEADING, 0, 0, "", "MVE_Init");
    MVE_Log(("OpenGL " + GLText(GL_VERSION)).c_str(), MVE_LOG_HEADING, 0, 0, "", "MVE_Init");
    MVE_Log(("GLSL " + GLText(GL_SHADING_LANGUAGE_VERSION)).c_str(), MVE_LOG_HEADING, 0, 0, "", "MVE_Init");
    if (!legacy)
        MVE_LogNotice("Info: No compatibility context; running on a core context without the legacy start-up state.",
                      "MVE_Init");
    MVE_LogSectionEnd();

    // The spare framebuffer keeps a depth attachment ready for passes that borrow it. The
    // renderbuffer is bound once so that it exists as an object before it is attached.
    gl.glGenRenderbuffers(1, &e.GL.uSpareRenderbuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, e.GL.uSpareRenderbuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    gl.glGenFramebuffers(1, &e.GL.uSpareFramebuffer);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, e.GL.uSpareFramebuffer);
    gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, e.GL.uSpareRenderbuffer);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    MVE_BindScreen();
    // Start every later check from a clean error state (a driver may flag a legacy call).
    for (int i = 0; i < 32 && gl.glGetError() != GL_NO_ERROR; i++) {}
}

void MVE_ShutdownGL() {
    MVE_GL_STATE &state = MVE_Engine().GL;
    if (Ready()) {
        const MVE_GL_TABLE &gl = MVE_gl();
        if (state.uSpareFramebuffer) gl.glDeleteFramebuffers(1, &state.uSpareFramebuffer);
        if (state.uSpareRenderbuffer) gl.glDeleteRenderbuffers(1, &state.uSpareRenderbuffer);
    }
    state.uSpareFramebuffer = state.uSpareRenderbuffer = 0;
}

void MVE_ShutdownWindow() {
    MVE_SCREEN_STATE &s = S();
    // The table goes first: after this no GL call can reach a context that no longer exists.
    MVE_ClearGLFunctions();
    MVE_PlatformDestroyContext();
    s.iRenderWindow = 0;
    s.iX = s.iY = s.iWidth = s.iHeight = 0;
    s.iCoreProfile = 0;
    s.Frame.iStarted = 0;
}

void MVE_BindScreen() {
    if (!Ready()) return;
    MVE_SCREEN_STATE &s = S();
    int drawableWidth = 0, drawableHeight = 0;
    MVE_PlatformDrawableSize(s.iParent, &drawableWidth, &drawableHeight);
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.glViewport(s.iX, drawableHeight - s.iY - s.iHeight, s.iWidth, s.iHeight);
}

namespace {

// Copies the part of the rectangle (x, y, width x height, top-left origin) that lies on the render
// area into `out` (width x height RGBA rows from the top); the rest of `out` is left alone. The
// caller has checked that the rectangle meets the screen.
void ReadRectangle(int x, int y, int width, int height, uint8_t *out) {
    MVE_FlushSprites();  // 2D quads still waiting in the batch belong to the picture
    MVE_SCREEN_STATE &s = S();
    int drawableWidth = 0, drawableHeight = 0;
    MVE_PlatformDrawableSize(s.iParent, &drawableWidth, &drawableHeight);
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<int64_t>(int64_t(x) + width, s.iWidth));
    const int y1 = static_cast<int>(std::min<int64_t>(int64_t(y) + height, s.iHeight));
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    gl.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);  // else the pixels would land in a bound buffer
    gl.glReadBuffer(GL_BACK);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl.glReadPixels(s.iX + x0, drawableHeight - s.iY - y1, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL counts rows from the bottom; callers and image files count from the top.
    const size_t stride = static_cast<size_t>(w) * 4, outStride = static_cast<size_t>(width) * 4;
    uint8_t *first = out + static_cast<size_t>(y0 - y) * outStride + static_cast<size_t>(x0 - x) * 4;
    for (int r = 0; r < h; r++)
        std::copy_n(rows.data() + stride * static_cast<size_t>(h - 1 - r), stride, first + outStride * static_cast<size_t>(r));
}

}  // namespace

int MVE_ReadScreenPixels(std::vector<uint8_t> &rgba, int *width, int *height) {
    rgba.clear();
    if (width) *width = 0;
    if (height) *height = 0;
    MVE_SCREEN_STATE &s = S();
    if (!Ready() || s.iWidth <= 0 || s.iHeight <= 0) return 0;
    rgba.resize(static_cast<size_t>(s.iWidth) * static_cast<size_t>(s.iHeight) * 4);
    ReadRectangle(0, 0, s.iWidth, s.iHeight, rgba.data());
    if (width) *width = s.iWidth;
    if (height) *height = s.iHeight;
    return 1;
}

extern "C" int MVE_ReadFramePixels(int x, int y, int width, int height, void *rgba) {
    static const char *const kProcedure = "MVE_ReadFramePixels";
    MVE_SCREEN_STATE &s = S();
    if (!Ready()) {
        MVE_LogFail("Fail: No screen is open!", kProcedure);
        return 0;
    }
    if (!rgba) {
        MVE_LogFail("Fail: No memory to read the frame into!", kProcedure);
        return 0;
    }
    const std::string rectangle = "(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(width) +
                                  " x " + std::to_string(height) + ")";
    if (width <= 0 || height <= 0 || int64_t(x) + width <= 0 || int64_t(y) + height <= 0 || x >= s.iWidth ||
        y >= s.iHeight) {
        MVE_LogFail("Fail: The rectangle " + rectangle + " lies outside the screen of " + std::to_string(s.iWidth) +
                        " x " + std::to_string(s.iHeight) + "!",
                    kProcedure);
        return 0;
    }
    uint8_t *out = static_cast<uint8_t *>(rgba);
    // What lies beyond the screen reads as transparent black, never as what the memory held.
    if (x < 0 || y < 0 || int64_t(x) + width > s.iWidth || int64_t(y) + height > s.iHeight)
        std::fill_n(out, static_cast<size_t>(width) * static_cast<size_t>(height) * 4, uint8_t(0));
    ReadRectangle(x, y, width, height, out);
    return 1;
}

extern "C" int MVE_SaveScreenshot(const char *file) {
    const char *name = file ? file : "";
    MVE_LogHeading(std::string("Save Screenshot: ") + name, __LINE__, __FILE__, "MVE_SaveScreenshot");
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    if (!MVE_ReadScreenPixels(rgba, &w, &h)) {
        MVE_LogFail("Fail: No screen is open!", "MVE_SaveScreenshot");
        return 0;
    }
    // The back buffer's alpha is whatever blending left there: a screenshot is opaque RGB.
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    for (size_t i = 0, n = static_cast<size_t>(w) * static_cast<size_t>(h); i < n; i++) {
        rgb[3 * i + 0] = rgba[4 * i + 0];
        rgb[3 * i + 1] = rgba[4 * i + 1];
        rgb[3 * i + 2] = rgba[4 * i + 2];
    }
    std::string error;
    if (!MVE_PlatformWritePNG(name, rgb.data(), w, h, 3, error)) {
        MVE_LogFail("Fail: " + error + "!", "MVE_SaveScreenshot");
        return 0;
    }
    MVE_LogOK("MVE_SaveScreenshot");
    return 1;
}

extern "C" void MVE_ClearScreen(uint32_t color) {
    if (!Ready()) {
        ReportOnce(REPORTED_CLEAR, "MVE_ClearScreen");
        return;
    }
    MVE_FlushSprites();  // 2D quads drawn before the clear are cleared with the rest
    v4f c;
    MVE_v4fColor(&c, color);
    const float rgba[4] = {c.x, c.y, c.z, c.w};
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_BindScreen();
    // The clear colour of the start-up state is restored afterwards: other passes clear with it.
    // (glClearBuffer would spare the round trip, but Mesa ignores it on a single-buffered surface.)
    float previous[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    gl.glGetFloatv(GL_COLOR_CLEAR_VALUE, previous);
    gl.glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    gl.glClearColor(previous[0], previous[1], previous[2], previous[3]);
}

extern "C" int MVE_SetVSync(int interval) {
    MVE_SCREEN_STATE &s = S();
    if (!s.pContext) {
        MVE_LogFail("Fail: No screen is open!", "MVE_SetVSync");
        return 0;
    }
    if (!MVE_PlatformSetSwapInterval(interval)) {
        // Many desktops and virtual displays offer no swap control: the program runs on, unsynchronised.
        MVE_LogNotice("Info: The driver refuses swap interval " + std::to_string(interval) +
                          "; frames are not synchronised with the display.",
                      "MVE_SetVSync");
        return 0;
    }
    s.iVSync = interval;
    return 1;
}

extern "C" void MVE_SetBlendMode(uint32_t source, uint32_t destination) {
    MVE_GL_STATE &state = MVE_Engine().GL;
    state.uBlendSource = source;
    state.uBlendDestination = destination;
    if (Ready()) MVE_gl().glBlendFunc(source, destination);
    else ReportOnce(REPORTED_BLEND, "MVE_SetBlendMode");
}

extern "C" int MVE_FlipBuffers(void) {
    MVE_SCREEN_STATE &s = S();
    MVE_FRAME_TIMING &t = s.Frame;
    // Waiting 2D quads, then the corner logo over everything, end the picture.
    MVE_FlushSprites();
    if (s.iShowLogo) MVE_DrawLogo();
    const uint64_t now = t.pfnCounter ? t.pfnCounter() : MVE_PlatformCounter();
    if (!t.uFrequency) t.uFrequency = MVE_PlatformCounterFrequency();
    const double frequency = static_cast<double>(t.uFrequency);
    if (!t.iStarted) {
        // The first flip only sets the reference points: it ends no measured frame.
        t.iStarted = 1;
        t.uLastFlip = t.uLastRateUpdate = now;
        t.iFrames = 0;
        t.fFrameTime = 0.0f;
    } else {
        t.fFrameTime = now > t.uLastFlip ? static_cast<float>(static_cast<double>(now - t.uLastFlip) / frequency) : 0.0f;
        t.iFrames++;
        t.uLastFlip = now;
    }
    const double sinceRate = now > t.uLastRateUpdate ? static_cast<double>(now - t.uLastRateUpdate) / frequency : 0.0;
    if (sinceRate >= 0.5) {
        t.fFramesPerSecond = static_cast<float>(t.iFrames / sinceRate);
        t.uLastRateUpdate = now;
        t.iFrames = 0;
    }
    MVE_ReplayFrameEnd(&t.fFrameTime, &t.fFramesPerSecond);
    if (s.pContext) MVE_PlatformSwapBuffers();
    // Between two frames: what a save changed is in place before the next frame draws anything.
    MVE_ApplyLiveReload();
    return 0;
}

extern "C" float MVE_GetFrameTime(void) { return S().Frame.fFrameTime; }

extern "C" float MVE_GetFramesPerSecond(void) { return S().Frame.fFramesPerSecond; }

extern "C" int MVE_GetScreenWidth(void) { return S().iWidth; }

extern "C" int MVE_GetScreenHeight(void) { return S().iHeight; }
