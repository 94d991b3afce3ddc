// Definition trees: the arena, finding, counting and stepping through nodes, folders, and freeing.
// Main thread. A freed node leaves no pointer to it behind: not in its parent's children or
// indexes, not in the list of roots, not as the file read last.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Chunks start at multiples of kAlign, so any node finds its tree from its own address. The first
// chunk of a tree is small (most files are), later ones double up to kAlign.
constexpr size_t kAlign = size_t(1) << 18, kFirstChunk = 4096;

struct ChunkHead {
    MVE_DEFINITION_TREE *pTree;
    size_t iSize;
};

// Above this many children a lookup by key or position builds an index instead of walking.
constexpr size_t kIndexAbove = 8;

inline bool IsBranch(const MVE_DEFINITION_NODE *node) { return node->iNext & MVE_DEFINITION_IS_BRANCH; }
inline const MVE_DEFINITION_BRANCH *AsBranch(const MVE_DEFINITION_NODE *node) {
    return static_cast<const MVE_DEFINITION_BRANCH *>(node);
}

}  // namespace

void *MVE_DEFINITION_TREE::Allocate(size_t bytes) {
    if ((size_t)(pEnd - pTop) < bytes) {
        size_t size = Chunks.empty() ? kFirstChunk : std::min(kAlign, reinterpret_cast<ChunkHead *>(Chunks.back())->iSize * 2);
        char *chunk = nullptr;
        if (pSpare && reinterpret_cast<ChunkHead *>(pSpare)->iSize >= size) {
            chunk = pSpare;
            size = reinterpret_cast<ChunkHead *>(pSpare)->iSize;
            pSpare = nullptr;
        } else {
            void *p = nullptr;
            if (posix_memalign(&p, kAlign, size) != 0) throw std::bad_alloc();
            chunk = static_cast<char *>(p);
        }
        ChunkHead *head = reinterpret_cast<ChunkHead *>(chunk);
        head->pTree = this;
        head->iSize = size;
        Chunks.push_back(chunk);
        pTop = chunk + sizeof(ChunkHead);
        pEnd = chunk + size;
    }
    void *p = pTop;
    pTop += bytes;
    return p;
}

void MVE_DEFINITION_TREE::Rewind(const Mark &mark) {
    while (Chunks.size() > mark.iChunks) {
        char *chunk = Chunks.back();
        Chunks.pop_back();
        if (!pSpare) pSpare = chunk;
        else free(chunk);
    }
    pTop = mark.pTop;
    pEnd = mark.pEnd;
}

MVE_DEFINITION_TREE::~MVE_DEFINITION_TREE() {
    for (char *chunk : Chunks) free(chunk);
    free(pSpare);
    free(pBase);
}

MVE_DEFINITION_STATE::~MVE_DEFINITION_STATE() {
    for (MVE_DEFINITION_TREE *tree : Roots) delete tree;
}

MVE_DEFINITION_TREE *MVE_DefinitionTreeOf(const MVE_DEFINITION_NODE *node) {
    if (!node) return nullptr;
    return reinterpret_cast<const ChunkHead *>(reinterpret_cast<uintptr_t>(node) & ~(kAlign - 1))->pTree;
}

std::string_view MVE_DefinitionKey(const MVE_DEFINITION_NODE *node) {
    if (!node || !IsBranch(node)) return std::string_view();
    const MVE_DEFINITION_BRANCH *b = AsBranch(node);
    return std::string_view(MVE_DefinitionTreeOf(node)->pText + b->iKey, b->iKeySize);
}

std::string_view MVE_DefinitionValue(const MVE_DEFINITION_NODE *node) {
    if (!node) return std::string_view();
    return std::string_view(MVE_DefinitionTreeOf(node)->pText + node->iValue, node->iValueSize);
}

int MVE_IsDefinitionComplete(const MVE_DEFINITION_NODE *node) {
    const MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    return tree && !tree->bCut;
}

// A NUL-terminated copy that lives as long as the tree (C callers need one; the text has none).
static const char *CText(const MVE_DEFINITION_NODE *node, bool key) {
    std::string_view text = key ? MVE_DefinitionKey(node) : MVE_DefinitionValue(node);
    MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    if (text.empty() || !tree) return "";
    if (text.data()[text.size()] == 0) return text.data();   // every text ends in a NUL of its own
    auto [it, added] = tree->CText.try_emplace(reinterpret_cast<const char *>(node) + (key ? 1 : 0));
    if (added) it->second.assign(text);
    return it->second.c_str();
}

extern "C" const char *MVE_GetDefinitionKey(const MVE_DEFINITION_NODE *node) { return node ? CText(node, true) : ""; }
extern "C" const char *MVE_GetDefinitionValue(const MVE_DEFINITION_NODE *node) { return node ? CText(node, false) : ""; }
extern "C" int MVE_IsDefinitionBlock(const MVE_DEFINITION_NODE *node) {
    return node && (node->iNext & MVE_DEFINITION_IS_BLOCK) ? 1 : 0;
}

extern "C" const char *MVE_ReadDefinitionString(const MVE_DEFINITION_NODE *node, const char *defaultValue) {
    if (!node) return defaultValue ? defaultValue : "";
    return CText(node, false);
}

// ---------------------------------------------------------------- indexes

static size_t CountChildren(const MVE_DEFINITION_NODE *node) {
    size_t n = 0;
    for (const MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_DefinitionSibling(c)) ++n;
    return n;
}

static const std::vector<MVE_DEFINITION_NODE *> &Positions(const MVE_DEFINITION_NODE *node) {
    MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    auto [it, added] = tree->Positions.try_emplace(node);
    if (added)
        for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_DefinitionSibling(c)) it->second.push_back(c);
    return it->second;
}

// The first child with this key: a walk over few children, an index over many.
static MVE_DEFINITION_NODE *ChildByKey(const MVE_DEFINITION_NODE *node, std::string_view key) {
    MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    auto found = tree->KeyIndex.find(node);
    if (found == tree->KeyIndex.end()) {
        size_t n = 0;
        for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_DefinitionSibling(c), ++n) {
            if (n >= kIndexAbove) break;
            if (MVE_DefinitionKey(c) == key) return c;
        }
        if (n < kIndexAbove) return nullptr;
        found = tree->KeyIndex.try_emplace(node).first;
        for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_DefinitionSibling(c)) {
            std::string_view k = MVE_DefinitionKey(c);
            if (!k.empty()) found->second.try_emplace(k, c);
        }
    }
    auto it = found->second.find(key);
    return it == found->second.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- finding

static MVE_DEFINITION_NODE *Find(MVE_DEFINITION_NODE *node, std::string_view path, std::string_view value) {
    if (!node) return nullptr;
    bool direct = !path.empty() && path[0] == '\\';
    if (direct) path.remove_prefix(1);
    size_t cut = path.find('\\');
    if (cut == std::string_view::npos) cut = path.size();
    std::string_view component = path.substr(0, cut), rest = path.substr(cut);
    if (component.empty() && (value.empty() || value == MVE_DefinitionValue(node))) return node;
    if (direct) {
        if (component.empty()) return nullptr;
        MVE_DEFINITION_NODE *child = ChildByKey(node, component);
        return child ? Find(child, rest, value) : nullptr;
    }
    if (MVE_DefinitionKey(node) == component) {
        if (value.empty() || value == MVE_DefinitionValue(node)) return node;
    }
    for (MVE_DEFINITION_NODE *child = MVE_DefinitionFirst(node); child; child = MVE_DefinitionSibling(child)) {
        MVE_DEFINITION_NODE *found = MVE_DefinitionKey(child) == component ? Find(child, rest, value) : Find(child, path, value);
        if (found) return found;
    }
    return nullptr;
}

extern "C" MVE_DEFINITION_NODE *MVE_FindDefinitionNode(MVE_DEFINITION_NODE *node, const char *path, const char *value,
                                                       int fallBack) {
    if (!node) return nullptr;
    MVE_DEFINITION_NODE *found = Find(node, path ? path : "", value ? value : "");
    return found ? found : (fallBack ? node : nullptr);
}

extern "C" int MVE_CountDefinitionNodes(const MVE_DEFINITION_NODE *node, const char *key) {
    if (!node) return 0;
    if (!key || !*key) return (int)std::min<size_t>(CountChildren(node), INT32_MAX);
    std::string_view k(key);
    int n = 0;
    for (const MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node); c; c = MVE_DefinitionSibling(c)) n += MVE_DefinitionKey(c) == k;
    return n;
}

extern "C" MVE_DEFINITION_NODE *MVE_GetDefinitionNode(MVE_DEFINITION_NODE *node, int index) {
    if (!node) return nullptr;
    if (index >= 0 && (size_t)index < kIndexAbove) {
        MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(node);
        for (int i = 0; c && i < index; ++i) c = MVE_DefinitionSibling(c);
        return c;
    }
    const std::vector<MVE_DEFINITION_NODE *> &all = Positions(node);
    long long count = (long long)all.size(), i = index < 0 ? count + index : index;
    return i >= 0 && i < count ? all[(size_t)i] : nullptr;
}

extern "C" MVE_DEFINITION_NODE *MVE_NextDefinitionNode(MVE_DEFINITION_NODE *node) { return MVE_DefinitionSibling(node); }

// ---------------------------------------------------------------- folders and paths

std::string MVE_GetDefinitionFolder(const MVE_DEFINITION_NODE *node) {
    const MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    return tree ? tree->sFolder : std::string();
}

std::string MVE_NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string MVE_GetDefinitionPath(const MVE_DEFINITION_NODE *node, const std::string &file) {
    if (!file.empty() && (file[0] == '\\' || file[0] == '/')) return MVE_NativePath(file);   // already absolute
    return MVE_NativePath(MVE_GetDefinitionFolder(node) + file);
}

// ---------------------------------------------------------------- freeing

// The parent of a node and the sibling before it, found by a walk from the root (nodes keep no
// parent link: it would cost every list item a third of its size, and freeing single nodes is rare).
static bool FindParent(MVE_DEFINITION_NODE *from, const MVE_DEFINITION_NODE *node, MVE_DEFINITION_NODE *&parent,
                       MVE_DEFINITION_NODE *&before) {
    std::vector<MVE_DEFINITION_NODE *> stack{from};
    while (!stack.empty()) {
        MVE_DEFINITION_NODE *p = stack.back();
        stack.pop_back();
        MVE_DEFINITION_NODE *prev = nullptr;
        for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(p); c; prev = c, c = MVE_DefinitionSibling(c)) {
            if (c == node) {
                parent = p;
                before = prev;
                return true;
            }
            if (MVE_DefinitionFirst(c)) stack.push_back(c);
        }
    }
    return false;
}

static void FreeTree(MVE_DEFINITION_TREE *tree) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    if (d.pLastRoot == tree->pRoot) d.pLastRoot = nullptr;
    d.Roots.erase(tree->itRoot);
    delete tree;
}

extern "C" MVE_DEFINITION_NODE *MVE_FreeDefinitionNode(MVE_DEFINITION_NODE *node, int wholeTree) {
    MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(node);
    if (!tree) return nullptr;
    if (wholeTree || node == tree->pRoot) {
        FreeTree(tree);
        return nullptr;
    }
    MVE_DEFINITION_NODE *parent = nullptr, *before = nullptr;
    if (!FindParent(tree->pRoot, node, parent, before)) return nullptr;   // already unlinked
    uintptr_t next = node->iNext & ~uintptr_t(MVE_DEFINITION_FLAGS);
    if (before) before->iNext = (before->iNext & MVE_DEFINITION_FLAGS) | next;
    else static_cast<MVE_DEFINITION_BRANCH *>(parent)->pFirst = reinterpret_cast<MVE_DEFINITION_NODE *>(next);
    // The subtree's memory goes with the tree; its indexes and copies go now. The parent's
    // indexes are rebuilt on their next use, so a later child with the same key takes it over.
    tree->KeyIndex.erase(parent);
    tree->Positions.erase(parent);
    std::vector<MVE_DEFINITION_NODE *> stack{node};
    while (!stack.empty()) {
        MVE_DEFINITION_NODE *n = stack.back();
        stack.pop_back();
        tree->KeyIndex.erase(n);
        tree->Positions.erase(n);
        tree->CText.erase(reinterpret_cast<const char *>(n));
        tree->CText.erase(reinterpret_cast<const char *>(n) + 1);
        for (MVE_DEFINITION_NODE *c = MVE_DefinitionFirst(n); c; c = MVE_DefinitionSibling(c)) stack.push_back(c);
    }
    node->iNext &= MVE_DEFINITION_FLAGS;
    return parent;
}

extern "C" void MVE_FreeDefinition(void) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    if (d.pLastRoot) MVE_FreeDefinitionNode(d.pLastRoot, 1);
    d.pLastRoot = nullptr;
    d.sLastFile.clear();
    d.sLastFolder.clear();
}
