// The demonstration's scene, step by step in the order the demonstration has always used: the
// order decides list positions, and list positions decide the order of collision pairs.
#include "Scene.h"
#include "MVE.h"
#include <cmath>

namespace mvesample {

Scene BuildScene(const SceneOptions &o) {
    Scene scene;
    if (o.bMakeMeshes) {
        MVE_CreateBoxMesh(o.iBlockMesh, 2.0f, 1.0f, 0, "");
        MVE_CreateSphereMesh(o.iBallMesh, 1.0f, 16, 8, "");
    }
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_CreateBodyFromMesh(12, o.iBlockMesh, MVE_SHAPE_BOX, 1.0f, "");

    int previous = 14;
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    MVE_CreateObject(14, o.iBlockMesh, o.iBlockMaterial, "", 0, 1);
    MVE_SetObjectBody(14, 12, 1.0f);
    MVE_MoveObject(14, 0.0f, 8.0f, -4.0f, 0);
    MVE_SetObjectMass(14, 0.0f);
    MVE_SetObjectFriction(14, 0.0f);
    scene.iBlock = 14;

    for (int i = -16; i <= 17; ++i) {
        const int ball = MVE_CreateObject(-1, o.iBallMesh, o.iBallMaterial, "", 0, 1);
        MVE_SetObjectBody(ball, 6, 1.0f);
        MVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, 0);
        MVE_MoveObject(ball, static_cast<float>(i), 12.0f, -4.0f, 0);
        MVE_SetObjectMass(ball, 2.0f);
        if (previous != 14) {
            const int joint = MVE_CreateJoint(-1, 0, previous, 1.0f, 0.0f, 0.0f, ball, -1.0f, 0.0f, 0.0f, 10000.0f, 0.0f);
            MVE_SetJointDamping(joint, 100.0f);
            scene.Joints.push_back(joint);
        }
        MVE_SetObjectFriction(ball, 0.0f);
        previous = ball;
        scene.Chain.push_back(ball);
    }

    const int n = o.iExtraBalls;
    int side = 1;
    while (side * side * side < n) ++side;  // ceil(cbrt(n)) without rounding trouble
    for (int k = 0; k < n; ++k) {
        const int ix = k % side, iz = (k / side) % side, iy = k / (side * side);
        const float x = (static_cast<float>(ix) - static_cast<float>(side - 1) / 2.0f) * 1.2f;
        const float y = 14.0f + 1.2f * static_cast<float>(iy);
        const float z = -4.0f + (static_cast<float>(iz) - static_cast<float>(side - 1) / 2.0f) * 1.2f;
        const int ball = MVE_CreateObject(-1, o.iBallMesh, o.iBallMaterial, "", 0, 1);
        MVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, 0);
        MVE_MoveObject(ball, x, y, z, 0);
        MVE_SetObjectBody(ball, 6, 1.0f);
        MVE_SetObjectMass(ball, 1.0f);
        scene.Extra.push_back(ball);
    }
    return scene;
}

}  // namespace mvesample
