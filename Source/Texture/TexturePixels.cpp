// Textures made from pixels in memory (procedural maps, video frames, data), regions of them
// replaced later, and the one upload step every texture loader ends in. Main thread only (GL).
// Sizes are checked before anything is registered: a refused call leaves the registry and GL alone.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Platform/Platform.h"
#include "Texture/TexturePrivate.h"
#include <algorithm>
#include <vector>

using namespace mve_texture;

namespace {

// How each format of MVE_CreateTexture is kept and read from memory.
struct Format {
    GLenum uInternal, uFormat, uType;
    int iBytes;   // per pixel in memory
    int iAlpha;   // the texture's pixels carry alpha
    int iGrey;    // sampled as grey (and grey with alpha) rather than red (and red-green)
};

bool Lookup(int format, Format &out) {
    switch (format) {
        case MVE_TEXTURE_R8: out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, 0, 1}; return true;
        case MVE_TEXTURE_RG8: out = {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, 1, 1}; return true;
        case MVE_TEXTURE_RGB8: out = {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, 3, 0, 0}; return true;
        case MVE_TEXTURE_RGBA8: out = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, 1, 0}; return true;
        case MVE_TEXTURE_RGBA16F: out = {GL_RGBA16F, GL_RGBA, GL_FLOAT, 16, 1, 0}; return true;
        case MVE_TEXTURE_RGBA32F: out = {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, 1, 0}; return true;
        default: return false;
    }
}

int FormatOrFail(int format, Format &out, const char *procedure) {
    if (Lookup(format, out)) return 1;
    MVE_LogFail("Fail: Unknown pixel format " + std::to_string(format) + "!", procedure);
    return 0;
}

std::string Size(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// Zeros in bands of whole rows: a large texture is cleared without a buffer of its whole size.
void ClearLevel(int width, int height, const Format &f) {
    const size_t row = static_cast<size_t>(width) * static_cast<size_t>(f.iBytes);
    const int band = static_cast<int>(std::clamp<size_t>((size_t(4) << 20) / row, 1, static_cast<size_t>(height)));
    const std::vector<uint8_t> zeros(row * static_cast<size_t>(band), 0);
    MVE_PIXEL_UPLOAD upload;
    upload.iSub = 1;
    upload.iWidth = width;
    upload.uFormat = f.uFormat;
    upload.uType = f.uType;
    upload.pPixels = zeros.data();
    for (int y = 0; y < height; y += band) {
        upload.iY = y;
        upload.iHeight = std::min(band, height - y);
        MVE_UploadPixels(upload);
    }
}

}  // namespace

void MVE_UploadPixels(const MVE_PIXEL_UPLOAD &u) {
    if (!u.pPixels || u.iWidth <= 0 || u.iHeight <= 0) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    UnpackAlignment alignment;
    if (u.uTarget == GL_TEXTURE_2D_ARRAY)
        gl.glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, u.iX, u.iY, u.iLayer, u.iWidth, u.iHeight, 1, u.uFormat, u.uType,
                           u.pPixels);
    else if (u.iSub)
        gl.glTexSubImage2D(u.uTarget, 0, u.iX, u.iY, u.iWidth, u.iHeight, u.uFormat, u.uType, u.pPixels);
    else
        gl.glTexImage2D(u.uTarget, 0, static_cast<GLint>(u.uInternal), u.iWidth, u.iHeight, 0, u.uFormat, u.uType,
                        u.pPixels);
}

extern "C" int MVE_CreateTexture(int id, int width, int height, int format, const void *pixels, int filter,
                                 int mipmaps, const char *name) {
    static const char *const kProcedure = "MVE_CreateTexture";
    if (!NeedScreen(kProcedure)) return 0;
    Format f;
    if (!FormatOrFail(format, f, kProcedure)) return 0;
    GLint most = MVE_IMAGE_MAX_SIDE;
    MVE_gl().glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    if (width <= 0 || height <= 0 || width > std::min<int>(most, MVE_IMAGE_MAX_SIDE) ||
        height > std::min<int>(most, MVE_IMAGE_MAX_SIDE) ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > MVE_IMAGE_MAX_PIXELS) {
        MVE_LogFail("Fail: A texture of " + Size(width, height) + " pixels is not possible!", kProcedure);
        return 0;
    }
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, name ? name : "", &handle);
    if (!texture) return 0;
    texture->iTarget = GL_TEXTURE_2D;
    texture->iMipmaps = mipmaps > 0 ? mipmaps : 0;
    texture->iAlpha = f.iAlpha;
    texture->iFormat = format;
    SetSize(texture, width, height);
    const unsigned int filterGL = ResolveFilter(filter);
    SetupSampling(texture, filterGL, filterGL, texture->iMipmaps, 0);  // anisotropy: the set-up's own choice
    const MVE_GL_TABLE &gl = MVE_gl();
    if (f.iGrey) {
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_RED);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, GL_RED);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, f.iAlpha ? GL_GREEN : GL_ONE);
    }
    MVE_PIXEL_UPLOAD upload;
    upload.iWidth = width;
    upload.iHeight = height;
    upload.uInternal = f.uInternal;
    upload.uFormat = f.uFormat;
    upload.uType = f.uType;
    if (pixels) {
        upload.pPixels = pixels;
        MVE_UploadPixels(upload);
    } else {
        // GL leaves new storage undefined: a texture made without pixels starts transparent black.
        gl.glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(f.uInternal), width, height, 0, f.uFormat, f.uType, nullptr);
        ClearLevel(width, height, f);
    }
    FinishMipmaps(texture);
    return handle;
}

extern "C" int MVE_UpdateTexture(int id, int x, int y, int width, int height, int format, const void *pixels) {
    static const char *const kProcedure = "MVE_UpdateTexture";
    MVE_TEXTURE *texture = MVE_GetTexture(id);
    if (!texture) {
        MVE_LogFail(MVE_FAIL_TEXTURE_NOT_FOUND, kProcedure);
        return 0;
    }
    if (!NeedScreen(kProcedure)) return 0;
    if (texture->iTarget != GL_TEXTURE_2D || !texture->iTexture) {
        MVE_LogFail("Fail: Only a 2D texture with an image can be updated!", kProcedure);
        return 0;
    }
    Format f;
    if (!FormatOrFail(format, f, kProcedure)) return 0;
    if (!pixels) {
        MVE_LogFail("Fail: No pixels to update the texture with!", kProcedure);
        return 0;
    }
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || int64_t(x) + width > texture->iWidth ||
        int64_t(y) + height > texture->iHeight) {
        MVE_LogFail("Fail: The rectangle (" + std::to_string(x) + ", " + std::to_string(y) + ", " + Size(width, height) +
                        ") does not lie inside the texture of " + Size(texture->iWidth, texture->iHeight) + "!",
                    kProcedure);
        return 0;
    }
    // Grey pixels stay grey in a colour texture (GL would read them as red).
    std::vector<uint8_t> expanded;
    Format stored;
    if (f.iGrey && !(Lookup(texture->iFormat, stored) && stored.iGrey)) {
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        const uint8_t *in = static_cast<const uint8_t *>(pixels);
        expanded.resize(count * 4);
        for (size_t i = 0; i < count; ++i, in += f.iBytes) {
            uint8_t *out = expanded.data() + 4 * i;
            out[0] = out[1] = out[2] = in[0];
            out[3] = f.iAlpha ? in[1] : 255;
        }
        pixels = expanded.data();
        Lookup(MVE_TEXTURE_RGBA8, f);
    }
    MVE_gl().glBindTexture(GL_TEXTURE_2D, texture->iTexture);
    MVE_PIXEL_UPLOAD upload;
    upload.iSub = 1;
    upload.iX = x;
    upload.iY = y;
    upload.iWidth = width;
    upload.iHeight = height;
    upload.uFormat = f.uFormat;
    upload.uType = f.uType;
    upload.pPixels = pixels;
    MVE_UploadPixels(upload);
    FinishMipmaps(texture);
    return 1;
}

namespace {

const MVE_TEXTURE *Find(int id, const char *procedure) {
    const MVE_TEXTURE *texture = MVE_GetTexture(id);
    if (!texture) MVE_LogFail(MVE_FAIL_TEXTURE_NOT_FOUND, procedure);
    return texture;
}

}  // namespace

extern "C" int MVE_GetTextureWidth(int id) {
    const MVE_TEXTURE *texture = Find(id, "MVE_GetTextureWidth");
    return texture ? texture->iWidth : 0;
}

extern "C" int MVE_GetTextureHeight(int id) {
    const MVE_TEXTURE *texture = Find(id, "MVE_GetTextureHeight");
    return texture ? texture->iHeight : 0;
}
