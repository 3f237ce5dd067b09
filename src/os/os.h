// The operating-system services the engine and the entry need, implemented once per platform.
#pragma once
#include <cstdint>
#include <cstddef>

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// Files. Paths are narrow byte texts as the platform's file-name interface takes them.
FileHandle osOpenExisting(const char* path, bool shareRead);          // read access
FileHandle osCreateTruncate(const char* path, uint32_t attributes);   // read and write, not shared
bool osRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got);
bool osWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put);
bool osSeek(FileHandle file, uint64_t position);
uint64_t osFileSize(FileHandle file);
void osClose(FileHandle file);
// Something already bears this name and would be replaced by a create: the question before overwriting.
// POSIX looks at the name itself (a symlink counts, dangling or not); Windows probes with an open.
bool osNameTaken(const char* path);
// When path names nothing, takes an entry of its folder whose name differs only in ASCII letter case
// (sets copied from FAT media: S.BI0001.TRN). Returns whether path now names something.
bool osResolveNameCase(char* path);
// Both paths name the same existing file (links and different spellings included).
bool osSameFile(const char* first, const char* second);

// Attribute word and times in the Windows form: attribute bits, FILETIME (100 ns since 1601).
uint32_t osGetAttributes(const char* path);
bool osGetFileTimes(FileHandle file, uint64_t* creation, uint64_t* access, uint64_t* write);
// The same for a file by name, once nothing will read it any more (reading moves the access time).
bool osSetPathTimes(const char* path, uint64_t creation, uint64_t access, uint64_t write);
// Applies the attribute bits that cannot be given at creation (read-only) after the file is complete.
void osApplyAttributesAfterWrite(const char* path, uint32_t attributes);

// Folders.
bool osCreateFolder(const char* path);
bool osFolderExists(const char* path);

// Memory.
uint64_t osPhysicalMemory();
void* osAllocateZeroed(size_t size);
void osFree(void* block);

// Process.
bool osTakeInstanceLock();  // false when another copy holds it
void osSleep(uint32_t milliseconds);
[[noreturn]] void osExitProcess(uint32_t code);
const char* osCommandLine();
// Replaces the command line osCommandLine reports (tests).
void osSetCommandLine(const char* text);
// At entry: Windows keeps its own command line; POSIX keeps argv, each element one token as it is.
void osInitCommandLine(int argc, char** argv);
// The number of separate arguments the platform handed over, or -1 where the command line is one text
// to be tokenized (Windows, and POSIX after osSetCommandLine).
int osArgumentCount();
const char* osArgumentAt(uint32_t n);
// Whether stored names must obey Windows' rules (drive colons, device names, forbidden characters).
bool osUsesWindowsNames();
bool osProgramPath(char* out);           // full path of the running program file
bool osIsRemovableDrive(const char* folder);
bool osUserDataFolder(char* out);        // per-user application-data folder, no trailing separator
bool osReadDesktopFolder(char* out);     // leaves out unchanged when there is none
uint32_t osEnablePrivilege(const char* name);
bool osStderrIsTerminal();
bool osStdinIsTerminal();

// Desktop shell. owner is a window handle or null; each returns false when nothing was chosen or started.
// The open-file dialog: filter is pairs of zero-terminated texts ending in an empty one; path is 600 bytes.
bool osChooseFile(void* owner, const char* filter, char* path);
// The folder browser rooted at the desktop; out (600 bytes) is left alone unless a folder was chosen.
bool osChooseFolder(void* owner, const char* title, char* out);
// Opens a document with its default handler, or with verb (e.g. "runas"); true when the shell started it.
bool osShellOpen(void* owner, const char* verb, const char* path);

// Registry: a text value (REG_SZ) under one of three roots, the key created when missing; true when written.
enum : uint32_t { kRootClasses = 0, kRootMachine = 1, kRootUser = 2 };
bool osWriteRegistryText(uint32_t root, const char* key, const char* name, const char* text);

// What the running system reports of its version, for the about dialog's description.
struct SystemVersion {
    uint32_t platform = 0;  // 1 the 9x family, 2 the NT family, 0 anything else
    uint32_t major = 0, minor = 0, build = 0;
    bool extended = false;  // product type and suite mask are known
    uint32_t productType = 0, suiteMask = 0;
    bool tablet = false, mediaCenter = false;
    char servicePack[128] = {};
    char otherSystem[256] = {};  // a system outside the Windows table describes itself here (Wine, Linux)
};
void osSystemVersion(SystemVersion& out);

// Threads.
using ThreadRef = void*;
ThreadRef osStartThread(void (*entry)(void*), void* argument);
bool osThreadFinished(ThreadRef thread);
void osReleaseThread(ThreadRef thread);
