// Shared pieces of the fuzz targets: a private working folder (the loaders read files by path and
// the log lands in the current folder), writing an input there, and a stop that libFuzzer reports
// as a crash when a loader accepts something inconsistent.
#pragma once
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace mvefuzz {

// Called once from LLVMFuzzerInitialize: every target works in a folder of its own under /tmp,
// removed when the process ends.
inline void EnterWorkFolder() {
    static std::filesystem::path folder;
    if (!folder.empty()) return;
    char name[] = "/tmp/mve-fuzz-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    folder = name;
    std::filesystem::current_path(folder);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::current_path("/", ignored);
        std::filesystem::remove_all(folder, ignored);
    });
}

inline void WriteInput(const char *file, const uint8_t *data, size_t size) {
    FILE *out = std::fopen(file, "wb");
    if (!out) std::abort();
    if (size && std::fwrite(data, 1, size, out) != size) std::abort();
    std::fclose(out);
}

// A finding that is no crash of its own: an accepted file whose record breaks the loader's promise.
#define MVE_FUZZ_REQUIRE(condition)                                                           \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// A loader frees every tree it parsed, on every path: one kept reachable is a leak that leak
// checking cannot see, growing with each file read.
inline void NoTreeLeft() { MVE_FUZZ_REQUIRE(MVE_Engine().Definition.Roots.empty()); }

}  // namespace mvefuzz
