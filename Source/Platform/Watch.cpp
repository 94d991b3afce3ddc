// The file watcher of live reload over Linux inotify: one watch per folder, events turned into the
// engine's plain MVE_WATCH_* flags. Main thread. Never blocks (the descriptor is non-blocking) and
// never reads a watched file; it only says which names changed.
#include "Platform/Platform.h"
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>
#include <unordered_map>

struct MVE_WATCHER {
    int iFd = -1;
    std::unordered_map<int, std::string> Folders;        // watch descriptor -> folder
    std::unordered_map<std::string, int> Descriptors;    // folder -> watch descriptor
};

namespace {

// Every way a save can touch a name in the folder, and the folder's own end.
constexpr uint32_t kMask = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                           IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

uint32_t Translate(uint32_t mask) {
    uint32_t what = 0;
    if (mask & IN_MODIFY) what |= MVE_WATCH_WRITTEN;
    if (mask & IN_CLOSE_WRITE) what |= MVE_WATCH_CLOSED;
    if (mask & IN_MOVED_TO) what |= MVE_WATCH_REPLACED;
    if (mask & IN_CREATE) what |= MVE_WATCH_CREATED;
    if (mask & (IN_MOVED_FROM | IN_DELETE)) what |= MVE_WATCH_REMOVED;
    if (mask & IN_ATTRIB) what |= MVE_WATCH_ATTRIBUTES;
    return what;
}

}  // namespace

MVE_WATCHER *MVE_PlatformOpenWatcher(std::string &error) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    MVE_WATCHER *watcher = new MVE_WATCHER;
    watcher->iFd = fd;
    return watcher;
}

void MVE_PlatformCloseWatcher(MVE_WATCHER *watcher) {
    if (!watcher) return;
    if (watcher->iFd >= 0) close(watcher->iFd);  // ends every watch of the descriptor
    delete watcher;
}

int MVE_PlatformWatchFolder(MVE_WATCHER *watcher, const std::string &folder, std::string &error) {
    if (!watcher) return 0;
    if (watcher->Descriptors.count(folder)) return 1;
    const int wd = inotify_add_watch(watcher->iFd, folder.c_str(), kMask);
    if (wd < 0) {
        // ENOSPC: the user's limit of watches (fs.inotify.max_user_watches) is reached.
        error = errno == ENOSPC ? "the system's limit of watched folders is reached" : std::strerror(errno);
        return 0;
    }
    // Two names of one folder (a link) give the same descriptor: the first name is kept.
    if (!watcher->Folders.count(wd)) watcher->Folders[wd] = folder;
    watcher->Descriptors[folder] = wd;
    return 1;
}

int MVE_PlatformReadWatcher(MVE_WATCHER *watcher, std::vector<MVE_WATCH_EVENT> &out) {
    if (!watcher || watcher->iFd < 0) return 0;
    int count = 0;
    alignas(struct inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(watcher->iFd, buffer, sizeof buffer);
        if (got <= 0) break;  // EAGAIN: nothing (more) to read
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= got;) {
            const struct inotify_event *e = reinterpret_cast<const struct inotify_event *>(buffer + at);
            at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
            MVE_WATCH_EVENT event;
            if (e->mask & IN_Q_OVERFLOW) {
                event.uWhat = MVE_WATCH_OVERFLOW;
                out.push_back(std::move(event));
                ++count;
                continue;
            }
            auto folder = watcher->Folders.find(e->wd);
            if (folder == watcher->Folders.end()) continue;
            event.sFolder = folder->second;
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                event.uWhat = MVE_WATCH_FOLDER_GONE;
                if (e->mask & IN_IGNORED) {
                    // The kernel has dropped the watch: the folder may be watched again once it is back.
                    auto d = watcher->Descriptors.find(folder->second);
                    if (d != watcher->Descriptors.end() && d->second == e->wd) watcher->Descriptors.erase(d);
                    watcher->Folders.erase(folder);
                } else if (e->mask & IN_MOVE_SELF) {
                    // A folder moved elsewhere still sends events, under a name that is no longer ours.
                    inotify_rm_watch(watcher->iFd, e->wd);
                }
                out.push_back(std::move(event));
                ++count;
                continue;
            }
            event.uWhat = Translate(e->mask);
            if (!event.uWhat || !e->len) continue;
            event.sName.assign(e->name, strnlen(e->name, e->len));
            out.push_back(std::move(event));
            ++count;
        }
        if (got < static_cast<ssize_t>(sizeof buffer) - static_cast<ssize_t>(sizeof(struct inotify_event) + NAME_MAX + 1))
            break;  // a short read took everything there was: spare the call that would say so
    }
    return count;
}

int MVE_PlatformResolveFile(const char *path, std::string &folder, std::string &name, std::string *linkFolder,
                            std::string *linkName) {
    if (!path || !*path) return 0;
    const std::string p(path);
    const size_t cut = p.find_last_of('/');
    const std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : p.substr(0, cut);
    name = cut == std::string::npos ? p : p.substr(cut + 1);
    if (name.empty()) return 0;
    char *real = realpath(dir.c_str(), nullptr);
    if (!real) return 0;
    folder = real;
    std::free(real);
    if (linkFolder && linkName) {
        linkFolder->clear();
        linkName->clear();
        // Editing a linked file changes its target, which lies in the target's own folder.
        if (char *target = realpath(p.c_str(), nullptr)) {
            const std::string t(target);
            std::free(target);
            const size_t slash = t.find_last_of('/');
            if (slash != std::string::npos) {
                std::string tf = slash == 0 ? "/" : t.substr(0, slash), tn = t.substr(slash + 1);
                if (tf != folder || tn != name) {
                    *linkFolder = tf;
                    *linkName = tn;
                }
            }
        }
    }
    return 1;
}
