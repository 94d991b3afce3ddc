// Material fields set and read by code: each setter stores what the definition key of the same name
// would (same conversions), so the next frame's Material block and draw lists show it. Main thread.
// A refused call (unknown material, a number that is not finite, a value out of range) changes nothing.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <cmath>
#include <string>

namespace {

MVE_MATERIAL *Find(int id, const char *procedure) {
    MVE_MATERIAL *material = MVE_GetMaterial(id);
    if (!material) MVE_LogFail("Fail: Material " + std::to_string(id) + " not found!", procedure);
    return material;
}

// The material, when the value is a finite number too.
MVE_MATERIAL *FindFor(int id, float value, const char *procedure) {
    MVE_MATERIAL *material = Find(id, procedure);
    if (material && !std::isfinite(value)) {
        MVE_LogFail("Fail: " + std::to_string(value) + " is no finite number!", procedure);
        return nullptr;
    }
    return material;
}

int SetFloat(int id, float value, float MVE_MATERIAL::*field, const char *procedure) {
    MVE_MATERIAL *material = FindFor(id, value, procedure);
    if (!material) return 0;
    material->*field = value;
    return 1;
}

float GetFloat(int id, float MVE_MATERIAL::*field, const char *procedure) {
    const MVE_MATERIAL *material = Find(id, procedure);
    return material ? material->*field : 0.0f;
}

v4f *GetColor(int id, v4f *out, v4f MVE_MATERIAL::*field, const char *procedure) {
    const MVE_MATERIAL *material = Find(id, procedure);
    if (!material) return nullptr;
    if (!out) {
        MVE_LogFail("Fail: No vector to write the colour into!", procedure);
        return nullptr;
    }
    *out = material->*field;
    return out;
}

bool IsBlendFactor(int factor) { return factor == 0 || factor == 1 || (factor >= 0x300 && factor <= 0x308); }

}  // namespace

// A packed colour as the key's single value reads it: an alpha byte of 0 is opaque.
extern "C" int MVE_SetMaterialColor(int id, uint32_t color) {
    MVE_MATERIAL *material = Find(id, "MVE_SetMaterialColor");
    if (!material) return 0;
    MVE_v4fColor(&material->v4fColor, color);
    return 1;
}

extern "C" int MVE_SetMaterialShineColor(int id, uint32_t color) {
    MVE_MATERIAL *material = Find(id, "MVE_SetMaterialShineColor");
    if (!material) return 0;
    MVE_v4fColor(&material->v4fShineColor, color);
    return 1;
}

extern "C" int MVE_SetMaterialShine(int id, float shine) {
    return SetFloat(id, shine, &MVE_MATERIAL::fShine, "MVE_SetMaterialShine");
}

extern "C" int MVE_SetMaterialHardness(int id, float hardness) {
    return SetFloat(id, hardness, &MVE_MATERIAL::fHardness, "MVE_SetMaterialHardness");
}

extern "C" int MVE_SetMaterialSurfaceScattering(int id, float scattering) {
    return SetFloat(id, scattering, &MVE_MATERIAL::fSurfaceScattering, "MVE_SetMaterialSurfaceScattering");
}

extern "C" int MVE_SetMaterialReflection(int id, float reflection) {
    return SetFloat(id, reflection, &MVE_MATERIAL::fReflection, "MVE_SetMaterialReflection");
}

extern "C" int MVE_SetMaterialRefraction(int id, float percent) {
    MVE_MATERIAL *material = FindFor(id, percent, "MVE_SetMaterialRefraction");
    if (!material) return 0;
    material->fRefraction = percent * 0.01f;  // as the key: "Refraction: 10" stores 0.1
    return 1;
}

extern "C" int MVE_SetMaterialWireframe(int id, int on) {
    MVE_MATERIAL *material = Find(id, "MVE_SetMaterialWireframe");
    if (!material) return 0;
    material->iWireframe = on ? 1 : 0;
    return 1;
}

extern "C" int MVE_SetMaterialBackFaceCulling(int id, int on) {
    MVE_MATERIAL *material = Find(id, "MVE_SetMaterialBackFaceCulling");
    if (!material) return 0;
    material->iBackFaceCulling = on ? 1 : 0;
    return 1;
}

extern "C" int MVE_SetMaterialBlendMode(int id, int source, int destination) {
    static const char *const kProcedure = "MVE_SetMaterialBlendMode";
    MVE_MATERIAL *material = Find(id, kProcedure);
    if (!material) return 0;
    if (!IsBlendFactor(source) || !IsBlendFactor(destination)) {
        MVE_LogFail("Fail: " + std::to_string(source) + ", " + std::to_string(destination) +
                        " are not both blend factors (0, 1, 0x300 to 0x308)!",
                    kProcedure);
        return 0;
    }
    material->iBlendSource = source;
    material->iBlendDestination = destination;
    return 1;
}

extern "C" int MVE_SetMaterialShader(int id, int program) {
    static const char *const kProcedure = "MVE_SetMaterialShader";
    MVE_MATERIAL *material = Find(id, kProcedure);
    if (!material) return 0;
    if (program < 1 || program >= MVE_PROGRAM_TABLE_SIZE) {
        MVE_LogFail("Fail: There is no built-in program " + std::to_string(program) + "!", kProcedure);
        return 0;
    }
    MVE_ChangeMaterialProgram(material, program);
    return 1;
}

extern "C" int MVE_SetMaterialTexture(int id, int slot, int texture) {
    static const char *const kProcedure = "MVE_SetMaterialTexture";
    MVE_MATERIAL *material = Find(id, kProcedure);
    if (!material) return 0;
    if (slot < 0 || slot > 3) {
        MVE_LogFail("Fail: A material has texture slots 0 to 3, not " + std::to_string(slot) + "!", kProcedure);
        return 0;
    }
    MVE_TEXTURE *chosen = nullptr;
    if (texture == -1) {
        // The textures a material made with texture -1 gets; slot 3 has none.
        if (slot < 3) chosen = MVE_BuiltinTexture(MVE_Engine().Builtin.iDefaultTexture[slot]);
    } else if (texture != MVE_IGNORE) {
        chosen = MVE_GetTexture(texture);
        if (!chosen) {
            MVE_LogFail(MVE_FAIL_TEXTURE_NOT_FOUND, kProcedure);
            return 0;
        }
    }
    material->Texture[slot] = chosen;
    return 1;
}

extern "C" v4f *MVE_GetMaterialColor(int id, v4f *out) {
    return GetColor(id, out, &MVE_MATERIAL::v4fColor, "MVE_GetMaterialColor");
}

extern "C" v4f *MVE_GetMaterialShineColor(int id, v4f *out) {
    return GetColor(id, out, &MVE_MATERIAL::v4fShineColor, "MVE_GetMaterialShineColor");
}

extern "C" float MVE_GetMaterialShine(int id) { return GetFloat(id, &MVE_MATERIAL::fShine, "MVE_GetMaterialShine"); }

extern "C" float MVE_GetMaterialHardness(int id) {
    return GetFloat(id, &MVE_MATERIAL::fHardness, "MVE_GetMaterialHardness");
}

extern "C" float MVE_GetMaterialSurfaceScattering(int id) {
    return GetFloat(id, &MVE_MATERIAL::fSurfaceScattering, "MVE_GetMaterialSurfaceScattering");
}

extern "C" float MVE_GetMaterialReflection(int id) {
    return GetFloat(id, &MVE_MATERIAL::fReflection, "MVE_GetMaterialReflection");
}

extern "C" float MVE_GetMaterialRefraction(int id) {
    return GetFloat(id, &MVE_MATERIAL::fRefraction, "MVE_GetMaterialRefraction") * 100.0f;
}

extern "C" float MVE_GetMaterialEmission(int id) {
    return GetFloat(id, &MVE_MATERIAL::fReserved, "MVE_GetMaterialEmission");
}

extern "C" int MVE_GetMaterialWireframe(int id) {
    const MVE_MATERIAL *material = Find(id, "MVE_GetMaterialWireframe");
    return material && material->iWireframe ? 1 : 0;
}

extern "C" int MVE_GetMaterialBackFaceCulling(int id) {
    const MVE_MATERIAL *material = Find(id, "MVE_GetMaterialBackFaceCulling");
    return material && material->iBackFaceCulling ? 1 : 0;
}

extern "C" int MVE_GetMaterialBlendMode(int id, int *source, int *destination) {
    const MVE_MATERIAL *material = Find(id, "MVE_GetMaterialBlendMode");
    if (!material) return 0;
    if (source) *source = material->iBlendSource;
    if (destination) *destination = material->iBlendDestination;
    return 1;
}

extern "C" int MVE_GetMaterialShader(int id) {
    const MVE_MATERIAL *material = Find(id, "MVE_GetMaterialShader");
    return material ? material->iProgram : 0;
}

extern "C" int MVE_GetMaterialTexture(int id, int slot) {
    static const char *const kProcedure = "MVE_GetMaterialTexture";
    const MVE_MATERIAL *material = Find(id, kProcedure);
    if (!material) return 0;
    if (slot < 0 || slot > 3) {
        MVE_LogFail("Fail: A material has texture slots 0 to 3, not " + std::to_string(slot) + "!", kProcedure);
        return 0;
    }
    return MVE_HandleOf(material->Texture[slot]);
}
