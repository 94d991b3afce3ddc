// Materials: the registry record. Definitions and draw state come with the material work.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_MATERIAL {
    int iID = 0;
    std::string sName;
    int iProgram = 1;             // built-in program number
    int iTexture = 0;
    v4f v4fColor = {1, 1, 1, 1};
};

// Registry release hook: objects that used the material fall back to the default one.
void MVE_ReleaseMaterial(MVE_MATERIAL *material);
