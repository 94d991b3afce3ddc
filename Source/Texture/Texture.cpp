// Texture loaders over the platform image decoder: image files, images in memory, cube maps and
// array textures, with one sampling set-up and one upload step. Main thread only (GL).
// Every loader decodes all of its images before it touches the registry or GL.
#include "Texture/Texture.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Platform/Platform.h"
#include "Reload/Reload.h"
#include "Texture/TexturePrivate.h"
#include <cstring>
#include <vector>

int MVE_TexturesReady(void) { return MVE_Engine().GL.iLoaded != 0; }

namespace mve_texture {

std::string FilePart(const std::string &path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string JoinPath(const char *folder, const char *file) {
    std::string f = folder ? folder : "", name = file ? file : "";
    if (!f.empty() && f.back() != '/' && f.back() != '\\') f += '/';
    return MVE_NativePath(f + name);
}

// Only the two plain filters make sense without mipmaps: any other value would leave the texture
// incomplete (it samples black), so it falls back to the engine default like MVE_IGNORE.
unsigned int ResolveFilter(int filter) {
    if (filter == GL_NEAREST || filter == GL_LINEAR) return static_cast<unsigned int>(filter);
    return MVE_Engine().Defaults.uTextureFilter;
}

bool Anisotropy() {
    int &known = MVE_Engine().TextureState.iAnisotropy;
    if (known < 0) {
        const MVE_GL_TABLE &gl = MVE_gl();
        GLint count = 0;
        gl.glGetIntegerv(GL_NUM_EXTENSIONS, &count);
        known = 0;
        for (GLint i = 0; i < count && !known; i++) {
            const char *name = reinterpret_cast<const char *>(gl.glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
            if (name && (!std::strcmp(name, "GL_EXT_texture_filter_anisotropic") ||
                         !std::strcmp(name, "GL_ARB_texture_filter_anisotropic")))
                known = 1;
        }
    }
    return known == 1;
}

// Anisotropic filtering only means something where mipmap levels of a smaller scale exist, and Mesa's
// software rasteriser does not bound it as hardware does: it walks every texel of a pixel's
// footprint on the level it samples. Without mipmaps, or on a chain that stops at a large level,
// that footprint grows with the distance (thousands of texels at grazing angles, frames of
// seconds). On a chain that runs down to a level no larger than the anisotropy, what lies beyond
// the last level stays within the texels the filter reads anyway. Cube maps get none: a reflection's
// direction sweeps across faces from one pixel to the next, and the footprints that makes cost ten
// times a plain lookup even on a whole chain (a mirror sphere filling the view: a second a frame).
constexpr int kAnisotropy = 8;

// Width and height of the smallest level the requested mipmaps reach.
void LastLevel(const MVE_TEXTURE *texture, int mipmaps, int &width, int &height) {
    width = texture->iWidth;
    height = texture->iHeight;
    for (int level = 0; level < mipmaps && (width > 1 || height > 1); ++level) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

void SetupSampling(MVE_TEXTURE *texture, unsigned int minFilter, unsigned int magFilter, int mipmaps,
                   const char *procedure) {
    const MVE_GL_TABLE &gl = MVE_gl();
    const GLenum target = static_cast<GLenum>(texture->iTarget);
    // A texture that has its GL name keeps it (a reload): whatever holds the name sees the new image.
    if (!texture->iTexture) gl.glGenTextures(1, &texture->iTexture);
    gl.glBindTexture(target, texture->iTexture);
    const int hadAnisotropy = texture->iAnisotropy;
    texture->iAnisotropy = 0;
    if (mipmaps > 0) {
        gl.glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
        gl.glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, mipmaps);
        minFilter = GL_LINEAR_MIPMAP_LINEAR;
        magFilter = GL_LINEAR;
    } else {
        // GL's own default of 1000 levels would leave a texture without mipmaps incomplete.
        gl.glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 0);
    }
    gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
    const GLint wrap = target == GL_TEXTURE_CUBE_MAP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    if (target == GL_TEXTURE_CUBE_MAP) gl.glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap);

    std::string row;
    int lastWidth = 0, lastHeight = 0;
    LastLevel(texture, mipmaps, lastWidth, lastHeight);
    if (mipmaps <= 0) {
        row = "off (no mipmaps)";
    } else if (target == GL_TEXTURE_CUBE_MAP) {
        row = "off (cube map)";
    } else if (texture->iWidth <= 0 || texture->iHeight <= 0) {
        row = "off (no image)";
    } else if (lastWidth > kAnisotropy || lastHeight > kAnisotropy) {
        row = "off (the mipmaps stop at " + std::to_string(lastWidth) + " x " + std::to_string(lastHeight) + ")";
    } else if (!Anisotropy()) {
        row = "off (not offered by the driver)";
    } else {
        GLfloat most = 1.0f;
        gl.glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &most);
        const float amount = most < static_cast<float>(kAnisotropy) ? most : static_cast<float>(kAnisotropy);
        gl.glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY, amount);
        texture->iAnisotropy = static_cast<int>(amount);
        row = std::to_string(texture->iAnisotropy) + "x";
    }
    if (hadAnisotropy && !texture->iAnisotropy) gl.glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY, 1.0f);
    if (procedure) MVE_Log(("Anisotropic filtering: " + row).c_str(), MVE_LOG_DETAIL, 0, 0, "", procedure);
}

void FinishMipmaps(const MVE_TEXTURE *texture) {
    if (texture->iMipmaps > 0) MVE_gl().glGenerateMipmap(static_cast<GLenum>(texture->iTarget));
}

void SetSize(MVE_TEXTURE *texture, int width, int height) {
    texture->iWidth = width;
    texture->iHeight = height;
    texture->iClipX = texture->iClipY = 0;
    texture->iClipWidth = width;
    texture->iClipHeight = height;
}

int Decode(const std::string &path, MVE_IMAGE &image, const char *procedure) {
    std::string error;
    if (MVE_PlatformLoadImage(path.c_str(), image, error)) return 1;
    MVE_LogFail(MVE_FAIL_IMAGE_NOT_FOUND, procedure);
    // The file door's own texts ("Fail: File cannot be read!") become the reason.
    if (error.rfind("Fail: ", 0) == 0) error.erase(0, 6);
    MVE_Log(("Reason: " + error).c_str(), MVE_LOG_DETAIL, 0, 0, "", procedure);
    return 0;
}

int NeedScreen(const char *procedure) {
    if (MVE_TexturesReady()) return 1;
    MVE_LogFail(MVE_FAIL_NO_SCREEN_TEXTURE, procedure);
    return 0;
}

void PutImage(MVE_TEXTURE *texture, const MVE_IMAGE &image, unsigned int filter, int mipmaps, const char *procedure) {
    texture->iTarget = GL_TEXTURE_2D;
    texture->iMipmaps = mipmaps > 0 ? mipmaps : 0;
    texture->iAlpha = MVE_ImageHasAlpha(image);
    SetSize(texture, image.iWidth, image.iHeight);
    SetupSampling(texture, filter, filter, texture->iMipmaps, procedure);
    MVE_UploadImage(image, 0, MVE_IGNORE);
    FinishMipmaps(texture);
}

}  // namespace mve_texture

using namespace mve_texture;

int MVE_ImageHasAlpha(const MVE_IMAGE &image) {
    return image.iFormat == MVE_PIXELS_RGBA || image.iFormat == MVE_PIXELS_BGRA;
}

void MVE_UploadImage(const MVE_IMAGE &image, unsigned int face, int layer) {
    if (!image.pPixels || image.iWidth <= 0 || image.iHeight <= 0) return;
    GLenum format;
    switch (image.iFormat) {
        case MVE_PIXELS_RGB: format = GL_RGB; break;
        case MVE_PIXELS_BGR: format = GL_BGR; break;
        case MVE_PIXELS_RGBA: format = GL_RGBA; break;
        case MVE_PIXELS_BGRA: format = GL_BGRA; break;
        default: return;
    }
    const size_t stride = static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iBytesPerPixel);
    const uint8_t *pixels = image.pPixels;
    std::vector<uint8_t> flipped;
    if (image.iBottomUp) {
        // t = 0 must address the image's top edge: the top row goes first.
        flipped.resize(stride * static_cast<size_t>(image.iHeight));
        for (int y = 0; y < image.iHeight; y++)
            std::memcpy(flipped.data() + stride * static_cast<size_t>(y),
                        image.pPixels + stride * static_cast<size_t>(image.iHeight - 1 - y), stride);
        pixels = flipped.data();
    }
    MVE_PIXEL_UPLOAD upload;
    upload.uTarget = face ? face : layer == MVE_IGNORE ? GL_TEXTURE_2D : GL_TEXTURE_2D_ARRAY;
    upload.iLayer = layer == MVE_IGNORE ? 0 : layer;
    upload.iWidth = image.iWidth;
    upload.iHeight = image.iHeight;
    upload.uFormat = format;
    upload.pPixels = pixels;
    MVE_UploadPixels(upload);
}

void MVE_ReleaseTexture(MVE_TEXTURE *texture) {
    MVE_DetachTexture(texture);
    if (texture->iTexture && MVE_TexturesReady()) MVE_gl().glDeleteTextures(1, &texture->iTexture);
    texture->iTexture = 0;
}

extern "C" int MVE_SetTextureFilter(int filter) {
    if (filter == GL_NEAREST || filter == GL_LINEAR)
        MVE_Engine().Defaults.uTextureFilter = static_cast<unsigned int>(filter);
    else
        MVE_LogFail("Fail: Unknown texture filter " + std::to_string(filter) + "!", "MVE_SetTextureFilter");
    return 0;
}

namespace {

int ReloadTextureFile(int handle, const std::string &path, unsigned int filter, int mipmaps, const std::string &name);

void BindTextureFile(MVE_ReloadScope &scope, int handle, const std::string &path, unsigned int filter, int mipmaps,
                     const std::string &name) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_TEXTURE;
    target.iHandle = handle;
    target.sName = name;
    scope.Bind(target, [=, path = MVE_ReloadPath(path)] { return ReloadTextureFile(handle, path, filter, mipmaps, name); });
}

// The image file again, into the texture that is there: same GL name, same filter and mipmaps.
int ReloadTextureFile(int handle, const std::string &path, unsigned int filter, int mipmaps, const std::string &name) {
    static const char *const kProcedure = "MVE_LoadTextureFile";
    MVE_ReloadScope scope;
    MVE_IMAGE image;
    if (!NeedScreen(kProcedure) || !Decode(path, image, kProcedure)) return 0;
    MVE_TEXTURE *texture = MVE_GetTexture(handle);
    if (!texture) return 0;
    PutImage(texture, image, filter, mipmaps, nullptr);
    BindTextureFile(scope, handle, path, filter, mipmaps, name);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadTextureFile(int id, const char *file, int filter, int mipmaps, const char *name) {
    static const char *const kProcedure = "MVE_LoadTextureFile";
    const std::string path = MVE_NativePath(file ? file : "");
    MVE_LogHeading("Load Texture: " + std::string(file ? file : ""), __LINE__, __FILE__, kProcedure);
    if (!NeedScreen(kProcedure)) return 0;
    MVE_ReloadScope scope;
    MVE_IMAGE image;
    if (!Decode(path, image, kProcedure)) return 0;
    const std::string label = name && *name ? std::string(name) : FilePart(path);
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, label.c_str(), &handle);
    if (!texture) return 0;
    const unsigned int f = ResolveFilter(filter);
    PutImage(texture, image, f, mipmaps, kProcedure);
    MVE_LogOK(kProcedure);
    BindTextureFile(scope, handle, path, f, mipmaps, label);
    return handle;
}

extern "C" int MVE_CatchTexture(int id, const void *data, int64_t size, int filter, const char *name) {
    static const char *const kProcedure = "MVE_CatchTexture";
    if (!NeedScreen(kProcedure)) return 0;
    MVE_IMAGE image;
    std::string error;
    if (size <= 0 || !MVE_PlatformCatchImage(data, static_cast<size_t>(size), image, error)) {
        MVE_LogFail(MVE_FAIL_IMAGE_NOT_FOUND, kProcedure);
        if (!error.empty()) MVE_Log(("Reason: " + error).c_str(), MVE_LOG_DETAIL, 0, 0, "", kProcedure);
        return 0;
    }
    // Every pixel as RGBA, rows from the top; an image without alpha is opaque.
    const size_t count = static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight);
    std::vector<uint8_t> rgba(count * 4);
    const bool swap = image.iFormat == MVE_PIXELS_BGR || image.iFormat == MVE_PIXELS_BGRA;
    const size_t bpp = static_cast<size_t>(image.iBytesPerPixel);
    for (int y = 0; y < image.iHeight; y++) {
        const int row = image.iBottomUp ? image.iHeight - 1 - y : y;
        const uint8_t *s = image.pPixels + static_cast<size_t>(row) * static_cast<size_t>(image.iWidth) * bpp;
        uint8_t *d = rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(image.iWidth) * 4;
        for (int x = 0; x < image.iWidth; x++, s += bpp, d += 4) {
            d[0] = s[swap ? 2 : 0];
            d[1] = s[1];
            d[2] = s[swap ? 0 : 2];
            d[3] = bpp == 4 ? s[3] : 255;
        }
    }
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, name ? name : "", &handle);
    if (!texture) return 0;
    texture->iTarget = GL_TEXTURE_2D;
    texture->iAlpha = bpp == 4;
    SetSize(texture, image.iWidth, image.iHeight);
    const unsigned int f = ResolveFilter(filter);
    SetupSampling(texture, f, f, 0, nullptr);
    MVE_PIXEL_UPLOAD upload;
    upload.iWidth = image.iWidth;
    upload.iHeight = image.iHeight;
    upload.pPixels = rgba.data();
    MVE_UploadPixels(upload);
    return handle;
}

namespace {

bool SquareFaces(const MVE_IMAGE (&faces)[6], const char *procedure) {
    for (const MVE_IMAGE &face : faces)
        if (face.iWidth != faces[0].iWidth || face.iHeight != faces[0].iWidth) {
            MVE_LogFail("Fail: Cube map faces must be square and of one size!", procedure);
            return false;
        }
    return true;
}

void PutFaces(MVE_TEXTURE *texture, const MVE_IMAGE (&faces)[6], unsigned int filter, int mipmaps, const char *procedure) {
    texture->iTarget = GL_TEXTURE_CUBE_MAP;
    texture->iMipmaps = mipmaps > 0 ? mipmaps : 0;
    texture->iAlpha = 0;
    for (const MVE_IMAGE &face : faces) texture->iAlpha |= MVE_ImageHasAlpha(face);
    SetSize(texture, faces[0].iWidth, faces[0].iHeight);
    SetupSampling(texture, filter, filter, texture->iMipmaps, procedure);
    for (int i = 0; i < 6; i++) MVE_UploadImage(faces[i], GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<unsigned>(i), MVE_IGNORE);
    FinishMipmaps(texture);
}

// Six decoded faces become one cube map. A cube needs six square faces of one size; anything else
// would give a texture that samples black everywhere.
int BuildCubeMap(int id, MVE_IMAGE (&faces)[6], int filter, int mipmaps, const std::string &name,
                 const char *procedure, bool logged) {
    if (!SquareFaces(faces, procedure)) return 0;
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, name.c_str(), &handle);
    if (!texture) return 0;
    PutFaces(texture, faces, ResolveFilter(filter), mipmaps, logged ? procedure : nullptr);
    return handle;
}

int DecodeFaces(const std::vector<std::string> &paths, MVE_IMAGE (&faces)[6], const char *procedure) {
    for (int i = 0; i < 6; i++)
        if (!Decode(paths[static_cast<size_t>(i)], faces[i], procedure)) return 0;
    return 1;
}

int ReloadCubeMap(int handle, const std::vector<std::string> &paths, unsigned int filter, int mipmaps,
                  const std::string &name);

void BindCubeMap(MVE_ReloadScope &scope, int handle, const std::vector<std::string> &paths, unsigned int filter,
                 int mipmaps, const std::string &name) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_TEXTURE;
    target.iHandle = handle;
    target.sName = name;
    std::vector<std::string> absolute;
    for (const std::string &p : paths) absolute.push_back(MVE_ReloadPath(p));
    scope.Bind(target, [=] { return ReloadCubeMap(handle, absolute, filter, mipmaps, name); });
}

// All six faces again (one changed face may no longer match the others): into the same cube map.
int ReloadCubeMap(int handle, const std::vector<std::string> &paths, unsigned int filter, int mipmaps,
                  const std::string &name) {
    static const char *const kProcedure = "MVE_LoadCubeMapTexture";
    MVE_ReloadScope scope;
    MVE_IMAGE faces[6];
    if (!NeedScreen(kProcedure) || !DecodeFaces(paths, faces, kProcedure) || !SquareFaces(faces, kProcedure)) return 0;
    MVE_TEXTURE *texture = MVE_GetTexture(handle);
    if (!texture) return 0;
    PutFaces(texture, faces, filter, mipmaps, nullptr);
    BindCubeMap(scope, handle, paths, filter, mipmaps, name);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadCubeMapTexture(int id, const char *folder, const char *px, const char *nx, const char *py,
                                      const char *ny, const char *pz, const char *nz, int filter, int mipmaps,
                                      const char *name) {
    static const char *const kProcedure = "MVE_LoadCubeMapTexture";
    const char *files[6] = {px, nx, py, ny, pz, nz};
    std::string list;
    for (int i = 0; i < 6; i++) list += (i ? ", " : "") + std::string(files[i] ? files[i] : "");
    MVE_LogHeading("Load CubeMap Textures: " + list, __LINE__, __FILE__, kProcedure);
    if (!NeedScreen(kProcedure)) return 0;
    MVE_ReloadScope scope;
    std::vector<std::string> paths;
    for (const char *f : files) paths.push_back(JoinPath(folder, f));
    MVE_IMAGE faces[6];
    if (!DecodeFaces(paths, faces, kProcedure)) return 0;
    const std::string label = name && *name ? std::string(name) : FilePart(files[0] ? files[0] : "");
    const int handle = BuildCubeMap(id, faces, filter, mipmaps, label, kProcedure, true);
    if (!handle) return 0;
    MVE_LogOK(kProcedure);
    BindCubeMap(scope, handle, paths, ResolveFilter(filter), mipmaps, label);
    return handle;
}

extern "C" int MVE_CatchCubeMapTexture(int id, const void *const faces[6], const int64_t sizes[6], int filter,
                                       int mipmaps, const char *name) {
    static const char *const kProcedure = "MVE_CatchCubeMapTexture";
    if (!NeedScreen(kProcedure)) return 0;
    MVE_IMAGE images[6];
    for (int i = 0; i < 6; i++) {
        std::string error;
        if (!faces || !sizes || sizes[i] <= 0 ||
            !MVE_PlatformCatchImage(faces[i], static_cast<size_t>(sizes[i]), images[i], error)) {
            MVE_LogFail(MVE_FAIL_IMAGE_NOT_FOUND, kProcedure);
            return 0;
        }
    }
    return BuildCubeMap(id, images, filter, mipmaps, name ? name : "", kProcedure, false);
}

extern "C" int MVE_CreateTextureArray(int id, int width, int height, int layers, int filter, int, const char *name) {
    static const char *const kProcedure = "MVE_CreateTextureArray";
    if (!NeedScreen(kProcedure)) return 0;
    if (width <= 0 || height <= 0 || layers <= 0 || width > MVE_IMAGE_MAX_SIDE || height > MVE_IMAGE_MAX_SIDE ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * static_cast<uint64_t>(layers) > MVE_IMAGE_MAX_PIXELS) {
        MVE_LogFail("Fail: A texture array of " + std::to_string(width) + " x " + std::to_string(height) + " x " +
                        std::to_string(layers) + " is not possible!",
                    kProcedure);
        return 0;
    }
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, name ? name : "", &handle);
    if (!texture) return 0;
    texture->iTarget = GL_TEXTURE_2D_ARRAY;
    texture->iLayers = layers;
    SetSize(texture, width, height);
    const unsigned int f = ResolveFilter(filter);
    SetupSampling(texture, f, f, 0, nullptr);
    MVE_gl().glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA, width, height, layers, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return handle;
}

namespace {

// An image into one layer of the array: it must be of the array's size.
int PutLayer(MVE_TEXTURE *array, const std::string &path, int layer, const char *procedure) {
    MVE_IMAGE image;
    if (!Decode(path, image, procedure)) return 0;
    if (image.iWidth != array->iWidth || image.iHeight != array->iHeight) {
        MVE_LogFail("Fail: The image is " + std::to_string(image.iWidth) + " x " + std::to_string(image.iHeight) +
                        ", the texture array " + std::to_string(array->iWidth) + " x " + std::to_string(array->iHeight) + "!",
                    procedure);
        return 0;
    }
    MVE_gl().glBindTexture(GL_TEXTURE_2D_ARRAY, array->iTexture);
    MVE_UploadImage(image, 0, layer);
    array->iAlpha |= MVE_ImageHasAlpha(image);
    return 1;
}

int ReloadLayer(int handle, const std::string &path, int layer, const std::string &name);

void BindLayer(MVE_ReloadScope &scope, int handle, const std::string &path, int layer, const std::string &name) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_TEXTURE_LAYER;
    target.iHandle = handle;
    target.iPart = layer;
    target.sName = name + " [" + std::to_string(layer) + "]";
    scope.Bind(target, [=, path = MVE_ReloadPath(path)] { return ReloadLayer(handle, path, layer, name); });
}

int ReloadLayer(int handle, const std::string &path, int layer, const std::string &name) {
    static const char *const kProcedure = "MVE_AddTextureToTextureArray";
    MVE_ReloadScope scope;
    MVE_TEXTURE *array = MVE_GetTexture(handle);
    if (!array || !NeedScreen(kProcedure) || !PutLayer(array, path, layer, kProcedure)) return 0;
    BindLayer(scope, handle, path, layer, name);
    return 1;
}

}  // namespace

extern "C" int MVE_AddTextureToTextureArray(int texture, const char *file, int layer) {
    static const char *const kProcedure = "MVE_AddTextureToTextureArray";
    MVE_LogHeading("Load Texture: " + std::string(file ? file : ""), __LINE__, __FILE__, kProcedure);
    MVE_TEXTURE *array = MVE_GetTexture(texture);
    if (!array || array->iTarget != GL_TEXTURE_2D_ARRAY) {
        MVE_LogFail(MVE_FAIL_TEXTURE_NOT_FOUND, kProcedure);
        return 0;
    }
    if (!NeedScreen(kProcedure)) return 0;
    if (layer < 0 || layer >= array->iLayers) {
        MVE_LogFail("Fail: The texture array has no layer " + std::to_string(layer) + "!", kProcedure);
        return 0;
    }
    MVE_ReloadScope scope;
    const std::string path = MVE_NativePath(file ? file : "");
    if (!PutLayer(array, path, layer, kProcedure)) return 0;
    MVE_LogOK(kProcedure);
    BindLayer(scope, MVE_HandleOf(array), path, layer, array->sName);
    return 1;
}
