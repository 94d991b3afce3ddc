// Scene objects, nodes and joints: physics-list membership, the transform modes, joints and the
// energy sum, unknown IDs, and joints that outlive one of their objects.
#include "Body/Body.h"
#include "Object/Object.h"
#include "TestSupport.h"
#include <cmath>
#include <thread>

namespace {

using mvetest::EngineTest;

using mvetest::MakeTinyMesh;

int Membership(const MVE_OBJECT *object) {
    const MVE_PHYSICS_STATE &p = MVE_Engine().Physics;
    int found = 0;
    for (const MVE_OBJECT *o : p.Dynamic) found += o == object ? 1 : 0;
    for (const MVE_OBJECT *o : p.Static) found += o == object ? 2 : 0;
    return found;  // 0 none, 1 dynamic, 2 static, 3 both (never allowed)
}

v4f Position(int id) {
    v4f p = {0, 0, 0, 0};
    MVE_GetObjectPosition(id, &p);
    return p;
}

void ExpectNear(const v4f &v, float x, float y, float z, float w) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
    EXPECT_NEAR(v.w, w, 1e-5f);
}

}  // namespace

TEST_F(EngineTest, ObjectCreationAndPhysicsLists) {
    MakeTinyMesh(1);
    MVE_CreateSphereBody(6, 2.0f, "");
    EXPECT_EQ(ObjectOf(MVE_CreateObject(5, 99, -1, "", 0, 1)), nullptr);  // no mesh: nothing, silently
    EXPECT_EQ(ObjectOf(MVE_CreateObject(0x10005, 1, -1, "", 0, 1)), nullptr);

    MVE_OBJECT *object = ObjectOf(MVE_CreateObject(5, 1, -1, "box", 0, 1));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(IdOf(object), 5);
    EXPECT_EQ(object->Header.iKind, MVE_KIND_OBJECT);
    EXPECT_EQ(object->Header.pModel, &object->m4fModel);
    EXPECT_EQ(object->Header.pOrientation, &object->v4fOrientation);
    EXPECT_FLOAT_EQ(object->fRestitution, 0.6f);
    EXPECT_FLOAT_EQ(object->fFriction, 0.3f);
    EXPECT_EQ(object->iCollide, 1);
    EXPECT_EQ(object->iMarker, -1);
    EXPECT_EQ(Membership(object), 0);

    EXPECT_EQ(MVE_SetObjectBody(5, 6, 1.0f), 1);
    EXPECT_EQ(Membership(object), 2);
    EXPECT_EQ(MVE_SetObjectMass(5, 2.0f), 1);
    EXPECT_EQ(Membership(object), 1);
    EXPECT_FLOAT_EQ(object->m4fInertia.m[0], 0.4f * 2.0f * 1.0f);  // sphere of radius 1
    MVE_SetObjectMass(5, 0.0f);
    EXPECT_EQ(Membership(object), 2);
    MVE_SetObjectMass(5, 1.0f);
    EXPECT_EQ(MVE_GetObjectCount(1), 1);
    EXPECT_EQ(MVE_GetObjectCount(2), 0);
    EXPECT_EQ(MVE_GetObjectCount(0), 1);

    // A body that does not exist: a red row, and the object keeps what it had.
    OpenLog();
    EXPECT_EQ(MVE_SetObjectBody(5, 77, 1.0f), 0);
    EXPECT_EQ(object->pBody, MVE_GetBody(6));
    EXPECT_EQ(Membership(object), 1);
    EXPECT_NE(LogText().find(MVE_FAIL_BODY_NOT_FOUND), std::string::npos);

    EXPECT_EQ(MVE_SetObjectBody(5, MVE_IGNORE, 0), 1);
    EXPECT_EQ(object->pBody, nullptr);
    EXPECT_EQ(Membership(object), 0);
    MVE_SetObjectMass(5, 3.0f);  // filed again, body or not
    EXPECT_EQ(Membership(object), 1);

    EXPECT_EQ(MVE_SetObjectBody(5, MVE_SHAPE_POINT, 1.0f), 1);
    ASSERT_NE(object->pBody, nullptr);
    EXPECT_EQ(object->pBody->iType, MVE_SHAPE_POINT);

    MVE_SetObjectFriction(5, 0.1f);
    MVE_SetObjectRestitution(5, 0.2f);
    MVE_SetObjectCollision(5, 0);
    EXPECT_FLOAT_EQ(object->fFriction, 0.1f);
    EXPECT_FLOAT_EQ(object->fRestitution, 0.2f);
    EXPECT_EQ(object->iCollide, 0);

    // Re-using the static ID frees the first object and takes it out of the lists.
    MVE_OBJECT *second = ObjectOf(MVE_CreateObject(5, 1, -1, "", 0, 1));
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(MVE_Engine().Physics.Dynamic.empty());
    MVE_FreeObject(5);
    EXPECT_EQ(MVE_IsObject(5), 0);
}

TEST_F(EngineTest, ObjectTransformModes) {
    MakeTinyMesh(1);
    MVE_CreateObject(1, 1, -1, "", 0, 1);
    const MVE_OBJECT *object = MVE_GetObject(1);

    MVE_ScaleObject(1, 0.5f, 0.5f, 0.5f, 0);
    MVE_ScaleObject(1, 2, 2, 2, 1);
    ExpectNear(object->v4fScale, 1, 1, 1, 0);
    MVE_ScaleObject(1, 2, 1, 3, 5);  // only mode exactly 1 multiplies
    ExpectNear(object->v4fScale, 2, 1, 3, 0);
    EXPECT_FLOAT_EQ(object->fBodyScale, 3.0f);
    MVE_ScaleObject(1, 2, 2, 2, 0);

    // Own frame, relative: the offset is scaled and turned with the object.
    MVE_MoveObject(1, 5, 0, 0, 0);
    MVE_MoveObject(1, 1, 0, 0, 3);
    ExpectNear(Position(1), 7, 0, 0, 1);
    MVE_RotateObject(1, 0, 90, 0, 0);  // own x now points along world -z
    MVE_MoveObject(1, 1, 0, 0, 3);
    ExpectNear(Position(1), 7, 0, -2, 1);
    MVE_MoveObject(1, 1, 0, 0, 2);  // absolute in the own frame: the model matrix places the point
    ExpectNear(Position(1), 7, 0, -4, 1);
    MVE_MoveObject(1, 1, 2, 3, 4);  // bit 4 alone changes nothing in absolute mode
    ExpectNear(Position(1), 1, 2, 3, 1);
    ExpectNear({object->m4fWorld.m[12], object->m4fWorld.m[13], object->m4fWorld.m[14], 1}, 1, 2, 3, 1);
    EXPECT_NEAR(object->m4fModel.m[8], 2.0f, 1e-5f);  // the z axis (world +x) carries the scale

    // Relative turns: about the world axes versus about the object's own axes.
    MVE_RotateObject(1, 90, 0, 0, 0);    // a quarter turn about x
    MVE_RotateObject(1, 0, 90, 0, 1);    // then about the world y axis
    v4f world = object->v4fOrientation;
    MVE_RotateObject(1, 90, 0, 0, 0);
    MVE_RotateObject(1, 0, 90, 0, 3);    // then about its own y axis
    v4f own = object->v4fOrientation;
    v4f qx, qy, expectWorld, expectOwn;
    MVE_QuaternionFromEuler(&qx, 90, 0, 0, 0);
    MVE_QuaternionFromEuler(&qy, 0, 90, 0, 0);
    MVE_QuaternionMultiply(&expectWorld, &qy, &qx);
    MVE_QuaternionMultiply(&expectOwn, &qx, &qy);
    ExpectNear(world, expectWorld.x, expectWorld.y, expectWorld.z, expectWorld.w);
    ExpectNear(own, expectOwn.x, expectOwn.y, expectOwn.z, expectOwn.w);

    // The camera frame: a camera turned a quarter about y looks along world -x.
    v4f cam;
    MVE_QuaternionFromEuler(&cam, 0, 90, 0, 0);
    MVE_m4fFromQuaternion(&cam, &MVE_Engine().Defaults.m4fCamera);
    MVE_Engine().Defaults.m4fCamera.m[12] = 10;
    MVE_MoveObject(1, 0, 0, 0, 0);
    MVE_MoveObject(1, 0, 0, -1, 5);  // one unit ahead of the camera
    ExpectNear(Position(1), -1, 0, 0, 1);
    const v4f ahead = {0, 0, -1, 1};
    MVE_SetObjectPosition(1, &ahead, 4);  // absolute in the camera frame
    ExpectNear(Position(1), 9, 0, 0, 1);
    MVE_RotateObject(1, 90, 0, 0, 4);     // about the camera's x axis, which is world -z
    v4f aboutZ;
    MVE_QuaternionFromEuler(&aboutZ, 0, 0, -90, 0);
    ExpectNear(object->v4fOrientation, aboutZ.x, aboutZ.y, aboutZ.z, aboutZ.w);
}

TEST_F(EngineTest, ObjectVelocityModes) {
    MakeTinyMesh(1);
    MVE_CreateObject(1, 1, -1, "", 0, 1);
    MVE_RotateObject(1, 0, 0, 90, 0);  // own x is world y
    MVE_ScaleObject(1, 3, 3, 3, 0);    // the own frame of a velocity is not scaled
    v4f v;
    MVE_SetObjectVelocity(1, nullptr, 1, 0, 0, 0);
    ExpectNear(*MVE_GetObjectVelocity(1, &v), 1, 0, 0, 0);
    MVE_SetObjectVelocity(1, nullptr, 1, 0, 0, 3);
    ExpectNear(*MVE_GetObjectVelocity(1, &v), 1, 1, 0, 0);
    const v4f push = {0, 0, 2, 1};  // a w of 1 must not bring the position in
    MVE_MoveObject(1, 100, 100, 100, 0);
    MVE_SetObjectVelocity(1, &push, 9, 9, 9, 2);
    ExpectNear(*MVE_GetObjectVelocity(1, &v), 0, 0, 2, 0);
    MVE_SetObjectVelocity(1, &push, 0, 0, 0, 5);  // the sample's "fire" mode: added in world space
    ExpectNear(*MVE_GetObjectVelocity(1, &v), 0, 0, 4, 0);
}

TEST_F(EngineTest, ObjectJointsAndEnergy) {
    MakeTinyMesh(1);
    MVE_CreateSphereBody(6, 2.0f, "");
    MVE_SetGravity(0, -10, 0);
    for (int id : {1, 2}) {
        MVE_CreateObject(id, 1, -1, "", 0, 1);
        MVE_SetObjectBody(id, 6, 1.0f);
    }
    MVE_MoveObject(1, 0, 0, 0, 0);
    MVE_MoveObject(2, 4, 0, 0, 0);
    MVE_ScaleObject(2, 0.5f, 0.5f, 0.5f, 0);

    const int joint = MVE_CreateJoint(-1, 0, 1, 1, 0, 0, 2, -1, 0, 0, 100.0f, 0.0f);
    ASSERT_NE(joint, 0);
    const MVE_JOINT *record = MVE_GetJoint(joint);
    EXPECT_FLOAT_EQ(record->fLength, 2.5f);  // anchor B is scaled with its object: (3.5, 0, 0)
    ExpectNear(record->v4fDirectionA, 1, 0, 0, 0);
    ExpectNear(record->v4fDirectionB, -1, 0, 0, 0);
    EXPECT_EQ(MVE_GetJointCount(), 1);
    EXPECT_EQ(MVE_SetJointDamping(joint, 5.0f), 1);
    EXPECT_FLOAT_EQ(record->fDamping, 5.0f);

    // Energy on hand-computed values: masses 2 and 1, gravity -10.
    MVE_SetObjectMass(1, 2.0f);
    MVE_SetObjectMass(2, 1.0f);
    MVE_MoveObject(1, 0, 3, 0, 0);       // the joint now stretches: anchors (1,3,0) and (3.5,0,0)
    MVE_SetObjectVelocity(1, nullptr, 3, 4, 0, 0);
    MVE_GetObject(2)->v4fAngularVelocity = {0, 0, 2, 0};
    EXPECT_NEAR(MVE_GetEnergy(1), 0.5f * 2 * 25, 1e-4f);
    const float inertia = 0.4f * 1.0f * 0.25f;  // radius 1 scaled by 0.5
    EXPECT_NEAR(MVE_GetEnergy(2), 0.5f * inertia * 4, 1e-5f);
    EXPECT_NEAR(MVE_GetEnergy(4), 2.0f * 10 * 3, 1e-4f);
    const float stretch = std::sqrt(2.5f * 2.5f + 9.0f) - 2.5f;
    EXPECT_NEAR(MVE_GetEnergy(8), 0.5f * 100 * stretch * stretch, 1e-3f);
    EXPECT_NEAR(MVE_GetEnergy(15), MVE_GetEnergy(1) + MVE_GetEnergy(2) + MVE_GetEnergy(4) + MVE_GetEnergy(8),
                1e-3f);

    // A joint on a missing object is refused with a red row.
    OpenLog();
    EXPECT_EQ(MVE_CreateJoint(-1, 0, 1, 0, 0, 0, 99, 0, 0, 0, 1, 0), 0);
    EXPECT_NE(LogText().find(MVE_FAIL_JOINT_OBJECT), std::string::npos);
    EXPECT_EQ(MVE_GetJointCount(), 1);

    // Freeing an object takes its joints out of the simulation; no joint keeps a pointer to it.
    const int second = MVE_CreateJoint(7, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0);
    EXPECT_NE(second, 0);
    EXPECT_EQ(MVE_GetJoint(second), MVE_GetJoint(7));
    EXPECT_EQ(MVE_GetJointCount(), 2);
    const MVE_OBJECT *freed = MVE_GetObject(2);
    MVE_FreeObject(2);
    EXPECT_EQ(MVE_GetJointCount(), 0);
    MVE_Engine().Registries.Joints.ForEach([freed](MVE_JOINT *j) {
        EXPECT_NE(j->ObjectA, freed);
        EXPECT_NE(j->ObjectB, freed);
    });
    EXPECT_NEAR(MVE_GetEnergy(8), 0.0f, 1e-6f);
    EXPECT_EQ(MVE_SetJointDamping(joint, 1.0f), 1);  // the stale joint record is still harmless
    MVE_FreeJoint(joint);
    EXPECT_EQ(MVE_GetJoint(joint), nullptr);

    // Re-using a joint's static ID replaces it in the list rather than adding a second entry.
    MVE_CreateObject(3, 1, -1, "", 0, 1);
    MVE_CreateJoint(8, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0);
    MVE_CreateJoint(8, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0);
    EXPECT_EQ(MVE_GetJointCount(), 1);
    MVE_FreeJoint(8);
    EXPECT_EQ(MVE_GetJointCount(), 0);
}

TEST_F(EngineTest, ObjectUnknownIDsDoNothing) {
    MakeTinyMesh(1);
    MVE_CreateNode(3, "node");
    v4f v = {1, 2, 3, 4};
    for (int id : {0, 42, 0x12345678, -1, MVE_IGNORE}) {
        EXPECT_EQ(MVE_IsObject(id), 0);
        EXPECT_EQ(MVE_SetObjectMaterial(id, -1), 0);
        EXPECT_EQ(MVE_SetObjectBody(id, -1, 1), 0);
        EXPECT_EQ(MVE_SetObjectMass(id, 1), 0);
        EXPECT_EQ(MVE_SetObjectFriction(id, 1), 0);
        EXPECT_EQ(MVE_SetObjectRestitution(id, 1), 0);
        EXPECT_EQ(MVE_SetObjectCollision(id, 1), 0);
        EXPECT_EQ(MVE_SetObjectCallback(id, nullptr), 0);
        EXPECT_EQ(MVE_MoveObject(id, 1, 1, 1, 3), 0);
        EXPECT_EQ(MVE_SetObjectPosition(id, &v, 0), 0);
        EXPECT_EQ(MVE_RotateObject(id, 1, 1, 1, 0), 0);
        EXPECT_EQ(MVE_ScaleObject(id, 1, 1, 1, 0), 0);
        EXPECT_EQ(MVE_SetObjectVelocity(id, &v, 0, 0, 0, 0), 0);
        EXPECT_EQ(MVE_GetObjectPosition(id, &v), nullptr);
        EXPECT_EQ(MVE_GetObjectVelocity(id, &v), nullptr);
        EXPECT_EQ(MVE_GetObjectOrientation(id, &v), nullptr);
        EXPECT_EQ(MVE_SetJointDamping(id, 1), 0);
        MVE_FreeObject(id);
        MVE_FreeJoint(id);
    }
    EXPECT_FLOAT_EQ(v.x, 1.0f);
    // A node is a bare transform, not an object: object procedures ignore its ID.
    EXPECT_EQ(MVE_IsObject(3), 0);
    MVE_NODE *node = MVE_GetNode(3);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Header.iKind, MVE_KIND_NODE);
    EXPECT_EQ(node->Header.pModel, node->Header.pWorld);
    EXPECT_FLOAT_EQ(node->m4fMatrix.m[15], 1.0f);
    // An object freed and its ID reused by a new one: the stale automatic ID finds nothing.
    const int stale = MVE_CreateObject(-1, 1, -1, "", 0, 1);
    MVE_FreeObject(stale);
    MVE_CreateObject(-1, 1, -1, "", 0, 1);
    EXPECT_EQ(MVE_MoveObject(stale, 1, 1, 1, 0), 0);
}

// Setters from the main thread while another thread holds the lock and walks the lists, as the
// physics thread does (run under ThreadSanitizer to see a missing lock).
TEST_F(EngineTest, ObjectSettersTakeThePhysicsLock) {
    MakeTinyMesh(1);
    MVE_CreateSphereBody(6, 1.0f, "");
    for (int id = 1; id <= 8; ++id) {
        MVE_CreateObject(id, 1, -1, "", 0, 1);
        MVE_SetObjectBody(id, 6, 1);
        MVE_SetObjectMass(id, 1);
    }
    std::atomic<bool> stop{false};
    std::thread walker([&] {
        while (!stop) {
            MVE_PhysicsGuard lock(MVE_Engine().Physics.Lock);
            for (MVE_OBJECT *o : MVE_Engine().Physics.Dynamic) {
                o->v4fPosition.y -= 0.001f;
                MVE_RebuildObjectMatrices(o);
            }
        }
    });
    for (int round = 0; round < 200; ++round) {
        const int id = 1 + round % 8;
        MVE_MoveObject(id, 0, 1, 0, 1);
        MVE_RotateObject(id, 1, 0, 0, 1);
        MVE_ScaleObject(id, 1, 1, 1, 0);
        MVE_SetObjectVelocity(id, nullptr, 0, 1, 0, 1);
        MVE_SetObjectMass(id, round % 2 ? 1.0f : 0.0f);
        MVE_GetEnergy(15);
    }
    stop = true;
    walker.join();
    EXPECT_EQ(MVE_GetObjectCount(1) + MVE_GetObjectCount(2), 8);
}

TEST_F(EngineTest, ObjectsLetGoOfFreedMeshesAndMaterials) {
    MakeTinyMesh(3);
    int material = 8;
    MVE_MATERIAL *red = MVE_CreateMaterialListEntry(&material, "Red");
    int a = MVE_CreateObject(MVE_ID_AUTO, 3, 8, "", 0, 1);
    int b = MVE_CreateObject(MVE_ID_AUTO, 3, 8, "", 0, 1);
    ASSERT_EQ(MVE_GetObject(a)->pMaterial, red);
    MVE_FreeMaterial(8);
    MVE_FreeMesh(3);
    for (int id : {a, b}) {
        ASSERT_NE(MVE_GetObject(id), nullptr) << "the objects themselves stay";
        EXPECT_EQ(MVE_GetObject(id)->pMesh, nullptr);
        EXPECT_EQ(MVE_GetObject(id)->pMaterial, nullptr) << "the default material (none yet)";
    }
    // The body derived from the mesh would have read the freed vertices.
    MVE_SetObjectBody(a, MVE_SHAPE_BOX, 1.0f);
    MVE_MoveObject(a, 1, 2, 3, 0);
    EXPECT_FLOAT_EQ(MVE_GetObject(a)->v4fPosition.x, 1.0f);
}
