// Texture sections of definition files, and the raw ".mvt" format they may name
// (three little-endian 32-bit integers width, height, unused; then width x height RGB bytes, top
// row first). Main thread only (GL).
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Platform/Platform.h"
#include "Reload/Reload.h"
#include "Texture/TexturePrivate.h"
#include <cctype>
#include <cstdio>
#include <memory>
#include <new>

using namespace mve_texture;

namespace {

const char *const kProcedure = "MVE_LoadTextureDefinition";

enum RawResult { RAW_LOADED, RAW_MISSING, RAW_BROKEN };

struct RawImage {
    int iWidth = 0, iHeight = 0;
    std::unique_ptr<uint8_t[]> Pixels;
};

uint32_t LittleEndian(const uint8_t *b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

// The whole file is checked before anything is registered: a header that promises more pixels than
// the file holds is a broken file, not an image of whatever memory follows. Only a file that is not
// there at all gives RAW_MISSING; one that cannot be read (a FIFO, a folder, too large) is broken.
RawResult ReadRaw(const std::string &path, RawImage &raw, std::string &error) {
    uint64_t size = 0;
    FILE *in = MVE_OpenRegularFile(path.c_str(), MVE_FILE_RAW_TEXTURE, error, &size);
    if (!in) return error == MVE_FAIL_FILE_NOT_FOUND ? RAW_MISSING : RAW_BROKEN;
    uint8_t header[12];
    RawResult result = RAW_BROKEN;
    if (std::fread(header, 1, sizeof header, in) != sizeof header) {
        error = "the header is incomplete";
    } else {
        const uint32_t width = LittleEndian(header), height = LittleEndian(header + 4);
        const uint64_t bytes = static_cast<uint64_t>(width) * height * 3;
        if (width == 0 || height == 0 || width > MVE_IMAGE_MAX_SIDE || height > MVE_IMAGE_MAX_SIDE ||
            static_cast<uint64_t>(width) * height > MVE_IMAGE_MAX_PIXELS) {
            error = "the header gives " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        } else if (size - sizeof header < bytes) {
            error = "the file holds fewer pixels than its header gives";
        } else {
            raw.Pixels.reset(new (std::nothrow) uint8_t[bytes]);
            if (!raw.Pixels) {
                error = "out of memory";
            } else if (std::fread(raw.Pixels.get(), 1, bytes, in) != bytes) {
                error = "the file holds fewer pixels than its header gives";
                raw.Pixels.reset();
            } else {
                raw.iWidth = static_cast<int>(width);
                raw.iHeight = static_cast<int>(height);
                result = RAW_LOADED;
            }
        }
    }
    std::fclose(in);
    return result;
}

bool IsRawFile(const std::string &file) { return file.size() >= 4 && file.compare(file.size() - 4, 4, ".mvt") == 0; }

std::string Upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

namespace {

// What a Texture section asks for, read and decoded before any entry or GL object is touched.
struct Section {
    std::string sLabel, sPath;
    unsigned int uFilter = GL_NEAREST;
    int iMipmaps = 0;
    RawImage Raw;
    MVE_IMAGE Image;
};

// Reads the section's keys and its picture; 0 after the failure rows.
int ReadSection(MVE_DEFINITION_NODE *section, Section &out) {
    out.sLabel = section->sValue;
    // A definition has its own default (no smoothing), never the engine's.
    const std::string word = Upper(MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\Filter", "", 0), ""));
    if (word == "LINEAR") out.uFilter = GL_LINEAR;
    out.iMipmaps = MVE_ReadDefinitionIntegerKey(MVE_FindDefinitionNode(section, "\\Mipmaps", "", 0), 0, "Mipmaps", kProcedure);
    const std::string file = MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\File", "", 0), "");
    out.sPath = MVE_GetDefinitionPath(section, file);
    if (IsRawFile(file)) {
        std::string error;
        if (ReadRaw(out.sPath, out.Raw, error) == RAW_BROKEN) {
            MVE_LogFail(MVE_FAIL_IMAGE_NOT_FOUND, kProcedure);
            if (error.rfind("Fail: ", 0) == 0) error.erase(0, 6);   // the file door's own texts
            MVE_Log(("Reason: " + error).c_str(), MVE_LOG_DETAIL, 0, 0, "", kProcedure);
            return 0;
        }
        return 1;
    }
    MVE_Log(("File: " + out.sPath).c_str(), MVE_LOG_PLAIN, 0, 0, "", kProcedure);
    return Decode(out.sPath, out.Image, kProcedure);
}

// The section's picture into the texture (its GL name is made only when it has none).
void PutSection(MVE_TEXTURE *texture, const Section &in, const char *procedure) {
    if (in.Image.pPixels) {
        PutImage(texture, in.Image, in.uFilter, in.iMipmaps, procedure);
        return;
    }
    texture->iTarget = GL_TEXTURE_2D;
    texture->iMipmaps = in.iMipmaps > 0 ? in.iMipmaps : 0;
    // Raw files are RGB: only a decoded image can bring an alpha channel.
    texture->iAlpha = 0;
    if (in.Raw.Pixels) SetSize(texture, in.Raw.iWidth, in.Raw.iHeight);
    SetupSampling(texture, in.uFilter, in.uFilter, texture->iMipmaps, procedure);
    if (!in.Raw.Pixels) return;   // a raw file that is not there leaves the texture without an image
    MVE_PIXEL_UPLOAD upload;
    upload.iWidth = in.Raw.iWidth;
    upload.iHeight = in.Raw.iHeight;
    upload.uFormat = GL_RGB;
    upload.pPixels = in.Raw.Pixels.get();
    MVE_UploadPixels(upload);
    FinishMipmaps(texture);
}

int ReloadImage(int handle, const std::string &path, unsigned int filter, int mipmaps, const std::string &name);

// The picture's file is bound to the texture: saving it reloads the picture with the section's settings.
void BindImage(MVE_ReloadScope &scope, int handle, const Section &in) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_TEXTURE;
    target.iHandle = handle;
    target.sName = in.sLabel;
    const std::string path = MVE_ReloadPath(in.sPath), name = in.sLabel;
    const unsigned int filter = in.uFilter;
    const int mipmaps = in.iMipmaps;
    scope.Bind(target, [=] { return ReloadImage(handle, path, filter, mipmaps, name); });
}

int ReloadImage(int handle, const std::string &path, unsigned int filter, int mipmaps, const std::string &name) {
    MVE_ReloadScope scope;
    Section in;
    in.sLabel = name;
    in.sPath = path;
    in.uFilter = filter;
    in.iMipmaps = mipmaps;
    if (!NeedScreen(kProcedure)) return 0;
    if (IsRawFile(path)) {
        std::string error;
        const RawResult result = ReadRaw(path, in.Raw, error);
        if (result != RAW_LOADED) {
            MVE_LogFail("Fail: " + path + ": " + (result == RAW_MISSING ? std::string("file not found") : error), kProcedure);
            return 0;
        }
    } else if (!Decode(path, in.Image, kProcedure)) {
        return 0;
    }
    MVE_TEXTURE *texture = MVE_GetTexture(handle);
    if (!texture) return 0;
    PutSection(texture, in, nullptr);
    BindImage(scope, handle, in);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadTextureDefinition(int id, MVE_DEFINITION_NODE *node, const char *name) {
    MVE_SectionLoad load;
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(node, "Texture", name ? name : "", 1);
    if (!section) {
        MVE_LogHeading("Texture: " + std::string(name ? name : ""), __LINE__, __FILE__, kProcedure);
        MVE_LogFail(MVE_FAIL_TEXTURE_NODE, kProcedure);
        return 0;
    }
    MVE_LogHeading("Texture: " + section->sValue, __LINE__, __FILE__, kProcedure);
    if (!NeedScreen(kProcedure)) return 0;
    MVE_ReloadScope scope;
    Section in;
    if (!ReadSection(section, in)) return 0;
    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, in.sLabel.c_str(), &handle);
    if (!texture) return 0;
    PutSection(texture, in, kProcedure);
    MVE_LogOK(kProcedure);
    BindImage(scope, handle, in);
    load.Done(section, handle);
    return handle;
}

int MVE_ReloadTextureSection(int handle, MVE_DEFINITION_NODE *section) {
    MVE_SectionLoad load;
    if (!section || !NeedScreen(kProcedure)) return 0;
    MVE_ReloadScope scope;
    Section in;
    if (!ReadSection(section, in)) return 0;
    MVE_TEXTURE *texture = MVE_GetTexture(handle);
    if (!texture) return 0;
    // The entry keeps its name: a section renamed in the file is still the same entry.
    in.sLabel = texture->sName;
    PutSection(texture, in, nullptr);
    BindImage(scope, handle, in);
    return 1;
}
