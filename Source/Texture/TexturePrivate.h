// Pieces the texture loaders share (Texture.cpp, TextureDefinition.cpp, TextureBuiltin.cpp).
#pragma once
#include "GL/GL.h"
#include "Texture/Texture.h"
#include <string>

namespace mve_texture {

std::string FilePart(const std::string &path);
std::string JoinPath(const char *folder, const char *file);
unsigned int ResolveFilter(int filter);
// Generates and binds the GL texture of texture->iTarget and sets filters, wrapping, the mipmap
// range and anisotropy. The texture's size must be set first: anisotropy depends on how far its
// mipmaps reach. With a procedure, a log row says whether the texture is filtered anisotropically.
void SetupSampling(MVE_TEXTURE *texture, unsigned int minFilter, unsigned int magFilter, int mipmaps,
                   const char *procedure);
void FinishMipmaps(const MVE_TEXTURE *texture);
void SetSize(MVE_TEXTURE *texture, int width, int height);
// Decodes a file; on failure writes the failure row (and the reason) and returns 0.
int Decode(const std::string &path, MVE_IMAGE &image, const char *procedure);
// 1 when GL is up; else the failure row and 0.
int NeedScreen(const char *procedure);
// A decoded image becomes the 2D texture's level 0 (any size; its GL name is made only when it has none),
// with filter, wrapping, mipmaps and anisotropy set for it.
void PutImage(MVE_TEXTURE *texture, const MVE_IMAGE &image, unsigned int filter, int mipmaps, const char *procedure);

// Keeps GL's unpack alignment at 1 for the duration of an upload: RGB rows of odd widths are not
// padded to four bytes.
struct UnpackAlignment {
    GLint iOld = 4;
    UnpackAlignment() {
        MVE_gl().glGetIntegerv(GL_UNPACK_ALIGNMENT, &iOld);
        MVE_gl().glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~UnpackAlignment() { MVE_gl().glPixelStorei(GL_UNPACK_ALIGNMENT, iOld); }
};

}  // namespace mve_texture
