// Definition and particle-emitter files under live reload: which entries each file's sections made,
// and the walk that re-applies a changed file to them. Main thread only. A file that no longer reads
// changes nothing; an entry whose section is gone stays (objects may draw with it); an entry the
// program freed is not made again.
#include "Reload/Reload.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Particles/Particles.h"
#include "Sound/Sound.h"
#include "Texture/Texture.h"

namespace {

thread_local int t_sectionDepth = 0;
thread_local bool t_walking = false;   // a file walk notes its sections itself

struct Walking {
    bool bOuter;
    Walking() : bOuter(t_walking) { t_walking = true; }
    ~Walking() { t_walking = bOuter; }
};

MVE_RELOAD_STATE &R() { return MVE_Engine().Reload; }

std::string FilePart(const std::string &path) {
    const size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool SectionAlive(std::string_view key, int handle) {
    MVE_REGISTRIES &g = MVE_Engine().Registries;
    if (key == "Texture") return g.Textures.Get(handle) != nullptr;
    if (key == "Material") return g.Materials.Get(handle) != nullptr;
    if (key == "Sound") return g.Sounds.Get(handle) != nullptr;
    if (key == "ParticleEmitter") return g.ParticleEmitters.Get(handle) != nullptr;
    return false;
}

int ApplySection(std::string_view key, int handle, MVE_DEFINITION_NODE *section) {
    if (key == "Texture") return MVE_ReloadTextureSection(handle, section);
    if (key == "Material") return MVE_ReloadMaterialSection(handle, section);
    if (key == "Sound") return MVE_ReloadSoundSection(handle, section);
    if (key == "ParticleEmitter") return MVE_ReloadEmitterSection(handle, section);
    return 0;
}

// A section the record does not know yet (or one that failed before), loaded as the first load would.
int LoadSection(std::string_view key, MVE_DEFINITION_NODE *section) {
    if (key == "ParticleEmitter")
        return MVE_LoadParticleEmitterDefinition(MVE_ID_AUTO, section, MVE_GetDefinitionFolder(section).c_str());
    MVE_DEFINITION_LOADER loader = MVE_DefinitionLoader(key);
    if (!loader) return 0;
    return loader(MVE_ID_AUTO, section, key == "Sound" ? "" : MVE_GetDefinitionValue(section));
}

void Upsert(MVE_DEFINITION_RECORD &record, const std::string &key, const std::string &value, int occurrence, int handle) {
    if (MVE_DEFINITION_RECORD::Section *s = record.Find(key, value, occurrence)) {
        s->iHandle = handle;
        return;
    }
    record.Sections.push_back({key, value, occurrence, handle});
}

// Counts sections of one key and name as the walk meets them.
struct Occurrences {
    std::unordered_map<std::string, int> Seen;
    int Next(const std::string &key, const std::string &value) { return Seen[key + '\n' + value]++; }
};

MVE_RELOAD_TARGET TargetOf(const MVE_DEFINITION_RECORD &record, const std::string &canonical) {
    MVE_RELOAD_TARGET target;
    target.iKind = record.iFileKind == MVE_FILE_EMITTER ? MVE_RELOAD_EMITTER_FILE : MVE_RELOAD_DEFINITION;
    target.sName = FilePart(record.sPath);
    target.sPath = canonical;
    return target;
}

std::string CanonicalOf(const std::string &path, int kind) {
    MVE_RELOAD_FILE file;
    return MVE_ReloadFileOf(path, kind, file) ? file.sCanonical : std::string();
}

int ReloadRecord(const std::shared_ptr<MVE_DEFINITION_RECORD> &record);

void BindRecord(MVE_ReloadScope &scope, const std::shared_ptr<MVE_DEFINITION_RECORD> &record) {
    const std::string canonical = CanonicalOf(record->sPath, record->iFileKind);
    if (canonical.empty()) return;
    scope.Bind(TargetOf(*record, canonical), [record] { return ReloadRecord(record); });
}

int ReloadRecord(const std::shared_ptr<MVE_DEFINITION_RECORD> &record) {
    static const char *const kProcedure = "MVE_ParseDefinitionFiles";
    MVE_ReloadScope scope;
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(record->sPath.c_str(), nullptr,
                                                       static_cast<MVE_FILE_KIND>(record->iFileKind));
    if (!root) {
        MVE_LogFail(MVE_Engine().Definition.sLastFailure, kProcedure);
        return 0;
    }
    if (!MVE_IsDefinitionComplete(root)) {
        // A block skipped at the nesting limit may have held sections: nothing is applied from half a file.
        MVE_FreeDefinitionNode(root, 1);
        MVE_LogFail("Fail: File is incomplete (nested too deep)!", kProcedure);
        return 0;
    }
    bool emitters = false;
    for (const auto &s : record->Sections) emitters |= s.sKey == "ParticleEmitter";
    int ok = 1;
    Occurrences seen;
    {
        Walking walking;
        MVE_ForEachDefinitionSection(root, emitters, [&](MVE_DEFINITION_NODE *section) {
            const std::string key = section->sKey, value = section->sValue;
            const int occurrence = seen.Next(key, value);
            MVE_DEFINITION_RECORD::Section *known = record->Find(key, value, occurrence);
            if (known && known->iHandle) {
                if (SectionAlive(key, known->iHandle) && !ApplySection(key, known->iHandle, section)) ok = 0;
                return;
            }
            if (!known && !(record->iMask & MVE_DefinitionSectionBit(key))) return;
            const int handle = LoadSection(key, section);
            if (!handle) ok = 0;
            Upsert(*record, key, value, occurrence, handle);
        });
    }
    MVE_FreeDefinitionNode(root, 1);
    BindRecord(scope, record);
    return ok;
}

std::shared_ptr<MVE_DEFINITION_RECORD> RecordFor(const std::string &path, int fileKind) {
    const std::string canonical = CanonicalOf(path, fileKind);
    if (canonical.empty()) return nullptr;
    std::shared_ptr<MVE_DEFINITION_RECORD> &record = R().Definitions[canonical];
    if (!record) {
        record = std::make_shared<MVE_DEFINITION_RECORD>();
        record->sPath = MVE_ReloadPath(path);
        record->iFileKind = fileKind;
    }
    return record;
}

}  // namespace

MVE_DEFINITION_RECORD::Section *MVE_DEFINITION_RECORD::Find(const std::string &key, const std::string &value,
                                                            int occurrence) {
    for (Section &s : Sections)
        if (s.iOccurrence == occurrence && s.sKey == key && s.sValue == value) return &s;
    return nullptr;
}

MVE_DEFINITION_RECORD *MVE_DefinitionRecordFor(const std::string &path, int fileKind) {
    return RecordFor(path, fileKind).get();
}

int MVE_LoadWatchedDefinitionFile(const std::string &path, int mask) {
    MVE_ReloadScope scope;
    MVE_DEFINITION_NODE *root = MVE_ReadDefinitionFile(path.c_str());
    if (!root) return 0;
    const std::shared_ptr<MVE_DEFINITION_RECORD> record = RecordFor(path, MVE_FILE_DEFINITION);
    if (record) record->iMask |= mask;
    Occurrences seen;
    const std::function<void(MVE_DEFINITION_NODE *, int)> loaded = [&](MVE_DEFINITION_NODE *section, int handle) {
        const std::string key = section->sKey, value = section->sValue;
        const int occurrence = seen.Next(key, value);
        if (record) Upsert(*record, key, value, occurrence, handle);
    };
    {
        Walking walking;
        MVE_LoadDefinitions(root, mask, &loaded);
    }
    // The loaders copied what they need: a tree kept for the life of the engine would make every
    // parse of a folder cost its whole text again, for nothing anyone can reach.
    MVE_FreeDefinitionNode(root, 1);
    if (record) BindRecord(scope, record);
    return 1;
}

MVE_SectionLoad::MVE_SectionLoad() { ++t_sectionDepth; }
MVE_SectionLoad::~MVE_SectionLoad() { --t_sectionDepth; }

void MVE_SectionLoad::Done(MVE_DEFINITION_NODE *section, int handle) {
    if (t_walking || t_sectionDepth != 1 || !handle || !section) return;
    const MVE_DEFINITION_TREE *tree = MVE_DefinitionTreeOf(section);
    if (!tree || tree->sFile.empty()) return;
    const std::shared_ptr<MVE_DEFINITION_RECORD> record = RecordFor(tree->sFile, tree->iFileKind);
    if (!record) return;
    const std::string key = section->sKey, value = section->sValue;
    // Its place among the sections of the same key and name, as the reload's walk will count it.
    bool emitters = key == "ParticleEmitter";
    for (const auto &s : record->Sections) emitters |= s.sKey == "ParticleEmitter";
    int occurrence = -1;
    Occurrences seen;
    MVE_ForEachDefinitionSection(&tree->pRoot[0], emitters, [&](MVE_DEFINITION_NODE *node) {
        const int n = seen.Next(node->sKey, node->sValue);
        if (node == section) occurrence = n;
    });
    if (occurrence < 0) return;   // not where a walk finds sections (inside another block's section)
    Upsert(*record, key, value, occurrence, handle);
    MVE_RELOAD_FILE file;
    if (!MVE_ReloadFileOf(tree->sFile, tree->iFileKind, file)) return;
    MVE_ReloadBindFiles(TargetOf(*record, file.sCanonical), {file}, [record] { return ReloadRecord(record); });
}
