// Body records: release of their bounding trees.
#include "Body/Body.h"

static void FreeNode(MVE_BODY_NODE *node) {
    if (!node) return;
    FreeNode(node->ChildA);
    FreeNode(node->ChildB);
    delete node->Mesh;
    delete node;
}

MVE_BODY::~MVE_BODY() { FreeNode(Node); }

void MVE_ReleaseBody(MVE_BODY *body) {
    FreeNode(body->Node);
    body->Node = nullptr;
}
