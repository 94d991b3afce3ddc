// The GL function table (loading to come).
#include "Core/Engine.h"

MVE_GL_TABLE &MVE_gl() { return MVE_Engine().GL.Table; }
