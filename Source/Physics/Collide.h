// The pair tests of the collision phase and what they share: position correction and the impulse
// response. Physics thread with the lock held (or any caller holding it, outside the phase, where
// tests only report). A test that finds no contact changes nothing.
#pragma once
#include "Body/Body.h"
#include "Physics/PhysicsPrivate.h"

// Radius of a sphere body on this object.
inline float MVE_SphereRadius(const MVE_OBJECT *o) { return o->pBody->v4fSize.x * o->fBodyScale; }

// The shape the object collides as: its body's kind, a point when it has none.
inline int MVE_ShapeOf(const MVE_OBJECT *o) { return o->pBody ? o->pBody->iType : MVE_SHAPE_POINT; }

// Shared steps (Collide.cpp).
void MVE_CorrectPositions(MVE_OBJECT *first, MVE_OBJECT *second, float p, const v4f &n);
void MVE_Respond(MVE_OBJECT *a, MVE_OBJECT *b);
void MVE_MoveBy(MVE_OBJECT *o, const v4f &d, float s);   // position += d * s, matrices rebuilt

// Narrow phase (CollideTests.cpp); the objects come in the order the test names them.
int MVE_TestSphereSphere(MVE_OBJECT *a, MVE_OBJECT *b);
int MVE_TestSpherePoint(MVE_OBJECT *sphere, MVE_OBJECT *point);
int MVE_TestBoxSphere(MVE_OBJECT *box, MVE_OBJECT *sphere);
int MVE_TestTreePoint(MVE_OBJECT *tree, const MVE_BODY_NODE *node, MVE_OBJECT *point);
int MVE_TestTreeSphere(MVE_OBJECT *tree, const MVE_BODY_NODE *node, MVE_OBJECT *sphere);
int MVE_TestTreeTree(MVE_OBJECT *a, const MVE_BODY_NODE *na, MVE_OBJECT *b, const MVE_BODY_NODE *nb);

// Node tests, exposed for the tests of the engine.
int MVE_NodeVsPoint(const MVE_OBJECT *tree, const MVE_BODY_NODE *node, const MVE_OBJECT *point);
int MVE_NodeVsSphere(const MVE_OBJECT *tree, const MVE_BODY_NODE *node, const MVE_OBJECT *sphere);
int MVE_NodeVsNode(const MVE_OBJECT *a, const MVE_BODY_NODE *na, const MVE_OBJECT *b, const MVE_BODY_NODE *nb);
