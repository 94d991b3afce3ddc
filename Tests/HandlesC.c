/* A C program uses the engine the way the demonstration does: every creator's result is kept in an
 * int and passed on. Built with -Wall -Werror, so a creator that returned a pointer would not compile. */
#include "MVE.h"

/* Returns 0 when everything held, else the number of the first check that failed. */
int mve_c_handle_pattern(void) {
    int mesh = MVE_CreateSphereMesh(MVE_ID_AUTO, 1.0f, 8, 4, "");
    int body = MVE_CreateSphereBody(MVE_ID_AUTO, 2.0f, "");
    int ball = MVE_CreateObject(MVE_ID_AUTO, mesh, -1, "", 0, 1);
    v4f velocity = {4.0f, 0.0f, -2.0f, 0.0f};
    v4f p;
    if (!mesh || !body || !ball) return 1;
    if (((unsigned)ball & 0xFFFF0000u) == 0 || ball == -1) return 2;
    if (!MVE_SetObjectBody(ball, body, 1.0f)) return 3;
    MVE_MoveObject(ball, 1.0f, 2.0f, 3.0f, 0);
    MVE_SetObjectMass(ball, 2.0f);
    MVE_SetObjectVelocity(ball, &velocity, 0.0f, 0.0f, 0.0f, 0);
    if (MVE_GetObjectCount(1) != 1) return 4; /* the body and mass filed it as dynamic */
    MVE_StepPhysics(0.25f);
    if (!MVE_GetObjectPosition(ball, &p)) return 5;
    if (p.x < 1.999f || p.x > 2.001f || p.y < 1.999f || p.y > 2.001f || p.z < 2.499f || p.z > 2.501f) return 6;
    MVE_FreeObject(ball);
    if (MVE_IsObject(ball) || MVE_GetObjectPosition(ball, &p)) return 7; /* the handle went stale */
    return 0;
}
