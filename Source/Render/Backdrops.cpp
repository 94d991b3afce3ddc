// Backdrops: meshes drawn behind the scene. Sky meshes go over the sky cube with the sky program;
// strip meshes go first into the G-Buffer without writing depth, so every object covers them. Both
// lists hold handles, looked up every frame: a released mesh or material simply drops out.
// Main thread only.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include <algorithm>

namespace {

constexpr GLuint kRestart = 0xFFFFFFFFu;

MVE_RENDER_STATE &R() { return MVE_Engine().Render; }

void DeleteStripIndices(MVE_STRIP_MESH &strip) {
    if (strip.uIndexBuffer && MVE_Engine().GL.iLoaded) MVE_gl().glDeleteBuffers(1, &strip.uIndexBuffer);
    strip.uIndexBuffer = 0;
    strip.uBuiltFor = 0;
}

// The strip form of a triangle mesh: every triangle a three-index strip, ended by the restart
// index, so any mesh draws as it was built, winding included.
bool BuildStripIndices(MVE_STRIP_MESH &strip, const MVE_MESH &mesh) {
    const MVE_GL_TABLE &gl = MVE_gl();
    std::vector<GLuint> indices;
    indices.reserve(mesh.Index.size() / 3 * 4);
    for (size_t t = 0; t + 2 < mesh.Index.size(); t += 3) {
        for (size_t k = 0; k < 3; ++k) indices.push_back(static_cast<GLuint>(mesh.Index[t + k]));
        indices.push_back(kRestart);
    }
    if (!strip.uIndexBuffer) gl.glGenBuffers(1, &strip.uIndexBuffer);
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, strip.uIndexBuffer);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                    GL_STATIC_DRAW);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    strip.iIndices = static_cast<int>(indices.size());
    strip.uBuiltFor = mesh.uUpload;
    return true;
}

// A finished mesh with triangles, or null after a red row.
MVE_MESH *DrawableMesh(int id, const char *procedure) {
    MVE_MESH *mesh = MVE_ResolveMesh(id, procedure);
    if (!mesh) return nullptr;
    if (mesh->iVertexArray <= 0 || mesh->iIndices <= 0) {
        MVE_LogFail("Fail: Mesh '" + mesh->sName + "' is not finished!", procedure);
        return nullptr;
    }
    return mesh;
}

}  // namespace

extern "C" int MVE_AddSkyMesh(int mesh, uint32_t color) {
    if (!DrawableMesh(mesh, "MVE_AddSkyMesh")) return 0;
    v4f c;
    MVE_v4fColor(&c, color);
    for (MVE_SKY_MESH &sky : R().SkyMeshes)
        if (sky.iMesh == mesh) {
            sky.v4fColor = c;
            return 1;
        }
    R().SkyMeshes.push_back({mesh, c});
    return 1;
}

extern "C" int MVE_AddStripMesh(int mesh, int material) {
    if (!DrawableMesh(mesh, "MVE_AddStripMesh")) return 0;
    MVE_MATERIAL *m = MVE_GetMaterial(material);
    if (!m || !MVE_MaterialShader(m)) {
        MVE_LogFail("Fail: Material " + std::to_string(material) + " not found!", "MVE_AddStripMesh");
        return 0;
    }
    for (MVE_STRIP_MESH &strip : R().StripMeshes)
        if (strip.iMesh == mesh) {
            strip.iMaterial = material;
            return 1;
        }
    MVE_STRIP_MESH strip;
    strip.iMesh = mesh;
    strip.iMaterial = material;
    R().StripMeshes.push_back(strip);
    return 1;
}

extern "C" int MVE_RemoveBackdropMesh(int mesh) {
    MVE_RENDER_STATE &r = R();
    const size_t before = r.SkyMeshes.size() + r.StripMeshes.size();
    r.SkyMeshes.erase(std::remove_if(r.SkyMeshes.begin(), r.SkyMeshes.end(),
                                     [mesh](const MVE_SKY_MESH &s) { return s.iMesh == mesh; }),
                      r.SkyMeshes.end());
    for (MVE_STRIP_MESH &strip : r.StripMeshes)
        if (strip.iMesh == mesh) DeleteStripIndices(strip);
    r.StripMeshes.erase(std::remove_if(r.StripMeshes.begin(), r.StripMeshes.end(),
                                       [mesh](const MVE_STRIP_MESH &s) { return s.iMesh == mesh; }),
                        r.StripMeshes.end());
    return r.SkyMeshes.size() + r.StripMeshes.size() < before ? 1 : 0;
}

void MVE_DrawSkyMeshes(MVE_SHADER *sky) {
    const MVE_GL_TABLE &gl = MVE_gl();
    for (const MVE_SKY_MESH &entry : R().SkyMeshes) {
        const MVE_MESH *mesh = MVE_GetMesh(entry.iMesh);
        if (!mesh || mesh->iVertexArray <= 0 || mesh->iIndices <= 0) continue;
        gl.glUniform4fv(MVE_ShaderSlot(sky, 2), 1, &entry.v4fColor.x);
        gl.glBindVertexArray(static_cast<GLuint>(mesh->iVertexArray));
        gl.glDrawElements(GL_TRIANGLES, mesh->iIndices, GL_UNSIGNED_INT, nullptr);
    }
    gl.glBindVertexArray(0);
}

int MVE_DrawStripMeshes() {
    MVE_RENDER_STATE &r = R();
    if (r.StripMeshes.empty()) return 0;
    int drawn = 0;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glDepthMask(GL_FALSE);
    gl.glEnable(GL_PRIMITIVE_RESTART);
    gl.glPrimitiveRestartIndex(kRestart);
    for (MVE_STRIP_MESH &strip : r.StripMeshes) {
        const MVE_MESH *mesh = MVE_GetMesh(strip.iMesh);
        MVE_MATERIAL *material = MVE_GetMaterial(strip.iMaterial);
        MVE_SHADER *shader = material ? MVE_MaterialShader(material) : nullptr;
        if (!mesh || mesh->iVertexArray <= 0 || mesh->iIndices <= 0 || !shader || !shader->uProgram) continue;
        // A mesh finished again (or reloaded) may have new triangles: its strip indices follow.
        if (strip.uBuiltFor != mesh->uUpload && !BuildStripIndices(strip, *mesh)) continue;
        MVE_UseShaderProgram(shader, 0);
        MVE_ApplyMaterial(material);
        MVE_UploadModel(r.Camera.m4fView, 1);
        // The mesh's vertex array with the strip indices in place of its own, put back afterwards.
        gl.glBindVertexArray(static_cast<GLuint>(mesh->iVertexArray));
        gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, strip.uIndexBuffer);
        gl.glDrawElements(GL_TRIANGLE_STRIP, strip.iIndices, GL_UNSIGNED_INT, nullptr);
        gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(mesh->iIndexBuffer));
        ++drawn;
    }
    gl.glBindVertexArray(0);
    gl.glDisable(GL_PRIMITIVE_RESTART);
    gl.glDepthMask(GL_TRUE);
    return drawn;
}

void MVE_ShutdownBackdrops() {
    MVE_RENDER_STATE &r = R();
    for (MVE_STRIP_MESH &strip : r.StripMeshes) DeleteStripIndices(strip);
    r.StripMeshes.clear();
    r.SkyMeshes.clear();
}
