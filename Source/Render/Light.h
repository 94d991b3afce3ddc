// Lights: the registry record (a node-like record, kind 3). Lighting comes with the render work.
#pragma once
#include "MVE.h"
#include <string>

#include "Object/Object.h"

struct MVE_LIGHT {
    MVE_NODE_HEADER Header;       // iKind 3
    int iID = 0;
    std::string sName;            // unused: lights have no names
    int iType = 1;                // 1 point, 2 spot
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fOrientation = {0, 0, 0, 1};
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    v4f v4fColor = {1, 1, 1, 1};
    float fIntensity = 1.0f, fRange = 10.0f;
    int iShadow = 0;
};
