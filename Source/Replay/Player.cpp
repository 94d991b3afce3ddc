// Replaying a recording on the main thread: each frame's input records go through the same feeders
// the platform's events use, joystick readings through the same fold, and the frame clock values
// replace the measured ones. Live input is dropped meanwhile (Platform/Window.cpp lets a close
// through). When the recorded frames run out, control goes back to live input.
#include "Replay/Replay.h"
#include "Replay/ReplayFormat.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Platform/Platform.h"

namespace {

MVE_PLAYER &Player() { return MVE_Replay().Player; }

bool Replaying() { return MVE_SessionMode() == MVE_SESSION_REPLAYING && MVE_IsSessionThread(); }

const MVE_REPLAY_FRAME *Current() {
    const MVE_PLAYER &pl = Player();
    return pl.uFrame < pl.Data.Frames.size() ? &pl.Data.Frames[pl.uFrame] : nullptr;
}

void Apply(const MVE_REPLAY_INPUT &in) {
    Player().iApplying = 1;
    switch (in.uKind) {
    case mverec::kKey: MVE_InputKey(in.a, in.b); break;
    case mverec::kChar: MVE_InputChar(static_cast<uint16_t>(in.a)); break;
    case mverec::kMove: MVE_InputMouseMove(in.a, in.b); break;
    case mverec::kButton: MVE_InputMouseButton(in.a, in.b); break;
    case mverec::kLeave: MVE_InputMouseLeave(); break;
    case mverec::kWheel: MVE_InputMouseWheel(in.a); break;
    case mverec::kClose: MVE_InputCloseRequest(); break;
    default: break;
    }
    Player().iApplying = 0;
}

// Identity of the joysticks: found flags, names, count; the readings start from nothing, as after
// MVE_InitJoysticks.
void Install(const MVE_JOYSTICK_IDENTITY &id, bool recorded) {
    MVE_JOYSTICK_TABLE &t = MVE_Engine().Input.Joysticks;
    t.iCount = id.iCount;
    for (int i = 0; i < MVE_JOYSTICK_MAX; ++i) {
        MVE_JOYSTICK &stick = t.Stick[i];
        stick.iFound = id.iFound[i];
        stick.sName = id.sName[i];
        if (recorded) stick.iHandle = -1;  // never read from the platform while replayed
    }
}

MVE_JOYSTICK_IDENTITY LiveIdentity() {
    const MVE_JOYSTICK_TABLE &t = MVE_Engine().Input.Joysticks;
    MVE_JOYSTICK_IDENTITY id;
    id.iCount = t.iCount;
    for (int i = 0; i < MVE_JOYSTICK_MAX; ++i) {
        id.iFound[i] = t.Stick[i].iFound;
        id.sName[i] = t.Stick[i].sName;
    }
    return id;
}

void Gone(int slot) { MVE_InputJoystickGone(slot); }

// Applies joystick records from the cursor: those before the next poll, then (with `poll`) one poll
// and its samples. Identity records are left for MVE_InitJoysticks.
void Joysticks(bool poll) {
    MVE_PLAYER &pl = Player();
    const MVE_REPLAY_FRAME *f = Current();
    if (!f) return;
    MVE_JOYSTICK_TABLE &t = MVE_Engine().Input.Joysticks;
    bool polled = false;
    uint32_t clock = 0;
    for (; f->Joystick[0] + pl.uJoystick < f->Joystick[1]; ++pl.uJoystick) {
        const MVE_REPLAY_JOYSTICK &j = pl.Data.Joystick[f->Joystick[0] + pl.uJoystick];
        if (j.uKind == mverec::kIdentity) return;
        if (j.uKind == mverec::kPoll) {
            if (!poll || polled) return;
            polled = true;
            clock = j.uClock;
        } else if (j.uKind == mverec::kSample) {
            MVE_ApplyJoystickSample(t.Stick[j.uSlot], j.Sample, clock);
        } else if (j.uKind == mverec::kGone) {
            Gone(j.uSlot);
        }
    }
}

std::string Name() { return "\"" + Player().sFile + "\""; }

}  // namespace

void MVE_BeginPlayer() {
    MVE_REPLAY_STATE &st = MVE_Replay();
    MVE_PLAYER &pl = st.Player;
    MVE_ENGINE &e = MVE_Engine();
    const MVE_RECORDING &d = pl.Data;
    pl.uFrame = pl.uInput = pl.uJoystick = pl.uSeed = pl.uTurn = 0;
    pl.iDiverged = 0;
    e.Random.uState.store(d.uRandom, std::memory_order_relaxed);
    st.uClock = d.uClock;
    st.iPhysicsRate = 0;
    pl.Live = LiveIdentity();
    Install(d.Joysticks, true);
    if (d.sBuild != MVE_ReplayBuild() || d.sVersion != MVE_VERSION)
        MVE_LogNotice("Info: The recording was made by another build (" + d.sVersion + ", " + d.sBuild +
                          "); its frames may come out differently.",
                      "MVE_StartReplay");
    if (d.iWidth != e.Screen.iWidth || d.iHeight != e.Screen.iHeight)
        MVE_LogNotice("Info: The recording was made on a render area of " + std::to_string(d.iWidth) + " x " +
                          std::to_string(d.iHeight) + " pixels, this one has " + std::to_string(e.Screen.iWidth) +
                          " x " + std::to_string(e.Screen.iHeight) + "; mouse movement may come out differently.",
                      "MVE_StartReplay");
    st.Sync.iMode.store(MVE_SESSION_REPLAYING, std::memory_order_release);
    // A recording cut before its first frame was whole has nothing to replay.
    if (d.Frames.empty()) MVE_EndReplay("stops where the file was cut short (" + d.sCut + ")" + MVE_ReplayHandover(), 1);
}

void MVE_ReplayDiverged(const char *what) {
    MVE_PLAYER &pl = Player();
    if (pl.iDiverged) return;
    pl.iDiverged = 1;
    MVE_LogFail("Fail: The replay of " + Name() + " left the recording in frame " + std::to_string(pl.uFrame) + " (" +
                    what + ")! Its frames may differ from the recorded ones.",
                "MVE_FlipBuffers");
}

void MVE_EndReplay(const std::string &why, int red) {
    MVE_REPLAY_STATE &st = MVE_Replay();
    MVE_REPLAY_SYNC &s = st.Sync;
    if (s.iMode.load() != MVE_SESSION_REPLAYING) return;
    s.iMode.store(MVE_SESSION_OFF, std::memory_order_release);
    s.iOver.store(1);
    { std::lock_guard<std::mutex> gate(s.Gate); }
    s.Wake.notify_all();
    st.iActive = 0;
    Install(st.Player.Live, false);
    const std::string row = "The replay of " + Name() + " " + why;
    if (red) MVE_LogFail("Fail: " + row, "MVE_FlipBuffers");
    else MVE_LogNotice("Info: " + row, "MVE_FlipBuffers");
}

std::string MVE_ReplayHandover() {
    return " after " + std::to_string(Player().uFrame) + " frames; live input takes over.";
}

// Applies input records up to the next event record and returns that, or null when none is left.
const MVE_REPLAY_INPUT *MVE_ReplayNextInputEvent() {
    MVE_PLAYER &pl = Player();
    const MVE_REPLAY_FRAME *f = Current();
    if (!f) return nullptr;
    while (f->Input[0] + pl.uInput < f->Input[1]) {
        const MVE_REPLAY_INPUT &in = pl.Data.Inputs[f->Input[0] + pl.uInput++];
        if (in.uKind == mverec::kEvent) return &in;
        Apply(in);
    }
    return nullptr;
}

int MVE_ReplayWindowEvent(int *window, int *width, int *height) {
    const MVE_REPLAY_INPUT *in = MVE_ReplayNextInputEvent();
    *window = in ? in->b : -1;
    *width = in ? in->c : 0;
    *height = in ? in->d : 0;
    return in ? in->a : MVE_EVENT_NONE;
}

void MVE_ReplayJoystickPoll() { Joysticks(true); }

void MVE_ReplayJoysticksFound() {
    if (MVE_SessionMode() == MVE_SESSION_RECORDING) {
        MVE_RecordJoystickIdentity();
        return;
    }
    if (!Replaying()) return;
    MVE_PLAYER &pl = Player();
    Joysticks(false);
    const MVE_REPLAY_FRAME *f = Current();
    if (f && f->Joystick[0] + pl.uJoystick < f->Joystick[1]) {
        const MVE_REPLAY_JOYSTICK &j = pl.Data.Joystick[f->Joystick[0] + pl.uJoystick];
        if (j.uKind == mverec::kIdentity) {
            ++pl.uJoystick;
            Install(pl.Data.Identities[static_cast<size_t>(j.iIdentity)], true);
            return;
        }
    }
    MVE_ReplayDiverged("the joysticks were looked for where the recording has no search");
}

uint32_t MVE_ReplaySeed(uint32_t seed) {
    const int mode = MVE_SessionMode();
    if (mode == MVE_SESSION_OFF || !MVE_IsSessionThread()) return seed;
    if (mode == MVE_SESSION_RECORDING) {
        MVE_RecordSeed(seed);
        return seed;
    }
    MVE_PLAYER &pl = Player();
    const MVE_REPLAY_FRAME *f = Current();
    if (f && f->Seeds[0] + pl.uSeed < f->Seeds[1]) return pl.Data.Seeds[f->Seeds[0] + pl.uSeed++];
    if (f && f->iComplete) MVE_ReplayDiverged("the random source was seeded where the recording has no seed");
    return seed;
}

int MVE_PlayerFrameEnd(float *frameTime, float *framesPerSecond) {
    MVE_REPLAY_STATE &st = MVE_Replay();
    MVE_PLAYER &pl = st.Player;
    const MVE_REPLAY_FRAME *f = Current();
    if (!f) return 0;
    if (!f->iComplete) {
        MVE_EndReplay("reached the point where the recording stopped" + MVE_ReplayHandover(), 0);
        return 0;
    }
    // Records the program did not ask for in this frame still reach the input state, as the
    // live ones would have; a frame with fewer turns than recorded releases the rest.
    if (MVE_ReplayNextInputEvent()) {
        MVE_ReplayDiverged("fewer window events were fetched than recorded");
        while (MVE_ReplayNextInputEvent()) {
        }
    }
    Joysticks(true);
    if (f->Joystick[0] + pl.uJoystick < f->Joystick[1]) pl.uJoystick = f->Joystick[1] - f->Joystick[0];
    const bool turns = f->Turns[0] + pl.uTurn < f->Turns[1];
    if (turns) {
        MVE_ReplayDiverged("the main thread took the physics lock less often than recorded");
        MVE_SyncReleaseTurns(f->Turns[1]);
    }
    if (st.Sync.iPhysicsDiverged.exchange(0)) MVE_ReplayDiverged("a physics pass took other turns than recorded");
    *frameTime = f->fFrameTime;
    *framesPerSecond = f->fFramesPerSecond;
    st.iPhysicsRate = f->iPhysicsRate;
    st.uClock = f->uClock;
    ++pl.uFrame;
    pl.uInput = pl.uJoystick = pl.uSeed = pl.uTurn = 0;
    if (pl.uFrame == pl.Data.Frames.size()) {
        if (pl.Data.iWhole) MVE_EndReplay("reached the end of the recording" + MVE_ReplayHandover(), 0);
        else MVE_EndReplay("stops where the file was cut short (" + pl.Data.sCut + ")" + MVE_ReplayHandover(), 1);
    }
    return 1;
}
