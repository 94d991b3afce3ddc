// Peak memory and time of loading a 1 M-vertex mesh: the ".mvm" file exactly as MVE_SaveMesh writes
// it, against the same mesh as an OBJ file. Targets: the .mvm load needs at most 4 bytes of peak
// memory per byte of file beyond the final mesh arrays, and no more peak memory than the OBJ load.
// Each load runs in a child process, so its peak resident size is its own.
#include "Core/Engine.h"
#include "Mesh/Mesh.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kSide = 1000;   // a 1000 x 1000 grid: 1,000,000 vertices, 1,996,002 triangles

long StatusKB(const char *field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return 0;
}

struct Files {
    std::filesystem::path mvm, obj;
    size_t mvmBytes = 0, objBytes = 0;
    Files() {
        const std::filesystem::path dir = std::filesystem::temp_directory_path();
        mvm = dir / ("mve-bench-grid-" + std::to_string(getpid()) + ".mvm");
        obj = dir / ("mve-bench-grid-" + std::to_string(getpid()) + ".obj");
        const int mesh = MVE_CreateMesh(MVE_ID_AUTO, "Grid");
        MVE_SetMeshVertexCount(mesh, kSide * kSide);
        MVE_SetMeshTriangleCount(mesh, 2 * (kSide - 1) * (kSide - 1));
        MVE_MESH *m = MVE_GetMesh(mesh);
        // A wavy sheet, so the numbers have the length real ones have.
        for (int j = 0; j < kSide; ++j)
            for (int i = 0; i < kSide; ++i) {
                MVE_MESH_VERTEX &v = m->Vertex[(size_t)j * kSide + i];
                const float x = i / (float)(kSide - 1), z = j / (float)(kSide - 1);
                v.v4fVertex = {x * 2 - 1, 0.1f * std::sin(x * 17.0f) * std::cos(z * 13.0f), z * 2 - 1, 1};
                v.v3fNormal[0] = 0.1f * std::cos(x * 5.0f), v.v3fNormal[1] = 0.99f, v.v3fNormal[2] = 0.05f * std::sin(z * 3.0f);
                v.v2fTexCoord[0] = x, v.v2fTexCoord[1] = z;
            }
        size_t t = 0;
        for (int j = 0; j + 1 < kSide; ++j)
            for (int i = 0; i + 1 < kSide; ++i) {
                const int a = j * kSide + i, b = a + 1, c = a + kSide, d = c + 1;
                for (int k : {a, c, b, b, c, d}) m->Index[t++] = k;
            }
        MVE_SaveMesh(mesh, mvm.c_str(), "Grid");
        FILE *out = std::fopen(obj.c_str(), "wb");
        for (const MVE_MESH_VERTEX &v : m->Vertex)
            std::fprintf(out, "v %.6f %.6f %.6f\n", v.v4fVertex.x, v.v4fVertex.y, v.v4fVertex.z);
        for (const MVE_MESH_VERTEX &v : m->Vertex) std::fprintf(out, "vt %.6f %.6f\n", v.v2fTexCoord[0], -v.v2fTexCoord[1]);
        for (const MVE_MESH_VERTEX &v : m->Vertex) std::fprintf(out, "vn %.6f %.6f %.6f\n", v.v3fNormal[0], v.v3fNormal[1], v.v3fNormal[2]);
        for (size_t k = 0; k < m->Index.size(); k += 3) {
            const int a = m->Index[k] + 1, b = m->Index[k + 1] + 1, c = m->Index[k + 2] + 1;
            std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
        }
        std::fclose(out);
        MVE_FreeMesh(mesh);
        mvmBytes = std::filesystem::file_size(mvm);
        objBytes = std::filesystem::file_size(obj);
    }
    ~Files() {
        std::filesystem::remove(mvm);
        std::filesystem::remove(obj);
    }
};

struct Result {
    double peakMB, arraysMB, seconds;
    int vertices;
};

// Loads in a child process and reports the growth of its peak resident size over the load.
Result Measure(bool objFormat, const std::filesystem::path &path) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        { std::ofstream("/proc/self/clear_refs") << "5"; }   // restart the peak at the current size
        const long before = StatusKB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const int mesh = objFormat ? MVE_LoadOBJMesh(MVE_ID_AUTO, path.c_str(), "") : MVE_LoadMesh(MVE_ID_AUTO, path.c_str(), "", 0);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const long peak = StatusKB("VmHWM:");
        const MVE_MESH *m = MVE_GetMesh(mesh);
        Result r{(peak - before) / 1024.0,
                 m ? (m->Vertex.capacity() * sizeof(MVE_MESH_VERTEX) + m->Index.capacity() * sizeof(int32_t)) / 1048576.0 : 0.0,
                 seconds, m ? (int)m->Vertex.size() : 0};
        if (write(fds[1], &r, sizeof r) != (ssize_t)sizeof r) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r{};
    if (read(fds[0], &r, sizeof r) != (ssize_t)sizeof r) r = {};
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return r;
}

Files &TheFiles() {
    static Files files;
    return files;
}

void Report(benchmark::State &state, bool objFormat) {
    Files &f = TheFiles();
    Result r{};
    for (auto _ : state) {
        r = Measure(objFormat, objFormat ? f.obj : f.mvm);
        state.SetIterationTime(r.seconds);
    }
    const double fileMB = (objFormat ? f.objBytes : f.mvmBytes) / 1048576.0;
    state.counters["file_MB"] = fileMB;
    state.counters["peak_MB"] = r.peakMB;
    state.counters["arrays_MB"] = r.arraysMB;
    state.counters["beyond_per_file_byte"] = (r.peakMB - r.arraysMB) / fileMB;   // target <= 4 for .mvm
    state.counters["vertices"] = r.vertices;
}

void BM_LoadMvm1M(benchmark::State &state) { Report(state, false); }
void BM_LoadObj1M(benchmark::State &state) { Report(state, true); }
BENCHMARK(BM_LoadMvm1M)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadObj1M)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
