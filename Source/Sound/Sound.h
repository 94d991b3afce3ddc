// Sounds: the registry record (a node-like record, kind 5). Playback comes with the sound work.
#pragma once
#include "MVE.h"
#include <string>

#include "Object/Object.h"

struct MVE_SOUND {
    MVE_NODE_HEADER Header;       // iKind 5, references to the record's own matrix and orientation
    int iID = 0;
    std::string sName;
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fOrientation = {0, 0, 0, 1};
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    float fVolume = 1.0f;
    void *pData = nullptr;        // decoded sound, owned by the sound module
};
