// Material sections of definition files: every key, the shader and blend-factor word tables, and
// the loaders the definition walk reaches through its hooks. Main thread only.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Reload/Reload.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <algorithm>
#include <iterator>

namespace {

const char *const kProcedure = "MVE_LoadMaterialDefinition";

struct Word {
    const char *sWord;
    int iValue;
};

const Word kShaderWords[] = {
    {"NONE", 1},         {"DRAWING", 3},         {"TEXTURED", 4},          {"NORMALMAP", 5},
    {"REFLECTIONNORMAL", 6}, {"NORMALMAPSILHOUETTE", 7}, {"SPECULARNORMALMAP", 8}, {"GRASS", 10},
    {"PARALLAX", 11},    {"SPECULARPARALLAX", 12}, {"WATER", 13},          {"REFRACTION", 14},
    {"MASKREFRACTION", 15}, {"PARTICLE", 19},    {"SOFTPARTICLE", 20},     {"SPRITE", 24},
};

const Word kBlendWords[] = {
    {"ZERO", 0},          {"ONE", 1},
    {"SRC_COLOR", 0x300}, {"ONE_MINUS_SRC_COLOR", 0x301},
    {"SRC_ALPHA", 0x302}, {"ONE_MINUS_SRC_ALPHA", 0x303},
    {"DST_ALPHA", 0x304}, {"ONE_MINUS_DST_ALPHA", 0x305},
    {"DST_COLOR", 0x306}, {"ONE_MINUS_DST_COLOR", 0x307},
    {"SRC_ALPHA_SATURATE", 0x308},
};

template <size_t N> int Lookup(const Word (&table)[N], const std::string &word, int missing) {
    for (const Word &w : table)
        if (word == w.sWord) return w.iValue;
    return missing;
}

MVE_DEFINITION_NODE *Key(MVE_DEFINITION_NODE *section, const std::string &key) {
    return MVE_FindDefinitionNode(section, ("\\" + key).c_str(), "", 0);
}

}  // namespace

int MVE_MaterialShaderWord(const std::string &word) { return Lookup(kShaderWords, word, 1); }
int MVE_MaterialBlendWord(const std::string &word) { return Lookup(kBlendWords, word, -1); }

namespace {

// Every key of a Material section into a record that starts as a definition's does (from zero where
// the keys say so). A texture block inside the section reloads the texture it made before (in
// iOwnTexture), or makes one.
void ReadSection(MVE_DEFINITION_NODE *section, MVE_MATERIAL *material) {
    // A colour list with fewer than three items and a blend word that is not in the table leave
    // what the record held, and a definition's record starts from zero.
    material->v4fColor = material->v4fShineColor = v4f{0, 0, 0, 0};
    material->iBlendSource = material->iBlendDestination = 0;

    MVE_ReadDefinitionColor(Key(section, "Color"), &material->v4fColor, 0xFFFFFFFFu);
    MVE_SetMaterialProgram(material, MVE_MaterialShaderWord(MVE_ReadDefinitionString(Key(section, "Shader"), "NONE")));

    for (int k = 0; k < 4; k++) {
        const std::string key = "Texture[" + std::to_string(k) + "]";
        MVE_DEFINITION_NODE *slot = Key(section, key);
        if (!slot) continue;
        if (!slot->sValue.empty()) {
            material->Texture[k] = MVE_Engine().Registries.Textures.GetByName(slot->sValue);
            if (!material->Texture[k]) MVE_LogFail(key + " not found: " + slot->sValue, kProcedure);
            continue;
        }
        // An empty value opens a block: a texture defined in place. Reloaded, it stays the same
        // texture; a picture that does not load leaves it as it was.
        int own = material->iOwnTexture[k];
        if (own && MVE_GetTexture(own)) MVE_ReloadTextureSection(own, slot);
        else own = MVE_LoadTextureDefinition(MVE_ID_AUTO, slot, "");
        material->iOwnTexture[k] = own;
        material->Texture[k] = own ? MVE_GetTexture(own) : nullptr;
    }

    if (MVE_DEFINITION_NODE *blend = Key(section, "BlendingMode")) {
        const int source = MVE_MaterialBlendWord(MVE_ReadDefinitionString(MVE_GetDefinitionNode(blend, 0), "SRC_ALPHA"));
        const int destination = MVE_MaterialBlendWord(MVE_ReadDefinitionString(MVE_GetDefinitionNode(blend, 1), "SRC_ALPHA"));
        if (source >= 0) material->iBlendSource = source;
        if (destination >= 0) material->iBlendDestination = destination;
    } else {
        material->iBlendSource = 0x0302;       // GL_SRC_ALPHA
        material->iBlendDestination = 0x0303;  // GL_ONE_MINUS_SRC_ALPHA
    }

    material->fShine = MVE_ReadDefinitionFloat(Key(section, "Shine"), 1.0f);
    MVE_ReadDefinitionColor(Key(section, "ShineColor"), &material->v4fShineColor, 0xFFFFFFFFu);
    if (material->iProgram == MVE_PROGRAM_SOFT_PARTICLE)
        material->fHardness = MVE_ReadDefinitionFloat(Key(section, "Blend"), 300.0f);
    else
        material->fHardness = MVE_ReadDefinitionFloat(Key(section, "Hardness"), 1.0f);
    material->ReflectionMap = MVE_BuiltinTexture(MVE_Engine().Builtin.iDefaultCubeMap);
    material->fReflection = MVE_ReadDefinitionFloat(Key(section, "Reflection"), 0.0f);
    material->fRefraction = MVE_ReadDefinitionFloat(Key(section, "Refraction"), 5.0f) * 0.01f;
    material->fSurfaceScattering = MVE_ReadDefinitionFloat(Key(section, "SurfaceScattering"), 0.0f);
    material->fReserved = MVE_ReadDefinitionFloat(Key(section, "Emission"), 0.0f);
    // A switch whose number does not fit in 32 bits is refused (red row) and keeps its default.
    material->iDepthMask = MVE_ReadDefinitionIntegerKey(Key(section, "DepthMask"), 1, "DepthMask", kProcedure);
    material->iBackFaceCulling = MVE_ReadDefinitionIntegerKey(Key(section, "BackFaceCulling"), 1, "BackFaceCulling", kProcedure);
    material->iWireframe = MVE_ReadDefinitionIntegerKey(Key(section, "Wireframe"), 0, "Wireframe", kProcedure);
}

}  // namespace

extern "C" int MVE_LoadMaterialDefinition(int id, MVE_DEFINITION_NODE *node, const char *name) {
    MVE_SectionLoad load;
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(node, "Material", name ? name : "", 0);
    if (!section) {
        MVE_LogHeading("Material: " + std::string(name ? name : ""), __LINE__, __FILE__, kProcedure);
        MVE_LogFail(MVE_FAIL_MATERIAL_NODE, kProcedure);
        return 0;
    }
    const std::string label = section->sValue;
    MVE_LogHeading("Material: " + label, __LINE__, __FILE__, kProcedure);
    int handle = 0;
    MVE_MATERIAL *material = MVE_CreateMaterialListEntry(&id, label.c_str(), &handle);
    if (!material) return 0;
    ReadSection(section, material);
    MVE_LogOK(kProcedure);
    MVE_EnterMaterialForDrawing(material);
    load.Done(section, handle);
    return handle;
}

int MVE_ReloadMaterialSection(int handle, MVE_DEFINITION_NODE *section) {
    MVE_SectionLoad load;
    MVE_MATERIAL *material = MVE_GetMaterial(handle);
    if (!material || !section) return 0;
    // Read into a copy that starts as a new material would (without taking a place in the draw
    // order), then swapped in: the record, its name, its place among the materials and every object
    // drawn with it stay.
    static const MVE_MATERIAL kBlank;
    MVE_MATERIAL scratch = kBlank;
    std::copy(std::begin(material->iOwnTexture), std::end(material->iOwnTexture), std::begin(scratch.iOwnTexture));
    ReadSection(section, &scratch);
    const int program = scratch.iProgram;
    scratch.iID = material->iID;
    scratch.sName = material->sName;
    scratch.uSerial = material->uSerial;
    scratch.Shader = material->Shader;
    scratch.iProgram = material->iProgram;
    // The physics thread reads materials of colliding objects (their sounds) under its lock.
    MVE_PhysicsGuard guard(MVE_Engine().Physics.Lock);
    *material = scratch;
    if (program != material->iProgram || material->Shader != MVE_GetBuiltinShader(program))
        MVE_ChangeMaterialProgram(material, program);
    return 1;
}

void MVE_SetResourceLoaders(void) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    d.pLoadTexture = MVE_LoadTextureDefinition;
    d.pLoadMaterial = MVE_LoadMaterialDefinition;
}
