// Definition trees (parser to come).
#include "Definition/Definition.h"

MVE_DEFINITION_NODE::~MVE_DEFINITION_NODE() {
    for (MVE_DEFINITION_NODE *child : Children) delete child;
}
