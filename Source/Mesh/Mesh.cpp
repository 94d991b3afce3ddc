// Mesh records: release of their GL objects.
#include "Mesh/Mesh.h"

void MVE_ReleaseMesh(MVE_MESH *) {}
