// Definition files: the shared key/value syntax of every text resource, parsed into trees of
// nodes, searched by paths and read through typed readers; and the folder walk that hands
// Texture, Material and Sound sections to their loaders. Main thread only. Text is UTF-8.
// Nothing here may read past a text, crash on a broken file or keep a freed tree reachable.
#pragma once
#include "MVE.h"
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct MVE_DEFINITION_NODE {
    MVE_DEFINITION_NODE *Parent = nullptr;
    int iBlock = 0;                 // 1 when children came from a block or a list (and on roots)
    std::string sKey;
    std::string sValue;
    std::string sFolder;            // roots only: folder of the file, '/'-separated, one trailing '/'
    std::vector<MVE_DEFINITION_NODE *> Children;                       // owned, file order
    std::unordered_map<std::string, MVE_DEFINITION_NODE *> KeyIndex;  // first child per key
    int iIndex = 0;                 // position in Parent->Children, so the next sibling is O(1)
    MVE_DEFINITION_NODE() = default;
    MVE_DEFINITION_NODE(const MVE_DEFINITION_NODE &) = delete;
    MVE_DEFINITION_NODE &operator=(const MVE_DEFINITION_NODE &) = delete;
    ~MVE_DEFINITION_NODE();
};

// A section loader plugged into the dispatch: (ID, section node, name or folder); non-zero when
// something was loaded. The texture, material and sound modules set theirs at start-up; a null
// hook means that kind of section is not loaded.
typedef int (*MVE_DEFINITION_LOADER)(int id, MVE_DEFINITION_NODE *node, const char *text);

struct MVE_DEFINITION_STATE {
    std::list<MVE_DEFINITION_NODE *> Roots;     // every parsed tree (owned)
    MVE_DEFINITION_NODE *pLastRoot = nullptr;   // file read last (null once freed)
    std::string sLastFile, sLastFolder;         // its name and its folder ('/' and one trailing '/')
    MVE_DEFINITION_LOADER pLoadTexture = nullptr;   // (ID, node, section value as name)
    MVE_DEFINITION_LOADER pLoadMaterial = nullptr;  // (ID, node, section value as name)
    MVE_DEFINITION_LOADER pLoadSound = nullptr;     // (ID, node, "" as folder)
    MVE_DEFINITION_STATE() = default;
    MVE_DEFINITION_STATE(const MVE_DEFINITION_STATE &) = delete;
    MVE_DEFINITION_STATE &operator=(const MVE_DEFINITION_STATE &) = delete;
    ~MVE_DEFINITION_STATE();                    // frees every tree still held
};

// Deepest nesting of blocks and lists the parser follows; the text beyond is dropped with a red row.
enum : int { MVE_DEFINITION_MAX_DEPTH = 1000 };

// Section mask bits (MVE_DEFINITION_TEXTURE, _MATERIAL, _SOUND) are public, in MVE.h.

// Tree building. A null root means the file could not be read.
MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *path);
MVE_DEFINITION_NODE *MVE_ParseDefinitionText(std::string_view text, const std::string &folder);

// Navigation. Every procedure accepts a null node and then yields null, 0 or its default.
// Paths separate keys with '\' or '/'; a leading separator makes the path direct.
MVE_DEFINITION_NODE *MVE_FindDefinitionNode(MVE_DEFINITION_NODE *node, const char *path, const char *value, int fallBack);
int MVE_CountDefinitionNodes(const MVE_DEFINITION_NODE *node, const char *key);
MVE_DEFINITION_NODE *MVE_GetDefinitionNode(MVE_DEFINITION_NODE *node, int index);
MVE_DEFINITION_NODE *MVE_NextDefinitionNode(MVE_DEFINITION_NODE *node);

// Typed readers: a null node gives the default.
std::string MVE_ReadDefinitionString(const MVE_DEFINITION_NODE *node, const char *defaultValue);
int MVE_ReadDefinitionInteger(const MVE_DEFINITION_NODE *node, int defaultValue);
float MVE_ReadDefinitionFloat(const MVE_DEFINITION_NODE *node, float defaultValue);
v4f *MVE_ReadDefinitionVector(const MVE_DEFINITION_NODE *node, v4f *out, float x, float y, float z, float w);
uint32_t MVE_ReadDefinitionColor(const MVE_DEFINITION_NODE *node, v4f *out, uint32_t defaultColor);
float *MVE_ReadDefinitionRange(const MVE_DEFINITION_NODE *node, float out[2], float minimum, float maximum);

// Folders and paths. Definition files are written with '\' separators; these give paths that open here.
std::string MVE_GetDefinitionFolder(const MVE_DEFINITION_NODE *node);
std::string MVE_GetDefinitionPath(const MVE_DEFINITION_NODE *node, const std::string &file);  // folder of the tree + file
std::string MVE_NativePath(std::string path);                                                 // every '\' becomes '/'

// Freeing. Returns the former parent (null for a root).
MVE_DEFINITION_NODE *MVE_FreeDefinitionNode(MVE_DEFINITION_NODE *node, int wholeTree);
void MVE_FreeDefinition(void);

// Section dispatch: Sound, Texture and Material sections to their loader hooks, by mask.
void MVE_LoadDefinitions(MVE_DEFINITION_NODE *node, int mask);
// MVE_ParseDefinitionFiles is public (MVE.h).
