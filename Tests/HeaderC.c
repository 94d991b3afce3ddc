/* The public header compiles as C. */
#include "MVE.h"

int mve_header_compiles_as_c(void) {
    v4f v = {1, 2, 3, 1};
    MVE_FreeMesh(12345);
    return (int)v.x + MVE_ID_AUTO;
}
