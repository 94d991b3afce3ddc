// mve-fontbuilder: renders a TrueType/OpenType font with FreeType into the engine's font file
// (PNG glyph atlas, glyph table, kerning pairs, line metrics; layout in Source/UI2D/FontFormat.h).
//
//   mve-fontbuilder <font.ttf> <out.tf> <pixel size> [ranges]
//
// ranges: comma-separated code points or spans in hexadecimal, e.g. "20-7E,A0-FF,20AC".
// Default: printable ASCII, Latin-1, dashes, quotes, bullet, ellipsis and the euro sign.
// Code points the font has no glyph for are left out (the engine draws nothing for them).
#include "UI2D/FontFormat.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

namespace {

struct Glyph {
    uint32_t code = 0;
    int width = 0, height = 0;            // bitmap size
    int left = 0, top = 0;                // FreeType bearings (top: above the baseline)
    int advance = 0;
    std::vector<unsigned char> coverage;  // width * height bytes
    int atlasX = 0, atlasY = 0;
};

const char *kDefaultRanges = "20-7E,A0-FF,2013-2014,2018-201A,201C-201E,2022,2026,20AC";
constexpr int kGap = 2;  // transparent pixels between glyph boxes, so filtering never bleeds

bool ParseRanges(const char *text, std::vector<uint32_t> &codes) {
    std::string s(text);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t comma = s.find(',', pos);
        std::string item = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (!item.empty()) {
            char *end = nullptr;
            unsigned long first = std::strtoul(item.c_str(), &end, 16), last = first;
            if (end == item.c_str()) return false;
            if (*end == '-') {
                const char *second = end + 1;
                last = std::strtoul(second, &end, 16);
                if (end == second) return false;
            }
            if (*end != '\0' || first > last || last > 0xFFFF) return false;
            for (unsigned long c = first; c <= last; c++) codes.push_back(static_cast<uint32_t>(c));
        }
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return !codes.empty();
}

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), length);
}

// RGBA rows, white with the coverage as alpha.
bool EncodePNG(const std::vector<unsigned char> &alpha, int width, int height, std::string &out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &out, WriteToString, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            unsigned char *p = &row[static_cast<size_t>(x) * 4];
            p[0] = p[1] = p[2] = 255;
            p[3] = alpha[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Shelf packing, tallest glyphs first, into `width` columns. Returns the height used.
int Pack(std::vector<Glyph *> &order, int width) {
    int x = kGap, y = kGap, shelf = 0;
    for (Glyph *g : order) {
        if (g->width == 0 || g->height == 0) continue;
        if (g->width + 2 * kGap > width) return -1;
        if (x + g->width + kGap > width) {
            x = kGap;
            y += shelf + kGap;
            shelf = 0;
        }
        g->atlasX = x;
        g->atlasY = y;
        x += g->width + kGap;
        shelf = std::max(shelf, g->height);
    }
    return y + shelf + kGap;
}

int NextPowerOfTwo(int v) {
    int p = 1;
    while (p < v) p <<= 1;
    return p;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: %s <font.ttf> <out.tf> <pixel size> [ranges, hex: 20-7E,A0-FF]\n", argv[0]);
        return 2;
    }
    const int pixelSize = std::atoi(argv[3]);
    if (pixelSize < 4 || pixelSize > 256) {
        std::fprintf(stderr, "pixel size must be 4 .. 256\n");
        return 2;
    }
    std::vector<uint32_t> codes;
    if (!ParseRanges(argc == 5 ? argv[4] : kDefaultRanges, codes)) {
        std::fprintf(stderr, "bad code point ranges\n");
        return 2;
    }

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face)) {
        std::fprintf(stderr, "cannot open font %s\n", argv[1]);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    const int ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    const int descender = static_cast<int>(face->size->metrics.descender >> 6);
    const int lineHeight = static_cast<int>((face->size->metrics.height + 63) >> 6);

    std::vector<Glyph> glyphs;
    std::vector<FT_UInt> indices;
    for (uint32_t code : codes) {
        FT_UInt index = FT_Get_Char_Index(face, code);
        if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap &bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows) continue;
        Glyph g;
        g.code = code;
        g.width = static_cast<int>(bitmap.width);
        g.height = static_cast<int>(bitmap.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
        for (int y = 0; y < g.height; y++)
            std::memcpy(&g.coverage[static_cast<size_t>(y) * static_cast<size_t>(g.width)],
                        bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch, static_cast<size_t>(g.width));
        glyphs.push_back(std::move(g));
        indices.push_back(index);
    }
    if (glyphs.empty()) {
        std::fprintf(stderr, "the font has none of the requested characters\n");
        return 1;
    }

    std::vector<Glyph *> order;
    for (Glyph &g : glyphs) order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [](const Glyph *a, const Glyph *b) { return a->height > b->height; });
    int width = 64, height = -1;
    for (; width <= 4096; width *= 2) {
        height = Pack(order, width);
        if (height > 0 && height <= width) break;
    }
    if (height <= 0 || width > 4096) {
        std::fprintf(stderr, "the glyphs do not fit a 4096 x 4096 atlas\n");
        return 1;
    }
    height = NextPowerOfTwo(height);
    std::vector<unsigned char> atlas(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (const Glyph &g : glyphs)
        for (int y = 0; y < g.height; y++)
            std::memcpy(&atlas[static_cast<size_t>(g.atlasY + y) * static_cast<size_t>(width) + static_cast<size_t>(g.atlasX)],
                        &g.coverage[static_cast<size_t>(y) * static_cast<size_t>(g.width)], static_cast<size_t>(g.width));
    std::string png;
    if (!EncodePNG(atlas, width, height, png)) {
        std::fprintf(stderr, "PNG encoding failed\n");
        return 1;
    }

    std::string table;
    mvefont::PutU32(table, static_cast<uint32_t>(glyphs.size()));
    for (const Glyph &g : glyphs) {
        const int16_t fields[8] = {static_cast<int16_t>(g.atlasX), static_cast<int16_t>(g.atlasY),
                                   static_cast<int16_t>(g.width), static_cast<int16_t>(g.height),
                                   static_cast<int16_t>(g.left), static_cast<int16_t>(ascender - g.top),
                                   static_cast<int16_t>(g.advance), 0};
        mvefont::PutU16(table, g.code);
        for (int16_t f : fields) mvefont::PutU16(table, static_cast<uint16_t>(f));
    }

    // Kerning of every ordered pair, kept where it moves the pen by at least one pixel.
    std::string kerning;
    uint32_t pairs = 0;
    if (FT_HAS_KERNING(face)) {
        for (size_t a = 0; a < glyphs.size(); a++)
            for (size_t b = 0; b < glyphs.size(); b++) {
                FT_Vector delta;
                if (FT_Get_Kerning(face, indices[a], indices[b], FT_KERNING_DEFAULT, &delta)) continue;
                const long amount = (delta.x >= 0 ? delta.x + 32 : delta.x - 32) / 64;
                if (amount == 0) continue;
                mvefont::PutU16(kerning, glyphs[a].code);
                mvefont::PutU16(kerning, glyphs[b].code);
                mvefont::PutU16(kerning, static_cast<uint16_t>(static_cast<int16_t>(amount)));
                pairs++;
            }
    }
    std::string kerningChunk;
    mvefont::PutU32(kerningChunk, pairs);
    kerningChunk += kerning;

    std::string metrics;
    for (int v : {pixelSize, lineHeight, ascender, descender})
        mvefont::PutU16(metrics, static_cast<uint16_t>(static_cast<int16_t>(v)));

    std::string file = mvefont::Magic();
    mvefont::PutChunk(file, mvefont::kChunkMetrics, metrics);
    mvefont::PutChunk(file, mvefont::kChunkAtlas, png);
    mvefont::PutChunk(file, mvefont::kChunkGlyphs, table);
    if (pairs) mvefont::PutChunk(file, mvefont::kChunkKerning, kerningChunk);
    mvefont::PutChunk(file, mvefont::kChunkEnd, "");

    std::ofstream out(argv[2], std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu glyphs, %u kerning pairs, atlas %d x %d, line %d px, %zu bytes\n", argv[2],
                glyphs.size(), pairs, width, height, lineHeight, file.size());
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
