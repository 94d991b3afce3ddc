// Definition files on disk: reading one file in any of its encodings, walking folders of them,
// and handing their sections to the loaders. Main thread. Never follows a folder twice (symbolic
// links may loop) and never reports an unreadable file as loaded.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fnmatch.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

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

bool ReadWholeFile(const std::string &path, std::string &bytes) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize((size_t)st.st_size);
        size_t got = fread(bytes.data(), 1, bytes.size(), f);
        ok = !ferror(f);
        bytes.resize(got);
        // A file that grew while being read: take the rest too.
        char chunk[65536];
        size_t more;
        while (ok && (more = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, more);
        ok = ok && !ferror(f);
    }
    fclose(f);
    return ok;
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
                    names.emplace_back(entry->d_name);
                }
                closedir(dir);
            }
        }
        std::sort(names.begin(), names.end());   // the same order on every run
        for (const std::string &name : names) ParsePath(prefix + name, mask, false, visited);
    } else {
        MVE_LogHeading("Parse DefinitionFile: " + path, __LINE__, __FILE__, "MVE_ParseDefinitionFiles");
        if (MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(path.c_str()))
            MVE_LoadDefinitions(root, mask);
        else
            MVE_LogFail("Fail: File not found!", "MVE_ParseDefinitionFiles");
    }
    MVE_LogBreak();
}

}  // namespace

MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    std::string native = MVE_NativePath(path ? path : "");
    size_t cut = native.find_last_of('/');
    std::string folder = cut == std::string::npos ? std::string() : native.substr(0, cut + 1);
    d.sLastFile = cut == std::string::npos ? native : native.substr(cut + 1);
    d.sLastFolder = folder;
    d.pLastRoot = nullptr;
    std::string bytes;
    if (native.empty() || !ReadWholeFile(native, bytes)) return nullptr;

    std::string_view raw(bytes), text;
    std::string converted;
    if (raw.starts_with("\xEF\xBB\xBF")) {
        text = raw.substr(3);
    } else if (raw.starts_with("\xFF\xFE")) {
        converted = FromUtf16(raw.substr(2), false);
        text = converted;
    } else if (raw.starts_with("\xFE\xFF")) {
        converted = FromUtf16(raw.substr(2), true);
        text = converted;
    } else if (IsUtf8(raw)) {
        text = raw;   // plain ASCII, or UTF-8 written without a mark
    } else {
        converted = FromLatin1(raw);
        text = converted;
    }
    MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(text, folder);
    d.pLastRoot = root;
    return root;
}

void MVE_LoadDefinitions(MVE_DEFINITION_NODE *node, int mask) {
    if (!node) return;
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    if (node->sKey == "Sound") {
        if ((mask & MVE_DEFINITION_SOUND) && d.pLoadSound) d.pLoadSound(MVE_ID_AUTO, node, "");
        return;
    }
    if (node->sKey == "Texture") {
        if ((mask & MVE_DEFINITION_TEXTURE) && d.pLoadTexture) d.pLoadTexture(MVE_ID_AUTO, node, node->sValue.c_str());
        return;
    }
    if (node->sKey == "Material") {
        if ((mask & MVE_DEFINITION_MATERIAL) && d.pLoadMaterial) d.pLoadMaterial(MVE_ID_AUTO, node, node->sValue.c_str());
        return;
    }
    // By index: a loader may add to the tree while it is walked.
    for (size_t i = 0; i < node->Children.size(); ++i) MVE_LoadDefinitions(node->Children[i], mask);
}

extern "C" int MVE_ParseDefinitionFiles(const char *path, int mask) {
    std::set<FolderId> visited;
    ParsePath(path ? path : "", mask, true, visited);
    return 0;
}
