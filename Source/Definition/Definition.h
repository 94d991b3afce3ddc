// Definition files: the shared key/value syntax of every text resource, parsed into trees of
// nodes, searched by paths and read through typed readers; and the folder walk that hands
// Texture, Material and Sound sections to their loaders. Main thread only. Text is UTF-8.
#pragma once
#include "MVE.h"
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

struct MVE_DEFINITION_NODE {
    MVE_DEFINITION_NODE *Parent = nullptr;
    int iBlock = 0;                 // 1 when children came from a block or a list (and on roots)
    std::string sKey;
    std::string sValue;
    std::string sFolder;            // roots only: folder of the file, with one trailing separator
    std::vector<MVE_DEFINITION_NODE *> Children;                       // owned, file order
    std::unordered_map<std::string, MVE_DEFINITION_NODE *> KeyIndex;  // first child per key
    ~MVE_DEFINITION_NODE();
};

struct MVE_DEFINITION_STATE {
    std::list<MVE_DEFINITION_NODE *> Roots;     // every parsed tree (owned)
    MVE_DEFINITION_NODE *pLastRoot = nullptr;   // file read last
    std::string sLastFile, sLastFolder;
};

enum : int { MVE_DEFINITION_TEXTURE = 1, MVE_DEFINITION_MATERIAL = 2, MVE_DEFINITION_SOUND = 8 };

MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path);
MVE_DEFINITION_NODE *MVE_ParseDefinitionText(const std::string &text, const std::string &folder);
MVE_DEFINITION_NODE *MVE_FindDefinitionNode(MVE_DEFINITION_NODE *node, const char *path, const char *value, int fallBack);
int MVE_CountDefinitionNodes(const MVE_DEFINITION_NODE *node, const char *key);
MVE_DEFINITION_NODE *MVE_GetDefinitionNode(MVE_DEFINITION_NODE *node, int index);
MVE_DEFINITION_NODE *MVE_NextDefinitionNode(MVE_DEFINITION_NODE *node);
std::string MVE_ReadDefinitionString(const MVE_DEFINITION_NODE *node, const char *defaultValue);
int MVE_ReadDefinitionInteger(const MVE_DEFINITION_NODE *node, int defaultValue);
float MVE_ReadDefinitionFloat(const MVE_DEFINITION_NODE *node, float defaultValue);
v4f *MVE_ReadDefinitionVector(const MVE_DEFINITION_NODE *node, v4f *out, float x, float y, float z, float w);
uint32_t MVE_ReadDefinitionColor(const MVE_DEFINITION_NODE *node, v4f *out, uint32_t defaultColor);
float *MVE_ReadDefinitionRange(const MVE_DEFINITION_NODE *node, float out[2], float minimum, float maximum);
std::string MVE_GetDefinitionFolder(const MVE_DEFINITION_NODE *node);
MVE_DEFINITION_NODE *MVE_FreeDefinitionNode(MVE_DEFINITION_NODE *node, int wholeTree);
void MVE_FreeDefinition(void);
void MVE_LoadDefinitions(MVE_DEFINITION_NODE *node, int mask);
// MVE_ParseDefinitionFiles is public (MVE.h).
