// The engine's registries: each kind's log texts and release hook, and its procedures.
#include "Registry/Kinds.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include <mutex>

void MVE_RegistryReport(const MVE_REGISTRY_KIND &kind, const char *message, uint32_t color) {
    MVE_Log(message, color, 0, 0, "", kind.sCreateProcedure);
}

#define MVE_NAMED(Kind, notice) MVE_REGISTRY_KIND{"MVE_Create" #Kind "ListEntry", notice, true}
#define MVE_DOUBLE(Kind) MVE_NAMED(Kind, "Loaded double: First " #Kind " has been released!")
#define MVE_REPLACED(Kind) MVE_NAMED(Kind, "Info: The already existing " #Kind " has been replaced!")
#define MVE_UNNAMED(Kind) MVE_REGISTRY_KIND{"MVE_Create" #Kind "ListEntry", nullptr, false}

MVE_REGISTRIES::MVE_REGISTRIES()
    : Shaders(MVE_DOUBLE(Shader), MVE_ReleaseShader),
      Textures(MVE_DOUBLE(Texture), MVE_ReleaseTexture),
      Materials(MVE_DOUBLE(Material), MVE_ReleaseMaterial),
      Meshes(MVE_DOUBLE(Mesh), MVE_ReleaseMesh),
      Bodies(MVE_DOUBLE(Body), MVE_ReleaseBody),
      Sounds(MVE_DOUBLE(Sound), MVE_ReleaseSound),
      Billboards(MVE_DOUBLE(Billboard), MVE_ReleaseBillboard),
      Skeletons(MVE_REPLACED(Skeleton), nullptr),
      Animations(MVE_REPLACED(Animation), nullptr),
      ParticleEmitters(MVE_REPLACED(ParticleEmitter), MVE_ReleaseParticleEmitter),
      Nodes(MVE_REPLACED(Node), MVE_ReleaseNode),
      Objects(MVE_REPLACED(Object), MVE_ReleaseObject),
      Sprites(MVE_UNNAMED(Sprite), nullptr),
      Fonts(MVE_UNNAMED(Font), MVE_ReleaseFont),
      Lights(MVE_UNNAMED(Light), MVE_ReleaseLight),
      Joints(MVE_UNNAMED(Joint), MVE_ReleaseJoint) {}

// Objects and joints are also looked up by collision callbacks on the physics thread, which hold
// the physics lock: their registries change only under that lock, so such a lookup never meets a
// table in the middle of growing. The other kinds belong to the main thread alone.
#define MVE_NO_LOCK
#define MVE_PHYSICS_LOCK MVE_PhysicsGuard guard(MVE_Engine().Physics.Lock);
#define MVE_PARTICLE_LOCK std::lock_guard<std::recursive_mutex> guard(MVE_Engine().Particles.Lock);

#define MVE_DEFINE_REGISTRY_PROCEDURES(Kind, TYPE, member, LOCK)                    \
    TYPE *MVE_Create##Kind##ListEntry(int *id, const char *name, int *handle) {     \
        LOCK return MVE_Engine().Registries.member.Create(id, name, handle);        \
    }                                                                               \
    TYPE *MVE_Get##Kind(int id) { return MVE_Engine().Registries.member.Get(id); }  \
    int MVE_Get##Kind##Handle(int id) { return MVE_Engine().Registries.member.Handle(id); } \
    extern "C" void MVE_Free##Kind(int id) {                                        \
        LOCK MVE_Engine().Registries.member.Free(id);                               \
    }

MVE_DEFINE_REGISTRY_PROCEDURES(Shader, MVE_SHADER, Shaders, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Texture, MVE_TEXTURE, Textures, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Material, MVE_MATERIAL, Materials, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Mesh, MVE_MESH, Meshes, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Body, MVE_BODY, Bodies, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Sound, MVE_SOUND, Sounds, MVE_PHYSICS_LOCK)  // collision sounds add instances
MVE_DEFINE_REGISTRY_PROCEDURES(Billboard, MVE_BILLBOARD, Billboards, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Skeleton, MVE_SKELETON, Skeletons, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Animation, MVE_ANIMATION, Animations, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(ParticleEmitter, MVE_PARTICLE_EMITTER, ParticleEmitters, MVE_PARTICLE_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Node, MVE_NODE, Nodes, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Object, MVE_OBJECT, Objects, MVE_PHYSICS_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Sprite, MVE_SPRITE, Sprites, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Font, MVE_FONT, Fonts, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Light, MVE_LIGHT, Lights, MVE_NO_LOCK)
MVE_DEFINE_REGISTRY_PROCEDURES(Joint, MVE_JOINT, Joints, MVE_PHYSICS_LOCK)
