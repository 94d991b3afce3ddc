// Recording and replaying a session: what the engine takes from outside (input and window events,
// joystick readings, the frame clock, random seeds, the physics thread's steps and its turns at the
// physics lock against the main thread's) written per frame, and fed back in place of the live
// values so that a replay computes the same frames on any run of the same build. The file layout is
// in ReplayFormat.h. Main thread, except the sync procedures, which the physics lock calls on both
// threads. Recording never makes the physics thread wait: it only appends to a queue it owns.
#pragma once
#include "Input/Input.h"
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- a recording read into memory

struct MVE_JOYSTICK_IDENTITY {
    int iCount = 0;
    int iFound[MVE_JOYSTICK_MAX] = {};
    std::string sName[MVE_JOYSTICK_MAX];
};

// One input record (ReplayFormat.h): key (a vk, b down), char (a), move (a x, b y), button (a, b down),
// wheel (a notches), event (a result, b window, c width, d height).
struct MVE_REPLAY_INPUT {
    uint8_t uKind = 0;
    int32_t a = 0, b = 0, c = 0, d = 0;
};

struct MVE_REPLAY_JOYSTICK {
    uint8_t uKind = 0;
    uint8_t uSlot = 0;
    uint32_t uClock = 0;                 // poll
    int iIdentity = -1;                  // identity: index into MVE_RECORDING::Identities
    MVE_JOYSTICK_SAMPLE Sample;          // sample
};

// A frame's records are ranges [first, last) of the recording's lists.
struct MVE_REPLAY_FRAME {
    int iComplete = 0;                   // ended by MVE_FlipBuffers
    float fFrameTime = 0, fFramesPerSecond = 0;
    int32_t iPhysicsRate = 0;
    uint32_t uClock = 0;
    size_t Input[2] = {}, Joystick[2] = {}, Seeds[2] = {}, Turns[2] = {};
};

struct MVE_RECORDING {
    uint64_t uRandom = 0;
    uint32_t uClock = 0;
    int iWidth = 0, iHeight = 0;
    std::string sVersion, sBuild;
    MVE_JOYSTICK_IDENTITY Joysticks;                // at the start
    std::vector<MVE_JOYSTICK_IDENTITY> Identities;  // from later MVE_InitJoysticks calls
    std::vector<float> Steps;                       // per physics pass
    std::vector<uint64_t> PassTurns;                // physics turns before each pass began
    std::vector<MVE_REPLAY_INPUT> Inputs;
    std::vector<MVE_REPLAY_JOYSTICK> Joystick;
    std::vector<uint32_t> Seeds;
    std::vector<uint64_t> Turns;                    // per main-thread turn: physics turns before it
    std::vector<MVE_REPLAY_FRAME> Frames;           // the frames a replay can use, from frame 0
    int iWhole = 0;                                 // the end chunk was there
    std::string sCut;                               // why a file that is not whole stops where it does
};

// Decodes and checks a whole recording. 1 with `out` filled (a file cut short keeps the frames it
// can replay and says why in out.sCut); 0 with the reason in `failure` for a file that is no
// recording, of another version or damaged anywhere: such a file is never half used.
int MVE_ReadRecording(const uint8_t *data, size_t size, MVE_RECORDING &out, std::string &failure);

// ---------------------------------------------------------------- the physics thread's side

struct MVE_PASS_RECORD {
    uint32_t uTurns = 0;                 // physics turns of the pass before
    float fStep = 0;
};

// Passes from the physics thread to the main thread without a lock: the physics thread appends,
// the main thread takes. Blocks of records are linked; a block is freed by the taker once the
// appender has moved on to the next, so neither side ever waits for the other.
class MVE_PASS_QUEUE {
  public:
    MVE_PASS_QUEUE();
    ~MVE_PASS_QUEUE();
    MVE_PASS_QUEUE(const MVE_PASS_QUEUE &) = delete;
    MVE_PASS_QUEUE &operator=(const MVE_PASS_QUEUE &) = delete;
    void Push(const MVE_PASS_RECORD &record);          // appender only
    template <class F> void Take(F &&each);            // taker only
    void Clear();                                      // neither side may be running

  private:
    static constexpr uint32_t kBlock = 4096;
    struct Block {
        MVE_PASS_RECORD Record[kBlock];
        std::atomic<uint32_t> uCount{0};
        std::atomic<Block *> pNext{nullptr};
    };
    Block *pHead;                        // taker's block
    Block *pTail;                        // appender's block
    uint32_t uRead = 0;                  // taken from pHead
};

template <class F> void MVE_PASS_QUEUE::Take(F &&each) {
    for (;;) {
        const uint32_t n = pHead->uCount.load(std::memory_order_acquire);
        while (uRead < n) each(pHead->Record[uRead++]);
        if (uRead < kBlock) return;
        Block *next = pHead->pNext.load(std::memory_order_acquire);
        if (!next) return;
        delete pHead;
        pHead = next;
        uRead = 0;
    }
}

enum : int { MVE_SESSION_OFF = 0, MVE_SESSION_RECORDING = 1, MVE_SESSION_REPLAYING = 2 };

// Shared between the main thread and the physics thread; the fields below the marks belong to one.
struct MVE_REPLAY_SYNC {
    std::atomic<int> iMode{MVE_SESSION_OFF};
    std::thread::id Main;                      // the thread that runs the session's frames
    std::atomic<uint64_t> uPhysicsTurns{0};    // outermost turns the physics thread has taken
    std::atomic<uint64_t> uMainTurns{0};       // replay: main-thread turns finished
    std::atomic<int> iOver{0};                 // replay: the recorded part is over
    std::atomic<int> iThreadRunning{0};
    std::atomic<int> iPhysicsDiverged{0};      // replay: a pass took other turns than recorded
    std::mutex Gate;                           // replay only: waiting for the other thread
    std::condition_variable Wake;
    MVE_PASS_QUEUE Passes;                     // recording

    // physics thread
    uint64_t uPassStart = 0;                   // uPhysicsTurns when the current pass began
    size_t uNextPass = 0;                      // replay: the next recorded pass
    size_t uReleased = 0;                      // replay: main turns the next physics turn waits for
    int iStarted = 0;                          // a pass of this session has begun
    // main thread
    size_t uTurn = 0;                          // replay: index of the turn in progress
    int iTurnSynced = 0;                       // the turn in progress is a recorded one
};

// ---------------------------------------------------------------- the session

struct MVE_RECORDER {
    std::FILE *pFile = nullptr;
    std::string sFile;
    std::string Input, Joystick, Seeds, Turns; // the current frame's records
    uint64_t uInputs = 0, uJoystick = 0, uSeeds = 0, uTurns = 0;
    uint64_t uLastTurn = 0;                    // physics turns before the previous main turn
    uint64_t uPassTurns = 0;                   // physics turns of the passes written so far
    std::string Out, Payload;                  // scratch
    int iFailed = 0;                           // writing failed once: reported, then dropped
};

struct MVE_PLAYER {
    MVE_RECORDING Data;
    std::string sFile;
    size_t uFrame = 0;                         // the frame being replayed
    size_t uInput = 0, uJoystick = 0, uSeed = 0, uTurn = 0;  // cursors in the frame's ranges
    int iDiverged = 0;                         // reported that the replay left the recording
    int iApplying = 0;                         // its own records are going into the input state
    MVE_JOYSTICK_IDENTITY Live;                // the joysticks that are really there
};

struct MVE_REPLAY_STATE {
    int iArmed = 0;                            // MVE_SESSION_RECORDING or _REPLAYING: begins in MVE_Init
    int iActive = 0;                           // the session began and has not ended
    MVE_REPLAY_SYNC Sync;
    MVE_RECORDER Recorder;
    MVE_PLAYER Player;
    uint64_t uFrame = 0;                       // frames ended since the session (or the engine) began
    int32_t iPhysicsRate = 0;                  // what the getters return during this frame
    uint32_t uClock = 0;
    std::FILE *pHashes = nullptr;
    std::string sHashes;
    std::string sScreenshot;                   // the last picture is written here when the engine quits
    std::vector<uint8_t> LastPicture;
    int iPictureWidth = 0, iPictureHeight = 0;
    std::vector<std::string> Pending;          // red rows from before the log was open
    ~MVE_REPLAY_STATE();
};

// ---------------------------------------------------------------- the doors

MVE_REPLAY_STATE &MVE_Replay();
inline int MVE_SessionMode() { return MVE_Replay().Sync.iMode.load(std::memory_order_relaxed); }
int MVE_IsSessionThread();                     // the caller runs the session's frames

void MVE_StartupReplay();                      // MVE_Init, before the physics thread starts
void MVE_ShutdownReplay();                     // MVE_Quit, after the physics thread has stopped
// MVE_FlipBuffers, after the frame timing and before the swap: the frame's last turn at the physics
// lock, its hash, its records; a replay puts the recorded frame time and rate in place.
void MVE_ReplayFrameEnd(float *frameTime, float *framesPerSecond);
uint32_t MVE_EngineMilliseconds();             // the main thread's clock: the frame's while a session runs
float MVE_ReplayPhysicsRate(float live);       // what MVE_GetPhysicsRate returns
uint32_t MVE_ReplaySeed(uint32_t seed);        // the seed MVE_SeedRandom uses

// Input: the feeders tell what the platform fed; a replayed event applies the recorded records.
// 1 when the input may go into the live state (recorded when recording); 0 while a replay runs and
// the input is not one of its records.
int MVE_SessionInput(uint8_t kind, int a = 0, int b = 0);
void MVE_RecordWindowEvent(int result, int window, int width, int height);
int MVE_ReplayWindowEvent(int *window, int *width, int *height);   // the next recorded result
void MVE_RecordJoystickPoll(uint32_t clock);
void MVE_RecordJoystickSample(int slot, const MVE_JOYSTICK_SAMPLE &sample);
void MVE_RecordJoystickGone(int slot);
void MVE_ReplayJoystickPoll();                 // replay: one recorded MVE_UpdateJoysticks
void MVE_ReplayJoysticksFound();               // after MVE_InitJoysticks: record or install the identity

// The physics lock's outermost turns (physics: 1 on the physics thread) and the thread's passes.
void MVE_SyncBeforeTurn(int physics);          // replay: waits until this turn is due
void MVE_SyncTurnTaken(int physics);
void MVE_SyncTurnEnds(int physics);
void MVE_SyncThreadBegins();                   // the main thread starts the physics thread
void MVE_SyncThreadEnds();                     // the physics thread ends
int MVE_ReplayNextPass(const std::atomic<int> &quit, float *step);  // 1 with a recorded step; 0: run live
void MVE_RecordPass(float step);

// Every object's ID, position, orientation, velocity and turning (bit patterns) and the number of
// joints, as one 64-bit FNV-1a hash. Caller holds the physics lock.
uint64_t MVE_FrameHash();

// Shared by the session's files.
std::string MVE_ReplayBuild();                 // the build text a recording carries
void MVE_ReplayFail(const std::string &message, const char *procedure);  // red row, kept until the log opens
int MVE_BeginRecorder();                       // writes the session chunk; 0 when it cannot
void MVE_RecordTurn(uint64_t physicsTurns);
void MVE_RecordJoystickIdentity();
void MVE_RecordSeed(uint32_t seed);
void MVE_RecorderFrameEnd(uint64_t frame, float frameTime, float framesPerSecond, int32_t rate, uint32_t clock);
void MVE_StopRecorder(uint64_t frame);         // the stopped frame and the end chunk; recording is off after
void MVE_BeginPlayer();                        // installs the recording's state; the replay runs from here
int MVE_PlayerFrameEnd(float *frameTime, float *framesPerSecond);
void MVE_ReplayDiverged(const char *what);     // one red row per replay
void MVE_EndReplay(const std::string &what, int red);  // control back to live input, with a row
std::string MVE_ReplayHandover();              // " after N frames; live input takes over."
const MVE_REPLAY_INPUT *MVE_ReplayNextInputEvent();
void MVE_SyncReleaseTurns(size_t turns);       // replay: the main thread's turns up to here count as done

inline constexpr const char *MVE_FAIL_SESSION_RUNNING =
    "Fail: A session can only be recorded or replayed from the engine's start: call this before MVE_OpenScreen!";
inline constexpr const char *MVE_FAIL_SESSION_TWICE =
    "Fail: A session is already being recorded or replayed!";
