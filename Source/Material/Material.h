// Materials: how a surface is drawn (built-in program, four texture slots, reflection map, colours,
// the parameters of the shaders' Material block, blend factors, depth/culling/wireframe switches).
// Made from definition sections or by code; every material is entered into its program's draw
// list (MVE_SHADER::Materials). Main thread only. A material refers to textures and programs but
// owns neither: freeing a texture empties the slots that held it.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_SHADER;
struct MVE_TEXTURE;
struct MVE_DEFINITION_NODE;

// The next number of the materials' creation order.
uint64_t MVE_NextMaterialSerial(void);

struct MVE_MATERIAL {
    int iID = 0;
    std::string sName;
    MVE_SHADER *Shader = nullptr;           // built-in program; null when the number has none
    MVE_TEXTURE *Texture[4] = {nullptr, nullptr, nullptr, nullptr};
    MVE_TEXTURE *ReflectionMap = nullptr;   // cube map for reflections (the built-in sky by default)
    v4f v4fColor = {1, 1, 1, 1};
    float fShine = 1.0f;                    // specular intensity
    v4f v4fShineColor = {1, 1, 1, 1};
    float fHardness = 1.0f;                 // specular hardness; blend distance of soft particles
    float fReflection = 0.0f;
    float fRefraction = 0.05f;
    float fReserved = 0.0f;                 // emission ("Emission" key, MVE_SetMaterialEmission): light the surface gives off
    float fSurfaceScattering = 0.0f;
    int iDepthMask = 1;
    int iBackFaceCulling = 1;
    int iWireframe = 0;
    int iBlendSource = 0x0302;              // GL_SRC_ALPHA
    int iBlendDestination = 0x0303;         // GL_ONE_MINUS_SRC_ALPHA
    int iReserved[4] = {0, 0, 0, 0};
    int iProgram = 0;                       // number of the program it draws with (the "REFRACTION"
                                            // slot 14 has none and draws with 15)
    uint64_t uSerial = MVE_NextMaterialSerial(); // creation order, which is the order within a draw list
    int iOwnTexture[4] = {0, 0, 0, 0};      // handles of textures made from blocks inside its definition
                                            // section: a reload of the section reloads them in place
};

// Rows of the material loaders (tests refer to them).
inline constexpr const char *MVE_FAIL_MATERIAL_NODE = "FAIL: Material Node Not found!";

// Program number a "\Shader" word selects (exact upper-case words; anything else 1), and the GL
// factor of a "\BlendingMode" word (-1 when the word is not one).
int MVE_MaterialShaderWord(const std::string &word);
int MVE_MaterialBlendWord(const std::string &word);

// Registry release hook: leaves the draw list; objects that used the material fall back to the default one.
void MVE_ReleaseMaterial(MVE_MATERIAL *material);
// A texture is going: every material slot and reflection map that held it is emptied.
void MVE_DetachTexture(const MVE_TEXTURE *texture);
// A program is going: materials drawn with it keep no pointer to it (and are in no draw list).
void MVE_DetachShader(const MVE_SHADER *shader);
// Points the material at the program of its number ("REFRACTION"'s slot 14 draws with 15).
void MVE_SetMaterialProgram(MVE_MATERIAL *material, int program);
// Enters the material into its program's draw list, once (programs in no render group keep none).
void MVE_EnterMaterialForDrawing(MVE_MATERIAL *material);
// Moves the material to the program of another number: out of the old program's draw list, into
// the new one's as a new material would enter it; the objects drawn with it follow.
void MVE_ChangeMaterialProgram(MVE_MATERIAL *material, int program);
// A program that joins a render group takes in the materials made for it while it had none.
void MVE_EnterProgramMaterials(MVE_SHADER *shader);

// A built-in texture by its handle (null for 0, which would otherwise find static ID 0).
MVE_TEXTURE *MVE_BuiltinTexture(int handle);

// Sets the texture and material loaders of the definition walk (start-up).
void MVE_SetResourceLoaders(void);

// Live reload: a Material section applied again to the material it made. Objects keep drawing with
// the same record; a changed program moves it to that program's draw list. 1 done, 0 (red rows).
int MVE_ReloadMaterialSection(int handle, MVE_DEFINITION_NODE *section);
