// The file layer of the set core on POSIX: descriptors, pread/pwrite, SEEK_DATA holes, fallocate, copy_file_range.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "os/files.h"

namespace {
int fd(intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

FileStatus osLastFileError() {
    FileStatus status;
    status.native = errno;
    switch (errno) {
        case 0: status.what = FileError::None; break;
        case ENOENT: status.what = FileError::NotFound; break;
        case EEXIST: status.what = FileError::Exists; break;
        case EINVAL:
        case ENOTDIR: status.what = FileError::NotRegular; break;
        case EISDIR: status.what = FileError::IsFolder; break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: status.what = FileError::NoSpace; break;
        case EACCES:
        case EPERM:
        case EROFS: status.what = FileError::Denied; break;
        case ENAMETOOLONG: status.what = FileError::TooLong; break;
        default: status.what = FileError::Other; break;
    }
    return status;
}

void osSetFileError(FileError what) {
    switch (what) {
        case FileError::None: errno = 0; break;
        case FileError::NotFound: errno = ENOENT; break;
        case FileError::Exists: errno = EEXIST; break;
        case FileError::NotRegular: errno = EINVAL; break;
        case FileError::IsFolder: errno = EISDIR; break;
        case FileError::NoSpace: errno = ENOSPC; break;
        case FileError::Denied: errno = EACCES; break;
        case FileError::TooLong: errno = ENAMETOOLONG; break;
        case FileError::Other: errno = EIO; break;
    }
}

std::string osFileErrorText(const FileStatus& status) { return std::strerror(status.native); }

OsFile& OsFile::operator=(OsFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

OsFile::~OsFile() { close(); }

bool OsFile::close() {
    if (handle_ < 0) return true;
    int result = ::close(fd(handle_));
    handle_ = -1;
    return result == 0;
}

bool OsFile::settleForRename() { return close(); }

bool OsFile::renameTo(const std::string& from, const std::string& to) {
    return close() && rename(from.c_str(), to.c_str()) == 0;
}

OsFile OsFile::openRead(const std::string& path) {
    OsFile file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.valid()) return file;
    struct stat st;
    if (fstat(fd(file.handle_), &st) != 0) return OsFile();
    if (!S_ISREG(st.st_mode)) {
        file.close();
        errno = EINVAL;
    }
    // O_NONBLOCK stays: Linux ignores it for regular files, and clearing it would cost a call per piece.
    return file;
}

OsFile OsFile::openUpdate(const std::string& path) { return OsFile(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC)); }

OsFile OsFile::createNew(const std::string& path, unsigned mode) {
    return OsFile(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

OsFile OsFile::adopt(intptr_t handle) { return OsFile(dup(fd(handle))); }

uint64_t OsFile::length() const {
    struct stat st;
    return fstat(fd(handle_), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool OsFile::holed() const {
    struct stat st;
    return fstat(fd(handle_), &st) == 0 && static_cast<uint64_t>(st.st_blocks) * 512 < static_cast<uint64_t>(st.st_size);
}

unsigned OsFile::modeForCopies() const {
    struct stat st;
    if (fstat(fd(handle_), &st) != 0) return 0666;
    return 0600 | (st.st_mode & 0066);
}

int64_t OsFile::readAt(uint8_t* buffer, size_t count, uint64_t offset) const {
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd(handle_), buffer + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

int64_t OsFile::readNext(uint8_t* buffer, size_t count) const {
    // EINTR comes back to the caller: a signal may be asking it to stop.
    return read(fd(handle_), buffer, count);
}

namespace {
bool writeAll(int file, const uint8_t* bytes, size_t count, int64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t put = offset >= 0 ? pwrite(file, bytes + done, count - done, offset + static_cast<int64_t>(done))
                                  : write(file, bytes + done, count - done);
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
}  // namespace

bool OsFile::writeAt(const uint8_t* bytes, size_t count, uint64_t offset) const {
    return writeAll(fd(handle_), bytes, count, static_cast<int64_t>(offset));
}

bool OsFile::writeNext(const uint8_t* bytes, size_t count) const { return writeAll(fd(handle_), bytes, count, -1); }

Extent OsFile::extentAt(uint64_t offset, uint64_t limit) const {
    off_t data = lseek(fd(handle_), static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
        // No data after offset: a hole to the end of the file. Past its end there is nothing, not a hole: a file
        // cut short since it was measured is read, and found short.
        return {offset + limit <= length(), limit};
    }
    // A file system that cannot tell has data everywhere.
    if (data < 0) return {false, limit};
    if (static_cast<uint64_t>(data) > offset) return {true, std::min<uint64_t>(limit, static_cast<uint64_t>(data) - offset)};
    off_t hole = lseek(fd(handle_), static_cast<off_t>(offset), SEEK_HOLE);
    if (hole < 0 || static_cast<uint64_t>(hole) <= offset) return {false, limit};
    return {false, std::min<uint64_t>(limit, static_cast<uint64_t>(hole) - offset)};
}

bool OsFile::reserve(uint64_t length, bool allocate) const {
    if (length == 0) return true;
    if (!allocate) return setLength(length);
    if (fallocate(fd(handle_), 0, 0, static_cast<off_t>(length)) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) return false;
    return setLength(length);  // a file system that allocates nothing ahead
}

bool OsFile::setLength(uint64_t length) const { return ftruncate(fd(handle_), static_cast<off_t>(length)) == 0; }

void OsFile::allowHoles() const {}

bool OsFile::lockExclusive() const { return flock(fd(handle_), LOCK_EX | LOCK_NB) == 0; }  // every POSIX file may hold holes

CopyResult osCopyRange(const OsFile& in, uint64_t inOffset, const OsFile& out, uint64_t outOffset, uint64_t count,
                       uint8_t* buffer, size_t bufferSize, void (*advance)(void*, uint64_t), void* context) {
    const bool positioned = outOffset != UINT64_MAX;  // UINT64_MAX: at the output's current position (a pipe)
    off_t position = static_cast<off_t>(inOffset), outPosition = static_cast<off_t>(positioned ? outOffset : 0);
    bool kernel = true;
    while (count > 0) {
        size_t step = count < (1u << 30) ? static_cast<size_t>(count) : (1u << 30);
        if (kernel) {
            ssize_t moved = copy_file_range(fd(in.native()), &position, fd(out.native()),
                                            positioned ? &outPosition : nullptr, step, 0);
            if (moved > 0) {
                count -= static_cast<uint64_t>(moved);
                advance(context, static_cast<uint64_t>(moved));
                continue;
            }
            if (moved == 0) return CopyResult::ShortSource;
            if (errno == EINTR) continue;
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EIO) return CopyResult::WriteFailed;
            kernel = false;  // refused here: read and write from now on
        }
        size_t want = count < bufferSize ? static_cast<size_t>(count) : bufferSize;
        ssize_t got = pread(fd(in.native()), buffer, want, position);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return CopyResult::ReadFailed;
        if (got == 0) return CopyResult::ShortSource;
        if (!writeAll(fd(out.native()), buffer, static_cast<size_t>(got), positioned ? outPosition : -1))
            return CopyResult::WriteFailed;
        position += got;
        if (positioned) outPosition += got;
        count -= static_cast<uint64_t>(got);
        advance(context, static_cast<uint64_t>(got));
    }
    return CopyResult::Done;
}

PageBuffer::PageBuffer(size_t size) : size_(size) {
    void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    mapped_ = pages != MAP_FAILED;
    bytes_ = mapped_ ? static_cast<uint8_t*>(pages) : new uint8_t[size];
}

PageBuffer::~PageBuffer() {
    if (mapped_)
        munmap(bytes_, size_);
    else
        delete[] bytes_;
}

EntryKind osEntryKind(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return EntryKind::None;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    return EntryKind::Other;
}

bool osRenameReplacing(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }

bool osRemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::vector<std::string> osListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

bool osMakeFolders(const std::string& folder, std::string& top) {
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
            if (!top.empty()) osRemoveMadeFolders(deepest.c_str(), top.c_str());
            top.clear();
            errno = error;
            return false;
        }
        if (end == std::string::npos) return true;
    }
}

void osRemoveMadeFolders(const char* folder, const char* top) {
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

bool osRenamesOpenFiles() { return false; }

uint32_t osFilesToSpare() {
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

void osRandomBytes(uint8_t* bytes, size_t count) {
    if (getrandom(bytes, count, 0) == static_cast<ssize_t>(count)) return;
    static unsigned counter = 0;
    for (size_t i = 0; i < count; i++) bytes[i] = static_cast<uint8_t>(getpid() + (counter++) * 131 + i);
}

unsigned osProcessorsAllowed() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
    const int count = CPU_COUNT(&allowed);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}
