// Shader programs: the registry record, the uniform slot table, the five shared uniform buffers,
// the built-in program table and the camera's projection buffer. Main thread only (GL).
// A program that does not compile or link is never registered: callers get 0, and whatever was
// registered under that ID or name before stays in place.
#pragma once
#include "MVE.h"
#include "GL/GL.h"
#include <deque>
#include <string>
#include <vector>

struct MVE_MATERIAL;

// Built-in program numbers (a material selects its program by this number; iType of the entry).
enum : int {
    MVE_PROGRAM_DEFAULT = 1,
    MVE_PROGRAM_DRAWING = 2,
    MVE_PROGRAM_DRAW_MESH = 3,
    MVE_PROGRAM_TEXTURES = 4,
    MVE_PROGRAM_NORMAL_MAPPING = 5,
    MVE_PROGRAM_REFLECTION_NORMAL_MAPPING = 6,
    MVE_PROGRAM_NORMAL_MAPPING_SILHOUETTE = 7,
    MVE_PROGRAM_SPECULAR_NORMAL_MAPPING = 8,
    MVE_PROGRAM_TEXTURE_ARRAY = 9,
    MVE_PROGRAM_GRASS = 10,
    MVE_PROGRAM_PARALLAX_MAPPING = 11,
    MVE_PROGRAM_SPECULAR_PARALLAX_MAPPING = 12,
    MVE_PROGRAM_WATER = 13,
    MVE_PROGRAM_REFRACTION = 14,          // selected by the "REFRACTION" word; no program of its own
    MVE_PROGRAM_MASK_REFRACTION = 15,
    MVE_PROGRAM_MESH_GLOW = 16,
    MVE_PROGRAM_SKYBOX = 18,
    MVE_PROGRAM_PARTICLE = 19,
    MVE_PROGRAM_SOFT_PARTICLE = 20,
    MVE_PROGRAM_BILLBOARD = 21,
    MVE_PROGRAM_TEXTURED_SPRITE = 24,
    MVE_PROGRAM_MASKED_SPRITE = 25,
    MVE_PROGRAM_TABLE_SIZE = 26,          // the table is indexed 1..25
};

// Render groups (iRenderGroup): 0 G-Buffer geometry, 1 forward after the lights, 2 forward effects
// after the final copy, 7 2D sprites; -1 = in no list (particles and billboards draw themselves).
enum : int { MVE_RENDER_GROUP_NONE = -1, MVE_RENDER_GROUP_COUNT = 8 };

// Uniform kinds of MVE_AddShaderUniform.
enum : int {
    MVE_UNIFORM_SAMPLER = 2,   // any sampler type (reflected programs)
    MVE_UNIFORM_INT = 3,       // also the sampler unit numbers of hand-built programs
    MVE_UNIFORM_FLOAT = 4,
    MVE_UNIFORM_VEC2 = 5,
    MVE_UNIFORM_VEC3 = 6,
    MVE_UNIFORM_VEC4 = 7,
    MVE_UNIFORM_MAT3 = 8,
    MVE_UNIFORM_MAT4 = 9,
};

// Fixed vertex-attribute and fragment-output numbering of every program.
enum : int {
    MVE_ATTRIB_VERTEX = 0, MVE_ATTRIB_NORMAL = 1, MVE_ATTRIB_TEXCOORD0 = 2, MVE_ATTRIB_TEXCOORD1 = 3,
    MVE_ATTRIB_COLOR = 4, MVE_ATTRIB_TANGENT = 6, MVE_ATTRIB_GROUP = 7, MVE_ATTRIB_POSITION = 7,
    MVE_ATTRIB_SIZE = 8, MVE_ATTRIB_ROTATION = 9,
};

struct MVE_SHADER_UNIFORM {
    GLint iLocation = -1;   // -1 when the linker removed the uniform (setting it is then ignored by GL)
    int iC = 1, iB = 0, iAB = 0;
    std::string sName;      // found again in a program built anew (live reload)
};

// A stage attached to a program by MVE_Catch/Load*Shader, kept so that the program can be built
// again: a stage from a file reads the file again, one from memory keeps its source in GL.
struct MVE_SHADER_STAGE {
    GLuint uObject = 0;     // the GL shader (flagged for deletion; it lives while attached)
    GLenum uType = 0;
    std::string sFile;      // empty for a stage caught from memory
};

struct MVE_SHADER {
    int iID = 0;
    std::string sName;
    int iRenderGroup = MVE_RENDER_GROUP_NONE;
    int iFlag = 0;                        // 1 for the 3D programs, 0 for the 2D ones
    int iType = 0;                        // built-in program number
    GLuint uProgram = 0;                  // GL program name
    // Slot number -> uniform; null for a slot never registered. The kind lists own the uniforms
    // (deques, so a slot's pointer stays valid while more are appended).
    std::vector<MVE_SHADER_UNIFORM *> Slots;
    std::deque<MVE_SHADER_UNIFORM> Samplers, Integers, Floats, Vectors, Vectors4, Matrices3, Matrices4;
    // Materials drawn with this program, in draw order (filled by the material module).
    std::vector<MVE_MATERIAL *> Materials;
    std::vector<MVE_SHADER_STAGE> Stages;   // stages attached one by one, in order
};

// Location of a registered slot, -1 when the slot is empty or out of range (GL ignores -1).
inline GLint MVE_ShaderSlot(const MVE_SHADER *shader, int slot) {
    if (!shader || slot < 0 || static_cast<size_t>(slot) >= shader->Slots.size() || !shader->Slots[slot]) return -1;
    return shader->Slots[static_cast<size_t>(slot)]->iLocation;
}

// The five shared uniform blocks.
enum : int { MVE_BUFFER_PROJECTION = 0, MVE_BUFFER_MODEL = 1, MVE_BUFFER_MATERIAL = 2, MVE_BUFFER_LIGHT = 3,
             MVE_BUFFER_MISC = 4, MVE_BUFFER_COUNT = 5 };

struct MVE_SHADER_BUFFER {
    int iBinding = 0;
    std::string sName;
    GLuint uBuffer = 0;
    int iSize = 0;
    int iReserved1 = 0, iReserved2 = 0;
    int iSize2 = 0;
    std::vector<unsigned char> Data;      // CPU copy of the block
};

// The camera's projection (the camera node and its movement belong to the render module).
struct MVE_CAMERA_PROJECTION {
    int iMode = 1;                        // 1 perspective, 0 orthographic
    float fFieldOfView = 45.0f, fAspect = 1.0f, fNear = 0.1f, fFar = 128.0f;
    m4f m4fPerspective = {}, m4fOrthographic = {}, m4f2D = {};
};

// A program built outside the registry (lighting, shadow, copy), with its uniform locations in
// the order its builder lists them.
struct MVE_GL_PROGRAM {
    GLuint uProgram = 0;
    std::vector<GLint> Locations;
};

// Engine programs built outside the registry. The render module builds the ones it needs with
// MVE_BuildEngineProgram and addresses their uniforms by the index constants below.
enum MVE_ENGINE_PROGRAM : int {
    MVE_EP_SHADOW = 0,        // sun and point shadows; uniforms: DiffuseMap
    MVE_EP_SHADOW_ARRAY,      // layer = iGroup; uniforms: DiffuseMap
    MVE_EP_SHADOW_WIND,       // uniforms: vWind, DiffuseMap
    MVE_EP_SHADOW_OPAQUE,     // no alpha test, no fragment work: casters with nothing to cut out
    MVE_EP_SHADOW_WIND_OPAQUE, // grass moved by the wind, nothing to cut out; uniforms: vWind
    MVE_EP_DIRECT_AMBIENT,    // iLightState 0: ambient and emission only
    MVE_EP_DIRECT_SUN,        // iLightState 1: plus the sun
    MVE_EP_DIRECT_SUN_SHADOW, // iLightState 5: plus the sun's shadow map on unit 5
    MVE_EP_POINT,             // instanced light volumes, unshadowed
    MVE_EP_POINT_SHADOW,      // one light with its shadow cube (unit 5; static cube on unit 6)
    MVE_EP_SPOT,              // one spot light through the Light block
    MVE_EP_DEPTH,             // linear depth into G-Buffer output 4
    MVE_EP_BLUR,
    MVE_EP_GLOW,
    MVE_EP_COPY,              // full-screen copy of ColorMap (the unregistered start-up program)
    MVE_EP_COUNT
};

// Uniform indices of the engine programs (Locations[index]).
enum : int {
    // direct light (all three variants; absent uniforms are -1)
    MVE_DL_POSITION_MAP = 0, MVE_DL_NORMAL_MAP, MVE_DL_DIFFUSE_MAP, MVE_DL_SPECULAR_MAP, MVE_DL_MISC_MAP,
    MVE_DL_SHADOW_MAP, MVE_DL_AMBIENT_COLOR, MVE_DL_LIGHT_STATE, MVE_DL_LIGHT_DIRECTION, MVE_DL_LIGHT_COLOR,
    MVE_DL_LIGHT_INTENSITY, MVE_DL_WORLD_TO_LIGHT_VIEW, MVE_DL_LIGHT_VIEW_TO_PROJECTION, MVE_DL_WORLD_TO_CAMERA_VIEW,
    // point light (instanced), spot light: the five G-Buffer maps
    MVE_PL_POSITION_MAP = 0, MVE_PL_NORMAL_MAP, MVE_PL_DIFFUSE_MAP, MVE_PL_SPECULAR_MAP, MVE_PL_MISC_MAP,
    // shadowed point light: the five maps, then
    MVE_PL_SHADOW_MAP = 5, MVE_PL_STATIC_SHADOW_MAP, MVE_PL_WORLD_VIEW, MVE_PL_SHADOW_TEXTURE,
    // depth
    MVE_DP_DEPTH_MAP = 0, MVE_DP_NEAR, MVE_DP_FAR,
    // blur
    MVE_BL_COLOR_MAP = 0, MVE_BL_DEPTH_MAP, MVE_BL_USHIFT, MVE_BL_VSHIFT,
    // glow
    MVE_GL_DIFFUSE_MAP = 0,
    // copy
    MVE_CP_COLOR_MAP = 0,
    // shadow programs
    MVE_SH_DIFFUSE_MAP = 0, MVE_SHW_WIND = 0, MVE_SHW_DIFFUSE_MAP = 1,
};

struct MVE_SHADER_STATE {
    MVE_SHADER_BUFFER Buffers[MVE_BUFFER_COUNT];
    int iBuffersReady = 0;
    int BuiltIn[MVE_PROGRAM_TABLE_SIZE] = {};             // handle per built-in program number, 0 = none
    std::vector<MVE_SHADER *> RenderGroups[MVE_RENDER_GROUP_COUNT];  // programs per render group, in order
    MVE_GL_PROGRAM Copy;                                  // the unregistered full-screen copy program
    MVE_CAMERA_PROJECTION Camera;
};

// Entry of a built-in program number (null when it failed to build or the number has none).
MVE_SHADER *MVE_GetBuiltinShader(int number);

// Registry release hook: deletes the program and leaves its render group.
void MVE_ReleaseShader(MVE_SHADER *shader);

// Builds one engine program (compile rows "VertexShader: " / "FragmentShader: " are logged under
// `procedure`). Returns 1, or 0 with red rows and *out left empty.
int MVE_BuildEngineProgram(MVE_ENGINE_PROGRAM which, MVE_GL_PROGRAM *out, const char *procedure);
void MVE_DeleteEngineProgram(MVE_GL_PROGRAM *program);

// Camera projection: recompute the perspective (from field of view, aspect, near, far), the
// orthographic and the 2D matrices, and write the active 3D projection into bytes 0-63 and the 2D
// matrix into bytes 64-127 of the Projection buffer. MVE_WriteMiscBuffer rewrites the Misc block
// (screen size, near, far). The render module's camera setters call both.
void MVE_UpdateCameraProjection();
void MVE_WriteMiscBuffer();
// Replaces bytes [offset, offset + size) of a shared buffer (GL and the CPU copy).
void MVE_WriteShaderBuffer(int block, int offset, const void *data, int size);
// Only the CPU copy, for a caller that wrote the same bytes into the bound GL buffer itself: the
// copy must always say what the GPU holds, because writers skip bytes the copy says are there.
// 0 (nothing kept) for a block or range outside the buffer.
int MVE_KeepShaderBufferCopy(int block, int offset, const void *data, int size);

// Embedded GLSL: the text of Source/Shader/GLSL/<name>, or null.
const char *MVE_GLSLText(const char *name, size_t *length);
