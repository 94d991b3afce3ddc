// Sprites and text through one quad batch. Quads wait in the batch until the texture, program,
// colour or blend factors change, the batch is full (256 quads), or something else is about to
// draw or read the screen (MVE_FlushSprites); then they go to GL in one draw call.
#include "UI2D/UI2D.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <cmath>
#include <cstring>

namespace {

constexpr int kVertexBytes = static_cast<int>(sizeof(MVE_SPRITE_VERTEX));
static_assert(sizeof(MVE_SPRITE_VERTEX) == 24, "the batch's vertex layout is 24 bytes");

MVE_UI2D_STATE &UI() { return MVE_Engine().UI2D; }
bool GLReady() { return MVE_Engine().GL.iLoaded != 0; }

// A bad ID is reported once per procedure until a different bad ID comes, so a draw call in a
// frame loop cannot flood the log.
void ReportBadID(int &last, int &reported, int id, const std::string &message, const char *procedure) {
    if (reported && last == id) return;
    last = id;
    reported = 1;
    MVE_LogFail(message, procedure);
}

struct BatchKey {
    unsigned int uTexture, uProgram;
    v4f v4fColor;
    unsigned int uBlendSource, uBlendDestination;
};

bool SameKey(const MVE_UI2D_STATE &ui, const BatchKey &k) {
    return ui.uBatchTexture == k.uTexture && ui.uBatchProgram == k.uProgram &&
           ui.v4fBatchColor.x == k.v4fColor.x && ui.v4fBatchColor.y == k.v4fColor.y &&
           ui.v4fBatchColor.z == k.v4fColor.z && ui.v4fBatchColor.w == k.v4fColor.w &&
           ui.uBatchBlendSource == k.uBlendSource && ui.uBatchBlendDestination == k.uBlendDestination;
}

// Room for one more quad under `key`; returns its four vertices.
MVE_SPRITE_VERTEX *Reserve(const BatchKey &key, int &colorSlot, int &mapSlot) {
    MVE_UI2D_STATE &ui = UI();
    if (ui.iQuads && (!SameKey(ui, key) || ui.iQuads == MVE_SPRITE_BATCH_QUADS)) MVE_FlushSprites();
    if (!ui.iQuads) {
        ui.uBatchTexture = key.uTexture;
        ui.uBatchProgram = key.uProgram;
        ui.v4fBatchColor = key.v4fColor;
        ui.iBatchColorSlot = colorSlot;
        ui.iBatchMapSlot = mapSlot;
        ui.uBatchBlendSource = key.uBlendSource;
        ui.uBatchBlendDestination = key.uBlendDestination;
    }
    return &ui.Quads[static_cast<size_t>(ui.iQuads++) * 4];
}

// Corners in the order the index pattern expects: top-left, top-right, bottom-right, bottom-left.
inline void PutQuad(MVE_SPRITE_VERTEX *q, float left, float top, float right, float bottom, float u0, float v0,
                    float u1, float v1) {
    q[0] = {left, top, 0.0f, 1.0f, u0, v0};
    q[1] = {right, top, 0.0f, 1.0f, u1, v0};
    q[2] = {right, bottom, 0.0f, 1.0f, u1, v1};
    q[3] = {left, bottom, 0.0f, 1.0f, u0, v1};
}

// The textured-sprite program, or null before the shaders are built.
MVE_SHADER *SpriteProgram() { return MVE_GetBuiltinShader(MVE_PROGRAM_TEXTURED_SPRITE); }

v4f UnpackColor(uint32_t color) {
    v4f c = {1, 1, 1, 1};
    if (color != static_cast<uint32_t>(MVE_IGNORE)) MVE_v4fColor(&c, color);
    return c;
}

// Decodes one UTF-8 sequence; malformed input gives U+FFFD and moves on by one byte.
uint32_t NextCodePoint(const unsigned char *&p) {
    const unsigned char c = *p++;
    if (c < 0x80) return c;
    const int extra = c >= 0xF5 ? -1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    uint32_t code = c & (0x3F >> extra);
    const unsigned char *q = p;
    for (int i = 0; i < extra; i++, q++) {
        if ((*q & 0xC0) != 0x80) return 0xFFFD;  // also stops at the terminator
        code = (code << 6) | (*q & 0x3F);
    }
    static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
    p = q;
    return code;
}

// Width in pixels (unscaled) of the line starting at p, up to a line break or the end. Summed in 64
// bits: a long line of wide glyphs passes any 32-bit sum (65 536 glyphs of the widest advance).
int64_t LineWidth(const MVE_FONT_DATA &font, const unsigned char *p) {
    int64_t pen = 0, widest = 0;
    uint32_t previous = 0;
    const MVE_FONT_GLYPH *space = MVE_FindGlyph(font, ' ');
    while (*p && *p != '\n') {
        const uint32_t code = NextCodePoint(p);
        if (code == '\t') {
            pen += 4 * (space ? space->iAdvance : font.iLineHeight / 4);
            previous = 0;
            continue;
        }
        const MVE_FONT_GLYPH *g = MVE_FindGlyph(font, code);
        if (!g) continue;
        if (previous) pen += MVE_FontKerning(font, previous, code);
        widest = std::max<int64_t>(widest, pen + g->iXOffset + g->iWidth);
        pen += g->iAdvance;
        previous = code;
    }
    return std::max(widest, pen);
}

float Scale(float scale) {
    return (std::isfinite(scale) && scale > 0.0f && scale != MVE_IGNORE_F) ? scale : 1.0f;
}

}  // namespace

void MVE_StartupSpriteBatch() {
    MVE_UI2D_STATE &ui = UI();
    ui.iQuads = 0;
    ui.uDrawCalls = 0;
    if (!GLReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    uint32_t indices[MVE_SPRITE_BATCH_QUADS * 6];
    for (uint32_t i = 0; i < MVE_SPRITE_BATCH_QUADS; i++) {
        const uint32_t pattern[6] = {4 * i + 3, 4 * i + 1, 4 * i, 4 * i + 3, 4 * i + 2, 4 * i + 1};
        std::memcpy(&indices[6 * i], pattern, sizeof pattern);
    }
    gl.glGenVertexArrays(1, &ui.uBatchArray);
    gl.glBindVertexArray(ui.uBatchArray);
    gl.glGenBuffers(1, &ui.uBatchVertices);
    gl.glBindBuffer(GL_ARRAY_BUFFER, ui.uBatchVertices);
    gl.glBufferData(GL_ARRAY_BUFFER, MVE_SPRITE_BATCH_QUADS * 4 * kVertexBytes, nullptr, GL_DYNAMIC_DRAW);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kVertexBytes, reinterpret_cast<const void *>(0));
    gl.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kVertexBytes, reinterpret_cast<const void *>(16));
    gl.glEnableVertexAttribArray(0);
    gl.glEnableVertexAttribArray(2);
    gl.glGenBuffers(1, &ui.uBatchIndices);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ui.uBatchIndices);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void MVE_DrawOverlay(unsigned int vertexArray, int indices, unsigned int texture, unsigned int program,
                     int mapSlot, int colorSlot, const v4f &color, unsigned int blendSource,
                     unsigned int blendDestination) {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GL_TABLE &gl = MVE_gl();
    // Overlays draw on top of everything and from either side; the caller's switches come back.
    const GLboolean depth = gl.glIsEnabled(GL_DEPTH_TEST), cull = gl.glIsEnabled(GL_CULL_FACE),
                    blend = gl.glIsEnabled(GL_BLEND);
    if (depth) gl.glDisable(GL_DEPTH_TEST);
    if (cull) gl.glDisable(GL_CULL_FACE);
    if (!blend) gl.glEnable(GL_BLEND);
    if (e.GL.uBlendSource != blendSource || e.GL.uBlendDestination != blendDestination) {
        e.GL.uBlendSource = blendSource;
        e.GL.uBlendDestination = blendDestination;
        gl.glBlendFunc(blendSource, blendDestination);
    }
    // The model matrix is written only when something else changed it: rewriting a uniform buffer
    // that queued draws still read makes the driver wait for them.
    static const m4f kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    const std::vector<unsigned char> &model = e.Shader.Buffers[MVE_BUFFER_MODEL].Data;
    if (model.size() < sizeof kIdentity || std::memcmp(model.data(), &kIdentity, sizeof kIdentity) != 0)
        MVE_WriteShaderBuffer(MVE_BUFFER_MODEL, 0, &kIdentity, sizeof kIdentity);
    gl.glUseProgram(program);
    gl.glUniform1i(mapSlot, 0);
    gl.glUniform4fv(colorSlot, 1, &color.x);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glBindVertexArray(vertexArray);
    gl.glDrawElements(GL_TRIANGLES, indices, GL_UNSIGNED_INT, nullptr);
    e.UI2D.uDrawCalls++;
    gl.glBindVertexArray(0);
    if (depth) gl.glEnable(GL_DEPTH_TEST);
    if (cull) gl.glEnable(GL_CULL_FACE);
    if (!blend) gl.glDisable(GL_BLEND);
}

void MVE_FlushSprites() {
    MVE_UI2D_STATE &ui = UI();
    const int quads = ui.iQuads;
    ui.iQuads = 0;
    if (!quads || !GLReady() || !ui.uBatchArray || !ui.uBatchProgram) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    // A texture freed while its quads waited: they would sample whatever texture is bound instead.
    if (!gl.glIsTexture(ui.uBatchTexture)) return;
    gl.glBindBuffer(GL_ARRAY_BUFFER, ui.uBatchVertices);
    // Orphaning the store lets the driver keep drawing the previous batch from the old one.
    gl.glBufferData(GL_ARRAY_BUFFER, MVE_SPRITE_BATCH_QUADS * 4 * kVertexBytes, nullptr, GL_DYNAMIC_DRAW);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(quads) * 4 * kVertexBytes, ui.Quads);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    MVE_DrawOverlay(ui.uBatchArray, quads * 6, ui.uBatchTexture, ui.uBatchProgram, ui.iBatchMapSlot,
                    ui.iBatchColorSlot, ui.v4fBatchColor, ui.uBatchBlendSource, ui.uBatchBlendDestination);
}

void MVE_ShutdownUI2D() {
    MVE_UI2D_STATE &ui = UI();
    ui.iQuads = 0;
    if (GLReady()) {
        const MVE_GL_TABLE &gl = MVE_gl();
        for (unsigned int *array : {&ui.uBatchArray, &ui.uPanelArray})
            if (*array) gl.glDeleteVertexArrays(1, array);
        for (unsigned int *buffer : {&ui.uBatchVertices, &ui.uBatchIndices, &ui.uPanelVertices, &ui.uPanelIndices})
            if (*buffer) gl.glDeleteBuffers(1, buffer);
        if (ui.uGUITexture) gl.glDeleteTextures(1, &ui.uGUITexture);
    }
    ui.uBatchArray = ui.uBatchVertices = ui.uBatchIndices = 0;
    ui.uPanelArray = ui.uPanelVertices = ui.uPanelIndices = ui.uGUITexture = 0;
}

// ---------------------------------------------------------------- Sprites

extern "C" int MVE_CreateSprite(int id, int material, float width, float height) {
    static const char *kProcedure = "MVE_CreateSprite";
    if (!MVE_GetMaterial(material)) {
        MVE_LogFail("Fail: Material " + std::to_string(material) + " not found!", kProcedure);
        return 0;
    }
    if (width == MVE_IGNORE_F) width = 0.0f;
    if (height == MVE_IGNORE_F) height = 0.0f;
    if (!std::isfinite(width) || !std::isfinite(height) || width < 0 || height < 0) {
        MVE_LogFail("Fail: A sprite's size must be 0 (the texture's) or positive!", kProcedure);
        return 0;
    }
    int handle = 0;
    MVE_SPRITE *sprite = MVE_CreateSpriteListEntry(&id, nullptr, &handle);
    if (!sprite) {
        MVE_LogFail(MVE_FAIL_ID_NOT_AVAILABLE, kProcedure);
        return 0;
    }
    // Kept as a handle: a material freed later (or replaced under its static ID) is noticed at draw time.
    sprite->iMaterial = MVE_GetMaterialHandle(material);
    sprite->fWidth = width;
    sprite->fHeight = height;
    return handle;
}

extern "C" int MVE_DrawSprite(int id, float x, float y) {
    static const char *kProcedure = "MVE_DrawSprite";
    const MVE_SPRITE *sprite = MVE_GetSprite(id);
    if (!sprite) {
        ReportBadID(UI().iBadSprite, UI().iBadSpriteReported, id, "Fail: Sprite " + std::to_string(id) + " not found!", kProcedure);
        return 0;
    }
    const MVE_MATERIAL *material = MVE_GetMaterial(sprite->iMaterial);
    const MVE_TEXTURE *texture = material ? material->Texture[0] : nullptr;
    MVE_SHADER *program = SpriteProgram();
    if (!texture || !texture->iTexture || texture->iTarget != GL_TEXTURE_2D || !program || !std::isfinite(x) ||
        !std::isfinite(y))
        return 0;
    const float w = sprite->fWidth > 0 ? sprite->fWidth : static_cast<float>(texture->iWidth);
    const float h = sprite->fHeight > 0 ? sprite->fHeight : static_cast<float>(texture->iHeight);
    int colorSlot = MVE_ShaderSlot(program, 1), mapSlot = MVE_ShaderSlot(program, 0);
    const BatchKey key = {texture->iTexture, program->uProgram, material->v4fColor,
                          static_cast<unsigned int>(material->iBlendSource),
                          static_cast<unsigned int>(material->iBlendDestination)};
    MVE_SPRITE_VERTEX *q = Reserve(key, colorSlot, mapSlot);
    // The corner goes to the nearest whole pixel: an odd-sized sprite at a whole-pixel centre would
    // otherwise sample between texels and blur.
    const float left = std::floor(x - w * 0.5f + 0.5f), top = std::floor(y - h * 0.5f + 0.5f);
    PutQuad(q, left, top, left + w, top + h, 0.0f, 0.0f, 1.0f, 1.0f);
    return 1;
}

void MVE_DrawLogo() {
    const int logo = MVE_Engine().Builtin.iLogoSprite;
    if (!logo || !MVE_GetSprite(logo)) return;
    MVE_SetBlendMode(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const MVE_SCREEN_STATE &s = MVE_Engine().Screen;
    MVE_DrawSprite(logo, static_cast<float>(s.iWidth - 52), static_cast<float>(s.iHeight - 52));
    MVE_FlushSprites();
}

extern "C" void MVE_ShowLogo(int show) { MVE_Engine().Screen.iShowLogo = show ? 1 : 0; }

// ---------------------------------------------------------------- Text

extern "C" int MVE_DrawText(int fontID, float x, float y, const char *text, uint32_t color, float scale, int alignment) {
    static const char *kProcedure = "MVE_DrawText";
    const MVE_FONT *font = MVE_FindFont(fontID);
    if (!font) {
        ReportBadID(UI().iBadFont, UI().iBadFontReported, fontID, "Fail: Font " + std::to_string(fontID) + " not found!", kProcedure);
        return 0;
    }
    MVE_SHADER *program = SpriteProgram();
    if (!text || !font->uTexture || !program || !std::isfinite(x) || !std::isfinite(y)) return 0;
    const MVE_FONT_DATA &data = font->Data;
    const float s = Scale(scale);
    if (alignment == MVE_IGNORE) alignment = MVE_ALIGN_LEFT;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);

    float top = y;
    const int vertical = alignment & (MVE_ALIGN_MIDDLE | MVE_ALIGN_BOTTOM);
    if (vertical) {
        int64_t lines = 1;
        for (const unsigned char *c = p; *c; c++) lines += *c == '\n';
        const float block = static_cast<float>(lines * data.iLineHeight) * s;
        top -= vertical == MVE_ALIGN_MIDDLE ? block * 0.5f : block;
    }
    const int horizontal = alignment & 3;
    const float invW = 1.0f / static_cast<float>(font->iAtlasWidth), invH = 1.0f / static_cast<float>(font->iAtlasHeight);
    int colorSlot = MVE_ShaderSlot(program, 1), mapSlot = MVE_ShaderSlot(program, 0);
    const BatchKey key = {font->uTexture, program->uProgram, UnpackColor(color), GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    const MVE_FONT_GLYPH *space = MVE_FindGlyph(data, ' ');
    const int tab = 4 * (space ? space->iAdvance : data.iLineHeight / 4);

    while (true) {
        float left = x;
        if (horizontal == MVE_ALIGN_CENTER || horizontal == MVE_ALIGN_RIGHT) {
            const float width = static_cast<float>(LineWidth(data, p)) * s;
            left -= horizontal == MVE_ALIGN_CENTER ? width * 0.5f : width;
        }
        // Unscaled text starts on a whole pixel, so the atlas is sampled texel for texel.
        const float originX = s == 1.0f ? std::round(left) : left;
        const float originY = s == 1.0f ? std::round(top) : top;
        int64_t pen = 0;
        uint32_t previous = 0;
        while (*p && *p != '\n') {
            const uint32_t code = NextCodePoint(p);
            if (code == '\t') {
                pen += tab;
                previous = 0;
                continue;
            }
            const MVE_FONT_GLYPH *g = MVE_FindGlyph(data, code);
            if (!g) continue;  // not in the font: nothing drawn, no room taken
            if (previous) pen += MVE_FontKerning(data, previous, code);
            previous = code;
            if (g->iWidth > 0 && g->iHeight > 0) {
                const float gx = originX + static_cast<float>(pen + g->iXOffset) * s;
                const float gy = originY + static_cast<float>(g->iYOffset) * s;
                MVE_SPRITE_VERTEX *q = Reserve(key, colorSlot, mapSlot);
                PutQuad(q, gx, gy, gx + static_cast<float>(g->iWidth) * s, gy + static_cast<float>(g->iHeight) * s,
                        static_cast<float>(g->iX) * invW, static_cast<float>(g->iY) * invH,
                        static_cast<float>(g->iX + g->iWidth) * invW, static_cast<float>(g->iY + g->iHeight) * invH);
            }
            pen += g->iAdvance;
        }
        if (!*p) break;
        p++;  // the line break
        top += static_cast<float>(data.iLineHeight) * s;
    }
    return 1;
}

extern "C" float MVE_GetTextWidth(int fontID, const char *text, float scale) {
    const MVE_FONT *font = MVE_FindFont(fontID);
    if (!font || !text) return 0.0f;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    int64_t widest = 0;
    while (true) {
        widest = std::max(widest, LineWidth(font->Data, p));
        while (*p && *p != '\n') p++;
        if (!*p) break;
        p++;
    }
    return static_cast<float>(widest) * Scale(scale);
}

extern "C" int MVE_GetFontLineHeight(int fontID) {
    const MVE_FONT *font = MVE_FindFont(fontID);
    return font ? font->Data.iLineHeight : 0;
}

// The unregistered full-screen copy program (the render code's), built at the sprite-shader step.
void MVE_StartupSpriteShader() {
    MVE_SHADER_STATE &shaders = MVE_Engine().Shader;
    if (GLReady() && !shaders.Copy.uProgram) MVE_BuildEngineProgram(MVE_EP_COPY, &shaders.Copy, "MVE_InitSpriteShader");
}
