// Shader programs: the registry record. Compilation and reflection come with the shader work.
#pragma once
#include "MVE.h"
#include <string>

struct MVE_SHADER {
    int iID = 0;
    std::string sName;
    unsigned int uProgram = 0;    // GL program name
};
