// Recorded sessions on an engine without a screen: a small program that builds the chain and loose
// balls, takes its input from the feeders and the random source from a clock seed, and runs frames
// beside the physics thread. Replays at any speed must give the recorded hashes and getter values;
// a file cut short, damaged or of another version must behave as documented. The threaded cases
// also run under ThreadSanitizer.
#include "Replay/Replay.h"
#include "Replay/ReplayFormat.h"
#include "MVE.h"
#include "Scene.h"
#include "TestSupport.h"
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the program saw in each frame, besides the physics state.
struct Seen {
    std::vector<std::string> Hashes;
    std::vector<int> Fired;                // a ball was fired in this frame
    std::vector<uint32_t> FrameTimeBits;
    std::vector<float> Rates;
    int iBalls = 0;
    std::string sLog;
};

std::vector<std::string> Lines(const fs::path &file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The program: `frames` frames, each after `pause(frame)` milliseconds of the main thread's own
// work. With a script (1 or 2) it plays a person: moves the mouse, holds the left button now and
// then (a ball each frame, placed by the random source), holds W (the first ball of the chain is
// pushed along by the frame time).
Seen Program(int frames, int script, int (*pause)(int)) {
    MVE_Init();
    MVE_SeedRandom(static_cast<uint32_t>(Clock::now().time_since_epoch().count()));  // as games do
    mvesample::SceneOptions options;
    options.iExtraBalls = 20;
    const mvesample::Scene scene = mvesample::BuildScene(options);
    Seen seen;
    for (int f = 0; f < frames; ++f) {
        const int period = script == 1 ? 13 : 7;
        if (script) {
            MVE_InputMouseMove(100 + (f * 37) % 61, 80 + (f * 11) % 23);
            if (f % period == 2) MVE_InputMouseButton(1, 1);
            if (f % period == 5) MVE_InputMouseButton(1, 0);
            if (f == 20) MVE_InputKey('W', 1);
            if (f == 41) MVE_InputKey('W', 0);
        }
        while (MVE_WindowEvent() != MVE_EVENT_NONE) {
        }
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
        MVE_UpdateJoysticks();
        seen.Fired.push_back(MVE_MouseButtonDown(1));
        if (MVE_MouseButtonDown(1)) {
            const int ball = MVE_CreateObject(-1, options.iBallMesh, -1, "", 0, 1);
            MVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, 0);
            MVE_MoveObject(ball, MVE_RandomFloat(4.0f, -4.0f), 18.0f, MVE_RandomFloat(-3.0f, -5.0f), 0);
            MVE_SetObjectBody(ball, 6, 1.0f);
            MVE_SetObjectMass(ball, 1.0f);
            MVE_SetObjectVelocity(ball, nullptr, 0.05f * static_cast<float>(MVE_GetMouseX() - 130), -2.0f, 0.0f, 0);
            ++seen.iBalls;
        }
        if (MVE_KeyDown('W')) MVE_SetObjectVelocity(scene.Chain[0], nullptr, 0.0f, 0.0f, -40.0f * MVE_GetFrameTime(), 1);
        const float frameTime = MVE_GetFrameTime();
        uint32_t bits;
        std::memcpy(&bits, &frameTime, 4);
        seen.FrameTimeBits.push_back(bits);
        seen.Rates.push_back(MVE_GetPhysicsRate());
        if (const int ms = pause(f)) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        MVE_FlipBuffers();
    }
    MVE_Quit();
    seen.sLog = mvetest::ReadFile("MVE LogFile.html");
    return seen;
}

int Irregular(int f) { return 1 + (f * 7) % 9; }
int Never(int) { return 0; }
int Slow(int) { return 12; }

class ReplayTest : public mvetest::EngineTest {
  protected:
    // Records the program; the recording lands in dir_/name.mvr and its hashes in name.hashes.
    Seen Record(const std::string &name, int frames) {
        EXPECT_EQ(MVE_StartRecording((dir_ / (name + ".mvr")).c_str()), 1);
        EXPECT_EQ(MVE_WriteFrameHashes((dir_ / (name + ".hashes")).c_str()), 1);
        Seen seen = Program(frames, 1, Irregular);
        seen.Hashes = Lines(dir_ / (name + ".hashes"));
        MVE_ResetEngine();
        return seen;
    }
    // The program feeds another script here: a replay must ignore it while it runs.
    Seen Replay(const fs::path &recording, int frames, int (*pause)(int), int accepted = 1) {
        EXPECT_EQ(MVE_StartReplay(recording.c_str()), accepted);
        EXPECT_EQ(MVE_WriteFrameHashes((dir_ / "replay.hashes").c_str()), 1);
        Seen seen = Program(frames, 2, pause);
        seen.Hashes = Lines(dir_ / "replay.hashes");
        MVE_ResetEngine();
        return seen;
    }
    std::string Bytes(const std::string &name) { return mvetest::ReadFile(dir_ / (name + ".mvr")); }
};

}  // namespace

TEST_F(ReplayTest, ReplaysAtAnySpeedSeeTheRecordedFrames) {
    constexpr int kFrames = 120;
    const Seen recorded = Record("session", kFrames);
    ASSERT_EQ(recorded.Hashes.size(), static_cast<size_t>(kFrames));
    EXPECT_EQ(Count(recorded.sLog, "color:#FF0000"), 0) << recorded.sLog;
    EXPECT_GT(recorded.iBalls, 10);
    EXPECT_GT(recorded.Rates.back(), 0.0f) << "the rate is measured after half a second";
    // The physics thread ran many passes, a different number in each frame.
    MVE_RECORDING data;
    std::string failure;
    const std::string bytes = Bytes("session");
    ASSERT_EQ(MVE_ReadRecording(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), data, failure), 1)
        << failure;
    EXPECT_TRUE(data.iWhole);
    EXPECT_GT(data.Steps.size(), static_cast<size_t>(kFrames));

    // As fast as the machine goes, then slowly: the physics thread gets very different amounts of
    // real time between frames, yet repeats exactly the recorded passes.
    for (int (*pause)(int) : {Never, Slow}) {
        const Seen replayed = Replay(dir_ / "session.mvr", kFrames, pause);
        ASSERT_EQ(replayed.Hashes.size(), recorded.Hashes.size()) << replayed.sLog;
        for (size_t i = 0; i < recorded.Hashes.size(); ++i)
            ASSERT_EQ(replayed.Hashes[i], recorded.Hashes[i]) << "first frame that differs\n" << replayed.sLog;
        EXPECT_EQ(replayed.FrameTimeBits, recorded.FrameTimeBits);
        EXPECT_EQ(replayed.Rates, recorded.Rates);
        EXPECT_EQ(replayed.Fired, recorded.Fired);
        EXPECT_EQ(Count(replayed.sLog, "color:#FF0000"), 0) << replayed.sLog;
        EXPECT_EQ(Count(replayed.sLog, "ended with the program, as the recording did"), 1) << replayed.sLog;
    }
}

namespace {

// Recording bytes changed on purpose: the chunks in order, with their offsets.
struct Chunk {
    size_t uAt, uSize;
    uint32_t uType;
};
std::vector<Chunk> Chunks(const std::string &bytes) {
    std::vector<Chunk> chunks;
    for (size_t at = mverec::kHeader; at + mverec::kChunkHeader + 4 <= bytes.size();) {
        const uint32_t size = mverec::ReadU32(reinterpret_cast<const unsigned char *>(bytes.data()) + at);
        chunks.push_back({at, mverec::kChunkHeader + size,
                          mverec::ReadU32(reinterpret_cast<const unsigned char *>(bytes.data()) + at + 8)});
        at += mverec::kChunkHeader + size;
    }
    return chunks;
}

int Read(const std::string &bytes, MVE_RECORDING &out, std::string &failure) {
    failure.clear();
    return MVE_ReadRecording(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), out, failure);
}

void FixCrc(std::string &bytes, const Chunk &c) {
    unsigned char *p = reinterpret_cast<unsigned char *>(bytes.data()) + c.uAt;
    const uint32_t crc = mverec::Crc32(p + mverec::kChunkHeader, c.uSize - mverec::kChunkHeader);
    for (int k = 0; k < 4; ++k) p[4 + k] = static_cast<unsigned char>(crc >> (8 * k));
}

}  // namespace

TEST_F(ReplayTest, TheReaderRefusesDamageAndKeepsWhatACutLeaves) {
    Record("short", 30);
    const std::string whole = Bytes("short");
    MVE_RECORDING full, r;
    std::string failure;
    ASSERT_EQ(Read(whole, full, failure), 1) << failure;
    ASSERT_TRUE(full.iWhole);
    ASSERT_EQ(full.Frames.size(), 31u) << "30 flipped frames and the one MVE_Quit stopped in";
    EXPECT_FALSE(full.Frames.back().iComplete);
    EXPECT_TRUE(full.Frames[29].iComplete);
    EXPECT_GT(full.Inputs.size(), 60u);
    EXPECT_EQ(full.Seeds.size(), 1u);
    const std::vector<Chunk> chunks = Chunks(whole);
    ASSERT_EQ(chunks.front().uType, mverec::kChunkSession);
    ASSERT_EQ(chunks.back().uType, mverec::kChunkEnd);

    // Not a recording, another version, bytes after the end: refused whole.
    EXPECT_EQ(Read("MVEREC", r, failure), 0);
    EXPECT_EQ(Read(std::string("not a recording at all"), r, failure), 0);
    EXPECT_NE(failure.find("no session recording"), std::string::npos) << failure;
    std::string other = whole;
    other[8] = 2;
    EXPECT_EQ(Read(other, r, failure), 0);
    EXPECT_NE(failure.find("version 2"), std::string::npos) << failure;
    EXPECT_EQ(Read(whole + "x", r, failure), 0);

    // One flipped bit anywhere in a chunk's type or payload: its CRC no longer matches. With the CRC
    // made right again, the frame's content is checked on its own (a frame number out of order,
    // a mouse button that does not exist, an unknown input kind).
    for (const Chunk &c : chunks) {
        std::string damaged = whole;
        damaged[c.uAt + c.uSize - 1] ^= 0x10;
        EXPECT_EQ(Read(damaged, r, failure), 0) << "chunk at " << c.uAt;
        EXPECT_NE(failure.find("damaged"), std::string::npos) << failure;
    }
    const Chunk frame = *std::find_if(chunks.begin(), chunks.end(), [](const Chunk &c) { return c.uType == mverec::kChunkFrame; });
    std::string renumbered = whole;
    renumbered[frame.uAt + 12] = 7;
    FixCrc(renumbered, frame);
    EXPECT_EQ(Read(renumbered, r, failure), 0);
    EXPECT_NE(failure.find("not valid"), std::string::npos) << failure;
    std::string session = whole;
    session[chunks[0].uAt + 8] = 9;  // a chunk type no version 1 file has
    FixCrc(session, chunks[0]);
    EXPECT_EQ(Read(session, r, failure), 0);

    // Cut anywhere after the session chunk: the frames that are wholly there and whose physics
    // passes are there too, exactly as in the whole file; no frame waits for a pass it lacks.
    const size_t afterSession = chunks[0].uAt + chunks[0].uSize;
    EXPECT_EQ(Read(whole.substr(0, afterSession - 1), r, failure), 0) << "no session left";
    size_t previous = 0;
    for (size_t cut = afterSession; cut < whole.size(); cut += 1 + (cut * 7) % 97) {
        ASSERT_EQ(Read(whole.substr(0, cut), r, failure), 1) << "cut at " << cut << ": " << failure;
        EXPECT_FALSE(r.iWhole);
        EXPECT_FALSE(r.sCut.empty());
        ASSERT_LE(r.Frames.size(), full.Frames.size());
        EXPECT_GE(r.Frames.size(), previous) << "a longer file never replays less";
        previous = r.Frames.size();
        uint64_t reach = r.PassTurns.empty() ? 0 : r.PassTurns.back();
        for (size_t i = 0; i < r.Frames.size(); ++i) {
            const MVE_REPLAY_FRAME &a = r.Frames[i], &b = full.Frames[i];
            EXPECT_EQ(a.Turns[1] - a.Turns[0], b.Turns[1] - b.Turns[0]);
            EXPECT_EQ(a.Input[1] - a.Input[0], b.Input[1] - b.Input[0]);
            if (a.Turns[1] > a.Turns[0]) {
                EXPECT_LE(r.Turns[a.Turns[1] - 1], reach) << "cut at " << cut;
            }
        }
    }
    EXPECT_GT(previous, 25u) << "a file without its last chunks still replays nearly all of it";
}

TEST_F(ReplayTest, ACutFileReplaysToTheCutThenLiveInputTakesOverAndADamagedOneIsRefused) {
    constexpr int kFrames = 60;
    const Seen recorded = Record("whole", kFrames);
    const std::string whole = Bytes("whole");
    mvetest::WriteFile(dir_ / "cut.mvr", whole.substr(0, whole.size() * 11 / 20));
    MVE_RECORDING cut;
    std::string failure;
    const std::string bytes = mvetest::ReadFile(dir_ / "cut.mvr");
    ASSERT_EQ(Read(bytes, cut, failure), 1) << failure;
    const size_t kept = cut.Frames.size();
    ASSERT_GT(kept, 10u);
    ASSERT_LT(kept, static_cast<size_t>(kFrames - 10));

    const Seen replayed = Replay(dir_ / "cut.mvr", kFrames, Never);
    ASSERT_EQ(replayed.Hashes.size(), static_cast<size_t>(kFrames));
    for (size_t i = 0; i < kept; ++i) {
        ASSERT_EQ(replayed.Hashes[i], recorded.Hashes[i]) << "frame " << i;
        ASSERT_EQ(replayed.Fired[i], recorded.Fired[i]) << "frame " << i << ": live input must be ignored";
    }
    // From the cut on the program's own (other) script drives it.
    int differing = 0;
    for (size_t i = kept + 1; i < static_cast<size_t>(kFrames); ++i) differing += replayed.Fired[i] != recorded.Fired[i];
    EXPECT_GT(differing, 5);
    EXPECT_EQ(Count(replayed.sLog, "color:#FF0000"), 1) << replayed.sLog;
    EXPECT_EQ(Count(replayed.sLog, "stops where the file was cut short (the file ends inside a chunk) after " +
                                       std::to_string(kept) + " frames; live input takes over."),
              1)
        << replayed.sLog;

    // One damaged byte: refused before anything is replayed; the program runs on live input.
    std::string damaged = whole;
    damaged[whole.size() / 2] ^= 0x01;
    mvetest::WriteFile(dir_ / "damaged.mvr", damaged);
    const Seen live = Replay(dir_ / "damaged.mvr", 20, Never, 0);
    EXPECT_EQ(Count(live.sLog, "color:#FF0000"), 1) << live.sLog;
    EXPECT_EQ(Count(live.sLog, "cannot be replayed: a chunk is damaged"), 1) << live.sLog;
    EXPECT_EQ(live.Fired[9], 1) << "the program's own script, from the first frame";
    EXPECT_EQ(recorded.Fired[9], 0);
}

// A recording made by hand with every kind of record (Tests/Fuzz/seeds/replay/every-record.mvr):
// two joysticks, key, character, mouse, wheel, leave, size and close events, a seed, a joystick
// that goes and a new search. Each reaches the getters exactly as a live one would have.
TEST_F(ReplayTest, EveryKindOfRecordReachesTheGettersAsRecorded) {
    const fs::path file = fs::path(MVE_TEST_GOLDEN).parent_path() / "Fuzz" / "seeds" / "replay" / "every-record.mvr";
    ASSERT_EQ(MVE_StartReplay(file.c_str()), 1);
    MVE_REPLAY_STATE &st = MVE_Replay();
    st.Sync.Main = std::this_thread::get_id();
    st.iArmed = 0;
    MVE_BeginPlayer();  // the main thread's side only: no physics thread, its turns are released per frame
    MVE_FRAME_TIMING &timing = MVE_Engine().Screen.Frame;
    EXPECT_EQ(MVE_GetJoystickCount(), 2);
    EXPECT_STREQ(MVE_GetJoystickName(0), "Pad");
    EXPECT_STREQ(MVE_GetJoystickName(1), "");
    EXPECT_STREQ(MVE_GetJoystickName(2), "Wheel");

    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_INPUT);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_INPUT);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_SIZE);
    EXPECT_EQ(MVE_EventWindow(), 0);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_NONE);
    EXPECT_EQ(MVE_EventWindow(), -1);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_NONE) << "nothing more in this frame";
    MVE_InputKey('Q', 1);  // live input while a replay runs: ignored
    MVE_UpdateMouse();
    MVE_UpdateKeyboard();
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_KeyDown('W'), 1);
    EXPECT_EQ(MVE_KeyPushed('W'), 1);
    EXPECT_EQ(MVE_KeyDown('Q'), 0);
    EXPECT_EQ(MVE_GetKeyChar(), 'A');
    EXPECT_EQ(MVE_GetMouseX(), 170);
    EXPECT_EQ(MVE_GetMouseY(), -5);
    EXPECT_EQ(MVE_GetMouseDeltaX(), 170);
    EXPECT_EQ(MVE_GetMouseWheel(), -2);
    EXPECT_EQ(MVE_MouseButtonPushed(1), 1);
    EXPECT_EQ(MVE_MouseButtonDown(1), 0) << "the mouse left the window after the press";
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 0, 0.0f), 0.5f);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 1, 0.0f), -1.0f);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 3, 0.0f), 0.25f);
    EXPECT_EQ(MVE_GetJoystickButton(0, 0), MVE_JOY_DOWN | MVE_JOY_PUSHED);
    EXPECT_EQ(MVE_GetJoystickButton(0, 1), 0);
    EXPECT_EQ(MVE_GetJoystickButton(0, 2), MVE_JOY_DOWN | MVE_JOY_PUSHED);
    EXPECT_FLOAT_EQ(MVE_GetJoystickPOV(0), 90.0f);
    EXPECT_EQ(MVE_GetJoystickButton(2, 0), MVE_JOY_DOWN | MVE_JOY_PUSHED);
    EXPECT_FLOAT_EQ(MVE_GetJoystickPOV(2), 0.0f);
    // The seed given now is replaced by the recorded one (checked once the replay is over).
    MVE_SeedRandom(7);
    const int drawn = MVE_RandomInt();
    EXPECT_EQ(MVE_PlayerFrameEnd(&timing.fFrameTime, &timing.fFramesPerSecond), 1);
    EXPECT_FLOAT_EQ(MVE_GetFrameTime(), 0.016f);
    EXPECT_FLOAT_EQ(MVE_GetFramesPerSecond(), 60.0f);
    EXPECT_FLOAT_EQ(MVE_GetPhysicsRate(), 1000.0f);

    // Frame 1: joystick 0 goes before the poll (its edges with it), joystick 2 lets go of its
    // button and drifts; the buttons go up; a close; then the program looks for joysticks again.
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_INPUT);
    EXPECT_EQ(MVE_Engine().iCloseRequest, 0);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_CLOSE);
    EXPECT_EQ(MVE_Engine().iCloseRequest, 1);
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_NONE);
    MVE_UpdateMouse();
    MVE_UpdateKeyboard();
    MVE_UpdateJoysticks();
    EXPECT_EQ(MVE_KeyReleased('W'), 1);
    EXPECT_EQ(MVE_KeyDown('W'), 0);
    EXPECT_EQ(MVE_MouseButtonReleased(1), 1);
    EXPECT_EQ(MVE_GetJoystickButton(0, 0), MVE_JOY_DOWN);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(0, 0, 0.0f), 0.5f) << "a joystick that went keeps its values";
    EXPECT_EQ(MVE_GetJoystickButton(2, 0), MVE_JOY_RELEASED);
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(2, 4, 0.0f), 0.1f);
    MVE_InitJoysticks();
    EXPECT_EQ(MVE_GetJoystickCount(), 1);
    EXPECT_STREQ(MVE_GetJoystickName(1), "Stick");
    EXPECT_STREQ(MVE_GetJoystickName(2), "");
    EXPECT_FLOAT_EQ(MVE_GetJoystickAxis(2, 4, 0.0f), 0.0f) << "a new search starts from nothing";
    EXPECT_EQ(MVE_PlayerFrameEnd(&timing.fFrameTime, &timing.fFramesPerSecond), 1);

    // Frame 2 is where the session stopped: Escape, then the replay hands over at the frame's end.
    EXPECT_EQ(MVE_WindowEvent(), MVE_EVENT_INPUT);
    MVE_UpdateKeyboard();
    EXPECT_EQ(MVE_KeyPushed(0x1B), 1);
    EXPECT_EQ(MVE_IsReplaying(), 1);
    EXPECT_EQ(MVE_PlayerFrameEnd(&timing.fFrameTime, &timing.fFramesPerSecond), 0);
    EXPECT_EQ(MVE_IsReplaying(), 0);
    EXPECT_EQ(MVE_GetJoystickCount(), 0) << "the joysticks that are really there";
    MVE_InputKey('Q', 1);
    MVE_UpdateKeyboard();
    EXPECT_EQ(MVE_KeyDown('Q'), 1) << "live input again";
    MVE_SeedRandom(42);
    EXPECT_EQ(MVE_RandomInt(), drawn);
    MVE_SeedRandom(7);
    EXPECT_NE(MVE_RandomInt(), drawn);
}

TEST_F(ReplayTest, TheCommandLineArmsASessionAndRefusesWhatCannotBeDone) {
    const std::string hashes = "--hashes=" + (dir_ / "h.txt").string(), recording = (dir_ / "s.mvr").string();
    std::vector<std::string> args = {"game", "--level", "3", hashes, "--record", recording, "--fast"};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    EXPECT_EQ(MVE_HandleCommandLine(static_cast<int>(argv.size()), argv.data()), 1);
    EXPECT_EQ(MVE_IsRecording(), 1);
    EXPECT_STREQ(argv[1], "--level");
    EXPECT_STREQ(argv[6], "--fast");
    std::vector<std::string> again = {"game", "--replay", recording, "--screenshot"};
    std::vector<char *> againArgv;
    for (std::string &a : again) againArgv.push_back(a.data());
    EXPECT_EQ(MVE_HandleCommandLine(static_cast<int>(againArgv.size()), againArgv.data()), 0);

    MVE_Init();  // the rows from before the log was open come first
    EXPECT_EQ(MVE_StartRecording((dir_ / "late.mvr").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "late.mvr"));
    for (int i = 0; i < 3; ++i) MVE_FlipBuffers();
    EXPECT_EQ(MVE_StopRecording(), 1);
    EXPECT_EQ(MVE_IsRecording(), 0);
    EXPECT_EQ(MVE_StopRecording(), 0);
    MVE_FlipBuffers();
    MVE_Quit();
    const std::string log = mvetest::ReadFile("MVE LogFile.html");
    EXPECT_EQ(Count(log, "color:#FF0000"), 3) << log;
    EXPECT_EQ(Count(log, MVE_FAIL_SESSION_TWICE), 1) << log;
    EXPECT_EQ(Count(log, "The option --screenshot needs a file name!"), 1) << log;
    EXPECT_EQ(Count(log, MVE_FAIL_SESSION_RUNNING), 1) << log;
    EXPECT_EQ(Lines(dir_ / "h.txt").size(), 4u) << "hashes go on after the recording";
    MVE_RECORDING r;
    std::string failure;
    ASSERT_EQ(Read(mvetest::ReadFile(recording), r, failure), 1) << failure;
    EXPECT_TRUE(r.iWhole);
    EXPECT_EQ(r.Frames.size(), 4u) << "three frames and the one it stopped in";

    // Nothing to write into: a folder, a FIFO (opening it would wait for a reader for ever).
    MVE_ResetEngine();
    ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(MVE_StartRecording((dir_ / "pipe").c_str()), 0);
    EXPECT_EQ(MVE_StartRecording(dir_.c_str()), 0);
    EXPECT_EQ(MVE_StartReplay((dir_ / "pipe").c_str()), 0);
    EXPECT_EQ(MVE_Replay().Pending.size(), 3u);
    // Armed and stopped before the engine started: no file is left.
    EXPECT_EQ(MVE_StartRecording((dir_ / "never.mvr").c_str()), 1);
    EXPECT_EQ(MVE_StopRecording(), 1);
    EXPECT_FALSE(fs::exists(dir_ / "never.mvr"));
}
