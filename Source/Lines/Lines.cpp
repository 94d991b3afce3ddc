// Debug lines: the primitives, the line matrix, the chunked line pass and the collision-body
// display. Main thread only; appending never touches GL, the pass reuses one fixed buffer.
#include "Lines/Lines.h"
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Render/Render.h"
#include <cmath>
#include <mutex>

namespace {

MVE_LINE_STATE &L() { return MVE_Engine().Lines; }

constexpr float kDegToRad = 3.14159265358979f / 180.0f;

void Append(float x, float y, float z, const v4f &color) {
    MVE_LINE_STATE &l = L();
    const int index = l.iLast + 1;
    // The array must hold the new index itself, so it grows when it is not larger than it.
    if (static_cast<int>(l.Vertex.size()) <= index) l.Vertex.resize(static_cast<size_t>(index) + 257);
    l.iLast = index;
    MVE_LINE_VERTEX &v = l.Vertex[static_cast<size_t>(index)];
    v.v4fPosition = {x, y, z, 1.0f};
    if (l.iMatrix) MVE_v4fTransform(&v.v4fPosition, &l.m4fMatrix);
    v.v4fColor = color;
}

v4f Color(uint32_t packed) {
    v4f c;
    MVE_v4fColor(&c, packed);
    return c;
}

void Segment(float x1, float y1, float z1, float x2, float y2, float z2, const v4f &c) {
    Append(x1, y1, z1, c);
    Append(x2, y2, z2, c);
}

void Box(float x1, float y1, float z1, float x2, float y2, float z2, const v4f &c) {
    const float z[2] = {z1, z2};
    for (float zz : z) {
        Segment(x1, y1, zz, x2, y1, zz, c);
        Segment(x2, y1, zz, x2, y2, zz, c);
        Segment(x2, y2, zz, x1, y2, zz, c);
        Segment(x1, y2, zz, x1, y1, zz, c);
    }
    Segment(x1, y1, z1, x1, y1, z2, c);
    Segment(x2, y1, z1, x2, y1, z2, c);
    Segment(x2, y2, z1, x2, y2, z2, c);
    Segment(x1, y2, z1, x1, y2, z2, c);
}

void Triangle(const v4f &p1, const v4f &p2, const v4f &p3, const v4f &c1, const v4f &c2, const v4f &c3) {
    Append(p1.x, p1.y, p1.z, c1);
    Append(p2.x, p2.y, p2.z, c2);
    Append(p2.x, p2.y, p2.z, c2);
    Append(p3.x, p3.y, p3.z, c3);
    Append(p3.x, p3.y, p3.z, c3);
    Append(p1.x, p1.y, p1.z, c1);
}

void Cross(float x, float y, float z, float s, const v4f &cx, const v4f &cy, const v4f &cz) {
    Segment(x - s, y, z, x + s, y, z, cx);
    Segment(x, y - s, z, x, y + s, z, cy);
    Segment(x, y, z - s, x, y, z + s, cz);
}

// Circle of radius r in the plane across `axis` (0 x, 1 y, 2 z), shifted by `offset` along it.
void Circle(float cx, float cy, float cz, int axis, float r, float offset, const v4f &c) {
    const float centre[3] = {cx, cy, cz};
    auto point = [&](int step, float out[3]) {
        const float a = static_cast<float>(step * 30) * kDegToRad;
        const float u = r * std::cos(a), v = r * std::sin(a);
        out[axis] = centre[axis] + offset;
        out[(axis + 1) % 3] = centre[(axis + 1) % 3] + u;
        out[(axis + 2) % 3] = centre[(axis + 2) % 3] + v;
    };
    for (int i = 0; i < 12; ++i) {
        float a[3], b[3];
        point(i, a);
        point(i + 1, b);
        Segment(a[0], a[1], a[2], b[0], b[1], b[2], c);
    }
}

void Sphere(float x, float y, float z, float radius, const v4f &c) {
    for (int k = -2; k <= 2; ++k) {
        const float phi = static_cast<float>(k * 30) * kDegToRad;
        const float r = radius * std::cos(phi), offset = radius * std::sin(phi);
        for (int axis = 0; axis < 3; ++axis) Circle(x, y, z, axis, r, offset, c);
    }
}

void DrawBodyNode(const MVE_BODY_NODE *node, const v4f &c) {
    if (!node) return;
    if (node->ChildA || node->ChildB) {
        DrawBodyNode(node->ChildA, c);
        DrawBodyNode(node->ChildB, c);
        return;
    }
    const v4f &m = node->v4fCenter, &h = node->v4fHalfSize;
    Box(m.x - h.x, m.y - h.y, m.z - h.z, m.x + h.x, m.y + h.y, m.z + h.z, c);
}

}  // namespace

extern "C" void MVE_DrawLine(float x1, float y1, float z1, float x2, float y2, float z2, uint32_t color) {
    Segment(x1, y1, z1, x2, y2, z2, Color(color));
}

extern "C" void MVE_DrawLineV(const v4f *from, const v4f *to, uint32_t color) {
    if (!from || !to) return;
    Segment(from->x, from->y, from->z, to->x, to->y, to->z, Color(color));
}

extern "C" void MVE_DrawTriangle(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3,
                                 float z3, uint32_t color) {
    const v4f c = Color(color);
    Triangle({x1, y1, z1, 1}, {x2, y2, z2, 1}, {x3, y3, z3, 1}, c, c, c);
}

extern "C" void MVE_DrawTriangleV(const v4f *p1, const v4f *p2, const v4f *p3, uint32_t color) {
    if (!p1 || !p2 || !p3) return;
    const v4f c = Color(color);
    Triangle(*p1, *p2, *p3, c, c, c);
}

extern "C" void MVE_DrawTriangleColors(const v4f *p1, const v4f *p2, const v4f *p3, uint32_t color1, uint32_t color2,
                                       uint32_t color3) {
    if (!p1 || !p2 || !p3) return;
    Triangle(*p1, *p2, *p3, Color(color1), Color(color2), Color(color3));
}

extern "C" void MVE_DrawCross(float x, float y, float z, float size, uint32_t color) {
    const v4f c = Color(color);
    Cross(x, y, z, size, c, c, c);
}

extern "C" void MVE_DrawCrossV(const v4f *centre, float size, uint32_t color) {
    if (centre) MVE_DrawCross(centre->x, centre->y, centre->z, size, color);
}

extern "C" void MVE_DrawAxisCross(float x, float y, float z, float size) {
    Cross(x, y, z, size, Color(0xC00000FFu), Color(0xC000FF00u), Color(0xC0FF0000u));
}

extern "C" void MVE_DrawAxisCrossV(const v4f *centre, float size) {
    if (centre) MVE_DrawAxisCross(centre->x, centre->y, centre->z, size);
}

extern "C" void MVE_DrawBox(float x1, float y1, float z1, float x2, float y2, float z2, uint32_t color) {
    Box(x1, y1, z1, x2, y2, z2, Color(color));
}

extern "C" void MVE_DrawBoxV(const v4f *corner1, const v4f *corner2, uint32_t color) {
    if (!corner1 || !corner2) return;
    Box(corner1->x, corner1->y, corner1->z, corner2->x, corner2->y, corner2->z, Color(color));
}

extern "C" void MVE_DrawSphere(float x, float y, float z, float radius, uint32_t color) {
    Sphere(x, y, z, radius, Color(color));
}

extern "C" void MVE_SetLineMatrix(const m4f *matrix) {
    MVE_LINE_STATE &l = L();
    if (matrix) {
        l.m4fMatrix = *matrix;
        l.iMatrix = 1;
    } else {
        l.iMatrix = 0;
    }
}

extern "C" void MVE_SetLineWidth(float width) {
    if (width > 0.0f && std::isfinite(width)) L().fWidth = width;
}

extern "C" int MVE_GetLineVertexCount(void) { return L().iLast + 1; }

extern "C" void MVE_DrawBodies(int enabled) {
    if (!enabled) return;
    MVE_ENGINE &e = MVE_Engine();
    MVE_LINE_STATE &l = L();
    const int hadMatrix = l.iMatrix;
    const m4f previous = l.m4fMatrix;
    const v4f cyan = Color(0xFFFFFF00u), red = Color(0xFF0000FFu), yellow = Color(0xFF00FFFFu);
    {
        MVE_PhysicsGuard guard(e.Physics.Lock);
        auto draw = [&](MVE_OBJECT *object) {
            const MVE_BODY *body = object->pBody;
            if (!body) return;
            l.iMatrix = 1;
            if (body->iType == MVE_SHAPE_SPHERE) {
                // The simulation scales a sphere's radius by the largest scale component.
                l.m4fMatrix = object->m4fWorld;
                Sphere(0, 0, 0, body->v4fSize.x * object->fBodyScale, cyan);
            } else {
                l.m4fMatrix = object->m4fModel;
                DrawBodyNode(body->Node, cyan);
            }
            l.m4fMatrix = object->m4fWorld;
            Cross(0, 0, 0, 0.25f, Color(0xFF0000FFu), Color(0xFF00FF00u), Color(0xFFFF0000u));
        };
        for (MVE_OBJECT *object : e.Physics.Dynamic) draw(object);
        for (MVE_OBJECT *object : e.Physics.Static) draw(object);
        l.iMatrix = 0;
        for (const MVE_JOINT *joint : e.Physics.Joints) {
            if (!joint->ObjectA || !joint->ObjectB) continue;
            v4f a = joint->v4fAnchorA, b = joint->v4fAnchorB;
            MVE_v4fTransform(&a, &joint->ObjectA->m4fModel);
            MVE_v4fTransform(&b, &joint->ObjectB->m4fModel);
            Segment(a.x, a.y, a.z, b.x, b.y, b.z, yellow);
        }
    }
    Box(-20, -10, -20, 20, 10, 20, red);
    l.iMatrix = hadMatrix;
    l.m4fMatrix = previous;
}

void MVE_InitLineBuffer() {
    MVE_LINE_STATE &l = L();
    l.iLast = -1;
    l.fWidth = 1.0f;
    if (!MVE_Engine().GL.iLoaded) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glGenVertexArrays(1, &l.uVertexArray);
    gl.glBindVertexArray(l.uVertexArray);
    gl.glGenBuffers(1, &l.uBuffer);
    gl.glBindBuffer(GL_ARRAY_BUFFER, l.uBuffer);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(l.iCapacity) * 32, nullptr, GL_STREAM_DRAW);
    gl.glEnableVertexAttribArray(0);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 32, nullptr);
    gl.glEnableVertexAttribArray(4);
    gl.glVertexAttribPointer(4, 4, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<const void *>(16));
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void MVE_ShutdownLineBuffer() {
    MVE_LINE_STATE &l = L();
    if (MVE_Engine().GL.iLoaded) {
        const MVE_GL_TABLE &gl = MVE_gl();
        if (l.uBuffer) gl.glDeleteBuffers(1, &l.uBuffer);
        if (l.uVertexArray) gl.glDeleteVertexArrays(1, &l.uVertexArray);
    }
    l.uBuffer = l.uVertexArray = 0;
}

void MVE_DrawLines() {
    MVE_LINE_STATE &l = L();
    if (l.iLast < 0) return;
    const int n = l.iLast + 1;
    l.iLast = -1;
    l.iChunks = 0;
    if (!l.uBuffer || !MVE_UseLineProgram()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glLineWidth(l.fWidth);
    gl.glBindVertexArray(l.uVertexArray);
    gl.glBindBuffer(GL_ARRAY_BUFFER, l.uBuffer);
    for (int first = 0; first < n; first += l.iCapacity) {
        const int count = n - first < l.iCapacity ? n - first : l.iCapacity;
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count) * 32, &l.Vertex[static_cast<size_t>(first)]);
        gl.glDrawArrays(GL_LINES, 0, count);
        ++l.iChunks;
    }
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl.glBindVertexArray(0);
}
