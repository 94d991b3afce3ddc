// The resources MVE_Init builds from images compiled into the engine: the logo (texture, material,
// sprite), three default textures, the sky cube map and the default object and particle
// materials; and the definition walk's texture and material loaders. Main thread only.
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Shader/Shader.h"
#include "Texture/TextureBuiltin.h"
#include "Texture/TexturePrivate.h"
#include <cstring>

const MVE_EMBEDDED_IMAGE *MVE_FindBuiltinImage(const char *name) {
    for (const MVE_EMBEDDED_IMAGE *image = MVE_BuiltinImages; name && image->sName; image++)
        if (!std::strcmp(image->sName, name)) return image;
    return nullptr;
}

namespace {

int CatchBuiltin(const char *file) {
    const MVE_EMBEDDED_IMAGE *image = MVE_FindBuiltinImage(file);
    if (!image) return 0;
    return MVE_CatchTexture(MVE_ID_AUTO, image->pData, static_cast<int64_t>(image->uSize), GL_LINEAR, "");
}

}  // namespace

void MVE_StartupBuiltinResources() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_SetResourceLoaders();
    e.TextureState = MVE_TEXTURE_STATE();   // a new context: ask the driver again
    MVE_BUILTIN_RESOURCES &b = e.Builtin;
    b = MVE_BUILTIN_RESOURCES();

    // Without a screen (tools, tests) there are no textures, but the default materials still exist.
    if (MVE_TexturesReady()) {
        b.iLogoTexture = CatchBuiltin("logo.png");
        b.iDefaultTexture[0] = CatchBuiltin("texture0.png");
        b.iDefaultTexture[1] = CatchBuiltin("texture1.png");
        b.iDefaultTexture[2] = CatchBuiltin("texture2.png");
        static const char *const kFaces[6] = {"sky_px.jpg", "sky_nx.jpg", "sky_py.jpg",
                                              "sky_ny.jpg", "sky_pz.jpg", "sky_nz.jpg"};
        const void *faces[6] = {};
        int64_t sizes[6] = {};
        for (int i = 0; i < 6; i++)
            if (const MVE_EMBEDDED_IMAGE *image = MVE_FindBuiltinImage(kFaces[i])) {
                faces[i] = image->pData;
                sizes[i] = static_cast<int64_t>(image->uSize);
            }
        b.iDefaultCubeMap = MVE_CatchCubeMapTexture(MVE_ID_AUTO, faces, sizes, GL_LINEAR, 0, "");
    }

    b.iLogoMaterial = MVE_CreateMaterial(MVE_ID_AUTO, b.iLogoTexture ? b.iLogoTexture : MVE_IGNORE,
                                         MVE_PROGRAM_TEXTURED_SPRITE, "");
    if (MVE_MATERIAL *logo = MVE_GetMaterial(b.iLogoMaterial)) logo->v4fColor = {1.0f, 1.0f, 1.0f, 128.0f / 255.0f};
    if (b.iLogoMaterial) b.iLogoSprite = MVE_CreateSprite(MVE_ID_AUTO, b.iLogoMaterial, 102.0f, 102.0f);
    b.iObjectMaterial = MVE_CreateMaterial(MVE_ID_AUTO, MVE_IGNORE, MVE_PROGRAM_DEFAULT, "");
    b.iParticleMaterial = MVE_CreateMaterial(MVE_ID_AUTO, MVE_IGNORE, MVE_PROGRAM_PARTICLE, "");
}
