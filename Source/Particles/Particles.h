// Particle emitters and billboards. Emitters spawn, move, fade and recycle camera-facing quads from a
// parameter set; their list is shared by the application thread (updates) and the drawing code and is
// guarded by the particle lock. Billboards are caller-maintained sets of quads placed by matrices.
#pragma once
#include "MVE.h"
#include <list>
#include <mutex>
#include <string>
#include <vector>

struct MVE_MATERIAL;
struct MVE_DEFINITION_NODE;

struct MVE_PARTICLE {
    float fSize = 1.0f;
    float fRaise = 0.0f;         // size change per second
    float fAngle = 0.0f;         // radians
    float fRotation = 0.0f;      // radians per second
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fColor = {1, 1, 1, 1}; // its alpha is the drawn alpha
    v4f v4fVelocity = {0, 0, 0, 0};
    int iDeath = 0;              // engine milliseconds at which fading out starts
    float fFade = 1.0f;          // current intensity
    float fIntensity = 1.0f;     // target intensity
    float fFadeOut = 0.0f;
    float fFadeIn = 0.0f;
};

enum : int { MVE_PARTICLE_MODE_WORLD = 2, MVE_PARTICLE_MODE_LOCAL = 4 };
enum : int { MVE_PARTICLE_AREA_POINT = 0, MVE_PARTICLE_AREA_BOX = 1, MVE_PARTICLE_AREA_RING = 2 };

struct MVE_PARTICLE_EMITTER {
    int iID = 0;
    std::string sName;
    // Transform header shared with the other placeable entries.
    m4f *pMatrix = nullptr;          // current world matrix (points at mMatrix)
    v4f *pRotation = nullptr;        // current rotation (points at v4fRotation)
    unsigned int iVertexArray = 0;
    unsigned int iQuadBuffer = 0;
    unsigned int iPositionBuffer = 0;   // attribute 7, 4 floats per particle
    unsigned int iSizeBuffer = 0;       // attribute 8
    unsigned int iRotationBuffer = 0;   // attribute 9
    unsigned int iColorBuffer = 0;      // attribute 4, 4 floats per particle
    int iEmission = 1;
    int iMaxParticles = 1;
    int iParticles = 0;                 // instances written by the last update
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fRotation = {0, 0, 0, 1};
    m4f mMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    m4f mDirection = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    v4f v4fDirection = {0, 1, 0, 0};
    v4f v4fSize = {0, 0, 0, 0};
    float fRadius[2] = {1, 1};
    v4f v4fMovement = {0, 0, 0, 0};
    int iMode = MVE_PARTICLE_MODE_WORLD;
    int iArea = MVE_PARTICLE_AREA_POINT;
    float fAngle = 0.0f;               // degrees
    float fFrequency = 1.0f;           // particles per second
    float fForce = 0.0f;
    float fVelocity[2] = {1, 1};
    float fFadeOut[2] = {0, 0};
    float fFadeIn[2] = {0, 0};
    float fLifeTime[2] = {1000, 1000}; // milliseconds
    float fIntensity[2] = {1, 1};
    float fSize[2] = {1, 1};
    float fRaise[2] = {0, 0};
    float fOrientation[2] = {0, 0};    // radians
    float fRotation[2] = {0, 0};       // radians per second
    v4f v4fColor = {1, 1, 1, 1};
    MVE_MATERIAL *Material = nullptr;  // refreshed from iMaterial at every use, so a freed material is never reached
    int iMaterial = 0;                 // handle of the material
    int iLastEmission = 0;             // milliseconds; 0 until the first update
    int iOwnMaterial = 0;              // material made from a block inside its definition section (a
                                       // reload of the section reloads it in place)
    // Instance arrays, iMaxParticles + 1 entries each: the CPU copies uploaded every frame.
    std::vector<v4f> Positions;
    std::vector<float> Sizes;
    std::vector<float> Rotations;
    std::vector<v4f> Colors;
    std::list<MVE_PARTICLE> Particles;
    int iBufferCapacity = 0;           // entries the GL buffers hold
};

struct MVE_BILLBOARD {
    int iID = 0;
    std::string sName;
    unsigned int iVertexArray = 0, iVertexBuffer = 0;
    int iProjectionMode = 0;
    int iCount = 0, iCapacity = 0, iByteSize = 0;
    unsigned int iInstanceBuffer = 0, iInstanceTexture = 0;
    std::list<m4f> Instances;
    int iUploaded = 0;
    MVE_MATERIAL *Material = nullptr;  // refreshed from iMaterial at every use
    int iMaterial = 0;
};

struct MVE_PARTICLE_STATE {
    std::recursive_mutex Lock;   // guards the emitter list against drawing and freeing
};

// Rows of the particle procedures (tests refer to them).
inline constexpr const char *MVE_FAIL_NO_EMITTER_SECTION = "Fail: No ParticleEmitter section found!";
inline constexpr const char *MVE_FAIL_EMITTER_CAPACITY = "Fail: MaxParticles must be at least 1!";
// Largest capacity a definition may ask for: four instance arrays of this size plus their GL copies
// are some 80 MB already, and a larger number in a file is a typo or a broken file, not a wish.
inline constexpr int MVE_PARTICLES_MAX = 1 << 20;
inline constexpr const char *MVE_FAIL_EMITTER_CAPACITY_MAX = "Fail: MaxParticles must be at most 1048576!";
inline constexpr const char *MVE_FAIL_EMITTER_NOT_FOUND = "Fail: Particle emitter not found!";

// Advances every emitter to engine time now (milliseconds) with frame time dt (seconds), without
// uploading; MVE_UpdateParticles calls it with the clock and then uploads.
void MVE_AdvanceParticles(int now, float dt);
// Copies the instance arrays of every emitter into its GL buffers (needs a context).
void MVE_UploadParticles(void);
// Makes the buffer of a unit quad (four vertices of position, normal, texture coordinates: ten
// floats each) and points attributes 0 to 2 of the bound vertex array at it.
unsigned int MVE_CreateQuadBuffer(const float quad[4][10]);
// Whether the next drawing of the emitters includes soft particles (they read the scene's linear depth).
int MVE_SoftParticlesToDraw();
// Builds the emitter's direction basis from v4fDirection.
void MVE_BuildParticleDirection(MVE_PARTICLE_EMITTER *emitter);
// Resizes the instance arrays (and the GL buffers when a context exists) to iMaxParticles + 1;
// beyond a smaller capacity the youngest live particles go.
void MVE_ResizeParticleArrays(MVE_PARTICLE_EMITTER *emitter);
// The world matrix from the emitter's position and rotation.
void MVE_UpdateParticleTransform(MVE_PARTICLE_EMITTER *emitter);
// Live reload: a ParticleEmitter section applied again to the emitter it made. Its settings, capacity
// and material follow the file; where the program placed it, its movement and whether it emits stay,
// as do its live particles. 1 done; 0 after red rows, the emitter as it was.
int MVE_ReloadEmitterSection(int handle, MVE_DEFINITION_NODE *section);
// Registry release hooks.
void MVE_ReleaseParticleEmitter(MVE_PARTICLE_EMITTER *emitter);
void MVE_ReleaseBillboard(MVE_BILLBOARD *billboard);
