// The GL function table: filled by name from the current context, emptied when the context goes.
// Main thread only (it owns the context). Never leaves a table half filled: a caller either has
// every entry or none, so no call through an empty slot can happen.
#include "Core/Engine.h"
#include <cstddef>
#include <cstring>

namespace {

struct GLEntry {
    const char *pName;
    size_t uOffset;
    int iLegacy;   // only a compatibility context has it
};

#define MVE_GL_ROW(type, name) {#name, offsetof(MVE_GL_TABLE, name), std::strcmp(#name, "glShadeModel") == 0},
const GLEntry kEntries[] = {MVE_GL_ENTRIES(MVE_GL_ROW)};
#undef MVE_GL_ROW
constexpr int kEntryCount = static_cast<int>(sizeof(kEntries) / sizeof(kEntries[0]));

void *&Slot(MVE_GL_TABLE &table, int i) {
    // Every member is a function pointer of the same size; the table is written through these slots only.
    static_assert(sizeof(void *) == sizeof(PFNGLENABLEPROC));
    return *reinterpret_cast<void **>(reinterpret_cast<char *>(&table) + kEntries[i].uOffset);
}

}  // namespace

MVE_GL_TABLE &MVE_gl() { return MVE_Engine().GL.Table; }

int MVE_GLEntryCount() { return kEntryCount; }

const char *MVE_GLEntryName(int i) { return i >= 0 && i < kEntryCount ? kEntries[i].pName : ""; }

void *MVE_GLEntry(int i) { return i >= 0 && i < kEntryCount ? Slot(MVE_gl(), i) : nullptr; }

void MVE_ClearGLFunctions() {
    MVE_GL_STATE &gl = MVE_Engine().GL;
    gl.Table = MVE_GL_TABLE();
    gl.iLoaded = 0;
}

std::vector<std::string> MVE_LoadGLFunctions(int compatibility) {
    MVE_GL_STATE &gl = MVE_Engine().GL;
    void *(*lookup)(const char *) = gl.pfnGetProcAddress ? gl.pfnGetProcAddress : MVE_PlatformGetProcAddress;
    std::vector<std::string> missing;
    MVE_GL_TABLE table;
    for (int i = 0; i < kEntryCount; i++) {
        if (kEntries[i].iLegacy && !compatibility) continue;
        void *entry = lookup(kEntries[i].pName);
        if (!entry) missing.emplace_back(kEntries[i].pName);
        Slot(table, i) = entry;
    }
    if (missing.empty()) {
        gl.Table = table;
        gl.iLoaded = 1;
    } else {
        MVE_ClearGLFunctions();
    }
    return missing;
}
