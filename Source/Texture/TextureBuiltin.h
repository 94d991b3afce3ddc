// The images compiled into the engine (Source/Texture/Builtin, embedded at build time).
#pragma once
#include <cstddef>

struct MVE_EMBEDDED_IMAGE {
    const char *sName;              // file name, e.g. "logo.png"; null ends the table
    const unsigned char *pData;
    size_t uSize;
};
extern const MVE_EMBEDDED_IMAGE MVE_BuiltinImages[];

// The bytes of a built-in image by file name (null when there is none).
const MVE_EMBEDDED_IMAGE *MVE_FindBuiltinImage(const char *name);
