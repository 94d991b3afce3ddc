// Vectors, quaternions, matrices, the per-thread vector stack and the random source: the results are
// checked against plain scalar formulas on random inputs, at unaligned addresses, and under aliasing.
#include "TestSupport.h"
#include "Math/Math.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979323846f;

void ExpectVec(const v4f &v, float x, float y, float z, float w, float tol = 1e-5f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
    EXPECT_NEAR(v.w, w, tol);
}

void ExpectMat(const m4f &a, const m4f &b, float tol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

// Reference product in plain scalar code: element (r, c) is m[4c + r].
m4f ScalarMultiply(const m4f &A, const m4f &B) {
    m4f r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += A.m[4 * k + row] * B.m[4 * c + k];
            r.m[4 * c + row] = s;
        }
    return r;
}

struct Rng {
    std::mt19937 gen{12345};
    float operator()(float lo = -10.0f, float hi = 10.0f) {
        return std::uniform_real_distribution<float>(lo, hi)(gen);
    }
    v4f Vec() { return {(*this)(), (*this)(), (*this)(), (*this)()}; }
    m4f Mat() {
        m4f m;
        for (float &e : m.m) e = (*this)(-1.0f, 1.0f);
        return m;
    }
};

// A rotation, a non-uniform scale and a translation: the transforms the scene is made of.
m4f AffineMatrix(Rng &rng) {
    v4f q;
    MVE_QuaternionFromEuler(&q, rng(-180, 180), rng(-180, 180), rng(-180, 180), 0);
    m4f m;
    MVE_m4fFromQuaternion(&q, &m);
    for (int c = 0; c < 3; ++c) {
        const float s = rng(0.5f, 3.0f);
        for (int r = 0; r < 3; ++r) m.m[4 * c + r] *= s;
    }
    m.m[12] = rng(-100, 100);
    m.m[13] = rng(-100, 100);
    m.m[14] = rng(-100, 100);
    return m;
}

// A full matrix kept well away from singular by a dominant diagonal.
m4f GeneralMatrix(Rng &rng) {
    m4f m = rng.Mat();
    for (int i = 0; i < 4; ++i) m.m[5 * i] += (rng(0, 1) < 0.5f ? -4.0f : 4.0f);
    return m;
}

}  // namespace

TEST(Math, WFlagsCombineAsPointAndDirection) {
    const v4f point = {1, 2, 3, 1}, dir = {4, 5, 6, 0}, point2 = {7, 8, 9, 1};
    v4f a = point;
    ExpectVec(*MVE_v4fAdd(&a, &dir), 5, 7, 9, 1);  // point + direction = point
    a = dir;
    ExpectVec(*MVE_v4fAdd(&a, &dir), 8, 10, 12, 0);  // direction + direction = direction
    a = point;
    ExpectVec(*MVE_v4fAdd(&a, &point2), 8, 10, 12, 1);  // point + point = point

    a = point2;
    ExpectVec(*MVE_v4fSub(&a, &point), 6, 6, 6, 0);  // point - point = direction
    a = point;
    ExpectVec(*MVE_v4fSub(&a, &dir), -3, -3, -3, 1);  // point - direction = point
    a = dir;
    ExpectVec(*MVE_v4fSub(&a, &dir), 0, 0, 0, 0);  // direction - direction = direction

    v4f out = {0, 0, 0, 42};
    ExpectVec(*MVE_v4fSubTo(&out, &point2, &point), 6, 6, 6, 0);
    ExpectVec(*MVE_v4fSubTo(&out, &point, &dir), -3, -3, -3, 1);
    EXPECT_EQ(MVE_v4fSubTo(&out, &out, &dir), &out);  // reads both before writing
    ExpectVec(out, -7, -8, -9, 1);

    // The xyz-only procedures leave the destination's w exactly as it was.
    out = {0, 0, 0, 7};
    ExpectVec(*MVE_v4fSub3To(&out, &point2, &point), 6, 6, 6, 7);
    ExpectVec(*MVE_v4fScaleTo(&out, &dir, 2), 8, 10, 12, 7);
    a = point;
    ExpectVec(*MVE_v4fAdd3(&a, &point2), 8, 10, 12, 1);
    ExpectVec(*MVE_v4fScale(&a, 0.5f), 4, 5, 6, 1);
    ExpectVec(*MVE_v4fMultiply3(&a, &dir), 16, 25, 36, 1);
    a = {1, 1, 1, -0.0f};
    const v4f huge = {1, 2, 3, INFINITY};
    MVE_v4fAddScaled(&a, &huge, 2);
    ExpectVec(a, 3, 5, 7, 0);
    EXPECT_TRUE(std::signbit(a.w)) << "w must be untouched, bit for bit";
}

TEST(Math, ColorUnpacksRedFirstWithZeroAlphaOpaque) {
    v4f c;
    ExpectVec(*MVE_v4fColor(&c, 0x00FF0000u), 0, 0, 1, 1);
    ExpectVec(*MVE_v4fColor(&c, 0x800000FFu), 1, 0, 0, 128.0f / 255.0f);
    ExpectVec(*MVE_v4fColor(&c, 0x0100FF00u), 0, 1, 0, 1.0f / 255.0f);  // only exactly 0 means opaque
}

TEST(Math, TransformTranslatesPointsButNotDirections) {
    m4f T;
    MVE_m4fIdentity(&T);
    T.m[12] = 10;
    T.m[13] = 20;
    T.m[14] = 30;
    v4f d = {1, 2, 3, 0}, p = {1, 2, 3, 1}, out;
    ExpectVec(*MVE_v4fTransform(&d, &T), 1, 2, 3, 0);
    ExpectVec(*MVE_v4fTransform(&p, &T), 11, 22, 33, 1);
    ExpectVec(*MVE_v4fTransformTo(&out, &T, &d), 1, 2, 3, 0);

    // Against the scalar definition on random matrices and vectors.
    Rng rng;
    for (int i = 0; i < 100; ++i) {
        const m4f M = rng.Mat();
        const v4f v = rng.Vec(), b = rng.Vec();
        v4f r;
        MVE_v4fTransformTo(&r, &M, &v);
        const float *m = M.m;
        for (int row = 0; row < 4; ++row) {
            const float want = m[row] * v.x + m[4 + row] * v.y + m[8 + row] * v.z + m[12 + row] * v.w;
            EXPECT_NEAR((&r.x)[row], want, 1e-4f);
        }
        v4f mb;
        MVE_v4fTransformTo(&mb, &M, &b);
        const float quad = v.x * mb.x + v.y * mb.y + v.z * mb.z + v.w * mb.w;
        EXPECT_NEAR(MVE_v4fDotTransformed(&v, &M, &b), quad, 1e-3f);
        EXPECT_NEAR(MVE_v4fDotTransformed(&v, &M, nullptr), MVE_v4fDotTransformed(&v, &M, &v), 1e-4f);
    }
}

TEST(Math, VectorProceduresMatchScalarFormulas) {
    Rng rng;
    for (int i = 0; i < 200; ++i) {
        const v4f a = rng.Vec(), b = rng.Vec();
        v4f c;
        MVE_v4fCross(&c, &a, &b);
        ExpectVec(c, a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0, 1e-4f);
        v4f alias = a;
        MVE_v4fCross(&alias, &alias, &b);
        ExpectVec(alias, c.x, c.y, c.z, 0, 0);

        const float len = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
        EXPECT_NEAR(MVE_v4fLength(&a), len, 1e-5f * len);
        EXPECT_NEAR(MVE_v4fDot(&a, &b), a.x * b.x + a.y * b.y + a.z * b.z, 1e-4f);
        EXPECT_NEAR(MVE_v4fDot(&a, nullptr), len * len, 1e-4f * len * len);

        v4f n = a;
        MVE_v4fNormalize(&n);
        ExpectVec(n, a.x / len, a.y / len, a.z / len, 0, 1e-6f);
    }
    // A huge w must not leak into length or normalisation.
    const v4f big_w = {3, 0, 4, 1e30f};
    EXPECT_FLOAT_EQ(MVE_v4fLength(&big_w), 5.0f);
    // A zero vector has no direction: it stays zero instead of turning into NaNs.
    v4f zero = {0, 0, 0, 1};
    ExpectVec(*MVE_v4fNormalize(&zero), 0, 0, 0, 0, 0);

    v4f s = {-1, 2, -0.0f, -4};
    MVE_v4fAbs(&s);
    ExpectVec(s, 1, 2, 0, 4, 0);
    EXPECT_FALSE(std::signbit(s.z));
}

TEST(Math, QuaternionFromEulerTurnsXThenYThenZ) {
    v4f deg, rad;
    MVE_QuaternionFromEuler(&deg, 90, 0, 0, 0);
    MVE_QuaternionFromEuler(&rad, kPi / 2, 0, 0, 1);
    ExpectVec(deg, rad.x, rad.y, rad.z, rad.w, 1e-6f);

    m4f R;
    MVE_m4fFromQuaternion(&deg, &R);
    v4f up = {0, 1, 0, 0};
    ExpectVec(*MVE_v4fTransform(&up, &R), 0, 0, 1, 0, 1e-6f);  // +y onto +z

    Rng rng;
    for (int i = 0; i < 50; ++i) {
        const float ax = rng(-180, 180), ay = rng(-180, 180), az = rng(-180, 180);
        v4f q, qx, qy, qz, prod;
        MVE_QuaternionFromEuler(&q, ax, ay, az, 0);
        MVE_QuaternionFromEuler(&qx, ax, 0, 0, 0);
        MVE_QuaternionFromEuler(&qy, 0, ay, 0, 0);
        MVE_QuaternionFromEuler(&qz, 0, 0, az, 0);
        MVE_QuaternionMultiply(&prod, &qy, &qx);
        MVE_QuaternionMultiply(&prod, &qz, &prod);  // out aliases q
        ExpectVec(q, prod.x, prod.y, prod.z, prod.w, 1e-5f);

        // The same order seen through matrices: Rz Ry Rx applies x first.
        m4f M, Mx, My, Mz;
        MVE_m4fFromQuaternion(&q, &M);
        MVE_m4fFromQuaternion(&qx, &Mx);
        MVE_m4fFromQuaternion(&qy, &My);
        MVE_m4fFromQuaternion(&qz, &Mz);
        ExpectMat(M, ScalarMultiply(Mz, ScalarMultiply(My, Mx)), 1e-5f);
    }
}

TEST(Math, MatrixMultiplyAllowsOutToBeEitherInput) {
    Rng rng;
    for (int i = 0; i < 20; ++i) {
        const m4f A = rng.Mat(), B = rng.Mat();
        m4f separate;
        MVE_m4fMultiply(&separate, &A, &B);
        ExpectMat(separate, ScalarMultiply(A, B), 1e-5f);

        m4f outA = A, outB = B, self = A;
        MVE_m4fMultiply(&outA, &outA, &B);
        MVE_m4fMultiply(&outB, &A, &outB);
        EXPECT_EQ(0, std::memcmp(&outA, &separate, sizeof(m4f)));
        EXPECT_EQ(0, std::memcmp(&outB, &separate, sizeof(m4f)));
        MVE_m4fMultiplyInPlace(&self, &B);
        EXPECT_EQ(0, std::memcmp(&self, &separate, sizeof(m4f)));
        m4f square = A;
        MVE_m4fMultiply(&square, &square, &square);
        ExpectMat(square, ScalarMultiply(A, A), 1e-5f);
    }
}

TEST(Math, InverseTimesMatrixIsIdentity) {
    Rng rng;
    m4f I;
    MVE_m4fIdentity(&I);
    for (int i = 0; i < 40; ++i) {
        const m4f M = (i % 2) ? AffineMatrix(rng) : GeneralMatrix(rng);
        m4f inv = M, of;
        MVE_m4fInverse(&inv);
        MVE_m4fInverseOf(&of, &M);
        EXPECT_EQ(0, std::memcmp(&inv, &of, sizeof(m4f)));
        ExpectMat(ScalarMultiply(inv, M), I, 1e-3f);
        ExpectMat(ScalarMultiply(M, inv), I, 1e-3f);
    }
    // No inverse exists: the zero matrix comes back, never infinities.
    m4f singular = rng.Mat();
    for (int r = 0; r < 4; ++r) singular.m[4 + r] = 0;  // an object scaled to nothing along y
    MVE_m4fInverse(&singular);
    for (float e : singular.m) EXPECT_EQ(e, 0.0f);
    m4f tiny{};
    for (int i = 0; i < 4; ++i) tiny.m[5 * i] = 1e-10f;  // determinant 1e-40, below the normal range
    MVE_m4fInverse(&tiny);
    for (float e : tiny.m) EXPECT_TRUE(std::isfinite(e));
}

TEST(Math, PerspectiveMapsNearAndFarToClipEdges) {
    m4f P;
    MVE_m4fPerspective(&P, 90, 2, 1, 100);
    EXPECT_NEAR(P.m[5], 1.0f, 1e-6f);
    EXPECT_NEAR(P.m[0], 0.5f, 1e-6f);
    EXPECT_EQ(P.m[15], 0.0f);
    v4f nearP = {0, 0, -1, 1}, farP = {0, 0, -100, 1};
    MVE_v4fTransform(&nearP, &P);
    MVE_v4fTransform(&farP, &P);
    EXPECT_NEAR(nearP.z / nearP.w, -1.0f, 1e-5f);
    EXPECT_NEAR(farP.z / farP.w, 1.0f, 1e-4f);
}

TEST(Math, WorksOnVectorsAndMatricesAtAnyFourByteBoundary) {
    alignas(16) unsigned char buf[4 + 64 + 4 * 16 + 16];
    std::memset(buf, 0, sizeof buf);
    m4f *M = reinterpret_cast<m4f *>(buf + 4);
    v4f *a = reinterpret_cast<v4f *>(buf + 4 + 64);
    v4f *b = a + 1, *c = a + 2;
    Rng rng;
    const m4f Ma = GeneralMatrix(rng);
    const v4f va = rng.Vec(), vb = rng.Vec();
    *M = Ma;
    *a = va;
    *b = vb;

    v4f want, got;
    MVE_v4fCross(&want, &va, &vb);
    MVE_v4fCross(c, a, b);
    EXPECT_EQ(0, std::memcmp(c, &want, 16));
    MVE_v4fTransformTo(&want, &Ma, &va);
    MVE_v4fTransformTo(c, M, a);
    EXPECT_EQ(0, std::memcmp(c, &want, 16));
    EXPECT_EQ(MVE_v4fLength(a), MVE_v4fLength(&va));
    EXPECT_EQ(MVE_v4fDotTransformed(a, M, b), MVE_v4fDotTransformed(&va, &Ma, &vb));
    got = va;
    MVE_v4fAddScaled(&got, &vb, 3);
    MVE_v4fAddScaled(a, b, 3);
    EXPECT_EQ(0, std::memcmp(a, &got, 16));
    got = vb;
    MVE_v4fNormalize(&got);
    MVE_v4fNormalize(b);
    EXPECT_EQ(0, std::memcmp(b, &got, 16));

    m4f wantM;
    MVE_m4fMultiply(&wantM, &Ma, &Ma);
    MVE_m4fMultiply(M, M, M);
    EXPECT_EQ(0, std::memcmp(M, &wantM, 64));
    MVE_m4fInverseOf(&wantM, &Ma);
    *M = Ma;
    MVE_m4fInverse(M);
    EXPECT_EQ(0, std::memcmp(M, &wantM, 64));
    MVE_m4fAbs(M, M);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(M->m[i], std::fabs(wantM.m[i]));
}

// The stack's refusals send debugger messages: run them in the fixture that starts no debugger.
class MathStack : public mvetest::EngineTest {};

TEST_F(MathStack, VectorStackHolds128AndRefusesThe129th) {
    MVE_v4fResetStack();
    std::vector<v4f *> slots;
    for (int i = 0; i < MVE_VECTOR_STACK_SIZE; ++i) {
        v4f *s = MVE_v4fPushSet(float(i), 0, 0, 1);
        ASSERT_NE(s, nullptr) << "push " << i;
        slots.push_back(s);
    }
    EXPECT_EQ(slots.front(), &MVE_ThreadVectorStack().v4fSlot[127]);
    EXPECT_EQ(slots.back(), &MVE_ThreadVectorStack().v4fSlot[0]);
    const v4f extra = {9, 9, 9, 9};
    EXPECT_EQ(MVE_v4fPush(&extra), nullptr);
    EXPECT_EQ(MVE_v4fPushSet(1, 2, 3, 4), nullptr);
    EXPECT_EQ(MVE_ThreadVectorStack().iFree, 0);  // unchanged by the refused pushes
    ExpectVec(*MVE_v4fPeek(0), 127, 0, 0, 1, 0);
    ExpectVec(*MVE_v4fPeek(1), 126, 0, 0, 1, 0);

    EXPECT_EQ(MVE_v4fPop(1), 0);
    v4f *again = MVE_v4fPush(&extra);
    EXPECT_EQ(again, slots.back());
    ExpectVec(*again, 9, 9, 9, 9, 0);

    // Pushing a slot of the stack copies it before the new slot is taken.
    MVE_v4fPop(2);
    v4f *copy = MVE_v4fPush(MVE_v4fPeek(0));
    ExpectVec(*copy, 125, 0, 0, 1, 0);

    // Popping or peeking past what was pushed is refused without leaving the slots.
    MVE_v4fResetStack();
    MVE_v4fPushSet(1, 1, 1, 1);
    MVE_v4fPop(5);
    EXPECT_EQ(MVE_ThreadVectorStack().iFree, MVE_VECTOR_STACK_SIZE);
    EXPECT_EQ(MVE_v4fPeek(1), nullptr);
    EXPECT_EQ(MVE_v4fPeek(-200), nullptr);
    int pushed = 0;
    while (MVE_v4fPushSet(0, 0, 0, 0) && pushed < 1000) ++pushed;
    EXPECT_EQ(pushed, MVE_VECTOR_STACK_SIZE);
    MVE_v4fPop(-10);  // a negative count cannot push the top below slot 0
    EXPECT_EQ(MVE_ThreadVectorStack().iFree, 0);
    MVE_v4fResetStack();
}

TEST_F(MathStack, EachThreadHasItsOwnVectorStack) {
    MVE_v4fResetStack();
    v4f *mine = MVE_v4fPushSet(1, 2, 3, 4);
    int otherPushed = 0;
    v4f *otherFirst = nullptr;
    std::thread other([&] {
        // A thread that never reset its stack still starts empty.
        otherFirst = MVE_v4fPushSet(5, 6, 7, 8);
        otherPushed = otherFirst ? 1 : 0;
        while (MVE_v4fPushSet(0, 0, 0, 0)) ++otherPushed;
    });
    other.join();
    EXPECT_EQ(otherPushed, MVE_VECTOR_STACK_SIZE);
    EXPECT_NE(otherFirst, mine);
    EXPECT_EQ(MVE_v4fPeek(0), mine);
    ExpectVec(*mine, 1, 2, 3, 4, 0);
    EXPECT_EQ(MVE_ThreadVectorStack().iFree, MVE_VECTOR_STACK_SIZE - 1);
    MVE_v4fResetStack();
}

class MathRandom : public mvetest::EngineTest {};

TEST_F(MathRandom, SeedRepeatsAndFloatsStayInRange) {
    MVE_SeedRandom(42);
    std::vector<int> first;
    for (int i = 0; i < 100; ++i) first.push_back(MVE_RandomInt());
    MVE_SeedRandom(42);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(MVE_RandomInt(), first[i]);
    MVE_SeedRandom(43);
    int same = 0;
    for (int i = 0; i < 100; ++i) same += MVE_RandomInt() == first[i];
    EXPECT_LT(same, 3);

    double sum = 0;
    float lo = 360, hi = 0;
    int topHalf = 0;
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        const int r = MVE_RandomInt();
        ASSERT_GE(r, 0);
        topHalf += r >= (1 << 30);
        const float f = MVE_RandomFloat(360, 0);
        ASSERT_GE(f, 0.0f);
        ASSERT_LE(f, 360.0f);
        lo = std::min(lo, f);
        hi = std::max(hi, f);
        sum += f;
    }
    EXPECT_NEAR(sum / n, 180.0, 3.0);
    EXPECT_LT(lo, 1.0f);
    EXPECT_GT(hi, 359.0f);
    EXPECT_NEAR(topHalf, n / 2, n / 50);  // the top bit of the 31 is as random as the rest
    const float g = MVE_RandomFloat(-1, -3);
    EXPECT_GE(g, -3.0f);
    EXPECT_LE(g, -1.0f);
}

TEST_F(MathRandom, ThreadsDrawingAtOnceNeitherLoseNorRepeatSteps) {
    const int n = 20000;
    MVE_SeedRandom(7);
    std::vector<int> serial;
    for (int i = 0; i < 2 * n; ++i) serial.push_back(MVE_RandomInt());

    MVE_SeedRandom(7);
    std::vector<int> a, b;
    std::thread ta([&] { for (int i = 0; i < n; ++i) a.push_back(MVE_RandomInt()); });
    std::thread tb([&] { for (int i = 0; i < n; ++i) b.push_back(MVE_RandomInt()); });
    ta.join();
    tb.join();
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    std::sort(serial.begin(), serial.end());
    EXPECT_EQ(a, serial);
}
