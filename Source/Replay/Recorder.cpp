// Writing a recording: the session chunk when the engine starts, then at each frame's end the
// physics passes taken since and the frame's records, flushed so that a program that dies leaves a
// file that replays up to its last frame. Main thread (the session's); the physics thread's part
// is the pass queue in Sync.cpp.
#include "Replay/Replay.h"
#include "Replay/ReplayFormat.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Platform/Platform.h"

namespace {

MVE_RECORDER &Rec() { return MVE_Replay().Recorder; }

bool Recording() {
    return MVE_SessionMode() == MVE_SESSION_RECORDING && MVE_IsSessionThread();
}

void PutIdentity(std::string &out, const MVE_JOYSTICK_TABLE &t) {
    mverec::PutU8(out, static_cast<uint32_t>(t.iCount));
    for (const MVE_JOYSTICK &stick : t.Stick) {
        mverec::PutU8(out, stick.iFound ? 1 : 0);
        mverec::PutText(out, stick.iFound ? stick.sName : std::string());
    }
}

// Writes what is in Out; a failure stops the recording (what was written stays readable).
bool Flush(MVE_RECORDER &r) {
    const bool ok = std::fwrite(r.Out.data(), 1, r.Out.size(), r.pFile) == r.Out.size() && std::fflush(r.pFile) == 0;
    r.Out.clear();
    if (ok) return true;
    r.iFailed = 1;
    MVE_LogFail("Fail: The recording \"" + r.sFile + "\" cannot be written any further! It ends here.", "MVE_FlipBuffers");
    return false;
}

void PutPasses(MVE_RECORDER &r) {
    uint64_t count = 0;
    r.Payload.clear();
    MVE_Replay().Sync.Passes.Take([&](const MVE_PASS_RECORD &pass) {
        mverec::PutVar(r.Payload, pass.uTurns);
        mverec::PutF32(r.Payload, pass.fStep);
        r.uPassTurns += pass.uTurns;
        ++count;
    });
    if (!count) return;
    std::string chunk;
    mverec::PutVar(chunk, count);
    chunk += r.Payload;
    mverec::PutChunk(r.Out, mverec::kChunkPasses, chunk);
}

void PutFrame(MVE_RECORDER &r, uint32_t number, bool complete, float frameTime, float framesPerSecond, int32_t rate,
              uint32_t clock) {
    r.Payload.clear();
    mverec::PutU32(r.Payload, number);
    mverec::PutU8(r.Payload, complete ? mverec::kFrameComplete : 0);
    if (complete) {
        mverec::PutF32(r.Payload, frameTime);
        mverec::PutF32(r.Payload, framesPerSecond);
        mverec::PutU32(r.Payload, static_cast<uint32_t>(rate));
        mverec::PutU32(r.Payload, clock);
    }
    const std::pair<uint64_t, std::string *> lists[4] = {
        {r.uInputs, &r.Input}, {r.uJoystick, &r.Joystick}, {r.uSeeds, &r.Seeds}, {r.uTurns, &r.Turns}};
    for (const auto &list : lists) {
        mverec::PutVar(r.Payload, list.first);
        r.Payload += *list.second;
        list.second->clear();
    }
    r.uInputs = r.uJoystick = r.uSeeds = r.uTurns = 0;
    mverec::PutChunk(r.Out, mverec::kChunkFrame, r.Payload);
}

void Close(MVE_RECORDER &r) {
    if (r.pFile) std::fclose(r.pFile);
    r.pFile = nullptr;
}

}  // namespace

int MVE_BeginRecorder() {
    MVE_RECORDER &r = Rec();
    MVE_ENGINE &e = MVE_Engine();
    r.Input.clear(), r.Joystick.clear(), r.Seeds.clear(), r.Turns.clear();
    r.uInputs = r.uJoystick = r.uSeeds = r.uTurns = r.uLastTurn = r.uPassTurns = 0;
    r.iFailed = 0;
    std::string session;
    mverec::PutU64(session, e.Random.uState.load(std::memory_order_relaxed));
    mverec::PutU32(session, MVE_Replay().uClock);
    mverec::PutU32(session, static_cast<uint32_t>(e.Screen.iWidth));
    mverec::PutU32(session, static_cast<uint32_t>(e.Screen.iHeight));
    mverec::PutText(session, MVE_VERSION);
    mverec::PutText(session, MVE_ReplayBuild());
    PutIdentity(session, e.Input.Joysticks);
    r.Out = mverec::Header();
    mverec::PutChunk(r.Out, mverec::kChunkSession, session);
    if (Flush(r)) return 1;
    Close(r);
    return 0;
}

void MVE_RecordTurn(uint64_t physicsTurns) {
    MVE_RECORDER &r = Rec();
    mverec::PutVar(r.Turns, physicsTurns - r.uLastTurn);
    r.uLastTurn = physicsTurns;
    ++r.uTurns;
}

int MVE_SessionInput(uint8_t kind, int a, int b) {
    const int mode = MVE_SessionMode();
    if (mode == MVE_SESSION_OFF || !MVE_IsSessionThread()) return 1;
    if (mode == MVE_SESSION_REPLAYING) return MVE_Replay().Player.iApplying;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Input, kind);
    switch (kind) {
    case mverec::kKey:
    case mverec::kButton:
        mverec::PutU8(r.Input, static_cast<uint32_t>(a));
        mverec::PutU8(r.Input, static_cast<uint32_t>(b));
        break;
    case mverec::kChar:
        mverec::PutU16(r.Input, static_cast<uint32_t>(a));
        break;
    case mverec::kMove:
        mverec::PutSVar(r.Input, a);
        mverec::PutSVar(r.Input, b);
        break;
    case mverec::kWheel:
        mverec::PutSVar(r.Input, a);
        break;
    default:
        break;
    }
    ++r.uInputs;
    return 1;
}

void MVE_RecordWindowEvent(int result, int window, int width, int height) {
    if (!Recording()) return;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Input, mverec::kEvent);
    mverec::PutU8(r.Input, static_cast<uint32_t>(result));
    mverec::PutSVar(r.Input, window);
    if (result == MVE_EVENT_SIZE) {
        mverec::PutSVar(r.Input, width);
        mverec::PutSVar(r.Input, height);
    }
    ++r.uInputs;
}

void MVE_RecordJoystickPoll(uint32_t clock) {
    if (!Recording()) return;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Joystick, mverec::kPoll);
    mverec::PutU32(r.Joystick, clock);
    ++r.uJoystick;
}

void MVE_RecordJoystickSample(int slot, const MVE_JOYSTICK_SAMPLE &sample) {
    if (!Recording()) return;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Joystick, mverec::kSample);
    mverec::PutU8(r.Joystick, static_cast<uint32_t>(slot));
    for (float axis : sample.fAxis) mverec::PutF32(r.Joystick, axis);
    mverec::PutU32(r.Joystick, sample.uButtons);
    mverec::PutU32(r.Joystick, sample.uPOV);
    ++r.uJoystick;
}

void MVE_RecordJoystickGone(int slot) {
    if (!Recording()) return;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Joystick, mverec::kGone);
    mverec::PutU8(r.Joystick, static_cast<uint32_t>(slot));
    ++r.uJoystick;
}

void MVE_RecordJoystickIdentity() {
    if (!Recording()) return;
    MVE_RECORDER &r = Rec();
    mverec::PutU8(r.Joystick, mverec::kIdentity);
    PutIdentity(r.Joystick, MVE_Engine().Input.Joysticks);
    ++r.uJoystick;
}

void MVE_RecordSeed(uint32_t seed) {
    MVE_RECORDER &r = Rec();
    mverec::PutU32(r.Seeds, seed);
    ++r.uSeeds;
}

void MVE_RecorderFrameEnd(uint64_t frame, float frameTime, float framesPerSecond, int32_t rate, uint32_t clock) {
    MVE_RECORDER &r = Rec();
    PutPasses(r);
    PutFrame(r, static_cast<uint32_t>(frame), true, frameTime, framesPerSecond, rate, clock);
    if (!Flush(r)) MVE_StopRecorder(frame + 1);  // nothing more is written; the file stays readable
}

void MVE_StopRecorder(uint64_t frame) {
    MVE_REPLAY_STATE &st = MVE_Replay();
    MVE_RECORDER &r = st.Recorder;
    MVE_REPLAY_SYNC &s = st.Sync;
    // The physics thread counts its turns under the lock: taken here without a turn of our own,
    // the count is final the moment recording is switched off.
    uint64_t total;
    {
        std::lock_guard<std::recursive_mutex> raw(MVE_Engine().Physics.Lock.Mutex);
        total = s.uPhysicsTurns.load(std::memory_order_relaxed);
        s.iMode.store(MVE_SESSION_OFF, std::memory_order_release);
    }
    st.iActive = 0;
    if (!r.pFile) return;
    if (!r.iFailed) {
        PutPasses(r);
        PutFrame(r, static_cast<uint32_t>(frame), false, 0, 0, 0, 0);
        std::string end;
        mverec::PutU32(end, static_cast<uint32_t>(frame + 1));
        mverec::PutU64(end, total);
        mverec::PutChunk(r.Out, mverec::kChunkEnd, end);
        if (Flush(r)) MVE_LogNotice("Info: The recording \"" + r.sFile + "\" holds " + std::to_string(frame + 1) +
                                        " frames.", "MVE_StopRecording");
    }
    Close(r);
}
