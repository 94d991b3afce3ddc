// The one door through which the engine reads files: every reader of every kind opens its file
// here. Any thread. It never waits on what it opens (a FIFO, device, folder or socket is refused
// before a byte is read) and never hands out more bytes than the kind may hold, however the file
// changes while it is read.
#include "Platform/Platform.h"
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

static_assert(MVE_FILE_LIMIT_RAW_TEXTURE == 12 + 3 * MVE_IMAGE_MAX_PIXELS, "a raw texture holds the largest image and no more");

// What a reader sees of the file: at most `uSize` bytes, the size found when it was opened (a file
// that grows meanwhile is not read past it, one that shrinks ends early).
struct BoundedFile {
    int iFd = -1;
    uint64_t uSize = 0, uPos = 0;
};

ssize_t ReadBounded(void *cookie, char *out, size_t count) {
    BoundedFile *f = static_cast<BoundedFile *>(cookie);
    if (f->uPos >= f->uSize) return 0;
    if (count > f->uSize - f->uPos) count = static_cast<size_t>(f->uSize - f->uPos);
    ssize_t got;
    do got = pread(f->iFd, out, count, static_cast<off_t>(f->uPos));
    while (got < 0 && errno == EINTR);
    if (got > 0) f->uPos += static_cast<uint64_t>(got);
    return got;
}

int SeekBounded(void *cookie, off64_t *offset, int whence) {
    BoundedFile *f = static_cast<BoundedFile *>(cookie);
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(f->uPos)
                                                                     : static_cast<int64_t>(f->uSize);
    const int64_t target = base + *offset;
    if (target < 0 || target > static_cast<int64_t>(f->uSize)) return -1;
    f->uPos = static_cast<uint64_t>(target);
    *offset = target;
    return 0;
}

int CloseBounded(void *cookie) {
    BoundedFile *f = static_cast<BoundedFile *>(cookie);
    const int result = close(f->iFd);
    delete f;
    return result;
}

const cookie_io_functions_t kBounded = {ReadBounded, nullptr, SeekBounded, CloseBounded};

std::atomic<MVE_FILE_OBSERVER> g_observer{nullptr};

MVE_FILE_STAMP StampOf(const struct stat &st) {
    MVE_FILE_STAMP stamp;
    stamp.uDevice = static_cast<uint64_t>(st.st_dev);
    stamp.uInode = static_cast<uint64_t>(st.st_ino);
    stamp.uSize = static_cast<uint64_t>(st.st_size);
    stamp.iModified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace

uint64_t MVE_FileLimit(MVE_FILE_KIND kind) {
    switch (kind) {
    case MVE_FILE_DEFINITION:
    case MVE_FILE_EMITTER: return MVE_FILE_LIMIT_DEFINITION;
    case MVE_FILE_MESH: return MVE_FILE_LIMIT_MESH;
    case MVE_FILE_BODY: return MVE_FILE_LIMIT_BODY;
    case MVE_FILE_OBJ: return MVE_FILE_LIMIT_OBJ;
    case MVE_FILE_IMAGE: return MVE_FILE_LIMIT_IMAGE;
    case MVE_FILE_RAW_TEXTURE: return MVE_FILE_LIMIT_RAW_TEXTURE;
    case MVE_FILE_SOUND: return MVE_FILE_LIMIT_SOUND;
    case MVE_FILE_FONT: return MVE_FILE_LIMIT_FONT;
    case MVE_FILE_SHADER: return MVE_FILE_LIMIT_SHADER;
    case MVE_FILE_RECORDING: return MVE_FILE_LIMIT_RECORDING;
    default: return 0;
    }
}

std::FILE *MVE_OpenRegularFile(const char *path, MVE_FILE_KIND kind, std::string &failure, uint64_t *size) {
    if (size) *size = 0;
    if (!path || !*path) {
        failure = MVE_FAIL_FILE_NOT_FOUND;
        return nullptr;
    }
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        failure = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP ? MVE_FAIL_FILE_NOT_FOUND
                                                                                                : MVE_FAIL_FILE_CANNOT_READ;
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        failure = MVE_FAIL_FILE_CANNOT_READ;
        return nullptr;
    }
    // Refused on its size alone: a sparse file costs no disk but would cost its whole size in memory.
    if (static_cast<uint64_t>(st.st_size) > MVE_FileLimit(kind)) {
        close(fd);
        failure = MVE_FAIL_FILE_TOO_LARGE;
        return nullptr;
    }
    BoundedFile *bounded = new (std::nothrow) BoundedFile{fd, static_cast<uint64_t>(st.st_size), 0};
    std::FILE *file = bounded ? fopencookie(bounded, "rb", kBounded) : nullptr;
    if (!file) {
        delete bounded;
        close(fd);
        failure = MVE_FAIL_OUT_OF_MEMORY;
        return nullptr;
    }
    if (size) *size = static_cast<uint64_t>(st.st_size);
    if (MVE_FILE_OBSERVER observer = g_observer.load(std::memory_order_acquire)) observer(path, kind, StampOf(st));
    return file;
}

void MVE_SetFileObserver(MVE_FILE_OBSERVER observer) { g_observer.store(observer, std::memory_order_release); }

int MVE_PlatformFileStamp(const char *path, MVE_FILE_STAMP *stamp) {
    struct stat st;
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    if (stamp) *stamp = StampOf(st);
    return 1;
}

int MVE_ReadRegularFile(const char *path, MVE_FILE_KIND kind, std::vector<uint8_t> &bytes, std::string &failure) {
    bytes.clear();
    uint64_t size = 0;
    std::FILE *file = MVE_OpenRegularFile(path, kind, failure, &size);
    if (!file) return 0;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc &) {
        std::fclose(file);
        failure = MVE_FAIL_OUT_OF_MEMORY;
        return 0;
    }
    const size_t got = size ? std::fread(bytes.data(), 1, bytes.size(), file) : 0;
    const bool broken = std::ferror(file) != 0;
    std::fclose(file);
    if (broken) {
        std::vector<uint8_t>().swap(bytes);
        failure = MVE_FAIL_FILE_CANNOT_READ;
        return 0;
    }
    bytes.resize(got);   // it shrank while read: what is left is the file now
    return 1;
}
