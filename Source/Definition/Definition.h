// Definition files: the shared key/value syntax of every text resource, parsed into trees of
// nodes, searched by paths and read through typed readers; and the folder walk that hands
// Texture, Material and Sound sections to their loaders. Main thread only. Text is UTF-8.
// Nothing here may read past a text, crash on a broken file or keep a freed tree reachable.
//
// Trees are compact: one owned text buffer per tree holds every key and value (nodes keep
// offsets into it), nodes come from the tree's arena, children are linked, and the key and
// position indexes are built only when a node with many children is first asked. An unnamed
// leaf (a list item) costs 16 bytes, any other node 32.
#pragma once
#include "MVE.h"
#include "Platform/Platform.h"
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct MVE_DEFINITION_TREE;
struct MVE_DEFINITION_NODE;
std::string_view MVE_DefinitionKey(const MVE_DEFINITION_NODE *node);
std::string_view MVE_DefinitionValue(const MVE_DEFINITION_NODE *node);
extern "C" const char *MVE_GetDefinitionKey(const MVE_DEFINITION_NODE *node);
extern "C" const char *MVE_GetDefinitionValue(const MVE_DEFINITION_NODE *node);

// node->sKey and node->sValue: read-only views of the node's key and value that cost no memory
// (they share the node's first word); they convert to std::string and compare like one.
template <bool IsKey> struct MVE_DEFINITION_TEXT {
    const MVE_DEFINITION_NODE *Node() const { return reinterpret_cast<const MVE_DEFINITION_NODE *>(this); }
    std::string_view View() const { return IsKey ? MVE_DefinitionKey(Node()) : MVE_DefinitionValue(Node()); }
    operator std::string() const { return std::string(View()); }
    bool empty() const { return View().empty(); }
    size_t size() const { return View().size(); }
    const char *c_str() const { return IsKey ? MVE_GetDefinitionKey(Node()) : MVE_GetDefinitionValue(Node()); }
    friend bool operator==(const MVE_DEFINITION_TEXT &a, std::string_view b) { return a.View() == b; }
    friend std::string operator+(const std::string &a, const MVE_DEFINITION_TEXT &b) { return a + std::string(b.View()); }
    friend std::string operator+(const char *a, const MVE_DEFINITION_TEXT &b) { return a + std::string(b.View()); }
    friend std::string operator+(const MVE_DEFINITION_TEXT &a, const std::string &b) { return std::string(a.View()) + b; }
    friend std::string operator+(const MVE_DEFINITION_TEXT &a, const char *b) { return std::string(a.View()) + b; }
};

// A node. Only the first three fields exist for an unnamed leaf; a node with the branch flag is
// an MVE_DEFINITION_BRANCH. Read nodes through the procedures below, never by hand.
struct MVE_DEFINITION_NODE {
    union {
        uintptr_t iNext;    // next sibling, with the flags in the low three bits
        MVE_DEFINITION_TEXT<true> sKey;
        MVE_DEFINITION_TEXT<false> sValue;
    };
    uint32_t iValue;        // the value: offset into the tree's text...
    uint32_t iValueSize;    // ...and its length
};
struct MVE_DEFINITION_BRANCH : MVE_DEFINITION_NODE {
    MVE_DEFINITION_NODE *pFirst;   // first child
    uint32_t iKey, iKeySize;       // the key: offset into the tree's text and length
};
static_assert(sizeof(MVE_DEFINITION_NODE) == 16 && sizeof(MVE_DEFINITION_BRANCH) == 32, "list items must stay small");
enum : uintptr_t { MVE_DEFINITION_IS_BRANCH = 1, MVE_DEFINITION_IS_BLOCK = 2, MVE_DEFINITION_FLAGS = 7 };

// A section loader plugged into the dispatch: (ID, section node, name or folder); non-zero when
// something was loaded. The texture, material and sound modules set theirs at start-up; a null
// hook means that kind of section is not loaded.
typedef int (*MVE_DEFINITION_LOADER)(int id, MVE_DEFINITION_NODE *node, const char *text);

struct MVE_DEFINITION_STATE {
    std::list<MVE_DEFINITION_TREE *> Roots;     // every parsed tree (owned)
    MVE_DEFINITION_NODE *pLastRoot = nullptr;   // file read last (null once freed)
    std::string sLastFile, sLastFolder;         // its name and its folder ('/' and one trailing '/')
    std::string sLastFailure;                   // why the last file read gave no tree (a "Fail: ..." row)
    MVE_DEFINITION_LOADER pLoadTexture = nullptr;   // (ID, node, section value as name)
    MVE_DEFINITION_LOADER pLoadMaterial = nullptr;  // (ID, node, section value as name)
    MVE_DEFINITION_LOADER pLoadSound = nullptr;     // (ID, node, "" as folder)
    MVE_DEFINITION_STATE() = default;
    MVE_DEFINITION_STATE(const MVE_DEFINITION_STATE &) = delete;
    MVE_DEFINITION_STATE &operator=(const MVE_DEFINITION_STATE &) = delete;
    ~MVE_DEFINITION_STATE();                    // frees every tree still held
};

enum : int {
    // Deepest nesting of blocks and lists the parser follows; a deeper block or list is skipped
    // (red row), the tree is marked incomplete and the entries after it are read.
    MVE_DEFINITION_MAX_DEPTH = 1000,
    // Longest line a definition or OBJ file may hold; a longer one refuses the file.
    MVE_DEFINITION_MAX_LINE = 16 << 20,
};

// Lets a loader take the children of chosen nodes one by one while the text is parsed, instead
// of keeping them in the tree: a mesh of a million vertices then never exists as nodes.
struct MVE_DEFINITION_SINK {
    // A node was added under parent. True hands this node's children to Take instead of keeping them.
    virtual bool Added(const MVE_DEFINITION_NODE *parent, const MVE_DEFINITION_NODE *node) = 0;
    // A complete child (with its subtree) of a handed-over node; it is gone after the call.
    virtual void Take(const MVE_DEFINITION_NODE *parent, const MVE_DEFINITION_NODE *child) = 0;
    virtual ~MVE_DEFINITION_SINK() = default;
};

// Tree building (the plain C forms are in MVE.h). A null root means the file could not be read:
// MVE_Engine().Definition.sLastFailure then holds the red row to log.
MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path, MVE_DEFINITION_SINK *sink,
                                            MVE_FILE_KIND kind = MVE_FILE_DEFINITION);
MVE_DEFINITION_NODE *MVE_ParseDefinitionText(std::string_view text, const std::string &folder);
// 1 when no block of the tree was skipped at the nesting limit (loaders that need whole files check it).
int MVE_IsDefinitionComplete(const MVE_DEFINITION_NODE *node);

// Node contents without copies (empty for a null node): MVE_DefinitionKey, MVE_DefinitionValue above.
inline MVE_DEFINITION_NODE *MVE_DefinitionFirst(const MVE_DEFINITION_NODE *node) {
    return node && (node->iNext & MVE_DEFINITION_IS_BRANCH) ? static_cast<const MVE_DEFINITION_BRANCH *>(node)->pFirst : nullptr;
}
inline MVE_DEFINITION_NODE *MVE_DefinitionSibling(const MVE_DEFINITION_NODE *node) {
    return node ? reinterpret_cast<MVE_DEFINITION_NODE *>(node->iNext & ~uintptr_t(MVE_DEFINITION_FLAGS)) : nullptr;
}

// Integer keys. The readers never wrap a number that does not fit in 32 bits (decimal beyond the
// int range, '$' or '%' beyond 32 bits): it reads as the largest or smallest integer. Loaders
// refuse it with MVE_ReadDefinitionIntegerKey: a red row "Fail: <key> does not fit in 32 bits:
// <text>!" under their procedure, the default as result and *refused set.
bool MVE_DefinitionIntegerFits(const MVE_DEFINITION_NODE *node);  // null nodes and keywords fit
int MVE_ReadDefinitionIntegerKey(const MVE_DEFINITION_NODE *node, int defaultValue, const char *key,
                                 const char *procedure, bool *refused = nullptr);

// Navigation: MVE.h. Paths separate keys with '\' only; a leading '\' makes the path direct.
// MVE_ReadDefinitionString returns a C text: compare it as std::string or std::string_view.

// Folders and paths. Definition files are written with '\' separators; these give paths that open here.
std::string MVE_GetDefinitionFolder(const MVE_DEFINITION_NODE *node);
std::string MVE_GetDefinitionPath(const MVE_DEFINITION_NODE *node, const std::string &file);  // folder of the tree + file
std::string MVE_NativePath(std::string path);                                                 // every '\' becomes '/'

// Section dispatch: Sound, Texture and Material sections to their loader hooks, by mask. Returns
// how many sections a loader took (gave a non-zero result). `loaded` (when given) is told every
// section handed to a loader and the handle it gave (0 when it failed).
int MVE_LoadDefinitions(MVE_DEFINITION_NODE *node, int mask,
                        const std::function<void(MVE_DEFINITION_NODE *section, int handle)> *loaded = nullptr);
// The sections below node (Texture, Material, Sound; with `emitters` ParticleEmitter too), in file
// order, without looking inside them. The visitor may free the section it is given.
void MVE_ForEachDefinitionSection(MVE_DEFINITION_NODE *node, bool emitters,
                                  const std::function<void(MVE_DEFINITION_NODE *)> &visit);
// The mask bit of a section key (MVE_DEFINITION_*), 0 for any other key.
int MVE_DefinitionSectionBit(std::string_view key);
// The loader hook of a section key's kind (texture, material, sound), null for any other.
MVE_DEFINITION_LOADER MVE_DefinitionLoader(std::string_view key);
// MVE_ParseDefinitionFiles is public (MVE.h).

// ---------------------------------------------------------------- inside the module

struct MVE_DEFINITION_TREE {
    char *pBase = nullptr;           // owned text allocation
    const char *pText = nullptr;     // the decoded text (inside pBase)
    size_t iText = 0;
    std::string sFolder;             // '/'-separated, one trailing '/'
    std::string sFile;               // the file it was read from ('/'-separated); empty for a text
    int iFileKind = MVE_FILE_DEFINITION;   // how that file was opened
    MVE_DEFINITION_BRANCH *pRoot = nullptr;
    int bCut = 0;                    // a block or list was skipped at the nesting limit
    std::list<MVE_DEFINITION_TREE *>::iterator itRoot;
    // Arena: chunks aligned to their largest size, each starting with a pointer to this tree.
    std::vector<char *> Chunks;
    char *pTop = nullptr, *pEnd = nullptr;
    char *pSpare = nullptr;          // one emptied chunk kept for reuse
    // Indexes, built on first use and dropped when the node's children change.
    std::unordered_map<const MVE_DEFINITION_NODE *, std::unordered_map<std::string_view, MVE_DEFINITION_NODE *>> KeyIndex;
    std::unordered_map<const MVE_DEFINITION_NODE *, std::vector<MVE_DEFINITION_NODE *>> Positions;
    std::unordered_map<const void *, std::string> CText;   // NUL-terminated copies handed to C callers

    struct Mark { size_t iChunks; char *pTop, *pEnd; };
    void *Allocate(size_t bytes);
    Mark Save() const { return {Chunks.size(), pTop, pEnd}; }
    void Rewind(const Mark &mark);
    MVE_DEFINITION_TREE() = default;
    MVE_DEFINITION_TREE(const MVE_DEFINITION_TREE &) = delete;
    MVE_DEFINITION_TREE &operator=(const MVE_DEFINITION_TREE &) = delete;
    ~MVE_DEFINITION_TREE();
};

MVE_DEFINITION_TREE *MVE_DefinitionTreeOf(const MVE_DEFINITION_NODE *node);
// Makes a tree over an owned text (base from malloc, freed with the tree) and parses it.
MVE_DEFINITION_NODE *MVE_ParseDefinitionBuffer(char *base, const char *text, size_t size, const std::string &folder,
                                               MVE_DEFINITION_SINK *sink);
