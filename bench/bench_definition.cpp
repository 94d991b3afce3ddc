// Reading a large definition file: disk read, encoding check and the one-pass parser into a tree.
// Target: at least 100 MB/s. The file (about 24 MB) mixes sections, keys, quoted paths, comments,
// number lists and vertex blocks the way material, mesh and body files do.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

std::string MakeText(size_t bytes) {
    std::mt19937 rng(7);
    auto num = [&](int scale) { return std::to_string((int)(rng() % 2000) - 1000) + "." + std::to_string(rng() % scale); };
    std::string t;
    t.reserve(bytes + 4096);
    for (int i = 0; t.size() < bytes; ++i) {
        std::string id = std::to_string(i);
        t += "// Section " + id + ": generated for the benchmark\r\n";
        t += "Texture: Stone" + id + " {\r\n  File: 'Textures\\Stone" + id + ".png';\r\n  Filter: 2;  Mipmaps: default\r\n}\r\n";
        t += "Material: Rock" + id + " {\r\n  Shader: 5\r\n  Texture0: Stone" + id + "\r\n";
        t += "  Color: " + std::to_string(rng() % 256) + ", " + std::to_string(rng() % 256) + ", " + std::to_string(rng() % 256) + ";\r\n";
        t += "  Specular: 0.5, 0.5, 0.5, 1.0  /* shiny, but not too much */\r\n";
        t += "  Emission: { Color: 1.0, 0.2, 0.1; Intensity: 2.5; }\r\n";
        t += "  Name: 'a name; with {braces} inside'\r\n}\r\n";
        t += "Mesh: Part" + id + " {\r\n  Vertices: {\r\n";
        for (int v = 0; v < 24; ++v) t += "    " + num(1000) + ", " + num(1000) + ", " + num(1000) + ";\r\n";
        t += "  }\r\n  Faces: {\r\n";
        for (int f = 0; f < 12; ++f) t += "    " + std::to_string(rng() % 24) + ", " + std::to_string(rng() % 24) + ", " + std::to_string(rng() % 24) + "\r\n";
        t += "  }\r\n}\r\n\r\n";
    }
    return t;
}

struct BenchFile {
    std::filesystem::path path;
    size_t size = 0;
    BenchFile() {
        path = std::filesystem::temp_directory_path() / ("mve-bench-definition-" + std::to_string(::getpid()) + ".mvd");
        std::string text = MakeText(24u << 20);
        std::ofstream(path, std::ios::binary) << text;
        size = text.size();
    }
    ~BenchFile() { std::filesystem::remove(path); }
};

void BM_ReadDefinitionFile(benchmark::State &state) {
    static BenchFile file;
    size_t nodes = 0;
    for (auto _ : state) {
        MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(file.path.c_str());
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        if (!nodes && root) {
            std::vector<MVE_DEFINITION_NODE *> all{root};
            for (size_t i = 0; i < all.size(); ++i)
                for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(all[i]); c; c = MVE_DefinitionSibling(c)) all.push_back(c);
            nodes = all.size();
        }
        MVE_FreeDefinitionNode(root, 1);
        state.ResumeTiming();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size);
    state.counters["nodes"] = (double)nodes;
    state.counters["MB"] = (double)file.size / 1e6;
}
BENCHMARK(BM_ReadDefinitionFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same text already in memory: the parser alone.
void BM_ParseDefinitionText(benchmark::State &state) {
    static std::string text = MakeText(24u << 20);
    for (auto _ : state) {
        MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(text, "");
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        MVE_FreeDefinitionNode(root, 1);
        state.ResumeTiming();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}
BENCHMARK(BM_ParseDefinitionText)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
