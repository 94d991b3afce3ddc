// Definition files on disk: reading one file in any of its encodings, walking folders of them,
// and handing their sections to the loaders. Main thread. Reads regular files only (a FIFO or a
// device would block or never end), refuses binary data and endless lines at the chunk where they
// appear, never follows a folder twice (symbolic links may loop) and never reports an unreadable
// file as loaded.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include "Reload/Reload.h"
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <new>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr const char *kCannotRead = MVE_FAIL_FILE_CANNOT_READ;
constexpr const char *kOutOfMemory = MVE_FAIL_OUT_OF_MEMORY;
constexpr size_t kChunk = size_t(1) << 20;

void PutUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | (cp >> 6));
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | (cp >> 12));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | (cp >> 18));
        out += (char)(0x80 | ((cp >> 12) & 0x3F));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD, an odd last byte is dropped.
std::string FromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2 + 16);
    size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> uint32_t {
        uint32_t a = (unsigned char)bytes[2 * i], b = (unsigned char)bytes[2 * i + 1];
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            PutUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            PutUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
        }
    }
    return out;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF)?
bool IsUtf8(std::string_view s) {
    const unsigned char *p = (const unsigned char *)s.data(), *end = p + s.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            // Plain ASCII eight bytes at a time.
            while (end - p >= 8) {
                uint64_t word;
                memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull) break;
                p += 8;
            }
            continue;
        }
        size_t len;
        uint32_t cp, min;
        if ((*p & 0xE0) == 0xC0) len = 2, cp = *p & 0x1F, min = 0x80;
        else if ((*p & 0xF0) == 0xE0) len = 3, cp = *p & 0x0F, min = 0x800;
        else if ((*p & 0xF8) == 0xF0) len = 4, cp = *p & 0x07, min = 0x10000;
        else return false;
        if ((size_t)(end - p) < len) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += len;
    }
    return true;
}

std::string FromLatin1(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (unsigned char ch : bytes) PutUtf8(out, ch);
    return out;
}

// Character classes for the text check: 1 line feed, 2 a control code no text file holds.
constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> t{};
    for (int ch = 0; ch < 32; ++ch) t[ch] = 2;
    for (int ch : {9, 11, 12, 13, 0x1A, 0x1B}) t[ch] = 0;   // tab, vertical tab, form feed, CR, Ctrl-Z, escape
    t['\n'] = 1;
    return t;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

// Checks text as it arrives: binary data and overlong lines are named by their line number.
struct TextCheck {
    size_t iLineStart = 0, iLine = 1;
    std::string sFailure;
    bool Scan(const char *text, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const uint8_t k = kClass[(unsigned char)text[i]];
            if (!k) continue;
            if (k == 2) return Fail("not a text file!");
            if (i - iLineStart > (size_t)MVE_DEFINITION_MAX_LINE) return Fail("longer than 16 MB!");
            iLineStart = i + 1;
            ++iLine;
        }
        if (to - iLineStart > (size_t)MVE_DEFINITION_MAX_LINE) return Fail("longer than 16 MB!");
        return true;
    }
    bool Fail(const char *what) {
        sFailure = "Fail: Line " + std::to_string(iLine) + ": " + what;
        return false;
    }
};

// Reads a whole regular file in chunks into a malloc'd buffer with a NUL after the end. 8-bit
// text is checked chunk by chunk, so a bad file is refused where its trouble starts.
char *ReadRegularFile(const std::string &path, MVE_FILE_KIND kind, size_t &size, bool &wide, std::string &failure) {
    uint64_t length = 0;
    std::FILE *file = MVE_OpenRegularFile(path.c_str(), kind, failure, &length);
    if (!file) return nullptr;
    const size_t expected = static_cast<size_t>(length);
    char *buffer = static_cast<char *>(malloc(expected + 1));
    if (!buffer) {
        std::fclose(file);
        failure = kOutOfMemory;
        return nullptr;
    }
    TextCheck check;
    size = 0;
    wide = false;
    // The file may shrink while read (then it ends early); growth beyond its size is not read.
    while (size < expected) {
        const size_t got = std::fread(buffer + size, 1, std::min(kChunk, expected - size), file);
        if (got == 0) break;
        if (size == 0 && got >= 2 && ((unsigned char)buffer[0] == 0xFF || (unsigned char)buffer[0] == 0xFE) &&
            (unsigned char)buffer[1] == ((unsigned char)buffer[0] ^ 1))
            wide = true;   // UTF-16: checked once decoded
        if (!wide && !check.Scan(buffer, size, size + got)) {
            failure = check.sFailure;
            break;
        }
        size += got;
    }
    if (failure.empty() && std::ferror(file)) failure = kCannotRead;
    std::fclose(file);
    if (!failure.empty()) {
        free(buffer);
        return nullptr;
    }
    buffer[size] = 0;
    return buffer;
}

// A malloc'd copy of a text with a NUL after it.
char *Owned(const std::string &text) {
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    if (copy) memcpy(copy, text.data(), text.size() + 1);
    return copy;
}

using FolderId = std::pair<dev_t, ino_t>;

void ParsePath(const std::string &path, int mask, bool allowPattern, std::set<FolderId> &visited) {
    std::string folder = path, pattern;
    if (allowPattern && path.find('*') != std::string::npos) {
        size_t cut = path.find_last_of("\\/");
        folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
        pattern = path.substr(cut == std::string::npos ? 0 : cut + 1);
    }
    std::string native = MVE_NativePath(folder);
    struct stat st;
    // A bare pattern means the current folder; an empty path is no folder at all.
    std::string probe = native.empty() && !pattern.empty() ? std::string(".") : native;
    bool isFolder = !probe.empty() && stat(probe.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (isFolder) {
        while (!native.empty() && native.back() == '/') native.pop_back();
        std::string prefix = native.empty() && folder.empty() ? std::string() : native + '/';
        std::vector<std::string> names;
        if (visited.insert({st.st_dev, st.st_ino}).second) {
            if (DIR *dir = opendir(native.empty() ? (folder.empty() ? "." : "/") : native.c_str())) {
                while (struct dirent *entry = readdir(dir)) {
                    // Hidden entries ('.', '..', '.git', editor files) are not definitions.
                    if (entry->d_name[0] == '.') continue;
                    if (!pattern.empty() && fnmatch(pattern.c_str(), entry->d_name, FNM_PERIOD | FNM_CASEFOLD)) continue;
                    // Only files and folders: a FIFO, socket or device in the folder would block the walk.
                    struct stat kind;
                    const std::string full = prefix + entry->d_name;
                    if (stat(full.c_str(), &kind) != 0 || !(S_ISREG(kind.st_mode) || S_ISDIR(kind.st_mode))) continue;
                    names.emplace_back(entry->d_name);
                }
                closedir(dir);
            }
        }
        std::sort(names.begin(), names.end());   // the same order on every run
        for (const std::string &name : names) ParsePath(prefix + name, mask, false, visited);
    } else {
        MVE_LogHeading("Parse DefinitionFile: " + path, __LINE__, __FILE__, "MVE_ParseDefinitionFiles");
        // The sections are loaded and the file is remembered, so that a save reloads them in place.
        if (!MVE_LoadWatchedDefinitionFile(path, mask))
            MVE_LogFail(MVE_Engine().Definition.sLastFailure, "MVE_ParseDefinitionFiles");
    }
    MVE_LogBreak();
}

}  // namespace

MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path, MVE_DEFINITION_SINK *sink, MVE_FILE_KIND kind) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    std::string native = MVE_NativePath(path ? path : "");
    size_t cut = native.find_last_of('/');
    std::string folder = cut == std::string::npos ? std::string() : native.substr(0, cut + 1);
    d.sLastFile = cut == std::string::npos ? native : native.substr(cut + 1);
    d.sLastFolder = folder;
    d.pLastRoot = nullptr;
    d.sLastFailure.clear();
    size_t size = 0;
    bool wide = false;
    char *bytes = ReadRegularFile(native, kind, size, wide, d.sLastFailure);
    if (!bytes) return nullptr;

    std::string_view raw(bytes, size);
    char *base = bytes;
    const char *text = bytes;
    size_t length = size;
    if (raw.starts_with("\xEF\xBB\xBF")) {
        text += 3;
        length -= 3;
    } else if (wide || !IsUtf8(raw)) {
        std::string converted;
        try {
            converted = wide ? FromUtf16(raw.substr(2), (unsigned char)raw[0] == 0xFE) : FromLatin1(raw);
        } catch (const std::bad_alloc &) {
            free(bytes);
            d.sLastFailure = kOutOfMemory;
            return nullptr;
        }
        free(bytes);
        if (wide) {
            TextCheck check;
            if (!check.Scan(converted.data(), 0, converted.size())) {
                d.sLastFailure = check.sFailure;
                return nullptr;
            }
        }
        base = Owned(converted);
        if (!base) {
            d.sLastFailure = kOutOfMemory;
            return nullptr;
        }
        text = base;
        length = converted.size();
    }
    MVE_DEFINITION_NODE *root = MVE_ParseDefinitionBuffer(base, text, length, folder, sink);
    if (MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(root)) {
        tree->sFile = native;
        tree->iFileKind = kind;
    }
    d.pLastRoot = root;
    return root;
}

extern "C" MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path) {
    try {
        return MVE_ReadDefinitionFile(path, nullptr);
    } catch (const std::bad_alloc &) {   // nothing may leave a C procedure
        MVE_Engine().Definition.sLastFailure = kOutOfMemory;
        return nullptr;
    }
}

int MVE_DefinitionSectionBit(std::string_view key) {
    if (key == "Texture") return MVE_DEFINITION_TEXTURE;
    if (key == "Material") return MVE_DEFINITION_MATERIAL;
    if (key == "Sound") return MVE_DEFINITION_SOUND;
    return 0;
}

MVE_DEFINITION_LOADER MVE_DefinitionLoader(std::string_view key) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    if (key == "Texture") return d.pLoadTexture;
    if (key == "Material") return d.pLoadMaterial;
    if (key == "Sound") return d.pLoadSound;
    return nullptr;
}

void MVE_ForEachDefinitionSection(MVE_DEFINITION_NODE *node, bool emitters,
                                  const std::function<void(MVE_DEFINITION_NODE *)> &visit) {
    if (!node) return;
    const std::string_view key = MVE_DefinitionKey(node);
    if (MVE_DefinitionSectionBit(key) || (emitters && key == "ParticleEmitter")) {
        visit(node);
        return;
    }
    for (MVE_DEFINITION_NODE *child = MVE_DefinitionFirst(node); child;) {
        MVE_DEFINITION_NODE *next = MVE_DefinitionSibling(child);   // a loader may free the section it was given
        MVE_ForEachDefinitionSection(child, emitters, visit);
        child = next;
    }
}

int MVE_LoadDefinitions(MVE_DEFINITION_NODE *node, int mask,
                        const std::function<void(MVE_DEFINITION_NODE *section, int handle)> *loaded) {
    int count = 0;
    MVE_ForEachDefinitionSection(node, false, [&](MVE_DEFINITION_NODE *section) {
        const std::string_view key = MVE_DefinitionKey(section);
        MVE_DEFINITION_LOADER loader = MVE_DefinitionLoader(key);
        if (!(mask & MVE_DefinitionSectionBit(key)) || !loader) return;
        // Sounds find their file from the section's own folder; textures and materials take its value as name.
        const int handle = loader(MVE_ID_AUTO, section, key == "Sound" ? "" : MVE_GetDefinitionValue(section));
        if (handle) ++count;
        if (loaded) (*loaded)(section, handle);
    });
    return count;
}

extern "C" int MVE_ParseDefinitionFiles(const char *path, int mask) {
    std::set<FolderId> visited;
    ParsePath(path ? path : "", mask, true, visited);
    return 0;
}

// A definition text the program holds goes the way of a file's: parsed, its sections handed to the
// loaders by mask, the tree freed. Files it names are found from `folder`.
extern "C" int MVE_LoadDefinitionText(const char *text, const char *folder, int mask) {
    static const char *const kProcedure = "MVE_LoadDefinitionText";
    const std::string where = folder && *folder ? std::string(folder) : std::string(".");
    MVE_LogHeading("Parse DefinitionText: " + where, __LINE__, __FILE__, kProcedure);
    int loaded = 0;
    if (!text) {
        MVE_LogFail("Fail: No definition text!", kProcedure);
    } else if (MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(std::string_view(text), folder ? folder : "")) {
        loaded = MVE_LoadDefinitions(root, mask);
        MVE_FreeDefinitionNode(root, 1);
    }
    MVE_LogBreak();
    return loaded;
}
