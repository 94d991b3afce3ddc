// Material records: what freeing one must undo elsewhere. Main thread only.
#include "Material/Material.h"
#include "Object/Object.h"

void MVE_ReleaseMaterial(MVE_MATERIAL *material) { MVE_DetachMaterial(material); }
