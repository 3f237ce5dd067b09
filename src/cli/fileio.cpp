// Descriptors, whole reads and writes, and the kernel copy with its read-and-write fallback.
#include "cli/fileio.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "engine/pieceformat.h"
#include "text/textops.h"

CopyBuffer::CopyBuffer() {
    void* pages = mmap(nullptr, kCopyBufferSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    mapped_ = pages != MAP_FAILED;
    bytes_ = mapped_ ? static_cast<uint8_t*>(pages) : new uint8_t[kCopyBufferSize];
}

CopyBuffer::~CopyBuffer() {
    if (mapped_)
        munmap(bytes_, kCopyBufferSize);
    else
        delete[] bytes_;
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Descriptor::~Descriptor() { close(); }

bool Descriptor::close() {
    if (fd_ < 0) return true;
    int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
}

Descriptor openForReading(const std::string& path, int64_t* length, bool* holed) {
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.valid()) return file;
    struct stat st;
    if (fstat(file.get(), &st) != 0) return Descriptor();
    if (!S_ISREG(st.st_mode)) {
        file.close();
        errno = kNotRegularFile;
        return file;
    }
    // O_NONBLOCK stays: Linux ignores it for regular files, and clearing it would cost a call per piece.
    if (length != nullptr) *length = st.st_size;
    if (holed != nullptr) *holed = static_cast<uint64_t>(st.st_blocks) * 512 < static_cast<uint64_t>(st.st_size);
    return file;
}

bool nameTaken(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool makeFolder(const std::string& folder, std::string& top) {
    top.clear();
    std::string deepest;  // made so far
    // "-o backups/2026/photos" names one place: the folders on the way are made too.
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string step = end == std::string::npos ? folder : folder.substr(0, end);
        if (end != std::string::npos && step.back() == '/') continue;  // "a//b"
        if (mkdir(step.c_str(), 0777) == 0) {
            if (top.empty()) top = step;
            deepest = step;
        } else if (struct stat st; errno != EEXIST || stat(step.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            // "File exists" would read as if the folder were there and still refused.
            const int error = errno == EEXIST ? ENOTDIR : errno;
            if (!top.empty()) removeMadeFolders(deepest.c_str(), top.c_str());
            top.clear();
            errno = error;
            return false;
        }
        if (end == std::string::npos) return true;
    }
}

void removeMadeFolders(const char* folder, const char* top) {
    char path[PATH_MAX];
    size_t length = std::strlen(folder), topLength = std::strlen(top);
    if (length >= sizeof path || topLength == 0) return;
    std::memcpy(path, folder, length + 1);
    while (rmdir(path) == 0) {
        // Up to the parent: past trailing separators, the last name, and the separators before it.
        while (length > 0 && path[length - 1] == '/') length--;
        while (length > 0 && path[length - 1] != '/') length--;
        while (length > 0 && path[length - 1] == '/') length--;
        if (length < topLength) return;
        path[length] = 0;
    }
}

uint32_t descriptorsToSpare() {
    constexpr rlim_t kOthers = 64;  // the standard streams, the output file, the C library's own
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY) return UINT32_MAX;
    return limit.rlim_cur > kOthers ? static_cast<uint32_t>(std::min<rlim_t>(limit.rlim_cur - kOthers, UINT32_MAX)) : 0;
}

unsigned modeAsPrivateAs(unsigned mode) {
    return 0600 | (mode & 0066);
}

Descriptor createOutput(const std::string& path, bool replace, unsigned mode) {
    if (replace && nameTaken(path)) {
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return Descriptor();
        }
        if (unlink(path.c_str()) != 0) return Descriptor();
    }
    return Descriptor(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

Descriptor createTemporary(const std::string& folder, std::string& temporary, unsigned mode) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; attempt++) {
        uint8_t noise[8] = {0};
        if (getrandom(noise, sizeof noise, 0) < 0) noise[0] = static_cast<uint8_t>(attempt);  // the loop still moves on
        char name[16] = ".tarn-";
        for (int i = 0; i < 8; i++) name[6 + i] = kLetters[(noise[i] + attempt) % 36];
        char path[kTextBufferSize];
        if (!pathInFolder(folder.c_str(), name, path)) {
            errno = ENAMETOOLONG;
            return Descriptor();
        }
        Descriptor file(open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (file.valid()) {
            temporary = path;
            return file;
        }
        if (errno != EEXIST) return file;
    }
    return Descriptor();  // errno is still EEXIST
}

ssize_t readFull(int fd, uint8_t* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = read(fd, buffer + done, count - done);
        if (got < 0 && errno == EINTR && !stopRequested()) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

ssize_t readFullAt(int fd, uint8_t* buffer, size_t count, int64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

Extent extentAt(int fd, uint64_t offset, uint64_t limit) {
    off_t data = lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
        // No data after offset: a hole to the end of the file. Past its end there is nothing, not a hole: a file
        // cut short since it was measured is read, and found short.
        struct stat st;
        return {fstat(fd, &st) == 0 && offset + limit <= static_cast<uint64_t>(st.st_size), limit};
    }
    // A file system that cannot tell has data everywhere.
    if (data < 0) return {false, limit};
    if (static_cast<uint64_t>(data) > offset) return {true, std::min<uint64_t>(limit, static_cast<uint64_t>(data) - offset)};
    off_t hole = lseek(fd, static_cast<off_t>(offset), SEEK_HOLE);
    if (hole < 0 || static_cast<uint64_t>(hole) <= offset) return {false, limit};
    return {false, std::min<uint64_t>(limit, static_cast<uint64_t>(hole) - offset)};
}

bool reserveLength(int fd, uint64_t length, bool allocate) {
    if (length == 0) return true;
    if (!allocate) return ftruncate(fd, static_cast<off_t>(length)) == 0;
    if (fallocate(fd, 0, 0, static_cast<off_t>(length)) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) return false;
    return ftruncate(fd, static_cast<off_t>(length)) == 0;  // a file system that allocates nothing ahead
}

bool writeAll(int fd, const uint8_t* bytes, size_t count, int64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t put = offset >= 0 ? pwrite(fd, bytes + done, count - done, offset + static_cast<int64_t>(done))
                                  : write(fd, bytes + done, count - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        if (put == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

CopyResult copyBytes(int in, int64_t inOffset, int out, uint64_t count, uint8_t* buffer, size_t bufferSize,
                     void (*advance)(void*, uint64_t), void* context, int64_t outOffset) {
    off_t position = inOffset, outPosition = outOffset;
    bool kernel = true;
    while (count > 0) {
        size_t step = count < (1u << 30) ? static_cast<size_t>(count) : (1u << 30);
        if (kernel) {
            ssize_t moved = copy_file_range(in, &position, out, outOffset >= 0 ? &outPosition : nullptr, step, 0);
            if (moved > 0) {
                count -= static_cast<uint64_t>(moved);
                advance(context, static_cast<uint64_t>(moved));
                continue;
            }
            if (moved == 0) return CopyResult::ShortSource;
            if (errno == EINTR) continue;
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EIO)
                return CopyResult::WriteFailed;
            kernel = false;  // refused here: read and write from now on
        }
        size_t want = count < bufferSize ? static_cast<size_t>(count) : bufferSize;
        ssize_t got = pread(in, buffer, want, position);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return CopyResult::ReadFailed;
        if (got == 0) return CopyResult::ShortSource;
        if (!writeAll(out, buffer, static_cast<size_t>(got), outOffset >= 0 ? outPosition : -1))
            return CopyResult::WriteFailed;
        position += got;
        if (outOffset >= 0) outPosition += got;
        count -= static_cast<uint64_t>(got);
        advance(context, static_cast<uint64_t>(got));
    }
    return CopyResult::Done;
}

int outcomeOfWriteError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? kOutcomeDiskFull : kOutcomeUnwritable;
}
