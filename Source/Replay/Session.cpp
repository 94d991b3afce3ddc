// A session from the application's side: arming a recording or a replay before the engine starts,
// the start inside MVE_Init and the end inside MVE_Quit, the frame boundary of MVE_FlipBuffers
// (frame hashes, the last picture), the frame clock and rate the getters return, and the command
// line. Main thread. Nothing here decides what a frame computes: it only feeds and writes down.
#include "Replay/Replay.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Object/Object.h"
#include "Platform/Platform.h"
#include "Render/Screen.h"
#include <cctype>
#include <cstring>
#include <filesystem>

namespace {

MVE_REPLAY_STATE &St() { return MVE_Replay(); }

bool LogOpen() { return MVE_Engine().Log.pFile != nullptr; }

void CloseHashes(MVE_REPLAY_STATE &st) {
    if (st.pHashes) std::fclose(st.pHashes);
    st.pHashes = nullptr;
}

// Refuses a start that cannot make a whole session (0), after saying why.
int CanArm(const char *procedure) {
    MVE_REPLAY_STATE &st = St();
    if (MVE_Engine().iRunning) {
        MVE_ReplayFail(MVE_FAIL_SESSION_RUNNING, procedure);
        return 0;
    }
    if (st.iArmed || st.iActive) {
        MVE_ReplayFail(MVE_FAIL_SESSION_TWICE, procedure);
        return 0;
    }
    return 1;
}

bool ReadWhole(const char *file, std::string &bytes, std::string &failure) {
    std::vector<uint8_t> data;
    if (!MVE_ReadRegularFile(file, MVE_FILE_RECORDING, data, failure)) return false;
    bytes.assign(data.begin(), data.end());
    return true;
}

// The first row of a failure from the file layer reads "Fail: File not found!": keep its reason.
std::string Reason(const std::string &failure) {
    std::string r = failure;
    if (r.rfind("Fail: ", 0) == 0) r = r.substr(6);
    while (!r.empty() && (r.back() == '!' || r.back() == '.')) r.pop_back();
    if (!r.empty()) r[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(r[0])));
    return r;
}

void Fnv(uint64_t &h, const void *data, size_t size) {
    const unsigned char *p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
}

void CapturePicture(MVE_REPLAY_STATE &st) {
    if (st.sScreenshot.empty()) return;
    // Every frame, replayed or live: a program may end in any of them (a frame limit, the window
    // closed halfway through a replay), and the frame it ends on is the picture asked for. Taking
    // only a replay's last recorded frame lost the picture of every replay that ended early.
    MVE_ReadScreenPixels(st.LastPicture, &st.iPictureWidth, &st.iPictureHeight);
}

void WritePicture(MVE_REPLAY_STATE &st) {
    if (st.sScreenshot.empty() || st.LastPicture.empty()) return;
    const size_t n = static_cast<size_t>(st.iPictureWidth) * static_cast<size_t>(st.iPictureHeight);
    std::vector<uint8_t> rgb(n * 3);
    for (size_t i = 0; i < n; ++i) std::memcpy(&rgb[3 * i], &st.LastPicture[4 * i], 3);
    std::string error;
    if (!MVE_PlatformWritePNG(st.sScreenshot.c_str(), rgb.data(), st.iPictureWidth, st.iPictureHeight, 3, error))
        MVE_LogFail("Fail: The last picture cannot be written to \"" + st.sScreenshot + "\" (" + error + ")!", "MVE_Quit");
    st.LastPicture.clear();
}

}  // namespace

MVE_REPLAY_STATE &MVE_Replay() { return MVE_Engine().Replay; }

MVE_REPLAY_STATE::~MVE_REPLAY_STATE() {
    // An engine dropped without MVE_Quit: the recording stays as a file cut short.
    if (Recorder.pFile) std::fclose(Recorder.pFile);
    if (pHashes) std::fclose(pHashes);
}

std::string MVE_ReplayBuild() {
#ifdef __VERSION__
    return std::string("compiler ") + __VERSION__;
#else
    return "compiler unknown";
#endif
}

void MVE_ReplayFail(const std::string &message, const char *procedure) {
    if (LogOpen()) MVE_LogFail(message, procedure);
    else St().Pending.push_back(message + " (" + procedure + ")");
}

// ---------------------------------------------------------------- start and end

void MVE_StartupReplay() {
    MVE_REPLAY_STATE &st = St();
    MVE_REPLAY_SYNC &s = st.Sync;
    for (const std::string &row : st.Pending) MVE_LogFail(row, "MVE_Init");
    st.Pending.clear();
    st.uFrame = 0;
    const int armed = st.iArmed;
    st.iArmed = 0;
    if (!armed) return;
    if (MVE_Engine().Physics.Thread.joinable()) {
        MVE_LogFail("Fail: The physics thread already runs; the session can neither be recorded nor replayed!",
                    "MVE_Init");
        if (st.Recorder.pFile) std::fclose(st.Recorder.pFile);
        st.Recorder.pFile = nullptr;
        return;
    }
    s.Main = std::this_thread::get_id();
    s.uPhysicsTurns.store(0);
    s.uMainTurns.store(0);
    s.iOver.store(0);
    s.iPhysicsDiverged.store(0);
    s.uPassStart = s.uNextPass = s.uReleased = s.uTurn = 0;
    s.iStarted = s.iTurnSynced = 0;
    s.Passes.Clear();
    st.iPhysicsRate = 0;
    if (armed == MVE_SESSION_RECORDING) {
        MVE_LogHeading("Record Session: " + st.Recorder.sFile, __LINE__, __FILE__, "MVE_StartRecording");
        st.uClock = MVE_PlatformMilliseconds();
        if (!MVE_BeginRecorder()) return;
        MVE_LogOK("MVE_StartRecording");
    } else {
        MVE_LogHeading("Replay Session: " + st.Player.sFile, __LINE__, __FILE__, "MVE_StartReplay");
        MVE_LogOK("MVE_StartReplay");
        MVE_BeginPlayer();
    }
    st.iActive = 1;
    if (armed == MVE_SESSION_RECORDING) s.iMode.store(armed, std::memory_order_release);
}

void MVE_ShutdownReplay() {
    MVE_REPLAY_STATE &st = St();
    const int mode = MVE_SessionMode();
    if (mode == MVE_SESSION_RECORDING) MVE_StopRecorder(st.uFrame);
    if (mode == MVE_SESSION_REPLAYING) {
        const MVE_PLAYER &pl = st.Player;
        const bool atStop = pl.uFrame + 1 == pl.Data.Frames.size() && !pl.Data.Frames.back().iComplete;
        MVE_EndReplay(atStop ? "ended with the program, as the recording did, after " + std::to_string(pl.uFrame) + " frames."
                             : "ended early: the program quit in frame " + std::to_string(pl.uFrame) + " of " +
                                   std::to_string(pl.Data.Frames.size()) + ".",
                      0);
    }
    st.Sync.iMode.store(MVE_SESSION_OFF);
    st.iActive = 0;
    st.Player.Data = MVE_RECORDING();
    WritePicture(st);
    CloseHashes(st);
}

// ---------------------------------------------------------------- the frame boundary

uint64_t MVE_FrameHash() {
    MVE_ENGINE &e = MVE_Engine();
    uint64_t h = 0xCBF29CE484222325ull;
    e.Registries.Objects.ForEach([&](MVE_OBJECT *o) {
        Fnv(h, &o->iID, sizeof o->iID);
        Fnv(h, &o->v4fPosition, sizeof o->v4fPosition);
        Fnv(h, &o->v4fOrientation, sizeof o->v4fOrientation);
        Fnv(h, &o->v4fVelocity, sizeof o->v4fVelocity);
        Fnv(h, &o->v4fAngularVelocity, sizeof o->v4fAngularVelocity);
    });
    const uint64_t joints = e.Physics.Joints.size();
    Fnv(h, &joints, sizeof joints);
    return h;
}

void MVE_ReplayFrameEnd(float *frameTime, float *framesPerSecond) {
    MVE_REPLAY_STATE &st = St();
    const int mode = MVE_IsSessionThread() ? MVE_SessionMode() : MVE_SESSION_OFF;
    CapturePicture(st);
    // The frame's last turn at the physics lock: the hash sees the objects exactly where the
    // recording had them, whether or not hashes are written.
    if (mode != MVE_SESSION_OFF || st.pHashes) {
        MVE_PhysicsGuard guard(MVE_Engine().Physics.Lock);
        if (st.pHashes)
            std::fprintf(st.pHashes, "%llu %016llx\n", static_cast<unsigned long long>(st.uFrame),
                         static_cast<unsigned long long>(MVE_FrameHash()));
    }
    if (st.pHashes) std::fflush(st.pHashes);
    if (mode == MVE_SESSION_RECORDING) {
        const int32_t rate = MVE_Engine().Physics.iRate.load();
        const uint32_t clock = MVE_PlatformMilliseconds();
        MVE_RecorderFrameEnd(st.uFrame, *frameTime, *framesPerSecond, rate, clock);
        st.iPhysicsRate = rate;
        st.uClock = clock;
    } else if (mode == MVE_SESSION_REPLAYING) {
        MVE_PlayerFrameEnd(frameTime, framesPerSecond);
    }
    ++st.uFrame;
}

uint32_t MVE_EngineMilliseconds() {
    if (MVE_SessionMode() != MVE_SESSION_OFF && MVE_IsSessionThread()) return St().uClock;
    return MVE_PlatformMilliseconds();
}

float MVE_ReplayPhysicsRate(float live) {
    if (MVE_SessionMode() != MVE_SESSION_OFF && MVE_IsSessionThread()) return static_cast<float>(St().iPhysicsRate);
    return live;
}

// ---------------------------------------------------------------- the application's procedures

extern "C" int MVE_StartRecording(const char *file) {
    static const char *kProcedure = "MVE_StartRecording";
    if (!CanArm(kProcedure)) return 0;
    const std::string name = file ? file : "";
    std::string error;
    std::FILE *out = MVE_PlatformCreateFile(name.c_str(), error);
    if (!out) {
        MVE_ReplayFail("Fail: The recording \"" + name + "\" cannot be written (" + error + ")!", kProcedure);
        return 0;
    }
    MVE_RECORDER &r = St().Recorder;
    r.pFile = out;
    r.sFile = name;
    St().iArmed = MVE_SESSION_RECORDING;
    return 1;
}

extern "C" int MVE_StopRecording(void) {
    MVE_REPLAY_STATE &st = St();
    if (st.iArmed == MVE_SESSION_RECORDING) {
        // Never started: nothing was recorded, so no file is left behind.
        std::fclose(st.Recorder.pFile);
        st.Recorder.pFile = nullptr;
        std::remove(st.Recorder.sFile.c_str());
        st.iArmed = 0;
        return 1;
    }
    if (!MVE_IsSessionThread()) return 0;
    if (MVE_SessionMode() == MVE_SESSION_REPLAYING) {
        // The replayed program stops recording where the recorded one did: the recording ends here.
        const MVE_PLAYER &pl = st.Player;
        if (pl.uFrame + 1 == pl.Data.Frames.size() && !pl.Data.Frames.back().iComplete)
            MVE_EndReplay("reached the point where the recording stopped" + MVE_ReplayHandover(), 0);
        return 0;
    }
    if (MVE_SessionMode() != MVE_SESSION_RECORDING) return 0;
    MVE_StopRecorder(st.uFrame);
    return 1;
}

extern "C" int MVE_StartReplay(const char *file) {
    static const char *kProcedure = "MVE_StartReplay";
    if (!CanArm(kProcedure)) return 0;
    const std::string name = file ? file : "";
    std::string bytes, failure;
    MVE_RECORDING data;
    if (!ReadWhole(name.c_str(), bytes, failure) ||
        !MVE_ReadRecording(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), data, failure)) {
        MVE_ReplayFail("Fail: The recording \"" + name + "\" cannot be replayed: " + Reason(failure) + "!", kProcedure);
        return 0;
    }
    MVE_PLAYER &pl = St().Player;
    pl.Data = std::move(data);
    pl.sFile = name;
    St().iArmed = MVE_SESSION_REPLAYING;
    return 1;
}

extern "C" int MVE_IsReplaying(void) { return MVE_SessionMode() == MVE_SESSION_REPLAYING ? 1 : 0; }

extern "C" int MVE_IsRecording(void) {
    return St().iArmed == MVE_SESSION_RECORDING || MVE_SessionMode() == MVE_SESSION_RECORDING ? 1 : 0;
}

extern "C" int MVE_WriteFrameHashes(const char *file) {
    MVE_REPLAY_STATE &st = St();
    CloseHashes(st);
    const std::string name = file ? file : "";
    std::string error;
    st.pHashes = MVE_PlatformCreateFile(name.c_str(), error);
    if (!st.pHashes) {
        MVE_ReplayFail("Fail: The frame hashes cannot be written to \"" + name + "\" (" + error + ")!",
                       "MVE_WriteFrameHashes");
        return 0;
    }
    st.sHashes = name;
    return 1;
}

extern "C" int MVE_SetQuitScreenshot(const char *file) {
    // Kept as a whole path: programs change their folder after the command line (the
    // demonstration works inside its data folder).
    std::error_code error;
    const std::filesystem::path path = file && *file ? std::filesystem::absolute(file, error) : std::filesystem::path();
    St().sScreenshot = error ? std::string(file) : path.string();
    return 1;
}

extern "C" int MVE_HandleCommandLine(int argc, char **argv) {
    // One table for every switch: those with a file take it as the next word or after '='.
    static const struct {
        const char *sName;
        int (*pfnApply)(const char *file);   // a switch that takes a file
        int (*pfnSwitch)(void);              // a switch on its own
    } kOptions[] = {
        {"--record", MVE_StartRecording, nullptr},
        {"--replay", MVE_StartReplay, nullptr},
        {"--hashes", MVE_WriteFrameHashes, nullptr},
        {"--screenshot", MVE_SetQuitScreenshot, nullptr},
        {"--live-reload", nullptr, [] { return MVE_EnableLiveReload(1); }},
    };
    int ok = 1;
    for (int i = 1; argv && i < argc; ++i) {
        const char *arg = argv[i];
        if (!arg) continue;
        for (const auto &option : kOptions) {
            const size_t n = std::strlen(option.sName);
            if (std::strncmp(arg, option.sName, n) != 0 || (arg[n] != '\0' && arg[n] != '=')) continue;
            if (option.pfnSwitch) {
                if (arg[n] == '=') {
                    MVE_ReplayFail(std::string("Fail: The option ") + option.sName + " takes no value!",
                                   "MVE_HandleCommandLine");
                    ok = 0;
                } else if (!option.pfnSwitch()) {
                    ok = 0;
                }
                break;
            }
            const char *file = arg[n] == '=' ? arg + n + 1 : (i + 1 < argc ? argv[++i] : nullptr);
            if (!file || !*file) {
                MVE_ReplayFail(std::string("Fail: The option ") + option.sName + " needs a file name!",
                               "MVE_HandleCommandLine");
                ok = 0;
            } else if (!option.pfnApply(file)) {
                ok = 0;
            }
            break;
        }
    }
    return ok;
}
