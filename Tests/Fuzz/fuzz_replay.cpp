// Session recordings: MVE_StartReplay reads and checks a file whole. Each input is read as it is and
// with every chunk's CRC made right (so mutations reach the frame, pass and session decoders), and an
// accepted recording is played through the main thread's side of a replay: every frame's input,
// joystick and seed records go into the engine's input state, frame by frame, to the end.
#include "Core/Engine.h"
#include "FuzzSupport.h"
#include "MVE.h"
#include "Replay/Replay.h"
#include "Replay/ReplayFormat.h"
#include <string>
#include <vector>

namespace fuzz_replay {

void Init() {}

namespace {

// What a replay relies on: every range inside its list, turns that never go back, and no frame
// waiting for more physics turns than the passes reach.
void Check(const MVE_RECORDING &r) {
    uint64_t last = 0;
    for (const uint64_t t : r.Turns) {
        MVE_FUZZ_REQUIRE(t >= last);
        last = t;
    }
    for (size_t i = 1; i < r.PassTurns.size(); ++i) MVE_FUZZ_REQUIRE(r.PassTurns[i] >= r.PassTurns[i - 1]);
    MVE_FUZZ_REQUIRE(r.Steps.size() == r.PassTurns.size());
    MVE_FUZZ_REQUIRE(r.iWhole || !r.sCut.empty());
    for (size_t i = 0; i < r.Frames.size(); ++i) {
        const MVE_REPLAY_FRAME &f = r.Frames[i];
        MVE_FUZZ_REQUIRE(f.Input[0] <= f.Input[1] && f.Input[1] <= r.Inputs.size());
        MVE_FUZZ_REQUIRE(f.Joystick[0] <= f.Joystick[1] && f.Joystick[1] <= r.Joystick.size());
        MVE_FUZZ_REQUIRE(f.Seeds[0] <= f.Seeds[1] && f.Seeds[1] <= r.Seeds.size());
        MVE_FUZZ_REQUIRE(f.Turns[0] <= f.Turns[1] && f.Turns[1] <= r.Turns.size());
        MVE_FUZZ_REQUIRE(f.iComplete || i + 1 == r.Frames.size());
    }
    for (const MVE_REPLAY_JOYSTICK &j : r.Joystick) {
        MVE_FUZZ_REQUIRE(j.uSlot < MVE_JOYSTICK_MAX);
        if (j.uKind == mverec::kIdentity)
            MVE_FUZZ_REQUIRE(j.iIdentity >= 0 && static_cast<size_t>(j.iIdentity) < r.Identities.size());
    }
}

// The main thread's side of a replay without a physics thread (its turns are released frame by frame).
void Play(MVE_RECORDING &&recording) {
    MVE_ResetEngine();
    MVE_REPLAY_STATE &st = MVE_Replay();
    st.Player.Data = std::move(recording);
    st.Player.sFile = "r.mvr";
    st.Sync.Main = std::this_thread::get_id();
    MVE_BeginPlayer();
    for (size_t frame = 0; frame < st.Player.Data.Frames.size() + 1 && MVE_IsReplaying(); ++frame) {
        for (int events = 0; MVE_WindowEvent() != MVE_EVENT_NONE && events < 100000; ++events) {
        }
        MVE_UpdateMouse();
        MVE_UpdateKeyboard();
        MVE_UpdateJoysticks();
        MVE_SeedRandom(1);
        MVE_InitJoysticks();
        for (int j = 0; j < MVE_JOYSTICK_MAX; ++j) MVE_GetJoystickAxis(j, 0, 0.0f);
        float frameTime = 0, framesPerSecond = 0;
        MVE_PlayerFrameEnd(&frameTime, &framesPerSecond);
        MVE_FUZZ_REQUIRE(frameTime >= 0.0f && framesPerSecond >= 0.0f);
    }
    MVE_FUZZ_REQUIRE(!MVE_IsReplaying());
    MVE_ResetEngine();
}

}  // namespace

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("r.mvr", data, size);
    MVE_ResetEngine();
    if (MVE_StartReplay("r.mvr")) {
        MVE_RECORDING accepted = std::move(MVE_Replay().Player.Data);
        Check(accepted);
        Play(std::move(accepted));
    }
    std::vector<uint8_t> fixed(data, data + size);
    size_t pos = mverec::kHeader;
    while (pos + mverec::kChunkHeader + 4 <= fixed.size()) {
        const uint32_t length = mverec::ReadU32(&fixed[pos]);
        if (length < 4 || length > fixed.size() - pos - mverec::kChunkHeader) break;
        const uint32_t crc = mverec::Crc32(&fixed[pos + mverec::kChunkHeader], length);
        for (int k = 0; k < 4; ++k) fixed[pos + 4 + k] = static_cast<uint8_t>(crc >> (8 * k));
        pos += mverec::kChunkHeader + length;
    }
    MVE_RECORDING r;
    std::string failure;
    if (MVE_ReadRecording(fixed.data(), fixed.size(), r, failure)) {
        Check(r);
        Play(std::move(r));
    } else {
        MVE_FUZZ_REQUIRE(!failure.empty());
    }
    return 0;
}

}  // namespace fuzz_replay

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_replay::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_replay::Run(data, size); }
#endif
