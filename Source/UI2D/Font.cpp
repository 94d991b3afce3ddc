// Bitmap fonts: the chunked font file (FontFormat.h), its atlas texture and the built-in font.
// Main thread only (GL). A font file is read whole through the file door; nothing it holds may
// throw past the loader or make it allocate more than the data present can fill.
#include "UI2D/UI2D.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include "Platform/Platform.h"
#include "Reload/Reload.h"
#include "UI2D/FontFormat.h"
#include <algorithm>
#include <cstring>
#include <new>

// The built-in font, embedded at build time (Builtin/Default.tf).
extern const unsigned char MVE_BuiltinFontData[];
extern const size_t MVE_BuiltinFontSize;

namespace {

const char *kProcedure = "MVE_LoadFont";
constexpr unsigned char kPNGSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::string At(size_t offset) { return " at byte " + std::to_string(offset); }

// A hostile file can hold millions of damaged tables: the log gets the first few and one row more.
constexpr size_t kMaxProblems = 16;
void Report(std::vector<std::string> &problems, std::string text) {
    if (problems.size() < kMaxProblems) problems.push_back(std::move(text));
    else if (problems.size() == kMaxProblems) problems.push_back("Fail: Further problems of this font file are left out!");
}

void ReadGlyphTable(const unsigned char *p, size_t size, size_t offset, MVE_FONT_DATA &font,
                    std::vector<std::string> &problems) {
    if (size < 4) {
        Report(problems, "Fail: Glyph table" + At(offset) + " has no glyph count!");
        return;
    }
    const uint32_t count = mvefont::ReadU32(p);
    const size_t present = (size - 4) / mvefont::kGlyphRecord;
    size_t n = count;
    if (count > present) {
        // The records that are there passed the CRC: keep them rather than lose the font.
        Report(problems, "Fail: Glyph table" + At(offset) + " claims " + std::to_string(count) +
                           " glyphs but holds " + std::to_string(present) + "!");
        n = present;
    }
    size_t refused = 0;
    for (size_t i = 0; i < n; i++) {
        const unsigned char *r = p + 4 + i * mvefont::kGlyphRecord;
        MVE_FONT_GLYPH g;
        g.uCode = mvefont::ReadU16(r);
        g.iX = mvefont::ReadS16(r + 2);
        g.iY = mvefont::ReadS16(r + 4);
        g.iWidth = mvefont::ReadS16(r + 6);
        g.iHeight = mvefont::ReadS16(r + 8);
        g.iXOffset = mvefont::ReadS16(r + 10);
        g.iYOffset = mvefont::ReadS16(r + 12);
        g.iAdvance = mvefont::ReadS16(r + 14);
        g.iReserved = mvefont::ReadS16(r + 16);
        if (g.iX < 0 || g.iY < 0 || g.iWidth < 0 || g.iHeight < 0) {
            refused++;
            continue;
        }
        font.Glyphs.push_back(g);
    }
    if (refused)
        Report(problems, "Fail: " + std::to_string(refused) + " glyphs" + At(offset) +
                           " have a negative atlas box and are left out!");
}

void ReadKerningTable(const unsigned char *p, size_t size, size_t offset, MVE_FONT_DATA &font,
                      std::vector<std::string> &problems) {
    if (size < 4) {
        Report(problems, "Fail: Kerning table" + At(offset) + " has no pair count!");
        return;
    }
    const uint32_t count = mvefont::ReadU32(p);
    const size_t present = (size - 4) / mvefont::kKerningRecord;
    size_t n = count;
    if (count > present) {
        Report(problems, "Fail: Kerning table" + At(offset) + " claims " + std::to_string(count) +
                           " pairs but holds " + std::to_string(present) + "!");
        n = present;
    }
    for (size_t i = 0; i < n; i++) {
        const unsigned char *r = p + 4 + i * mvefont::kKerningRecord;
        const uint32_t key = (static_cast<uint32_t>(mvefont::ReadU16(r)) << 16) | mvefont::ReadU16(r + 2);
        const int16_t amount = mvefont::ReadS16(r + 4);
        if (amount) font.Kerning[key] = amount;
        else font.Kerning.erase(key);
    }
}

}  // namespace

int MVE_ReadFontData(const unsigned char *data, size_t size, MVE_FONT_DATA &font, std::vector<std::string> &problems) {
    font = MVE_FONT_DATA();
    if (!data || size < sizeof mvefont::kMagic || std::memcmp(data, mvefont::kMagic, sizeof mvefont::kMagic) != 0) {
        Report(problems, "Fail: Not a font file (wrong magic)!");
        return 0;
    }
    size_t pos = sizeof mvefont::kMagic;
    bool ended = false, stopped = false;
    while (pos < size && !ended) {
        const size_t left = size - pos;
        if (left < mvefont::kChunkHeader + 4) {
            Report(problems, "Fail: Font chunk" + At(pos) + " is truncated, reading stops there!");
            stopped = true;
            break;
        }
        const uint32_t length = mvefont::ReadU32(data + pos);
        const uint32_t crc = mvefont::ReadU32(data + pos + 4);
        if (length < 4 || length > left - mvefont::kChunkHeader) {
            Report(problems, "Fail: Font chunk" + At(pos) + (length < 4 ? " has a bad size" : " is truncated") +
                               ", reading stops there!");
            stopped = true;
            break;
        }
        const unsigned char *body = data + pos + mvefont::kChunkHeader;
        if (mvefont::Crc32(body, length) != crc) {
            Report(problems, "Fail: Font chunk" + At(pos) + " fails its CRC check, reading stops there!");
            stopped = true;
            break;
        }
        const uint32_t type = mvefont::ReadU32(body);
        const unsigned char *payload = body + 4;
        const size_t payloadSize = length - 4;
        const size_t offset = pos;
        pos += mvefont::kChunkHeader + length;
        font.iChunks++;
        switch (type) {
            case mvefont::kChunkEnd:
                ended = true;
                break;
            case mvefont::kChunkAtlas:
                if (!font.Atlas.empty()) break;  // the first atlas counts
                if (payloadSize < sizeof kPNGSignature || std::memcmp(payload, kPNGSignature, sizeof kPNGSignature) != 0)
                    Report(problems, "Fail: Font atlas" + At(offset) + " is not a PNG image!");
                else
                    font.Atlas.assign(reinterpret_cast<const char *>(payload), payloadSize);
                break;
            case mvefont::kChunkGlyphs:
                ReadGlyphTable(payload, payloadSize, offset, font, problems);
                break;
            case mvefont::kChunkKerning:
                ReadKerningTable(payload, payloadSize, offset, font, problems);
                break;
            case mvefont::kChunkMetrics:
                if (payloadSize >= 8) {
                    font.iPixelSize = mvefont::ReadS16(payload);
                    font.iLineHeight = mvefont::ReadS16(payload + 2);
                    font.iAscender = mvefont::ReadS16(payload + 4);
                    font.iDescender = mvefont::ReadS16(payload + 6);
                }
                break;
            default:
                break;  // a later kind of chunk: skipped
        }
    }
    if (!ended && !stopped) Report(problems, "Fail: Font file ends without its end chunk!");

    // Code look-up; a repeated code keeps its last record.
    uint32_t maxCode = 0;
    for (const MVE_FONT_GLYPH &g : font.Glyphs) maxCode = std::max(maxCode, g.uCode);
    if (!font.Glyphs.empty()) {
        font.Lookup.assign(maxCode + 1, 0);
        font.KernedLeft.assign(maxCode + 1, 0);
        for (size_t i = 0; i < font.Glyphs.size(); i++) font.Lookup[font.Glyphs[i].uCode] = static_cast<uint16_t>(i + 1);
        for (const auto &pair : font.Kerning)
            if ((pair.first >> 16) <= maxCode) font.KernedLeft[pair.first >> 16] = 1;
    }
    if (font.iLineHeight <= 0) {
        int bottom = 1;
        for (const MVE_FONT_GLYPH &g : font.Glyphs) bottom = std::max(bottom, g.iYOffset + g.iHeight);
        font.iLineHeight = bottom;
    }
    if (font.Glyphs.empty()) Report(problems, "Fail: The font file holds no glyphs!");
    if (font.Atlas.empty()) Report(problems, "Fail: The font file holds no glyph atlas!");
    return !font.Glyphs.empty() && !font.Atlas.empty();
}

const MVE_FONT_GLYPH *MVE_FindGlyph(const MVE_FONT_DATA &font, uint32_t code) {
    if (code >= font.Lookup.size()) return nullptr;
    const uint16_t index = font.Lookup[code];
    return index ? &font.Glyphs[index - 1u] : nullptr;
}

int MVE_FontKerning(const MVE_FONT_DATA &font, uint32_t left, uint32_t right) {
    if (left >= font.KernedLeft.size() || !font.KernedLeft[left]) return 0;
    auto it = font.Kerning.find((left << 16) | right);
    return it == font.Kerning.end() ? 0 : it->second;
}

MVE_FONT *MVE_FindFont(int id) {
    if (id == -1 || id == MVE_IGNORE) id = MVE_Engine().UI2D.iDefaultFont;
    return MVE_GetFont(id);
}

void MVE_ReleaseFont(MVE_FONT *font) {
    if (font->uTexture && MVE_Engine().GL.iLoaded) {
        MVE_FlushSprites();  // a waiting quad may still sample the atlas
        MVE_gl().glDeleteTextures(1, &font->uTexture);
    }
    font->uTexture = 0;
}

namespace {

// The decoded atlas as RGBA rows, top row first.
std::vector<uint8_t> AtlasPixels(const MVE_IMAGE &image) {
    const size_t w = static_cast<size_t>(image.iWidth), h = static_cast<size_t>(image.iHeight);
    std::vector<uint8_t> rgba(w * h * 4);
    const size_t bpp = static_cast<size_t>(image.iBytesPerPixel);
    const bool bgr = image.iFormat == MVE_PIXELS_BGR || image.iFormat == MVE_PIXELS_BGRA;
    for (size_t y = 0; y < h; y++) {
        const uint8_t *src = image.pPixels + (image.iBottomUp ? h - 1 - y : y) * w * bpp;
        uint8_t *dst = &rgba[y * w * 4];
        for (size_t x = 0; x < w; x++, src += bpp, dst += 4) {
            dst[0] = bgr ? src[2] : src[0];
            dst[1] = src[1];
            dst[2] = bgr ? src[0] : src[2];
            dst[3] = bpp == 4 ? src[3] : 255;
        }
    }
    return rgba;
}

// Uploads the atlas as an RGBA texture with linear filtering and clamped edges.
unsigned int UploadAtlas(const std::vector<uint8_t> &rgba, const MVE_IMAGE &image) {
    const MVE_GL_TABLE &gl = MVE_gl();
    unsigned int texture = 0;
    gl.glGenTextures(1, &texture);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.iWidth, image.iHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// A font file's content, read and decoded before any entry or GL object is touched.
struct FontRead {
    MVE_FONT_DATA Data;
    MVE_IMAGE Image;
    std::vector<uint8_t> Rgba;
};

int ReadFont(const unsigned char *bytes, size_t size, FontRead &out) {
    std::vector<std::string> problems;
    const int usable = MVE_ReadFontData(bytes, size, out.Data, problems);
    for (const std::string &p : problems) MVE_LogFail(p, kProcedure);
    if (!usable) return 0;

    std::string error;
    if (!MVE_PlatformCatchImage(out.Data.Atlas.data(), out.Data.Atlas.size(), out.Image, error)) {
        MVE_LogFail("Fail: Font atlas: " + error, kProcedure);
        return 0;
    }
    // A box outside the atlas would sample its neighbours' pixels: such glyphs keep their advance
    // but draw nothing.
    size_t outside = 0;
    for (MVE_FONT_GLYPH &g : out.Data.Glyphs)
        if (g.iX + g.iWidth > out.Image.iWidth || g.iY + g.iHeight > out.Image.iHeight) {
            g.iWidth = g.iHeight = 0;
            outside++;
        }
    if (outside) MVE_LogFail("Fail: " + std::to_string(outside) + " glyphs lie outside the atlas!", kProcedure);
    // Everything that may run out of memory happens before the entry exists.
    if (MVE_Engine().GL.iLoaded) out.Rgba = AtlasPixels(out.Image);
    return 1;
}

// What was read takes the place of the font's content (its atlas texture is made anew).
void PutFont(MVE_FONT *font, FontRead &in) {
    MVE_ReleaseFont(font);
    font->Data = std::move(in.Data);
    font->iAtlasWidth = in.Image.iWidth;
    font->iAtlasHeight = in.Image.iHeight;
    if (MVE_Engine().GL.iLoaded) font->uTexture = UploadAtlas(in.Rgba, in.Image);
}

int LoadFontData(int id, const unsigned char *bytes, size_t size) {
    FontRead in;
    if (!ReadFont(bytes, size, in)) return 0;
    int handle = 0;
    MVE_FONT *font = MVE_CreateFontListEntry(&id, nullptr, &handle);
    if (!font) {
        MVE_LogFail(MVE_FAIL_ID_NOT_AVAILABLE, kProcedure);
        return 0;
    }
    PutFont(font, in);
    MVE_LogDetail("Glyphs: ", static_cast<long long>(font->Data.Glyphs.size()), kProcedure);
    MVE_LogOK(kProcedure);
    return handle;
}

// Nothing thrown while a font is read may leave the engine: memory that cannot be had is a red row.
int LoadFontBytes(int id, const unsigned char *bytes, size_t size) {
    try {
        return LoadFontData(id, bytes, size);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, kProcedure);
        return 0;
    }
}

std::string FilePartOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int ReloadFontFile(int handle, const std::string &path);

void BindFontFile(MVE_ReloadScope &scope, int handle, const std::string &path) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_FONT;
    target.iHandle = handle;
    target.sName = FilePartOf(path);
    scope.Bind(target, [handle, path = MVE_ReloadPath(path)] { return ReloadFontFile(handle, path); });
}

// The file again into the font that is there: texts drawn with its ID use the new glyphs.
int ReloadFontFile(int handle, const std::string &path) {
    MVE_ReloadScope scope;
    std::vector<uint8_t> bytes;
    std::string failure;
    if (!MVE_ReadRegularFile(path.c_str(), MVE_FILE_FONT, bytes, failure)) {
        MVE_LogFail(failure, kProcedure);
        return 0;
    }
    try {
        FontRead in;
        if (!ReadFont(bytes.data(), bytes.size(), in)) return 0;
        MVE_FONT *font = MVE_GetFont(handle);
        if (!font) return 0;
        PutFont(font, in);
    } catch (const std::bad_alloc &) {
        MVE_LogFail(MVE_FAIL_OUT_OF_MEMORY, kProcedure);
        return 0;
    }
    BindFontFile(scope, handle, path);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadFont(int id, const char *file) {
    const std::string path = file ? file : "";
    MVE_LogHeading("Load Font: " + path, __LINE__, __FILE__, kProcedure);
    MVE_ReloadScope scope;
    std::vector<uint8_t> bytes;
    std::string failure;
    if (!MVE_ReadRegularFile(path.c_str(), MVE_FILE_FONT, bytes, failure)) {
        MVE_LogFail(failure, kProcedure);
        return 0;
    }
    const int handle = LoadFontBytes(id, bytes.data(), bytes.size());
    if (handle) BindFontFile(scope, handle, path);
    return handle;
}

void MVE_StartupBuiltinFont() {
    MVE_LogHeading("Load Font: (built-in)", __LINE__, __FILE__, kProcedure);
    MVE_Engine().UI2D.iDefaultFont = LoadFontBytes(-1, MVE_BuiltinFontData, MVE_BuiltinFontSize);
}
