// Speed of the four-lane math procedures beside plain C++ versions of the same procedures.
// Each variant works through the same array of random inputs, one call per iteration, so the time per
// iteration is the time per operation. Every variant pays one real call (the plain versions are kept
// out of line), as the engine's own callers do, and each first checks that it agrees with the engine.
#include "Math/Math.h"
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kCount = 1024;  // inputs per array: fits in L1 with room, a power of two for wrapping

// The same plain C++ twice: once as the compiler leaves it (it vectorises what it can on its own) and
// once held to one lane, the code a processor without four-lane registers would run. The inverse works
// from the twelve 2x2 sub-determinants with one true division for the determinant.
#define MVE_PLAIN_MATH(SUFFIX, ATTR) \
ATTR m4f *Multiply##SUFFIX(m4f *out, const m4f *A, const m4f *B) {                                 \
    m4f r;                                                                                         \
    for (int c = 0; c < 4; ++c)                                                                    \
        for (int row = 0; row < 4; ++row)                                                          \
            r.m[4 * c + row] = A->m[row] * B->m[4 * c] + A->m[4 + row] * B->m[4 * c + 1] +         \
                               A->m[8 + row] * B->m[4 * c + 2] + A->m[12 + row] * B->m[4 * c + 3]; \
    *out = r;                                                                                      \
    return out;                                                                                    \
}                                                                                                  \
                                                                                                   \
ATTR m4f *Inverse##SUFFIX(m4f *out, const m4f *M) {                                                \
    const float *a = M->m;                                                                         \
    const float s0 = a[0] * a[5] - a[4] * a[1], s1 = a[0] * a[6] - a[4] * a[2];                    \
    const float s2 = a[0] * a[7] - a[4] * a[3], s3 = a[1] * a[6] - a[5] * a[2];                    \
    const float s4 = a[1] * a[7] - a[5] * a[3], s5 = a[2] * a[7] - a[6] * a[3];                    \
    const float c5 = a[10] * a[15] - a[14] * a[11], c4 = a[9] * a[15] - a[13] * a[11];             \
    const float c3 = a[9] * a[14] - a[13] * a[10], c2 = a[8] * a[15] - a[12] * a[11];              \
    const float c1 = a[8] * a[14] - a[12] * a[10], c0 = a[8] * a[13] - a[12] * a[9];               \
    const float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;                   \
    const float k = 1.0f / det;                                                                    \
    m4f b;                                                                                         \
    b.m[0] = (a[5] * c5 - a[6] * c4 + a[7] * c3) * k;                                              \
    b.m[1] = (-a[1] * c5 + a[2] * c4 - a[3] * c3) * k;                                             \
    b.m[2] = (a[13] * s5 - a[14] * s4 + a[15] * s3) * k;                                           \
    b.m[3] = (-a[9] * s5 + a[10] * s4 - a[11] * s3) * k;                                           \
    b.m[4] = (-a[4] * c5 + a[6] * c2 - a[7] * c1) * k;                                             \
    b.m[5] = (a[0] * c5 - a[2] * c2 + a[3] * c1) * k;                                              \
    b.m[6] = (-a[12] * s5 + a[14] * s2 - a[15] * s1) * k;                                          \
    b.m[7] = (a[8] * s5 - a[10] * s2 + a[11] * s1) * k;                                            \
    b.m[8] = (a[4] * c4 - a[5] * c2 + a[7] * c0) * k;                                              \
    b.m[9] = (-a[0] * c4 + a[1] * c2 - a[3] * c0) * k;                                             \
    b.m[10] = (a[12] * s4 - a[13] * s2 + a[15] * s0) * k;                                          \
    b.m[11] = (-a[8] * s4 + a[9] * s2 - a[11] * s0) * k;                                           \
    b.m[12] = (-a[4] * c3 + a[5] * c1 - a[6] * c0) * k;                                            \
    b.m[13] = (a[0] * c3 - a[1] * c1 + a[2] * c0) * k;                                             \
    b.m[14] = (-a[12] * s3 + a[13] * s1 - a[14] * s0) * k;                                         \
    b.m[15] = (a[8] * s3 - a[9] * s1 + a[10] * s0) * k;                                            \
    *out = b;                                                                                      \
    return out;                                                                                    \
}                                                                                                  \
                                                                                                   \
ATTR v4f *Normalize##SUFFIX(v4f *a) {                                                              \
    const float len = std::sqrt(a->x * a->x + a->y * a->y + a->z * a->z);                          \
    a->x /= len;                                                                                   \
    a->y /= len;                                                                                   \
    a->z /= len;                                                                                   \
    a->w = 0.0f;                                                                                   \
    return a;                                                                                      \
}                                                                                                  \
                                                                                                   \
ATTR v4f *TransformTo##SUFFIX(v4f *out, const m4f *M, const v4f *v) {                              \
    const float *m = M->m;                                                                         \
    const float x = v->x, y = v->y, z = v->z, w = v->w;                                            \
    out->x = m[0] * x + m[4] * y + m[8] * z + m[12] * w;                                           \
    out->y = m[1] * x + m[5] * y + m[9] * z + m[13] * w;                                           \
    out->z = m[2] * x + m[6] * y + m[10] * z + m[14] * w;                                          \
    out->w = m[3] * x + m[7] * y + m[11] * z + m[15] * w;                                          \
    return out;                                                                                    \
}                                                                                                  \
    static_assert(true, "")

MVE_PLAIN_MATH(Plain, __attribute__((noinline)));
MVE_PLAIN_MATH(Scalar, __attribute__((noinline, optimize("no-tree-vectorize"))));

// Random inputs, with a dominant diagonal so every matrix is comfortably invertible.
struct Inputs {
    std::vector<m4f> mats;
    std::vector<v4f> vecs;
    Inputs() : mats(kCount), vecs(kCount) {
        std::mt19937 gen(2014);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (m4f &m : mats) {
            for (float &e : m.m) e = d(gen);
            for (int i = 0; i < 4; ++i) m.m[5 * i] += 4.0f;
        }
        for (v4f &v : vecs) v = {d(gen) * 10, d(gen) * 10, d(gen) * 10, 1.0f};
    }
};

const Inputs &Data() {
    static const Inputs inputs;
    return inputs;
}

bool Near(const float *a, const float *b, int n, float tol) {
    for (int i = 0; i < n; ++i)
        if (std::fabs(a[i] - b[i]) > tol * (1.0f + std::fabs(b[i]))) return false;
    return true;
}

// Refuses to time a pair whose two sides disagree.
bool Agree(benchmark::State &state, bool ok) {
    if (!ok) state.SkipWithError("SIMD and scalar results differ");
    return ok;
}

template <m4f *(*Multiply)(m4f *, const m4f *, const m4f *)>
void BM_m4fMultiply(benchmark::State &state) {
    const Inputs &in = Data();
    m4f x, y;
    MVE_m4fMultiply(&x, &in.mats[0], &in.mats[1]);
    MultiplyScalar(&y, &in.mats[0], &in.mats[1]);
    if (!Agree(state, Near(x.m, y.m, 16, 1e-5f))) return;
    std::vector<m4f> out(kCount);
    unsigned i = 0;
    for (auto _ : state) {
        Multiply(&out[i], &in.mats[i], &in.mats[(i + 1) & (kCount - 1)]);
        benchmark::DoNotOptimize(out[i]);
        i = (i + 1) & (kCount - 1);
    }
}

template <m4f *(*Inverse)(m4f *, const m4f *)>
void BM_m4fInverse(benchmark::State &state) {
    const Inputs &in = Data();
    m4f x, y;
    MVE_m4fInverseOf(&x, &in.mats[3]);
    InverseScalar(&y, &in.mats[3]);
    if (!Agree(state, Near(x.m, y.m, 16, 1e-3f))) return;
    std::vector<m4f> out(kCount);
    unsigned i = 0;
    for (auto _ : state) {
        Inverse(&out[i], &in.mats[i]);
        benchmark::DoNotOptimize(out[i]);
        i = (i + 1) & (kCount - 1);
    }
}

template <v4f *(*Normalize)(v4f *)>
void BM_v4fNormalize(benchmark::State &state) {
    const Inputs &in = Data();
    v4f x = in.vecs[5], y = in.vecs[5];
    MVE_v4fNormalize(&x);
    NormalizeScalar(&y);
    if (!Agree(state, Near(&x.x, &y.x, 4, 1e-6f))) return;
    std::vector<v4f> work(in.vecs);
    unsigned i = 0;
    for (auto _ : state) {
        // Normalising a unit vector again is the same work; the values stay finite forever.
        Normalize(&work[i]);
        benchmark::DoNotOptimize(work[i]);
        i = (i + 1) & (kCount - 1);
    }
}

template <v4f *(*Transform)(v4f *, const m4f *, const v4f *)>
void BM_v4fTransform(benchmark::State &state) {
    const Inputs &in = Data();
    v4f x, y;
    MVE_v4fTransformTo(&x, &in.mats[7], &in.vecs[7]);
    TransformToScalar(&y, &in.mats[7], &in.vecs[7]);
    if (!Agree(state, Near(&x.x, &y.x, 4, 1e-5f))) return;
    std::vector<v4f> out(kCount);
    unsigned i = 0;
    for (auto _ : state) {
        Transform(&out[i], &in.mats[i], &in.vecs[i]);
        benchmark::DoNotOptimize(out[i]);
        i = (i + 1) & (kCount - 1);
    }
}

BENCHMARK(BM_m4fMultiply<MVE_m4fMultiply>)->Name("m4fMultiply/SIMD");
BENCHMARK(BM_m4fMultiply<MultiplyScalar>)->Name("m4fMultiply/Scalar");
BENCHMARK(BM_m4fMultiply<MultiplyPlain>)->Name("m4fMultiply/PlainAutoVectorised");
BENCHMARK(BM_m4fInverse<MVE_m4fInverseOf>)->Name("m4fInverse/SIMD");
BENCHMARK(BM_m4fInverse<InverseScalar>)->Name("m4fInverse/Scalar");
BENCHMARK(BM_m4fInverse<InversePlain>)->Name("m4fInverse/PlainAutoVectorised");
BENCHMARK(BM_v4fNormalize<MVE_v4fNormalize>)->Name("v4fNormalize/SIMD");
BENCHMARK(BM_v4fNormalize<NormalizeScalar>)->Name("v4fNormalize/Scalar");
BENCHMARK(BM_v4fNormalize<NormalizePlain>)->Name("v4fNormalize/PlainAutoVectorised");
BENCHMARK(BM_v4fTransform<MVE_v4fTransformTo>)->Name("v4fTransform/SIMD");
BENCHMARK(BM_v4fTransform<TransformToScalar>)->Name("v4fTransform/Scalar");
BENCHMARK(BM_v4fTransform<TransformToPlain>)->Name("v4fTransform/PlainAutoVectorised");

}  // namespace

BENCHMARK_MAIN();
