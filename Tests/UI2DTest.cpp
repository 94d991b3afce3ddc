// The 2D layer: font files (good, damaged, cut at every length), the committed fonts, and pixels of
// text and sprites on a real headless GL screen.
#include "GLFixture.h"
#include "Platform/Platform.h"
#include "TestSupport.h"
#include "UI2D/FontFormat.h"
#include "UI2D/UI2D.h"
#include <array>
#include <cmath>
#include <cstring>

extern const unsigned char MVE_BuiltinFontData[];
extern const size_t MVE_BuiltinFontSize;

namespace mvetest {
namespace {


// A hand-made font: an 18 x 8 atlas whose glyph boxes are solid, so every lit pixel is predictable.
//   'A' box (1,1) 4x5, x offset 1, y offset 2, advance 6
//   'V' box (7,1) 3x5, x offset 0, y offset 2, advance 5
//   U+00E9 box (12,1) 3x6, x offset 0, y offset 1, advance 4
// Kerning A,V -2 and V,A -1; line height 10.
struct TestGlyph {
    uint16_t code;
    int16_t x, y, w, h, xo, yo, adv;
};
const TestGlyph kGlyphs[] = {{'A', 1, 1, 4, 5, 1, 2, 6}, {'V', 7, 1, 3, 5, 0, 2, 5}, {0xE9, 12, 1, 3, 6, 0, 1, 4}};

std::string AtlasPNG() {
    const int w = 18, h = 8;
    std::vector<uint8_t> rgba(static_cast<size_t>(w * h * 4), 255);  // white; coverage in alpha
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool ink = false;
            for (const TestGlyph &g : kGlyphs) ink |= x >= g.x && x < g.x + g.w && y >= g.y && y < g.y + g.h;
            rgba[static_cast<size_t>((y * w + x) * 4 + 3)] = ink ? 255 : 0;
        }
    std::string error;
    EXPECT_EQ(MVE_PlatformWritePNG("atlas.png", rgba.data(), w, h, 4, error), 1) << error;
    return ReadFile("atlas.png");
}

std::string GlyphPayload(uint32_t count) {
    std::string t;
    mvefont::PutU32(t, count);
    for (const TestGlyph &g : kGlyphs) {
        mvefont::PutU16(t, g.code);
        for (int16_t v : {g.x, g.y, g.w, g.h, g.xo, g.yo, g.adv, int16_t(0)}) mvefont::PutU16(t, static_cast<uint16_t>(v));
    }
    return t;
}

std::string KerningPayload() {
    std::string k;
    mvefont::PutU32(k, 2);
    for (int v : {int('A'), int('V'), -2, int('V'), int('A'), -1}) mvefont::PutU16(k, static_cast<uint16_t>(v));
    return k;
}

std::string MetricsPayload() {
    std::string m;
    for (int v : {8, 10, 8, -2}) mvefont::PutU16(m, static_cast<uint16_t>(v));
    return m;
}

// Chunks in file order: metrics, atlas, glyphs, kerning, end. Offsets of each chunk are returned.
std::string FontFile(const std::string &atlas, const std::string &glyphs, std::vector<size_t> *offsets = nullptr) {
    std::string f = mvefont::Magic();
    const std::pair<uint32_t, std::string> chunks[] = {{mvefont::kChunkMetrics, MetricsPayload()},
                                                       {mvefont::kChunkAtlas, atlas},
                                                       {mvefont::kChunkGlyphs, glyphs},
                                                       {mvefont::kChunkKerning, KerningPayload()},
                                                       {mvefont::kChunkEnd, ""}};
    for (const auto &[type, payload] : chunks) {
        if (offsets) offsets->push_back(f.size());
        mvefont::PutChunk(f, type, payload);
    }
    return f;
}

int FailRows(const std::string &log) {
    int n = 0;
    for (size_t at = log.find("#FF0000"); at != std::string::npos; at = log.find("#FF0000", at + 1)) n++;
    return n;
}

class UI2DFont : public EngineTest {};

TEST_F(UI2DFont, Crc32MatchesTheStandardCheckValueAndCoversTypeAndPayload) {
    const char *check = "123456789";
    EXPECT_EQ(mvefont::Crc32(reinterpret_cast<const unsigned char *>(check), 9), 0xCBF43926u);
    std::string chunk;
    mvefont::PutChunk(chunk, 7, "xyz");
    ASSERT_EQ(chunk.size(), 8u + 4u + 3u);
    EXPECT_EQ(mvefont::ReadU32(reinterpret_cast<const unsigned char *>(chunk.data())), 7u);  // type + payload
    const std::string body = chunk.substr(8);
    EXPECT_EQ(mvefont::ReadU32(reinterpret_cast<const unsigned char *>(chunk.data()) + 4),
              mvefont::Crc32(reinterpret_cast<const unsigned char *>(body.data()), body.size()));
}

TEST_F(UI2DFont, GoodAndDamagedFiles) {
    OpenLog();
    const std::string atlas = AtlasPNG();
    std::vector<size_t> at;
    const std::string good = FontFile(atlas, GlyphPayload(3), &at);
    auto load = [&](int id, const std::string &bytes) {
        WriteFile("f.tf", bytes);
        return MVE_LoadFont(id, "f.tf");
    };
    // A good file: every glyph, kerning and the line height. "AVA" = A 0..5, V at 6-2, A at 4+5-1.
    const int font = load(3, good);
    ASSERT_NE(font, 0) << LogText();
    EXPECT_EQ(FailRows(LogText()), 0);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(font, "AVA", MVE_IGNORE_F), 14.0f);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(3, "A\xC3\xA9", 2.0f), 20.0f);  // U+00E9 as UTF-8, scaled
    EXPECT_EQ(MVE_GetFontLineHeight(font), 10);

    // Wrong magic: refused, and the font already under ID 3 stays.
    std::string bad = good;
    bad[1] = 0x00;
    EXPECT_EQ(load(3, bad), 0);
    EXPECT_NE(LogText().find("Fail: Not a font file"), std::string::npos);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(3, "AVA", 1.0f), 14.0f);

    // A CRC mismatch in the kerning chunk: reading stops there, the chunks before it count.
    bad = good;
    bad[at[3] + 14] ^= 0x01;
    const int noKerning = load(-1, bad);
    ASSERT_NE(noKerning, 0);
    EXPECT_NE(LogText().find("fails its CRC check"), std::string::npos);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(noKerning, "AVA", 1.0f), 17.0f);

    // A CRC mismatch in the glyph table leaves no glyphs: refused.
    bad = good;
    bad[at[2] + 20] ^= 0x40;
    EXPECT_EQ(load(-1, bad), 0);

    // Cut inside the kerning chunk: truncated, the rest loads.
    const int cut = load(-1, good.substr(0, at[3] + 10));
    ASSERT_NE(cut, 0);
    EXPECT_NE(LogText().find("is truncated"), std::string::npos);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(cut, "AVA", 1.0f), 17.0f);

    // A glyph count beyond the payload (CRC made right): the records present are used.
    const int claimed = load(-1, FontFile(atlas, GlyphPayload(1000)));
    ASSERT_NE(claimed, 0);
    EXPECT_NE(LogText().find("claims 1000 glyphs but holds 3"), std::string::npos);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(claimed, "V", 1.0f), 5.0f);

    // An atlas that is not a PNG, and one that is a PNG signature followed by rubbish.
    EXPECT_EQ(load(-1, FontFile("GIF89a-not-a-png", GlyphPayload(3))), 0);
    EXPECT_NE(LogText().find("is not a PNG image"), std::string::npos);
    EXPECT_EQ(load(-1, FontFile(atlas.substr(0, 40), GlyphPayload(3))), 0);
    EXPECT_NE(LogText().find("Fail: Font atlas: "), std::string::npos);

    // Not found; and ID 3 still holds the first font after all of this.
    EXPECT_EQ(MVE_LoadFont(-1, "missing.tf"), 0);
    EXPECT_FLOAT_EQ(MVE_GetTextWidth(3, "AVA", 1.0f), 14.0f);
    EXPECT_EQ(MVE_GetTextWidth(999, "AVA", 1.0f), 0.0f);
}

TEST_F(UI2DFont, EveryPrefixAndEveryFlippedByteIsReadInsideTheData) {
    const std::string good = FontFile(AtlasPNG(), GlyphPayload(3));
    // Each prefix lives in a buffer of exactly its size, so a read past it is a heap overflow that
    // the sanitizer build catches; usable only once the atlas and glyph chunks are whole.
    const size_t glyphsEnd = good.size() - (8 + 4 + KerningPayload().size()) - (8 + 4);
    for (size_t n = 0; n <= good.size(); n++) {
        std::vector<unsigned char> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        MVE_FONT_DATA data;
        std::vector<std::string> problems;
        const int usable = MVE_ReadFontData(bytes.data(), bytes.size(), data, problems);
        ASSERT_EQ(usable, n >= glyphsEnd ? 1 : 0) << "prefix " << n;
        ASSERT_EQ(problems.empty(), n == good.size()) << "prefix " << n;
    }
    for (size_t i = 0; i < good.size(); i++) {
        std::vector<unsigned char> bytes(good.begin(), good.end());
        bytes[i] ^= 0x5A;
        MVE_FONT_DATA data;
        std::vector<std::string> problems;
        MVE_ReadFontData(bytes.data(), bytes.size(), data, problems);
        ASSERT_FALSE(problems.empty()) << "byte " << i;  // every byte is under the magic or a CRC
        for (const MVE_FONT_GLYPH &g : data.Glyphs) ASSERT_GE(g.iWidth, 0);
    }
}

// The built-in font, built from DejaVu Sans at 16 pixels like the demonstration's (20 pixels).
TEST_F(UI2DFont, BuiltInFontHasTightGlyphBoxesAndDejaVuMetrics) {
    MVE_FONT_DATA data;
    std::vector<std::string> problems;
    ASSERT_EQ(MVE_ReadFontData(MVE_BuiltinFontData, MVE_BuiltinFontSize, data, problems), 1);
    EXPECT_TRUE(problems.empty());
    for (uint32_t code = 0x20; code < 0x7F; code++) EXPECT_NE(MVE_FindGlyph(data, code), nullptr) << code;
    EXPECT_EQ(MVE_FindGlyph(data, 0x4E2D), nullptr);
    // DejaVu Sans (2048 units per em): 'A' advances 1401 units, its cap height is 1493, the ascender 1901.
    const MVE_FONT_GLYPH *a = MVE_FindGlyph(data, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_NEAR(a->iAdvance, 1401.0 * 16 / 2048, 0.7);
    EXPECT_NEAR(a->iHeight, 1493.0 * 16 / 2048, 1.0);
    EXPECT_NEAR(data.iAscender, 1901.0 * 16 / 2048, 1.0);
    EXPECT_EQ(a->iYOffset + a->iHeight, data.iAscender);  // 'A' sits on the baseline
    EXPECT_NE(MVE_FontKerning(data, 'A', 'V'), 0);         // DejaVu kerns "AV"

    // The box is tight around the ink, and the gap around it is empty.
    MVE_IMAGE image;
    std::string error;
    ASSERT_EQ(MVE_PlatformCatchImage(data.Atlas.data(), data.Atlas.size(), image, error), 1) << error;
    ASSERT_EQ(image.iBytesPerPixel, 4);
    auto alpha = [&](int x, int y) { return image.pPixels[(static_cast<size_t>(y) * image.iWidth + x) * 4 + 3]; };
    int top = 0, bottom = 0, left = 0, right = 0, outside = 0;
    for (int i = 0; i < a->iWidth; i++) {
        top = std::max<int>(top, alpha(a->iX + i, a->iY));
        bottom = std::max<int>(bottom, alpha(a->iX + i, a->iY + a->iHeight - 1));
        outside = std::max<int>(outside, std::max(alpha(a->iX + i, a->iY - 1), alpha(a->iX + i, a->iY + a->iHeight)));
    }
    for (int j = 0; j < a->iHeight; j++) {
        left = std::max<int>(left, alpha(a->iX, a->iY + j));
        right = std::max<int>(right, alpha(a->iX + a->iWidth - 1, a->iY + j));
        outside = std::max<int>(outside, std::max(alpha(a->iX - 1, a->iY + j), alpha(a->iX + a->iWidth, a->iY + j)));
    }
    EXPECT_GT(top, 0);
    EXPECT_GT(bottom, 128);  // the feet stand on the baseline
    EXPECT_GT(left, 0);
    EXPECT_GT(right, 0);
    EXPECT_EQ(outside, 0);
    // The apex is in the middle: the top row's ink is centred in the box.
    double sum = 0, weighted = 0;
    for (int i = 0; i < a->iWidth; i++) {
        sum += alpha(a->iX + i, a->iY);
        weighted += (i + 0.5) * alpha(a->iX + i, a->iY);
    }
    EXPECT_NEAR(weighted / sum, a->iWidth / 2.0, 1.0);
}

// ---------------------------------------------------------------- On screen

class UI2DRender : public GLTest {
  protected:
    UI2DRender() { width_ = 160, height_ = 96; }
    // Red, green and blue bytes of a pixel.
    std::array<int, 3> RGB(const std::vector<uint8_t> &pixels, int x, int y) {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }
};

TEST_F(UI2DRender, TextGlyphsLandOnTheirPixels) {
    WriteFile("t.tf", FontFile(AtlasPNG(), GlyphPayload(3)));
    ASSERT_NE(MVE_LoadFont(7, "t.tf"), 0);
    MVE_ClearScreen(0xFF000000);
    // "AV" in red at (40, 20): A box x 41..44, y 22..26; V at pen 6 - 2 = 4: x 44..46, y 22..26.
    ASSERT_EQ(MVE_DrawText(7, 40, 20, "AV", 0xFF0000FF, MVE_IGNORE_F, MVE_IGNORE), 1);
    // Right-aligned at x 120, twice the size, in the default colour (white), with a character the
    // font lacks in the middle: "A?e" is 6 + 4 = 10 wide, so 20 pixels: A from 100 + 2, e at 100 + 12.
    ASSERT_EQ(MVE_DrawText(7, 120, 60, "A\xE4\xB8\xAD\xC3\xA9", MVE_IGNORE, 2.0f, MVE_ALIGN_RIGHT), 1);
    const std::vector<uint8_t> px = Pixels();
    // Scaled boxes are filtered: their outermost ring of pixels is partly covered, the inside fully.
    struct Box {
        int x0, y0, x1, y1;  // inclusive
        bool Has(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
        bool Rim(int x, int y) const { return x == x0 || x == x1 || y == y0 || y == y1; }
    };
    const Box red = {41, 22, 46, 26}, whiteA = {102, 64, 109, 73}, whiteE = {112, 62, 117, 73};
    int lit = 0;
    for (int y = 0; y < height_; y++)
        for (int x = 0; x < width_; x++) {
            const auto c = RGB(px, x, y);
            if (red.Has(x, y)) {
                ASSERT_TRUE(c[0] == 255 && c[1] == 0 && c[2] == 0) << x << "," << y;
            } else if (whiteA.Has(x, y) || whiteE.Has(x, y)) {
                const bool rim = whiteA.Has(x, y) ? whiteA.Rim(x, y) : whiteE.Rim(x, y);
                ASSERT_TRUE(c[0] == c[1] && c[1] == c[2]) << x << "," << y;
                if (rim) ASSERT_TRUE(c[0] > 100 && c[0] < 255) << x << "," << y << " " << c[0];
                else ASSERT_EQ(c[0], 255) << x << "," << y;
            } else {
                ASSERT_TRUE(c[0] == 0 && c[1] == 0 && c[2] == 0) << x << "," << y;
            }
            lit += c[0] != 0;
        }
    EXPECT_EQ(lit, 6 * 5 + 8 * 10 + 6 * 12);
}

TEST_F(UI2DRender, BuiltInFontReproducesItsAtlasAndSpritesAreCentred) {
    // The built-in font (-1): 'H' drawn at (10, 8) in blue equals its atlas coverage texel for texel.
    const MVE_FONT *font = MVE_FindFont(-1);
    ASSERT_NE(font, nullptr);
    const MVE_FONT_GLYPH *h = MVE_FindGlyph(font->Data, 'H');
    ASSERT_NE(h, nullptr);
    MVE_IMAGE atlas;
    std::string error;
    ASSERT_EQ(MVE_PlatformCatchImage(font->Data.Atlas.data(), font->Data.Atlas.size(), atlas, error), 1);

    // A 7 x 5 texture: rows 0-1 red, rows 2-4 green, its last column blue.
    std::vector<uint8_t> rgba(7 * 5 * 4, 255);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++) {
            uint8_t *p = &rgba[static_cast<size_t>((y * 7 + x) * 4)];
            p[0] = x < 6 && y < 2 ? 255 : 0;
            p[1] = x < 6 && y >= 2 ? 255 : 0;
            p[2] = x == 6 ? 255 : 0;
        }
    ASSERT_EQ(MVE_PlatformWritePNG("s.png", rgba.data(), 7, 5, 4, error), 1);
    // From memory: no anisotropic filtering, which Mesa's software rasteriser applies even to
    // screen-aligned quads.
    const std::string png = ReadFile("s.png");
    const int texture = MVE_CatchTexture(-1, png.data(), static_cast<int64_t>(png.size()), GL_NEAREST, "");
    const int material = MVE_CreateMaterial(-1, texture, 24, "");
    const int sprite = MVE_CreateSprite(-1, material, 30, 20);
    const int natural = MVE_CreateSprite(-1, material, 0, 0);
    ASSERT_NE(sprite, 0);
    EXPECT_EQ(MVE_CreateSprite(-1, 987654, 0, 0), 0);
    EXPECT_EQ(MVE_DrawSprite(123456, 1, 1), 0);

    MVE_ClearScreen(0xFF000000);
    ASSERT_EQ(MVE_DrawText(-1, 10, 8, "H", 0xFFFF0000, 1.0f, MVE_ALIGN_LEFT), 1);
    ASSERT_EQ(MVE_DrawSprite(sprite, 100, 60), 1);
    ASSERT_EQ(MVE_DrawSprite(natural, 140, 20), 1);  // 7 x 5 from the nearest whole pixel: 137..143, 18..22
    const std::vector<uint8_t> px = Pixels();
    for (int y = 0; y < h->iHeight; y++)
        for (int x = 0; x < h->iWidth; x++) {
            const int expected = atlas.pPixels[(static_cast<size_t>(h->iY + y) * atlas.iWidth + h->iX + x) * 4 + 3];
            const auto c = RGB(px, 10 + h->iXOffset + x, 8 + h->iYOffset + y);
            ASSERT_NEAR(c[2], expected, 2) << x << "," << y;
            ASSERT_EQ(c[0] + c[1], 0);
        }
    // Drawn at its own size the texture arrives texel for texel.
    for (int y = 16; y < 25; y++)
        for (int x = 135; x < 146; x++) {
            const bool inside = x >= 137 && x <= 143 && y >= 18 && y <= 22;
            const std::array<int, 3> expected = !inside   ? std::array<int, 3>{0, 0, 0}
                                                : x == 143 ? std::array<int, 3>{0, 0, 255}
                                                : y < 20   ? std::array<int, 3>{255, 0, 0}
                                                           : std::array<int, 3>{0, 255, 0};
            ASSERT_EQ(RGB(px, x, y), expected) << x << "," << y;
        }
    // Stretched to 30 x 20 around (100, 60) it covers exactly 85..114 x 50..69, the right way up.
    for (int y = 45; y < 75; y++)
        for (int x = 80; x < 120; x++) {
            const auto c = RGB(px, x, y);
            const bool inside = x >= 85 && x < 115 && y >= 50 && y < 70;
            ASSERT_EQ(c[0] + c[1] + c[2] > 0, inside) << x << "," << y;
        }
    const auto top = RGB(px, 90, 53), bottom = RGB(px, 90, 66), right = RGB(px, 113, 60);
    EXPECT_TRUE(top[0] > 200 && top[1] < 50) << top[0] << " " << top[1];
    EXPECT_TRUE(bottom[1] > 200 && bottom[0] < 50) << bottom[0] << " " << bottom[1];
    EXPECT_TRUE(right[2] > 200 && right[0] + right[1] < 50);

    // A sprite whose material is freed draws nothing, quietly; quads waiting on a texture that is
    // freed before the batch goes out are dropped rather than drawn with another texture.
    MVE_FreeMaterial(material);
    EXPECT_EQ(MVE_DrawSprite(sprite, 100, 60), 0);
    MVE_ClearScreen(0xFF808080);
    const int other = MVE_CatchTexture(-1, png.data(), static_cast<int64_t>(png.size()), GL_NEAREST, "");
    ASSERT_EQ(MVE_DrawSprite(MVE_CreateSprite(-1, MVE_CreateMaterial(-1, other, 24, ""), 0, 0), 140, 20), 1);
    MVE_FreeTexture(other);
    EXPECT_EQ(RGB(Pixels(), 140, 20), (std::array<int, 3>{128, 128, 128}));
}

TEST_F(UI2DRender, BatchesBreakOnlyOnTextureColourOrFullBatch) {
    WriteFile("t.tf", FontFile(AtlasPNG(), GlyphPayload(3)));
    const int font = MVE_LoadFont(-1, "t.tf");
    ASSERT_NE(font, 0);
    MVE_FlushSprites();
    const unsigned int before = MVE_Engine().UI2D.uDrawCalls;
    std::string line(300, 'A');
    MVE_DrawText(font, 0, 0, line.c_str(), MVE_IGNORE, 1.0f, 0);  // 300 quads: 256 + 44
    MVE_DrawText(font, 0, 20, "VV", MVE_IGNORE, 1.0f, 0);          // same texture and colour: joins
    MVE_DrawText(font, 0, 40, "VV", 0xFF00FF00, 1.0f, 0);          // new colour: new batch
    MVE_DrawText(-1, 0, 60, "VV", 0xFF00FF00, 1.0f, 0);            // new texture: new batch
    MVE_FlushSprites();
    EXPECT_EQ(MVE_Engine().UI2D.uDrawCalls - before, 4u);
    // The logo (when the built-in one exists) draws in the bottom-right corner.
    if (MVE_Engine().Builtin.iLogoSprite) {
        MVE_ClearScreen(0xFF000000);
        MVE_DrawLogo();
        const std::vector<uint8_t> px = Pixels();
        int lit = 0;
        for (int y = 0; y < height_; y++)
            for (int x = 0; x < width_; x++) {
                const bool inCorner = x >= width_ - 103 && y >= height_ - 103;
                const auto c = RGB(px, x, y);
                if (!inCorner) ASSERT_EQ(c[0] + c[1] + c[2], 0) << x << "," << y;
                else lit += c[0] + c[1] + c[2] > 0;
            }
        EXPECT_GT(lit, 500);
    }
}

TEST_F(UI2DRender, PanelsStretchTheirMiddleAndKeepTheirCorners) {
    MVE_ClearScreen(0xFF000000);
    ASSERT_EQ(MVE_DrawPanel(20, 10, 80, 40, 0xFF0000FF), 1);   // red, 20..99 x 10..49
    ASSERT_EQ(MVE_DrawPanel(110, 60, 30, 20, 0xFF0000FF), 1);  // red, 110..139 x 60..79
    EXPECT_EQ(MVE_DrawPanel(0, 0, -5, 10, MVE_IGNORE), 0);
    const std::vector<uint8_t> px = Pixels();
    for (int x = 15; x < 105; x++)
        for (int y : {8, 9, 50, 51}) ASSERT_EQ(RGB(px, x, y), (std::array<int, 3>{0, 0, 0})) << x << "," << y;
    for (int y = 8; y < 52; y++)
        for (int x : {18, 19, 100, 101}) ASSERT_EQ(RGB(px, x, y), (std::array<int, 3>{0, 0, 0})) << x << "," << y;
    // Rounded corners, a bright rim, a slightly darker body that stretches evenly.
    EXPECT_LT(RGB(px, 20, 10)[0], 100);
    EXPECT_GT(RGB(px, 20, 30)[0], 230);
    EXPECT_GT(RGB(px, 60, 10)[0], 230);
    const auto body = RGB(px, 60, 30);
    EXPECT_NEAR(body[0], 209, 4);
    EXPECT_EQ(body[1] + body[2], 0);
    for (int x = 27; x < 93; x++) ASSERT_EQ(RGB(px, x, 30), body) << x;
    for (int y = 17; y < 43; y++) ASSERT_EQ(RGB(px, 60, y), body) << y;
    // The corners of a smaller panel are the same pixels.
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++) {
            ASSERT_EQ(RGB(px, 20 + x, 10 + y), RGB(px, 110 + x, 60 + y)) << x << "," << y;
            ASSERT_EQ(RGB(px, 99 - x, 49 - y), RGB(px, 139 - x, 79 - y)) << x << "," << y;
        }
}

// A panel lower than two corners (100 x 8) keeps corners 6 wide but only 4 high; one narrower
// than two corners (8 x 50) keeps them 6 high but 4 wide. Along their length both show the rim on
// their two long edges and the body between; their corners are the corner pixels of a large
// panel, cut to the height or width that fits.
TEST_F(UI2DRender, PanelsSmallerThanTheirCornersInOneDirection) {
    MVE_ClearScreen(0xFF000000);
    ASSERT_EQ(MVE_DrawPanel(20, 10, 40, 30, 0xFFFFFFFF), 1);   // 20..59 x 10..39, full corners
    ASSERT_EQ(MVE_DrawPanel(20, 60, 100, 8, 0xFFFFFFFF), 1);   // 20..119 x 60..67
    ASSERT_EQ(MVE_DrawPanel(140, 10, 8, 50, 0xFFFFFFFF), 1);   // 140..147 x 10..59
    const std::vector<uint8_t> px = Pixels();
    const int rim = 255, body = 209;  // the style's rim and its body at 82 %
    for (int x = 26; x <= 113; ++x)
        for (int y = 0; y < 8; ++y) {
            const int expected = y == 0 || y == 7 ? rim : body;
            ASSERT_NEAR(RGB(px, x, 60 + y)[0], expected, 2) << "wide panel, column " << x << ", row " << y;
        }
    for (int y = 16; y <= 53; ++y)
        for (int x = 0; x < 8; ++x) {
            const int expected = x == 0 || x == 7 ? rim : body;
            ASSERT_NEAR(RGB(px, 140 + x, y)[0], expected, 2) << "tall panel, row " << y << ", column " << x;
        }
    // Corners: the wide panel's are 6 x 4, the tall panel's 4 x 6, each as in the large panel.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(RGB(px, 20 + x, 60 + y), RGB(px, 20 + x, 10 + y)) << "top left " << x << "," << y;
            EXPECT_EQ(RGB(px, 119 - x, 60 + y), RGB(px, 59 - x, 10 + y)) << "top right " << x << "," << y;
            EXPECT_EQ(RGB(px, 20 + x, 67 - y), RGB(px, 20 + x, 39 - y)) << "bottom left " << x << "," << y;
            EXPECT_EQ(RGB(px, 119 - x, 67 - y), RGB(px, 59 - x, 39 - y)) << "bottom right " << x << "," << y;
            EXPECT_EQ(RGB(px, 140 + y, 10 + x), RGB(px, 20 + y, 10 + x)) << "tall top left " << y << "," << x;
            EXPECT_EQ(RGB(px, 147 - y, 59 - x), RGB(px, 59 - y, 39 - x)) << "tall bottom right " << y << "," << x;
        }
    EXPECT_EQ(RGB(px, 20, 60)[0], 0);  // the rounded corner leaves its very corner out
    EXPECT_EQ(RGB(px, 147, 59)[0], 0);
}

// Overlays drawn after a frame of turned objects, in every order a program meets: 2D before the
// scene in one frame and after it in the next, with the scene's last object turned about every
// axis. The overlay is where it was asked for, in exactly the pixels of a panel on an empty screen.
TEST_F(UI2DRender, OverlaysAfterTheSceneKeepTheirPlace) {
    MVE_ClearScreen(0xFF000000);
    ASSERT_EQ(MVE_DrawPanel(4, 4, 50, 24, 0xFF0000FF), 1);
    MVE_FlushSprites();
    const std::vector<uint8_t> alone = Pixels();

    MVE_EnableSun(1);
    MVE_SetBackgroundColor(0xFF000000);
    MVE_MoveCamera(0.0f, 1.0f, 4.0f, 0);
    MVE_PointCamera(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    const int box = MVE_CreateObject(-1, MVE_CreateBoxMesh(-1, 1.0f, 1.0f, 0, ""), -1, "", 0, 0);
    ASSERT_NE(box, 0);
    for (const float turn : {0.0f, 35.0f, 70.0f}) {
        MVE_RotateObject(box, turn, 2.0f * turn, -turn, 0);
        MVE_DrawText(-1, 0, 0, "2D first", MVE_IGNORE, 1.0f, MVE_IGNORE);
        MVE_FlushSprites();
        MVE_RenderWorld(-1);
        // Away from the panel the scene shows: the box stands in the middle of the screen.
        ASSERT_GT(RGB(Pixels(), width_ / 2, height_ / 2 + 4)[0], 0) << "turn " << turn;
        ASSERT_EQ(MVE_DrawPanel(4, 4, 50, 24, 0xFF0000FF), 1);
        MVE_FlushSprites();
        const std::vector<uint8_t> px = Pixels();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 60; ++x) {
                const bool inside = x >= 4 && x < 54 && y >= 4 && y < 28;
                const auto c = RGB(px, x, y), expected = RGB(alone, x, y);
                if (inside && expected[0] > 200) {
                    ASSERT_EQ(c, expected) << "turn " << turn << " at " << x << "," << y;
                } else if (!inside) {
                    ASSERT_EQ(c[0], c[1]) << "red outside the panel, turn " << turn << " at " << x << "," << y;
                }
            }
        MVE_FlipBuffers();
    }
}

}  // namespace
}  // namespace mvetest
