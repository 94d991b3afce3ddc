// Textures: the registry record. Loaders come with the texture work; for now the record holds its GL name.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_TEXTURE {
    int iID = 0;
    std::string sName;
    unsigned int uTexture = 0;    // GL texture name, 0 when none
    int iTarget = 0;              // GL target
    int iWidth = 0, iHeight = 0;
};
