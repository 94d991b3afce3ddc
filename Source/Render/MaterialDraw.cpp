// Drawing with a material: the per-program sampler units and frame uniforms of a program
// (MVE_UseShaderProgram) and the textures, Material block and extra uniforms of a material
// (MVE_ApplyMaterial). Main thread only. Nothing here allocates; every look-up is a slot index.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <cmath>

namespace {

double EngineTime() { return static_cast<double>(MVE_EngineMilliseconds()) / 1000.0; }

void Units(const MVE_SHADER *shader, int firstSlot, int count, int firstUnit) {
    const MVE_GL_TABLE &gl = MVE_gl();
    for (int i = 0; i < count; ++i) gl.glUniform1i(MVE_ShaderSlot(shader, firstSlot + i), firstUnit + i);
}

void Bind(int unit, GLenum target, GLuint texture) {
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glActiveTexture(GL_TEXTURE0 + unit);
    gl.glBindTexture(target, texture);
}

void BindTexture(int unit, const MVE_TEXTURE *texture, GLenum fallback) {
    if (texture) Bind(unit, static_cast<GLenum>(texture->iTarget), texture->iTexture);
    else Bind(unit, fallback, 0);
}

int Program(const MVE_MATERIAL *material) {
    return material && material->Shader ? material->Shader->iType : 0;
}

}  // namespace

// Emission is carried by the material's reserved float (block offset 28 of the emitting programs).
float MVE_MaterialEmission(const MVE_MATERIAL *material) { return material ? material->fReserved : 0.0f; }

MVE_SHADER *MVE_MaterialShader(const MVE_MATERIAL *material) { return material ? material->Shader : nullptr; }
int MVE_MaterialCullsBackFaces(const MVE_MATERIAL *material) { return material ? material->iBackFaceCulling : 1; }
int MVE_MaterialWireframe(const MVE_MATERIAL *material) { return material ? material->iWireframe : 0; }

const MVE_TEXTURE *MVE_MaterialFirstTexture(const MVE_MATERIAL *material) {
    const MVE_TEXTURE *t = material ? material->Texture[0] : nullptr;
    return t && t->iTexture ? t : nullptr;
}

// Grass sways: the reflection value is the strength, the refraction value the speed.
void MVE_MaterialWind(const MVE_MATERIAL *material, float wind[3]) {
    const double t = EngineTime() * (material ? material->fRefraction * 100.0 : 1.0);
    const float strength = material ? material->fReflection : 0.0f;
    wind[0] = static_cast<float>(std::sin(t)) * strength;
    wind[1] = 0.0f;
    wind[2] = static_cast<float>(std::cos(t * 0.7)) * strength * 0.5f;
}

void MVE_UseShaderProgram(MVE_SHADER *shader, int) {
    if (!shader || !shader->uProgram) return;
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GL_TABLE &gl = MVE_gl();
    const m4f &view = e.Render.Camera.m4fView;
    gl.glUseProgram(shader->uProgram);
    switch (shader->iType) {
        case MVE_PROGRAM_TEXTURES:
        case MVE_PROGRAM_NORMAL_MAPPING_SILHOUETTE:
        case MVE_PROGRAM_MESH_GLOW:
            Units(shader, 0, 1, 0);
            break;
        case MVE_PROGRAM_NORMAL_MAPPING:
        case MVE_PROGRAM_PARALLAX_MAPPING:
            Units(shader, 0, 2, 0);
            break;
        case MVE_PROGRAM_SPECULAR_NORMAL_MAPPING:
        case MVE_PROGRAM_TEXTURE_ARRAY:
        case MVE_PROGRAM_GRASS:
        case MVE_PROGRAM_SPECULAR_PARALLAX_MAPPING:
            Units(shader, 0, 3, 0);
            break;
        case MVE_PROGRAM_REFLECTION_NORMAL_MAPPING:
            gl.glUniformMatrix4fv(MVE_ShaderSlot(shader, 0), 1, GL_FALSE, view.m);
            Units(shader, 1, 3, 0);
            break;
        case MVE_PROGRAM_WATER: {
            Units(shader, 0, 6, 0);
            const v4f &s = e.Defaults.v4fSunDirection;
            const float *m = view.m;
            const float l[3] = {m[0] * s.x + m[4] * s.y + m[8] * s.z, m[1] * s.x + m[5] * s.y + m[9] * s.z,
                                m[2] * s.x + m[6] * s.y + m[10] * s.z};
            gl.glUniform3fv(MVE_ShaderSlot(shader, 8), 1, l);
            gl.glUniformMatrix4fv(MVE_ShaderSlot(shader, 9), 1, GL_FALSE, view.m);
            break;
        }
        case MVE_PROGRAM_MASK_REFRACTION:
            Units(shader, 0, 4, 0);
            break;
        default:
            break;
    }
}

void MVE_ApplyMaterial(MVE_MATERIAL *material) {
    if (!material) return;
    MVE_ENGINE &e = MVE_Engine();
    const MVE_GL_TABLE &gl = MVE_gl();
    const MVE_SHADER *shader = material->Shader;
    const int program = Program(material);
    const MVE_GBUFFER_STATE &g = e.GBuffer;
    float block[12] = {material->v4fColor.x, material->v4fColor.y, material->v4fColor.z, material->v4fColor.w,
                       material->fShine, material->fHardness, material->fSurfaceScattering, 0.0f,
                       material->v4fShineColor.x, material->v4fShineColor.y, material->v4fShineColor.z,
                       material->v4fShineColor.w};
    int bytes = 0;
    switch (program) {
        case MVE_PROGRAM_DEFAULT:
        case MVE_PROGRAM_DRAW_MESH:
            gl.glUniform4fv(MVE_ShaderSlot(shader, 0), 1, &material->v4fColor.x);
            break;
        case MVE_PROGRAM_TEXTURES:
            BindTexture(0, material->Texture[0], GL_TEXTURE_2D);
            gl.glUniform4fv(MVE_ShaderSlot(shader, 1), 1, &material->v4fColor.x);
            break;
        case MVE_PROGRAM_NORMAL_MAPPING:
        case MVE_PROGRAM_PARALLAX_MAPPING:
            BindTexture(0, material->Texture[0], GL_TEXTURE_2D);
            BindTexture(1, material->Texture[1], GL_TEXTURE_2D);
            block[7] = program == MVE_PROGRAM_NORMAL_MAPPING ? MVE_MaterialEmission(material) : 0.0f;
            bytes = 48;
            break;
        case MVE_PROGRAM_REFLECTION_NORMAL_MAPPING:
            BindTexture(0, material->Texture[0], GL_TEXTURE_2D);
            BindTexture(1, material->Texture[1], GL_TEXTURE_2D);
            BindTexture(2, material->ReflectionMap, GL_TEXTURE_CUBE_MAP);
            block[7] = material->fReflection;
            bytes = 48;
            break;
        case MVE_PROGRAM_SPECULAR_NORMAL_MAPPING:
        case MVE_PROGRAM_SPECULAR_PARALLAX_MAPPING:
        case MVE_PROGRAM_GRASS:
        case MVE_PROGRAM_TEXTURE_ARRAY: {
            const GLenum target = program == MVE_PROGRAM_TEXTURE_ARRAY ? GL_TEXTURE_2D_ARRAY : GL_TEXTURE_2D;
            for (int i = 0; i < 3; ++i) BindTexture(i, material->Texture[i], target);
            if (program == MVE_PROGRAM_GRASS) {
                float wind[3];
                MVE_MaterialWind(material, wind);
                gl.glUniform3fv(MVE_ShaderSlot(shader, 3), 1, wind);
            }
            bytes = 28;
            break;
        }
        case MVE_PROGRAM_NORMAL_MAPPING_SILHOUETTE:
            BindTexture(0, material->Texture[0], GL_TEXTURE_2D);
            bytes = 24;
            break;
        case MVE_PROGRAM_MESH_GLOW:
            Bind(0, GL_TEXTURE_2D, g.uTexture[5]);
            gl.glUniform1f(MVE_ShaderSlot(shader, 1), material->fReflection);
            bytes = 24;
            break;
        case MVE_PROGRAM_WATER:
        case MVE_PROGRAM_MASK_REFRACTION: {
            // The scene behind the surface and the G-Buffer depth come from the frame; the surface's
            // own maps from the material.
            const bool water = program == MVE_PROGRAM_WATER;
            Bind(0, GL_TEXTURE_2D, g.uSceneTexture[0]);
            if (water) {
                BindTexture(1, material->Texture[0], GL_TEXTURE_2D);
                BindTexture(2, material->Texture[1], GL_TEXTURE_2D);
                BindTexture(3, material->ReflectionMap, GL_TEXTURE_CUBE_MAP);
                Bind(4, GL_TEXTURE_2D, g.uTexture[5]);
                Bind(5, GL_TEXTURE_2D, g.uTexture[4]);
                gl.glUniform1f(MVE_ShaderSlot(shader, 7), material->fReflection);
            } else {
                Bind(1, GL_TEXTURE_2D, g.uTexture[5]);
                BindTexture(2, material->Texture[0], GL_TEXTURE_2D);
                BindTexture(3, material->Texture[1], GL_TEXTURE_2D);
            }
            const float t = static_cast<float>(std::fmod(EngineTime() * 0.02, 1.0));
            const float offset[2] = {t, t * 0.5f};
            gl.glUniform2fv(MVE_ShaderSlot(shader, water ? 6 : 4), 1, offset);
            block[7] = material->fRefraction;
            bytes = 48;
            break;
        }
        default:
            break;
    }
    gl.glActiveTexture(GL_TEXTURE0);
    if (bytes) MVE_WriteShaderBuffer(MVE_BUFFER_MATERIAL, 0, block, bytes);
}

extern "C" int MVE_SetMaterialEmission(int id, float emission) {
    MVE_MATERIAL *material = MVE_GetMaterial(id);
    if (!material) {
        MVE_LogFail("Fail: Material " + std::to_string(id) + " not found!", "MVE_SetMaterialEmission");
        return 0;
    }
    material->fReserved = emission;
    return 1;
}
