// Files and folders for the set core: a scoped holder with 64-bit positional reads and writes, holes, reserve,
// exclusive create, rename and folder listings, written once per platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why the last file call of this thread failed, in terms the core acts on; native is the system's own code.
enum class FileError { None, NotFound, Exists, NotRegular, IsFolder, NoSpace, Denied, TooLong, Other };
struct FileStatus {
    FileError what = FileError::None;
    int native = 0;
};
FileStatus osLastFileError();
// Makes the next osLastFileError report this (a failure found by the caller, such as a short read).
void osSetFileError(FileError what);
// The system's words for a failure, in the user's language where the system has them.
std::string osFileErrorText(const FileStatus& status);

// The stretch of a file from an offset: a hole (reads as zeros, stores nothing) or data.
struct Extent {
    bool hole;
    uint64_t length;
};

// Owns one open file and closes it on every return path.
class OsFile {
public:
    OsFile() = default;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    OsFile(OsFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    OsFile& operator=(OsFile&& other) noexcept;
    ~OsFile();

    // An existing regular file for reading; anything else bearing the name is refused without waiting on it
    // (a FIFO nobody writes to would block for good): FileError::NotRegular.
    static OsFile openRead(const std::string& path);
    // An existing file for reading and writing in place (a header rewritten), never through a link.
    static OsFile openUpdate(const std::string& path);
    // A new file; an existing name is FileError::Exists. mode (less the umask) where the system has modes.
    static OsFile createNew(const std::string& path, unsigned mode = 0666);
    // Adopts a descriptor or handle the caller already has (standard input or output).
    static OsFile adopt(intptr_t handle);

    bool valid() const { return handle_ != -1; }
    intptr_t native() const { return handle_; }
    // Closes now; false when the close reports a delayed write error.
    bool close();
    // Before a commit renames it: where the system renames by name alone, closes the file now (false on a delayed
    // write error), so that such an error shows before any file takes its name; elsewhere it stays open for renameTo.
    bool settleForRename();
    // Renames the file, known as from, to to (replacing a file there), then closes it. Through the open file where
    // the system can: under Wine that spares an open of each file a commit renames.
    bool renameTo(const std::string& from, const std::string& to);

    uint64_t length() const;
    // Its blocks cover less than its length: it may hold holes.
    bool holed() const;
    // The permission bits another file made from this one takes: group and others as here, the owner always
    // read and write (pieces from a CD are read-only); 0666 where the system has no modes.
    unsigned modeForCopies() const;

    // Reads count bytes at offset unless the file ends first; the bytes read, or -1.
    int64_t readAt(uint8_t* buffer, size_t count, uint64_t offset) const;
    // Writes every byte at offset; false when any is not written (a full disk: FileError::NoSpace).
    bool writeAt(const uint8_t* bytes, size_t count, uint64_t offset) const;
    // Writes at the current position (a stream: standard output).
    bool writeNext(const uint8_t* bytes, size_t count) const;
    // Reads at the current position; bytes read (0 at the end), or -1.
    int64_t readNext(uint8_t* buffer, size_t count) const;
    Extent extentAt(uint64_t offset, uint64_t limit) const;
    // Gives an empty file its final length; with allocate its blocks too, where the file system can (a disk too
    // small shows at once). Without, its unwritten stretches stay holes.
    bool reserve(uint64_t length, bool allocate) const;
    bool setLength(uint64_t length) const;
    // Takes the file's exclusive advisory lock without waiting; false when another process holds it. It lasts
    // until the file is closed, or the process ends however it ends.
    bool lockExclusive() const;
    // Marks the file as one that may hold holes, where the system asks for that first.
    void allowHoles() const;

private:
    explicit OsFile(intptr_t handle) : handle_(handle) {}
    intptr_t handle_ = -1;
};

enum class CopyResult { Done, ReadFailed, WriteFailed, ShortSource };
// Moves count bytes from in at inOffset to out at outOffset. The system copies where it can; elsewhere the bytes
// go through buffer. advance(context, bytes) is told of each stretch moved.
CopyResult osCopyRange(const OsFile& in, uint64_t inOffset, const OsFile& out, uint64_t outOffset, uint64_t count,
                       uint8_t* buffer, size_t bufferSize, void (*advance)(void*, uint64_t), void* context);

// A buffer of `size` bytes whose pages are in place from the start (a first touch per page is costly in a
// virtual machine); freed when it goes.
class PageBuffer {
public:
    explicit PageBuffer(size_t size);
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    ~PageBuffer();
    uint8_t* data() const { return bytes_; }
    size_t size() const { return size_; }

private:
    uint8_t* bytes_;
    size_t size_;
    bool mapped_;
};

enum class EntryKind { None, File, Folder, Other };
// What bears the name itself (a link is Other, whatever it points to).
EntryKind osEntryKind(const std::string& path);
// Renames from over to, replacing a file there in one step.
bool osRenameReplacing(const std::string& from, const std::string& to);
bool osRemoveFile(const std::string& path);
// The names in a folder (no "." or ".."); empty when it cannot be read.
std::vector<std::string> osListFolder(const std::string& folder);
// Makes folder and any folder missing on the way, as mkdir -p does; top gets the outermost one made. False with
// nothing left made; FileError::NotRegular when a file bears a name on the way.
bool osMakeFolders(const std::string& folder, std::string& top);
// Removes folder, then each parent up to top, stopping at one that is not empty. Safe in a signal handler.
void osRemoveMadeFolders(const char* folder, const char* top);
// Whether OsFile::renameTo renames through the open file, sparing an open of it (Windows), or by name.
bool osRenamesOpenFiles();
// How many more files this process may hold open at once, leaving some for others (a set may have 9,999).
uint32_t osFilesToSpare();
// Fills bytes with unpredictable values (names of temporary files).
void osRandomBytes(uint8_t* bytes, size_t count);
// The processors this process may run on (affinity and container limits respected).
unsigned osProcessorsAllowed();

// Text between the system's file names and code page 936, in which a set stores its texts. False when the text
// cannot be converted whole.
bool osToCodePage936(const std::string& local, std::string& stored);
bool osFromCodePage936(const std::string& stored, std::string& local);
// UTF-8 text as the system's file names hold it; false when they cannot hold it whole.
bool osFromUtf8(const std::string& utf8, std::string& local);
// A name as the system gives it, in UTF-8 (as recovery volumes record names); false when it is not whole text.
bool osToUtf8(const std::string& local, std::string& utf8);
