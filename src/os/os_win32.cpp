// Win32 services for the Windows builds: files, folders, memory, the lock, threads and the shell folders.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"

const char kPathSeparator = '\\';
const char kPathSeparatorText[2] = {'\\', 0};

namespace {
HANDLE h(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle f(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle); }
uint64_t fromFt(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
FILETIME toFt(uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}
std::string commandLineOverride;
bool commandLineOverridden = false;

// Closes a registry key on every return path.
struct KeyHolder {
    HKEY key = nullptr;
    ~KeyHolder() {
        if (key) RegCloseKey(key);
    }
};
}  // namespace

FileHandle osOpenExisting(const char* path, bool shareRead) {
    return f(CreateFileW(osSystemPath(path).c_str(), GENERIC_READ, shareRead ? FILE_SHARE_READ : 0, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle osCreateTruncate(const char* path, uint32_t attributes) {
    // Read-only cannot be given at creation of a file that is then written; it follows afterwards.
    DWORD flags = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                                                  FILE_ATTRIBUTE_DEVICE);
    if (flags == 0) flags = FILE_ATTRIBUTE_NORMAL;
    return f(CreateFileW(osSystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags,
                         nullptr));
}

bool osRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
    DWORD n = 0;
    BOOL ok = ReadFile(h(file), buffer, count, &n, nullptr);
    *got = n;
    return ok != 0;
}

bool osWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put) {
    DWORD n = 0;
    BOOL ok = WriteFile(h(file), buffer, count, &n, nullptr);
    *put = n;
    return ok != 0 && n == count;
}

bool osSeek(FileHandle file, uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(h(file), distance, nullptr, FILE_BEGIN) != 0;
}

uint64_t osFileSize(FileHandle file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h(file), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

void osClose(FileHandle file) {
    if (file != kNoFile) CloseHandle(h(file));
}

bool osNameTaken(const char* path) {
    // The probe of the overwrite question: a file that cannot be opened exclusively is not asked about.
    FileHandle probe = osOpenExisting(path, false);
    if (probe == kNoFile) return false;
    osClose(probe);
    return true;
}

// Windows' file systems ignore letter case already: nothing to look for.
bool osResolveNameCase(char* path) {
    return GetFileAttributesW(osSystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool osSameFile(const char* first, const char* second) {
    auto identify = [](const char* path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE file = CreateFileW(osSystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(file, &info);
        CloseHandle(file);
        return ok != 0;
    };
    BY_HANDLE_FILE_INFORMATION a, b;
    if (!identify(first, a) || !identify(second, b)) return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

uint32_t osGetAttributes(const char* path) { return GetFileAttributesW(osSystemPath(path).c_str()); }

bool osGetFileTimes(FileHandle file, uint64_t* creation, uint64_t* access, uint64_t* write) {
    FILETIME c, a, w;
    if (!GetFileTime(h(file), &c, &a, &w)) return false;
    *creation = fromFt(c);
    *access = fromFt(a);
    *write = fromFt(w);
    return true;
}

static bool setHandleTimes(FileHandle file, uint64_t creation, uint64_t access, uint64_t write) {
    FILETIME c = toFt(creation), a = toFt(access), w = toFt(write);
    return SetFileTime(h(file), &c, &a, &w) != 0;
}

bool osSetPathTimes(const char* path, uint64_t creation, uint64_t access, uint64_t write) {
    // Attribute-writing access only: a read-only file still takes its times.
    HANDLE file = CreateFileW(osSystemPath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = setHandleTimes(f(file), creation, access, write);
    CloseHandle(file);
    return ok;
}

void osApplyAttributesAfterWrite(const char* path, uint32_t attributes) {
    // The bits a file can be given by name; the rest (folder, device, sparse) are the system's to say.
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD wanted = attributes & settable;
    const std::wstring name = osSystemPath(path);
    DWORD a = GetFileAttributesW(name.c_str());
    const DWORD given = (a & ~settable) | wanted;
    if (a != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(name.c_str(), given != 0 ? given : FILE_ATTRIBUTE_NORMAL);
}

bool osCreateFolder(const char* path) { return CreateDirectoryW(osSystemPath(path).c_str(), nullptr) != 0; }

bool osFolderExists(const char* path) {
    DWORD a = GetFileAttributesW(osSystemPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint64_t osPhysicalMemory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

void* osAllocateZeroed(size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
void osFree(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

bool osTakeInstanceLock() {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Tarn.exe");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return false;
    }
    return true;  // never closed: the system drops it with the process
}

void osSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void osExitProcess(uint32_t code) { ExitProcess(code); }

void osSetCommandLine(const char* text) {
    commandLineOverride = text;
    commandLineOverridden = true;
}

// The command line as the system gives it, every name whole whatever the code page.
const char* osCommandLine() {
    if (!commandLineOverridden) {
        commandLineOverride = osNarrowText(GetCommandLineW());
        commandLineOverridden = true;
    }
    return commandLineOverride.c_str();
}

bool osProgramPath(char* out) {
    wchar_t found[kTextBufferSize];
    DWORD n = SearchPathW(nullptr, L"Tarn.exe", nullptr, kTextBufferSize, found, nullptr);
    if (n == 0 || n >= kTextBufferSize) return false;
    const std::string narrow = osNarrowText(found);
    if (narrow.size() >= kTextBufferSize) return false;
    copyText(narrow.c_str(), out);
    return true;
}

bool osIsRemovableDrive(const char* folder) {
    char root[4] = {0, 0, 0, 0};
    midText(folder, root, 0, 3);
    return GetDriveTypeW(osWideText(root).c_str()) == DRIVE_REMOVABLE;
}

bool osUserDataFolder(char* out) {
    wchar_t path[MAX_PATH + 1];
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE)) return false;
    copyTextBounded(osNarrowText(path).c_str(), out, kTextBufferSize - 20);
    return true;
}

bool osReadDesktopFolder(char* out) {
    KeyHolder holder;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                        nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &holder.key, nullptr) != ERROR_SUCCESS)
        return false;
    wchar_t value[kTextBufferSize] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(holder.key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return false;
    value[size / sizeof(wchar_t) < kTextBufferSize ? size / sizeof(wchar_t) : kTextBufferSize - 1] = 0;
    copyTextBounded(osNarrowText(value).c_str(), out, kTextBufferSize);
    return true;
}

uint32_t osEnablePrivilege(const char* name) {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return 1;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return 0;
    }
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseHandle(token);
    return error == ERROR_NOT_ALL_ASSIGNED ? 0 : 1;
}

bool osWriteRegistryText(uint32_t root, const char* key, const char* name, const char* text) {
    HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    if (root > kRootUser) return false;
    KeyHolder holder;
    if (RegCreateKeyExA(roots[root], key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &holder.key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring value = osWideText(text);
    return RegSetValueExW(holder.key, name != nullptr ? osWideText(name).c_str() : nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void osSystemVersion(SystemVersion& out) {
    out = SystemVersion();
    OSVERSIONINFOEXA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    out.extended = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) != FALSE;
    if (!out.extended) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return;
    }
    out.platform = version.dwPlatformId;
    out.major = version.dwMajorVersion;
    out.minor = version.dwMinorVersion;
    out.build = version.dwBuildNumber;
    out.productType = version.wProductType;
    out.suiteMask = version.wSuiteMask;
    out.tablet = GetSystemMetrics(SM_TABLETPC) != 0;
    out.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
    copyTextBounded(version.szCSDVersion, out.servicePack, sizeof out.servicePack);
    // Wine answers as the Windows it imitates; say what really runs.
    using WineVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto wine = ntdll ? reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                      : nullptr;
    if (wine != nullptr) {
        std::string text = std::string("Wine ") + wine();
        copyTextBounded(text.c_str(), out.otherSystem, sizeof out.otherSystem);
    }
}

bool osStderrIsTerminal() { return false; }
bool osStdinIsTerminal() { return false; }

bool osChooseFile(void* owner, const char* filter, char* path) {
    // The filter is pairs of texts, each ending in a zero, and a zero after the last.
    std::wstring filters;
    for (const char* part = filter; *part != 0; part += std::strlen(part) + 1) filters += osWideText(part) + L'\0';
    std::wstring chosen = osWideText(path);
    chosen.resize(32768, L'\0');
    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = &chosen[0];
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                   OFN_LONGNAMES;
    if (!GetOpenFileNameW(&dialog)) return false;
    // A name past the program's buffers is refused later, by its length, as a typed one is.
    copyTextBounded(osNarrowText(chosen.c_str()).c_str(), path, kTextBufferSize);
    return true;
}

bool osChooseFolder(void* owner, const char* title, char* out) {
    HRESULT com = CoInitialize(nullptr);
    const std::wstring caption = osWideText(title);
    BROWSEINFOW browse;
    std::memset(&browse, 0, sizeof browse);
    browse.hwndOwner = static_cast<HWND>(owner);
    browse.lpszTitle = caption.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX;
    bool chosen = false;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&browse)) {
        wchar_t folder[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(item, folder)) {
            copyTextBounded(osNarrowText(folder).c_str(), out, kTextBufferSize);
            chosen = true;
        }
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

bool osShellOpen(void* owner, const char* verb, const char* path) {
    const std::wstring action = osWideText(verb);
    HINSTANCE result = ShellExecuteW(static_cast<HWND>(owner), verb != nullptr ? action.c_str() : nullptr,
                                     osWideText(path).c_str(), nullptr, nullptr,
                                     verb != nullptr ? SW_SHOWDEFAULT : SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

namespace {
struct ThreadStart {
    void (*entry)(void*);
    void* argument;
};
DWORD WINAPI threadMain(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.entry(start.argument);
    return 0;
}
}  // namespace

ThreadRef osStartThread(void (*entry)(void*), void* argument) {
    auto* start = new ThreadStart{entry, argument};
    HANDLE thread = CreateThread(nullptr, 0, threadMain, start, 0, nullptr);
    if (thread == nullptr) {
        delete start;
        return nullptr;
    }
    return thread;
}

bool osThreadFinished(ThreadRef thread) { return WaitForSingleObject(static_cast<HANDLE>(thread), 0) == WAIT_OBJECT_0; }
void osReleaseThread(ThreadRef thread) { CloseHandle(static_cast<HANDLE>(thread)); }

void osInitCommandLine(int, char**) {}
// Windows hands over one command line; the program's own tokenizer reads it.
int osArgumentCount() { return -1; }
const char* osArgumentAt(uint32_t) { return nullptr; }
bool osUsesWindowsNames() { return true; }
