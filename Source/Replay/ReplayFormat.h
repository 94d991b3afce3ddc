// The session recording (".mvr") as it is stored, shared by the engine's writer and reader, the fuzz
// target and the tests that damage files on purpose. Header only, no engine types.
//
// A recording holds everything a session took from outside the engine, so that a replay computes
// the very same frames: input and window events, frame clock values, random seeds, and what the
// physics thread needs to repeat its work (the step of every pass, and where the main thread's
// turns at the physics lock fell between the passes' own).
//
// Layout (all integers little-endian; "varint" is unsigned LEB128, "svarint" a zigzag varint):
//
//   magic    8 bytes  4D 56 45 52 45 43 1A 0A ("MVEREC", end of file, line feed)
//   version  uint32   kVersion; a reader refuses any other
//   chunk    repeated until a chunk of type 0:
//     uint32 size     bytes that follow the CRC field: the 4-byte type plus the payload (size >= 4)
//     uint32 crc      CRC-32 (IEEE 802.3, as zlib and PNG compute it) of exactly those size bytes
//     uint32 type     0 end, 1 session, 2 passes, 3 frame; a reader refuses types it does not know
//     payload         size - 4 bytes
//
// The first chunk is the session; passes and frame chunks follow in the order they were written.
// A file without its end chunk was cut short (the program died, the disk filled): it replays up to
// the last frame whose data is all there.
//
// Type 1, session (the engine's state when the session began, inside MVE_Init):
//     uint64 random   state of the engine's random source
//     uint32 clock    the engine's millisecond clock for frame 0
//     int32  width, height   the render area (a replay on another size moves the mouse differently)
//     varint + bytes  engine version text
//     varint + bytes  build text (compiler); another build may compute other frames
//     joystick identity (below)
// Type 2, passes: varint count, then per pass of the physics thread, in order:
//     varint  sections   outermost turns the physics thread took at the lock during the pass
//                        before this one (0 for the first pass of the session)
//     float32 step       seconds the pass covers
// Type 3, frame: one frame of the main thread, from the end of the previous one:
//     uint32 number      0, 1, 2, ... without gaps
//     uint8  flags       1: ended by MVE_FlipBuffers (the four values follow); 0: the session
//                        stopped inside this frame (only the last frame of a file)
//     [flags 1] float32 frame time, float32 frames per second   as the getters return them
//               int32 physics rate, uint32 clock                 for the next frame
//     varint count, then input records (each a kind byte, then its fields):
//        1 key      uint8 virtual key, uint8 down
//        2 char     uint16 character (UTF-16 unit)
//        3 move     svarint x, svarint y   render-area pixels
//        4 button   uint8 button (1, 2 or 4), uint8 down
//        5 leave    the mouse left the window
//        6 wheel    svarint notches
//        7 close    a close request
//        8 event    uint8 result of one MVE_WindowEvent call (MVE_EVENT_*), svarint window;
//                   for MVE_EVENT_SIZE then svarint width, svarint height
//     varint count, then joystick records:
//        1 identity joystick identity (below), as MVE_InitJoysticks left it
//        2 poll     uint32 clock of one MVE_UpdateJoysticks
//        3 sample   uint8 slot, 6 x float32 axes, uint32 buttons, uint32 point of view
//        4 gone     uint8 slot
//     varint count, then uint32 seeds given to MVE_SeedRandom
//     varint count, then per outermost turn of the main thread at the physics lock, in order:
//        varint   sections the physics thread had taken before it, minus that of the previous turn
// Type 0, end: uint32 frames written, uint64 outermost turns of the physics thread in the session.
//
// Joystick identity: uint8 count, then for each of the 16 slots: uint8 found, varint + bytes name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace mverec {

inline constexpr unsigned char kMagic[8] = {0x4D, 0x56, 0x45, 0x52, 0x45, 0x43, 0x1A, 0x0A};
inline constexpr uint32_t kVersion = 1;
inline constexpr size_t kHeader = 12;         // magic and version
inline constexpr size_t kChunkHeader = 8;     // size and CRC; the type is counted in size
inline constexpr uint32_t kChunkEnd = 0, kChunkSession = 1, kChunkPasses = 2, kChunkFrame = 3;
inline constexpr uint8_t kFrameComplete = 1;
inline constexpr int kSlots = 16;             // joystick slots
inline constexpr size_t kMaxText = 256;       // longest name or version text

enum : uint8_t { kKey = 1, kChar = 2, kMove = 3, kButton = 4, kLeave = 5, kWheel = 6, kClose = 7, kEvent = 8 };
enum : uint8_t { kIdentity = 1, kPoll = 2, kSample = 3, kGone = 4 };

inline uint32_t Crc32(const unsigned char *data, size_t length, uint32_t crc = 0) {
    static const struct Table {
        uint32_t v[256];
        Table() {
            for (uint32_t n = 0; n < 256; n++) {
                uint32_t c = n;
                for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                v[n] = c;
            }
        }
    } table;
    crc = ~crc;
    for (size_t i = 0; i < length; i++) crc = table.v[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// ---------------------------------------------------------------- writing

inline void PutU8(std::string &out, uint32_t v) { out.push_back(static_cast<char>(v & 0xFF)); }
inline void PutU16(std::string &out, uint32_t v) {
    PutU8(out, v);
    PutU8(out, v >> 8);
}
inline void PutU32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; i++) PutU8(out, v >> (8 * i));
}
inline void PutU64(std::string &out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}
inline void PutF32(std::string &out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(out, bits);
}
inline void PutVar(std::string &out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}
inline void PutSVar(std::string &out, int64_t v) {
    PutVar(out, (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
}
inline void PutText(std::string &out, const std::string &text) {
    const size_t n = text.size() < kMaxText ? text.size() : kMaxText;
    PutVar(out, n);
    out.append(text, 0, n);
}

// Appends one chunk (size, CRC, type, payload) to `out`.
inline void PutChunk(std::string &out, uint32_t type, const std::string &payload) {
    std::string body;
    body.reserve(payload.size() + 4);
    PutU32(body, type);
    body += payload;
    PutU32(out, static_cast<uint32_t>(body.size()));
    PutU32(out, Crc32(reinterpret_cast<const unsigned char *>(body.data()), body.size()));
    out += body;
}

inline std::string Header() {
    std::string out(reinterpret_cast<const char *>(kMagic), sizeof kMagic);
    PutU32(out, kVersion);
    return out;
}

// ---------------------------------------------------------------- reading

inline uint32_t ReadU32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Reads a payload front to back; any read past its end clears `ok` and yields zeros, so a
// decoder checks once at the end instead of after every field.
struct Cursor {
    const unsigned char *p;
    const unsigned char *end;
    bool ok = true;

    Cursor(const unsigned char *data, size_t size) : p(data), end(data + size) {}
    size_t Left() const { return static_cast<size_t>(end - p); }
    bool Take(size_t n) {
        if (!ok || Left() < n) {
            ok = false;
            p = end;
            return false;
        }
        return true;
    }
    uint8_t U8() { return Take(1) ? *p++ : 0; }
    uint16_t U16() {
        if (!Take(2)) return 0;
        const uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
        p += 2;
        return v;
    }
    uint32_t U32() {
        if (!Take(4)) return 0;
        const uint32_t v = ReadU32(p);
        p += 4;
        return v;
    }
    uint64_t U64() {
        const uint64_t lo = U32();
        return lo | (static_cast<uint64_t>(U32()) << 32);
    }
    float F32() {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    uint64_t Var() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = U8();
            if (!ok) return 0;
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        ok = false;  // more than ten bytes: no number this format writes
        return 0;
    }
    int64_t SVar() {
        const uint64_t v = Var();
        return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
    }
    std::string Text() {
        const uint64_t n = Var();
        if (n > kMaxText || !Take(static_cast<size_t>(n))) {
            ok = false;
            return std::string();
        }
        std::string s(reinterpret_cast<const char *>(p), static_cast<size_t>(n));
        p += n;
        return s;
    }
};

}  // namespace mverec
