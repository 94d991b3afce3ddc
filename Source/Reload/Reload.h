// Live reload: which resource was made from which files, the watcher's events settled into one reload
// per save, and the reloads, run on the main thread at the end of a frame (MVE_FlipBuffers). Main
// thread only; the file door's observer runs on the opening thread and touches only that thread's
// scopes. A reload never frees or re-creates a record: new content is swapped into the record that
// is there, so IDs, handles, names and every pointer to it stay.
#pragma once
#include "Platform/Platform.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct MVE_DEFINITION_NODE;

// What a binding reloads (the registry of its handle, and the word its log rows use).
enum MVE_RELOAD_KIND : int {
    MVE_RELOAD_DEFINITION = 0,   // a definition or particle-emitter file: its sections, by name
    MVE_RELOAD_TEXTURE,          // an image file, cube-map faces, or a raw ".mvt" file
    MVE_RELOAD_TEXTURE_LAYER,    // one layer of a texture array (the part is the layer)
    MVE_RELOAD_SOUND,
    MVE_RELOAD_SHADER,
    MVE_RELOAD_MESH,
    MVE_RELOAD_BODY,
    MVE_RELOAD_FONT,
    MVE_RELOAD_EMITTER_FILE,     // a particle-emitter file (walked as a definition file)
    MVE_RELOAD_KINDS
};
const char *MVE_ReloadKindName(int kind);

// One file a binding was read from, with the stamp of the version read.
struct MVE_RELOAD_FILE {
    std::string sPath;           // as the loader opened it
    std::string sCanonical;      // absolute folder without links + "/" + name
    MVE_FILE_STAMP Stamp;
    int iFileKind = 0;           // MVE_FILE_KIND
};

// A reload procedure: reads the files again into a scratch record and only on success swaps the
// content into the resource's record (re-binding itself). 1 reloaded; 0 when it kept what it had,
// after red rows saying why.
using MVE_RELOAD_PROCEDURE = std::function<int()>;

struct MVE_RELOAD_TARGET {
    int iKind = MVE_RELOAD_DEFINITION;
    int iHandle = 0;             // the record's handle (generation-checked: a freed one is dropped)
    int iPart = 0;               // texture array layer
    std::string sName;           // for the log rows
    std::string sPath;           // definitions: the canonical file, which is their identity
};

// Collects the files the door opens on this thread while it is the innermost scope: a loader opens
// one before it reads and binds what it saw to the resource once the load succeeded. Scopes nest; an
// inner one (a texture section inside a definition file) keeps its files to itself.
class MVE_ReloadScope {
  public:
    MVE_ReloadScope();
    ~MVE_ReloadScope();
    MVE_ReloadScope(const MVE_ReloadScope &) = delete;
    MVE_ReloadScope &operator=(const MVE_ReloadScope &) = delete;
    // A later change of any file seen here runs `reload`. Replaces an earlier binding of the target;
    // with `add` the files join those it had (a program whose stages are loaded one by one).
    void Bind(const MVE_RELOAD_TARGET &target, MVE_RELOAD_PROCEDURE reload, bool add = false);
    std::vector<MVE_RELOAD_FILE> Files;
    void Note(const char *path, int kind, const MVE_FILE_STAMP &stamp);

  private:
    MVE_ReloadScope *pOuter;
};

// A definition or particle-emitter file and the entries its sections made. A reload walks the file
// again and re-applies each section to the entry of the same key, name and position among equals;
// entries whose section is gone are kept (objects may use them); a new section of a kind in iMask
// is loaded as the first load would.
struct MVE_DEFINITION_RECORD {
    struct Section {
        std::string sKey, sValue;
        int iOccurrence = 0;     // how many sections of the same key and name come before it
        int iHandle = 0;         // 0: it failed to load; the next change tries again
    };
    std::string sPath;
    int iFileKind = MVE_FILE_DEFINITION;
    int iMask = 0;               // MVE_DEFINITION_* sections loaded as they appear
    std::vector<Section> Sections;
    Section *Find(const std::string &key, const std::string &value, int occurrence);
};

// Section loaders (textures, materials, sounds, particle emitters) say what they made: a section
// loaded by the program from a tree it read from a file is reloaded when that file changes. A section
// loaded inside another (a texture block of a material) belongs to the outer one and is not noted.
class MVE_SectionLoad {
  public:
    MVE_SectionLoad();
    ~MVE_SectionLoad();
    void Done(MVE_DEFINITION_NODE *section, int handle);
};

// Waits for a save to be complete: a file counts as saved once no event came for `uQuiet` ms and no
// writer holds it open (or, for a writer that never closes, after `uWriterGrace` ms). Pure logic on
// the clock it is given, so every pattern of events can be tested exactly.
struct MVE_RELOAD_SETTLE {
    uint32_t uQuiet = 100, uWriterGrace = 1000;
    struct Pending {
        uint64_t uLast = 0;
        uint32_t uWhat = 0;      // MVE_WATCH_* seen since the last reload
        bool bWriting = false;   // written or created, and not closed since
    };
    std::unordered_map<std::string, Pending> Files;
    void Note(const std::string &file, uint32_t what, uint64_t now);
    // Moves the settled files (with what was seen of them) into `out`.
    void Due(uint64_t now, std::vector<std::pair<std::string, uint32_t>> &out);
};

struct MVE_RELOAD_BINDING {
    MVE_RELOAD_TARGET Target;
    std::vector<MVE_RELOAD_FILE> Files;
    MVE_RELOAD_PROCEDURE Reload;
};

// A file some binding was read from, as the watcher sees it.
struct MVE_RELOAD_WATCHED {
    std::vector<std::string> Keys;   // bindings read from it
    MVE_FILE_STAMP Stamp;            // the version read last
    std::string sFolder;
    int iGone = 0;                   // its deletion has been reported
};

struct MVE_RELOAD_STATE {
    int iWanted = 0;                 // the program switched it on (it starts with MVE_Init)
    int iActive = 0;                 // a watcher runs
    MVE_WATCHER *pWatcher = nullptr;
    uint64_t (*pfnClock)(void) = nullptr;   // milliseconds; null: the platform's clock (tests set one)
    std::unordered_map<std::string, MVE_RELOAD_BINDING> Bindings;
    std::unordered_map<std::string, MVE_RELOAD_WATCHED> Files;    // by canonical path
    std::unordered_map<std::string, std::shared_ptr<MVE_DEFINITION_RECORD>> Definitions;  // by canonical path
    std::vector<std::string> LostFolders;   // folders whose watch ended; tried again every second
    uint64_t uLastRetry = 0;
    MVE_RELOAD_SETTLE Settle;
    std::vector<MVE_WATCH_EVENT> Events;    // scratch of one update
    uint64_t uReloads = 0;           // reloads that took
    uint64_t uFailures = 0;          // reloads that kept the old content
    size_t uSweepAt = 256;           // bindings count at which stale ones are dropped
    MVE_RELOAD_STATE() = default;
    MVE_RELOAD_STATE(const MVE_RELOAD_STATE &) = delete;
    MVE_RELOAD_STATE &operator=(const MVE_RELOAD_STATE &) = delete;
    ~MVE_RELOAD_STATE();             // closes the watcher
};

// Bindings made without a scope (a section of a tree the program read itself).
void MVE_ReloadBindFiles(const MVE_RELOAD_TARGET &target, std::vector<MVE_RELOAD_FILE> files,
                         MVE_RELOAD_PROCEDURE reload, bool add = false);
// The path a reload reads again: absolute, so that a program that changes its folder after loading
// still finds the file.
std::string MVE_ReloadPath(const std::string &path);
// The file of a path as a binding records it now; 0 when it cannot be resolved.
int MVE_ReloadFileOf(const std::string &path, int fileKind, MVE_RELOAD_FILE &file);

// Definition files (ReloadDefinition.cpp): MVE_ParseDefinitionFiles reads each file through this,
// which loads the sections in `mask` and remembers them; 1 when the file was read.
int MVE_LoadWatchedDefinitionFile(const std::string &path, int mask);
// The record of a file (made when missing); null without a path.
MVE_DEFINITION_RECORD *MVE_DefinitionRecordFor(const std::string &path, int fileKind);

// Start and end (MVE_Init and MVE_Quit), and the frame's update (MVE_FlipBuffers).
void MVE_StartupReload();
void MVE_ShutdownReload();
// Drains the watcher, settles, and reloads what is due; returns how many reloads ran.
int MVE_ApplyLiveReload();
