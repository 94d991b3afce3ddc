// The font file (".tf") as it is stored, shared by the engine's reader, the font builder in
// Tools/FontBuilder and the tests that damage files on purpose. Header only, no engine types.
//
// Layout (all integers little-endian):
//
//   magic   8 bytes   54 83 7C 31 2E 34 30 7C
//   chunk   repeated until a chunk of type 0:
//     uint32 size     number of bytes that follow the CRC field: the 4-byte type plus the payload
//                     (so size >= 4; the end chunk has size 4 and no payload)
//     uint32 crc      CRC-32 (IEEE 802.3, as zlib and PNG compute it) of exactly those size bytes,
//                     that is of the type field followed by the payload
//     uint32 type     0 end, 1 glyph atlas, 2 glyph table, 3 kerning table, 4 line metrics;
//                     readers skip types they do not know
//     payload         size - 4 bytes
//
// Type 1, glyph atlas: a complete PNG image. Glyph coverage is in the alpha channel, colour white.
// Type 2, glyph table: uint32 count, then count records of 18 bytes:
//     uint16 code      Unicode code point (Basic Multilingual Plane)
//     int16  x, y      top-left corner of the glyph's box in the atlas, pixels (y down)
//     int16  width     box size in pixels; 0 x 0 for glyphs without ink (space)
//     int16  height
//     int16  xOffset   from the pen position to the box's left edge, pixels (right positive)
//     int16  yOffset   from the top of the line (the ascender line) down to the box's top edge
//     int16  advance   pen movement after the glyph, pixels
//     int16  reserved  0
// Type 3, kerning table: uint32 count, then count records of 6 bytes:
//     uint16 left, uint16 right, int16 amount   added to the advance of `left` when `right` follows
// Type 4, line metrics (optional): int16 pixel size, line height, ascender, descender (pixels;
//     descender negative below the baseline). Without it the line height is taken from the glyphs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace mvefont {

inline constexpr unsigned char kMagic[8] = {0x54, 0x83, 0x7C, 0x31, 0x2E, 0x34, 0x30, 0x7C};
inline constexpr uint32_t kChunkEnd = 0, kChunkAtlas = 1, kChunkGlyphs = 2, kChunkKerning = 3,
                          kChunkMetrics = 4;
inline constexpr size_t kChunkHeader = 8;     // size and CRC; the type is counted in size
inline constexpr size_t kGlyphRecord = 18;
inline constexpr size_t kKerningRecord = 6;

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

inline uint32_t ReadU32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t ReadU16(const unsigned char *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t ReadS16(const unsigned char *p) { return static_cast<int16_t>(ReadU16(p)); }

inline void PutU32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void PutU16(std::string &out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// Appends one chunk (size, CRC, type, payload) to `out`.
inline void PutChunk(std::string &out, uint32_t type, const std::string &payload) {
    std::string body;
    PutU32(body, type);
    body += payload;
    PutU32(out, static_cast<uint32_t>(body.size()));
    PutU32(out, Crc32(reinterpret_cast<const unsigned char *>(body.data()), body.size()));
    out += body;
}

inline std::string Magic() { return std::string(reinterpret_cast<const char *>(kMagic), sizeof kMagic); }

}  // namespace mvefont
