// Creating files to write into (recordings, frame hashes): regular files only, opened without
// blocking. Any thread. Never follows a name onto a FIFO or a device, where opening alone would
// wait for a reader or write somewhere nobody asked for.
#include "Platform/Platform.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE *MVE_PlatformCreateFile(const char *path, std::string &error) {
    if (!path || !*path) {
        error = "no file name";
        return nullptr;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = "not a regular file";
        return nullptr;
    }
    // Emptied only once it is known to be a regular file.
    if (ftruncate(fd, 0) != 0) {
        error = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE *file = fdopen(fd, "wb");
    if (!file) {
        error = std::strerror(errno);
        close(fd);
    }
    return file;
}
