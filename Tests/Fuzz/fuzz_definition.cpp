// The definition parser and every typed reader: a file read from disk (byte-order marks, line
// ends, comments, nesting) and the same bytes parsed as text; every node of the tree is then read
// with each reader and used as a search path.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "FuzzSupport.h"
#include "MVE.h"
#include <cstring>
#include <string>

namespace fuzz_definition {

namespace {

int g_budget = 0;  // nodes visited per input: a flat file of 100 000 entries must not time out

void Visit(MVE_DEFINITION_NODE *root, MVE_DEFINITION_NODE *node, int depth) {
    if (!node || depth > 64) return;
    const int count = MVE_CountDefinitionNodes(node, "");
    MVE_FUZZ_REQUIRE(count >= 0);
    MVE_GetDefinitionNode(node, -1);
    MVE_GetDefinitionNode(node, count);  // one past the end: null
    int seen = 0;
    for (MVE_DEFINITION_NODE *child = MVE_GetDefinitionNode(node, 0); child; child = MVE_NextDefinitionNode(child)) {
        if (--g_budget < 0) return;
        ++seen;
        const char *key = MVE_GetDefinitionKey(child);
        const char *value = MVE_GetDefinitionValue(child);
        MVE_FUZZ_REQUIRE(key && value);
        // Texts are read to their end: a view past the tree's buffer shows up here.
        volatile size_t lengths = std::strlen(key) + std::strlen(value);
        (void)lengths;
        MVE_ReadDefinitionString(child, "");
        MVE_ReadDefinitionInteger(child, 7);
        MVE_ReadDefinitionFloat(child, 0.5f);
        v4f v = {1, 2, 3, 4};
        MVE_ReadDefinitionVector(child, &v, 0, 0, 0, MVE_IGNORE_F);
        MVE_ReadDefinitionVector(child, &v, 1, 1, 1, 1);
        MVE_ReadDefinitionColor(child, &v, 0xFF00FF00u);
        MVE_ReadDefinitionColor(child, nullptr, 0);
        float range[2];
        MVE_ReadDefinitionRange(child, range, 0.0f, MVE_IGNORE_F);
        MVE_ReadDefinitionRange(child, range, -1.0f, 1.0f);
        MVE_IsDefinitionBlock(child);
        MVE_CountDefinitionNodes(node, key);
        // Keys and values as search paths, direct and anywhere below, with and without a value.
        if (g_budget % 8 == 0) {
            MVE_FindDefinitionNode(root, key, "", 0);
            MVE_FindDefinitionNode(root, value, key, 1);
            const std::string direct = std::string("\\") + key;
            MVE_FindDefinitionNode(node, direct.c_str(), value, 0);
        }
        Visit(root, child, depth + 1);
    }
    MVE_FUZZ_REQUIRE(g_budget < 0 || seen == count);
}

}  // namespace

void Init() {}

int Run(const uint8_t *data, size_t size) {
    mvefuzz::WriteInput("d.mvd", data, size);
    g_budget = 20000;
    if (MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile("d.mvd")) {
        Visit(root, root, 0);
        MVE_FreeDefinition();
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    g_budget = 20000;
    if (MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText(text.c_str(), "Folder/")) {
        Visit(root, root, 0);
        // Freeing a subtree first, then the rest, must leave nothing reachable behind.
        if (MVE_DEFINITION_NODE *first = MVE_GetDefinitionNode(root, 0)) MVE_FreeDefinitionNode(first, 0);
        MVE_FreeDefinitionNode(root, 1);
    }
    mvefuzz::NoTreeLeft();
    return 0;
}

}  // namespace fuzz_definition

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_definition::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_definition::Run(data, size); }
#endif
