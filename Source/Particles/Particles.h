// Particle emitters and billboards: registry records. Simulation and drawing come with the particle work.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_PARTICLE_EMITTER {
    int iID = 0;
    std::string sName;
    unsigned int uVertexArray = 0, uBuffer = 0;
};
struct MVE_BILLBOARD {
    int iID = 0;
    std::string sName;
    unsigned int uVertexArray = 0, uBuffers[2] = {0, 0}, uTexture = 0;
};
