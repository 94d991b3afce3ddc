// The 2D layer: sprites and fonts (registry records). Drawing comes with the 2D work.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_SPRITE {
    int iID = 0;
    std::string sName;            // unused: sprites have no names
    int iMaterial = 0;
    float fWidth = 0, fHeight = 0;
};
struct MVE_FONT {
    int iID = 0;
    std::string sName;            // unused: fonts have no names
    int iTexture = 0;
};
