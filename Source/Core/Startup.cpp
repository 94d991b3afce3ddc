// Initialisers of engine areas that are not built yet. When an area lands, its initialiser moves
// into the area's own module and its line here goes.
#include "Core/Startup.h"

void MVE_StartupSpriteBatch() {}
void MVE_StartupGBuffer() {}
void MVE_StartupSpriteShader() {}
void MVE_StartupShadowAndLines() {}
void MVE_StartupGUI() {}

