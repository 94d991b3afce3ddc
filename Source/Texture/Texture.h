// Textures: GL texture objects in the texture registry, made from image files, definition sections,
// images in memory, six cube faces or layer by layer into an array. Main thread only (GL).
// A loader decodes before it registers: a broken image never costs an existing entry its place.
#pragma once
#include "MVE.h"
#include <cstdint>
#include <string>

struct MVE_DEFINITION_NODE;
struct MVE_IMAGE;

struct MVE_TEXTURE {
    int iID = 0;
    std::string sName;
    int iTarget = 0;                  // GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_2D_ARRAY
    unsigned int iTexture = 0;        // GL texture name, 0 when none
    int iMipmaps = 0;                 // highest mipmap level requested, 0 none
    int iWidth = 0, iHeight = 0;      // of the first face for cube maps
    int iLayers = 0;                  // array textures only
    int iClipX = 0, iClipY = 0, iClipWidth = 0, iClipHeight = 0;
    int iAlpha = 0;                   // an uploaded image had an alpha channel (without one every
                                      // texel reads alpha 1.0: nothing can be cut out)
    int iAnisotropy = 0;              // degree of the anisotropic filter, 0 none
    int iFormat = 0;                  // MVE_TEXTURE_* it was made from pixels in; 0 for an image
};

// Engine-wide texture state (MVE_ENGINE::TextureState).
struct MVE_TEXTURE_STATE {
    int iAnisotropy = -1;             // driver offers anisotropic filtering: -1 not asked yet, 0 no, 1 yes
};

// Handles of the resources MVE_Init builds from images inside the program (MVE_ENGINE::Builtin).
struct MVE_BUILTIN_RESOURCES {
    int iLogoTexture = 0, iLogoMaterial = 0, iLogoSprite = 0;
    int iDefaultTexture[3] = {0, 0, 0};   // colour (RGB), normal and height (RGBA), specular (RGB)
    int iDefaultCubeMap = 0;               // sky; every material's reflection map
    int iObjectMaterial = 0, iParticleMaterial = 0;
};

// Rows of the texture loaders (tests refer to them).
inline constexpr const char *MVE_FAIL_IMAGE_NOT_FOUND = "Fail: Image not found!";
inline constexpr const char *MVE_FAIL_TEXTURE_NODE = "FAIL: Texture Node not found!";
inline constexpr const char *MVE_FAIL_TEXTURE_NOT_FOUND = "Fail: Texture not found!";
inline constexpr const char *MVE_FAIL_NO_SCREEN_TEXTURE = "Fail: Textures need an open screen!";

// Registry release hook: deletes the GL texture; materials that used it let go of it.
void MVE_ReleaseTexture(MVE_TEXTURE *texture);

// Whether a decoded image carries an alpha channel.
int MVE_ImageHasAlpha(const MVE_IMAGE &image);

// One upload step for every texture kind: packed rows (no padding), the image's top row first, into
// level 0 of the texture bound to the target. `iSub` 0 gives the level new storage of `uInternal`
// (glTexImage2D on GL_TEXTURE_2D or a cube face); 1 replaces the rectangle at (iX, iY) of storage
// that exists; GL_TEXTURE_2D_ARRAY always replaces layer `iLayer`.
struct MVE_PIXEL_UPLOAD {
    unsigned int uTarget = 0x0DE1;    // GL_TEXTURE_2D, a cube face target or GL_TEXTURE_2D_ARRAY
    int iLayer = 0;
    int iSub = 0;
    int iX = 0, iY = 0, iWidth = 0, iHeight = 0;
    unsigned int uInternal = 0x1908;  // GL_RGBA
    unsigned int uFormat = 0x1908;    // of the pixels in memory
    unsigned int uType = 0x1401;      // GL_UNSIGNED_BYTE
    const void *pPixels = nullptr;
};
void MVE_UploadPixels(const MVE_PIXEL_UPLOAD &upload);

// Uploads a decoded image to the bound texture: to a cube face target, or to GL_TEXTURE_2D
// (face 0, layer MVE_IGNORE), or into layer `layer` of the bound GL_TEXTURE_2D_ARRAY (face 0).
void MVE_UploadImage(const MVE_IMAGE &image, unsigned int face, int layer);

// 1 while GL entry points are loaded (a screen is open).
int MVE_TexturesReady(void);

// Live reload: a Texture section applied again to the texture it made (same record, GL name and name).
// 1 done; 0 after red rows, the texture as it was.
int MVE_ReloadTextureSection(int handle, MVE_DEFINITION_NODE *section);
