// Named shared memory (POSIX shm_open/mmap), starting helper programs (posix_spawn) and whether a
// desktop is there to show them on. Any thread may call these. They never create a block (its
// owner, the reader, does) and never leave a started program as a zombie or attached to the
// engine's terminal.
#include "Platform/Platform.h"
#include <SDL.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

int MVE_PlatformOpenSharedMemory(const char *name, uint64_t size, void **base) {
    *base = nullptr;
    int fd = shm_open(name, O_RDWR, 0);
    if (fd < 0) return errno == ENOENT ? 0 : -1;
    // A block smaller than promised (or one whose owner has not sized it yet) must not be
    // written past its end: mapping beyond the file would turn writes into SIGBUS.
    struct stat st;
    if (fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < size) {
        close(fd);
        return -1;
    }
    void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);  // the mapping keeps the block alive
    if (p == MAP_FAILED) return -1;
    *base = p;
    return 1;
}

void MVE_PlatformCloseSharedMemory(void *base, uint64_t size) {
    if (base) munmap(base, size);
}

int MVE_PlatformStartProgram(const char *const *argv) {
    if (!argv || !argv[0] || !argv[0][0]) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_init(&attr);
    // Its own session: a Ctrl+C meant for the game must not take the debugger down with it, and
    // signals the calling thread blocks (the physics thread may) must not stay blocked in the child.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    // A bare name (a terminal emulator) is found the way a shell would find it.
    const bool search = std::strchr(argv[0], '/') == nullptr;
    int rc = (search ? posix_spawnp : posix_spawn)(&pid, argv[0], &actions, &attr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0 || pid <= 0) return 0;
    // Nobody waits for a helper program; reap it when it ends so it does not linger as a zombie.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return static_cast<int>(pid);
}

int MVE_PlatformHasDesktop(void) {
    // Once the engine's video is up, its driver says it: offscreen or a framebuffer means no one
    // would see another window. Before that, the display server SDL would connect to decides.
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const char *driver = SDL_GetCurrentVideoDriver();
        return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
    }
    const char *x11 = std::getenv("DISPLAY"), *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}
