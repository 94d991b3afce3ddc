// Texture sections of definition files, and the raw ".mvt" format they may name
// (three little-endian 32-bit integers width, height, unused; then width x height RGB bytes, top
// row first). Main thread only (GL).
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Platform/Platform.h"
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

extern "C" int MVE_LoadTextureDefinition(int id, MVE_DEFINITION_NODE *node, const char *name) {
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(node, "Texture", name ? name : "", 1);
    if (!section) {
        MVE_LogHeading("Texture: " + std::string(name ? name : ""), __LINE__, __FILE__, kProcedure);
        MVE_LogFail(MVE_FAIL_TEXTURE_NODE, kProcedure);
        return 0;
    }
    const std::string label = section->sValue;
    MVE_LogHeading("Texture: " + label, __LINE__, __FILE__, kProcedure);
    if (!NeedScreen(kProcedure)) return 0;

    // A definition has its own default (no smoothing), never the engine's.
    unsigned int filter = GL_NEAREST;
    const std::string word = Upper(MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\Filter", "", 0), ""));
    if (word == "LINEAR") filter = GL_LINEAR;
    const int mipmaps = MVE_ReadDefinitionIntegerKey(MVE_FindDefinitionNode(section, "\\Mipmaps", "", 0), 0, "Mipmaps", kProcedure);
    const std::string file = MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\File", "", 0), "");
    const std::string path = MVE_GetDefinitionPath(section, file);

    RawImage raw;
    MVE_IMAGE image;
    RawResult rawResult = RAW_MISSING;
    if (IsRawFile(file)) {
        std::string error;
        rawResult = ReadRaw(path, raw, error);
        if (rawResult == RAW_BROKEN) {
            MVE_LogFail(MVE_FAIL_IMAGE_NOT_FOUND, kProcedure);
            if (error.rfind("Fail: ", 0) == 0) error.erase(0, 6);   // the file door's own texts
            MVE_Log(("Reason: " + error).c_str(), MVE_LOG_DETAIL, 0, 0, "", kProcedure);
            return 0;
        }
    } else {
        MVE_Log(("File: " + path).c_str(), MVE_LOG_PLAIN, 0, 0, "", kProcedure);
        if (!Decode(path, image, kProcedure)) return 0;
    }

    int handle = 0;
    MVE_TEXTURE *texture = MVE_CreateTextureListEntry(&id, label.c_str(), &handle);
    if (!texture) return 0;
    texture->iTarget = GL_TEXTURE_2D;
    texture->iMipmaps = mipmaps > 0 ? mipmaps : 0;
    // Raw files are RGB: only a decoded image can bring an alpha channel.
    if (raw.Pixels) SetSize(texture, raw.iWidth, raw.iHeight);
    else if (image.pPixels) SetSize(texture, image.iWidth, image.iHeight);
    texture->iAlpha = image.pPixels ? MVE_ImageHasAlpha(image) : 0;
    SetupSampling(texture, filter, filter, texture->iMipmaps, kProcedure);
    if (raw.Pixels) {
        MVE_PIXEL_UPLOAD upload;
        upload.iWidth = raw.iWidth;
        upload.iHeight = raw.iHeight;
        upload.uFormat = GL_RGB;
        upload.pPixels = raw.Pixels.get();
        MVE_UploadPixels(upload);
    } else if (image.pPixels) {
        MVE_UploadImage(image, 0, MVE_IGNORE);
    }
    // A raw file that is not there leaves the texture without an image, as it always has.
    if (raw.Pixels || image.pPixels) FinishMipmaps(texture);
    MVE_LogOK(kProcedure);
    return handle;
}
