// The demonstration's scene, built through the engine's public procedures only, so that the
// sample, the tests and the benchmarks all simulate the very same objects. Main thread; the engine
// record must exist (MVE_Init, or a fresh record in a test). It frees nothing it did not make.
#pragma once
#include <vector>

namespace mvesample {

struct SceneOptions {
    int iBallMesh = 5;         // drawn mesh of every ball
    int iBlockMesh = 11;       // the cube of size 2 the block and its body come from
    int iBallMaterial = -1;    // -1: the default object material
    int iBlockMaterial = -1;
    bool bMakeMeshes = true;   // make both meshes procedurally (the sample loads its own instead)
    int iExtraBalls = 0;       // a cube of loose balls above the chain
};

struct Scene {
    int iBlock = 0;            // object 14, static
    std::vector<int> Chain;    // 34 balls, left to right
    std::vector<int> Joints;   // 33 springs
    std::vector<int> Extra;    // the loose balls, in creation order
};

// Bodies 6 (sphere, diameter 2) and 12 (box from the block mesh), gravity (0, -9.81, 0), the
// static block 14 at (0, 8, -4), the chain of 34 balls at y 12 joined by springs, then the extra
// balls on a lattice of spacing 1.2 centred above the block from y 14 upwards.
Scene BuildScene(const SceneOptions &options);

}  // namespace mvesample
