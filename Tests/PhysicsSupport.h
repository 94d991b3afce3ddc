// Helpers of the physics tests: objects made straight from bodies, the state the simulation owns
// as raw bytes (for bit-for-bit comparisons), and a fixture with no physics thread.
#pragma once
#include "Body/Body.h"
#include "Object/Object.h"
#include "Physics/PhysicsPrivate.h"
#include "TestSupport.h"
#include <cmath>
#include <cstring>
#include <vector>

namespace mvetest {

inline constexpr int kMesh = 1;


// An object with the given body (an ID, or -1 for the point body) and mass at (x, y, z).
inline MVE_OBJECT *MakeObject(int body, float mass, float x, float y, float z, float scale = 1.0f) {
    MVE_OBJECT *o = ObjectOf(MVE_CreateObject(-1, kMesh, -1, "", 0, 1));
    const int id = IdOf(o);
    if (scale != 1.0f) MVE_ScaleObject(id, scale, scale, scale, 0);
    MVE_MoveObject(id, x, y, z, 0);
    MVE_SetObjectBody(id, body, 1.0f);
    MVE_SetObjectMass(id, mass);
    return o;
}

inline float Distance(const v4f &a, const v4f &b) {
    const float x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
    return std::sqrt(x * x + y * y + z * z);
}

// Everything the step writes into an object: motion block, then placement block and matrices.
inline std::vector<unsigned char> SimulatedBytes(const MVE_OBJECT *o) {
    std::vector<unsigned char> bytes;
    const auto *base = reinterpret_cast<const unsigned char *>(o);
    const size_t m0 = offsetof(MVE_OBJECT, v4fVelocity), m1 = offsetof(MVE_OBJECT, v4fMovement) + sizeof(v4f);
    const size_t p0 = offsetof(MVE_OBJECT, v4fOrientation), p1 = offsetof(MVE_OBJECT, m4fWorld) + sizeof(m4f);
    bytes.insert(bytes.end(), base + m0, base + m1);
    bytes.insert(bytes.end(), base + p0, base + p1);
    return bytes;
}

class PhysicsFixture : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeTinyMesh(kMesh);
    }
};

}  // namespace mvetest
