// Live reload's bookkeeping and its frame step: scopes that collect the files a loader opened,
// bindings from files to reload procedures, the switch, and the update that runs the reloads a
// settled save calls for. Main thread only (the door's observer only appends to this thread's scope).
// A reload's own rows are summed up in one row: the file, the kind, the time, and why it failed.
#include "Reload/Reload.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

thread_local MVE_ReloadScope *t_scope = nullptr;

MVE_RELOAD_STATE &R() { return MVE_Engine().Reload; }

void Observe(const char *path, MVE_FILE_KIND kind, const MVE_FILE_STAMP &stamp) {
    if (t_scope) t_scope->Note(path, kind, stamp);
}

uint64_t Now() {
    MVE_RELOAD_STATE &r = R();
    if (r.pfnClock) return r.pfnClock();
    return MVE_PlatformCounter() / (MVE_PlatformCounterFrequency() / 1000);
}

std::string KeyOf(const MVE_RELOAD_TARGET &t) {
    return std::to_string(t.iKind) + ':' + std::to_string(t.iHandle) + ':' + std::to_string(t.iPart) + ':' + t.sPath;
}

bool Alive(const MVE_RELOAD_TARGET &t) {
    MVE_REGISTRIES &g = MVE_Engine().Registries;
    switch (t.iKind) {
        case MVE_RELOAD_DEFINITION:
        case MVE_RELOAD_EMITTER_FILE: return true;
        case MVE_RELOAD_TEXTURE:
        case MVE_RELOAD_TEXTURE_LAYER: return g.Textures.Get(t.iHandle) != nullptr;
        case MVE_RELOAD_SOUND: return g.Sounds.Get(t.iHandle) != nullptr;
        case MVE_RELOAD_SHADER: return g.Shaders.Get(t.iHandle) != nullptr;
        case MVE_RELOAD_MESH: return g.Meshes.Get(t.iHandle) != nullptr;
        case MVE_RELOAD_BODY: return g.Bodies.Get(t.iHandle) != nullptr;
        case MVE_RELOAD_FONT: return g.Fonts.Get(t.iHandle) != nullptr;
        default: return false;
    }
}

std::string FolderOf(const std::string &canonical) {
    const size_t cut = canonical.find_last_of('/');
    return cut == 0 ? "/" : canonical.substr(0, cut);
}

void Watch(const std::string &folder) {
    MVE_RELOAD_STATE &r = R();
    std::string error;
    if (MVE_PlatformWatchFolder(r.pWatcher, folder, error)) return;
    if (std::find(r.LostFolders.begin(), r.LostFolders.end(), folder) != r.LostFolders.end()) return;
    r.LostFolders.push_back(folder);
    MVE_LogFail("Fail: The folder " + folder + " cannot be watched (" + error + "); its files are not reloaded!",
                "MVE_EnableLiveReload");
}

// A file whose version differs from the one read (or that is gone) is noted as changed.
void NoteIfChanged(const std::string &canonical, MVE_RELOAD_WATCHED &w, uint64_t now) {
    MVE_FILE_STAMP stamp;
    if (!MVE_PlatformFileStamp(canonical.c_str(), &stamp)) R().Settle.Note(canonical, MVE_WATCH_REMOVED, now);
    else if (!(stamp == w.Stamp)) R().Settle.Note(canonical, MVE_WATCH_WRITTEN | MVE_WATCH_CLOSED, now);
}

// Takes the watcher's queued events into the settle state, for the files known now.
void Drain(uint64_t now) {
    MVE_RELOAD_STATE &r = R();
    r.Events.clear();
    if (!MVE_PlatformReadWatcher(r.pWatcher, r.Events)) return;
    for (const MVE_WATCH_EVENT &e : r.Events) {
        if (e.uWhat & MVE_WATCH_OVERFLOW) {
            for (auto &[canonical, w] : r.Files) NoteIfChanged(canonical, w, now);
        } else if (e.uWhat & MVE_WATCH_FOLDER_GONE) {
            if (std::find(r.LostFolders.begin(), r.LostFolders.end(), e.sFolder) == r.LostFolders.end())
                r.LostFolders.push_back(e.sFolder);
            for (auto &[canonical, w] : r.Files)
                if (w.sFolder == e.sFolder) r.Settle.Note(canonical, MVE_WATCH_REMOVED, now);
        } else {
            const std::string canonical = e.sFolder == "/" ? "/" + e.sName : e.sFolder + "/" + e.sName;
            if (r.Files.count(canonical)) r.Settle.Note(canonical, e.uWhat, now);
        }
    }
}

void Unindex(const std::string &key, const std::vector<MVE_RELOAD_FILE> &files) {
    MVE_RELOAD_STATE &r = R();
    for (const MVE_RELOAD_FILE &f : files) {
        auto w = r.Files.find(f.sCanonical);
        if (w == r.Files.end()) continue;
        auto &keys = w->second.Keys;
        keys.erase(std::remove(keys.begin(), keys.end(), key), keys.end());
        if (keys.empty()) {
            r.Settle.Files.erase(f.sCanonical);
            r.Files.erase(w);
        }
    }
}

void Index(const std::string &key, const std::vector<MVE_RELOAD_FILE> &files) {
    MVE_RELOAD_STATE &r = R();
    for (const MVE_RELOAD_FILE &f : files) {
        // Events still queued for a name that becomes watched now were made before the version just
        // read (the program wrote the file, then loaded it): they are taken while it is not yet known.
        if (r.iActive && !r.Files.count(f.sCanonical)) Drain(Now());
        MVE_RELOAD_WATCHED &w = r.Files[f.sCanonical];
        if (std::find(w.Keys.begin(), w.Keys.end(), key) == w.Keys.end()) w.Keys.push_back(key);
        w.Stamp = f.Stamp;
        w.iGone = 0;
        w.sFolder = FolderOf(f.sCanonical);
        if (!r.iActive) continue;
        Watch(w.sFolder);
        // A save between the door's opening and now would otherwise go unseen.
        NoteIfChanged(f.sCanonical, w, Now());
    }
}

// Bindings of freed records are dropped once their number has doubled since the last look.
void Sweep() {
    MVE_RELOAD_STATE &r = R();
    if (r.Bindings.size() < r.uSweepAt) return;
    for (auto it = r.Bindings.begin(); it != r.Bindings.end();) {
        if (Alive(it->second.Target)) {
            ++it;
            continue;
        }
        Unindex(it->first, it->second.Files);
        it = r.Bindings.erase(it);
    }
    r.uSweepAt = std::max<size_t>(256, r.Bindings.size() * 2);
}

void AddFile(std::vector<MVE_RELOAD_FILE> &files, MVE_RELOAD_FILE file) {
    for (MVE_RELOAD_FILE &f : files)
        if (f.sCanonical == file.sCanonical) {
            f = std::move(file);
            return;
        }
    files.push_back(std::move(file));
}

std::string Milliseconds(uint64_t counts) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", static_cast<double>(counts) * 1000.0 /
                                                    static_cast<double>(MVE_PlatformCounterFrequency()));
    return text;
}

// Runs one binding's procedure and sums its rows up in one.
void Run(const std::string &key, const std::string &file) {
    MVE_RELOAD_STATE &r = R();
    auto it = r.Bindings.find(key);
    if (it == r.Bindings.end()) return;
    const MVE_RELOAD_TARGET target = it->second.Target;
    if (!Alive(target)) {
        Unindex(key, it->second.Files);
        r.Bindings.erase(it);
        return;
    }
    const MVE_RELOAD_PROCEDURE reload = it->second.Reload;   // the procedure re-binds itself
    std::vector<std::pair<uint32_t, std::string>> rows;
    const uint64_t start = MVE_PlatformCounter();
    int ok = 0;
    {
        MVE_LOG_CAPTURE capture;
        ok = reload();
        rows = std::move(capture.Rows);
    }
    const std::string took = Milliseconds(MVE_PlatformCounter() - start);
    std::string reasons;
    for (const auto &[color, text] : rows)
        if (color == MVE_LOG_FAIL) reasons += (reasons.empty() ? "" : " / ") + text;
    const std::string what = std::string(MVE_ReloadKindName(target.iKind)) +
                             (target.sName.empty() ? std::string() : " '" + target.sName + "'");
    if (ok) ++r.uReloads;
    else ++r.uFailures;
    if (ok && reasons.empty())
        MVE_Log(("Reloaded " + what + " from " + file + " in " + took).c_str(), MVE_LOG_OK, 0, 0, "", "MVE_FlipBuffers");
    else if (ok)
        MVE_LogFail("Fail: Reloaded " + what + " from " + file + " in " + took + ", with faults: " + reasons,
                    "MVE_FlipBuffers");
    else
        MVE_LogFail("Fail: " + file + " could not be reloaded (" + took + "); the " + what +
                        (target.iKind == MVE_RELOAD_DEFINITION ? " keeps what failed as it was: " : " stays as it was: ") +
                        (reasons.empty() ? std::string("no reason was given") : reasons),
                    "MVE_FlipBuffers");
}

int Start() {
    MVE_RELOAD_STATE &r = R();
    if (r.iActive) return 1;
    std::string error;
    r.pWatcher = MVE_PlatformOpenWatcher(error);
    if (!r.pWatcher) {
        MVE_LogFail("Fail: Files cannot be watched (" + error + "); live reload stays off!", "MVE_EnableLiveReload");
        return 0;
    }
    r.iActive = 1;
    r.uLastRetry = Now();
    const uint64_t now = Now();
    for (auto &[canonical, w] : r.Files) {
        Watch(w.sFolder);
        NoteIfChanged(canonical, w, now);   // saved while nobody watched
    }
    MVE_Log(("Live reload: on; " + std::to_string(r.Files.size()) + " files loaded so far are watched").c_str(), MVE_LOG_OK, 0, 0, "",
            "MVE_EnableLiveReload");
    return 1;
}

void Stop() {
    MVE_RELOAD_STATE &r = R();
    MVE_PlatformCloseWatcher(r.pWatcher);
    r.pWatcher = nullptr;
    r.iActive = 0;
    r.Settle.Files.clear();
    r.LostFolders.clear();
}

bool SessionRuns() {
    return MVE_SessionMode() != MVE_SESSION_OFF || MVE_Replay().iArmed != 0;
}

void SessionNotice() {
    MVE_LogNotice("Info: Live reload stays off while a session is recorded or replayed: a reload would change the "
                  "scene from outside the recording.",
                  "MVE_EnableLiveReload");
}

}  // namespace

const char *MVE_ReloadKindName(int kind) {
    static const char *const kNames[MVE_RELOAD_KINDS] = {"definition", "texture", "texture layer", "sound",
                                                         "shader",     "mesh",    "body",          "font",
                                                         "particle emitter"};
    return kind >= 0 && kind < MVE_RELOAD_KINDS ? kNames[kind] : "resource";
}

MVE_RELOAD_STATE::~MVE_RELOAD_STATE() { MVE_PlatformCloseWatcher(pWatcher); }

// ---------------------------------------------------------------- scopes and bindings

MVE_ReloadScope::MVE_ReloadScope() : pOuter(t_scope) {
    static const bool installed = (MVE_SetFileObserver(Observe), true);
    (void)installed;
    t_scope = this;
}

MVE_ReloadScope::~MVE_ReloadScope() { t_scope = pOuter; }

std::string MVE_ReloadPath(const std::string &path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

int MVE_ReloadFileOf(const std::string &path, int fileKind, MVE_RELOAD_FILE &file) {
    std::string folder, name;
    if (!MVE_PlatformResolveFile(path.c_str(), folder, name, nullptr, nullptr)) return 0;
    file.sPath = path;
    file.sCanonical = folder == "/" ? "/" + name : folder + "/" + name;
    file.iFileKind = fileKind;
    MVE_PlatformFileStamp(file.sCanonical.c_str(), &file.Stamp);
    return 1;
}

void MVE_ReloadScope::Note(const char *path, int kind, const MVE_FILE_STAMP &stamp) {
    std::string folder, name, linkFolder, linkName;
    if (!MVE_PlatformResolveFile(path, folder, name, &linkFolder, &linkName)) return;
    MVE_RELOAD_FILE file;
    file.sPath = path;
    file.sCanonical = folder == "/" ? "/" + name : folder + "/" + name;
    file.Stamp = stamp;
    file.iFileKind = kind;
    AddFile(Files, file);
    if (!linkName.empty()) {
        file.sCanonical = linkFolder == "/" ? "/" + linkName : linkFolder + "/" + linkName;
        AddFile(Files, std::move(file));
    }
}

void MVE_ReloadScope::Bind(const MVE_RELOAD_TARGET &target, MVE_RELOAD_PROCEDURE reload, bool add) {
    MVE_ReloadBindFiles(target, Files, std::move(reload), add);
}

void MVE_ReloadBindFiles(const MVE_RELOAD_TARGET &target, std::vector<MVE_RELOAD_FILE> files,
                         MVE_RELOAD_PROCEDURE reload, bool add) {
    MVE_RELOAD_STATE &r = R();
    const std::string key = KeyOf(target);
    auto it = r.Bindings.find(key);
    if (it != r.Bindings.end()) {
        if (add)
            for (const MVE_RELOAD_FILE &f : it->second.Files) {
                bool kept = false;
                for (const MVE_RELOAD_FILE &g : files) kept |= g.sCanonical == f.sCanonical;
                if (!kept) files.push_back(f);
            }
        Unindex(key, it->second.Files);
    }
    if (files.empty()) {
        // Nothing on disk is left to watch for it.
        if (it != r.Bindings.end()) r.Bindings.erase(it);
        return;
    }
    MVE_RELOAD_BINDING &b = r.Bindings[key];
    b.Target = target;
    b.Files = std::move(files);
    b.Reload = std::move(reload);
    Index(key, b.Files);
    Sweep();
}

// ---------------------------------------------------------------- settling

void MVE_RELOAD_SETTLE::Note(const std::string &file, uint32_t what, uint64_t now) {
    Pending &p = Files[file];
    p.uLast = now;
    p.uWhat |= what;
    // A writer that created or wrote the file may still be writing until it closes it; a rename or a
    // deletion ends whatever was being written under the name.
    if (what & (MVE_WATCH_CLOSED | MVE_WATCH_REPLACED | MVE_WATCH_REMOVED)) p.bWriting = false;
    if (what & (MVE_WATCH_WRITTEN | MVE_WATCH_CREATED)) p.bWriting = !(what & (MVE_WATCH_CLOSED | MVE_WATCH_REPLACED));
}

void MVE_RELOAD_SETTLE::Due(uint64_t now, std::vector<std::pair<std::string, uint32_t>> &out) {
    for (auto it = Files.begin(); it != Files.end();) {
        const uint64_t quiet = now >= it->second.uLast ? now - it->second.uLast : 0;
        if (quiet >= uQuiet && (!it->second.bWriting || quiet >= uWriterGrace)) {
            out.emplace_back(it->first, it->second.uWhat);
            it = Files.erase(it);
        } else {
            ++it;
        }
    }
}

// ---------------------------------------------------------------- the frame step

int MVE_ApplyLiveReload() {
    MVE_RELOAD_STATE &r = R();
    if (!r.iActive) return 0;
    const uint64_t now = Now();
    Drain(now);
    // A folder that went (a branch switched, a folder restored) is watched again once it is back.
    if (!r.LostFolders.empty() && now - r.uLastRetry >= 1000) {
        r.uLastRetry = now;
        std::vector<std::string> lost;
        lost.swap(r.LostFolders);
        for (const std::string &folder : lost) {
            std::string error;
            if (!MVE_PlatformWatchFolder(r.pWatcher, folder, error)) {
                r.LostFolders.push_back(folder);
                continue;
            }
            for (auto &[canonical, w] : r.Files)
                if (w.sFolder == folder) NoteIfChanged(canonical, w, now);
        }
    }
    if (r.Settle.Files.empty()) return 0;
    std::vector<std::pair<std::string, uint32_t>> due;
    r.Settle.Due(now, due);
    std::vector<std::pair<std::string, std::string>> runs;   // (binding, file that changed)
    for (const auto &[canonical, what] : due) {
        auto w = r.Files.find(canonical);
        if (w == r.Files.end()) continue;
        MVE_FILE_STAMP stamp;
        if (!MVE_PlatformFileStamp(canonical.c_str(), &stamp)) {
            if (!w->second.iGone)
                MVE_LogNotice("Info: " + canonical + " is gone; what was loaded from it stays in use until it is back.",
                              "MVE_FlipBuffers");
            w->second.iGone = 1;
            continue;
        }
        w->second.iGone = 0;
        // Permissions or times changed and nothing else (a save ends with a chmod): nothing to read.
        if (!(what & ~MVE_WATCH_ATTRIBUTES) && stamp == w->second.Stamp) continue;
        for (const std::string &key : w->second.Keys) {
            bool listed = false;
            for (const auto &run : runs) listed |= run.first == key;
            if (!listed) runs.emplace_back(key, canonical);
        }
    }
    // Definitions first: a texture they name may be reloaded by its own binding after them.
    std::stable_sort(runs.begin(), runs.end(), [](const auto &a, const auto &b) {
        return (a.first[0] == '0') > (b.first[0] == '0');
    });
    for (const auto &[key, file] : runs) Run(key, file);
    return static_cast<int>(runs.size());
}

// ---------------------------------------------------------------- start, end and the switch

void MVE_StartupReload() {
    static const bool installed = (MVE_SetFileObserver(Observe), true);
    (void)installed;
    MVE_RELOAD_STATE &r = R();
    r.uReloads = r.uFailures = 0;
    if (!r.iWanted) return;
    if (SessionRuns()) {
        SessionNotice();
        return;
    }
    Start();
}

void MVE_ShutdownReload() {
    MVE_RELOAD_STATE &r = R();
    Stop();
    r.Bindings.clear();
    r.Files.clear();
    r.Definitions.clear();
}

extern "C" int MVE_EnableLiveReload(int on) {
    MVE_RELOAD_STATE &r = R();
    if (!on) {
        r.iWanted = 0;
        Stop();
        return 1;
    }
    r.iWanted = 1;
    // Before the engine runs (the command line) the choice is made by MVE_Init, once the log is open
    // and a session armed in any order of the switches is known.
    if (!MVE_Engine().iRunning) return 1;
    if (SessionRuns()) {
        SessionNotice();
        return 0;
    }
    return Start();
}

extern "C" int MVE_IsLiveReloadEnabled(void) { return R().iActive; }

extern "C" int MVE_GetReloadCount(void) { return static_cast<int>(R().uReloads); }
