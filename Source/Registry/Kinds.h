// Every registry of the engine, one per resource kind, and the per-kind procedures
// (MVE_Create<Kind>ListEntry, MVE_Get<Kind>, MVE_Free<Kind>) that loaders and creators use.
// Main thread only.
#pragma once
#include "Body/Body.h"
#include "Material/Material.h"
#include "Mesh/Mesh.h"
#include "Object/Object.h"
#include "Particles/Particles.h"
#include "Registry/Registry.h"
#include "Render/Light.h"
#include "Shader/Shader.h"
#include "Sound/Sound.h"
#include "Texture/Texture.h"
#include "UI2D/UI2D.h"

struct MVE_REGISTRIES {
    MVE_REGISTRIES();
    MVE_Registry<MVE_SHADER> Shaders;
    MVE_Registry<MVE_TEXTURE> Textures;
    MVE_Registry<MVE_MATERIAL> Materials;
    MVE_Registry<MVE_MESH> Meshes;
    MVE_Registry<MVE_BODY> Bodies;
    MVE_Registry<MVE_SOUND> Sounds;
    MVE_Registry<MVE_BILLBOARD> Billboards;
    MVE_Registry<MVE_SKELETON> Skeletons;
    MVE_Registry<MVE_ANIMATION> Animations;
    MVE_Registry<MVE_PARTICLE_EMITTER> ParticleEmitters;
    MVE_Registry<MVE_NODE> Nodes;
    MVE_Registry<MVE_OBJECT> Objects;
    MVE_Registry<MVE_SPRITE> Sprites;
    MVE_Registry<MVE_FONT> Fonts;
    MVE_Registry<MVE_LIGHT> Lights;
    MVE_Registry<MVE_JOINT> Joints;
    uint64_t uMaterialSerial = 0;     // materials made so far: their creation order is their draw order
};

// Create writes the final ID to *id and the entry's handle to *handle (may be null); public
// creators return that handle. Get takes an ID or a handle.
#define MVE_DECLARE_REGISTRY_PROCEDURES(Kind, TYPE)                                       \
    TYPE *MVE_Create##Kind##ListEntry(int *id, const char *name, int *handle = nullptr); \
    TYPE *MVE_Get##Kind(int id);                                                          \
    int MVE_Get##Kind##Handle(int id);                                                    \
    inline int MVE_HandleOf(const TYPE *record) { return record ? MVE_Get##Kind##Handle(record->iID) : 0; }

MVE_DECLARE_REGISTRY_PROCEDURES(Shader, MVE_SHADER)
MVE_DECLARE_REGISTRY_PROCEDURES(Texture, MVE_TEXTURE)
MVE_DECLARE_REGISTRY_PROCEDURES(Material, MVE_MATERIAL)
MVE_DECLARE_REGISTRY_PROCEDURES(Mesh, MVE_MESH)
MVE_DECLARE_REGISTRY_PROCEDURES(Body, MVE_BODY)
MVE_DECLARE_REGISTRY_PROCEDURES(Sound, MVE_SOUND)
MVE_DECLARE_REGISTRY_PROCEDURES(Billboard, MVE_BILLBOARD)
MVE_DECLARE_REGISTRY_PROCEDURES(Skeleton, MVE_SKELETON)
MVE_DECLARE_REGISTRY_PROCEDURES(Animation, MVE_ANIMATION)
MVE_DECLARE_REGISTRY_PROCEDURES(ParticleEmitter, MVE_PARTICLE_EMITTER)
MVE_DECLARE_REGISTRY_PROCEDURES(Node, MVE_NODE)
MVE_DECLARE_REGISTRY_PROCEDURES(Object, MVE_OBJECT)
MVE_DECLARE_REGISTRY_PROCEDURES(Sprite, MVE_SPRITE)
MVE_DECLARE_REGISTRY_PROCEDURES(Font, MVE_FONT)
MVE_DECLARE_REGISTRY_PROCEDURES(Light, MVE_LIGHT)
MVE_DECLARE_REGISTRY_PROCEDURES(Joint, MVE_JOINT)
#undef MVE_DECLARE_REGISTRY_PROCEDURES
// The MVE_Free<Kind> procedures are public (MVE.h).
