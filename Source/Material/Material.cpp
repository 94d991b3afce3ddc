// Materials made by code (MVE_CreateMaterial, MVE_CopyMaterial), their draw-list entry and what
// freeing one (or a texture or program it uses) must undo elsewhere. Main thread only; the draw
// lists change under the physics lock, as the frame copy reads them under it.
#include "Material/Material.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Object/Object.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <mutex>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &DrawListLock() { return MVE_Engine().Physics.Lock; }

void LeaveDrawList(MVE_MATERIAL *material) {
    if (!material->Shader) return;
    Guard guard(DrawListLock());
    auto &list = material->Shader->Materials;
    list.erase(std::remove(list.begin(), list.end(), material), list.end());
}

}  // namespace

// Slot 14 ("REFRACTION") has no program of its own; the masked refraction program is the one that
// draws refracting surfaces, so such materials are drawn with it rather than not at all.
static int DrawProgram(int program) { return program == MVE_PROGRAM_REFRACTION ? MVE_PROGRAM_MASK_REFRACTION : program; }

uint64_t MVE_NextMaterialSerial(void) { return ++MVE_Engine().Registries.uMaterialSerial; }

void MVE_EnterMaterialForDrawing(MVE_MATERIAL *material) {
    if (!material || !material->Shader || material->Shader->iRenderGroup == MVE_RENDER_GROUP_NONE) return;
    Guard guard(DrawListLock());
    auto &list = material->Shader->Materials;
    if (std::find(list.begin(), list.end(), material) != list.end()) return;
    // A material that changed its program joins the new list where its age puts it, as if it had
    // been made for that program: blended materials keep covering each other in creation order.
    auto at = std::upper_bound(list.begin(), list.end(), material->uSerial,
                               [](uint64_t serial, const MVE_MATERIAL *m) { return serial < m->uSerial; });
    list.insert(at, material);
}

void MVE_EnterProgramMaterials(MVE_SHADER *shader) {
    if (!shader || shader->iRenderGroup == MVE_RENDER_GROUP_NONE) return;
    // The registry keeps its entries in the order they were made, which is the draw order.
    MVE_Engine().Registries.Materials.ForEach([shader](MVE_MATERIAL *material) {
        if (material->Shader == shader) MVE_EnterMaterialForDrawing(material);
    });
}

void MVE_ReleaseMaterial(MVE_MATERIAL *material) {
    LeaveDrawList(material);
    MVE_DetachMaterial(material);
}

void MVE_DetachTexture(const MVE_TEXTURE *texture) {
    if (!texture) return;
    MVE_Engine().Registries.Materials.ForEach([texture](MVE_MATERIAL *material) {
        for (MVE_TEXTURE *&slot : material->Texture)
            if (slot == texture) slot = nullptr;
        if (material->ReflectionMap == texture) material->ReflectionMap = nullptr;
    });
}

void MVE_DetachShader(const MVE_SHADER *shader) {
    if (!shader) return;
    Guard guard(DrawListLock());
    MVE_Engine().Registries.Materials.ForEach([shader](MVE_MATERIAL *material) {
        if (material->Shader == shader) material->Shader = nullptr;
    });
}

MVE_TEXTURE *MVE_BuiltinTexture(int handle) { return handle ? MVE_GetTexture(handle) : nullptr; }

// Points a material at the program of its number (slot 14 drawing with 15) and the sky cube map.
void MVE_SetMaterialProgram(MVE_MATERIAL *material, int program) {
    material->iProgram = DrawProgram(program);
    material->Shader = MVE_GetBuiltinShader(material->iProgram);
}

void MVE_ChangeMaterialProgram(MVE_MATERIAL *material, int program) {
    Guard guard(DrawListLock());  // the frame copy must never see it in two lists or in none midway
    LeaveDrawList(material);
    MVE_SetMaterialProgram(material, program);
    MVE_EnterMaterialForDrawing(material);
}

extern "C" int MVE_CreateMaterial(int id, int texture, int program, const char *name) {
    const MVE_BUILTIN_RESOURCES &builtin = MVE_Engine().Builtin;
    int handle = 0;
    MVE_MATERIAL *material = MVE_CreateMaterialListEntry(&id, name ? name : "", &handle);
    if (!material) return 0;
    MVE_SetMaterialProgram(material, program);
    if (texture == -1) {
        for (int i = 0; i < 3; i++) material->Texture[i] = MVE_BuiltinTexture(builtin.iDefaultTexture[i]);
    } else {
        material->Texture[0] = MVE_GetTexture(texture);
    }
    material->ReflectionMap = MVE_BuiltinTexture(builtin.iDefaultCubeMap);
    MVE_EnterMaterialForDrawing(material);
    return handle;
}

extern "C" int MVE_CopyMaterial(int id, int source, const char *name) {
    // The source is copied before the new entry exists: the new ID or name may be the source's own,
    // and creating the entry would free it.
    const MVE_MATERIAL *original = MVE_GetMaterial(source);
    if (!original) {
        MVE_LogFail(MVE_FAIL_MATERIAL_NOT_FOUND, "MVE_CopyMaterial");
        return 0;
    }
    MVE_MATERIAL copy = *original;
    int handle = 0;
    MVE_MATERIAL *material = MVE_CreateMaterialListEntry(&id, name ? name : "", &handle);
    if (!material) return 0;
    const int newID = material->iID;
    const std::string newName = material->sName;
    const uint64_t newSerial = material->uSerial;
    *material = copy;
    material->iID = newID;
    material->sName = newName;
    material->uSerial = newSerial;
    // The copy's program pointer may belong to a program freed since; take it afresh by number.
    MVE_SetMaterialProgram(material, copy.iProgram);
    MVE_EnterMaterialForDrawing(material);
    return handle;
}

extern "C" int MVE_GetMaterialID(const char *name) {
    const MVE_MATERIAL *material = name ? MVE_Engine().Registries.Materials.GetByName(name) : nullptr;
    if (!material) {
        MVE_LogFail("Fail: No material is named \"" + std::string(name ? name : "") + "\"!", "MVE_GetMaterialID");
        return 0;
    }
    return MVE_HandleOf(material);
}
