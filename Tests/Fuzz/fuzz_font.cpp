// Font files of the 2D layer: the chunk reader, the glyph and kerning tables and the PNG atlas.
// Each input is read twice: as it is, and with every chunk's CRC made right, so that mutations
// reach the tables instead of stopping at the first checksum.
#include "FuzzSupport.h"
#include "Platform/Platform.h"
#include "UI2D/FontFormat.h"
#include "UI2D/UI2D.h"
#include <string>
#include <vector>

namespace fuzz_font {

void Init() {}

namespace {

void Read(const uint8_t *data, size_t size) {
    MVE_FONT_DATA font;
    std::vector<std::string> problems;
    const int ok = MVE_ReadFontData(data, size, font, problems);
    MVE_FUZZ_REQUIRE(ok || !problems.empty());
    MVE_FUZZ_REQUIRE(problems.size() <= 17);   // a few rows and one more, however damaged the file
    for (const MVE_FONT_GLYPH &g : font.Glyphs) {
        const MVE_FONT_GLYPH *found = MVE_FindGlyph(font, g.uCode);
        MVE_FUZZ_REQUIRE(found && found->uCode == g.uCode);
        MVE_FontKerning(font, g.uCode, 'A');
    }
    MVE_FindGlyph(font, 0x10FFFF);
    MVE_FontKerning(font, 0xFFFF, 0xFFFF);
    if (!font.Atlas.empty()) {
        MVE_IMAGE image;
        std::string error;
        MVE_PlatformCatchImage(font.Atlas.data(), font.Atlas.size(), image, error);
    }
}

}  // namespace

int Run(const uint8_t *data, size_t size) {
    Read(data, size);
    std::vector<uint8_t> fixed(data, data + size);
    size_t pos = sizeof mvefont::kMagic;
    while (pos + mvefont::kChunkHeader + 4 <= fixed.size()) {
        const uint32_t length = mvefont::ReadU32(&fixed[pos]);
        if (length < 4 || length > fixed.size() - pos - mvefont::kChunkHeader) break;
        const uint32_t crc = mvefont::Crc32(&fixed[pos + mvefont::kChunkHeader], length);
        for (int k = 0; k < 4; ++k) fixed[pos + 4 + k] = static_cast<uint8_t>(crc >> (8 * k));
        pos += mvefont::kChunkHeader + length;
    }
    Read(fixed.data(), fixed.size());
    return 0;
}

}  // namespace fuzz_font

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_font::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_font::Run(data, size); }
#endif
