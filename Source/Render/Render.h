// The frame renderer's state: camera, background and sky, the draw lists (group -> program ->
// material -> object), the per-frame copy of what the objects look like, and the timings of the
// passes. Main thread only, except the draw lists, which change under the physics lock (a collision
// callback may free an object on the physics thread).
#pragma once
#include "MVE.h"
#include "Object/Object.h"
#include <cstdint>
#include <unordered_map>
#include <vector>

struct MVE_MATERIAL;
struct MVE_SHADER;
struct MVE_TEXTURE;

// The camera node; its projection (field of view, aspect, near, far, mode) is kept with the shader
// buffers it is written to (MVE_SHADER_STATE::Camera).
struct MVE_CAMERA {
    MVE_NODE Node;                        // placement of the eye; the view matrix is its inverse
    m4f m4fView = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int iReady = 0;                       // header references set
};

// What one object contributes to a frame, copied under the physics lock in one short step.
struct MVE_DRAW_ITEM {
    m4f m4fModel;
    unsigned int uVertexArray;
    int iIndices;
    float fSphere[4];  // world-space bounding sphere (centre, radius); a negative radius is never culled
};

// What a pass can leave out: objects wholly outside the planes (a view volume, normals inward), or
// with a negative plane count, wholly outside the sphere in fPlane[0] (a light's reach).
struct MVE_CULL {
    int iPlanes = 0;
    float fPlane[6][4] = {};
    bool Visible(const float sphere[4]) const;
};
// The six planes of the volume that `clip` (projection x view) maps into the clip cube.
MVE_CULL MVE_ViewCull(const m4f &clip);
struct MVE_DRAW_MATERIAL {
    MVE_MATERIAL *pMaterial;
    uint32_t uFirst, uCount;              // items
};
struct MVE_DRAW_PROGRAM {
    MVE_SHADER *pShader;
    int iType;                            // built-in program number
    uint32_t uFirst, uCount;              // materials
};
struct MVE_FRAME_COPY {
    std::vector<MVE_DRAW_ITEM> Items;
    std::vector<MVE_DRAW_MATERIAL> Materials;
    std::vector<MVE_DRAW_PROGRAM> Programs;
    uint32_t uGroupFirst[3] = {0, 0, 0}, uGroupCount[3] = {0, 0, 0};  // programs of groups 0, 1, 2
    // What later passes need of this frame: whether anything drawn into the G-Buffer can emit (the
    // glow passes would otherwise blur a black picture) and whether the last group reads the
    // linear depth (otherwise nothing reads it after the depth pass).
    int iMayGlow = 1, iLastGroupReadsDepth = 1;
    int iStripsDrawn = 0;  // strip meshes drawn into the G-Buffer (they leave its depth at 1.0)
    uint32_t uCulled = 0;  // draws left out this frame because the object was out of view or reach
};

// The objects filed under one material, in filing order.
struct MVE_MATERIAL_OBJECTS {
    MVE_MATERIAL *pMaterial = nullptr;
    std::vector<MVE_OBJECT *> Objects;
};

enum : int {
    MVE_PASS_SUN_SHADOW = 0,
    MVE_PASS_GBUFFER,
    MVE_PASS_SUN_LIGHT,
    MVE_PASS_POINT_SHADOW,
    MVE_PASS_LIGHT_VOLUMES,
    MVE_PASS_FORWARD,
    MVE_PASS_DEPTH,
    MVE_PASS_GLOW,
    MVE_PASS_COPY,
    MVE_PASS_COMPOSITE,
    MVE_PASS_COUNT
};

// Backdrop lists (Backdrops.cpp): meshes and materials by handle, looked up every frame.
struct MVE_SKY_MESH {
    int iMesh = 0;
    v4f v4fColor = {1, 1, 1, 1};
};
struct MVE_STRIP_MESH {
    int iMesh = 0, iMaterial = 0;
    unsigned int uIndexBuffer = 0;        // the mesh's triangles as restart-separated strips
    int iIndices = 0;
    uint64_t uBuiltFor = 0;               // the mesh upload (MVE_MESH::uUpload) the indices were made for
};

struct MVE_RENDER_STATE {
    MVE_CAMERA Camera;
    v4f v4fBackground = {0, 0, 0, 1};
    int iSkyTexture = 0;                  // cube map texture (ID or handle); 0: no sky is drawn
    v4f v4fSkyColor = {1, 1, 1, 1};      // white: the cube map as it is
    unsigned int uSkyArray = 0, uSkyBuffer = 0;
    std::vector<MVE_SKY_MESH> SkyMeshes;     // drawn over the sky cube, with the sky program
    std::vector<MVE_STRIP_MESH> StripMeshes; // drawn first into the G-Buffer, without depth writes
    // Draw lists, kept under the physics lock.
    std::vector<MVE_MATERIAL_OBJECTS> Filed;
    std::unordered_map<const MVE_MATERIAL *, size_t> FiledIndex;
    MVE_FRAME_COPY Frame;
    int iInFrame = 0;                     // 1 while MVE_RenderWorld runs
    // Profiling: with iProfile set every pass ends with glFinish and its time is kept (seconds).
    int iProfile = 0;
    double fPassTime[MVE_PASS_COUNT] = {};
    double fCopyTime = 0;                 // time spent holding the physics lock for the frame copy
};

// The camera node (set up on first use) and the view matrix from it; the view is recomputed at the
// start of every frame.
MVE_CAMERA &MVE_Camera();
void MVE_UpdateCameraView();
// Rigid inverse (rotation and translation only): exact where the general inverse is approximate.
m4f MVE_RigidInverse(const m4f &M);
// Binds a built-in program for drawing; null when it is missing or failed to build.
MVE_SHADER *MVE_DrawableProgram(int number);
// Uploads the Model block: model-view and, with `normal`, its upper-left 3x3 as three columns.
void MVE_UploadModel(const m4f &modelView, int normal);
// The line pass's program (built-in program 2) with the view as its Model block; 0 when missing.
int MVE_UseLineProgram();
// Backdrops: the sky meshes with the sky program bound (its slots set), the strip meshes at the
// start of the G-Buffer pass, and their GL objects freed at shutdown.
void MVE_DrawSkyMeshes(MVE_SHADER *sky);
int MVE_DrawStripMeshes();  // how many were drawn
void MVE_ShutdownBackdrops();
// Takes the frame copy of the draw lists under the physics lock.
void MVE_CopyFrame();
// Draws render group g (0, 1 or 2) of the frame copy with the camera view.
void MVE_DrawRenderGroup(int group);
// Shadow casters: groups 0 and 1 of the frame copy with `view` in place of the camera view.
// `mode` 0 sun, 1 point light (no wind). Casters whose first texture has no alpha channel, or is of
// a kind the caster cannot sample, take the opaque variants: the same depths without a texel read.
void MVE_DrawShadowCasters(const m4f &view, int mode, const MVE_CULL *cull = nullptr);
// What the draw code needs of a material (the material module owns the record).
MVE_SHADER *MVE_MaterialShader(const MVE_MATERIAL *material);
float MVE_MaterialEmission(const MVE_MATERIAL *material);
int MVE_MaterialCullsBackFaces(const MVE_MATERIAL *material);
int MVE_MaterialWireframe(const MVE_MATERIAL *material);
// The material's first texture, null when it has none (or it has no GL texture).
const MVE_TEXTURE *MVE_MaterialFirstTexture(const MVE_MATERIAL *material);
// Wind offset of the grass program from the material's two wind values and the engine time.
void MVE_MaterialWind(const MVE_MATERIAL *material, float wind[3]);
// Binds a material's textures and uploads its Material block and extra uniforms.
void MVE_ApplyMaterial(MVE_MATERIAL *material);
// Binds an entry's program and sets its samplers and frame uniforms.
void MVE_UseShaderProgram(MVE_SHADER *shader, int flag);
// Viewport W x H, the framebuffer (unless -1) and the camera projection.
void MVE_BeginCameraPass(int framebuffer);
// Seconds from a monotonic clock (profiling).
double MVE_RenderClock();
