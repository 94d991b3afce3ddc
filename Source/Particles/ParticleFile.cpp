// Particle emitters from definition files: the ParticleEmitter section read into a new emitter, and
// read again into the emitter it made when its file is saved (live reload). Main thread; the emitter
// list is changed under the particle lock only. Never leaves half a section applied: a section is
// read into a scratch emitter first.
#include "Particles/Particles.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Reload/Reload.h"
#include <algorithm>
#include <cctype>
#include <string>

namespace {

constexpr const char *kLoadDefinition = "MVE_LoadParticleEmitterDefinition";
constexpr float kDegrees = 3.14159265358979323846f / 180.0f;

using Guard = std::lock_guard<std::recursive_mutex>;
std::recursive_mutex &Lock() { return MVE_Engine().Particles.Lock; }

std::string Upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The capacity the section asks for; 0 after the red row when it cannot be had.
int ReadCapacity(MVE_DEFINITION_NODE *section) {
    bool refused = false;
    const int capacity = MVE_ReadDefinitionIntegerKey(MVE_FindDefinitionNode(section, "Emission\\MaxParticles", "", 0), 256,
                                                      "MaxParticles", kLoadDefinition, &refused);
    if (refused) return 0;
    if (capacity < 1) {
        // Nothing could ever be drawn, and a negative size would reach the arrays: refuse the file.
        MVE_LogFail(MVE_FAIL_EMITTER_CAPACITY, kLoadDefinition);
        return 0;
    }
    if (capacity > MVE_PARTICLES_MAX) {
        // The arrays are allocated at once: a huge number would exhaust memory before any drawing.
        MVE_LogFail(MVE_FAIL_EMITTER_CAPACITY_MAX, kLoadDefinition);
        return 0;
    }
    return capacity;
}

// Every setting of the section into `e` (no arrays, no GL). A material named in the file replaces
// e->iMaterial; an inline material block reloads e->iOwnMaterial in place, or makes it.
void ReadSettings(MVE_DEFINITION_NODE *section, MVE_PARTICLE_EMITTER *e) {
    auto find = [&](const char *path) { return MVE_FindDefinitionNode(section, path, "", 0); };
    MVE_ReadDefinitionVector(find("Emission\\Size"), &e->v4fSize, 0, 0, 0, 0);
    MVE_ReadDefinitionVector(find("Emission\\Direction"), &e->v4fDirection, 0, 1, 0, 0);
    MVE_ReadDefinitionVector(find("Emission\\Position"), &e->v4fPosition, 0, 0, 0, 1);
    const std::string mode = Upper(MVE_ReadDefinitionString(find("Emission\\Mode"), "WORLD"));
    e->iMode = mode == "LOCAL" ? MVE_PARTICLE_MODE_LOCAL : MVE_PARTICLE_MODE_WORLD;
    const std::string area = Upper(MVE_ReadDefinitionString(find("Emission\\Area"), "POINT"));
    e->iArea = area == "BOX" ? MVE_PARTICLE_AREA_BOX : (area == "RING" ? MVE_PARTICLE_AREA_RING : MVE_PARTICLE_AREA_POINT);
    e->fFrequency = MVE_ReadDefinitionFloat(find("Emission\\Frequency"), 1.0f);
    e->fAngle = MVE_ReadDefinitionFloat(find("Emission\\Angle"), 0.0f);
    e->fForce = MVE_ReadDefinitionFloat(find("Emission\\Force"), 0.0f);
    MVE_ReadDefinitionRange(find("Emission\\Radius"), e->fRadius, 1, 1);
    MVE_ReadDefinitionRange(find("Emission\\Velocity"), e->fVelocity, 1, 1);

    if (MVE_DEFINITION_NODE *m = find("Particle\\Material")) {
        const std::string word = m->sValue;
        if (!word.empty()) {
            if (MVE_MATERIAL *known = MVE_Engine().Registries.Materials.GetByName(word)) e->iMaterial = MVE_HandleOf(known);
            else MVE_LogFail("Material not found: " + word, kLoadDefinition);
        } else if (MVE_DEFINITION_NODE *parent = find("Particle")) {
            // An inline block: the material's own keys sit under it.
            int own = e->iOwnMaterial;
            if (own && MVE_GetMaterial(own)) {
                if (!MVE_ReloadMaterialSection(own, m)) own = 0;
            } else {
                own = e->iOwnMaterial = MVE_LoadMaterialDefinition(-1, parent, "");
            }
            if (own) e->iMaterial = own;
        }
    }
    MVE_MATERIAL *material = e->iMaterial ? MVE_GetMaterial(e->iMaterial) : nullptr;
    MVE_ReadDefinitionRange(find("Particle\\Intensity"), e->fIntensity, 1, 1);
    MVE_ReadDefinitionRange(find("Particle\\FadeOut"), e->fFadeOut, 0, 0);
    MVE_ReadDefinitionRange(find("Particle\\FadeIn"), e->fFadeIn, 0, 0);
    MVE_ReadDefinitionRange(find("Particle\\LifeTime"), e->fLifeTime, 1, 1);
    e->fLifeTime[0] *= 1000.0f;
    e->fLifeTime[1] *= 1000.0f;
    MVE_ReadDefinitionRange(find("Particle\\Size"), e->fSize, 1, 1);
    MVE_ReadDefinitionRange(find("Particle\\Raise"), e->fRaise, 0, 0);
    e->v4fColor = material ? material->v4fColor : v4f{1, 1, 1, 1};
    if (MVE_DEFINITION_NODE *c = find("Particle\\Color")) MVE_ReadDefinitionColor(c, &e->v4fColor, 0xFFFFFFFFu);
    MVE_ReadDefinitionRange(find("Particle\\Orientation"), e->fOrientation, 0, 0);
    MVE_ReadDefinitionRange(find("Particle\\Rotation"), e->fRotation, 0, 0);
    for (int k = 0; k < 2; ++k) {
        e->fOrientation[k] *= kDegrees;
        e->fRotation[k] *= kDegrees;
    }
}

}  // namespace

extern "C" int MVE_LoadParticleEmitterDefinition(int id, MVE_DEFINITION_NODE *node, const char *folder) {
    (void)folder;
    MVE_SectionLoad load;
    MVE_DEFINITION_NODE *section = node ? MVE_FindDefinitionNode(node, "ParticleEmitter", "", 0) : nullptr;
    if (!section) {
        MVE_LogFail(MVE_FAIL_NO_EMITTER_SECTION, kLoadDefinition);
        return 0;
    }
    const int capacity = ReadCapacity(section);
    if (!capacity) return 0;
    Guard guard(Lock());
    const std::string name = section->sValue;
    const int handle = MVE_CreateParticleEmitter(id, -1, name.c_str());
    MVE_PARTICLE_EMITTER *e = handle ? MVE_GetParticleEmitter(handle) : nullptr;
    if (!e) return 0;
    ReadSettings(section, e);
    MVE_BuildParticleDirection(e);
    e->iMaxParticles = capacity;
    MVE_ResizeParticleArrays(e);
    MVE_UpdateParticleTransform(e);
    load.Done(section, handle);
    return handle;
}

int MVE_ReloadEmitterSection(int handle, MVE_DEFINITION_NODE *section) {
    MVE_SectionLoad load;
    MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(handle);
    if (!e || !section) return 0;
    const int capacity = ReadCapacity(section);
    if (!capacity) return 0;
    MVE_PARTICLE_EMITTER scratch;
    // A section without a material key draws with the default particle material, as a first load would.
    scratch.iMaterial = MVE_Engine().Builtin.iParticleMaterial;
    scratch.iOwnMaterial = e->iOwnMaterial;
    ReadSettings(section, &scratch);
    Guard guard(Lock());
    if (!(e = MVE_GetParticleEmitter(handle))) return 0;
    std::copy(scratch.fVelocity, scratch.fVelocity + 2, e->fVelocity);
    std::copy(scratch.fFadeOut, scratch.fFadeOut + 2, e->fFadeOut);
    std::copy(scratch.fFadeIn, scratch.fFadeIn + 2, e->fFadeIn);
    std::copy(scratch.fLifeTime, scratch.fLifeTime + 2, e->fLifeTime);
    std::copy(scratch.fIntensity, scratch.fIntensity + 2, e->fIntensity);
    std::copy(scratch.fSize, scratch.fSize + 2, e->fSize);
    std::copy(scratch.fRaise, scratch.fRaise + 2, e->fRaise);
    std::copy(scratch.fOrientation, scratch.fOrientation + 2, e->fOrientation);
    std::copy(scratch.fRotation, scratch.fRotation + 2, e->fRotation);
    std::copy(scratch.fRadius, scratch.fRadius + 2, e->fRadius);
    e->fFrequency = scratch.fFrequency;
    e->fForce = scratch.fForce;
    e->fAngle = scratch.fAngle;
    e->iArea = scratch.iArea;
    e->iMode = scratch.iMode;
    e->v4fColor = scratch.v4fColor;
    e->v4fDirection = scratch.v4fDirection;
    e->v4fSize = scratch.v4fSize;
    e->iMaterial = scratch.iMaterial;
    e->iOwnMaterial = scratch.iOwnMaterial;
    MVE_BuildParticleDirection(e);
    if (e->iMaxParticles != capacity) {
        e->iMaxParticles = capacity;
        MVE_ResizeParticleArrays(e);
    }
    return 1;
}

extern "C" int MVE_LoadParticleEmitter(int id, const char *file) {
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(file ? file : "", nullptr, MVE_FILE_EMITTER);
    if (!root) {
        const std::string &why = MVE_Engine().Definition.sLastFailure;
        MVE_LogFail(why.empty() ? "Fail: File not found!" : why, "MVE_LoadParticleEmitter");
        return 0;
    }
    const std::string folder = MVE_GetDefinitionFolder(root);
    const int handle = MVE_LoadParticleEmitterDefinition(id, root, folder.c_str());
    MVE_FreeDefinitionNode(root, 1);
    return handle;
}
