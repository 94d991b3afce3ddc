// The 2D layer: sprites, bitmap fonts and text drawn in pixel coordinates (origin top-left, y down)
// through one quad batch, the corner logo and the GUI panel geometry. Main thread only.
#pragma once
#include "MVE.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct MVE_SPRITE {
    int iID = 0;
    std::string sName;            // unused: sprites have no names
    int iMaterial = 0;            // handle of the material whose texture and colour it draws
    float fWidth = 0, fHeight = 0;  // pixels; 0 follows the texture's size at draw time
};

// One glyph as the font file stores it (see FontFormat.h for the meaning of each field).
struct MVE_FONT_GLYPH {
    uint32_t uCode = 0;
    int16_t iX = 0, iY = 0, iWidth = 0, iHeight = 0;
    int16_t iXOffset = 0, iYOffset = 0, iAdvance = 0, iReserved = 0;
};

// Everything a font file holds, before any GL work: what the reader hands to the loader and tests.
struct MVE_FONT_DATA {
    std::vector<MVE_FONT_GLYPH> Glyphs;      // file order; a repeated code keeps its last record
    std::vector<uint16_t> Lookup;            // code -> glyph index + 1 (0: no glyph), codes below size()
    std::unordered_map<uint32_t, int16_t> Kerning;  // (left << 16 | right) -> pixels
    std::vector<uint8_t> KernedLeft;         // 1 for codes that start a kerning pair (same size as Lookup)
    std::string Atlas;                       // the PNG bytes
    int iPixelSize = 0, iLineHeight = 0, iAscender = 0, iDescender = 0;
    int iChunks = 0;                         // chunks read, the end chunk included
};

struct MVE_FONT {
    int iID = 0;
    std::string sName;            // unused: fonts have no names
    MVE_FONT_DATA Data;
    unsigned int uTexture = 0;    // GL texture of the atlas
    int iAtlasWidth = 0, iAtlasHeight = 0;
};

// Reads a font file held in memory. Every problem found is appended to `problems` as a "Fail:"
// text. Returns 1 when what was read makes a usable font (an atlas and at least one glyph),
// 0 otherwise. Never reads outside [data, data + size).
int MVE_ReadFontData(const unsigned char *data, size_t size, MVE_FONT_DATA &font, std::vector<std::string> &problems);
// The glyph of a code point, null when the font has none.
const MVE_FONT_GLYPH *MVE_FindGlyph(const MVE_FONT_DATA &font, uint32_t code);
// Kerning added to the advance of `left` when `right` follows it.
int MVE_FontKerning(const MVE_FONT_DATA &font, uint32_t left, uint32_t right);
// A font by ID or handle; -1 is the built-in font.
MVE_FONT *MVE_FindFont(int id);

// Registry release hooks.
void MVE_ReleaseFont(MVE_FONT *font);

// The quad batch: vertices of 4 floats position and 2 floats texture coordinate (24 bytes).
struct MVE_SPRITE_VERTEX {
    float x, y, z, w, u, v;
};
enum : int { MVE_SPRITE_BATCH_QUADS = 256 };

struct MVE_UI2D_STATE {
    // Sprite quad batch.
    unsigned int uBatchArray = 0, uBatchVertices = 0, uBatchIndices = 0;
    MVE_SPRITE_VERTEX Quads[MVE_SPRITE_BATCH_QUADS * 4];
    int iQuads = 0;               // quads waiting in Quads
    unsigned int uBatchTexture = 0;  // texture and program of the waiting quads
    unsigned int uBatchProgram = 0;
    v4f v4fBatchColor = {1, 1, 1, 1};
    int iBatchColorSlot = -1, iBatchMapSlot = -1;  // uniform locations in the batch program
    unsigned int uBatchBlendSource = 0x0302, uBatchBlendDestination = 0x0303;  // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA
    unsigned int uDrawCalls = 0;  // batches drawn since start-up (benchmarks, tests)
    // GUI panel geometry and style.
    unsigned int uPanelArray = 0, uPanelVertices = 0, uPanelIndices = 0;
    unsigned int uGUITexture = 0;  // the style's panel image
    int iGUIFont = 0;             // handle of the style's font
    uint32_t uGUIPanelColor = 0, uGUITextColor = 0, uGUIHighlightColor = 0, uGUIDisabledColor = 0;
    int iGUIBorder = 0;           // 9-slice border width, pixels
    // Built-in resources.
    int iDefaultFont = 0;         // handle of the built-in font
    // Bad IDs already reported by the draw procedures (each is reported once until another comes).
    int iBadSprite = 0, iBadFont = 0;
    int iBadSpriteReported = 0, iBadFontReported = 0;
};

// Draws `indices` indices of a vertex array in the 2D layer's way: program, texture on unit 0,
// colour, blend factors, identity model matrix, no depth test, no culling.
void MVE_DrawOverlay(unsigned int vertexArray, int indices, unsigned int texture, unsigned int program,
                     int mapSlot, int colorSlot, const v4f &color, unsigned int blendSource,
                     unsigned int blendDestination);
// Draws whatever the quad batch holds (before anything else draws, and at the end of a frame).
void MVE_FlushSprites();
// The corner logo of MVE_FlipBuffers: the built-in logo sprite (nothing when it does not exist).
void MVE_DrawLogo();
// Loads the built-in font (MVE_Init's built-in resources step).
void MVE_StartupBuiltinFont();
// Deletes the batch and panel buffers (MVE_Quit).
void MVE_ShutdownUI2D();
