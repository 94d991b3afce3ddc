// Definition trees: finding, counting and stepping through nodes, folders, and freeing. Main thread.
// A freed node leaves no pointer to it behind: not in its parent's children or key index, not in
// the list of roots, not as the file read last.
#include "Definition/Definition.h"
#include "Core/Engine.h"
#include <algorithm>
#include <cstring>

MVE_DEFINITION_NODE::~MVE_DEFINITION_NODE() {
    for (MVE_DEFINITION_NODE *child : Children) delete child;
}

MVE_DEFINITION_STATE::~MVE_DEFINITION_STATE() {
    for (MVE_DEFINITION_NODE *root : Roots) delete root;
}

static bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

static MVE_DEFINITION_NODE *Find(MVE_DEFINITION_NODE *node, std::string_view path, std::string_view value) {
    if (!node) return nullptr;
    bool direct = !path.empty() && IsSeparator(path[0]);
    if (direct) path.remove_prefix(1);
    size_t cut = 0;
    while (cut < path.size() && !IsSeparator(path[cut])) ++cut;
    std::string_view component = path.substr(0, cut), rest = path.substr(cut);
    if (component.empty() && (value.empty() || value == node->sValue)) return node;
    if (direct) {
        if (component.empty()) return nullptr;
        auto it = node->KeyIndex.find(std::string(component));
        if (it != node->KeyIndex.end()) return Find(it->second, rest, value);
        return nullptr;
    }
    if (node->sKey == component) {
        if (value.empty() || value == node->sValue) return node;
    }
    for (MVE_DEFINITION_NODE *child : node->Children) {
        MVE_DEFINITION_NODE *found = child->sKey == component ? Find(child, rest, value) : Find(child, path, value);
        if (found) return found;
    }
    return nullptr;
}

MVE_DEFINITION_NODE *MVE_FindDefinitionNode(MVE_DEFINITION_NODE *node, const char *path, const char *value, int fallBack) {
    if (!node) return nullptr;
    MVE_DEFINITION_NODE *found = Find(node, path ? path : "", value ? value : "");
    return found ? found : (fallBack ? node : nullptr);
}

int MVE_CountDefinitionNodes(const MVE_DEFINITION_NODE *node, const char *key) {
    if (!node) return 0;
    if (!key || !*key) return (int)node->Children.size();
    return (int)std::count_if(node->Children.begin(), node->Children.end(),
                              [key](const MVE_DEFINITION_NODE *child) { return child->sKey == key; });
}

MVE_DEFINITION_NODE *MVE_GetDefinitionNode(MVE_DEFINITION_NODE *node, int index) {
    if (!node) return nullptr;
    long long count = (long long)node->Children.size(), i = index < 0 ? count + index : index;
    return i >= 0 && i < count ? node->Children[(size_t)i] : nullptr;
}

// Position of a child in its parent, trusting iIndex only when it still holds.
static size_t IndexInParent(const MVE_DEFINITION_NODE *node) {
    const std::vector<MVE_DEFINITION_NODE *> &siblings = node->Parent->Children;
    size_t i = (size_t)node->iIndex;
    if (i < siblings.size() && siblings[i] == node) return i;
    return (size_t)(std::find(siblings.begin(), siblings.end(), node) - siblings.begin());
}

MVE_DEFINITION_NODE *MVE_NextDefinitionNode(MVE_DEFINITION_NODE *node) {
    if (!node || !node->Parent) return nullptr;
    size_t i = IndexInParent(node) + 1;
    return i < node->Parent->Children.size() ? node->Parent->Children[i] : nullptr;
}

std::string MVE_GetDefinitionFolder(const MVE_DEFINITION_NODE *node) {
    for (; node; node = node->Parent)
        if (!node->sFolder.empty()) return node->sFolder;
    return std::string();
}

std::string MVE_NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string MVE_GetDefinitionPath(const MVE_DEFINITION_NODE *node, const std::string &file) {
    if (!file.empty() && IsSeparator(file[0])) return MVE_NativePath(file);   // already absolute
    return MVE_NativePath(MVE_GetDefinitionFolder(node) + file);
}

// Drops a root from the engine's records without freeing it.
static void ForgetRoot(MVE_DEFINITION_NODE *root) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    d.Roots.remove(root);
    if (d.pLastRoot == root) d.pLastRoot = nullptr;
}

MVE_DEFINITION_NODE *MVE_FreeDefinitionNode(MVE_DEFINITION_NODE *node, int wholeTree) {
    if (!node) return nullptr;
    if (wholeTree)
        while (node->Parent) node = node->Parent;
    MVE_DEFINITION_NODE *parent = node->Parent;
    if (!parent) {
        ForgetRoot(node);
        delete node;
        return nullptr;
    }
    std::vector<MVE_DEFINITION_NODE *> &siblings = parent->Children;
    size_t i = IndexInParent(node);
    if (i < siblings.size()) {
        siblings.erase(siblings.begin() + (ptrdiff_t)i);
        for (size_t k = i; k < siblings.size(); ++k) siblings[k]->iIndex = (int)k;
    }
    // The key now belongs to the next child that carries it, as if the freed one had never been.
    auto it = parent->KeyIndex.find(node->sKey);
    if (it != parent->KeyIndex.end() && it->second == node) {
        auto next = std::find_if(siblings.begin() + (ptrdiff_t)std::min(i, siblings.size()), siblings.end(),
                                 [node](const MVE_DEFINITION_NODE *c) { return c->sKey == node->sKey; });
        if (next != siblings.end())
            it->second = *next;
        else
            parent->KeyIndex.erase(it);
    }
    std::erase_if(parent->KeyIndex, [node](const auto &entry) { return entry.second == node; });
    delete node;
    return parent;
}

void MVE_FreeDefinition(void) {
    MVE_DEFINITION_STATE &d = MVE_Engine().Definition;
    if (d.pLastRoot) MVE_FreeDefinitionNode(d.pLastRoot, 1);
    d.pLastRoot = nullptr;
    d.sLastFile.clear();
    d.sLastFolder.clear();
}
