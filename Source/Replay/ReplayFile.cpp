// Reading a recording: every chunk is checked (CRC, sizes, values) before anything is replayed, so
// a damaged file is refused whole; a file cut short keeps the frames whose data is all there.
// Any thread (pure: bytes in, records out). Never trusts a count or a size from the file.
#include "Replay/Replay.h"
#include "Replay/ReplayFormat.h"
#include "MVE.h"
#include <cmath>

namespace {

using mverec::Cursor;

bool Identity(Cursor &c, MVE_JOYSTICK_IDENTITY &id) {
    id.iCount = c.U8();
    if (id.iCount > mverec::kSlots) return false;
    for (int i = 0; i < mverec::kSlots; ++i) {
        const uint8_t found = c.U8();
        if (found > 1) return false;
        id.iFound[i] = found;
        id.sName[i] = c.Text();
    }
    return c.ok;
}

bool Session(Cursor &c, MVE_RECORDING &r) {
    r.uRandom = c.U64();
    r.uClock = c.U32();
    r.iWidth = static_cast<int32_t>(c.U32());
    r.iHeight = static_cast<int32_t>(c.U32());
    r.sVersion = c.Text();
    r.sBuild = c.Text();
    if (!Identity(c, r.Joysticks)) return false;
    return c.ok && c.Left() == 0 && r.iWidth >= 0 && r.iHeight >= 0;
}

bool Passes(Cursor &c, MVE_RECORDING &r, uint64_t &turns) {
    const uint64_t n = c.Var();
    for (uint64_t i = 0; i < n && c.ok; ++i) {
        const uint64_t before = c.Var();
        const float step = c.F32();
        // The thread never takes more than 50 ms at once; a second is beyond anything it wrote.
        if (!std::isfinite(step) || step < 0.0f || step > 1.0f) return false;
        if (r.Steps.empty() ? before != 0 : before > 1000) return false;
        turns += before;
        r.Steps.push_back(step);
        r.PassTurns.push_back(turns);
    }
    return c.ok && c.Left() == 0;
}

bool Finite(float v) { return std::isfinite(v) && v >= 0.0f; }

bool Input(Cursor &c, MVE_REPLAY_INPUT &in) {
    in.uKind = c.U8();
    switch (in.uKind) {
    case mverec::kKey:
        in.a = c.U8();
        in.b = c.U8();
        return in.a > 0 && in.b <= 1;
    case mverec::kChar:
        in.a = c.U16();
        return true;
    case mverec::kMove: {
        const int64_t x = c.SVar(), y = c.SVar();
        if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return false;
        in.a = static_cast<int32_t>(x);
        in.b = static_cast<int32_t>(y);
        return true;
    }
    case mverec::kButton:
        in.a = c.U8();
        in.b = c.U8();
        return (in.a == 1 || in.a == 2 || in.a == 4) && in.b <= 1;
    case mverec::kLeave:
    case mverec::kClose:
        return true;
    case mverec::kWheel: {
        const int64_t n = c.SVar();
        in.a = static_cast<int32_t>(n);
        return n >= -1000000 && n <= 1000000;
    }
    case mverec::kEvent: {
        in.a = c.U8();
        const int64_t window = c.SVar();
        if (window < -1 || window >= 0x20000) return false;
        in.b = static_cast<int32_t>(window);
        if (in.a != MVE_EVENT_NONE && in.a != MVE_EVENT_OTHER && in.a != MVE_EVENT_INPUT &&
            in.a != MVE_EVENT_SIZE && in.a != MVE_EVENT_CLOSE)
            return false;
        if (in.a == MVE_EVENT_SIZE) {
            const int64_t w = c.SVar(), h = c.SVar();
            if (w < 0 || h < 0 || w > 65536 || h > 65536) return false;
            in.c = static_cast<int32_t>(w);
            in.d = static_cast<int32_t>(h);
        }
        return true;
    }
    default:
        return false;
    }
}

bool Joystick(Cursor &c, MVE_REPLAY_JOYSTICK &j, MVE_RECORDING &r) {
    j.uKind = c.U8();
    switch (j.uKind) {
    case mverec::kIdentity: {
        MVE_JOYSTICK_IDENTITY id;
        if (!Identity(c, id)) return false;
        j.iIdentity = static_cast<int>(r.Identities.size());
        r.Identities.push_back(std::move(id));
        return true;
    }
    case mverec::kPoll:
        j.uClock = c.U32();
        return true;
    case mverec::kSample:
        j.uSlot = c.U8();
        for (float &axis : j.Sample.fAxis) {
            axis = c.F32();
            if (!(axis >= -1.0f && axis <= 1.0f)) return false;  // also refuses NaN
        }
        j.Sample.uButtons = c.U32();
        j.Sample.uPOV = c.U32();
        return j.uSlot < mverec::kSlots && (j.Sample.uPOV <= 36000 || j.Sample.uPOV == 0xFFFF);
    case mverec::kGone:
        j.uSlot = c.U8();
        return j.uSlot < mverec::kSlots;
    default:
        return false;
    }
}

// Each list: a count, then records that must all decode; the count is never used to reserve.
template <class Read> bool List(Cursor &c, size_t range[2], size_t size, Read read) {
    const uint64_t n = c.Var();
    range[0] = size;
    for (uint64_t i = 0; i < n; ++i)
        if (!c.ok || !read()) return false;
    return c.ok;
}

bool Frame(Cursor &c, MVE_RECORDING &r, uint32_t expected, uint64_t &lastTurn, MVE_REPLAY_FRAME &f) {
    if (c.U32() != expected) return false;
    const uint8_t flags = c.U8();
    if (flags > mverec::kFrameComplete) return false;
    f.iComplete = flags;
    if (f.iComplete) {
        f.fFrameTime = c.F32();
        f.fFramesPerSecond = c.F32();
        f.iPhysicsRate = static_cast<int32_t>(c.U32());
        f.uClock = c.U32();
        if (!Finite(f.fFrameTime) || !Finite(f.fFramesPerSecond) || f.iPhysicsRate < 0) return false;
    }
    bool ok = List(c, f.Input, r.Inputs.size(), [&] {
        MVE_REPLAY_INPUT in;
        if (!Input(c, in)) return false;
        r.Inputs.push_back(in);
        return true;
    });
    f.Input[1] = r.Inputs.size();
    ok = ok && List(c, f.Joystick, r.Joystick.size(), [&] {
        MVE_REPLAY_JOYSTICK j;
        if (!Joystick(c, j, r)) return false;
        r.Joystick.push_back(j);
        return true;
    });
    f.Joystick[1] = r.Joystick.size();
    ok = ok && List(c, f.Seeds, r.Seeds.size(), [&] {
        r.Seeds.push_back(c.U32());
        return true;
    });
    f.Seeds[1] = r.Seeds.size();
    ok = ok && List(c, f.Turns, r.Turns.size(), [&] {
        const uint64_t delta = c.Var();
        if (delta > (1ull << 40)) return false;
        lastTurn += delta;
        r.Turns.push_back(lastTurn);
        return true;
    });
    f.Turns[1] = r.Turns.size();
    return ok && c.ok && c.Left() == 0;
}

std::string At(size_t offset) { return " (chunk at byte " + std::to_string(offset) + ")"; }

}  // namespace

int MVE_ReadRecording(const uint8_t *data, size_t size, MVE_RECORDING &r, std::string &failure) {
    r = MVE_RECORDING();
    if (!data || size < mverec::kHeader || std::memcmp(data, mverec::kMagic, sizeof mverec::kMagic) != 0) {
        failure = "it is no session recording";
        return 0;
    }
    const uint32_t version = mverec::ReadU32(data + sizeof mverec::kMagic);
    if (version != mverec::kVersion) {
        failure = "it is a recording of version " + std::to_string(version) + "; this engine replays version " +
                  std::to_string(mverec::kVersion);
        return 0;
    }
    size_t pos = mverec::kHeader;
    bool session = false, partial = false;
    uint64_t passTurns = 0, lastTurn = 0, endTurns = 0;
    uint32_t endFrames = 0;
    while (pos < size && !r.iWhole) {
        if (size - pos < mverec::kChunkHeader + 4) {
            r.sCut = "the file ends inside a chunk";
            break;
        }
        const uint32_t length = mverec::ReadU32(data + pos);
        if (length < 4) {
            failure = "a chunk is damaged" + At(pos);
            return 0;
        }
        if (length > size - pos - mverec::kChunkHeader) {
            r.sCut = "the file ends inside a chunk";
            break;
        }
        const unsigned char *body = data + pos + mverec::kChunkHeader;
        if (mverec::Crc32(body, length) != mverec::ReadU32(data + pos + 4)) {
            failure = "a chunk is damaged (its CRC does not match)" + At(pos);
            return 0;
        }
        const uint32_t type = mverec::ReadU32(body);
        Cursor c(body + 4, length - 4);
        bool ok = false;
        if (!session && type != mverec::kChunkSession) {
            failure = "it does not begin with its session chunk";
            return 0;
        }
        if (partial && type != mverec::kChunkEnd && type != mverec::kChunkPasses) {
            failure = "a frame follows the one the session stopped in" + At(pos);
            return 0;
        }
        switch (type) {
        case mverec::kChunkSession:
            ok = !session && Session(c, r);
            session = true;
            break;
        case mverec::kChunkPasses:
            ok = Passes(c, r, passTurns);
            break;
        case mverec::kChunkFrame: {
            MVE_REPLAY_FRAME f;
            ok = Frame(c, r, static_cast<uint32_t>(r.Frames.size()), lastTurn, f);
            partial = !f.iComplete;
            r.Frames.push_back(f);
            break;
        }
        case mverec::kChunkEnd:
            endFrames = c.U32();
            endTurns = c.U64();
            ok = c.ok && c.Left() == 0 && endFrames == r.Frames.size() && endTurns >= passTurns;
            r.iWhole = 1;
            break;
        default:
            break;
        }
        if (!ok) {
            failure = "a chunk is damaged (its content is not valid)" + At(pos);
            return 0;
        }
        pos += mverec::kChunkHeader + length;
    }
    if (!session) {
        failure = "it holds no session";
        return 0;
    }
    if (r.iWhole && pos != size) {
        failure = "bytes follow its end chunk" + At(pos);
        return 0;
    }
    if (!r.iWhole && r.sCut.empty()) r.sCut = "its end chunk is missing";
    // Turns the recorded passes are known to reach: with the end chunk all of them; without, the
    // last pass's own turns are unknown, so frames that wait for them cannot be replayed.
    const uint64_t reach = r.iWhole ? endTurns : passTurns;
    for (size_t i = 0; i < r.Frames.size(); ++i) {
        const MVE_REPLAY_FRAME &f = r.Frames[i];
        if (f.Turns[1] > f.Turns[0] && r.Turns[f.Turns[1] - 1] > reach) {
            if (r.iWhole) {
                failure = "its frames wait for more physics passes than it holds";
                return 0;
            }
            r.Frames.resize(i);  // the cut took the passes this frame needs
            break;
        }
    }
    return 1;
}
