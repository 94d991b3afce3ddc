// Billboards: a caller-maintained set of quads, each placed by its own matrix, kept in a GL texture
// buffer (four RGBA32F texels per instance) and uploaded only after a change. Main thread only.
#include "Particles/Particles.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <vector>
#include <cmath>

namespace {

constexpr float kDegrees = 3.14159265358979323846f / 180.0f;

void CreateGLObjects(MVE_BILLBOARD *b) {
    if (!MVE_TexturesReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    const float quad[4][10] = {
        {-0.5f, 0.5f, 0, 1, 0, 0, 1, 0, 0, 0},
        {-0.5f, -0.5f, 0, 1, 0, 0, 1, 0, 0, 1},
        {0.5f, 0.5f, 0, 1, 0, 0, 1, 0, 1, 0},
        {0.5f, -0.5f, 0, 1, 0, 0, 1, 0, 1, 1},
    };
    gl.glGenVertexArrays(1, &b->iVertexArray);
    gl.glBindVertexArray(b->iVertexArray);
    b->iVertexBuffer = MVE_CreateQuadBuffer(quad);
    gl.glBindVertexArray(0);
    gl.glGenBuffers(1, &b->iInstanceBuffer);
    gl.glBindBuffer(GL_TEXTURE_BUFFER, b->iInstanceBuffer);
    gl.glBufferData(GL_TEXTURE_BUFFER, b->iByteSize, nullptr, GL_DYNAMIC_DRAW);
    gl.glGenTextures(1, &b->iInstanceTexture);
    gl.glBindTexture(GL_TEXTURE_BUFFER, b->iInstanceTexture);
    gl.glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, b->iInstanceBuffer);
    gl.glBindTexture(GL_TEXTURE_BUFFER, 0);
    gl.glBindBuffer(GL_TEXTURE_BUFFER, 0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

void MVE_ReleaseBillboard(MVE_BILLBOARD *b) {
    if (!b || !MVE_TexturesReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    if (b->iVertexBuffer) gl.glDeleteBuffers(1, &b->iVertexBuffer);
    if (b->iInstanceBuffer) gl.glDeleteBuffers(1, &b->iInstanceBuffer);
    if (b->iInstanceTexture) gl.glDeleteTextures(1, &b->iInstanceTexture);
    if (b->iVertexArray) gl.glDeleteVertexArrays(1, &b->iVertexArray);
    b->iVertexBuffer = b->iInstanceBuffer = b->iInstanceTexture = b->iVertexArray = 0;
}

extern "C" {

int MVE_CreateBillboard(int id, int material, int projectionMode, int capacity, const char *name) {
    if (capacity < 1 || capacity > (1 << 24)) {
        MVE_LogFail("Fail: A billboard set needs a capacity from 1 to 16777216!", "MVE_CreateBillboard");
        return 0;
    }
    // Static ID 0 is a material like any other; a number that names none is refused.
    MVE_MATERIAL *m = MVE_GetMaterial(material);
    if (!m) {
        MVE_LogFail("Fail: Material " + std::to_string(material) + " not found!", "MVE_CreateBillboard");
        return 0;
    }
    int handle = 0;
    MVE_BILLBOARD *b = MVE_CreateBillboardListEntry(&id, name, &handle);
    if (!b) return 0;
    b->iMaterial = MVE_HandleOf(m);
    b->Material = m;
    b->iProjectionMode = projectionMode;
    b->iCapacity = capacity;
    b->iByteSize = capacity * 64;
    CreateGLObjects(b);
    return handle;
}

// The instance matrix translation x Rx x Ry x Rz x scale, angles in degrees; null when the set is full.
m4f *MVE_AddBillboard(int billboard, float x, float y, float z, float rx, float ry, float rz, float sx, float sy, float sz) {
    MVE_BILLBOARD *b = MVE_GetBillboard(billboard);
    if (!b) {
        MVE_LogFail("Fail: Billboard not found!", "MVE_AddBillboard");
        return nullptr;
    }
    if (b->iCount >= b->iCapacity) return nullptr;
    const float a = rx * kDegrees, c = ry * kDegrees, d = rz * kDegrees;
    const float sa = std::sin(a), ca = std::cos(a), sb = std::sin(c), cb = std::cos(c), sc = std::sin(d), cc = std::cos(d);
    // Rx Ry Rz, columns.
    const float r[9] = {cb * cc, sa * sb * cc + ca * sc, sa * sc - ca * sb * cc,
                        -cb * sc, ca * cc - sa * sb * sc, sa * cc + ca * sb * sc,
                        sb, -sa * cb, ca * cb};
    m4f m = {{r[0] * sx, r[1] * sx, r[2] * sx, 0, r[3] * sy, r[4] * sy, r[5] * sy, 0, r[6] * sz, r[7] * sz, r[8] * sz, 0, x, y, z, 1}};
    b->Instances.push_back(m);
    ++b->iCount;
    b->iUploaded = 0;
    return &b->Instances.back();
}

int MVE_RemoveBillboard(int billboard, const m4f *instance) {
    MVE_BILLBOARD *b = MVE_GetBillboard(billboard);
    if (!b) return 0;
    for (auto it = b->Instances.begin(); it != b->Instances.end(); ++it) {
        if (&*it != instance) continue;
        b->Instances.erase(it);
        --b->iCount;
        b->iUploaded = 0;
        return 1;
    }
    return 0;
}

}  // extern "C"

extern "C" void MVE_DrawBillboards(void) {
    if (!MVE_TexturesReady()) return;
    MVE_ENGINE &engine = MVE_Engine();
    if (engine.Registries.Billboards.Count() == 0) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDepthMask(GL_FALSE);
    gl.glEnable(GL_BLEND);
    std::vector<m4f> packed;
    engine.Registries.Billboards.ForEach([&](MVE_BILLBOARD *b) {
        if (b->iCount <= 0 || !b->iVertexArray) return;
        if (!b->iUploaded) {
            packed.assign(b->Instances.begin(), b->Instances.end());
            gl.glBindBuffer(GL_TEXTURE_BUFFER, b->iInstanceBuffer);
            gl.glBufferSubData(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(packed.size() * sizeof(m4f)), packed.data());
            gl.glBindBuffer(GL_TEXTURE_BUFFER, 0);
            b->iUploaded = 1;
        }
        MVE_MATERIAL *m = b->iMaterial ? MVE_GetMaterial(b->iMaterial) : nullptr;
        b->Material = m;
        if (!m) return;
        MVE_SHADER *program = m->Shader && m->Shader->uProgram ? m->Shader : MVE_DrawableProgram(m->iProgram);
        if (!program) return;
        // The scene's alpha is its coverage, which the screen copy blends by: effects only add to it.
        gl.glBlendFuncSeparate(static_cast<GLenum>(m->iBlendSource), static_cast<GLenum>(m->iBlendDestination), GL_ONE,
                               GL_ONE_MINUS_SRC_ALPHA);
        gl.glUseProgram(program->uProgram);
        MVE_UploadModel(engine.Render.Camera.m4fView, 0);
        if (program->iType == MVE_PROGRAM_BILLBOARD) {
            gl.glActiveTexture(GL_TEXTURE0);
            gl.glBindTexture(GL_TEXTURE_2D, m->Texture[0] ? m->Texture[0]->iTexture : 0);
            gl.glActiveTexture(GL_TEXTURE1);
            gl.glBindTexture(GL_TEXTURE_2D, engine.GBuffer.uTexture[5]);
            gl.glActiveTexture(GL_TEXTURE2);
            gl.glBindTexture(GL_TEXTURE_BUFFER, b->iInstanceTexture);
            const GLuint p = program->uProgram;
            const char *names[3] = {"ColorMap", "DepthMap", "InstancesTextureBuffer"};
            for (int k = 0; k < 3; ++k) {
                const GLint location = gl.glGetUniformLocation(p, names[k]);
                if (location >= 0) gl.glUniform1i(location, k);
            }
            const GLint mode = gl.glGetUniformLocation(p, "iProjectionMode");
            if (mode >= 0) gl.glUniform1i(mode, b->iProjectionMode);
            gl.glActiveTexture(GL_TEXTURE0);
        }
        gl.glBindVertexArray(b->iVertexArray);
        gl.glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, b->iCount);
    });
    gl.glBindVertexArray(0);
    gl.glUseProgram(0);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glDepthMask(GL_TRUE);
}
