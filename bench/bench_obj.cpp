// OBJ import speed and memory: the engine's reader against tinyobjloader on the same generated
// file (over 50 MB: positions, normals, texture coordinates, triangles and quads), CPU only (no
// GL context). Peak memory is measured in a fresh child process from /proc/self/status.
#include "Core/Engine.h"
#include "Mesh/Mesh.h"
#include <benchmark/benchmark.h>
#include <cmath>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#ifdef MVE_HAVE_TINYOBJ
#include <tiny_obj_loader.h>
#endif

namespace {

std::filesystem::path g_folder;
std::string g_file;
uintmax_t g_bytes = 0;

// A wavy grid: every cell is either a quad or two triangles, every corner in v/vt/vn form.
void Generate() {
    g_folder = std::filesystem::temp_directory_path() / ("mve-bench-obj-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_folder);
    g_file = (g_folder / "grid.obj").string();
    const int n = 640;
    FILE *out = std::fopen(g_file.c_str(), "wb");
    if (!out) return;
    std::fprintf(out, "# generated grid %d x %d\nmtllib grid.mtl\no Grid\n", n, n);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            std::fprintf(out, "v %.6f %.6f %.6f\n", x * 0.01, 0.05 * std::sin(x * 0.1) * std::cos(z * 0.07), z * -0.01);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) std::fprintf(out, "vt %.6f %.6f\n", x / double(n - 1), z / double(n - 1));
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const double nx = -0.005 * std::cos(x * 0.1), ny = 1.0, l = std::sqrt(nx * nx + ny * ny);
            std::fprintf(out, "vn %.6f %.6f %.6f\n", nx / l, ny / l, 0.0);
        }
    std::fprintf(out, "g surface\nusemtl ground\ns 1\n");
    for (int z = 0; z + 1 < n; ++z)
        for (int x = 0; x + 1 < n; ++x) {
            const int a = z * n + x + 1, b = a + 1, c = a + n + 1, d = a + n;
            if ((x + z) % 2)
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c, c, b, b, b);
            else
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c,
                             c, a, a, a, c, c, c, b, b, b);
        }
    std::fclose(out);
    g_bytes = std::filesystem::file_size(g_file);
}

long long StatusKiB(const char *field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0) return std::atoll(line.c_str() + length + 1);
    return 0;
}

// Child mode: load once, print the growth of the resident high-water mark and the final array bytes.
int MeasurePeak(const std::string &which, const std::string &file) {
    const long long before = StatusKiB("VmRSS");
    long long finalBytes = 0;
    if (which == "mve") {
        MVE_MESH *mesh = MVE_GetMesh(MVE_LoadOBJMesh(1, file.c_str(), ""));
        if (!mesh) return 1;
        finalBytes = static_cast<long long>(mesh->Vertex.size() * sizeof(MVE_MESH_VERTEX) + mesh->Index.size() * 4);
    }
#ifdef MVE_HAVE_TINYOBJ
    if (which == "tinyobj") {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file.c_str(), nullptr, true)) return 1;
        finalBytes = static_cast<long long>((attrib.vertices.size() + attrib.normals.size() + attrib.texcoords.size()) *
                                            sizeof(tinyobj::real_t));
        for (const auto &s : shapes) finalBytes += static_cast<long long>(s.mesh.indices.size() * sizeof(tinyobj::index_t));
    }
#endif
    const long long peak = StatusKiB("VmHWM");
    std::printf("%lld %lld\n", (peak - before) * 1024, finalBytes);
    return 0;
}

void RunChild(benchmark::State &state, const char *which) {
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        state.SkipWithError("cannot find own executable");
        return;
    }
    long long peak = 0, finalBytes = 0;
    for (auto _ : state) {
        const std::string command = std::string("'") + self + "' --peak " + which + " '" + g_file + "'";
        FILE *child = ::popen(command.c_str(), "r");
        if (!child || std::fscanf(child, "%lld %lld", &peak, &finalBytes) != 2) state.SkipWithError("child failed");
        if (child) ::pclose(child);
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["arrays_MB"] = static_cast<double>(finalBytes) / 1e6;
    if (finalBytes > 0) state.counters["peak_per_array_byte"] = static_cast<double>(peak) / static_cast<double>(finalBytes);
}

void BM_LoadOBJMesh(benchmark::State &state) {
    size_t vertices = 0;
    for (auto _ : state) {
        MVE_MESH *mesh = MVE_GetMesh(MVE_LoadOBJMesh(1, g_file.c_str(), ""));
        if (!mesh) {
            state.SkipWithError("load failed");
            break;
        }
        vertices = mesh->Vertex.size();
        benchmark::DoNotOptimize(mesh);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
    state.counters["file_MB"] = static_cast<double>(g_bytes) / 1e6;
    state.counters["vertices"] = static_cast<double>(vertices);
    MVE_FreeMesh(1);
}
BENCHMARK(BM_LoadOBJMesh)->Unit(benchmark::kMillisecond)->Iterations(4);

#ifdef MVE_HAVE_TINYOBJ
void BM_TinyObjLoader(benchmark::State &state) {
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, g_file.c_str(), nullptr, true);
        if (!ok) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(shapes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->Iterations(4);
#endif

void BM_PeakMemoryLoadOBJMesh(benchmark::State &state) { RunChild(state, "mve"); }
BENCHMARK(BM_PeakMemoryLoadOBJMesh)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

#ifdef MVE_HAVE_TINYOBJ
void BM_PeakMemoryTinyObjLoader(benchmark::State &state) { RunChild(state, "tinyobj"); }
BENCHMARK(BM_PeakMemoryTinyObjLoader)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
#endif

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return MeasurePeak(argv[2], argv[3]);
    Generate();
    if (g_bytes < 50u * 1000 * 1000) {
        std::fprintf(stderr, "could not write the %s test file\n", g_file.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_folder);
    return 0;
}
