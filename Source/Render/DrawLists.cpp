// The draw lists and their drawing: objects filed by material, the frame copy taken under the
// physics lock (group -> program -> material -> object), and the per-object work of a pass.
// Filing runs on whichever thread frees an object (a collision callback may), always under the
// physics lock; everything else here is main thread.
#include "Core/Engine.h"
#include "Mesh/Mesh.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

namespace {

using Guard = MVE_PhysicsGuard;

MVE_RENDER_STATE &R() { return MVE_Engine().Render; }

// out := A B for column-major 4x4 matrices.
inline void Multiply(float *out, const float *A, const float *B) {
    for (int c = 0; c < 4; ++c) {
        const float b0 = B[4 * c], b1 = B[4 * c + 1], b2 = B[4 * c + 2], b3 = B[4 * c + 3];
        for (int r = 0; r < 4; ++r) out[4 * c + r] = A[r] * b0 + A[4 + r] * b1 + A[8 + r] * b2 + A[12 + r] * b3;
    }
}

// The Model block: model-view, then its upper-left 3x3 as three 16-byte columns.
inline void ModelBlock(float block[28], const m4f &view, const m4f &model) {
    Multiply(block, view.m, model.m);
    for (int c = 0; c < 3; ++c) {
        block[16 + 4 * c] = block[4 * c];
        block[17 + 4 * c] = block[4 * c + 1];
        block[18 + 4 * c] = block[4 * c + 2];
        block[19 + 4 * c] = 0.0f;
    }
}

// The caster program of a material: the wind moves grass in the sun's pass whatever its texture;
// a texture is read only where it can cut something out (it has an alpha channel) and the program
// samples its kind (2D, or a 2D array). Anything else gives the same depths without the texture.
MVE_ENGINE_PROGRAM CasterProgram(int mode, int type, const MVE_TEXTURE *texture) {
    const bool cut = texture && texture->iAlpha;
    const bool flat = cut && texture->iTarget == GL_TEXTURE_2D;
    if (mode == 0 && type == MVE_PROGRAM_GRASS) return flat ? MVE_EP_SHADOW_WIND : MVE_EP_SHADOW_WIND_OPAQUE;
    if (flat) return MVE_EP_SHADOW;
    if (cut && texture->iTarget == GL_TEXTURE_2D_ARRAY) return MVE_EP_SHADOW_ARRAY;
    return MVE_EP_SHADOW_OPAQUE;
}

GLuint ModelBuffer() { return MVE_Engine().Shader.Buffers[MVE_BUFFER_MODEL].uBuffer; }

// Draws the items of one material with `view`, leaving out what `cull` (when given) rules out;
// the Model buffer is bound by the caller.
void DrawItems(const MVE_DRAW_MATERIAL &m, const m4f &view, int bytes, const MVE_CULL *cull) {
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_FRAME_COPY &f = R().Frame;
    GLuint bound = 0;
    float block[28];
    bool wrote = false;
    for (uint32_t i = m.uFirst, end = m.uFirst + m.uCount; i < end; ++i) {
        const MVE_DRAW_ITEM &item = f.Items[i];
        if (cull && !cull->Visible(item.fSphere)) {
            ++f.uCulled;
            continue;
        }
        ModelBlock(block, view, item.m4fModel);
        gl.glBufferSubData(GL_UNIFORM_BUFFER, 0, bytes, block);
        wrote = true;
        if (item.uVertexArray != bound) {
            gl.glBindVertexArray(item.uVertexArray);
            bound = item.uVertexArray;
        }
        gl.glDrawElements(GL_TRIANGLES, item.iIndices, GL_UNSIGNED_INT, nullptr);
    }
    // Written past MVE_WriteShaderBuffer for speed; the 2D layer trusts the copy to know whether
    // the block still holds its identity, and drew text and sprites through the last object's
    // matrix when it did not.
    if (wrote) MVE_KeepShaderBufferCopy(MVE_BUFFER_MODEL, 0, block, bytes);
}

// Whether a material drawn into the G-Buffer can leave emission in the diffuse target's alpha,
// which the glow passes read. Only the built-in programs are known; any other may.
bool MayGlow(const MVE_MATERIAL *material, const MVE_SHADER *shader) {
    if (shader != MVE_GetBuiltinShader(shader->iType)) return true;
    switch (shader->iType) {
        case MVE_PROGRAM_NORMAL_MAPPING: return MVE_MaterialEmission(material) != 0.0f;
        case MVE_PROGRAM_PARALLAX_MAPPING:
        case MVE_PROGRAM_REFLECTION_NORMAL_MAPPING: return false;  // they write no emission
        default: return true;
    }
}

// Whether a program of the last group reads the linear depth the depth pass writes.
bool ReadsLinearDepth(const MVE_SHADER *shader) {
    return shader != MVE_GetBuiltinShader(shader->iType) || shader->iType == MVE_PROGRAM_WATER;
}

// Programs that move vertices in their vertex stage (wind) or that the engine does not know may
// draw outside the mesh's sphere: their objects are never culled.
bool Cullable(const MVE_SHADER *shader, int type) {
    return shader == MVE_GetBuiltinShader(type) && type != MVE_PROGRAM_GRASS;
}

// The world-space sphere of an object: the mesh's sphere moved by the model matrix and grown by
// its largest axis scale.
void WorldSphere(float out[4], const m4f &model, const MVE_MESH *mesh) {
    out[3] = -1.0f;
    if (mesh->fBoundRadius < 0.0f) return;
    const float *m = model.m, *c = mesh->fBoundCenter;
    float scale = 0.0f;
    for (int k = 0; k < 3; ++k)
        scale = std::max(scale, m[4 * k] * m[4 * k] + m[4 * k + 1] * m[4 * k + 1] + m[4 * k + 2] * m[4 * k + 2]);
    for (int r = 0; r < 3; ++r) out[r] = m[r] * c[0] + m[4 + r] * c[1] + m[8 + r] * c[2] + m[12 + r];
    const float radius = mesh->fBoundRadius * std::sqrt(scale);
    if (std::isfinite(radius) && std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2])) out[3] = radius;
}

}  // namespace

bool MVE_CULL::Visible(const float s[4]) const {
    if (s[3] < 0.0f) return true;
    if (iPlanes < 0) {
        const float dx = s[0] - fPlane[0][0], dy = s[1] - fPlane[0][1], dz = s[2] - fPlane[0][2], reach = fPlane[0][3] + s[3];
        return dx * dx + dy * dy + dz * dz <= reach * reach;
    }
    for (int i = 0; i < iPlanes; ++i)
        if (fPlane[i][0] * s[0] + fPlane[i][1] * s[1] + fPlane[i][2] * s[2] + fPlane[i][3] < -s[3]) return false;
    return true;
}

MVE_CULL MVE_ViewCull(const m4f &clip) {
    MVE_CULL cull;
    const float *m = clip.m;
    // Row i of a column-major matrix; plane = row 3 +- row 0, 1, 2 (left, right, bottom, top, near, far).
    auto row = [m](int i, int k) { return m[4 * k + i]; };
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            float *p = cull.fPlane[cull.iPlanes];
            for (int k = 0; k < 4; ++k) p[k] = row(3, k) + static_cast<float>(sign) * row(axis, k);
            const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            if (!(length > 0.0f) || !std::isfinite(length)) return MVE_CULL();  // a broken projection culls nothing
            for (int k = 0; k < 4; ++k) p[k] /= length;
            ++cull.iPlanes;
        }
    return cull;
}

double MVE_RenderClock() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// ---- Filing (Object.cpp calls these when an object is made, changes material or goes).

void MVE_FileObjectForDrawing(MVE_OBJECT *object) {
    if (!object) return;
    MVE_ENGINE &e = MVE_Engine();
    Guard guard(e.Physics.Lock);
    MVE_RENDER_STATE &r = e.Render;
    auto it = r.FiledIndex.find(object->pMaterial);
    size_t index;
    if (it == r.FiledIndex.end()) {
        index = r.Filed.size();
        r.Filed.push_back({object->pMaterial, {}});
        r.FiledIndex[object->pMaterial] = index;
    } else {
        index = it->second;
    }
    r.Filed[index].Objects.push_back(object);
}

void MVE_UnfileObjectForDrawing(MVE_OBJECT *object) {
    if (!object) return;
    MVE_ENGINE &e = MVE_Engine();
    Guard guard(e.Physics.Lock);
    MVE_RENDER_STATE &r = e.Render;
    auto it = r.FiledIndex.find(object->pMaterial);
    if (it == r.FiledIndex.end()) return;
    std::vector<MVE_OBJECT *> &objects = r.Filed[it->second].Objects;
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i] == object) {
            objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    // A material without objects leaves the lists: its record may be freed and its address reused.
    if (objects.empty()) {
        const size_t gone = it->second;
        r.Filed.erase(r.Filed.begin() + static_cast<std::ptrdiff_t>(gone));
        r.FiledIndex.erase(it);
        for (auto &entry : r.FiledIndex)
            if (entry.second > gone) --entry.second;
    }
}

extern "C" int MVE_SetObjectVisible(int id, int visible) {
    MVE_OBJECT *object = MVE_GetObject(id);
    if (!object) return 0;
    Guard guard(MVE_Engine().Physics.Lock);
    object->iFlag2 = visible ? 1 : 0;
    return 1;
}

// ---- The frame copy.

void MVE_CopyFrame() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_RENDER_STATE &r = e.Render;
    MVE_FRAME_COPY &f = r.Frame;
    f.Items.clear();
    f.Materials.clear();
    f.Programs.clear();
    f.iMayGlow = f.iLastGroupReadsDepth = 0;
    f.uCulled = 0;
    // Materials and shaders change only on this thread, so which material belongs to which
    // program can be settled before the lock is taken.
    const double start = MVE_RenderClock();
    Guard guard(e.Physics.Lock);
    for (int g = 0; g < 3; ++g) {
        f.uGroupFirst[g] = static_cast<uint32_t>(f.Programs.size());
        for (MVE_SHADER *shader : e.Shader.RenderGroups[g]) {
            if (!shader || !shader->uProgram) continue;
            MVE_DRAW_PROGRAM program = {shader, shader->iType, static_cast<uint32_t>(f.Materials.size()), 0};
            // The program's own list decides the order (the order the materials were made in), not the
            // order in which they got their first object: blended materials are drawn over each other
            // in that order, and it must not change with the order a scene was built in.
            for (MVE_MATERIAL *listed : shader->Materials) {
                auto at = r.FiledIndex.find(listed);
                if (at == r.FiledIndex.end() || MVE_MaterialShader(listed) != shader) continue;
                const MVE_MATERIAL_OBJECTS &filed = r.Filed[at->second];
                MVE_DRAW_MATERIAL material = {filed.pMaterial, static_cast<uint32_t>(f.Items.size()), 0};
                for (const MVE_OBJECT *object : filed.Objects) {
                    const MVE_MESH *mesh = object->pMesh;
                    if (!object->iFlag2 || !mesh || mesh->iVertexArray <= 0 || mesh->iIndices <= 0) continue;
                    f.Items.push_back({object->m4fModel, static_cast<unsigned int>(mesh->iVertexArray), mesh->iIndices, {}});
                    WorldSphere(f.Items.back().fSphere, object->m4fModel, mesh);
                }
                material.uCount = static_cast<uint32_t>(f.Items.size()) - material.uFirst;
                if (!material.uCount) continue;
                f.Materials.push_back(material);
                if (g == 0 && MayGlow(filed.pMaterial, shader)) f.iMayGlow = 1;
                if (g == 2 && ReadsLinearDepth(shader)) f.iLastGroupReadsDepth = 1;
            }
            program.uCount = static_cast<uint32_t>(f.Materials.size()) - program.uFirst;
            if (program.uCount) f.Programs.push_back(program);
        }
        f.uGroupCount[g] = static_cast<uint32_t>(f.Programs.size()) - f.uGroupFirst[g];
    }
    r.fCopyTime = MVE_RenderClock() - start;
}

// ---- Drawing.

void MVE_UploadModel(const m4f &modelView, int normal) {
    float block[28];
    const m4f identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    ModelBlock(block, modelView, identity);
    MVE_WriteShaderBuffer(MVE_BUFFER_MODEL, 0, block, normal ? 112 : 64);
}

MVE_SHADER *MVE_DrawableProgram(int number) {
    MVE_SHADER *shader = MVE_GetBuiltinShader(number);
    return shader && shader->uProgram ? shader : nullptr;
}

void MVE_DrawRenderGroup(int group) {
    if (group < 0 || group > 2) return;
    MVE_RENDER_STATE &r = R();
    const MVE_FRAME_COPY &f = r.Frame;
    const MVE_GL_TABLE &gl = MVE_gl();
    const m4f &view = r.Camera.m4fView;
    const MVE_CAMERA_PROJECTION &c = MVE_Engine().Shader.Camera;
    m4f clip;
    MVE_m4fMultiply(&clip, c.iMode ? &c.m4fPerspective : &c.m4fOrthographic, &view);
    const MVE_CULL cull = MVE_ViewCull(clip);
    gl.glBindBuffer(GL_UNIFORM_BUFFER, ModelBuffer());
    for (uint32_t p = f.uGroupFirst[group], pend = p + f.uGroupCount[group]; p < pend; ++p) {
        const MVE_DRAW_PROGRAM &program = f.Programs[p];
        const MVE_CULL *programCull = Cullable(program.pShader, program.iType) ? &cull : nullptr;
        MVE_UseShaderProgram(program.pShader, 0);
        for (uint32_t m = program.uFirst, mend = m + program.uCount; m < mend; ++m) {
            const MVE_DRAW_MATERIAL &material = f.Materials[m];
            const bool cullOff = !MVE_MaterialCullsBackFaces(material.pMaterial);
            const bool lines = group > 0 && MVE_MaterialWireframe(material.pMaterial);
            if (cullOff || lines) gl.glDisable(GL_CULL_FACE);
            if (lines) gl.glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            MVE_ApplyMaterial(material.pMaterial);
            gl.glBindBuffer(GL_UNIFORM_BUFFER, ModelBuffer());
            DrawItems(material, view, 112, programCull);
            if (lines) gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            if (cullOff || lines) gl.glEnable(GL_CULL_FACE);
        }
    }
    gl.glBindVertexArray(0);
}

void MVE_DrawShadowCasters(const m4f &view, int mode, const MVE_CULL *cull) {
    MVE_ENGINE &e = MVE_Engine();
    const MVE_FRAME_COPY &f = e.Render.Frame;
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_GL_PROGRAM *programs = e.GBuffer.Programs;
    gl.glActiveTexture(GL_TEXTURE0);
    for (int group = 0; group < 2; ++group) {
        for (uint32_t p = f.uGroupFirst[group], pend = p + f.uGroupCount[group]; p < pend; ++p) {
            const MVE_DRAW_PROGRAM &program = f.Programs[p];
            for (uint32_t m = program.uFirst, mend = m + program.uCount; m < mend; ++m) {
                const MVE_DRAW_MATERIAL &material = f.Materials[m];
                const MVE_TEXTURE *texture = MVE_MaterialFirstTexture(material.pMaterial);
                const MVE_ENGINE_PROGRAM which = CasterProgram(mode, program.iType, texture);
                const MVE_GL_PROGRAM &caster = programs[which];
                if (!caster.uProgram) continue;
                gl.glUseProgram(caster.uProgram);
                if (which == MVE_EP_SHADOW_WIND || which == MVE_EP_SHADOW_WIND_OPAQUE) {
                    float wind[3];
                    MVE_MaterialWind(material.pMaterial, wind);
                    gl.glUniform3fv(caster.Locations[MVE_SHW_WIND], 1, wind);
                }
                // The casters' samplers are fixed to unit 0 when they are built. A caster only asks
                // whether a texel is transparent: an anisotropic texture is read without its
                // anisotropy, which over a tiled ground seen from a light close to it would walk
                // thousands of texels per pixel of every cube face (seconds a frame).
                if (which == MVE_EP_SHADOW || which == MVE_EP_SHADOW_ARRAY || which == MVE_EP_SHADOW_WIND) {
                    gl.glBindTexture(static_cast<GLenum>(texture->iTarget), texture->iTexture);
                    gl.glBindSampler(0, texture->iAnisotropy > 1 ? e.Shadow.uCasterSampler : 0);
                }
                const bool cullOff = !MVE_MaterialCullsBackFaces(material.pMaterial);
                if (cullOff) gl.glDisable(GL_CULL_FACE);
                gl.glBindBuffer(GL_UNIFORM_BUFFER, ModelBuffer());
                DrawItems(material, view, 112, Cullable(program.pShader, program.iType) ? cull : nullptr);
                if (cullOff) gl.glEnable(GL_CULL_FACE);
            }
        }
    }
    gl.glBindSampler(0, 0);
    gl.glBindVertexArray(0);
}

int MVE_UseLineProgram() {
    MVE_SHADER *shader = MVE_DrawableProgram(MVE_PROGRAM_DRAWING);
    if (!shader) return 0;
    MVE_gl().glUseProgram(shader->uProgram);
    MVE_UploadModel(MVE_Camera().m4fView, 1);
    return 1;
}
