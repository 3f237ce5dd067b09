// POSIX services for the native build. Windows notions are mapped here and only here:
// FILETIME <-> struct timespec, the attribute word <-> permission bits.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "os/os.h"
#include "text/textops.h"

const char kPathSeparator = '/';
const char kPathSeparatorText[2] = {'/', 0};

namespace {
constexpr uint32_t kAttrReadOnly = 0x0001;
constexpr uint32_t kAttrHidden = 0x0002;
constexpr uint32_t kAttrDirectory = 0x0010;
constexpr uint32_t kAttrArchive = 0x0020;
constexpr uint32_t kAttrNormal = 0x0080;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600LL;

int fd(FileHandle f) { return static_cast<int>(f); }

uint64_t toFiletime(const struct timespec& t) {
    int64_t units = (static_cast<int64_t>(t.tv_sec) + kEpochDifference) * 10000000LL + t.tv_nsec / 100;
    return units < 0 ? 0 : static_cast<uint64_t>(units);
}

// Stored times are untrusted. 0 records no time (Windows leaves such a time alone, so do we); anything
// before 1970 becomes 1970-01-01 rather than a date file systems clamp to 1901; far futures stop at 9999.
struct timespec fromFiletime(uint64_t ft) {
    struct timespec t;
    if (ft == 0) {
        t.tv_sec = 0;
        t.tv_nsec = UTIME_OMIT;
        return t;
    }
    constexpr int64_t kLatestSeconds = 253402300799LL;  // 9999-12-31 23:59:59
    int64_t seconds = static_cast<int64_t>(ft / 10000000ULL) - kEpochDifference;
    long nanoseconds = static_cast<long>((ft % 10000000ULL) * 100);
    if (seconds < 0) {
        seconds = 0;
        nanoseconds = 0;
    }
    if (seconds > kLatestSeconds) seconds = kLatestSeconds;
    if (sizeof(time_t) < 8 && seconds > 0x7FFFFFFFLL) seconds = 0x7FFFFFFFLL;
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = nanoseconds;
    return t;
}

std::string commandLineText;
std::vector<std::string> arguments;
bool argumentsGiven = false;
}  // namespace

FileHandle osOpenExisting(const char* path, bool) {
    // Only a regular file will do, and anything else is refused without waiting on it: opening a FIFO that
    // nobody writes to would block for good. O_NONBLOCK then stays, as Linux ignores it for regular files.
    int f = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (f < 0) return kNoFile;
    struct stat st;
    if (fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(f);
        return kNoFile;
    }
    return f;
}

FileHandle osCreateTruncate(const char* path, uint32_t attributes) {
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISDIR(st.st_mode)) return kNoFile;
    // The read-only bit is applied once the data is in (osApplyAttributesAfterWrite).
    (void)attributes;
    // Never through a symlink: the caller has asked about the name, and the name is what gets replaced.
    int f = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (f < 0 && errno == ELOOP && unlink(path) == 0)
        f = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    return f < 0 ? kNoFile : f;
}

bool osRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
    uint32_t total = 0;
    auto* p = static_cast<char*>(buffer);
    while (total < count) {
        ssize_t n = read(fd(file), p + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            *got = total;
            return false;
        }
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    *got = total;
    return true;
}

bool osWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put) {
    uint32_t total = 0;
    auto* p = static_cast<const char*>(buffer);
    while (total < count) {
        ssize_t n = write(fd(file), p + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            *put = total;
            return false;
        }
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    *put = total;
    return total == count;
}

bool osSeek(FileHandle file, uint64_t position) {
    return lseek(fd(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

uint64_t osFileSize(FileHandle file) {
    struct stat st;
    if (fstat(fd(file), &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

void osClose(FileHandle file) {
    if (file != kNoFile) close(fd(file));
}

bool osNameTaken(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool osResolveNameCase(char* path) {
    struct stat st;
    if (lstat(path, &st) == 0) return true;
    std::string whole(path);
    size_t cut = whole.rfind('/');
    std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : whole.substr(0, cut));
    std::string name = cut == std::string::npos ? whole : whole.substr(cut + 1);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (struct dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) != 0) continue;
        // Same length, so the path keeps its length and its buffer.
        std::memcpy(path + (whole.size() - name.size()), entry->d_name, name.size());
        found = true;
        break;
    }
    closedir(dir);
    return found;
}

bool osSameFile(const char* first, const char* second) {
    struct stat a, b;
    if (stat(first, &a) != 0 || stat(second, &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

uint32_t osGetAttributes(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return 0xFFFFFFFFu;  // as the Windows call reports a missing file
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= kAttrReadOnly;
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    if (name[0] == '.') attributes |= kAttrHidden;
    if (!S_ISDIR(st.st_mode)) attributes |= kAttrArchive;
    return attributes == 0 ? kAttrNormal : attributes;
}

bool osGetFileTimes(FileHandle file, uint64_t* creation, uint64_t* access, uint64_t* write) {
    struct stat st;
    if (fstat(fd(file), &st) != 0) return false;
    // The birth time where the file system keeps one, as Windows keeps a creation time: it stays what it was when
    // the times are set again, where the status-change time, which stands in for it elsewhere, moves on.
    *creation = toFiletime(st.st_ctim);
#ifdef STATX_BTIME
    struct statx born;
    if (statx(fd(file), "", AT_EMPTY_PATH, STATX_BTIME, &born) == 0 && (born.stx_mask & STATX_BTIME) != 0) {
        const struct timespec at = {static_cast<time_t>(born.stx_btime.tv_sec), static_cast<long>(born.stx_btime.tv_nsec)};
        *creation = toFiletime(at);
    }
#endif
    *access = toFiletime(st.st_atim);
    *write = toFiletime(st.st_mtim);
    return true;
}

bool osSetPathTimes(const char* path, uint64_t, uint64_t access, uint64_t write) {
    struct timespec times[2] = {fromFiletime(access), fromFiletime(write)};
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0;
}

void osApplyAttributesAfterWrite(const char* path, uint32_t attributes) {
    if (attributes & kAttrReadOnly) {
        struct stat st;
        if (stat(path, &st) == 0) chmod(path, st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
    }
}

bool osCreateFolder(const char* path) { return mkdir(path, 0777) == 0; }

bool osFolderExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

uint64_t osPhysicalMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

void* osAllocateZeroed(size_t size) { return std::calloc(1, size); }
void osFree(void* block) { std::free(block); }

bool osTakeInstanceLock() {
    // An abstract-namespace socket: system-wide by name, and the kernel drops it when the process ends.
    int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return true;
    struct sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const char name[] = "Tarn.exe";
    std::memcpy(address.sun_path + 1, name, sizeof name - 1);
    socklen_t length = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + 1 + sizeof name - 1);
    if (bind(s, reinterpret_cast<struct sockaddr*>(&address), length) != 0) {
        close(s);
        return false;
    }
    return true;  // kept open for the life of the process
}

void osSleep(uint32_t milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

void osExitProcess(uint32_t code) {
    std::fflush(nullptr);
    _exit(static_cast<int>(code & 0xFF));
}

void osSetCommandLine(const char* text) {
    commandLineText = text;
    argumentsGiven = false;
}
const char* osCommandLine() { return commandLineText.c_str(); }

bool osProgramPath(char* out) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || n >= kTextBufferSize) return false;
    path[n] = 0;
    std::memcpy(out, path, static_cast<size_t>(n) + 1);
    return true;
}

bool osIsRemovableDrive(const char*) { return false; }  // no drive types here

static bool homeFolder(std::string& home) {
    struct passwd* pw = getpwuid(getuid());
    if (pw == nullptr || pw->pw_dir == nullptr) return false;
    home = pw->pw_dir;
    return true;
}

bool osUserDataFolder(char* out) {
    std::string home;
    if (!homeFolder(home)) return false;
    std::string folder = home + "/.config";
    mkdir(folder.c_str(), 0755);
    if (folder.size() + 20 >= static_cast<size_t>(kTextBufferSize)) return false;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return true;
}

bool osReadDesktopFolder(char* out) {
    std::string home;
    std::string folder;
    if (homeFolder(home) && osFolderExists((home + "/Desktop").c_str())) {
        folder = home + "/Desktop";
    } else {
        char cwd[kTextBufferSize];
        if (getcwd(cwd, sizeof cwd) == nullptr) return false;
        folder = cwd;
    }
    if (folder.size() >= static_cast<size_t>(kTextBufferSize)) return false;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return true;
}

uint32_t osEnablePrivilege(const char*) { return geteuid() == 0 ? 1 : 0; }

bool osStderrIsTerminal() { return isatty(2) != 0; }
bool osStdinIsTerminal() { return isatty(0) != 0; }

// No registry here: the file association is the desktop environment's business, not the command-line tool's.
bool osWriteRegistryText(uint32_t, const char*, const char*, const char*) { return false; }

void osSystemVersion(SystemVersion& out) {
    out = SystemVersion();
    struct utsname name;
    if (uname(&name) != 0) return;
    std::snprintf(out.otherSystem, sizeof out.otherSystem, "%s %s %s", name.sysname, name.release, name.machine);
}

// The command-line tool has no desktop shell: nothing is ever chosen or opened.
bool osChooseFile(void*, const char*, char*) { return false; }
bool osChooseFolder(void*, const char*, char*) { return false; }
bool osShellOpen(void*, const char*, const char*) { return false; }

namespace {
struct PosixThread {
    pthread_t id;
    void (*entry)(void*);
    void* argument;
    std::atomic<bool> finished{false};
    std::atomic<int> owners{2};
};

void releaseOwner(PosixThread* t) {
    if (t->owners.fetch_sub(1) == 1) delete t;
}

void* threadMain(void* raw) {
    auto* t = static_cast<PosixThread*>(raw);
    t->entry(t->argument);
    t->finished.store(true, std::memory_order_release);
    releaseOwner(t);
    return nullptr;
}
}  // namespace

ThreadRef osStartThread(void (*entry)(void*), void* argument) {
    auto* t = new PosixThread;
    t->entry = entry;
    t->argument = argument;
    if (pthread_create(&t->id, nullptr, threadMain, t) != 0) {
        delete t;
        return nullptr;
    }
    return t;
}

bool osThreadFinished(ThreadRef thread) {
    return static_cast<PosixThread*>(thread)->finished.load(std::memory_order_acquire);
}

void osReleaseThread(ThreadRef thread) {
    auto* t = static_cast<PosixThread*>(thread);
    pthread_detach(t->id);
    releaseOwner(t);
}

void osInitCommandLine(int argc, char** argv) {
    // Each argument is one token as the shell handed it over: quotes and tabs in names stay what they are.
    arguments.assign(argv, argv + argc);
    argumentsGiven = true;
    commandLineText.clear();
    for (int i = 0; i < argc; i++) commandLineText += (i ? " " : "") + arguments[static_cast<size_t>(i)];
}

int osArgumentCount() { return argumentsGiven ? static_cast<int>(arguments.size()) : -1; }
const char* osArgumentAt(uint32_t n) { return n < arguments.size() ? arguments[n].c_str() : nullptr; }
bool osUsesWindowsNames() { return false; }
