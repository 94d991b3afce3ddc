// Lights: the registry record (a node-like record, kind 3) that the lighting and shadow passes
// read. Main thread only.
#pragma once
#include "MVE.h"
#include <string>

#include "Object/Object.h"

enum : int { MVE_LIGHT_POINT = 1, MVE_LIGHT_SPOT = 2 };

struct MVE_LIGHT {
    MVE_NODE_HEADER Header;       // iKind 3
    int iID = 0;
    std::string sName;            // unused: lights have no names
    int iType = 1;                // 1 point, 2 spot
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fOrientation = {0, 0, 0, 1};
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};  // placement, scaled by the range
    m4f m4fWorld = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};   // placement without scale
    v4f v4fColor = {1, 1, 1, 1};
    float fIntensity = 1.0f, fRange = 10.0f;
    int iShadow = 0;              // casts shadows (its cube is rendered every frame)
    int iStatic = 0;              // its cube is rendered once and kept
    int iEnabled = 1;
    v4f v4fDirection = {0, -1, 0, 0};   // spot axis (world)
    float fConeAngle = 45.0f;     // spot half angle, degrees
    unsigned int uStaticCube = 0; // the kept cube of a static light
    int iStaticDone = 0;          // 1 once the kept cube holds the scene
};

// Registry release hook: deletes the light's kept cube.
void MVE_ReleaseLight(MVE_LIGHT *light);
// m4fMatrix and m4fWorld from position, orientation and range.
void MVE_RebuildLightMatrix(MVE_LIGHT *light);
