// The GUI's base: the 9-slice panel geometry (a 4 x 4 vertex grid whose corner cells keep their
// size while the edges and the middle stretch) and the default style (built-in font, a panel image
// made at start-up, colours). Elements and input handling are left to the application.
#include "UI2D/UI2D.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Shader/Shader.h"
#include <algorithm>
#include <cmath>

namespace {

constexpr int kPanelImage = 16;   // side of the style's panel image, pixels
constexpr int kPanelBorder = 6;   // its corner size: the part that never stretches
constexpr int kVertexBytes = static_cast<int>(sizeof(MVE_SPRITE_VERTEX));

// A rounded rectangle: a bright one-pixel rim around a slightly darker body, white so that the
// drawing colour tints it. Corner radius 5 pixels.
void PanelImage(uint8_t *rgba) {
    const float radius = 5.0f, half = kPanelImage * 0.5f;
    for (int y = 0; y < kPanelImage; y++)
        for (int x = 0; x < kPanelImage; x++) {
            // Distance outside the rounded rectangle's inner core, sampled at the pixel centre.
            const float px = std::fabs(static_cast<float>(x) + 0.5f - half) - (half - radius);
            const float py = std::fabs(static_cast<float>(y) + 0.5f - half) - (half - radius);
            const float outside = std::hypot(std::max(px, 0.0f), std::max(py, 0.0f)) + std::min(std::max(px, py), 0.0f);
            const float coverage = std::clamp(radius - outside + 0.5f, 0.0f, 1.0f);
            const float rim = std::clamp(outside - (radius - 1.5f), 0.0f, 1.0f);
            uint8_t *p = rgba + 4 * (y * kPanelImage + x);
            p[0] = p[1] = p[2] = static_cast<uint8_t>(std::lround(255.0f * (0.82f + 0.18f * rim)));
            p[3] = static_cast<uint8_t>(std::lround(255.0f * coverage));
        }
}

}  // namespace

void MVE_StartupGUI() {
    MVE_UI2D_STATE &ui = MVE_Engine().UI2D;
    // The style's font is the built-in one.
    MVE_StartupBuiltinFont();
    ui.iGUIFont = ui.iDefaultFont;
    ui.uGUIPanelColor = 0xE0302820;      // dark slate, slightly transparent
    ui.uGUITextColor = 0xFFF0F0F0;
    ui.uGUIHighlightColor = 0xFF40B0FF;  // orange
    ui.uGUIDisabledColor = 0xFF808080;
    ui.iGUIBorder = kPanelBorder;
    if (!MVE_Engine().GL.iLoaded) return;

    const MVE_GL_TABLE &gl = MVE_gl();
    // Two triangles per cell of the 4 x 4 grid, cell (row, column) starting at vertex 4 row + column.
    uint32_t indices[54];
    int k = 0;
    for (uint32_t row = 0; row < 3; row++)
        for (uint32_t column = 0; column < 3; column++) {
            const uint32_t v = 4 * row + column;
            const uint32_t cell[6] = {v + 4, v + 1, v, v + 4, v + 5, v + 1};
            for (uint32_t i : cell) indices[k++] = i;
        }
    gl.glGenVertexArrays(1, &ui.uPanelArray);
    gl.glBindVertexArray(ui.uPanelArray);
    gl.glGenBuffers(1, &ui.uPanelVertices);
    gl.glBindBuffer(GL_ARRAY_BUFFER, ui.uPanelVertices);
    gl.glBufferData(GL_ARRAY_BUFFER, 16 * kVertexBytes, nullptr, GL_DYNAMIC_DRAW);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kVertexBytes, reinterpret_cast<const void *>(0));
    gl.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kVertexBytes, reinterpret_cast<const void *>(16));
    gl.glEnableVertexAttribArray(0);
    gl.glEnableVertexAttribArray(2);
    gl.glGenBuffers(1, &ui.uPanelIndices);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ui.uPanelIndices);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);

    uint8_t image[kPanelImage * kPanelImage * 4];
    PanelImage(image);
    gl.glGenTextures(1, &ui.uGUITexture);
    gl.glBindTexture(GL_TEXTURE_2D, ui.uGUITexture);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kPanelImage, kPanelImage, 0, GL_RGBA, GL_UNSIGNED_BYTE, image);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

extern "C" int MVE_DrawPanel(float x, float y, float width, float height, uint32_t color) {
    MVE_UI2D_STATE &ui = MVE_Engine().UI2D;
    MVE_SHADER *program = MVE_GetBuiltinShader(MVE_PROGRAM_TEXTURED_SPRITE);
    if (!ui.uPanelArray || !program || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) ||
        !std::isfinite(height) || width <= 0 || height <= 0)
        return 0;
    MVE_FlushSprites();  // what was drawn before lies below the panel
    // Corners keep their size unless the panel is smaller than two of them.
    const float bx = std::min(static_cast<float>(ui.iGUIBorder), width * 0.5f);
    const float by = std::min(static_cast<float>(ui.iGUIBorder), height * 0.5f);
    const float xs[4] = {x, x + bx, x + width - bx, x + width}, ys[4] = {y, y + by, y + height - by, y + height};
    const float edge = static_cast<float>(kPanelBorder) / kPanelImage;
    const float us[4] = {0.0f, edge * bx / kPanelBorder, 1.0f - edge * bx / kPanelBorder, 1.0f};
    const float vs[4] = {0.0f, edge * by / kPanelBorder, 1.0f - edge * by / kPanelBorder, 1.0f};
    MVE_SPRITE_VERTEX grid[16];
    for (int row = 0; row < 4; row++)
        for (int column = 0; column < 4; column++) grid[4 * row + column] = {xs[column], ys[row], 0.0f, 1.0f, us[column], vs[row]};
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glBindBuffer(GL_ARRAY_BUFFER, ui.uPanelVertices);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof grid, grid);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    v4f c = {1, 1, 1, 1};
    MVE_v4fColor(&c, color == static_cast<uint32_t>(MVE_IGNORE) ? ui.uGUIPanelColor : color);
    MVE_DrawOverlay(ui.uPanelArray, 54, ui.uGUITexture, program->uProgram, MVE_ShaderSlot(program, 0),
                    MVE_ShaderSlot(program, 1), c, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return 1;
}
