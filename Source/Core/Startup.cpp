// Initialisers of engine areas that are not built yet. When an area lands, its initialiser moves
// into the area's own module and its line here goes.
#include "Core/Startup.h"

