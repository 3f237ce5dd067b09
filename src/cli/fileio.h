// Files of the subcommands: descriptors closed on every return path, whole reads and writes, kernel copies.
#pragma once
#include <cerrno>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Data moves through a buffer of this size where the kernel cannot move it (256 KiB measured no faster).
constexpr size_t kCopyBufferSize = 1 << 20;

// A copy buffer of kCopyBufferSize with its pages in place from the start: the first read into a fresh buffer
// would otherwise fault once per page, and a fault is costly in a virtual machine.
class CopyBuffer {
public:
    CopyBuffer();
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;
    ~CopyBuffer();
    uint8_t* data() const { return bytes_; }

private:
    uint8_t* bytes_;
    bool mapped_;
};

// Owns one descriptor and closes it when it goes out of scope.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    ~Descriptor();
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; false (errno set) when the close reports a delayed write error.
    bool close();

private:
    int fd_ = -1;
};

// errno of openForReading for a name that is there but is no regular file (a folder, a FIFO, a device).
constexpr int kNotRegularFile = EINVAL;
// An existing regular file opened for reading, its length put in *length when given, and in *holed whether its
// blocks cover less than that (it may hold holes); -1 (errno set) otherwise. Whatever else bears the name is
// refused without waiting on it: opening a FIFO that nobody writes to would block for good.
Descriptor openForReading(const std::string& path, int64_t* length = nullptr, bool* holed = nullptr);
// How many more descriptors this process may keep open, leaving some for its other files; the soft limit is
// raised to the hard one first, as a set may have 9,999 pieces.
uint32_t descriptorsToSpare();
// The permissions for a file made from another (pieces of a file, a file from its pieces): group and others may
// do what they could with it, so a private file stays private; its owner may always read and write it (pieces
// from a CD are read-only).
unsigned modeAsPrivateAs(unsigned mode);
// A new file at path, with mode less the umask. An existing name is an error (errno EEXIST) unless replace; a
// replaced name is removed first, so a symlink there is replaced, never followed.
Descriptor createOutput(const std::string& path, bool replace, unsigned mode = 0666);
// A new file in folder under a name of its own (".tarn-" and eight letters), written in full before it takes
// another file's place by rename; its path is put in temporary.
Descriptor createTemporary(const std::string& folder, std::string& temporary, unsigned mode = 0666);
// Whether something (a symlink too) bears this name.
bool nameTaken(const std::string& path);
// Creates an output folder and any folder missing on the way to it, as mkdir -p does; top gets the outermost
// folder it made. False with errno set and nothing left made; ENOTDIR when a file bears a name on the way.
bool makeFolder(const std::string& folder, std::string& top);
// Removes folder, then each parent up to top (as makeFolder gave it), stopping at one that is not empty. Safe in
// a signal handler.
void removeMadeFolders(const char* folder, const char* top);

// Reads until count bytes or the end; returns the bytes read, or -1 (errno set).
ssize_t readFull(int fd, uint8_t* buffer, size_t count);
// Reads count bytes at offset unless the file ends first; returns the bytes read, or -1 (errno set).
ssize_t readFullAt(int fd, uint8_t* buffer, size_t count, int64_t offset);
// The stretch of a file from offset, at most limit bytes long: a hole (reads as zeros, stores nothing) or data.
struct Extent {
    bool hole;
    uint64_t length;
};
Extent extentAt(int fd, uint64_t offset, uint64_t limit);
// Gives an empty file its final length, its blocks allocated where the file system can: a disk too small shows
// at once, and the writes that fill it measured cheaper. Without allocate, only the length: for a file whose
// unwritten stretches are to stay holes. False with errno set.
bool reserveLength(int fd, uint64_t length, bool allocate = true);
// Writes every byte (at offset when offset >= 0); false with errno set.
bool writeAll(int fd, const uint8_t* bytes, size_t count, int64_t offset = -1);

enum class CopyResult { Done, ReadFailed, WriteFailed, ShortSource };
// Moves count bytes from in at inOffset to out at outOffset (-1: its current position). The kernel copies where
// it can (copy_file_range); where it refuses (pipes, other file systems, old kernels) the bytes go through buffer.
CopyResult copyBytes(int in, int64_t inOffset, int out, uint64_t count, uint8_t* buffer, size_t bufferSize,
                     void (*advance)(void*, uint64_t), void* context, int64_t outOffset = -1);

// The exit code a failed write or create deserves: a full disk, or an output that cannot be written.
int outcomeOfWriteError(int error);
